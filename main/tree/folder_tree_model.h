// FolderTreeModel: the folder tree of the main window together with the
// state the window keeps about it (counters, the loading flag, the busy
// state) and the ports it works through (card store, settings, Ui, view).
//
// The operations on it live beside it: tree_loader.h builds the tree from
// the card table, node_operations.h adds, refreshes and finds nodes and
// creates folders, node_captions.h makes the captions, node_sort.h orders
// the cards of a folder and data_folder.h holds the file helpers.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#include "main/settings/settings.h"
#include "main/tree/folder_tree.h"

namespace quill {

class Clock;
class Ui;

namespace store {
class CardStore;
}  // namespace store

// What the window shows for the tree besides the tree itself.
class FolderTreeView {
 public:
  virtual ~FolderTreeView() = default;
  // Lets the application handle pending events (between rows of a load).
  virtual void ProcessMessages() {}
  virtual void ShowProgress(int64_t maximum) {}
  virtual void SetProgress(int64_t position) {}
  virtual void HideProgress() {}
  // The card and mark counters.
  virtual void ShowCounts(int64_t cards, int64_t marked) {}
  // The editor's card is cleared and shown empty.
  virtual void ClearEditor() {}
  // Stores one group of the settings (main/settings.h).
  virtual void SaveSettingsGroup(int group) {}
  // The window's status label (CP932): a move waiting for its target.
  virtual void ShowStatus(const std::string& text) {}
};

class FolderTreeModel {
 public:
  // view may be null (nothing is shown). Messages, questions and beeps of
  // the tree and the card editor go through ui.
  FolderTreeModel(store::CardStore& store, Settings& settings, Ui& ui,
                  FolderTreeView* view = nullptr);
  FolderTreeModel(const FolderTreeModel&) = delete;
  FolderTreeModel& operator=(const FolderTreeModel&) = delete;

  FolderTree& tree() { return tree_; }
  store::CardStore& store() { return store_; }
  Settings& settings() { return settings_; }
  const Settings& settings() const { return settings_; }
  FolderTreeView& view() { return *view_; }
  Ui& ui() { return ui_; }
  void set_view(FolderTreeView* view);
  BusyState& busy() { return busy_; }
  Clock& clock();

  // The data set's name: the root's caption.
  const std::string& data_set_name() const { return data_set_name_; }
  void set_data_set_name(std::string name) { data_set_name_ = std::move(name); }

  bool DefAutoTitle() const { return settings_.DefAutoTitle != 0; }

  // The room the tree loader works in (tree_loader.cpp), kept for the next
  // load: a reload of a tree of the same size finds it ready.
  std::shared_ptr<void>& load_room() { return load_room_; }

  int64_t card_count = 0;    // card nodes in the tree
  int64_t marked_count = 0;  // card nodes whose mark is not 0
  // 1 after a load that listed every card; cleared when cards are taken
  // out of the view.
  int tree_complete = 0;
  // Set while the tree loads or a card is saved: the tree's change event
  // does nothing meanwhile.
  bool loading = false;

 private:
  store::CardStore& store_;
  Settings& settings_;
  Ui& ui_;
  FolderTreeView default_view_;
  FolderTreeView* view_;
  FolderTree tree_;
  BusyState busy_;
  std::string data_set_name_;
  std::shared_ptr<void> load_room_;
};

}  // namespace quill
