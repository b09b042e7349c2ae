// The bin of deleted cards (UndeleteSyoriClick): lists every card in the
// bin, then restores the checked ones into their folders (the folder rows
// missing along a card's path written again) or erases them
// for good and tidies the card files. Every step's result is checked: a
// failure stops the rest, is shown, and the tree is read again from what
// the store holds.
#pragma once

#include <string>
#include <vector>

#include "platform/status.h"

namespace quill {

class FolderTreeModel;
class SmallDialogs;
enum class MessageId;

namespace store {
class CardStore;
}  // namespace store

struct BinCard {
  std::string id;
  std::string title;
  std::string folder;
};

// Every card in the bin (folder rows never are), in key order. No limit on
// the count.
Status ListBin(store::CardStore& store, std::vector<BinCard>* cards);

// What the bin asks of the window.
class BinView {
 public:
  virtual ~BinView() = default;
  virtual void SaveCurrentCard() = 0;
  // A folder or card picked for a move is let go.
  virtual void CancelNodeMove() = 0;
  // The tree is read anew from the store (and shown).
  virtual void ReloadTree() = 0;
};

class DeletedCardsBin {
 public:
  DeletedCardsBin(FolderTreeModel& form, SmallDialogs& dialogs, BinView& view);
  void UndeleteSyoriClick();

 private:
  void Restore(const std::vector<BinCard>& cards, const std::vector<bool>& checked);
  void Erase(const std::vector<BinCard>& cards, const std::vector<bool>& checked);
  void ShowFailure(MessageId message, const Status& status);

  FolderTreeModel& form_;
  SmallDialogs& dialogs_;
  BinView& view_;
};

}  // namespace quill
