// What a key pressed in a hot-key field makes of the field's word. The key
// is the key pressed, not the character it types: its virtual key comes
// from the keycode's unshifted keysym (hook/key_map.h), so Shift+2 is the
// key '2' with Shift.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/protocol/shared_hook_block.h"

namespace quill {

// The field's new word, or nothing when the key changes nothing (an
// unknown key, or a modifier alone). Only Shift, Ctrl and Alt count as
// modifiers. A key without modifiers is taken as it is ("S" is a double
// press of Shift); Backspace alone clears the field (0).
std::optional<HotkeyWord> HotkeyFromKeyPress(uint8_t vk, bool shift, bool ctrl, bool alt);

// The presses that the X server keeps from every window, a field's
// included: a key that switches to a virtual terminal (KeyMap::
// SwitchesTerminal), pressed with Ctrl and Alt and without Shift. Fed
// every raw key event in order, it follows Shift, Ctrl and Alt and gives
// the word of such a press (Ctrl+Alt+F5, by the key's first level). Every
// other key reaches the field as a key event of its own.
class KeptKeyPresses {
 public:
  std::optional<HotkeyWord> RawKey(uint8_t vk, bool press, bool switches_terminal);

 private:
  bool shift_ = false, ctrl_ = false, alt_ = false;
};

}  // namespace quill
