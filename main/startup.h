// Startup: what the main window's creation and closing decide and do on
// disk, without widgets: the work folder "tmp", the question whether to
// clear the settings, and the list of clip-tool plug-ins.
//
// The program folder is the per-user folder that holds "quillmain.ini",
// "tmp/" and the default data set; it ends with "/".
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_env.h"
#include "platform/status.h"

namespace quill {

class Ui;

// At most this many clip-tool plug-ins are listed.
constexpr size_t kMaxClipTools = 200;

class Startup {
 public:
  Startup(FileEnv& env, std::string program_folder);

  const std::string& program_folder() const { return program_folder_; }
  // program folder + "quillmain.ini".
  std::string IniFilePath() const { return program_folder_ + "quillmain.ini"; }
  std::string TmpFolder() const { return program_folder_ + "tmp"; }

  // Creates "tmp" (an existing folder is fine). Fails when it cannot be
  // created or the name is taken by something that is not a folder.
  Status MakeTmpFolder();
  // Removes "tmp" with everything in it; a missing folder is fine.
  Status RemoveTmpFolder();

  // The reset question "clear the settings?" (through ui), asked only when
  // Shift is held and "R" was not given. On Yes, `clear_settings` runs (it deletes
  // the registry store's key and the ini file).
  struct ResetResult {
    bool asked = false;
    bool cleared = false;
    Status status;  // the result of clearing
  };
  ResetResult AskReset(Ui& ui, bool shift_down, bool no_reset_prompt,
                       const std::function<Status()>& clear_settings);

  // Plug-in files ("*.cta", ASCII case ignored; regular files only) of the
  // folders in order, as full paths sorted by file name; a name found in an
  // earlier folder hides the same name in a later one. At most kMaxClipTools. A folder
  // that cannot be listed contributes nothing.
  std::vector<std::string> ScanClipTools(const std::vector<std::string>& folders);

 private:
  FileEnv& env_;
  std::string program_folder_;
};

// Removes `path` with everything below it through env; a missing path is fine.
Status RemoveFolderTree(FileEnv& env, const std::string& path);

}  // namespace quill
