// Appending a capture to an existing card: the card chosen from the append
// menu, or, while one is remembered (LastAppendCardId), the card the save
// key appends to instead of registering a new one.
//
// The clipboard's text goes to the end of the card, after an empty line,
// headed by a time line when Shift is held and by the page's address for
// a plain text card. A table card takes a line holding a TAB as a row as
// it stands and asks for the two cells of any other line (TAddHyouFm).
//
// Guards kept here:
// - Every way out, success included, puts the user's clipboard back.
// - The same text again within 15 s of the last capture (registered or
//   appended) appends nothing; a capture counts only once written.
// - The text as it would be written, rows and headers included, stays
//   within the card text limit; a failed write is reported and changes no
//   state, hint or history.
// - CaptureBusy is held by a dispatcher scope for the whole append, nested
//   in any capture that is running.
// - A card that is gone is forgotten: the save key registers again.
#pragma once

#include <cstdint>
#include <string>

#include "clip/dispatcher.h"
#include "clip/one_shot.h"
#include "clip/paste_target.h"
#include "clip/register_history.h"
#include "platform/clock.h"
#include "platform/message_bus.h"
#include "platform/protocol/shared_hook_block.h"
#include "platform/registry_store.h"
#include "platform/ui.h"
#include "store/card_store.h"

namespace quill {

// What the main window does for an append.
class CardAppendView {
 public:
  virtual ~CardAppendView() = default;
  virtual store::CardStore& CurrentStore() = 0;
  virtual int CurrentDataSet() = 0;
  virtual OneShotSettings CurrentOneShotSettings() = 0;
  // Saves the card when the editor shows it, and moves the editor off it;
  // stores and closes a card window that shows it.
  virtual void LeaveCard(const std::string& card_id) = 0;
  // The dialog for a table row: both fields hold the line when it opens.
  // 1 adds the row (the fields as the user left them), else not.
  virtual int RunAddHyouForm(std::string* title, std::string* text) = 0;
  // The card has been written: its tree node follows.
  virtual void CardWritten(const store::CardRecord& card) = 0;
  // Writes the settings of a forgotten one-shot folder (group 16); the
  // failed write, its message for the user (UTF-8).
  virtual Status SaveForgottenOneShotFolder() = 0;
};

class CardAppend {
 public:
  // The text and the card together stay below this before the append.
  static constexpr size_t kMaxAppendTotal = 300000;
  static constexpr size_t kTableReserve = 1000;

  CardAppend(SharedHookBlock& block, Dispatcher& dispatcher, PasteTarget& target,
             ClipboardAccess& clipboard, Ui& ui, MessageBus& bus, Clock& clock, OneShot& one_shot,
             RegisterHistory& history, RegistryStore& registry, CardAppendView& view);

  // Appends the clipboard's text to the card of the current data set.
  void AppendToCard(const std::string& card_id, bool shift_down);
  // Command 2 while a card is remembered: appends to it again.
  bool HasAppendTitle() const { return !LastAppendCardId.empty(); }
  void AppendToLastCard() { AppendToCard(LastAppendCardId, LastAppendShift); }

  std::string LastAppendCardId;  // the card last appended to, "" none
  bool LastAppendShift = false;  // Shift was held then

 private:
  // The text appended to a table card; `*asked` is set when the dialog
  // was shown.
  std::string TableRows(const std::string& text, bool* asked);
  // The text appended to any other card.
  std::string TextBlock(const store::CardRecord& card, const std::string& text,
                        const std::string& url, bool shift_down);
  // The card is gone: flash, beep, and the save key registers again.
  void CardGone();
  // A way out with a message; the focus goes back to the target after it.
  void Refuse(const std::string& message);
  void Appended(const store::CardRecord& card);
  // The user's clipboard comes back and the popup ends.
  void Finish();

  SharedHookBlock& block_;
  Dispatcher& dispatcher_;
  PasteTarget& target_;
  ClipboardAccess& clipboard_;
  Ui& ui_;
  MessageBus& bus_;
  Clock& clock_;
  OneShot& one_shot_;
  RegisterHistory& history_;
  RegistryStore& registry_;
  CardAppendView& view_;
};

}  // namespace quill
