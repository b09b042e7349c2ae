// The card table and the in-memory card.
//
// Every card and every folder of a data set is one row of the card table
// "quilbo7.dat" in the data folder, indexed by folder path ("quilbo7.ix0",
// key KUBUN) and by card id ("quilbo7.ix1", key TEXT_ID); card_row.h
// gives the row layout byte by byte. A card's text lives in the text body
// store and its remembered variable values in the value store, both keyed
// by the card id.
//
// CardStore is the state of the open data set: its folder and the three
// tables. The program keeps one; CardRecord reads and writes cards through
// it. A card row goes through: new (row -1) -> written (row n, id fixed)
// -> in the bin ("DeL") -> restored, or erased ('*') -> gone after
// Reorganize. Folder rows skip the bin.
//
// The card table opens lazily for each operation and closes after it
// unless the card's keep_open is set (loops over many cards set it and
// close at the end); so does the text body store for the texts a write
// stores. Errors are Status values; kFatal carries one of the
// fatal messages of text_store.h, which the program shows and then ends.
//
// Crashes: the three tables share the data set's journal (journal.h),
// which exists from the first write of a session until a clean Close. A
// card write (its row with its text chunks) and an erase (text, values and
// row) are each one change, recorded in the journal before they reach the
// tables. Open recovers a set left by a crash (recovery.h): every change
// whose write returned success is there, the change in flight is whole or
// absent, and every index is rebuilt from its table.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_env.h"
#include "platform/status.h"
#include "store/card_row.h"
#include "store/journal.h"
#include "store/record_table.h"
#include "store/text_store.h"
#include "store/value_store.h"

namespace quill::store {

// TITLE of a folder row.
inline constexpr std::string_view FolderMarkerTitle = "\t. . ... ....... <DIR>";
// Free bytes a card write needs, and with the low-threshold flag.
inline constexpr uint64_t kMinFreeBytes = 1000000;
inline constexpr uint64_t kMinFreeBytesLow = 100000;
// Text guard values of CardRecord.
inline constexpr int32_t kTextLoaded = 1137;
inline constexpr int32_t kTextNotLoaded = 1731;

class CardRecord;

enum class Durability {
  // Each change is durable before its write returns (the program's mode).
  kSyncEachChange,
  // Each change is whole or absent after a killed process; durable at the
  // next Sync or clean Close.
  kKillSafe,
};

struct CardStoreOptions {
  Durability durability = Durability::kSyncEachChange;
};

class CardStore {
 public:
  // program_folder (ending in '/') is the data folder when Open gets none.
  CardStore(FileEnv& env, std::string program_folder, CardStoreOptions options = {});
  ~CardStore();  // closes; a failed close leaves the journal to the next open
  CardStore(const CardStore&) = delete;
  CardStore& operator=(const CardStore&) = delete;

  // Switches to the data set in folder (or the program folder when empty;
  // a '/' is appended when missing). Ok: the set is ready. NotFound: it
  // does not exist (only when probing; then nothing is created). Without
  // probe, a missing card table is created empty, and so is each of the
  // two stores whose files are missing. Any other error: the set exists
  // but cannot be used; no file of it is created, emptied or changed.
  // A set left by a crash is recovered first; an index that disagrees with
  // its table or whose pages are damaged is rebuilt from its table, and the
  // index notice is told once (the damaged files, one a line). The set open
  // before is closed first without a word about how that went: a caller
  // that tells the user closes it itself beforehand (a second Close of a
  // closed set does nothing more than retry what failed).
  Status Open(bool probe, std::string_view folder);
  // Told by the open that found damaged indexes and rebuilt them.
  void set_index_notice(std::function<void(const std::vector<std::string>& files)> notice) {
    index_notice_ = std::move(notice);
  }
  // Closes the card table and the stores and ends the session cleanly:
  // everything written is made durable and the journal removed. When that
  // fails nothing is lost: the journal stays, and the set's next Open
  // recovers from it.
  Status Close();
  // Creates the three tables afresh, empty (the complete delete of an
  // empty set).
  Status Recreate();

  Durability durability() const { return durability_; }
  // Switches the mode. Going back to kSyncEachChange also makes the changes
  // made so far durable (Sync); when that fails the mode is switched all the
  // same, and they become durable with the next change or the close.
  Status SetDurability(Durability d);
  // Makes every change written so far durable (nothing to do when each
  // change is).
  Status Sync();

  // Whether the data folder's file system has at least 1,000,000 free
  // bytes. (Network paths have no special case here: a Linux data folder
  // is always tested.) The card write that follows a yes does not ask
  // again.
  bool DiskSpaceOk();
  // Rewrites "quilbo7.tre": every folder path of the live rows not in the
  // bin, in key order, each once, CP932 with CR LF.
  Status RebuildTreeFile();
  // Rebuilds "quilbo7.tre" when "quilbo7.dat" can be read but the list
  // cannot.
  Status EnsureTreeFile();

  // The setting that gives new cards an automatic title.
  void set_new_card_auto_title(bool on) { new_card_auto_title_ = on; }
  bool new_card_auto_title() const { return new_card_auto_title_; }

  FileEnv& env() { return env_; }
  Journal& journal() { return journal_; }
  const std::string& data_path() const { return data_path_; }
  const std::string& program_folder() const { return program_folder_; }
  RecordTable& cards() { return cards_; }
  TextBodyStore& texts() { return texts_; }
  VarValueStore& values() { return values_; }

 private:
  void DefineCardTable();
  std::vector<RecordTable*> Tables();

