// GridModel: cells, table text, widths, undo, clipboard and structure.
#include "controls/grid_model.h"

#include <algorithm>
#include <utility>

#include "platform/clipboard.h"
#include "platform/sjis.h"

namespace quill {

namespace {

constexpr int kMinWidthUnits = 2;
constexpr int kMaxWidthUnits = 30;
constexpr int kDefaultWidthUnits = kDefaultColWidth / 10;

const std::string kNoText;

// The cells of one line: a leading TAB begins with an empty cell, two
// adjacent TABs enclose one, a TAB at the end starts none. A line that is
// the marker byte alone is one empty cell.
std::vector<std::string_view> SplitCells(std::string_view line) {
  std::vector<std::string_view> cells;
  if (line == kEmptyCellLine) {
    cells.emplace_back();
    return cells;
  }
  size_t start = 0;
  for (;;) {
    size_t tab = line.find('\t', start);
    if (tab == std::string_view::npos) {
      if (start < line.size()) cells.push_back(line.substr(start));
      break;
    }
    cells.push_back(line.substr(start, tab - start));
    start = tab + 1;
  }
  return cells;
}

// How many cells SplitCells makes of the line.
int64_t CellCount(std::string_view line) {
  if (line.empty()) return 0;
  const int64_t tabs = static_cast<int64_t>(std::count(line.begin(), line.end(), '\t'));
  return line.back() == '\t' ? tabs : tabs + 1;
}

// A cell never holds TAB, CR or LF: each becomes a blank.
std::string CellText(std::string_view text) {
  std::string t(text);
  for (char& c : t) {
    if (c == '\t' || c == '\r' || c == '\n') c = ' ';
  }
  return t;
}

}  // namespace

bool TableFits(int64_t data_rows, int64_t data_cols) {
  return data_rows * data_cols <= kMaxTableCells;
}

GridModel::Batch::~Batch() {
  if (--g_->depth_ == 0 && g_->view_changed) g_->view_changed();
}

GridModel::GridModel()
    : cells_(2, std::vector<std::string>(2)), widths_{kHeaderColWidth, kDefaultColWidth} {
  SetNumber();
}

void GridModel::SetColCount(int n) {
  Batch b(this);
  const size_t count = static_cast<size_t>(std::max(n, 2));
  for (std::vector<std::string>& row : cells_) row.resize(count);
  widths_.resize(count, kDefaultColWidth);
  ClampCursor();
}

void GridModel::SetRowCount(int n) {
  Batch b(this);
  cells_.resize(static_cast<size_t>(std::max(n, 2)), std::vector<std::string>(widths_.size()));
  ClampCursor();
}

const std::string& GridModel::Cell(int col, int row) const {
  if (col < 0 || row < 0 || col >= ColCount() || row >= RowCount()) return kNoText;
  return cells_[static_cast<size_t>(row)][static_cast<size_t>(col)];
}

void GridModel::SetCell(int col, int row, std::string_view text) {
  if (col < 0 || row < 0 || col >= ColCount() || row >= RowCount()) return;
  Batch b(this);
  At(col, row) = CellText(text);
}

void GridModel::SetColWidth(int col, int px) {
  if (col < 0 || col >= ColCount()) return;
  Batch b(this);
  widths_[static_cast<size_t>(col)] = std::max(px, 0);
}

void GridModel::SetCurrent(int col, int row) {
  Batch b(this);
  col_ = col;
  row_ = row;
  sel_ = {col, row, col, row};
  ClampCursor();
}

void GridModel::SetSelection(const GridRect& sel, int col, int row) {
  Batch b(this);
  col_ = col;
  row_ = row;
  sel_ = {std::min(sel.Left, sel.Right), std::min(sel.Top, sel.Bottom),
          std::max(sel.Left, sel.Right), std::max(sel.Top, sel.Bottom)};
  ClampCursor();
}

void GridModel::ClampCursor() {
  const int last_col = ColCount() - 1;
  const int last_row = RowCount() - 1;
  col_ = std::clamp(col_, 1, last_col);
  row_ = std::clamp(row_, 1, last_row);
  sel_.Left = std::clamp(sel_.Left, 1, last_col);
  sel_.Right = std::clamp(sel_.Right, 1, last_col);
  sel_.Top = std::clamp(sel_.Top, 1, last_row);
  sel_.Bottom = std::clamp(sel_.Bottom, 1, last_row);
}

// ---- table text

bool GridModel::ToCsv(std::string_view text, int col, int row, int insertRows) {
  text = text.substr(0, text.find('\0'));
  if (text.empty()) return true;
  col = std::max(col, 1);
  row = std::max(row, 1);
  // The grid the text makes is known before anything changes: a table
  // larger than the grid holds is refused whole, and the grid grows once.
  const std::vector<std::string_view> lines = quill::NonEmptyLines(text);
  const int64_t count = static_cast<int64_t>(lines.size());
  int64_t widest = 0;
  for (std::string_view line : lines) widest = std::max(widest, CellCount(line));
  const int64_t rows = std::max<int64_t>(RowCount() + (insertRows != 0 ? count : 0), row + count);
  const int64_t cols = std::max<int64_t>(ColCount(), col + widest);
  if (!TableFits(rows - 1, cols - 1)) return false;

  Batch b(this);
  if (insertRows != 0) InsertRow(static_cast<int>(count));
  if (row + count > RowCount()) SetRowCount(static_cast<int>(row + count));
  if (col + widest > ColCount()) SetColCount(static_cast<int>(col + widest));
  for (int64_t k = 0; k < count; ++k) {
    const std::vector<std::string_view> cells = SplitCells(lines[static_cast<size_t>(k)]);
    for (size_t j = 0; j < cells.size(); ++j) {
      At(col + static_cast<int>(j), static_cast<int>(row + k)) = std::string(cells[j]);
    }
  }
  SetNumber();
  return true;
}

std::string GridModel::FromCsv(int col, int row, int lastCol, int lastRow, int* last) const {
  if (col == -1) {
    col = row = 1;
    lastCol = lastRow = 0;
    for (int r = 1; r < RowCount(); ++r) {
      for (int c = 1; c < ColCount(); ++c) {
        if (Cell(c, r).empty()) continue;
        lastCol = std::max(lastCol, c);
        lastRow = r;
      }
    }
    if (lastRow == 0) {
      if (last != nullptr) *last = 0;
      return {};
    }
  }
  std::string out;
  for (int r = row; r <= lastRow; ++r) {
    if (col == lastCol) {
      // One column: an empty cell would be a blank line, which reading
      // drops, so it is the marker line; a cell that is the marker byte
      // itself gets a TAB after it, which starts no further cell.
      const std::string& cell = Cell(col, r);
      if (cell.empty()) {
        out += kEmptyCellLine;
      } else {
        out += cell;
        if (cell == kEmptyCellLine) out += '\t';
      }
      out += "\r\n";
      continue;
    }
    for (int c = col; c <= lastCol; ++c) {
      if (c > col) out += '\t';
      out += Cell(c, r);
    }
    out += "\r\n";
  }
  if (last != nullptr) *last = lastCol;
  return out;
}

void GridModel::ClearCsv(int col, int row, int lastCol, int lastRow) {
  Batch b(this);
  for (int r = std::max(row, 1); r <= std::min(lastRow, RowCount() - 1); ++r) {
    for (int c = std::max(col, 1); c <= std::min(lastCol, ColCount() - 1); ++c) At(c, r).clear();
  }
}

void GridModel::SetNumber() {
  Batch b(this);
  for (int c = 1; c < ColCount(); ++c) At(c, 0) = std::to_string(c);
  for (int r = 0; r < RowCount(); ++r) At(0, r) = std::to_string(r);
}

void GridModel::Init() {
  Batch b(this);
  undo_ = {};
  widths_[0] = kHeaderColWidth;
  Modified = 0;
  SetColCount(2);
  SetRowCount(2);
  SetNumber();
  At(1, 1).clear();
  SetCurrent(1, 1);
}

void GridModel::GetSize(WidthList& widths) const {
  widths.fill(static_cast<char>(kDefaultWidthUnits));
  const int n = std::min(ColCount() - 1, kWidthEntries);
  for (int i = 1; i <= n; ++i) {
    const int units = std::clamp(widths_[static_cast<size_t>(i)] / 10, kMinWidthUnits, kMaxWidthUnits);
    widths[static_cast<size_t>(i - 1)] = static_cast<char>(units);
  }
}

void GridModel::SetSize(WidthList& widths) {
  Batch b(this);
  const int n = std::min(ColCount() - 1, kWidthEntries);
  for (int i = 1; i <= n; ++i) {
    char& entry = widths[static_cast<size_t>(i - 1)];
    const int units = std::clamp<int>(static_cast<signed char>(entry), kMinWidthUnits, kMaxWidthUnits);
    entry = static_cast<char>(units);
    widths_[static_cast<size_t>(i)] = units * 10;
  }
}

// A width taken as a list entry and applied again: a multiple of 10 px
// within 20..300 px (the first 19 data columns only).
void GridModel::ResizeWidthsRoundTrip() {
  WidthList w;
  GetSize(w);
  SetSize(w);
}

// ---- undo

void GridModel::SetUndo() {
  std::move_backward(undo_.begin(), undo_.end() - 1, undo_.end());
  CUndo& step = undo_[0];
  step.cells = cells_;
  GetSize(step.widths);
  step.colCount = ColCount();
  step.rowCount = RowCount();
}

void GridModel::UndoCsv() {
  if (undo_[0].colCount == 0) return;
  Batch b(this);
  CUndo& step = undo_[0];
  cells_ = std::move(step.cells);
  widths_.resize(static_cast<size_t>(step.colCount), kDefaultColWidth);
  SetNumber();
  SetSize(step.widths);
  std::move(undo_.begin() + 1, undo_.end(), undo_.begin());
  undo_.back() = CUndo{};
  ClampCursor();
}

// ---- clipboard

void GridModel::ToClipBoard(const std::string& text) {
  if (clipboard != nullptr) clipboard->SetText(text);
}

std::string GridModel::FromClipBoard() {
  return clipboard != nullptr ? clipboard->Text() : std::string();
}

void GridModel::CopyCsv() {
  std::string text = FromCsv(sel_.Left, sel_.Top, sel_.Right, sel_.Bottom);
  if (sel_.Top == sel_.Bottom && text.ends_with("\r\n")) text.resize(text.size() - 2);
  ToClipBoard(text);
}

void GridModel::CutCsv() {
  Batch b(this);
  CopyCsv();
  if (sel_.Left == 1 && sel_.Right == ColCount() - 1) {
    DeleteRow();
  } else {
    ClearCsv(sel_.Left, sel_.Top, sel_.Right, sel_.Bottom);
    ChangeAfter();
  }
}

void GridModel::PasteCsv(int insertRows) {
  Batch b(this);
  if (!ToCsv(FromClipBoard(), col_, row_, insertRows)) {
    Beep();  // the grid would grow past what it holds: nothing is pasted
    return;
  }
  ChangeAfter();
}

// ---- structure

void GridModel::InsertRow(int n) {
  Batch b(this);
  if (n > 0) {
    cells_.insert(cells_.begin() + row_, static_cast<size_t>(n),
                  std::vector<std::string>(widths_.size()));
  }
  SetNumber();
  ChangeAfter();
}

void GridModel::AddRow() {
  Batch b(this);
  cells_.emplace_back(widths_.size());
  SetNumber();
  ChangeAfter();
}

void GridModel::AddCol() {
  Batch b(this);
  WidthList w;
  GetSize(w);
  SetColCount(ColCount() + 1);
  SetSize(w);
  SetNumber();
  ChangeAfter();
}

void GridModel::InsertCol() {
  Batch b(this);
  for (std::vector<std::string>& row : cells_) row.insert(row.begin() + col_, std::string());
  widths_.insert(widths_.begin() + col_, kDefaultColWidth);
  ResizeWidthsRoundTrip();
  widths_[static_cast<size_t>(col_)] = kDefaultColWidth;
  SetNumber();
  ChangeAfter();
}

void GridModel::DeleteRow() {
  if (row_ < 1 || RowCount() < 3) return;
  const int n = sel_.Bottom - sel_.Top + 1;
  if (RowCount() - n < 2) {
    Beep();
    return;
  }
  Batch b(this);
  cells_.erase(cells_.begin() + sel_.Top, cells_.begin() + sel_.Bottom + 1);
  ClampCursor();
  SetNumber();
  ChangeAfter();
}

void GridModel::DeleteCol() {
  if (col_ < 1 || ColCount() == 1) return;
  const int n = sel_.Right - sel_.Left + 1;
  if (ColCount() - n < 2) {
    Beep();
    return;
  }
  Batch b(this);
  for (std::vector<std::string>& row : cells_) {
    row.erase(row.begin() + sel_.Left, row.begin() + sel_.Right + 1);
  }
  widths_.erase(widths_.begin() + sel_.Left, widths_.begin() + sel_.Right + 1);
  ClampCursor();
  ResizeWidthsRoundTrip();
  SetNumber();
  Modified = 1;
  ChangeAfter();
}

void GridModel::SwapRows(int a, int b) {
  for (int c = 1; c < ColCount(); ++c) std::swap(At(c, a), At(c, b));
}

// ---- events

void GridModel::ChangeAfter() {
  if (OnChangeAfter) OnChangeAfter();
  Modified = 1;
}

void GridModel::SaveRequest() {
  if (OnSaveRequest) OnSaveRequest();
}

void GridModel::FindRequest() {
  if (OnFindRequest) OnFindRequest();
}

void GridModel::Link() {
  if (OnLink) OnLink();
}

void GridModel::SetEditText(int col, int row, std::string_view text) {
  if (col < 1 || row < 1 || col >= ColCount() || row >= RowCount()) return;
  Batch b(this);
  At(col, row) = CellText(text);
  ChangeAfter();
}

}  // namespace quill
