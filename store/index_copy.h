// IndexCopy: every entry {key, row} of an index file, in the index's order,
// held in memory. The open index keeps it in step with its file (each
// insert and delete is made in both, a bulk build fills it afresh), so
// that prefix searches and whole-index walks need not read the file.
//
// The order is the file's to the entry: an insert goes before the first
// key that is not less than its own (so before every equal key, as the
// B-tree puts it), and a delete takes the first entry with its key and
// row. Keys are held without their trailing blanks and compared as the
// index compares them: text keys as bytes, a shorter key reading as
// followed by blanks; numeric keys as the doubles of their 8 bytes.
//
// The entries live in chunks of a few hundred, so an insert or a delete
// moves a few kilobytes at most.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quill::store {

class IndexCopy {
 public:
  IndexCopy(uint32_t key_length, bool numeric) : key_length_(key_length), numeric_(numeric) {}

  uint32_t key_length() const { return key_length_; }
  bool numeric() const { return numeric_; }
  size_t size() const { return size_; }

  // Filling in order: a key is first put into the copy's pool (its place
  // is returned), then entries are appended after every other one.
  uint32_t PoolKey(std::string_view key);
  std::string_view PooledKey(uint32_t at) const {
    return std::string_view(pool_.data() + at + 1, static_cast<unsigned char>(pool_[at]));
  }
  void Append(uint32_t row, uint32_t key_at);

  // key is a whole stored key (key_length() bytes, or fewer).
  void Insert(std::string_view key, uint32_t row);
  // False when no entry has this key and row.
  bool Remove(std::string_view key, uint32_t row);

  // The rows of the entries whose key starts with value (the comparison
  // of IndexFile::Compare), in order, and in *after the row of the entry
  // after them (0: none).
  void Matching(std::string_view value, std::vector<uint32_t>* rows, uint32_t* after) const;
  void AllRows(std::vector<uint32_t>* rows) const;

  // Orders a search value against a held key as IndexFile::Compare orders
  // it against the whole key.
  int Compare(std::string_view value, std::string_view key) const;
  // Orders two held keys as the whole keys they stand for.
  int Order(std::string_view a, std::string_view b) const;
  // The key as held: text without its trailing blanks.
  std::string_view Held(std::string_view key) const;

  // What the index file looked like when the copy was set aside (its
  // header and size, as the index file puts them): a file that no longer
  // looks so is not taken for the same.
  void set_file_stamp(std::string stamp) { file_stamp_ = std::move(stamp); }
  const std::string& file_stamp() const { return file_stamp_; }

 private:
  struct Entry {
    uint32_t row;
    uint32_t key_at;  // in pool_: a length byte, then the key
  };
  struct Place {
    size_t chunk;
    size_t pos;
  };
  static constexpr size_t kFill = 256;       // entries per chunk when filled in order
  static constexpr size_t kMaxChunk = 512;   // a chunk that grows past this is split

  std::string_view KeyOf(const Entry& e) const { return PooledKey(e.key_at); }
  // The first entry whose key is not less than value (Compare(value, key)
  // <= 0); {chunks, 0} past the last.
  Place LowerBound(std::string_view value) const;
  void CompactPool();

  uint32_t key_length_;
  bool numeric_;
  std::vector<std::vector<Entry>> chunks_;  // none empty
  std::string pool_;
  size_t size_ = 0;
  size_t live_pool_bytes_ = 0;
  std::string file_stamp_;
};

}  // namespace quill::store
