// External sort for index builds.
//
// A sort record is {u32 row number (1-based, little-endian), key bytes}, so
// R = key length + 4 bytes. Records are gathered in an in-memory run of
// 24,576 / R records; each full run is sorted (key, then row number, so
// equal keys stay in row order) and written to scratch file 1 after the
// runs before it. While more than one run remains, runs 1+2, 3+4, ... are
// merged into the other scratch file from offset 0 (an odd last run is
// copied across) and the two files swap roles. A merge reads each input
// run through its own 8,192-byte buffer and writes through a third one.
#include "store/index_build.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numeric>

#include "store/byte_order.h"
#include "store/db_error.h"

namespace quill::store {
namespace {

Status ReadExact(RandomFile& f, uint64_t offset, char* buf, size_t n) {
  size_t got = 0;
  Status s = f.ReadAt(offset, buf, n, &got);
  if (!s.ok()) return s.WithDbCode(kDbShortRead);
  if (got != n) return Status::IoError("short read of a sort file").WithDbCode(kDbShortRead);
  return Status::Ok();
}

Status WriteAll(RandomFile& f, uint64_t offset, const char* buf, size_t n) {
  Status s = f.WriteAt(offset, buf, n);
  if (!s.ok()) return s.WithDbCode(kDbShortWrite);
  return Status::Ok();
}

// Reads one run sequentially through a fixed buffer.
class RunReader {
 public:
  RunReader(RandomFile& f, uint64_t offset, uint32_t count, uint32_t record_size)
      : f_(f), offset_(offset), left_(count), record_size_(record_size),
        chunk_(std::max<uint32_t>(1, ExternalSort::kMergeBytes / record_size)),
        buf_(static_cast<size_t>(chunk_) * record_size) {}

  bool empty() const { return pos_ == len_ && left_ == 0; }
  // The head record; valid after Fill() when !empty().
  const char* head() const { return buf_.data() + static_cast<size_t>(pos_) * record_size_; }
  void Pop() { ++pos_; }
  Status Fill() {
    if (pos_ < len_ || left_ == 0) return Status::Ok();
    uint32_t n = std::min(left_, chunk_);
    size_t bytes = static_cast<size_t>(n) * record_size_;
    QUILL_RETURN_IF_ERROR(ReadExact(f_, offset_, buf_.data(), bytes));
    offset_ += bytes;
    left_ -= n;
    pos_ = 0;
    len_ = n;
    return Status::Ok();
  }

 private:
  RandomFile& f_;
  uint64_t offset_;
  uint32_t left_;
  uint32_t record_size_;
  uint32_t chunk_;
  std::vector<char> buf_;
  uint32_t pos_ = 0, len_ = 0;
};

// Collects records and writes them out a buffer at a time.
class RunWriter {
 public:
  RunWriter(RandomFile& f, uint64_t offset, uint32_t record_size)
      : f_(f), offset_(offset), record_size_(record_size),
        cap_(std::max<uint32_t>(1, ExternalSort::kMergeBytes / record_size)),
        buf_(static_cast<size_t>(cap_) * record_size) {}
  Status Put(const char* rec) {
    std::memcpy(buf_.data() + static_cast<size_t>(n_) * record_size_, rec, record_size_);
    if (++n_ == cap_) return Flush();
    return Status::Ok();
  }
  Status Flush() {
    if (n_ == 0) return Status::Ok();
    size_t bytes = static_cast<size_t>(n_) * record_size_;
    QUILL_RETURN_IF_ERROR(WriteAll(f_, offset_, buf_.data(), bytes));
    offset_ += bytes;
    n_ = 0;
    return Status::Ok();
  }

