#include "plugins/cliptool/clip_tools.h"

#include <cstdio>
#include <cstring>

namespace quill::cliptool {
namespace {

constexpr std::string_view kCrLf = "\r\n";

bool IsLead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// Bytes of the character at s[i]: 2 for a lead byte with a byte after it,
// else 1.
size_t CharLength(std::string_view s, size_t i) {
  return IsLead(static_cast<unsigned char>(s[i])) && i + 1 < s.size() ? 2 : 1;
}

// Position of the first character of s, from `from` on, that is one of
// `stops`; s.size() when there is none. Trail bytes never match.
size_t FindChar(std::string_view s, std::string_view stops, size_t from = 0) {
  size_t i = from;
  while (i < s.size()) {
    if (!IsLead(static_cast<unsigned char>(s[i])) && stops.find(s[i]) != std::string_view::npos) {
      return i;
    }
    i += CharLength(s, i);
  }
  return s.size();
}

bool IsBlankOrTab(char c) { return c == ' ' || c == '\t'; }

size_t IndentLength(std::string_view line) {
  size_t n = 0;
  while (n < line.size() && IsBlankOrTab(line[n])) ++n;
  return n;
}

// Calls each(line, out) for every line of `in`.
template <class Each>
std::string EachLine(std::string_view in, Each each) {
  std::string out;
  std::string line;
  LineReader reader(in);
  while (reader.ReadLine(line)) each(std::string_view(line), out);
  return out;
}

// Each line as `before` + the line with every `from` character replaced by
// `to` + `after`.
std::string ReplaceInLines(std::string_view in, char from, std::string_view to,
                           std::string_view before = {}, std::string_view after = kCrLf) {
  const std::string_view stops(&from, 1);
  return EachLine(in, [&](std::string_view line, std::string& out) {
    out.append(before);
    size_t start = 0;
    for (size_t at = FindChar(line, stops); at < line.size(); at = FindChar(line, stops, start)) {
      out.append(line.substr(start, at - start)).append(to);
      start = at + 1;
    }
    out.append(line.substr(start)).append(after);
  });
}

// The full-width small letters ａ-ｚ are 0x82 0x81..0x9A, the capitals
// Ａ-Ｚ 0x82 0x60..0x79.
constexpr unsigned char kWideLead = 0x82;
constexpr unsigned char kWideSmallA = 0x81, kWideCapitalA = 0x60;
constexpr unsigned char kWideLetters = 26;

// Walks `in` by characters: an ASCII letter in [from, from + 26) moves by
// `shift`, a full-width letter with trail byte in [wideFrom, wideFrom + 26)
// moves by the same distance to wideTo.
std::string MapLetters(std::string_view in, char from, int shift, unsigned char wideFrom,
                       unsigned char wideTo) {
  std::string out;
  out.reserve(in.size());
  for (size_t i = 0; i < in.size();) {
    const unsigned char c = static_cast<unsigned char>(in[i]);
    if (CharLength(in, i) == 2) {
      const unsigned char trail = static_cast<unsigned char>(in[i + 1]);
      out += in[i];
      const bool letter = c == kWideLead && trail >= wideFrom && trail < wideFrom + kWideLetters;
      out += letter ? static_cast<char>(wideTo + (trail - wideFrom)) : in[i + 1];
      i += 2;
      continue;
    }
    const bool letter = in[i] >= from && in[i] < from + 26;
    out += letter ? static_cast<char>(in[i] + shift) : in[i];
    ++i;
  }
  return out;
}

std::string QuoteWide(std::string_view in) { return QuoteLines(in, 10'000); }
std::string Quote78(std::string_view in) { return QuoteLines(in, 78); }

std::string InsertLocalDateTime(std::string_view) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  if (localtime_r(&now, &local) == nullptr) return {};
  return InsertDateTime(local);
}

const ClipToolEntry kTools[] = {
    // 引用マーク(&I)
    {"\x88\xf8\x97\x70\x83\x7d\x81\x5b\x83\x4e(&I)", kCopyToClipboard, QuoteWide},
    // 引用マーク(78byte)(&8)
    {"\x88\xf8\x97\x70\x83\x7d\x81\x5b\x83\x4e(78byte)(&8)", kCopyToClipboard, Quote78},
    // 改行を取る(&D)
    {"\x89\xfc\x8d\x73\x82\xf0\x8e\xe6\x82\xe9(&D)", kCutToPaste, JoinLines},
    // 大文字に変換(&B)
    {"\x91\xe5\x95\xb6\x8e\x9a\x82\xc9\x95\xcf\x8a\xb7(&B)", kCutToPaste, ToUpperText},
    // 小文字に変換(&S)
    {"\x8f\xac\x95\xb6\x8e\x9a\x82\xc9\x95\xcf\x8a\xb7(&S)", kCutToPaste, ToLowerText},
    // ｲﾝﾃﾞﾝﾄ４つ右へ(&R)
    {"\xb2\xdd\xc3\xde\xdd\xc4\x82\x53\x82\xc2\x89\x45\x82\xd6(&R)", kCutToPaste, IndentRight4},
    // ｲﾝﾃﾞﾝﾄ４つ左へ(&L)
    {"\xb2\xdd\xc3\xde\xdd\xc4\x82\x53\x82\xc2\x8d\xb6\x82\xd6(&L)", kCutToPaste, IndentLeft4},
    // ()で囲む(&K)
    {"()\x82\xc5\x88\xcd\x82\xde(&K)", kCutToPaste, Parenthesize},
    // 代入逆転(&X)
    {"\x91\xe3\x93\xfc\x8b\x74\x93\x5d(&X)", kClipboardToClipboard, SwapAssignment},
    // 日時挿入(&T)
    {"\x93\xfa\x8e\x9e\x91\x7d\x93\xfc(&T)", kClipboardToPaste, InsertLocalDateTime},
    // ＴＡＢ－＞ＣＳＶ
    {"\x82\x73\x82\x60\x82\x61\x81\x7c\x81\x84\x82\x62\x82\x72\x82\x75", kCutToPaste, TabToComma},
    // ＣＳＶ－＞ＴＡＢ
    {"\x82\x62\x82\x72\x82\x75\x81\x7c\x81\x84\x82\x73\x82\x60\x82\x61", kCutToPaste, CommaToTab},
    // TAB区切りをHTMLに
    {"TAB\x8b\xe6\x90\xd8\x82\xe8\x82\xf0HTML\x82\xc9", kClipboardToClipboard, TabToHtmlTable},
};

// Writes at most kMaxResult bytes of `text` and a NUL into `out`, never
// ending in half a double-byte character.
void WriteBounded(char* out, std::string_view text) {
  size_t n = 0;
  while (n < text.size()) {
    const size_t len = CharLength(text, n);
    if (n + len > kMaxResult) break;
    n += len;
  }
  std::memcpy(out, text.data(), n);
  out[n] = '\0';
}

}  // namespace

std::span<const ClipToolEntry> ToolTable() { return kTools; }

bool LineReader::ReadLine(std::string& line) {
  line.clear();
  if (pos_ >= text_.size()) return false;
  const size_t end = text_.find('\r', pos_);
  if (end == std::string_view::npos) {
    line.assign(text_.substr(pos_));
    pos_ = text_.size();
    return true;
  }
  line.assign(text_.substr(pos_, end - pos_));
  pos_ = end + 1;
  if (pos_ < text_.size() && text_[pos_] == '\n') ++pos_;
  return true;
}

void InsertPrefix(std::string& buffer, std::string_view prefix) { buffer.insert(0, prefix); }

std::string QuoteLines(std::string_view in, size_t width) {
  if (width == 0) width = 1;
  return EachLine(in, [width](std::string_view line, std::string& out) {
    std::string_view rest = line;
    while (rest.size() >= width) {
      size_t piece = 0;
      while (piece < width) piece += CharLength(rest, piece);
      out.append(">").append(rest.substr(0, piece)).append(kCrLf);
      rest.remove_prefix(piece);
    }
    out.append(">").append(rest).append(kCrLf);
  });
}

std::string JoinLines(std::string_view in) {
  return EachLine(in, [](std::string_view line, std::string& out) { out.append(line); });
}

std::string ToUpperText(std::string_view in) {
  return MapLetters(in, 'a', 'A' - 'a', kWideSmallA, kWideCapitalA);
}

std::string ToLowerText(std::string_view in) {
  return MapLetters(in, 'A', 'a' - 'A', kWideCapitalA, kWideSmallA);
}

std::string IndentRight4(std::string_view in) {
  return EachLine(in, [](std::string_view line, std::string& out) {
    const size_t indent = IndentLength(line);
    std::string rest(line.substr(indent));
    InsertPrefix(rest, "    ");
    out.append(line.substr(0, indent)).append(rest).append(kCrLf);
  });
}

std::string IndentLeft4(std::string_view in) {
  return EachLine(in, [](std::string_view line, std::string& out) {
    // A TAB counts 8 columns and swallows the blanks pending before it;
    // blanks count in groups of 8, and the rest where the indent ends.
    size_t columns = 0;
    size_t pending = 0;
    const size_t indent = IndentLength(line);
    for (size_t i = 0; i < indent; ++i) {
      if (line[i] == '\t') {
        columns += 8;
        pending = 0;
      } else if (++pending == 8) {
        columns += 8;
        pending = 0;
      }
    }
    columns += pending;
    if (columns > 4) out.append(columns - 4, ' ');
    out.append(line.substr(indent)).append(kCrLf);
  });
}

std::string Parenthesize(std::string_view in) {
  std::string out = "(";
  out.append(in).append(")");
  return out;
}

std::string SwapAssignment(std::string_view in) {
  return EachLine(in, [](std::string_view line, std::string& out) {
    const std::string_view indent = line.substr(0, IndentLength(line));
    const size_t eq = FindChar(line, "=", indent.size());
    if (eq == line.size()) {
      out.append(line).append(kCrLf);
      return;
    }
    std::string_view left = line.substr(indent.size(), eq - indent.size());
    std::string_view op = "=";
    if (!left.empty() && left.back() == ':') {
      left.remove_suffix(1);
      op = ":=";
    }
    size_t start = eq + 1;
    while (start < line.size() && IsBlankOrTab(line[start])) ++start;
    const size_t tail = FindChar(line, "{;/'", start);
    out.append(indent)
        .append(line.substr(start, tail - start))
        .append(op)
        .append(left)
        .append(line.substr(tail))
        .append(kCrLf);
  });
}

std::string InsertDateTime(const std::tm& now) {
  char text[64];
  const int n = std::snprintf(text, sizeof text, "%02d/%02d/%02d %2d:%02d", now.tm_year + 1900,
                              now.tm_mon + 1, now.tm_mday, now.tm_hour, now.tm_min);
  if (n < 0 || static_cast<size_t>(n) >= sizeof text) return {};
  return std::string(text, static_cast<size_t>(n));
}

std::string TabToComma(std::string_view in) { return ReplaceInLines(in, '\t', ","); }

std::string CommaToTab(std::string_view in) { return ReplaceInLines(in, ',', "\t"); }

std::string TabToHtmlTable(std::string_view in) {
  return "<TABLE>\r\n" + ReplaceInLines(in, '\t', "</TD><TD>", "<TR><TD>", "</TD></TR>\r\n") +
         "</TABLE>\r\n";
}

int RunTool(int index, char* out, std::string_view in) {
  const auto tools = ToolTable();
  if (index < 0 || static_cast<size_t>(index) >= tools.size() || in.size() > kMaxResult) {
    WriteBounded(out, in);
    return 1;
  }
  const std::string result = tools[static_cast<size_t>(index)].routine(in);
  WriteBounded(out, result.size() <= kMaxResult ? std::string_view(result) : in);
  return 0;
}

}  // namespace quill::cliptool
