#include "main/ui/class_color.h"

#include <QApplication>

namespace quill {

namespace {

// The palette role standing in for each system colour index; the ones
// without a near match take the nearest by use.
QPalette::ColorRole SystemRole(uint32_t index, QPalette::ColorGroup* group) {
  *group = QPalette::Active;
  switch (index) {
    case 4:   // clMenu
    case 15:  // clBtnFace
    case 12:  // clAppWorkSpace
    case 0:   // clScrollBar
      return QPalette::Button;
    case 7:   // clMenuText
    case 18:  // clBtnText
      return QPalette::ButtonText;
    case 6:   // clWindowFrame
    case 8:   // clWindowText
      return QPalette::Text;
    case 13:  // clHighlight
    case 2:   // clActiveCaption
      return QPalette::Highlight;
    case 14:  // clHighlightText
    case 9:   // clCaptionText
      return QPalette::HighlightedText;
    case 16:  // clBtnShadow
      return QPalette::Dark;
    case 17:  // clGrayText
      *group = QPalette::Disabled;
      return QPalette::Text;
    case 20:  // clBtnHighlight
      return QPalette::Light;
    case 21:  // cl3DDkShadow
      return QPalette::Shadow;
    case 22:  // cl3DLight
      return QPalette::Midlight;
    case 23:  // clInfoText
      return QPalette::ToolTipText;
    case 24:  // clInfoBk
      return QPalette::ToolTipBase;
    case 1:   // clBackground
    case 3:   // clInactiveCaption
    case 10:  // clActiveBorder
    case 11:  // clInactiveBorder
      return QPalette::Window;
    default:  // clWindow and the rest
      return QPalette::Base;
  }
}

}  // namespace

QColor ClassColor(int32_t value, const QPalette& palette) {
  const auto v = static_cast<uint32_t>(value);
  if ((v & 0xFF000000u) == 0xFF000000u) {
    QPalette::ColorGroup group;
    const QPalette::ColorRole role = SystemRole(v & 0xFFu, &group);
    return palette.color(group, role);
  }
  return QColor(v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF);
}

QColor ClassColor(int32_t value) { return ClassColor(value, QApplication::palette()); }

int32_t ToColorRef(const QColor& color) {
  return static_cast<int32_t>(static_cast<uint32_t>(color.red()) |
                              (static_cast<uint32_t>(color.green()) << 8) |
                              (static_cast<uint32_t>(color.blue()) << 16));
}

}  // namespace quill
