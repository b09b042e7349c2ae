// The clipboard as the commands use it, and the paste target: the
// application that was last in front, which the program makes copy, cut
// or paste.
//
// ClipboardAccess reads and writes the CLIPBOARD as text and tells whether
// it offers HTML. PasteTarget tracks the target and its focused window,
// hands the foreground to it, makes it copy, cut or paste, waits for the
// clipboard to change, and puts the user's clipboard back afterwards.
//
// How a target is made to copy, cut or paste depends on the class of its
// focused window (TargetClass): the first class list of the settings that
// holds it chooses a key sequence (KeyInjector::KeyIn) or the message
// method. On X the message methods work through the selections, for
// terminals, where Ctrl+C interrupts the running program: copy and cut take
// the PRIMARY selection (what the user selected) onto the CLIPBOARD and
// delete nothing; paste puts the text on PRIMARY too and presses
// Shift+Insert. For the program's own main window they are the focused
// widget's copy, cut and paste.
//
// Keys go only to the target: when it does not come to the front within
// the window system's wait, no key is typed (a copy or cut then times out
// at once). A copy waits for a new owner of the CLIPBOARD; the program's
// own changes (the emptying before the copy) never end that wait.
//
// Every wait here is bounded by the clock: the activation (1 s, and the
// Enter steps' pumps), the release of the user's modifiers (500 ms), the
// copy (1,000 + 2,000 x n ms) and the fetch of a pasted text (5 s after the
// paste). A wait that runs out, and a handler that holds one of their
// pumps for long, leave a line in the program's log naming the wait.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "clip/browser_classes.h"
#include "clip/dispatcher.h"
#include "clip/scheduler.h"
#include "platform/clipboard.h"
#include "platform/clock.h"
#include "platform/key_injector.h"
#include "platform/protocol/shared_hook_block.h"
#include "platform/ui.h"
#include "platform/window_system.h"

namespace quill {

class ClipboardAccess {
 public:
  // The id FindHtmlClipboardFormat returns when the CLIPBOARD offers HTML.
  static constexpr int kHtmlFormat = 1;

  ClipboardAccess(Clipboard& clipboard, DispatchState& state, BrowserClassList& browsers)
      : clipboard_(clipboard), state_(state), browsers_(browsers) {}

  // The CLIPBOARD's whole text (CP932, CR LF); "" when it holds none.
  std::string GetClipboardText();
  // Puts the text on the CLIPBOARD, marking the change as the program's
  // own (SelfCausedClipboard).
  void SetClipboardText(const std::string& text);
  // kHtmlFormat when the CLIPBOARD offers HTML, after the class of
  // `browser_target`'s focused window has moved to the front of the
  // browser classes; 0 otherwise.
  int FindHtmlClipboardFormat(WindowHandle browser_target);
  // Change notices need no chain here: nothing to join again.
  void RejoinClipboardChain() {}

  Clipboard& clipboard() { return clipboard_; }

 private:
  Clipboard& clipboard_;
  DispatchState& state_;
  BrowserClassList& browsers_;
};

// The settings target tracking reads, taken fresh for each command. Class
// lists are window-class names separated by commas.
struct TargetSettings {
  // PASTE_ALT_E_P, PASTE_SHIFT_F9, PASTE_WM_PASTE
  std::array<std::string, 3> paste_lists;
  // COPY_ALT_E_C, COPY_F8, COPY_SHIFT_F8, COPY_WM_COPY
  std::array<std::string, 4> copy_lists;
  // CUT_ALT_E_T, CUT_F7, CUT_F8, CUT_WM_CUT
  std::array<std::string, 4> cut_lists;
  std::string no_hukki_class;   // NoHukkiClass: targets whose clipboard is not put back
  bool back_clipboard = false;  // BackClipBoard: put the clipboard back after a paste
  // Source rules Syutten1..10: a name and its class list each.
  std::array<std::string, 10> source_names;
  std::array<std::string, 10> source_classes;
};

enum class EditAction { kCopy, kCut, kPaste };

// What the main window does for target tracking.
class TargetView {
 public:
  virtual ~TargetView() = default;
  virtual TargetSettings CurrentTargetSettings() = 0;
  // Gives the keyboard focus to the card title field.
  virtual void FocusTitleField() = 0;
  // The main window's focused widget copies, cuts or pastes. True when a
  // copy or cut put something on the clipboard.
  virtual bool EditFocusedWidget(EditAction action) = 0;
};

class PasteTarget {
 public:
  // How long a paste's text is kept on the clipboard, at most, for the
  // target to fetch it before the user's clipboard comes back.
  static constexpr uint32_t kPasteFetchWaitMs = 5000;
  // The most text kept of the user's clipboard (SavedClipboard).
  static constexpr size_t kSavedClipboardMax = 1099999;

  PasteTarget(SharedHookBlock& block, DispatchState& state, WindowSystem& windows,
              ClipboardAccess& clipboard, KeyInjector& keys, Ui& ui, Clock& clock,
              CommandScheduler& scheduler, TargetView& view);

