#include "main/ui/widget_look.h"

#include <QAbstractScrollArea>
#include <QStringList>

#include "main/editor/card_editor.h"
#include "platform/qt/cp932_text.h"

namespace quill {

QFont QtFontOf(const CardFont& font, const QFont& base) {
  QFont f = base;
  QStringList families{FromCp932(font.name)};
  families << base.families();
  f.setFamilies(families);
  if (font.size > 0) f.setPointSize(font.size);
  f.setBold(font.bold);
  f.setItalic(font.italic);
  f.setUnderline(font.underline);
  return f;
}

void SetWidgetColor(QWidget* widget, QPalette::ColorRole role, const QColor& color) {
  auto* area = qobject_cast<QAbstractScrollArea*>(widget);
  for (QWidget* w : {widget, area != nullptr ? area->viewport() : nullptr}) {
    if (w == nullptr) continue;
    QPalette palette = w->palette();
    palette.setColor(role, color);
    w->setPalette(palette);
  }
}

}  // namespace quill
