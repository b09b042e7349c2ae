#include "platform/headless/desktop_probes.h"

#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>

// Xlib last: its macros (Status, Bool, None) clash with other headers.
#include <X11/Xlib.h>
#include <X11/extensions/Xfixes.h>

#include "platform/x11/x11_support.h"

namespace quill {

namespace {

using SteadyClock = std::chrono::steady_clock;

struct CloseDisplay {
  void operator()(Display* d) const { XCloseDisplay(d); }
};
using Connection = std::unique_ptr<Display, CloseDisplay>;

Connection Open() { return Connection(XOpenDisplay(nullptr)); }

// Reads the connection's events until `wanted` takes one or `deadline`
// passes; true when one was taken.
bool AwaitEvent(Display* d, SteadyClock::time_point deadline,
                const std::function<bool(const XEvent&)>& wanted) {
  for (;;) {
    while (XPending(d) > 0) {
      XEvent event;
      XNextEvent(d, &event);
      if (wanted(event)) return true;
    }
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now());
    if (left.count() <= 0) return false;
    pollfd fd{ConnectionNumber(d), POLLIN, 0};
    ::poll(&fd, 1, static_cast<int>(left.count()));
  }
}

// A value no other ping of this process carries.
long NextToken() {
  static std::atomic<long> counter{0};
  return ((static_cast<long>(::getpid()) << 12) + ++counter) & 0x7FFFFFFF;
}

}  // namespace

bool ClientRoundTrip(unsigned long window, int ms) {
  Connection c = Open();
  if (c == nullptr || window == 0) return false;
  Display* d = c.get();
  const Window root = DefaultRootWindow(d);
  const Atom protocols = XInternAtom(d, "WM_PROTOCOLS", False);
  const Atom ping = XInternAtom(d, "_NET_WM_PING", False);
  // The answer goes to the root window, for whoever listens there (Qt
  // sends it as a structure event, GTK as a substructure one).
  XSelectInput(d, root, StructureNotifyMask | SubstructureNotifyMask);
  const auto deadline = SteadyClock::now() + std::chrono::milliseconds(ms);
  // Twice: the first answer tells that the events before it have been
  // read, the second that the loop has since come round again to handle
  // what was read with the first.
  for (int round = 0; round < 2; ++round) {
    const long token = NextToken();
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = protocols;
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(ping);
    event.xclient.data.l[1] = token;
    event.xclient.data.l[2] = static_cast<long>(window);
    {
      X11ErrorTrap trap(d);
      XSendEvent(d, window, False, NoEventMask, &event);
      if (!trap.Ok()) return false;  // the window is gone
    }
    const bool answered = AwaitEvent(d, deadline, [&](const XEvent& e) {
      return e.type == ClientMessage && e.xclient.message_type == protocols &&
             static_cast<Atom>(e.xclient.data.l[0]) == ping && e.xclient.data.l[1] == token;
    });
    if (!answered) return false;
  }
  return true;
}

bool WindowManagerRoundTrip(int ms) {
  Connection c = Open();
  if (c == nullptr) return false;
  Display* d = c.get();
  const Atom extents = XInternAtom(d, "_NET_FRAME_EXTENTS", False);
  const Window w = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 1, 1, 0, 0, 0);
  XSelectInput(d, w, PropertyChangeMask);
  SendToManager(d, w, XInternAtom(d, "_NET_REQUEST_FRAME_EXTENTS", False), 0, 0, 0, 0);
  XFlush(d);
  const bool answered =
      AwaitEvent(d, SteadyClock::now() + std::chrono::milliseconds(ms), [&](const XEvent& e) {
        return e.type == PropertyNotify && e.xproperty.window == w && e.xproperty.atom == extents;
      });
  XDestroyWindow(d, w);
  return answered;
}

unsigned long SelectionOwner(const std::string& name) {
  Connection c = Open();
  if (c == nullptr) return 0;
  return XGetSelectionOwner(c.get(), XInternAtom(c.get(), name.c_str(), False));
}

struct SelectionWatch::Impl {
  Connection connection = Open();
  int event_base = 0;
  int changes = 0;
};

SelectionWatch::SelectionWatch(const std::string& name) : impl_(std::make_unique<Impl>()) {
  Display* d = impl_->connection.get();
  int error_base = 0;
  if (d == nullptr || !XFixesQueryExtension(d, &impl_->event_base, &error_base)) return;
  XFixesSelectSelectionInput(d, DefaultRootWindow(d), XInternAtom(d, name.c_str(), False),
                             XFixesSetSelectionOwnerNotifyMask);
  XSync(d, False);
}

SelectionWatch::~SelectionWatch() = default;

int SelectionWatch::Changes() {
  Display* d = impl_->connection.get();
  if (d == nullptr) return 0;
  XSync(d, False);
  while (XPending(d) > 0) {
    XEvent event;
    XNextEvent(d, &event);
    if (event.type == impl_->event_base + XFixesSelectionNotify) ++impl_->changes;
  }
  return impl_->changes;
}

}  // namespace quill
