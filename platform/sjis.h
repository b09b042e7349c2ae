// Byte-string helpers over Shift-JIS (code page 932) text.
//
// A double-byte character is a lead byte (0x81-0x9F, 0xE0-0xFC) followed
// by a trail byte; 0xA1-0xDF are single half-width katakana. Every walker
// treats the text as ending at its first NUL (or at the end of the view),
// and a lead byte followed by the end or a NUL counts as a single byte: no
// walk ever steps past the end.
//
// The helpers that take a std::string& work in place and leave it holding
// only the text (no NUL inside).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace quill {

inline bool IsSjisLead(unsigned char c) {
  return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

// The text of s: its bytes up to the first NUL. (Inline, like
// WithoutTrailingBlanks: loaders call both for every field of every row.)
inline std::string_view CText(std::string_view s) {
  // Eight bytes at a time: a word holds a NUL when some byte turns from
  // below 0x80 to 0x80 or above as one is taken from each.
  size_t i = 0;
  for (; i + 8 <= s.size(); i += 8) {
    uint64_t w;
    std::memcpy(&w, s.data() + i, 8);
    if (((w - 0x0101010101010101u) & ~w & 0x8080808080808080u) != 0) break;
  }
  for (; i < s.size(); ++i) {
    if (s[i] == '\0') return s.substr(0, i);
  }
  return s;
}

// Bytes of the text in a fixed field of n bytes: up to the first NUL or n.
size_t FieldTextLength(const char* p, size_t n);

// Class of byte i of s: 0 single-byte, 1 lead byte, 2 trail byte; -1 when
// i is at or beyond the end of the text; 0 for a negative i.
int SjisCharClass(std::string_view s, long i);

// The lines of a text: CR and LF each end a line; empty lines are left out.
std::vector<std::string_view> NonEmptyLines(std::string_view text);

// Removes trailing blanks (0x20 only; tabs and full-width blanks stay).
void TrimRight(std::string& s);
// The bytes of s before its trailing blanks (0x20); a NUL is a byte like
// any other here, so this is how a blank-padded stored field reads.
inline std::string_view WithoutTrailingBlanks(std::string_view s) {
  // Stored fields are mostly padding: look at sixteen bytes at a time.
  constexpr uint64_t kBlanks = 0x2020202020202020u;
  size_t n = s.size();
  while (n >= 16) {
    uint64_t a, b;
    std::memcpy(&a, s.data() + n - 16, 8);
    std::memcpy(&b, s.data() + n - 8, 8);
    if (((a ^ kBlanks) | (b ^ kBlanks)) != 0) break;
    n -= 16;
  }
  if (n >= 8) {
    uint64_t a;
    std::memcpy(&a, s.data() + n - 8, 8);
    if (a == kBlanks) n -= 8;
  }
  while (n > 0 && s[n - 1] == ' ') --n;
  return s.substr(0, n);
}
// Drops leading blanks (0x20), then TrimRight.
void TrimBoth(std::string& s);
// When n <= length of src: dst = the first n bytes (may cut a double-byte
// character); else dst = src. Returns the length copied.
size_t CopyMax(std::string& dst, std::string_view src, size_t n);
// When n < length: keeps n bytes, or n - 1 when byte n is a trail byte, so
// that no half character is kept.
void TruncateSjis(std::string& s, size_t n);
// TruncateSjis(s, n), then blank-pads to exactly n bytes; n < 1 gives "".
void PadToWidth(std::string& s, long n);
// dst = src + dst.
void PrependString(std::string& dst, std::string_view src);
// Ends s at its first CR / LF.
void CutAtCR(std::string& s);
void CutAtLF(std::string& s);
// Writes the text of src into the fixed field dst[0..n): at most n bytes,
// blank-padded to exactly n, never ending in half a double-byte character
// (a character cut by the width, or a lead byte left dangling at the end of
// src, becomes a blank). Writes no NUL.
void FixedFieldCopy(char* dst, std::string_view src, size_t n);

}  // namespace quill
