#include "clip/paste_target.h"

#include <cstdio>

#include "platform/log.h"
#include "platform/protocol/shared_hook_block.h"
#include "platform/sjis.h"

namespace quill {

namespace {

// Virtual keys the target tracking looks at.
constexpr uint8_t kVkBack = 0x08, kVkReturn = 0x0D, kVkShift = 0x10, kVkControl = 0x11,
                  kVkMenu = 0x12, kVkSpace = 0x20;

constexpr uint32_t kRetActivePumpMs = 500;  // after the main window came up, and after Enter
constexpr uint32_t kAfterActivatePumpMs = 200;
// The waits for the clipboard, the keys and the target look again this
// often: a copy is taken as soon as it is there.
constexpr uint32_t kWaitStepMs = 2;
constexpr uint32_t kNoCopyFlashMs = 500;
constexpr uint32_t kModifiersWaitMs = 500;
constexpr uint32_t kRestoreDelayMs = 1000;
// How long the activation of another application is waited for, at most
// (the window system's wait).
constexpr uint32_t kActivationWaitMs = 1000;
// A pump that a handler run inside it holds this much longer than asked
// is logged.
constexpr uint32_t kPumpOverrunMs = 1000;

// The letters of the key rows and the rows without a class list.
constexpr int kCtrlCRow = 3;  // also Ctrl+X
constexpr int kCtrlVRow = 2;
// The list of the message method in copy and cut (3) and paste (2).
constexpr size_t kCopyMessageList = 3;
constexpr size_t kPasteMessageList = 2;

uint32_t Elapsed(Clock& clock, uint32_t since) { return clock.TickCount() - since; }

std::string Cut(std::string s, size_t max) {
  quill::TruncateSjis(s, max);
  return s;
}

std::string HandleText(WindowHandle w) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%08x", static_cast<unsigned>(w));
  return buf;
}

}  // namespace

// ---------------------------------------------------------------------------
// ClipboardAccess

std::string ClipboardAccess::GetClipboardText() {
  return clipboard_.HasText() ? clipboard_.Text() : std::string();
}

void ClipboardAccess::SetClipboardText(const std::string& text) {
  state_.SelfCausedClipboard = true;
  clipboard_.SetText(text);
}

int ClipboardAccess::FindHtmlClipboardFormat(WindowHandle browser_target) {
  if (!clipboard_.HasHtml()) return 0;
  browsers_.Add(browser_target);  // a failed write keeps the list in memory
  return kHtmlFormat;
}

// ---------------------------------------------------------------------------
// PasteTarget

PasteTarget::PasteTarget(SharedHookBlock& block, DispatchState& state, WindowSystem& windows,
                         ClipboardAccess& clipboard, KeyInjector& keys, Ui& ui, Clock& clock,
                         CommandScheduler& scheduler, TargetView& view)
    : block_(block),
      state_(state),
      windows_(windows),
      access_(clipboard),
      clipboard_(clipboard.clipboard()),
      keys_(keys),
      ui_(ui),
      clock_(clock),
      scheduler_(scheduler),
      view_(view) {}

bool PasteTarget::ClassInList(std::string_view name, std::string_view list,
                              std::string_view separators) {
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find_first_of(separators, start);
    if (end == std::string_view::npos) end = list.size();
    std::string_view token = list.substr(start, end - start);
    if (!token.empty() && token == name) return true;
    start = end + 1;
  }
  return false;
}

template <size_t N>
size_t PasteTarget::FirstListHolding(const std::array<std::string, N>& lists) const {
  for (size_t i = 0; i < N; ++i) {
    if (ClassInList(TargetClass, lists[i])) return i;
  }
  return N;
}

void PasteTarget::CheckActiveTimerTimer() {
  if (block_.NoTrack() != 0) return;
  const WindowHandle front = windows_.ActiveWindow();
  if (front == 0) return;
  if (block_.BarWindow() != 0 && front == block_.BarWindow()) return;
  block_.SetTargetWindow(front);
}

