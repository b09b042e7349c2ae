#include "platform/text_codec.h"

#include <gtest/gtest.h>

#include <string>

namespace quill {
namespace {

using std::string;

struct Pair {
  string cp932, utf8;
};

// Texts that convert both ways unchanged.
const Pair kRoundTrips[] = {
    {"abc 123\r\n", "abc 123\r\n"},
    {"\x93\xFA\x96\x7B\x8C\xEA\x82\xCC\x83\x65\x83\x4C\x83\x58\x83\x67",  // 日本語のテキスト
     "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x81\xAE\xE3\x83\x86\xE3\x82\xAD\xE3\x82\xB9"
     "\xE3\x83\x88"},
    {"\xB6\xDE\xAF\xBA\xB3", "\xEF\xBD\xB6\xEF\xBE\x9E\xEF\xBD\xAF\xEF\xBD\xBA\xEF\xBD\xB3"},
    {"C:\\tmp", "C:\\tmp"},                                 // 0x5C stays a backslash
    {"\x81\x60", "\xEF\xBD\x9E"},                           // ～ is U+FF5E
    {"\x81\x7C", "\xEF\xBC\x8D"},                           // － is U+FF0D
    {"\x87\x40\x87\x54", "\xE2\x91\xA0\xE2\x85\xA0"},       // NEC ① Ⅰ
    {"\xFA\x40\xFA\x5C", "\xE2\x85\xB0\xE7\xBA\x8A"},       // IBM ⅰ 纊
    {"\xF0\x40", "\xEE\x80\x80"},                           // user-defined area
    {"\x80\xA0\xFD\xFE\xFF", "\xC2\x80\xEF\xA3\xB0\xEF\xA3\xB1\xEF\xA3\xB2\xEF\xA3\xB3"},
    {string("a\0b", 3), string("a\0b", 3)},
    {"", ""},
};

TEST(TextCodecTest, ConvertsBothWays) {
  for (const Pair& p : kRoundTrips) {
    EXPECT_EQ(Cp932ToUtf8(p.cp932), p.utf8) << p.utf8;
    EXPECT_EQ(Utf8ToCp932(p.utf8), p.cp932) << p.utf8;
  }
}

TEST(TextCodecTest, OneWayMappingsOfDuplicateCodes) {
  // NEC-selected IBM characters read as the IBM code's character and are
  // written back with the IBM code.
  EXPECT_EQ(Cp932ToUtf8("\xED\x40"), "\xE7\xBA\x8A");  // 纊
  EXPECT_EQ(Utf8ToCp932("\xE7\xBA\x8A"), "\xFA\x5C");
  EXPECT_EQ(Utf8ToCp932("\xE3\x80\x9C"), "\x81\x60");  // U+301C wave dash
}

TEST(TextCodecTest, UnconvertibleInputBecomesAVisibleReplacement) {
  struct Case {
    string in, out;
  } to_cp932[] = {
      {"a\xF0\x9F\x98\x80z", "a?z"},            // an emoji
      {"\xE4\xB8\xAD\xED\x95\x9C", "\x92\x86?"},  // 中 and a Hangul syllable
      {"a\xFFz", "a?z"},                        // not UTF-8
      {"a\xC3", "a?"},                          // cut sequence at the end
      {"\xC0\xAF", "??"},                       // overlong form
  };
  for (const Case& c : to_cp932) EXPECT_EQ(Utf8ToCp932(c.in), c.out) << c.in;

  const string fffd = "\xEF\xBF\xBD";
  Case to_utf8[] = {
      {"a\x85\x40z", "a" + fffd + "z"},  // unassigned double-byte code
      {"a\x82 z", "a" + fffd + " z"},    // lead byte with no trail byte
      {"ab\x82", "ab" + fffd},           // lead byte at the end
  };
  for (const Case& c : to_utf8) EXPECT_EQ(Cp932ToUtf8(c.in), c.out) << c.in;
}

TEST(TextCodecTest, ConvertsLongTextWhole) {
  string cp932, utf8;
  for (int i = 0; i < 50000; ++i) {
    cp932 += "\xB1\x82\xA0x";  // half-width ｱ grows to three bytes
    utf8 += "\xEF\xBD\xB1\xE3\x81\x82x";
  }
  EXPECT_EQ(Cp932ToUtf8(cp932), utf8);
  EXPECT_EQ(Utf8ToCp932(utf8), cp932);
}

TEST(TextCodecTest, LineEnds) {
  struct Case {
    string crlf, lf;
  } cases[] = {
      {"a\r\nb\r\n", "a\nb\n"},
      {"\r\n\r\n", "\n\n"},
      {"", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CrLfToLf(c.crlf), c.lf);
    EXPECT_EQ(LfToCrLf(c.lf), c.crlf);
  }
  EXPECT_EQ(CrLfToLf("a\rb\r"), "a\rb\r");  // a lone CR stays
  EXPECT_EQ(LfToCrLf("a\r\nb\nc"), "a\r\nb\r\nc");
  EXPECT_EQ(LfToCrLf("\n"), "\r\n");
}

}  // namespace
}  // namespace quill
