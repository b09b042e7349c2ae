#include "main/tree/marks.h"

#include <vector>

#include "main/settings/settings.h"
#include "main/tree/folder_tree_model.h"
#include "main/tree/folder_tree_visitors.h"
#include "main/tree/node_operations.h"

namespace quill {

namespace {

// Every card node whose mark is 0, in tree order.
class CollectUnmarked : public AllNode {
 public:
  using AllNode::AllNode;
  int VisitCard() override {
    if (info_->Mark() == 0) nodes.push_back(node_);
    return 0;
  }
  std::vector<TreeNode*> nodes;
};

}  // namespace

void RunMarkCommand(FolderTreeModel& form, MarkCommand command) {
  FolderTree& tree = form.tree();
  TreeNode* folder = FolderOf(tree.selected_node());
  switch (command) {
    case MarkCommand::kSetAllMark:
      CSetMarkFlag(form, 0, 1).Walk(nullptr);
      break;
    case MarkCommand::kMarkClear:
      CSetMarkFlag(form, 0, 0).Walk(nullptr);
      break;
    case MarkCommand::kFolderMark:
    case MarkCommand::kFolderMarkClear:
      if (folder != nullptr) {
        CCurrentFolderMark(tree, command == MarkCommand::kFolderMark ? 1 : 0).Walk(folder);
      }
      break;
    case MarkCommand::kFolderMark2:
    case MarkCommand::kFolderMarkClear2:
      if (folder != nullptr) {
        CFolderMark(tree, folder, command == MarkCommand::kFolderMark2 ? 1 : 0).Walk(nullptr);
      }
      break;
    case MarkCommand::kOffNoMark:
      RemoveUnmarkedCards(form);
      break;
    case MarkCommand::kSetMarkPopup:
    case MarkCommand::kSetMarkNoPopup:
      CSetPopup(tree, command == MarkCommand::kSetMarkNoPopup).Walk(nullptr);
      break;
    case MarkCommand::kMarkReverce:
      CMarkReverce(tree).Walk(nullptr);
      break;
  }
  UpdateCountDisplay(form, true);
}

void RemoveUnmarkedCards(FolderTreeModel& form) {
  FolderTree& tree = form.tree();
  CollectUnmarked unmarked(tree);
  unmarked.Walk(nullptr);
  TreeNode* selected = tree.selected_node();
  TreeNode* folder = selected;
  while (folder != nullptr && !folder->IsFolder() && folder->info().Mark() == 0) {
    folder = folder->parent();
  }
  const bool editor_had_node = tree.editor_node() != nullptr;
  tree.BeginUpdate();
  // From the last to the first: each removal then moves few siblings.
  for (auto it = unmarked.nodes.rbegin(); it != unmarked.nodes.rend(); ++it) tree.Remove(*it);
  tree.EndUpdate();
  form.tree_complete = 0;
  if (tree.selected_node() == nullptr && selected != nullptr) tree.set_selected_node(folder);
  if (editor_had_node && tree.editor_node() == nullptr) form.view().ClearEditor();
}

TreeNode* FindMarkedNode(FolderTreeModel& form, TreeNode* from, bool backward) {
  if (backward) {
    CToBackJump jump(form.tree(), from);
    jump.Walk(nullptr);
    return jump.found;
  }
  CToJump jump(form.tree(), from);
  jump.Walk(nullptr);
  return jump.found;
}

void ExpandBranch(FolderTreeModel& form, bool expand, TreeNode* node) {
  form.tree().SetExpandedBranch(node, expand);
}

void SetTitleFormat(FolderTreeModel& form, int title_fmt) {
  form.settings().TitleFmt = title_fmt;
  CSetMarkFlag(form, 3).Walk(nullptr);
  form.view().SaveSettingsGroup(kGroupFontsAndDataSet);
}

ListPopupState ListPopupItems(FolderTreeModel& form, bool delete_enabled) {
  const TreeNode* selected = form.tree().selected_node();
  const bool folder = selected == nullptr || selected->IsFolder();
  ListPopupState s;
  s.rename = folder;
  s.sort_item = !folder || form.settings().AutoSort != 0;
  s.batch_replace = form.marked_count >= 1;
  s.delete_node = delete_enabled;
  return s;
}

}  // namespace quill
