// GridModel: the data and the commands of the table editor
// (TStringGridPelm), without any widget.
//
// The grid has ColCount columns and RowCount rows, each counting the header
// column or row: row 0 holds the column numbers, column 0 the row numbers,
// and the data cells are columns 1..ColCount-1, rows 1..RowCount-1. The
// smallest grid is 2 x 2 (one data cell). Cells are CP932 bytes.
//
// Table text (CsvText): rows end with CR LF, cells are separated by one TAB,
// with no quoting. Read by ToCsv, written by FromCsv; a cell therefore never
// holds TAB, CR or LF (an edit that brings one in stores a blank instead).
// Reading drops blank lines, so a row of one empty cell is written as the
// line kEmptyCellLine, and a cell that is that byte alone as the byte and a
// TAB (a TAB at the end of a line starts no cell).
//
// Column widths are exchanged as a list of 19 signed bytes in units of
// 10 px (the form in which a card stores them), one entry per data column
// 1..19, clamped to 2..30. Columns past the 19th keep their width in the
// grid but have no entry.
//
// The widget over this class binds the hooks: the four events, the beep,
// the popup at a point of the grid, and view_changed, which is called once
// after every outermost operation that may have changed what is shown.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace quill {

// The byte 0xDF ("ﾟ") as a line of its own: a row of one empty cell.
inline constexpr std::string_view kEmptyCellLine = "\xDF";

class Clipboard;

inline constexpr int kWidthEntries = 19;
inline constexpr int kDefaultColWidth = 70;  // px, also the width of a new column
inline constexpr int kHeaderColWidth = 30;   // px
inline constexpr int kUndoDepth = 5;
// The largest table the grid holds, in data cells (rows x columns). A
// card's table text (at most 1,100,000 bytes) with something in its cells
// stays below it; text that only a line far wider than the others could
// stretch further is refused. A cell takes some 32 bytes in the grid and in
// each undo step.
inline constexpr int64_t kMaxTableCells = 2000000;

// Whether a grid of that many data rows and columns is within the bound.
bool TableFits(int64_t data_rows, int64_t data_cols);

// Column widths of data columns 1..19 in units of 10 px (signed bytes).
using WidthList = std::array<char, kWidthEntries>;

// A rectangle of data cells, both corners included.
struct GridRect {
  int Left = 1;
  int Top = 1;
  int Right = 1;
  int Bottom = 1;
  bool operator==(const GridRect&) const = default;
};

// Command codes of the grid's menu (SelectMenu).
enum GridCommand {
  kCmdSeparator = -1,
  kCmdCopy = 0,
  kCmdCut = 1,
  kCmdPaste = 2,
  kCmdPasteInsertRows = 3,
  kCmdInsertCol = 4,
  kCmdInsertRow = 5,
  kCmdDeleteCol = 6,
  kCmdDeleteRow = 7,
  kCmdSave = 8,
  kCmdAddCol = 9,
  kCmdAddRow = 10,
  kCmdFind = 11,
  kCmdUndo = 12,
  kCmdOpen = 13,
};

// Keys as KeyDown sees them (virtual key codes) and its modifier flags.
inline constexpr int kVkReturn = 13;
inline constexpr int kVkEscape = 27;
inline constexpr int kVkLeft = 37;
inline constexpr int kVkUp = 38;
inline constexpr int kVkRight = 39;
inline constexpr int kVkDown = 40;
inline constexpr int kVkApps = 93;  // the context-menu key
inline constexpr int kShiftKey = 1;
inline constexpr int kCtrlKey = 4;

// One undo step: the cells of the whole grid, its width list and its size.
// A step whose colCount is 0 is empty.
struct CUndo {
  std::vector<std::vector<std::string>> cells;  // [row][col]
  WidthList widths{};
  int colCount = 0;
  int rowCount = 0;
};

// The link test of the "open" command: the text begins with "http:",
// "https:", "mailto:", "<file=" or "<card=", or it is a mail address.
bool IsLinkText(std::string_view cell);
// Single-byte text with exactly one at-sign and at least one dot, none of
// , * ; ^ \ and no dot doubled or last.
bool IsMailAddress(std::string_view cell);

class GridModel {
 public:
  GridModel();

  // Hooks (any may be left empty).
  std::function<void()> OnChangeAfter, OnSaveRequest, OnFindRequest, OnLink;
  std::function<void()> beep;
  // Pops the menu up at a point in the grid's own coordinates.
  std::function<void(int x, int y)> popup_menu;
  std::function<void()> view_changed;
  Clipboard* clipboard = nullptr;

