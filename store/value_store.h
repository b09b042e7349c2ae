// VarValueStore: per card, the values last entered for its substitution
// variables.
//
// Files "quilbo7.hdt" (the table) and "quilbo7.hid" (an index on TEXT_ID,
// not unique) in the data folder. Row layout (row length 221, header 97):
//   TEXT_ID  C  20  card id
//   TEXT     B 200  the values text, NUL terminated, at most 198 bytes
// The values text is each value followed by a TAB, an empty value written
// as the single byte 0xDF; a card whose values are all empty has no row.
//
// Every operation opens the table lazily and closes it at the end.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/file_env.h"
#include "platform/status.h"
#include "store/record_table.h"

namespace quill::store {

inline constexpr size_t kValueTextLimit = 198;

class VarValueStore {
 public:
  explicit VarValueStore(FileEnv& env) : env_(env) {}

  // As TextBodyStore::Open: a missing store is NotFound when probing, else
  // created empty; one that exists but does not open is reported.
  Status Open(bool probe, std::string_view folder);
  // Defines the table in folder without opening it.
  void Define(std::string_view folder);
  // The card's values text; empty when the card has no row.
  Status Read(std::string_view id, std::string* text);
  // Stores text (cut to 198 bytes on a character boundary) in the card's
  // row, appending one when there is none; an empty text deletes the row.
  Status Write(std::string_view id, std::string_view text);
  Status Delete(std::string_view id);
  // Packs the table, or recreates it when no live row is left (decided
  // from the rows, not the index, so a broken index is rebuilt).
  Status Check();
  Status Recreate();
  Status Close();

  RecordTable& table() { return table_; }

 private:
  Status Finish(Status s);

  FileEnv& env_;
  RecordTable table_;
};

std::vector<FieldDef> ValueStoreFields();

}  // namespace quill::store
