// IndexFile: one B-tree index file of a record table.
//
// File layout (all integers little-endian; page p at p x 512):
// page 0 is the header: root page, next free page, key length, keys per
// page, numeric flag, entry size, unique flag and the key expression
// followed by one blank. Tree pages hold a u32 entry count and entries of
// {left child u32, row u32 (1-based; 0 in internal pages), key}, then the
// rightmost child. Rows live only in leaves; an internal entry's key is the
// largest key of the subtree on its left. The exact byte layout, the split
// rule and the bulk build are described in index_file.cpp.
//
// Reads are bounded by the file's size: an index whose pages do not form a
// tree (a child that points back up, or pages shared between parents) is
// reported as kCorrupt, never walked for ever.
//
// Every operation returns a Status; a failed one carries the engine code
// in db_code() (2 create, 3 open, 5 temporary file, 7 duplicate, 11 short
// read or a damaged page, 12 short write, 13 bad key expression).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_env.h"
#include "platform/status.h"

namespace quill::store {

// One stored field of a table row as the key builder sees it.
struct FieldLayout {
  std::string name;       // upper-case field name as in the table file
  char type = 'C';        // type in the table file: 'C', 'D' or 'N'
  uint32_t offset = 0;    // offset in the row (byte 0 is the deleted flag)
  uint32_t length = 0;    // bytes in the row
  uint8_t decimals = 0;
};

// A compiled key expression: field names joined by '+' (blanks allowed).
class KeyExpr {
 public:
  // Fails with engine code 13 on an unknown field or text mixed with numbers.
  static Status Compile(std::string_view expr, const std::vector<FieldLayout>& fields,
                        KeyExpr* out);
  uint32_t key_length() const { return key_length_; }
  bool numeric() const { return numeric_; }
  // The key of a row (row bytes as stored, deleted flag at byte 0): the
  // field bytes concatenated, or for a numeric key the 8 bytes of a double.
  std::string KeyOfRow(std::string_view row) const;

 private:
  std::vector<FieldLayout> parts_;
  uint32_t key_length_ = 0;
  bool numeric_ = false;
};

// The 8 key bytes of a numeric key (a little-endian double).
std::string NumericKey(double value);
// The C library's decimal conversion of text (leading blanks skipped,
// trailing text ignored, 0 when there is no number), independent of the
// process locale.
double DecimalValue(std::string_view text);

// Rows of a table for a bulk build, numbered 1..RowCount() in file order.
class RowSource {
 public:
  virtual ~RowSource() = default;
  virtual uint32_t RowCount() = 0;
  // The whole stored row (deleted flag at byte 0) of row r (1-based).
  virtual Status ReadRow(uint32_t row, std::string* bytes) = 0;
};

class IndexCopy;

class IndexFile {
 public:
  ~IndexFile();

  // Creates (or reuses and later overwrites) an index file with a zeroed
  // header holding expr and the unique flag; Build fills it.
  static Status Create(FileEnv& env, const std::string& path, std::string_view expr,
                       bool unique, std::unique_ptr<IndexFile>* out);
  // Opens an existing index; fails when fewer than 524 bytes can be read.
  static Status Open(FileEnv& env, const std::string& path, std::unique_ptr<IndexFile>* out);

  // Compiles the stored expression against the table's fields, so that
  // KeyOfRow works; called by the table after Open/Create.
  Status Bind(const std::vector<FieldLayout>& fields);
  // Rebuilds the whole tree from every row of the source (deleted rows
  // included) through the temporary files "$$1" and "$$2" beside the index.
  Status Build(const std::vector<FieldLayout>& fields, RowSource& rows);

  // Positioning. *row receives the 1-based row of the entry now current,
  // or 0 when there is none (not found, or past either end).
  // Seek: first entry in key order whose key matches the value as a
  // prefix (see Compare).
  Status Seek(std::string_view value, uint32_t* row);
  Status Next(uint32_t* row);
  Status Previous(uint32_t* row);
  Status First(uint32_t* row);
  Status Last(uint32_t* row);
  // The row of every entry in key order (what First and Next give), read
  // in one pass over the file; leaves no current entry.
  Status AllRows(std::vector<uint32_t>* rows);
  // The rows of the entries whose key matches value (as Seek and Next
  // find them), in key order, and in *after the row of the entry after
  // them (0 = none), when the index is held in memory: after a build (the
  // copy follows every change from then on), or once it has been searched
  // often with no change in between. *done tells whether it was; when
  // not, nothing was looked at. Leaves no current entry.
  Status MatchingRows(std::string_view value, std::vector<uint32_t>* rows, uint32_t* after,
                      bool* done);
  // Positions on the entry {key, row} (key as KeyOfRow gives it): *found
  // tells whether the index has it; when not, the position is undefined.
  // Among many equal keys the entry is found through the row map
  // (index_file.cpp) instead of a walk over all of them.
  Status SeekRow(std::string_view key, uint32_t row, bool* found);
  // The key of the current entry (key_length() bytes).
  std::string_view CurrentKey() const;

  // Inserts {key, row}; a duplicate in a unique index is Status kDuplicate
  // (engine code 7) and nothing is inserted. key has key_length() bytes.
  Status Insert(std::string_view key, uint32_t row);
  // Deletes the current entry (the one the last Seek/Next/... stopped on).
  Status DeleteCurrent();

  // Writes the header when it changed and closes the file.
  Status Close();
  // Write-back: pages written are held in memory until the close (or a
  // read of the whole file) instead of going to the file one by one. For an
  // index that is rebuilt from its table after a crash. Off by default;
  // switching it off writes the held pages, and says whether they went out.
  Status set_write_back(bool on);

  // The entries held in memory (index_copy.h), if any, handed over before
  // a close so that the next open of the file can take them back; only a
  // file that nothing else has changed in between may (AdoptCopy).
  std::unique_ptr<IndexCopy> ReleaseCopy();
  void AdoptCopy(std::unique_ptr<IndexCopy> copy);

  // Compares a search value with a stored key: text keys compare the
  // value's bytes with the key over the shorter of the two, and bytes of
  // the value beyond the key match only blanks; numeric keys compare the
  // 8-byte doubles. Returns <0, 0 (match) or >0 like memcmp(value, key).
  int Compare(std::string_view value, std::string_view key) const;

  const std::string& path() const;
  const std::string& expression() const;  // without the trailing blank
  uint32_t key_length() const;
  bool numeric() const;
  bool unique() const;
  std::string KeyOfRow(std::string_view row) const;

 private:
  IndexFile();
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace quill::store
