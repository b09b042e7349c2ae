#include "platform/shared_memory.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace quill {
namespace {

Status CheckName(const std::string& name) {
  if (name.size() < 2 || name[0] != '/' || name.find('/', 1) != std::string::npos ||
      name.size() > NAME_MAX) {
    return Status::Invalid("bad shared memory name \"" + name + "\"");
  }
  return Status::Ok();
}

}  // namespace

Status SharedMemory::Create(const std::string& name, size_t size,
                            std::unique_ptr<SharedMemory>* out) {
  out->reset();
  QUILL_RETURN_IF_ERROR(CheckName(name));
  if (size == 0) return Status::Invalid("empty shared memory block");
  int fd = ::shm_open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return ErrnoStatus("create shared memory " + name, errno);
  auto fail = [&](const std::string& what, int err) {
    ::close(fd);
    ::shm_unlink(name.c_str());
    return ErrnoStatus(what + " " + name, err);
  };
  if (::ftruncate(fd, static_cast<off_t>(size)) != 0) return fail("size shared memory", errno);
  // Reserve the pages now: a sparse block on a full tmpfs would only fail
  // later, with SIGBUS at the first write.
  int err = ::posix_fallocate(fd, 0, static_cast<off_t>(size));
  if (err != 0 && err != EOPNOTSUPP && err != EINVAL) return fail("reserve shared memory", err);
  void* p = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  if (p == MAP_FAILED) return fail("map shared memory", errno);
  ::close(fd);
  out->reset(new SharedMemory(name, static_cast<uint8_t*>(p), size));
  return Status::Ok();
}

Status SharedMemory::Open(const std::string& name, size_t size,
                          std::unique_ptr<SharedMemory>* out) {
  out->reset();
  QUILL_RETURN_IF_ERROR(CheckName(name));
  int fd = ::shm_open(name.c_str(), O_RDWR | O_CLOEXEC, 0);
  if (fd < 0) return ErrnoStatus("open shared memory " + name, errno);
  struct stat st;
  if (::fstat(fd, &st) != 0) {
    int e = errno;
    ::close(fd);
    return ErrnoStatus("examine shared memory " + name, e);
  }
  // Another user may have put a block under our name; never take it.
  if (st.st_uid != ::geteuid()) {
    ::close(fd);
    return Status::Permission("shared memory " + name + " belongs to another user");
  }
  if (st.st_size < static_cast<off_t>(size)) {
    ::close(fd);
    return Status::Corrupt("shared memory " + name + " has " + std::to_string(st.st_size) +
                           " bytes, expected " + std::to_string(size));
  }
  void* p = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  int e = errno;
  ::close(fd);
  if (p == MAP_FAILED) return ErrnoStatus("map shared memory " + name, e);
  out->reset(new SharedMemory(name, static_cast<uint8_t*>(p), size));
  return Status::Ok();
}

Status SharedMemory::Unlink(const std::string& name) {
  QUILL_RETURN_IF_ERROR(CheckName(name));
  if (::shm_unlink(name.c_str()) != 0) return ErrnoStatus("remove shared memory " + name, errno);
  return Status::Ok();
}

SharedMemory::~SharedMemory() {
  if (data_ != nullptr) ::munmap(data_, size_);
}

std::string SharedBlockName() {
  const char* v = std::getenv("QUILLBOX_BLOCK_NAME");
  if (v != nullptr && *v != '\0') return v;
  return "/didevar-" + std::to_string(::getuid());
}

}  // namespace quill
