#include "platform/clipboard.h"

#include <algorithm>
#include <cstdint>
#include <string_view>

namespace quill {

namespace {

void AppendUtf8(std::string* out, uint32_t c) {
  if (c < 0x80) {
    out->push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (c >> 6)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (c >> 12)));
    out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (c >> 18)));
    out->push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

std::string Utf16ToUtf8(std::string_view bytes, bool little_endian) {
  std::string out;
  out.reserve(bytes.size());
  const auto unit = [&](size_t i) -> uint32_t {
    const auto lo = static_cast<uint8_t>(bytes[little_endian ? i : i + 1]);
    const auto hi = static_cast<uint8_t>(bytes[little_endian ? i + 1 : i]);
    return static_cast<uint32_t>(hi << 8 | lo);
  };
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    uint32_t c = unit(i);
    if (c >= 0xD800 && c < 0xDC00 && i + 3 < bytes.size()) {
      const uint32_t low = unit(i + 2);
      if (low >= 0xDC00 && low < 0xE000) {
        c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
        i += 2;
      } else {
        c = 0xFFFD;
      }
    } else if (c >= 0xD800 && c < 0xE000) {
      c = 0xFFFD;  // a surrogate out of its pair
    }
    AppendUtf8(&out, c);
  }
  return out;
}

// What an application offered, as UTF-8, up to a NUL.
std::string DecodeOffered(std::string_view data) {
  std::string text;
  if (data.size() >= 2 && static_cast<uint8_t>(data[0]) == 0xFF &&
      static_cast<uint8_t>(data[1]) == 0xFE) {
    text = Utf16ToUtf8(data.substr(2), true);
  } else if (data.size() >= 2 && static_cast<uint8_t>(data[0]) == 0xFE &&
             static_cast<uint8_t>(data[1]) == 0xFF) {
    text = Utf16ToUtf8(data.substr(2), false);
  } else if (data.size() >= 2 && data.size() % 2 == 0 && data[0] != '\0' && data[1] == '\0') {
    text = Utf16ToUtf8(data, true);
  } else {
    text.assign(data);
  }
  const size_t nul = text.find('\0');
  if (nul != std::string::npos) text.resize(nul);
  return text;
}

const ClipboardFormat* Find(const ClipboardSnapshot& snapshot, std::string_view mime_type) {
  for (const ClipboardFormat& f : snapshot.formats) {
    if (f.mime_type == mime_type) return &f;
  }
  return nullptr;
}

// The page's address: the first line of the first source type offered.
std::string SourceUrlOf(const ClipboardSnapshot& snapshot) {
  for (const char* type : kSourceUrlMimeTypes) {
    const ClipboardFormat* f = Find(snapshot, type);
    if (f == nullptr) continue;
    std::string url = DecodeOffered(f->data);
    url.resize(std::min(url.size(), url.find_first_of("\r\n")));
    while (!url.empty() && url.back() == ' ') url.pop_back();
    size_t start = url.find_first_not_of(' ');
    url.erase(0, start == std::string::npos ? url.size() : start);
    if (!url.empty()) return url;
  }
  return std::string();
}

}  // namespace

std::string HtmlFormatOf(const ClipboardSnapshot& snapshot) {
  const ClipboardFormat* html = Find(snapshot, kHtmlMimeType);
  if (html == nullptr) return std::string();
  std::string body = DecodeOffered(html->data);
  if (body.find("<html") == std::string::npos && body.find("<HTML") == std::string::npos) {
    body = "<html><body>\r\n<!--StartFragment-->" + body +
           "<!--EndFragment-->\r\n</body>\r\n</html>";
  }
  std::string out = "Version:0.9\r\n";
  const std::string url = SourceUrlOf(snapshot);
  if (!url.empty()) out += "SourceURL:" + url + "\r\n";
  return out + body;
}

}  // namespace quill
