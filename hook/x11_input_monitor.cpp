#include "hook/x11_input_monitor.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "hook/hook_procedures.h"
#include "platform/protocol/key_map.h"

// Xlib last: its macros (Status, Bool, None) clash with other headers.
#include "hook/x11_keyboard.h"

#include <X11/Xatom.h>
#include <X11/extensions/XInput2.h>
#include <X11/keysym.h>

namespace quill {

namespace {

using SteadyClock = std::chrono::steady_clock;

// How long the keys stay grabbed after the keyboard procedure was turned
// off, and how long Configure waits for the grabs.
constexpr auto kUngrabDelay = std::chrono::milliseconds(200);
constexpr auto kConfigureWait = std::chrono::seconds(2);
// How long HoldEnter waits for the grab.
constexpr auto kEnterGrabWait = std::chrono::seconds(1);

// Holds the posts of a procedure until the monitor may send them.
class QueuedPosts final : public MessageBus {
 public:
  bool PostMessage(WindowHandle window, uint32_t message, uint32_t wparam,
                   int32_t lparam) override {
    queue_.push_back(Message{window, message, wparam, lparam});
    return true;
  }
  void SendTo(MessageBus& bus) {
    for (const Message& m : queue_) bus.PostMessage(m.window, m.message, m.wparam, m.lparam);
    queue_.clear();
  }

 private:
  std::vector<Message> queue_;
};

// X ids have their top three bits clear; the handles of tests without a
// display do not.
bool CanBeXWindow(WindowHandle w) { return w != 0 && (w & 0xE0000000u) == 0; }

// The keys of one hot-key word as grabbed on the root window.
struct KeyGrab {
  std::vector<uint32_t> keycodes;  // every key of the word's virtual key
  unsigned int modifiers = 0;      // X modifier bits of the word
  bool held = false;               // the grabs are in place
};

// The key events seen last, to recognise a press that reaches the monitor
// twice: as a raw event and through the grab it starts.
struct SeenKey {
  uint32_t keycode = 0;
  Time time = 0;
  bool release = false;
  bool operator==(const SeenKey&) const = default;
};

}  // namespace

struct X11InputMonitor::Impl final : HookDesktop {
  Impl(std::unique_ptr<MessageBus> out, Clock& clock)
      : bus(std::move(out)), procedures(posts, clock, *this) {}

  ~Impl() override {
    if (wake_fd != -1) ::close(wake_fd);
    if (display != nullptr) XCloseDisplay(display);
  }

  // HookDesktop, on the monitor's thread.
  bool KeyboardIsOurs(WindowHandle main_window) override {
    if (SameClient(active, main_window)) return true;
    return std::any_of(menus.begin(), menus.end(),
                       [&](Window w) { return SameClient(w, main_window); });
  }

  bool Connect() {
    display = XOpenDisplay(nullptr);
    if (display == nullptr) return false;
    root = DefaultRootWindow(display);
    net_active_window = XInternAtom(display, "_NET_ACTIVE_WINDOW", False);
    net_wm_window_type = XInternAtom(display, "_NET_WM_WINDOW_TYPE", False);
    type_tooltip = XInternAtom(display, "_NET_WM_WINDOW_TYPE_TOOLTIP", False);
    type_dnd = XInternAtom(display, "_NET_WM_WINDOW_TYPE_DND", False);
    X11ErrorTrap trap(display);
    // The maps of the root's children show the menus, which the window
    // manager leaves alone.
    XSelectInput(display, root, PropertyChangeMask | SubstructureNotifyMask);
    int event = 0, error = 0;
    if (XQueryExtension(display, "XInputExtension", &xi_opcode, &event, &error)) {
      // Raw events reach every client that asks, whoever grabs the
      // keyboard, from version 2.1 on.
      int major = 2, minor = 2;
      if (XIQueryVersion(display, &major, &minor) == Success &&
          (major > 2 || (major == 2 && minor >= 1))) {
        unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
        XISetMask(bits, XI_RawKeyPress);
        XISetMask(bits, XI_RawKeyRelease);
        XISetMask(bits, XI_RawButtonPress);
        XIEventMask mask{XIAllMasterDevices, static_cast<int>(sizeof bits), bits};
        XISelectEvents(display, root, &mask, 1);
        raw_input = trap.Ok();
      }
    }
    ReadKeyboard();
    active = NetActiveWindow(display);
    wake_fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    return trap.Ok() && wake_fd != -1;
  }

  void Wake() {
    const uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(wake_fd, &one, sizeof one);
  }

