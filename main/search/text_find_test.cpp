#include "main/search/text_find.h"

#include <gtest/gtest.h>

#include <string>

#include "main/search/editor_search.h"
#include "main/search/search_test_support.h"
#include "platform/headless/fake_ui.h"

namespace quill {
namespace {

TEST(FindInTextTest, Cases) {
  const std::string blank = S("　");  // 0x81 0x40: its trail byte is '@'
  const std::string long_pattern(300, 'x');
  struct Case {
    const char* what;
    std::string text, pattern, selection;
    size_t start;
    int mode;
    long hit;
  } cases[] = {
      {"plain", "abcabc", "abc", "", 0, 0, 0},
      {"the selected hit is passed over", "abcabc", "abc", "abc", 0, 0, 3},
      {"another selection is not", "abcabc", "abc", "ab", 0, 0, 0},
      {"from start on", "abcabc", "abc", "", 1, 0, 3},
      // ｂＡ: passing over the selected ｂ steps over both of its bytes,
      // never onto its trail byte 0x82.
      {"double-byte first character", S("ｂＡ"), S("ｂ"), S("ｂ"), 0, 0, -1},
      {"never on a trail byte", blank, "@", "", 0, 0, -1},
      {"after a double-byte character", blank + "@", "@", "", 0, 0, 2},
      {"mode 0 keeps full-width case", S("ａ"), S("Ａ"), "", 0, 0, -1},
      {"mode 1 folds full-width case", S("ａ"), S("Ａ"), "", 0, 1, 0},
      {"mode 1 folds ASCII case", "xAbC", "abc", "", 0, 1, 1},
      {"mode 1 leaves trail bytes alone", S("ャ"), S("ア"), "", 0, 1, -1},
      {"mode 1 selection compared folded", "abcABC", "ABC", "abc", 0, 1, 3},
      {"a 300-byte pattern", "y" + long_pattern, long_pattern, "", 0, 0, 1},
      {"the selected 300-byte hit", long_pattern + "y" + long_pattern, long_pattern,
       long_pattern, 0, 0, 301},
      {"an empty pattern has no hit", "abc", "", "", 0, 0, -1},
      {"start at the end", "abc", "c", "", 3, 0, -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FindInText(c.text, c.pattern, c.selection, c.start, c.mode), c.hit) << c.what;
  }
}

TEST(ReplaceAllInBufferTest, Cases) {
  struct Case {
    const char* what;
    std::string text, pattern, replacement;
    int mode;
    std::string result;
    bool changed;
  } cases[] = {
      {"longer", "a-b-c", "-", "==", 0, "a==b==c", true},
      {"shorter", "aXYbXY", "XY", "", 0, "ab", true},
      {"equal", "abab", "ab", "cd", 0, "cdcd", true},
      {"the replacement holds the pattern", "a.a", "a", "aa", 0, "aa.aa", true},
      {"mode 1 ignores case", "Abc abc", "ABC", "x", 1, "x x", true},
      {"mode 0 keeps case", "Abc abc", "ABC", "x", 0, "Abc abc", false},
      {"not on a trail byte", S("　@"), "@", "x", 0, S("　x"), true},
      {"an empty pattern", "abc", "", "x", 0, "abc", false},
  };
  for (const Case& c : cases) {
    std::string text = c.text;
    EXPECT_EQ(ReplaceAllInBuffer(text, c.pattern, c.replacement, c.mode), c.changed) << c.what;
    EXPECT_EQ(text, c.result) << c.what;
  }
}

TEST(EditorSearchTest, BackwardsStopsBeforeTheLimitAndNoHitBeeps) {
  FakeUi ui;
  FakeSearchEditor edit;
  edit.text = "ab ab ab";
  edit.Select(6, 2);
  ASSERT_TRUE(FindPrevInEditor(edit, ui, "ab", 6, 0));
  EXPECT_EQ(edit.sel_start, 3u);
  ASSERT_TRUE(FindPrevInEditor(edit, ui, "AB", 3, 1));
  EXPECT_EQ(edit.sel_start, 0u);
  EXPECT_EQ(ui.beeps(), 0);

  EXPECT_FALSE(FindPrevInEditor(edit, ui, "ab", 0, 0));
  EXPECT_FALSE(FindNextInEditor(edit, ui, "zz", 0, 0));
  EXPECT_EQ(ui.beeps(), 2);
  EXPECT_EQ(edit.sel_start, 0u);
  EXPECT_EQ(edit.sel_length, 2u);

  // Forwards, the selected hit is passed over.
  ASSERT_TRUE(FindNextInEditor(edit, ui, "ab", 0, 0));
  EXPECT_EQ(edit.sel_start, 3u);
}

TEST(EditorSearchTest, WordRangesPassOverEmptyWords) {
  const std::set<std::string> words = {"", "ab", "B"};
  EXPECT_EQ(WordRanges("xaBab", words),
            (std::vector<TextRange>{{2, 1}, {4, 1}, {1, 2}, {3, 2}}));
  EXPECT_TRUE(WordRanges("xaBab", {""}).empty());
}

}  // namespace
}  // namespace quill
