#include "clip/html_cleaner.h"

#include <algorithm>
#include <cstdint>

#include "store/fold_key.h"
#include "platform/sjis.h"

namespace quill {

namespace {

constexpr size_t kMaxTagBytes = 4999;
// While skipping a script, a "<" whose ">" is further away than this is
// not a tag.
constexpr size_t kMaxSkippedTagBytes = 100;
constexpr std::string_view kNoDotName = "qb_file.fl";

bool Lead(std::string_view s, size_t i) {
  return quill::IsSjisLead(static_cast<uint8_t>(s[i])) && i + 1 < s.size();
}

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool EqualsFolded(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(),
                    [](char x, char y) { return AsciiUpper(x) == AsciiUpper(y); });
}

// Blanks inside a tag (CR, LF and TAB have become blanks already).
bool IsBlank(char c) { return c == ' '; }

// Where the last "/" or "\" character of `url` ends (0 without one); a
// trail byte is never taken for one.
size_t AfterLastSeparator(std::string_view url) {
  size_t after = 0;
  for (size_t i = 0; i < url.size(); i += Lead(url, i) ? 2 : 1) {
    if (url[i] == '/' || url[i] == '\\') after = i + 1;
  }
  return after;
}

bool IsDataAddress(std::string_view value) {
  size_t i = 0;
  while (i < value.size() && IsBlank(value[i])) ++i;
  return EqualsFolded(value.substr(i, std::min<size_t>(5, value.size() - i)), "data:");
}

// The extension after the last "." folds to "SWF".
bool NamesFlash(std::string_view value) {
  const size_t dot = value.rfind('.');
  return dot != std::string_view::npos && EqualsFolded(value.substr(dot + 1), "SWF");
}

}  // namespace

bool IsPlainLocalName(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  if (EqualsFolded(name, kHtmlViewFileName) || EqualsFolded(name, kNotHtmlViewFileName)) {
    return false;
  }
  // A "\" may be the trail byte of a character; a control byte or "/" is
  // never taken for one.
  for (size_t i = 0; i < name.size(); ++i) {
    const auto c = static_cast<uint8_t>(name[i]);
    if (c < 0x20 || c == 0x7F || c == '/') return false;
    if (Lead(name, i)) {
      const auto trail = static_cast<uint8_t>(name[i + 1]);
      if (trail < 0x20 || trail == 0x7F || trail == '/') return false;
      ++i;
    } else if (c == '\\') {
      return false;
    }
  }
  return true;
}

HtmlTag ParseHtmlTag(std::string_view t) {
  HtmlTag tag;
  size_t i = t.starts_with('<') ? 1 : 0;
  while (i < t.size() && IsBlank(t[i])) ++i;
  const size_t name_start = i;
  while (i < t.size() && !IsBlank(t[i]) && t[i] != '>') i += Lead(t, i) ? 2 : 1;
  tag.name = store::FoldSjisKey(t.substr(name_start, i - name_start));
  if (tag.name.starts_with("!-")) return tag;

  while (i < t.size() && t[i] != '>') {
    // Blanks, and the "/" of a tag that closes itself, part attributes.
    if (IsBlank(t[i]) || t[i] == '/') {
      ++i;
      continue;
    }
    CTagOption option;
    const size_t attr_start = i;
    while (i < t.size() && !IsBlank(t[i]) && t[i] != '=' && t[i] != '>') {
      i += Lead(t, i) ? 2 : 1;
    }
    option.name = store::FoldSjisKey(t.substr(attr_start, i - attr_start));
    size_t j = i;
    while (j < t.size() && IsBlank(t[j])) ++j;
    if (j < t.size() && t[j] == '=') {
      i = j + 1;
      while (i < t.size() && IsBlank(t[i])) ++i;
      if (i < t.size() && (t[i] == '"' || t[i] == '\'')) {
        const char quote = t[i];
        option.quote.assign(1, quote);
        const size_t value_start = ++i;
        while (i < t.size() && t[i] != quote) i += Lead(t, i) ? 2 : 1;
        option.value.assign(t.substr(value_start, std::min(i, t.size()) - value_start));
        if (i < t.size()) ++i;  // the closing quote
      } else {
        const size_t value_start = i;
        while (i < t.size() && !IsBlank(t[i]) && t[i] != '>') i += Lead(t, i) ? 2 : 1;
        option.value.assign(t.substr(value_start, std::min(i, t.size()) - value_start));
      }
    }
    if (option.name.empty() && option.value.empty()) {
      // A stray "=": nothing to keep, but the walk moves on.
      if (i < t.size() && t[i] == '=') ++i;
      continue;
    }
    if (tag.options.size() < HtmlTag::kMaxAttributes) {
      tag.options.push_back(std::move(option));
    } else {
      tag.options_dropped = true;
    }
  }
  return tag;
}