  void Run() {
    SteadyClock::time_point revisit = SteadyClock::time_point::max();
    for (;;) {
      while (XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
        Handle(event);
      }
      bool due = false;
      bool enter_due = false;
      {
        std::lock_guard<std::mutex> lock(mutex);
        if (stop) return;
        due = requested != applied;
        enter_due = enter_hold_requested != enter_hold_applied || enter_release_requested;
      }
      if (due || SteadyClock::now() >= revisit) revisit = Reconcile();
      if (enter_due) ApplyEnterRequests();
      // Waiting for the server may have queued events.
      if (XEventsQueued(display, QueuedAlready) > 0) continue;
      XFlush(display);
      int timeout_ms = -1;
      if (revisit != SteadyClock::time_point::max()) {
        const auto left = revisit - SteadyClock::now();
        timeout_ms = static_cast<int>(
            std::max<int64_t>(0, std::chrono::ceil<std::chrono::milliseconds>(left).count()));
      }
      pollfd fds[2] = {{ConnectionNumber(display), POLLIN, 0}, {wake_fd, POLLIN, 0}};
      ::poll(fds, 2, timeout_ms);
      if ((fds[1].revents & POLLIN) != 0) {
        uint64_t count = 0;
        [[maybe_unused]] ssize_t n = ::read(wake_fd, &count, sizeof count);
      }
    }
  }

  void Handle(XEvent& event) {
    switch (event.type) {
      case GenericEvent:
        HandleRaw(event.xcookie);
        return;
      case KeyPress:
      case KeyRelease: {
        // Only a grab of ours sends these; while it lasts, the key events
        // come here instead of as raw events, except the press that
        // started it, which came both ways.
        const SeenKey key{event.xkey.keycode, event.xkey.time, event.type == KeyRelease};
        if (std::find(seen.begin(), seen.end(), key) == seen.end()) {
          HandleKey(key.keycode, key.release);
        }
        return;
      }
      case PropertyNotify:
        if (event.xproperty.window == root && event.xproperty.atom == net_active_window) {
          ActiveWindowChanged();
        }
        return;
      case MapNotify:
        if (event.xmap.event == root && event.xmap.override_redirect && IsMenu(event.xmap.window)) {
          menus.insert(event.xmap.window);
        }
        return;
      case UnmapNotify:
        if (event.xunmap.event == root) menus.erase(event.xunmap.window);
        return;
      case DestroyNotify:
        if (event.xdestroywindow.event == root) menus.erase(event.xdestroywindow.window);
        return;
      case MappingNotify:
        XRefreshKeyboardMapping(&event.xmapping);
        if (event.xmapping.request != MappingPointer) KeyboardChanged();
        return;
      default:
        return;
    }
  }

  void HandleRaw(XGenericEventCookie& cookie) {
    if (cookie.extension != xi_opcode || !XGetEventData(display, &cookie)) return;
    const auto* raw = static_cast<const XIRawEvent*>(cookie.data);
    const uint32_t detail = static_cast<uint32_t>(raw->detail);
    switch (cookie.evtype) {
      case XI_RawKeyPress:
      case XI_RawKeyRelease: {
        const bool release = cookie.evtype == XI_RawKeyRelease;
        seen[seen_next] = SeenKey{detail, raw->time, release};
        seen_next = (seen_next + 1) % seen.size();
        HandleKey(detail, release);
        break;
      }
      case XI_RawButtonPress:
        if (detail == 3) RightButtonDown();
        break;
      default:
        break;
    }
    XFreeEventData(display, &cookie);
  }

  void HandleKey(uint32_t keycode, bool release) {
    const KeyEvent event{keymap.VkOf(keycode), release, keycode};
    bool taken = false;
    bool injected_gone = false;
    {
      std::lock_guard<std::mutex> lock(mutex);
      if (config.keyboard && config.block != nullptr) {
        taken = procedures.KeyboardHookProc(config.block, event, keys);
        injected_gone = config.block->InjectCount() == 0;
      }
    }
    keys.Track(event);
    if (release) {
      if (keycode == held_hotkey.load()) held_hotkey.store(0);
    } else if (enter_held && IsEnter(keycode)) {
      // The press froze the keyboard. Taken, it ends here; otherwise the
      // server delivers it anew, past the grab, to the application.
      if (taken) {
        XUngrabKeyboard(display, CurrentTime);
      } else {
        XAllowEvents(display, ReplayKeyboard, CurrentTime);
      }
      XSync(display, False);
      if (taken && IsGrabbed(keycode)) held_hotkey.store(keycode);
    } else if (IsGrabbed(keycode)) {
      // The grab has handed us the keyboard; give it back before the
      // command goes out, so that quillmain's keys reach the application
      // (and, should the procedure not have taken the key, so that the
      // keys after it do).
      XUngrabKeyboard(display, CurrentTime);
      XSync(display, False);
      if (taken) held_hotkey.store(keycode);
    }
    // Enter is taken only while the injected keys are still to come.
    if (enter_held && injected_gone) UngrabEnter();
    posts.SendTo(*bus);
  }

