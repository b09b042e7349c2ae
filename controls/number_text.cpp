#include "controls/number_text.h"

#include <climits>
#include <cstdint>

namespace quill {

namespace {

int Clamp(int64_t v) {
  if (v > INT_MAX) return INT_MAX;
  if (v < INT_MIN) return INT_MIN;
  return static_cast<int>(v);
}

}  // namespace

int LeadingInt(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    // Past the range of int the digits no longer change the result.
    if (value <= INT64_C(1) << 40) value = value * 10 + (text[i] - '0');
  }
  return Clamp(negative ? -value : value);
}

int AddClamped(int value, int delta) { return Clamp(int64_t{value} + delta); }

}  // namespace quill
