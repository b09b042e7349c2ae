// FaultEnv: a FileEnv for tests. It passes every call to a real
// environment (tests work in temporary folders) and can be told to fail:
// a path that cannot be opened, writes that stop after a byte budget (a
// short write) or find the disk full, a fixed free-space answer, renames
// that fail, reads, syncs, closes, truncations, folder creation, listing
// and removal that fail, bytes that read back damaged, and a simulated
// crash (below).
// Its clock is a FakeClock.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/file_env.h"
#include "platform/headless/fake_clock.h"

namespace quill {

class FaultEnv final : public FileEnv {
 public:
  explicit FaultEnv(FileEnv& base = FileEnv::Default()) : base_(base) {}

  // Opening this path fails with a permission error (the file is untouched).
  void FailOpen(const std::string& path) { fail_open_.insert(path); }
  void ClearFailOpen() { fail_open_.clear(); }
  // After `bytes` more bytes have been written (over all files), a write
  // stores only what is left of the budget and fails with an I/O error.
  void SetWriteBudget(uint64_t bytes) { write_budget_ = bytes; }
  // Every write fails with "no space" and stores nothing.
  void SetDiskFull(bool full) { disk_full_ = full; }
  void SetFreeBytes(std::optional<uint64_t> bytes) { free_bytes_ = bytes; }
  void SetFailRename(bool fail) { fail_rename_ = fail; }
  // Each of these makes every call of its kind fail with an I/O error
  // and change nothing; a failed close still releases the file.
  void SetFailRead(bool fail) { io_faults_.read = fail; }
  void SetFailSync(bool fail) { io_faults_.sync = fail; }
  void SetFailClose(bool fail) { io_faults_.close = fail; }
  void SetFailTruncate(bool fail) { io_faults_.truncate = fail; }
  void SetFailCreateDir(bool fail) { io_faults_.create_dir = fail; }
  void SetFailListDir(bool fail) { io_faults_.list_dir = fail; }
  // Remove and RemoveDir.
  void SetFailRemove(bool fail) { io_faults_.remove = fail; }
  // Reads of the file at path see `bytes` at `offset` in place of what it
  // holds there, as from a damaged sector; the file itself is untouched.
  void DamageRead(const std::string& path, uint64_t offset, std::string bytes) {
    damaged_[path].push_back({offset, std::move(bytes)});
  }
  void ClearFaults();

  FakeClock& fake_clock() { return clock_; }
  uint64_t bytes_written() const { return bytes_written_; }
  // Bytes read so far from the file at path, over all its opens.
  uint64_t bytes_read(const std::string& path) const {
    auto it = bytes_read_.find(path);
    return it == bytes_read_.end() ? 0 : it->second;
  }

  Status Open(const std::string& path, OpenMode mode,
              std::unique_ptr<RandomFile>* file) override;
  bool Exists(const std::string& path) override { return base_.Exists(path); }
  Status Remove(const std::string& path) override;
  Status Rename(const std::string& from, const std::string& to) override;
  Status CreateDir(const std::string& path) override;
  Status RemoveDir(const std::string& path) override;
  Status ListDir(const std::string& path, std::vector<std::string>* names) override;
  Status FreeBytes(const std::string& path, uint64_t* bytes) override;
  Clock& clock() override { return clock_; }

  // --- Simulated crash ----------------------------------------------------
  // Every call that changes the disk is counted: a write, a truncation, a
  // rename, a removal, an open that may create or empty a file, a folder
  // made or removed. CrashAtChange(n) makes the nth of them from now the
  // point where the process dies: that call stores nothing (with tear, a
  // write stores its bytes up to the first 4 KiB file page boundary it
  // crosses, as a kill in the middle of a write over two pages can leave),
  // and from then on every call that would change the disk, and every
  // sync, fails without reaching it. Reads see the disk as the crash left
  // it. A test then drops the objects that used this env and reopens the
  // files with a fresh one, as a restarted program would.
  void CrashAtChange(uint64_t n, bool tear = false);
  // Changes counted so far (crossing the crash point included).
  uint64_t changes() const { return changes_; }
  bool crashed() const { return crashed_; }
  Status SyncDir(const std::string& path) override;

 private:
  // Counts one change; false when it must not reach the disk.
  bool PassChange();
  // As PassChange for a write of n bytes at offset; *keep receives how many
  // of them still reach the disk when it returns false.
  bool PassWrite(uint64_t offset, size_t n, size_t* keep);
  static Status Crashed() { return Status::IoError("the process has crashed (simulated)"); }
  uint64_t changes_ = 0;
  uint64_t crash_at_ = 0;  // 0: no crash planned
  bool tear_ = false;
  bool crashed_ = false;
  // --- end of the simulated crash ---------------------------------------

 private:
  friend class FaultFile;
  // Decides how many of n bytes a write may store; returns the error to
  // report after storing them, ok when all n may go.
  Status TakeWrite(size_t n, size_t* allowed);

  FileEnv& base_;
  FakeClock clock_;
  std::set<std::string> fail_open_;
  std::optional<uint64_t> write_budget_;
  bool disk_full_ = false;
  bool fail_rename_ = false;
  std::optional<uint64_t> free_bytes_;
  uint64_t bytes_written_ = 0;
  std::map<std::string, uint64_t> bytes_read_;  // by path; nodes never move
  struct Damage {
    uint64_t offset;
    std::string bytes;
  };
  std::map<std::string, std::vector<Damage>> damaged_;  // by path
  struct IoFaults {
    bool read = false;
    bool sync = false;
    bool close = false;
    bool truncate = false;
    bool create_dir = false;
    bool list_dir = false;
    bool remove = false;
  };
  IoFaults io_faults_;
};

}  // namespace quill
