#include "platform/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace quill {
namespace {

bool IsFolder(const char* path) {
  struct stat st;
  return ::stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

Status EnsurePrivateFolder(const std::string& path) {
  if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
    return ErrnoStatus("create folder " + path, errno);
  }
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0) return ErrnoStatus("examine folder " + path, errno);
  if (!S_ISDIR(st.st_mode)) return Status::Permission(path + " is not a folder");
  if (st.st_uid != ::geteuid()) return Status::Permission(path + " belongs to another user");
  if ((st.st_mode & 077) != 0) return Status::Permission(path + " is open to other users");
  return Status::Ok();
}

Status RuntimeFolder(std::string* path) {
  const char* xdg = std::getenv("XDG_RUNTIME_DIR");
  if (xdg != nullptr && *xdg == '/' && IsFolder(xdg)) {
    *path = std::string(xdg) + "/quillbox";
  } else {
    *path = "/tmp/quillbox-" + std::to_string(::getuid());
  }
  return EnsurePrivateFolder(*path);
}

Status InstanceLock::TryAcquire(const std::string& path, std::unique_ptr<InstanceLock>* lock) {
  lock->reset();
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return ErrnoStatus("open lock file " + path, errno);
  while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    int err = errno;
    if (err == EINTR) continue;
    ::close(fd);
    if (err == EWOULDBLOCK) return Status::Ok();
    return ErrnoStatus("lock " + path, err);
  }
  lock->reset(new InstanceLock(fd));
  return Status::Ok();
}

InstanceLock::~InstanceLock() { ::close(fd_); }

}  // namespace quill
