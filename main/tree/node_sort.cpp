#include "main/tree/node_sort.h"

#include <string_view>

namespace quill {

namespace {

template <typename T>
int Sign(T a, T b) {
  return a < b ? -1 : (a > b ? 1 : 0);
}

int CompareBytes(std::string_view a, std::string_view b) {
  const int c = a.compare(b);
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

}  // namespace

const char* const kSortTypeNames[6] = {
    "\x83\x5E\x83\x43\x83\x67\x83\x8B\x8F\xB8\x8F\x87",  // タイトル昇順
    "\x83\x5E\x83\x43\x83\x67\x83\x8B\x8D\x7E\x8F\x87",  // タイトル降順
    "\x93\x6F\x98\x5E\x93\xFA\x8F\xB8\x8F\x87",          // 登録日昇順
    "\x93\x6F\x98\x5E\x93\xFA\x8D\x7E\x8F\x87",          // 登録日降順
    "\x8D\x58\x90\x56\x93\xFA\x8F\xB8\x8F\x87",          // 更新日昇順
    "\x8D\x58\x90\x56\x93\xFA\x8D\x7E\x8F\x87",          // 更新日降順
};

int LoaderSortOrder(Settings& settings) {
  if (settings.AutoSort == 0) return 0;
  int i = 0;
  while (i < 6 && settings.SortType != kSortTypeNames[i]) ++i;
  if (i == 6) {
    i = 0;
    settings.SortType = kSortTypeNames[0];
  }
  return i < 2 ? i + 1 : i + 3;
}

int NodeSort::Compare(const void* a, const void* b) {
  const TreeCardEntry& x = **static_cast<const TreeCardEntry* const*>(a);
  const TreeCardEntry& y = **static_cast<const TreeCardEntry* const*>(b);
  switch (order_) {
    case 0:
      return Sign(static_cast<int32_t>(x.position), static_cast<int32_t>(y.position));
    case 1:
      return CompareBytes(x.title, y.title);
    case 2:
      return CompareBytes(y.title, x.title);
    case 3:
      return CompareBytes(x.text_id, y.text_id);
    case 4:
      return CompareBytes(y.text_id, x.text_id);
    case 5:
      return Sign(x.creation_time, y.creation_time);
    case 6:
      return Sign(y.creation_time, x.creation_time);
    case 7:
      return Sign(x.update_time, y.update_time);
    case 8:
      return Sign(y.update_time, x.update_time);
    default:
      return 0;
  }
}

}  // namespace quill
