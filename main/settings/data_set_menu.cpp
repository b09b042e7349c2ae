#include "main/settings/data_set_menu.h"

#include <filesystem>
#include <memory>

#include "platform/file_env.h"
#include "store/card_store.h"

namespace quill {

namespace {

constexpr char kTreeFileName[] = "quilbo7.tre";

std::string Slashed(std::string folder) {
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return folder;
}

}  // namespace

std::string DataMenuCaption(int i, std::string_view name) {
  return "&" + std::to_string(i) + ":" + std::string(name);
}

std::string NormalDataFolder(std::string_view folder) {
  std::string path(folder);
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  if (path.empty()) return path;
  std::error_code ec;
  std::filesystem::path real = std::filesystem::weakly_canonical(path, ec);
  if (ec) return path;
  std::string s = real.string();
  while (s.size() > 1 && s.back() == '/') s.pop_back();
  return s;
}

bool SameDataFolder(std::string_view a, std::string_view b) {
  return NormalDataFolder(a) == NormalDataFolder(b);
}

void BuildDataMenu(FileEnv& env, const DataFileList& list, std::string_view open_folder,
                   DataMenuItems* menu) {
  for (int i = 0; i < kDataFileSlots; ++i) {
    DataMenuItem& item = (*menu)[i];
    item.caption = DataMenuCaption(i, list.names[i]);
    item.checked = false;
    item.enabled = !list.names[i].empty();
    if (!item.enabled || list.paths[i].empty() || SameDataFolder(list.paths[i], open_folder)) {
      continue;
    }
    // A set whose store exists gets its folder list back when it is gone.
    store::CardStore probe(env, Slashed(list.paths[i]));
    if (probe.Open(/*probe=*/true, Slashed(list.paths[i])).ok()) (void)probe.EnsureTreeFile();
    (void)probe.Close();
  }
}

void RefreshDataMenu(const DataFileList& list, DataMenuItems* menu) {
  for (int i = 0; i < kDataFileSlots; ++i) {
    (*menu)[i].caption = DataMenuCaption(i, list.names[i]);
    (*menu)[i].enabled = !list.names[i].empty();
  }
}

void CheckDataMenu(const DataFileList& list, int k, DataMenuItems* menu) {
  const std::string open = NormalDataFolder(list.paths[k]);
  for (int i = 0; i < kDataFileSlots; ++i) {
    (*menu)[i].checked = i == k;
    (*menu)[i].enabled = NormalDataFolder(list.paths[i]) != open;
  }
}

int DataTreePath(FileEnv& env, const DataFileList& list, int index) {
  if (index < 0 || index >= kDataFileSlots || list.paths[index].empty()) return 0;
  std::unique_ptr<RandomFile> file;
  if (!env.Open(Slashed(list.paths[index]) + kTreeFileName, OpenMode::kReadOnly, &file).ok()) {
    return 0;
  }
  (void)file->Close();
  return 1;
}

}  // namespace quill
