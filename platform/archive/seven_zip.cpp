#include "platform/archive/seven_zip.h"

#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

namespace quill {

namespace {

struct Token {
  std::string text;
  bool quoted = false;
};

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string AsciiLower(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

// Splits at blanks; a token in double quotes may hold blanks. Returns ""
// or the reason the line cannot be split.
std::string Tokenize(std::string_view line, std::vector<Token>* tokens) {
  size_t i = 0;
  while (i < line.size()) {
    if (IsBlank(line[i])) {
      ++i;
      continue;
    }
    Token t;
    if (line[i] == '"') {
      const size_t close = line.find('"', i + 1);
      if (close == std::string_view::npos) return "closing quote missing";
      t.text = std::string(line.substr(i + 1, close - i - 1));
      t.quoted = true;
      i = close + 1;
      if (i < line.size() && !IsBlank(line[i])) return "blank missing after a quote";
    } else {
      size_t end = i;
      while (end < line.size() && !IsBlank(line[end])) ++end;
      t.text = std::string(line.substr(i, end - i));
      if (t.text.find('"') != std::string::npos) return "opening quote missing";
      i = end;
    }
    tokens->push_back(std::move(t));
  }
  return "";
}

std::string ErrnoText(const char* what, int err) {
  return std::string(what) + ": " + std::strerror(err);
}

std::string ArchiveText(const char* what, archive* a) {
  const char* s = archive_error_string(a);
  return std::string(what) + ": " + (s != nullptr ? s : "unknown error");
}

struct ReadCloser {
  void operator()(archive* a) const { archive_read_free(a); }
};
struct WriteCloser {
  void operator()(archive* a) const { archive_write_free(a); }
};
struct EntryFree {
  void operator()(archive_entry* e) const { archive_entry_free(e); }
};
using Reader = std::unique_ptr<archive, ReadCloser>;
using Writer = std::unique_ptr<archive, WriteCloser>;

// A file descriptor closed when it goes out of scope.
class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  // Closes now and reports the close's own error.
  int Close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd);
  }

 private:
  int fd_;
};

// The temporary archive beside the old one; removed unless kept.
class TempArchive {
 public:
  explicit TempArchive(const std::string& archive) {
    const size_t slash = archive.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : archive.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? archive : archive.substr(slash + 1);
    path_ = folder + "." + name + ".XXXXXX";
    fd_ = ::mkstemp(path_.data());
    if (fd_ < 0) error_ = errno;
  }
  ~TempArchive() {
    if (fd_ >= 0) ::close(fd_);
    if (fd_ >= 0 || closed_) {
      if (!kept_) ::unlink(path_.c_str());
    }
  }
  TempArchive(const TempArchive&) = delete;
  TempArchive& operator=(const TempArchive&) = delete;

  int fd() const { return fd_; }
  int error() const { return error_; }
  const std::string& path() const { return path_; }
  int Close() {
    const int fd = fd_;
    fd_ = -1;
    closed_ = true;
    return ::close(fd);
  }
  void Keep() { kept_ = true; }

 private:
  std::string path_;
  int fd_ = -1;
  int error_ = 0;
  bool closed_ = false;
  bool kept_ = false;
};

// Copies the data of the reader's current entry to the writer.
std::string CopyEntryData(archive* in, archive* out) {
  std::vector<char> buf(64 * 1024);
  for (;;) {
    const la_ssize_t got = archive_read_data(in, buf.data(), buf.size());
    if (got < 0) return ArchiveText("cannot read the old archive", in);
    if (got == 0) return "";
    const la_ssize_t put = archive_write_data(out, buf.data(), static_cast<size_t>(got));
    if (put != got) return ArchiveText("cannot write the archive", out);
  }
}

// Every member of the old archive except `skip`, into the writer.
std::string CopyMembers(archive* in, archive* out, const std::string& skip) {
  for (;;) {
    archive_entry* entry = nullptr;
    const int r = archive_read_next_header(in, &entry);
    if (r == ARCHIVE_EOF) return "";
    if (r != ARCHIVE_OK && r != ARCHIVE_WARN) return ArchiveText("cannot read the old archive", in);
    const char* name = archive_entry_pathname_utf8(entry);
    if (name == nullptr) name = archive_entry_pathname(entry);
    if (name != nullptr && skip == name) continue;  // replaced by the new file
    if (archive_entry_is_encrypted(entry)) return "the old archive holds an encrypted member";
    if (archive_write_header(out, entry) != ARCHIVE_OK) {
      return ArchiveText("cannot write the archive", out);
    }
    std::string why = CopyEntryData(in, out);
    if (!why.empty()) return why;
  }
}

// The file, read from its descriptor, as member `name`.
std::string AddMember(archive* out, int fd, const struct stat& st, const std::string& name) {
  std::unique_ptr<archive_entry, EntryFree> entry(archive_entry_new());
  archive_entry_update_pathname_utf8(entry.get(), name.c_str());
  archive_entry_set_filetype(entry.get(), AE_IFREG);
  archive_entry_set_perm(entry.get(), st.st_mode & 0777);
  archive_entry_set_size(entry.get(), st.st_size);
  archive_entry_set_mtime(entry.get(), st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
  if (archive_write_header(out, entry.get()) != ARCHIVE_OK) {
    return ArchiveText("cannot write the archive", out);
  }
  std::vector<char> buf(64 * 1024);
  int64_t total = 0;
  for (;;) {
    const ssize_t got = ::read(fd, buf.data(), buf.size());
    if (got < 0) {
      if (errno == EINTR) continue;
      return ErrnoText("cannot read the file", errno);
    }
    if (got == 0) break;
    total += got;
    if (total > st.st_size) return "the file grew while it was packed";
    if (archive_write_data(out, buf.data(), static_cast<size_t>(got)) != got) {
      return ArchiveText("cannot write the archive", out);
    }
  }
  if (total != st.st_size) return "the file shrank while it was packed";
  return "";
}

int SyncFolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  Fd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.get() < 0) return errno;
  if (::fsync(dir.get()) != 0) return errno;
  return 0;
}

