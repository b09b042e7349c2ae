// A card window on an X display with a window manager, driven by real
// pointer and key events (xdotool) and read back with xprop: Shift+F1
// toggles the window's "always above" state, a double click on a link
// opens it, and a file dragged from a small drag source onto the text and
// onto a table cell becomes a file link that closing stores.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <fstream>

#include "controls/ui/string_grid_pelm.h"
#include "main/editor/card_window_list.h"
#include "main/ui/main_form.h"
#include "main/ui/main_form_test_support.h"
#include "main/ui/text_form.h"
#include "platform/headless/fake_shell.h"
#include "platform/headless/fake_ui.h"
#include "platform/headless/temp_dir.h"
#include "platform/qt/test_app.h"
#include "platform/qt/test_program.h"
#include "platform/qt/test_drag_source.h"
#include "platform/qt/test_window.h"
#include "platform/text_codec.h"
#include "store/card_test_support.h"

namespace quill {
namespace {

QStringList Point(const QPoint& p) { return {QString::number(p.x()), QString::number(p.y())}; }

class TextFormDesktopTest : public testing::Test {
 protected:
  TextFormDesktopTest() {
    TestApp();
    store::CardStore cards(FileEnv::Default(), dir_.Path() + "/");
    EXPECT_TRUE(cards.Open(false, dir_.Path()).ok());
    text_ = store::WriteKindCard(cards, "F", "Links", "see http://x.jp/a here\r\n", 0);
    table_ = store::WriteKindCard(cards, "F", "Table", "a\tb\r\n", 'C');
    EXPECT_TRUE(cards.Close().ok());
    MainFormContext context = TestFormContext(dir_, ui_);
    context.shell = &shell_;
    form_ = StartedForm(std::move(context));
  }

  TTextFm& Open(const std::string& id) {
    form_->OpenCardWindow(id);
    auto& w = static_cast<TTextFm&>(form_->CardWindows().Window(form_->FindCardWindowIndex(id)));
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&w, 5000));
    EXPECT_TRUE(WaitForWindowPlaced(w));
    return w;
  }

  bool Above(TTextFm& w) {
    const QString state =
        RunProgram("xprop", {"-id", QString::number(w.winId()), "_NET_WM_STATE"});
    return state.contains("_NET_WM_STATE_ABOVE");
  }

  TempDir dir_;
  FakeUi ui_;
  FakeShell shell_;
  std::unique_ptr<TMainForm> form_;
  std::string text_, table_;
};

TEST_F(TextFormDesktopTest, TopmostLinksAndDroppedFiles) {
  if (!TestAppOnX()) GTEST_SKIP() << "needs X";
  TTextFm& w = Open(text_);
  // A card window opens above the others; Shift+F1 lets it go and back.
  EXPECT_TRUE(QTest::qWaitFor([&] { return Above(w); }, 3000));
  RunProgram("xdotool", {"windowactivate", "--sync", QString::number(w.winId())});
  RunProgram("xdotool", {"key", "--window", QString::number(w.winId()), "shift+F1"});
  EXPECT_TRUE(QTest::qWaitFor([&] { return !Above(w); }, 3000));
  EXPECT_EQ(w.StayTop->text(), QString::fromUtf8("常にＱｂの上"));
  RunProgram("xdotool", {"key", "--window", QString::number(w.winId()), "shift+F1"});
  EXPECT_TRUE(QTest::qWaitFor([&] { return Above(w); }, 3000));

  // A double click on the address opens it through the shell.
  QTextCursor at(w.Text->document());
  at.setPosition(8);
  const QPoint link = w.Text->viewport()->mapToGlobal(w.Text->cursorRect(at).center());
  RunProgram("xdotool", QStringList{"mousemove"} << Point(link) << "click" << "--repeat" << "2"
                                          << "--delay" << "150" << "1");
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return shell_.opened == std::vector<std::string>{"address:http://x.jp/a"}; }, 3000));

  // A file dropped onto the text goes in as a link at the kept caret.
  const std::string path = dir_.File("dropped file.txt");
  std::ofstream(path) << "x";
  DragSource source(QString::fromStdString(path));
  source.move(0, 0);
  source.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&source, 5000));
  ASSERT_TRUE(WaitForWindowPlaced(source));
  ASSERT_TRUE(source.DragOnto(w.Text->viewport()->mapToGlobal(QPoint(40, 40))));
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return w.Text->toPlainText().contains(QString::fromStdString("<file=" + path + ">")); },
      3000))
      << w.Text->toPlainText().toStdString();

  // Onto the grid: the current cell takes it, and closing stores it.
  TTextFm& t = Open(table_);
  t.CsvGrid->Grid().SetCurrent(2, 1);
  ASSERT_TRUE(
      source.DragOnto(t.CsvGrid->viewport()->mapToGlobal(t.CsvGrid->viewport()->rect().center())));
  EXPECT_EQ(t.CsvGrid->Grid().Cell(2, 1), "<file=" + path + ">");
  t.close();
  EXPECT_TRUE(QTest::qWaitFor([&] { return form_->FindCardWindowIndex(table_) < 0; }, 3000));
  EXPECT_EQ(StoredCard(*form_, table_).text, "a\t<file=" + path + ">\r\n");
}

}  // namespace
}  // namespace quill
