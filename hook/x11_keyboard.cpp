#include "hook/x11_keyboard.h"

#include <span>

namespace quill {

void LoadKeyMap(Display* display, KeyMap* map) {
  int min_keycode = 0, max_keycode = 0;
  XDisplayKeycodes(display, &min_keycode, &max_keycode);
  int per_keycode = 0;
  const int count = max_keycode - min_keycode + 1;
  KeySym* keysyms = XGetKeyboardMapping(display, static_cast<KeyCode>(min_keycode), count,
                                        &per_keycode);
  if (keysyms == nullptr) {
    map->Build(0, 0, {});
    return;
  }
  map->Build(min_keycode, per_keycode,
             std::span<const unsigned long>(keysyms, static_cast<size_t>(count) * per_keycode));
  XFree(keysyms);
}

unsigned int ModifierMaskOf(Display* display, KeySym keysym) {
  const KeyCode keycode = XKeysymToKeycode(display, keysym);
  XModifierKeymap* modifiers = XGetModifierMapping(display);
  if (keycode == 0 || modifiers == nullptr) {
    if (modifiers != nullptr) XFreeModifiermap(modifiers);
    return 0;
  }
  unsigned int mask = 0;
  for (int modifier = 0; modifier < 8 && mask == 0; ++modifier) {
    for (int i = 0; i < modifiers->max_keypermod; ++i) {
      if (modifiers->modifiermap[modifier * modifiers->max_keypermod + i] == keycode) {
        mask = 1u << modifier;
        break;
      }
    }
  }
  XFreeModifiermap(modifiers);
  return mask;
}

}  // namespace quill
