#include "main/tree/sort_orders.h"

#include <algorithm>

#include "main/settings/settings.h"
#include "main/tree/folder_tree_model.h"
#include "main/tree/folder_tree_visitors.h"
#include "main/tree/node_sort.h"
#include "main/tree/tree_loader.h"
#include "platform/messages.h"
#include "platform/text_codec.h"
#include "platform/ui.h"
#include "platform/ui_messages.h"
#include "store/card_store.h"

namespace quill {

namespace {

constexpr int kOrderCount = 6;

// Shows a failure of a sort command with caption "警告".
void Report(FolderTreeModel& form, const Status& s) {
  const std::string text = s.code() == Status::kNoSpace
                               ? MessageText(MessageId::kLowSpaceCannotProcess)
                               : Utf8ToCp932(s.message());
  ShowWarning(form.ui(), text);
}

// The stored title of each item's card, read once, through one card record
// that keeps the card table open. A card not found has the empty title.
Status ReadTitles(FolderTreeModel& form, std::vector<TreeSortItem>* items) {
  store::CardRecord card(form.store());
  Status s = card.SetOpenFlag(true);
  for (size_t i = 0; s.ok() && i < items->size(); ++i) {
    TreeSortItem& item = (*items)[i];
    const NodeInfo& info = item.node->info();
    bool found = false;
    s = card.FindById(info.RecordNo(), info.TextId(), false, &found);
    if (s.ok() && found) item.title = card.title;
  }
  Status closed = card.SetOpenFlag(false);
  return s.ok() ? closed : s;
}

// The AutoSort half of SortCards: the order becomes the setting, which is
// stored, and the tree is loaded in it.
Status ChooseLoaderOrder(FolderTreeModel& form, int order) {
  form.settings().SortType = kSortTypeNames[order];
  form.view().SaveSettingsGroup(kGroupBarAndSort);
  Status s = LoadFolderTree(form, nullptr);
  // A load refused for want of space has shown its message (the program
  // ends); any other failure is shown here.
  if (!s.ok() && s.code() != Status::kNoSpace) Report(form, s);
  return s;
}

}  // namespace

int TreeSort::Compare(const void* a, const void* b) {
  const TreeSortItem& x = **static_cast<const TreeSortItem* const*>(a);
  const TreeSortItem& y = **static_cast<const TreeSortItem* const*>(b);
  const NodeInfo& p = x.node->info();
  const NodeInfo& q = y.node->info();
  switch (order_) {
    case 0:
      return CompareBytes(x.title, y.title);
    case 1:
      return CompareBytes(y.title, x.title);
    case 2:
      return CompareBytes(p.TextId(), q.TextId());
    case 3:
      return CompareBytes(q.TextId(), p.TextId());
    case 4:
      return CompareValues(p.UpdateTime(), q.UpdateTime());
    case 5:
      return CompareValues(q.UpdateTime(), p.UpdateTime());
    default:
      return 0;
  }
}

int TreeSortFolder::Compare(const void* a, const void* b) {
  const TreeNode* x = *static_cast<TreeNode* const*>(a);
  const TreeNode* y = *static_cast<TreeNode* const*>(b);
  return CompareBytes(y->text(), x->text());
}

Status SortCards(FolderTreeModel& form, int order, store::CardRecord* edit_card) {
  if (order < 0 || order >= kOrderCount) return Status::Invalid("no such sort order");
  if (form.settings().AutoSort != 0) return ChooseLoaderOrder(form, order);
  FolderTree& tree = form.tree();
  TreeNode* selected = tree.selected_node();
  if (selected == nullptr || selected->IsFolder()) return Status::Ok();
  TreeNode* folder = selected->parent();

  CGetNode cards(tree);
  cards.Walk(folder);
  std::vector<TreeSortItem> items(cards.nodes.size());
  std::vector<TreeSortItem*> sorted(items.size());
  for (size_t i = 0; i < items.size(); ++i) {
    items[i].node = cards.nodes[i];
    sorted[i] = &items[i];
  }
  TreeSort sorter(order);
  if (sorter.NeedsTitles()) {
    Status s = ReadTitles(form, &items);
    if (!s.ok()) {
      Report(form, s);
      return s;
    }
  }
  store::SortArray(sorter, sorted.data(), sorted.size(), sizeof(TreeSortItem*));

  // The sub-folders keep their places ahead; the cards follow in order.
  std::vector<TreeNode*> children;
  children.reserve(static_cast<size_t>(folder->child_count()));
  for (int i = 0; i < folder->child_count(); ++i) {
    if (folder->child(i)->IsFolder()) children.push_back(folder->child(i));
  }
  for (const TreeSortItem* item : sorted) children.push_back(item->node);
  tree.ReorderChildren(folder, children);
  return RenumberCards(form, folder, edit_card);
}

void SortFolderChildren(FolderTreeModel& form, TreeNode* node, bool update) {
  TreeNode* parent = node != nullptr ? node->parent() : nullptr;
  if (parent == nullptr) return;
  FolderTree& tree = form.tree();
  CGetFolder folders(tree);
  folders.Walk(parent);
  TreeSortFolder sorter;
  store::SortArray(sorter, folders.folders.data(), folders.folders.size(), sizeof(TreeNode*));
  // Each folder in turn goes to the front: the last one sorted ends first.
  std::vector<TreeNode*> children(folders.folders.rbegin(), folders.folders.rend());
  for (int i = 0; i < parent->child_count(); ++i) {
    if (!parent->child(i)->IsFolder()) children.push_back(parent->child(i));
  }
  if (update) tree.BeginUpdate();
  tree.ReorderChildren(parent, children);
  if (update) tree.EndUpdate();
}

Status RenumberCards(FolderTreeModel& form, TreeNode* node, store::CardRecord* edit_card) {
  TreeNode* folder = FolderOf(node);
  if (form.settings().AutoSort != 0 || folder == nullptr) return Status::Ok();
  store::CardRecord card(form.store());
  // One sync for the whole folder instead of one per card.
  store::SyncBatch batch(form.store());
  Status s = card.SetOpenFlag(true);
  uint32_t position = 0;
  for (int i = 0; s.ok() && i < folder->child_count(); ++i) {
    const TreeNode* n = folder->child(i);
    if (n->IsFolder()) continue;
    bool found = false;
    s = card.FindById(n->info().RecordNo(), n->info().TextId(), false, &found);
    if (!s.ok() || !found) continue;
    if (card.position != position) {
      card.position = position;
      s = card.Write(/*low_threshold=*/true);
      if (!s.ok()) break;
    }
    if (edit_card != nullptr && edit_card->row >= 0 && edit_card->id == card.id) {
      edit_card->position = position;
    }
    ++position;
  }
  Status closed = card.SetOpenFlag(false);
  Status synced = batch.End();
  if (s.ok()) s = closed;
  if (s.ok()) s = synced;
  if (!s.ok()) Report(form, s);
  return s;
}

}  // namespace quill
