// TableFile and TableCursor: the table file of a record table, and a
// cursor over it and its index files.
//
// Table file layout (all integers little-endian; n = number of stored
// fields):
//
//   offset       size    content
//   0            1       version, always 3
//   1            1       year of the last update - 1900
//   2            1       month of the last update (1-12)
//   3            1       day of the last update
//   4            4       row count, deleted rows included (u32)
//   8            4       header length = 32 x n + 33 (u32)
//   12           4       row length = 1 + sum of the field lengths (u32)
//   16           20      zero
//   36           32 x n  field descriptors
//   36 + 32 x n  2       0x0D 0x1A, written when the file is created
//
// A field descriptor is 32 bytes: 0-10 the name (NUL padded; an
// 11-character name has no NUL), 11 the type ('C', 'D' or 'N'; raw byte
// fields are stored as 'C'), 12-15 zero, 16 the length (u8), 17 the
// decimals (u8), 18-31 zero.
//
// Row r (counted from 1) begins at header length + (r - 1) x row length.
// The header length is three bytes short of the end of the descriptors, so
// row 1 overwrites the last three (zero) bytes of the last descriptor and
// the 0x0D 0x1A; a reader takes n = (header length - 33) / 32 and must not
// expect those three bytes to be zero. Byte 0 of a row is ' ' for a live
// row and '*' for a deleted one; the fields follow in order, each exactly
// its length. Whenever the header is written, one 0x1A byte is written at
// header length + row count x row length, just after the last row (for an
// empty table it falls on byte 29 of the last descriptor).
//
// Here the header is rewritten after every append (the row goes out first),
// so an appended row is counted only once it is whole; a file closed after
// changes ends just after its 0x1A byte (an empty table is header length +
// 1 bytes). A new or packed table is written to a replacement file beside
// it, made exclusively under a name nobody can foresee (the table's name,
// ".new-" and random letters, FileEnv::CreateTempBeside), that then takes
// the table's name, so a crash leaves the old table or the new one, never
// a mixture. A symbolic link in the table's place is refused, never
// followed or replaced.
//
// The open table remembers the deleted flag of every row it has seen (read
// or written, one byte a row), so that searches need not read a row again
// to pass over deleted ones; once many flags have been asked for, they are
// read a piece of the file at a time. Every write and cut of the file goes
// through the table and updates what it remembers.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_env.h"
#include "platform/status.h"
#include "store/index_file.h"

namespace quill::store {

// One stored field as the table file describes it.
struct FieldDescriptor {
  std::string name;      // at most 11 bytes
  char type = 'C';       // as stored: 'C', 'D' or 'N'
  uint8_t length = 0;    // 1..250
  uint8_t decimals = 0;
  uint32_t offset = 0;   // offset in the row (byte 0 is the deleted flag)
};

// The open table file with its one-row buffer.
class TableFile {
 public:
  static constexpr uint32_t kHeaderSize = 36;
  static constexpr uint32_t kDescriptorSize = 32;

  ~TableFile();  // closes, discarding a close failure; call Close() to see it
  TableFile(const TableFile&) = delete;
  TableFile& operator=(const TableFile&) = delete;

  // Creates the file (emptied when present) with the given fields and no
  // rows. Offsets in fields are computed here.
  static Status Create(FileEnv& env, const std::string& path,
                       const std::vector<FieldDescriptor>& fields, std::unique_ptr<TableFile>* out);
  // Opens an existing file. A file whose header does not agree with its own
  // descriptors and size is refused (kCorrupt) and left untouched. With
  // repair (after a crash), a row count beyond the file's whole rows is cut
  // to them instead, and so is the count of rows at the end whose deleted
  // flag was never written; the close writes the corrected header.
  static Status Open(FileEnv& env, const std::string& path, std::unique_ptr<TableFile>* out,
                     bool repair = false);
  // Removes the replacement files of the table at path that a crash left
  // beside it: they are not part of the table.
  static Status RemoveLeftReplacements(FileEnv& env, const std::string& path);

  // When rows were written, stamps today's date; when the header changed,
  // writes it with the 0x1A after the last row and cuts anything after that
  // byte; closes the file. Safe to call twice.
  Status Close();

  const std::string& path() const { return path_; }
  uint32_t row_count() const { return row_count_; }
  uint32_t header_length() const { return header_length_; }
  uint32_t row_length() const { return row_length_; }
  const std::vector<FieldDescriptor>& descriptors() const { return fields_; }
  // The fields as the key builder of an index sees them.
  std::vector<FieldLayout> Layouts() const;

