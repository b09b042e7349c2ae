#include "main/editor/html_view_folder.h"

#include "clip/html_view_file.h"
#include "main/startup.h"
#include "platform/messages.h"

namespace quill {

Status HtmlViewFolder::Create(FileEnv& env, const std::string& parent,
                              std::unique_ptr<HtmlViewFolder>* folder) {
  const std::string base = parent.ends_with('/') ? parent : parent + "/";
  // The numbers go on over the whole run, so a name is not taken again
  // while something of an earlier window might still be in the way.
  static unsigned next = 0;
  std::string path;
  do {
    path = base + "win" + std::to_string(++next);
  } while (env.Exists(path));
  Status created = env.CreateDir(path);
  if (!created.ok()) {
    return Status::IoError(
        MessageUtf8(MessageId::kWorkFolderNotCreated, {path, created.message()}));
  }
  folder->reset(new HtmlViewFolder(env, std::move(path)));
  return Status::Ok();
}

HtmlViewFolder::~HtmlViewFolder() {
  // What is left when this fails goes with the work folder at the end of
  // the run.
  RemoveFolderTree(env_, path_);
}

Status HtmlViewFolder::Write(std::string_view card_text) {
  return WriteHtmlViewFile(env_, path_, card_text);
}

}  // namespace quill
