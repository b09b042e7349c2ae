// Dispatcher: the main window's window procedure and the state it shares
// with capture and paste-out.
//
// Everything that reaches quillmain from outside its own controls comes
// through WndProc: clipboard change notices, moves and activations of the
// main window, the command message (kCommandMessage, wParam = CommandCode,
// lParam = argument, as a rule the target window), the hook's window events
// (kCbtEvent) and the tray icon's mouse messages (kTrayCallback). The
// Dispatcher decides; what the main window does for a command goes through
// DispatchTarget, the desktop through WindowSystem, beeps through Ui and the
// posts through MessageBus, so the whole table runs without a display.
//
// Guards kept here:
// - CaptureBusy is held by a scope over a registration (codes 2, 3, 8),
//   over the popups of codes 6, 8 and 13 and over a super key's paste (18);
//   codes 2, 3, 6, 8 and 18 arriving meanwhile (through a popup's or a
//   dialog's message loop) beep and do nothing else.
// - NoTrack, which the hook sets when it posts 6, 8 or 13, is cleared on
//   every way out of those commands (the beep included) once no other of
//   them is still running.
// - Commands that change the store or the tree run through
//   DispatchTarget::RunWhenIdle, so they wait while the tree is loading.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "clip/scheduler.h"
#include "clip/tray_clicks.h"
#include "platform/clipboard.h"
#include "platform/clock.h"
#include "platform/message_bus.h"
#include "platform/protocol/shared_hook_block.h"
#include "platform/ui.h"
#include "platform/window_system.h"

namespace quill {

// Window messages of the main window besides our own.
inline constexpr uint32_t kWmMove = 0x0003;
inline constexpr uint32_t kWmActivate = 0x0006;
inline constexpr uint32_t kWmNcActivate = 0x0086;
inline constexpr uint32_t kWmDrawClipboard = 0x0308;
inline constexpr uint32_t kWmChangeCbChain = 0x030D;

// The settings the dispatcher reads, taken fresh for each decision.
struct DispatchSettings {
  bool use_history = true;     // UseHistory: clipboard changes go to the history
  bool single_folder = false;  // SingleFolder == 1: tray right press and double swap
  bool tray_dbl_click = false; // TrayDblClick: tray double click shows (7), else new card (15)
  bool new_card_win = false;   // NewCardWin: code 15 leaves the main window hidden
  bool tool_bar = true;        // ToolBar: the program has a task-bar button
};

enum class CopyResult { kCopied, kTimedOut };

// What the main window does for the dispatcher.
class DispatchTarget {
 public:
  virtual ~DispatchTarget() = default;

  virtual DispatchSettings CurrentSettings() = 0;
  // Runs `command` now, or after the tree has finished loading.
  virtual void RunWhenIdle(std::function<void()> command) = 0;

  // The application and its main window.
  virtual void RestoreApplication() = 0;
  virtual void MinimizeApplication() = 0;
  virtual void SetTaskbarButtonVisible(bool visible) = 0;
  virtual void CheckWindowPlacement() = 0;  // stores the main window's geometry
  virtual int EditorCaret() = 0;            // selection start of the card editor
  virtual void StartButtonBar() = 0;
  virtual void CloseMainWindow() = 0;

  // Commands of the main window.
  virtual void SaveEditorCard() = 0;
  virtual void AddNewClick() = 0;
  virtual void KensakuButtonClick() = 0;
  virtual void ResortSelectedFolder() = 0;  // re-sort, then write the folder list
  virtual void TakeCardWindowResult() = 0;
  virtual void WindowClick(int x, int y) = 0;  // the card-window menu at a screen point
  virtual void ReopenDataSet() = 0;            // the current one, without saving first
  virtual void ShowSelectedNode() = 0;
  virtual std::string DataSetName(int index) = 0;  // 1..10; "" for an unnamed slot
  virtual void SwitchDataSet(int index) = 0;
  // The one-shot folder hint that SaveHint holds outside a hand-over.
  virtual std::string OneShotHint() = 0;

  // Target tracking, capture and paste-out.
  virtual void ActivateTargetWindow(WindowHandle window, bool allow_enter) = 0;
  virtual WindowHandle FocusedWindowOf(WindowHandle window) = 0;
  virtual CopyResult CopyFromTarget() = 0;
  virtual void RestoreClipboard(bool forced) = 0;
  virtual void ReshowCapturedCard() = 0;
  virtual bool HasAppendTitle() = 0;  // the register-here menu chose a card to append to
  virtual void AppendToCard() = 0;
  virtual void RegisterFromClipboard() = 0;
  virtual void KeepClipboardText() = 0;  // into SavedClipboard, at most 1,100,000 bytes
  // The folder popup and the clip-tool menu at the cursor. Each returns
  // when its menu has closed, with the chosen entry's click (empty when
  // none was chosen): the dispatcher runs it after the command's closing
  // steps, outside the menu.
  virtual std::function<void()> ShowKubunPopup() = 0;
  virtual std::function<void()> ShowMagicMenu() = 0;
  virtual void SuperPaste(int slot) = 0;
  virtual void CaptureHistory() = 0;
  // Removes the three hooks and installs them again (_SetCBTHook).
  virtual void Rehook() = 0;
};

// The fields of the main window that the commands share (all 0 at first).
struct DispatchState {
  WindowHandle NextViewer = 0;
  bool ClipboardChanged = false;
  bool CopyInProgress = false;
  bool SelfCausedClipboard = false;
  bool CaptureBusy = false;
  int SaveVariant = 0;  // 0 straight into the one-shot folder, 1 choose the folder
  WindowHandle CommandTarget = 0;
  WindowHandle TargetFocus = 0;
  uint8_t HtmlCapture = 0;
  bool PopupPrepared = false;
  bool MainHiddenForPopup = false;
  bool TrayPopupFlag = false;
  bool ChoosingFolder = false;
  int EditorCaret = 0;
  struct {
    uint32_t tick = 0;
    bool armed = false;
  } MoveWatcher;
  bool ActivationPending = false;
  WindowHandle ToggleReturnWindow7 = 0;
  WindowHandle ToggleReturnWindow110 = 0;
};

class Dispatcher {
 public:
  Dispatcher(SharedHookBlock& block, DispatchTarget& target, WindowSystem& windows, Ui& ui,
             MessageBus& bus, Clock& clock, CommandScheduler& scheduler);

