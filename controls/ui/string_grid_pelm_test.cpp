#include "controls/ui/string_grid_pelm.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <memory>
#include <string>
#include <utility>

#include "platform/qt/test_app.h"
#include "platform/headless/fake_clipboard.h"

namespace quill {
namespace {

class StringGridPelmTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { TestApp(); }

  void SetUp() override {
    grid = std::make_unique<TStringGridPelm>(nullptr);
    grid->resize(400, 300);
    grid->Grid().clipboard = &clip;
    grid->Grid().beep = [this] { ++beeps; };
    grid->Grid().Init();
    grid->show();
    grid->setFocus();
  }

  void Load(const std::string& text) { grid->Grid().ToCsv(text, 1, 1, 0); }
  std::string Table() const { return grid->Grid().FromCsv(-1, 0, 0, 0); }
  std::pair<int, int> Current() const { return {grid->Grid().Col(), grid->Grid().Row()}; }
  std::pair<int, int> ViewCurrent() const {
    const QModelIndex i = grid->currentIndex();
    return {i.column() + 1, i.row() + 1};
  }
  void Key(int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QTest::keyClick(grid.get(), static_cast<Qt::Key>(key), mods);
  }
  QPoint CellCentre(int col, int row) const {
    return grid->visualRect(grid->model()->index(row - 1, col - 1)).center();
  }
  QLineEdit* Editor() const { return grid->findChild<QLineEdit*>(); }

  FakeClipboard clip;
  int beeps = 0;
  std::unique_ptr<TStringGridPelm> grid;
};

TEST_F(StringGridPelmTest, ShowsTheModel) {
  Load("a\tb\tc\r\nd\te\tf\r\n");
  grid->SetRowHeight(18);
  grid->Grid().SetColWidth(2, 150);
  EXPECT_EQ(grid->model()->rowCount(), 2);
  EXPECT_EQ(grid->model()->columnCount(), 3);
  EXPECT_EQ(grid->model()->index(1, 2).data().toString(), "f");
  EXPECT_EQ(grid->model()->headerData(2, Qt::Horizontal).toString(), "3");
  EXPECT_EQ(grid->model()->headerData(1, Qt::Vertical).toString(), "2");
  EXPECT_EQ(grid->verticalHeader()->width(), 30);
  EXPECT_EQ(grid->rowHeight(1), 18);
  EXPECT_EQ(grid->columnWidth(0), 70);
  EXPECT_EQ(grid->columnWidth(1), 150);

  // Japanese text crosses to the view and back as CP932.
  grid->Grid().SetCell(1, 1, "\x93\xfa\x96\x7b");  // 日本
  EXPECT_EQ(grid->model()->index(0, 0).data().toString(), QString::fromUtf8("日本"));
}

TEST_F(StringGridPelmTest, MenuItems) {
  const QList<QAction*> actions = grid->Menu()->actions();
  ASSERT_EQ(actions.size(), 17);
  QStringList captions;
  QList<int> codes;
  for (QAction* a : actions) {
    auto* item = qobject_cast<CsvMenuItem*>(a);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->grid, grid.get());
    EXPECT_EQ(item->isSeparator(), item->code == -1);
    captions << (item->isSeparator() ? "-" : item->text());
    codes << item->code;
  }
  EXPECT_EQ(captions.join(' '), QString::fromUtf8(
                                    "コピー(&C) 切り取り(&T) 貼り付け(&P) 行挿入貼り付け(&R) "
                                    "元に戻す(&U) - 開く(&H) 検索(&F) - 行挿入(&L) 行追加 行削除 "
                                    "列挿入(&I) 列追加 列削除 - 登録(&V)"));
  EXPECT_EQ(codes, (QList<int>{0, 1, 2, 3, 12, -1, 13, 11, -1, 5, 10, 7, 4, 9, 6, -1, 8}));
  EXPECT_EQ(grid->OpenItem()->code, 13);

  // The open item follows the current cell as the menu opens.
  Load("plain\thttps://example.org/");
  grid->PopupMenu(grid->mapToGlobal(QPoint(10, 10)));
  EXPECT_FALSE(grid->OpenItem()->isEnabled());
  grid->Menu()->hide();
  grid->Grid().SetCurrent(2, 1);
  grid->PopupMenu(grid->mapToGlobal(QPoint(10, 10)));
  EXPECT_TRUE(grid->OpenItem()->isEnabled());
  QSignalSpy links(grid.get(), &TStringGridPelm::OnLink);
  grid->OpenItem()->trigger();
  EXPECT_EQ(links.count(), 1);
  grid->Menu()->hide();
}

