#include "main/search/tree_keys.h"

namespace quill {

TreeKeyResult TreeKeyDown(TreeKey key, bool shift, bool editing_caption,
                          bool awaiting_move_target) {
  switch (key) {
    case TreeKey::kDelete:
      if (editing_caption) return {};
      return {TreeKeyAction::kDeleteNodes, true};
    case TreeKey::kRight:
      if (!shift) return {};
      return {TreeKeyAction::kExpandBranch, true};
    case TreeKey::kLeft:
      if (!shift) return {};
      return {TreeKeyAction::kCollapseBranch, true};
    case TreeKey::kF4:
      return {TreeKeyAction::kToMark, false};
    case TreeKey::kEscape:
      if (awaiting_move_target) return {TreeKeyAction::kCancelPick, true};
      [[fallthrough]];
    case TreeKey::kMenu:
      if (editing_caption) return {};
      return {TreeKeyAction::kListPopup, true};
    default:
      return {};
  }
}

}  // namespace quill
