// The duplicate command: a folder is copied beside itself as "<name>'sCopy"
// with copies of all its cards; the marked cards are copied into the
// top-level folder "TmpFolder"; an unmarked card is copied from the editor
// right after itself. The copies travel through a transfer file in the
// data folder and come back with new identities.
#pragma once

#include "platform/status.h"

namespace quill {

class TreeNode;
struct TransferContext;

namespace store {
class CardRecord;
}  // namespace store

// The suffix of a folder's copy.
inline constexpr char kCopySuffix[] = "'sCopy";

// Copies the folder `folder` (asked first). Refused with a message and
// nothing changed: a sibling of the copy's name exists, a path would pass
// the 100-byte field, the transfer file cannot be written. The data set's
// root beeps. The tree is rebuilt after a copy.
Status DuplicateFolder(TransferContext& ctx, TreeNode* folder);

// Copies every marked card into "TmpFolder" (asked first) and rebuilds the
// tree.
Status DuplicateMarkedCards(TransferContext& ctx);

// Writes `copy` (a cleared record that the caller filled from the editor:
// folder, title, body, kind, widths, icon, source) as a new card with the
// one-shot paste flag of `original`'s node, and puts its node right after
// `original` (its mark too), selected. A refused write shows
// "空き容量が少ないので中断します" and adds no node.
Status DuplicateCard(TransferContext& ctx, store::CardRecord& copy, TreeNode* original,
                     TreeNode** created = nullptr);

}  // namespace quill
