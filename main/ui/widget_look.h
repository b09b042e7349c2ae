// Fonts and colours of the settings and cards on the widgets.
#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>

class QWidget;

namespace quill {

struct CardFont;

// `font` as a Qt font: its face first, then the faces of `base`, which
// stand in when this machine has no face of that name; size and style
// from `font`.
QFont QtFontOf(const CardFont& font, const QFont& base);

// Sets one colour of `widget`'s palette, and of the viewport that paints
// the inside of a scroll area (tree, table, text field). The main window's
// style sheet gives every widget a palette of its own when it is first
// polished, so a colour set on a scroll area alone never reaches its
// viewport after that.
void SetWidgetColor(QWidget* widget, QPalette::ColorRole role, const QColor& color);

}  // namespace quill
