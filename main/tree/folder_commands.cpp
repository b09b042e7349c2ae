#include "main/tree/folder_commands.h"

#include "main/editor/card_editor.h"
#include "main/tree/folder_operations.h"
#include "main/tree/folder_tree_model.h"
#include "main/tree/folder_tree_visitors.h"
#include "main/tree/node_operations.h"
#include "platform/messages.h"
#include "platform/protocol/shared_hook_block.h"
#include "platform/ui.h"
#include "platform/ui_messages.h"
#include "store/card_store.h"

namespace quill {

namespace {

// The edited folder level is sorted again a second after the edit.
constexpr uint32_t kResortDelayMs = 1000;

// The node that keeps the selection when `node` goes with everything that
// `goes` says: a later sibling, an earlier one, else the nearest folder
// above.
template <typename Goes>
TreeNode* Survivor(TreeNode* node, Goes goes) {
  for (TreeNode* n = node->next_sibling(); n != nullptr; n = n->next_sibling()) {
    if (!goes(n)) return n;
  }
  for (TreeNode* n = node->prev_sibling(); n != nullptr; n = n->prev_sibling()) {
    if (!goes(n)) return n;
  }
  return node->parent();
}

}  // namespace

FolderCommands::FolderCommands(FolderTreeModel& form, CardEditor& editor,
                               FolderCommandsView& view, DeferredCommands& scheduler)
    : form_(form), editor_(editor), view_(view), scheduler_(scheduler) {}

bool FolderCommands::CanEditCaption(const TreeNode* node) {
  return node != nullptr && node->IsFolder() && !IsTopNode(node);
}

void FolderCommands::TreeEdited(TreeNode* node, const std::string& text) {
  if (!CanEditCaption(node)) return;
  if (text.empty()) {
    form_.ui().MessageBeep();
    return;
  }
  // The editor's edits are stored first: a pass that fails on the way loads
  // the tree again, and the editor with it.
  editor_.SaveCurrentCard(true);
  RenameFolder(form_, node, text, &editor_.EditCard());
  ShowSelection();
  scheduler_.ScheduleCommand(kResortDelayMs, static_cast<uint16_t>(CommandCode::kResortFolder), 0);
}

bool FolderCommands::pick_pending() const { return form_.tree().picked_node() != nullptr; }

void FolderCommands::MoveNodeClick() { PickNode(form_, form_.tree().selected_node()); }

void FolderCommands::CancelPick() { quill::CancelPick(form_); }

void FolderCommands::PlacePick(TreeNode* target) {
  TreeNode* picked = form_.tree().picked_node();
  editor_.SaveCurrentCard(true);
  MoveNodes(form_, target, picked, &editor_.EditCard());
  quill::CancelPick(form_);
  ShowSelection();
}

void FolderCommands::TreeDragDrop(TreeNode* target, TreeNode* dragged) {
  if (target == nullptr || dragged == nullptr) {
    form_.ui().MessageBeep();
    return;
  }
  editor_.SaveCurrentCard(true);
  const bool marked = !dragged->IsFolder() && dragged->info().Mark() == 1;
  // The marked cards travel together.
  if (marked) CSetMarkFlag(form_, 2).Walk(nullptr);
  view_.SetBusyCursor(true);
  const int reloaded = MoveNodes(form_, target, dragged, &editor_.EditCard());
  view_.SetBusyCursor(false);
  if (marked) {
    EndMoveMarks(form_);
    UpdateCountDisplay(form_, true);
  }
  if (reloaded == 0) {
    SelectAndOpen(dragged);
  } else {
    ShowSelection();
  }
}

void FolderCommands::IkkatuDeleteClick() {
  editor_.SaveCurrentCard(true);
  FolderTree& tree = form_.tree();
  TreeNode* node = tree.selected_node();
  if (node == nullptr || IsTopNode(node)) {
    form_.ui().MessageBeep();
    return;
  }
  const auto ask = [this](MessageId question) { return ConfirmCaution(form_.ui(), question); };
  if (!node->IsFolder()) {
    if (node->info().Mark() == 0) {
      UpdateCountDisplay(form_, true);
      if (form_.marked_count == 0 || ask(MessageId::kConfirmDeleteUnmarkedCard)) {
        editor_.DelClick();
      }
      return;
    }
    if (!ask(MessageId::kConfirmDeleteMarkedCards)) return;
    TreeNode* next = Survivor(node, [](const TreeNode* n) {
      return !n->IsFolder() && n->info().Mark() != 0;
    });
    if (DeleteMarkedCards(form_, &editor_.EditCard()).ok()) {
      SelectAndOpen(next);
    } else {
      ShowSelection();
    }
    return;
  }
  if (!ask(MessageId::kConfirmDeleteFolder) || !ask(MessageId::kConfirmDeleteFolderAgain)) {
    return;
  }
  TreeNode* next = Survivor(node, [](const TreeNode*) { return false; });
  if (DeleteFolder(form_, node, &editor_.EditCard()).ok()) {
    SelectAndOpen(next);
  } else {
    ShowSelection();
  }
}

bool FolderCommands::TreeMouseDown(TreeButton button, const TreeHit& hit) {
  editor_.SaveCurrentCard(true);
  if (button == TreeButton::kRight) {
    if (hit.node != nullptr && hit.on_icon) {
      if (!hit.node->IsFolder()) {
        SelectAndOpen(hit.node);
        view_.ChooseKind();
        editor_.SaveCurrentCard(true);
      }
      return true;
    }
    quill::CancelPick(form_);
    view_.PopupListMenu();
    return true;
  }
  if (pick_pending()) {
    if (hit.node == nullptr) {
      form_.ui().MessageBeep();
    } else {
      PlacePick(hit.node);
    }
    return true;
  }
  if (hit.node != nullptr && hit.on_icon) {
    down_x_ = hit.x;
    down_y_ = hit.y;
  }
  quill::CancelPick(form_);
  return false;
}

void FolderCommands::TreeMouseUp(const TreeHit& hit) {
  const bool same_point = hit.x == down_x_ && hit.y == down_y_ && down_x_ >= 0;
  down_x_ = down_y_ = -1;
  if (hit.node == nullptr || !hit.on_icon || !same_point) return;
  ToggleMark(hit.node);
}

void FolderCommands::ToggleMark(TreeNode* node) {
  if (!node->IsFolder() && node->info().Mark() <= 1) {
    node->info().SetMark(node->info().Mark() == 0 ? 1 : 0);
    form_.tree().NodeChanged(node);
  }
  UpdateCountDisplay(form_, true);
}

bool FolderCommands::TreeKeyPress(char key) {
  FolderTree& tree = form_.tree();
  TreeNode* node = tree.selected_node();
  if (key == '\r') {
    if (pick_pending()) {
      if (node != nullptr) PlacePick(node);
      return true;
    }
    if (node == nullptr || node->IsFolder()) return false;
    editor_.SaveCurrentCard(true);
    view_.EditInCardWindow();
    return true;
  }
  quill::CancelPick(form_);
  if (key != ' ' || node == nullptr || IsTopNode(node)) return false;
  ToggleMark(node);
  view_.SelectNextRow();
  return true;
}

void FolderCommands::TreeDblClick(TreeNode* node) {
  if (node == nullptr || node->IsFolder()) return;
  if (node == editor_.EditNode()) {
    view_.EditInCardWindow();
  } else {
    view_.OpenCardWindow(std::string(node->info().TextId()));
  }
}

void FolderCommands::TreeExit() { quill::CancelPick(form_); }

void FolderCommands::SelectAndOpen(TreeNode* node) {
  if (node == nullptr) {
    ShowSelection();
    return;
  }
  form_.tree().set_selected_node(node);
  form_.tree().set_current_node(node);
  view_.SelectNode(node);
  editor_.OpenSelectedNode();
}

void FolderCommands::ShowSelection() { view_.SelectNode(form_.tree().selected_node()); }

}  // namespace quill
