// Target tracking in tests: the main window, another application with a
// selection, and the paste target between them over the fakes.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "clip/dispatch_test_support.h"
#include "clip/paste_target.h"
#include "platform/headless/fake_clipboard.h"
#include "platform/headless/fake_clock.h"
#include "platform/headless/fake_key_injector.h"
#include "platform/headless/fake_ui.h"
#include "platform/headless/fake_window_system.h"
#include "platform/headless/fault_env.h"
#include "platform/headless/in_process_bus.h"
#include "platform/headless/temp_dir.h"

namespace quill {

inline constexpr WindowHandle kTargetApp = 0x00600001;  // another application
inline constexpr WindowHandle kOtherApp = 0x00700001;

class FakeTargetView final : public TargetView {
 public:
  TargetSettings settings;
  std::vector<std::string> log;
  bool widget_has_selection = true;

  TargetSettings CurrentTargetSettings() override { return settings; }
  void FocusTitleField() override { log.push_back("focus title"); }
  bool EditFocusedWidget(EditAction action) override {
    log.push_back(action == EditAction::kCopy ? "widget copy"
                  : action == EditAction::kCut ? "widget cut"
                                                : "widget paste");
    if (on_edit) return on_edit(action);
    return action != EditAction::kPaste && widget_has_selection;
  }
  // What the focused widget does, when set.
  std::function<bool(EditAction)> on_edit;
};

// The main window, another application with a selection, and everything
// between them. Clipboard notices arrive when the window system pumps, as
// they would from the event loop.
struct TargetRig {
  FakeClock clock;
  FakeWindowSystem windows{&clock};
  FakeClipboard clipboard;
  FakeKeyInjector keys{windows, clipboard, clock};
  FakeUi ui;
  InProcessBus bus{&clock};
  WindowHandle main = bus.CreateWindow();
  alignas(8) std::array<uint8_t, kSharedHookBlockSize> bytes{};
  SharedHookBlock block{std::span<uint8_t, kSharedHookBlockSize>(bytes)};
  QuietTarget quiet;
  CommandScheduler scheduler{clock, bus, main};
  Dispatcher dispatcher{block, quiet, windows, ui, bus, clock, scheduler};
  TempDir dir;
  FaultEnv env;
  RegistryStore registry{env, dir.File("registry.ini")};
  BrowserClassList browsers{block, registry, windows};
  ClipboardAccess access{clipboard, dispatcher.state(), browsers};
  FakeTargetView view;
  PasteTarget target{block, dispatcher.state(), windows, access, keys, ui,
                     clock, scheduler, view};
  FakeKeyInjector::Target* app;

  explicit TargetRig(std::string app_class = "Mousepad") {
    block.SetMainWindow(main);
    windows.AddWindow(main, "Quillmain");
    windows.AddWindow(kOtherApp, "Other");
    app = &keys.AddTarget(kTargetApp, std::move(app_class), "hello world");
    keys.Select(kTargetApp, 6, 5);  // "world"
    windows.SetActiveWindow(kOtherApp);
    block.SetTargetWindow(kTargetApp);
    block.PushFocusPair({kTargetApp, kTargetApp});
    DeliverOnPump(windows, clipboard, keys, dispatcher);
    // The user's clipboard before the command.
    clipboard.OtherSetsText("mine");
    clipboard.DeliverNotices();
    scheduler.Clear();
  }

  DispatchState& state() { return dispatcher.state(); }
  void Command(WindowHandle w) {
    state().CommandTarget = w;
    state().TargetFocus = target.GetTargetFocusWindow(w);
  }
  int Copy(WindowHandle w = kTargetApp) {
    Command(w);
    return target.CopyFromTarget();
  }
};

}  // namespace quill
