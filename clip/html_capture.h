// The page a browser selection came from, and its cleaned HTML, read from
// the clipboard's "HTML Format" data.
#pragma once

#include <string>
#include <string_view>

#include "clip/html_cleaner.h"
#include "clip/paste_target.h"

namespace quill {

// The line that starts the image blocks of an HTML card.
inline constexpr std::string_view kHtmlDataLine = "<QuillboxHtml Data>";

struct HtmlCaptureResult {
  std::string source_url;  // CP932, "" when the data names no page
  // The source URL up to and including its last "/" or "\", "" without one.
  std::string base_url;
  // With the capture flag: the cleaned HTML, CR LF, "<QuillboxHtml Data>"
  // and CR LF (the image blocks follow it); empty without.
  std::string html;
  PageResourceMap resources;  // address as written -> local file name
};

// Reads "HTML Format" data (UTF-8). The header, up to where the HTML
// starts ("<html" or "<HTML"), gives the source URL; without the capture
// flag that is all. With it the HTML is cleaned.
HtmlCaptureResult CaptureHtmlData(std::string_view data, bool capture);
// The same from the clipboard; `format` is what
// ClipboardAccess::FindHtmlClipboardFormat returned (0: no HTML, and with
// the capture flag an empty HTML part).
HtmlCaptureResult CaptureHtmlClipboard(ClipboardAccess& clipboard, int format, bool capture);
// Only the source URL: nothing is cleaned or shown.
std::string CaptureHtmlClipboard(ClipboardAccess& clipboard, int format);

// The source URL of "HTML Format" data (UTF-8), in CP932, or "".
std::string SourceUrlOfHtmlFormat(std::string_view data);

}  // namespace quill
