// Operations on single nodes of the folder tree, each kept in step with
// the card store: adding and refreshing card nodes, creating folders,
// finding nodes by folder path or card id, the counters, and the folder
// list file.
//
// The folder list file "quilbo7.tre" in the data folder holds one folder
// path per line (CP932, CR LF) in tree pre-order, the root excluded; it is
// rewritten whole after every change of the folder structure.
#pragma once

#include <string_view>

#include "main/tree/folder_tree.h"
#include "platform/status.h"

namespace quill {

class FolderTreeModel;

namespace store {
class CardRecord;
}  // namespace store

// Adds the node of a newly written card to folder: as the last child when
// AddIti is 1 or the folder has no card, else before its first card.
TreeNode* AddCardNode(FolderTreeModel& form, const store::CardRecord& card, TreeNode* folder);

// Refreshes a card node from the card (found by card id when node is null;
// nothing when there is none).
void UpdateNodeFromCard(FolderTreeModel& form, const store::CardRecord& card, TreeNode* node);

// Creates folder `name` under parent: writes its folder row, then adds the
// node as parent's last child, makes it the current node and rewrites the
// folder list. Invalid (nothing written): an empty name, a name with a
// blank, or a path longer than the field. A refused write shows "空き容量が
// 少ないです。つくれません。" and reloads the tree.
Status CreateFolder(FolderTreeModel& form, std::string_view name, TreeNode* parent,
                    TreeNode** created = nullptr);

// The new-folder command: creates "新規フォルダ" in the folder of `node`
// (the node itself when it is a folder, else its parent) and selects it.
// Refused with a message when the path would be longer than the field
// ("フォルダ名が長いです") or the folder is there already
// ("「新規フォルダ」というフォルダがあります"). The caller saves the
// editor's card first.
Status NewFolder(FolderTreeModel& form, TreeNode* node, TreeNode** created = nullptr);

// Selects the top-level folder "新規フォルダ", creating it when missing.
// Null when it could not be created.
TreeNode* EnsureNewFolder(FolderTreeModel& form);

// Rewrites the folder list file (through a temporary file, so a failure
// leaves the old list whole).
Status WriteTreeFile(FolderTreeModel& form);

// The first folder (pre-order, root excluded) whose path equals path.
TreeNode* FindFolderNode(FolderTreeModel& form, std::string_view path);
// The first card node whose card id equals text_id.
TreeNode* FindNodeByTextId(std::string_view text_id, FolderTree& tree);

// Shows the counters; with recount they are counted from the tree first.
void UpdateCountDisplay(FolderTreeModel& form, bool recount);

}  // namespace quill
