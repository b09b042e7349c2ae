// The card table's row, as the record engine packs it.
//
// Table "quilbo7.dat": seven fields, header length 257, row length 285
// (the deleted flag and these 284 bytes):
//   KUBUN    C 100  folder path: folder names from the top joined by one
//                   blank; a folder row carries its own path
//   TITLE    C  52  card title (at most 50 bytes), or the folder marker
//   TEXT_ID  C  20  card id "%08lX%08lX" of CTIME and CMTIME
//   CTIME    B   4  creation time, u32 seconds since 1970, little-endian
//   CMTIME   B   4  tick count in milliseconds at creation, u32
//   UTIME    B   4  last update time, u32 seconds
//   YOBI     B 100  the card's attributes:
//      0-25  source (at most 26 bytes), 26 NUL; cards only
//        27  unused
//        28  one-shot paste flag (1 offered, anything else not); cards only
//     29-31  "DeL" in the bin, else three blanks
//     32-35  stored position among the folder's cards (u32)
//        36  icon 0-99 (anything else loads as 0)
//     37-39  kind: "CSV" table, "HTM" HTML, "TXT" plain text
//        40  'S' when 41-59 hold the column widths
//     41-59  19 column widths of a table card (signed bytes, default 7)
//        60  '@' a table of exactly two data columns, else ' '
//        61  font: 'f' own font with charset in 93, 'F' own font with
//            charset 128, ' ' the default font
//        62  font size in points (9 with the default font)
//     63-83  font name (at most 20 bytes, NUL terminated) or "default"
//     84-87  unused
//     88-91  font colour (u32); 92 style bits (1 bold, 2 italic,
//            4 underline); 93 charset; 88-93 untouched with the default font
//        94  'A' automatic title, else ' '
//        95  'L' locked, else NUL
//     96-99  unused
// Bytes 0-28 are not written for folder rows. The in-memory record holds
// the 'C' fields NUL padded and the 'B' fields as raw bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "store/record_table.h"

namespace quill::store {

inline constexpr size_t kCardRecordSize = 284;

namespace card_row {
inline constexpr size_t kKubun = 0, kKubunLength = 100;
inline constexpr size_t kTitle = 100, kTitleLength = 52, kTitleStored = 50;
inline constexpr size_t kTextId = 152, kTextIdLength = 20;
inline constexpr size_t kCtime = 172, kCmtime = 176, kUtime = 180;
inline constexpr size_t kYobi = 184;

// Offsets inside YOBI.
inline constexpr size_t kSource = 0, kSourceLength = 26;
inline constexpr size_t kOneShot = 28;
inline constexpr size_t kDeleted = 29;
inline constexpr size_t kPosition = 32;
inline constexpr size_t kIcon = 36;
inline constexpr size_t kKind = 37;
inline constexpr size_t kWidthsMark = 40, kWidths = 41, kWidthCount = 19;
inline constexpr size_t kTwoColumn = 60;
inline constexpr size_t kFontMark = 61, kFontSize = 62, kFontName = 63, kFontNameLength = 20;
inline constexpr size_t kFontColor = 88, kFontStyle = 92, kFontCharset = 93;
inline constexpr size_t kAutoTitle = 94, kLock = 95;
}  // namespace card_row

// Attributes read from the YOBI bytes, as a loaded card holds them.
// 'C' table, 'H' HTML, 0 plain text.
inline char CardKindOf(const char* yobi) {
  if (std::memcmp(yobi + card_row::kKind, "CSV", 3) == 0) return 'C';
  if (std::memcmp(yobi + card_row::kKind, "HTM", 3) == 0) return 'H';
  return 0;
}
// 0-99; anything else is 0.
inline uint8_t CardIconOf(const char* yobi) {
  const auto icon = static_cast<unsigned char>(yobi[card_row::kIcon]);
  return icon > 99 ? 0 : icon;
}
inline bool CardInBin(const char* yobi) {
  return std::memcmp(yobi + card_row::kDeleted, "DeL", 3) == 0;
}

std::vector<FieldDef> CardTableFields();
std::vector<IndexDef> CardTableIndexes();

}  // namespace quill::store
