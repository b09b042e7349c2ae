// The keys of the folder tree: what a key pressed in the tree does.
#pragma once

namespace quill {

enum class TreeKey { kDelete, kLeft, kRight, kF4, kEscape, kMenu, kOther };

enum class TreeKeyAction {
  kNone,
  kDeleteNodes,     // delete the marked cards or the selection
  kExpandBranch,    // the selected node's whole branch
  kCollapseBranch,
  kToMark,          // jump to the next mark
  kCancelPick,      // a move waiting for its target is cancelled
  kListPopup,       // save the card, then the tree's menu at the selected node
};

struct TreeKeyResult {
  TreeKeyAction action = TreeKeyAction::kNone;
  bool consumed = false;  // the tree itself does not see the key
};

// editing_caption: a node's caption is being edited in place;
// awaiting_move_target: a move waits for its target ("移動先？").
TreeKeyResult TreeKeyDown(TreeKey key, bool shift, bool editing_caption,
                          bool awaiting_move_target);

}  // namespace quill
