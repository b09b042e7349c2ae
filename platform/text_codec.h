// Conversion between the program's text (CP932 bytes, CR LF line ends) and
// the UTF-8 of the desktop (widgets, clipboard, file names, command lines).
//
// The conversions never fail and never cut: whatever cannot be converted
// becomes a visible replacement in the output.
#pragma once

#include <string>
#include <string_view>

namespace quill {

// CP932 bytes to UTF-8. A byte or double-byte code with no character
// becomes U+FFFD. The single bytes 0x80, 0xA0, 0xFD, 0xFE and 0xFF become
// U+0080, U+F8F0, U+F8F1, U+F8F2 and U+F8F3. NUL bytes are kept.
std::string Cp932ToUtf8(std::string_view cp932);

// UTF-8 to CP932 bytes. A character that CP932 cannot hold, or a byte that
// is not valid UTF-8, becomes "?". U+0080 and U+F8F0..U+F8F3 become the
// single bytes 0x80, 0xA0, 0xFD, 0xFE and 0xFF.
std::string Utf8ToCp932(std::string_view utf8);

// The name of a file made from CP932 text such as a card's title, built
// after the conversion to UTF-8 so that no byte pair of the text can hide
// a separator: every "/" becomes "／" and every control character (U+0000
// to U+001F, U+007F to U+009F) "_". An empty text gives "_". ext (".txt")
// is added with add_ext, and also when the name would be "." or ".."
// without it. The result is one name, never a path, never empty, never
// "." or "..".
std::string FileNameFromCp932(std::string_view cp932, std::string_view ext, bool add_ext);

// Every CR LF becomes LF; a CR on its own stays.
std::string CrLfToLf(std::string_view s);
// Every LF not already preceded by CR becomes CR LF.
std::string LfToCrLf(std::string_view s);

}  // namespace quill
