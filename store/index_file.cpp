// B-tree index files.
//
// An index file is a sequence of 512-byte pages; page p occupies bytes
// p x 512 .. p x 512 + 511. All integers are little-endian.
//
// Page 0 is the header:
//   0   u32  root page number
//   4   u32  next free page number
//   8   u32  zero
//   12  u32  key length in bytes
//   16  u32  keys per page = 508 / entry size
//   20  u32  numeric flag: 1 = the key is one 8-byte double, 0 = bytes
//   24  u32  entry size = ((key length - 1) with the low two bits cleared)
//            + 12: the key length rounded up to a multiple of 4, plus 8
//   28  u32  zero
//   32  u8   zero
//   33  u8   unique flag (1 = unique)
//   34  ...  the key expression followed by one blank, NUL terminated; the
//            rest of the page is zero.
// The header is written as 512 bytes, but opening reads 524 bytes (the
// header and the first 12 bytes of page 1), so a file shorter than that is
// refused. Open also checks that entry size, keys per page and key length
// agree, that a page holds at least two keys, and that the root and the
// next free page lie within the file.
//
// Tree pages (p >= 1), entry size E:
//   0          u32  entry count c (at most keys per page)
//   4 + i x E  u32  child page left of entry i (0 in a leaf)
//   8 + i x E  u32  row number of entry i (1-based; 0 in internal pages)
//   12 + i x E      key of entry i (key length bytes, then zero padding)
//   4 + c x E  u32  rightmost child page (0 in a leaf)
// The bytes after the rightmost child are zero. Rows are stored only in
// leaves. An internal entry carries row 0 and, as its key, the largest key
// of the subtree on its left (the separator): the left child holds the
// keys up to the separator, the next child the keys after it.
//
// Insertion puts the entry before the first equal key and splits a page
// that then holds one entry too many: with count c and h = (c + 1) / 2 the
// key of entry h - 1 moves up; a leaf keeps entries 0 .. h - 1, an
// internal page keeps 0 .. h - 2 (entry h - 1's child becomes its
// rightmost child), and a new page from the next free number takes the
// rest. A root split makes a new root above. Deletion never merges or
// frees pages: a leaf that loses its last key hands the new last key up
// as the separator, and an emptied page is unlinked from its parent.
//
// Reading is bounded by the file: a walk (a seek and the steps that follow
// it in one direction) enters at most as many pages as the file holds, and
// a path is at most kMaxDepth pages deep. In a tree no walk comes near
// either bound; an index whose pages point back up or share a child is
// refused as damaged (kCorrupt, engine code 11) instead of being walked for
// ever.
//
// Pages read are kept in a cache of the open index (at most kCachePages of
// them); a page not there is read together with its neighbours in the file
// (kReadPages of them), which join it. A page written goes into the cache
// and, by default, to the file at once. With write-back (set by a table
// whose data set has a journal, which rebuilds every index after a crash)
// written pages are held until the index closes, a read of the whole file
// needs them there, or kHeldPages of them are waiting; they then go out in
// page order, runs of neighbours in one write, before the header. Either way
// the cache never holds anything the file will not; it lives and dies with
// the open index. Besides, every entry may be held in memory in key order
// (index_copy.h), answering prefix searches and whole-index walks: a bulk
// build makes that copy, an index searched often with no change in between
// is read whole, once, to make it, and from then on each insert and delete
// is made in the copy as well as in the file. The table that owns the index
// may keep the copy from one open to the next while its data set's journal
// session lasts (record_table.h).
//
// Finding the entry of one row among many equal keys (a folder of
// thousands of cards all keyed by the same path) would mean stepping
// through the whole run of them. The first time such a walk runs long, the
// open index reads its file once, in order, and remembers the leaf that
// holds each row and the parent of each page (the row map); every insert,
// split and delete then keeps the map in step, and the entry of a row is
// reached by climbing from its leaf to the root. The map is only a guide:
// a path that does not check out (a damaged index) drops it, and the walk
// through the file decides.
//
// A bulk build sorts {row, key} records externally (index_build.h), cuts
// the file to length 0 and writes the tree bottom-up in one pass: full
// leaves, and above them pages whose separators are the last key read
// when each subtree was finished. Pages are numbered in the order they are
// completed; the last one is the root. A unique index keeps only the first
// row of equal keys. The header is written when the build has succeeded,
// so a build that fails part way leaves a file that does not open.
#include "store/index_file.h"

#include <locale.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <stdlib.h>

#include "store/byte_order.h"
#include "store/db_error.h"
#include "store/index_build.h"
#include "store/index_copy.h"
#include "platform/sjis.h"

namespace quill::store {
namespace {

constexpr uint32_t kPageSize = 512;
constexpr uint32_t kHeaderReadSize = 524;
constexpr uint32_t kExprOffset = 34;
constexpr size_t kMaxDepth = 48;  // far beyond any tree of 2^32 pages
// Pages kept in memory per open index (16 MB).
constexpr size_t kCachePages = 32768;
// Pages read at once when a page is not cached (4 KB).
constexpr uint32_t kReadPages = 8;
// Written pages held back at most (write-back), and the most pages one
// write of a run takes.
constexpr size_t kHeldPages = 8192;
constexpr size_t kRunPages = 256;
// Pages read at once by a scan of the whole file (64 KB: the piece stays in
// the processor's cache while it is boiled down).
constexpr uint32_t kScanPages = 128;
// Searches with no change in between after which an index of at most
// kMaxCopyBytes is held in memory.
constexpr uint32_t kSeeksBeforeCopy = 32;
constexpr uint64_t kMaxCopyBytes = uint64_t{64} << 20;
// Entries stepped over in search of one row's entry before the row map is
// made.
constexpr uint32_t kShortWalk = 32;

uint64_t EntrySizeFor(uint64_t key_length) { return ((key_length - 1) & ~uint64_t{3}) + 12; }

bool IsKeySeparator(char c) { return c == '+' || c == ' ' || c == '\t'; }

// ASCII upper case; the trail byte of a double-byte character stays.
std::string UpperName(std::string_view s) {
  std::string out(s);
  for (size_t i = 0; i < out.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(out[i]);
    if (IsSjisLead(c) && i + 1 < out.size()) {
      ++i;
    } else if (c >= 'a' && c <= 'z') {
      out[i] = static_cast<char>(c - 'a' + 'A');
    }
  }
  return out;
}

}  // namespace

// ---------------------------------------------------------------------------
// Keys

std::string NumericKey(double value) {
  uint64_t bits;
  std::memcpy(&bits, &value, 8);
  std::string out(8, '\0');
  for (int i = 0; i < 8; ++i) out[i] = static_cast<char>((bits >> (8 * i)) & 0xFF);
  return out;
}

double DecimalValue(std::string_view text) {
  static locale_t c_locale = newlocale(LC_NUMERIC_MASK, "C", locale_t{});
  std::string s(CText(text));
  if (c_locale == locale_t{}) return strtod(s.c_str(), nullptr);
  return strtod_l(s.c_str(), nullptr, c_locale);
}

Status KeyExpr::Compile(std::string_view expr, const std::vector<FieldLayout>& fields,
                        KeyExpr* out) {
  KeyExpr k;
  bool text = false;
  size_t i = 0;
  while (i < expr.size()) {
    while (i < expr.size() && IsKeySeparator(expr[i])) ++i;
    size_t start = i;
    while (i < expr.size() && !IsKeySeparator(expr[i])) ++i;
    if (start == i) break;
    std::string name = UpperName(expr.substr(start, i - start));
    const FieldLayout* found = nullptr;
    for (const FieldLayout& f : fields) {
      if (f.name == name) {
        found = &f;
        break;
      }
    }
    if (found == nullptr) {
      return Status::Invalid("key expression names an unknown field: " + name)
          .WithDbCode(kDbBadKeyExpression);
    }
    if (found->type == 'N') {
      k.numeric_ = true;
    } else {
      text = true;
      k.key_length_ += found->type == 'D' ? 8 : found->length;
    }
    k.parts_.push_back(*found);
  }
  if (k.parts_.empty())
    return Status::Invalid("empty key expression").WithDbCode(kDbBadKeyExpression);
  if (k.numeric_ && text) {
    return Status::Invalid("key expression mixes number and text fields")
        .WithDbCode(kDbBadKeyExpression);
  }
  if (k.numeric_) k.key_length_ = 8;
  *out = std::move(k);
  return Status::Ok();
}

std::string KeyExpr::KeyOfRow(std::string_view row) const {
  auto field = [&](const FieldLayout& f) {
    if (f.offset >= row.size()) return std::string_view();
    return row.substr(f.offset, f.length);
  };
  if (numeric_) {
    double sum = 0;
    for (const FieldLayout& f : parts_) sum += DecimalValue(field(f));
    return NumericKey(sum);
  }
  std::string key;
  key.reserve(key_length_);
  for (const FieldLayout& f : parts_) {
    uint32_t width = f.type == 'D' ? 8 : f.length;
    std::string_view bytes = field(f).substr(0, width);
    key.append(bytes);
    key.append(width - bytes.size(), ' ');  // a short row reads as blanks
  }
  return key;
}

// ---------------------------------------------------------------------------
// The open index

namespace {

// Recently read and written pages of one open index, each in the slot its
// page number hashes to. It starts small, so that an index opened for one
// lookup costs little, and doubles while pages keep pushing others out,
// up to kCachePages.
class PageCache {
 public:
  // The cached bytes of page, or null.
  const char* Find(uint32_t page) const {
    if (slots_ == 0) return nullptr;
    const size_t s = Slot(page);
    return pages_[s] == page ? bytes_.get() + s * kPageSize : nullptr;
  }
  // Stores the 512 bytes of page.
  void Put(uint32_t page, const char* bytes) {
    if (slots_ == 0 || (taken_ >= slots_ && slots_ < kCachePages)) Grow();
    const size_t s = Slot(page);
    if (pages_[s] != page) {
      pages_[s] = page;
      ++taken_;
    }
    std::memcpy(bytes_.get() + s * kPageSize, bytes, kPageSize);
  }
  void Drop(uint32_t page) {
    if (slots_ != 0 && pages_[Slot(page)] == page) pages_[Slot(page)] = 0;
  }
  void Clear() {
    pages_.reset();
    bytes_.reset();
    slots_ = taken_ = 0;
    bits_ = 0;
  }

