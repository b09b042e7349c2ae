// FakeWindowSystem: scripted windows for tests. Windows are entries with a
// class name, a shell flag and a visible flag; every call that changes
// something is appended to log() as one line ("hide 80000001",
// "pump 100", ...). PumpMessages calls on_pump when set (a test pumps its
// InProcessBus there), then advances the clock when one is given.
#pragma once

#include <cstdio>
#include <functional>
#include <map>
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
  };

  explicit FakeWindowSystem(FakeClock* clock = nullptr) : clock_(clock) {}

  void AddWindow(WindowHandle w, std::string class_name, bool shell = false,
                 bool visible = true) {
    windows_[w] = Window{std::move(class_name), shell, visible};
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
};

}  // namespace quill
