// GridModel: the menu commands, the keys, the link test and the search.
#include <string_view>

#include "controls/grid_model.h"
#include "platform/sjis.h"

namespace quill {

namespace {

bool IsLead(std::string_view s, size_t i) {
  return quill::IsSjisLead(static_cast<unsigned char>(s[i])) && i + 1 < s.size();
}

char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// Whether s stands at byte `pos` of the cell. With `fold`, single-byte
// ASCII letters match either case; the bytes of a double-byte character
// (whose second byte may look like a letter) must match exactly.
bool MatchesAt(std::string_view cell, size_t pos, std::string_view s, bool fold) {
  if (cell.size() - pos < s.size()) return false;
  for (size_t k = 0; k < s.size();) {
    if (IsLead(cell, pos + k)) {
      if (cell[pos + k] != s[k]) return false;
      if (k + 1 < s.size() && cell[pos + k + 1] != s[k + 1]) return false;
      k += 2;
    } else {
      const char a = cell[pos + k];
      if (fold ? AsciiUpper(a) != AsciiUpper(s[k]) : a != s[k]) return false;
      k += 1;
    }
  }
  return true;
}

}  // namespace

bool IsMailAddress(std::string_view cell) {
  int at_signs = 0;
  bool dot = false;
  for (size_t i = 0; i < cell.size(); ++i) {
    const char c = cell[i];
    if (quill::IsSjisLead(static_cast<unsigned char>(c))) return false;
    if (c == ',' || c == '*' || c == ';' || c == '^' || c == '\\') return false;
    if (c == '.') {
      if (i + 1 == cell.size() || cell[i + 1] == '.') return false;
      dot = true;
    }
    if (c == '@') ++at_signs;
  }
  return at_signs == 1 && dot;
}

bool IsLinkText(std::string_view cell) {
  for (std::string_view prefix : {"http:", "https:", "mailto:", "<file=", "<card="}) {
    if (cell.starts_with(prefix)) return true;
  }
  return IsMailAddress(cell);
}

void GridModel::SelectMenu(int code) {
  Batch b(this);
  switch (code) {
    case kCmdCopy: CopyCsv(); break;
    case kCmdCut: SetUndo(); CutCsv(); break;
    case kCmdPaste: SetUndo(); PasteCsv(0); break;
    case kCmdPasteInsertRows: SetUndo(); PasteCsv(1); break;
    case kCmdUndo: UndoCsv(); break;
    case kCmdOpen: LinkCsv(); break;
    case kCmdFind: FindRequest(); break;
    case kCmdInsertRow: SetUndo(); InsertRow(1); break;
    case kCmdAddRow: SetUndo(); AddRow(); break;
    case kCmdDeleteRow: SetUndo(); DeleteRow(); break;
    case kCmdInsertCol: SetUndo(); InsertCol(); break;
    case kCmdAddCol: SetUndo(); AddCol(); break;
    case kCmdDeleteCol: SetUndo(); DeleteCol(); break;
    case kCmdSave:
      SaveRequest();
      Modified = 0;
      break;
    default: break;
  }
}

void GridModel::KeyDown(int& key, int shift) {
  const bool ctrl = (shift & kCtrlKey) != 0;
  const bool ctrl_key = key == 'V' || key == 'C' || key == 'Z' || key == 'X' ||
                        (key >= kVkLeft && key <= kVkDown);
  // Other keys are the view's, and leave nothing to show anew.
  if (key != kVkEscape && key != kVkApps && key != kVkReturn && !(ctrl && ctrl_key)) return;
  Batch b(this);
  const int last_row = RowCount() - 1;

  if (key == kVkEscape || key == kVkApps) {
    key = 0;
    if (popup_menu) popup_menu(50, 50);
    return;
  }
  if (ctrl) {
    int code = kCmdSeparator;
    switch (key) {
      case 'V': code = kCmdPaste; break;
      case 'C': code = kCmdCopy; break;
      case 'Z': code = kCmdUndo; break;
      case 'X': code = kCmdCut; break;
      default: break;
    }
    if (code != kCmdSeparator) {
      key = 0;
      SelectMenu(code);
      return;
    }
  }
  if (ctrl && key == kVkRight) {
    key = 0;
    widths_[static_cast<size_t>(col_)] += 10;
    Modified = 1;
  } else if (ctrl && key == kVkDown) {
    key = 0;
    if (row_ < last_row) {
      SetUndo();
      SwapRows(row_, row_ + 1);
      SetCurrent(col_, row_ + 1);
      Modified = 1;
    }
  } else if (ctrl && key == kVkUp) {
    key = 0;
    if (row_ > 1) {
      SetUndo();
      SwapRows(row_, row_ - 1);
      SetCurrent(col_, row_ - 1);
      Modified = 1;
    }
  } else if (ctrl && key == kVkLeft) {
    key = 0;
    int& width = widths_[static_cast<size_t>(col_)];
    width -= 10;
    if (width < 30) width += 10;
    Modified = 1;
  } else if (key == kVkReturn && (shift & kShiftKey) != 0) {
    key = 0;
    SetUndo();
    if (row_ < last_row) {
      SetCurrent(col_, row_ + 1);
      InsertRow(1);
    } else {
      AddRow();
      SetCurrent(col_, RowCount() - 1);
    }
  } else if (key == kVkReturn) {
    key = 0;
    if (row_ < last_row) SetCurrent(col_, row_ + 1);
  }
}

void GridModel::MenuOnPopup() { open_enabled_ = IsLinkText(Cell(col_, row_)); }

bool GridModel::CellMatches(std::string_view cell, std::string_view s, bool fold) const {
  for (size_t pos = 0; pos < cell.size(); pos += IsLead(cell, pos) ? 2 : 1) {
    if (MatchesAt(cell, pos, s, fold)) return true;
  }
  return false;
}

void GridModel::Finding(std::string_view s, int flag) {
  Batch b(this);
  const bool fold = flag < 2;
  for (int r = row_; r < RowCount(); ++r) {
    for (int c = r == row_ ? col_ + 1 : 1; c < ColCount(); ++c) {
      if (CellMatches(Cell(c, r), s, fold)) {
        SetCurrent(c, r);
        return;
      }
    }
  }
  Beep();
}

void GridModel::FindingBack(std::string_view s, int flag) {
  Batch b(this);
  const bool fold = flag < 2;
  for (int r = row_; r >= 1; --r) {
    for (int c = r == row_ ? col_ - 1 : ColCount() - 1; c >= 1; --c) {
      if (CellMatches(Cell(c, r), s, fold)) {
        SetCurrent(c, r);
        return;
      }
    }
  }
  Beep();
}

}  // namespace quill