 private:
  size_t Slot(uint32_t page) const { return (page * 2654435761u) >> (32 - bits_); }

  void Grow() {
    std::unique_ptr<uint32_t[]> old_pages = std::move(pages_);
    std::unique_ptr<char[]> old_bytes = std::move(bytes_);
    const size_t old_slots = slots_;
    bits_ = slots_ == 0 ? 3 : bits_ + 1;
    slots_ = size_t{1} << bits_;
    pages_.reset(new uint32_t[slots_]());
    bytes_.reset(new char[slots_ * kPageSize]);
    taken_ = 0;
    for (size_t s = 0; s < old_slots; ++s) {
      if (old_pages[s] == 0) continue;
      const size_t to = Slot(old_pages[s]);
      pages_[to] = old_pages[s];
      std::memcpy(bytes_.get() + to * kPageSize, old_bytes.get() + s * kPageSize, kPageSize);
    }
  }

  std::unique_ptr<uint32_t[]> pages_;  // page number held by each slot; 0 = none
  std::unique_ptr<char[]> bytes_;
  size_t slots_ = 0;
  int bits_ = 0;
  size_t taken_ = 0;  // pages stored in a slot that held another since the last growth
};

// Where each row's entry lives and each page's parent, for an open index
// (see the file comment). 0 means unknown.
class RowMap {
 public:
  uint32_t LeafOf(uint32_t row) const { return row < leaf_.size() ? leaf_[row] : 0; }
  uint32_t ParentOf(uint32_t page) const { return page < parent_.size() ? parent_[page] : 0; }
  void SetLeaf(uint32_t row, uint32_t page) { Put(leaf_, row, page); }
  void SetParent(uint32_t page, uint32_t parent) { Put(parent_, page, parent); }

 private:
  static void Put(std::vector<uint32_t>& v, uint32_t at, uint32_t value) {
    if (at >= v.size()) {
      if (value == 0) return;
      v.resize(std::max<size_t>(size_t{at} + 1, v.size() + v.size() / 2), 0);
    }
    v[at] = value;
  }

  std::vector<uint32_t> leaf_;    // by row
  std::vector<uint32_t> parent_;  // by page
};

struct PageBuf {
  uint32_t page = 0;  // 0: holds nothing
  int pos = 0;        // entry (leaf) or child (internal) the path went through
  std::vector<char> data;
};

}  // namespace

struct IndexFile::Impl {
  FileEnv* env = nullptr;
  std::string path;
  std::unique_ptr<RandomFile> file;
  std::array<char, kHeaderReadSize> hdr{};
  std::string expr;
  KeyExpr key_expr;
  bool dirty = false;
  // A write failed part way through a change: the file no longer matches
  // and only a rebuild makes it usable again.
  bool broken = false;
  // One buffer per level of the current path, root first.
  std::vector<std::unique_ptr<PageBuf>> levels;
  size_t path_len = 0;
  bool current = false;
  PageCache cache;
  // Where Load reads the pages around a page not cached.
  std::vector<char> chunk;
  // Write-back: the pages written and not yet in the file, by number.
  bool write_back = false;
  std::map<uint32_t, std::array<char, kPageSize>> held;
  // Pages entered by the walk in progress, and its direction (1 forward,
  // -1 backward, 0 a seek): a walk never needs more entries than the file
  // has pages.
  uint64_t entered = 0;
  int direction = 0;

  uint32_t root() const { return GetU32(&hdr[0]); }
  uint32_t next_free() const { return GetU32(&hdr[4]); }
  uint32_t klen() const { return GetU32(&hdr[12]); }
  uint32_t kpp() const { return GetU32(&hdr[16]); }
  bool numeric() const { return GetU32(&hdr[20]) != 0; }
  uint32_t esize() const { return GetU32(&hdr[24]); }
  bool unique() const { return hdr[33] != 0; }

  // In memory a page has room for one entry more than it may keep on disk,
  // which an insertion needs before it splits.
  size_t BufSize() const { return std::max<size_t>(kPageSize, 8 + size_t{kpp() + 1} * esize()); }

  static uint32_t Count(const char* d) { return GetU32(d); }
  char* Entry(char* d, uint32_t i) const { return d + 4 + size_t{i} * esize(); }
  uint32_t Child(const char* d, uint32_t i) const { return GetU32(d + 4 + size_t{i} * esize()); }
  uint32_t Row(const char* d, uint32_t i) const { return GetU32(d + 8 + size_t{i} * esize()); }
  const char* Key(const char* d, uint32_t i) const { return d + 12 + size_t{i} * esize(); }

  int CompareValue(std::string_view value, const char* key) const;

  // The failure of an index whose last change did not reach the file
  // whole.
  Status Incomplete() const {
    return Status::IoError("index " + path + " was left incomplete; rebuild it")
        .WithDbCode(kDbShortWrite);
  }

  Status Usable() const {
    if (!file) return Status::Invalid("index " + path + " is not open");
    if (broken) return Incomplete();
    if (root() == 0 || klen() == 0) return Status::Invalid("index " + path + " is not built");
    return Status::Ok();
  }

