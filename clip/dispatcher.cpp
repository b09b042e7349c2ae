#include "clip/dispatcher.h"

#include <utility>

#include "platform/messages.h"
#include "platform/ui_messages.h"

namespace quill {

namespace {

constexpr uint32_t kMoveSettleMs = 1000;
constexpr uint32_t kHistoryDelayMs = 1000;
constexpr uint32_t kPopupPumpMs = 100;
constexpr uint32_t kShowPumpMs = 500;
constexpr int kDataSetCount = 10;

uint16_t Code(CommandCode c) { return static_cast<uint16_t>(c); }

}  // namespace

Dispatcher::Dispatcher(SharedHookBlock& block, DispatchTarget& target, WindowSystem& windows,
                       Ui& ui, MessageBus& bus, Clock& clock, CommandScheduler& scheduler)
    : block_(block),
      target_(target),
      windows_(windows),
      ui_(ui),
      bus_(bus),
      clock_(clock),
      scheduler_(scheduler) {}

void Dispatcher::WndProc(uint32_t message, uint32_t wparam, int32_t lparam) {
  switch (message) {
    case kWmDrawClipboard:
      if (state_.NextViewer != 0) bus_.PostMessage(state_.NextViewer, message, wparam, lparam);
      state_.ClipboardChanged = true;
      if (!state_.CopyInProgress && !state_.SelfCausedClipboard &&
          target_.CurrentSettings().use_history) {
        ScheduleCommand(kHistoryDelayMs, Code(CommandCode::kCaptureHistory), 0);
      }
      state_.SelfCausedClipboard = false;
      break;
    case kWmMove:
      ArmMoveWatcher();
      break;
    case kWmChangeCbChain:
      if (wparam == state_.NextViewer) {
        state_.NextViewer = static_cast<WindowHandle>(lparam);
      } else if (state_.NextViewer != 0) {
        bus_.PostMessage(state_.NextViewer, message, wparam, lparam);
      }
      break;
    case kWmNcActivate:
      state_.EditorCaret = target_.EditorCaret();
      break;
    case kWmActivate:
      state_.ActivationPending = true;
      break;
    case kCommandMessage:
      Command(wparam, lparam);
      break;
    case kCbtEvent:
      CbtEvent(wparam, static_cast<WindowHandle>(lparam));
      break;
    case kTrayCallback:
      TrayNotify(lparam);
      break;
    default:
      break;
  }
}

void Dispatcher::ClipboardChangedNotice(const ClipboardChange& change) {
  if (change.selection != Selection::kClipboard) return;
  // A change the program made itself is the one SelfCausedClipboard
  // stands for; a change by another application never is.
  state_.SelfCausedClipboard = false;
  if (change.ours) return;
  WndProc(kWmDrawClipboard, 0, 0);
}

void Dispatcher::Command(uint32_t code, int32_t lparam) {
  const auto target = static_cast<WindowHandle>(lparam);
  switch (static_cast<CommandCode>(code)) {
    case CommandCode::kSave:
    case CommandCode::kSaveHtml:
    case CommandCode::kSaveKubun: {
      // The hook set NoTrack before posting 8; the scope clears it on the
      // way out, the refusal included.
      CaptureScope scope(*this, code == Code(CommandCode::kSaveKubun));
      if (RefuseWhileCapturing()) return;
      const int variant = code == Code(CommandCode::kSaveKubun) ? 1 : 0;
      if (code != Code(CommandCode::kSaveKubun)) {
        state_.HtmlCapture = code == Code(CommandCode::kSaveHtml) ? 1 : 0;
      }
      scope.Hold();
      Activate(target, true);
      // Registering adds a card: wait for the tree.
      target_.RunWhenIdle([this, variant, target] {
        CaptureScope inner(*this, false);
        inner.Hold();
        SaveSelection(variant, target);
      });
      return;
    }
    case CommandCode::kPopupKubun: {
      // The chosen entry runs once the popup's command is over, as a
      // click posted by the menu would.
      std::function<void()> chosen;
      {
        CaptureScope scope(*this, true);
        if (RefuseWhileCapturing()) return;
        scope.Hold();
        state_.CommandTarget = target;
        state_.TargetFocus = target_.FocusedWindowOf(target);
        target_.KeepClipboardText();
        PrepareTargetPopup();
        chosen = target_.ShowKubunPopup();
        FinishTargetPopup();
      }
      if (chosen) chosen();
      return;
    }
    case CommandCode::kMagic: {
      std::function<void()> chosen;
      {
        CaptureScope scope(*this, true);
        scope.Hold();
        state_.CommandTarget = target;
        state_.TargetFocus = target_.FocusedWindowOf(target);
        PrepareTargetPopup();
        chosen = MagicMenuChoice();
        FinishTargetPopup();
        Activate(state_.CommandTarget, false);
      }
      if (chosen) chosen();
      return;
    }
    case CommandCode::kActive:
      Toggle(lparam, &state_.ToggleReturnWindow7);
      return;
    case CommandCode::kHandOver:
      HandOver();
      return;
    case CommandCode::kNewCard:
      if (!target_.CurrentSettings().new_card_win) {
        target_.RestoreApplication();
        Activate(MainWindow(), false);
      }
      target_.RunWhenIdle([this] { target_.AddNewClick(); });
      return;
    case CommandCode::kFind:
      target_.KensakuButtonClick();
      return;
    case CommandCode::kSuperPaste:
      // A paste reads cards and runs dialogs and popups of its own: it
      // waits for the tree, and a capture or paste running meanwhile
      // refuses it.
      if (RefuseWhileCapturing()) return;
      target_.RunWhenIdle([this, lparam] {
        CaptureScope scope(*this, false);
        scope.Hold();
        target_.SuperPaste(lparam);
      });
      return;
    case CommandCode::kRestoreClipboard:
      // Inside a running capture or popup (their pumps dispatch it) the
      // restore would put a clipboard back in the middle of their own
      // copy: they kept the clipboard afresh and put it back themselves.
      if (state_.CaptureBusy) return;
      target_.RestoreClipboard(false);
      return;
    case CommandCode::kCaptureHistory:
      target_.RunWhenIdle([this] { target_.CaptureHistory(); });
      return;
    case CommandCode::kResortFolder:
      target_.RunWhenIdle([this] { target_.ResortSelectedFolder(); });
      return;
    case CommandCode::kTakeCardWindow:
      target_.RunWhenIdle([this] { target_.TakeCardWindowResult(); });
      return;
    case CommandCode::kCardWindowMenu:
      // C++ division truncates toward zero, as the point is packed.
      target_.WindowClick(lparam % 65536, lparam / 65536);
      return;
    case CommandCode::kReopenMinimized:
      target_.RunWhenIdle([this] {
        target_.ReopenDataSet();
        target_.MinimizeApplication();
      });
      return;
    case CommandCode::kFocusBack:
      // Late for a capture or popup that runs now (the user was quicker
      // than the delay), it leaves the foreground and the main window to
      // that one.
      if (!state_.ChoosingFolder && !state_.CaptureBusy) {
        FinishTargetPopup();
        Activate(state_.CommandTarget, false);
      }
      return;
    case CommandCode::kShowSelected:
      target_.RunWhenIdle([this] { target_.ShowSelectedNode(); });
      return;
    case CommandCode::kCloseBar:
    case CommandCode::kRefreshBar:
      return;  // the bar's codes; nothing for the main window
  }
  // Any other code: nothing.
}

bool Dispatcher::RefuseWhileCapturing() {
  if (!state_.CaptureBusy) return false;
  ui_.MessageBeep();
  return true;
}

void Dispatcher::Activate(WindowHandle window, bool allow_enter) {
  if (window == 0) return;
  target_.ActivateTargetWindow(window, allow_enter);
}

void Dispatcher::Toggle(int32_t lparam, WindowHandle* return_window) {
  const WindowHandle main = MainWindow();
  if (main == block_.TargetWindow() && lparam != kActiveShowAlways) {
    target_.MinimizeApplication();
    UpdateTaskbarButton();
    if (*return_window != main) Activate(*return_window, false);
    return;
  }
  *return_window = block_.TargetWindow();
  target_.RestoreApplication();
  Activate(main, false);
  windows_.BringToTop(main);
}

void Dispatcher::HandOver() {
  // The second instance handed its argument over in SaveHint, where the
  // bar reads the one-shot folder's hint: take it and put the hint back.
  const std::string name = block_.SaveHint();
  block_.SetSaveHint(target_.OneShotHint());
  if (block_.BarWindow() != 0) {
    bus_.PostMessage(block_.BarWindow(), kCommandMessage, Code(CommandCode::kRefreshBar), 0);
  }
  if (name.empty()) {
    // A start without a data-set name only brings the window forward.
    Toggle(kActiveShowAlways, &state_.ToggleReturnWindow110);
    return;
  }
  Toggle(0, &state_.ToggleReturnWindow110);
  target_.RunWhenIdle([this, name] {
    target_.SaveEditorCard();
    for (int i = 1; i <= kDataSetCount; ++i) {
      if (target_.DataSetName(i) == name) {
        target_.SwitchDataSet(i);
        return;
      }
    }
    ShowWarning(ui_, MessageId::kDataSetNotFound);
  });
}

void Dispatcher::CbtEvent(uint32_t code, WindowHandle window) {
  if (block_.NoTrack() == 0) {
    switch (code) {
      case kCbtMoveSize:
      case kCbtMinMax:
        RememberTarget(window);
        return;
      case kCbtActivate:
        if (windows_.IsShellWindow(window)) return;
        target_.Rehook();
        RememberTarget(window);
        return;
      case kCbtSetFocus:
        if (windows_.ClassName(window) == "SysTabControl32") return;
        block_.PushFocusPair(FocusPair{block_.TargetWindow(), window});
        return;
      default:
        return;
    }
  }
  if (code != kCbtActivate) return;
  if (windows_.IsShellWindow(window)) {
    ui_.MessageBeep();
    return;
  }
  target_.Rehook();
  if (block_.BarWindow() == 0) {
    block_.SetTargetWindow(window);  // NoTrack stays set
  } else if (window != block_.TargetWindow()) {
    block_.SetNoTrack(0);
    block_.SetTargetWindow(window);
  }
}

void Dispatcher::RememberTarget(WindowHandle window) {
  if (block_.BarWindow() != 0 && window == block_.BarWindow()) return;
  block_.SetTargetWindow(window);
}

void Dispatcher::RunSaveCommand(int variant, WindowHandle target) {
  if (RefuseWhileCapturing()) return;
  CaptureScope scope(*this, false);
  scope.Hold();
  SaveSelection(variant, target);
}

void Dispatcher::SaveSelection(int variant, WindowHandle target) {
  state_.SaveVariant = variant;
  state_.CommandTarget = target;
  state_.TargetFocus = target_.FocusedWindowOf(target);
  if (target_.CopyFromTarget() == CopyResult::kTimedOut) {
    Activate(target, false);
    target_.RestoreClipboard(true);
    target_.ReshowCapturedCard();
    return;
  }
  if (variant == 0 && target_.HasAppendTitle()) {
    target_.AppendToCard();
    return;
  }
  target_.RegisterFromClipboard();
}

void Dispatcher::PrepareTargetPopup() {
  const WindowHandle main = MainWindow();
  if (windows_.IsVisible(main) && main != state_.CommandTarget) {
    windows_.ShowWindow(main, ShowCommand::kHide);
    state_.MainHiddenForPopup = true;
  }
  windows_.PumpMessages(kPopupPumpMs);
  state_.PopupPrepared = true;
  Activate(main, false);  // the popup belongs to the foreground
}

void Dispatcher::FinishTargetPopup() {
  if (!state_.PopupPrepared) return;
  if (state_.MainHiddenForPopup) {
    windows_.ShowWindow(MainWindow(), ShowCommand::kShowNoActivate);
    if (state_.CommandTarget != 0) {
      windows_.BringToTop(state_.CommandTarget);
      windows_.SetForegroundWindow(state_.CommandTarget);
    }
    state_.MainHiddenForPopup = false;
  }
  Activate(state_.CommandTarget, true);
  state_.PopupPrepared = false;
}

std::function<void()> Dispatcher::MagicMenuChoice() {
  block_.SetRightClickCount(0);
  block_.SetNoTrack(1);
  std::function<void()> chosen = target_.ShowMagicMenu();
  block_.SetNoTrack(0);
  Activate(state_.CommandTarget, true);
  return chosen;
}

bool Dispatcher::PopupMagicMenu() {
  std::function<void()> chosen = MagicMenuChoice();
  if (!chosen) return false;
  chosen();
  return true;
}

void Dispatcher::UpdateTaskbarButton() {
  target_.SetTaskbarButtonVisible(target_.CurrentSettings().tool_bar);
}

void Dispatcher::ArmMoveWatcher() {
  state_.MoveWatcher.tick = clock_.TickCount();
  state_.MoveWatcher.armed = true;
}

void Dispatcher::SettleMoveWatcher() {
  if (!state_.MoveWatcher.armed) return;
  state_.MoveWatcher.armed = false;
  target_.CheckWindowPlacement();
}

void Dispatcher::Timer1Timer() {
  if (state_.MoveWatcher.armed && clock_.TickCount() - state_.MoveWatcher.tick > kMoveSettleMs) {
    SettleMoveWatcher();
  }
  if (state_.ActivationPending) {
    UpdateTaskbarButton();
    state_.ActivationPending = false;
  }
  scheduler_.Tick();
}

void Dispatcher::TrayNotify(int32_t mouse_message) {
  state_.TrayPopupFlag = true;
  const DispatchSettings settings = target_.CurrentSettings();
  std::optional<TrayDecision> d = tray_.Decide(mouse_message, clock_.TickCount(),
                                               settings.single_folder, settings.tray_dbl_click);
  if (!d) return;
  if (d->save_variant) state_.SaveVariant = *d->save_variant;
  ScheduleCommand(d->delay_ms, d->code, static_cast<int32_t>(block_.TargetWindow()));
}

void Dispatcher::KQuillbox4Click() {
  windows_.PumpMessages(kShowPumpMs);
  block_.SetTargetWindow(MainWindow());
  bus_.PostMessage(MainWindow(), kCommandMessage, Code(CommandCode::kActive), kActiveShowAlways);
}

void Dispatcher::ButtonWindowClick() {
  // A bar that died without clearing BarWindow cannot take the message:
  // the item starts a new one instead of posting into the void.
  if (block_.BarWindow() == 0 ||
      !bus_.PostMessage(block_.BarWindow(), kCommandMessage, Code(CommandCode::kCloseBar), 0)) {
    target_.StartButtonBar();
  }
}

void Dispatcher::TrayEndClick() {
  state_.PopupPrepared = false;
  target_.CloseMainWindow();
}

void Dispatcher::ClipToolClick() {
  bus_.PostMessage(MainWindow(), kCommandMessage, Code(CommandCode::kMagic),
                   static_cast<int32_t>(MainWindow()));
}

}  // namespace quill