  FileEnv& env_;
  std::string program_folder_;
  std::string data_path_;
  Journal journal_;
  RecordTable cards_;
  TextBodyStore texts_;
  VarValueStore values_;
  bool new_card_auto_title_ = false;
  bool space_checked_ = false;  // DiskSpaceOk said yes; no write since
  Durability durability_ = Durability::kSyncEachChange;
  std::function<void(const std::vector<std::string>&)> index_notice_;
  // The last id made from the clock: a card made in the same millisecond
  // takes the next tick instead of waiting for the clock to move.
  uint32_t last_ctime_ = 0;
  uint32_t last_ctick_ = 0;
  friend class CardRecord;
};

// Bulk work on a store that syncs each change: within the scope changes are
// only kill-safe, and End (or the destructor) makes all of them durable
// with one sync and puts the store's mode back. A scope inside another, or
// on a kill-safe store, changes nothing.
class SyncBatch {
 public:
  explicit SyncBatch(CardStore& store);
  ~SyncBatch();  // ends the scope, dropping End's result
  SyncBatch(const SyncBatch&) = delete;
  SyncBatch& operator=(const SyncBatch&) = delete;
  Status End();

 private:
  CardStore* store_;  // null once ended, or when there was nothing to do
};

class CardRecord {
 public:
  explicit CardRecord(CardStore& store);

  // --- the card ---
  std::string folder;      // KUBUN: the folder path
  std::string title;       // at most 50 bytes are stored
  std::string text;        // CP932, CR LF; at most kCardTextCapacity - 1 bytes
  std::string source;      // at most 26 bytes are stored
  bool locked = false;
  uint8_t one_shot_paste = 1;
  uint32_t ctime = 0;      // creation time (seconds)
  uint32_t ctick = 0;      // tick count at creation (ms)
  uint32_t utime = 0;      // update time (seconds); callers set it
  char deleted = 0;        // 'D' in the bin
  std::string font_name;   // empty: the default font
  uint32_t font_color = 0;
  int32_t font_charset = 128;
  int32_t font_size = 9;
  char kind = 0;           // 'C' table, 'H' HTML, 0 plain text
  bool auto_title = false;
  std::array<int8_t, 19> column_widths{};
  uint8_t icon = 0;
  std::string id;          // 16 hexadecimal characters once written
  uint32_t position = 0;   // stored position among the folder's cards
  bool two_column = false;
  bool bold = false, italic = false, underline = false;
  int64_t row = -1;        // 0-based row of the card table; -1 not written
  bool keep_open = false;  // operations leave the card table open
  int32_t text_guard = kTextLoaded;
  bool is_new = false;     // set by Clear, cleared by a load or a write
  // The card row as the record engine packs it; bytes that no field above
  // covers (unused YOBI bytes, a folder row's source area) are kept from
  // the last load and written back unchanged.
  std::array<char, kCardRecordSize> row_image{};

  // --- operations ---
  Status Open(bool probe, std::string_view folder_path = {});
  // Clears keep_open and closes the card table and the stores.
  Status Close();
  // Sets keep_open and opens the card table; the texts read meanwhile
  // keep the text body store open too. Clearing it closes the card table
  // and both stores.
  Status SetOpenFlag(bool flag);
  void SetRecNo(int64_t r) { row = r; }
  // key_name "KUBUN" or "TEXT_ID": the first live row whose key starts
  // with value is loaded; *found tells whether there was one.
  Status FindByKey(std::string_view key_name, std::string_view value, bool with_text, bool* found);
  // Loads row r when its card id is `card_id`, else looks the id up.
  Status FindById(int64_t r, std::string_view card_id, bool with_text, bool* found);
  // Decodes the current row; with_text also reads the text of a card.
  Status Load(bool with_text);
  // Writes the card. NoSpace: refused for lack of free space; Invalid:
  // refused (an empty new card, a text over the capacity); nothing is
  // written in either case. kFatal: the text guard was neither value.
  Status Write(bool low_threshold = false);
  // A new empty card.
  void Clear();
  // Moves the current card to the bin; a folder row is erased at once.
  Status MarkDeleted();
  // Takes the card with this id out of the bin; NotFound when no live row
  // has the id.
  Status Restore(std::string_view card_id);
  // Erases the card with this id (or, when empty, the current row): its
  // text chunks, its values, and its row (marked deleted). With keep_open
  // the three tables stay open for the next one.
  Status Erase(std::string_view card_id = {});
  // The tidy-up of the complete delete: purges freed text chunks, packs
  // the value store, packs the card table and rebuilds its indexes, or
  // recreates all three when no live card row is left.
  Status Reorganize();
  // Rows whose folder path starts with folder_path, in key order: rows of
  // sub-folders (and of folders whose name starts with the same text)
  // too; the empty path gives every live row. No limit on the count.
  Status FindCardsByFolder(std::string_view folder_path, std::vector<int64_t>* rows);
  std::string GetDataPath() const { return store_.data_path(); }

  CardStore& store() { return store_; }
  bool is_folder() const { return title == FolderMarkerTitle; }

 private:
  Status CloseUnlessKept(Status s);
  Status ReadRowImage(int64_t r);
  void DecodeRowImage();
  void EncodeRowImage();
  Status ChooseUniqueId();

  CardStore& store_;
};

// Bytes free for an unprivileged user on the file system of path, or -1.0
// when that cannot be learnt.
double DriveFreeBytes(FileEnv& env, const std::string& path);

// A title from the text's first line that holds anything but blanks:
// leading blanks and full-width blanks skipped, at most 40 bytes (no half
// character), up to the line end; "New Text" when there is none.
std::string MakeDefaultTitle(std::string_view text);

}  // namespace quill::store
