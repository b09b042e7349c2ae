// The batch change of the marked cards (SetSyuttenClick): a new source, a
// card icon, the one-shot paste flag and the automatic title, each only
// when chosen in TSyuttenFm. A card is written only when something of it
// changed; a write that is refused or fails stops the batch with a message,
// so the cards after it stay as they were and only the cards written
// change in the tree.
#pragma once

namespace quill {

class FolderTreeModel;
class SmallDialogs;

class BatchChangeView {
 public:
  virtual ~BatchChangeView() = default;
  virtual void SaveCurrentCard() = 0;
  // The selected node's card is loaded into the editor again.
  virtual void ReloadEditorCard() = 0;
};

class BatchChange {
 public:
  BatchChange(FolderTreeModel& form, SmallDialogs& dialogs, BatchChangeView& view);
  void SetSyuttenClick();

 private:
  FolderTreeModel& form_;
  SmallDialogs& dialogs_;
  BatchChangeView& view_;
};

}  // namespace quill
