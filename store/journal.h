// Journal: the redo journal of a data set, the file "quilbo7.jnl" in its
// data folder.
//
// The file is there exactly while a session has written to the data set
// and not yet closed it cleanly. It is made, and made durable together
// with its folder entry, before the first byte of a session goes into a
// table or an index; a clean close makes every table and index durable and
// then removes it. A data set found with the file present was not closed
// cleanly: an index may be behind or ahead of its table, and the last
// change may have reached its tables only in part (recovery.h repairs both).
//
// Each change to table rows is appended to the journal as one record and
// made durable before any of it is written to a table (change_set.h), so
// that after a crash a change is either whole in the journal, and written
// again from it, or was never applied.
//
// File layout: records one after another from offset 0, integers
// little-endian:
//   0   u32  magic 0x4A52514C (the bytes "LQRJ")
//   4   u32  sequence number, one more than the record before it
//   8   u32  payload length n
//   12  u32  CRC-32 (the IEEE polynomial, as zlib computes it) of the payload
//   16  n    payload: the row changes (change_set.h)
// A record that is cut short, has another magic, a sequence number out of
// turn or a payload that does not match its CRC ends the journal; it was
// being written when the session ended and none of it was applied.
//
// Before an operation that replaces a whole table (a pack, a create) the
// tables that recorded changes went to are made durable and the journal is
// emptied (a checkpoint); the same happens when it has grown past 4 MiB.
//
// The tables may hold rows written back from their files for a while
// (write-back, HeldWrites): the journal has every change before any of it
// reaches a table anyway, and a checkpoint has the tables write what they
// hold before the records that cover it go.
//
// Without sync_each_change a change is still written to the journal before
// any of it reaches a table, but neither the journal nor, at a checkpoint,
// the tables are forced to the disk. The system keeps what a killed process
// wrote, in order, so a kill still leaves each change whole or absent; a
// power cut may lose or tear the changes made since the last Sync.
#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_env.h"
#include "platform/status.h"

namespace quill::store {

// A table that holds written rows back from its file (write-back): the
// journal has it write them before it lets go of the records that cover
// them (a checkpoint). Until then the records are what makes the rows
// durable, and what a recovery writes again.
class HeldWrites {
 public:
  virtual ~HeldWrites() = default;
  virtual Status WriteHeld() = 0;
};

class Journal {
 public:
  static constexpr char kFileName[] = "quilbo7.jnl";
  static constexpr uint64_t kCheckpointBytes = uint64_t{4} << 20;

  explicit Journal(FileEnv& env) : env_(env) {}
  ~Journal();  // closes the file; only Finish removes it
  Journal(const Journal&) = delete;
  Journal& operator=(const Journal&) = delete;

  // The data folder (ending in '/'). Only while no session is active.
  void SetFolder(std::string_view folder);
  std::string path() const { return folder_ + kFileName; }
  FileEnv& env() { return env_; }
  // A session of this object is writing the data set.
  bool active() const { return file_ != nullptr; }
  // Tells sessions apart: another number for each one begun. While one
  // is active no other writer may change the data set's files.
  uint64_t session() const { return session_; }
  // The file is there (with no active session: left by one that did not
  // end cleanly).
  bool Exists() { return env_.Exists(path()); }

  // Starts the session unless one is active: makes the file and makes it
  // and its folder entry durable. A journal already there that this
  // session did not make is refused: it must be recovered first.
  Status Begin();
  // Appends one change (its payload) and, with sync_each_change, makes it
  // durable. tables: the paths of the tables it writes, made durable at the
  // next checkpoint. A change whose append fails is not replayed: what it
  // left of its record is cut off, or made to end the journal until the
  // next append cuts it off. When neither can be done the journal takes no
  // further change and the next open completes this one.
  Status Append(std::string_view payload, const std::vector<std::string>& tables);
  // Empties the journal; the rows the tables hold back are written first
  // (a failure poisons the journal), and with sync_each_change the tables
  // of the recorded changes are made durable.
  Status Checkpoint();
  // The tables that hold writes back register here while they use the
  // journal.
  void AddHolder(HeldWrites* h) { holders_.insert(h); }
  void RemoveHolder(HeldWrites* h) { holders_.erase(h); }
  // Whether each change is made durable as it is appended (the default).
  void set_sync_each_change(bool on) { sync_each_change_ = on; }
  bool sync_each_change() const { return sync_each_change_; }
  // Makes every change appended so far durable: the tables whose records a
  // checkpoint dropped without making them durable, then the journal.
  Status Sync();
  // A change in the journal was not applied whole: no further change is
  // taken until the data set is opened again and recovered.
  void Poison(const Status& why);
  // Ends the session cleanly (also the end of a recovery, with no session
  // active): makes every one of files that exists durable, removes the
  // journal and makes the folder durable. On failure the journal stays.
  Status Finish(const std::vector<std::string>& files);

  // The payloads of the complete records of the journal file, in order
  // (none when the file is missing).
  Status ReadRecords(std::vector<std::string>* payloads);

 private:
  Status SyncFile(const std::string& path);
  // Has every holder write what it holds back; a failure poisons.
  Status WriteHeldRows();

  FileEnv& env_;
  std::string folder_;
  std::unique_ptr<RandomFile> file_;
  uint64_t end_ = 0;        // where the next record goes
  uint32_t sequence_ = 1;   // of the next record
  uint64_t session_ = 0;
  bool cut_pending_ = false;  // a failed append may have left bytes at end_
  std::set<std::string> touched_;
  Status poisoned_;
  bool sync_each_change_ = true;
  bool journal_unsynced_ = false;           // records not yet made durable
  std::set<std::string> unsynced_tables_;  // changed, and their records dropped
  std::set<HeldWrites*> holders_;
};

}  // namespace quill::store
