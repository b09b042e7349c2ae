// The card icon sheet "cardicon.bmp" in the program folder: 160 x 160
// pixels, 10 x 10 tiles of 16 x 16; card icon i is the tile in column
// i % 10, row i / 10. The main window's image list takes the card icons
// from it (card_icons.h draws and reads the pictures; this decides what
// comes from where).
//
// A missing sheet is made from the built-in icons and written. A sheet
// that is there is never overwritten: when it cannot be read, cannot be
// decoded or is smaller than the sheet, the built-in icons stand in for
// the tiles it lacks, and the user is told once.
#pragma once

#include <string>

namespace quill {

inline constexpr char kCardIconSheetName[] = "cardicon.bmp";
inline constexpr int kIconSize = 16;
inline constexpr int kSheetColumns = 10;
inline constexpr int kSheetSize = kIconSize * kSheetColumns;  // pixels a side
inline constexpr int kCardIconCount = 100;
// Card icons drawn by the program; a new sheet repeats icon 0 after them.
inline constexpr int kBuiltInCardIcons = 24;

// What reading the sheet file found.
enum class SheetFound {
  kMissing,     // no such file
  kUnreadable,  // there, but it cannot be read
  kUndecodable, // read, but not a picture
  kDecoded,     // a picture of width x height pixels
};

class IconSheetPlan {
 public:
  IconSheetPlan(SheetFound found, int width = 0, int height = 0);

  // Whether card icon i is the sheet's tile (else the built-in icon).
  bool FromSheet(int icon) const;
  // Whether the sheet is to be made from the images and written.
  bool WriteSheet() const { return found_ == SheetFound::kMissing; }
  // Whether the user is told that the sheet could not be used whole.
  bool TellUser() const;
  // The built-in icon that stands for card icon i.
  static int BuiltInFor(int icon) { return icon < kBuiltInCardIcons ? icon : 0; }

 private:
  SheetFound found_;
  int columns_ = 0;  // whole tiles across and down the sheet
  int rows_ = 0;
};

}  // namespace quill