  // Whether two windows belong to the same X client; a handle that is no
  // X id belongs to none.
  bool SameClient(WindowHandle a, WindowHandle b) const {
    return CanBeXWindow(a) && CanBeXWindow(b) && quill::SameClient(display, a, b);
  }

  // An unmanaged window that may hold the keyboard: a menu; not a tool
  // tip (the flash of a capture is one) nor a drag icon, which never do.
  bool IsMenu(Window w) {
    std::vector<unsigned long> types;
    {
      X11ErrorTrap trap(display);
      ReadLongs(display, w, net_wm_window_type, XA_ATOM, 16, &types);
    }
    return std::none_of(types.begin(), types.end(),
                        [&](unsigned long t) { return t == type_tooltip || t == type_dnd; });
  }

  void RightButtonDown() {
    std::lock_guard<std::mutex> lock(mutex);
    if (config.mouse) procedures.MouseHookProc(config.block, kWmRButtonDown);
  }

  void ActiveWindowChanged() {
    Window now = 0;
    {
      X11ErrorTrap trap(display);
      now = NetActiveWindow(display);
    }
    if (now == active) return;
    active = now;
    if (now == 0) return;
    {
      std::lock_guard<std::mutex> lock(mutex);
      if (config.cbt) {
        const WindowHandle window = static_cast<WindowHandle>(now);
        procedures.CbtHookProc(config.main_window, kCbtActivate, window);
        procedures.CbtHookProc(config.main_window, kCbtSetFocus, window);
      }
    }
    posts.SendTo(*bus);
  }

  // The grabs ------------------------------------------------------------

  void ReadKeyboard() {
    LoadKeyMap(display, &keymap);
    alt_mask = ModifierMaskOf(display, XK_Alt_L);
    if (alt_mask == 0) alt_mask = Mod1Mask;
    numlock_mask = ModifierMaskOf(display, XK_Num_Lock);
  }

  bool IsGrabbed(uint32_t keycode) const {
    for (const auto& [word, grab] : grabs) {
      if (grab.held && std::find(grab.keycodes.begin(), grab.keycodes.end(), keycode) !=
                           grab.keycodes.end()) {
        return true;
      }
    }
    return false;
  }

  // The word's modifiers with each state of CapsLock and NumLock.
  std::vector<unsigned int> Variants(unsigned int modifiers) const {
    std::vector<unsigned int> variants = {modifiers, modifiers | LockMask};
    if (numlock_mask != 0) {
      variants.push_back(modifiers | numlock_mask);
      variants.push_back(modifiers | numlock_mask | LockMask);
    }
    return variants;
  }

  void Ungrab(const KeyGrab& grab) {
    X11ErrorTrap trap(display);
    for (uint32_t keycode : grab.keycodes) {
      for (unsigned int modifiers : Variants(grab.modifiers)) {
        XUngrabKey(display, static_cast<int>(keycode), modifiers, root);
      }
    }
  }

  // Grabs the keys of `word`; a key another client holds adds its name
  // to `conflicts_found`.
  KeyGrab Grab(HotkeyWord word, std::vector<std::string>* conflicts_found) {
    KeyGrab grab;
    grab.keycodes = keymap.KeycodesOf(word.Key());
    if (word.Modifiers() & HotkeyWord::kShift) grab.modifiers |= ShiftMask;
    if (word.Modifiers() & HotkeyWord::kCtrl) grab.modifiers |= ControlMask;
    if (word.Modifiers() & HotkeyWord::kAlt) grab.modifiers |= alt_mask;
    if (grab.keycodes.empty()) return grab;  // no such key on this keyboard
    int error = 0;
    {
      X11ErrorTrap trap(display);
      for (uint32_t keycode : grab.keycodes) {
        for (unsigned int modifiers : Variants(grab.modifiers)) {
          XGrabKey(display, static_cast<int>(keycode), modifiers, root, False, GrabModeAsync,
                   GrabModeAsync);
        }
      }
      grab.held = trap.Ok();
      error = trap.error_code();
    }
    if (!grab.held) {
      Ungrab(grab);  // the combinations that did go through
      if (error == BadAccess) conflicts_found->push_back(HotkeyName(word));
    }
    return grab;
  }

