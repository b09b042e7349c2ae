#include "main/startup.h"

#include <algorithm>
#include <map>
#include <utility>

#include "platform/messages.h"
#include "platform/ui.h"

namespace quill {

namespace {

bool EndsWithCta(const std::string& name) {
  if (name.size() < 5) return false;  // something before ".cta"
  std::string ext = name.substr(name.size() - 4);
  for (char& c : ext) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return ext == ".cta";
}

std::string WithSlash(std::string folder) {
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return folder;
}

}  // namespace

Status RemoveFolderTree(FileEnv& env, const std::string& path) {
  // Unlinking first removes files and links (a link to a folder goes
  // without touching what it points to); only real folders are walked.
  Status removed = env.Remove(path);
  if (removed.ok()) return Status::Ok();
  std::vector<std::string> names;
  Status listed = env.ListDir(path, &names);
  if (!listed.ok()) {
    if (!env.Exists(path)) return Status::Ok();
    // Not a folder: the file itself would not go, and that is the reason.
    return listed.IsNotFound() ? removed : listed;
  }
  Status first;
  for (const std::string& name : names) {
    Status s = RemoveFolderTree(env, path + "/" + name);
    if (!s.ok() && first.ok()) first = s;
  }
  Status s = env.RemoveDir(path);
  if (!s.ok() && first.ok()) first = s;
  return first;
}

Startup::Startup(FileEnv& env, std::string program_folder)
    : env_(env), program_folder_(WithSlash(std::move(program_folder))) {}

Status Startup::MakeTmpFolder() {
  const std::string tmp = TmpFolder();
  Status created = env_.CreateDir(tmp);
  if (!created.ok()) {
    return Status::IoError(
        MessageUtf8(MessageId::kWorkFolderNotCreated, {tmp, created.message()}));
  }
  // CreateDir accepts any existing name; make sure it is a folder we can use.
  std::vector<std::string> names;
  Status listed = env_.ListDir(tmp, &names);
  if (!listed.ok()) {
    return Status::Invalid(MessageUtf8(MessageId::kWorkFolderNotUsable, {tmp, listed.message()}));
  }
  return Status::Ok();
}

Status Startup::RemoveTmpFolder() { return RemoveFolderTree(env_, TmpFolder()); }

Startup::ResetResult Startup::AskReset(Ui& ui, bool shift_down, bool no_reset_prompt,
                                       const std::function<Status()>& clear_settings) {
  ResetResult result;
  if (!shift_down || no_reset_prompt) return result;
  result.asked = true;
  if (ui.ShowMessageDialog(MessageText(MessageId::kConfirmResetSettings),
                           MessageText(MessageId::kCautionCaption), kMessageYesNo) != kResultYes) {
    return result;
  }
  result.cleared = true;
  if (clear_settings) result.status = clear_settings();
  return result;
}

std::vector<std::string> Startup::ScanClipTools(const std::vector<std::string>& folders) {
  std::map<std::string, std::string> by_name;  // file name -> full path
  for (const std::string& folder : folders) {
    std::vector<std::string> names;
    if (!env_.ListDir(folder, &names).ok()) continue;
    for (const std::string& name : names) {
      if (!EndsWithCta(name) || by_name.count(name) != 0) continue;  // first folder wins
      // Only a regular file: loading a pipe would wait for a writer.
      const std::string path = WithSlash(folder) + name;
      if (env_.IsRegularFile(path)) by_name.emplace(name, path);
    }
  }
  std::vector<std::string> paths;
  for (const auto& [name, path] : by_name) {
    if (paths.size() == kMaxClipTools) break;
    paths.push_back(path);
  }
  return paths;
}

}  // namespace quill