TEST_F(StringGridPelmTest, SaveLeavesModifiedClearEvenWhenTheHandlerEdits) {
  Load("a\tb");
  QObject::connect(grid.get(), &TStringGridPelm::OnSaveRequest,
                   [this] { grid->Grid().SetEditText(1, 1, "saved"); });
  QSignalSpy changes(grid.get(), &TStringGridPelm::OnChangeAfter);
  grid->Menu()->actions().last()->trigger();
  EXPECT_EQ(changes.count(), 1);
  EXPECT_EQ(grid->Grid().Cell(1, 1), "saved");
  EXPECT_EQ(grid->Grid().Modified, 0);
}

TEST_F(StringGridPelmTest, WidthKeys) {
  Load("a\tb");
  grid->Grid().SetColWidth(1, 35);
  Key(Qt::Key_Left, Qt::ControlModifier);
  EXPECT_EQ(grid->Grid().ColWidth(1), 35);
  EXPECT_EQ(grid->Grid().Modified, 1);
  grid->Grid().SetColWidth(1, 40);
  Key(Qt::Key_Left, Qt::ControlModifier);
  EXPECT_EQ(grid->Grid().ColWidth(1), 30);
  EXPECT_EQ(grid->columnWidth(0), 30);
  Key(Qt::Key_Right, Qt::ControlModifier);
  EXPECT_EQ(grid->columnWidth(0), 40);
  EXPECT_EQ(Current(), std::pair(1, 1));  // the cursor stays
  EXPECT_EQ(grid->Grid().UndoSlot(0).colCount, 0);
}

