// The order of the cards inside a folder of the tree: the card entries the
// loader collects, the comparator that sorts them, and the sort orders the
// setting SortType names.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "main/settings/settings.h"
#include "store/sort.h"

namespace quill {

// -1, 0 or 1 as a is less than, equal to or greater than b. The sorts
// compare, never subtract: a difference of two 32-bit times overflows.
template <typename T>
int CompareValues(T a, T b) {
  return a < b ? -1 : (a > b ? 1 : 0);
}
// The same for byte strings, bytes taken as unsigned (as strcmp does).
inline int CompareBytes(std::string_view a, std::string_view b) {
  const int c = a.compare(b);
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

// What the loader keeps of one listed card until its folder's cards are
// sorted and become nodes. Title and card id are views of the loader's
// own copy of the rows' bytes.
struct TreeCardEntry {
  uint32_t record_no = 0;
  uint32_t position = 0;  // stored position among the folder's cards
  std::string_view title;
  uint8_t one_shot_paste = 0;
  uint32_t update_time = 0;
  uint32_t creation_time = 0;
  uint32_t mark = 0;
  uint8_t kind = 0;       // icon 0..99
  uint8_t two_column = 0;
  uint8_t body_mode = 0;  // 0, 'C', 'H'
  uint8_t locked = 0;
  std::string_view text_id;
};

// Orders TreeCardEntry pointers: 0 stored position; 1/2 title ascending /
// descending (bytes); 3/4 card id; 5/6 creation time; 7/8 update time.
class NodeSort : public store::T_SORT {
 public:
  explicit NodeSort(int order) : order_(order) {}
  int Compare(const void* a, const void* b) override;

 private:
  int order_;
};

// The six order names of SortType, in menu order (CP932).
extern const char* const kSortTypeNames[6];
// The loader's NodeSort order: 0 without AutoSort; with it, the position i
// of SortType among the six names gives i + 1 for i < 2, else i + 3. An
// unknown SortType is replaced by the first name.
int LoaderSortOrder(Settings& settings);

}  // namespace quill
