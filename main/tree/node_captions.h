// Captions of the tree's nodes and the card titles they are made from: a
// card node's caption by the list format, the root's caption, and the
// stored title of a card looked up by its row or its card id.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quill {

class Clock;
class FolderTreeModel;

// A card's caption by the list format (TitleFmt): 0 the title; 1
// "yy/mm/dd title" of the creation date; 2 the same of the update date; 3
// "mm/dd mm/dd title" of the creation and the update date. Dates are in
// the clock's local time.
std::string FormatNodeCaption(int title_fmt, Clock& clock, std::string_view title,
                              uint32_t update_time, uint32_t creation_time);
std::string FormatNodeCaption(FolderTreeModel& form, std::string_view title,
                              uint32_t update_time, uint32_t creation_time);
// The root's caption: the data set's name, with AutoSort "name(SortType)".
std::string RootCaption(const FolderTreeModel& form);

// The stored title of the card with that row and card id; empty when not
// found.
std::string GetCardTitle(FolderTreeModel& form, uint32_t record_no, std::string_view text_id);
std::string GetCardTitleById(FolderTreeModel& form, const std::string& text_id);

}  // namespace quill
