// TextBodyStore: the text of every card, in chunks of up to 1000 bytes.
//
// Files "quilbo7.tx" (the table) and "quilbo7.itx" (an index on ID, not
// unique) in the data folder. Row layout (row length 1025, header 225):
//   ID     C   20  card id + chunk number "%s%03X" (000, 001, ... 00A, ...),
//                  or "N%08lX" of the tick count for a free row; the field
//                  descriptor carries decimals 1
//   SIZE   B    4  bytes of DATA in use (u32 little-endian, 1..1000)
//   DATA   B 1000  the chunk, blank-padded; stored as DATA1..DATA4 of 250
// A card's text is stored with its terminating NUL, so its last chunk ends
// with the NUL. Card ids are hexadecimal and never begin with "N": the
// prefix "N" selects exactly the free rows. A rewrite puts the new chunks
// into the card's own rows first, then into free rows, and appends only
// when there are none left; old chunks left over become free rows. So the
// file does not grow on edits, and Purge drops the free rows for good.
//
// A rewrite or a delete is one change (change_set.h): with the data set's
// journal, a crash leaves the card's old text or its new one, whole.
//
// Every operation opens the table lazily and closes it at the end (Read
// may be told to keep it open).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_env.h"
#include "platform/status.h"
#include "store/change_set.h"
#include "store/record_table.h"

namespace quill::store {

// Bytes of one card text with its NUL; reading never returns more.
inline constexpr size_t kCardTextCapacity = 1100000;
inline constexpr size_t kTextChunkBytes = 1000;
inline constexpr size_t kCardIdLength = 16;

// The fatal stops of the card store carry the texts of
// MessageId::kFatalRead, kFatalWrite and kFatalGuard (platform/messages.h);
// the caller shows them under the caption "警告" and ends the program with
// exit code 1.

class TextBodyStore {
 public:
  explicit TextBodyStore(FileEnv& env) : env_(env) {}

  // Defines the table in folder (a path ending in '/'). A missing store is
  // NotFound when probing, else created empty. A store that exists but
  // does not open is reported and left as it is.
  Status Open(bool probe, std::string_view folder);
  // Defines the table in folder without opening it.
  void Define(std::string_view folder);
  // The stored bytes of the card (its chunks in key order, each its first
  // SIZE bytes, SIZE taken as at most 1000), at most kCardTextCapacity
  // bytes; the text proper ends at the first NUL. No rows: empty. At most
  // as many chunks as the file has rows are looked at; an index that lists
  // one row twice for the card is damaged (kCorrupt).
  Status Read(std::string_view id, std::string* bytes);
  // With keep set, Read leaves the table open for the next one: callers
  // that read many texts set it, and clear it at the end, which closes.
  // Meanwhile nothing but this store may write its files.
  void set_keep_open(bool keep);
  // Replaces the card's text by data (the caller includes the NUL).
  Status Write(std::string_view id, std::string_view data);
  // Frees every chunk of the card.
  Status Delete(std::string_view id);
  // Add the rows of Write and Delete to a change of the caller's, which
  // commits them (and then closes the table).
  Status PlanWrite(std::string_view id, std::string_view data, ChangeSet* change);
  Status PlanDelete(std::string_view id, ChangeSet* change);
  // Makes row a free row: ID "N%08lX" of the tick count, DATA blanks.
  Status FreeChunk(int64_t row);
  // Deletes every free row, then packs the table, or recreates it empty
  // when no live row is left. Works from the table rows, not the index, so
  // that it also repairs a broken index.
  Status Purge();
  Status Recreate();
  Status Close();

  RecordTable& table() { return table_; }
  bool defined() const { return defined_; }

 private:
  // Closes the table and returns the first failure of s and the close.
  Status Finish(Status s);
  // The fatal stop for an id that is not a card id, else ok.
  Status CheckId(std::string_view id, const std::string& message);
  // The record of a free row made from the row's record.
  void MakeFree(char* rec);

  FileEnv& env_;
  RecordTable table_;
  bool defined_ = false;
  bool keep_open_ = false;
};

// The field and index definitions of the text store's table.
std::vector<FieldDef> TextStoreFields();

// Opens a table that exists; creates it when its file is missing (unless
// probing, which gives NotFound). Shared by the three stores.
Status OpenOrCreateTable(FileEnv& env, RecordTable& table, bool probe);
// Whether the table has a live row, decided from the rows themselves.
Status HasLiveRow(RecordTable& table, bool* any);

}  // namespace quill::store
