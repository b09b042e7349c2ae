// The files an HTML view shows a card from: the page ("index.html", the
// card's HTML as its CP932 bytes) and one file per image block, named by
// the block's local name, all directly in one view folder.
#pragma once

#include <string>
#include <string_view>

#include "platform/file_env.h"
#include "platform/status.h"

namespace quill {

// The page shown for a text that is not an HTML card, or a broken one.
std::string NotHtmlPage();

// Writes the view files of `card_text` into `folder` (which the view owns:
// the files an earlier card left there are removed first, so the view
// never shows another card's page or images). A text without the marker
// line, or whose image part is broken, gets NotHtmlPage() as its page
// (also in "qb.hrml"). An image block is written only under a plain file
// name (IsPlainLocalName); any other is skipped. Every failed write is
// returned.
Status WriteHtmlViewFile(FileEnv& env, const std::string& folder, std::string_view card_text);

}  // namespace quill
