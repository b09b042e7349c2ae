// KeyMap: the keys of the X keyboard as virtual-key codes, the form in
// which hot keys are stored and key sequences are written.
//
// One table maps virtual keys to keysyms (the OEM keys of a Japanese and
// of a US keyboard included); the keycodes come from the server's map,
// read again whenever it changes. A keycode's virtual key is found from
// its unshifted keysym, and where two keys share it (the backslash keys of
// a Japanese keyboard) from the shifted one as well.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/protocol/shared_hook_block.h"

namespace quill {

class KeyMap {
 public:
  // Builds the map from the server's keysym table: keycodes `min_keycode`
  // upwards, `per_keycode` keysyms each (as XGetKeyboardMapping gives it).
  void Build(int min_keycode, int per_keycode, std::span<const unsigned long> keysyms);

  // The virtual key of a keycode, 0 when the table has none for it.
  uint8_t VkOf(uint32_t keycode) const;
  // The keycodes of a virtual key, lowest first; empty when the keyboard
  // has no such key.
  std::vector<uint32_t> KeycodesOf(uint8_t vk) const;
  // Whether one of the keycode's levels switches to a virtual terminal
  // (XF86Switch_VT_1 ..; Ctrl+Alt with F1 .. F12 on a PC keyboard): the X
  // server then keeps that press from every window and only its raw event
  // tells of it.
  bool SwitchesTerminal(uint32_t keycode) const;

 private:
  std::vector<uint8_t> vk_of_;  // by keycode
  std::vector<bool> switches_terminal_;  // by keycode
};

// The key as a short-cut text shows it: "A", "F7", "Enter", "Space", ...
std::string KeyName(uint8_t vk);
// The key's name as the keyboard layout gives it, CP932: the Japanese
// names of a Japanese keyboard's own keys ("変換", "ｶﾀｶﾅ/ひらがな"), the
// short-cut text of every other key.
std::string LayoutKeyName(uint8_t vk);
// A hot key as text: "Ctrl+Alt+K", "Shift+F9"; a double press as
// "Shift Shift"; "" for the word 0.
std::string HotkeyName(HotkeyWord word);

}  // namespace quill
