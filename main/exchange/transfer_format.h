// The bytes of the transfer file "toquilbo.dat": CP932 text, every line
// ending in CR LF, written and read byte for byte.
//
//   "Quillbox V7.80" CR LF
//   per card, in tree order, with no count and no end marker:
//     folder path, title, source                       (text lines)
//     one-shot paste flag, creation time, creation tick, update time,
//     stored position, icon, kind (0, 67 'C', 72 'H'), two-column flag
//     the 19 column widths, each followed by a TAB
//     font name (empty: the default font), size, colour, style bits
//     (1 bold, 2 italic, 4 underline), charset, automatic-title flag,
//     locked flag
//     the text as stored, CR LF, then the record separator line, CR LF
//
// Numbers are printed as 32-bit signed decimals: a time, tick or colour
// of 2^31 and more is written negative and reads back to the same u32.
// Older files lack the trailing lines of a card; a line is read up to its
// LF and cut at its first CR.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "clip/clip_history.h"

namespace quill {

namespace store {
class CardRecord;
}  // namespace store

inline constexpr char kTransferFileName[] = "toquilbo.dat";
inline constexpr char kTransferHeader[] = "Quillbox V7.80";
// The line that ends a card's text (shared with the clip history file).
inline constexpr std::string_view RecordSeparator = kRecordSeparator;
// The folder every card gets when written for a copy of marked cards.
inline constexpr char kTmpFolder[] = "TmpFolder";

// The version of an accepted header line given with its CR LF: 0 for
// V6.00 and V7.00, else 740, 760, 763, 768, 773 or 780; -1 when refused.
int TransferVersion(std::string_view header_line);

// One card block as it stands in a file. Fields that an older version
// lacks hold their defaults; position and widths are unset then, and the
// card being filled keeps its own.
struct TransferCard {
  std::string folder, title, source;
  int32_t one_shot_paste = 0;
  uint32_t ctime = 0, ctick = 0, utime = 0;
  std::optional<uint32_t> position;
  int32_t icon = 0;
  int32_t kind = 0;  // 0, 'C' or 'H'
  int32_t two_column = 0;
  // Values of the widths line given (at most 19 are used).
  std::vector<int8_t> widths;
  std::string font_name;
  int32_t font_size = 9;
  uint32_t font_color = 0;
  int32_t style = 0;
  int32_t charset = 128;
  int32_t auto_title = 0;
  int32_t locked = 0;
  std::string text;
};

// Appends one card's block; folder is the folder path written for it.
void AppendCardBlock(const store::CardRecord& card, std::string_view folder, std::string* out);

// Reads card blocks from the bytes after the header line.
class TransferParser {
 public:
  enum Result { kCard, kEnd, kTruncated };
  // data must outlive the parser.
  TransferParser(std::string_view data, int version) : data_(data), version_(version) {}
  // kEnd: no more bytes; kTruncated: the data ended inside a card's field
  // lines (that card is dropped).
  Result Next(TransferCard* card);

 private:
  bool Line(std::string_view* line);

  std::string_view data_;
  size_t pos_ = 0;
  int version_;
};

// Fills the card's fields from a block (the identity too); the bin flag
// is cleared. Texts longer than the fields are cut at a character
// boundary, the text itself is taken whole.
void FillCardFromTransfer(const TransferCard& in, store::CardRecord* card);

}  // namespace quill
