// X11InputMonitor: watches the X display for the hook procedures, on a
// thread and a connection of its own.
//
// - Every key and button event of the desktop comes as an XInput2 raw
//   event (injected ones included), which the monitor sees without taking
//   it from anyone: each key event runs the keyboard procedure once, each
//   button press the mouse procedure. The state of Shift, Ctrl and Alt the
//   procedure asks for is tracked from the same events.
// - A raw event only watches; to keep a hot key from the application in
//   front, the monitor grabs each hot-key word on the root window
//   (XGrabKey, once for each state of CapsLock and NumLock). Words that
//   are double presses are not grabbed: the application keeps every
//   keystroke of them. A key that no word grabs always reaches the
//   application, even when the procedure takes it. A grab that another
//   client already holds fails with BadAccess; the key's name is kept for
//   TakeConflicts, and its raw events still fire the hot key.
// - A grabbed press makes the server hand the whole keyboard to the
//   monitor until the key is released. The monitor ends that at once
//   (XUngrabKeyboard) once the procedure has run on the press, so that the
//   keys quillmain injects next reach the application; the command is
//   posted only after that. Key events delivered to the grab meanwhile
//   are handled like raw ones. A key held on past the server's repeat
//   delay repeats into the application from then on.
// - A change of _NET_ACTIVE_WINDOW on the root window is a window event:
//   CbtEvent 5 (activation), then 9 (focus), both with the new window.
//   Which inner window of another client has the focus is not visible.
// - The keyboard is ours (KeyboardIsOurs) while the window in front belongs
//   to the X client of the main window, or while one of that client's
//   menus is mapped: a window of the root that the window manager leaves
//   alone, other than a tool tip or a drag icon. Such a menu holds the
//   keyboard while the application stays the window in front. The maps
//   come in the same stream as the key events, so a key pressed in the
//   menu is seen as ours even when the menu closes on that press.
//
// The procedures run on the monitor's thread under a lock that Configure
// takes too: once Configure returns, they use the new block and parts.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "hook/hook_block.h"
#include "platform/clock.h"
#include "platform/message_bus.h"

namespace quill {

class X11InputMonitor {
 public:
  struct Config {
    SharedHookBlock* block = nullptr;  // what the procedures read and write
    WindowHandle main_window = 0;      // receiver of the window events
    bool cbt = false;                  // which procedures run
    bool keyboard = false;
    bool mouse = false;
    std::vector<HotkeyWord> hotkeys;   // words whose keys are taken from the applications
  };

  // Connects to $DISPLAY and starts the thread; null without a display.
  // `bus` receives the posts, from the monitor's thread only.
  static std::unique_ptr<X11InputMonitor> Start(std::unique_ptr<MessageBus> bus, Clock& clock);
  // Stops the thread and closes the connection, which ends its grabs.
  ~X11InputMonitor();
  X11InputMonitor(const X11InputMonitor&) = delete;
  X11InputMonitor& operator=(const X11InputMonitor&) = delete;

  // Whether raw input events reach the monitor (XInput 2.1 or later);
  // without them neither the keyboard nor the mouse procedure can run.
  bool has_raw_input() const;

  // Takes a new configuration. With `wait`, returns once the grabs match
  // it (at most two seconds). When the keyboard procedure is turned off,
  // the keys stay grabbed for a moment, so that turning it off and on
  // again in a row grabs nothing anew; turning it on again re-grabs only
  // the words that changed.
  void Configure(const Config& config, bool wait);

  // The hot keys another client held when they were to be grabbed, as
  // key names ("Ctrl+Alt+K"), each once, since the last call.
  std::vector<std::string> TakeConflicts();

  // While the keys of one injected sequence go by, Enter is taken from the
  // applications too, so that the keyboard procedure can swallow it
  // (while InjectCount is not 0). The grab freezes the keyboard at an
  // Enter's press until the procedure has run on it: a press it takes
  // goes no further, any other one the server delivers anew, to the
  // application, and the keys after it follow in order. The grab ends
  // once InjectCount is 0 after a key event, or at ReleaseEnter.
  // HoldEnter returns once the grab is in place (at most a second); it
  // grabs nothing while the keyboard procedure is off, or when another
  // client holds a grab of Enter.
  void HoldEnter();
  // Ends that grab once the key events the server has sent so far are
  // handled; does not wait.
  void ReleaseEnter();

  // The keycode of a grabbed hot key whose press was taken and which is
  // still held; 0 when none.
  uint32_t HeldHotkey() const;
  // Waits no more for that key.
  void ForgetHeldHotkey();

 private:
  struct Impl;
  explicit X11InputMonitor(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace quill
