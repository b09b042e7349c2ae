// The X display as the desktop tests and benchmarks of quillmain look at
// it: the active window, whether a window is mapped, the flash, quillmain's
// menus, the keyboard focus, and the close box.
//
// Windows of other clients may go at any moment: the calls that walk them
// catch the errors of the connection, so a window that went counts as
// not there.
//
// Include this header last: Xlib's macros (Status, Bool, None) clash with
// Qt and our headers.
#pragma once

#include <QRect>
#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include "platform/x11/x11_support.h"

namespace quill {

class X11Display {
 public:
  X11Display() : display_(XOpenDisplay(nullptr)) {}
  ~X11Display() {
    if (display_ != nullptr) XCloseDisplay(display_);
  }
  bool ok() const { return display_ != nullptr; }

  // _NET_ACTIVE_WINDOW of the root window, 0 when unknown.
  unsigned long ActiveWindow() { return NetActiveWindow(display_); }

  bool IsMapped(unsigned long window) {
    XWindowAttributes attributes;
    X11ErrorTrap trap(display_);
    return XGetWindowAttributes(display_, window, &attributes) != 0 &&
           attributes.map_state == IsViewable;
  }

  // A flash over the screen: a mapped 32 x 32 window of no window
  // manager's; its rectangle, or nothing.
  std::optional<QRect> Flash() {
    X11ErrorTrap trap(display_);
    Window root = 0, parent = 0, *children = nullptr;
    unsigned int count = 0;
    std::optional<QRect> found;
    if (XQueryTree(display_, DefaultRootWindow(display_), &root, &parent, &children, &count) == 0) {
      return found;
    }
    for (unsigned int i = 0; i < count && !found; ++i) {
      XWindowAttributes a;
      if (XGetWindowAttributes(display_, children[i], &a) != 0 && a.override_redirect &&
          a.map_state == IsViewable && a.width == 32 && a.height == 32) {
        found = QRect(a.x, a.y, a.width, a.height);
      }
    }
    if (children != nullptr) XFree(children);
    return found;
  }

  // How many menus of quillmain are on the screen (a submenu is one more):
  // windows of its class that the window manager leaves alone, mapped,
  // larger than the helper windows of Qt, and not a tool tip (as the flash
  // of a capture is) or a drag icon.
  int PopupMenusShown() {
    X11ErrorTrap trap(display_);
    const Atom type = XInternAtom(display_, "_NET_WM_WINDOW_TYPE", False);
    const Atom tooltip = XInternAtom(display_, "_NET_WM_WINDOW_TYPE_TOOLTIP", False);
    const Atom dnd = XInternAtom(display_, "_NET_WM_WINDOW_TYPE_DND", False);
    Window root_return, parent;
    Window* children = nullptr;
    unsigned int count = 0;
    if (XQueryTree(display_, DefaultRootWindow(display_), &root_return, &parent, &children,
                   &count) == 0) {
      return 0;
    }
    int shown = 0;
    for (unsigned int i = 0; i < count; ++i) {
      XWindowAttributes a;
      std::vector<unsigned long> types;
      ReadLongs(display_, children[i], type, XA_ATOM, 8, &types);
      if (XGetWindowAttributes(display_, children[i], &a) == 0 || a.map_state != IsViewable ||
          !a.override_redirect || a.height < 10 ||
          std::any_of(types.begin(), types.end(),
                      [&](unsigned long t) { return t == tooltip || t == dnd; })) {
        continue;
      }
      XClassHint hint{};
      if (XGetClassHint(display_, children[i], &hint) != 0) {
        if (hint.res_class != nullptr && std::string(hint.res_class) == "quillmain") ++shown;
        XFree(hint.res_name);
        XFree(hint.res_class);
      }
    }
    if (children != nullptr) XFree(children);
    return shown;
  }
  bool PopupMenuShown() { return PopupMenusShown() > 0; }

  // The window that has the keyboard focus, as its top-level client (the
  // focus may sit on an inner window of it).
  bool FocusWithin(unsigned long client) {
    X11ErrorTrap trap(display_);
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(display_, &focus, &revert);
    for (int i = 0; i < 16 && focus != 0 && focus != PointerRoot; ++i) {
      if (focus == client) return true;
      Window root = 0, parent = 0, *children = nullptr;
      unsigned int count = 0;
      if (XQueryTree(display_, focus, &root, &parent, &children, &count) == 0) return false;
      if (children != nullptr) XFree(children);
      focus = parent;
    }
    return false;
  }

  // Asks the window to close, as the window manager's close box does.
  void RequestClose(unsigned long window) { quill::RequestClose(display_, window); }

 private:
  Display* display_;
};

}  // namespace quill
