#include "clip/html_cleaner.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "clip/html_capture.h"
#include "platform/text_codec.h"

namespace quill {
namespace {

// What the cleaner makes of a fragment, and the resource map it fills.
TEST(HtmlCleanerTest, CleansEveryTag) {
  struct Case {
    const char* name;
    std::string html;
    std::string cleaned;
    PageResourceMap map = {};  // none unless a case names some
  };
  const Case cases[] = {
      {"script and iframe go with their content",
       "<p>a<script type=x>alert('<b>')</script>b<IFRAME src=f.html>in<p></iframe>c</p>",
       "<p>abc</p>"},
      {"an event handler goes, HREF stays", "<a href=\"http://x/\" onclick=\"f()\">t</a>",
       "<A HREF=\"http://x/\">t</a>"},
      {"an unchanged tag byte for byte, its CR LF and TAB as blanks",
       "<p class='x'  id=y>\t<td\tclass=z\n>", "<p class='x'  id=y>\t<td class=z >"},
      {"HTML loses its attributes", "<html lang=\"ja\" dir=ltr><body>", "<HTML ><body>"},
      {"no comments, style links or media", "a<!-- c -->b<link rel=stylesheet href=s.css>c<media>",
       "abc"},
      {"two images with one file name",
       "<img src=\"http://h/a.png\"><img src='http://g/x/a.png?v=2'>",
       "<IMG SRC=\"a.png\"><IMG SRC='a1.png'>",
       {{"http://h/a.png", "a.png"}, {"http://g/x/a.png?v=2", "a1.png"}}},
      {"one address twice, one name",
       "<img src=/i/a.png><img src=/i/a.png>",
       "<IMG SRC=a.png><IMG SRC=a.png>",
       {{"/i/a.png", "a.png"}}},
      {"names without a dot",
       "<img src=\"http://h/pic\"><img src=\"http://h/pic2\">",
       "<IMG SRC=\"qb_file.fl\"><IMG SRC=\"qb_file1.fl\">",
       {{"http://h/pic", "qb_file.fl"}, {"http://h/pic2", "qb_file1.fl"}}},
      {"every handler whose name begins with ON",
       "<img onabort=x ONPOINTERDOWN=\"y\" onAnimationEnd=z alt=w>", "<IMG ALT=w>"},
      {"inline data stays as written", "<img src=\"data:image/png;base64,AAAA\" alt=d>",
       "<img src=\"data:image/png;base64,AAAA\" alt=d>"},
      {"a flash movie of PARAM and the background of TD",
       "<param name=movie value=\"m/film.SWF\"><param value=\"x.swf\"><td background=bg.gif>",
       "<PARAM NAME=movie VALUE=\"film.SWF\"><param value=\"x.swf\"><TD BACKGROUND=bg.gif>",
       {{"bg.gif", "bg.gif"}, {"m/film.SWF", "film.SWF"}}},
      {"names that would leave the folder or take a view file's",
       "<img src=\"http://h/index.html\"><img src=\"http://h/..\"><img src=\"a\\b\\c.jpg\">",
       "<IMG SRC=\"file.html\"><IMG SRC=\"file.\"><IMG SRC=\"c.jpg\">",
       {{"http://h/index.html", "file.html"}, {"http://h/..", "file."}, {"a\\b\\c.jpg", "c.jpg"}}},
      {"a trail byte 0x5C is no separator",
       Utf8ToCp932("<img src=\"/x/表.png\">"),
       Utf8ToCp932("<IMG SRC=\"表.png\">"),
       {{Utf8ToCp932("/x/表.png"), Utf8ToCp932("表.png")}}},
      {"an attribute without \"=\" and a tag that closes itself",
       "<img src=a.gif ismap /><input disabled>",
       "<IMG SRC=a.gif ISMAP><input disabled>",
       {{"a.gif", "a.gif"}}},
      {"a \"<\" without \">\" ends the HTML", "<b>x</b>y<img src=a.png", "<b>x</b>y"},
      {"a tag of 5,000 bytes is dropped, one of 4,999 kept",
       "a<p title=\"" + std::string(4988, 'x') + "\">b<p title=\"" + std::string(4987, 'x') + "\">",
       "ab<p title=\"" + std::string(4987, 'x') + "\">"},
      {"inside a script a far \">\" is no tag", "<script>" + std::string(200, '<') + "</script>ok",
       "ok"},
      {"inside a script the search stops after a whole character",
       "<script><" + std::string(98, 'a') + "\x88\x9f</script>ok", "ok"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PageResourceMap map;
    EXPECT_EQ(CleanHtml(c.html, map), c.cleaned);
    EXPECT_EQ(map, c.map);
  }
}

TEST(HtmlCleanerTest, AttributesPastFiftyAreDropped) {
  std::string html = "<p";
  for (int i = 0; i < 60; ++i) html += " a" + std::to_string(i) + "=" + std::to_string(i);
  html += " onclick=x>";
  const HtmlTag tag = ParseHtmlTag(html);
  ASSERT_EQ(tag.options.size(), 50u);
  EXPECT_EQ(tag.options[49].name, "A49");
  PageResourceMap map;
  std::string expected = "<P";
  for (int i = 0; i < 50; ++i) expected += " A" + std::to_string(i) + "=" + std::to_string(i);
  EXPECT_EQ(CleanHtml(html + "<b>", map), expected + "><b>");
}

TEST(HtmlCleanerTest, EveryAddressKeepsANameOfItsOwn) {
  PageResourceMap map;
  std::set<std::string> names;
  for (int i = 0; i < 101; ++i) {
    names.insert(MakeLocalResourceName("http://h/" + std::to_string(i) + "/a.png", map));
  }
  EXPECT_EQ(names.size(), 101u);
  EXPECT_TRUE(names.count("a.png") && names.count("a99.png") && names.count("a100.png"));
}

TEST(HtmlCleanerTest, PlainLocalNames) {
  for (const std::string& name :
       std::vector<std::string>{"a.png", "qb_file1.fl", "file.", Utf8ToCp932("表.png")}) {
    EXPECT_TRUE(IsPlainLocalName(name)) << name;
  }
  for (const std::string& name :
       std::vector<std::string>{"", ".", "..", "../x", "a/b", "a\\b", "index.html", "INDEX.HTML",
                                "qb.hrml", std::string("a\0b", 3), "a\x01", "a\x7f"}) {
    EXPECT_FALSE(IsPlainLocalName(name)) << name;
  }
}

// The capture from "HTML Format" data: header, cleaned HTML and the line
// that starts the image blocks.
TEST(HtmlCleanerTest, CaptureOfHtmlFormatData) {
  const std::string data =
      "Version:0.9\r\nSourceURL:http://s.example/dir/page.html\r\n<html><body>\r\n"
      "<img src=\"i/a.png\" onload=x>\r\n</body>\r\n</html>";
  const HtmlCaptureResult r = CaptureHtmlData(data, true);
  EXPECT_EQ(r.source_url, "http://s.example/dir/page.html");
  EXPECT_EQ(r.base_url, "http://s.example/dir/");
  EXPECT_EQ(r.html,
            "<HTML ><body>\n<IMG SRC=\"a.png\">\n</body>\n</html>\r\n<QuillboxHtml Data>\r\n");
  EXPECT_EQ(r.resources, (PageResourceMap{{"i/a.png", "a.png"}}));
  // The flag clear: the address only.
  const HtmlCaptureResult url_only = CaptureHtmlData(data, false);
  EXPECT_EQ(url_only.source_url, "http://s.example/dir/page.html");
  EXPECT_EQ(url_only.html, "");
  EXPECT_TRUE(url_only.resources.empty());
  // No HTML at all: an empty HTML part, still ended by the line.
  EXPECT_EQ(CaptureHtmlData("", true).html, "\r\n<QuillboxHtml Data>\r\n");
}

}  // namespace
}  // namespace quill
