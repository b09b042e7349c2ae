#include "store/table_file.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>

#include "store/byte_order.h"
#include "store/cached_file.h"
#include "store/db_error.h"
#include "platform/sjis.h"

namespace quill::store {
namespace {

constexpr unsigned char kVersion = 3;
constexpr char kEndOfFile = 0x1A;
constexpr uint32_t kMaxFieldLength = 250;
// Deleted flags looked up one row at a time before they are read a piece
// of the file at a time, and the size of such a piece.
constexpr uint32_t kSingleFlagReads = 64;
constexpr size_t kPieceBytes = 64 * 1024;

Status ShortRead(const std::string& path, const std::string& what) {
  return Status::IoError("short read of " + what + " in " + path).WithDbCode(kDbShortRead);
}

Status WriteFailed(Status s) { return std::move(s).WithDbCode(kDbShortWrite); }

// Puts the replacement in path's place durably: its bytes, then the rename
// in the folder (changes recorded after it refer to the new file).
Status PutInPlace(FileEnv& env, RandomFile& replacement, const std::string& from,
                  const std::string& path) {
  if (env.IsLink(path)) return LinkRefused(path);
  QUILL_RETURN_IF_ERROR(replacement.SetMode(env.ReplacementMode(path)));
  QUILL_RETURN_IF_ERROR(replacement.Sync());
  QUILL_RETURN_IF_ERROR(env.Rename(from, path));
  const size_t slash = path.rfind('/');
  return env.SyncDir(slash == std::string::npos ? "." : path.substr(0, slash + 1));
}

Status CorruptTable(const std::string& path, const std::string& why, int code = kDbCannotOpen) {
  return Status::Corrupt("table file " + path + ": " + why).WithDbCode(code);
}

}  // namespace

// ---------------------------------------------------------------------------
// TableFile

class TableFile::WatchedFile final : public RandomFile {
 public:
  WatchedFile(TableFile& table, std::unique_ptr<RandomFile> file)
      : table_(table), file_(std::make_unique<CachedFile>(std::move(file))) {}

  CachedFile& cache() { return *file_; }

  Status ReadAt(uint64_t offset, void* buf, size_t n, size_t* got) override {
    return file_->ReadAt(offset, buf, n, got);
  }
  Status WriteAt(uint64_t offset, const void* buf, size_t n) override {
    Status s = file_->WriteAt(offset, buf, n);
    table_.NoteChange(offset, s.ok() ? static_cast<const char*>(buf) : nullptr, n, false);
    return s;
  }
  Status Truncate(uint64_t size) override {
    table_.NoteChange(size, nullptr, 0, true);
    return file_->Truncate(size);
  }
  Status Size(uint64_t* size) override { return file_->Size(size); }
  Status Sync() override { return file_->Sync(); }
  Status SetMode(uint32_t mode) override { return file_->SetMode(mode); }
  Status Close() override { return file_->Close(); }