// Writes reason into output, cut to size bytes with its NUL and never in
// the middle of a UTF-8 character.
void PutOutput(const std::string& reason, char* output, uint32_t size) {
  if (output == nullptr || size == 0) return;
  size_t n = std::min<size_t>(reason.size(), size - 1);
  while (n > 0 && n < reason.size() && (static_cast<unsigned char>(reason[n]) & 0xC0) == 0x80) --n;
  std::memcpy(output, reason.data(), n);
  output[n] = '\0';
}

}  // namespace

std::string ParseSevenZipCommand(std::string_view line, SevenZipCommand* command) {
  std::vector<Token> tokens;
  std::string why = Tokenize(line, &tokens);
  if (!why.empty()) return why;
  if (tokens.empty() || tokens[0].quoted || AsciiLower(tokens[0].text) != "a") {
    return "unknown command";
  }
  bool zip = false;
  std::vector<std::string> paths;
  for (size_t i = 1; i < tokens.size(); ++i) {
    const Token& t = tokens[i];
    if (!t.quoted && !t.text.empty() && t.text[0] == '-') {
      if (AsciiLower(t.text) != "-tzip") return "unknown switch " + t.text;
      zip = true;
    } else {
      paths.push_back(t.text);
    }
  }
  if (!zip) return "switch -tzip missing";
  if (paths.size() != 2) return "expected an archive and one file";
  if (paths[0].empty() || paths[1].empty()) return "empty path";
  command->archive = paths[0];
  command->file = paths[1];
  return "";
}

std::string AddFileToZip(const std::string& archive_path, const std::string& file) {
  const size_t slash = file.rfind('/');
  const std::string member = slash == std::string::npos ? file : file.substr(slash + 1);
  if (member.empty()) return "the file has no name";

  Fd in(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
  if (in.get() < 0) return ErrnoText("cannot open the file", errno);
  struct stat file_st;
  if (::fstat(in.get(), &file_st) != 0) return ErrnoText("cannot open the file", errno);
  if (!S_ISREG(file_st.st_mode)) return "the file is not a regular file";

  // The old archive, when there is one, must be a zip archive: its members
  // are copied into the new one.
  // The archive holds every card: it is private to its owner, or keeps
  // the mode of the archive it replaces when that is stricter.
  Reader old;
  mode_t mode = 0600;
  struct stat old_st;
  if (::stat(archive_path.c_str(), &old_st) == 0) {
    if (!S_ISREG(old_st.st_mode)) return "the archive is not a regular file";
    if (old_st.st_dev == file_st.st_dev && old_st.st_ino == file_st.st_ino) {
      return "the archive is the file itself";
    }
    mode = old_st.st_mode & 0600;
    old.reset(archive_read_new());
    archive_read_support_format_zip_seekable(old.get());
    if (archive_read_open_filename(old.get(), archive_path.c_str(), 64 * 1024) != ARCHIVE_OK) {
      return "the archive exists and is not a zip archive";
    }
  } else if (errno != ENOENT) {
    return ErrnoText("cannot look at the archive", errno);
  }

  TempArchive temp(archive_path);
  if (temp.fd() < 0) return ErrnoText("cannot create the archive", temp.error());
  Writer out(archive_write_new());
  archive_write_set_format_zip(out.get());
  archive_write_zip_set_compression_deflate(out.get());
  archive_write_set_format_option(out.get(), "zip", "hdrcharset", "UTF-8");
  if (archive_write_open_fd(out.get(), temp.fd()) != ARCHIVE_OK) {
    return ArchiveText("cannot create the archive", out.get());
  }
  if (old) {
    std::string why = CopyMembers(old.get(), out.get(), member);
    if (!why.empty()) return why;
  }
  std::string why = AddMember(out.get(), in.get(), file_st, member);
  if (!why.empty()) return why;
  if (archive_write_close(out.get()) != ARCHIVE_OK) {
    return ArchiveText("cannot write the archive", out.get());
  }
  if (::fchmod(temp.fd(), mode) != 0) return ErrnoText("cannot write the archive", errno);
  if (::fsync(temp.fd()) != 0) return ErrnoText("cannot write the archive", errno);
  if (temp.Close() != 0) return ErrnoText("cannot write the archive", errno);
  if (::rename(temp.path().c_str(), archive_path.c_str()) != 0) {
    return ErrnoText("cannot replace the archive", errno);
  }
  temp.Keep();
  if (const int err = SyncFolderOf(archive_path); err != 0) {
    return ErrnoText("the archive's folder cannot be synced", err);
  }
  return "";
}

}  // namespace quill

extern "C" int SevenZip(uint32_t owner, const char* command_line, char* output, uint32_t size) {
  quill::SevenZipCommand command;
  std::string why = command_line == nullptr
                        ? "no command line"
                        : quill::ParseSevenZipCommand(command_line, &command);
  if (!why.empty()) {
    quill::PutOutput(why, output, size);
    return quill::kSevenZipBadCommand;
  }
  why = quill::AddFileToZip(command.archive, command.file);
  quill::PutOutput(why, output, size);
  return why.empty() ? quill::kSevenZipOk : quill::kSevenZipFailed;
}
