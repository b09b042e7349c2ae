#include "platform/archive/zip_reading.h"

#include <archive.h>
#include <archive_entry.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <memory>

namespace quill {

namespace {

struct ReadCloser {
  void operator()(archive* a) const { archive_read_free(a); }
};
using Reader = std::unique_ptr<archive, ReadCloser>;

Status Unreadable(const std::string& archive_path, archive* a) {
  const char* s = archive_error_string(a);
  return Status::Corrupt(archive_path + ": " + (s != nullptr ? s : "not a zip archive"));
}

// Walks the members; visit returns false to stop. The reader stands at
// the member's data while visit runs.
Status WalkMembers(const std::string& archive_path,
                   const std::function<Status(archive*, const std::string&, bool*)>& visit) {
  Reader in(archive_read_new());
  archive_read_support_format_zip_seekable(in.get());
  if (archive_read_open_filename(in.get(), archive_path.c_str(), 64 * 1024) != ARCHIVE_OK) {
    return Unreadable(archive_path, in.get());
  }
  for (;;) {
    archive_entry* entry = nullptr;
    const int r = archive_read_next_header(in.get(), &entry);
    if (r == ARCHIVE_EOF) return Status::Ok();
    if (r != ARCHIVE_OK && r != ARCHIVE_WARN) return Unreadable(archive_path, in.get());
    const char* name = archive_entry_pathname_utf8(entry);
    if (name == nullptr) name = archive_entry_pathname(entry);
    bool more = true;
    QUILL_RETURN_IF_ERROR(visit(in.get(), name != nullptr ? name : "", &more));
    if (!more) return Status::Ok();
  }
}

// Reads the current member's data in pieces.
Status ReadData(archive* in, const std::string& archive_path,
                const std::function<bool(const char*, size_t)>& piece) {
  std::unique_ptr<char[]> buf(new char[64 * 1024]);
  for (;;) {
    const la_ssize_t got = archive_read_data(in, buf.get(), 64 * 1024);
    if (got < 0) return Unreadable(archive_path, in);
    if (got == 0) return Status::Ok();
    if (!piece(buf.get(), static_cast<size_t>(got))) {
      return Status::Corrupt(archive_path + ": the member differs from the file");
    }
  }
}

}  // namespace

Status ListZipMembers(const std::string& archive_path, std::vector<std::string>* names) {
  names->clear();
  return WalkMembers(archive_path, [&](archive*, const std::string& name, bool*) {
    names->push_back(name);
    return Status::Ok();
  });
}

Status CheckZipMember(const std::string& archive_path, const std::string& member,
                      const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return Status::IoError(path + ": cannot be read");
  bool found = false;
  QUILL_RETURN_IF_ERROR(WalkMembers(archive_path, [&](archive* in, const std::string& name,
                                                      bool* more) {
    if (name != member) return Status::Ok();
    found = true;
    *more = false;
    std::unique_ptr<char[]> mine(new char[64 * 1024]);
    Status read = ReadData(in, archive_path, [&](const char* data, size_t n) {
      file.read(mine.get(), static_cast<std::streamsize>(n));
      return static_cast<size_t>(file.gcount()) == n && std::memcmp(mine.get(), data, n) == 0;
    });
    if (!read.ok()) return read;
    // The file has nothing beyond the member's end.
    if (file.peek() != std::char_traits<char>::eof()) {
      return Status::Corrupt(archive_path + ": the member is shorter than the file");
    }
    return Status::Ok();
  }));
  if (!found) return Status::NotFound(archive_path + ": no member " + member);
  return Status::Ok();
}

Status ReadZipMember(const std::string& archive_path, const std::string& member,
                     std::string* data) {
  data->clear();
  bool found = false;
  QUILL_RETURN_IF_ERROR(WalkMembers(archive_path, [&](archive* in, const std::string& name,
                                                      bool* more) {
    if (name != member) return Status::Ok();
    found = true;
    *more = false;
    return ReadData(in, archive_path, [&](const char* p, size_t n) {
      data->append(p, n);
      return true;
    });
  }));
  if (!found) return Status::NotFound(archive_path + ": no member " + member);
  return Status::Ok();
}

}  // namespace quill
