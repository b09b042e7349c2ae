#include "platform/http/curl_http_fetcher.h"

#include <curl/curl.h>

#include <memory>
#include <mutex>

namespace quill {

namespace {

struct Sink {
  std::string* body;
  size_t max_bytes;
  bool too_large = false;
};

size_t Write(char* data, size_t size, size_t count, void* user) {
  auto* sink = static_cast<Sink*>(user);
  const size_t n = size * count;
  if (sink->body->size() + n >= sink->max_bytes) {
    sink->too_large = true;
    return 0;  // ends the transfer
  }
  sink->body->append(data, n);
  return n;
}

void InitOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

}  // namespace

Status CurlHttpFetcher::Fetch(const std::string& url, const std::string& referer,
                              const FetchLimits& limits, std::string* body) {
  body->clear();
  InitOnce();
  std::unique_ptr<CURL, void (*)(CURL*)> curl(curl_easy_init(), curl_easy_cleanup);
  if (!curl) return Status::IoError("the HTTP client could not be set up");
  Sink sink{body, limits.max_bytes};
  CURL* h = curl.get();
  char error[CURL_ERROR_SIZE] = "";
  bool set =
      curl_easy_setopt(h, CURLOPT_URL, url.c_str()) == CURLE_OK &&
      curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https") == CURLE_OK &&
      curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https") == CURLE_OK &&
      curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L) == CURLE_OK &&
      curl_easy_setopt(h, CURLOPT_MAXREDIRS, static_cast<long>(limits.max_redirects)) == CURLE_OK &&
      curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(limits.connect_ms)) ==
          CURLE_OK &&
      curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, static_cast<long>(limits.total_ms)) == CURLE_OK &&
      curl_easy_setopt(h, CURLOPT_MAXFILESIZE_LARGE,
                       static_cast<curl_off_t>(limits.max_bytes) - 1) == CURLE_OK &&
      curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L) == CURLE_OK &&
      curl_easy_setopt(h, CURLOPT_FAILONERROR, 1L) == CURLE_OK &&
      curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &Write) == CURLE_OK &&
      curl_easy_setopt(h, CURLOPT_WRITEDATA, &sink) == CURLE_OK &&
      curl_easy_setopt(h, CURLOPT_ERRORBUFFER, error) == CURLE_OK;
  if (set && !referer.empty())
    set = curl_easy_setopt(h, CURLOPT_REFERER, referer.c_str()) == CURLE_OK;
  if (!set) return Status::Invalid("the HTTP client refused an option for " + url);
  const CURLcode code = curl_easy_perform(h);
  if (code == CURLE_OK) return Status::Ok();
  body->clear();
  if (sink.too_large || code == CURLE_FILESIZE_EXCEEDED) {
    return Status::OutOfRange("larger than the limit: " + url);
  }
  const std::string reason = error[0] != '\0' ? error : curl_easy_strerror(code);
  if (code == CURLE_UNSUPPORTED_PROTOCOL) return Status::Permission(reason + ": " + url);
  return Status::IoError(reason + ": " + url);
}

}  // namespace quill
