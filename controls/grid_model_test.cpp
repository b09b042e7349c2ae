#include "controls/grid_model.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/headless/fake_clipboard.h"

namespace quill {
namespace {

using Rows = std::vector<std::vector<std::string>>;

// The data cells, row by row.
Rows DataCells(const GridModel& g) {
  Rows rows;
  for (int r = 1; r < g.RowCount(); ++r) {
    rows.emplace_back();
    for (int c = 1; c < g.ColCount(); ++c) rows.back().push_back(g.Cell(c, r));
  }
  return rows;
}

// A grid holding `text` from (1, 1).
GridModel Table(const std::string& text) {
  GridModel g;
  g.Init();
  g.ToCsv(text, 1, 1, 0);
  return g;
}

// A grid wired to a fake clipboard that counts its beeps.
struct Wired {
  GridModel g;
  FakeClipboard clip;
  int beeps = 0;
  explicit Wired(const std::string& text) {
    g.Init();
    g.ToCsv(text, 1, 1, 0);
    g.clipboard = &clip;
    g.beep = [this] { ++beeps; };
  }
};

TEST(GridModelTest, ReadsTableText) {
  struct Case {
    const char* name;
    std::string text;
    Rows rows;
  };
  const std::vector<Case> cases = {
      {"empty cell between", "A\t\tB", {{"A", "", "B"}}},
      {"leading tab", "\tA", {{"", "A"}}},
      {"trailing tab", "A\t", {{"A"}}},
      {"tabs only", "\t\t\t", {{"", "", ""}}},
      {"blank line and trailing tab",
       "A\t\tB\r\n\r\n\tC\t\r\n",
       {{"A", "", "B"}, {"", "C", ""}}},
      {"lone CR", "A\rB", {{"A"}, {"B"}}},
      {"lone LF", "A\nB\n", {{"A"}, {"B"}}},
      {"blank lines vanish", "\r\n\r\nA\n\n\rB\r\n\r\n", {{"A"}, {"B"}}},
      {"marker line is one empty cell", "A\r\n\xDF\r\nB", {{"A"}, {""}, {"B"}}},
      {"marker among cells is text", "\xDF\tB", {{"\xDF", "B"}}},
      {"marker inside is kept", "x\xDFy\t\xDF\xDF", {{"x\xDFy", "\xDF\xDF"}}},
      {"short rows leave cells empty", "A\tB\tC\r\nD", {{"A", "B", "C"}, {"D", "", ""}}},
      {"text ends at NUL", std::string("A\0B", 3), {{"A"}}},
  };
  for (const Case& c : cases) {
    GridModel g = Table(c.text);
    EXPECT_EQ(DataCells(g), c.rows) << c.name;
    EXPECT_EQ(g.Cell(0, g.RowCount() - 1), std::to_string(g.RowCount() - 1)) << c.name;
  }
  GridModel g = Table("A\t\tB\r\n\r\n\tC\t\r\n");
  EXPECT_EQ(g.ColCount(), 4);
  EXPECT_EQ(g.RowCount(), 3);
  EXPECT_EQ(g.Cell(3, 0), "3");
  EXPECT_EQ(g.Cell(0, 0), "0");
}

TEST(GridModelTest, ReadingAtACellKeepsWhatTheTextDoesNotReach) {
  GridModel g = Table("a\tb\tc\r\nd\te\tf\r\n");
  g.SetCell(0, 1, "x");
  g.ToCsv("", 1, 1, 0);  // nothing at all, not even the numbering
  EXPECT_EQ(g.Cell(0, 1), "x");
  g.ToCsv("1\r\n2\t3\t4\r\n", 2, 2, 0);
  EXPECT_EQ(DataCells(g), (Rows{{"a", "b", "c", ""}, {"d", "1", "f", ""}, {"", "2", "3", "4"}}));
}

TEST(GridModelTest, WritesTableText) {
  GridModel g = Table("A\t\tB\r\n\tC\r\n");
  EXPECT_EQ(g.FromCsv(1, 1, 3, 2), "A\t\tB\r\n\tC\t\r\n");
  int last = -1;
  EXPECT_EQ(g.FromCsv(2, 2, 3, 2, &last), "C\t\r\n");
  EXPECT_EQ(last, 3);

  GridModel used;
  used.Init();
  used.SetColCount(5);
  used.SetRowCount(4);
  EXPECT_EQ(used.FromCsv(-1, 0, 0, 0, &last), "");
  EXPECT_EQ(last, 0);
  used.SetCell(3, 2, "A");
  EXPECT_EQ(used.FromCsv(-1, 0, 0, 0, &last), "\t\t\r\n\t\tA\r\n");
  EXPECT_EQ(last, 3);

  // A cell holding just the marker byte comes back as it was.
  GridModel marker = Table("x\ty");
  marker.SetCell(1, 1, "\xDF");
  marker.SetCell(2, 1, "a\xDF");
  GridModel back = Table(marker.FromCsv(-1, 0, 0, 0));
  EXPECT_EQ(DataCells(back), (Rows{{"\xDF", "a\xDF"}}));
}

// One column: an empty cell is written as the marker line, so that no
// row is lost to the blank line it would otherwise be, and a cell that is
// the marker byte itself is written with a TAB after it. A reader that
// takes every marker piece for an empty cell reads both as empty cells,
// one per row, as before.
TEST(GridModelTest, OneColumnKeepsItsEmptyRows) {
  GridModel g;
  g.Init();
  g.SetRowCount(8);
  const std::vector<std::string> cells = {"a", "", "b", "\xDF", "", "\xDF\xDF", "c"};
  for (size_t i = 0; i < cells.size(); ++i) g.SetCell(1, static_cast<int>(i) + 1, cells[i]);
  const std::string text = g.FromCsv(-1, 0, 0, 0);
  EXPECT_EQ(text, "a\r\n\xDF\r\nb\r\n\xDF\t\r\n\xDF\r\n\xDF\xDF\r\nc\r\n");
  GridModel back = Table(text);
  EXPECT_EQ(back.ColCount(), 2);
  EXPECT_EQ(DataCells(back), (Rows{{"a"}, {""}, {"b"}, {"\xDF"}, {""}, {"\xDF\xDF"}, {"c"}}));

  // One column of a wider table is written the same way.
  GridModel wide = Table("a\tx\r\n\ty\r\nb\tz\r\n");
  EXPECT_EQ(wide.FromCsv(1, 1, 1, 3), "a\r\n\xDF\r\nb\r\n");

  // Copied and pasted, the column keeps its rows.
  Wired w("a\r\n\xDF\r\nb\r\n");
  w.g.SetSelection({1, 1, 1, 3}, 1, 1);
  w.g.SelectMenu(kCmdCopy);
  w.g.AddCol();
  w.g.SetCurrent(2, 1);
  w.g.SelectMenu(kCmdPaste);
  EXPECT_EQ(DataCells(w.g), (Rows{{"a", "a"}, {"", ""}, {"b", "b"}}));
}

TEST(GridModelTest, LargeTextIsReadWhole) {
  std::string text;
  for (int k = 0; k < 30000; ++k) {
    text += "row" + std::to_string(k) + "\t" + std::string(60, 'x') + "\r\n";
  }
  ASSERT_GT(text.size(), 2000000u);
  GridModel g = Table(text);
  EXPECT_EQ(g.RowCount(), 30001);
  EXPECT_EQ(g.Cell(1, 30000), "row29999");
  EXPECT_EQ(g.FromCsv(-1, 0, 0, 0), text);

  const std::string long_cell(20000, 'y');
  GridModel wide = Table("a\t" + long_cell + "\tz\r\n");
  EXPECT_EQ(wide.Cell(2, 1), long_cell);
  EXPECT_EQ(wide.Cell(3, 1), "z");
}

// Table text of rows lines of cols cells each ("c" in every cell).
std::string Square(int rows, int cols) {
  std::string line;
  for (int c = 0; c < cols; ++c) line += c == 0 ? "c" : "\tc";
  std::string text;
  for (int r = 0; r < rows; ++r) text += line + "\r\n";
  return text;
}

TEST(GridModelTest, TableTextBeyondTheGridIsRefusedWhole) {
  // One line of 4,000 TABs, then 4,000 lines: 16 KB that would make a grid
  // of 4,001 x 4,001 data cells.
  const std::string wide_then_long = std::string(4000, '\t') + "x\r\n" + Square(4000, 1);
  ASSERT_LT(wide_then_long.size(), 20000u);
  constexpr int kCols = static_cast<int>(kMaxTableCells / 1000);
  const struct {
    const char* what;
    std::string text;
    int col, row, insert;
    bool fits;
  } cases[] = {
      {"wide then long", wide_then_long, 1, 1, 0, false},
      {"at the bound", Square(1000, kCols), 1, 1, 0, true},
      {"a row past it", Square(1001, kCols), 1, 1, 0, false},
      {"a column past it", Square(1000, kCols + 1), 1, 1, 0, false},
      {"long and narrow", Square(kMaxTableCells / 2, 2), 1, 1, 0, true},
      {"read further down", Square(1000, kCols), 1, 2, 0, false},
      {"read further right", Square(1000, kCols), 2, 1, 0, false},
      {"rows inserted first", Square(999, kCols), 1, 1, 1, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Wired w("a\tb\r\nc\td\r\n");
    const bool read = w.g.ToCsv(c.text, c.col, c.row, c.insert);
    EXPECT_EQ(read, c.fits);
    if (!c.fits) {
      EXPECT_EQ(DataCells(w.g), (Rows{{"a", "b"}, {"c", "d"}}));
    } else {
      EXPECT_LE(int64_t{w.g.RowCount() - 1} * (w.g.ColCount() - 1), kMaxTableCells);
      EXPECT_EQ(w.g.Cell(w.g.ColCount() - 1, w.g.RowCount() - 1), "c");
    }
  }

  // A paste that would pass the bound beeps and changes nothing.
  Wired w("a\tb\r\nc\td\r\n");
  int changes = 0;
  w.g.OnChangeAfter = [&] { ++changes; };
  w.clip.OtherSetsText(wide_then_long);
  w.g.SelectMenu(kCmdPasteInsertRows);
  EXPECT_EQ(w.beeps, 1);
  EXPECT_EQ(changes, 0);
  EXPECT_EQ(DataCells(w.g), (Rows{{"a", "b"}, {"c", "d"}}));
}

TEST(GridModelTest, EditedTextNeverHoldsTabOrLineEnds) {
  Wired w("a\tb\r\nc\td\r\n");
  int changes = 0;
  w.g.OnChangeAfter = [&] { ++changes; };
  w.g.SetEditText(1, 1, "x\ty\r\nz");
  EXPECT_EQ(w.g.Cell(1, 1), "x y  z");
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(w.g.Modified, 1);
  w.clip.OtherSetsText("p\tq\r\n");
  w.g.SetCurrent(2, 2);
  w.g.SelectMenu(kCmdPaste);
  EXPECT_EQ(DataCells(Table(w.g.FromCsv(-1, 0, 0, 0))),
            (Rows{{"x y  z", "b", ""}, {"c", "p", "q"}}));
}

TEST(GridModelTest, WidthList) {
  GridModel g = Table("a\tb\tc\td\r\n");
  WidthList w;
  w.fill(7);
  w[0] = 0;
  w[1] = 1;
  w[2] = 31;
  w[3] = static_cast<char>(-5);
  g.SetSize(w);
  EXPECT_EQ(g.ColWidth(1), 20);
  EXPECT_EQ(g.ColWidth(2), 20);
  EXPECT_EQ(g.ColWidth(3), 300);
  EXPECT_EQ(g.ColWidth(4), 20);
  EXPECT_EQ((std::vector<int>{w[0], w[1], w[2], w[3]}), (std::vector<int>{2, 2, 30, 2}));

  // Taken: tens of px, clamped before they become a byte; no entry beyond the grid.
  g.SetColWidth(1, 1500);
  g.SetColWidth(2, 57);
  g.SetColWidth(3, 5);
  g.GetSize(w);
  EXPECT_EQ((std::vector<int>{w[0], w[1], w[2], w[3], w[4], w[18]}),
            (std::vector<int>{30, 5, 2, 2, 7, 7}));
}

TEST(GridModelTest, ColumnsPastTheListKeepTheirWidth) {
  GridModel g = Table(std::string(24, '\t') + "z");
  ASSERT_EQ(g.ColCount(), 26);
  EXPECT_EQ(g.ColWidth(25), kDefaultColWidth);
  g.SetColWidth(19, 190);
  g.SetColWidth(20, 123);
  g.SetColWidth(25, 45);
  WidthList w;
  g.GetSize(w);
  EXPECT_EQ(w[18], 19);
  w.fill(3);
  g.SetSize(w);
  EXPECT_EQ(g.ColWidth(19), 30);
  EXPECT_EQ(g.ColWidth(20), 123);
  EXPECT_EQ(g.ColWidth(25), 45);
  g.AddCol();
  EXPECT_EQ(g.ColWidth(26), kDefaultColWidth);
  EXPECT_EQ(g.ColWidth(25), 45);
}

TEST(GridModelTest, UndoKeepsFiveSteps) {
  Wired w("s0");
  for (int i = 1; i <= 6; ++i) {
    w.g.SetUndo();
    w.g.SetCell(1, 1, "s" + std::to_string(i));
    w.g.AddRow();
  }
  const int modified = w.g.Modified;
  for (int i = 5; i >= 1; --i) {
    w.g.UndoCsv();
    EXPECT_EQ(w.g.Cell(1, 1), "s" + std::to_string(i));
    EXPECT_EQ(w.g.RowCount(), i + 2);
  }
  w.g.UndoCsv();  // the oldest step was dropped
  EXPECT_EQ(w.g.Cell(1, 1), "s1");
  EXPECT_EQ(w.g.Modified, modified);

  w.g.Init();
  EXPECT_EQ(w.g.UndoSlot(0).colCount, 0);
  EXPECT_EQ(w.g.Modified, 0);
}

TEST(GridModelTest, UndoRestoresCellsWhereTheyWere) {
  // One column with an empty row: as table text the empty row would vanish.
  Wired w("A");
  w.g.SetRowCount(4);
  w.g.SetCell(1, 3, "C");
  const Rows before = DataCells(w.g);
  w.g.SelectMenu(kCmdInsertRow);
  w.g.SelectMenu(kCmdDeleteRow);
  EXPECT_EQ(DataCells(w.g), before);
  w.g.SelectMenu(kCmdUndo);
  w.g.SelectMenu(kCmdUndo);
  EXPECT_EQ(DataCells(w.g), before);

  // A cell holding exactly the marker byte is a cell like any other.
  Wired m("x\ty");
  m.g.SetCell(1, 1, "\xDF");
  m.g.SelectMenu(kCmdInsertRow);
  EXPECT_EQ(m.g.Cell(1, 2), "\xDF");
  m.g.SelectMenu(kCmdUndo);
  EXPECT_EQ(DataCells(m.g), (Rows{{"\xDF", "y"}}));

  // Widths come back from the step's list.
  Wired cols("a\tb");
  cols.g.SetColWidth(2, 155);
  cols.g.SelectMenu(kCmdInsertCol);
  cols.g.SelectMenu(kCmdUndo);
  EXPECT_EQ(cols.g.ColCount(), 3);
  EXPECT_EQ(cols.g.ColWidth(2), 150);
}

TEST(GridModelTest, CopyAndCut) {
  Wired w("a\tb\tc\r\nd\te\tf\r\n");
  w.g.SetSelection({1, 1, 2, 1}, 1, 1);
  w.g.SelectMenu(kCmdCopy);
  EXPECT_EQ(w.clip.OtherPastesText(), "a\tb");
  w.g.SetSelection({2, 1, 3, 2}, 2, 1);
  w.g.SelectMenu(kCmdCopy);
  EXPECT_EQ(w.clip.OtherPastesText(), "b\tc\r\ne\tf\r\n");
  EXPECT_EQ(w.g.UndoSlot(0).colCount, 0);  // copying is no step

  // Part of the columns: the cells are cleared.
  w.g.SelectMenu(kCmdCut);
  EXPECT_EQ(DataCells(w.g), (Rows{{"a", "", ""}, {"d", "", ""}}));

  // All columns of a row: the row goes.
  Wired rows("a\tb\r\nc\td\r\ne\tf\r\n");
  rows.g.SetSelection({1, 2, 2, 2}, 1, 2);
  rows.g.SelectMenu(kCmdCut);
  EXPECT_EQ(rows.clip.OtherPastesText(), "c\td");
  EXPECT_EQ(DataCells(rows.g), (Rows{{"a", "b"}, {"e", "f"}}));

  // Every row: the text is copied, a beep, the rows stay; the step is left.
  rows.g.SetSelection({1, 1, 2, 2}, 1, 1);
  rows.g.SelectMenu(kCmdCut);
  EXPECT_EQ(rows.clip.OtherPastesText(), "a\tb\r\ne\tf\r\n");
  EXPECT_EQ(rows.beeps, 1);
  EXPECT_EQ(DataCells(rows.g), (Rows{{"a", "b"}, {"e", "f"}}));
  rows.g.SelectMenu(kCmdUndo);
  EXPECT_EQ(DataCells(rows.g), (Rows{{"a", "b"}, {"e", "f"}}));
  rows.g.SelectMenu(kCmdUndo);
  EXPECT_EQ(rows.g.RowCount(), 4);
}

TEST(GridModelTest, Paste) {
  Wired w("a\tb\r\nc\td\r\n");
  w.clip.OtherSetsUtf8("1\t2\t3\n4\n");
  w.g.SetCurrent(2, 2);
  w.g.SelectMenu(kCmdPasteInsertRows);
  EXPECT_EQ(w.g.FromCsv(-1, 0, 0, 0), "a\tb\t\t\r\n\t1\t2\t3\r\n\t4\t\t\r\nc\td\t\t\r\n");
  EXPECT_EQ(w.g.Modified, 1);

  Wired plain("a\tb\r\nc\td\r\n");
  plain.clip.OtherSetsText("x\r\ny\tz");
  plain.g.SetCurrent(2, 2);
  plain.g.SelectMenu(kCmdPaste);
  EXPECT_EQ(plain.g.FromCsv(-1, 0, 0, 0), "a\tb\t\r\nc\tx\t\r\n\ty\tz\r\n");

  // Nothing on the clipboard: nothing moves, but it counts as a change.
  Wired empty("a");
  int changes = 0;
  empty.g.OnChangeAfter = [&] { ++changes; };
  empty.g.SelectMenu(kCmdPaste);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(DataCells(empty.g), (Rows{{"a"}}));
}

TEST(GridModelTest, RowsAndColumns) {
  Wired w("a\tb\tc\r\nd\te\tf\r\n");
  w.g.SetColWidth(2, 120);
  w.g.SetColWidth(3, 88);
  w.g.SetCurrent(2, 2);
  w.g.SelectMenu(kCmdInsertCol);
  EXPECT_EQ(w.g.FromCsv(-1, 0, 0, 0), "a\t\tb\tc\r\nd\t\te\tf\r\n");
  EXPECT_EQ(w.g.Cell(4, 0), "4");
  EXPECT_EQ((std::vector<int>{w.g.ColWidth(2), w.g.ColWidth(3), w.g.ColWidth(4)}),
            (std::vector<int>{70, 120, 80}));

  w.g.SetSelection({2, 1, 3, 2}, 2, 1);
  w.g.SelectMenu(kCmdDeleteCol);
  EXPECT_EQ(w.g.FromCsv(-1, 0, 0, 0), "a\tc\r\nd\tf\r\n");
  EXPECT_EQ(w.g.ColWidth(2), 80);
  w.g.SelectMenu(kCmdAddCol);  // no value of a removed column stays behind
  EXPECT_EQ(w.g.FromCsv(1, 1, 3, 2), "a\tc\t\r\nd\tf\t\r\n");

  w.g.SetCurrent(1, 1);
  w.g.SelectMenu(kCmdInsertRow);
  w.g.SelectMenu(kCmdAddRow);
  EXPECT_EQ(w.g.FromCsv(1, 1, 2, 4), "\t\r\na\tc\r\nd\tf\r\n\t\r\n");
  EXPECT_EQ(w.g.Cell(0, 4), "4");

  // One data row: DeleteRow is silent. One data column: DeleteCol beeps.
  Wired one("a\r\n");
  one.g.SelectMenu(kCmdDeleteRow);
  EXPECT_EQ(one.beeps, 0);
  one.g.SelectMenu(kCmdDeleteCol);
  EXPECT_EQ(one.beeps, 1);
  EXPECT_EQ(DataCells(one.g), (Rows{{"a"}}));
}

TEST(GridModelTest, LinkAndMailTests) {
  struct Case {
    const char* text;
    bool link;
  };
  const Case cases[] = {
      {"https://example.org/", true},
      {"http:x", true},
      {"mailto:a", true},
      {"<file=C:\\a.txt>", true},
      {"<card=12>", true},
      {"HTTP://example.org/", false},
      {"user@example.org", true},
      {"a@b.c", true},
      {"user@example", false},
      {"user@example.", false},
      {"user@example..org", false},
      {"user@ex;ample.org", false},
      {"a,b@c.d", false},
      {"a*b@c.d", false},
      {"a^b@c.d", false},
      {"a\\b@c.d", false},
      {"a@b@c.d", false},
      {"\x88\xa4@b.c", false},      // a double-byte character
      {"\xb1\xb2@b.c", true},       // half-width katakana are single bytes
      {"https:\x88\xa4", true},     // a prefix wins over the mail test
      {"", false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsLinkText(c.text), c.link) << c.text;

  GridModel g = Table("plain\tuser@example.org");
  g.MenuOnPopup();
  EXPECT_FALSE(g.OpenItemEnabled());
  g.SetCurrent(2, 1);
  g.MenuOnPopup();
  EXPECT_TRUE(g.OpenItemEnabled());
}

TEST(GridModelTest, Finding) {
  // "ア" is 83 41: its second byte is an 'A', never found by "a".
  Wired w("abc\tXabcY\tq\r\n\x83\x41\tzz\ta\r\nend\t\t\r\n");
  w.g.SetCurrent(1, 1);
  w.g.Finding("ABC", 0);  // not in the current cell: it starts right of it
  EXPECT_EQ(std::pair(w.g.Col(), w.g.Row()), std::pair(2, 1));
  w.g.Finding("a", 1);
  EXPECT_EQ(std::pair(w.g.Col(), w.g.Row()), std::pair(3, 2));
  w.g.Finding("END", 2);  // exact: no hit
  EXPECT_EQ(w.beeps, 1);
  EXPECT_EQ(std::pair(w.g.Col(), w.g.Row()), std::pair(3, 2));
  w.g.Finding("\x83\x41", 2);
  EXPECT_EQ(w.beeps, 2);  // the only one is behind
  w.g.FindingBack("\x83\x41", 2);
  EXPECT_EQ(std::pair(w.g.Col(), w.g.Row()), std::pair(1, 2));
  w.g.FindingBack("q", 0);
  EXPECT_EQ(std::pair(w.g.Col(), w.g.Row()), std::pair(3, 1));
  w.g.FindingBack("abc", 0);
  EXPECT_EQ(std::pair(w.g.Col(), w.g.Row()), std::pair(2, 1));
  w.g.FindingBack("q", 0);  // no wrap-around
  EXPECT_EQ(w.beeps, 3);

  // Double-byte characters are stepped over whole: 88 41 holds "A" as its
  // second byte, never a start position.
  Wired dbl("start\t\x88\x41\t\x88\x41\x41");
  dbl.g.SetCurrent(1, 1);
  dbl.g.Finding("A", 2);
  EXPECT_EQ(std::pair(dbl.g.Col(), dbl.g.Row()), std::pair(3, 1));

  // From the last cell of the last row there is nowhere to go.
  Wired last("a\tb\r\nc\td\r\n");
  last.g.SetCurrent(2, 2);
  last.g.Finding("a", 0);
  EXPECT_EQ(last.beeps, 1);
}

TEST(GridModelTest, MenuCommands) {
  Wired w("a\tb\r\nc\td\r\n");
  int saves = 0, finds = 0, links = 0;
  w.g.OnSaveRequest = [&] {
    ++saves;
    w.g.SetEditText(1, 1, "edited");  // the handler changes a cell
  };
  w.g.OnFindRequest = [&] { ++finds; };
  w.g.OnLink = [&] { ++links; };
  w.g.SelectMenu(kCmdSeparator);
  w.g.SelectMenu(99);
  EXPECT_EQ(w.g.Modified, 0);
  w.g.SelectMenu(kCmdFind);
  w.g.SelectMenu(kCmdOpen);
  w.g.SelectMenu(kCmdSave);
  EXPECT_EQ((std::vector<int>{saves, finds, links}), (std::vector<int>{1, 1, 1}));
  EXPECT_EQ(w.g.Cell(1, 1), "edited");
  EXPECT_EQ(w.g.Modified, 0);
  EXPECT_EQ(w.g.UndoSlot(0).colCount, 0);
}

}  // namespace
}  // namespace quill
