// FileEnv: every file access of the store and of the settings goes through
// this interface, so that tests can run on a fake that fails on purpose.
//
// Paths are UTF-8 file names of this system. All operations return a
// Status; nothing here terminates the process or prints.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"
#include "platform/status.h"

namespace quill {

// An open file with positioned reads and writes.
class RandomFile {
 public:
  virtual ~RandomFile() = default;
  // Reads up to n bytes at offset into buf; *got receives how many were
  // read (fewer only at the end of the file).
  virtual Status ReadAt(uint64_t offset, void* buf, size_t n, size_t* got) = 0;
  // Writes exactly n bytes at offset; anything less is an error.
  virtual Status WriteAt(uint64_t offset, const void* buf, size_t n) = 0;
  virtual Status Truncate(uint64_t size) = 0;
  virtual Status Size(uint64_t* size) = 0;
  virtual Status Sync() = 0;
  // Closes the file; errors of the close itself are reported here.
  virtual Status Close() = 0;
};

enum class OpenMode {
  kReadOnly,        // must exist
  kReadWrite,       // must exist
  kCreate,          // read-write; created when missing, kept when present
  kCreateTruncate,  // read-write; created when missing, emptied when present
  kCreateNew,       // read-write; created, and AlreadyExists when present
};

class FileEnv {
 public:
  virtual ~FileEnv() = default;

  virtual Status Open(const std::string& path, OpenMode mode,
                      std::unique_ptr<RandomFile>* file) = 0;
  virtual bool Exists(const std::string& path) = 0;
  // Whether path names a regular file (a link is followed), not a folder,
  // a pipe or a device. The default asks the running system.
  virtual bool IsRegularFile(const std::string& path);
  virtual Status Remove(const std::string& path) = 0;
  // Replaces `to` atomically when it exists.
  virtual Status Rename(const std::string& from, const std::string& to) = 0;
  virtual Status CreateDir(const std::string& path) = 0;
  virtual Status RemoveDir(const std::string& path) = 0;
  virtual Status ListDir(const std::string& path, std::vector<std::string>* names) = 0;
  // Makes the folder's entries (files made, renamed or removed in it)
  // durable, as Sync does for a file's bytes.
  virtual Status SyncDir(const std::string& path) = 0;
  // Free bytes for an unprivileged user on the file system holding path.
  virtual Status FreeBytes(const std::string& path, uint64_t* bytes) = 0;
  virtual Clock& clock() = 0;

  // Whole-file helpers built on the primitives above.
  Status ReadFile(const std::string& path, std::string* data);
  // Writes data to path through a temporary file beside it and a rename,
  // so a failure leaves the old file as it was.
  Status WriteFileAtomic(const std::string& path, std::string_view data);

  // The environment of the running system.
  static FileEnv& Default();
};

}  // namespace quill
