#include "clip/ui/get_http_form.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QProgressBar>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <thread>

#include "platform/headless/fake_clock.h"
#include "platform/headless/fake_http_fetcher.h"
#include "platform/qt/test_app.h"

namespace quill {
namespace {

// A fetcher whose fetch of "http://h/slow.png" waits until released.
class HeldFetcher final : public HttpFetcher {
 public:
  std::atomic<bool> held{false};
  std::atomic<bool> release{false};
  Status Fetch(const std::string& url, const std::string& referer, const FetchLimits& limits,
               std::string* body) override {
    if (url == "http://h/slow.png") {
      held = true;
      while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    *body = "IMG";
    return Status::Ok();
  }
};

// The window is the size it should be and stays painting while an image is
// fetched on the worker: its label names the address then.
TEST(GetHttpFormTest, FetchesOffTheWindowsThreadAndClosesItself) {
  TestApp();
  FakeClock clock;
  std::string text;
  PageImageFetch fetch({{"a.png", "a.png"}, {"slow.png", "slow.png"}}, "http://h/", clock, &text,
                       1000000);
  HeldFetcher fetcher;
  TGetHttpFm form(fetch, fetcher);
  EXPECT_EQ(form.size(), QSize(393, 65));
  EXPECT_TRUE(form.windowFlags().testFlag(Qt::FramelessWindowHint));
  EXPECT_TRUE(form.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  QString seen;
  int progress = -1;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    if (fetcher.held && !fetcher.release) {
      seen = form.GetFileName->text();
      progress = form.Progress->value();
      fetcher.release = true;
    }
  });
  watch.start(10);
  EXPECT_EQ(form.exec(), QDialog::Accepted);
  EXPECT_EQ(seen, "http://h/slow.png");
  EXPECT_EQ(progress, 2);
  EXPECT_EQ(fetch.embedded(), (std::vector<std::string>{"a.png", "slow.png"}));
}

}  // namespace
}  // namespace quill
