// Replace in the card of the editor and batch replace over the marked
// cards (SearchCommands, search_commands.h).
#include <string>
#include <vector>

#include "main/search/history_list.h"
#include "main/search/search_commands.h"
#include "main/search/text_find.h"
#include "main/tree/folder_tree_model.h"
#include "platform/messages.h"
#include "platform/ui.h"
#include "store/card_store.h"
#include "store/text_store.h"

namespace quill {

namespace {

// A batch replace of a shorter search text could change far more than
// meant.
constexpr size_t kBatchReplaceMinBytes = 6;

}  // namespace

void SearchCommands::ReplaceClick() {
  if (host_.CardLocked()) {
    Warn(MessageText(MessageId::kCardLocked));
    return;
  }
  ReplaceInEditor(host_.Editor());
}

void SearchCommands::ReplaceInEditor(SearchEditor& edit) {
  Settings& st = form_.settings();
  Ui& ui = form_.ui();
  ReplaceForm f;
  FillHistoryCombo(&f.find, st.KensakuStrList);
  f.find.text = FindString;
  f.replacement = LastReplaceText;
  if (ui.RunReplaceForm(&f) != kResultOk || f.find.text.empty()) return;
  st.KensakuStrList = UpdateHistoryList(f.find.text, st.KensakuStrList);
  FindString = f.find.text;
  LastReplaceText = f.replacement;
  const int mode = f.match_case ? 0 : 1;
  size_t position = edit.SelStart();
  while (FindNextInEditor(edit, ui, FindString, position, mode)) {
    const int answer = ui.RunReplaceCheck(edit.CheckDialogPoint());
    if (answer == kReplaceCheckFind) {
      // The hit stays selected, so the next search passes over it.
      position = edit.SelStart();
      continue;
    }
    if (answer == kReplaceCheckAll) {
      ReplaceRest(edit, edit.SelStart(), mode);
      return;
    }
    if (answer != kResultOk) return;
    edit.ReplaceSelection(LastReplaceText);
    position = edit.SelStart();
  }
}

// Replaces every hit from `from` on as one edit, from the first hit to
// the end of the last replacement; the caret ends after it. As after the
// last replacement one at a time, the search for another hit beeps.
void SearchCommands::ReplaceRest(SearchEditor& edit, size_t from, int mode) {
  const std::string text = edit.Text();
  std::string rest = text.substr(std::min(from, text.size()));
  const size_t old_size = rest.size();
  size_t end = 0;
  if (ReplaceAllInBuffer(rest, FindString, LastReplaceText, mode, &end)) {
    const size_t old_end = old_size - (rest.size() - end);
    edit.Select(from, old_end);
    edit.ReplaceSelection(rest.substr(0, end));
  }
  form_.ui().MessageBeep();
}

void SearchCommands::IkkatuTikanClick() {
  Settings& st = form_.settings();
  ReplaceForm f;
  f.batch = true;
  f.replacement = LastBatchReplaceText;
  FillHistoryCombo(&f.find, st.KensakuStrList);
  if (form_.ui().RunReplaceForm(&f) != kResultOk) return;
  if (f.find.text.size() < kBatchReplaceMinBytes) {
    Warn(MessageText(MessageId::kBatchReplaceTooShort));
    return;
  }
  st.KensakuStrList = UpdateHistoryList(f.find.text, st.KensakuStrList);
  FindString = f.find.text;
  LastBatchReplaceText = f.replacement;
  const int mode = f.match_case ? 0 : 1;

  FolderTree& tree = form_.tree();
  FolderTreeView& view = form_.view();
  view.ShowProgress(form_.marked_count);
  // A marked card in the editor is put away first, so that the editor
  // does not write its old text over the replaced one.
  TreeNode* selected = tree.selected_node();
  if (selected != nullptr && !selected->IsFolder() && selected->info().Mark() != 0) {
    host_.SelectNode(selected->parent());
  }
  std::vector<std::string> too_long;
  Status failure;
  bool low_space = false;
  // One pass with the tables open, made durable at its end.
  store::CardRecord card(form_.store());
  store::SyncBatch batch(form_.store());
  failure = card.SetOpenFlag(true);
  int64_t done = 0;
  for (TreeNode* n = tree.root() != nullptr ? tree.root()->GetNext() : nullptr;
       n != nullptr && failure.ok(); n = n->GetNext()) {
    if (n->IsFolder() || n->info().Mark() == 0) continue;
    view.SetProgress(++done);
    bool found = false;
    failure = card.FindById(n->info().RecordNo(), n->info().TextId(), true, &found);
    if (!failure.ok()) break;
    if (!found || card.locked) continue;
    if (!ReplaceAllInBuffer(card.text, FindString, LastBatchReplaceText, mode)) continue;
    if (card.text.size() >= store::kCardTextCapacity) {
      too_long.push_back(card.title);
      continue;
    }
    failure = card.Write();
    if (failure.code() == Status::kNoSpace) {
      failure = Status::Ok();
      low_space = true;
      break;
    }
    if (!failure.ok()) break;
  }
  Status closed = card.Close();
  Status synced = batch.End();
  if (failure.ok() && !low_space) failure = closed;
  if (failure.ok() && !low_space) failure = synced;
  view.HideProgress();
  if (low_space) Warn(MessageText(MessageId::kLowSpaceStopped));
  if (!failure.ok()) ReportFailure(MessageId::kBatchReplaceFailed, failure);
  if (!too_long.empty()) {
    std::string titles;
    for (const std::string& t : too_long) titles += (titles.empty() ? "" : "\n") + t;
    Warn(FormatMessage(MessageId::kBatchReplaceTooLong, {titles}));
  }
}

}  // namespace quill
