#include "main/ui/qt_translations.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QTranslator>

namespace quill {

QString QtTranslationsFolder() { return QLibraryInfo::path(QLibraryInfo::TranslationsPath); }

Status LoadQtTranslations(QCoreApplication& app, const QString& folder) {
  // The application owns the translator: it lives as long as the texts.
  auto* translator = new QTranslator(&app);
  if (!translator->load(QString::fromLatin1(kQtTranslationFile), folder)) {
    delete translator;
    return Status::NotFound("Qt's Japanese texts could not be loaded from " +
                            QDir(folder).filePath(kQtTranslationFile).toStdString());
  }
  QCoreApplication::installTranslator(translator);
  return Status::Ok();
}

}  // namespace quill
