// The images of a captured page: each address of the page's resource map
// is resolved against the page's address, fetched over HTTP(S) and added
// to the card text as an image block ("<IMGFILE=name>", the bytes in
// Base64 in lines of 80 characters, "</IMGFILE>").
//
// Limits: only http and https addresses are fetched (never a local file,
// never inline data); a fetch gets at most 30 s and the whole capture 60 s
// (entries left when that is spent are skipped); a body of 550,000 bytes
// or more is left out; a block is added only while the text stays within
// its limit, so images never make a fitting selection too large.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "clip/html_cleaner.h"
#include "platform/clock.h"
#include "platform/http_fetcher.h"

namespace quill {

// `ref` (UTF-8) resolved against the page address `base` as a browser
// does ("a.png", "/a.png", "//host/a.png", "../a.png", "?q", a full
// address); "" when it cannot be (no base for a relative address).
std::string ResolveAddress(std::string_view base, std::string_view ref);
// Whether the address's scheme is http or https.
bool IsHttpAddress(std::string_view url);
// The address of an attribute value (CP932, entities as written) as a
// fetchable UTF-8 address: "&amp;" read as "&", blanks and bytes outside
// ASCII percent-encoded.
std::string AddressOfAttribute(std::string_view value);
// One image block of the card text.
std::string ImageBlock(std::string_view name, std::string_view bytes);

class PageImageFetch {
 public:
  static constexpr uint32_t kCaptureMs = 60000;
  static constexpr int kResourceMs = 30000;
  static constexpr int kConnectMs = 10000;
  static constexpr size_t kMaxImageBytes = 550000;

  // Blocks are appended to *text while it stays within `max_text` bytes;
  // `page_url` (CP932) is the referer and the base of relative addresses.
  PageImageFetch(const PageResourceMap& map, std::string page_url, Clock& clock,
                 std::string* text, size_t max_text);

  // One entry of the map.
  struct Step {
    size_t index = 0;
    std::string written;  // the address as the page wrote it (CP932)
    std::string name;     // its local file name
    std::string url;      // what to fetch; "" when it is not fetched
    std::string referer;  // UTF-8
    FetchLimits limits;
  };
  size_t size() const { return entries_.size(); }
  // The next entry; false when all are done or the capture's time is spent.
  bool Next(Step* step);
  // The result of a step's fetch.
  void Accept(const Step& step, const Status& status, const std::string& body);
  // Every step in turn, on this thread.
  void RunAll(HttpFetcher& fetcher);
  // Names of the blocks added, in order.
  const std::vector<std::string>& embedded() const { return embedded_; }

 private:
  std::vector<std::pair<std::string, std::string>> entries_;
  std::string referer_;
  Clock& clock_;
  std::string* text_;
  size_t max_text_;
  size_t next_ = 0;
  bool started_ = false;
  uint32_t start_tick_ = 0;
  std::vector<std::string> embedded_;
};

}  // namespace quill
