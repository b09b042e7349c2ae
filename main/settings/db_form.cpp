#include "main/settings/db_form.h"

#include "platform/file_env.h"
#include "platform/messages.h"
#include "platform/text_codec.h"
#include "platform/ui.h"
#include "platform/ui_messages.h"
#include "store/card_store.h"
#include "platform/sjis.h"

namespace quill {

DbForm::DbForm(FileEnv& env, std::string program_folder, Ui& ui)
    : env_(env), program_folder_(std::move(program_folder)), ui_(ui) {}

bool DbForm::Button1Click() {
  std::string name = Meisyou;
  quill::TrimBoth(name);
  if (name.empty()) return false;
  Meisyou = name;
  // The list keeps name and folder as one value split at TABs.
  if (name.find('\t') != std::string::npos || Dir.find('\t') != std::string::npos) {
    ShowWarning(ui_, MessageId::kTabInDataSet);
    return false;
  }
  if (folder_fixed) return true;
  std::string folder = Dir;
  std::string trimmed = folder;
  quill::TrimBoth(trimmed);
  // No folder picked is no folder: never the file system's root.
  if (trimmed.empty()) {
    ShowWarning(ui_, MessageId::kNoFolderChosen);
    return false;
  }
  if (folder.back() != '/') folder += '/';
  Dir = folder;

  store::CardStore set(env_, program_folder_);
  Status probed = set.Open(/*probe=*/true, folder);
  if (probed.IsNotFound()) {
    if (ui_.ShowMessageDialog(MessageText(MessageId::kCreateDataFilesHere),
                              MessageText(MessageId::kCautionCaption),
                              kMessageYesNo) != kResultYes) {
      return false;
    }
    Status made = set.Open(/*probe=*/false, folder);
    if (made.ok()) made = set.Close();
    if (made.ok()) probed = set.Open(/*probe=*/true, folder);
    if (!probed.ok()) {
      ShowWarning(ui_, MessageId::kCannotCreateDataFiles);
      return false;
    }
  } else if (!probed.ok()) {
    ShowWarning(ui_, MessageId::kDataSetNotOpened, {Utf8ToCp932(probed.message())});
    return false;
  }
  Status rebuilt = set.RebuildTreeFile();
  Status closed = set.Close();
  if (!rebuilt.ok() || !closed.ok()) {
    const Status& failed = rebuilt.ok() ? closed : rebuilt;
    ShowWarning(ui_, MessageId::kDataSetNotOpened, {Utf8ToCp932(failed.message())});
    return false;
  }
  return true;
}

}  // namespace quill
