// The sort commands of the folder tree: the cards of a folder sorted once
// and their stored positions rewritten, the sub-folders of a folder put in
// name order, and the stored positions of a folder's cards renumbered in
// tree order.
//
// The six orders, numbered as the menu lists them: 0 title ascending, 1
// title descending, 2 registration (the card id) ascending, 3 descending,
// 4 update time ascending, 5 descending. Their names are kSortTypeNames
// (node_sort.h). Sub-folders always come first, in ascending byte order of
// their names, then the cards.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "main/tree/folder_tree.h"
#include "platform/status.h"
#include "store/sort.h"

namespace quill {

class FolderTreeModel;

namespace store {
class CardRecord;
}  // namespace store

// One card node of a sort, with its title when the order needs it.
struct TreeSortItem {
  TreeNode* node = nullptr;
  std::string title;
};

// Orders TreeSortItem pointers by one of the six orders: titles as
// unsigned bytes, card ids as bytes, update times as unsigned numbers.
class TreeSort : public store::T_SORT {
 public:
  explicit TreeSort(int order) : order_(order) {}
  int Compare(const void* a, const void* b) override;
  // Whether the order compares the cards' stored titles.
  bool NeedsTitles() const { return order_ == 0 || order_ == 1; }

 private:
  int order_;
};

// Orders TreeNode pointers by descending caption bytes: moved one after
// another to the front, they end in ascending order.
class TreeSortFolder : public store::T_SORT {
 public:
  int Compare(const void* a, const void* b) override;
};

// The sort command of the six menu items (order 0..5). With AutoSort on,
// the order's name becomes the setting SortType, its settings group is
// stored and the tree is loaded again, every folder's cards in that order
// (the load's result is returned). Otherwise the cards of the selected
// card's folder (a selected folder: nothing) are sorted, each card title
// read once, moved behind the folder's sub-folders in one step, and their
// positions stored (RenumberCards). The caller saves the editor's card
// first; edit_card, when given, is that card.
Status SortCards(FolderTreeModel& form, int order, store::CardRecord* edit_card = nullptr);

// Puts the sub-folders of the folder that holds `node` (its parent) in
// ascending byte order of their names, ahead of the cards. With update the
// change runs inside one tree update.
void SortFolderChildren(FolderTreeModel& form, TreeNode* node, bool update);

// Writes the stored positions of the cards of a folder (`node` itself when
// it is a folder, else its parent) as 0, 1, 2, ... in tree order, through
// one card record kept open; nothing with AutoSort on. A card not found in
// the store is passed over and not counted. A refused write ends the run
// and is shown to the user ("空き容量が少ないので処理できません" for want of
// space); the positions written before it stay. edit_card, when given, is
// the editor's card: it takes the position stored for it, so that its next
// save keeps it.
Status RenumberCards(FolderTreeModel& form, TreeNode* node,
                     store::CardRecord* edit_card = nullptr);

}  // namespace quill
