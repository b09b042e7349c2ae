#include "platform/http/curl_http_fetcher.h"

#include <gtest/gtest.h>

#include <chrono>

#include "platform/file_env.h"

#include "platform/headless/temp_dir.h"
#include "platform/headless/test_http_server.h"

namespace quill {
namespace {

using Route = TestHttpServer::Route;

class CurlHttpFetcherTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(server.ok()); }
  Status Get(const std::string& url, FetchLimits limits = {}) {
    body = "stale";
    return fetcher.Fetch(url, "http://page.example/p.html", limits, &body);
  }
  TestHttpServer server;
  CurlHttpFetcher fetcher;
  std::string body;
};

TEST_F(CurlHttpFetcherTest, FetchesTheBodyWithTheRefererAndFollowsHttpRedirects) {
  server.Add("/a.png", Route::Answer(200, std::string("\x89PNG\0\x01", 6)));
  server.Add("/moved", Route::Redirect(server.Url("/a.png")));
  ASSERT_TRUE(Get(server.Url("/moved")).ok());
  EXPECT_EQ(body, std::string("\x89PNG\0\x01", 6));
  const auto seen = server.requests();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[1].path, "/a.png");
  EXPECT_EQ(seen[0].referer, "http://page.example/p.html");
}

TEST_F(CurlHttpFetcherTest, RefusesWhatMustNotBeFetched) {
  TempDir dir;
  ASSERT_TRUE(FileEnv::Default().WriteFileAtomic(dir.File("secret"), "local file").ok());
  // A redirect into a local file, a local file itself, a chain of more
  // than five redirects, a server error, a body at the size limit, with its
  // length or without.
  server.Add("/to-file", Route::Redirect("file://" + dir.File("secret")));
  for (int i = 0; i < 7; ++i) {
    server.Add("/r" + std::to_string(i), Route::Redirect(server.Url("/r" + std::to_string(i + 1))));
  }
  server.Add("/r7", Route::Answer(200, "end"));
  server.Add("/error", Route::Answer(500, "oops"));
  for (const bool no_length : {false, true}) {
    Route big;
    big.body = std::string(550000, 'x');
    big.no_length = no_length;
    server.Add(no_length ? "/big-unsized" : "/big", big);
    big.body.pop_back();
    server.Add(no_length ? "/just-fits-unsized" : "/just-fits", big);
  }
  const std::string refused[] = {server.Url("/to-file"), "file://" + dir.File("secret"),
                                 server.Url("/r0"), server.Url("/error"), server.Url("/big"),
                                 server.Url("/big-unsized")};
  for (const std::string& url : refused) {
    SCOPED_TRACE(url);
    EXPECT_FALSE(Get(url).ok());
    EXPECT_EQ(body, "");
  }
  EXPECT_EQ(Get(server.Url("/big")).code(), Status::kOutOfRange);
  EXPECT_EQ(Get(server.Url("/big-unsized")).code(), Status::kOutOfRange);
  for (const char* path : {"/just-fits", "/just-fits-unsized"}) {
    ASSERT_TRUE(Get(server.Url(path)).ok()) << path;
    EXPECT_EQ(body.size(), 549999u);
  }
  ASSERT_TRUE(Get(server.Url("/r2")).ok());  // five redirects are followed
  EXPECT_EQ(body, "end");
}

TEST_F(CurlHttpFetcherTest, AServerThatNeverAnswersTimesOut) {
  Route silent;
  silent.never_answers = true;
  server.Add("/silent", silent);
  FetchLimits limits;
  limits.total_ms = 500;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(Get(server.Url("/silent"), limits).ok());
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

}  // namespace
}  // namespace quill
