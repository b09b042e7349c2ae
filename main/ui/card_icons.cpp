#include "main/ui/card_icons.h"

#include <QBuffer>
#include <QByteArray>
#include <QPainter>
#include <QPolygon>
#include <array>
#include <functional>

#include "main/tree/card_icon_sheet.h"
#include "main/tree/folder_tree.h"
#include "platform/file_env.h"
#include "platform/messages.h"
#include "platform/text_codec.h"
#include "platform/ui.h"
#include "platform/ui_messages.h"

namespace quill {

namespace {

// --- drawing ---

QImage Blank() {
  QImage image(kIconSize, kIconSize, QImage::Format_RGB32);
  image.fill(QColor(255, 255, 255));
  return image;
}

// Draws on a blank image with a painter that smooths nothing.
QImage Draw(const std::function<void(QPainter&)>& picture) {
  QImage image = Blank();
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing, false);
  picture(p);
  p.end();
  return image;
}

const QColor kOutline(64, 64, 64);
const QColor kLine(150, 150, 150);

void Pen(QPainter& p, const QColor& c) { p.setPen(QPen(c, 1)); }

// A card: a sheet with a folded top right corner and three text lines.
void PaintCardSheet(QPainter& p, const QColor& fill, bool lines = true) {
  const QPolygon sheet({QPoint(2, 1), QPoint(10, 1), QPoint(13, 4), QPoint(13, 14),
                        QPoint(2, 14)});
  Pen(p, kOutline);
  p.setBrush(fill);
  p.drawPolygon(sheet);
  p.drawPolyline(QPolygon({QPoint(10, 1), QPoint(10, 4), QPoint(13, 4)}));
  if (!lines) return;
  Pen(p, kLine);
  p.drawLine(4, 6, 11, 6);
  p.drawLine(4, 9, 11, 9);
  p.drawLine(4, 12, 9, 12);
}

void PaintFolder(QPainter& p, bool open) {
  Pen(p, QColor(120, 90, 0));
  p.setBrush(QColor(240, 200, 60));
  p.drawPolygon(QPolygon({QPoint(1, 3), QPoint(6, 3), QPoint(7, 5), QPoint(14, 5),
                          QPoint(14, 13), QPoint(1, 13)}));
  if (open) {
    p.setBrush(QColor(255, 230, 130));
    p.drawPolygon(QPolygon({QPoint(3, 7), QPoint(15, 7), QPoint(13, 13), QPoint(1, 13)}));
  }
}

void PaintStar(QPainter& p, const QColor& fill) {
  Pen(p, QColor(150, 110, 0));
  p.setBrush(fill);
  p.drawPolygon(QPolygon({QPoint(7, 1), QPoint(9, 6), QPoint(14, 6), QPoint(10, 9),
                          QPoint(12, 14), QPoint(7, 11), QPoint(2, 14), QPoint(4, 9),
                          QPoint(0, 6), QPoint(5, 6)}));
}

void PaintHeart(QPainter& p) {
  Pen(p, QColor(150, 0, 0));
  p.setBrush(QColor(230, 40, 60));
  p.drawPolygon(QPolygon({QPoint(7, 4), QPoint(9, 2), QPoint(12, 2), QPoint(14, 4),
                          QPoint(14, 7), QPoint(7, 14), QPoint(1, 7), QPoint(1, 4),
                          QPoint(3, 2), QPoint(5, 2)}));
}

void PaintCheck(QPainter& p) {
  Pen(p, kOutline);
  p.setBrush(QColor(230, 250, 230));
  p.drawRect(1, 2, 12, 12);
  p.setPen(QPen(QColor(0, 140, 0), 2));
  p.drawPolyline(QPolygon({QPoint(3, 8), QPoint(6, 11), QPoint(13, 3)}));
}

void PaintWarning(QPainter& p) {
  Pen(p, QColor(120, 90, 0));
  p.setBrush(QColor(250, 210, 0));
  p.drawPolygon(QPolygon({QPoint(7, 1), QPoint(14, 14), QPoint(1, 14)}));
  p.fillRect(7, 5, 2, 5, QColor(0, 0, 0));
  p.fillRect(7, 11, 2, 2, QColor(0, 0, 0));
}

void PaintClock(QPainter& p) {
  Pen(p, QColor(0, 0, 120));
  p.setBrush(QColor(220, 235, 255));
  p.drawEllipse(1, 1, 13, 13);
  Pen(p, QColor(0, 0, 0));
  p.drawLine(7, 7, 7, 3);
  p.drawLine(7, 7, 11, 7);
}

void PaintKey(QPainter& p) {
  Pen(p, QColor(120, 90, 0));
  p.setBrush(QColor(230, 190, 50));
  p.drawEllipse(1, 5, 6, 6);
  p.fillRect(7, 7, 8, 2, QColor(230, 190, 50));
  p.fillRect(12, 9, 2, 3, QColor(230, 190, 50));
  p.fillRect(9, 9, 2, 2, QColor(230, 190, 50));
  p.setBrush(Qt::white);
  p.drawRect(3, 7, 2, 2);
}

void PaintPencil(QPainter& p) {
  Pen(p, QColor(90, 60, 0));
  p.setBrush(QColor(250, 180, 40));
  p.drawPolygon(QPolygon({QPoint(11, 1), QPoint(14, 4), QPoint(5, 13), QPoint(2, 10)}));
  p.setBrush(QColor(240, 210, 160));
  p.drawPolygon(QPolygon({QPoint(2, 10), QPoint(5, 13), QPoint(1, 14)}));
  p.fillRect(11, 1, 2, 2, QColor(230, 120, 140));
}

void PaintBulb(QPainter& p) {
  Pen(p, QColor(130, 110, 0));
  p.setBrush(QColor(255, 240, 110));
  p.drawEllipse(3, 1, 9, 9);
  p.setBrush(QColor(160, 160, 160));
  p.drawRect(5, 10, 5, 4);
  Pen(p, kOutline);
  p.drawLine(5, 12, 10, 12);
}

void PaintFlag(QPainter& p) {
  Pen(p, QColor(60, 60, 60));
  p.drawLine(3, 1, 3, 14);
  p.drawLine(2, 14, 6, 14);
  Pen(p, QColor(160, 0, 0));
  p.setBrush(QColor(220, 30, 30));
  p.drawPolygon(QPolygon({QPoint(4, 2), QPoint(13, 5), QPoint(4, 8)}));
}

void PaintPin(QPainter& p) {
  Pen(p, QColor(100, 0, 0));
  p.setBrush(QColor(220, 40, 40));
  p.drawEllipse(5, 1, 7, 7);
  p.drawRect(7, 8, 3, 2);
  Pen(p, QColor(90, 90, 90));
  p.drawLine(8, 10, 4, 14);
}

void PaintPerson(QPainter& p) {
  Pen(p, QColor(0, 60, 120));
  p.setBrush(QColor(120, 170, 230));
  p.drawEllipse(5, 1, 6, 6);
  p.drawPolygon(QPolygon({QPoint(2, 14), QPoint(3, 10), QPoint(6, 8), QPoint(10, 8),
                          QPoint(13, 10), QPoint(14, 14)}));
}

void PaintBook(QPainter& p) {
  Pen(p, QColor(40, 40, 90));
  p.setBrush(QColor(60, 80, 170));
  p.drawRect(3, 1, 10, 13);
  p.fillRect(4, 12, 9, 2, QColor(240, 240, 230));
  Pen(p, QColor(230, 210, 120));
  p.drawLine(6, 4, 11, 4);
  p.drawLine(6, 6, 10, 6);
}

void PaintNote(QPainter& p) {
  Pen(p, QColor(0, 0, 0));
  p.setBrush(QColor(0, 0, 0));
  p.drawEllipse(2, 10, 4, 3);
  p.drawEllipse(9, 9, 4, 3);
  p.drawLine(6, 2, 6, 11);
  p.drawLine(13, 1, 13, 10);
  p.fillRect(6, 1, 8, 3, QColor(0, 0, 0));
}

void PaintEnvelope(QPainter& p) {
  Pen(p, QColor(90, 90, 90));
  p.setBrush(QColor(250, 245, 225));
  p.drawRect(1, 3, 13, 10);
  p.drawPolyline(QPolygon({QPoint(1, 3), QPoint(7, 9), QPoint(14, 3)}));
}

void PaintGlobe(QPainter& p) {
  Pen(p, QColor(0, 70, 130));
  p.setBrush(QColor(110, 180, 240));
  p.drawEllipse(1, 1, 13, 13);
  p.setBrush(Qt::NoBrush);
  p.drawEllipse(4, 1, 7, 13);
  p.drawLine(1, 7, 14, 7);
  p.drawLine(7, 1, 7, 14);
}

void PaintTable(QPainter& p) {
  Pen(p, kOutline);
  p.setBrush(Qt::white);
  p.drawRect(1, 2, 13, 11);
  p.fillRect(2, 3, 12, 3, QColor(170, 200, 240));
  p.drawLine(1, 6, 14, 6);
  p.drawLine(1, 9, 14, 9);
  p.drawLine(5, 2, 5, 13);
  p.drawLine(10, 2, 10, 13);
}

// A card with a plus: the register mark of the menus.
void PaintRegister(QPainter& p) {
  PaintCardSheet(p, QColor(255, 255, 255), false);
  p.fillRect(5, 7, 7, 3, QColor(0, 150, 0));
  p.fillRect(7, 5, 3, 7, QColor(0, 150, 0));
}

// A clipboard with a sheet on it: the clip-history mark of the menus.
void PaintClipboard(QPainter& p) {
  Pen(p, QColor(90, 50, 10));
  p.setBrush(QColor(180, 120, 50));
  p.drawRect(2, 2, 11, 13);
  Pen(p, kOutline);
  p.setBrush(Qt::white);
  p.drawRect(4, 4, 7, 9);
  p.setBrush(QColor(160, 160, 170));
  p.drawRect(5, 1, 5, 3);
  Pen(p, kLine);
  p.drawLine(5, 7, 10, 7);
  p.drawLine(5, 10, 9, 10);
}

// A card with a dotted outline and an arrow: a node picked for a move.
void PaintPicked(QPainter& p) {
  QPen dots(QColor(110, 110, 110), 1, Qt::DotLine);
  p.setPen(dots);
  p.setBrush(QColor(235, 235, 235));
  p.drawRect(1, 1, 10, 13);
  Pen(p, QColor(0, 90, 200));
  p.setBrush(QColor(0, 120, 230));
  p.drawPolygon(QPolygon({QPoint(7, 6), QPoint(11, 6), QPoint(11, 3), QPoint(15, 8),
                          QPoint(11, 13), QPoint(11, 10), QPoint(7, 10)}));
}

// The points of the mark drawn over a marked card's icon.
const QPolygon& MarkPolygon() {
  static const QPolygon mark({QPoint(0, 6), QPoint(4, 15), QPoint(7, 15), QPoint(15, 0),
                              QPoint(5, 10), QPoint(0, 6)});
  return mark;
}

QImage Opaque16(const QImage& image) {
  QImage out = image.convertToFormat(QImage::Format_RGB32);
  if (out.size() != QSize(kIconSize, kIconSize)) {
    out = out.scaled(kIconSize, kIconSize, Qt::IgnoreAspectRatio, Qt::FastTransformation);
  }
  return out;
}

}  // namespace