  // The row buffer (row_length() bytes, byte 0 the deleted flag) and the
  // row it holds (0 = none).
  std::string& buffer() { return row_; }
  uint32_t buffered_row() const { return buffered_; }

  // Reads row r into the buffer (no I/O when it is there already). Out of
  // range: kOutOfRange, buffer untouched.
  Status Read(uint32_t r);
  // Writes the buffer as row r (1 <= r <= row count).
  Status Write(uint32_t r);
  // Row r's bytes without disturbing the buffer.
  Status ReadRaw(uint32_t r, std::string* bytes);
  // Appends a live row with the given field bytes (row_length() - 1 of
  // them) and rewrites the header; *r receives the new row number, or 0
  // when nothing was added.
  Status Append(std::string_view data, uint32_t* r);
  // Puts field bytes (row_length() - 1 of them) into row r, keeping its
  // deleted flag; r = row count + 1 appends a live row.
  Status PutRow(uint32_t r, std::string_view fields);
  Status MarkDeleted(uint32_t r);
  // Whether row r is marked deleted; does not change the buffer.
  Status IsDeleted(uint32_t r, bool* deleted);
  // Reads rows first .. first + count - 1 in file order, a piece of the
  // file at a time, and hands each piece to fn: n whole stored rows one
  // after another (row_length() bytes each, deleted flag first), the first
  // of them row `row`; valid during the call only. The buffer is not
  // changed. A failure of fn ends the reading and is returned.
  using PieceVisitor = std::function<Status(uint32_t row, std::string_view rows, uint32_t n)>;
  Status ReadRows(uint32_t first, uint32_t count, const PieceVisitor& fn);
  // Removes the deleted rows: the live rows, in order, go to a replacement
  // file that then takes the table's place; the header is rewritten.
  Status Pack();

  // Write-back (cached_file.h): rows written are held in memory and reach
  // the file when WriteHeld, Close or a full cache writes them. Only for a
  // table whose changes are in a journal before they are written here.
  Status set_write_back(bool on);
  Status WriteHeld();

 private:
  TableFile(FileEnv& env, std::string path, std::unique_ptr<RandomFile> file);
  uint64_t RowOffset(uint32_t r) const {
    return header_length_ + static_cast<uint64_t>(r - 1) * row_length_;
  }
  uint64_t EndOfRows() const {
    return header_length_ + static_cast<uint64_t>(row_count_) * row_length_;
  }
  Status CheckRow(uint32_t r) const;
  // Reads the rows in blocks: fn gets n whole rows at a time, in order.
  Status ForEachBlock(const std::function<Status(std::string_view rows, uint32_t n)>& fn);
  // Rows read at once by ReadRows (a piece of the file).
  uint32_t RowsPerPiece() const;
  Status ReadPieces(uint32_t first, uint32_t count, const PieceVisitor& fn, std::string* piece);
  // Writes the 36 header bytes and the 0x1A after the last row.
  Status WriteHeader();
  void EncodeHeader(std::array<unsigned char, kHeaderSize>* h) const;

  // The file as the table sees it: every write and cut also passes by the
  // remembered deleted flags.
  class WatchedFile;
  enum RowFlag : uint8_t { kFlagUnknown = 0, kFlagLive = 1, kFlagDeleted = 2 };
  void NoteFlag(uint32_t r, char first_byte);
  // Reads the deleted flags of the piece of the file around row r.
  Status ReadFlags(uint32_t r);
  // Bytes at offset were written (data null: the write failed, so they
  // are unknown now), or the file was cut at offset (n 0, data null).
  void NoteChange(uint64_t offset, const char* data, uint64_t n, bool cut);

  FileEnv& env_;
  std::string path_;
  std::unique_ptr<RandomFile> file_;
  WatchedFile* watched_ = nullptr;  // file_, through its cache
  std::vector<uint8_t> flags_;                       // RowFlag by row number
  uint32_t flag_misses_ = 0;                         // flags that had to be read one row at a time
  std::array<unsigned char, kHeaderSize> header_{};  // as read; counts kept below
  uint32_t row_count_ = 0;
  uint32_t header_length_ = 0;
  uint32_t row_length_ = 0;
  std::vector<FieldDescriptor> fields_;
  std::string row_;
  std::string spare_;  // where a row is read before it becomes the buffer
  std::string piece_;  // where ReadRows reads many rows at once
  std::string flag_piece_;  // where ReadFlags reads
  bool reading_rows_ = false;
  uint32_t buffered_ = 0;
  bool rows_written_ = false;
  bool header_dirty_ = false;
};

// The rows of a table file for an index build.
class TableRowSource final : public RowSource {
 public:
  explicit TableRowSource(TableFile& table) : table_(table) {}
  uint32_t RowCount() override { return table_.row_count(); }
  Status ReadRow(uint32_t row, std::string* bytes) override { return table_.ReadRaw(row, bytes); }

