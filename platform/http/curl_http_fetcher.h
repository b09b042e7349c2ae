// HttpFetcher over libcurl: one easy handle per fetch, http and https only
// (redirects too, at most FetchLimits::max_redirects), the body dropped as
// soon as it reaches the size limit.
#pragma once

#include "platform/http_fetcher.h"

namespace quill {

class CurlHttpFetcher final : public HttpFetcher {
 public:
  Status Fetch(const std::string& url, const std::string& referer, const FetchLimits& limits,
               std::string* body) override;
};

}  // namespace quill
