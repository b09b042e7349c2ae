#include "platform/x11/x11_selection_probe.h"

#include <poll.h>

#include <chrono>

// Xlib last: its macros (Status, Bool, None) clash with other headers.
#include "platform/x11/x11_support.h"

#include <X11/Xatom.h>

namespace quill {

struct X11SelectionProbe::Impl {
  Display* display = nullptr;
  Window window = 0;  // receives the answers; never mapped
  Atom clipboard = 0;
  Atom targets = 0;
  Atom property = 0;
  // What the last owner of each selection did: PRIMARY, CLIPBOARD.
  struct Known {
    Window owner = 0;
    bool answers = true;
  } known[2];

  ~Impl() {
    if (display == nullptr) return;
    if (window != 0) XDestroyWindow(display, window);
    XCloseDisplay(display);
  }

  // Takes the answers that came too late for an earlier request.
  void DropLateAnswers() {
    XEvent event;
    while (XCheckTypedWindowEvent(display, window, SelectionNotify, &event)) {
    }
  }

  // Waits for the owner's answer about `selection` until `deadline`.
  bool WaitForAnswer(Atom selection, std::chrono::steady_clock::time_point deadline) {
    for (;;) {
      XEvent event;
      while (XCheckTypedWindowEvent(display, window, SelectionNotify, &event)) {
        if (event.xselection.selection == selection) return true;
      }
      const auto now = std::chrono::steady_clock::now();
      if (now >= deadline) return false;
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now);
      pollfd fd{ConnectionNumber(display), POLLIN, 0};
      ::poll(&fd, 1, static_cast<int>(left.count()));
      // Reads what arrived into the queue without waiting.
      XEventsQueued(display, QueuedAfterReading);
    }
  }
};

std::unique_ptr<X11SelectionProbe> X11SelectionProbe::Open(const char* display_name) {
  auto impl = std::make_unique<Impl>();
  impl->display = XOpenDisplay(display_name);
  if (impl->display == nullptr) return nullptr;
  Display* d = impl->display;
  impl->window = XCreateWindow(d, DefaultRootWindow(d), 0, 0, 1, 1, 0, CopyFromParent, InputOnly,
                               CopyFromParent, 0, nullptr);
  impl->clipboard = XInternAtom(d, "CLIPBOARD", False);
  impl->targets = XInternAtom(d, "TARGETS", False);
  impl->property = XInternAtom(d, "QUILLBOX_SELECTION_PROBE", False);
  XSync(d, False);
  return std::unique_ptr<X11SelectionProbe>(new X11SelectionProbe(std::move(impl)));
}

X11SelectionProbe::X11SelectionProbe(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
X11SelectionProbe::~X11SelectionProbe() = default;

bool X11SelectionProbe::OwnerAnswers(bool primary, int timeout_ms, bool* asked) {
  if (asked != nullptr) *asked = false;
  Display* d = impl_->display;
  const Atom selection = primary ? XA_PRIMARY : impl_->clipboard;
  Impl::Known& known = impl_->known[primary ? 0 : 1];
  X11ErrorTrap trap(d);
  const Window owner = XGetSelectionOwner(d, selection);
  if (owner == 0) return true;
  if (owner == known.owner) return known.answers;
  if (asked != nullptr) *asked = true;
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  impl_->DropLateAnswers();
  XConvertSelection(d, selection, impl_->targets, impl_->property, impl_->window, CurrentTime);
  XFlush(d);
  known.owner = owner;
  known.answers = impl_->WaitForAnswer(selection, deadline);
  XDeleteProperty(d, impl_->window, impl_->property);
  return known.answers;
}

}  // namespace quill