WindowHandle PasteTarget::GetTargetFocusWindow(WindowHandle target) {
  for (size_t slot = SharedHookBlock::kFocusPairCount; slot-- > 0;) {
    const FocusPair pair = block_.FocusPairAt(slot);
    if (pair.top != target) continue;
    bool accepted = pair.focus == pair.top;
    if (!accepted) {
      const WindowHandle parent = windows_.Parent(pair.focus);
      accepted = parent != 0 && parent != block_.BarWindow();
    }
    if (accepted) {
      TargetClass = WindowClass(windows_, pair.focus);
      return pair.focus;
    }
  }
  TargetClass = "*";
  return 0;
}

void PasteTarget::Pump(uint32_t ms, const char* during) {
  const uint32_t start = clock_.TickCount();
  windows_.PumpMessages(ms);
  const uint32_t spent = Elapsed(clock_, start);
  if (spent > ms + kPumpOverrunMs) {
    LogLine(std::string("event loop: a handler run during the ") + during + " held it for " +
            std::to_string(spent) + " ms instead of " + std::to_string(ms) + " ms");
  }
}

bool PasteTarget::ActivateTargetWindow(WindowHandle window, bool with_return) {
  if (window == 0) return false;
  if (windows_.ActiveWindow() == window) return true;
  const uint8_t last = block_.LastKeyUp();
  if (with_return && block_.RetActive() != 0 &&
      (last == kVkReturn || last == kVkSpace || last == kVkBack)) {
    const uint32_t start = clock_.TickCount();
    view_.FocusTitleField();
    windows_.Activate(MainWindow());
    const uint32_t spent = Elapsed(clock_, start);
    if (spent < kRetActivePumpMs) Pump(kRetActivePumpMs - spent, "activation wait");
    // The Enter goes to the main window's title field, never to another
    // application.
    const WindowHandle front = windows_.ActiveWindow();
    if (front != window && front == MainWindow()) {
      keys_.PressEnter();
      Pump(kRetActivePumpMs, "activation wait");
    }
  }
  const bool active = windows_.Activate(window);
  // The main window may be hidden on purpose (a popup is up): only another
  // application that stays behind is a wait that ran out.
  if (!active && window != MainWindow()) {
    LogLine("activation wait: window " + HandleText(window) + " (" +
            WindowClass(windows_, window) + ") did not come to the front within " +
            std::to_string(kActivationWaitMs) + " ms");
  }
  state_.ClipboardChanged = false;
  Pump(kAfterActivatePumpMs, "activation wait");
  return active;
}

int PasteTarget::WaitClipboardChange(int n) {
  const uint32_t limit = 1000 + 2000 * static_cast<uint32_t>(n);
  const uint32_t start = clock_.TickCount();
  while (!state_.ClipboardChanged && Elapsed(clock_, start) <= limit) {
    Pump(kWaitStepMs, "copy wait");
  }
  if (state_.ClipboardChanged) {
    state_.CopyInProgress = false;
    return 0;
  }
  LogLine("copy wait: the clipboard got no new owner within " + std::to_string(limit) + " ms");
  if (n == 0) {
    state_.CopyInProgress = false;
    return 1;
  }
  return TimeOut();
}

int PasteTarget::TimeOut() {
  ui_.MessageBeep();
  ui_.ShowFlashIcon(FlashBitmap::kNoClip);
  Pump(kNoCopyFlashMs, "no-copy flash");
  ui_.HideFlashIcon();
  state_.CopyInProgress = false;
  return 1;
}

void PasteTarget::KeepClipboard() {
  SavedClipboard = Cut(access_.GetClipboardText(), kSavedClipboardMax);
  saved_formats_ = clipboard_.Snapshot();
  saved_text_of_formats_ = SavedClipboard;
  // What was kept now is what comes back: a paste before it has nothing
  // left to wait for.
  paste_pending_ = false;
}

