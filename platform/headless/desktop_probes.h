// Questions the desktop tests ask of the X display ($DISPLAY) directly,
// each on a connection of its own: round trips that prove a client or the
// window manager has handled everything sent to it so far, the owner of a
// selection and its changes.
#pragma once

#include <memory>
#include <string>

namespace quill {

// A round trip through the event queue of the client that made `window`:
// sends it _NET_WM_PING and waits for its answer (Qt and GTK answer on
// their event loop, after the events that came before). False when no
// answer came within `ms`.
bool ClientRoundTrip(unsigned long window, int ms = 20000);

// A round trip through the window manager: asks it for the frame extents
// of a window of our own and waits for them, so that every request it got
// before (maps, activations, withdrawals) has been handled. False when no
// answer came within `ms`.
bool WindowManagerRoundTrip(int ms = 20000);

// The window that owns the selection `name` ("PRIMARY", "CLIPBOARD"), 0
// when none does.
unsigned long SelectionOwner(const std::string& name);

// Counts the changes of owner of a selection from its making on (each
// time a program takes it, also one that owned it already). Reading a
// selection asks its owner for the data, which that owner may count as a
// paste's fetch: a test waits for the changes instead.
class SelectionWatch {
 public:
  explicit SelectionWatch(const std::string& name);  // "PRIMARY", "CLIPBOARD"
  ~SelectionWatch();
  SelectionWatch(const SelectionWatch&) = delete;
  SelectionWatch& operator=(const SelectionWatch&) = delete;

  // The changes so far.
  int Changes();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace quill
