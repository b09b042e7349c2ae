// Base64 of the image blocks of HTML cards: the standard alphabet
// (A-Z a-z 0-9 + /) with "=" padding.
#pragma once

#include <string>
#include <string_view>

namespace quill {

// The Base64 text of `bytes`, in one line.
std::string EncodeBase64(std::string_view bytes);
// The bytes of a Base64 text. Decoding stops at the first "=" or the end;
// bytes outside the alphabet (line ends, blanks, anything else) are
// skipped, and an incomplete last group gives the whole bytes it holds.
std::string DecodeBase64(std::string_view text);

}  // namespace quill
