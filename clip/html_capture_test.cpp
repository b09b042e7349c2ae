#include "clip/html_capture.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/clipboard.h"
#include "platform/text_codec.h"

namespace quill {
namespace {

// UTF-16LE bytes of an ASCII text, with or without a byte-order mark.
std::string Utf16Le(const std::string& ascii, bool bom) {
  std::string out = bom ? "\xff\xfe" : "";
  for (char c : ascii) {
    out.push_back(c);
    out.push_back('\0');
  }
  return out;
}

// The page's address from what a browser put on the clipboard.
TEST(HtmlCaptureTest, TheSourceUrlOfWhatABrowserOffered) {
  struct Case {
    const char* name;
    ClipboardSnapshot offered;
    std::string url;  // CP932
  };
  const Case cases[] = {
      {"UTF-16 page and address",
       {{{"text/html", Utf16Le("<meta charset=utf-8><b>x</b>", true)},
         {"text/x-moz-url-priv", Utf16Le("https://a.example/p?q=1", false)}}},
       "https://a.example/p?q=1"},
      {"UTF-8 address",
       {{{"text/html", "<html><body>x</body></html>"},
         {"chromium/x-source-url", "https://b.example/記事\n"}}},
       Utf8ToCp932("https://b.example/記事")},
      {"address and title", {{{"text/html", "x"}, {"text/x-moz-url", "https://c.example/\nTitle"}}},
       "https://c.example/"},
      {"no address", {{{"text/html", "<p>x</p>"}}}, ""},
      {"no HTML", {{{"text/x-moz-url-priv", "https://d.example/"}}}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(SourceUrlOfHtmlFormat(HtmlFormatOf(c.offered)), c.url);
  }
}

TEST(HtmlCaptureTest, TheHeaderIsReadUntilTheHtmlStarts) {
  struct Case {
    const char* data;
    const char* url;
  };
  const Case cases[] = {
      {"Version:0.9\r\nStartHTML:0071\r\nSourceURL:http://x/a b\r\n<html>", "http://x/a b"},
      {"Version:0.9\r\n<HTML>SourceURL:http://late/\r\n", ""},
      {"Version:0.9\r\n<html><body>\r\nSourceURL:http://late/", ""},
      {"SourceURL:http://end", "http://end"},
      {"Version:0.9\r\n", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.data);
    EXPECT_EQ(SourceUrlOfHtmlFormat(c.data), c.url);
  }
}

TEST(HtmlCaptureTest, AFragmentIsPutInsideAPage) {
  EXPECT_EQ(HtmlFormatOf({{{"text/html", "<b>x</b>"}, {"text/x-moz-url-priv", "http://e/"}}}),
            "Version:0.9\r\nSourceURL:http://e/\r\n<html><body>\r\n<!--StartFragment-->"
            "<b>x</b><!--EndFragment-->\r\n</body>\r\n</html>");
  EXPECT_EQ(HtmlFormatOf({{{"text/html", "<html><p>y</p></html>"}}}),
            "Version:0.9\r\n<html><p>y</p></html>");
  EXPECT_EQ(HtmlFormatOf({{{"text/plain", "z"}}}), "");
}

}  // namespace
}  // namespace quill
