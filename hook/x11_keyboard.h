// The keyboard of an X connection as the hook library needs it: the map
// from keycodes to virtual keys, and the modifier bits of the keys.
//
// Include after every other header (it brings in Xlib).
#pragma once

#include "platform/protocol/key_map.h"
#include "platform/x11/x11_support.h"

namespace quill {

// Reads the server's keyboard map into `map`.
void LoadKeyMap(Display* display, KeyMap* map);

// The modifier bit (ShiftMask .. Mod5Mask) a key with `keysym` sets, 0
// when no modifier holds it.
unsigned int ModifierMaskOf(Display* display, KeySym keysym);

// Whether `keycode` is down in the bit vector XQueryKeymap gives.
inline bool IsKeycodeDown(const char (&keys)[32], uint32_t keycode) {
  return keycode < 256 && (keys[keycode / 8] & (1 << (keycode % 8))) != 0;
}

}  // namespace quill
