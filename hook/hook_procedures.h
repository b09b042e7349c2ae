// The three hook procedures of libquillhook: window events, the mouse and
// the keyboard. Each is a plain function over one event: it reads and
// writes the shared block (only its fields below BrowserClasses), posts to
// the main window through a MessageBus and takes its ticks from a Clock.
// Whoever watches the desktop (the X11 monitor, or a test's scripted feed)
// calls them once per event.
//
// The keyboard procedure turns key events into the hot-key commands:
// exact modifier matches, double presses of Shift, Ctrl and Alt (two
// presses of the same modifier less than 800 ms apart with nothing in
// between), the Enter key that follows an injected key sequence, the
// Space key that counts as a right click, and the ten super-paste keys.
#pragma once

#include <cstdint>
#include <vector>

#include "hook/hook_block.h"
#include "platform/clock.h"
#include "platform/message_bus.h"

namespace quill {

// Virtual-key codes of the keys the procedures and the key sequences name.
namespace vk {
inline constexpr uint8_t kReturn = 0x0D;
inline constexpr uint8_t kShift = 0x10;
inline constexpr uint8_t kControl = 0x11;
inline constexpr uint8_t kMenu = 0x12;  // Alt
inline constexpr uint8_t kSpace = 0x20;
inline constexpr uint8_t kF7 = 0x76;
inline constexpr uint8_t kF8 = 0x77;
inline constexpr uint8_t kF9 = 0x78;
}  // namespace vk

// The mouse message of a right-button press.
inline constexpr uint32_t kWmRButtonDown = 0x0204;

// One key going down or up. `key` names the physical key (an X keycode),
// so that the left and right Shift are told apart; 0 means the key of vk.
struct KeyEvent {
  uint8_t vk = 0;
  bool release = false;
  uint32_t key = 0;
};

// Which keys are down, as the key events so far say (GetKeyState). The
// watcher updates it after each event, so that a procedure sees the state
// from before the event it is handling.
class KeyState {
 public:
  void Track(const KeyEvent& event);
  bool IsDown(uint8_t vk) const;
  // Shift, Ctrl and Alt as the modifier byte of a HotkeyWord.
  uint8_t Modifiers() const;

 private:
  struct Down {
    uint32_t key;
    uint8_t vk;
  };
  std::vector<Down> down_;
};

// What the procedures ask of the desktop.
class HookDesktop {
 public:
  virtual ~HookDesktop() = default;
  // Whether the keys go to a window of the program whose main window is
  // `main_window`: the window in front is one of its windows (the main
  // window, a card window, a dialog), or a menu of it holds the keyboard
  // while another application stays in front.
  virtual bool KeyboardIsOurs(WindowHandle main_window) = 0;
};

class HookProcedures {
 public:
  // Window of a double-press: the second press must come sooner than this.
  static constexpr int32_t kDoublePressMs = 800;

  HookProcedures(MessageBus& bus, Clock& clock, HookDesktop& desktop)
      : bus_(bus), clock_(clock), desktop_(desktop) {}

  // A window event: posts CbtEvent (wParam = code, lParam = the window) to
  // `main_window`, the main window _SetCBTHook was given.
  void CbtHookProc(WindowHandle main_window, uint32_t code, WindowHandle window);
  // A mouse event: a right-button press counts in RightClickCount.
  // Without a block nothing changes.
  void MouseHookProc(SharedHookBlock* block, uint32_t mouse_message);
  // A key event, with `keys` the state before it. True when the key is
  // taken (a hot key): the application in front must not get it. Without
  // a block the key passes and nothing changes.
  bool KeyboardHookProc(SharedHookBlock* block, const KeyEvent& event, const KeyState& keys);

 private:
  // The press half of KeyboardHookProc.
  bool KeyDown(SharedHookBlock& block, uint8_t vk, const KeyState& keys);

  MessageBus& bus_;
  Clock& clock_;
  HookDesktop& desktop_;
  // The keys (KeyEvent::key, else vk) pressed while the keyboard was ours
  // and not yet released: their releases are ours too, even when our menu
  // has closed on the press.
  std::vector<uint32_t> ownPresses;
  // The last modifier key-down (0xFF after a double press, 0 after any
  // other key), the last modifier released, and the tick of the last
  // key-down that was not an auto-repeat.
  uint8_t lastModKey = 0;
  uint8_t lastReleasedMod = 0;
  uint32_t lastTick = 0;
};

}  // namespace quill
