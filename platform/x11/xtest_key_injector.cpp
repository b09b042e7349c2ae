#include "platform/x11/xtest_key_injector.h"

#include <initializer_list>

// Xlib last: its macros (Status, Bool, None) clash with other headers.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

namespace quill {

struct XTestKeyInjector::Impl {
  Display* display = nullptr;
  KeyInFunction key_in = nullptr;

  ~Impl() {
    if (display != nullptr) XCloseDisplay(display);
  }

  // Presses the keys in order and lets them go in reverse order; a key the
  // keyboard does not have is left out.
  void Chord(std::initializer_list<const char*> keysyms) {
    KeyCode codes[4] = {};
    size_t n = 0;
    for (const char* name : keysyms) {
      const KeyCode code = XKeysymToKeycode(display, XStringToKeysym(name));
      if (code != 0 && n < 4) codes[n++] = code;
    }
    for (size_t i = 0; i < n; ++i) XTestFakeKeyEvent(display, codes[i], True, CurrentTime);
    for (size_t i = n; i-- > 0;) XTestFakeKeyEvent(display, codes[i], False, CurrentTime);
    XSync(display, False);
  }
};

std::unique_ptr<XTestKeyInjector> XTestKeyInjector::Open(KeyInFunction key_in,
                                                         const char* display_name) {
  auto impl = std::make_unique<Impl>();
  impl->display = XOpenDisplay(display_name);
  if (impl->display == nullptr) return nullptr;
  int event_base = 0, error_base = 0, major = 0, minor = 0;
  if (!XTestQueryExtension(impl->display, &event_base, &error_base, &major, &minor)) {
    return nullptr;
  }
  impl->key_in = key_in;
  return std::unique_ptr<XTestKeyInjector>(new XTestKeyInjector(std::move(impl)));
}

XTestKeyInjector::XTestKeyInjector(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
XTestKeyInjector::~XTestKeyInjector() = default;

void XTestKeyInjector::KeyIn(int what, int row) {
  if (impl_->key_in != nullptr) impl_->key_in(what, row);
}

void XTestKeyInjector::PressEnter() { impl_->Chord({"Return"}); }

void XTestKeyInjector::PressShiftInsert() { impl_->Chord({"Shift_L", "Insert"}); }

}  // namespace quill
