// Finding and replacing in CP932 text.
//
// Every search here is double-byte aware: candidate positions advance by
// whole characters from where the search starts, so a hit never begins on
// the trail byte of a double-byte character. An empty pattern is never
// searched: it has no hit.
//
// Modes: 0 compares bytes exactly; 1 compares after FoldUpper (ASCII and
// full-width letters without regard to case).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quill {

inline constexpr size_t kNoHit = std::string_view::npos;

// a..z and the full-width ａ..ｚ become their capitals; every other
// character stays. The length and the character boundaries never change.
std::string FoldUpper(std::string_view s);
// The same into out (reusing its storage).
void FoldUpperInto(std::string_view s, std::string* out);

// The first hit of pattern in text at or after `from` (a character start),
// or kNoHit.
size_t FindSjis(std::string_view text, std::string_view pattern, size_t from);

// The in-card search: the first hit of pattern in text from byte `start`
// on, or -1. When the selection equals the pattern (in the mode's
// comparison), the hit at `start` is the current one and the search
// begins one character later.
long FindInText(std::string_view text, std::string_view pattern, std::string_view selection,
                size_t start, int mode);

// Replaces every hit of pattern in text, searching on after each
// replacement (so a replacement that holds the pattern is not searched
// again). True when anything was replaced; *end_of_last then receives the
// position just after the last replacement in the new text.
bool ReplaceAllInBuffer(std::string& text, std::string_view pattern, std::string_view replacement,
                        int mode, size_t* end_of_last = nullptr);

// Bytes of the character at byte i of s (2 for a lead byte with a byte
// after it, else 1).
inline size_t SjisCharWidth(std::string_view s, size_t i) {
  const auto c = static_cast<unsigned char>(s[i]);
  return ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC)) && i + 1 < s.size() ? 2 : 1;
}

}  // namespace quill
