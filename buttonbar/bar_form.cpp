#include "buttonbar/bar_form.h"

#include <QCloseEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <algorithm>

#include "buttonbar/bar_glyphs.h"
#include "platform/text_codec.h"

namespace quill {

namespace {

// Colours are given as 0x00BBGGRR.
QColor FromColorRef(uint32_t bgr) {
  return QColor(static_cast<int>(bgr & 0xFF), static_cast<int>(bgr >> 8 & 0xFF),
                static_cast<int>(bgr >> 16 & 0xFF));
}
constexpr uint32_t kFormColor = 0xA00000;  // a dark blue
constexpr uint32_t kTipColor = 0xAAFFFF;   // a pale yellow
constexpr int kTipLeft = 9;
constexpr int kTipTop = 26;

MouseButton ToMouseButton(Qt::MouseButton button) {
  switch (button) {
    case Qt::LeftButton:
      return MouseButton::kLeft;
    case Qt::RightButton:
      return MouseButton::kRight;
    default:
      return MouseButton::kOther;
  }
}

ScreenPoint GlobalPoint(const QMouseEvent* event) {
  const QPoint p = event->globalPosition().toPoint();
  return ScreenPoint{p.x(), p.y()};
}

}  // namespace

GlyphButton::GlyphButton(QWidget* parent) : QAbstractButton(parent) {
  setFocusPolicy(Qt::NoFocus);
  setFixedSize(20, 20);
}

void GlyphButton::SetGlyph(const QPixmap& glyph) {
  glyph_ = glyph;
  update();
}

void GlyphButton::paintEvent(QPaintEvent*) {
  QPainter p(this);
  // Pressed, the picture sinks by a pixel.
  const int shift = isDown() ? 1 : 0;
  p.drawPixmap(shift, shift, glyph_);
  if (underMouse()) {
    p.setPen(QColor(255, 255, 255, 160));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
  }
}

void GlyphButton::enterEvent(QEnterEvent* event) {
  QAbstractButton::enterEvent(event);
  if (on_hover) on_hover(true);
  update();
}

void GlyphButton::leaveEvent(QEvent* event) {
  QAbstractButton::leaveEvent(event);
  if (on_hover) on_hover(false);
  update();
}

TForm3::TForm3(BlockOpener open_block, WindowSystem& windows, MessageBus& bus, Clock& clock)
    : QWidget(nullptr,
              Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                  Qt::WindowDoesNotAcceptFocus),
      bar_(std::move(open_block), windows, bus, clock, *this),
      IconImage(DrawBarGlyph(BarGlyph::kIcon)),
      Img_RedSave(DrawBarGlyph(BarGlyph::kRedSave)),
      Img_WhiteSave(DrawBarGlyph(BarGlyph::kWhiteSave)),
      Img_BlueSave(DrawBarGlyph(BarGlyph::kBlueSave)) {
  setObjectName("Form3");
  setAttribute(Qt::WA_ShowWithoutActivating);
  setFocusPolicy(Qt::NoFocus);
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, FromColorRef(kFormColor));
  setPalette(palette);
  setAutoFillBackground(true);
  QFont font(QStringLiteral("sans-serif"));
  font.setPixelSize(11);
  setFont(font);

  PasteButton = AddButton("PasteButton", 22, BarButton::kPaste);
  PasteButton->SetGlyph(DrawBarGlyph(BarGlyph::kPaste));
  SaveButton = AddButton("SaveButton", 43, BarButton::kSave);
  SaveButton->SetGlyph(Img_RedSave);
  SaveHtmlButton = AddButton("SaveHtmlButton", 64, BarButton::kSaveHtml);
  SaveHtmlButton->SetGlyph(DrawBarGlyph(BarGlyph::kSaveHtml));
  Save2Button = AddButton("Save2Button", 85, BarButton::kSave2);
  Save2Button->SetGlyph(DrawBarGlyph(BarGlyph::kSave2));
  ClipToolButton = AddButton("ClipToolButton", 105, BarButton::kClipTool);
  ClipToolButton->SetGlyph(DrawBarGlyph(BarGlyph::kClipTool));