  // CheckActiveTimerTimer: the window in front becomes the target, unless
  // tracking is off (NoTrack) or it is the button bar.
  void CheckActiveTimerTimer();
  // The focused inner window of `target` from the focus pairs, 0 when none
  // is known; sets TargetClass (its class, or "*" when none is known).
  WindowHandle GetTargetFocusWindow(WindowHandle target);
  // Brings `window` to the front; with `with_return`, the RetActive steps
  // first. True when it is in front.
  bool ActivateTargetWindow(WindowHandle window, bool with_return);
  // Pumps until the CLIPBOARD has a new owner or 1,000 + 2,000 x n ms have
  // passed; 1 on time-out (with a beep and the no-copy flash when n is not
  // 0), else 0. CopyInProgress is cleared at the end.
  int WaitClipboardChange(int n);
  // The target (CommandTarget) copies its selection; 1 on time-out.
  int CopyFromTarget();
  // The target (TargetWindow) cuts its selection; 1 on time-out.
  int CutFromTarget();
  // Whether the last cut took the selection out of the target's text (by
  // keys, or the main window's widget), not only a copy of PRIMARY.
  bool LastCutRemovedText() const { return cut_removes_text_; }
  // The target (CommandTarget) pastes the CLIPBOARD's text; the user's
  // clipboard comes back a second later (command 12) unless
  // KeepClipboardAfterPaste, and PRIMARY, when the selection method
  // changed it, in either case.
  void PasteToTarget();
  // Puts the user's clipboard back (every format it offered), when forced
  // or when BackClipBoard is on and the target's class is not in
  // NoHukkiClass; for the main window only when its last copy or cut took
  // nothing. After a paste it first waits until the target has fetched the
  // text (at most 5 s after the paste). SavedClipboard is emptied in every
  // case. A paste by the selection method changed PRIMARY too: that comes
  // back in every case, after the same wait, unless another application
  // has taken PRIMARY since; after a paste that keeps its text on the
  // clipboard (KeepClipboardAfterPaste), PRIMARY is all that comes back.
  void RestoreClipboard(bool force);
  // Keeps the user's clipboard: its text in SavedClipboard (at most
  // 1,099,999 bytes), all its formats for the restore.
  void KeepClipboard();

  // Whether one of the list's names (split at any of `separators`, empty
  // ones skipped) equals `name` exactly.
  static bool ClassInList(std::string_view name, std::string_view list,
                          std::string_view separators = ",");

  std::string TargetTopClass;  // class of CommandTarget, at most 89 bytes
  std::string TargetClass;     // class of TargetFocus, or "*"
  std::string TargetTitle;     // title of the target at the last copy, at most 89 bytes
  std::string SourceName;      // the source of a capture
  bool KeepClipboardAfterPaste = false;
  WindowHandle BrowserContextTarget = 0;  // the target of the last copy
  std::string SavedClipboard;  // the user's clipboard text until the restore

 private:
  WindowHandle MainWindow() const { return block_.MainWindow(); }
  // The first list (0..n-1) holding TargetClass; n when none does.
  template <size_t N>
  size_t FirstListHolding(const std::array<std::string, N>& lists) const;
  // The copy or cut of CopyFromTarget and CutFromTarget after the
  // clipboard has been kept and emptied.
  int TakeSelection(int what, size_t list, EditAction action);
  // Waits, briefly, until the user has let go of Shift, Ctrl and Alt.
  void WaitForModifiersUp();
  // Lets go of the modifiers and types the row.
  void SendKeys(int what, int row);
  // The message method of copy and cut: PRIMARY onto the CLIPBOARD.
  void CopyPrimary();
  int TimeOut();
  // Pumps for `ms`; a handler that holds the loop much longer is logged
  // as having run `during` the named wait.
  void Pump(uint32_t ms, const char* during);
  // The saved clipboard onto the CLIPBOARD.
  void PutBack();
  void WaitForPasteFetch();
  // The PRIMARY selection a paste changed, back as it was.
  void PutBackPrimary();
  uint64_t FetchCount();

  SharedHookBlock& block_;
  DispatchState& state_;
  WindowSystem& windows_;
  ClipboardAccess& access_;
  Clipboard& clipboard_;
  KeyInjector& keys_;
  Ui& ui_;
  Clock& clock_;
  CommandScheduler& scheduler_;
  TargetView& view_;

  ClipboardSnapshot saved_formats_;
  std::string saved_text_of_formats_;  // SavedClipboard when the formats were kept
  bool cut_removes_text_ = false;
  bool nothing_taken_ = false;  // the last copy or cut timed out
  bool paste_pending_ = false;  // a paste's text waits to be fetched
  ClipboardSnapshot saved_primary_;  // PRIMARY before the selection method's paste
  bool primary_owed_ = false;        // PRIMARY holds our paste's text
  bool clipboard_stays_ = false;     // the last paste keeps its text on the clipboard
  uint32_t paste_tick_ = 0;
  uint64_t paste_fetches_ = 0;
};

}  // namespace quill
