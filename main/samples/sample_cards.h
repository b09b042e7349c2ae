// The sample cards that a new data set 0 starts with. They are kept as
// UTF-8 source (sample_cards.txt) and built into "Sample.dat": a transfer
// file of CP932 text with CR LF line ends, whose cards carry fixed
// identities, so that every installation gets the same card ids.
//
// Source layout, line by line:
//   "## ..."            a comment (also inside a card's text)
//   "=== card"          starts a card; "key: value" lines follow up to
//   "---"               which the text follows, up to the next "=== card"
//                       or the end; trailing empty lines are dropped.
// Keys: folder (names joined by blanks), title, source, paste (0 or 1:
// listed for one-shot paste), id ("<creation time> <creation tick>"),
// updated (update time), icon (0-99), kind ("text" or "table"). A table's
// rows are its text lines, its cells separated by " | "; a table of
// exactly two columns is a two-column table.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "main/exchange/transfer_format.h"
#include "platform/status.h"

namespace quill {

inline constexpr char kSampleFileName[] = "Sample.dat";

// The cards of the source, in order, their texts converted to CP932 with
// CR LF line ends. Invalid (naming the line) for an unknown key, a number
// that does not parse, a card without folder, title or id, or an id used
// twice.
Status ParseSampleCards(std::string_view utf8, std::vector<TransferCard>* cards);

// The bytes of the transfer file holding the cards.
std::string BuildSampleFile(const std::vector<TransferCard>& cards);

}  // namespace quill
