// The paste target in tests: the main window, an application (a scripted
// editor in window kApp) and everything between them, on the clock of a
// fault-injecting file environment. Clipboard notices arrive when the
// window system pumps, as they would from the event loop. The user's
// clipboard holds kMine.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "clip/card_append.h"
#include "clip/dispatch_test_support.h"
#include "clip/one_shot.h"
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

inline constexpr WindowHandle kApp = 0x00600001;  // another application
inline const std::string kMine = "mine";          // the user's clipboard

// The main window's side of target tracking: its settings, and a log of
// what its own widgets were asked to do.
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

// The main window as the dispatcher sees it: the capture goes to the
// paste target, the registration to the one-shot registration and the
// append to a remembered card to the card append, when there are ones.
class CaptureWindow final : public QuietTarget {
 public:
  PasteTarget* target = nullptr;
  OneShot* one_shot = nullptr;
  CardAppend* append = nullptr;

  bool HasAppendTitle() override { return append != nullptr && append->HasAppendTitle(); }
  void AppendToCard() override { append->AppendToLastCard(); }

  void ActivateTargetWindow(WindowHandle w, bool allow_enter) override {
    target->ActivateTargetWindow(w, allow_enter);
  }
  WindowHandle FocusedWindowOf(WindowHandle w) override { return target->GetTargetFocusWindow(w); }
  CopyResult CopyFromTarget() override {
    return target->CopyFromTarget() != 0 ? CopyResult::kTimedOut : CopyResult::kCopied;
  }
  void RestoreClipboard(bool forced) override { target->RestoreClipboard(forced); }
  void ReshowCapturedCard() override {
    if (one_shot != nullptr) one_shot->ReshowRecentCapture();
  }
  void RegisterFromClipboard() override {
    if (one_shot != nullptr) one_shot->RegisterFromClipboard();
  }
};

struct PasteTargetRig {
  explicit PasteTargetRig(std::string app_class = "Mousepad") {
    window.target = &target;
    block.SetMainWindow(main);
    windows.AddWindow(main, "Quillmain");
    app = &keys.AddTarget(kApp, std::move(app_class));
    block.SetTargetWindow(kApp);
    block.PushFocusPair({kApp, kApp});
    clipboard.queue_notices = true;
    clipboard.SetChangeListener(
        [this](const ClipboardChange& c) { dispatcher.ClipboardChangedNotice(c); });
    windows.on_pump = [this](uint32_t ms) {
      keys.Pump(ms);
      clipboard.DeliverNotices();
    };
    clipboard.OtherSetsText(kMine);
    clipboard.DeliverNotices();
    scheduler.Clear();
  }

  DispatchState& state() { return dispatcher.state(); }

  TempDir dir;
  FaultEnv env;
  FakeClock& clock = env.fake_clock();
  FakeWindowSystem windows{&clock};
  FakeClipboard clipboard;
  FakeKeyInjector keys{windows, clipboard, clock};
  FakeUi ui;
  InProcessBus bus{&clock};
  WindowHandle main = bus.CreateWindow();
  alignas(8) std::array<uint8_t, kSharedHookBlockSize> bytes{};
  SharedHookBlock block{std::span<uint8_t, kSharedHookBlockSize>(bytes)};
  CaptureWindow window;
  CommandScheduler scheduler{clock, bus, main};
  Dispatcher dispatcher{block, window, windows, ui, bus, clock, scheduler};
  RegistryStore registry{env, dir.File("registry.ini")};
  BrowserClassList browsers{block, registry, windows};
  ClipboardAccess access{clipboard, dispatcher.state(), browsers};
  FakeTargetView view;
  PasteTarget target{block, dispatcher.state(), windows, access, keys, ui,
                     clock, scheduler, view};
  FakeKeyInjector::Target* app = nullptr;
};

}  // namespace quill
