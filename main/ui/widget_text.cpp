#include "main/ui/widget_text.h"

#include "platform/qt/cp932_text.h"
#include "platform/text_codec.h"
#include "platform/sjis.h"

namespace quill {

std::string WidgetToText(const QString& s) { return LfToCrLf(ToCp932(s)); }
QString TextToWidget(const std::string& s) { return FromCp932(CrLfToLf(s)); }

namespace {

// Walks a widget's text and its bytes together, one character at a time:
// at each character, step(unit, byte, units, bytes) is told where it
// starts and how long it is, and returns whether the walk goes on.
template <typename Step>
void WalkCharacters(const QString& text, const std::string& bytes, Step step) {
  qsizetype unit = 0;
  size_t at = 0;
  while (unit < text.size() && at < bytes.size()) {
    size_t n = 1;
    if (text[unit] == QChar('\n')) {
      n = unit > 0 && text[unit - 1] == QChar('\r') ? 1 : 2;
    } else if (quill::IsSjisLead(static_cast<unsigned char>(bytes[at]))) {
      n = 2;
    }
    const bool pair = text[unit].isHighSurrogate() && unit + 1 < text.size() &&
                      text[unit + 1].isLowSurrogate();
    const qsizetype units = pair ? 2 : 1;
    if (!step(unit, at, units, n)) return;
    at += n;
    unit += units;
  }
}

}  // namespace

std::vector<qsizetype> UnitsForByteList(const QString& text, const std::string& bytes,
                                        const std::vector<size_t>& ascending) {
  std::vector<qsizetype> units(ascending.size());
  size_t k = 0;
  qsizetype after = 0;  // the units of the characters walked
  WalkCharacters(text, bytes, [&](qsizetype unit, size_t at, qsizetype u, size_t n) {
    for (; k < ascending.size() && ascending[k] < at + n; ++k) units[k] = unit;
    after = unit + u;
    return k < ascending.size();
  });
  for (; k < ascending.size(); ++k) units[k] = after;
  return units;
}

qsizetype UnitsForBytes(const QString& text, const std::string& bytes, size_t kept) {
  return UnitsForByteList(text, bytes, {kept}).front();
}

size_t BytesForUnits(const QString& text, const std::string& bytes, qsizetype units) {
  size_t kept = 0;
  WalkCharacters(text, bytes, [&](qsizetype unit, size_t at, qsizetype u, size_t n) {
    if (unit + u > units) return false;
    kept = at + n;
    return true;
  });
  return kept;
}

}  // namespace quill
