#include "main/ui/html_view.h"

#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QImage>
#include <QPlainTextEdit>
#include <QTextDocument>
#include <QTreeView>
#include <filesystem>

#include "clip/html_capture.h"
#include "clip/html_marker.h"
#include "clip/html_view_file.h"
#include "clip/page_images.h"
#include "main/ui/main_form.h"
#include "main/ui/main_form_test_support.h"
#include "platform/headless/fake_shell.h"
#include "platform/headless/fake_ui.h"
#include "platform/headless/temp_dir.h"
#include "platform/qt/test_app.h"
#include "platform/qt/test_png.h"
#include "platform/text_codec.h"
#include "store/card_store.h"
#include "store/card_test_support.h"

namespace quill {
namespace {

// An HTML card's text: a page that names its charset wrongly, one image.
std::string HtmlCardText() {
  return Utf8ToCp932("見出し\r\n") + std::string(kHtmlMarkerLine) + "\r\n\r\n" +
         Utf8ToCp932("<HTML ><meta charset=\"iso-8859-1\"><p>日本語の本文<IMG SRC=\"a.png\">"
                     "<a href=\"https://x.example/\">web</a> <a href=\"javascript:f()\">js</a>"
                     " <a href=\"other.html\">rel</a></p>\r\n") +
         std::string(kHtmlDataLine) + "\r\n" + ImageBlock("a.png", TestPng(4, 3, Qt::red));
}

TEST(HtmlViewTest, ShowsThePageOfItsFolderAndOnlyItsFiles) {
  TestApp();
  TempDir dir;
  std::filesystem::create_directories(dir.File("tmp"));
  ASSERT_TRUE(
      FileEnv::Default().WriteFileAtomic(dir.File("secret.png"), TestPng(4, 3, Qt::blue)).ok());
  ASSERT_TRUE(WriteHtmlViewFile(FileEnv::Default(), dir.File("tmp"), HtmlCardText()).ok());
  FakeShell shell;
  TWebFm view(dir.File("tmp"), shell, nullptr);
  EXPECT_TRUE(view.toPlainText().contains(QString::fromUtf8("日本語の本文")));
  const QImage shown =
      view.document()->resource(QTextDocument::ImageResource, QUrl("a.png")).value<QImage>();
  EXPECT_EQ(shown.pixelColor(0, 0), QColor(Qt::red));
  // Nothing outside the folder, no other scheme, no view file.
  for (const char* address : {"../secret.png", dir.File("secret.png").c_str(),
                              "file:///etc/passwd", "http://127.0.0.1/a.png", "index.html"}) {
    EXPECT_FALSE(view.loadResource(QTextDocument::ImageResource, QUrl(address)).isValid())
        << address;
  }
  EXPECT_FALSE(view.loadResource(QTextDocument::HtmlResource, QUrl("index.html")).isValid());

  // Web addresses go to the shell; scripts and pages of the folder do not.
  for (const char* link : {"https://x.example/", "javascript:f()", "other.html"}) {
    emit view.anchorClicked(QUrl(link));
  }
  EXPECT_EQ(shell.opened, std::vector<std::string>{"address:https://x.example/"});

  // A text card after it: the notice, not the page before.
  ASSERT_TRUE(WriteHtmlViewFile(FileEnv::Default(), dir.File("tmp"), "text").ok());
  view.Reload();
  EXPECT_EQ(view.toPlainText().trimmed(),
            QString::fromUtf8("ＨＴＭＬデータではありませんでした"));
}

// The main window shows an 'H' card as its page and a text card as text.
TEST(HtmlViewTest, TheMainWindowShowsAnHtmlCardAsItsPage) {
  TestApp();
  TempDir dir;
  ASSERT_NO_FATAL_FAILURE(store::WriteTestDataSet(dir.Path() + "/", [](store::CardStore& cards) {
    store::WriteFolderRow(cards, "A");
    store::WriteKindCard(cards, "A", "page", HtmlCardText(), 'H');
    store::WriteKindCard(cards, "A", "plain", "just text", 0);
  }));
  FakeUi ui;
  FakeShell shell;
  MainFormContext context = TestFormContext(dir, ui);
  context.shell = &shell;
  TMainForm form(std::move(context));
  ASSERT_TRUE(form.FormCreate().ok());
  QAbstractItemModel* m = form.Tree->model();
  const auto row = [&](const char* caption) {
    const QModelIndexList found =
        m->match(m->index(0, 0), Qt::DisplayRole, caption, 1, Qt::MatchRecursive);
    return found.isEmpty() ? QModelIndex() : found[0];
  };
  ASSERT_TRUE(row("page").isValid());
  form.Tree->setCurrentIndex(row("page"));
  ASSERT_NE(form.WebView, nullptr);
  EXPECT_FALSE(form.WebView->isHidden());
  EXPECT_TRUE(form.Text->isHidden());
  EXPECT_TRUE(form.WebView->toPlainText().contains(QString::fromUtf8("日本語の本文")));
  EXPECT_TRUE(std::filesystem::exists(dir.File("tmp/a.png")));

  form.Tree->setCurrentIndex(row("plain"));
  EXPECT_EQ(form.WebView, nullptr);
  EXPECT_FALSE(form.Text->isHidden());
  form.close();
}

}  // namespace
}  // namespace quill