  void Invalidate() {
    for (auto& b : levels) b->page = 0;
    path_len = 0;
    current = false;
  }

  // A new walk begins (a seek, or a step in the other direction).
  void StartWalk(int dir) {
    entered = 0;
    direction = dir;
  }
  // Counts one more page entered by the walk.
  Status Enter();
  Status Load(size_t level, uint32_t page);
  // Every entry in key order, held in memory (index_copy.h): kept in step
  // with each change, or made from the file once the index has been
  // searched often.
  std::unique_ptr<IndexCopy> copy;
  bool no_memory_copy = false;
  uint32_t seeks_since_change = 0;
  // The row map (see the file comment), once a walk for one row ran long.
  std::unique_ptr<RowMap> rows_map;
  bool no_rows_map = false;
  // Reads the file once to make the row map; a failure leaves the walks to
  // the file while the index stays open.
  void MakeRowMap();
  // Puts the path on the entry {key, row} by the row map; false when the
  // map does not lead there (then the map is dropped).
  bool PathToRow(std::string_view key, uint32_t row);
  void DropRowMap() { rows_map.reset(); }
  // The rows of every entry in key order, or (with keys) the entries into
  // keys.
  Status ScanAll(std::vector<uint32_t>* rows, IndexCopy* keys = nullptr);
  void MaybeHoldInMemory();
  // The header and the size of the file.
  std::string FileStamp();
  // The file changes: searches start counting again.
  void Changed();
  Status WritePage(uint32_t page, char* d);
  // Writes the held pages to the file (write-back).
  Status WriteHeld();
  Status WriteHeader();
  Status Descend(size_t level, uint32_t page, bool from_end);
  Status StepForward(size_t level, uint32_t* row);
  Status StepBackward(size_t level, uint32_t* row);
  // Makes entry pos of the page at `level` (page bytes d) the current one.
  Status LandOn(size_t level, const char* d, int pos, uint32_t* row);
  // Walked off either end: no current entry.
  Status PastTheEnd(uint32_t* row);
  Status InsertEntry(std::string_view key, uint32_t row);
  Status DeleteEntry();
  Status BuildTree(ExternalSort& sort);
  class TreeBuilder;
};

int IndexFile::Impl::CompareValue(std::string_view value, const char* key) const {
  const uint32_t n = klen();
  if (numeric()) {
    char v[8] = {};
    std::memcpy(v, value.data(), std::min<size_t>(8, value.size()));
    return CompareDoubles(DecodeDouble(v), DecodeDouble(key));
  }
  size_t common = std::min<size_t>(value.size(), n);
  int c = std::memcmp(value.data(), key, common);
  if (c != 0) return c < 0 ? -1 : 1;
  // The key reads as followed by blanks: value bytes beyond it match only
  // blanks, and never reach into the next entry.
  for (size_t i = common; i < value.size(); ++i) {
    unsigned char b = static_cast<unsigned char>(value[i]);
    if (b != ' ') return b < ' ' ? -1 : 1;
  }
  return 0;
}

Status IndexFile::Impl::Enter() {
  if (++entered >= next_free()) {
    return Status::Corrupt("index " + path + " is damaged: its pages do not form a tree")
        .WithDbCode(kDbShortRead);
  }
  return Status::Ok();
}

Status IndexFile::Impl::Load(size_t level, uint32_t page) {
  if (level >= kMaxDepth)
    return Status::Corrupt("index " + path + " is too deep").WithDbCode(kDbShortRead);
  if (page == 0 || page >= next_free()) {
    return Status::Corrupt("index " + path + " points outside its pages").WithDbCode(kDbShortRead);
  }
  while (levels.size() <= level) {
    auto b = std::make_unique<PageBuf>();
    b->data.assign(BufSize(), 0);
    levels.push_back(std::move(b));
  }
  PageBuf& b = *levels[level];
  if (b.page == page) return Status::Ok();
  b.page = 0;
  if (b.data.size() < BufSize()) b.data.assign(BufSize(), 0);
  if (const char* cached = cache.Find(page)) {
    std::memcpy(b.data.data(), cached, kPageSize);
  } else if (auto h = held.find(page); h != held.end()) {
    std::memcpy(b.data.data(), h->second.data(), kPageSize);
    cache.Put(page, b.data.data());
  } else {
    // The pages around it come along: neighbours in the file are often
    // neighbours in key order (a bulk build writes the leaves in order).
    // Those cached or held already are newer than the file's.
    const uint32_t first = page / kReadPages * kReadPages;
    const uint32_t n = std::min(kReadPages, next_free() - first);
    if (chunk.size() < size_t{kReadPages} * kPageSize) chunk.resize(size_t{kReadPages} * kPageSize);
    size_t got = 0;
    Status s = file->ReadAt(uint64_t{first} * kPageSize, chunk.data(), size_t{n} * kPageSize, &got);
    if (!s.ok()) return s.WithDbCode(kDbShortRead);
    if (got < size_t{page - first + 1} * kPageSize) {
      return Status::Corrupt("short read of page " + std::to_string(page) + " of " + path)
          .WithDbCode(kDbShortRead);
    }
    for (uint32_t i = 0; i < got / kPageSize; ++i) {
      const uint32_t p = first + i;
      if (p == 0 || (p != page && (cache.Find(p) != nullptr || held.count(p) != 0))) continue;
      cache.Put(p, chunk.data() + size_t{i} * kPageSize);
    }
    std::memcpy(b.data.data(), chunk.data() + size_t{page - first} * kPageSize, kPageSize);
  }
  std::fill(b.data.begin() + kPageSize, b.data.end(), 0);
  if (Count(b.data.data()) > kpp()) {
    return Status::Corrupt("page " + std::to_string(page) + " of " + path +
                           " holds too many entries")
        .WithDbCode(kDbShortRead);
  }
  b.page = page;
  return Status::Ok();
}

Status IndexFile::Impl::WritePage(uint32_t page, char* d) {
  size_t used = 8 + size_t{Count(d)} * esize();
  if (used < kPageSize) std::memset(d + used, 0, kPageSize - used);
  // Another level holding the same page (only in a damaged index) would
  // now be out of date.
  for (auto& b : levels) {
    if (b->page == page && b->data.data() != d) b->page = 0;
  }
  Changed();
  if (write_back) {
    std::memcpy(held[page].data(), d, kPageSize);
    cache.Put(page, d);
    return held.size() >= kHeldPages ? WriteHeld() : Status::Ok();
  }
  Status s = file->WriteAt(uint64_t{page} * kPageSize, d, kPageSize);
  if (!s.ok()) {
    cache.Drop(page);  // the file may hold part of it
    broken = true;
    return s.WithDbCode(kDbShortWrite);
  }
  cache.Put(page, d);
  return Status::Ok();
}

Status IndexFile::Impl::WriteHeld() {
  std::vector<char> run;
  for (auto it = held.begin(); it != held.end();) {
    const uint32_t first = it->first;
    run.clear();
    for (uint32_t next = first; it != held.end() && it->first == next &&
                                run.size() < kRunPages * kPageSize;
         ++it, ++next) {
      run.insert(run.end(), it->second.begin(), it->second.end());
    }
    Status s = file->WriteAt(uint64_t{first} * kPageSize, run.data(), run.size());
    if (!s.ok()) {
      held.clear();
      cache.Clear();  // the file may hold part of what was cached
      broken = true;
      return s.WithDbCode(kDbShortWrite);
    }
  }
  held.clear();
  return Status::Ok();
}

Status IndexFile::Impl::WriteHeader() {
  Changed();
  QUILL_RETURN_IF_ERROR(WriteHeld());
  Status s = file->WriteAt(0, hdr.data(), kPageSize);
  if (!s.ok()) {
    broken = true;
    return s.WithDbCode(kDbShortWrite);
  }
  dirty = false;
  return Status::Ok();
}

Status IndexFile::Impl::Descend(size_t level, uint32_t page, bool from_end) {
  QUILL_RETURN_IF_ERROR(Enter());
  QUILL_RETURN_IF_ERROR(Load(level, page));
  PageBuf& b = *levels[level];
  b.pos = from_end ? static_cast<int>(Count(b.data.data())) + 1 : -1;
  return Status::Ok();
}

Status IndexFile::Impl::LandOn(size_t level, const char* d, int pos, uint32_t* row) {
  uint32_t r = Row(d, static_cast<uint32_t>(pos));
  if (r == 0) return Status::Corrupt("index " + path + " has a row 0").WithDbCode(kDbShortRead);
  path_len = level + 1;
  current = true;
  *row = r;
  return Status::Ok();
}

Status IndexFile::Impl::PastTheEnd(uint32_t* row) {
  path_len = 0;
  current = false;
  *row = 0;
  return Status::Ok();
}

// Moves the path one entry on from the page at `level`, whose position is
// the one before the entry wanted.
Status IndexFile::Impl::StepForward(size_t level, uint32_t* row) {
  if (direction != 1) StartWalk(1);
  while (true) {
    PageBuf& b = *levels[level];
    const char* d = b.data.data();
    const int c = static_cast<int>(Count(d));
    const int pos = ++b.pos;
    uint32_t child = pos <= c ? Child(d, static_cast<uint32_t>(pos)) : 0;
    if (child != 0) {
      QUILL_RETURN_IF_ERROR(Descend(level + 1, child, false));
      ++level;
      continue;
    }
    if (pos < c) return LandOn(level, d, pos, row);
    if (level == 0) return PastTheEnd(row);
    --level;
  }
}

Status IndexFile::Impl::StepBackward(size_t level, uint32_t* row) {
  if (direction != -1) StartWalk(-1);
  while (true) {
    PageBuf& b = *levels[level];
    const char* d = b.data.data();
    const int c = static_cast<int>(Count(d));
    const int pos = --b.pos;
    if (pos < 0) {
      if (level == 0) return PastTheEnd(row);
      --level;
      continue;
    }
    uint32_t child = pos <= c ? Child(d, static_cast<uint32_t>(pos)) : 0;
    if (child != 0) {
      QUILL_RETURN_IF_ERROR(Descend(level + 1, child, true));
      ++level;
      continue;
    }
    if (pos < c) return LandOn(level, d, pos, row);
  }
}

// Every entry's row in key order, as First and Next give them, from one
// sequential read of the file: each page is boiled down to its children
// and rows, then the tree is walked in memory under the same bounds as a
// walk through the file. With keys, every entry's key (without its
// trailing blanks) goes into the copy instead, and keys out of order (a
// damaged index) fail the scan.
Status IndexFile::Impl::ScanAll(std::vector<uint32_t>* rows, IndexCopy* keys) {
  if (rows != nullptr) rows->clear();
  path_len = 0;
  current = false;
  QUILL_RETURN_IF_ERROR(Usable());
  // The file is read whole: the pages held back go there first.
  QUILL_RETURN_IF_ERROR(WriteHeld());
  const uint32_t pages = next_free();
  const uint32_t K = kpp(), kl = klen();
  constexpr uint32_t kUnread = UINT32_MAX, kTooMany = UINT32_MAX - 1;
  // Per page: where its record starts in links: the count c, then c + 1
  // children, c rows and (with keys) c key places. A leaf (no child)
  // has kLeaf in its count and no children. Room for full pages is set
  // aside, but only what is written is ever touched.
  constexpr uint32_t kLeaf = 0x80000000u;
  std::vector<uint32_t> start(pages, kUnread);
  std::unique_ptr<uint32_t[]> links(new uint32_t[size_t{pages} * (3 + 3 * size_t{K})]);
  uint32_t* out = links.get();
  size_t leaf_entries = 0;
  std::vector<char> buf(size_t{kScanPages} * kPageSize);
  for (uint32_t first = 1; first < pages; first += kScanPages) {
    const uint32_t n = std::min(kScanPages, pages - first);
    size_t got = 0;
    Status s = file->ReadAt(uint64_t{first} * kPageSize, buf.data(), size_t{n} * kPageSize, &got);
    if (!s.ok()) return s.WithDbCode(kDbShortRead);
    if (got != size_t{n} * kPageSize) {
      return Status::Corrupt("index " + path + " is shorter than " + std::to_string(pages) +
                             " pages")
          .WithDbCode(kDbShortRead);
    }
    for (uint32_t i = 0; i < n; ++i) {
      const char* d = buf.data() + size_t{i} * kPageSize;
      const uint32_t c = Count(d);
      if (c > K) {
        start[first + i] = kTooMany;
        continue;
      }
      start[first + i] = static_cast<uint32_t>(out - links.get());
      uint32_t* head = out++;
      // A leaf's children are all 0: its rows are copied as they are read.
      uint32_t children = Child(d, c);
      for (uint32_t j = 0; j < c; ++j) {
        children |= Child(d, j);
        out[j] = Row(d, j);
      }
      const bool leaf = children == 0;
      *head = leaf ? (c | kLeaf) : c;
      if (leaf) {
        out += c;
        leaf_entries += c;
      } else {
        for (uint32_t j = 0; j <= c; ++j) *out++ = Child(d, j);
        for (uint32_t j = 0; j < c; ++j) *out++ = Row(d, j);
        for (uint32_t j = 0; j < c; ++j) leaf_entries += Child(d, j) == 0;
      }
      if (keys == nullptr) continue;
      for (uint32_t j = 0; j < c; ++j) {
        // Only the entries of leaves are ever looked at.
        *out++ = leaf || Child(d, j) == 0 ? keys->PoolKey(std::string_view(Key(d, j), kl)) : 0;
      }
    }
  }
  buf = std::vector<char>();

  struct Step {
    uint32_t at;   // the page's place in links
    uint32_t pos;  // the next child or entry to look at
  };
  std::vector<Step> stack;
  uint64_t seen = 0;
  // A page reached twice (shared by two parents, or on a loop) makes the
  // pages a graph, not a tree.
  std::vector<bool> reached(pages, false);
  const uint32_t* l = links.get();
  auto enter = [&](uint32_t page) -> Status {
    if (stack.size() >= kMaxDepth)
      return Status::Corrupt("index " + path + " is too deep").WithDbCode(kDbShortRead);
    if (page == 0 || page >= pages) {
      return Status::Corrupt("index " + path + " points outside its pages")
          .WithDbCode(kDbShortRead);
    }
    if (reached[page] || ++seen >= pages) {
      return Status::Corrupt("index " + path + " is damaged: its pages do not form a tree")
          .WithDbCode(kDbShortRead);
    }
    reached[page] = true;
    const uint32_t at = start[page];
    if (at == kTooMany) {
      return Status::Corrupt("page " + std::to_string(page) + " of " + path +
                             " holds too many entries")
          .WithDbCode(kDbShortRead);
    }
    stack.push_back({at, 0});
    // The records of the pages below are wanted next, from places in no
    // order: fetch them ahead.
    if (!(l[at] & kLeaf)) {
      for (uint32_t j = 0; j <= l[at]; ++j) {
        const uint32_t child = l[at + 1 + j];
        if (child != 0 && child < pages && start[child] < kTooMany) {
          __builtin_prefetch(l + start[child]);
        }
      }
    }
    return Status::Ok();
  };
  // Rows go straight into place, counted by `emitted`.
  uint32_t* row_out = nullptr;
  if (keys == nullptr) {
    rows->resize(leaf_entries);
    row_out = rows->data();
  }
  size_t emitted = 0;
  std::string_view last;  // the key before, for the order check
  // Emits entry pos of a page whose rows start at `at`; the keys must come
  // in order.
  auto emit = [&](uint32_t at, uint32_t c, uint32_t pos) -> Status {
    const uint32_t r = l[at + pos];
    if (r == 0) return Status::Corrupt("index " + path + " has a row 0").WithDbCode(kDbShortRead);
    if (emitted == leaf_entries) {
      return Status::Corrupt("index " + path + " is damaged: its pages do not form a tree")
          .WithDbCode(kDbShortRead);
    }
    ++emitted;
    if (keys == nullptr) {
      row_out[emitted - 1] = r;
      return Status::Ok();
    }
    const uint32_t key_at = l[at + c + pos];
    const std::string_view key = keys->PooledKey(key_at);
    if (emitted > 1) {
      if (keys->Order(last, key) > 0) return Status::Corrupt("keys out of order");
    }
    last = key;
    keys->Append(r, key_at);
    return Status::Ok();
  };
  QUILL_RETURN_IF_ERROR(enter(root()));
  while (!stack.empty()) {
    Step& top = stack.back();
    const uint32_t head = l[top.at];
    const uint32_t c = head & ~kLeaf;
    if (head & kLeaf) {
      if (keys == nullptr && c <= leaf_entries - emitted) {
        // Rows only: the leaf's rows go across as they are, once none is 0.
        const uint32_t* r = l + top.at + 1;
        uint32_t zero = 0;
        for (uint32_t pos = 0; pos < c; ++pos) zero |= r[pos] == 0;
        if (zero != 0) {
          return Status::Corrupt("index " + path + " has a row 0").WithDbCode(kDbShortRead);
        }
        if (c != 0) std::memcpy(row_out + emitted, r, size_t{c} * sizeof *r);
        emitted += c;
      } else {
        for (uint32_t pos = 0; pos < c; ++pos) QUILL_RETURN_IF_ERROR(emit(top.at + 1, c, pos));
      }
      stack.pop_back();
      continue;
    }
    const uint32_t pos = top.pos++;
    if (pos > c) {
      stack.pop_back();
      continue;
    }
    const uint32_t child = l[top.at + 1 + pos];
    if (child != 0) {
      QUILL_RETURN_IF_ERROR(enter(child));
    } else if (pos < c) {
      QUILL_RETURN_IF_ERROR(emit(top.at + 2 + c, c, pos));
    }
  }
  if (keys == nullptr) rows->resize(emitted);
  return Status::Ok();
}

// Takes the whole index into memory once it has been searched often with
// no change in between, and when it is small enough. A failure leaves the
// searches to the file for as long as the index stays open.
void IndexFile::Impl::MaybeHoldInMemory() {
  if (copy || no_memory_copy || ++seeks_since_change < kSeeksBeforeCopy) return;
  if (uint64_t{next_free()} * kPageSize > kMaxCopyBytes) {
    no_memory_copy = true;
    return;
  }
  auto made = std::make_unique<IndexCopy>(klen(), numeric());
  // Keys out of order (a damaged index) are left to the walk through the
  // file, which reports what it meets.
  Status s = ScanAll(nullptr, made.get());
  if (!s.ok()) {
    no_memory_copy = true;
    return;
  }
  copy = std::move(made);
}

void IndexFile::Impl::Changed() { seeks_since_change = 0; }

void IndexFile::Impl::MakeRowMap() {
  if (rows_map || no_rows_map || !Usable().ok()) return;
  if (!WriteHeld().ok()) {
    no_rows_map = true;
    return;
  }
  const uint32_t pages = next_free();
  auto map = std::make_unique<RowMap>();
  std::vector<char> buf(size_t{kScanPages} * kPageSize);
  for (uint32_t first = 1; first < pages; first += kScanPages) {
    const uint32_t n = std::min(kScanPages, pages - first);
    size_t got = 0;
    Status s = file->ReadAt(uint64_t{first} * kPageSize, buf.data(), size_t{n} * kPageSize, &got);
    if (!s.ok() || got != size_t{n} * kPageSize) {
      no_rows_map = true;
      return;
    }
    for (uint32_t i = 0; i < n; ++i) {
      const char* d = buf.data() + size_t{i} * kPageSize;
      const uint32_t c = Count(d);
      if (c > kpp()) {
        no_rows_map = true;
        return;
      }
      uint32_t children = Child(d, c);
      for (uint32_t j = 0; j < c; ++j) children |= Child(d, j);
      if (children == 0) {
        for (uint32_t j = 0; j < c; ++j) map->SetLeaf(Row(d, j), first + i);
        continue;
      }
      for (uint32_t j = 0; j <= c; ++j) {
        const uint32_t child = Child(d, j);
        if (child != 0 && child < pages) map->SetParent(child, first + i);
      }
    }
  }
  rows_map = std::move(map);
}

bool IndexFile::Impl::PathToRow(std::string_view key, uint32_t row) {
  if (!rows_map) return false;
  uint32_t page = rows_map->LeafOf(row);
  if (page == 0) return false;
  // The pages from the leaf up to the root, then walked down.
  std::array<uint32_t, kMaxDepth> chain;
  size_t depth = 0;
  auto give_up = [&] {
    rows_map.reset();
    no_rows_map = true;
    path_len = 0;
    current = false;
    return false;
  };
  while (true) {
    if (depth == kMaxDepth) return give_up();
    chain[depth++] = page;
    if (page == root()) break;
    page = rows_map->ParentOf(page);
    if (page == 0) return give_up();
  }
  std::reverse(chain.begin(), chain.begin() + static_cast<ptrdiff_t>(depth));
  StartWalk(0);
  for (size_t level = 0; level < depth; ++level) {
    if (!Enter().ok() || !Load(level, chain[level]).ok()) return give_up();
    PageBuf& b = *levels[level];
    const char* d = b.data.data();
    const uint32_t c = Count(d);
    uint32_t j = 0;
    if (level + 1 < depth) {
      while (j <= c && Child(d, j) != chain[level + 1]) ++j;
      if (j > c) return give_up();
    } else {
      while (j < c && (Row(d, j) != row || Child(d, j) != 0 || CompareValue(key, Key(d, j)) != 0)) {
        ++j;
      }
      if (j == c) return give_up();
    }
    b.pos = static_cast<int>(j);
  }
  path_len = depth;
  current = true;
  return true;
}

Status IndexFile::Impl::InsertEntry(std::string_view key, uint32_t row) {
  const uint32_t E = esize(), K = kpp(), kl = klen();
  std::string carried(key);
  uint32_t carried_row = row;
  uint32_t right_child = 0;
  size_t level = path_len - 1;
  const size_t leaf_level = level;
  std::vector<char> right(BufSize(), 0);
  while (true) {
    PageBuf& b = *levels[level];
    char* d = b.data.data();
    const uint32_t c = Count(d);
    const uint32_t pos = static_cast<uint32_t>(b.pos);
    char* at = Entry(d, pos);
    // Entries from pos on move one place right; the child left of pos stays.
    std::memmove(at + 4 + E, at + 4, size_t{c - pos} * E);
    PutU32(at + 4, carried_row);
    std::memset(at + 8, 0, E - 8);
    std::memcpy(at + 8, carried.data(), kl);
    PutU32(at + E, right_child);
    PutU32(d, c + 1);
    if (rows_map) {
      if (level == leaf_level) {
        rows_map->SetLeaf(carried_row, b.page);
      } else {
        rows_map->SetParent(right_child, b.page);
      }
    }
    if (c + 1 <= K) return WritePage(b.page, d);

    // Split.
    const uint32_t n = c + 1;
    const uint32_t h = (n + 1) / 2;
    std::string promoted(Key(d, h - 1), kl);
    std::fill(right.begin(), right.end(), 0);
    std::memcpy(right.data() + 4, Entry(d, h), size_t{n - h} * E + 4);
    PutU32(right.data(), n - h);
    PutU32(d, level == leaf_level ? h : h - 1);
    QUILL_RETURN_IF_ERROR(WritePage(b.page, d));
    const uint32_t right_no = next_free();
    PutU32(&hdr[4], right_no + 1);
    dirty = true;
    QUILL_RETURN_IF_ERROR(WritePage(right_no, right.data()));
    if (rows_map) {
      // What moved to the right page: rows of a leaf, children otherwise.
      const char* rd = right.data();
      if (level == leaf_level) {
        for (uint32_t j = 0; j < n - h; ++j) rows_map->SetLeaf(Row(rd, j), right_no);
      } else {
        for (uint32_t j = 0; j <= n - h; ++j) rows_map->SetParent(Child(rd, j), right_no);
      }
    }

    if (level == 0) {
      // The root split: a new root above it holds the promoted key.
      const uint32_t root_no = next_free();
      PutU32(&hdr[4], root_no + 1);
      std::fill(right.begin(), right.end(), 0);
      char* r = right.data();
      PutU32(r, 1);
      PutU32(r + 4, b.page);
      PutU32(r + 8, 0);
      std::memcpy(r + 12, promoted.data(), kl);
      PutU32(r + 4 + E, right_no);
      QUILL_RETURN_IF_ERROR(WritePage(root_no, r));
      PutU32(&hdr[0], root_no);
      if (rows_map) {
        rows_map->SetParent(b.page, root_no);
        rows_map->SetParent(right_no, root_no);
      }
      Invalidate();  // every page is one level deeper now
      return Status::Ok();
    }
    carried = std::move(promoted);
    carried_row = 0;
    right_child = right_no;
    --level;
  }
}

Status IndexFile::Impl::DeleteEntry() {
  const uint32_t E = esize(), kl = klen();
  size_t level = path_len - 1;
  PageBuf& leaf = *levels[level];
  char* d = leaf.data.data();
  const uint32_t c = Count(d);
  const uint32_t i = static_cast<uint32_t>(leaf.pos);
  current = false;
  if (rows_map) rows_map->SetLeaf(Row(d, i), 0);
  if (i + 1 < c) {
    char* at = Entry(d, i);
    std::memmove(at, at + E, size_t{c - 1 - i} * E + 4);
    PutU32(d, c - 1);
    return WritePage(leaf.page, d);
  }
  std::string replacement;
  bool emptied = c == 1;
  if (!emptied) replacement.assign(Key(d, c - 2), kl);
  PutU32(d, c - 1);
  QUILL_RETURN_IF_ERROR(WritePage(leaf.page, d));
  while (level > 0) {
    --level;
    PageBuf& b = *levels[level];
    char* p = b.data.data();
    const uint32_t pc = Count(p);
    const uint32_t j = static_cast<uint32_t>(b.pos);
    if (!emptied) {
      if (j < pc) {
        // Left through a real entry: its separator becomes the new largest key.
        std::memset(p + 12 + size_t{j} * E, 0, E - 8);
        std::memcpy(p + 12 + size_t{j} * E, replacement.data(), kl);
        return WritePage(b.page, p);
      }
      continue;  // left through the rightmost child: the separator is higher up
    }
    if (pc == 0) {
      // Its only child is gone: this page is empty as well.
      PutU32(p + 4, 0);
      QUILL_RETURN_IF_ERROR(WritePage(b.page, p));
      continue;
    }
    if (j < pc) {
      // Unlink the emptied child together with its entry.
      char* at = Entry(p, j);
      std::memmove(at, at + E, size_t{pc - 1 - j} * E + 4);
      PutU32(p, pc - 1);
      return WritePage(b.page, p);
    }
    // The emptied child was the rightmost one: the last entry's child takes
    // its place, and that entry's key is the new largest key of this page.
    replacement.assign(Key(p, pc - 1), kl);
    PutU32(p, pc - 1);
    QUILL_RETURN_IF_ERROR(WritePage(b.page, p));
    emptied = false;
  }
  return Status::Ok();
}

// Bottom-up tree build from the sorted records.
class IndexFile::Impl::TreeBuilder {
 public:
  TreeBuilder(IndexFile::Impl& ix, ExternalSort& sort) : ix_(ix), sort_(sort) {}

