#include "main/tree/folder_operations.h"

#include <utility>
#include <vector>

#include "main/tree/folder_tree_model.h"
#include "main/tree/folder_tree_visitors.h"
#include "main/tree/node_operations.h"
#include "main/tree/sort_orders.h"
#include "main/tree/tree_loader.h"
#include "platform/messages.h"
#include "platform/text_codec.h"
#include "platform/ui.h"
#include "platform/ui_messages.h"
#include "store/card_store.h"

namespace quill {

namespace {

// Bytes of the folder path field (KUBUN).
constexpr size_t kFolderPathLimit = 100;

using store::CardRecord;

void Warn(FolderTreeModel& form, MessageId text) { ShowWarning(form.ui(), text); }

bool Confirm(FolderTreeModel& form, MessageId question) {
  return ConfirmCaution(form.ui(), question);
}

// Whether `folder` is `path` itself or lies below it.
bool InFolder(const std::string& folder, const std::string& path) {
  return folder == path || (folder.size() > path.size() && folder.compare(0, path.size(), path) == 0 &&
                            folder[path.size()] == ' ');
}

// A pass over the table that failed in the middle: the user hears why, and
// the tree is loaded again so that it shows what is stored. A write that
// failed on its way into the tables leaves the data set to be recovered:
// it is opened again first (the change in flight is then whole or absent).
void StopPass(FolderTreeModel& form, const Status& s) {
  if (s.code() == Status::kNoSpace) {
    Warn(form, MessageId::kLowSpaceCannotProcess);
  } else {
    ShowWarning(form.ui(), MessageId::kFolderChangeStopped, {Utf8ToCp932(s.message())});
  }
  store::CardStore& store = form.store();
  const std::string folder = store.data_path();
  (void)store.Close();
  Status opened = store.Open(false, folder);
  Status loaded = opened.ok() ? LoadFolderTree(form, nullptr) : opened;
  if (!loaded.ok() && loaded.code() != Status::kNoSpace) {
    ShowWarning(form.ui(), MessageId::kFolderChangeStopped, {Utf8ToCp932(loaded.message())});
  }
}

// Ends a pass over rows that kept the card table open inside one sync
// batch: the first failure of the pass, the close and the sync is returned.
Status EndRowPass(CardRecord& rec, store::SyncBatch& batch, Status s) {
  Status closed = rec.SetOpenFlag(false);
  Status synced = batch.End();
  if (s.ok()) s = closed;
  if (s.ok()) s = synced;
  return s;
}

// One row of a folder pass: where it is and the path it gets.
struct RowChange {
  int64_t row;
  std::string folder;
};

// The live rows (none in the bin) of folder `path` and of everything below
// it, each with the path `new_path` gives it. Rows that the index lists
// under a longer name ("A BB" for "A B") are left out.
template <typename NewPath>
Status CollectFolderRows(CardRecord& rec, const std::string& path, NewPath new_path,
                         std::vector<RowChange>* changes) {
  std::vector<int64_t> rows;
  QUILL_RETURN_IF_ERROR(rec.FindCardsByFolder(path, &rows));
  changes->clear();
  changes->reserve(rows.size());
  for (int64_t r : rows) {
    rec.SetRecNo(r);
    QUILL_RETURN_IF_ERROR(rec.Load(false));
    if (rec.deleted == 'D' || !InFolder(rec.folder, path)) continue;
    changes->push_back({r, new_path(rec.folder)});
  }
  return Status::Ok();
}

// Writes each row with its new path (its text stays as stored).
Status WriteFolderRows(CardRecord& rec, const std::vector<RowChange>& changes) {
  for (const RowChange& c : changes) {
    rec.SetRecNo(c.row);
    QUILL_RETURN_IF_ERROR(rec.Load(false));
    rec.folder = c.folder;
    QUILL_RETURN_IF_ERROR(rec.Write());
  }
  return Status::Ok();
}

// Rewrites the rows of folder `path` by `new_path`, checking every new path
// first. Long: one of them would be longer than the field; nothing was
// written. Any other failure happened while writing.
enum class PassResult { kDone, kTooLong, kFailed };
template <typename NewPath>
PassResult MoveFolderRows(FolderTreeModel& form, const std::string& path, NewPath new_path,
                          Status* failure) {
  CardRecord rec(form.store());
  store::SyncBatch batch(form.store());
  Status s = rec.SetOpenFlag(true);
  std::vector<RowChange> changes;
  if (s.ok()) s = CollectFolderRows(rec, path, new_path, &changes);
  bool too_long = false;
  for (size_t i = 0; s.ok() && i < changes.size() && !too_long; ++i) {
    too_long = changes[i].folder.size() > kFolderPathLimit;
  }
  if (s.ok() && !too_long) s = WriteFolderRows(rec, changes);
  s = EndRowPass(rec, batch, s);
  *failure = s;
  if (!s.ok()) return PassResult::kFailed;
  return too_long ? PassResult::kTooLong : PassResult::kDone;
}

// The editor's card follows its folder from path `from` to `to`.
void FollowFolder(CardRecord* edit_card, const std::string& from, const std::string& to) {
  if (edit_card == nullptr || !InFolder(edit_card->folder, from)) return;
  edit_card->folder = to + edit_card->folder.substr(from.size());
}

// Puts node just before `target` among target's siblings.
void MoveBefore(FolderTree& tree, TreeNode* node, TreeNode* target) {
  if (node == target) return;
  TreeNode* parent = target->parent();
  int at = target->index();
  if (node->parent() == parent && node->index() < at) --at;
  tree.Move(node, parent, at);
}

// The card moves: into the folder target as its last child, or just before
// the target card.
void PlaceCard(FolderTree& tree, TreeNode* node, TreeNode* target) {
  if (target->IsFolder()) {
    tree.Move(node, target, -1);
  } else {
    MoveBefore(tree, node, target);
  }
}

// Moves the cards to folder `path` (the node of target's folder): each row
// is written, then its node moves. Returns 1 when a failure made the tree
// load again.
int MoveCards(FolderTreeModel& form, const std::vector<TreeNode*>& cards, TreeNode* target,
              const std::string& path, CardRecord* edit_card) {
  FolderTree& tree = form.tree();
  CardRecord rec(form.store());
  store::SyncBatch batch(form.store());
  Status s = rec.SetOpenFlag(true);
  tree.BeginUpdate();
  for (size_t i = 0; s.ok() && i < cards.size(); ++i) {
    TreeNode* node = cards[i];
    bool found = false;
    s = rec.FindById(node->info().RecordNo(), node->info().TextId(), false, &found);
    if (!s.ok() || !found) continue;
    rec.folder = path;
    s = rec.Write();
    if (!s.ok()) break;
    if (edit_card != nullptr && edit_card->row >= 0 && edit_card->id == rec.id) {
      edit_card->folder = path;
    }
    PlaceCard(tree, node, target);
  }
  tree.EndUpdate();
  s = EndRowPass(rec, batch, s);
  if (!s.ok()) {
    StopPass(form, s);
    return 1;
  }
  return 0;
}

// The card branch of MoveNodes.
int MoveCardNodes(FolderTreeModel& form, TreeNode* target, TreeNode* source,
                  CardRecord* edit_card) {
  TreeNode* folder = FolderOf(target);
  const std::string path = GetFolderPath(folder);
  // Cards never lie in the root.
  if (path.empty()) return 0;
  std::vector<TreeNode*> cards;
  if (source->info().Mark() == 3) {
    CMoveTree marked(form.tree());
    marked.Walk(nullptr);
    if (marked.nodes.size() > 1 && !Confirm(form, MessageId::kConfirmMoveMarkedCards)) return 0;
    cards = std::move(marked.nodes);
  } else {
    cards.push_back(source);
  }
  if (cards.empty()) return 0;
  if (MoveCards(form, cards, target, path, edit_card) != 0) return 1;
  (void)RenumberCards(form, folder, edit_card);
  return 0;
}

// The folder branch of MoveNodes.
int MoveFolderNode(FolderTreeModel& form, TreeNode* target, TreeNode* source,
                   CardRecord* edit_card) {
  FolderTree& tree = form.tree();
  // A card stands for its folder, before any other test: a folder dropped
  // on a card beside it stays where it is.
  target = FolderOf(target);
  if (IsTopNode(source)) {
    form.ui().MessageBeep();
    return 0;
  }
  if (target == source->parent()) return 0;
  if (IsInSubtree(source, target)) {
    form.ui().MessageBeep();
    return 0;
  }
  const std::string old_path = GetFolderPath(source);
  std::string parent_path = GetFolderPath(source->parent());
  const size_t cut = parent_path.empty() ? 0 : parent_path.size() + 1;
  std::string destination = GetFolderPath(target);
  if (!destination.empty()) destination += ' ';
  const bool merge = HasChildFolderNamed(tree, target, source->text());
  if (merge && !Confirm(form, MessageId::kConfirmMergeFolders)) return 0;

  const auto new_path = [&](const std::string& folder) {
    return destination + folder.substr(cut);
  };
  Status failure;
  switch (MoveFolderRows(form, old_path, new_path, &failure)) {
    case PassResult::kTooLong:
      Warn(form, MessageId::kFolderTooDeepToMove);
      return 0;
    case PassResult::kFailed:
      StopPass(form, failure);
      return 1;
    case PassResult::kDone:
      break;
  }
  FollowFolder(edit_card, old_path, destination + old_path.substr(cut));
  if (merge) {
    (void)LoadFolderTree(form, nullptr);
    return 1;
  }
  tree.Move(source, target, 0);
  SortFolderChildren(form, source, true);
  return 0;
}

// The nodes that a deletion takes with it hold the editor's card: it
// leaves the editor, so that it is never written back out of the bin.
void LeaveEditor(FolderTreeModel& form, CardRecord* edit_card, bool deleted) {
  if (!deleted || edit_card == nullptr) return;
  form.tree().set_editor_node(nullptr);
  form.view().ClearEditor();
}

}  // namespace

const std::string& MoveTargetPrompt() {
  static const std::string text = Utf8ToCp932("移動先？");
  return text;
}

bool RenameFolder(FolderTreeModel& form, TreeNode* node, const std::string& name,
                  CardRecord* edit_card) {
  if (node == nullptr || IsTopNode(node)) return false;
  if (!form.store().DiskSpaceOk()) {
    Warn(form, MessageId::kLowSpaceCannotProcess);
    (void)LoadFolderTree(form, nullptr);
    return false;
  }
  if (!node->IsFolder()) return false;
  if (name == node->text()) return false;  // nothing to do
  if (name.empty() || name.find(' ') != std::string::npos) {
    form.ui().MessageBeep();
    return false;
  }
  std::string parent_path = GetFolderPath(node->parent());
  if (!parent_path.empty()) parent_path += ' ';
  const std::string new_path = parent_path + name;
  const std::string old_path = parent_path + node->text();
  if (FindFolderNode(form, new_path) != nullptr) {
    form.ui().MessageBeep();
    return false;
  }
  const auto renamed = [&](const std::string& folder) {
    return new_path + folder.substr(old_path.size());
  };
  Status failure;
  switch (MoveFolderRows(form, old_path, renamed, &failure)) {
    case PassResult::kTooLong:
      Warn(form, MessageId::kFolderNameTooLong);
      return false;
    case PassResult::kFailed:
      StopPass(form, failure);
      return false;
    case PassResult::kDone:
      break;
  }
  FollowFolder(edit_card, old_path, new_path);
  form.tree().SetText(node, name);
  return true;
}

void PickNode(FolderTreeModel& form, TreeNode* node) {
  if (node == nullptr || IsTopNode(node)) {
    form.ui().MessageBeep();
    return;
  }
  FolderTree& tree = form.tree();
  CancelPick(form);
  tree.set_picked_node(node);
  if (node->IsFolder() || node->info().Mark() == 0) {
    node->info().SetMark(2);
    tree.NodeChanged(node);
  } else {
    CSetMarkFlag(form, 2).Walk(nullptr);
  }
  form.view().ShowStatus(MoveTargetPrompt());
}

void CancelPick(FolderTreeModel& form) {
  FolderTree& tree = form.tree();
  TreeNode* picked = tree.picked_node();
  if (picked == nullptr) return;
  if (picked->info().Mark() == 2) {
    picked->info().SetMark(0);
    tree.NodeChanged(picked);
  } else {
    EndMoveMarks(form);
  }
  tree.set_picked_node(nullptr);
  UpdateCountDisplay(form, true);
  form.view().ShowStatus(std::string());
}

void EndMoveMarks(FolderTreeModel& form) { CSetMarkFlag(form, 1).Walk(nullptr); }

int MoveNodes(FolderTreeModel& form, TreeNode* target, TreeNode* source, CardRecord* edit_card) {
  if (target == nullptr || source == nullptr) return 0;
  if (!form.store().DiskSpaceOk()) {
    Warn(form, MessageId::kLowSpaceCannotProcess);
    return 0;
  }
  FolderTree& tree = form.tree();
  const bool target_folder = target->IsFolder();
  const bool expanded = target->expanded();
  const int reloaded = source->IsFolder() ? MoveFolderNode(form, target, source, edit_card)
                                          : MoveCardNodes(form, target, source, edit_card);
  if (reloaded != 0) return 1;
  // The folder list is written whatever moved; one that cannot be written
  // keeps the list before (replaced whole or not at all) until the next
  // folder change writes it again.
  (void)WriteTreeFile(form);
  if (target_folder && target == tree.selected_node()) tree.SetExpanded(target, expanded);
  return 0;
}

Status DeleteMarkedCards(FolderTreeModel& form, CardRecord* edit_card) {
  FolderTree& tree = form.tree();
  BusyScope busy(form.busy());
  CMoveTree marked(tree);
  marked.Walk(nullptr);
  CardRecord rec(form.store());
  store::SyncBatch batch(form.store());
  Status s = rec.SetOpenFlag(true);
  bool editor_deleted = false;
  // The nodes whose rows went to the bin (or were gone already) leave the
  // tree together once the pass ends, however it ends.
  std::vector<TreeNode*> gone;
  gone.reserve(marked.nodes.size());
  for (size_t i = 0; s.ok() && i < marked.nodes.size(); ++i) {
    TreeNode* node = marked.nodes[i];
    bool found = false;
    s = rec.FindById(node->info().RecordNo(), node->info().TextId(), false, &found);
    if (!s.ok()) break;
    if (found) {
      s = rec.MarkDeleted();
      if (!s.ok()) break;
      if (edit_card != nullptr && edit_card->row >= 0 && edit_card->id == rec.id) {
        editor_deleted = true;
      }
    }
    gone.push_back(node);
    --form.card_count;
  }
  tree.BeginUpdate();
  tree.RemoveNodes(gone);
  tree.EndUpdate();
  s = EndRowPass(rec, batch, s);
  tree.set_editor_node(nullptr);
  LeaveEditor(form, edit_card, editor_deleted);
  if (!s.ok()) {
    StopPass(form, s);
    return s;
  }
  if (tree.selected_node() != nullptr) tree.set_current_node(tree.selected_node());
  UpdateCountDisplay(form, true);
  return Status::Ok();
}

Status DeleteFolder(FolderTreeModel& form, TreeNode* node, CardRecord* edit_card) {
  if (node == nullptr || !node->IsFolder() || IsTopNode(node)) {
    return Status::Invalid("not a folder below the root");
  }
  FolderTree& tree = form.tree();
  BusyScope busy(form.busy());
  const std::string path = GetFolderPath(node);
  CardRecord rec(form.store());
  store::SyncBatch batch(form.store());
  Status s = rec.SetOpenFlag(true);
  std::vector<RowChange> rows;
  if (s.ok()) s = CollectFolderRows(rec, path, [](const std::string& f) { return f; }, &rows);
  for (size_t i = 0; s.ok() && i < rows.size(); ++i) {
    rec.SetRecNo(rows[i].row);
    s = rec.MarkDeleted();
  }
  s = EndRowPass(rec, batch, s);
  LeaveEditor(form, edit_card, edit_card != nullptr && InFolder(edit_card->folder, path));
  if (!s.ok()) {
    StopPass(form, s);
    return s;
  }
  tree.Remove(node);
  if (tree.selected_node() != nullptr) tree.set_current_node(tree.selected_node());
  UpdateCountDisplay(form, true);
  (void)WriteTreeFile(form);
  return Status::Ok();
}

}  // namespace quill
