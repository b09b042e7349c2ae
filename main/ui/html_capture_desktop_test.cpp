// Page capture on an X display with a window manager: HTML offered on the
// clipboard by xclip reads in the header form; a small window of the test
// copies as a browser does (text, text/html, the page's address), its
// images on an HTTP server of the test, and quillmain's HTML save key over
// it makes an HTML card with one image block within the time limits; the
// card shown again opens in a card window that displays the page with its
// image (a screenshot is kept), and closing the main window ends the
// program with that window still open.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QClipboard>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QKeyEvent>
#include <QMimeData>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QTest>
#include <QWidget>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "clip/html_marker.h"
#include "main/ui/main_form_test_support.h"
#include "main/ui/quillmain_desktop_support.h"
#include "main/ui/qt_clipboard.h"
#include "platform/clipboard.h"
#include "platform/file_env.h"
#include "platform/headless/desktop_clients.h"
#include "platform/headless/temp_dir.h"
#include "platform/headless/test_http_server.h"
#include "platform/protocol/shared_hook_block.h"
#include "platform/qt/test_app.h"
#include "platform/qt/test_png.h"
#include "platform/shared_memory.h"
#include "platform/text_codec.h"
#include "store/card_store.h"
#include "store/card_test_support.h"

// Xlib last: its macros clash with Qt and our headers.
#include <X11/Xlib.h>

#include "platform/x11/x11_support.h"

namespace quill {
namespace {

namespace fs = std::filesystem;

constexpr uint16_t kSaveHtmlKey = 0xC048;  // Ctrl+Alt+H

std::string Utf16Le(const std::string& utf8, bool bom) {
  const QString text = QString::fromStdString(utf8);
  std::string out = bom ? "\xff\xfe" : "";
  for (QChar c : text) {
    out.push_back(static_cast<char>(c.unicode() & 0xFF));
    out.push_back(static_cast<char>(c.unicode() >> 8));
  }
  return out;
}

// The copy source: on Ctrl+C it offers what a browser offers for a
// selection of its page.
class CopySource : public QWidget {
 public:
  CopySource(std::string text, std::string html, std::string url)
      : text_(std::move(text)), html_(std::move(html)), url_(std::move(url)) {
    setWindowTitle("copy source");
    resize(300, 120);
  }
  int copies = 0;

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    if (!event->matches(QKeySequence::Copy)) return;
    auto* mime = new QMimeData;
    mime->setText(QString::fromStdString(text_));
    mime->setHtml(QString::fromStdString(html_));
    mime->setData("text/x-moz-url-priv", QByteArray::fromStdString(Utf16Le(url_, false)));
    QGuiApplication::clipboard()->setMimeData(mime);
    ++copies;
  }

 private:
  std::string text_, html_, url_;
};

class HtmlCaptureDesktopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!TestAppOnX()) GTEST_SKIP() << "needs an X display";
  }
};

TEST_F(HtmlCaptureDesktopTest, HtmlFromXclipReadsInTheHeaderForm) {
  TempDir dir;
  QtClipboard clipboard;
  struct Case {
    std::string offered;
    const char* name;
  };
  const Case cases[] = {{"<b>日本</b>", "UTF-8"}, {Utf16Le("<b>日本</b>", true), "UTF-16"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(FileEnv::Default().WriteFileAtomic(dir.File("offer"), c.offered).ok());
    RunTool(
        {"sh", "-c",
         "xclip -selection clipboard -t text/html -i '" + dir.File("offer") + "' >/dev/null 2>&1"});
    std::string format;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
          format = HtmlFormatOf(clipboard.Snapshot());
          return !format.empty();
        },
        5000));
    EXPECT_EQ(format,
              "Version:0.9\r\n<html><body>\r\n<!--StartFragment--><b>日本</b>"
              "<!--EndFragment-->\r\n</body>\r\n</html>");
  }
}

