// Building the folder tree from the card table.
//
// Every row of the table carries its folder path (KUBUN: the folder names
// below the root joined by one blank), and every folder has a row of its
// own whose TITLE is FolderMarkerTitle. The table's folder index hands the
// rows over grouped and in path order, so a folder always arrives before
// its sub-folders; each folder's cards are sorted (node_sort.h) and become
// nodes once its rows are all read.
#pragma once

#include "platform/status.h"

namespace quill {

class FolderTreeModel;

namespace store {
class CardRecord;
}  // namespace store

// The search a tree load filters cards by.
class CardSearch {
 public:
  virtual ~CardSearch() = default;
  // Whether the card matches. The card is loaded without its text; its row
  // is set, so a search in the text can load it.
  virtual bool Matches(store::CardRecord& card) = 0;
};

// Rebuilds the whole tree from the card table; criteria may be null. Cards
// without a folder are moved into the top-level folder "0" (reusing one
// that exists), and missing folder rows of the paths met are written.
// NoSpace: a card could not be moved into "0"; the message has been shown
// and the program must end (with a non-zero exit code). Any other error
// (the table cannot be read) is returned for the caller to report; the
// tree then holds what was read.
Status LoadFolderTree(FolderTreeModel& form, CardSearch* criteria);

}  // namespace quill
