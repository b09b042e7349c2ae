// The keyboard map of the display the program runs on, for the hot-key
// fields of the options dialog.
#include <QGuiApplication>
#include <vector>

#include "main/ui/option_form.h"

// Xlib last: its macros clash with Qt's.
#include <X11/Xlib.h>

namespace quill {

KeyMap DisplayKeyMap() {
  KeyMap map;
  auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
  Display* display = x11 != nullptr ? x11->display() : nullptr;
  if (display == nullptr) return map;
  int min_keycode = 0, max_keycode = 0, per = 0;
  XDisplayKeycodes(display, &min_keycode, &max_keycode);
  KeySym* syms =
      XGetKeyboardMapping(display, static_cast<KeyCode>(min_keycode),
                          max_keycode - min_keycode + 1, &per);
  if (syms == nullptr) return map;
  std::vector<unsigned long> table(syms, syms + (max_keycode - min_keycode + 1) * per);
  XFree(syms);
  map.Build(min_keycode, per, table);
  return map;
}

}  // namespace quill
