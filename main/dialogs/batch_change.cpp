#include "main/dialogs/batch_change.h"

#include "main/dialogs/small_dialogs.h"
#include "main/tree/folder_tree_model.h"
#include "main/tree/node_operations.h"
#include "platform/clock.h"
#include "platform/messages.h"
#include "platform/text_codec.h"
#include "platform/ui.h"
#include "platform/ui_messages.h"
#include "store/card_store.h"

namespace quill {

namespace {

bool AnyMarkedCard(FolderTree& tree) {
  for (TreeNode* n = tree.first(); n != nullptr; n = n->GetNext()) {
    if (!n->IsFolder() && n->info().Mark() != 0) return true;
  }
  return false;
}

// Applies the form to the card; true when anything changed.
bool Apply(const SyuttenForm& f, store::CardRecord* card) {
  bool changed = false;
  if (f.auto_title == 0) {
    // The write takes the title from the text again.
    card->auto_title = true;
    card->title.clear();
    changed = true;
  } else if (f.auto_title == 1) {
    card->auto_title = false;
    changed = true;
  }
  if (!f.source.empty()) {
    card->source = f.source;
    changed = true;
  }
  if (f.icon >= 0) {
    card->icon = static_cast<uint8_t>(f.icon);
    changed = true;
  }
  if (f.paste == 0 || f.paste == 1) {
    card->one_shot_paste = f.paste == 0 ? 1 : 0;
    changed = true;
  }
  return changed;
}

}  // namespace

BatchChange::BatchChange(FolderTreeModel& form, SmallDialogs& dialogs, BatchChangeView& view)
    : form_(form), dialogs_(dialogs), view_(view) {}

void BatchChange::SetSyuttenClick() {
  Ui& ui = form_.ui();
  if (!form_.store().DiskSpaceOk()) {
    ShowWarning(ui, MessageId::kLowSpaceNotRegistered);
    return;
  }
  if (!AnyMarkedCard(form_.tree())) {
    ShowWarning(ui, MessageId::kMarkCardsToChange);
    return;
  }
  SyuttenForm choice;
  if (dialogs_.RunSyuttenForm(&choice) != kResultOk) return;

  view_.SaveCurrentCard();
  BusyScope busy(form_.busy());
  // One pass with the tables open, made durable at its end.
  store::CardRecord work(form_.store());
  store::SyncBatch batch(form_.store());
  Status s = work.SetOpenFlag(true);
  const bool with_text = choice.auto_title == 0;
  for (TreeNode* n = form_.tree().first(); s.ok() && n != nullptr; n = n->GetNext()) {
    if (n->IsFolder() || n->info().Mark() == 0) continue;
    bool found = false;
    s = work.FindById(n->info().RecordNo(), n->info().TextId(), with_text, &found);
    if (!s.ok() || !found || !Apply(choice, &work)) continue;
    work.utime = static_cast<uint32_t>(form_.clock().Now());
    s = work.Write(/*low_threshold=*/true);
    if (s.ok()) UpdateNodeFromCard(form_, work, n);
  }
  Status closed = work.Close();
  Status synced = batch.End();
  if (s.ok()) s = closed;
  if (s.ok()) s = synced;
  if (EndOnFatal(ui, s)) return;
  if (!s.ok()) {
    ShowWarning(ui, MessageId::kBatchChangeStopped, {Utf8ToCp932(s.message())});
  }
  TreeNode* selected = form_.tree().selected_node();
  if (selected != nullptr && !selected->IsFolder()) view_.ReloadEditorCard();
}

}  // namespace quill