  TipMessage = new QLabel(this);
  TipMessage->setObjectName("TipMessage");
  TipMessage->move(kTipLeft, kTipTop);
  QPalette tip = TipMessage->palette();
  tip.setColor(QPalette::Window, FromColorRef(kTipColor));
  tip.setColor(QPalette::WindowText, Qt::black);
  TipMessage->setPalette(tip);
  TipMessage->setAutoFillBackground(true);

  TCTimer = new QTimer(this);
  TCTimer->setObjectName("TCTimer");
  connect(TCTimer, &QTimer::timeout, this, [this] { bar_.TCTimerTimer(); });

  resize(ButtonBar::kClientWidth, ButtonBar::kClientHeight);
}

TForm3::~TForm3() {
  // The buttons go after the form's own members.
  for (GlyphButton* b : {PasteButton, SaveButton, SaveHtmlButton, Save2Button, ClipToolButton}) {
    b->on_hover = nullptr;
  }
}

GlyphButton* TForm3::AddButton(const char* name, int left, BarButton button) {
  auto* b = new GlyphButton(this);
  b->setObjectName(name);
  b->move(left, 0);
  connect(b, &QAbstractButton::clicked, this, [this, button] { bar_.ButtonClick(button); });
  b->on_hover = [this, button](bool inside) {
    if (inside) {
      ShowTip(button);
    } else {
      HideTip();
    }
  };
  return b;
}

void TForm3::FormCreate(WindowHandle self) { bar_.FormCreate(self); }

void TForm3::WndProc(const Message& msg) { bar_.WndProc(msg.message, msg.wparam, msg.lparam); }

void TForm3::MoveBar(int left, int top) { move(left, top); }

void TForm3::CloseBar() { close(); }

void TForm3::StartTimer(uint32_t ms) { TCTimer->start(static_cast<int>(ms)); }

void TForm3::SetSaveGlyph(SaveGlyph glyph) {
  switch (glyph) {
    case SaveGlyph::kRed:
      SaveButton->SetGlyph(Img_RedSave);
      break;
    case SaveGlyph::kWhite:
      SaveButton->SetGlyph(Img_WhiteSave);
      break;
    case SaveGlyph::kBlue:
      SaveButton->SetGlyph(Img_BlueSave);
      break;
  }
}

void TForm3::ShowSaveButtons(bool save, bool save_html) {
  SaveButton->setVisible(save);
  SaveHtmlButton->setVisible(save_html);
}

void TForm3::CaptureMouse(bool capture) {
  if (capture == grabbing_) return;
  grabbing_ = capture;
  if (capture) {
    grabMouse();
  } else {
    releaseMouse();
  }
}

void TForm3::ShowTip(BarButton button) {
  TipMessage->setText(QString::fromStdString(Cp932ToUtf8(bar_.Hint(button))));
  TipMessage->adjustSize();
  resize(std::max(TipMessage->x() + TipMessage->width() + 2, ButtonBar::kClientWidth),
         TipMessage->y() + TipMessage->height() + 2);
}

void TForm3::HideTip() { resize(ButtonBar::kClientWidth, ButtonBar::kClientHeight); }

void TForm3::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (shown_) return;
  shown_ = true;
  // After the show has finished: without the block the bar closes at once.
  QTimer::singleShot(0, this, [this] { bar_.FormShow(); });
}

void TForm3::closeEvent(QCloseEvent* event) {
  TCTimer->stop();
  CaptureMouse(false);
  bar_.FormClose();
  event->accept();
  emit Closed();
}

void TForm3::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.drawPixmap(0, 0, IconImage);
}

void TForm3::mousePressEvent(QMouseEvent* event) {
  const QPoint inside = event->position().toPoint();
  bar_.FormMouseDown(ToMouseButton(event->button()), GlobalPoint(event),
                     ScreenPoint{inside.x(), inside.y()});
}

void TForm3::mouseMoveEvent(QMouseEvent* event) { bar_.FormMouseMove(GlobalPoint(event)); }

void TForm3::mouseReleaseEvent(QMouseEvent* event) {
  bar_.FormMouseUp(ToMouseButton(event->button()), GlobalPoint(event));
}

}  // namespace quill
