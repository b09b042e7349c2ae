// The table grid in a small window on an X display with a window manager,
// driven by real pointer and key events (xdotool): a block selected with
// the mouse and copied reaches another client (xclip), a column border
// dragged with the mouse is stored, and the right button opens the menu
// where the pointer is.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QMenu>
#include <QMimeData>
#include <QProcess>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>
#include <memory>
#include <string>

#include "controls/ui/string_grid_pelm.h"
#include "platform/clipboard.h"
#include "platform/qt/test_app.h"
#include "platform/qt/test_pointer.h"
#include "platform/qt/test_window.h"
#include "platform/text_codec.h"

namespace quill {
namespace {

// The text half of the clipboard port over Qt's clipboard: what this test
// needs of the desktop's CLIPBOARD.
class QtTextClipboard final : public Clipboard {
 public:
  bool HasText(Selection s) override { return Board(s)->mimeData(Mode(s))->hasText(); }
  std::string Text(Selection s) override {
    const QByteArray utf8 = Board(s)->text(Mode(s)).toUtf8();
    return LfToCrLf(Utf8ToCp932(std::string_view(utf8.constData(), size_t(utf8.size()))));
  }
  void SetText(const std::string& cp932, Selection s) override {
    const std::string utf8 = Cp932ToUtf8(CrLfToLf(cp932));
    Board(s)->setText(QString::fromUtf8(utf8.data(), qsizetype(utf8.size())), Mode(s));
  }
  bool HasHtml(Selection s) override { return Board(s)->mimeData(Mode(s))->hasHtml(); }
  ClipboardSnapshot Snapshot(Selection) override { return {}; }
  void Restore(const ClipboardSnapshot&, Selection) override {}
  void Clear(Selection s) override { Board(s)->clear(Mode(s)); }
  bool OwnsSelection(Selection s) override {
    return s == Selection::kPrimary ? Board(s)->ownsSelection() : Board(s)->ownsClipboard();
  }
  uint64_t FetchCount(Selection) override { return 0; }
  void SetChangeListener(ChangeListener) override {}

 private:
  static QClipboard* Board(Selection) { return QGuiApplication::clipboard(); }
  static QClipboard::Mode Mode(Selection s) {
    return s == Selection::kPrimary ? QClipboard::Selection : QClipboard::Clipboard;
  }
};

// Runs a client to its end while our event loop keeps running (xclip
// fetches the clipboard from us); its standard output.
QString RunClient(const QString& program, const QStringList& args) {
  QProcess p;
  p.start(program, args);
  if (!p.waitForStarted(5000)) return "<not started>";
  if (!QTest::qWaitFor([&] { return p.state() == QProcess::NotRunning; }, 10000)) {
    p.kill();
    p.waitForFinished(1000);
    return "<timed out>";
  }
  return QString::fromUtf8(p.readAllStandardOutput());
}

void Xdotool(const QStringList& args) { RunClient("xdotool", args); }

QStringList Point(const QPoint& p) { return XdotoolPoint(p); }

bool LeftButtonDown() { return QGuiApplication::mouseButtons() & Qt::LeftButton; }

class StringGridPelmDesktopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!TestAppOnX()) GTEST_SKIP() << "needs an X display";
    host = std::make_unique<QWidget>();
    host->setWindowTitle("quill-grid-host");
    auto* layout = new QVBoxLayout(host.get());
    grid = new TStringGridPelm(host.get());
    layout->addWidget(grid);
    grid->Grid().clipboard = &clipboard;
    grid->Grid().Init();
    grid->Grid().ToCsv("a\tb\tc\r\nd\te\tf\r\ng\th\ti\r\n", 1, 1, 0);
    grid->Grid().Modified = 0;
    host->resize(520, 320);
    host->move(100, 100);
    host->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(host.get()));
    host->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(host.get(), 5000));
    ASSERT_TRUE(WaitForWindowPlaced(*host));
    grid->setFocus();
  }

  QPoint CellOnScreen(int col, int row) const {
    const QRect r = grid->visualRect(grid->model()->index(row - 1, col - 1));
    return grid->viewport()->mapToGlobal(r.center());
  }

  QtTextClipboard clipboard;
  std::unique_ptr<QWidget> host;
  TStringGridPelm* grid = nullptr;
};

