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
  // Sets the file's permission bits (0600 and the like).
  virtual Status SetMode(uint32_t mode) = 0;
  // Closes the file; errors of the close itself are reported here.
  virtual Status Close() = 0;
};

// Only regular files open. No mode but kReadChosen follows a symbolic link
// in the last part of the path: a link there is refused (kPermission, with
// LinkRefused's message), so the program's own files are never read or
// written through a link planted in their place. Links in the folders
// above (a data folder that is itself a link) are followed as usual.
enum class OpenMode {
  kReadOnly,        // must exist
  kReadWrite,       // must exist
  kCreate,          // read-write; created exclusively when missing, kept when present
  kCreateTruncate,  // read-write; created exclusively when missing, emptied when present
  kCreateNew,       // read-write; created, and Duplicate when the name is taken (a link too)
  kReadChosen,      // read-only, a file the user chose (an import): a final link is followed
};

// What WriteFileAtomic does when the target's name is a symbolic link.
enum class LinkAtTarget {
  kRefuse,   // the program's own files: LinkRefused, nothing written
  kReplace,  // a file the user exports into a folder: the link itself is
             // replaced by the file (never followed)
};

// The refusal of a link that stands where a file of the program should be.
Status LinkRefused(const std::string& path);

// The permission bits of the files the program writes.
inline constexpr uint32_t kPrivateFileMode = 0600;

class FileEnv {
 public:
  virtual ~FileEnv() = default;

  virtual Status Open(const std::string& path, OpenMode mode,
                      std::unique_ptr<RandomFile>* file) = 0;
  // Whether the name is taken: a symbolic link counts, wherever it points.
  virtual bool Exists(const std::string& path) = 0;
  // Whether path names a regular file (a link is followed), not a folder,
  // a pipe or a device. The default asks the running system.
  virtual bool IsRegularFile(const std::string& path);
  // Whether the last part of path is a symbolic link. The default asks the
  // running system.
  virtual bool IsLink(const std::string& path);
  // The permission bits of the regular file at path (a link is not
  // followed); NotFound when there is none. The default asks the running
  // system.
  virtual Status FileMode(const std::string& path, uint32_t* mode);
  virtual Status Remove(const std::string& path) = 0;
  // Replaces `to` atomically when it exists.
  virtual Status Rename(const std::string& from, const std::string& to) = 0;
  // Makes the folder (0700), or accepts one that is there; a link or a file
  // in its place is refused (LinkRefused for a link), never followed.
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
  // mode: kReadOnly, or kReadChosen for a file the user chose.
  Status ReadFile(const std::string& path, std::string* data,
                  OpenMode mode = OpenMode::kReadOnly);
  // Writes data to path through a temporary file beside it (made by
  // CreateTempBeside) and a rename, so a failure leaves the old file as it
  // was. The file gets ReplacementMode(path).
  Status WriteFileAtomic(const std::string& path, std::string_view data,
                         LinkAtTarget link = LinkAtTarget::kRefuse);
  // Creates a new file in path's folder under a name nobody can foresee
  // (path + ".new-" + random letters), exclusively: a name that is taken,
  // by a file or a link, is never opened. *temp receives the name.
  Status CreateTempBeside(const std::string& path, std::unique_ptr<RandomFile>* file,
                          std::string* temp);
  // Whether name is one that CreateTempBeside makes for a file called
  // `file` (a file name without folder).
  static bool IsTempNameOf(std::string_view name, std::string_view file);
  // The mode a file that replaces path gets: 0600, or the mode of the file
  // it replaces when that is stricter.
  uint32_t ReplacementMode(const std::string& path);

  // The environment of the running system.
  static FileEnv& Default();
};

}  // namespace quill
