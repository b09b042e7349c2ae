// The marker line of an HTML card: the card's text holds its visible text,
// then this line (with CR LF), then the page it was taken from. What is
// pasted or shown as text is the part before the marker.
#pragma once

#include <string_view>

namespace quill {

// "<---Quillbox Html Text これより以降は編集しないでください--->" in CP932.
inline constexpr std::string_view kHtmlMarkerLine =
    "<---Quillbox Html Text \x82\xb1\x82\xea\x82\xe6\x82\xe8\x88\xc8\x8d~\x82\xcd\x95\xd2\x8f"
    "W\x82\xb5\x82\xc8\x82\xa2\x82\xc5\x82\xad\x82\xbe\x82\xb3\x82\xa2--->";

// The text up to the start of the marker line (all of it without one).
inline std::string_view CutAtHtmlMarker(std::string_view text) {
  return text.substr(0, text.find(kHtmlMarkerLine));
}

}  // namespace quill