  Status Run() {
    QUILL_RETURN_IF_ERROR(Fetch());
    uint32_t sub = 0;
    QUILL_RETURN_IF_ERROR(Leaf(&sub));
    int level = 0;
    while (have_) {
      ++level;
      QUILL_RETURN_IF_ERROR(Above(level, sub, &sub));
    }
    PutU32(&ix_.hdr[0], sub);
    PutU32(&ix_.hdr[4], next_page_);
    return Status::Ok();
  }

 private:
  // The next record, passing over keys equal to the last one taken when
  // the index is unique (so "records remain" never means only duplicates).
  Status Fetch() {
    while (true) {
      bool done = false;
      QUILL_RETURN_IF_ERROR(sort_.Next(&next_row_, &next_key_, &done));
      if (done) {
        have_ = false;
        return Status::Ok();
      }
      if (ix_.unique() && taken_any_ &&
          CompareStoredKeys(next_key_.data(), last_key_.data(), ix_.klen(), ix_.numeric()) == 0)
        continue;
      have_ = true;
      return Status::Ok();
    }
  }

  Status Complete(std::vector<char>& page, uint32_t* no) {
    *no = next_page_++;
    return ix_.WritePage(*no, page.data());
  }

  Status Leaf(uint32_t* no) {
    std::vector<char> page(kPageSize, 0);
    uint32_t c = 0;
    while (have_ && c < ix_.kpp()) {
      char* at = ix_.Entry(page.data(), c);
      PutU32(at + 4, next_row_);
      std::memcpy(at + 8, next_key_.data(), ix_.klen());
      if (ix_.copy) ix_.copy->Append(next_row_, ix_.copy->PoolKey(next_key_));
      ++c;
      last_key_ = next_key_;
      taken_any_ = true;
      QUILL_RETURN_IF_ERROR(Fetch());
    }
    PutU32(page.data(), c);
    return Complete(page, no);
  }

