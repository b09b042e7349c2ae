#include "main/tree/node_operations.h"

#include <string>

#include "main/tree/data_folder.h"
#include "main/tree/folder_tree_model.h"
#include "main/tree/folder_tree_visitors.h"
#include "main/tree/node_captions.h"
#include "main/tree/tree_loader.h"
#include "platform/file_env.h"
#include "platform/messages.h"
#include "platform/ui.h"
#include "platform/ui_messages.h"
#include "store/card_store.h"

namespace quill {

namespace {

// "新規フォルダ"
constexpr char kNewFolderName[] = "\x90\x56\x8B\x4B\x83\x74\x83\x48\x83\x8B\x83\x5F";
constexpr char kTreeFileName[] = "quilbo7.tre";
// Bytes of the folder path field (KUBUN).
constexpr size_t kFolderPathLimit = 100;

}  // namespace

void UpdateNodeFromCard(FolderTreeModel& form, const store::CardRecord& card, TreeNode* node) {
  if (node == nullptr) node = FindNodeByTextId(card.id, form.tree());
  if (node == nullptr) return;
  NodeInfo& info = node->info();
  info.SetUpdateTime(card.utime);
  info.SetCreationTime(card.ctime);
  info.SetLocked(card.locked ? 1 : 0);
  info.SetKind(card.icon);
  info.SetOneShotPaste(card.one_shot_paste == 1 ? 1 : 0);
  info.SetTextId(card.id);
  info.SetRecordNo(static_cast<uint32_t>(card.row));
  info.SetTwoColumn(card.two_column ? 1 : 0);
  info.SetBodyMode(static_cast<uint8_t>(card.kind));
  form.tree().SetText(node, FormatNodeCaption(form, card.title, card.utime, card.ctime));
}

TreeNode* AddCardNode(FolderTreeModel& form, const store::CardRecord& card, TreeNode* folder) {
  if (folder == nullptr) return nullptr;
  FolderTree& tree = form.tree();
  int at = -1;
  if (form.settings().AddIti != 1) {
    CFindAddNode first_card(tree);
    first_card.Walk(folder);
    if (first_card.found != nullptr) at = first_card.found->index();
  }
  TreeNode* node = tree.Insert(folder, at, std::string(), NodeInfo::Card(card.id));
  UpdateNodeFromCard(form, card, node);
  ++form.card_count;
  UpdateCountDisplay(form, false);
  return node;
}

Status CreateFolder(FolderTreeModel& form, std::string_view name, TreeNode* parent,
                    TreeNode** created) {
  if (created != nullptr) *created = nullptr;
  if (parent == nullptr || !parent->IsFolder()) return Status::Invalid("not a folder");
  if (name.empty() || name.find(' ') != std::string_view::npos) {
    return Status::Invalid("a folder name must not be empty or hold a blank");
  }
  std::string path = GetFolderPath(parent);
  if (!path.empty()) path += ' ';
  path.append(name.data(), name.size());
  if (path.size() > kFolderPathLimit) {
    return Status::Invalid("the folder path would be longer than 100 bytes");
  }
  store::CardRecord row(form.store());
  row.Clear();
  row.folder = path;
  row.title = std::string(store::FolderMarkerTitle);
  Status s = row.Write();
  if (!s.ok()) {
    if (s.code() == Status::kNoSpace) {
      ShowWarning(form.ui(), MessageId::kLowSpaceFolderNotCreated);
      Status reload = LoadFolderTree(form, nullptr);
      (void)reload;  // the refused write is what the caller reports
    }
    return s;
  }
  TreeNode* node = form.tree().AddChild(parent, std::string(name), NodeInfo::Folder());
  form.tree().set_current_node(node);
  // A folder list that cannot be written is not reported: it keeps the
  // list before (replaced whole or not at all) until the next folder
  // change, and the card store rebuilds it from the table when it is missing.
  Status listed = WriteTreeFile(form);
  (void)listed;
  if (created != nullptr) *created = node;
  return Status::Ok();
}

Status NewFolder(FolderTreeModel& form, TreeNode* node, TreeNode** created) {
  if (created != nullptr) *created = nullptr;
  TreeNode* parent = FolderOf(node);
  if (parent == nullptr) return Status::Invalid("no folder selected");
  std::string path = GetFolderPath(parent);
  if (!path.empty()) path += ' ';
  path += kNewFolderName;
  MessageId refusal = MessageId::kCount;
  if (path.size() > kFolderPathLimit) {
    refusal = MessageId::kFolderNameTooLong;
  } else if (FindFolderNode(form, path) != nullptr) {
    refusal = MessageId::kNewFolderExists;
  }
  if (refusal != MessageId::kCount) {
    ShowWarning(form.ui(), refusal);
    return Status::Invalid("the new folder cannot be made there");
  }
  TreeNode* folder = nullptr;
  QUILL_RETURN_IF_ERROR(CreateFolder(form, kNewFolderName, parent, &folder));
  form.tree().set_selected_node(folder);
  if (created != nullptr) *created = folder;
  return Status::Ok();
}

TreeNode* EnsureNewFolder(FolderTreeModel& form) {
  FolderTree& tree = form.tree();
  TreeNode* root = tree.root();
  if (root == nullptr) return nullptr;
  TreeNode* folder = nullptr;
  for (int i = 0; i < root->child_count() && folder == nullptr; ++i) {
    TreeNode* c = root->child(i);
    if (c->IsFolder() && c->text() == kNewFolderName) folder = c;
  }
  if (folder == nullptr && !CreateFolder(form, kNewFolderName, root, &folder).ok()) {
    return nullptr;
  }
  tree.set_current_node(folder);
  tree.set_selected_node(folder);
  return folder;
}

Status WriteTreeFile(FolderTreeModel& form) {
  CMakeTreeFile list(form.tree());
  list.Walk(nullptr);
  return form.store().env().WriteFileAtomic(GetEditorDataPath(form) + kTreeFileName, list.text);
}

TreeNode* FindFolderNode(FolderTreeModel& form, std::string_view path) {
  CGetTreeNode finder(form.tree(), std::string(path));
  finder.Walk(nullptr);
  return finder.found;
}

TreeNode* FindNodeByTextId(std::string_view text_id, FolderTree& tree) {
  CFindNode finder(tree, std::string(text_id));
  finder.Walk(nullptr);
  return finder.found;
}

void UpdateCountDisplay(FolderTreeModel& form, bool recount) {
  if (recount) {
    CCountInfo counter(form.tree());
    counter.Walk(nullptr);
    form.card_count = counter.cards;
    form.marked_count = counter.marked;
  }
  form.view().ShowCounts(form.card_count, form.marked_count);
}

}  // namespace quill
