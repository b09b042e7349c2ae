#include "clip/html_view_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "clip/base64.h"
#include "clip/html_capture.h"
#include "clip/html_marker.h"
#include "clip/page_images.h"
#include "platform/headless/fault_env.h"
#include "platform/headless/temp_dir.h"
#include "platform/headless/test_files.h"

namespace quill {
namespace {

namespace fs = std::filesystem;

std::string HtmlCard(const std::string& page, const std::string& blocks) {
  return "text\r\n" + std::string(kHtmlMarkerLine) + "\r\n\r\n" + page + "\r\n" +
         std::string(kHtmlDataLine) + "\r\n" + blocks;
}

// The files of a folder and everything below it.
std::set<std::string> FilesUnder(const std::string& dir) {
  std::set<std::string> names;
  for (const auto& e : fs::recursive_directory_iterator(dir)) {
    names.insert(fs::relative(e.path(), dir).string());
  }
  return names;
}

struct ViewRig {
  ViewRig() {
    fs::create_directories(view);
    fs::create_directories(dir.File("outside"));
  }
  Status Write(std::string_view text) { return WriteHtmlViewFile(env, view, text); }
  TempDir dir;
  const std::string view = dir.File("tmp");
  FileEnv& env = FileEnv::Default();
};

TEST(HtmlViewFileTest, WritesThePageAndItsImages) {
  ViewRig rig;
  const std::string png(1000, '\x89');
  ASSERT_TRUE(rig.Write(HtmlCard("<p>\x82\xa0<IMG SRC=\"a.png\">",
                                 ImageBlock("a.png", png) + ImageBlock("b.gif", "GIF")))
                  .ok());
  EXPECT_EQ(ReadAll(rig.view + "/index.html"), "\r\n<p>\x82\xa0<IMG SRC=\"a.png\">\r\n");
  EXPECT_EQ(ReadAll(rig.view + "/a.png"), png);
  EXPECT_EQ(ReadAll(rig.view + "/b.gif"), "GIF");

  // The next card replaces the page and leaves none of the old images.
  ASSERT_TRUE(rig.Write(HtmlCard("<p>two</p>", "")).ok());
  EXPECT_EQ(FilesUnder(rig.view), std::set<std::string>{"index.html"});
  EXPECT_EQ(ReadAll(rig.view + "/index.html"), "\r\n<p>two</p>\r\n");
}

// A text card, or a broken HTML card, shows the notice: never the page of
// the card before.
TEST(HtmlViewFileTest, WhatIsNotAnHtmlCardShowsTheNotice) {
  const std::string broken_block = "<IMGFILE=a.png>\r\nQUJD\r\n";  // no end
  const std::string cases[] = {"just text", HtmlCard("<p>x</p>", "").substr(0, 60),
                               HtmlCard("<p>x</p>", broken_block),
                               HtmlCard("<p>x</p>", "<IMGFILE=a.png")};
  for (const std::string& text : cases) {
    SCOPED_TRACE(text);
    ViewRig rig;
    ASSERT_TRUE(rig.Write(HtmlCard("<p>before</p>", "")).ok());
    ASSERT_TRUE(rig.Write(text).ok());
    EXPECT_EQ(ReadAll(rig.view + "/index.html"), NotHtmlPage());
    EXPECT_EQ(ReadAll(rig.view + "/qb.hrml"), NotHtmlPage());
  }
  EXPECT_EQ(NotHtmlPage(),
            "<html>\n<Br><br>\x82\x67\x82\x73\x82\x6c\x82\x6b\x83\x66\x81\x5b\x83"
            "\x5e\x82\xc5\x82\xcd\x82\xa0\x82\xe8\x82\xdc\x82\xb9\x82\xf1\x82\xc5"
            "\x82\xb5\x82\xbd<br></html>");
}

// Image names that are no plain file name are skipped: nothing lands
// outside the folder, and the view's own page stays the card's.
TEST(HtmlViewFileTest, ImagesNeverLeaveTheFolder) {
  ViewRig rig;
  std::string blocks;
  for (const std::string& name :
       std::vector<std::string>{"../outside/x.png", "a/b.png", "..", ".", "index.html", "qb.hrml",
                                "/etc/x.png", "..\\x.png", std::string("n\0ul.png", 7), "ok.png"}) {
    blocks += ImageBlock(name, "IMG");
  }
  ASSERT_TRUE(rig.Write(HtmlCard("<p>page</p>", blocks)).ok());
  EXPECT_EQ(FilesUnder(rig.dir.Path()),
            (std::set<std::string>{"tmp", "tmp/index.html", "tmp/ok.png", "outside"}));
  EXPECT_EQ(ReadAll(rig.view + "/index.html"), "\r\n<p>page</p>\r\n");
}

TEST(HtmlViewFileTest, AFailedWriteIsReported) {
  ViewRig rig;
  FaultEnv env;
  env.SetDiskFull(true);
  EXPECT_FALSE(WriteHtmlViewFile(env, rig.view, HtmlCard("<p>x</p>", "")).ok());
  EXPECT_FALSE(WriteHtmlViewFile(env, rig.view, "text").ok());
  EXPECT_FALSE(WriteHtmlViewFile(env, rig.dir.File("missing"), "text").ok());
}

// Malformed and hostile input for the decoder, the cleaner and the view
// files (the sanitizer build runs these): no read or write out of bounds,
// nothing outside the view folder, and every run ends.
TEST(HtmlViewFileTest, HostileInputStaysInBounds) {
  std::mt19937 random(24);
  const std::string pieces[] = {
      "<", ">", "\"", "'", "=", " ", "\x81", "\x95\x5c", "\xfc", "<script>", "</script>",
      "<iframe", "<img src=", "../", "\\", "<!--", "<html", "onload=", "data:", "file:", "\r\n",
      "<IMGFILE=", ">\r\n", "</IMGFILE>", "QUJD", std::string(1, '\0'),
      std::string(kHtmlMarkerLine), std::string(kHtmlDataLine)};
  ViewRig rig;
  for (int round = 0; round < 300; ++round) {
    std::string text;
    const int count = static_cast<int>(random() % 60);
    for (int i = 0; i < count; ++i) text += pieces[random() % std::size(pieces)];
    // Every third round, arbitrary bytes among the pieces.
    if (round % 3 == 0) {
      for (int i = 0; i < 500; ++i) text.insert(random() % (text.size() + 1), 1, char(random()));
    }
    PageResourceMap map;
    const std::string cleaned = CleanHtml(text, map);
    EXPECT_LE(cleaned.size(), text.size() + 60 * 8);
    for (const auto& entry : map) EXPECT_TRUE(IsPlainLocalName(entry.second)) << entry.second;
    DecodeBase64(text);
    CaptureHtmlData(text, true);
    ASSERT_TRUE(rig.Write(text).ok());
    ASSERT_TRUE(rig.Write(HtmlCard(cleaned, text)).ok());
  }
  for (const std::string& name : FilesUnder(rig.dir.Path())) {
    EXPECT_TRUE(name == "tmp" || name == "outside" || name.starts_with("tmp/")) << name;
    EXPECT_EQ(name.find('/', 4), std::string::npos) << name;
  }
}

}  // namespace
}  // namespace quill
