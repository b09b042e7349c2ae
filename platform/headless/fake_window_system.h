// FakeWindowSystem: scripted windows for tests. Windows are entries with a
// class name, a shell flag and a visible flag; every call that changes
// something is appended to log() as one line ("hide 80000001",
// "pump 100", ...). PumpMessages calls on_pump when set (a test pumps its
// InProcessBus there), then advances the clock when one is given.
#pragma once

#include <cstdio>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/headless/fake_clock.h"
#include "platform/window_system.h"

namespace quill {

class FakeWindowSystem final : public WindowSystem {
 public:
  struct Window {
    std::string class_name;
    bool shell = false;
    bool visible = true;
    std::string title;            // CP932
    WindowHandle parent = 0;      // 0: a top-level window
    WindowRect rect;
    bool refuses_front = false;   // Activate never makes it active
    bool above = false;           // set by SetRaiseAbove
  };

  explicit FakeWindowSystem(FakeClock* clock = nullptr) : clock_(clock) {}

  void AddWindow(WindowHandle w, std::string class_name, bool shell = false,
                 bool visible = true) {
    Window win;
    win.class_name = std::move(class_name);
    win.shell = shell;
    win.visible = visible;
    windows_[w] = std::move(win);
  }
  Window* Find(WindowHandle w) {
    auto it = windows_.find(w);
    return it == windows_.end() ? nullptr : &it->second;
  }

  std::string ClassName(WindowHandle w) override {
    Window* win = Find(w);
    return win != nullptr ? win->class_name : std::string();
  }
  bool IsShellWindow(WindowHandle w) override {
    Window* win = Find(w);
    return win != nullptr && win->shell;
  }
  bool IsVisible(WindowHandle w) override {
    Window* win = Find(w);
    return win != nullptr && win->visible;
  }
  void ShowWindow(WindowHandle w, ShowCommand command) override {
    const char* name = command == ShowCommand::kHide ? "hide"
                       : command == ShowCommand::kShow ? "show"
                                                        : "showna";
    Log(name, w);
    if (Window* win = Find(w)) win->visible = command != ShowCommand::kHide;
  }
  void BringToTop(WindowHandle w) override {
    Log("top", w);
    if (Window* win = Find(w)) win->visible = true;
  }
  void SetForegroundWindow(WindowHandle w) override { Log("foreground", w); }
  void PumpMessages(uint32_t ms) override {
    log_.push_back("pump " + std::to_string(ms));
    if (on_pump) on_pump(ms);
    if (clock_ != nullptr) clock_->AdvanceMs(ms);
  }

  std::vector<std::string>& log() { return log_; }
  std::function<void(uint32_t)> on_pump;

 private:
  void Log(const char* what, WindowHandle w) {
    char buf[32];
    std::snprintf(buf, sizeof buf, " %08x", static_cast<unsigned>(w));
    log_.push_back(std::string(what) + buf);
  }

  FakeClock* clock_;
  std::map<WindowHandle, Window> windows_;
  std::vector<std::string> log_;

 public:
  // Target tracking: an entry also has a title, a parent (0 for a
  // top-level window) and a rectangle. Activate makes the window's
  // top-level window active unless it refuses to come forward or is
  // hidden (it stays hidden), and logs "activate <handle>".

  // The window in front; tests set it to script the user's switches.
  void SetActiveWindow(WindowHandle w) { active_ = w; }
  ScreenPoint cursor;
  PixelSize screen{1280, 1024};

  WindowHandle ActiveWindow() override { return active_; }
  std::string Title(WindowHandle w) override {
    Window* win = Find(w);
    return win != nullptr ? win->title : std::string();
  }
  WindowHandle Parent(WindowHandle w) override {
    Window* win = Find(w);
    return win != nullptr ? win->parent : 0;
  }
  WindowHandle TopLevel(WindowHandle w) override {
    // Bounded, so that a scripted cycle cannot hang a test.
    for (int depth = 0; depth < 64; ++depth) {
      Window* win = Find(w);
      if (win == nullptr) return 0;
      if (win->parent == 0) return w;
      w = win->parent;
    }
    return 0;
  }
  bool Frame(WindowHandle w, WindowRect* rect) override {
    Window* win = Find(w);
    if (win == nullptr) return false;
    *rect = win->rect;
    return true;
  }
  PixelSize ScreenSize() override { return screen; }
  ScreenPoint CursorPos() override { return cursor; }
  bool Activate(WindowHandle w) override {
    Log("activate", w);
    WindowHandle top = TopLevel(w);
    Window* win = Find(top);
    if (win == nullptr || win->refuses_front || !win->visible) return false;
    active_ = top;
    return true;
  }
  bool SetRaiseAbove(WindowHandle w, bool above) override {
    Log(above ? "above" : "not-above", w);
    Window* win = Find(w);
    if (win == nullptr) return false;
    win->above = above;
    return true;
  }
  // The windows Activate was asked for, in order.
  std::vector<WindowHandle> activations() const {
    std::vector<WindowHandle> out;
    for (const std::string& line : log_) {
      if (line.rfind("activate ", 0) == 0) {
        out.push_back(static_cast<WindowHandle>(std::stoul(line.substr(9), nullptr, 16)));
      }
    }
    return out;
  }

 private:
  WindowHandle active_ = 0;

 public:
  // Tool windows: each request is logged ("no-take-focus <handle>",
  // "off-taskbar <handle>") and fails for a window that is not there.
  bool NeverTakeFocus(WindowHandle w) override {
    Log("no-take-focus", w);
    return Find(w) != nullptr;
  }
  bool KeepOffTaskbar(WindowHandle w) override {
    Log("off-taskbar", w);
    return Find(w) != nullptr;
  }

  // Key state: the virtual keys the user holds down.
  std::set<uint8_t> keys_down;
  bool KeyDown(uint8_t vk) override { return keys_down.count(vk) != 0; }
};

}  // namespace quill
