// The run-time folder of this user's Quillbox processes, and the lock that
// tells whether an instance of quillmain is running.
//
// The lock is an flock on a file in the run-time folder. The kernel drops
// it when the holder ends in any way, a crash or kill -9 included, so a
// held lock means a live owner and a free lock means that whatever the
// last owner left behind (its shared block, its message sockets) is stale.
#pragma once

#include <memory>
#include <string>

#include "platform/status.h"

namespace quill {

// The folder for locks and message sockets: "$XDG_RUNTIME_DIR/quillbox"
// when XDG_RUNTIME_DIR names a folder, else "/tmp/quillbox-<uid>". The
// folder is created with mode 0700 when missing; an existing one must be a
// real folder (not a link) owned by this user and closed to everyone else,
// or the call fails: in a shared /tmp someone else could have made it.
Status RuntimeFolder(std::string* path);

// Checks (and creates when missing) one such private folder.
Status EnsurePrivateFolder(const std::string& path);

class InstanceLock {
 public:
  // Tries to take the lock on the file at `path` (created when missing)
  // without waiting. On success *lock holds it; when another process holds
  // it, the result is ok and *lock stays empty. The descriptor is not
  // inherited by programs this process starts, so a child cannot keep the
  // lock alive after its parent has gone.
  static Status TryAcquire(const std::string& path, std::unique_ptr<InstanceLock>* lock);

  ~InstanceLock();  // releases the lock; the file stays
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

 private:
  explicit InstanceLock(int fd) : fd_(fd) {}
  int fd_;
};

// The lock file of quillmain in a run-time folder.
inline std::string InstanceLockPath(const std::string& runtime_folder) {
  return runtime_folder + "/didevar.lock";
}

}  // namespace quill
