#include "platform/protocol/key_map.h"

#include <cstdio>

#include <X11/XF86keysym.h>
#include <X11/keysym.h>

namespace quill {

namespace {

struct KeyRow {
  uint8_t vk;
  unsigned long keysym;   // unshifted
  unsigned long shifted;  // 0: any
  const char* name;
  // The name a Japanese keyboard layout gives the key (CP932); null: `name`.
  const char* layout_name = nullptr;
};

// Keys whose virtual key is the same on every layout.
constexpr KeyRow kKeys[] = {
    {0x08, XK_BackSpace, 0, "BkSp"},
    {0x09, XK_Tab, 0, "Tab"},
    {0x09, XK_ISO_Left_Tab, 0, "Tab"},
    {0x0D, XK_Return, 0, "Enter"},
    {0x0D, XK_KP_Enter, 0, "Enter"},
    {0x10, XK_Shift_L, 0, "Shift"},
    {0x10, XK_Shift_R, 0, "Shift"},
    {0x11, XK_Control_L, 0, "Ctrl"},
    {0x11, XK_Control_R, 0, "Ctrl"},
    {0x12, XK_Alt_L, 0, "Alt"},
    {0x12, XK_Alt_R, 0, "Alt"},
    {0x12, XK_Meta_L, 0, "Alt"},
    {0x12, XK_Meta_R, 0, "Alt"},
    {0x13, XK_Pause, 0, "Pause"},
    {0x14, XK_Caps_Lock, 0, "CapsLock"},
    {0x19, XK_Zenkaku_Hankaku, 0, "Kanji", "\x94\xbc\x8a\x70/\x91\x53\x8a\x70"},  // 半角/全角
    {0x19, XK_Kanji, 0, "Kanji", "\x94\xbc\x8a\x70/\x91\x53\x8a\x70"},
    {0x1B, XK_Escape, 0, "Esc"},
    {0x1C, XK_Henkan_Mode, 0, "Convert", "\x95\xcf\x8a\xb7"},  // 変換
    {0x1D, XK_Muhenkan, 0, "NonConvert", "\x96\xb3\x95\xcf\x8a\xb7"},  // 無変換
    {0x20, XK_space, 0, "Space"},
    {0x21, XK_Prior, 0, "PgUp"},
    {0x22, XK_Next, 0, "PgDn"},
    {0x23, XK_End, 0, "End"},
    {0x24, XK_Home, 0, "Home"},
    {0x25, XK_Left, 0, "Left"},
    {0x26, XK_Up, 0, "Up"},
    {0x27, XK_Right, 0, "Right"},
    {0x28, XK_Down, 0, "Down"},
    {0x2C, XK_Print, 0, "PrtSc"},
    {0x2D, XK_Insert, 0, "Ins"},
    {0x2E, XK_Delete, 0, "Del"},
    {0x5B, XK_Super_L, 0, "Win"},
    {0x5C, XK_Super_R, 0, "Win"},
    {0x5D, XK_Menu, 0, "Apps"},
    {0x6A, XK_KP_Multiply, 0, "Num *"},
    {0x6B, XK_KP_Add, 0, "Num +"},
    {0x6C, XK_KP_Separator, 0, "Num ,"},
    {0x6D, XK_KP_Subtract, 0, "Num -"},
    {0x6E, XK_KP_Decimal, 0, "Num Del"},
    {0x6F, XK_KP_Divide, 0, "Num /"},
    {0x90, XK_Num_Lock, 0, "NumLock"},
    {0x91, XK_Scroll_Lock, 0, "ScrollLock"},
    {0xF0, XK_Eisu_toggle, 0, "Eisu", "\x89\x70\x90\x94"},  // 英数
    {0xF2, XK_Hiragana_Katakana, 0, "Kana",
     "\xb6\xc0\xb6\xc5/\x82\xd0\x82\xe7\x82\xaa\x82\xc8"},  // ｶﾀｶﾅ/ひらがな
    // The OEM keys, a Japanese keyboard's first: where both layouts put
    // the same unshifted keysym on different keys, the shifted one tells.
    {0xBA, XK_colon, XK_asterisk, ":"},
    {0xBB, XK_semicolon, XK_plus, ";"},
    {0xBD, XK_minus, XK_equal, "-"},
    {0xC0, XK_at, XK_grave, "@"},
    {0xDE, XK_asciicircum, XK_asciitilde, "^"},
    {0xDC, XK_backslash, XK_bar, "\\"},
    {0xDC, XK_yen, 0, "\\"},
    {0xE2, XK_backslash, XK_underscore, "\\"},
    {0xBA, XK_semicolon, XK_colon, ";"},
    {0xBB, XK_equal, XK_plus, "="},
    {0xBC, XK_comma, 0, ","},
    {0xBD, XK_minus, 0, "-"},
    {0xBE, XK_period, 0, "."},
    {0xBF, XK_slash, 0, "/"},
    {0xC0, XK_grave, 0, "`"},
    {0xDB, XK_bracketleft, 0, "["},
    {0xDC, XK_backslash, 0, "\\"},
    {0xDD, XK_bracketright, 0, "]"},
    {0xDE, XK_apostrophe, 0, "'"},
    {0xE2, XK_less, 0, "<"},
};

// Letters, digits, the keypad's digits and the function keys, by range.
uint8_t VkOfRange(unsigned long keysym) {
  if (keysym >= XK_a && keysym <= XK_z) return static_cast<uint8_t>('A' + (keysym - XK_a));
  if (keysym >= XK_0 && keysym <= XK_9) return static_cast<uint8_t>('0' + (keysym - XK_0));
  if (keysym >= XK_KP_0 && keysym <= XK_KP_9) {
    return static_cast<uint8_t>(0x60 + (keysym - XK_KP_0));
  }
  if (keysym >= XK_F1 && keysym <= XK_F24) return static_cast<uint8_t>(0x70 + (keysym - XK_F1));
  return 0;
}

// The virtual key of a key whose unshifted and shifted keysyms are given.
uint8_t VkOfKeysyms(unsigned long plain, unsigned long shifted) {
  if (const uint8_t vk = VkOfRange(plain); vk != 0) return vk;
  for (const KeyRow& row : kKeys) {
    if (row.keysym == plain && row.shifted != 0 && row.shifted == shifted) return row.vk;
  }
  for (const KeyRow& row : kKeys) {
    if (row.keysym == plain) return row.vk;
  }
  // A keypad key reads as its digit only with NumLock on.
  if (const uint8_t vk = VkOfRange(shifted); vk >= 0x60 && vk <= 0x69) return vk;
  return 0;
}

}  // namespace

void KeyMap::Build(int min_keycode, int per_keycode, std::span<const unsigned long> keysyms) {
  vk_of_.clear();
  switches_terminal_.clear();
  if (min_keycode < 0 || per_keycode <= 0) return;
  const size_t count = keysyms.size() / static_cast<size_t>(per_keycode);
  vk_of_.assign(static_cast<size_t>(min_keycode) + count, 0);
  switches_terminal_.assign(vk_of_.size(), false);
  for (size_t i = 0; i < count; ++i) {
    const std::span<const unsigned long> levels = keysyms.subspan(i * per_keycode, per_keycode);
    const unsigned long shifted = per_keycode > 1 ? levels[1] : 0;
    vk_of_[min_keycode + i] = VkOfKeysyms(levels[0], shifted);
    for (unsigned long keysym : levels) {
      if (keysym >= XF86XK_Switch_VT_1 && keysym <= XF86XK_Switch_VT_12) {
        switches_terminal_[min_keycode + i] = true;
      }
    }
  }
}

bool KeyMap::SwitchesTerminal(uint32_t keycode) const {
  return keycode < switches_terminal_.size() && switches_terminal_[keycode];
}

uint8_t KeyMap::VkOf(uint32_t keycode) const {
  return keycode < vk_of_.size() ? vk_of_[keycode] : 0;
}

std::vector<uint32_t> KeyMap::KeycodesOf(uint8_t vk) const {
  std::vector<uint32_t> keycodes;
  if (vk == 0) return keycodes;
  for (uint32_t keycode = 0; keycode < vk_of_.size(); ++keycode) {
    if (vk_of_[keycode] == vk) keycodes.push_back(keycode);
  }
  return keycodes;
}

std::string KeyName(uint8_t vk) {
  if ((vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9')) return std::string(1, char(vk));
  if (vk >= 0x60 && vk <= 0x69) return "Num " + std::string(1, char('0' + vk - 0x60));
  if (vk >= 0x70 && vk <= 0x87) return "F" + std::to_string(vk - 0x70 + 1);
  for (const KeyRow& row : kKeys) {
    if (row.vk == vk) return row.name;
  }
  char buf[8];
  std::snprintf(buf, sizeof buf, "#%02X", vk);
  return buf;
}

std::string LayoutKeyName(uint8_t vk) {
  for (const KeyRow& row : kKeys) {
    if (row.vk == vk && row.layout_name != nullptr) return row.layout_name;
  }
  return KeyName(vk);
}

std::string HotkeyName(HotkeyWord word) {
  if (word.IsNone()) return std::string();
  if (word.IsDoublePress()) {
    const std::string modifier = KeyName(word.Key() == 'S'   ? 0x10
                                         : word.Key() == 'C' ? 0x11
                                                             : 0x12);
    return modifier + " " + modifier;
  }
  std::string name;
  if (word.Modifiers() & HotkeyWord::kShift) name += "Shift+";
  if (word.Modifiers() & HotkeyWord::kCtrl) name += "Ctrl+";
  if (word.Modifiers() & HotkeyWord::kAlt) name += "Alt+";
  return name + KeyName(word.Key());
}

}  // namespace quill
