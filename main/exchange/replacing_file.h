// ReplacingFile: writes a file whole or not at all. The bytes go to a
// temporary file made exclusively beside the target under a name nobody can
// foresee (FileEnv::CreateTempBeside); Commit gives it the mode the target
// must have (FileEnv::ReplacementMode), syncs and closes it and renames it
// over the target, so the old file (or a link of that name, which is
// replaced, never followed) stays as it was until the new one is complete.
// Every write, the sync and the close are checked; the first failure is
// kept, later appends do nothing, and Commit reports it after removing the
// temporary file.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/file_env.h"
#include "platform/status.h"

namespace quill {

class ReplacingFile {
 public:
  // path: UTF-8 file name of the target.
  ReplacingFile(FileEnv& env, std::string path);
  ~ReplacingFile();  // an uncommitted file is abandoned
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;

  // Creates the temporary file; its failure is the file's status.
  Status Open();
  void Append(std::string_view bytes);
  const Status& status() const { return status_; }
  Status Commit();
  // Removes the temporary file; the target is untouched.
  void Abandon();

 private:
  void Flush();

  FileEnv& env_;
  std::string path_;
  std::string temp_;
  std::unique_ptr<RandomFile> file_;
  std::string buffer_;
  uint64_t offset_ = 0;
  Status status_;
};

}  // namespace quill
