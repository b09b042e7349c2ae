#include "main/tree/tree_marks.h"

namespace quill {

TreeNode* NextMarkedNode(const FolderTree& tree, bool backwards) {
  TreeNode* selected = tree.selected_node();
  if (backwards) {
    if (selected == nullptr) return nullptr;
    for (TreeNode* n = selected->GetPrev(); n != nullptr; n = n->GetPrev()) {
      if (n->info().Mark() != 0) return n;
    }
    return nullptr;
  }
  TreeNode* from = selected != nullptr ? selected : tree.root();
  if (from == nullptr) return nullptr;
  for (TreeNode* n = from->GetNext(); n != nullptr; n = n->GetNext()) {
    if (n->info().Mark() != 0) return n;
  }
  return nullptr;
}

}  // namespace quill
