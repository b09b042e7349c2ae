// HookFeed: the desktop as a script, for tests without a display. Key,
// button and window events go through the hook procedures as the X11
// monitor sends real ones: the keyboard procedure sees the keys held
// before each event, and an activation is window event 5, then 9. The
// posts go to the bus the test gives (an InProcessBus), the block is the
// test's buffer, the ticks come from its FakeClock.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "hook/hook_procedures.h"
#include "platform/headless/fake_clock.h"

namespace quill {

class HookFeed final : public HookDesktop {
 public:
  // `main_window` receives the window events (the main window _SetCBTHook
  // was given); `block` may be null (no block).
  HookFeed(MessageBus& bus, FakeClock& clock, SharedHookBlock* block, WindowHandle main_window)
      : clock_(clock), block_(block), main_window_(main_window), procedures_(bus, clock, *this) {}

  // Each returns whether the procedure took the key.
  bool Press(uint8_t vk) { return Key(KeyEvent{vk, false, 0}); }
  bool Release(uint8_t vk) { return Key(KeyEvent{vk, true, 0}); }
  // Press and release; the press's answer.
  bool Tap(uint8_t vk) {
    const bool taken = Press(vk);
    Release(vk);
    return taken;
  }
  bool Key(const KeyEvent& event) {
    const bool taken = procedures_.KeyboardHookProc(block_, event, keys_);
    keys_.Track(event);
    return taken;
  }
  void Wait(uint32_t ms) { clock_.AdvanceMs(ms); }
  void RightClick() { procedures_.MouseHookProc(block_, kWmRButtonDown); }
  // The window comes in front.
  void Activate(WindowHandle window) {
    foreground_ = window;
    procedures_.CbtHookProc(main_window_, kCbtActivate, window);
    procedures_.CbtHookProc(main_window_, kCbtSetFocus, window);
  }

  // The keyboard is ours while one of our windows is in front or a menu
  // of ours is open.
  bool KeyboardIsOurs(WindowHandle main_window) override {
    return menu_open_ || foreground_ == main_window ||
           std::find(own_windows_.begin(), own_windows_.end(), foreground_) != own_windows_.end();
  }
  void set_foreground(WindowHandle window) { foreground_ = window; }
  // A window of ours besides the main window (a card window, a dialog).
  void AddOwnWindow(WindowHandle window) { own_windows_.push_back(window); }
  // A menu of ours holds the keyboard (or no longer does); the window in
  // front stays.
  void set_menu_open(bool open) { menu_open_ = open; }

 private:
  FakeClock& clock_;
  SharedHookBlock* block_;
  WindowHandle main_window_;
  HookProcedures procedures_;
  KeyState keys_;
  WindowHandle foreground_ = 0;
  std::vector<WindowHandle> own_windows_;
  bool menu_open_ = false;
};

}  // namespace quill
