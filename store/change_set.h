// ChangeSet: row writes to the tables of one data set that are applied as
// one change. With a journal (journal.h) the whole set is recorded there
// and made durable before the first row is written, so after a crash it is
// either written again whole from the journal or was never applied: a card
// rewritten together with its text chunks reads back as before or as after.
// Without one (a table used on its own) the rows are simply written.
//
// Journal payload of one change (integers little-endian):
//   u32  number of entries, then for each entry:
//   u8   kind: 1 = the fields of a row, 2 = the deleted mark ('*') on a row
//   u8   length of the table's file name, then the name ("quilbo7.tx")
//   u32  row number, counted from 1 as in the table file
//   u32  number of bytes that follow: the row length - 1 for kind 1, 0 for 2
//   ...  the row's fields as stored, without the deleted flag
// The fields of an existing row replace its fields and keep its deleted
// flag; the fields of the row just after the last one append a live row.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/status.h"

namespace quill::store {

class RecordTable;

// One row change, as recorded in the journal.
struct RowEntry {
  enum Kind : uint8_t { kFields = 1, kMark = 2 };
  Kind kind = kFields;
  std::string table;   // the table's file name in the data folder
  uint32_t row = 0;    // 1-based
  std::string fields;  // kFields: row length - 1 bytes
};

std::string EncodeRowEntries(const std::vector<RowEntry>& entries);
// Fails with kCorrupt when the payload is not a list of entries.
Status DecodeRowEntries(std::string_view payload, std::vector<RowEntry>* entries);

class ChangeSet {
 public:
  // Adds record (the table's in-memory record) as row `row` (0-based), or
  // as a new row when row is -1; *planned receives the row it will have.
  // Opens the table and its indexes; a record that cannot be stored (a
  // number too wide) or a row out of range fails here, before anything is
  // written.
  Status Write(RecordTable& table, int64_t row, const void* record, int64_t* planned = nullptr);
  // Adds the deleted mark on row (0-based).
  Status MarkDeleted(RecordTable& table, int64_t row);

  // Records the change in the journal of its tables (when they have one),
  // then applies it in the order the rows were added. A failure after the
  // record is durable leaves the change to the next recovery: the journal
  // then takes no further change.
  Status Commit();

  bool empty() const { return steps_.empty(); }
  // How many of the rows reached their table (in the order added).
  size_t stored() const { return stored_; }

 private:
  struct Step {
    RecordTable* table;
    RowEntry entry;
    bool appends;
  };
  std::vector<Step> steps_;
  size_t stored_ = 0;
};

}  // namespace quill::store
