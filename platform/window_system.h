// WindowSystem: what the command dispatcher asks of the desktop about
// windows, by handle (X window ids on the desktop, our own handles for our
// windows). A handle that names no window is answered with empty values
// and the calls on it do nothing.
#pragma once

#include <cstdint>
#include <string>

#include "platform/message_bus.h"
#include "platform/screen_geometry.h"

namespace quill {

enum class ShowCommand {
  kHide,            // SW_HIDE
  kShow,            // SW_SHOW
  kShowNoActivate,  // SW_SHOWNA: shown, the foreground stays where it is
};

class WindowSystem {
 public:
  virtual ~WindowSystem() = default;
  // The window's class name (WM_CLASS's class on X11), "" when unknown.
  virtual std::string ClassName(WindowHandle window) = 0;
  // True for the desktop itself and for docks and panels (the task bar):
  // windows that are never a target of their own.
  virtual bool IsShellWindow(WindowHandle window) = 0;
  virtual bool IsVisible(WindowHandle window) = 0;
  virtual void ShowWindow(WindowHandle window, ShowCommand command) = 0;
  // Raises the window over the others at its own place and size and shows
  // it (SetWindowPos HWND_TOP with SWP_SHOWWINDOW).
  virtual void BringToTop(WindowHandle window) = 0;
  // Hands the foreground to the window; a hidden window of this program
  // stays hidden.
  virtual void SetForegroundWindow(WindowHandle window) = 0;
  // Handles this thread's pending events until `ms` milliseconds have
  // passed (get, translate, dispatch); posted messages may be delivered
  // meanwhile.
  virtual void PumpMessages(uint32_t ms) = 0;

  // Other applications' windows, for tracking the paste target. A window
  // is "top-level" when it is an application's own main or dialog window
  // (on X11 the client window the window manager manages, the one
  // _NET_ACTIVE_WINDOW names), not the frame drawn around it.

  // The top-level window in front, 0 when none.
  virtual WindowHandle ActiveWindow() = 0;
  // The window's title as CP932 text, "" when it has none.
  virtual std::string Title(WindowHandle window) = 0;
  // The window an inner window belongs to; 0 for a top-level window, for
  // the desktop and for a window that is gone.
  virtual WindowHandle Parent(WindowHandle window) = 0;
  // The top-level window that `window` is part of (itself when it is
  // one), 0 when it is gone.
  virtual WindowHandle TopLevel(WindowHandle window) = 0;
  // The window's rectangle on the screen with the frame the desktop draws
  // around it; false when the window is gone.
  virtual bool Frame(WindowHandle window, WindowRect* rect) = 0;
  virtual PixelSize ScreenSize() = 0;
  virtual ScreenPoint CursorPos() = 0;
  // Brings the window's top-level window to the front and waits, at most
  // a second, until it really is the active window. False when it did not
  // come forward or is gone. A hidden window of this program is not
  // shown: false.
  virtual bool Activate(WindowHandle window) = 0;
  // Keeps the window above all normal windows, or lets it go back among
  // them. False when the window is gone.
  virtual bool SetRaiseAbove(WindowHandle window, bool above) = 0;

  // A window of our own that floats over the others as a tool.

  // Keeps a click from making the window manager activate the window: the
  // window no longer offers to take the focus. Call it before the window
  // is first shown. False when the window is gone.
  virtual bool NeverTakeFocus(WindowHandle window) = 0;
  // Asks the window manager to leave the shown window off the task bar and
  // the pager and to show it on every desktop. False when it is gone.
  virtual bool KeepOffTaskbar(WindowHandle window) = 0;

  // Key state, for waiting until the user has let go of keys before keys
  // are typed into another application.

  // Whether the key with virtual-key code `vk` is held down now (on the
  // whole display, whichever window has the focus); false when unknown.
  virtual bool KeyDown(uint8_t /*vk*/) { return false; }
};

}  // namespace quill
