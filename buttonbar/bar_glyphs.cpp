#include "buttonbar/bar_glyphs.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygon>

namespace quill {

namespace {

constexpr int kSize = 20;

// A button's face: a light square with a dark edge.
void DrawFace(QPainter& p) {
  p.setPen(QColor(70, 70, 90));
  p.setBrush(QColor(232, 232, 236));
  p.drawRoundedRect(QRectF(0.5, 0.5, kSize - 1, kSize - 1), 3, 3);
}

void DrawSave(QPainter& p, const QColor& card) {
  DrawFace(p);
  p.setPen(QColor(40, 40, 40));
  p.setBrush(card);
  p.drawRect(3, 10, 13, 7);
  // The arrow down into the card.
  p.setPen(QPen(QColor(20, 110, 20), 2));
  p.drawLine(10, 2, 10, 10);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(20, 110, 20));
  p.drawPolygon(QPolygon({QPoint(6, 8), QPoint(14, 8), QPoint(10, 13)}));
}

}  // namespace

QPixmap DrawBarGlyph(BarGlyph glyph) {
  QPixmap pixmap(kSize, kSize);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  // Curves are smoothed; the straight pictures keep sharp pixels.
  const bool curved = glyph == BarGlyph::kIcon || glyph == BarGlyph::kSaveHtml ||
                      glyph == BarGlyph::kClipTool;
  p.setRenderHint(QPainter::Antialiasing, curved);
  switch (glyph) {
    case BarGlyph::kIcon: {
      // A quill: the vane leaning right, the shaft ending in a nib.
      QPainterPath vane;
      vane.moveTo(4, 17);
      vane.cubicTo(6, 9, 11, 3, 18, 1);
      vane.cubicTo(16, 7, 12, 13, 4, 17);
      p.setPen(QPen(QColor(255, 255, 255), 1));
      p.setBrush(QColor(255, 240, 170));
      p.drawPath(vane);
      p.setPen(QPen(QColor(255, 255, 255), 1.5));
      p.drawLine(QPointF(2, 19), QPointF(14, 6));
      break;
    }
    case BarGlyph::kPaste:
      DrawFace(p);
      p.setPen(QColor(90, 60, 20));
      p.setBrush(QColor(190, 140, 70));
      p.drawRect(4, 3, 11, 14);
      p.setPen(QColor(120, 120, 120));
      p.setBrush(Qt::white);
      p.drawRect(6, 6, 7, 9);
      p.setPen(Qt::NoPen);
      p.setBrush(QColor(60, 60, 60));
      p.drawRect(7, 2, 5, 3);
      p.setPen(QColor(120, 120, 120));
      p.drawLine(8, 9, 11, 9);
      p.drawLine(8, 12, 11, 12);
      break;
    case BarGlyph::kRedSave:
      DrawSave(p, QColor(215, 40, 40));
      break;
    case BarGlyph::kWhiteSave:
      DrawSave(p, QColor(255, 255, 255));
      break;
    case BarGlyph::kBlueSave:
      DrawSave(p, QColor(50, 90, 220));
      break;
    case BarGlyph::kSaveHtml:
      DrawFace(p);
      p.setPen(QPen(QColor(20, 80, 120), 1));
      p.setBrush(QColor(120, 200, 230));
      p.drawEllipse(QRectF(3.5, 3.5, 13, 13));
      p.setBrush(Qt::NoBrush);
      p.drawEllipse(QRectF(7, 3.5, 6, 13));
      p.drawLine(QPointF(3.5, 10), QPointF(16.5, 10));
      break;
    case BarGlyph::kSave2:
      DrawFace(p);
      p.setPen(QColor(120, 90, 10));
      p.setBrush(QColor(240, 200, 70));
      p.drawPolygon(QPolygon({QPoint(3, 6), QPoint(8, 6), QPoint(9, 8), QPoint(16, 8),
                              QPoint(16, 16), QPoint(3, 16)}));
      p.setPen(QPen(QColor(20, 110, 20), 2));
      p.drawLine(9, 12, 13, 12);
      p.drawLine(11, 10, 11, 14);
      break;
    case BarGlyph::kClipTool:
      DrawFace(p);
      p.setPen(QPen(QColor(60, 60, 70), 1.5));
      p.drawLine(QPointF(6, 3), QPointF(13, 12));
      p.drawLine(QPointF(14, 3), QPointF(7, 12));
      p.setPen(QPen(QColor(200, 40, 40), 1.5));
      p.setBrush(Qt::NoBrush);
      p.drawEllipse(QRectF(3.5, 12, 4.5, 4.5));
      p.drawEllipse(QRectF(12, 12, 4.5, 4.5));
      break;
  }
  return pixmap;
}

}  // namespace quill
