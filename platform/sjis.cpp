#include "platform/sjis.h"

#include <cstdint>
#include <cstring>

namespace quill {

size_t FieldTextLength(const char* p, size_t n) {
  const void* nul = std::memchr(p, 0, n);
  return nul ? static_cast<size_t>(static_cast<const char*>(nul) - p) : n;
}

int SjisCharClass(std::string_view s, long i) {
  if (i < 0) return 0;
  std::string_view t = CText(s);
  const size_t target = static_cast<size_t>(i);
  if (target >= t.size()) return -1;
  size_t k = 0;
  while (true) {
    bool lead = IsSjisLead(static_cast<unsigned char>(t[k])) && k + 1 < t.size();
    size_t width = lead ? 2 : 1;
    if (target < k + width) return target == k ? (lead ? 1 : 0) : 2;
    k += width;
  }
}

void TrimRight(std::string& s) {
  s.resize(CText(s).size());
  size_t end = s.size();
  while (end > 0 && s[end - 1] == ' ') --end;
  s.resize(end);
}

void TrimBoth(std::string& s) {
  s.resize(CText(s).size());
  size_t start = 0;
  while (start < s.size() && s[start] == ' ') ++start;
  s.erase(0, start);
  TrimRight(s);
}

size_t CopyMax(std::string& dst, std::string_view src, size_t n) {
  std::string_view t = CText(src);
  dst.assign(n <= t.size() ? t.substr(0, n) : t);
  return dst.size();
}

void TruncateSjis(std::string& s, size_t n) {
  s.resize(CText(s).size());
  if (n >= s.size()) return;
  s.resize(SjisCharClass(s, static_cast<long>(n)) == 2 ? n - 1 : n);
}

void PadToWidth(std::string& s, long n) {
  if (n < 1) {
    s.clear();
    return;
  }
  TruncateSjis(s, static_cast<size_t>(n));
  s.resize(static_cast<size_t>(n), ' ');
}

void PrependString(std::string& dst, std::string_view src) {
  dst.resize(CText(dst).size());
  dst.insert(0, CText(src));
}

void CutAtCR(std::string& s) {
  s.resize(CText(s).size());
  size_t p = s.find('\r');
  if (p != std::string::npos) s.resize(p);
}

void CutAtLF(std::string& s) {
  s.resize(CText(s).size());
  size_t p = s.find('\n');
  if (p != std::string::npos) s.resize(p);
}

void FixedFieldCopy(char* dst, std::string_view src, size_t n) {
  if (n == 0) return;
  // The first n + 1 bytes are enough to tell whether byte n is a trail byte.
  std::string_view text = CText(src);
  std::string t(text.substr(0, n < text.size() ? n + 1 : text.size()));
  TruncateSjis(t, n);
  // A lead byte at the very end of the text has lost its trail byte.
  if (!t.empty() && IsSjisLead(static_cast<unsigned char>(t.back())) &&
      SjisCharClass(t, static_cast<long>(t.size() - 1)) == 0) {
    t.pop_back();
  }
  t.resize(n, ' ');
  std::memcpy(dst, t.data(), n);
}

std::vector<std::string_view> NonEmptyLines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = text.size();
    if (end > start) lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

}  // namespace quill