QImage CardIconList::FixedImage(int i) {
  switch (i) {
    case 0: return Draw(PaintPicked);
    case 1: return Draw([](QPainter& p) { PaintFolder(p, false); });
    case 2: return Draw([](QPainter& p) { PaintFolder(p, true); });
    case 3: return Draw(PaintRegister);
    case 4: return Draw(PaintClipboard);
    default: return Blank();
  }
}

QImage KensakuButtonImage(int i) {
  if (i != 0 && i != 1) return Blank();
  const bool on = i == 1;
  return Draw([on](QPainter& p) {
    const int lines[][3] = {{2, 2, 10}, {6, 2, 10}, {10, 2, 7}};  // y, x from, x to
    for (const auto& l : lines) {
      if (on) p.fillRect(l[1] - 1, l[0] - 1, l[2] - l[1] + 3, 3, QColor(255, 255, 0));
      Pen(p, on ? QColor(0, 0, 255) : kLine);
      p.drawLine(l[1], l[0], l[2], l[0]);
    }
    const QColor glass = on ? QColor(0, 0, 0) : kOutline;
    Pen(p, glass);
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(7, 6, 6, 6);
    p.setPen(QPen(glass, 2));
    p.drawLine(12, 12, 14, 14);
  });
}

QImage CardIconList::BuiltInCardIcon(int n) {
  // Eight card colours, then pictures.
  static const std::array<QColor, 8> kCards = {
      QColor(255, 255, 255), QColor(255, 250, 170), QColor(255, 205, 215), QColor(200, 240, 190),
      QColor(190, 220, 255), QColor(255, 215, 160), QColor(225, 205, 250), QColor(215, 215, 215)};
  if (n >= 0 && n < static_cast<int>(kCards.size())) {
    const QColor fill = kCards[static_cast<size_t>(n)];
    return Draw([&](QPainter& p) { PaintCardSheet(p, fill); });
  }
  static const std::array<std::function<void(QPainter&)>, kBuiltInCardIcons - 8> kPictures = {
      PaintTable,  PaintGlobe,  PaintEnvelope, [](QPainter& p) { PaintStar(p, QColor(255, 215, 0)); },
      PaintHeart,  PaintCheck,  PaintWarning,  PaintClock,
      PaintKey,    PaintPencil, PaintBulb,     PaintFlag,
      PaintPin,    PaintPerson, PaintBook,     PaintNote,
  };
  if (n >= 8 && n < kBuiltInCardIcons) return Draw(kPictures[static_cast<size_t>(n - 8)]);
  return Blank();
}