  Status Subtree(int level, uint32_t* no) {
    if (level == 0) return Leaf(no);
    uint32_t first = 0;
    QUILL_RETURN_IF_ERROR(Subtree(level - 1, &first));
    return Above(level, first, no);
  }

  // A page of `level` whose first child is `first`, filled with separators
  // and new subtrees while records remain.
  Status Above(int level, uint32_t first, uint32_t* no) {
    std::vector<char> page(kPageSize, 0);
    PutU32(page.data() + 4, first);
    uint32_t c = 0;
    while (have_ && c < ix_.kpp()) {
      char* at = ix_.Entry(page.data(), c);
      std::memcpy(at + 8, last_key_.data(), ix_.klen());  // child set before, row 0
      ++c;
      uint32_t sub = 0;
      QUILL_RETURN_IF_ERROR(Subtree(level - 1, &sub));
      PutU32(ix_.Entry(page.data(), c), sub);
    }
    PutU32(page.data(), c);
    return Complete(page, no);
  }

  IndexFile::Impl& ix_;
  ExternalSort& sort_;
  bool have_ = false;
  bool taken_any_ = false;
  uint32_t next_row_ = 0;
  std::string next_key_, last_key_;
  uint32_t next_page_ = 1;
};

Status IndexFile::Impl::BuildTree(ExternalSort& sort) {
  TreeBuilder builder(*this, sort);
  return builder.Run();
}

// ---------------------------------------------------------------------------

IndexFile::IndexFile() : impl_(std::make_unique<Impl>()) {}

IndexFile::~IndexFile() { (void)Close(); }

Status IndexFile::Create(FileEnv& env, const std::string& path, std::string_view expr,
                         bool unique, std::unique_ptr<IndexFile>* out) {
  if (expr.size() + 2 > kPageSize - kExprOffset || expr.find('\0') != std::string_view::npos) {
    return Status::Invalid("key expression too long for an index header")
        .WithDbCode(kDbBadKeyExpression);
  }
  std::unique_ptr<IndexFile> ix(new IndexFile());
  Impl& m = *ix->impl_;
  m.env = &env;
  m.path = path;
  Status s = env.Open(path, OpenMode::kCreate, &m.file);
  if (!s.ok()) return s.WithDbCode(kDbCannotCreate);
  m.hdr[33] = unique ? 1 : 0;
  std::memcpy(&m.hdr[kExprOffset], expr.data(), expr.size());
  m.hdr[kExprOffset + expr.size()] = ' ';
  m.expr = std::string(expr);
  *out = std::move(ix);
  return Status::Ok();
}

Status IndexFile::Open(FileEnv& env, const std::string& path, std::unique_ptr<IndexFile>* out) {
  std::unique_ptr<IndexFile> ix(new IndexFile());
  Impl& m = *ix->impl_;
  m.env = &env;
  m.path = path;
  Status s = env.Open(path, OpenMode::kReadWrite, &m.file);
  if (!s.ok()) return s.WithDbCode(kDbCannotOpen);
  size_t got = 0;
  s = m.file->ReadAt(0, m.hdr.data(), kHeaderReadSize, &got);
  if (!s.ok()) return s.WithDbCode(kDbShortRead);
  if (got != kHeaderReadSize)
    return Status::Corrupt("index " + path + " is too short").WithDbCode(kDbShortRead);

  auto corrupt = [&](const std::string& why) {
    return Status::Corrupt("index " + path + ": " + why).WithDbCode(kDbShortRead);
  };
  const uint64_t kl = m.klen();
  if (kl == 0 || m.esize() != EntrySizeFor(kl) || m.kpp() != 508 / m.esize())
    return corrupt("key length, entry size and keys per page disagree");
  if (GetU32(&m.hdr[20]) > 1 || (m.numeric() && kl != 8))
    return corrupt("bad numeric flag");
  if (m.kpp() < 2) {
    return Status::Invalid("index " + path + ": key too long for two keys a page")
        .WithDbCode(kDbBadKeyExpression);
  }
  uint64_t size = 0;
  s = m.file->Size(&size);
  if (!s.ok()) return s.WithDbCode(kDbShortRead);
  if (m.next_free() < 2 || m.root() == 0 || m.root() >= m.next_free() ||
      uint64_t{m.next_free()} * kPageSize > size)
    return corrupt("root or next free page outside the file");
  const char* e = &m.hdr[kExprOffset];
  const void* nul = std::memchr(e, 0, kPageSize - kExprOffset);
  if (nul == nullptr) return corrupt("unterminated key expression");
  m.expr.assign(e, static_cast<const char*>(nul));
  if (!m.expr.empty() && m.expr.back() == ' ') m.expr.pop_back();
  *out = std::move(ix);
  return Status::Ok();
}

Status IndexFile::Bind(const std::vector<FieldLayout>& fields) {
  Impl& m = *impl_;
  KeyExpr k;
  QUILL_RETURN_IF_ERROR(KeyExpr::Compile(m.expr, fields, &k));
  if (m.klen() != 0 && (k.key_length() != m.klen() || k.numeric() != m.numeric())) {
    return Status::Corrupt("index " + m.path + " does not fit its table")
        .WithDbCode(kDbBadKeyExpression);
  }
  m.key_expr = std::move(k);
  return Status::Ok();
}

Status IndexFile::Build(const std::vector<FieldLayout>& fields, RowSource& rows) {
  Impl& m = *impl_;
  if (!m.file) return Status::Invalid("index " + m.path + " is not open");
  KeyExpr k;
  QUILL_RETURN_IF_ERROR(KeyExpr::Compile(m.expr, fields, &k));
  const uint32_t kl = k.key_length();
  const uint64_t E = EntrySizeFor(kl);
  if (508 / E < 2) {
    return Status::Invalid("key of " + std::to_string(kl) +
                           " bytes leaves fewer than two keys a page")
        .WithDbCode(kDbBadKeyExpression);
  }

  ExternalSort sort(*m.env, m.path, kl, k.numeric());
  auto fail = [&](Status s) {
    (void)sort.Cleanup();
    return s;
  };
  Status s = sort.Start();
  if (!s.ok()) return fail(s);
  const uint32_t n = rows.RowCount();
  std::string row;
  for (uint32_t r = 1; r <= n; ++r) {
    s = rows.ReadRow(r, &row);
    if (!s.ok()) return fail(s);
    s = sort.Add(r, k.KeyOfRow(row));
    if (!s.ok()) return fail(s);
  }
  s = sort.Finish();
  if (!s.ok()) return fail(s);

  // From here the file is rewritten; until the header is in place again it
  // does not open.
  m.broken = true;
  m.levels.clear();
  m.cache.Clear();
  m.held.clear();
  m.copy.reset();
  m.DropRowMap();
  m.no_rows_map = false;
  m.Changed();
  m.path_len = 0;
  m.current = false;
  PutU32(&m.hdr[12], kl);
  PutU32(&m.hdr[16], static_cast<uint32_t>(508 / E));
  PutU32(&m.hdr[20], k.numeric() ? 1 : 0);
  PutU32(&m.hdr[24], static_cast<uint32_t>(E));
  s = m.file->Truncate(0);
  if (!s.ok()) return fail(s.WithDbCode(kDbShortWrite));
  // The entries the build writes are the copy, unless there are too many.
  if (uint64_t{n} * (kl + 9) <= kMaxCopyBytes) m.copy = std::make_unique<IndexCopy>(kl, k.numeric());
  s = m.BuildTree(sort);
  if (!s.ok()) {
    m.copy.reset();
    return fail(s);
  }
  s = sort.Cleanup();
  if (!s.ok()) return s;
  m.broken = false;
  s = m.WriteHeader();
  if (!s.ok()) return s;
  m.key_expr = std::move(k);
  return Status::Ok();
}

Status IndexFile::Seek(std::string_view value, uint32_t* row) {
  Impl& m = *impl_;
  *row = 0;
  m.current = false;
  m.path_len = 0;
  QUILL_RETURN_IF_ERROR(m.Usable());
  ++m.seeks_since_change;
  m.StartWalk(0);
  uint32_t page = m.root();
  for (size_t level = 0;; ++level) {
    QUILL_RETURN_IF_ERROR(m.Enter());
    QUILL_RETURN_IF_ERROR(m.Load(level, page));
    PageBuf& b = *m.levels[level];
    const char* d = b.data.data();
    const uint32_t c = Impl::Count(d);
    uint32_t i = 0;
    for (; i < c; ++i) {
      int cmp = m.CompareValue(value, m.Key(d, i));
      if (cmp == 0 && m.Row(d, i) != 0) {
        b.pos = static_cast<int>(i);
        m.path_len = level + 1;
        m.current = true;
        *row = m.Row(d, i);
        return Status::Ok();
      }
      if (cmp <= 0) break;
    }
    b.pos = static_cast<int>(i);
    m.path_len = level + 1;
    page = m.Child(d, i);  // the rightmost child when i == c
    if (page == 0) return Status::Ok();
  }
}

Status IndexFile::Next(uint32_t* row) {
  Impl& m = *impl_;
  *row = 0;
  QUILL_RETURN_IF_ERROR(m.Usable());
  if (!m.current) return Status::Ok();
  return m.StepForward(m.path_len - 1, row);
}

Status IndexFile::Previous(uint32_t* row) {
  Impl& m = *impl_;
  *row = 0;
  QUILL_RETURN_IF_ERROR(m.Usable());
  if (!m.current) return Status::Ok();
  return m.StepBackward(m.path_len - 1, row);
}

Status IndexFile::First(uint32_t* row) {
  Impl& m = *impl_;
  *row = 0;
  m.current = false;
  m.path_len = 0;
  QUILL_RETURN_IF_ERROR(m.Usable());
  m.StartWalk(0);
  QUILL_RETURN_IF_ERROR(m.Descend(0, m.root(), false));
  return m.StepForward(0, row);
}

Status IndexFile::Last(uint32_t* row) {
  Impl& m = *impl_;
  *row = 0;
  m.current = false;
  m.path_len = 0;
  QUILL_RETURN_IF_ERROR(m.Usable());
  m.StartWalk(0);
  QUILL_RETURN_IF_ERROR(m.Descend(0, m.root(), true));
  return m.StepBackward(0, row);
}

Status IndexFile::AllRows(std::vector<uint32_t>* rows) {
  Impl& m = *impl_;
  if (!m.copy) return m.ScanAll(rows);
  QUILL_RETURN_IF_ERROR(m.Usable());
  m.path_len = 0;
  m.current = false;
  m.copy->AllRows(rows);
  return Status::Ok();
}

Status IndexFile::MatchingRows(std::string_view value, std::vector<uint32_t>* rows, uint32_t* after,
                               bool* done) {
  Impl& m = *impl_;
  rows->clear();
  *after = 0;
  *done = false;
  QUILL_RETURN_IF_ERROR(m.Usable());
  m.MaybeHoldInMemory();
  if (!m.copy) return Status::Ok();
  m.path_len = 0;
  m.current = false;
  m.copy->Matching(value, rows, after);
  *done = true;
  return Status::Ok();
}

Status IndexFile::SeekRow(std::string_view key, uint32_t row, bool* found) {
  Impl& m = *impl_;
  *found = false;
  if (m.rows_map && m.PathToRow(key, row)) {
    *found = true;
    return Status::Ok();
  }
  uint32_t e = 0;
  QUILL_RETURN_IF_ERROR(Seek(key, &e));
  uint32_t steps = 0;
  while (e != 0 && Compare(key, CurrentKey()) == 0) {
    if (e == row) {
      *found = true;
      return Status::Ok();
    }
    if (++steps == kShortWalk && !m.rows_map && !m.no_rows_map) {
      // A long run of equal keys: the row map takes over, or, when it does
      // not lead there, the walk starts again and goes to the end.
      m.MakeRowMap();
      if (m.PathToRow(key, row)) {
        *found = true;
        return Status::Ok();
      }
      QUILL_RETURN_IF_ERROR(Seek(key, &e));
      continue;
    }
    QUILL_RETURN_IF_ERROR(Next(&e));
  }
  return Status::Ok();
}

std::string_view IndexFile::CurrentKey() const {
  const Impl& m = *impl_;
  if (!m.current) return {};
  const PageBuf& b = *m.levels[m.path_len - 1];
  return std::string_view(m.Key(b.data.data(), static_cast<uint32_t>(b.pos)), m.klen());
}

Status IndexFile::Insert(std::string_view key, uint32_t row) {
  Impl& m = *impl_;
  QUILL_RETURN_IF_ERROR(m.Usable());
  if (key.size() != m.klen() || row == 0)
    return Status::Invalid("index entry needs a key of the key length and a row");
  uint32_t found = 0;
  QUILL_RETURN_IF_ERROR(Seek(key, &found));
  if (found != 0 && m.unique()) {
    m.current = false;
    return Status::Duplicate("duplicate key in " + m.path).WithDbCode(kDbDuplicateKey);
  }
  m.current = false;
  Status s = m.InsertEntry(key, row);
  if (!s.ok()) {
    m.copy.reset();
    m.DropRowMap();
    return s;
  }
  if (m.copy) m.copy->Insert(key, row);
  return Status::Ok();
}

Status IndexFile::DeleteCurrent() {
  Impl& m = *impl_;
  QUILL_RETURN_IF_ERROR(m.Usable());
  if (!m.current) return Status::Invalid("no current index entry to delete");
  const PageBuf& b = *m.levels[m.path_len - 1];
  const uint32_t row = m.Row(b.data.data(), static_cast<uint32_t>(b.pos));
  const std::string key(CurrentKey());
  Status s = m.DeleteEntry();
  // A copy that does not hold the entry does not follow the file.
  if (!s.ok() || (m.copy && !m.copy->Remove(key, row))) m.copy.reset();
  if (!s.ok()) m.DropRowMap();
  return s;
}

Status IndexFile::Close() {
  Impl& m = *impl_;
  if (!m.file) return Status::Ok();
  Status s;
  if (m.broken) {
    s = m.Incomplete();
  } else if (m.dirty) {
    s = m.WriteHeader();
  } else {
    s = m.WriteHeld();
  }
  Status c = m.file->Close();
  m.file.reset();
  m.levels.clear();
  m.cache.Clear();
  m.held.clear();
  m.copy.reset();
  m.DropRowMap();
  m.Changed();
  m.path_len = 0;
  m.current = false;
  if (s.ok() && !c.ok()) s = c;
  return s;
}

std::string IndexFile::Impl::FileStamp() {
  uint64_t size = 0;
  if (!file || !WriteHeld().ok() || !file->Size(&size).ok()) return {};
  std::string stamp(hdr.data(), kPageSize);
  stamp.append(reinterpret_cast<const char*>(&size), sizeof size);
  return stamp;
}

Status IndexFile::set_write_back(bool on) {
  Impl& m = *impl_;
  Status s = !on && m.file ? m.WriteHeld() : Status::Ok();
  m.write_back = on;
  return s;
}

std::unique_ptr<IndexCopy> IndexFile::ReleaseCopy() {
  Impl& m = *impl_;
  if (m.broken || !m.copy) return nullptr;
  std::string stamp = m.FileStamp();
  if (stamp.empty()) return nullptr;
  m.copy->set_file_stamp(std::move(stamp));
  return std::move(m.copy);
}

void IndexFile::AdoptCopy(std::unique_ptr<IndexCopy> copy) {
  Impl& m = *impl_;
  if (!copy || m.broken || copy->key_length() != m.klen() || copy->numeric() != m.numeric()) return;
  const std::string stamp = m.FileStamp();
  if (stamp.empty() || stamp != copy->file_stamp()) return;
  m.copy = std::move(copy);
}

int IndexFile::Compare(std::string_view value, std::string_view key) const {
  std::string padded;
  if (key.size() < impl_->klen()) {
    padded.assign(key);
    padded.resize(impl_->klen(), impl_->numeric() ? '\0' : ' ');
    key = padded;
  }
  return impl_->CompareValue(value, key.data());
}

const std::string& IndexFile::path() const { return impl_->path; }
const std::string& IndexFile::expression() const { return impl_->expr; }
uint32_t IndexFile::key_length() const { return impl_->klen(); }
bool IndexFile::numeric() const { return impl_->numeric(); }
bool IndexFile::unique() const { return impl_->unique(); }
std::string IndexFile::KeyOfRow(std::string_view row) const { return impl_->key_expr.KeyOfRow(row); }

}  // namespace quill::store
