// The FileEnv and Clock of the running system, over POSIX calls.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

#include "platform/file_env.h"

namespace quill {
namespace {

class PosixFile final : public RandomFile {
 public:
  PosixFile(std::string path, int fd) : path_(std::move(path)), fd_(fd) {}
  ~PosixFile() override {
    if (fd_ >= 0) ::close(fd_);
  }

  Status ReadAt(uint64_t offset, void* buf, size_t n, size_t* got) override {
    size_t done = 0;
    char* p = static_cast<char*>(buf);
    while (done < n) {
      ssize_t r = ::pread(fd_, p + done, n - done, static_cast<off_t>(offset + done));
      if (r < 0) {
        if (errno == EINTR) continue;
        *got = done;
        return ErrnoStatus("read " + path_, errno);
      }
      if (r == 0) break;
      done += static_cast<size_t>(r);
    }
    *got = done;
    return Status::Ok();
  }

  Status WriteAt(uint64_t offset, const void* buf, size_t n) override {
    size_t done = 0;
    const char* p = static_cast<const char*>(buf);
    while (done < n) {
      ssize_t r = ::pwrite(fd_, p + done, n - done, static_cast<off_t>(offset + done));
      if (r < 0) {
        if (errno == EINTR) continue;
        return ErrnoStatus("write " + path_, errno);
      }
      if (r == 0) return Status::IoError("write " + path_ + ": no progress");
      done += static_cast<size_t>(r);
    }
    return Status::Ok();
  }

  Status Truncate(uint64_t size) override {
    if (::ftruncate(fd_, static_cast<off_t>(size)) != 0)
      return ErrnoStatus("truncate " + path_, errno);
    return Status::Ok();
  }

  Status Size(uint64_t* size) override {
    struct stat st;
    if (::fstat(fd_, &st) != 0) return ErrnoStatus("stat " + path_, errno);
    *size = static_cast<uint64_t>(st.st_size);
    return Status::Ok();
  }

  Status Sync() override {
    if (::fdatasync(fd_) != 0) return ErrnoStatus("sync " + path_, errno);
    return Status::Ok();
  }

  Status Close() override {
    if (fd_ < 0) return Status::Ok();
    int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) return ErrnoStatus("close " + path_, errno);
    return Status::Ok();
  }

 private:
  std::string path_;
  int fd_;
};

class SystemClock final : public Clock {
 public:
  uint32_t TickCount() override {
    struct timespec ts;
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    uint64_t ms = static_cast<uint64_t>(ts.tv_sec) * 1000u +
                  static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
    return static_cast<uint32_t>(ms);
  }
  int64_t Now() override { return static_cast<int64_t>(::time(nullptr)); }
  LocalTime Local(int64_t seconds) override {
    time_t t = static_cast<time_t>(seconds);
    struct tm tm;
    ::localtime_r(&t, &tm);
    return LocalTimeFromTm(tm);
  }
};

class PosixEnv final : public FileEnv {
 public:
  Status Open(const std::string& path, OpenMode mode,
              std::unique_ptr<RandomFile>* file) override {
    int flags = O_CLOEXEC;
    switch (mode) {
      case OpenMode::kReadOnly: flags |= O_RDONLY; break;
      case OpenMode::kReadWrite: flags |= O_RDWR; break;
      case OpenMode::kCreate: flags |= O_RDWR | O_CREAT; break;
      case OpenMode::kCreateTruncate: flags |= O_RDWR | O_CREAT | O_TRUNC; break;
      case OpenMode::kCreateNew: flags |= O_RDWR | O_CREAT | O_EXCL; break;
    }
    int fd;
    do {
      fd = ::open(path.c_str(), flags, 0600);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return ErrnoStatus("open " + path, errno);
    file->reset(new PosixFile(path, fd));
    return Status::Ok();
  }

  bool Exists(const std::string& path) override {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
  }

  Status Remove(const std::string& path) override {
    if (::unlink(path.c_str()) != 0) return ErrnoStatus("remove " + path, errno);
    return Status::Ok();
  }

  Status Rename(const std::string& from, const std::string& to) override {
    if (::rename(from.c_str(), to.c_str()) != 0)
      return ErrnoStatus("rename " + from + " to " + to, errno);
    return Status::Ok();
  }

  Status CreateDir(const std::string& path) override {
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
      return ErrnoStatus("create folder " + path, errno);
    return Status::Ok();
  }

  Status RemoveDir(const std::string& path) override {
    if (::rmdir(path.c_str()) != 0) return ErrnoStatus("remove folder " + path, errno);
    return Status::Ok();
  }

  Status ListDir(const std::string& path, std::vector<std::string>* names) override {
    names->clear();
    DIR* d = ::opendir(path.c_str());
    if (d == nullptr) return ErrnoStatus("list " + path, errno);
    while (struct dirent* e = ::readdir(d)) {
      if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
      names->emplace_back(e->d_name);
    }
    ::closedir(d);
    return Status::Ok();
  }

  Status SyncDir(const std::string& path) override {
    int fd;
    do {
      fd = ::open(path.empty() ? "." : path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return ErrnoStatus("open folder " + path, errno);
    int r = ::fsync(fd);
    int err = errno;
    ::close(fd);
    if (r != 0) return ErrnoStatus("sync folder " + path, err);
    return Status::Ok();
  }

  Status FreeBytes(const std::string& path, uint64_t* bytes) override {
    struct statvfs vfs;
    if (::statvfs(path.empty() ? "." : path.c_str(), &vfs) != 0)
      return ErrnoStatus("free space of " + path, errno);
    *bytes = static_cast<uint64_t>(vfs.f_bavail) * static_cast<uint64_t>(vfs.f_frsize);
    return Status::Ok();
  }

  Clock& clock() override { return Clock::System(); }
};

}  // namespace

Clock& Clock::System() {
  static SystemClock clock;
  return clock;
}

FileEnv& FileEnv::Default() {
  static PosixEnv env;
  return env;
}

bool FileEnv::IsRegularFile(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

Status FileEnv::ReadFile(const std::string& path, std::string* data) {
  std::unique_ptr<RandomFile> f;
  QUILL_RETURN_IF_ERROR(Open(path, OpenMode::kReadOnly, &f));
  uint64_t size = 0;
  QUILL_RETURN_IF_ERROR(f->Size(&size));
  data->assign(static_cast<size_t>(size), '\0');
  size_t got = 0;
  QUILL_RETURN_IF_ERROR(f->ReadAt(0, data->data(), data->size(), &got));
  data->resize(got);
  return f->Close();
}

Status FileEnv::WriteFileAtomic(const std::string& path, std::string_view data) {
  const std::string tmp = path + ".new";
  std::unique_ptr<RandomFile> f;
  QUILL_RETURN_IF_ERROR(Open(tmp, OpenMode::kCreateTruncate, &f));
  Status s = f->WriteAt(0, data.data(), data.size());
  if (s.ok()) s = f->Sync();
  Status c = f->Close();
  if (s.ok()) s = c;
  if (s.ok()) s = Rename(tmp, path);
  if (!s.ok()) Remove(tmp);  // best effort; the old file is untouched
  return s;
}

}  // namespace quill
