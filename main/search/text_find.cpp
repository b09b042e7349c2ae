#include "main/search/text_find.h"

namespace quill {

void FoldUpperInto(std::string_view s, std::string* out) {
  out->assign(s);
  std::string& o = *out;
  size_t i = 0;
  while (i < o.size()) {
    const size_t width = SjisCharWidth(o, i);
    const auto c = static_cast<unsigned char>(o[i]);
    if (width == 1) {
      if (c >= 'a' && c <= 'z') o[i] = static_cast<char>(c - 'a' + 'A');
    } else if (c == 0x82) {
      // Full-width ａ..ｚ (0x8281..0x829A) become Ａ..Ｚ (0x8260..0x8279).
      const auto trail = static_cast<unsigned char>(o[i + 1]);
      if (trail >= 0x81 && trail <= 0x9A) o[i + 1] = static_cast<char>(trail - 0x21);
    }
    i += width;
  }
}

std::string FoldUpper(std::string_view s) {
  std::string out;
  FoldUpperInto(s, &out);
  return out;
}

size_t FindSjis(std::string_view text, std::string_view pattern, size_t from) {
  if (pattern.empty() || from > text.size()) return kNoHit;
  // A substring search finds candidates; a candidate that is not a
  // character start (the walk from `from` steps over it) is dropped.
  size_t boundary = from;
  size_t at = from;
  for (;;) {
    const size_t hit = text.find(pattern, at);
    if (hit == std::string_view::npos) return kNoHit;
    while (boundary < hit) boundary += SjisCharWidth(text, boundary);
    if (boundary == hit) return hit;
    at = boundary;
  }
}

namespace {

// FindInText over a text, pattern and selection already folded.
long FindInPrepared(std::string_view text, std::string_view pattern, std::string_view selection,
                    size_t start) {
  if (pattern.empty() || start >= text.size()) return -1;
  size_t from = start;
  if (selection == pattern) from += SjisCharWidth(text, start);
  const size_t hit = FindSjis(text, pattern, from);
  return hit == kNoHit ? -1 : static_cast<long>(hit);
}

}  // namespace

long FindInText(std::string_view text, std::string_view pattern, std::string_view selection,
                size_t start, int mode) {
  if (mode != 1) return FindInPrepared(text, pattern, selection, start);
  if (pattern.empty() || start >= text.size()) return -1;
  // Only the part from `start` on is searched; folding keeps positions.
  std::string t = FoldUpper(text.substr(start));
  long hit = FindInPrepared(t, FoldUpper(pattern), FoldUpper(selection), 0);
  return hit < 0 ? -1 : hit + static_cast<long>(start);
}

bool ReplaceAllInBuffer(std::string& text, std::string_view pattern, std::string_view replacement,
                        int mode, size_t* end_of_last) {
  if (pattern.empty()) return false;
  std::string folded_text, folded_pattern;
  std::string_view t = text, p = pattern;
  if (mode == 1) {
    FoldUpperInto(text, &folded_text);
    FoldUpperInto(pattern, &folded_pattern);
    t = folded_text;
    p = folded_pattern;
  }
  // Searching on after a replacement walks the rest of the old text from
  // the end of the hit, so the new text is built in one pass.
  std::string out;
  size_t pos = 0;
  bool any = false;
  for (size_t hit; (hit = FindSjis(t, p, pos)) != kNoHit;) {
    out.append(text, pos, hit - pos);
    out.append(replacement);
    pos = hit + p.size();
    any = true;
  }
  if (!any) return false;
  if (end_of_last != nullptr) *end_of_last = out.size();
  out.append(text, pos, std::string::npos);
  text.swap(out);
  return true;
}

}  // namespace quill
