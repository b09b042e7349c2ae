// RecordTable: one table of fixed-length rows in a table file, with up to
// ten B-tree index files beside it (index_file.h).
//
// Row numbers are 0-based here; -1 means none, or, to Write, append. The
// table file itself counts rows from 1 (table_file.h describes its bytes).
//
// The caller's in-memory record is the concatenation of the in-memory
// forms of the expanded fields, in order, with no padding between them:
//   'C', 'D'  L bytes: the text, NUL padded (a text of exactly L bytes has
//             no NUL)
//   'N'       decimals > 0: an 8-byte double; decimals 0 and L >= 6: a
//             32-bit signed integer; L < 6: a 16-bit signed integer
//   'B'       L raw bytes
// A field longer than 250 bytes is stored as parts of at most 250 bytes
// named NAME1, NAME2, ... and is still one block of L bytes in memory.
//
// Every operation opens what it needs lazily and returns a Status; nothing
// here ends the process. A failed Status carries the engine code in
// db_code() (db_error.h).
//
// A table of a data set has the set's journal (journal.h): every row write
// is then recorded there before it reaches the file (change_set.h), and an
// operation that replaces the whole file (Create, Reindex) first makes the
// recorded changes durable and empties the journal. While a journal session
// lasts, no other writer may change the set's files, so the table keeps
// what its indexes hold in memory (index_copy.h) from one close to the next
// open; an index file whose header or size has changed meanwhile is not
// taken for the same, and a new session starts afresh.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_env.h"
#include "platform/status.h"
#include "store/journal.h"

namespace quill::store {

struct FieldDef {
  std::string name;      // at most 10 characters (with a part number)
  char type = 'C';       // 'C' text, 'D' date text, 'N' number, 'B' raw bytes
  int length = 0;        // may exceed 250 (split into parts)
  uint8_t decimals = 0;  // meaningful for 'N'
};

struct IndexDef {
  std::string file_name;  // e.g. "quilbo7.ix0", joined to the table's folder
  std::string key_expr;   // e.g. "KUBUN", field names joined by '+'
  bool unique = false;
};

class TableCursor;
struct RowEntry;

class RecordTable final : public HeldWrites {
 public:
  RecordTable();
  ~RecordTable() override;  // closes (flushing the header) when open
  RecordTable(const RecordTable&) = delete;
  RecordTable& operator=(const RecordTable&) = delete;

  // Expands the fields and sets the paths: folder + file name (folder is a
  // path that ends in '/', or empty). Leaves the table closed (an open
  // table is closed first; call Close() before to see a flush failure). A
  // definition that cannot be stored (a field without a name, of unknown
  // type or bad length, a name too long for the file, more than 10
  // indexes) makes Create and Open fail with kInvalid.
  void Define(FileEnv& env, std::string_view table_file_name, std::vector<FieldDef> fields,
              std::vector<IndexDef> indexes, std::string_view folder);

  // Creates the table file (emptied when present) and every index file
  // (built empty). On success the table and its indexes are open; on
  // failure the table is closed.
  Status Create();
  // Opens the table file when not open. Refuses (kCorrupt) a file whose
  // header disagrees with its size or whose field descriptors differ from
  // the definition; a refused or unopenable file is left untouched.
  // Indexes are not opened.
  Status Open();
  // Opens every index not yet open, in definition order.
  Status OpenIndexes();
  // Writes the header when it changed and closes the table and its indexes.
  Status Close();

  // Reads row into record (RecordSize() bytes). A row out of range fails
  // and leaves record untouched. *deleted, when given, receives the
  // row's deleted mark.
  Status Read(int64_t row, void* record, bool* deleted = nullptr);
  // Writes record as row (re-keying every index), or appends it when row
  // is -1; opens the table and every index first. *written_row receives the
  // row written, or -1. An index that cannot take the key (kDuplicate in a
  // unique index) fails the call after the row is stored, with
  // *written_row set. A number wider than its field fails with kInvalid
  // and writes nothing.
  Status Write(int64_t row, const void* record, int64_t* written_row = nullptr);
  // Marks row deleted ('*'); its index entries stay until Reindex.
  Status Delete(int64_t row);

