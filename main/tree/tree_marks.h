// The jump to the next or previous marked node.
#pragma once

#include "main/tree/folder_tree.h"

namespace quill {

// The node the jump to a mark goes to from the selected node: forwards,
// the first node after it in tree order whose mark is not 0 (from the top
// when the root or nothing is selected); backwards, the last such node
// before it. Null when there is none: the selection stays.
TreeNode* NextMarkedNode(const FolderTree& tree, bool backwards);

}  // namespace quill