 private:
  TableFile& table_;
  std::unique_ptr<CachedFile> file_;
};

TableFile::TableFile(FileEnv& env, std::string path, std::unique_ptr<RandomFile> file)
    : env_(env), path_(std::move(path)) {
  auto watched = std::make_unique<WatchedFile>(*this, std::move(file));
  watched_ = watched.get();
  file_ = std::move(watched);
}

Status TableFile::set_write_back(bool on) {
  return watched_ != nullptr ? watched_->cache().set_write_back(on) : Status::Ok();
}

Status TableFile::WriteHeld() {
  if (watched_ == nullptr) return Status::Ok();
  Status s = watched_->cache().WriteHeld();
  return s.ok() ? s : WriteFailed(s);
}

void TableFile::NoteFlag(uint32_t r, char first_byte) {
  if (flags_.empty()) return;  // flags are kept once many were asked for
  if (r >= flags_.size()) flags_.resize(size_t{r} + 1, kFlagUnknown);
  flags_[r] = first_byte == '*' ? kFlagDeleted : kFlagLive;
}

void TableFile::NoteChange(uint64_t offset, const char* data, uint64_t n, bool cut) {
  if (row_length_ == 0 || flags_.empty()) return;
  // Rows whose first byte lies at offset or after it.
  uint64_t r =
      offset <= header_length_ ? 1 : (offset - header_length_ + row_length_ - 1) / row_length_ + 1;
  if (cut) {
    if (r < flags_.size()) flags_.resize(r);
    return;
  }
  for (; r < flags_.size(); ++r) {
    const uint64_t at = header_length_ + (r - 1) * row_length_;
    if (at >= offset + n) break;
    flags_[r] =
        data != nullptr ? (data[at - offset] == '*' ? kFlagDeleted : kFlagLive) : kFlagUnknown;
  }
}

TableFile::~TableFile() { (void)Close(); }

std::vector<FieldLayout> TableFile::Layouts() const {
  std::vector<FieldLayout> out;
  out.reserve(fields_.size());
  for (const FieldDescriptor& f : fields_) {
    FieldLayout l;
    l.name = f.name;
    l.type = f.type;
    l.offset = f.offset;
    l.length = f.length;
    l.decimals = f.decimals;
    out.push_back(std::move(l));
  }
  return out;
}

void TableFile::EncodeHeader(std::array<unsigned char, kHeaderSize>* h) const {
  *h = header_;
  (*h)[0] = kVersion;
  PutU32(h->data() + 4, row_count_);
  PutU32(h->data() + 8, header_length_);
  PutU32(h->data() + 12, row_length_);
}

Status TableFile::Create(FileEnv& env, const std::string& path,
                         const std::vector<FieldDescriptor>& fields,
                         std::unique_ptr<TableFile>* out) {
  out->reset();
  if (fields.empty()) {
    return Status::Invalid("table " + path + " has no fields").WithDbCode(kDbCannotCreate);
  }
  // The new file is made beside the old one and put in its place whole, so
  // a crash leaves either the old table or the new one.
  if (env.IsLink(path)) return LinkRefused(path).WithDbCode(kDbCannotCreate);
  std::string replacement;
  std::unique_ptr<RandomFile> file;
  Status s = env.CreateTempBeside(path, &file, &replacement);
  if (!s.ok()) return s.WithDbCode(kDbCannotCreate);

  std::unique_ptr<TableFile> t(new TableFile(env, path, std::move(file)));
  const uint32_t n = static_cast<uint32_t>(fields.size());
  t->header_length_ = kDescriptorSize * n + 33;
  uint32_t offset = 1;
  std::string descriptors(kDescriptorSize * n, '\0');
  for (uint32_t i = 0; i < n; ++i) {
    FieldDescriptor f = fields[i];
    f.offset = offset;
    offset += f.length;
    char* d = descriptors.data() + kDescriptorSize * i;
    std::memcpy(d, f.name.data(), std::min<size_t>(f.name.size(), 11));
    d[11] = f.type;
    d[16] = static_cast<char>(f.length);
    d[17] = static_cast<char>(f.decimals);
    t->fields_.push_back(std::move(f));
  }
  t->row_length_ = offset;
  t->row_.assign(t->row_length_, ' ');

  // The row length goes into the header now as well, so that a file left
  // by a crash before the first close still opens.
  std::array<unsigned char, kHeaderSize> h;
  t->EncodeHeader(&h);
  std::string bytes(reinterpret_cast<const char*>(h.data()), h.size());
  bytes += descriptors;
  bytes += "\x0D\x1A";
  s = t->file_->WriteAt(0, bytes.data(), bytes.size());
  if (s.ok()) s = PutInPlace(env, *t->file_, replacement, path);
  if (!s.ok()) {
    (void)t->file_->Close();
    t->file_.reset();
    (void)env.Remove(replacement);
    return WriteFailed(s);
  }
  t->rows_written_ = true;  // the close stamps the date
  *out = std::move(t);
  return Status::Ok();
}

Status TableFile::RemoveLeftReplacements(FileEnv& env, const std::string& path) {
  const size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  std::vector<std::string> names;
  Status s = env.ListDir(folder, &names);
  if (s.IsNotFound()) return Status::Ok();
  QUILL_RETURN_IF_ERROR(s);
  for (const std::string& n : names) {
    if (!FileEnv::IsTempNameOf(n, name)) continue;
    s = env.Remove(slash == std::string::npos ? n : folder + n);
    if (!s.ok() && !s.IsNotFound()) return s;
  }
  return Status::Ok();
}

Status TableFile::Open(FileEnv& env, const std::string& path, std::unique_ptr<TableFile>* out,
                       bool repair) {
  out->reset();
  std::unique_ptr<RandomFile> file;
  Status s = env.Open(path, OpenMode::kReadWrite, &file);
  if (!s.ok()) return s.WithDbCode(kDbCannotOpen);

  // Nothing below writes: a refused file is closed as it was found.
  std::unique_ptr<TableFile> t(new TableFile(env, path, std::move(file)));
  uint64_t size = 0;
  s = t->file_->Size(&size);
  if (!s.ok()) return s.WithDbCode(kDbCannotOpen);
  size_t got = 0;
  s = t->file_->ReadAt(0, t->header_.data(), kHeaderSize, &got);
  if (!s.ok()) return s.WithDbCode(kDbShortRead);
  if (got < kHeaderSize) return CorruptTable(path, "short header", kDbShortRead);

  const unsigned char* h = t->header_.data();
  t->row_count_ = GetU32(h + 4);
  t->header_length_ = GetU32(h + 8);
  t->row_length_ = GetU32(h + 12);
  if (h[0] != kVersion) return CorruptTable(path, "unknown version");
  if (t->header_length_ < kDescriptorSize + 33 || (t->header_length_ - 33) % kDescriptorSize != 0)
    return CorruptTable(path, "bad header length");
  if (t->row_length_ == 0) return CorruptTable(path, "row length 0");
  if (size < t->header_length_) return CorruptTable(path, "short header", kDbShortRead);

  // The last three descriptor bytes are the start of row 1 (or missing in
  // an empty table): read up to the header length only.
  const uint32_t n = (t->header_length_ - 33) / kDescriptorSize;
  std::string d(kDescriptorSize * n, '\0');
  const size_t need = t->header_length_ - kHeaderSize;
  s = t->file_->ReadAt(kHeaderSize, d.data(), need, &got);
  if (!s.ok()) return s.WithDbCode(kDbShortRead);
  if (got < need) return CorruptTable(path, "short field descriptors", kDbShortRead);

  uint32_t offset = 1;
  for (uint32_t i = 0; i < n; ++i) {
    const char* p = d.data() + kDescriptorSize * i;
    FieldDescriptor f;
    f.name.assign(p, FieldTextLength(p, 11));
    f.type = p[11];
    f.length = static_cast<uint8_t>(p[16]);
    f.decimals = static_cast<uint8_t>(p[17]);
    f.offset = offset;
    if (f.length == 0) return CorruptTable(path, "field " + f.name + " of length 0");
    offset += f.length;
    t->fields_.push_back(std::move(f));
  }
  if (offset != t->row_length_)
    return CorruptTable(path, "row length does not match the fields");
  if (size < t->EndOfRows()) {
    if (!repair) return CorruptTable(path, "file shorter than its row count", kDbShortRead);
    t->row_count_ = static_cast<uint32_t>((size - t->header_length_) / t->row_length_);
    t->header_dirty_ = true;
  }
  // Rows at the end whose deleted flag is neither ' ' nor '*' were counted
  // before their bytes reached the disk.
  while (repair && t->row_count_ > 0) {
    char flag = 0;
    s = t->file_->ReadAt(t->RowOffset(t->row_count_), &flag, 1, &got);
    if (!s.ok()) return s.WithDbCode(kDbShortRead);
    if (flag == ' ' || flag == '*') break;
    --t->row_count_;
    t->header_dirty_ = true;
  }

  t->row_.assign(t->row_length_, ' ');
  *out = std::move(t);
  return Status::Ok();
}

Status TableFile::WriteHeader() {
  std::array<unsigned char, kHeaderSize> h;
  EncodeHeader(&h);
  Status s = file_->WriteAt(0, h.data(), h.size());
  if (!s.ok()) return WriteFailed(s);
  s = file_->WriteAt(EndOfRows(), &kEndOfFile, 1);
  if (!s.ok()) return WriteFailed(s);
  header_ = h;
  header_dirty_ = false;
  return Status::Ok();
}

Status TableFile::Close() {
  if (!file_) return Status::Ok();
  Status result;
  if (rows_written_) {
    LocalTime now = env_.clock().LocalNow();
    header_[1] = static_cast<unsigned char>(std::clamp(now.year - 1900, 0, 255));
    header_[2] = static_cast<unsigned char>(now.month);
    header_[3] = static_cast<unsigned char>(now.day);
    header_dirty_ = true;
  }
  if (header_dirty_) {
    result = WriteHeader();
    uint64_t size = 0;
    if (result.ok()) result = file_->Size(&size);
    // Whatever follows the 0x1A (the create's leftover bytes, a row whose
    // append failed) is not part of the table.
    if (result.ok() && size > EndOfRows() + 1) {
      result = file_->Truncate(EndOfRows() + 1);
      if (!result.ok()) result = WriteFailed(std::move(result));
    }
  }
  Status c = file_->Close();
  file_.reset();
  watched_ = nullptr;
  row_.clear();
  buffered_ = 0;
  if (result.ok() && !c.ok()) result = WriteFailed(c);
  return result;
}

Status TableFile::CheckRow(uint32_t r) const {
  if (r < 1 || r > row_count_) {
    return Status::OutOfRange("row " + std::to_string(r) + " of " + std::to_string(row_count_) +
                              " in " + path_)
        .WithDbCode(kDbRowOutOfRange);
  }
  return Status::Ok();
}

Status TableFile::ReadRaw(uint32_t r, std::string* bytes) {
  QUILL_RETURN_IF_ERROR(CheckRow(r));
  if (r == buffered_) {
    *bytes = row_;
    return Status::Ok();
  }
  bytes->resize(row_length_);
  size_t got = 0;
  Status s = file_->ReadAt(RowOffset(r), bytes->data(), row_length_, &got);
  if (!s.ok()) return s.WithDbCode(kDbShortRead);
  if (got < row_length_) return ShortRead(path_, "row " + std::to_string(r));
  NoteFlag(r, (*bytes)[0]);
  return Status::Ok();
}

Status TableFile::ReadRows(uint32_t first, uint32_t count, const PieceVisitor& fn) {
  if (count == 0) return Status::Ok();
  QUILL_RETURN_IF_ERROR(CheckRow(first));
  QUILL_RETURN_IF_ERROR(CheckRow(first + (count - 1)));
  if (count == 1 && first == buffered_) return fn(first, row_, 1);
  // The piece buffer is kept (a fresh one would be cleared before each
  // read), unless fn reads rows of this table itself.
  if (reading_rows_) {
    std::string nested;
    return ReadPieces(first, count, fn, &nested);
  }
  reading_rows_ = true;
  Status s = ReadPieces(first, count, fn, &piece_);
  reading_rows_ = false;
  return s;
}

uint32_t TableFile::RowsPerPiece() const {
  return std::max<uint32_t>(1, static_cast<uint32_t>(kPieceBytes / row_length_));
}

Status TableFile::ReadPieces(uint32_t first, uint32_t count, const PieceVisitor& fn,
                             std::string* piece) {
  const uint32_t per_piece = RowsPerPiece();
  if (piece->size() < size_t{per_piece} * row_length_) {
    piece->resize(size_t{per_piece} * row_length_);
  }
  for (uint32_t r = first; r - first < count;) {
    const uint32_t n = std::min(per_piece, count - (r - first));
    const size_t bytes = size_t{n} * row_length_;
    size_t got = 0;
    Status s = file_->ReadAt(RowOffset(r), piece->data(), bytes, &got);
    if (!s.ok()) return s.WithDbCode(kDbShortRead);
    if (got < bytes)
      return ShortRead(path_, "rows " + std::to_string(r) + " to " + std::to_string(r + n - 1));
    for (uint32_t i = 0; i < n; ++i) NoteFlag(r + i, (*piece)[size_t{i} * row_length_]);
    QUILL_RETURN_IF_ERROR(fn(r, std::string_view(piece->data(), bytes), n));
    r += n;
  }
  return Status::Ok();
}

Status TableFile::Read(uint32_t r) {
  QUILL_RETURN_IF_ERROR(CheckRow(r));
  if (r == buffered_) return Status::Ok();
  // Read beside the buffer, which keeps the row it held when this fails.
  QUILL_RETURN_IF_ERROR(ReadRaw(r, &spare_));
  row_.swap(spare_);
  buffered_ = r;
  return Status::Ok();
}

Status TableFile::Write(uint32_t r) {
  QUILL_RETURN_IF_ERROR(CheckRow(r));
  rows_written_ = true;
  Status s = file_->WriteAt(RowOffset(r), row_.data(), row_length_);
  if (!s.ok()) {
    buffered_ = 0;  // the file may hold part of the row: read it again
    return WriteFailed(s);
  }
  buffered_ = r;
  return Status::Ok();
}

Status TableFile::Append(std::string_view data, uint32_t* r) {
  *r = 0;
  if (data.size() != row_length_ - 1) {
    return Status::Invalid("row of " + std::to_string(data.size()) + " bytes for " + path_)
        .WithDbCode(kDbShortWrite);
  }
  if (row_count_ == UINT32_MAX) return CorruptTable(path_, "row count limit");
  row_[0] = ' ';
  row_.replace(1, data.size(), data);
  // The row and the 0x1A after it, then the header with the new count: a
  // crash between the two leaves the table as it was before the append.
  std::string bytes = row_;
  bytes += kEndOfFile;
  rows_written_ = true;
  buffered_ = 0;
  Status s = file_->WriteAt(EndOfRows(), bytes.data(), bytes.size());
  if (!s.ok()) return WriteFailed(s);
  ++row_count_;
  std::array<unsigned char, kHeaderSize> h;
  EncodeHeader(&h);
  s = file_->WriteAt(0, h.data(), h.size());
  if (!s.ok()) {
    --row_count_;
    header_dirty_ = true;  // the close tries again to leave a whole header
    return WriteFailed(s);
  }
  header_ = h;
  buffered_ = row_count_;
  *r = row_count_;
  return Status::Ok();
}

Status TableFile::MarkDeleted(uint32_t r) {
  QUILL_RETURN_IF_ERROR(CheckRow(r));
  rows_written_ = true;
  const char mark = '*';
  Status s = file_->WriteAt(RowOffset(r), &mark, 1);
  if (!s.ok()) {
    if (buffered_ == r) buffered_ = 0;
    return WriteFailed(s);
  }
  if (buffered_ == r) row_[0] = mark;
  return Status::Ok();
}

Status TableFile::IsDeleted(uint32_t r, bool* deleted) {
  if (r == buffered_ && r != 0 && r <= row_count_) {
    *deleted = row_[0] == '*';
    return Status::Ok();
  }
  if (r < flags_.size() && flags_[r] != kFlagUnknown && r <= row_count_) {
    *deleted = flags_[r] == kFlagDeleted;
    return Status::Ok();
  }
  QUILL_RETURN_IF_ERROR(CheckRow(r));
  if (flag_misses_ < kSingleFlagReads) {
    // A few lookups read just the row, into the buffer where a reader of
    // the row will want it next.
    ++flag_misses_;
    QUILL_RETURN_IF_ERROR(Read(r));
    *deleted = row_[0] == '*';
    return Status::Ok();
  }
  // Many lookups: from now on flags are kept, and read for the whole
  // piece of the file around r.
  QUILL_RETURN_IF_ERROR(ReadFlags(r));
  *deleted = flags_[r] == kFlagDeleted;
  return Status::Ok();
}

Status TableFile::ReadFlags(uint32_t r) {
  if (flags_.size() < size_t{row_count_} + 1) flags_.resize(size_t{row_count_} + 1, kFlagUnknown);
  const uint32_t per_piece = RowsPerPiece();
  const uint32_t first = (r - 1) / per_piece * per_piece + 1;
  const uint32_t count = std::min(per_piece, row_count_ - first + 1);
  const size_t bytes = size_t{count} * row_length_;
  if (flag_piece_.size() < bytes) flag_piece_.resize(bytes);
  size_t got = 0;
  Status s = file_->ReadAt(RowOffset(first), flag_piece_.data(), bytes, &got);
  if (!s.ok()) return s.WithDbCode(kDbShortRead);
  if (got < bytes) {
    return ShortRead(path_,
                     "rows " + std::to_string(first) + " to " + std::to_string(first + count - 1));
  }
  const char* p = flag_piece_.data();
  uint8_t* f = flags_.data() + first;
  for (uint32_t i = 0; i < count; ++i, p += row_length_) {
    f[i] = *p == '*' ? kFlagDeleted : kFlagLive;
  }
  return Status::Ok();
}

Status TableFile::PutRow(uint32_t r, std::string_view fields) {
  if (fields.size() != row_length_ - 1) {
    return Status::Invalid("row of " + std::to_string(fields.size()) + " bytes for " + path_)
        .WithDbCode(kDbShortWrite);
  }
  if (r == row_count_ + 1) {
    uint32_t appended = 0;
    return Append(fields, &appended);
  }
  QUILL_RETURN_IF_ERROR(Read(r));
  row_.replace(1, fields.size(), fields);
  return Write(r);
}

Status TableFile::ForEachBlock(const std::function<Status(std::string_view rows, uint32_t n)>& fn) {
  constexpr size_t kBlockBytes = size_t{1} << 18;
  const uint32_t per_block = std::max<uint32_t>(1, kBlockBytes / row_length_);
  std::string block;
  for (uint32_t r = 1; r <= row_count_; r += per_block) {
    const uint32_t n = std::min(per_block, row_count_ - r + 1);
    block.resize(size_t{n} * row_length_);
    size_t got = 0;
    Status s = file_->ReadAt(RowOffset(r), block.data(), block.size(), &got);
    if (!s.ok()) return s.WithDbCode(kDbShortRead);
    if (got < block.size()) return ShortRead(path_, "row " + std::to_string(r));
    QUILL_RETURN_IF_ERROR(fn(block, n));
  }
  return Status::Ok();
}

Status TableFile::Pack() {
  uint32_t live = 0;
  QUILL_RETURN_IF_ERROR(ForEachBlock([&](std::string_view rows, uint32_t n) {
    for (uint32_t i = 0; i < n; ++i) live += rows[size_t{i} * row_length_] != '*';
    return Status::Ok();
  }));
  if (live == row_count_) return Status::Ok();

  // The packed table is written beside the file and put in its place
  // whole: a crash leaves the table either as it was or packed. Its first
  // bytes are this file's up to the header length, with the new count.
  std::string replacement;
  std::unique_ptr<RandomFile> out;
  Status s = env_.CreateTempBeside(path_, &out, &replacement);
  if (!s.ok()) return WriteFailed(s);
  std::array<unsigned char, kHeaderSize> h;
  EncodeHeader(&h);
  PutU32(h.data() + 4, live);
  std::string bytes(header_length_, '\0');
  size_t got = 0;
  s = file_->ReadAt(0, bytes.data(), bytes.size(), &got);
  if (!s.ok()) s = std::move(s).WithDbCode(kDbShortRead);
  if (s.ok() && got < bytes.size()) s = ShortRead(path_, "header");
  std::memcpy(bytes.data(), h.data(), h.size());
  uint64_t at = 0;
  auto flush = [&]() {
    Status w = out->WriteAt(at, bytes.data(), bytes.size());
    at += bytes.size();
    bytes.clear();
    return w.ok() ? w : WriteFailed(w);
  };
  if (s.ok()) {
    s = ForEachBlock([&](std::string_view rows, uint32_t n) {
      for (uint32_t i = 0; i < n; ++i) {
        std::string_view row = rows.substr(size_t{i} * row_length_, row_length_);
        if (row[0] != '*') bytes.append(row);
      }
      return bytes.size() >= (size_t{1} << 18) ? flush() : Status::Ok();
    });
  }
  bytes += kEndOfFile;
  if (s.ok()) s = flush();
  if (s.ok()) {
    s = PutInPlace(env_, *out, replacement, path_);
    if (!s.ok()) s = WriteFailed(s);
  }
  if (!s.ok()) {
    (void)out->Close();
    (void)env_.Remove(replacement);
    return s;
  }
  const bool write_back = watched_->cache().write_back();
  (void)file_->Close();  // the old file, no longer in the folder
  // Rows moved: the remembered deleted flags are of the old file, and the
  // new file is watched like the old one.
  flags_.clear();
  auto watched = std::make_unique<WatchedFile>(*this, std::move(out));
  watched_ = watched.get();
  file_ = std::move(watched);
  (void)watched_->cache().set_write_back(write_back);
  row_count_ = live;
  header_ = h;
  buffered_ = 0;
  header_dirty_ = true;
  rows_written_ = true;
  return Status::Ok();
}

// ---------------------------------------------------------------------------
// TableCursor

TableCursor::TableCursor(FileEnv& env, std::unique_ptr<TableFile> table)
    : env_(env), table_(std::move(table)) {
  if (table_->row_count() > 0) {
    SetRow(1);
  }
}

TableCursor::~TableCursor() { (void)Close(); }

Status TableCursor::Close() {
  Status result;
  for (auto& idx : indexes_) {
    if (!idx) continue;
    Status s = idx->Close();
    if (result.ok() && !s.ok()) result = s;
  }
  indexes_.clear();
  selected_ = 0;
  if (table_) {
    Status s = table_->Close();
    if (result.ok() && !s.ok()) result = s;
  }
  return result;
}

void TableCursor::SetRow(uint32_t r) {
  current_ = r;
  bof_ = false;
  eof_ = false;
}

void TableCursor::SetEof() {
  current_ = table_->row_count() + 1;
  bof_ = table_->row_count() == 0;
  eof_ = true;
}

void TableCursor::SetBof() {
  current_ = 1;
  bof_ = true;
  eof_ = table_->row_count() == 0;
}

Status TableCursor::set_write_back(bool on) {
  write_back_ = on;
  Status s = Status::Ok();
  for (auto& idx : indexes_) {
    Status i = idx->set_write_back(on);
    if (s.ok()) s = i;
  }
  Status t = table_->set_write_back(on);
  return s.ok() ? t : s;
}

Status TableCursor::AddIndex(std::unique_ptr<IndexFile> idx, int* slot) {
  (void)idx->set_write_back(write_back_);  // a new index holds nothing
  indexes_.push_back(std::move(idx));
  *slot = static_cast<int>(indexes_.size());
  return Status::Ok();
}

Status TableCursor::OpenIndex(const std::string& path, std::string_view expr, int* slot) {
  *slot = 0;
  if (index_count() >= kMaxIndexes) {
    return Status::Invalid("more than 10 indexes on " + table_->path())
        .WithDbCode(kDbTooManyIndexes);
  }
  std::unique_ptr<IndexFile> idx;
  QUILL_RETURN_IF_ERROR(IndexFile::Open(env_, path, &idx));
  Status s;
  if (idx->expression() != expr) {
    s = Status::Corrupt("index file " + path + " is on \"" + idx->expression() + "\", expected \"" +
                        std::string(expr) + "\"")
            .WithDbCode(kDbBadKeyExpression);
  }
  if (s.ok()) s = idx->Bind(table_->Layouts());
  if (!s.ok()) {
    (void)idx->Close();
    return s;
  }
  return AddIndex(std::move(idx), slot);
}

Status TableCursor::CreateIndex(const std::string& path, std::string_view expr, bool unique,
                                int* slot) {
  *slot = 0;
  if (index_count() >= kMaxIndexes) {
    return Status::Invalid("more than 10 indexes on " + table_->path())
        .WithDbCode(kDbTooManyIndexes);
  }
  std::unique_ptr<IndexFile> idx;
  QUILL_RETURN_IF_ERROR(IndexFile::Create(env_, path, expr, unique, &idx));
  (void)idx->set_write_back(write_back_);  // a new index holds nothing
  TableRowSource rows(*table_);
  Status s = idx->Build(table_->Layouts(), rows);
  if (s.ok()) s = idx->Bind(table_->Layouts());
  if (!s.ok()) {
    (void)idx->Close();
    return s;
  }
  return AddIndex(std::move(idx), slot);
}

Status TableCursor::Select(int slot) {
  if (slot < 0 || slot > index_count()) {
    return Status::Invalid("no index slot " + std::to_string(slot)).WithDbCode(kDbBadKeyExpression);
  }
  selected_ = slot;
  return Status::Ok();
}

std::string TableCursor::SearchKey(const IndexFile& idx, std::string_view value) {
  std::string text(CText(value));
  if (!idx.numeric()) return text;
  return NumericKey(DecimalValue(text));
}

Status TableCursor::NextLive(IndexFile& idx, bool forward, uint32_t* row) {
  while (true) {
    QUILL_RETURN_IF_ERROR(forward ? idx.Next(row) : idx.Previous(row));
    if (*row == 0) return Status::Ok();
    bool deleted = false;
    QUILL_RETURN_IF_ERROR(table_->IsDeleted(*row, &deleted));
    if (!deleted) return Status::Ok();
  }
}

Status TableCursor::SeekLive(IndexFile& idx, const std::string& key, uint32_t* row) {
  // The empty text matches every key: start at the first entry.
  if (key.empty()) {
    QUILL_RETURN_IF_ERROR(idx.First(row));
  } else {
    QUILL_RETURN_IF_ERROR(idx.Seek(key, row));
  }
  while (*row != 0) {
    if (idx.Compare(key, idx.CurrentKey()) != 0) {
      *row = 0;
      break;
    }
    bool deleted = false;
    QUILL_RETURN_IF_ERROR(table_->IsDeleted(*row, &deleted));
    if (!deleted) break;
    QUILL_RETURN_IF_ERROR(idx.Next(row));
  }
  return Status::Ok();
}

Status TableCursor::GoFirst() {
  if (table_->row_count() == 0) {
    SetBof();
    return Status::Ok();
  }
  uint32_t r = 0;
  if (selected_ != 0) {
    IndexFile& idx = *index(selected_);
    QUILL_RETURN_IF_ERROR(idx.First(&r));
    if (r == 0) {
      SetBof();
      return Status::Ok();
    }
    bool deleted = false;
    QUILL_RETURN_IF_ERROR(table_->IsDeleted(r, &deleted));
    if (deleted) QUILL_RETURN_IF_ERROR(NextLive(idx, true, &r));
  } else {
    for (r = 1; r <= table_->row_count(); ++r) {
      bool deleted = false;
      QUILL_RETURN_IF_ERROR(table_->IsDeleted(r, &deleted));
      if (!deleted) break;
    }
    if (r > table_->row_count()) r = 0;
  }
  if (r == 0) {
    SetEof();
  } else {
    SetRow(r);
  }
  return Status::Ok();
}

Status TableCursor::GoTo(uint32_t r) {
  QUILL_RETURN_IF_ERROR(table_->Read(r));
  if (selected_ != 0) {
    IndexFile& idx = *index(selected_);
    bool found = false;
    QUILL_RETURN_IF_ERROR(idx.SeekRow(idx.KeyOfRow(table_->buffer()), r, &found));
  }
  SetRow(r);
  return Status::Ok();
}

Status TableCursor::Skip(int64_t n) {
  const bool forward = n > 0;
  const uint32_t count = table_->row_count();
  for (int64_t i = 0; i < (forward ? n : -n); ++i) {
    uint32_t r = 0;
    if (selected_ != 0) {
      IndexFile& idx = *index(selected_);
      if (forward && bof_) {
        QUILL_RETURN_IF_ERROR(idx.First(&r));
      } else if (!forward && eof_) {
        QUILL_RETURN_IF_ERROR(idx.Last(&r));
      } else {
        QUILL_RETURN_IF_ERROR(forward ? idx.Next(&r) : idx.Previous(&r));
      }
      bool deleted = false;
      if (r != 0) QUILL_RETURN_IF_ERROR(table_->IsDeleted(r, &deleted));
      if (deleted) QUILL_RETURN_IF_ERROR(NextLive(idx, forward, &r));
    } else {
      // At BOF the position is before row 1, at EOF after the last row.
      int64_t p = bof_ ? 0 : eof_ ? int64_t{count} + 1 : current_;
      while (true) {
        p += forward ? 1 : -1;
        if (p < 1 || p > count) break;
        bool deleted = false;
        QUILL_RETURN_IF_ERROR(table_->IsDeleted(static_cast<uint32_t>(p), &deleted));
        if (!deleted) {
          r = static_cast<uint32_t>(p);
          break;
        }
      }
    }
    if (r == 0) {
      if (forward) {
        SetEof();
      } else {
        SetBof();
      }
      return Status::Ok();
    }
    SetRow(r);
  }
  return Status::Ok();
}

Status TableCursor::Seek(std::string_view value, uint32_t* row) {
  *row = 0;
  if (selected_ == 0) {
    return Status::Invalid("seek without an index on " + table_->path())
        .WithDbCode(kDbBadKeyExpression);
  }
  IndexFile& idx = *index(selected_);
  QUILL_RETURN_IF_ERROR(SeekLive(idx, SearchKey(idx, value), row));
  if (*row == 0) {
    SetEof();
  } else {
    SetRow(*row);
  }
  return Status::Ok();
}

Status TableCursor::Search(std::string_view value, size_t max, std::vector<uint32_t>* rows) {
  rows->clear();
  if (selected_ == 0) {
    return Status::Invalid("search without an index on " + table_->path())
        .WithDbCode(kDbBadKeyExpression);
  }
  IndexFile& idx = *index(selected_);
  const std::string key = SearchKey(idx, value);
  // Every row of the index, read in one pass over its file, or the matches
  // of an index held in memory come all at once.
  std::vector<uint32_t>& candidates = candidates_;
  uint32_t after = 0;  // the row of the entry after the matches
  bool at_once = false;
  if (key.empty() && max >= table_->row_count()) {
    QUILL_RETURN_IF_ERROR(idx.AllRows(&candidates));
    at_once = true;
  } else if (max > 0) {
    QUILL_RETURN_IF_ERROR(idx.MatchingRows(key, &candidates, &after, &at_once));
  }
  if (at_once) {
    for (uint32_t c : candidates) {
      bool deleted = false;
      QUILL_RETURN_IF_ERROR(table_->IsDeleted(c, &deleted));
      if (deleted) continue;
      rows->push_back(c);
      if (rows->size() >= max) {
        SetRow(c);  // stays on the last row taken
        return Status::Ok();
      }
    }
    if (after != 0) {
      SetRow(after);  // the first row past the matches
    } else {
      SetEof();
    }
    return Status::Ok();
  }
  uint32_t r = 0;
  QUILL_RETURN_IF_ERROR(SeekLive(idx, key, &r));
  while (r != 0 && rows->size() < max) {
    SetRow(r);
    bool deleted = false;
    QUILL_RETURN_IF_ERROR(table_->IsDeleted(r, &deleted));
    if (!deleted) {
      rows->push_back(r);
      if (rows->size() >= max) return Status::Ok();  // stays on the last row taken
    }
    QUILL_RETURN_IF_ERROR(idx.Next(&r));
    if (r != 0 && idx.Compare(key, idx.CurrentKey()) != 0) {
      SetRow(r);  // the first row past the matches
      return Status::Ok();
    }
  }
  if (r == 0) SetEof();
  return Status::Ok();
}

Status TableCursor::Append(std::string_view data, uint32_t* r) {
  QUILL_RETURN_IF_ERROR(table_->Append(data, r));
  SetRow(*r);
  Status result;
  for (auto& idx : indexes_) {
    Status s = idx->Insert(idx->KeyOfRow(table_->buffer()), *r);
    if (result.ok() && !s.ok()) result = s;
  }
  return result;
}

Status TableCursor::Update(uint32_t r, std::string_view data, bool* stored) {
  *stored = false;
  QUILL_RETURN_IF_ERROR(table_->Read(r));
  if (data.size() != table_->row_length() - 1) {
    return Status::Invalid("row of " + std::to_string(data.size()) + " bytes for " + table_->path())
        .WithDbCode(kDbShortWrite);
  }
  const std::string old_row = table_->buffer();
  std::string new_row = old_row;
  new_row.replace(1, data.size(), data);
  table_->buffer() = new_row;
  QUILL_RETURN_IF_ERROR(table_->Write(r));
  *stored = true;
  SetRow(r);

  // Every open index moves the row's entry to its new key, whichever index
  // is selected: find the old entry of this row, drop it, insert the new
  // key. An entry that is missing is put back.
  Status result;
  for (auto& idx : indexes_) {
    const std::string old_key = idx->KeyOfRow(old_row);
    const std::string new_key = idx->KeyOfRow(new_row);
    bool found = false;
    Status s = idx->SeekRow(old_key, r, &found);
    if (s.ok() && found && old_key == new_key) continue;
    if (s.ok() && found) s = idx->DeleteCurrent();
    if (s.ok()) s = idx->Insert(new_key, r);
    if (result.ok() && !s.ok()) result = s;
  }
  return result;
}

Status TableCursor::Pack() {
  QUILL_RETURN_IF_ERROR(table_->Pack());
  // The indexes still hold the old row numbers: do not walk them.
  if (table_->row_count() > 0) {
    SetRow(1);
  } else {
    SetBof();
  }
  return Status::Ok();
}

Status TableCursor::RebuildIndexes() {
  TableRowSource rows(*table_);
  const std::vector<FieldLayout> layouts = table_->Layouts();
  for (auto& idx : indexes_) {
    QUILL_RETURN_IF_ERROR(idx->Build(layouts, rows));
  }
  return GoFirst();
}

}  // namespace quill::store
