#include "platform/ini_file.h"

#include <limits>

namespace quill {
namespace {

bool IsLead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

char FoldAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool IsQuote(char c) { return c == '"' || c == '\''; }

bool EnclosedInQuotes(std::string_view s) {
  return s.size() >= 2 && IsQuote(s.front()) && s.front() == s.back();
}

// The name of the section that line starts, when it is a header.
bool ParseHeader(std::string_view line, std::string_view* name) {
  std::string_view t = TrimBlanks(line);
  if (t.empty() || t.front() != '[') return false;
  size_t close = t.find(']');
  if (close == std::string_view::npos) return false;
  *name = TrimBlanks(t.substr(1, close - 1));
  return true;
}

// Key and raw value (blanks trimmed, quotes still on) of a value line.
bool ParseKeyLine(std::string_view line, std::string_view* key, std::string_view* value) {
  std::string_view t = TrimBlanks(line);
  if (t.empty() || t.front() == ';' || t.front() == '[') return false;
  size_t eq = t.find('=');
  if (eq == std::string_view::npos) return false;
  *key = TrimBlanks(t.substr(0, eq));
  if (key->empty()) return false;
  *value = TrimBlanks(t.substr(eq + 1));
  return true;
}

std::string UnquoteValue(std::string_view raw) {
  if (EnclosedInQuotes(raw)) raw = raw.substr(1, raw.size() - 2);
  return std::string(raw);
}

// The text written after "Key=": line breaks and NULs become blanks, and
// a value that would not read back as itself is put in double quotes.
std::string FormatValue(std::string_view value) {
  std::string v(value);
  for (char& c : v) {
    if (c == '\r' || c == '\n' || c == '\0') c = ' ';
  }
  if (!v.empty() && (IsBlank(v.front()) || IsBlank(v.back()) || EnclosedInQuotes(v))) {
    return "\"" + v + "\"";
  }
  return v;
}

bool HasLineBreakOrNul(std::string_view s) {
  return s.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

Status CheckSection(std::string_view section) {
  if (section.empty() || section != TrimBlanks(section) || HasLineBreakOrNul(section) ||
      section.find(']') != std::string_view::npos) {
    return Status::Invalid("bad ini section name: " + std::string(section));
  }
  return Status::Ok();
}

Status CheckKey(std::string_view key) {
  if (key.empty() || key != TrimBlanks(key) || HasLineBreakOrNul(key) ||
      key.find('=') != std::string_view::npos || key.front() == '[' || key.front() == ';') {
    return Status::Invalid("bad ini key name: " + std::string(key));
  }
  return Status::Ok();
}

// One to eight significant hex digits and nothing else.
bool ParseHexDigits(std::string_view t, uint32_t* out) {
  if (t.empty()) return false;
  uint64_t v = 0;
  for (char c : t) {
    int d;
    if (c >= '0' && c <= '9') d = c - '0';
    else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
    else return false;
    v = v * 16 + static_cast<uint64_t>(d);
    if (v > 0xFFFFFFFFull) return false;
  }
  *out = static_cast<uint32_t>(v);
  return true;
}

}  // namespace

bool ParseStoredInteger(std::string_view text, HexPrefix hex, int32_t* value) {
  std::string_view t = text;
  while (!t.empty() && t.front() == ' ') t.remove_prefix(1);
  if (hex == HexPrefix::kDollarOr0x && t.size() > 2 && t[0] == '0' &&
      (t[1] == 'x' || t[1] == 'X')) {
    // Read as "$" followed by the rest.
    uint32_t u = 0;
    if (!ParseHexDigits(t.substr(2), &u)) return false;
    *value = static_cast<int32_t>(u);
    return true;
  }
  bool negative = false;
  if (!t.empty() && (t.front() == '+' || t.front() == '-')) {
    negative = t.front() == '-';
    t.remove_prefix(1);
  }
  if (!t.empty() && t.front() == '$') {
    uint32_t u = 0;
    if (!ParseHexDigits(t.substr(1), &u)) return false;
    if (negative) u = 0u - u;
    *value = static_cast<int32_t>(u);
    return true;
  }
  if (t.empty()) return false;
  int64_t v = 0;
  for (char c : t) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
    if (v > int64_t{1} << 31) return false;
  }
  if (negative) v = -v;
  if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max())
    return false;
  *value = static_cast<int32_t>(v);
  return true;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (IsLead(static_cast<unsigned char>(a[i])) && i + 1 < a.size()) {
      if (a[i] != b[i] || a[i + 1] != b[i + 1]) return false;
      ++i;
      continue;
    }
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  }
  return true;
}

