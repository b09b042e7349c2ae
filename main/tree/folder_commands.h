// FolderCommands: what the user's clicks, keys, drags and commands on the
// folder tree do: renaming in place, picking a node and placing it, drops,
// deleting into the bin, marking by click or Space, and opening cards by
// double click or Enter. The work is done by folder_operations.h; the tree
// widget is reached through FolderCommandsView.
#pragma once

#include <string>

#include "main/tree/folder_tree.h"

namespace quill {

class CardEditor;
class DeferredCommands;
class FolderTreeModel;

class FolderCommandsView {
 public:
  virtual ~FolderCommandsView() = default;
  // Opens the card in a card window of its own.
  virtual void OpenCardWindow(const std::string& card_id) = 0;
  // Opens the editor's card in a card window.
  virtual void EditInCardWindow() = 0;
  // The icon picker for the editor's card.
  virtual void ChooseKind() = 0;
  // The tree's popup menu at the pointer.
  virtual void PopupListMenu() = 0;
  // Makes node the tree's current row; no selection handler runs.
  virtual void SelectNode(TreeNode* node) = 0;
  // Moves the current row one row down, as the Down key does.
  virtual void SelectNextRow() = 0;
  // Shows the busy cursor over the tree while a drop is carried out.
  virtual void SetBusyCursor(bool on) = 0;
};

enum class TreeButton { kLeft, kRight };

// Where the pointer is on the tree: the node under it (null: empty
// space), whether it is on that node's icon, and the point.
struct TreeHit {
  TreeNode* node = nullptr;
  bool on_icon = false;
  int x = -1;
  int y = -1;
};

class FolderCommands {
 public:
  FolderCommands(FolderTreeModel& form, CardEditor& editor, FolderCommandsView& view,
                 DeferredCommands& scheduler);

  // Whether node's caption may be edited in place: folders but the root.
  static bool CanEditCaption(const TreeNode* node);
  // The caption edited in place was committed as `text` (CP932).
  void TreeEdited(TreeNode* node, const std::string& text);

  // Picks the selected node for a move (the menu's "移動(&M)").
  void MoveNodeClick();
  void CancelPick();
  bool pick_pending() const;
  // A node dragged onto target (null: no node under the drop point).
  void TreeDragDrop(TreeNode* target, TreeNode* dragged);
  // Deletes the marked cards, the selected card or the selected folder,
  // after asking.
  void IkkatuDeleteClick();

  // A mouse button pressed on the tree; true when the press is used up
  // (the tree itself must not act on it).
  bool TreeMouseDown(TreeButton button, const TreeHit& hit);
  void TreeMouseUp(const TreeHit& hit);
  // A character key on the tree ('\r' Enter, ' ' Space, any other); true
  // when it is used up.
  bool TreeKeyPress(char key);
  void TreeDblClick(TreeNode* node);
  // The focus went to another control of the window.
  void TreeExit();

 private:
  // The pick is placed on target, then ended.
  void PlacePick(TreeNode* target);
  // Makes node the selected node and shows it in the editor.
  void SelectAndOpen(TreeNode* node);
  // After the tree changed: the view shows the selected node.
  void ShowSelection();
  // Toggles a card's mark between 0 and 1 and shows the counters.
  void ToggleMark(TreeNode* node);

  FolderTreeModel& form_;
  CardEditor& editor_;
  FolderCommandsView& view_;
  DeferredCommands& scheduler_;
  // Where the left button went down on an icon; -1 when not.
  int down_x_ = -1;
  int down_y_ = -1;
};

}  // namespace quill
