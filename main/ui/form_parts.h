// Small pieces the dialogs are built from: the dialog frame's flags,
// named buttons and line edits, the OK/cancel row, and centring on the
// screen.
#pragma once

#include <QString>
#include <Qt>
#include <string>

class QHBoxLayout;
class QLineEdit;
class QPushButton;
class QWidget;

namespace quill {

// A dialog with a title bar and a close box only.
inline constexpr Qt::WindowFlags kDialogFlags =
    Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;

inline QString U(const char* utf8) { return QString::fromUtf8(utf8); }

// A push button that does not take Enter unless made the default.
QPushButton* Button(QWidget* parent, const char* name, const char* caption);
// A line edit with CP932 text.
QLineEdit* Line(QWidget* parent, const char* name, const std::string& text);
// OK and cancel at the right end of a row; OK is the default button.
QHBoxLayout* ButtonRow(QPushButton* ok, QPushButton* cancel);
// Moves w to the middle of its screen.
void CentreOnScreen(QWidget* w);

}  // namespace quill