TEST_F(StringGridPelmDesktopTest, MouseSelectionCopiedWithCtrlCReachesOtherClients) {
  const QStringList from = Point(CellOnScreen(1, 1));
  const QStringList to = Point(CellOnScreen(2, 2));
  // The block follows the pointer while the button is held.
  ASSERT_TRUE(RunPointerSteps(
      {{nullptr, QStringList{"mousemove"} + from + QStringList{"mousedown", "1"}},
       {LeftButtonDown, QStringList{"mousemove"} + to},
       {[&] { return grid->Grid().Selection() == GridRect{1, 1, 2, 2}; }, {"mouseup", "1"}},
       {[] { return !LeftButtonDown(); }, {}}}));
  ASSERT_TRUE(QTest::qWaitFor([&] { return grid->Grid().Selection() == GridRect{1, 1, 2, 2}; }, 5000))
      << "selection " << grid->Grid().Selection().Left << "," << grid->Grid().Selection().Top << " "
      << grid->Grid().Selection().Right << "," << grid->Grid().Selection().Bottom;

  Xdotool({"key", "ctrl+c"});
  ASSERT_TRUE(QTest::qWaitFor([] { return QGuiApplication::clipboard()->ownsClipboard(); }, 5000));
  EXPECT_EQ(RunClient("xclip", {"-o", "-selection", "clipboard"}), "a\tb\nd\te\n");
}

TEST_F(StringGridPelmDesktopTest, DraggedColumnBorderIsStoredInTens) {
  QHeaderView* header = grid->horizontalHeader();
  const int border = header->sectionViewportPosition(0) + header->sectionSize(0) - 1;
  const QPoint start = header->viewport()->mapToGlobal(QPoint(border, header->height() / 2));
  const QPoint end = start + QPoint(37, 0);
  ASSERT_EQ(grid->Grid().Modified, 0);
  // The border follows the pointer while the button is held.
  const int width = grid->columnWidth(0);
  ASSERT_TRUE(RunPointerSteps(
      {{nullptr, QStringList{"mousemove"} + Point(start) + QStringList{"mousedown", "1"}},
       {LeftButtonDown, QStringList{"mousemove"} + Point(start + QPoint(10, 0))},
       {[&] { return grid->columnWidth(0) == width + 10; },
        QStringList{"mousemove"} + Point(end)},
       {[&] { return grid->columnWidth(0) == width + 37; }, {"mouseup", "1"}},
       {[] { return !LeftButtonDown(); }, {}}}));
  ASSERT_TRUE(QTest::qWaitFor([&] { return grid->Grid().Modified == 1; }, 5000));
  EXPECT_EQ(grid->Grid().ColWidth(1), grid->columnWidth(0));
  EXPECT_GT(grid->Grid().ColWidth(1), 100);
  EXPECT_LT(grid->Grid().ColWidth(1), 110);

  // Stored and applied again, as a card does: tens of px.
  WidthList widths;
  grid->Grid().GetSize(widths);
  EXPECT_EQ(widths[0], 10);
  grid->Grid().SetSize(widths);
  EXPECT_EQ(grid->columnWidth(0), 100);
}

TEST_F(StringGridPelmDesktopTest, RightClickOpensTheMenuAtThePointer) {
  const QPoint at = CellOnScreen(3, 2);
  // The click goes to the point the pointer moved to before it.
  Xdotool(QStringList{"mousemove"} + Point(at) + QStringList{"click", "3"});
  ASSERT_TRUE(QTest::qWaitFor([&] { return grid->Menu()->isVisible(); }, 5000));
  const QPoint menu = grid->Menu()->geometry().topLeft();
  EXPECT_LE((menu - at).manhattanLength(), 2) << menu.x() << "," << menu.y();
  EXPECT_EQ(grid->Grid().Col(), 1);  // the current cell stays
  Xdotool({"key", "Escape"});
  EXPECT_TRUE(QTest::qWaitFor([&] { return !grid->Menu()->isVisible(); }, 5000));
}

}  // namespace
}  // namespace quill
