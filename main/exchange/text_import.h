// The text import: text files become cards of the selected folder. A file
// is split at lines that begin with fifteen at signs; a file without such
// a line becomes one card titled with its base name, the cards of a split
// file are titled from their texts.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/status.h"

namespace quill {

class FolderTreeModel;
class TreeNode;
struct TransferContext;

namespace store {
class CardRecord;
}  // namespace store

inline constexpr std::string_view kImportSeparator = "@@@@@@@@@@@@@@@";
// The most text one imported card collects.
inline constexpr size_t kImportCardLimit = 1000000;

// The bytes of an import file as CP932 with CR LF: taken as CP932 unless
// they are valid UTF-8 holding a non-ASCII byte or begin with a UTF-8 BOM,
// which are converted; a LF without CR before it becomes CR LF.
std::string ImportFileText(std::string_view bytes);

// Whether the bytes of an import file are text: no NUL byte, and every
// byte valid in the encoding ImportFileText takes them in (UTF-8 after a
// BOM or when valid UTF-8; otherwise Shift-JIS, whose double-byte
// characters need their second byte and whose single bytes 0x80, 0xA0 and
// 0xFD to 0xFF are no characters).
bool IsImportableText(std::string_view bytes);

struct ImportSplit {
  std::vector<std::string> cards;
  bool had_separator = false;
  // Lines were left out because a card passed kImportCardLimit.
  bool cut = false;
};
// Splits the text at separator lines. A card's text is its lines with
// their line ends; lines that would take a card past the limit are left
// out, up to the next separator. An empty piece makes no card.
ImportSplit SplitImportText(std::string_view text);

// The title of a file without separator lines: its base name (after the
// last "/" up to the first "."), CP932.
std::string ImportTitle(const std::string& utf8_path);

// Makes one card in the folder of folder_node (source "一括読み込み",
// title `title` or, when empty, from the text, stored position `position`),
// writes it through card (a record of the form's store, which the caller
// may keep open over many) and adds its node under folder_node. A refused
// write adds no node and is returned.
Status AddCardFromText(FolderTreeModel& form, store::CardRecord& card, TreeNode* folder_node,
                       const std::string& text, const std::string& title, uint32_t position,
                       TreeNode** node);

// The import command after the editor's card was saved: into the folder
// of the selected node (a beep for the data set's root), the files chosen
// in the open dialog, in order. Stops with a message when a card cannot be
// written (for lack of space: "空き容量が少ないので中断します"); the cards
// made before stay. Files cut at the card limit are named in a warning, and
// so are files that are not text (IsImportableText), of which no card is
// made.
Status RunTextImport(TransferContext& ctx);

}  // namespace quill
