#include "main/dialogs/deleted_cards_bin.h"

#include <unordered_set>

#include "main/dialogs/small_dialogs.h"
#include "main/exchange/transfer_file.h"
#include "main/tree/folder_tree_model.h"
#include "platform/messages.h"
#include "platform/text_codec.h"
#include "platform/ui.h"
#include "platform/ui_messages.h"
#include "store/card_store.h"

namespace quill {

Status ListBin(store::CardStore& store, std::vector<BinCard>* cards) {
  cards->clear();
  store::CardRecord work(store);
  Status s = work.SetOpenFlag(true);
  std::vector<int64_t> rows;
  if (s.ok()) s = work.FindCardsByFolder("", &rows);
  for (size_t i = 0; s.ok() && i < rows.size(); ++i) {
    work.SetRecNo(rows[i]);
    s = work.Load(/*with_text=*/false);
    if (s.ok() && work.deleted == 'D' && !work.is_folder()) {
      cards->push_back({work.id, work.title, work.folder});
    }
  }
  Status closed = work.Close();
  return s.ok() ? closed : s;
}

DeletedCardsBin::DeletedCardsBin(FolderTreeModel& form, SmallDialogs& dialogs, BinView& view)
    : form_(form), dialogs_(dialogs), view_(view) {}

void DeletedCardsBin::ShowFailure(MessageId message, const Status& status) {
  ShowWarning(form_.ui(), message, {Utf8ToCp932(status.message())});
}

void DeletedCardsBin::UndeleteSyoriClick() {
  view_.SaveCurrentCard();
  std::vector<BinCard> cards;
  Status listed = ListBin(form_.store(), &cards);
  if (!listed.ok()) {
    ShowFailure(MessageId::kBinNotRead, listed);
    return;
  }
  if (cards.empty()) {
    ShowWarning(form_.ui(), MessageId::kNoDeletedCards);
    return;
  }
  UndeleteForm dialog;
  for (const BinCard& c : cards) dialog.titles.push_back(c.title);
  dialog.checked.assign(cards.size(), false);
  const int result = dialogs_.RunUndelete(&dialog);
  dialog.checked.resize(cards.size(), false);
  if (result == kUndeleteRestore) Restore(cards, dialog.checked);
  if (result == kUndeleteErase) Erase(cards, dialog.checked);
}

void DeletedCardsBin::Restore(const std::vector<BinCard>& cards,
                              const std::vector<bool>& checked) {
  // One pass with the tables open, made durable at its end.
  store::CardRecord work(form_.store());
  store::SyncBatch batch(form_.store());
  std::unordered_set<std::string> made;
  Status s = work.SetOpenFlag(true);
  for (size_t i = 0; s.ok() && i < cards.size(); ++i) {
    if (!checked[i]) continue;
    s = work.Restore(cards[i].id);
    if (s.ok()) s = EnsureFolderPath(form_, cards[i].folder, &made);
  }
  Status closed = work.Close();
  Status synced = batch.End();
  if (s.ok()) s = closed;
  if (s.ok()) s = synced;
  if (!s.ok()) ShowFailure(MessageId::kRestoreFailed, s);
  view_.ReloadTree();
}

void DeletedCardsBin::Erase(const std::vector<BinCard>& cards, const std::vector<bool>& checked) {
  BusyScope busy(form_.busy());
  view_.CancelNodeMove();
  view_.SaveCurrentCard();
  store::CardRecord work(form_.store());
  Status s;
  {
    store::SyncBatch batch(form_.store());
    s = work.SetOpenFlag(true);
    for (size_t i = 0; s.ok() && i < cards.size(); ++i) {
      if (checked[i]) s = work.Erase(cards[i].id);
    }
    Status closed = work.SetOpenFlag(false);
    Status synced = batch.End();
    if (s.ok()) s = closed;
    if (s.ok()) s = synced;
  }
  // The tidy-up runs also with nothing checked: it is the repair step.
  if (s.ok()) s = work.Reorganize();
  Status closed = work.Close();
  if (s.ok()) s = closed;
  if (!s.ok()) ShowFailure(MessageId::kEraseFailed, s);
  view_.ReloadTree();
}

}  // namespace quill
