// The cleaning of a captured page fragment: every tag is parsed, scripts,
// frames, style links, comments and event handlers go, and the addresses
// of images and other resources become local file names, collected in the
// page's resource map for the download that follows.
//
// Text here is CP932 bytes without CR.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace quill {

// Resource address, exactly as written in the page -> local file name.
using PageResourceMap = std::map<std::string, std::string>;

// One attribute of a tag.
struct CTagOption {
  std::string name;   // folded to upper case; empty: left out when rebuilt
  std::string quote;  // "\"", "'" or ""
  std::string value;
};

struct HtmlTag {
  static constexpr size_t kMaxAttributes = 50;
  std::string name;  // folded to upper case; empty: the tag is dropped
  std::vector<CTagOption> options;  // at most kMaxAttributes
  bool options_dropped = false;     // the tag had more; it must be rebuilt
};

// The view's own files in a view folder; no image may take their names.
inline constexpr std::string_view kHtmlViewFileName = "index.html";
inline constexpr std::string_view kNotHtmlViewFileName = "qb.hrml";

// A tag's text from "<" to ">" (without CR, LF or TAB) as a record.
// Attributes past the 50th are dropped; one without "=" has an empty value.
HtmlTag ParseHtmlTag(std::string_view tag_text);
// Drops what must not stay and localises resource addresses; true when
// the tag changed.
bool SanitizeHtmlTag(HtmlTag& tag, PageResourceMap& map);
// The text of a changed tag ("" for a dropped one).
std::string BuildHtmlTag(const HtmlTag& tag);
// The local file name of a resource address, made once per address.
std::string MakeLocalResourceName(const std::string& url, PageResourceMap& map);
bool IsLocalNameUsed(const PageResourceMap& map, std::string_view name);
// Whether `name` may name a file of a view folder: not empty, no "/",
// "\" (a CP932 trail byte 0x5C is part of its character), NUL or control
// byte, not "." or "..", and not one of the view's own files.
bool IsPlainLocalName(std::string_view name);

// The cleaned HTML of `html` (which starts at its "<html"). A "<" without
// ">" ends it; a tag over 4,999 bytes is dropped.
std::string CleanHtml(std::string_view html, PageResourceMap& map);

}  // namespace quill