  // 1 after a change made through the grid; owners read and clear it.
  int Modified = 0;

  // Size, cells, widths, current cell and selection.
  int ColCount() const { return static_cast<int>(widths_.size()); }
  int RowCount() const { return static_cast<int>(cells_.size()); }
  void SetColCount(int n);
  void SetRowCount(int n);
  // "" outside the grid.
  const std::string& Cell(int col, int row) const;
  // Stores the text as it is (no event), like an owner filling the grid.
  void SetCell(int col, int row, std::string_view text);
  int ColWidth(int col) const { return widths_.at(static_cast<size_t>(col)); }
  void SetColWidth(int col, int px);
  int Col() const { return col_; }
  int Row() const { return row_; }
  // Makes (col, row) the current cell and the selection just that cell.
  void SetCurrent(int col, int row);
  const GridRect& Selection() const { return sel_; }
  // The selected rectangle and the current cell within it (as a range
  // selection of the view leaves them).
  void SetSelection(const GridRect& sel, int col, int row);

  // Table text. Reads the text into the grid with its first cell at (col,
  // row); with insertRows, as many empty rows are first inserted at the
  // current row as the text has lines. Text that would make the grid larger
  // than TableFits allows changes nothing and returns false. Linear in the
  // text and the cells it reaches.
  bool ToCsv(std::string_view text, int col, int row, int insertRows);
  // The rectangle (col, row)..(lastCol, lastRow) as table text; col = -1:
  // the used area from (1, 1), "" when every cell is empty. *last gets the
  // last column written (0 for an empty used area).
  std::string FromCsv(int col, int row, int lastCol, int lastRow, int* last = nullptr) const;
  void ClearCsv(int col, int row, int lastCol, int lastRow);
  void SetNumber();
  void Init();
  void GetSize(WidthList& widths) const;
  void SetSize(WidthList& widths);

  // Undo.
  void SetUndo();
  void UndoCsv();
  const CUndo& UndoSlot(int i) const { return undo_.at(static_cast<size_t>(i)); }

  // Clipboard.
  void ToClipBoard(const std::string& text);
  std::string FromClipBoard();
  void CopyCsv();
  void CutCsv();
  // A paste that would make the grid larger than it holds beeps and
  // changes nothing.
  void PasteCsv(int insertRows);

  // Structure.
  void InsertRow(int n);
  void AddRow();
  void AddCol();
  void InsertCol();
  void DeleteRow();
  void DeleteCol();

  // Events: each fires its hook; ChangeAfter then sets Modified to 1.
  void ChangeAfter();
  void SaveRequest();
  void FindRequest();
  void Link();
  void LinkCsv() { Link(); }

  // Editing.
  void SelectMenu(int code);
  // Handles a key; a handled key is set to 0, a key left non-zero is for
  // the view's own handling. `shift` holds kShiftKey / kCtrlKey.
  void KeyDown(int& key, int shift);
  // What the in-place editor passes on: the cell's new text, then
  // ChangeAfter.
  void SetEditText(int col, int row, std::string_view text);
  // Decides, as the menu opens, whether its "open" item is enabled.
  void MenuOnPopup();
  bool OpenItemEnabled() const { return open_enabled_; }

  // Search for s from the cell after / before the current one; flag < 2
  // ignores ASCII letter case. No hit: a beep.
  void Finding(std::string_view s, int flag);
  void FindingBack(std::string_view s, int flag);

 private:
  // Calls view_changed once the outermost operation ends.
  class Batch {
   public:
    explicit Batch(GridModel* g) : g_(g) { ++g_->depth_; }
    ~Batch();
    Batch(const Batch&) = delete;
    Batch& operator=(const Batch&) = delete;

   private:
    GridModel* g_;
  };

  std::string& At(int col, int row) {
    return cells_[static_cast<size_t>(row)][static_cast<size_t>(col)];
  }
  void Beep() {
    if (beep) beep();
  }
  void ResizeWidthsRoundTrip();
  void ClampCursor();
  void SwapRows(int a, int b);
  bool CellMatches(std::string_view cell, std::string_view s, bool fold) const;

  std::vector<std::vector<std::string>> cells_;  // [row][col], headers included
  std::vector<int> widths_;                      // px, one per column
  int col_ = 1;
  int row_ = 1;
  GridRect sel_;
  std::array<CUndo, kUndoDepth> undo_;
  bool open_enabled_ = false;
  int depth_ = 0;
};

}  // namespace quill
