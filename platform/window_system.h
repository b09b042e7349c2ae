// WindowSystem: what the command dispatcher asks of the desktop about
// windows, by handle (X window ids on the desktop, our own handles for our
// windows). A handle that names no window is answered with empty values
// and the calls on it do nothing.
#pragma once

#include <cstdint>
#include <string>

#include "platform/message_bus.h"

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
  virtual void SetForegroundWindow(WindowHandle window) = 0;
  // Handles this thread's pending events until `ms` milliseconds have
  // passed (get, translate, dispatch); posted messages may be delivered
  // meanwhile.
  virtual void PumpMessages(uint32_t ms) = 0;
};

}  // namespace quill