// ---- IniBatch

void IniBatch::WriteString(std::string_view section, std::string_view key,
                           std::string_view value) {
  ops_.push_back({Kind::kWrite, std::string(section), std::string(key), std::string(value)});
}

void IniBatch::WriteInteger(std::string_view section, std::string_view key, int64_t value) {
  WriteString(section, key, std::to_string(value));
}

void IniBatch::DeleteKey(std::string_view section, std::string_view key) {
  ops_.push_back({Kind::kDeleteKey, std::string(section), std::string(key), {}});
}

void IniBatch::EraseSection(std::string_view section) {
  ops_.push_back({Kind::kEraseSection, std::string(section), {}, {}});
}

// ---- IniDocument

IniDocument::IniDocument(std::string_view text) {
  size_t pos = 0;
  while (pos < text.size()) {
    size_t lf = text.find('\n', pos);
    Line line;
    if (lf == std::string_view::npos) {
      line.text = std::string(text.substr(pos));
      pos = text.size();
    } else {
      size_t end = lf;
      if (end > pos && text[end - 1] == '\r') --end;
      line.text = std::string(text.substr(pos, end - pos));
      line.eol = std::string(text.substr(end, lf + 1 - end));
      pos = lf + 1;
    }
    lines_.push_back(std::move(line));
  }
}

std::string IniDocument::Text() const {
  std::string out;
  for (const Line& l : lines_) {
    out += l.text;
    out += l.eol;
  }
  return out;
}

long IniDocument::FindSection(std::string_view section) const {
  for (size_t i = 0; i < lines_.size(); ++i) {
    std::string_view name;
    if (ParseHeader(lines_[i].text, &name) && EqualsNoCase(name, section))
      return static_cast<long>(i);
  }
  return -1;
}

size_t IniDocument::SectionEnd(size_t h) const {
  size_t i = h + 1;
  std::string_view name;
  while (i < lines_.size() && !ParseHeader(lines_[i].text, &name)) ++i;
  return i;
}

bool IniDocument::ReadValue(std::string_view section, std::string_view key,
                            std::string* value) const {
  long h = FindSection(section);
  if (h < 0) return false;
  size_t end = SectionEnd(static_cast<size_t>(h));
  for (size_t i = static_cast<size_t>(h) + 1; i < end; ++i) {
    std::string_view k, v;
    if (ParseKeyLine(lines_[i].text, &k, &v) && EqualsNoCase(k, key)) {
      *value = UnquoteValue(v);
      return true;
    }
  }
  return false;
}

std::string IniDocument::ReadString(std::string_view section, std::string_view key,
                                    std::string_view def) const {
  std::string v;
  if (ReadValue(section, key, &v)) return v;
  return std::string(def);
}

int32_t IniDocument::ReadInteger(std::string_view section, std::string_view key,
                                 int32_t def) const {
  std::string v;
  int32_t n = def;
  if (ReadValue(section, key, &v) && ParseStoredInteger(v, HexPrefix::kDollarOr0x, &n)) return n;
  return def;
}

bool IniDocument::HasSection(std::string_view section) const { return FindSection(section) >= 0; }

std::vector<std::string> IniDocument::SectionNames() const {
  std::vector<std::string> names;
  for (const Line& l : lines_) {
    std::string_view name;
    if (ParseHeader(l.text, &name)) names.emplace_back(name);
  }
  return names;
}

Status IniDocument::WriteString(std::string_view section, std::string_view key,
                                std::string_view value) {
  QUILL_RETURN_IF_ERROR(CheckSection(section));
  QUILL_RETURN_IF_ERROR(CheckKey(key));
  const std::string formatted = FormatValue(value);
  long h = FindSection(section);
  if (h < 0) {
    if (!lines_.empty() && lines_.back().eol.empty()) {
      if (lines_.back().text.empty()) lines_.pop_back();
      else lines_.back().eol = "\r\n";
    }
    lines_.push_back({"[" + std::string(section) + "]", "\r\n"});
    lines_.push_back({std::string(key) + "=" + formatted, "\r\n"});
    return Status::Ok();
  }
  const size_t end = SectionEnd(static_cast<size_t>(h));
  size_t last = static_cast<size_t>(h);
  for (size_t i = static_cast<size_t>(h) + 1; i < end; ++i) {
    std::string_view k, v;
    if (ParseKeyLine(lines_[i].text, &k, &v) && EqualsNoCase(k, key)) {
      std::string text = std::string(k) + "=" + formatted;
      if (text != lines_[i].text) {
        lines_[i].text = std::move(text);
        lines_[i].eol = "\r\n";
      }
      return Status::Ok();
    }
    if (!TrimBlanks(lines_[i].text).empty()) last = i;
  }
  if (lines_[last].eol.empty()) lines_[last].eol = "\r\n";
  lines_.insert(lines_.begin() + static_cast<long>(last) + 1,
                Line{std::string(key) + "=" + formatted, "\r\n"});
  return Status::Ok();
}

