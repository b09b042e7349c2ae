// The marks of the folder tree's cards and what the tree shows of them:
// the mark commands of the tree's popup menu, the jump to the next or
// previous marked node, expanding a branch, the list format of the
// captions, and which items of the tree's popup menu are enabled.
//
// A card's mark is 0 (unmarked) or 1 (marked); 2 and 3 are the states of a
// card picked for a move. Every mark command ends with the counters
// counted afresh and shown.
#pragma once

#include <cstdint>

#include "main/tree/folder_tree.h"

namespace quill {

class FolderTreeModel;

enum class MarkCommand {
  kSetAllMark,        // every card marked
  kFolderMark,        // the cards directly in the selected node's folder
  kFolderMark2,       // every card anywhere below that folder
  kMarkClear,         // every card unmarked
  kFolderMarkClear,   // the cards directly in the folder unmarked
  kFolderMarkClear2,  // every card below the folder unmarked
  kOffNoMark,         // the unmarked cards leave the tree (RemoveUnmarkedCards)
  kSetMarkPopup,      // marked exactly where the one-shot paste flag is set
  kSetMarkNoPopup,    // marked exactly where it is not
  kMarkReverce,       // every mark inverted
};

// Runs one mark command. The folder commands act on the folder of the
// tree's selected node (the node itself when it is a folder); without a
// selected node they do nothing but count.
void RunMarkCommand(FolderTreeModel& form, MarkCommand command);

// Takes every unmarked card node out of the tree (the cards stay in the
// store), inside one tree update; the tree then lists only some cards
// (tree_complete 0). A removed selected node gives the selection to its
// folder; when the editor's node is removed, the editor is cleared (the
// caller has saved its card before).
void RemoveUnmarkedCards(FolderTreeModel& form);

// The first node after `from` in tree order whose mark is not 0 (from the
// start of the tree when `from` is null or the root); with backward the
// last one before it. Null when there is none: no wrap-around.
TreeNode* FindMarkedNode(FolderTreeModel& form, TreeNode* from, bool backward);

// Expands or collapses every node with children from node through its
// whole branch, inside one tree update.
void ExpandBranch(FolderTreeModel& form, bool expand, TreeNode* node);

// Sets the list format TitleFmt (0 title, 1 creation date and title, 2
// update date and title, 3 both months and days and title), rebuilds every
// card's caption from its stored title, and stores the settings group that
// holds the format.
void SetTitleFormat(FolderTreeModel& form, int title_fmt);

// Which items of the tree's popup menu are enabled, for the selected node,
// the AutoSort setting and the marked count. `delete_enabled` is the state
// of the tree panel's delete button, which the menu's delete item follows.
struct ListPopupState {
  bool rename = false;         // folders only
  bool sort_item = false;      // cards; folders only with AutoSort
  bool batch_replace = false;  // at least one card marked
  bool delete_node = false;
};
ListPopupState ListPopupItems(FolderTreeModel& form, bool delete_enabled);

}  // namespace quill
