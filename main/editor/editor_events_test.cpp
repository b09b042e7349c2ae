#include "main/editor/editor_events.h"

#include <gtest/gtest.h>

#include "platform/text_codec.h"

namespace quill {
namespace {

std::string S(const char* utf8) { return Utf8ToCp932(utf8); }

TEST(MainKeyMap, EachKeyGoesToItsHandlerOrFocus) {
  using C = MainKeyCommand;
  using K = MainKey;
  MainKeyState plain;
  MainKeyState shift;
  shift.shift = true;
  MainKeyState ctrl;
  ctrl.ctrl = true;
  MainKeyState alt;
  alt.alt = true;
  struct Case {
    K key;
    MainKeyState state;
    C command;
  } cases[] = {
      {K::kF3, shift, C::kFindNext},   {K::kF5, shift, C::kTikan},
      {K::kF6, shift, C::kFocusSyutten}, {K::kF7, shift, C::kKindButton},
      {K::kF8, shift, C::kNone},  // IppatuPaste disabled
      {K::kF9, shift, C::kNone},  // CsvHtmlCK disabled
      {K::kF6, ctrl, C::kToFloppy},    {K::kF7, ctrl, C::kDel},
      {K::kF8, ctrl, C::kCancel},      {K::kF, ctrl, C::kCardSearch},
      {K::kS, ctrl, C::kSave},         {K::kF3, plain, C::kFindNext},
      {K::kF4, alt, C::kMinimize},     {K::kF5, plain, C::kWindowList},
      {K::kF6, plain, C::kFocusTree},  {K::kF7, plain, C::kFocusTitle},
      {K::kF8, plain, C::kFocusText},  {K::kF9, plain, C::kAddNew},
      {K::kF4, plain, C::kNone},       {K::kS, plain, C::kNone},
      {K::kF, alt, C::kNone},
  };
  for (const Case& c : cases) {
    const MainKeyResult r = MainKeyMap(c.key, c.state);
    EXPECT_EQ(r.command, c.command) << static_cast<int>(c.key);
    EXPECT_EQ(r.consumed, c.command != C::kNone) << static_cast<int>(c.key);
  }

  MainKeyState s = shift;
  s.ippatu_enabled = s.csvhtml_enabled = true;
  EXPECT_EQ(MainKeyMap(K::kF8, s).command, C::kFocusIppatuPaste);
  EXPECT_EQ(MainKeyMap(K::kF9, s).command, C::kFocusCsvHtmlCK);
  s = ctrl;
  s.text_focused = true;
  EXPECT_EQ(MainKeyMap(K::kF, s).command, C::kFindInCard);
  // F8: the grid when it is shown; nothing over the HTML view.
  s = plain;
  s.html_shown = true;
  EXPECT_EQ(MainKeyMap(K::kF8, s).command, C::kNone);
  EXPECT_FALSE(MainKeyMap(K::kF8, s).consumed);
  s.grid_visible = true;
  EXPECT_EQ(MainKeyMap(K::kF8, s).command, C::kFocusGrid);
  EXPECT_TRUE(MainKeyMap(K::kF9, plain).consumed);
}

TEST(AutoIndentBreak, RepeatsTheLeadingBlanksOfTheCaretLine) {
  const std::string zen = S("　");
  const std::string line = "x\r\n  " + zen + S("本文");
  EXPECT_EQ(AutoIndentBreak(line, line.size()), "\r\n  " + zen);
  // Only up to the caret.
  EXPECT_EQ(AutoIndentBreak(line, 4), "\r\n ");
  EXPECT_EQ(AutoIndentBreak("\tab", 3), "\r\n\t");
  EXPECT_EQ(AutoIndentBreak("ab", 2), "\r\n");
  EXPECT_EQ(AutoIndentBreak("", 0), "\r\n");
}

TEST(TitleFromText, CutsOnCharacterBoundaries) {
  const std::string kanji40 = [] {
    std::string s;
    for (int i = 0; i < 45; ++i) s += Utf8ToCp932("字");
    return s;
  }();
  struct Case {
    std::string text;
    std::string selection;
    std::optional<std::string> title;
  } cases[] = {
      {"\r\n \t  Title here  \r\nmore", "", "Title here"},
      {"abc", "  sel  ", "sel"},
      {" \r\n\t ", "", std::nullopt},
      // 40 characters of the selection, not 40 bytes.
      {"", kanji40, kanji40.substr(0, 50)},
      // 80 bytes of the text: "a" and 40 kanji take 81, the last goes whole.
      {"a" + kanji40, "", ("a" + kanji40).substr(0, 49)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TitleFromText(c.text, c.selection, 50), c.title) << c.text;
  }
  // The 80-byte cut itself never leaves half a character.
  const std::string odd = "a" + kanji40;
  const std::optional<std::string> t = TitleFromText(odd, "", 200);
  ASSERT_TRUE(t.has_value());
  EXPECT_EQ(t->size(), 79u);
  // A line break past the first 40 bytes stays.
  const std::string long_line = std::string(45, 'x') + "\r\ny";
  EXPECT_EQ(TitleFromText(long_line, "", 80), long_line);
}

TEST(DoublePressWatch, SamePointWithin800MsAlsoAcrossTheWrap) {
  struct Case {
    uint32_t first;
    uint32_t second;
    int x2;
    bool opens;
  } cases[] = {
      {1000, 1799, 5, true},
      {1000, 1800, 5, false},
      {1000, 1100, 6, false},               // another point
      {0xFFFFFF00u, 0xFFFFFF00u + 799, 5, true},  // wraps to 0x1F
      {0xFFFFFF00u, 0xFFFFFF00u + 800, 5, false},
      {2000, 1990, 5, false},               // a clock going back
  };
  for (const Case& c : cases) {
    DoublePressWatch w;
    EXPECT_FALSE(w.Press(5, 7, c.first));
    EXPECT_EQ(w.Press(c.x2, 7, c.second), c.opens) << c.first << " " << c.second;
  }
}

TEST(CheckPlacement, KeepsTheLimitsOnTheWholeDesktop) {
  const WindowRect two_screens{0, 0, 3840, 1080};
  // Windows as left, top, width, height.
  auto at = [](int l, int t, int w, int h) { return WindowRect{l, t, l + w, t + h}; };
  struct Case {
    Placement in;
    bool from_timer;
    Placement out;
  } cases[] = {
      {{at(10, 10, 300, 100), 100}, false, {at(10, 10, 539, 200), 136}},
      {{at(10, 10, 800, 600), 138}, false, {at(10, 10, 800, 600), 138}},
      {{at(10, 10, 800, 600), 137}, false, {at(10, 10, 800, 600), 136}},
      // On the second screen: stays.
      {{at(2500, 300, 800, 600), 200}, false, {at(2500, 300, 800, 600), 200}},
      // Beyond the right or bottom edge: back to the edge of the desktop.
      {{at(3835, 1040, 800, 600), 200}, false, {at(0, 0, 800, 600), 200}},
      // The timer's check does not move.
      {{at(3835, 1040, 800, 600), 200}, true, {at(3835, 1040, 800, 600), 200}},
  };
  for (const Case& c : cases) {
    const Placement p = CheckPlacement(c.in, two_screens, c.from_timer);
    EXPECT_EQ(p.window, c.out.window) << c.in.window.left;
    EXPECT_EQ(p.tree_width, c.out.tree_width) << c.in.window.left;
  }
  // A desktop that begins left of 0 (a screen left of the primary).
  const Placement p = CheckPlacement({at(5000, 10, 800, 600), 200}, {-1920, 0, 1920, 1080}, false);
  EXPECT_EQ(p.window, at(-1920, 10, 800, 600));
}

TEST(Fonts, NamesCharsetsAndTheDefault) {
  EXPECT_TRUE(FontNameFits(std::string(20, 'a')));
  EXPECT_FALSE(FontNameFits(std::string(21, 'a')));
  EXPECT_EQ(FontCharset(true), 128);
  EXPECT_EQ(FontCharset(false), 1);
  EXPECT_TRUE(MayBeDefaultFont("IPAGothic", true));
  EXPECT_FALSE(MayBeDefaultFont("DejaVu Sans", false));
  EXPECT_TRUE(MayBeDefaultFont("MeiryoKe_Gothic", false));
  for (int32_t bits = 0; bits < 8; ++bits) EXPECT_EQ(FontStyleBits(FontStyleFlags(bits)), bits);
  EXPECT_TRUE(FontStyleFlags(2).italic);
}

TEST(InsertionFits, CountsTheReplacedSelection) {
  EXPECT_FALSE(InsertionFits(200000, 0, 900000, 1000000));
  EXPECT_TRUE(InsertionFits(200000, 100000, 900000, 1000000));
  EXPECT_TRUE(InsertionFits(0, 0, 1000000, 1000000));
}

}  // namespace
}  // namespace quill
