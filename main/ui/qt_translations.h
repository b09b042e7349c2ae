// Qt's own texts in Japanese: the captions and buttons of the standard
// dialogs (colour, font, file and print dialogs and their messages) and
// the context menus of the text widgets, from Qt's translation
// "qtbase_ja.qm" in Qt's translations folder. Loaded at start whatever the
// user's locale, as every other text of the program is Japanese.
#pragma once

#include <QString>

#include "platform/status.h"

class QCoreApplication;

namespace quill {

inline constexpr char kQtTranslationFile[] = "qtbase_ja.qm";

// The folder Qt's translations are installed in.
QString QtTranslationsFolder();

// Installs the translation in the application from `folder` (by default
// Qt's own). A missing or unreadable file is returned; Qt's texts then
// stay English and nothing else changes.
Status LoadQtTranslations(QCoreApplication& app, const QString& folder = QtTranslationsFolder());

}  // namespace quill
