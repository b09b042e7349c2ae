// The text of the program's text widgets: the widget holds Unicode with LF
// line ends, the program CP932 bytes with CR LF; positions are counted in
// UTF-16 units on one side and in bytes on the other.
#pragma once

#include <QString>
#include <string>
#include <vector>

namespace quill {

// A text widget's text as the program's text, and back.
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
