// Folder operations of the folder tree: renaming and deleting folders,
// moving folders and cards, and the pick that waits for a move's target.
//
// A card's folder is only the path in its row (KUBUN), so every operation
// writes the card table first, row by row, and the tree follows: a node
// moves or goes only after its row was written. The rows of a folder are
// those whose KUBUN equals the folder's path or begins with the path and
// one blank (so "A BB" is never one of "A B"); rows in the bin keep their
// path. Every row is checked before the first write; a write that fails
// in the middle of a pass stops it with a message, and the tree is loaded
// again from the table so that it shows what is stored.
//
// `edit_card`, where given, is the card in the editor: it follows a move
// or rename of its folder (a later save then writes the new path), and a
// card deleted with its folder leaves the editor.
//
// Mark states of card nodes: 0 unmarked, 1 marked, 2 picked for a move
// (was unmarked), 3 picked for a move (was marked). A picked folder has
// mark 2 in its record.
#pragma once

#include <string>

#include "main/tree/folder_tree.h"
#include "platform/status.h"

namespace quill {

class FolderTreeModel;

namespace store {
class CardRecord;
}  // namespace store

// The text of the status label while a pick waits for its target (CP932).
const std::string& MoveTargetPrompt();

// Renames folder `node` to `name` (CP932). Refused with a beep: an empty
// name, a name with a blank, a folder of that name beside it. Refused with
// "フォルダ名が長いです": any row's path would grow past 100 bytes (nothing is
// written). Low disk space: a message and the tree loaded again. True when
// the folder was renamed; false leaves the caption as it was. The caller
// sorts the folder's level again afterwards.
bool RenameFolder(FolderTreeModel& form, TreeNode* node, const std::string& name,
                  store::CardRecord* edit_card);

// Picks `node` for a move (the root: a beep): a folder gets mark 2; a
// marked card turns every marked card into state 3; an unmarked card gets
// state 2. The status label asks for the target.
void PickNode(FolderTreeModel& form, TreeNode* node);
// Ends a pending pick: the marks go back to 0 and 1, the counters are
// counted, the status label is emptied.
void CancelPick(FolderTreeModel& form);
// Turns the marks of a move back (3 -> 1, 2 -> 0) without a pick.
void EndMoveMarks(FolderTreeModel& form);

// Moves `source` onto `target`. A card goes into the target folder (as its
// last card) or just before the target card; a card in state 3 takes every
// marked card with it, after one question when more than one is marked. A
// folder goes into the target folder (a card target stands for its folder);
// a folder of the same name there is merged with it after a question.
// Returns 1 when the tree was loaded again (a merge, or a pass that failed
// in the middle), else 0.
int MoveNodes(FolderTreeModel& form, TreeNode* target, TreeNode* source,
              store::CardRecord* edit_card);

// Moves every marked card to the bin and takes its node out of the tree.
// The caller has asked.
Status DeleteMarkedCards(FolderTreeModel& form, store::CardRecord* edit_card);
// Deletes folder `node` with everything below it: its cards go to the bin,
// its folder rows are erased, its node goes and the folder list is
// written. The caller has asked.
Status DeleteFolder(FolderTreeModel& form, TreeNode* node, store::CardRecord* edit_card);

}  // namespace quill