TEST_F(HtmlCaptureDesktopTest, TheHtmlSaveKeyOverABrowserMakesAnHtmlCard) {
  TestHttpServer server;
  ASSERT_TRUE(server.ok());
  const std::string red = TestPng(60, 40, QColor(255, 0, 0));
  TestHttpServer::Route png = TestHttpServer::Route::Answer(200, red);
  png.content_type = "image/png";
  server.Add("/img/a.png", png);
  TestHttpServer::Route big;
  big.body = std::string(600000, 'b');
  server.Add("/img/big.png", big);
  TestHttpServer::Route silent;
  silent.never_answers = true;
  server.Add("/img/hang.png", silent);
  const std::string page = server.Url("/news/page.html");
  const std::string html =
      "<p onclick=\"x()\">キャプチャの本文<img src=\"/img/a.png\">"
      "<img src=\"../img/big.png\"><img src=\"//127.0.0.1:" +
      std::to_string(server.port()) + "/img/hang.png\"><script>alert(1)</script></p>";
  CopySource source("キャプチャの本文", html, page);

  // quillmain with a one-shot folder "Web" and the HTML save key.
  Sandbox sandbox("html");
  const TempDir& dir = sandbox.dir;
  const std::string& home = sandbox.home;
  const std::string& block = sandbox.block;
  fs::create_directories(home);
  {
    store::CardStore set(FileEnv::Default(), home + "/");
    ASSERT_TRUE(set.Open(false, "").ok());
    store::WriteFolderRow(set, "Web");
    ASSERT_TRUE(set.RebuildTreeFile().ok());
    ASSERT_TRUE(set.Close().ok());
  }
  std::ofstream(home + "/quillmain.ini", std::ios::binary)
      << "[Env]\r\nUseButton=0\r\nSaveHtmlKey=" << kSaveHtmlKey
      << "\r\nDefAddKubun=Web\r\nDefAddKubunFile=0\r\nSaveUrl=1\r\n";
  const std::string bin = dir.File("bin");
  fs::create_directories(bin);
  const std::string played = WriteFakeSoundPlayer(bin);
  QProcessEnvironment env = sandbox.env;
  env.insert("PATH", QString::fromStdString(bin) + ":" + env.value("PATH"));
  QProcess quillmain;
  StartQuillmain(quillmain, env);
  ASSERT_TRUE(quillmain.waitForStarted(10000));
  // The hot keys are grabbed once the hooks are in.
  ASSERT_TRUE(QTest::qWaitFor([&] { return HooksInstalledIn(block); }, 20000));
  const unsigned long main_window = MainWindowOf(block);

  source.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&source));
  const std::string source_window = std::to_string(source.winId());
  const auto bring_source = [&] {
    RunTool({"xdotool", "windowactivate", "--sync", source_window});
    return QTest::qWaitFor([&] { return source.isActiveWindow(); }, 5000);
  };
  ASSERT_TRUE(bring_source());

  // The key: the page's text, HTML and address are copied, the images
  // fetched (the silent one for its 30 s at most) and the card written.
  QElapsedTimer took;
  took.start();
  ASSERT_EQ(RunTool({"xdotool", "key", "ctrl+alt+h"}).status, 0);
  ASSERT_TRUE(QTest::qWaitFor([&] { return fs::exists(played); }, 90000))
      << "no card was registered; copies: " << source.copies;
  EXPECT_LT(took.elapsed(), 60000 + 10000);
  EXPECT_GE(source.copies, 1);

  // The capture ends with the user's clipboard put back, which takes it
  // from the copy source.
  EXPECT_TRUE(
      QTest::qWaitFor([] { return !QGuiApplication::clipboard()->ownsClipboard(); }, 10000));

  // The same selection again within 15 s opens the card in a card window,
  // which shows it as its page.
  ASSERT_TRUE(bring_source());
  ASSERT_EQ(RunTool({"xdotool", "key", "ctrl+alt+h"}).status, 0);
  QImage screen;
  const bool shown = QTest::qWaitFor(
      [&] {
        screen = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
        return PixelsOf(screen, QColor(255, 0, 0)) >= 60 * 40;
      },
      20000);
  EXPECT_TRUE(screen.save(QString(ARTEFACT_DIR) + "/quillmain_html_card.png"));
  EXPECT_TRUE(shown) << "the image of the card is not on the screen";

  Display* display = XOpenDisplay(nullptr);
  ASSERT_NE(display, nullptr);
  // The card window (titled as the card) goes first: with one open,
  // closing the main window would ask.
  const auto card_windows = [&] {
    std::vector<unsigned long> out;
    std::istringstream ids(
        RunTool({"xdotool", "search", "--onlyvisible", "--name", "^キャプチャの本文$"}).out);
    for (std::string id; ids >> id;) out.push_back(std::strtoul(id.c_str(), nullptr, 10));
    return out;
  };
  EXPECT_EQ(card_windows().size(), 1u);
  for (unsigned long w : card_windows()) RequestClose(display, w);
  EXPECT_TRUE(QTest::qWaitFor([&] { return card_windows().empty(); }, 10000));
  RequestClose(display, main_window);
  XCloseDisplay(display);
  ASSERT_TRUE(quillmain.waitForFinished(20000));
  EXPECT_EQ(quillmain.exitCode(), 0);

  store::CardStore set(FileEnv::Default(), home + "/");
  ASSERT_TRUE(set.Open(true, "").ok());
  const std::vector<store::CardRecord> cards = store::CardsOfFolder(set, "Web");
  ASSERT_EQ(cards.size(), 1u);
  const store::CardRecord& card = cards[0];
  EXPECT_EQ(card.kind, 'H');
  EXPECT_TRUE(card.text.starts_with(Utf8ToCp932("★入手先URL=") + page + "\r\n\r\n" +
                                    Utf8ToCp932("キャプチャの本文") + "\r\n" +
                                    std::string(kHtmlMarkerLine) + "\r\n\r\n"))
      << card.text.substr(0, 200);
  EXPECT_NE(
      card.text.find(Utf8ToCp932("<P >キャプチャの本文<IMG SRC=\"a.png\"><IMG SRC=\"big.png\">"
                                 "<IMG SRC=\"hang.png\"></p>")),
      std::string::npos);
  EXPECT_EQ(card.text.find("script"), std::string::npos);
  EXPECT_NE(card.text.find("<QuillboxHtml Data>\r\n<IMGFILE=a.png>\r\n"), std::string::npos);
  size_t blocks = 0;
  for (size_t at = card.text.find("<IMGFILE="); at != std::string::npos;
       at = card.text.find("<IMGFILE=", at + 1)) {
    ++blocks;
  }
  EXPECT_EQ(blocks, 1u);
  // The page was named as the referer of every image fetched.
  for (const auto& seen : server.requests()) EXPECT_EQ(seen.referer, page) << seen.path;
}

}  // namespace
}  // namespace quill
