// Qt's own texts in Japanese, offscreen: without the translation the
// standard dialogs speak English; with it, loaded as at start, their
// captions, buttons and the text widgets' context menus are Japanese,
// whatever the locale.
#include "main/ui/qt_translations.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QColorDialog>
#include <QDialogButtonBox>
#include <QFontDialog>
#include <QLocale>
#include <QMenu>
#include <QPushButton>
#include <QTextBrowser>
#include <memory>

#include "platform/headless/temp_dir.h"
#include "platform/qt/test_app.h"

namespace quill {
namespace {

QString U(const char* s) { return QString::fromUtf8(s); }

struct Shown {
  QString colour, font, cancel;
  QStringList menu;
};

Shown StandardTexts() {
  Shown s;
  s.colour = QColorDialog(nullptr).windowTitle();
  s.font = QFontDialog(nullptr).windowTitle();
  QDialogButtonBox box(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  s.cancel = box.button(QDialogButtonBox::Cancel)->text();
  QTextBrowser view;
  view.setHtml("<a href='http://x.jp/'>x</a>");
  std::unique_ptr<QMenu> menu(view.createStandardContextMenu());
  for (QAction* a : menu->actions()) {
    if (!a->isSeparator()) s.menu << a->text().section('\t', 0, 0);
  }
  return s;
}

TEST(QtTranslationsTest, StandardDialogsSpeakJapaneseOnceLoaded) {
  QApplication& app = TestApp();
  QLocale::setDefault(QLocale::c());  // the user's locale plays no part

  TempDir empty;
  EXPECT_TRUE(LoadQtTranslations(app, QString::fromStdString(empty.Path())).IsNotFound());
  const Shown english = StandardTexts();
  EXPECT_EQ(english.colour, "Select Color");
  EXPECT_EQ(english.cancel, "Cancel");

  ASSERT_TRUE(LoadQtTranslations(app).ok()) << QtTranslationsFolder().toStdString();
  const Shown japanese = StandardTexts();
  EXPECT_EQ(japanese.colour, U("色を選択"));
  EXPECT_EQ(japanese.font, U("フォントの選択"));
  EXPECT_EQ(japanese.cancel, U("キャンセル"));
  EXPECT_TRUE(japanese.menu.contains(U("コピー(&C)"))) << japanese.menu.join('|').toStdString();
  EXPECT_TRUE(japanese.menu.contains(U("すべてを選択"))) << japanese.menu.join('|').toStdString();
}

}  // namespace
}  // namespace quill