TEST_F(StringGridPelmTest, RowMoveKeys) {
  Load("a\tb\r\nc\td\r\ne\tf\r\n");
  grid->Grid().SetCurrent(2, 3);
  QSignalSpy changes(grid.get(), &TStringGridPelm::OnChangeAfter);
  Key(Qt::Key_Down, Qt::ControlModifier);  // on the last row: nothing
  EXPECT_EQ(Table(), "a\tb\r\nc\td\r\ne\tf\r\n");
  EXPECT_EQ(grid->Grid().UndoSlot(0).colCount, 0);
  EXPECT_EQ(grid->Grid().Modified, 0);

  grid->Grid().SetCurrent(2, 1);
  Key(Qt::Key_Down, Qt::ControlModifier);
  EXPECT_EQ(Table(), "c\td\r\na\tb\r\ne\tf\r\n");
  EXPECT_EQ(Current(), std::pair(2, 2));
  EXPECT_EQ(ViewCurrent(), std::pair(2, 2));
  EXPECT_EQ(grid->model()->index(0, 0).data().toString(), "c");
  EXPECT_EQ(grid->Grid().Modified, 1);
  EXPECT_EQ(changes.count(), 0);
  Key(Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(Table(), "a\tb\r\nc\td\r\ne\tf\r\n");

  grid->Grid().SetCurrent(1, 3);
  Key(Qt::Key_Up, Qt::ControlModifier);
  EXPECT_EQ(Table(), "a\tb\r\ne\tf\r\nc\td\r\n");
  EXPECT_EQ(Current(), std::pair(1, 2));
}

TEST_F(StringGridPelmTest, ShiftArrowsWidenTheSelection) {
  Load("a\tb\tc\r\nd\te\tf\r\n");
  Key(Qt::Key_Right, Qt::ShiftModifier);
  Key(Qt::Key_Right, Qt::ShiftModifier);
  Key(Qt::Key_Down, Qt::ShiftModifier);
  EXPECT_EQ(grid->Grid().Selection(), (GridRect{1, 1, 3, 2}));
  EXPECT_EQ(Current(), std::pair(3, 2));
}

TEST_F(StringGridPelmTest, EnterKeys) {
  Load("a\r\nb\r\n");
  grid->Grid().SetCurrent(1, 1);
  Key(Qt::Key_Return);
  EXPECT_EQ(ViewCurrent(), std::pair(1, 2));
  Key(Qt::Key_Return);  // the last row: stays
  EXPECT_EQ(ViewCurrent(), std::pair(1, 2));

  Key(Qt::Key_Return, Qt::ShiftModifier);  // last row: a row is added, the cursor on it
  EXPECT_EQ(grid->Grid().RowCount(), 4);
  EXPECT_EQ(ViewCurrent(), std::pair(1, 3));
  EXPECT_EQ(grid->model()->rowCount(), 3);

  grid->Grid().SetCell(1, 3, "c");
  grid->Grid().SetCurrent(1, 1);
  Key(Qt::Key_Enter, Qt::ShiftModifier);  // elsewhere: an empty row below
  EXPECT_EQ(grid->Grid().FromCsv(1, 1, 1, 4), "a\r\n\xDF\r\nb\r\nc\r\n");
  EXPECT_EQ(ViewCurrent(), std::pair(1, 2));
  Key(Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(grid->Grid().FromCsv(1, 1, 1, 3), "a\r\nb\r\nc\r\n");
}

TEST_F(StringGridPelmTest, EscAndTheMenuKeyOpenTheMenu) {
  for (int key : {Qt::Key_Escape, Qt::Key_Menu}) {
    Key(key);
    EXPECT_TRUE(grid->Menu()->isVisible());
    EXPECT_EQ(grid->Menu()->pos(), grid->mapToGlobal(QPoint(50, 50)));
    grid->Menu()->hide();
  }
}

TEST_F(StringGridPelmTest, RightButtonOpensTheMenuAtThePointer) {
  Load("a\tb\r\nc\td\r\n");
  const QPoint at = CellCentre(2, 2);
  QTest::mouseClick(grid->viewport(), Qt::RightButton, Qt::NoModifier, at);
  EXPECT_TRUE(grid->Menu()->isVisible());
  EXPECT_EQ(grid->Menu()->pos(), grid->viewport()->mapToGlobal(at));
  EXPECT_EQ(Current(), std::pair(1, 1));
  grid->Menu()->hide();
}

TEST_F(StringGridPelmTest, ClipboardKeysAreTheGrids) {
  Load("a\tb\tc\r\nd\te\tf\r\n");
  QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, CellCentre(1, 1));
  QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::ShiftModifier, CellCentre(2, 2));
  EXPECT_EQ(grid->Grid().Selection(), (GridRect{1, 1, 2, 2}));
  QApplication::clipboard()->setText("untouched");
  Key(Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(clip.OtherPastesText(), "a\tb\r\nd\te\r\n");
  EXPECT_EQ(QApplication::clipboard()->text(), "untouched");

  Key(Qt::Key_X, Qt::ControlModifier);
  EXPECT_EQ(Table(), "\t\tc\r\n\t\tf\r\n");
  grid->Grid().SetCurrent(3, 2);
  Key(Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(Table(), "\t\tc\t\r\n\t\ta\tb\r\n\t\td\te\r\n");
  Key(Qt::Key_Z, Qt::ControlModifier);
  Key(Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(Table(), "a\tb\tc\r\nd\te\tf\r\n");
}

TEST_F(StringGridPelmTest, EveryEditReachesTheCell) {
  Load("a\tb");
  QSignalSpy changes(grid.get(), &TStringGridPelm::OnChangeAfter);
  QTest::keyClick(grid.get(), Qt::Key_X);  // opens the editor on the cell
  ASSERT_NE(Editor(), nullptr);
  QTest::keyClick(Editor(), Qt::Key_Y);
  EXPECT_EQ(changes.count(), 2);
  EXPECT_EQ(grid->Grid().Cell(1, 1), "xy");  // before the editor closes
  EXPECT_EQ(grid->Grid().Modified, 1);

  // Text with TAB and line ends pasted into the editor becomes blanks.
  QApplication::clipboard()->setText("p\tq\nr");
  QTest::keyClick(Editor(), Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(grid->Grid().Cell(1, 1), "xyp q r");
  EXPECT_EQ(Editor()->text(), "xyp q r");

  // Enter closes the editor and moves on like the grid's Enter.
  QTest::keyClick(Editor(), Qt::Key_Return);
  EXPECT_EQ(Table(), "xyp q r\tb\r\n");
  EXPECT_EQ(ViewCurrent(), std::pair(1, 1));
  const int count = changes.count();
  QTest::keyClick(grid.get(), Qt::Key_F2);
  ASSERT_NE(Editor(), nullptr);
  QTest::keyClick(Editor(), Qt::Key_Escape);  // the grid's: the menu opens
  EXPECT_TRUE(grid->Menu()->isVisible());
  grid->Menu()->hide();
  EXPECT_EQ(changes.count(), count);
  EXPECT_EQ(Table(), "xyp q r\tb\r\n");
}

TEST_F(StringGridPelmTest, ColumnSizedByTheViewIsStored) {
  Load("a\tb");
  grid->horizontalHeader()->resizeSection(1, 137);
  EXPECT_EQ(grid->Grid().ColWidth(2), 137);
  EXPECT_EQ(grid->Grid().Modified, 1);
  WidthList w;
  grid->Grid().GetSize(w);
  grid->Grid().SetSize(w);
  EXPECT_EQ(grid->columnWidth(1), 130);
}

}  // namespace
}  // namespace quill
