// X11WindowSystem: the windows of the X display, through Xlib on a
// connection of its own, with the window manager reached through EWMH
// (_NET_ACTIVE_WINDOW, _NET_WM_STATE, _NET_FRAME_EXTENTS).
//
// Handles are X window ids. An application's top-level window is the
// client window the window manager manages (the one with WM_STATE, which
// _NET_ACTIVE_WINDOW names), never the frame the manager puts around it.
//
// Other applications' windows may go away at any moment: every call runs
// with X errors caught, so a window that is gone gives empty answers and
// failed calls, never a crash; every wait is bounded.
//
// Not thread-safe: use one object from one thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/window_system.h"

namespace quill {

class X11WindowSystem final : public WindowSystem {
 public:
  // Connects to `display_name` (null: $DISPLAY). Null when that fails.
  static std::unique_ptr<X11WindowSystem> Open(const char* display_name = nullptr);
  ~X11WindowSystem() override;
  X11WindowSystem(const X11WindowSystem&) = delete;
  X11WindowSystem& operator=(const X11WindowSystem&) = delete;

  std::string ClassName(WindowHandle window) override;
  // The root window and windows of type _NET_WM_WINDOW_TYPE_DOCK or
  // _NET_WM_WINDOW_TYPE_DESKTOP (or inside one).
  bool IsShellWindow(WindowHandle window) override;
  bool IsVisible(WindowHandle window) override;
  // Hide withdraws the window (it leaves the screen and the task bar);
  // show maps it and asks for it to be activated; show-no-activate only
  // maps it.
  void ShowWindow(WindowHandle window, ShowCommand command) override;
  void BringToTop(WindowHandle window) override;
  // Asks the window manager to activate the window; does not wait.
  void SetForegroundWindow(WindowHandle window) override;
  // This connection has no events of its own to handle: waits `ms`.
  void PumpMessages(uint32_t ms) override;

  WindowHandle ActiveWindow() override;
  // _NET_WM_NAME, else WM_NAME (in whatever encoding it is stored).
  std::string Title(WindowHandle window) override;
  WindowHandle Parent(WindowHandle window) override;
  // The client window with WM_STATE at or above `window`; for a frame (or
  // another child of the root without WM_STATE) the client inside it, or
  // the window itself when it holds none (an unmanaged window).
  WindowHandle TopLevel(WindowHandle window) override;
  bool Frame(WindowHandle window, WindowRect* rect) override;
  PixelSize ScreenSize() override;
  ScreenPoint CursorPos() override;
  bool Activate(WindowHandle window) override;
  bool SetRaiseAbove(WindowHandle window, bool above) override;
  // Rewrites WM_PROTOCOLS without WM_TAKE_FOCUS.
  bool NeverTakeFocus(WindowHandle window) override;
  // _NET_WM_STATE_SKIP_TASKBAR, _SKIP_PAGER and _STICKY, asked for by
  // client messages (the manager ignores them before the window is mapped).
  bool KeepOffTaskbar(WindowHandle window) override;

  // How long Activate waits for the window manager (default 1,000 ms).
  void set_activate_timeout_ms(uint32_t ms) { activate_timeout_ms_ = ms; }

  // From the server's key map (XQueryKeymap): Backspace, Enter, Shift,
  // Ctrl, Alt, Space, the letters and the digits; other keys are never
  // down.
  bool KeyDown(uint8_t vk) override;

 private:
  struct Impl;
  explicit X11WindowSystem(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
  uint32_t activate_timeout_ms_ = 1000;
};

}  // namespace quill
