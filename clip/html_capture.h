// The page a browser selection came from, read from the clipboard's
// "HTML Format" data.
#pragma once

#include <string>
#include <string_view>

#include "clip/paste_target.h"

namespace quill {

// The source URL (CP932) of the clipboard's HTML: the rest of the header
// line "SourceURL:". `format` is what ClipboardAccess::FindHtmlClipboardFormat
// returned; without HTML data, or when the HTML starts (or the data ends)
// before such a line, the URL is empty. Nothing is shown.
std::string CaptureHtmlClipboard(ClipboardAccess& clipboard, int format);

// The header of "HTML Format" data (UTF-8), read up to where the HTML
// starts ("<html" or "<HTML"): the source URL in CP932, or "".
std::string SourceUrlOfHtmlFormat(std::string_view data);

}  // namespace quill