bool SanitizeHtmlTag(HtmlTag& tag, PageResourceMap& map) {
  if (tag.name == "LINK" || tag.name.starts_with("!-") || tag.name == "MEDIA") {
    tag.name.clear();
    return true;
  }
  if (tag.name == "HTML") {
    tag.options.clear();
    return true;
  }
  if (tag.name == "SCRIPT") return false;
  bool changed = false;
  for (CTagOption& o : tag.options) {
    if (o.name.starts_with("ON")) {
      // Every event handler, whatever its name.
      o.name.clear();
      changed = true;
      continue;
    }
    const bool resource =
        o.name == "SRC" ||
        (o.name == "VALUE" && tag.name == "PARAM" && o.value.size() > 5 && NamesFlash(o.value)) ||
        (o.name == "BACKGROUND" && tag.name == "TD");
    // Inline data stays as it is, and an empty address names nothing.
    if (!resource || o.value.empty() || IsDataAddress(o.value)) continue;
    o.value = MakeLocalResourceName(o.value, map);
    changed = true;
  }
  return changed;
}

std::string BuildHtmlTag(const HtmlTag& tag) {
  if (tag.name.empty()) return std::string();
  std::string out = "<" + tag.name + " ";
  bool first = true;
  for (const CTagOption& o : tag.options) {
    if (o.name.empty()) continue;
    if (!first) out += ' ';
    first = false;
    out += o.name;
    // An attribute that had no value keeps none.
    if (!o.quote.empty() || !o.value.empty()) out += "=" + o.quote + o.value + o.quote;
  }
  return out + ">";
}

bool IsLocalNameUsed(const PageResourceMap& map, std::string_view name) {
  return std::any_of(map.begin(), map.end(), [&](const auto& e) { return e.second == name; });
}

std::string MakeLocalResourceName(const std::string& url, PageResourceMap& map) {
  if (auto found = map.find(url); found != map.end()) return found->second;
  const std::string_view part = std::string_view(url).substr(AfterLastSeparator(url));
  std::string name;
  const size_t dot = part.find('.');
  if (dot == std::string_view::npos) {
    name = kNoDotName;
  } else {
    size_t end = dot + 1;
    while (end < part.size() && IsAsciiLetter(part[end])) ++end;
    name = part.substr(0, end);
  }
  if (!IsPlainLocalName(name)) {
    // Keep the extension on a name of our own.
    const size_t first_dot = name.find('.');
    name = "file" + (first_dot == std::string::npos ? std::string() : name.substr(first_dot));
    if (!IsPlainLocalName(name)) name = kNoDotName;
  }
  if (IsLocalNameUsed(map, name)) {
    const size_t first_dot = name.find('.');
    const std::string stem = name.substr(0, first_dot);
    const std::string ext = first_dot == std::string::npos ? std::string() : name.substr(first_dot);
    // Every address keeps a name of its own: the count goes on as far as
    // the page needs.
    for (size_t n = 1;; ++n) {
      std::string numbered = stem + std::to_string(n) + ext;
      if (!IsLocalNameUsed(map, numbered)) {
        name = std::move(numbered);
        break;
      }
    }
  }
  map.emplace(url, name);
  return name;
}

std::string CleanHtml(std::string_view s, PageResourceMap& map) {
  std::string out;
  out.reserve(s.size());
  bool skipping = false;
  std::string closing;  // the tag name that ends the skipping
  size_t i = 0;
  while (i < s.size()) {
    if (Lead(s, i)) {
      if (!skipping) out.append(s.substr(i, 2));
      i += 2;
      continue;
    }
    if (s[i] != '<') {
      if (!skipping) out.push_back(s[i]);
      ++i;
      continue;
    }
    // The closing ">", double-byte characters stepped over whole.
    size_t end = i + 1;
    const size_t limit = skipping ? std::min(s.size(), i + kMaxSkippedTagBytes) : s.size();
    // Inside skipped text a new "<" starts the next candidate.
    while (end < limit && s[end] != '>' && !(skipping && s[end] == '<')) {
      end += Lead(s, end) ? 2 : 1;
    }
    if (end >= s.size()) break;  // no ">" before the end: the HTML ends here
    if (end >= limit || s[end] == '<') {
      i = end;  // not a tag inside skipped text
      continue;
    }
    const size_t next = end + 1;
    if (next - i > kMaxTagBytes) {
      i = next;
      continue;
    }
    std::string text(s.substr(i, next - i));
    for (char& c : text) {
      if (c == '\r' || c == '\n' || c == '\t') c = ' ';
    }
    i = next;
    HtmlTag tag = ParseHtmlTag(text);
    if (skipping) {
      if (tag.name == closing) skipping = false;
      continue;
    }
    if (tag.name == "IFRAME" || tag.name == "SCRIPT") {
      skipping = true;
      closing = "/" + tag.name;
      continue;
    }
    if (SanitizeHtmlTag(tag, map) || tag.options_dropped) {
      out += BuildHtmlTag(tag);
    } else {
      out += text;
    }
  }
  return out;
}

}  // namespace quill
