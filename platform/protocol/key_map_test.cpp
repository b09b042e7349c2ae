// The keyboard map from the server's keysyms to virtual keys, on a small
// Japanese and a small US keyboard, and the names of hot keys.
#include "platform/protocol/key_map.h"

#include <gtest/gtest.h>

#include <vector>

#include <X11/XF86keysym.h>
#include <X11/keysym.h>

namespace quill {
namespace {

// Keycodes from 8 upwards, two keysyms each (unshifted, shifted).
KeyMap MapOf(const std::vector<std::pair<unsigned long, unsigned long>>& keys) {
  std::vector<unsigned long> syms;
  for (auto [plain, shifted] : keys) {
    syms.push_back(plain);
    syms.push_back(shifted);
  }
  KeyMap map;
  map.Build(8, 2, syms);
  return map;
}

TEST(KeyMapTest, JapaneseKeyboard) {
  const KeyMap map = MapOf({
      {XK_a, XK_A},                   // 8
      {XK_colon, XK_asterisk},        // 9
      {XK_semicolon, XK_plus},        // 10
      {XK_backslash, XK_bar},         // 11: the yen key
      {XK_backslash, XK_underscore},  // 12: the ro key
      {XK_at, XK_grave},              // 13
      {XK_Shift_L, 0},                // 14
      {XK_Shift_R, 0},                // 15
      {XK_KP_End, XK_KP_1},           // 16
      {XK_Henkan_Mode, 0},            // 17
      {0, XK_Alt_L},                  // 18: no key of its own
      {XK_F8, 0},                     // 19
      {XK_Hiragana_Katakana, 0},      // 20
      {XK_F1, 0},                     // 21
      {XK_F24, 0},                    // 22
      {XK_F25, 0},                    // 23: past the virtual keys
  });
  const std::vector<std::pair<uint32_t, uint8_t>> expected = {
      {8, 'A'},  {9, 0xBA},  {10, 0xBB}, {11, 0xDC}, {12, 0xE2}, {13, 0xC0}, {14, 0x10},
      {15, 0x10}, {16, 0x61}, {17, 0x1C}, {18, 0},    {19, 0x77}, {20, 0xF2}, {21, 0x70},
      {22, 0x87}, {23, 0},    {7, 0},     {24, 0},
  };
  for (auto [keycode, vk] : expected) EXPECT_EQ(map.VkOf(keycode), vk) << keycode;
  EXPECT_EQ(map.KeycodesOf(0x10), (std::vector<uint32_t>{14, 15}));
  EXPECT_EQ(map.KeycodesOf(0xE2), (std::vector<uint32_t>{12}));
  EXPECT_TRUE(map.KeycodesOf('B').empty());
  EXPECT_TRUE(map.KeycodesOf(0).empty());
}

// A PC keyboard's F5 switches to terminal 5 at its Ctrl+Alt level: it is
// still F5 by its first level, and known as a key the server keeps.
TEST(KeyMapTest, VirtualTerminalKeys) {
  KeyMap map;
  map.Build(8, 5, std::vector<unsigned long>{
                      XK_F5, XK_F5, XK_F5, XK_F5, XF86XK_Switch_VT_5,  // 8
                      XK_F12, 0, 0, 0, XF86XK_Switch_VT_12,             // 9
                      XK_F6, XK_F6, XK_F6, XK_F6, 0,                    // 10
                      XK_a, XK_A, 0, 0, 0,                              // 11
                  });
  EXPECT_EQ(map.VkOf(8), 0x74);
  EXPECT_EQ(map.VkOf(9), 0x7B);
  for (uint32_t keycode : {8u, 9u}) EXPECT_TRUE(map.SwitchesTerminal(keycode)) << keycode;
  for (uint32_t keycode : {7u, 10u, 11u, 12u}) {
    EXPECT_FALSE(map.SwitchesTerminal(keycode)) << keycode;
  }
}

TEST(KeyMapTest, UsKeyboard) {
  const KeyMap map = MapOf({
      {XK_semicolon, XK_colon},      // 8
      {XK_equal, XK_plus},           // 9
      {XK_grave, XK_asciitilde},     // 10
      {XK_apostrophe, XK_quotedbl},  // 11
      {XK_backslash, XK_bar},        // 12
      {XK_less, XK_greater},         // 13
  });
  const std::vector<uint8_t> expected = {0xBA, 0xBB, 0xC0, 0xDE, 0xDC, 0xE2};
  for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(map.VkOf(8 + i), expected[i]) << i;
}

TEST(KeyMapTest, HotkeyNames) {
  EXPECT_EQ(HotkeyName(HotkeyWord(0xC04B)), "Ctrl+Alt+K");
  EXPECT_EQ(HotkeyName(HotkeyWord(0x2078)), "Shift+F9");
  EXPECT_EQ(HotkeyName(HotkeyWord(0x4070)), "Ctrl+F1");
  EXPECT_EQ(HotkeyName(HotkeyWord(0x2087)), "Shift+F24");
  EXPECT_EQ(HotkeyName(HotkeyWord(0x400D)), "Ctrl+Enter");
  EXPECT_EQ(HotkeyName(HotkeyWord(0x0043)), "Ctrl Ctrl");
  EXPECT_EQ(HotkeyName(HotkeyWord(0)), "");
}

}  // namespace
}  // namespace quill
