// Numbers typed into edits.
#pragma once

#include <string_view>

namespace quill {

// The integer at the start of a text: optional blanks and a sign, then the
// leading digits; a text that does not start with a number reads as 0. A
// number beyond the range of int reads as the nearest limit.
int LeadingInt(std::string_view text);

// value + delta, held at the limits of int instead of overflowing.
int AddClamped(int value, int delta);

}  // namespace quill