void PasteTarget::WaitForModifiersUp() {
  const uint32_t start = clock_.TickCount();
  const auto held = [&] {
    return windows_.KeyDown(kVkShift) || windows_.KeyDown(kVkControl) ||
           windows_.KeyDown(kVkMenu);
  };
  while (held() && Elapsed(clock_, start) < kModifiersWaitMs) {
    Pump(kWaitStepMs, "key-release wait");
  }
  if (held()) {
    LogLine("key-release wait: Shift, Ctrl or Alt still held after " +
            std::to_string(kModifiersWaitMs) + " ms; the keys go out all the same");
  }
}

void PasteTarget::SendKeys(int what, int row) {
  WaitForModifiersUp();
  keys_.KeyIn(KeyInjector::kRelease, 0);
  keys_.KeyIn(what, row);
}

void PasteTarget::CopyPrimary() {
  if (!clipboard_.HasText(Selection::kPrimary)) return;
  access_.SetClipboardText(clipboard_.Text(Selection::kPrimary));
  state_.ClipboardChanged = true;
}

int PasteTarget::TakeSelection(int what, size_t list, EditAction action) {
  const WindowHandle target = state_.CommandTarget;
  if (target == MainWindow()) {
    if (view_.EditFocusedWidget(action)) state_.ClipboardChanged = true;
    return WaitClipboardChange(1);
  }
  if (list == kCopyMessageList) {
    state_.CopyInProgress = true;
    CopyPrimary();
    return WaitClipboardChange(1);
  }
  if (!ActivateTargetWindow(target, false)) {
    state_.CopyInProgress = true;
    return TimeOut();
  }
  state_.CopyInProgress = true;
  SendKeys(what, list < kCopyMessageList ? static_cast<int>(list) : kCtrlCRow);
  return WaitClipboardChange(1);
}

int PasteTarget::CopyFromTarget() {
  access_.RejoinClipboardChain();
  const WindowHandle target = state_.CommandTarget;
  TargetTopClass = WindowClass(windows_, target);
  const TargetSettings settings = view_.CurrentTargetSettings();
  TargetTitle = Cut(windows_.Title(target), kWindowClassMax);
  SourceName = TargetTitle;
  for (size_t i = 0; i < settings.source_classes.size(); ++i) {
    if (ClassInList(TargetTopClass, settings.source_classes[i])) {
      SourceName = settings.source_names[i];
      break;
    }
  }
  KeepClipboard();
  clipboard_.Clear();
  if (state_.SaveVariant == 1) block_.SetTargetWindow(target);
  const size_t list = FirstListHolding(settings.copy_lists);
  state_.ClipboardChanged = false;
  BrowserContextTarget = target;
  const int timed_out = TakeSelection(KeyInjector::kCopy, list, EditAction::kCopy);
  nothing_taken_ = timed_out != 0;
  return timed_out;
}

int PasteTarget::CutFromTarget() {
  access_.RejoinClipboardChain();
  state_.CommandTarget = block_.TargetWindow();
  TargetTopClass = WindowClass(windows_, state_.CommandTarget);
  KeepClipboard();
  clipboard_.Clear();
  const size_t list = FirstListHolding(view_.CurrentTargetSettings().cut_lists);
  state_.ClipboardChanged = false;
  cut_removes_text_ = state_.CommandTarget == MainWindow() || list != kCopyMessageList;
  const int timed_out = TakeSelection(KeyInjector::kCut, list, EditAction::kCut);
  nothing_taken_ = timed_out != 0;
  return timed_out;
}

uint64_t PasteTarget::FetchCount() {
  return clipboard_.FetchCount(Selection::kClipboard) + clipboard_.FetchCount(Selection::kPrimary);
}

