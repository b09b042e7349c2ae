// Card windows in the main window, offscreen, over a real data set in a
// temporary folder.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QInputMethodEvent>
#include <QMenu>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTextDocument>
#include <filesystem>

#include "clip/html_capture.h"
#include "clip/html_marker.h"
#include "clip/page_images.h"
#include "controls/ui/string_grid_pelm.h"
#include "main/editor/card_editor.h"
#include "main/editor/card_window_list.h"
#include "main/tree/folder_tree_model.h"
#include "main/ui/html_view.h"
#include "main/ui/main_form.h"
#include "main/ui/main_form_test_support.h"
#include "main/ui/text_form.h"
#include "platform/headless/fake_clipboard.h"
#include "platform/headless/fake_clock.h"
#include "platform/headless/fake_shell.h"
#include "platform/headless/fake_ui.h"
#include "platform/headless/temp_dir.h"
#include "platform/qt/test_app.h"
#include "platform/qt/test_png.h"
#include "platform/text_codec.h"
#include "store/card_test_support.h"

namespace quill {
namespace {

std::string S(const char* utf8) { return Utf8ToCp932(utf8); }
QString U(const char* utf8) { return QString::fromUtf8(utf8); }

// An HTML card's text: its page says `words` and shows the image "a.png"
// in `color`.
std::string HtmlCard(const char* words, QColor color) {
  return S(words) + "\r\n" + std::string(kHtmlMarkerLine) + "\r\n\r\n" + "<p>" + S(words) +
         "<IMG SRC=\"a.png\"></p>\r\n" + std::string(kHtmlDataLine) + "\r\n" +
         ImageBlock("a.png", TestPng(4, 3, color));
}

class MainFormCardWindowTest : public testing::Test {
 protected:
  MainFormCardWindowTest() {
    TestApp();
    // The data set before the program starts: one card of each kind.
    store::CardStore cards(FileEnv::Default(), dir_.Path() + "/");
    EXPECT_TRUE(cards.Open(false, dir_.Path()).ok());
    store::WriteFolderRow(cards, "F");
    plain_ = store::WriteKindCard(cards, "F", "Alpha", "one", 0);
    auto_ = store::WriteKindCard(cards, "F", "Auto", "auto text", 0, true);
    table_ = store::WriteKindCard(cards, "F", "Table", "a\tb\tc\r\n", 'C');
    red_ = store::WriteKindCard(cards, "F", "Red", HtmlCard("赤い頁", Qt::red), 'H');
    blue_ = store::WriteKindCard(cards, "F", "Blue", HtmlCard("青い頁", Qt::blue), 'H');
    EXPECT_TRUE(cards.Close().ok());

    MainFormContext context = TestFormContext(dir_, ui_);
    context.clipboard = &clipboard_;
    context.shell = &shell_;
    form_ = StartedForm(std::move(context));
  }

  store::CardRecord Read(const std::string& id) { return StoredCard(*form_, id); }

  TTextFm& Open(const std::string& id) {
    form_->OpenCardWindow(id);
    const int i = form_->FindCardWindowIndex(id);
    EXPECT_GE(i, 0);
    return static_cast<TTextFm&>(form_->CardWindows().Window(i));
  }

  // Lets the posted command 103 reach the main window.
  static void Pump() {
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
  }

