#include "main/search/history_list.h"

namespace quill {

namespace {

// Earlier entries kept behind the chosen one.
constexpr int kHistoryEarlierLimit = 20;

}  // namespace

std::vector<std::string> SplitHistoryList(const std::string& history) {
  std::vector<std::string> items;
  size_t start = 0;
  while (start <= history.size()) {
    size_t tab = history.find('\t', start);
    if (tab == std::string::npos) tab = history.size();
    if (tab > start) items.push_back(history.substr(start, tab - start));
    start = tab + 1;
  }
  return items;
}

void FillHistoryCombo(ComboContent* combo, const std::string& history) {
  combo->items = SplitHistoryList(history);
  if (!combo->items.empty()) combo->text = combo->items.front();
}

std::string UpdateHistoryList(const std::string& text, const std::string& history) {
  std::string list = text + "\t";
  int earlier = 0;
  for (const std::string& item : SplitHistoryList(history)) {
    if (earlier == kHistoryEarlierLimit) break;
    if (item == text) continue;
    list += item + "\t";
    ++earlier;
  }
  return list;
}

}  // namespace quill
