// The widgets' side of the text conversion: CP932 bytes to and from Qt
// strings, over the program's one codec (platform/text_codec.h).
#pragma once

#include <QString>
#include <string>
#include <string_view>
#include <vector>

namespace quill {

QString FromCp932(std::string_view bytes);
std::string ToCp932(const QString& text);

// A text widget's text (LF line ends) as the program's text (CR LF), and
// back.
std::string WidgetToText(const QString& s);
QString TextToWidget(const std::string& s);

// Positions in a widget's text and in `bytes`, its WidgetToText form
// (every character one CP932 character, an LF not after a CR two bytes):
// the UTF-16 units of the longest prefix of at most `kept` bytes, and the
// bytes of the first `units` units (a character is counted whole).
qsizetype UnitsForBytes(const QString& text, const std::string& bytes, size_t kept);
size_t BytesForUnits(const QString& text, const std::string& bytes, qsizetype units);
// UnitsForBytes of each of the byte positions, given in ascending order,
// in one walk.
std::vector<qsizetype> UnitsForByteList(const QString& text, const std::string& bytes,
                                        const std::vector<size_t>& ascending);

}  // namespace quill
