// DataSets: the data-set list of the settings, its menu and the switch
// from the open set to another (SwitchDataFile).
//
// A switch closes the open store, checks that the chosen set can be used
// and only then opens it: a set without a folder gives set 0 silently, a
// folder without a store gives set 0 with "ファイルがありません", and a
// store that exists but cannot be opened is reported while the set open
// before stays open. The window sees the switch through DataSetView.
//
// Writing the marked (or all) cards into another set goes through the
// same menu with a transfer mode: the cards are written into a transfer
// file in the chosen set's folder, the store is opened there to merge the
// file, and the set shown is opened again. "書き出しました" is said only
// when all three went through; the window's transfer state (the tree, the
// dialogs, AllTorikomi) is plugged in with set_transfer. Without it the
// mode is dropped and nothing is written.
#pragma once

#include <string>
#include <vector>

#include "main/settings/data_set_menu.h"
#include "main/settings/settings.h"
#include "platform/status.h"

namespace quill {

class FileEnv;
class MessageBus;
class SharedHookBlock;
struct TransferContext;
class Ui;

namespace store {
class CardStore;
}  // namespace store

// What the switch asks of the window.
class DataSetView {
 public:
  virtual ~DataSetView() = default;
  // Stores the card being edited.
  virtual void SaveCurrentCard() = 0;
  // The store is open on another set: its tree is loaded under the set's
  // name (CP932), counted and its selection shown. NoSpace: the load has
  // said that the program ends.
  virtual Status ShowDataSet(const std::string& name) = 0;
  // The window's caption (CP932).
  virtual void SetCaption(const std::string& caption) = 0;
  // The menu entries changed (checks, enabling, captions).
  virtual void DataMenuChanged() = 0;
  // The folder list file of the tree now shown is written.
  virtual void WriteTreeFile() = 0;
  // The card that the append command remembers is forgotten.
  virtual void ForgetAppendCard() = 0;
  virtual void SaveSettingsGroup(int group) = 0;
};

class DataSets {
 public:
  // block and bus may be null (no button bar to tell).
  DataSets(FileEnv& env, store::CardStore& store, Settings& settings, Ui& ui,
           DataSetView& view, SharedHookBlock* block, MessageBus* bus);

  const DataMenuItems& menu() const { return menu_; }
  // BuildDataMenu over the settings' list, the open store's set left out
  // of the probing.
  void Build();
  void Refresh();

  // 0: the menu switches; 1: it writes the marked cards into the chosen
  // set; 2: all cards.
  int transfer_mode = 0;
  // The tree, dialogs and AllTorikomi of the window, over the same store.
  void set_transfer(TransferContext* transfer) { transfer_ = transfer; }

  // Opens set `index` (at_start: from the start or command 105, without
  // saving the editor's card and without touching the one-shot folder).
  // The result is what the store said when no set could be opened.
  // With a transfer mode set, writes into set `index` instead
  // (WriteToDataSet) and resets the mode.
  Status SwitchDataFile(int index, bool at_start);

  // Writes the marked cards (mode 1) or every card (mode 2; the marks are
  // set for it and all cleared after) into set `index`, after asking
  // whether cards with older update times go too. A free slot is refused.
  // The set shown stays open; when it cannot be opened again the store is
  // left on its folder, never on the target's.
  Status WriteToDataSet(int index, int mode);

 private:
  // Whether the store in `folder` can be opened: Ok, NotFound (no store),
  // or why not.
  Status Probe(const std::string& folder);
  Status Reopen(const std::string& folder);
  void ShowFailure(const Status& status);
  // Closes the open set. A close that fails loses nothing (its journal
  // stays for the set's next open, which recovers it) and is told here,
  // once; the store's own close in the next Open stays silent.
  Status CloseOpenSet();
  // Writes the transfer file into `target` and merges it there.
  // unreadable: the titles of cards left out because they could not be read.
  Status WriteAndMerge(TransferContext& ctx, const std::string& target,
                       std::vector<std::string>* unreadable);

  FileEnv& env_;
  store::CardStore& store_;
  Settings& settings_;
  Ui& ui_;
  DataSetView& view_;
  SharedHookBlock* block_;
  MessageBus* bus_;
  TransferContext* transfer_ = nullptr;
  DataMenuItems menu_;
};

}  // namespace quill
