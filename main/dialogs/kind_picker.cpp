#include "main/dialogs/kind_picker.h"

namespace quill {

KindPicker::KindPicker(int current)
    : current_(current >= 0 && current < kIcons ? current : 0) {}

void KindPicker::Reset(int current) {
  current_ = current >= 0 && current < kIcons ? current : 0;
  result_ = -1;
}

bool KindPicker::Key(KindKey key) {
  switch (key) {
    case KindKey::kEnter:
      result_ = current_;
      return true;
    case KindKey::kEscape:
      result_ = -1;
      return true;
    case KindKey::kLeft:
      if (current_ > 0) --current_;
      return false;
    case KindKey::kRight:
      if (current_ < kIcons - 1) ++current_;
      return false;
    case KindKey::kUp:
      if (current_ - kColumns >= 0) current_ -= kColumns;
      return false;
    case KindKey::kDown:
      if (current_ + kColumns < kIcons) current_ += kColumns;
      return false;
    default:
      return false;
  }
}

bool KindPicker::Click(int x, int y) {
  // The margins around the grid belong to no cell.
  if (x < kMarginPx || y < kMarginPx) return false;
  const int column = (x - kMarginPx) / kCellPx;
  const int row = (y - kMarginPx) / kCellPx;
  if (column >= kColumns || row * kColumns >= kIcons) return false;
  current_ = result_ = row * kColumns + column;
  return true;
}

WindowRect KindPicker::CellRect(int n) {
  const int column = n % kColumns, row = n / kColumns;
  return {column * kCellPx + kMarginPx, row * kCellPx + kMarginPx,
          column * kCellPx + kMarginPx + kCellPx, row * kCellPx + kMarginPx + kCellPx};
}

ScreenPoint KindPickerPlace(ScreenPoint cursor, int screen_bottom, int picker_height) {
  constexpr int kBottomGap = 30;
  ScreenPoint at = cursor;
  if (at.y + picker_height > screen_bottom - kBottomGap) {
    at.y = screen_bottom - picker_height - kBottomGap;
  }
  return at;
}

}  // namespace quill