  // The window procedure: every message posted to the main window.
  void WndProc(uint32_t message, uint32_t wparam, int32_t lparam);
  // The 100 ms timer: the move watcher, the task-bar button, the scheduler.
  void Timer1Timer();
  void ScheduleCommand(uint32_t delay_ms, uint16_t code, int32_t lparam) {
    scheduler_.Schedule(delay_ms, code, lparam);
  }

  // A tray mouse message (0x201, 0x203, 0x204, 0x206; others do nothing).
  void TrayNotify(int32_t mouse_message);
  // A change of the clipboard. Changes of the CLIPBOARD by another
  // application are the main window's clipboard notice (WM_DRAWCLIPBOARD);
  // the program's own changes are never captured nor end a wait for a copy,
  // and the PRIMARY selection is not watched.
  void ClipboardChangedNotice(const ClipboardChange& change);

  void RunSaveCommand(int variant, WindowHandle target);
  void PrepareTargetPopup();
  void FinishTargetPopup();
  // The clip-tool menu with RightClickCount zeroed and NoTrack set; the
  // foreground goes back to CommandTarget, then the chosen tool runs.
  // True when a tool was chosen.
  bool PopupMagicMenu();
  void UpdateTaskbarButton();
  void ArmMoveWatcher();
  // What the armed move watcher would store once the move has settled,
  // stored now (the window is closing); nothing when it is not armed.
  void SettleMoveWatcher();

  // Tray menu items and the clip-tool button (the parts that decide).
  void KQuillbox4Click();  // pumps 500 ms, then posts 7 with 0x471 to the main window
  void ButtonWindowClick();
  void TrayEndClick();
  void ClipToolClick();

  DispatchState& state() { return state_; }
  TrayClicks& tray() { return tray_; }
  WindowHandle MainWindow() const { return block_.MainWindow(); }

 // Holds CaptureBusy while it lives (after Hold), nested in any scope
  // already open: the previous value comes back at its end.
  class CaptureScope;

 private:
  void Command(uint32_t code, int32_t lparam);
  void CbtEvent(uint32_t code, WindowHandle window);
  void RememberTarget(WindowHandle window);
  void Toggle(int32_t lparam, WindowHandle* return_window);
  void HandOver();
  void Activate(WindowHandle window, bool allow_enter);
  // The prologue of codes 2, 3, 6 and 8: true (after a beep) when a
  // capture is running and the command must do nothing else.
  bool RefuseWhileCapturing();
  // PopupMagicMenu up to the choice, which it returns unrun.
  std::function<void()> MagicMenuChoice();
  // RunSaveCommand's steps after the refusal, with CaptureBusy held.
  void SaveSelection(int variant, WindowHandle target);

  SharedHookBlock& block_;
  DispatchTarget& target_;
  WindowSystem& windows_;
  Ui& ui_;
  MessageBus& bus_;
  Clock& clock_;
  CommandScheduler& scheduler_;
  TrayClicks tray_;
  DispatchState state_;
  int capture_depth_ = 0;       // CaptureScopes open now
  bool no_track_owed_ = false;  // a 6, 8 or 13 ended while another ran
};

// Holds CaptureBusy over a registration or a popup and settles NoTrack on
// the way out, whichever way that is. Scopes nest through the popups'
// message loops; the previous CaptureBusy comes back at the end of each, and
// NoTrack is cleared when the outermost ends if any 6, 8 or 13 ran inside.
class Dispatcher::CaptureScope {
 public:
  CaptureScope(Dispatcher& d, bool clears_no_track)
      : d_(d), was_busy_(d.state_.CaptureBusy) {
    ++d_.capture_depth_;
    if (clears_no_track) d_.no_track_owed_ = true;
  }
  CaptureScope(const CaptureScope&) = delete;
  CaptureScope& operator=(const CaptureScope&) = delete;
  ~CaptureScope() {
    d_.state_.CaptureBusy = was_busy_;
    if (--d_.capture_depth_ == 0 && d_.no_track_owed_) {
      d_.no_track_owed_ = false;
      d_.block_.SetNoTrack(0);
    }
  }
  void Hold() { d_.state_.CaptureBusy = true; }

 private:
  Dispatcher& d_;
  bool was_busy_;
};

}  // namespace quill