 private:
  RandomFile& f_;
  uint64_t offset_;
  uint32_t record_size_;
  uint32_t cap_;
  std::vector<char> buf_;
  uint32_t n_ = 0;
};

}  // namespace

double DecodeDouble(const char* p) {
  unsigned char b[8];
  std::memcpy(b, p, 8);
  uint64_t bits = 0;
  for (int i = 7; i >= 0; --i) bits = bits << 8 | b[i];
  double d;
  std::memcpy(&d, &bits, 8);
  return d;
}

int CompareDoubles(double a, double b) {
  bool na = std::isnan(a), nb = std::isnan(b);
  if (na || nb) return na == nb ? 0 : (na ? 1 : -1);
  return a < b ? -1 : (a > b ? 1 : 0);
}

int CompareStoredKeys(const char* a, const char* b, uint32_t length, bool numeric) {
  if (numeric) return CompareDoubles(DecodeDouble(a), DecodeDouble(b));
  int c = std::memcmp(a, b, length);
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

std::string ScratchPath(const std::string& index_path, int n) {
  const std::string ext = n == 1 ? "$$1" : "$$2";
  size_t slash = index_path.rfind('/');
  size_t name_start = slash == std::string::npos ? 0 : slash + 1;
  size_t dot = index_path.rfind('.');
  if (dot == std::string::npos || dot < name_start) return index_path + "." + ext;
  return index_path.substr(0, dot + 1) + ext;
}

ExternalSort::ExternalSort(FileEnv& env, const std::string& index_path, uint32_t key_length,
                           bool numeric)
    : env_(env), key_length_(key_length), numeric_(numeric), record_size_(key_length + 4),
      run_capacity_(std::max<uint32_t>(1, kRunBytes / (key_length + 4))) {
  paths_[0] = ScratchPath(index_path, 1);
  paths_[1] = ScratchPath(index_path, 2);
}

ExternalSort::~ExternalSort() { (void)Cleanup(); }

Status ExternalSort::Start() {
  for (int i = 0; i < 2; ++i) {
    Status s = env_.Open(paths_[i], OpenMode::kCreateTruncate, &files_[i]);
    if (!s.ok()) return s.WithDbCode(kDbCannotCreateTemp);
  }
  run_.assign(static_cast<size_t>(run_capacity_) * record_size_, 0);
  return Status::Ok();
}

int ExternalSort::CompareRecords(const char* a, const char* b) const {
  int c = CompareStoredKeys(a + 4, b + 4, key_length_, numeric_);
  if (c != 0) return c;
  uint32_t ra = GetU32(a), rb = GetU32(b);
  return ra < rb ? -1 : (ra > rb ? 1 : 0);
}

Status ExternalSort::Add(uint32_t row, std::string_view key) {
  if (key.size() != key_length_) return Status::Invalid("sort key of the wrong length");
  char* rec = run_.data() + static_cast<size_t>(run_count_) * record_size_;
  PutU32(rec, row);
  std::memcpy(rec + 4, key.data(), key_length_);
  if (++run_count_ == run_capacity_) return FlushRun();
  return Status::Ok();
}

Status ExternalSort::FlushRun() {
  std::vector<uint32_t> order(run_count_);
  std::iota(order.begin(), order.end(), 0u);
  const char* base = run_.data();
  const uint32_t r = record_size_;
  std::sort(order.begin(), order.end(), [&](uint32_t x, uint32_t y) {
    return CompareRecords(base + static_cast<size_t>(x) * r, base + static_cast<size_t>(y) * r) <
           0;
  });
  std::vector<char> sorted(static_cast<size_t>(run_count_) * r);
  for (uint32_t i = 0; i < run_count_; ++i)
    std::memcpy(sorted.data() + static_cast<size_t>(i) * r,
                base + static_cast<size_t>(order[i]) * r, r);
  uint64_t offset = runs_.empty() ? 0 : runs_.back().offset + uint64_t{runs_.back().count} * r;
  if (!sorted.empty())
    QUILL_RETURN_IF_ERROR(WriteAll(*files_[0], offset, sorted.data(), sorted.size()));
  runs_.push_back({offset, run_count_});
  initial_runs_.push_back(run_count_);
  run_count_ = 0;
  return Status::Ok();
}

Status ExternalSort::Finish() {
  // The last, partly filled run; an empty table still makes one (empty) run.
  if (run_count_ > 0 || runs_.empty()) QUILL_RETURN_IF_ERROR(FlushRun());
  while (runs_.size() > 1) QUILL_RETURN_IF_ERROR(MergePass());
  read_buf_.assign(static_cast<size_t>(std::max<uint32_t>(1, kMergeBytes / record_size_)) *
                       record_size_,
                   0);
  read_offset_ = runs_[0].offset;
  read_left_ = runs_[0].count;
  read_pos_ = read_len_ = 0;
  return Status::Ok();
}

Status ExternalSort::MergePass() {
  std::vector<Run> merged;
  uint64_t out = 0;
  for (size_t i = 0; i < runs_.size(); i += 2) {
    if (i + 1 < runs_.size()) {
      QUILL_RETURN_IF_ERROR(MergeTwo(runs_[i], runs_[i + 1], out));
      merged.push_back({out, runs_[i].count + runs_[i + 1].count});
    } else {
      QUILL_RETURN_IF_ERROR(CopyRun(runs_[i], out));
      merged.push_back({out, runs_[i].count});
    }
    out += uint64_t{merged.back().count} * record_size_;
  }
  runs_ = std::move(merged);
  current_ = 1 - current_;
  ++merge_passes_;
  return Status::Ok();
}

Status ExternalSort::MergeTwo(const Run& a, const Run& b, uint64_t out_offset) {
  RandomFile& in = *files_[current_];
  RunReader ra(in, a.offset, a.count, record_size_);
  RunReader rb(in, b.offset, b.count, record_size_);
  RunWriter w(*files_[1 - current_], out_offset, record_size_);
  QUILL_RETURN_IF_ERROR(ra.Fill());
  QUILL_RETURN_IF_ERROR(rb.Fill());
  while (!ra.empty() || !rb.empty()) {
    // On equal heads the record of the first run goes first.
    bool take_a = rb.empty() || (!ra.empty() && CompareRecords(ra.head(), rb.head()) <= 0);
    RunReader& src = take_a ? ra : rb;
    QUILL_RETURN_IF_ERROR(w.Put(src.head()));
    src.Pop();
    QUILL_RETURN_IF_ERROR(src.Fill());
  }
  return w.Flush();
}

Status ExternalSort::CopyRun(const Run& a, uint64_t out_offset) {
  RunReader r(*files_[current_], a.offset, a.count, record_size_);
  RunWriter w(*files_[1 - current_], out_offset, record_size_);
  QUILL_RETURN_IF_ERROR(r.Fill());
  while (!r.empty()) {
    QUILL_RETURN_IF_ERROR(w.Put(r.head()));
    r.Pop();
    QUILL_RETURN_IF_ERROR(r.Fill());
  }
  return w.Flush();
}

Status ExternalSort::Next(uint32_t* row, std::string* key, bool* done) {
  if (read_pos_ == read_len_) {
    if (read_left_ == 0) {
      *done = true;
      return Status::Ok();
    }
    uint32_t chunk = static_cast<uint32_t>(read_buf_.size() / record_size_);
    uint32_t n = std::min(read_left_, chunk);
    size_t bytes = static_cast<size_t>(n) * record_size_;
    QUILL_RETURN_IF_ERROR(ReadExact(*files_[current_], read_offset_, read_buf_.data(), bytes));
    read_offset_ += bytes;
    read_left_ -= n;
    read_pos_ = 0;
    read_len_ = n;
  }
  const char* rec = read_buf_.data() + static_cast<size_t>(read_pos_++) * record_size_;
  *row = GetU32(rec);
  key->assign(rec + 4, key_length_);
  *done = false;
  return Status::Ok();
}

Status ExternalSort::Cleanup() {
  Status first;
  for (int i = 0; i < 2; ++i) {
    if (!files_[i]) continue;
    Status s = files_[i]->Close();
    files_[i].reset();
    if (first.ok() && !s.ok()) first = s;
    s = env_.Remove(paths_[i]);
    if (first.ok() && !s.ok() && !s.IsNotFound()) first = s;
  }
  return first;
}

}  // namespace quill::store