QImage CardIconList::WithMark(const QImage& icon) {
  QImage marked = Opaque16(icon);
  QPainter p(&marked);
  p.setRenderHint(QPainter::Antialiasing, false);
  // A white outline first, so that the red mark stands out on a red icon
  // too.
  p.setPen(QPen(QColor(255, 255, 255), 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(Qt::NoBrush);
  p.drawPolygon(MarkPolygon());
  p.setPen(QPen(QColor(255, 0, 0), 1));
  p.setBrush(QColor(255, 0, 0));
  p.drawPolygon(MarkPolygon());
  p.end();
  return marked;
}

CardIconList::CardIconList(FileEnv& env, Ui& ui, std::string program_folder)
    : env_(env), ui_(ui), program_folder_(std::move(program_folder)) {}

std::string CardIconList::SheetPath() const { return program_folder_ + kCardIconSheetName; }

QImage CardIconList::Image(int i) const {
  if (i < 0 || i >= count()) return QImage();
  return images_[static_cast<size_t>(i)];
}

QList<QIcon> CardIconList::Icons() const {
  QList<QIcon> icons;
  icons.reserve(count());
  for (const QImage& image : images_) {
    // A selected row shows its image untinted, as an unselected one.
    const QPixmap pixmap = QPixmap::fromImage(image);
    QIcon icon;
    icon.addPixmap(pixmap, QIcon::Normal);
    icon.addPixmap(pixmap, QIcon::Selected);
    icons.push_back(icon);
  }
  return icons;
}

QPixmap CardIconList::GetIconBitmap(int icon) const {
  // An icon number out of range shows icon 0, as the tree does.
  if (icon < 0 || icon >= kCardIconCount) icon = 0;
  return QPixmap::fromImage(Image(kImageCardBase + icon));
}

void CardIconList::LoadCardIcons(int index, const QImage& bitmap) {
  if (index >= 0) {
    if (index >= kCardIconCount || count() != kImageCount) return;
    const QImage icon = Opaque16(bitmap.isNull() ? Blank() : bitmap);
    images_[static_cast<size_t>(kImageCardBase + index)] = icon;
    images_[static_cast<size_t>(kImageMarkedBase + index)] = WithMark(icon);
    return;
  }
  images_.clear();
  images_.reserve(kImageCount);
  for (int i = 0; i < kImageCardBase; ++i) images_.push_back(FixedImage(i));

  const std::string path = SheetPath();
  std::string bytes;
  Status read = env_.ReadFile(path, &bytes);
  QImage sheet;
  SheetFound found = SheetFound::kMissing;
  if (read.ok()) {
    found = sheet.loadFromData(reinterpret_cast<const uchar*>(bytes.data()),
                               static_cast<int>(bytes.size()))
                ? SheetFound::kDecoded
                : SheetFound::kUndecodable;
  } else if (!read.IsNotFound()) {
    found = SheetFound::kUnreadable;
  }
  const IconSheetPlan plan(found, sheet.width(), sheet.height());
  for (int i = 0; i < kCardIconCount; ++i) {
    if (plan.FromSheet(i)) {
      const int x = kIconSize * (i % kSheetColumns), y = kIconSize * (i / kSheetColumns);
      images_.push_back(Opaque16(sheet.copy(x, y, kIconSize, kIconSize)));
    } else {
      images_.push_back(BuiltInCardIcon(IconSheetPlan::BuiltInFor(i)));
    }
  }
  for (int i = 0; i < kCardIconCount; ++i) {
    images_.push_back(WithMark(images_[static_cast<size_t>(kImageCardBase + i)]));
  }

  if (plan.TellUser()) ShowWarning(ui_, MessageId::kCardIconSheetNotUsable, {Utf8ToCp932(path)});
  if (plan.WriteSheet()) {
    Status written = SaveSheet();
    if (!written.ok()) ShowWarning(ui_, MessageId::kCannotWriteFile, {Utf8ToCp932(path)});
  }
}

Status CardIconList::SaveSheet() {
  if (count() != kImageCount) return Status::Invalid("the image list is not built");
  QImage sheet(kSheetSize, kSheetSize, QImage::Format_RGB32);
  sheet.fill(QColor(255, 255, 255));
  QPainter p(&sheet);
  for (int i = 0; i < kCardIconCount; ++i) {
    p.drawImage(kIconSize * (i % kSheetColumns), kIconSize * (i / kSheetColumns),
                images_[static_cast<size_t>(kImageCardBase + i)]);
  }
  p.end();
  QByteArray data;
  QBuffer buffer(&data);
  buffer.open(QIODevice::WriteOnly);
  if (!sheet.save(&buffer, "BMP")) return Status::IoError("the icon sheet cannot be encoded");
  return env_.WriteFileAtomic(SheetPath(), std::string_view(data.constData(), data.size()));
}

}  // namespace quill
