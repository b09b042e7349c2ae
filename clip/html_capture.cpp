#include "clip/html_capture.h"

#include "platform/clipboard.h"
#include "platform/text_codec.h"
#include "platform/sjis.h"

namespace quill {

namespace {

std::string BaseOf(std::string_view url) {
  size_t after = 0;
  for (size_t i = 0; i < url.size();
       i += quill::IsSjisLead(static_cast<unsigned char>(url[i])) && i + 1 < url.size() ? 2 : 1) {
    if (url[i] == '/' || url[i] == '\\') after = i + 1;
  }
  return std::string(url.substr(0, after));
}

}  // namespace

HtmlCaptureResult CaptureHtmlData(std::string_view data, bool capture) {
  HtmlCaptureResult result;
  std::string bytes;
  bytes.reserve(data.size());
  for (char c : data) {
    if (c != '\r') bytes.push_back(c);
  }
  const std::string text = Utf8ToCp932(bytes);
  const std::string_view t(text);
  constexpr std::string_view kSourceUrl = "SourceURL:";
  size_t i = 0;
  bool html_starts = false;
  while (i < t.size()) {
    const std::string_view rest = t.substr(i);
    if (rest.starts_with("<html") || rest.starts_with("<HTML")) {
      html_starts = true;
      break;
    }
    if (rest.starts_with(kSourceUrl)) {
      const std::string_view line = rest.substr(kSourceUrl.size());
      const size_t end = line.find('\n');
      result.source_url = line.substr(0, end);
      result.base_url = BaseOf(result.source_url);
      if (!capture) return result;
      i += kSourceUrl.size() + (end == std::string_view::npos ? line.size() : end);
      continue;
    }
    // A double-byte character is passed over whole.
    i += quill::IsSjisLead(static_cast<unsigned char>(t[i])) && i + 1 < t.size() ? 2 : 1;
  }
  if (!capture) return result;
  if (html_starts) result.html = CleanHtml(t.substr(i), result.resources);
  result.html += "\r\n";
  result.html += kHtmlDataLine;
  result.html += "\r\n";
  return result;
}

HtmlCaptureResult CaptureHtmlClipboard(ClipboardAccess& clipboard, int format, bool capture) {
  if (format == 0) return CaptureHtmlData(std::string_view(), capture);
  return CaptureHtmlData(HtmlFormatOf(clipboard.clipboard().Snapshot()), capture);
}

std::string CaptureHtmlClipboard(ClipboardAccess& clipboard, int format) {
  return CaptureHtmlClipboard(clipboard, format, false).source_url;
}

std::string SourceUrlOfHtmlFormat(std::string_view data) {
  return CaptureHtmlData(data, false).source_url;
}

}  // namespace quill
