// The keyboard of the display the program runs on, for the hot-key fields
// of the options dialog: its map, and its raw key events.
#include <QGuiApplication>
#include <QSocketNotifier>
#include <vector>

#include "main/ui/option_form.h"

// Xlib last: its macros clash with Qt's.
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>

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

RawKeyFeed::RawKeyFeed(QObject* parent, std::function<void(uint32_t, bool)> on_key)
    : QObject(parent), on_key_(std::move(on_key)) {
  auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
  Display* app = x11 != nullptr ? x11->display() : nullptr;
  if (app == nullptr) return;
  // A connection of its own: Qt's would take the raw events for its own.
  Display* display = XOpenDisplay(DisplayString(app));
  if (display == nullptr) return;
  int event = 0, error = 0, major = 2, minor = 1;
  if (!XQueryExtension(display, "XInputExtension", &xi_opcode_, &event, &error) ||
      XIQueryVersion(display, &major, &minor) != Success || (major == 2 && minor < 1)) {
    XCloseDisplay(display);
    return;
  }
  unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
  XISetMask(bits, XI_RawKeyPress);
  XISetMask(bits, XI_RawKeyRelease);
  XIEventMask mask{XIAllMasterDevices, static_cast<int>(sizeof bits), bits};
  XISelectEvents(display, DefaultRootWindow(display), &mask, 1);
  XFlush(display);
  display_ = display;
  auto* notifier = new QSocketNotifier(ConnectionNumber(display), QSocketNotifier::Read, this);
  connect(notifier, &QSocketNotifier::activated, this, &RawKeyFeed::Read);
}

RawKeyFeed::~RawKeyFeed() {
  if (display_ != nullptr) XCloseDisplay(static_cast<Display*>(display_));
}

void RawKeyFeed::Read() {
  auto* display = static_cast<Display*>(display_);
  while (XPending(display) > 0) {
    XEvent event;
    XNextEvent(display, &event);
    XGenericEventCookie& cookie = event.xcookie;
    if (event.type != GenericEvent || cookie.extension != xi_opcode_ ||
        !XGetEventData(display, &cookie)) {
      continue;
    }
    const bool press = cookie.evtype == XI_RawKeyPress;
    const bool release = cookie.evtype == XI_RawKeyRelease;
    const auto keycode = static_cast<uint32_t>(static_cast<const XIRawEvent*>(cookie.data)->detail);
    XFreeEventData(display, &cookie);
    if (press || release) on_key_(keycode, press);
  }
}

}  // namespace quill
