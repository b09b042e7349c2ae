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
// same menu with a transfer mode; the transfer itself is a DataSetTransfer
// that the window plugs in. Without one the mode is dropped and nothing
// is written.
#pragma once

#include <string>

#include "main/datasets/data_set_menu.h"
#include "main/settings.h"
#include "platform/status.h"

namespace quill {

class FileEnv;
class MessageBus;
class SharedHookBlock;
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

// Writing cards of the open set into set `index` (transfer mode 1: the
// marked cards, 2: all of them).
class DataSetTransfer {
 public:
  virtual ~DataSetTransfer() = default;
  virtual void WriteToDataSet(int index, int mode) = 0;
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
  void set_transfer(DataSetTransfer* transfer) { transfer_ = transfer; }

  // Opens set `index` (at_start: from the start or command 105, without
  // saving the editor's card and without touching the one-shot folder).
  // The result is what the store said when no set could be opened.
  Status SwitchDataFile(int index, bool at_start);

 private:
  // Whether the store in `folder` can be opened: Ok, NotFound (no store),
  // or why not.
  Status Probe(const std::string& folder);
  Status Reopen(const std::string& folder);
  void ShowFailure(const Status& status);

  FileEnv& env_;
  store::CardStore& store_;
  Settings& settings_;
  Ui& ui_;
  DataSetView& view_;
  SharedHookBlock* block_;
  MessageBus* bus_;
  DataSetTransfer* transfer_ = nullptr;
  DataMenuItems menu_;
};

}  // namespace quill
