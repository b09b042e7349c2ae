#include <map>
#include <mutex>

#include "platform/x11/x11_support.h"

#include <X11/Xatom.h>
// The hooks an extension library sets on a connection (XAddExtension,
// XESetError, XESetCloseDisplay). Last: it defines min and max.
#include <X11/Xlibint.h>
#undef min
#undef max

namespace quill {

namespace {

// What the traps of one connection have caught.
struct TrapState {
  int depth = 0;  // traps open on the connection now
  int error = 0;  // the first error code caught, 0 when none
};

std::mutex g_trap_mutex;
std::map<Display*, TrapState>& TrapStates() {
  static auto* states = new std::map<Display*, TrapState>;  // outlives every connection
  return *states;
}

// Xlib asks the hooks of every extension of a connection about each of
// its errors before the process-wide handler; a non-zero answer means the
// error has been dealt with.
int CatchError(Display* display, xError* error, XExtCodes* /*codes*/, int* result) {
  std::lock_guard<std::mutex> lock(g_trap_mutex);
  auto it = TrapStates().find(display);
  if (it == TrapStates().end() || it->second.depth == 0) return 0;  // the usual handling
  if (it->second.error == 0) it->second.error = error->errorCode;
  *result = 0;
  return 1;
}

int ForgetConnection(Display* display, XExtCodes* /*codes*/) {
  std::lock_guard<std::mutex> lock(g_trap_mutex);
  TrapStates().erase(display);
  return 0;
}

// Sets the hooks on the connection the first time a trap is opened on it.
void Open(Display* display) {
  {
    std::lock_guard<std::mutex> lock(g_trap_mutex);
    auto [it, added] = TrapStates().try_emplace(display);
    ++it->second.depth;
    if (!added) return;
  }
  XExtCodes* codes = XAddExtension(display);
  if (codes == nullptr) return;
  XESetError(display, codes->extension, CatchError);
  XESetCloseDisplay(display, codes->extension, ForgetConnection);
}

}  // namespace

X11ErrorTrap::X11ErrorTrap(Display* display) : display_(display) {
  Open(display_);
  Reset();  // what an earlier request caused is not ours
}

X11ErrorTrap::~X11ErrorTrap() {
  XSync(display_, False);
  std::lock_guard<std::mutex> lock(g_trap_mutex);
  auto it = TrapStates().find(display_);
  if (it != TrapStates().end() && --it->second.depth == 0) it->second.error = 0;
}

bool X11ErrorTrap::Ok() {
  XSync(display_, False);
  return error_code() == 0;
}

int X11ErrorTrap::error_code() const {
  std::lock_guard<std::mutex> lock(g_trap_mutex);
  auto it = TrapStates().find(display_);
  return it != TrapStates().end() ? it->second.error : 0;
}

void X11ErrorTrap::Reset() {
  XSync(display_, False);
  std::lock_guard<std::mutex> lock(g_trap_mutex);
  auto it = TrapStates().find(display_);
  if (it != TrapStates().end()) it->second.error = 0;
}

bool ReadLongs(Display* display, Window w, Atom property, Atom type, long max_items,
               std::vector<unsigned long>* out) {
  Atom actual_type = 0;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  out->clear();
  const int rc = XGetWindowProperty(display, w, property, 0, max_items, False, type, &actual_type,
                                    &format, &count, &after, &data);
  const bool ok = rc == Success && data != nullptr && format == 32 && actual_type == type;
  if (ok) {
    const unsigned long* items = reinterpret_cast<const unsigned long*>(data);
    out->assign(items, items + count);
  }
  if (data != nullptr) XFree(data);
  return ok;
}

Window NetActiveWindow(Display* display) {
  // Xlib keeps the atoms it has interned, so this asks the server once.
  const Atom active = XInternAtom(display, "_NET_ACTIVE_WINDOW", False);
  std::vector<unsigned long> items;
  if (!ReadLongs(display, DefaultRootWindow(display), active, XA_WINDOW, 1, &items) ||
      items.empty()) {
    return 0;
  }
  return static_cast<Window>(items[0]);
}

void SendToManager(Display* display, Window w, Atom message, long l0, long l1, long l2, long l3) {
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = w;
  event.xclient.message_type = message;
  event.xclient.format = 32;
  event.xclient.data.l[0] = l0;
  event.xclient.data.l[1] = l1;
  event.xclient.data.l[2] = l2;
  event.xclient.data.l[3] = l3;
  XSendEvent(display, DefaultRootWindow(display), False,
             SubstructureRedirectMask | SubstructureNotifyMask, &event);
}

void RequestActivation(Display* display, Window w) {
  SendToManager(display, w, XInternAtom(display, "_NET_ACTIVE_WINDOW", False), kSourcePager,
                CurrentTime, static_cast<long>(NetActiveWindow(display)), 0);
  XRaiseWindow(display, w);
}

void RequestClose(Display* display, Window w) {
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = w;
  event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(display, w, False, NoEventMask, &event);
  XFlush(display);
}

bool SameClient(Display* display, XID a, XID b) {
  // Every client's ids share the bits outside the mask, which is the same
  // for all clients of a server, and no two clients share them.
  const XID mask = display->resource_mask;
  return a != 0 && b != 0 && (a & ~mask) == (b & ~mask);
}

}  // namespace quill
