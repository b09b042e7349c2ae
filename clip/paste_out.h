// Paste-out: a card, a clip-history entry or a text goes into the
// application in front. The text goes on the clipboard, its `$_NAME_`
// variables are filled in (VariableFill, through the dialog TTikanFm when
// something must be asked), and the target is made to paste it
// (PasteTarget). With Shift held the text goes through the clip-tool menu
// instead, whose tool pastes its output.
//
// The super keys are hot keys bound to cards: slot 1..9 pastes the card
// bound to it, slot 0 pastes the last card pasted by id again. The button
// SuperKeyStatus shows the hot key bound to the card in the editor, and
// its menu binds that card to a slot.
//
// Paste-out keeps the user's clipboard: the text it puts there goes away
// a second after the paste (command 12), and a cut of the target's
// selection for `$_SELECTED_` is pasted back when nothing is pasted in its
// place (the dialog cancelled, the tool menu closed without a choice).
//
// The main window's settings, its card editor, its card windows and the
// dialog reach paste-out through PasteOutView; the card text through the
// card store.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "clip/clip_history.h"
#include "clip/dispatcher.h"
#include "clip/paste_target.h"
#include "clip/variables.h"
#include "platform/key_injector.h"
#include "platform/protocol/shared_hook_block.h"
#include "platform/ui.h"
#include "platform/window_system.h"

namespace quill {

namespace store {
class CardRecord;
class CardStore;
}  // namespace store

inline constexpr size_t kRecentPastedCount = 10;
inline constexpr size_t kSuperKeySlotCount = 10;
// The super-key menu cuts "&<slot>:<hot key>" to this many bytes.
inline constexpr size_t kSuperKeyCaptionMax = 20;

// TTikanFm as paste-out uses it: the substitution logic, and the modal
// dialog over it.
class VariableDialog {
 public:
  virtual ~VariableDialog() = default;
  virtual VariableFill& fill() = 0;
  // The check box TikanBlank: an empty answer removes its variable.
  virtual void SetBlank(bool on) = 0;
  virtual bool Blank() = 0;
  // Shows the dialog and returns kResultOk, or kResultCancel for Cancel,
  // Esc and the close box. The text is substituted whichever way it ends.
  virtual int ShowModal() = 0;
};

// What paste-out keeps in the settings and sees of the main window.
class PasteOutView {
 public:
  virtual ~PasteOutView() = default;

  // Settings: the card ids of the last pasted cards, newest first
  // (HistoryPaste1..10); the card ids bound to the super keys, slot 0
  // unused (SuperCard0..9); the folder of the card last pasted
  // (PopupKubun); the remembered state of TikanBlank.
  virtual std::array<std::string, kRecentPastedCount>& RecentPasted() = 0;
  virtual std::array<std::string, kSuperKeySlotCount>& SuperCardIds() = 0;
  virtual std::string& PasteFolder() = 0;
  virtual bool KeepSelection() = 0;
  virtual void SetKeepSelection(bool on) = 0;
  // Stores the settings above that changed: the three lists, or the
  // remembered TikanBlank; and the clip history's file.
  virtual void SavePasteSettings() = 0;
  virtual void SaveKeepSelection() = 0;
  virtual void SaveClipHistory() = 0;

  // Whether Shift or Ctrl is held now.
  virtual bool ShiftDown() = 0;
  virtual bool CtrlDown() = 0;

  // The id of the card in the editor when it is a stored card, else "".
  virtual std::string EditorCardId() = 0;
  // The button SuperKeyStatus.
  virtual void ShowSuperKeyStatus(bool visible, const std::string& caption) = 0;
  // Opens the card in a card window of its own.
  virtual void OpenCardWindow(const std::string& card_id) = 0;
  // A new substitution dialog (TTikanFm) for one paste.
  virtual std::unique_ptr<VariableDialog> CreateTikanFm() = 0;
  // The clip-tool menu at the cursor; returns when it closes, true when a
  // tool was chosen there. The tool runs on the clipboard's text and, with
  // PasteThroughTool set, pastes its output and clears PasteThroughTool.
  virtual bool PopupMagicMenu() = 0;
};

class PasteOut {
 public:
  // Clip-history indexes of PasteCard that are not entries.
  static constexpr int kCard = -1;    // a card, or a text on behalf of it
  static constexpr int kRepeat = -2;  // super-key slot 0

  PasteOut(SharedHookBlock& block, Dispatcher& dispatcher, WindowSystem& windows,
           PasteTarget& target, ClipboardAccess& clipboard, ClipHistory& history,
           KeyInjector& keys, Ui& ui, store::CardStore& cards, PasteOutView& view);
  ~PasteOut();

  // Pastes clip-history entry `index` (0..19), or with kCard the card `id`
  // (its own text, or `text` on its behalf), or with kRepeat the same for
  // super-key slot 0. A card that is not found (or lies in the bin) beeps
  // and nothing is pasted. While RightClickCount is set nothing is pasted:
  // a card opens in a card window, anything else beeps.
  void PasteCard(std::string_view id, int index, std::optional<std::string> text = std::nullopt);
  // Without magic the target pastes the clipboard; with it the clip-tool
  // menu comes up (after PrepareTargetPopup when `prepare`). True when
  // something was pasted or a tool ran.
  bool PasteOrMagic(bool with_magic, bool prepare);
  // Command 18: the super key of `slot` (0..9) was pressed in the
  // application in front. A slot without a card does nothing; one whose
  // card is gone beeps.
  void SuperPaste(int slot);

  // "Shift+", "Ctrl+", "Alt+" and the key's name; "" for the word 0.
  static std::string HotKeyText(uint16_t word);
  // The hot-key word of the first slot 1..9 bound to the card; 0 for none.
  uint16_t FindSuperKeyCode(std::string_view card_id);
  // The button shows the editor's card's super key, while it holds a
  // stored card.
  void UpdateSuperKeyStatus();
  // The button's menu: binds the editor's card to the slot chosen.
  void SuperKeyStatusClick();
  void AssignSuperKeySlot(int slot);

  std::string LastPastedId;
  std::string LastPastedText;  // "" when the card's own text was pasted
  // Shift was held: the clip tool run next pastes its output.
  bool PasteThroughTool = false;

 private:
  // The card with this id when it is live; null (and nothing read) when
  // it is not in the data set or lies in the bin. A read that meets the
  // card store's fatal status ends the program (EndOnFatal): null, and
  // *ended set when given.
  std::unique_ptr<store::CardRecord> FindCard(std::string_view id, bool with_text,
                                              bool* ended = nullptr);
  // Shift and Ctrl as the user holds them, without the super key's own.
  bool ShiftHeld();
  bool CtrlHeld();
  void RememberRecent(std::string_view id);
  // The card's text through the variable dialog into the target.
  void PasteText(std::string_view id, const std::string& source, bool with_magic);
  // The paste ended without a paste: a cut selection is pasted back into
  // the target; otherwise the user's clipboard comes back when our text
  // is on it (unless it is to stay, as a clip-history entry's).
  void EndWithoutPaste(const std::string& cut_back, bool ours_on_clipboard);

  SharedHookBlock& block_;
  Dispatcher& dispatcher_;
  DispatchState& state_;
  WindowSystem& windows_;
  PasteTarget& target_;
  ClipboardAccess& clipboard_;
  ClipHistory& history_;
  KeyInjector& keys_;
  Ui& ui_;
  store::CardStore& cards_;
  PasteOutView& view_;
  // The modifier bits of the super key being handled: the user still
  // holds them, and they are not a Shift or Ctrl of paste-out's.
  uint8_t super_key_modifiers_ = 0;
};

}  // namespace quill
