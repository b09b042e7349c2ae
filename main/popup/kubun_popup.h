// KubunPopup: the folder popup (TaskPopup), through which cards and
// clip-history entries are pasted into the application in front.
//
// It is built afresh from the folder tree each time it is shown, as data
// (PopupEntry): the tray menu's items, the clip history, the folders with
// the cards marked for the popup ("ﾍﾟｰｽﾄ", the listed flag), the recently
// pasted cards and the contents of the popup folder. A table card opens a
// sub-menu of its rows. Choosing an entry pastes it through the owner's
// PasteCard once the popup has closed and the foreground is back with the
// target.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "clip/clip_history.h"
#include "clip/dispatcher.h"
#include "clip/menu_items.h"
#include "main/tree/folder_tree.h"
#include "platform/protocol/shared_hook_block.h"
#include "platform/ui.h"
#include "platform/window_system.h"

namespace quill {

class FolderTreeModel;

inline constexpr size_t kRecentPastedSlots = 10;

// The settings the popup is built from, taken fresh for each build.
struct KubunPopupSettings {
  bool use_history = true;         // UseHistory: the clip history exists
  bool clip_history_root = false;  // ClipHistoryRoot: entries 0..4 at the top
  bool def_paste_list = true;      // DefPasteList: folders under "&Root", the popup folder
  bool use_history_paste = false;  // UseHistoryPaste: the recently pasted cards
  std::string paste_folder;        // PopupKubun: the popup folder's path
  std::array<std::string, kRecentPastedSlots> recent_pasted;  // card ids, newest first
};

class KubunPopup {
 public:
  // A folder's sub-menu offers the cards among its first 49 nodes.
  static constexpr int kFolderNodesShown = 49;
  // The popup folder's section offers at most 50 plain cards.
  static constexpr int kPopupFolderCards = 50;
  // A table card's sub-menu reads at most this many rows.
  static constexpr size_t kMaxTableRows = 10000;

  KubunPopup(FolderTreeModel& form, const ClipHistory& history, MenuItemOwner* owner,
             SharedHookBlock& block, DispatchState& state, DispatchTarget& target,
             WindowSystem& windows, Ui& ui);

  // Builds TaskPopup, pops it up at the cursor (RightClickCount zeroed,
  // NoTrack set while it is open) and, when a popup was prepared, hands
  // the foreground back to CommandTarget. Returns the chosen entry's click
  // (empty when none). A card the build met with the store's fatal status
  // ends the program: the popup is then not shown. `tray_items` are the tray menu's items: they come
  // first, or last when the tray icon asked for the popup (TrayPopupFlag,
  // cleared here).
  std::function<void()> ShowKubunPopup(const KubunPopupSettings& settings,
                                       std::vector<PopupEntry> tray_items);

  // The entries of TaskPopup, without showing them.
  std::vector<PopupEntry> Build(const KubunPopupSettings& settings, bool tray_popup,
                                std::vector<PopupEntry> tray_items);
  // Fills a folder's sub-menu from `cursor`, the node after the folder,
  // and moves the cursor past the folder's nodes. Returns the card entries
  // added, 0 (and the cursor left) when the folder is empty.
  int BuildFolderMenu(TreeNode*& cursor, std::vector<PopupEntry>& parent);
  // Adds a plain card, or a table card with its rows, to `parent`;
  // `count` grows by the entries added. A recently pasted card is noted in
  // RecentNodes, or left out with `skip_recent`.
  void AddCardMenuItem(TreeNode* node, std::vector<PopupEntry>& parent, int& count,
                       bool skip_recent);
  void AddTableCardMenuItem(TreeNode* node, std::vector<PopupEntry>& parent, int& count,
                            bool skip_recent);

  // The last build's entries.
  const std::vector<PopupEntry>& TaskPopup() const { return task_popup_; }
  // The recently pasted cards met in the folders, by slot (valid during a
  // build).
  std::array<TreeNode*, kRecentPastedSlots> RecentNodes{};

 private:
  // The slot of the card among the recently pasted ones, -1 when none.
  int RecentSlot(const TreeNode* node) const;
  void AddCardOrTable(TreeNode* node, std::vector<PopupEntry>& parent, int& count,
                     bool skip_recent);
  PopupEntry HistoryEntry(size_t index, char accelerator) const;

  FolderTreeModel& form_;
  const ClipHistory& history_;
  MenuItemOwner* owner_;
  SharedHookBlock& block_;
  DispatchState& state_;
  DispatchTarget& target_;
  WindowSystem& windows_;
  Ui& ui_;
  std::array<std::string, kRecentPastedSlots> recent_ids_;
  // The last build met the store's fatal status (its message is shown).
  bool fatal_ = false;
  std::vector<PopupEntry> task_popup_;
};

// The rows of a table card's text as its menu offers them: rows split at
// CR and LF, cells at TAB (runs count as one, empty ones vanish); each row
// with two cells or more gives its first and second cell. At most
// `max_rows` rows are read.
std::vector<std::pair<std::string, std::string>> TableMenuRows(const std::string& text,
                                                               size_t max_rows);

}  // namespace quill
