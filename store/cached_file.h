// CachedFile: a file read and written through blocks of it held in memory
// (write-back), or, by default, a file every call goes straight to.
//
// With write-back the file is seen in blocks of kBlockBytes from its
// start. A read shorter than a block that meets a block not held loads that
// block whole (the rows next to the one wanted are often wanted next); a
// longer read takes the blocks not held straight from the file without
// keeping them. A write goes into the blocks it touches (a block it covers
// only in part is loaded first) and is held there ("dirty") until the
// cache writes it: WriteHeld, Sync, Truncate and Close do, and a dirty
// block pushed out of a full cache is written first. Blocks go out in file
// order with the first block last, so that a row appended to a table
// reaches the file before the header that counts it. A write that fails
// leaves its blocks dirty for the next try.
//
// Everything the file is asked goes through the cache, which therefore
// always answers as the file will once the held blocks are written; a
// reader that opens the file by its path does not see the held blocks
// (write them first), and a change made to the file by anyone else is not
// seen either: write-back is for a file nobody else writes while it is
// open. The cache holds at most kMaxBlocks blocks.
#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <set>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/file_env.h"
#include "platform/status.h"

namespace quill::store {

class CachedFile final : public RandomFile {
 public:
  static constexpr size_t kBlockBytes = 4096;
  static constexpr size_t kMaxBlocks = 8192;  // 32 MB
  // The most bytes one write takes.
  static constexpr size_t kRunBytes = 256 * 1024;

  explicit CachedFile(std::unique_ptr<RandomFile> file) : file_(std::move(file)) {}
  ~CachedFile() override;  // closes, dropping what could not be written

  // Switching write-back off writes the held blocks first.
  Status set_write_back(bool on);
  bool write_back() const { return write_back_; }
  // Writes every dirty block to the file (no sync).
  Status WriteHeld();
  bool holds_writes() const { return !dirty_.empty(); }

  Status ReadAt(uint64_t offset, void* buf, size_t n, size_t* got) override;
  Status WriteAt(uint64_t offset, const void* buf, size_t n) override;
  Status Truncate(uint64_t size) override;
  Status Size(uint64_t* size) override;
  Status Sync() override;
  Status SetMode(uint32_t mode) override { return file_->SetMode(mode); }
  Status Close() override;

 private:
  struct Block {
    std::unique_ptr<char[]> bytes;
    size_t valid = 0;  // bytes of the block that the file has (or will have)
    // The bytes written and not yet in the file: ranges [from, to) in
    // order, apart from each other. Only they go out: the other bytes are
    // as they were read, which need not be what the file holds (a read
    // that came back damaged is never written back).
    std::vector<std::pair<size_t, size_t>> dirty;
    std::list<uint64_t>::iterator age;
  };

  Status KnowSize();
  // The block, loaded from the file when not held (whole = true: the
  // caller writes all of it, nothing is read).
  Status Take(uint64_t index, bool whole, Block** block);
  void Touch(Block& b);
  static void MarkDirty(Block& b, size_t from, size_t to);
  // Writes the dirty ranges of the blocks at order[first, last) (block
  // numbers in file order), ranges that meet across blocks in one write.
  Status WriteBlocks(const std::vector<uint64_t>& order, size_t first, size_t last);
  // Pushes the least recently used blocks out while too many are held.
  Status Shrink();

  std::unique_ptr<RandomFile> file_;
  bool write_back_ = false;
  bool size_known_ = false;
  uint64_t size_ = 0;  // as the file will be once the held blocks are written
  std::unordered_map<uint64_t, Block> blocks_;
  std::list<uint64_t> ages_;  // most recently used first
  std::set<uint64_t> dirty_;
};

}  // namespace quill::store
