#include "platform/status.h"

#include <cerrno>
#include <cstring>

namespace quill {

std::string Status::ToString() const {
  static const char* const kNames[] = {"ok",      "not found", "permission denied",
                                       "I/O error", "no space", "corrupt",
                                       "invalid",   "out of range", "duplicate", "fatal"};
  std::string s = kNames[code_];
  if (!message_.empty()) {
    s += ": ";
    s += message_;
  }
  return s;
}

Status ErrnoStatus(const std::string& what, int err) {
  std::string m = what + ": " + std::strerror(err);
  switch (err) {
    case ENOENT:
    case ENOTDIR:
      return Status::NotFound(m);
    case EEXIST:
      return Status::Duplicate(m);
    case EACCES:
    case EPERM:
    case EROFS:
      return Status::Permission(m);
    case ENOSPC:
    case EDQUOT:
    case ENOMEM:
      return Status::NoSpace(m);
    default:
      return Status::IoError(m);
  }
}

}  // namespace quill
