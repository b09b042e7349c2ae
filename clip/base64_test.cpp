#include "clip/base64.h"

#include <gtest/gtest.h>

#include <string>

#include "clip/page_images.h"

namespace quill {
namespace {

TEST(Base64Test, EncodesAndDecodesTheStandardAlphabet) {
  struct Case {
    std::string bytes;
    std::string text;
  };
  const Case cases[] = {
      {"", ""},
      {"f", "Zg=="},
      {"fo", "Zm8="},
      {"foo", "Zm9v"},
      {"foob", "Zm9vYg=="},
      {std::string("\xfb\xff\x00\xfe", 4), "+/8A/g=="},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(EncodeBase64(c.bytes), c.text);
    EXPECT_EQ(DecodeBase64(c.text), c.bytes);
  }
  std::string all;
  for (int i = 0; i < 256; ++i) all.push_back(static_cast<char>(i));
  EXPECT_EQ(DecodeBase64(EncodeBase64(all)), all);
}

TEST(Base64Test, DecodingSkipsWhatIsNotBase64AndStopsAtPadding) {
  EXPECT_EQ(DecodeBase64("Zm9v\r\nYmFy"), "foobar");
  EXPECT_EQ(DecodeBase64(std::string("Zm\x00\x80\xff 9v", 8)), "foo");
  EXPECT_EQ(DecodeBase64("Zg==Zm9v"), "f");
  EXPECT_EQ(DecodeBase64("Z"), "");  // six bits make no byte
}

// An image block: lines of 80 characters; a text of a multiple of 80
// characters ends with an empty line before "</IMGFILE>".
TEST(Base64Test, ImageBlockLines) {
  const std::string sixty(60, '\0');  // 80 characters of Base64
  const std::string line(80, 'A');
  EXPECT_EQ(ImageBlock("a.png", sixty), "<IMGFILE=a.png>\r\n" + line + "\r\n\r\n</IMGFILE>\r\n");
  EXPECT_EQ(ImageBlock("b.gif", sixty + "x"),
            "<IMGFILE=b.gif>\r\n" + line + "\r\neA==\r\n\r\n</IMGFILE>\r\n");
}

}  // namespace
}  // namespace quill
