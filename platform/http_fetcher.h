// HttpFetcher: GET of one address over HTTP or HTTPS, for the images of a
// captured page. A fetch may run on a worker thread (the window that shows
// its progress keeps painting meanwhile); an implementation keeps no state
// between fetches that two threads could share.
#pragma once

#include <cstddef>
#include <string>

#include "platform/status.h"

namespace quill {

struct FetchLimits {
  int connect_ms = 10000;     // to reach the server
  int total_ms = 30000;       // for the whole fetch, redirects included
  size_t max_bytes = 550000;  // a body of this size or more is dropped
  int max_redirects = 5;
};

class HttpFetcher {
 public:
  virtual ~HttpFetcher() = default;
  // Fetches `url` (http or https only, also after a redirect) with
  // `referer` as the Referer header. On success *body holds the whole
  // body; a body that reaches max_bytes fails with kOutOfRange, a time-out
  // or any other failure with its own code, and *body is then empty.
  virtual Status Fetch(const std::string& url, const std::string& referer,
                       const FetchLimits& limits, std::string* body) = 0;
};

}  // namespace quill
