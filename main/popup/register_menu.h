// RegisterMenu: the register-here menu (TaskPopup), shown when a capture
// has no folder to go to, and the append menu (SubPopupMenu) of a folder's
// cards.
//
// The register-here menu offers the registration history first (folders
// registered into, cards appended to), then every folder of the current
// data set and of each other data set, read from their folder lists
// ("quilbo7.tre"): register here as text, as HTML (browser windows only)
// and, in the current data set, append to one of the folder's cards.
// Choosing a folder makes it the one-shot folder and registers there;
// choosing "append" opens the append menu, whose cards take the clipboard
// through CardAppend.
//
// Both menus are built as data (PopupEntry) and shown through the Ui at
// the cursor with NoTrack set. A menu closed without a choice puts the
// user's clipboard back.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "clip/card_append.h"
#include "clip/dispatcher.h"
#include "clip/menu_items.h"
#include "clip/register_history.h"
#include "main/tree/folder_tree_visitors.h"
#include "platform/file_env.h"
#include "platform/protocol/shared_hook_block.h"
#include "platform/ui.h"
#include "platform/window_system.h"

namespace quill {

class FolderTreeModel;

// What the main window tells and does for the menus.
class RegisterMenuView {
 public:
  virtual ~RegisterMenuView() = default;
  virtual int CurrentDataSet() = 0;
  // Data set `index` (0..9): its name ("" for a free slot) and folder.
  virtual std::string DataSetName(int index) = 0;
  virtual std::string DataSetFolder(int index) = 0;
  // Whether the target window's focused window is of a browser's class.
  virtual bool IsBrowserWindow(WindowHandle window) = 0;
  // TuikaOrikaesiSuu: cards per level of the append menu (0: 9999).
  virtual int TuikaOrikaesiSuu() = 0;
  // OneShotDataSet and OneShotFolder.
  virtual void SetOneShotDataSet(int index) = 0;
  virtual void SetOneShotFolder(const std::string& path) = 0;
  // The one-shot registration, into the one-shot folder.
  virtual void RegisterFromClipboard() = 0;
  // The tray menu's items, offered when the tray asked for the menu.
  virtual std::vector<PopupEntry> TrayMenuItems() = 0;
};

class RegisterMenu {
 public:
  static constexpr size_t kDisplayPathMax = 50;
  static constexpr int kUnlimitedCards = 9999;
  static constexpr uint32_t kFocusBackDelayMs = 500;

  RegisterMenu(FolderTreeModel& form, FileEnv& env, RegisterHistory& history, CardAppend& append,
               MenuItemOwner* owner, SharedHookBlock& block, Dispatcher& dispatcher,
               DispatchTarget& target, WindowSystem& windows, Ui& ui, RegisterMenuView& view);

  // The registration found no usable folder: the menu comes up in front
  // of the target, the choice runs, and the focus goes back to the target
  // half a second later (command 106, unless an append menu took over).
  void ChooseFolder();
  // Builds TaskPopup, pops it up and runs the choice.
  void ShowRegisterMenu();
  // The entries of TaskPopup; `any_folder` tells whether a data set gave a
  // folder.
  std::vector<PopupEntry> Build(bool browser, bool* any_folder);
  void BuildRegisterHistoryMenu(std::vector<PopupEntry>& menu, bool browser);
  // Fills `parent`, the item of folder `prefix`, from lines[next] on: its
  // register items, then its sub-folders (the lines that begin with the
  // prefix and a blank). `next` is left at the first line outside the
  // folder; true when the lines ran out.
  bool BuildFolderRegisterItems(const std::vector<std::string>& lines, size_t& next,
                                std::vector<PopupEntry>& parent, const std::string& prefix,
                                int data_set, bool no_append, bool browser);

  // The clicks of the register items.
  void AddMenuClick(const AddMenuItem& item);
  void RegisterIntoFolder(int data_set, const std::string& path, uint8_t html);
  void ShowAppendMenu(const std::string& path);

  const std::vector<PopupEntry>& TaskPopup() const { return task_popup_; }
  const std::vector<PopupEntry>& SubPopupMenu() const { return sub_popup_; }

 private:
  // The folder lines of a data folder's list, empty ones left out; none
  // when the list cannot be read.
  std::optional<std::vector<std::string>> ReadFolderList(const std::string& folder);
  // The folder of data set `index`; "" when it has none.
  std::string FolderOf(int index);
  // The first-level folders of the lines, each an item filled with its
  // register items and sub-folders.
  void AddFolders(const std::vector<std::string>& lines, std::vector<PopupEntry>& menu,
                  int data_set, bool no_append, bool browser, int image);
  PopupEntry RegisterItem(const char* caption_utf8, int mode, int data_set,
                          const std::string& path, uint8_t html) const;
  void AddAppendEntries(const TuikaMenu& menu, std::vector<PopupEntry>& out) const;
  // The tray menu's items; choosing one puts the user's clipboard back
  // first.
  std::vector<PopupEntry> TrayEntries(std::vector<PopupEntry> items);
  // Pops `entries` up at the cursor with NoTrack set around it.
  std::function<void()> Popup(const std::vector<PopupEntry>& entries);

  FolderTreeModel& form_;
  FileEnv& env_;
  RegisterHistory& history_;
  CardAppend& append_;
  MenuItemOwner* owner_;
  SharedHookBlock& block_;
  Dispatcher& dispatcher_;
  DispatchTarget& target_;
  WindowSystem& windows_;
  Ui& ui_;
  RegisterMenuView& view_;
  std::vector<PopupEntry> task_popup_;
  std::vector<PopupEntry> sub_popup_;
};

// A folder path as the history shows it: as it is up to 50 bytes, else
// "..." and as many of its last names as fit in 50 bytes.
std::string DisplayFolderPath(const std::string& path);

}  // namespace quill