  // The Enter grab ----------------------------------------------------------

  bool IsEnter(uint32_t keycode) const {
    return std::find(enter_keycodes.begin(), enter_keycodes.end(), keycode) !=
           enter_keycodes.end();
  }

  // Enter with any modifiers, the keyboard frozen at each press.
  void GrabEnter() {
    {
      std::lock_guard<std::mutex> lock(mutex);
      if (enter_held || !config.keyboard || config.block == nullptr) return;
    }
    enter_keycodes = keymap.KeycodesOf(vk::kReturn);
    if (enter_keycodes.empty()) return;
    {
      X11ErrorTrap trap(display);
      for (uint32_t keycode : enter_keycodes) {
        XGrabKey(display, static_cast<int>(keycode), AnyModifier, root, False, GrabModeAsync,
                 GrabModeSync);
      }
      enter_held = trap.Ok();
    }
    // Another client holds some Enter: without the grab the keys pass
    // as before.
    if (!enter_held) UngrabEnterKeys();
  }

  void UngrabEnter() {
    if (!enter_held) return;
    enter_held = false;
    UngrabEnterKeys();
    // An Enter whose press froze the keyboard and that is still undecided
    // goes on to the application: the keyboard never stays frozen.
    XAllowEvents(display, ReplayKeyboard, CurrentTime);
    XSync(display, False);
  }

  // Removes the grabs of the Enter keys, which takes the hot keys on them
  // too: those are grabbed again.
  void UngrabEnterKeys() {
    {
      X11ErrorTrap trap(display);
      for (uint32_t keycode : enter_keycodes) {
        XUngrabKey(display, static_cast<int>(keycode), AnyModifier, root);
      }
    }
    std::vector<std::string> found;
    for (auto& [word, grab] : grabs) {
      const bool on_enter =
          std::any_of(grab.keycodes.begin(), grab.keycodes.end(),
                      [&](uint32_t keycode) { return IsEnter(keycode); });
      if (grab.held && on_enter) grab = Grab(HotkeyWord(word), &found);
    }
    std::lock_guard<std::mutex> lock(mutex);
    conflicts.insert(conflicts.end(), found.begin(), found.end());
  }

  void ApplyEnterRequests() {
    uint64_t hold = 0;
    bool release = false;
    {
      std::lock_guard<std::mutex> lock(mutex);
      hold = enter_hold_requested;
      release = enter_release_requested;
      enter_release_requested = false;
    }
    if (release && enter_held) {
      // The keys injected before the request are all in the queue once the
      // server has answered: handle them, then let go.
      XSync(display, False);
      while (enter_held && XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
        Handle(event);
      }
      UngrabEnter();
    }
    if (hold != enter_hold_applied) {
      GrabEnter();
      std::lock_guard<std::mutex> lock(mutex);
      enter_hold_applied = hold;
    }
    enter_cv.notify_all();
  }

  // Brings the grabs in line with the configuration; returns when to look
  // again (a pending ungrab), or max.
  SteadyClock::time_point Reconcile() {
    uint64_t generation = 0;
    bool keyboard = false;
    std::vector<HotkeyWord> hotkeys;
    SteadyClock::time_point off_since;
    {
      std::lock_guard<std::mutex> lock(mutex);
      generation = requested;
      keyboard = config.keyboard;
      hotkeys = config.hotkeys;
      off_since = keyboard_off_since;
    }
    SteadyClock::time_point revisit = SteadyClock::time_point::max();
    std::set<uint16_t> wanted;
    bool keep = false;
    if (keyboard) {
      for (HotkeyWord word : hotkeys) {
        if (!word.IsNone() && !word.IsDoublePress()) wanted.insert(word.value);
      }
    } else {
      UngrabEnter();  // nothing would swallow it now
      if (!grabs.empty() && SteadyClock::now() < off_since + kUngrabDelay) {
        keep = true;
        revisit = off_since + kUngrabDelay;
      }
    }
    if (!keep) {
      for (auto it = grabs.begin(); it != grabs.end();) {
        if (wanted.count(it->first) != 0) {
          ++it;
          continue;
        }
        if (it->second.held) Ungrab(it->second);
        it = grabs.erase(it);
      }
    }
    std::vector<std::string> found;
    for (uint16_t word : wanted) {
      if (grabs.count(word) == 0) grabs.emplace(word, Grab(HotkeyWord(word), &found));
    }
    {
      std::lock_guard<std::mutex> lock(mutex);
      applied = generation;
      conflicts.insert(conflicts.end(), found.begin(), found.end());
    }
    applied_cv.notify_all();
    return revisit;
  }

