#include "main/tree/data_folder.h"

#include "main/tree/folder_tree_model.h"
#include "platform/file_env.h"
#include "store/card_store.h"

namespace quill {

bool FileExists(FileEnv& env, const std::string& path) { return env.Exists(path); }

std::string GetEditorDataPath(FolderTreeModel& form) {
  std::string path = form.store().data_path();
  AppendBackslash(path);
  return path;
}

void AppendBackslash(std::string& path) {
  if (path.empty() || path.back() != '/') path += '/';
}

bool ReadTextLine(std::string_view data, size_t* pos, size_t n, std::string* line) {
  line->clear();
  if (*pos >= data.size() || n < 2) return false;
  size_t end = *pos;
  while (end < data.size() && end - *pos < n - 1) {
    if (data[end++] == '\n') break;
  }
  std::string_view got = data.substr(*pos, end - *pos);
  *pos = end;
  size_t cut = got.find_first_of("\r\n");
  line->assign(got.substr(0, cut));
  return true;
}

}  // namespace quill