void PasteTarget::PasteToTarget() {
  const WindowHandle target = state_.CommandTarget;
  const bool active = ActivateTargetWindow(target, true);
  ui_.MessageBeep();
  TargetTopClass = WindowClass(windows_, target);
  const size_t list = FirstListHolding(view_.CurrentTargetSettings().paste_lists);
  paste_fetches_ = FetchCount();
  paste_tick_ = clock_.TickCount();
  paste_pending_ = false;
  nothing_taken_ = false;
  if (active) {
    if (target != MainWindow() && list == kPasteMessageList) {
      // The text goes on PRIMARY as well; what PRIMARY held comes back
      // with the restore (the first paste's, when a second one comes
      // before it).
      if (!primary_owed_) saved_primary_ = clipboard_.Snapshot(Selection::kPrimary);
      primary_owed_ = true;
      clipboard_.SetText(clipboard_.Text(), Selection::kPrimary);
      WaitForModifiersUp();
      keys_.PressShiftInsert();
    } else {
      const bool own_row = target != MainWindow() && list < kPasteMessageList;
      SendKeys(KeyInjector::kPaste, own_row ? static_cast<int>(list) : kCtrlVRow);
    }
    paste_pending_ = true;
  }
  // A paste that keeps its text on the clipboard still owes PRIMARY.
  if (!KeepClipboardAfterPaste || primary_owed_) {
    scheduler_.Schedule(kRestoreDelayMs, static_cast<uint16_t>(CommandCode::kRestoreClipboard),
                        0);
  }
  clipboard_stays_ = KeepClipboardAfterPaste;
  KeepClipboardAfterPaste = false;
}

void PasteTarget::WaitForPasteFetch() {
  const auto waiting = [&] { return FetchCount() == paste_fetches_ && clipboard_.OwnsSelection(); };
  while (waiting() && Elapsed(clock_, paste_tick_) < kPasteFetchWaitMs) {
    Pump(kWaitStepMs, "paste-fetch wait");
  }
  if (waiting()) {
    LogLine("paste-fetch wait: the target fetched nothing within " +
            std::to_string(kPasteFetchWaitMs) + " ms of the paste");
  }
}

void PasteTarget::PutBack() {
  if (SavedClipboard == saved_text_of_formats_) {
    clipboard_.Restore(saved_formats_);
  } else {
    access_.SetClipboardText(SavedClipboard);
  }
}

void PasteTarget::PutBackPrimary() {
  if (!primary_owed_) return;
  primary_owed_ = false;
  // A selection the user has made since is theirs.
  if (clipboard_.OwnsSelection(Selection::kPrimary)) {
    clipboard_.Restore(saved_primary_, Selection::kPrimary);
  }
  saved_primary_ = ClipboardSnapshot();
}

void PasteTarget::RestoreClipboard(bool force) {
  if (!force && clipboard_stays_) {
    // The paste kept its text on the clipboard: only PRIMARY comes back.
    clipboard_stays_ = false;
    if (primary_owed_ && paste_pending_) WaitForPasteFetch();
    paste_pending_ = false;
    PutBackPrimary();
    return;
  }
  clipboard_stays_ = false;
  if (state_.CommandTarget == MainWindow()) {
    // What our own window copies or pastes stays on the clipboard; a copy
    // or cut that took nothing left it empty, so the user's comes back.
    if (nothing_taken_) PutBack();
  } else {
    const TargetSettings settings = view_.CurrentTargetSettings();
    const bool put_back =
        force || (settings.back_clipboard && !ClassInList(TargetTopClass, settings.no_hukki_class));
    if (!force && paste_pending_ && (put_back || primary_owed_)) WaitForPasteFetch();
    if (put_back) PutBack();
  }
  PutBackPrimary();
  nothing_taken_ = false;
  paste_pending_ = false;
  SavedClipboard.clear();
  saved_formats_ = ClipboardSnapshot();
  saved_text_of_formats_.clear();
}

}  // namespace quill
