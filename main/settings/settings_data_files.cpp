#include "main/settings/settings_data_files.h"

#include <vector>

namespace quill {
namespace {

std::string SlotKey(int i) { return "DataFile" + std::to_string(i + 1); }

// Pieces of value between runs of TABs.
std::vector<std::string_view> SplitAtTabs(std::string_view value) {
  std::vector<std::string_view> pieces;
  size_t pos = 0;
  while (pos < value.size()) {
    while (pos < value.size() && value[pos] == '\t') ++pos;
    if (pos == value.size()) break;
    size_t end = value.find('\t', pos);
    if (end == std::string_view::npos) end = value.size();
    pieces.push_back(value.substr(pos, end - pos));
    pos = end;
  }
  return pieces;
}

}  // namespace

int LoadDataFileList(const RegistryStore::Snapshot& registry, std::string_view start_argument,
                     DataFileList* list) {
  int result = -1;
  for (int i = 0; i < kDataFileSlots; ++i) {
    const std::string value = registry.ReadString(kQuillmainEnvKey, SlotKey(i), "");
    list->names[i].clear();
    list->paths[i].clear();
    std::vector<std::string_view> pieces = SplitAtTabs(value);
    if (!pieces.empty()) list->names[i] = pieces[0];
    if (pieces.size() > 1) list->paths[i] = pieces[1];
    if (!start_argument.empty() && list->names[i] == start_argument) result = i;
  }
  if (list->names[0].empty()) list->names[0] = kFirstDataFileName;
  return result;
}

void SaveDataFileList(const DataFileList& list, RegistryStore::Batch* batch) {
  for (int i = 0; i < kDataFileSlots; ++i) {
    batch->WriteString(kQuillmainEnvKey, SlotKey(i), list.names[i] + "\t" + list.paths[i]);
  }
}

}  // namespace quill
