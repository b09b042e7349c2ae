// Screen geometry in pixels, shared by the window and dialog ports.
#pragma once

namespace quill {

// A window's outer rectangle in screen pixels: right and bottom are one
// past the last column and row.
struct WindowRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool operator==(const WindowRect&) const = default;
};

struct ScreenPoint {
  int x = 0;
  int y = 0;
  bool operator==(const ScreenPoint&) const = default;
};

struct PixelSize {
  int width = 0;
  int height = 0;
  bool operator==(const PixelSize&) const = default;
};

}  // namespace quill
