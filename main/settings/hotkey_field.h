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

}  // namespace quill
