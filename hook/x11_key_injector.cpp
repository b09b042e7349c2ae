#include "hook/x11_key_injector.h"

#include <chrono>
#include <thread>
#include <vector>

#include "platform/protocol/key_map.h"

// Xlib last: its macros (Status, Bool, None) clash with other headers.
#include "hook/x11_keyboard.h"

#include <X11/extensions/XTest.h>

namespace quill {

struct X11KeyInjector::Impl {
  ~Impl() {
    if (display != nullptr) XCloseDisplay(display);
  }

  bool KeyDown(uint32_t keycode) {
    char keys[32] = {};
    XQueryKeymap(display, keys);
    return IsKeycodeDown(keys, keycode);
  }

  Display* display = nullptr;
  KeyMap keymap;
};

std::unique_ptr<X11KeyInjector> X11KeyInjector::Open() {
  auto impl = std::make_unique<Impl>();
  impl->display = XOpenDisplay(nullptr);
  if (impl->display == nullptr) return nullptr;
  int event = 0, error = 0, major = 0, minor = 0;
  if (!XTestQueryExtension(impl->display, &event, &error, &major, &minor)) return nullptr;
  LoadKeyMap(impl->display, &impl->keymap);
  return std::unique_ptr<X11KeyInjector>(new X11KeyInjector(std::move(impl)));
}

X11KeyInjector::X11KeyInjector(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
X11KeyInjector::~X11KeyInjector() = default;

void X11KeyInjector::Update() {
  Display* d = impl_->display;
  bool changed = false;
  while (XPending(d) > 0) {
    XEvent event;
    XNextEvent(d, &event);
    if (event.type == MappingNotify) {
      XRefreshKeyboardMapping(&event.xmapping);
      changed = changed || event.xmapping.request != MappingPointer;
    }
  }
  if (changed) LoadKeyMap(d, &impl_->keymap);
}

void X11KeyInjector::SendKey(uint8_t vk, bool press) {
  const std::vector<uint32_t> keycodes = impl_->keymap.KeycodesOf(vk);
  if (keycodes.empty()) return;  // no such key on this keyboard
  Display* d = impl_->display;
  X11ErrorTrap trap(d);
  if (press) {
    XTestFakeKeyEvent(d, keycodes.front(), True, CurrentTime);
    return;
  }
  char keys[32] = {};
  XQueryKeymap(d, keys);
  bool sent = false;
  for (uint32_t keycode : keycodes) {
    if (!IsKeycodeDown(keys, keycode)) continue;
    XTestFakeKeyEvent(d, keycode, False, CurrentTime);
    sent = true;
  }
  if (!sent) XTestFakeKeyEvent(d, keycodes.front(), False, CurrentTime);
}

bool X11KeyInjector::IsKeyDown(uint8_t vk) {
  char keys[32] = {};
  XQueryKeymap(impl_->display, keys);
  for (uint32_t keycode : impl_->keymap.KeycodesOf(vk)) {
    if (IsKeycodeDown(keys, keycode)) return true;
  }
  return false;
}

void X11KeyInjector::Sync() { XSync(impl_->display, False); }

bool X11KeyInjector::WaitForRelease(uint32_t keycode, int timeout_ms) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    if (!impl_->KeyDown(keycode)) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

bool X11KeyInjector::CapturePointer(WindowHandle window) {
  Display* d = impl_->display;
  X11ErrorTrap trap(d);
  if (window == 0) {
    XUngrabPointer(d, CurrentTime);
    return trap.Ok();
  }
  const int result = XGrabPointer(d, window, False,
                                  ButtonPressMask | ButtonReleaseMask | PointerMotionMask,
                                  GrabModeAsync, GrabModeAsync, None, None, CurrentTime);
  return trap.Ok() && result == GrabSuccess;
}

}  // namespace quill