  // The row of every entry of the index on key_expr, in key order, deleted
  // rows included, read in one pass over the index file.
  Status KeyOrder(std::string_view key_expr, std::vector<int64_t>* rows);
  // Reads rows first .. first + count - 1 in file order, many at a time,
  // handing fn each piece read: n stored rows one after another (each the
  // deleted flag '*' or ' ', then the fields as stored), the first of them
  // row `row`; valid during the call only. A failure of fn ends the
  // reading and is returned. Out of range: kOutOfRange.
  using PieceVisitor = std::function<Status(int64_t row, std::string_view rows, uint32_t n)>;
  Status ReadRows(int64_t first, int64_t count, const PieceVisitor& fn);

  // Selects the index whose key expression equals key_expr exactly and
  // moves to its first live row; an unknown expression fails.
  Status SelectIndex(std::string_view key_expr);
  // Up to max live rows whose key starts with value, in key order.
  Status Search(std::string_view key_expr, std::string_view value, size_t max,
                std::vector<int64_t>* rows);
  // The first live row in key order whose key starts with value (cut to 88
  // bytes), or -1 in *row.
  Status Find(std::string_view key_expr, std::string_view value, int64_t* row);
  bool Eof() const;
  // Packs the table (deleted rows removed: row numbers change), rebuilds
  // every index from the packed rows (an index file that does not open is
  // created again), and closes. When any of it fails, the index files are
  // removed: none is left naming rows that moved.
  Status Reindex();

  // After a crash (the journal was found): cuts a row count beyond the
  // file's whole rows, writes the journal's row changes to the file again
  // (entries, in order), rebuilds every index from the rows and closes. A
  // missing table with no changes is left to be created.
  Status Recover(const std::vector<RowEntry>& entries);
  // *agree: every index file opens, describes the table's keys, its header
  // agrees with its pages (the next free page is the file's end, as a
  // clean close leaves it), its pages form a tree, and each entry names a
  // row of the table. An index that does not agree must be rebuilt
  // (Recover) before anything is written into it; *damaged (when given)
  // receives the path of the first one found. Fails only when the table
  // itself does not open or a file cannot be read. Reads every index whole.
  Status CheckIndexes(bool* agree, std::string* damaged = nullptr);

  // The journal of the data set (none: rows go straight to the file).
  // With a journal, rows and index pages written while the table is open
  // are held in memory (write-back) and written at the close or when too
  // many wait, the rows also at the journal's checkpoint: the journal has
  // every change before it, and a recovery writes the rows again and
  // rebuilds the indexes.
  void set_journal(Journal* journal);
  Journal* journal() const { return journal_; }
  // Writes the rows held back (HeldWrites, for the journal).
  Status WriteHeld() override;
  // Used by ChangeSet. PlanWrite: the entry that Write(row, record) makes,
  // an append going after the rows now in the table and appends_before
  // more (opens the table and every index). PlanMark: the entry of
  // Delete(row). Apply: writes an entry to the table and its indexes,
  // without the journal; *stored tells whether the row reached the file.
  Status PlanWrite(int64_t row, const void* record, uint32_t appends_before, RowEntry* entry);
  Status PlanMark(int64_t row, RowEntry* entry);
  Status Apply(const RowEntry& entry, bool* stored);

  // Rows in the table file, deleted rows included (opens when needed).
  Status RowCount(int64_t* count);
  // Bytes of the in-memory record.
  size_t RecordSize() const;
  const std::vector<FieldDef>& expanded_fields() const;
  const std::string& path() const;
  // The table's file name within its folder.
  std::string file_name() const;
  std::vector<std::string> index_paths() const;
  bool is_open() const;

 private:
  // Opens (when needed) and selects the index on key_expr, without moving.
  Status UseIndex(std::string_view key_expr);

  struct Impl;
  std::unique_ptr<Impl> impl_;
  Journal* journal_ = nullptr;  // kept across Define
};

}  // namespace quill::store
