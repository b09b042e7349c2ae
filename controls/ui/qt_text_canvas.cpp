#include "controls/ui/qt_text_canvas.h"

#include <QGuiApplication>
#include <QPaintDevice>
#include <QPen>
#include <QPolygon>
#include <QScreen>
#include <algorithm>

#include "platform/qt/cp932_text.h"

namespace quill {

namespace {

QColor Colour(uint32_t rgb) { return QColor(static_cast<QRgb>(rgb)); }

int DotsPerMetre(int dpi) { return qRound(dpi / 0.0254); }

}  // namespace

template <class Base>
int QtCanvas<Base>::LogPixelsX() const { return Device()->logicalDpiX(); }
template <class Base>
int QtCanvas<Base>::LogPixelsY() const { return Device()->logicalDpiY(); }

template <class Base>
void QtCanvas<Base>::SetFont(const std::string& face, int points) {
  QFont font(FromCp932(face));
  font.setFixedPitch(true);
  font.setStyleHint(QFont::TypeWriter);
  if (points > 0) font.setPointSize(points);
  font_ = font;
  metrics_.reset();
}

template <class Base>
const QFontMetrics& QtCanvas<Base>::Metrics() {
  if (!metrics_) metrics_.emplace(font_, Device());
  return *metrics_;
}

template <class Base>
int QtCanvas<Base>::TextWidth(std::string_view text) {
  return Metrics().horizontalAdvance(FromCp932(text));
}

template <class Base>
int QtCanvas<Base>::TextHeight() { return Metrics().height(); }

template <class Base>
void QtCanvas<Base>::TextOut(int x, int y, std::string_view text) {
  QPainter* p = Painter();
  p->setFont(font_);
  p->setPen(Qt::black);
  p->drawText(x, y + Metrics().ascent(), FromCp932(text));
}

template <class Base>
void QtCanvas<Base>::TextRect(int left, int top, int right, int bottom, int x, int y,
                            std::string_view text) {
  if (right <= left || bottom <= top) return;
  QPainter* p = Painter();
  p->save();
  p->setClipRect(QRect(left, top, right - left, bottom - top));
  TextOut(x, y, text);
  p->restore();
}

template <class Base>
void QtCanvas<Base>::FrameRect(int left, int top, int right, int bottom, uint32_t colour,
                             int pen_width) {
  QPainter* p = Painter();
  p->setPen(QPen(Colour(colour), pen_width, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
  p->setBrush(Qt::NoBrush);
  p->drawPolygon(QPolygon({QPoint(left, top), QPoint(right, top), QPoint(right, bottom),
                           QPoint(left, bottom)}));
}

template <class Base>
void QtCanvas<Base>::FillRect(int left, int top, int right, int bottom, uint32_t colour) {
  if (right <= left || bottom <= top) return;
  Painter()->fillRect(QRect(left, top, right - left, bottom - top), Colour(colour));
}

template class QtCanvas<TextCanvas>;
template class QtCanvas<ImageCanvas>;

QtImageCanvas::QtImageCanvas(int dpi_x, int dpi_y) : image_(1, 1, QImage::Format_RGB32) {
  image_.setDotsPerMeterX(DotsPerMetre(dpi_x));
  image_.setDotsPerMeterY(DotsPerMetre(dpi_y));
  image_.fill(Qt::white);
}

void QtImageCanvas::SetSize(int width, int height) {
  if (painter_.isActive()) painter_.end();
  QImage image(std::max(width, 1), std::max(height, 1), QImage::Format_RGB32);
  image.setDotsPerMeterX(image_.dotsPerMeterX());
  image.setDotsPerMeterY(image_.dotsPerMeterY());
  image_ = image;
}

QPainter* QtImageCanvas::Painter() {
  if (!painter_.isActive()) painter_.begin(&image_);
  return &painter_;
}

const QImage& QtImageCanvas::Image() {
  if (painter_.isActive()) painter_.end();
  return image_;
}

int ScreenDpiX() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen != nullptr ? qRound(screen->logicalDotsPerInchX()) : 96;
}

int ScreenDpiY() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen != nullptr ? qRound(screen->logicalDotsPerInchY()) : 96;
}

std::unique_ptr<TextCanvas> MakeScreenCanvas() {
  return std::make_unique<QtImageCanvas>(ScreenDpiX(), ScreenDpiY());
}

}  // namespace quill