 private:
  TableFile& table_;
};

// A table file with up to ten open index files, one of them selected, and a
// current row. Rows marked deleted are passed over by every positioning
// operation and search.
//
// Positioning: with no rows the cursor is on row 1 with BOF and EOF set.
// Moving to the first row with none gives BOF; a seek or step that finds
// no row gives row count + 1 and EOF (stepping back past the first row
// gives BOF).
class TableCursor {
 public:
  static constexpr int kMaxIndexes = 10;

  TableCursor(FileEnv& env, std::unique_ptr<TableFile> table);
  ~TableCursor();  // closes, discarding a close failure
  TableCursor(const TableCursor&) = delete;
  TableCursor& operator=(const TableCursor&) = delete;

  // Closes every index and the table file; reports the first failure.
  Status Close();

  TableFile& table() { return *table_; }

  // Index slots, numbered from 1. More than kMaxIndexes fails (engine code 4).
  // An index file on another key expression than expr is refused
  // (kCorrupt), as is one whose keys do not fit the table's fields.
  Status OpenIndex(const std::string& path, std::string_view expr, int* slot);
  // Creates the index file and builds it from the table's rows.
  Status CreateIndex(const std::string& path, std::string_view expr, bool unique, int* slot);
  // Selects slot (0 = none) without moving.
  Status Select(int slot);
  int selected() const { return selected_; }
  int index_count() const { return static_cast<int>(indexes_.size()); }
  IndexFile* index(int slot) const { return indexes_[static_cast<size_t>(slot - 1)].get(); }

  uint32_t current_row() const { return current_; }
  bool bof() const { return bof_; }
  bool eof() const { return eof_; }

  // The first live row, in key order of the selected index or in file order.
  Status GoFirst();
  // Makes row r current; with an index selected the index is positioned on
  // r's entry when it has one.
  Status GoTo(uint32_t r);
  // Moves n live rows forward (n > 0) or back (n < 0).
  Status Skip(int64_t n);
  // Positions on the first live row of the selected index whose key starts
  // with value (a text prefix, or for a numeric index a number read from
  // the text); *row receives it, or 0.
  Status Seek(std::string_view value, uint32_t* row);
  // Up to max live rows whose key starts with value, in key order; the
  // cursor ends on the last row taken, the first row that no longer
  // matches, or EOF.
  Status Search(std::string_view value, size_t max, std::vector<uint32_t>* rows);

  // Appends a live row and inserts its key into every open index. *r
  // receives the new row (0 when nothing was added); a failing index insert
  // (a duplicate in a unique index) is reported after the row is stored.
  Status Append(std::string_view data, uint32_t* r);
  // Replaces the field bytes of row r (its deleted flag is kept) and moves
  // its entry in every open index to the new key. *stored tells whether the
  // row itself was written (a failing index is reported after it).
  Status Update(uint32_t r, std::string_view data, bool* stored);
  Status MarkDeleted(uint32_t r) { return table_->MarkDeleted(r); }
  Status IsDeleted(uint32_t r, bool* deleted) { return table_->IsDeleted(r, deleted); }
  // Removes deleted rows (row numbers change; the indexes are stale until
  // RebuildIndexes).
  Status Pack();
  // Rebuilds every open index from the table and goes to the first row.
  Status RebuildIndexes();
  // Write-back for the table and every index, those opened later too.
  Status set_write_back(bool on);

 private:
  // The key bytes to seek for value in idx.
  static std::string SearchKey(const IndexFile& idx, std::string_view value);
  // Seeks key in idx and moves on past deleted rows while the key matches.
  Status SeekLive(IndexFile& idx, const std::string& key, uint32_t* row);
  Status NextLive(IndexFile& idx, bool forward, uint32_t* row);
  Status AddIndex(std::unique_ptr<IndexFile> idx, int* slot);
  void SetRow(uint32_t r);
  void SetEof();
  void SetBof();

  FileEnv& env_;
  std::unique_ptr<TableFile> table_;
  std::vector<std::unique_ptr<IndexFile>> indexes_;
  std::vector<uint32_t> candidates_;  // kept between searches
  bool write_back_ = false;
  int selected_ = 0;
  uint32_t current_ = 1;
  bool bof_ = true;
  bool eof_ = true;
};

}  // namespace quill::store
