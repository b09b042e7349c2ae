#include "clip/page_images.h"

#include <gtest/gtest.h>

#include <string>

#include "clip/base64.h"
#include "platform/headless/fake_http_fetcher.h"

namespace quill {
namespace {

TEST(PageImagesTest, AddressesAreResolvedAsABrowserDoes) {
  const std::string page = "http://h.example/dir/sub/page.html?x=1#top";
  struct Case {
    const char* ref;
    const char* url;
  };
  const Case cases[] = {
      {"a.png", "http://h.example/dir/sub/a.png"},
      {"/a.png", "http://h.example/a.png"},
      {"//cdn.example/a.png", "http://cdn.example/a.png"},
      {"../a.png", "http://h.example/dir/a.png"},
      {"../../../a.png", "http://h.example/a.png"},
      {"./i/./b.png?s=2", "http://h.example/dir/sub/i/b.png?s=2"},
      {"?q=3", "http://h.example/dir/sub/page.html?q=3"},
      {"https://o.example/c.gif", "https://o.example/c.gif"},
      {"FILE:///etc/passwd", "FILE:///etc/passwd"},
  };
  for (const Case& c : cases) EXPECT_EQ(ResolveAddress(page, c.ref), c.url) << c.ref;
  EXPECT_EQ(ResolveAddress("", "a.png"), "");
  EXPECT_EQ(ResolveAddress("http://h.example", "a.png"), "http://h.example/a.png");
  EXPECT_EQ(ResolveAddress("file:///home/u/p.html", "a.png"), "file:///home/u/a.png");
  EXPECT_EQ(AddressOfAttribute("/i.php?a=1&amp;b=2 "), "/i.php?a=1&b=2");
  EXPECT_EQ(AddressOfAttribute("\x95\x5c.png"), "%E8%A1%A8.png");  // 表
}

struct FetchRig {
  FetchRig() { clock.SetTick(5000); }
  // Runs the fetch of `map` for the page, appending to `text`.
  std::vector<std::string> Run(const PageResourceMap& map, const std::string& page,
                               size_t max_text = 1000000) {
    PageImageFetch fetch(map, page, clock, &text, max_text);
    fetch.RunAll(fetcher);
    return fetch.embedded();
  }
  FakeClock clock;
  FakeHttpFetcher fetcher{&clock};
  std::string text = "<p>x</p>\r\n<QuillboxHtml Data>\r\n";
};

TEST(PageImagesTest, ImagesAreFetchedWithTheirLimits) {
  FetchRig rig;
  rig.fetcher.Serve("http://h.example/i/a.png", "PNGDATA");
  rig.fetcher.Serve("http://h.example/big.png", std::string(600000, 'b'));
  const PageResourceMap map = {{"i/a.png", "a.png"},
                               {"/big.png", "big.png"},
                               {"file:///etc/passwd", "passwd"},
                               {"/missing.gif", "missing.gif"}};
  EXPECT_EQ(rig.Run(map, "http://h.example/page.html"), std::vector<std::string>{"a.png"});
  EXPECT_EQ(rig.text, "<p>x</p>\r\n<QuillboxHtml Data>\r\n" + ImageBlock("a.png", "PNGDATA"));
  // The local file is never asked for; each fetch names the page and has
  // its limits.
  const auto requests = rig.fetcher.requests();
  ASSERT_EQ(requests.size(), 3u);
  for (const auto& r : requests) {
    EXPECT_EQ(r.url.rfind("http://h.example/", 0), 0u);
    EXPECT_EQ(r.referer, "http://h.example/page.html");
    EXPECT_EQ(r.limits.connect_ms, 10000);
    EXPECT_EQ(r.limits.total_ms, 30000);
    EXPECT_EQ(r.limits.max_bytes, 550000u);
  }
}

TEST(PageImagesTest, APageOfALocalFileFetchesNothing) {
  FetchRig rig;
  const std::string before = rig.text;
  EXPECT_TRUE(rig.Run({{"a.png", "a.png"}, {"/etc/passwd", "passwd"}}, "file:///home/u/p.html")
                  .empty());
  EXPECT_TRUE(rig.Run({{"a.png", "a.png"}}, "").empty());
  EXPECT_TRUE(rig.fetcher.requests().empty());
  EXPECT_EQ(rig.text, before);
}

TEST(PageImagesTest, ACaptureEndsAfterSixtySeconds) {
  FetchRig rig;
  // Map order: a (never answers: 30 s), b (25 s), c (5 s, all that is
  // left), d (skipped: the time is spent).
  rig.fetcher.Serve("http://h/a", "A", FakeHttpFetcher::kNeverAnswers);
  rig.fetcher.Serve("http://h/b", "B", 25000);
  rig.fetcher.Serve("http://h/c", "C", 5000);
  rig.fetcher.Serve("http://h/d", "D", 0);
  const uint32_t start = rig.clock.TickCount();
  EXPECT_EQ(rig.Run({{"http://h/a", "a.x"}, {"http://h/b", "b.x"}, {"http://h/c", "c.x"},
                     {"http://h/d", "d.x"}},
                    "http://h/"),
            (std::vector<std::string>{"b.x", "c.x"}));
  const auto requests = rig.fetcher.requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[2].limits.total_ms, 5000);
  EXPECT_EQ(rig.clock.TickCount() - start, 60000u);
}

TEST(PageImagesTest, BlocksAreAddedOnlyWhileTheTextFits) {
  FetchRig rig;
  rig.fetcher.Serve("http://h/a.png", std::string(300, 'a'));
  rig.fetcher.Serve("http://h/b.png", std::string(30, 'b'));
  const size_t limit = rig.text.size() + ImageBlock("b.png", std::string(30, 'b')).size();
  EXPECT_EQ(rig.Run({{"a.png", "a.png"}, {"b.png", "b.png"}}, "http://h/", limit),
            std::vector<std::string>{"b.png"});
  EXPECT_EQ(rig.text.size(), limit);
}

}  // namespace
}  // namespace quill
