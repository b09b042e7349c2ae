// The FileEnv and Clock of the running system, over POSIX calls.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <random>

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

  Status SetMode(uint32_t mode) override {
    if (::fchmod(fd_, static_cast<mode_t>(mode)) != 0) return ErrnoStatus("chmod " + path_, errno);
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
    const bool follow = mode == OpenMode::kReadChosen;
    // Non-blocking, so that a pipe put in a file's place does not hang the
    // open; it is refused below with every other file that is not regular.
    const int base = O_CLOEXEC | O_NONBLOCK | (follow ? 0 : O_NOFOLLOW);
    int fd = -1;
    int err = 0;
    auto attempt = [&](int flags) {
      do {
        fd = ::open(path.c_str(), base | flags, kPrivateFileMode);
      } while (fd < 0 && errno == EINTR);
      err = fd < 0 ? errno : 0;
    };
    switch (mode) {
      case OpenMode::kReadOnly:
      case OpenMode::kReadChosen: attempt(O_RDONLY); break;
      case OpenMode::kReadWrite: attempt(O_RDWR); break;
      case OpenMode::kCreateNew: attempt(O_RDWR | O_CREAT | O_EXCL); break;
      case OpenMode::kCreate:
      case OpenMode::kCreateTruncate: {
        // Made exclusively when missing; a file already there is opened
        // without creating, so that nothing is ever made through a link.
        const int keep = mode == OpenMode::kCreateTruncate ? O_TRUNC : 0;
        for (int tries = 0; tries < 8; ++tries) {
          attempt(O_RDWR | O_CREAT | O_EXCL);
          if (fd >= 0 || err != EEXIST) break;
          attempt(O_RDWR | keep);
          if (fd >= 0 || err != ENOENT) break;  // removed in between: made anew
        }
        break;
      }
    }
    if (fd < 0) {
      if ((err == ELOOP || err == EEXIST) && !follow && IsLink(path)) return LinkRefused(path);
      return ErrnoStatus("open " + path, err);
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
      ::close(fd);
      return Status::Permission(path + " is not a regular file; it is not opened");
    }
    const int fl = ::fcntl(fd, F_GETFL);
    if (fl >= 0) (void)::fcntl(fd, F_SETFL, fl & ~O_NONBLOCK);
    file->reset(new PosixFile(path, fd));
    return Status::Ok();
  }

  bool Exists(const std::string& path) override {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
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
    if (::mkdir(path.c_str(), 0700) == 0) return Status::Ok();
    const int err = errno;
    if (err != EEXIST) return ErrnoStatus("create folder " + path, err);
    // A name that is there already counts only as a folder of its own, so
    // files the program writes into it never land behind a planted link.
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0) return ErrnoStatus("create folder " + path, errno);
    if (S_ISLNK(st.st_mode)) return LinkRefused(path);
    if (!S_ISDIR(st.st_mode)) return ErrnoStatus("create folder " + path, ENOTDIR);
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

Status LinkRefused(const std::string& path) {
  return Status::Permission(path +
                            " is a symbolic link where the program keeps a file or folder of its own; "
                            "the link is not followed and nothing is written through it");
}

bool FileEnv::IsRegularFile(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool FileEnv::IsLink(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

Status FileEnv::FileMode(const std::string& path, uint32_t* mode) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0) return ErrnoStatus("stat " + path, errno);
  if (!S_ISREG(st.st_mode)) return Status::NotFound(path + " is not a regular file");
  *mode = static_cast<uint32_t>(st.st_mode & 07777);
  return Status::Ok();
}

uint32_t FileEnv::ReplacementMode(const std::string& path) {
  uint32_t mode = 0;
  if (!FileMode(path, &mode).ok()) return kPrivateFileMode;
  return mode & kPrivateFileMode;
}

namespace {
constexpr std::string_view kTempMark = ".new-";
constexpr size_t kTempLetters = 10;
constexpr std::string_view kLetters =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
}  // namespace

bool FileEnv::IsTempNameOf(std::string_view name, std::string_view file) {
  if (name.size() != file.size() + kTempMark.size() + kTempLetters) return false;
  if (name.substr(0, file.size()) != file) return false;
  if (name.substr(file.size(), kTempMark.size()) != kTempMark) return false;
  for (char c : name.substr(file.size() + kTempMark.size())) {
    if (kLetters.find(c) == std::string_view::npos) return false;
  }
  return true;
}

Status FileEnv::CreateTempBeside(const std::string& path, std::unique_ptr<RandomFile>* file,
                                 std::string* temp) {
  std::random_device random;
  Status s;
  for (int tries = 0; tries < 16; ++tries) {
    uint64_t bits = (uint64_t{random()} << 32) ^ uint64_t{random()};
    std::string name = path;
    name += kTempMark;
    for (size_t i = 0; i < kTempLetters; ++i) {
      name += kLetters[bits % kLetters.size()];
      bits /= kLetters.size();
    }
    s = Open(name, OpenMode::kCreateNew, file);
    if (s.ok()) {
      *temp = std::move(name);
      return s;
    }
    if (s.code() != Status::kDuplicate && !IsLink(name)) return s;  // not a name taken
  }
  return s;
}

Status FileEnv::ReadFile(const std::string& path, std::string* data, OpenMode mode) {
  std::unique_ptr<RandomFile> f;
  QUILL_RETURN_IF_ERROR(
      Open(path, mode == OpenMode::kReadChosen ? OpenMode::kReadChosen : OpenMode::kReadOnly, &f));
  uint64_t size = 0;
  QUILL_RETURN_IF_ERROR(f->Size(&size));
  data->assign(static_cast<size_t>(size), '\0');
  size_t got = 0;
  QUILL_RETURN_IF_ERROR(f->ReadAt(0, data->data(), data->size(), &got));
  data->resize(got);
  return f->Close();
}

Status FileEnv::WriteFileAtomic(const std::string& path, std::string_view data,
                                LinkAtTarget link) {
  if (link == LinkAtTarget::kRefuse && IsLink(path)) return LinkRefused(path);
  const uint32_t mode = ReplacementMode(path);
  std::string tmp;
  std::unique_ptr<RandomFile> f;
  QUILL_RETURN_IF_ERROR(CreateTempBeside(path, &f, &tmp));
  Status s = f->SetMode(mode);
  if (s.ok()) s = f->WriteAt(0, data.data(), data.size());
  if (s.ok()) s = f->Sync();
  Status c = f->Close();
  if (s.ok()) s = c;
  if (s.ok()) s = Rename(tmp, path);
  if (!s.ok()) Remove(tmp);  // best effort; the old file is untouched
  return s;
}

}  // namespace quill
