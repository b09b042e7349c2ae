// Small helpers shared by the code that talks to the X display directly:
// catching the errors of one connection, reading window properties, and
// the EWMH requests to the window manager.
//
// Include this header after every other one: Xlib's macros (Status, Bool,
// None) clash with ours and with Qt's.
#pragma once

#include <vector>

#include <X11/Xlib.h>

namespace quill {

// Catches the X errors of one connection for the length of a scope, so
// that a request about a window that has gone fails instead of ending the
// program. Errors are caught per connection (an error hook of its own on
// the Display), not through the process-wide error handler: connections
// used by other threads, or by another copy of this code in a shared
// library, keep their own handling.
//
// A connection is used by one thread at a time, and so is its trap.
class X11ErrorTrap {
 public:
  explicit X11ErrorTrap(Display* display);  // waits for earlier requests first
  ~X11ErrorTrap();                          // waits for the scope's requests
  X11ErrorTrap(const X11ErrorTrap&) = delete;
  X11ErrorTrap& operator=(const X11ErrorTrap&) = delete;

  // Waits until the server has handled every request so far; true when
  // none of them failed since the trap was set (or since the last Reset).
  bool Ok();
  // The code of the first error caught (BadAccess, BadWindow, ...), 0
  // when none; call after Ok().
  int error_code() const;
  // Forgets the errors caught so far (after waiting for the server).
  void Reset();

 private:
  Display* display_;
};

// EWMH source indication of a request: a pager or task bar acting for the
// user, which window managers obey without focus-stealing checks.
inline constexpr long kSourcePager = 2;

// The items of a property of format 32 (WINDOW, ATOM, CARDINAL) and type
// `type`, at most `max_items`; false when the window or the property is
// missing or of another type.
bool ReadLongs(Display* display, Window w, Atom property, Atom type, long max_items,
               std::vector<unsigned long>* out);

// The client window _NET_ACTIVE_WINDOW names on the root window; 0 when
// none is active or the window manager does not tell.
Window NetActiveWindow(Display* display);

// A client message to the root window about the client window `w`, as
// EWMH asks of requests to the window manager.
void SendToManager(Display* display, Window w, Atom message, long l0, long l1, long l2, long l3);

// Asks the window manager to activate the client window `w` and raises
// it; does not wait.
void RequestActivation(Display* display, Window w);

// Asks a client's window to close, as the window manager's close box does
// (WM_DELETE_WINDOW).
void RequestClose(Display* display, Window w);

// Whether the resources `a` and `b` (windows, pixmaps, ...) belong to the
// same client of the server; false when either is 0.
bool SameClient(Display* display, XID a, XID b);

}  // namespace quill