Status IniDocument::DeleteKey(std::string_view section, std::string_view key) {
  QUILL_RETURN_IF_ERROR(CheckSection(section));
  QUILL_RETURN_IF_ERROR(CheckKey(key));
  long h = FindSection(section);
  if (h < 0) return Status::Ok();
  size_t end = SectionEnd(static_cast<size_t>(h));
  for (size_t i = static_cast<size_t>(h) + 1; i < end;) {
    std::string_view k, v;
    if (ParseKeyLine(lines_[i].text, &k, &v) && EqualsNoCase(k, key)) {
      lines_.erase(lines_.begin() + static_cast<long>(i));
      --end;
    } else {
      ++i;
    }
  }
  return Status::Ok();
}

Status IniDocument::EraseSection(std::string_view section) {
  QUILL_RETURN_IF_ERROR(CheckSection(section));
  for (long h = FindSection(section); h >= 0; h = FindSection(section)) {
    size_t end = SectionEnd(static_cast<size_t>(h));
    lines_.erase(lines_.begin() + h, lines_.begin() + static_cast<long>(end));
  }
  return Status::Ok();
}

Status IniDocument::Apply(const IniBatch& batch) {
  for (const IniBatch::Op& op : batch.ops_) {
    QUILL_RETURN_IF_ERROR(CheckSection(op.section));
    if (op.kind != IniBatch::Kind::kEraseSection) QUILL_RETURN_IF_ERROR(CheckKey(op.key));
  }
  for (const IniBatch::Op& op : batch.ops_) {
    switch (op.kind) {
      case IniBatch::Kind::kWrite:
        QUILL_RETURN_IF_ERROR(WriteString(op.section, op.key, op.value));
        break;
      case IniBatch::Kind::kDeleteKey:
        QUILL_RETURN_IF_ERROR(DeleteKey(op.section, op.key));
        break;
      case IniBatch::Kind::kEraseSection:
        QUILL_RETURN_IF_ERROR(EraseSection(op.section));
        break;
    }
  }
  return Status::Ok();
}

// ---- IniFile

Status IniFile::Load(IniDocument* doc) const {
  std::string text;
  Status s = env_.ReadFile(path_, &text);
  if (!s.ok()) {
    *doc = IniDocument();
    return s;
  }
  *doc = IniDocument(text);
  return Status::Ok();
}

std::string IniFile::ReadString(std::string_view section, std::string_view key,
                                std::string_view def) const {
  IniDocument doc;
  if (!Load(&doc).ok()) return std::string(def);
  return doc.ReadString(section, key, def);
}

int32_t IniFile::ReadInteger(std::string_view section, std::string_view key, int32_t def) const {
  IniDocument doc;
  if (!Load(&doc).ok()) return def;
  return doc.ReadInteger(section, key, def);
}

Status IniFile::WriteString(std::string_view section, std::string_view key,
                            std::string_view value) {
  IniBatch b;
  b.WriteString(section, key, value);
  return Apply(b);
}

Status IniFile::WriteInteger(std::string_view section, std::string_view key, int64_t value) {
  IniBatch b;
  b.WriteInteger(section, key, value);
  return Apply(b);
}

Status IniFile::DeleteKey(std::string_view section, std::string_view key) {
  IniBatch b;
  b.DeleteKey(section, key);
  return Apply(b);
}

Status IniFile::EraseSection(std::string_view section) {
  IniBatch b;
  b.EraseSection(section);
  return Apply(b);
}

Status IniFile::Apply(const IniBatch& batch) {
  std::string before;
  Status s = env_.ReadFile(path_, &before);
  if (!s.ok() && !s.IsNotFound()) return s;
  const bool existed = s.ok();
  IniDocument doc(before);
  QUILL_RETURN_IF_ERROR(doc.Apply(batch));
  std::string after = doc.Text();
  if (existed && after == before) return Status::Ok();
  if (!existed && after.empty()) return Status::Ok();
  return env_.WriteFileAtomic(path_, after);
}

}  // namespace quill
