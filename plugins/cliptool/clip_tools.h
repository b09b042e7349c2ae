// The text tools of quillpeek.cta and its tool table.
//
// Text is CP932 bytes with CR LF line ends. A double-byte character is a
// lead byte (0x81-0x9F, 0xE0-0xFC) and the byte after it; every scan here
// steps over whole characters, and a lead byte that is the last byte of a
// text or line is taken as one byte on its own. No tool keeps state
// between calls.
#pragma once

#include <cstddef>
#include <ctime>
#include <span>
#include <string>
#include <string_view>

namespace quill::cliptool {

// The host's output buffer holds 1,100,000 bytes: a result of at most this
// many bytes and its NUL.
inline constexpr size_t kMaxResult = 1'099'999;
// The host's caption buffer holds 92 bytes: a caption and its NUL.
inline constexpr size_t kMaxCaption = 91;

// What the host does around a tool: bit 0 = make the target copy its
// selection first (cut when bit 1 is also set), bit 1 = paste the result.
enum ClipToolMode : int {
  kClipboardToClipboard = 0,
  kCopyToClipboard = 1,
  kClipboardToPaste = 2,
  kCutToPaste = 3,
};

// One row of the tool table: the menu caption (CP932), its mode and the
// routine that turns the input into the result.
struct ClipToolEntry {
  const char* caption;
  int mode;
  std::string (*routine)(std::string_view in);
};

// The tools in menu order; the tool index is the position.
std::span<const ClipToolEntry> ToolTable();

// Splits a text into its lines. A line ends at CR LF, at a lone CR or at
// the end of the text; a lone LF stays inside the line. A text ending in a
// line end gives no extra empty line; an empty text gives no line.
class LineReader {
 public:
  explicit LineReader(std::string_view text) : text_(text) {}
  // Puts the next line (without its end) into `line`; false when the text
  // is exhausted.
  bool ReadLine(std::string& line);

 private:
  std::string_view text_;
  size_t pos_ = 0;
};

// Puts `prefix` in front of the contents of `buffer`.
void InsertPrefix(std::string& buffer, std::string_view prefix);

// Each line cut into pieces of `width` bytes (width + 1 where a double-byte
// character straddles the cut), each piece written as ">" + piece + CR LF,
// then ">" + the rest + CR LF (a line of exactly `width` bytes thus ends in
// a line of ">" alone).
std::string QuoteLines(std::string_view in, size_t width);
// The lines run together, every line end removed.
std::string JoinLines(std::string_view in);
// ASCII a-z and the full-width letters ａ-ｚ to their capitals; every other
// character unchanged.
std::string ToUpperText(std::string_view in);
// ASCII A-Z and the full-width letters Ａ-Ｚ to small letters.
std::string ToLowerText(std::string_view in);
// Four blanks after each line's leading blanks and TABs; CR LF after each
// line.
std::string IndentRight4(std::string_view in);
// Each line's leading blanks and TABs, measured in columns, become that
// many blanks less four (none when that is not positive); CR LF after each
// line.
std::string IndentLeft4(std::string_view in);
// "(" + the input + ")".
std::string Parenthesize(std::string_view in);
// "left = right;" becomes "right=left ;" on each line (also with ":="); a
// line with no "=" stays as it is. CR LF after each line.
std::string SwapAssignment(std::string_view in);
// The time `now` as "yyyy/mm/dd hh:mm", the hour padded with a blank.
std::string InsertDateTime(const std::tm& now);
// Every TAB becomes ","; CR LF after each line.
std::string TabToComma(std::string_view in);
// Every "," becomes a TAB; CR LF after each line.
std::string CommaToTab(std::string_view in);
// An HTML table with one row per line and one cell per TAB-separated
// field. Cell text is copied as it is.
std::string TabToHtmlTable(std::string_view in);

// Runs tool `index` on `in` and writes the result with its NUL into `out`,
// which has room for kMaxResult + 1 bytes; returns the tool's result (0).
// A result longer than kMaxResult is not written: `out` gets the input
// unchanged. An index outside the table, or an input longer than the host
// ever passes, gives the input (as much of it as fits) and 1.
int RunTool(int index, char* out, std::string_view in);

}  // namespace quill::cliptool
