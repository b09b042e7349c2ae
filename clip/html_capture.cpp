#include "clip/html_capture.h"

#include "platform/clipboard.h"
#include "platform/text_codec.h"
#include "store/sjis.h"

namespace quill {

std::string CaptureHtmlClipboard(ClipboardAccess& clipboard, int format) {
  if (format == 0) return std::string();
  return SourceUrlOfHtmlFormat(HtmlFormatOf(clipboard.clipboard().Snapshot()));
}

std::string SourceUrlOfHtmlFormat(std::string_view data) {
  std::string bytes;
  bytes.reserve(data.size());
  for (char c : data) {
    if (c != '\r') bytes.push_back(c);
  }
  const std::string text = Utf8ToCp932(bytes);
  const std::string_view t(text);
  constexpr std::string_view kSourceUrl = "SourceURL:";
  size_t i = 0;
  while (i < t.size()) {
    const std::string_view rest = t.substr(i);
    if (rest.starts_with("<html") || rest.starts_with("<HTML")) break;
    if (rest.starts_with(kSourceUrl)) {
      const std::string_view line = rest.substr(kSourceUrl.size());
      return std::string(line.substr(0, line.find('\n')));
    }
    // A double-byte character is passed over whole.
    i += store::IsSjisLead(static_cast<unsigned char>(t[i])) && i + 1 < t.size() ? 2 : 1;
  }
  return std::string();
}

}  // namespace quill
