// HookFeed: the desktop as a script, for tests without a display. Key,
// button and window events go through the hook procedures as the X11
// monitor sends real ones: the keyboard procedure sees the keys held
// before each event, and an activation is window event 5, then 9. The
// posts go to the bus the test gives (an InProcessBus), the block is the
// test's buffer, the ticks come from its FakeClock.
#pragma once

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

  // The window in front; asking for another one only records the request.
  WindowHandle ForegroundWindow() override { return foreground_; }
  void SetForegroundWindow(WindowHandle window) override { activations_.push_back(window); }
  void set_foreground(WindowHandle window) { foreground_ = window; }
  const std::vector<WindowHandle>& activations() const { return activations_; }

 private:
  FakeClock& clock_;
  SharedHookBlock* block_;
  WindowHandle main_window_;
  HookProcedures procedures_;
  KeyState keys_;
  WindowHandle foreground_ = 0;
  std::vector<WindowHandle> activations_;
};

}  // namespace quill
