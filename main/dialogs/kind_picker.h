// KindPicker: the icon picker (TKindFm) as plain logic. The 100 card icons
// stand in 10 rows of 10 cells of 20 pixels, 4 pixels from the edges of a
// 208 x 208 client area; one icon is current (highlighted). Enter or a
// click on a cell picks an icon, Esc picks none (-1).
#pragma once

#include "platform/screen_geometry.h"

namespace quill {

enum class KindKey { kEnter, kEscape, kLeft, kRight, kUp, kDown, kOther };

class KindPicker {
 public:
  static constexpr int kIcons = 100;
  static constexpr int kColumns = 10;
  static constexpr int kCellPx = 20;
  static constexpr int kMarginPx = 4;
  static constexpr int kClientPx = kColumns * kCellPx + 2 * kMarginPx;

  explicit KindPicker(int current = 0);

  // Showing the picker again: `current` highlighted, no icon picked yet.
  void Reset(int current);

  int current() const { return current_; }
  // The icon picked, or -1.
  int result() const { return result_; }

  // Handles a key; true when the picker closes.
  bool Key(KindKey key);
  // Handles the left button at a client point; true when a cell was hit
  // (it becomes current and the result, and the picker closes).
  bool Click(int x, int y);

  // The cell of icon n in client pixels.
  static WindowRect CellRect(int n);

 private:
  int current_;
  int result_ = -1;
};

// Where the kind button opens the picker: its top left corner at the
// cursor, moved up when its bottom would come closer than 30 pixels to the
// bottom of the screen under the cursor (screen_bottom: one past its last
// row), so that it then ends 30 pixels above it.
ScreenPoint KindPickerPlace(ScreenPoint cursor, int screen_bottom, int picker_height);

}  // namespace quill
