// History lists behind the combo boxes of the search dialogs and of the
// card's source box: one string of entries, each followed by one TAB, the
// most recent first.
#pragma once

#include <string>
#include <vector>

#include "platform/search_dialogs.h"

namespace quill {

// The entries of a history (empty pieces skipped).
std::vector<std::string> SplitHistoryList(const std::string& history);

// The combo's list becomes the history's entries; its text the first of
// them (an empty history leaves the text as it was).
void FillHistoryCombo(ComboContent* combo, const std::string& history);

// The history after choosing `text`: text first, then the first 20 earlier
// entries that differ from it; each entry followed by one TAB.
std::string UpdateHistoryList(const std::string& text, const std::string& history);

}  // namespace quill