  // The keycodes may have moved: the grabs move with them. A word another
  // client held stays as it was (it has been reported).
  void KeyboardChanged() {
    const bool held_enter = enter_held;
    UngrabEnter();
    for (auto& [word, grab] : grabs) {
      if (grab.held) Ungrab(grab);
    }
    ReadKeyboard();
    std::vector<std::string> found;
    for (auto& [word, grab] : grabs) {
      const bool conflict = !grab.held && !grab.keycodes.empty();
      if (!conflict) grab = Grab(HotkeyWord(word), &found);
    }
    {
      std::lock_guard<std::mutex> lock(mutex);
      conflicts.insert(conflicts.end(), found.begin(), found.end());
    }
    if (held_enter) GrabEnter();
  }

  // The connection, set up before the thread starts.
  Display* display = nullptr;
  Window root = 0;
  Atom net_active_window = 0;
  Atom net_wm_window_type = 0, type_tooltip = 0, type_dnd = 0;
  int xi_opcode = -1;
  bool raw_input = false;
  int wake_fd = -1;
  std::thread thread;

  // Shared with the callers, under `mutex`.
  std::mutex mutex;
  std::condition_variable applied_cv;
  Config config;
  uint64_t requested = 0;  // generations of the configuration
  uint64_t applied = 0;
  SteadyClock::time_point keyboard_off_since;
  bool stop = false;
  std::vector<std::string> conflicts;
  std::atomic<uint32_t> held_hotkey{0};
  std::condition_variable enter_cv;
  uint64_t enter_hold_requested = 0;  // generations of HoldEnter
  uint64_t enter_hold_applied = 0;
  bool enter_release_requested = false;

  // The monitor thread's own.
  std::unique_ptr<MessageBus> bus;
  QueuedPosts posts;
  HookProcedures procedures;  // calls under `mutex`
  KeyState keys;
  KeyMap keymap;
  unsigned int alt_mask = Mod1Mask;
  unsigned int numlock_mask = 0;
  std::map<uint16_t, KeyGrab> grabs;  // by hot-key word
  bool enter_held = false;            // the Enter grab is in place
  std::vector<uint32_t> enter_keycodes;
  Window active = 0;
  std::set<Window> menus;  // the mapped menus of any client
  std::array<SeenKey, 8> seen{};
  size_t seen_next = 0;
};

std::unique_ptr<X11InputMonitor> X11InputMonitor::Start(std::unique_ptr<MessageBus> bus,
                                                        Clock& clock) {
  auto impl = std::make_unique<Impl>(std::move(bus), clock);
  if (!impl->Connect()) return nullptr;
  Impl* running = impl.get();
  impl->thread = std::thread([running] { running->Run(); });
  return std::unique_ptr<X11InputMonitor>(new X11InputMonitor(std::move(impl)));
}

X11InputMonitor::X11InputMonitor(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

X11InputMonitor::~X11InputMonitor() {
  {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->stop = true;
  }
  impl_->Wake();
  if (impl_->thread.joinable()) impl_->thread.join();
}

bool X11InputMonitor::has_raw_input() const { return impl_->raw_input; }

void X11InputMonitor::Configure(const Config& config, bool wait) {
  std::unique_lock<std::mutex> lock(impl_->mutex);
  if (impl_->config.keyboard && !config.keyboard) {
    impl_->keyboard_off_since = SteadyClock::now();
  }
  impl_->config = config;
  const uint64_t generation = ++impl_->requested;
  impl_->Wake();
  if (!wait) return;
  impl_->applied_cv.wait_for(lock, kConfigureWait,
                             [&] { return impl_->applied >= generation || impl_->stop; });
}

std::vector<std::string> X11InputMonitor::TakeConflicts() {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  std::vector<std::string> names;
  names.swap(impl_->conflicts);
  return names;
}

void X11InputMonitor::HoldEnter() {
  std::unique_lock<std::mutex> lock(impl_->mutex);
  if (!impl_->config.keyboard || impl_->config.block == nullptr) return;
  const uint64_t generation = ++impl_->enter_hold_requested;
  impl_->Wake();
  impl_->enter_cv.wait_for(lock, kEnterGrabWait, [&] {
    return impl_->enter_hold_applied >= generation || impl_->stop;
  });
}

void X11InputMonitor::ReleaseEnter() {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->enter_release_requested = true;
  impl_->Wake();
}

uint32_t X11InputMonitor::HeldHotkey() const { return impl_->held_hotkey.load(); }

void X11InputMonitor::ForgetHeldHotkey() { impl_->held_hotkey.store(0); }

}  // namespace quill