  TempDir dir_;
  FakeUi ui_;
  FakeClipboard clipboard_;
  FakeShell shell_;
  std::unique_ptr<TMainForm> form_;
  std::string plain_, auto_, table_, red_, blue_;
};

TEST_F(MainFormCardWindowTest, ClosingSavingAndReopening) {
  EXPECT_FALSE(form_->Window->isEnabled());
  TTextFm& w = Open(plain_);
  EXPECT_TRUE(form_->Window->isEnabled());
  EXPECT_EQ(w.windowTitle(), U("Alpha"));
  EXPECT_EQ(w.Text->toPlainText(), U("one"));

  // Unchanged: nothing is written.
  const uint32_t utime = Read(plain_).utime;
  w.close();
  Pump();
  EXPECT_EQ(form_->CardWindows().CardWindowCount(), 0);
  EXPECT_FALSE(form_->Window->isEnabled());
  EXPECT_EQ(Read(plain_).utime, utime);

  // "登録" stores and stays; a second open brings the same window.
  TTextFm& again = Open(plain_);
  again.Title->end(false);
  again.Title->insert(U("改"));
  again.Text->selectAll();
  again.Text->insertPlainText(U("二行\n目"));
  again.Save->click();
  Pump();
  EXPECT_EQ(Read(plain_).title, S("Alpha改"));
  EXPECT_EQ(Read(plain_).text, S("二行\r\n目"));
  EXPECT_EQ(&Open(plain_), &again);
  EXPECT_EQ(form_->CardWindows().CardWindowCount(), 1);

  // A changed close stores the icon too.
  again.Logic().CardKind = 7;
  again.Logic().Changed = 1;
  again.close();
  Pump();
  EXPECT_EQ(form_->CardWindows().CardWindowCount(), 0);
  EXPECT_EQ(Read(plain_).icon, 7);
  EXPECT_TRUE(ui_.questions().empty());
}

TEST_F(MainFormCardWindowTest, AutoTitleTableAndACardDeletedMeanwhile) {
  TTextFm& a = Open(auto_);
  EXPECT_TRUE(a.Title->isReadOnly() == false);  // editable, drawn red
  QTest::keyClicks(a.Title, U("x"));
  a.Text->appendPlainText(U("more"));
  a.close();
  Pump();
  // The window stores no title; the store makes it from the text.
  EXPECT_EQ(Read(auto_).title, "auto text");

  TTextFm& t = Open(table_);
  EXPECT_TRUE(t.CsvGrid->isVisibleTo(&t));
  t.CsvGrid->Grid().SetEditText(3, 1, "");
  t.CsvGrid->Grid().SetEditText(1, 1, "z");
  t.close();
  Pump();
  const store::CardRecord table = Read(table_);
  EXPECT_EQ(table.text, "z\tb\r\n");
  EXPECT_TRUE(table.two_column);

  TTextFm& gone = Open(plain_);
  gone.Text->setPlainText(U("keep me"));
  store::CardRecord r = Read(plain_);
  ASSERT_TRUE(r.Erase(plain_).ok());
  gone.close();
  Pump();
  ASSERT_EQ(ui_.questions().size(), 1u);
  EXPECT_EQ(ui_.questions()[0].text,
            S("元のカードがありませんでした。ＴＥＸＴはクリップボードに入れておきます。"));
  EXPECT_EQ(clipboard_.Text(), "keep me");
  EXPECT_EQ(form_->CardWindows().CardWindowCount(), 0);
}

TEST_F(MainFormCardWindowTest, AppendingToACardInAWindowStoresTheWindowFirst) {
  TTextFm& w = Open(plain_);
  w.Text->selectAll();
  w.Text->insertPlainText(U("edited"));
  clipboard_.OtherSetsText("added");
  form_->AppendToCard(plain_, /*shift_down=*/false);
  Pump();
  // The window's edits are stored and it closes; the append goes after them.
  EXPECT_EQ(form_->CardWindows().CardWindowCount(), 0);
  const std::string text = Read(plain_).text;
  EXPECT_TRUE(text.starts_with("edited\r\n")) << text;
  EXPECT_TRUE(text.ends_with("added\r\n")) << text;
}

TEST_F(MainFormCardWindowTest, CardLinksInAWindowTakeAnIdFirstThenATitle) {
  TTextFm& w = Open(auto_);
  const QString text = QString::fromStdString("<card=" + plain_ + "> <card=Table>");
  w.Text->setPlainText(text);
  QTextCursor caret = w.Text->textCursor();
  caret.setPosition(8);
  w.Text->setTextCursor(caret);
  QTest::keyClick(w.Text, Qt::Key_Return, Qt::ShiftModifier);
  EXPECT_GE(form_->FindCardWindowIndex(plain_), 0);
  EXPECT_EQ(w.Text->toPlainText(), text);  // the Enter is used up

  caret.setPosition(static_cast<int>(text.size()) - 3);
  w.Text->setTextCursor(caret);
  QTest::keyClick(w.Text, Qt::Key_Return, Qt::ShiftModifier);
  EXPECT_GE(form_->FindCardWindowIndex(table_), 0);
  EXPECT_TRUE(ui_.questions().empty());
}

TEST_F(MainFormCardWindowTest, APasteOrACommitPastTheLimitIsRefusedWhole) {
  TTextFm& w = Open(plain_);
  const QString full(static_cast<qsizetype>(kBodyLimitBytes) - 1, 'a');
  w.Text->setPlainText(full);
  w.Text->moveCursor(QTextCursor::End);
  w.Text->setFocus();

  QInputMethodEvent commit;
  commit.setCommitString(U("日"));
  QCoreApplication::sendEvent(w.Text, &commit);
  EXPECT_EQ(ui_.beeps(), 1);
  clipboard_.OtherSetsText("xy");
  QTest::keyClick(w.Text, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(ui_.beeps(), 2);
  EXPECT_EQ(w.Text->document()->characterCount() - 1, static_cast<int>(full.size()));

  // What fits goes in: the last byte by a commit, then nothing more.
  QInputMethodEvent last;
  last.setCommitString(U("z"));
  QCoreApplication::sendEvent(w.Text, &last);
  EXPECT_TRUE(w.Text->toPlainText().endsWith(U("az")));
  clipboard_.OtherSetsText("q");
  w.EditMenu->actions().at(3)->trigger();  // 張り付け
  EXPECT_EQ(ui_.beeps(), 3);
  EXPECT_EQ(w.Text->document()->characterCount() - 1, static_cast<int>(kBodyLimitBytes));
}

TEST_F(MainFormCardWindowTest, TwoHtmlCardsInTwoWindowsEachShowTheirOwnPage) {
  TTextFm& red = Open(red_);
  TTextFm& blue = Open(blue_);
  struct Shown {
    TTextFm* window;
    const char* words;
    QColor color;
  };
  const auto check = [](const Shown& c) {
    SCOPED_TRACE(c.words);
    TWebFm* view = c.window->WebView;
    ASSERT_NE(view, nullptr);
    EXPECT_TRUE(view->isVisibleTo(c.window));
    EXPECT_FALSE(c.window->Text->isVisibleTo(c.window));
    EXPECT_EQ(view->size(), c.window->MainPanel->size());
    EXPECT_TRUE(view->toPlainText().contains(U(c.words)));
    const QImage image =
        view->document()->resource(QTextDocument::ImageResource, QUrl("a.png")).value<QImage>();
    EXPECT_EQ(image.pixelColor(0, 0), c.color);
    // Its menu prints the page, as the main window's view does.
    const std::unique_ptr<QMenu> menu(view->CreateContextMenu(QPoint(1, 1)));
    EXPECT_NE(menu->findChild<QAction*>("PrintPage"), nullptr);
  };
  QCoreApplication::processEvents();
  check({&red, "赤い頁", Qt::red});
  check({&blue, "青い頁", Qt::blue});
  ASSERT_NE(red.WebView->folder(), blue.WebView->folder());

  // A link goes to the shell.
  emit red.WebView->anchorClicked(QUrl("https://x.example/"));
  EXPECT_EQ(shell_.opened, std::vector<std::string>{"address:https://x.example/"});

  // Closing takes the window's folder; the other window's page is whole
  // after a reload.
  const std::string red_folder = red.WebView->folder();
  EXPECT_TRUE(std::filesystem::exists(red_folder + "/a.png"));
  red.close();
  Pump();
  EXPECT_FALSE(std::filesystem::exists(red_folder));
  blue.Button1Click();
  check({&blue, "青い頁", Qt::blue});
  EXPECT_TRUE(ui_.questions().empty());
}

// The new-card command (code 15, the hot key's) with NewCardWin on and the
// main window out of sight: the new card shows in a card window, and the
// main window stays hidden.
TEST_F(MainFormCardWindowTest, NewCardCommandWithNewCardWinOpensACardWindow) {
  form_->TreeModel().settings().NewCardWin = 1;
  form_->hide();
  const int cards = form_->TreeModel().card_count;
  form_->WndProc(kCommandMessage, static_cast<uint32_t>(CommandCode::kNewCard), 0);
  Pump();
  EXPECT_FALSE(form_->isVisible());
  EXPECT_EQ(form_->TreeModel().card_count, cards + 1);
  ASSERT_EQ(form_->CardWindows().CardWindowCount(), 1);
  auto& w = static_cast<TTextFm&>(form_->CardWindows().Window(0));
  EXPECT_TRUE(w.isVisible());
  const store::CardRecord stored = Read(form_->CardWindows().Window(0).Logic().CardId);
  EXPECT_EQ(stored.title, S("新規カード"));
  // The main editor holds another card, editable.
  EXPECT_NE(form_->EditCard().id, stored.id);
  EXPECT_TRUE(form_->Text->isEnabled());
}

// Closing the main window while card windows are open asks first, edited
// or not; anything but "いいえ" keeps the program, "いいえ" ends the run and
// the windows go without storing their edits.
TEST_F(MainFormCardWindowTest, ClosingTheMainWindowEndsTheRunWithCardWindowsOpen) {
  // As in the program: only the main window ends the run.
  struct OnlyTheMainWindowQuits {
    OnlyTheMainWindowQuits() { QGuiApplication::setQuitOnLastWindowClosed(false); }
    ~OnlyTheMainWindowQuits() { QGuiApplication::setQuitOnLastWindowClosed(true); }
  } only_main;
  const auto close_and_run = [&] {
    QTimer::singleShot(0, form_.get(), [&] { form_->close(); });
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    watchdog.start(1500);
    return QCoreApplication::exec();
  };
  form_->show();
  TTextFm& edited = Open(plain_);
  Open(red_);
  edited.Text->appendPlainText(U("more"));
  ui_.Answer(kResultYes);
  EXPECT_EQ(close_and_run(), 99);
  ASSERT_EQ(ui_.questions().size(), 1u);
  EXPECT_EQ(ui_.questions()[0].text, S("窓編集中です。保存してから終了しますか？"));
  EXPECT_EQ(form_->CardWindows().CardWindowCount(), 2);

  // One window without edits is asked about too.
  edited.Cancel->click();
  Pump();
  ASSERT_EQ(form_->CardWindows().CardWindowCount(), 1);
  ui_.Answer(kResultCancel);
  EXPECT_EQ(close_and_run(), 99);
  EXPECT_EQ(ui_.questions().size(), 2u);
  EXPECT_EQ(form_->CardWindows().CardWindowCount(), 1);

  const uint32_t utime = Read(red_).utime;
  ui_.Answer(kResultNo);
  EXPECT_EQ(close_and_run(), 0);
  EXPECT_EQ(ui_.questions().size(), 3u);
  form_->FormDestroy();
  EXPECT_EQ(form_->CardWindows().CardWindowCount(), 0);
  EXPECT_EQ(Read(red_).utime, utime);
  EXPECT_EQ(Read(plain_).text, "one");
}

}  // namespace
}  // namespace quill
