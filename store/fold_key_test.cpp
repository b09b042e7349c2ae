#include "store/fold_key.h"

#include <gtest/gtest.h>

#include <string>

namespace quill::store {
namespace {

using std::string;

string Dbcs(int code) {
  return {static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
}

TEST(FoldSjisKeyTest, FoldsTheUsualTexts) {
  struct Case {
    string in, out;
  } cases[] = {
      // full-width ａｂ, full-width blank, full-width Ｃ１
      {"\x82\x81\x82\x82\x81\x40\x82\x62\x82\x50", "ABC1"},
      // がっこう and ガッコウ both give ｶﾞｯｺｳ
      {"\x82\xAA\x82\xC1\x82\xB1\x82\xA4", "\xB6\xDE\xAF\xBA\xB3"},
      {"\x83\x4B\x83\x62\x83\x52\x83\x45", "\xB6\xDE\xAF\xBA\xB3"},
      {"a b\tc", "ABC"},
      {"x\r\ny", "XY"},
      // （１）
      {"\x81\x69\x82\x50\x81\x6A", "(1)"},
      // half-width ｰ ､ ｡ and other half-width kana
      {"\xB0\xA4\xA1\xB1", "-,.\xB1"},
      {"Abc-123", "ABC-123"},
      // kanji (lead 0x88, 0xE0) and an unlisted 0x81 symbol (※) stay
      {"\x88\x9F\xE0\x40\x81\xA6", "\x88\x9F\xE0\x40\x81\xA6"},
      // lead 0x82 with a trail byte outside the tables vanishes
      {"a\x82\x9Bz", "AZ"},
      // lead 0x83 outside the katakana stays (Α Greek capital alpha)
      {"\x83\x9F", "\x83\x9F"},
      // ヴ ヵ ヶ
      {"\x83\x94\x83\x95\x83\x96", "\xB3\xDE\xB6\xB9"},
      // small vowels, ゎ ゐ ゑ を ん
      {"\x82\x9F\x82\xA1\x82\xA3\x82\xA5\x82\xA7", "\xB1\xA8\xA9\xAA\xAB"},
      {"\x82\xEC\x82\xEE\x82\xEF\x82\xF0\x82\xF1", "\xDC\xB2\xB4\xA6\xDD"},
      {"\x82\xF2", "\xB1"},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(FoldSjisKey(c.in), c.out) << c.in;
}

TEST(FoldSjisKeyTest, FullWidthLettersAndDigitsBecomeAscii) {
  for (int i = 0; i < 26; ++i) {
    const string capital(1, static_cast<char>('A' + i));
    EXPECT_EQ(FoldSjisKey(Dbcs(0x8260 + i)), capital);
    EXPECT_EQ(FoldSjisKey(Dbcs(0x8281 + i)), capital);
    EXPECT_EQ(FoldSjisKey(string(1, static_cast<char>('a' + i))), capital);
  }
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(FoldSjisKey(Dbcs(0x824F + i)), string(1, static_cast<char>('0' + i)));
  }
}

TEST(FoldSjisKeyTest, HiraganaFoldLikeTheKatakanaAtTheSamePosition) {
  for (int i = 0; 0x829F + i <= 0x82F1; ++i) {
    const int katakana = 0x8340 + i + (0x8340 + i >= 0x837F ? 1 : 0);
    const string folded = FoldSjisKey(Dbcs(0x829F + i));
    EXPECT_EQ(folded, FoldSjisKey(Dbcs(katakana))) << std::hex << 0x829F + i;
    // Always half-width katakana, one byte or the base plus a sound mark.
    ASSERT_GE(folded.size(), 1u);
    ASSERT_LE(folded.size(), 2u);
    EXPECT_GE(static_cast<unsigned char>(folded[0]), 0xA6);
    EXPECT_LE(static_cast<unsigned char>(folded[0]), 0xDD);
  }
  // ミ and ム sit on both sides of the gap at 0x837F.
  EXPECT_EQ(FoldSjisKey("\x83\x7E\x83\x80"), "\xD0\xD1");
  EXPECT_EQ(FoldSjisKey("\x82\xDD\x82\xDE"), "\xD0\xD1");
}

TEST(FoldSjisKeyTest, FoldsTheFullWidthSymbols) {
  struct Case {
    int trail;
    string out;
  } cases[] = {
      {0x40, ""},     {0x41, ","},    {0x42, "."},    {0x43, ","},    {0x44, "."},
      {0x45, "\xA5"}, {0x46, ":"},    {0x47, ";"},    {0x48, "?"},    {0x49, "!"},
      {0x4A, "'"},    {0x4B, "\xDE"}, {0x4C, "\xDF"}, {0x4D, "'"},    {0x4E, "'"},
      {0x4F, "^"},    {0x51, "_"},    {0x5B, "-"},    {0x5E, "/"},    {0x60, "~"},
      {0x62, "|"},    {0x69, "("},    {0x6A, ")"},    {0x6D, "["},    {0x6E, "]"},
      {0x6F, "{"},    {0x70, "}"},    {0x75, "\xA2"}, {0x76, "\xA3"}, {0x7B, "+"},
      {0x7C, "-"},    {0x81, "="},    {0x83, "<"},    {0x84, ">"},    {0x8F, "\\"},
      {0x90, "$"},    {0x93, "%"},    {0x94, "#"},    {0x95, "&"},    {0x96, "*"},
      {0x97, "@"},
      // not in the table: unchanged
      {0x50, Dbcs(0x8150)}, {0x5C, Dbcs(0x815C)}, {0x98, Dbcs(0x8198)}, {0xFC, Dbcs(0x81FC)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FoldSjisKey(Dbcs(0x8100 + c.trail)), c.out) << std::hex << c.trail;
  }
}

TEST(FoldSjisKeyTest, LeadByteWithoutTrailIsCopiedAsOneByte) {
  EXPECT_EQ(FoldSjisKey("ab\x82"), "AB\x82");
  EXPECT_EQ(FoldSjisKey("ab\x83"), "AB\x83");
  EXPECT_EQ(FoldSjisKey(string("a\x81\0\x40", 4)), "A\x81");
  EXPECT_EQ(FoldSjisKey(string("a\0b", 3)), "A");  // the text ends at its NUL
}

TEST(FoldSjisKeyTest, FoldingIntoAUsedBufferGivesTheSameKey) {
  string buffer;
  FoldSjisKeyInto(string(3000, 'x') + "\x82\xAA", &buffer);
  EXPECT_EQ(buffer, string(3000, 'X') + "\xB6\xDE");
  FoldSjisKeyInto("a \x83\x4B", &buffer);
  EXPECT_EQ(buffer, "A\xB6\xDE");
  FoldSjisKeyInto("", &buffer);
  EXPECT_EQ(buffer, "");
}

}  // namespace
}  // namespace quill::store
