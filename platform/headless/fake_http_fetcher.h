// FakeHttpFetcher: addresses mapped to bodies, failures and delays. A
// delay moves the fake clock (when one is given) instead of waiting; one
// longer than the fetch's time limit times out after that limit, as a
// server that never answers does. Safe to call from a worker thread.
#pragma once

#include <climits>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/headless/fake_clock.h"
#include "platform/http_fetcher.h"

namespace quill {

class FakeHttpFetcher final : public HttpFetcher {
 public:
  static constexpr int kNeverAnswers = INT_MAX;

  explicit FakeHttpFetcher(FakeClock* clock = nullptr) : clock_(clock) {}

  void Serve(const std::string& url, std::string body, int delay_ms = 0) {
    std::lock_guard lock(mutex_);
    answers_[url] = {std::move(body), Status::Ok(), delay_ms};
  }
  void Fail(const std::string& url, Status status, int delay_ms = 0) {
    std::lock_guard lock(mutex_);
    answers_[url] = {std::string(), std::move(status), delay_ms};
  }

  struct Request {
    std::string url;
    std::string referer;
    FetchLimits limits;
  };
  std::vector<Request> requests() {
    std::lock_guard lock(mutex_);
    return requests_;
  }

  Status Fetch(const std::string& url, const std::string& referer, const FetchLimits& limits,
               std::string* body) override {
    std::lock_guard lock(mutex_);
    body->clear();
    requests_.push_back({url, referer, limits});
    auto found = answers_.find(url);
    if (found == answers_.end()) return Status::NotFound("404 " + url);
    const Answer& a = found->second;
    if (a.delay_ms > limits.total_ms) {
      if (clock_ != nullptr) clock_->AdvanceMs(static_cast<uint32_t>(limits.total_ms));
      return Status::IoError("timed out: " + url);
    }
    if (clock_ != nullptr) clock_->AdvanceMs(static_cast<uint32_t>(a.delay_ms));
    if (!a.status.ok()) return a.status;
    if (a.body.size() >= limits.max_bytes) return Status::OutOfRange("too large: " + url);
    *body = a.body;
    return Status::Ok();
  }

 private:
  struct Answer {
    std::string body;
    Status status;
    int delay_ms = 0;
  };
  std::mutex mutex_;
  FakeClock* clock_;
  std::map<std::string, Answer> answers_;
  std::vector<Request> requests_;
};

}  // namespace quill
