#include "platform/x11/x11_window_system.h"

#include <chrono>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/text_codec.h"

// Xlib last: its macros (Status, Bool, None) clash with other headers.
#include "platform/x11/x11_support.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

namespace quill {

namespace {

// X window ids have their top three bits clear; handles with any of them
// set are our own windows' handles or markers, never an X window.
bool CanBeXWindow(WindowHandle w) { return w != 0 && (w & 0xE0000000u) == 0; }

// WM_CLASS and a WM_NAME of type STRING are Latin-1.
std::string Latin1ToCp932(std::string_view latin1) {
  std::string utf8;
  for (unsigned char c : latin1) {
    if (c < 0x80) {
      utf8 += static_cast<char>(c);
    } else {
      utf8 += static_cast<char>(0xC0 | (c >> 6));
      utf8 += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return Utf8ToCp932(utf8);
}

enum AtomIndex {
  kNetActiveWindow,
  kNetWmName,
  kUtf8String,
  kWmState,
  kNetFrameExtents,
  kNetWmWindowType,
  kNetWmWindowTypeDock,
  kNetWmWindowTypeDesktop,
  kNetWmState,
  kNetWmStateAbove,
  kAtomCount
};

constexpr const char* kAtomNames[kAtomCount] = {
    "_NET_ACTIVE_WINDOW",  "_NET_WM_NAME",        "UTF8_STRING",
    "WM_STATE",            "_NET_FRAME_EXTENTS",  "_NET_WM_WINDOW_TYPE",
    "_NET_WM_WINDOW_TYPE_DOCK", "_NET_WM_WINDOW_TYPE_DESKTOP", "_NET_WM_STATE",
    "_NET_WM_STATE_ABOVE",
};

}  // namespace

struct X11WindowSystem::Impl {
  Display* display = nullptr;
  Window root = 0;
  Atom atoms[kAtomCount] = {};

  ~Impl() {
    if (display != nullptr) XCloseDisplay(display);
  }

  // A text property of format 8 and type `type`, whole.
  bool Bytes(Window w, Atom property, Atom type, std::string* out) {
    Atom actual_type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    out->clear();
    // The length is in 32-bit units; the server sends no more than there is.
    const int rc = XGetWindowProperty(display, w, property, 0, 0x1000000, False, type,
                                      &actual_type, &format, &count, &after, &data);
    bool ok = rc == Success && data != nullptr && format == 8 && actual_type == type;
    if (ok) out->assign(reinterpret_cast<const char*>(data), count);
    if (data != nullptr) XFree(data);
    return ok;
  }

  bool HasWmState(Window w) {
    Atom actual_type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    const int rc = XGetWindowProperty(display, w, atoms[kWmState], 0, 0, False, AnyPropertyType,
                                      &actual_type, &format, &count, &after, &data);
    if (data != nullptr) XFree(data);
    return rc == Success && actual_type != 0;
  }

  // The parent and the children of `w`; false when it is gone.
  bool Tree(Window w, Window* parent, std::vector<Window>* children) {
    Window root_return = 0, parent_return = 0;
    Window* list = nullptr;
    unsigned int count = 0;
    if (XQueryTree(display, w, &root_return, &parent_return, &list, &count) == 0) return false;
    if (parent != nullptr) *parent = parent_return;
    if (children != nullptr) children->assign(list, list + count);
    if (list != nullptr) XFree(list);
    return true;
  }

  // The first window with WM_STATE among the descendants of `w`, breadth
  // first, 0 when there is none.
  Window ClientBelow(Window w) {
    std::vector<Window> level{w};
    for (int depth = 0; depth < 8 && !level.empty(); ++depth) {
      std::vector<Window> next;
      for (Window parent : level) {
        std::vector<Window> children;
        if (!Tree(parent, nullptr, &children)) continue;
        for (Window child : children) {
          if (HasWmState(child)) return child;
        }
        next.insert(next.end(), children.begin(), children.end());
      }
      level.swap(next);
    }
    return 0;
  }

  Window TopLevel(Window w) {
    if (w == root) return root;
    // Bounded: X window trees are shallow, a loop here would be a fault.
    for (int depth = 0; depth < 64; ++depth) {
      if (HasWmState(w)) return w;
      Window parent = 0;
      if (!Tree(w, &parent, nullptr)) return 0;
      if (parent == root || parent == 0) {
        Window client = ClientBelow(w);
        return client != 0 ? client : w;
      }
      w = parent;
    }
    return 0;
  }

  Window Active() { return NetActiveWindow(display); }

  bool Exists(Window w) {
    XWindowAttributes attributes;
    return XGetWindowAttributes(display, w, &attributes) != 0;
  }
};

std::unique_ptr<X11WindowSystem> X11WindowSystem::Open(const char* display_name) {
  auto impl = std::make_unique<Impl>();
  impl->display = XOpenDisplay(display_name);
  if (impl->display == nullptr) return nullptr;
  impl->root = DefaultRootWindow(impl->display);
  XInternAtoms(impl->display, const_cast<char**>(kAtomNames), kAtomCount, False, impl->atoms);
  return std::unique_ptr<X11WindowSystem>(new X11WindowSystem(std::move(impl)));
}

X11WindowSystem::X11WindowSystem(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
X11WindowSystem::~X11WindowSystem() = default;

std::string X11WindowSystem::ClassName(WindowHandle window) {
  if (!CanBeXWindow(window)) return std::string();
  X11ErrorTrap trap(impl_->display);
  XClassHint hint{};
  if (XGetClassHint(impl_->display, window, &hint) == 0) return std::string();
  std::string name = hint.res_class != nullptr ? Latin1ToCp932(hint.res_class) : std::string();
  if (hint.res_name != nullptr) XFree(hint.res_name);
  if (hint.res_class != nullptr) XFree(hint.res_class);
  return name;
}

bool X11WindowSystem::IsShellWindow(WindowHandle window) {
  if (!CanBeXWindow(window)) return false;
  if (window == impl_->root) return true;
  X11ErrorTrap trap(impl_->display);
  Window top = impl_->TopLevel(window);
  std::vector<unsigned long> types;
  if (top == 0 ||
      !ReadLongs(impl_->display, top, impl_->atoms[kNetWmWindowType], XA_ATOM, 32, &types)) {
    return false;
  }
  for (unsigned long type : types) {
    if (type == impl_->atoms[kNetWmWindowTypeDock] ||
        type == impl_->atoms[kNetWmWindowTypeDesktop]) {
      return true;
    }
  }
  return false;
}

bool X11WindowSystem::IsVisible(WindowHandle window) {
  if (!CanBeXWindow(window)) return false;
  X11ErrorTrap trap(impl_->display);
  XWindowAttributes attributes;
  return XGetWindowAttributes(impl_->display, window, &attributes) != 0 &&
         attributes.map_state == IsViewable;
}

void X11WindowSystem::ShowWindow(WindowHandle window, ShowCommand command) {
  if (!CanBeXWindow(window)) return;
  X11ErrorTrap trap(impl_->display);
  Display* d = impl_->display;
  switch (command) {
    case ShowCommand::kHide:
      XWithdrawWindow(d, window, DefaultScreen(d));
      break;
    case ShowCommand::kShow:
      XMapRaised(d, window);
      if (const Window top = impl_->TopLevel(window); top != 0) {
        RequestActivation(impl_->display, top);
      }
      break;
    case ShowCommand::kShowNoActivate:
      XMapWindow(d, window);
      break;
  }
}

void X11WindowSystem::BringToTop(WindowHandle window) {
  if (!CanBeXWindow(window)) return;
  X11ErrorTrap trap(impl_->display);
  XMapRaised(impl_->display, window);
}

void X11WindowSystem::SetForegroundWindow(WindowHandle window) {
  if (!CanBeXWindow(window)) return;
  X11ErrorTrap trap(impl_->display);
  Window top = impl_->TopLevel(window);
  if (top != 0) RequestActivation(impl_->display, top);
}

void X11WindowSystem::PumpMessages(uint32_t ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

WindowHandle X11WindowSystem::ActiveWindow() {
  X11ErrorTrap trap(impl_->display);
  return static_cast<WindowHandle>(impl_->Active());
}

std::string X11WindowSystem::Title(WindowHandle window) {
  if (!CanBeXWindow(window)) return std::string();
  X11ErrorTrap trap(impl_->display);
  std::string text;
  if (impl_->Bytes(window, impl_->atoms[kNetWmName], impl_->atoms[kUtf8String], &text)) {
    return Utf8ToCp932(text);
  }
  XTextProperty property{};
  if (XGetWMName(impl_->display, window, &property) == 0 || property.value == nullptr) {
    return std::string();
  }
  if (property.encoding == XA_STRING) {
    text = Latin1ToCp932(std::string_view(reinterpret_cast<const char*>(property.value),
                                          property.nitems));
  } else {
    // UTF8_STRING or COMPOUND_TEXT; Xlib converts either.
    char** list = nullptr;
    int count = 0;
    if (Xutf8TextPropertyToTextList(impl_->display, &property, &list, &count) >= Success &&
        list != nullptr) {
      std::string utf8;
      for (int i = 0; i < count; ++i) utf8 += list[i];
      text = Utf8ToCp932(utf8);
      XFreeStringList(list);
    }
  }
  XFree(property.value);
  return text;
}

WindowHandle X11WindowSystem::Parent(WindowHandle window) {
  if (!CanBeXWindow(window) || window == impl_->root) return 0;
  X11ErrorTrap trap(impl_->display);
  Window parent = 0;
  if (impl_->HasWmState(window) || !impl_->Tree(window, &parent, nullptr)) return 0;
  return parent == impl_->root ? 0 : static_cast<WindowHandle>(parent);
}

WindowHandle X11WindowSystem::TopLevel(WindowHandle window) {
  if (!CanBeXWindow(window)) return 0;
  X11ErrorTrap trap(impl_->display);
  return static_cast<WindowHandle>(impl_->TopLevel(window));
}

bool X11WindowSystem::Frame(WindowHandle window, WindowRect* rect) {
  if (!CanBeXWindow(window)) return false;
  X11ErrorTrap trap(impl_->display);
  Display* d = impl_->display;
  XWindowAttributes attributes;
  if (XGetWindowAttributes(d, window, &attributes) == 0) return false;
  int x = 0, y = 0;
  Window child = 0;
  if (XTranslateCoordinates(d, window, impl_->root, 0, 0, &x, &y, &child) == 0) return false;
  // The frame the window manager draws: left, right, top, bottom.
  std::vector<unsigned long> extents;
  if (!ReadLongs(impl_->display, window, impl_->atoms[kNetFrameExtents], XA_CARDINAL, 4,
                 &extents) ||
      extents.size() != 4) {
    extents.assign(4, 0);
  }
  const int border = attributes.border_width;
  rect->left = x - border - static_cast<int>(extents[0]);
  rect->top = y - border - static_cast<int>(extents[2]);
  rect->right = x + attributes.width + border + static_cast<int>(extents[1]);
  rect->bottom = y + attributes.height + border + static_cast<int>(extents[3]);
  return trap.Ok();
}

PixelSize X11WindowSystem::ScreenSize() {
  Display* d = impl_->display;
  return PixelSize{DisplayWidth(d, DefaultScreen(d)), DisplayHeight(d, DefaultScreen(d))};
}

ScreenPoint X11WindowSystem::CursorPos() {
  X11ErrorTrap trap(impl_->display);
  Window root_return = 0, child = 0;
  int root_x = 0, root_y = 0, x = 0, y = 0;
  unsigned int mask = 0;
  XQueryPointer(impl_->display, impl_->root, &root_return, &child, &root_x, &root_y, &x, &y, &mask);
  return ScreenPoint{root_x, root_y};
}

bool X11WindowSystem::Activate(WindowHandle window) {
  if (!CanBeXWindow(window)) return false;
  X11ErrorTrap trap(impl_->display);
  const Window top = impl_->TopLevel(window);
  if (top == 0) return false;
  if (impl_->Active() == top) return true;
  RequestActivation(impl_->display, top);
  if (!trap.Ok()) return false;
  auto asked = std::chrono::steady_clock::now();
  const auto deadline = asked + std::chrono::milliseconds(activate_timeout_ms_);
  // Whether the window is in front is looked at every 2 ms (the caller
  // waits for it), and the request is repeated every 250 ms: a window
  // manager busy mapping the window may drop the first one.
  for (;;) {
    if (impl_->Active() == top) return true;
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline || !impl_->Exists(top)) return false;
    if (now - asked >= std::chrono::milliseconds(250)) {
      RequestActivation(impl_->display, top);
      asked = now;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

bool X11WindowSystem::SetRaiseAbove(WindowHandle window, bool above) {
  if (!CanBeXWindow(window)) return false;
  X11ErrorTrap trap(impl_->display);
  const Window top = impl_->TopLevel(window);
  if (top == 0) return false;
  // _NET_WM_STATE_REMOVE is 0, _NET_WM_STATE_ADD 1.
  SendToManager(impl_->display, top, impl_->atoms[kNetWmState], above ? 1 : 0,
                       static_cast<long>(impl_->atoms[kNetWmStateAbove]), 0, kSourcePager);
  return trap.Ok();
}

bool X11WindowSystem::NeverTakeFocus(WindowHandle window) {
  if (!CanBeXWindow(window)) return false;
  X11ErrorTrap trap(impl_->display);
  Display* d = impl_->display;
  const Atom take_focus = XInternAtom(d, "WM_TAKE_FOCUS", False);
  Atom* protocols = nullptr;
  int count = 0;
  std::vector<Atom> kept;
  if (XGetWMProtocols(d, window, &protocols, &count) != 0 && protocols != nullptr) {
    for (int i = 0; i < count; ++i) {
      if (protocols[i] != take_focus) kept.push_back(protocols[i]);
    }
    XFree(protocols);
  }
  XSetWMProtocols(d, window, kept.data(), static_cast<int>(kept.size()));
  // Done before the owner maps the window over its own connection.
  return trap.Ok();
}

bool X11WindowSystem::KeepOffTaskbar(WindowHandle window) {
  if (!CanBeXWindow(window)) return false;
  X11ErrorTrap trap(impl_->display);
  Display* d = impl_->display;
  const Window top = impl_->TopLevel(window);
  if (top == 0) return false;
  const auto atom = [d](const char* name) {
    return static_cast<long>(XInternAtom(d, name, False));
  };
  // _NET_WM_STATE_ADD is 1; a request carries at most two states.
  SendToManager(d, top, impl_->atoms[kNetWmState], 1, atom("_NET_WM_STATE_SKIP_TASKBAR"),
                atom("_NET_WM_STATE_SKIP_PAGER"), kSourcePager);
  SendToManager(d, top, impl_->atoms[kNetWmState], 1, atom("_NET_WM_STATE_STICKY"), 0,
                kSourcePager);
  return trap.Ok();
}

}  // namespace quill

namespace quill {

bool X11WindowSystem::KeyDown(uint8_t vk) {
  // The keysyms of a virtual key, by name (either key of a pair counts).
  std::vector<std::string> names;
  switch (vk) {
    case 0x08: names = {"BackSpace"}; break;
    case 0x0D: names = {"Return", "KP_Enter"}; break;
    case 0x10: names = {"Shift_L", "Shift_R"}; break;
    case 0x11: names = {"Control_L", "Control_R"}; break;
    case 0x12: names = {"Alt_L", "Alt_R", "Meta_L", "Meta_R"}; break;
    case 0x20: names = {"space"}; break;
    default:
      if ((vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9')) {
        names = {std::string(1, static_cast<char>(vk >= 'A' && vk <= 'Z' ? vk - 'A' + 'a' : vk))};
      }
      break;
  }
  if (names.empty()) return false;
  char keys[32] = {};
  XQueryKeymap(impl_->display, keys);
  for (const std::string& name : names) {
    const KeySym sym = XStringToKeysym(name.c_str());
    if (sym == NoSymbol) continue;
    const KeyCode code = XKeysymToKeycode(impl_->display, sym);
    if (code != 0 && (keys[code / 8] & (1 << (code % 8))) != 0) return true;
  }
  return false;
}

}  // namespace quill
