#include "platform/sjis.h"

#include <gtest/gtest.h>

#include <string>

namespace quill {
namespace {

using std::string;

// "あい" in CP932.
const string kAi = "\x82\xA0\x82\xA2";

TEST(SjisCharClassTest, ClassesBytesByWalkingFromTheStart) {
  const string s = "a" + kAi + "\xB1" "b";  // a, あ, い, half-width ｱ, b
  const int expected[] = {0, 1, 2, 1, 2, 0, 0, -1};
  for (long i = 0; i < 8; ++i) EXPECT_EQ(SjisCharClass(s, i), expected[i]) << "byte " << i;
  EXPECT_EQ(SjisCharClass(s, -1), 0);
  EXPECT_EQ(SjisCharClass(s, 100), -1);
  // A trail-byte value right after a single byte is a lead byte here.
  EXPECT_EQ(SjisCharClass("\x82\x82\x82", 1), 2);
  EXPECT_EQ(SjisCharClass("\x82\x82\x82", 2), 0);
}

TEST(SjisCharClassTest, LeadByteBeforeTheEndOrANulIsASingleByte) {
  EXPECT_EQ(SjisCharClass("a\x82", 1), 0);
  EXPECT_EQ(SjisCharClass(string("a\x82\0\x40", 4), 1), 0);
  EXPECT_EQ(SjisCharClass(string("a\x82\0\x40", 4), 2), -1);
}

TEST(SjisTrimTest, TrimsOnlyAsciiBlanks) {
  struct Case {
    string in, right, both;
  } cases[] = {
      {"  ab  ", "  ab", "ab"},
      {"", "", ""},
      {"   ", "", ""},
      {"\tab\t", "\tab\t", "\tab\t"},
      {"ab\x81\x40", "ab\x81\x40", "ab\x81\x40"},  // full-width blank stays
      {string("ab \0 x", 6), "ab", "ab"},          // text ends at the NUL
  };
  for (const Case& c : cases) {
    string r = c.in, b = c.in;
    TrimRight(r);
    TrimBoth(b);
    EXPECT_EQ(r, c.right) << c.in;
    EXPECT_EQ(b, c.both) << c.in;
  }
}

TEST(SjisCopyMaxTest, CopiesAtMostNBytes) {
  string dst = "old";
  EXPECT_EQ(CopyMax(dst, "abcdef", 3), 3u);
  EXPECT_EQ(dst, "abc");
  EXPECT_EQ(CopyMax(dst, "ab", 3), 2u);
  EXPECT_EQ(dst, "ab");
  EXPECT_EQ(CopyMax(dst, "abc", 3), 3u);
  EXPECT_EQ(CopyMax(dst, kAi, 3), 3u);  // may cut a character
  EXPECT_EQ(dst, kAi.substr(0, 3));
}

TEST(SjisTruncateTest, NeverKeepsHalfACharacter) {
  struct Case {
    string in;
    size_t n;
    string out;
  } cases[] = {
      {"abcdef", 3, "abc"},
      {"abc", 3, "abc"},
      {"abc", 10, "abc"},
      {"a" + kAi, 2, "a"},                   // byte 2 is a trail byte
      {"a" + kAi, 3, "a\x82\xA0"},           // cut between characters
      {kAi, 0, ""},
      {"\xB1\xB2\xB3", 2, "\xB1\xB2"},       // half-width kana are single bytes
  };
  for (const Case& c : cases) {
    string s = c.in;
    TruncateSjis(s, c.n);
    EXPECT_EQ(s, c.out) << c.in << " / " << c.n;
  }
}

TEST(SjisPadTest, PadsToExactlyNBytes) {
  struct Case {
    string in;
    long n;
    string out;
  } cases[] = {
      {"abc", 5, "abc  "},
      {"abc" + kAi, 4, "abc "},  // byte 4 is a trail byte
      {"abcdef", 3, "abc"},
      {"", 2, "  "},
      {"abc", 0, ""},
      {"abc", -3, ""},
      {string("a\0bc", 4), 3, "a  "},
  };
  for (const Case& c : cases) {
    string s = c.in;
    PadToWidth(s, c.n);
    EXPECT_EQ(s, c.out) << c.in << " / " << c.n;
  }
}

TEST(SjisEditTest, PrependAndCutAtLineEnds) {
  string s = "world";
  PrependString(s, "hello ");
  EXPECT_EQ(s, "hello world");
  s = string("b\0junk", 6);
  PrependString(s, string("a\0junk", 6));
  EXPECT_EQ(s, "ab");

  struct Case {
    string in, cr, lf;
  } cases[] = {
      {"ab\r\ncd", "ab", "ab\r"},
      {"ab\ncd\rx", "ab\ncd", "ab"},
      {"abc", "abc", "abc"},
      {"\r\n", "", "\r"},
  };
  for (const Case& c : cases) {
    string cr = c.in, lf = c.in;
    CutAtCR(cr);
    CutAtLF(lf);
    EXPECT_EQ(cr, c.cr);
    EXPECT_EQ(lf, c.lf);
  }
}

TEST(SjisFieldTest, FixedFieldCopyFillsTheFieldWithoutHalfCharacters) {
  struct Case {
    string src;
    size_t n;
    string field;
  } cases[] = {
      {"ab", 5, "ab   "},
      {"abcdef", 4, "abcd"},
      {"abc" + kAi, 4, "abc "},       // a character cut by the width
      {"abc" + kAi, 5, "abc\x82\xA0"},
      {"abc\x82", 5, "abc  "},        // a lead byte without its trail byte
      {"abc\x82", 4, "abc "},
      {string("ab\0cd", 5), 4, "ab  "},
      {"", 3, "   "},
  };
  for (const Case& c : cases) {
    string field(c.n + 2, '#');
    FixedFieldCopy(field.data(), c.src, c.n);
    EXPECT_EQ(field.substr(0, c.n), c.field) << c.src << " / " << c.n;
    EXPECT_EQ(field.substr(c.n), "##") << "wrote past the field";
  }
}

TEST(SjisFieldTest, FieldTextLengthStopsAtNulOrWidth) {
  EXPECT_EQ(FieldTextLength("ab\0cd", 5), 2u);
  EXPECT_EQ(FieldTextLength("abcde", 3), 3u);
  EXPECT_EQ(FieldTextLength("", 0), 0u);
}

}  // namespace
}  // namespace quill
