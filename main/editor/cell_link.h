// Links held in the text of a card: what a table cell or a dropped file
// stands for, and the card a card link names.
//
// A cell links to
//   "<file=" path ">"    a file, opened by the desktop;
//   "<card=" title ">"   another card, found by its exact title;
//   "http:…", "https:…", "mailto:…"   an address, as it stands;
//   a mail address       "mailto:" followed by the cell text.
// Texts are CP932.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/status.h"

namespace quill {

namespace store {
class CardStore;
}

struct CellLink {
  enum class Kind { kNone, kFile, kCard, kAddress };
  Kind kind = Kind::kNone;
  // The path, the card title or the address to open.
  std::string target;
};

// What a double click on a cell holding `cell` opens. A file link is
// recognised by its first five bytes "<file": the path is what follows
// "<file=" less the last byte (the closing ">"; a link typed without it
// loses its last character). A card link ("<card") is trimmed of blanks at
// both ends and of a closing ">"; the title is what follows "<card=".
// A link too short to hold a path or a title opens nothing. Text without a
// double-byte character and with an at-sign is a mail address.
CellLink ParseCellLink(std::string_view cell);

// The text a dropped file becomes: "<file=" path ">".
std::string FileLinkText(std::string_view path);

// Whether a dropped path can stand in a table cell: TAB, CR and LF would
// split it into other cells or rows.
bool PathFitsCell(std::string_view path);

// Sets *card_id to the id of the first card in folder-path order whose
// title is exactly `title` (bytes), skipping cards in the bin and folder
// rows; nullopt when there is none (an empty title names no card).
Status FindLinkedCard(store::CardStore& cards, std::string_view title,
                      std::optional<std::string>* card_id);

}  // namespace quill
