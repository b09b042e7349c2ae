// The external sort behind IndexFile::Build: {row, key} records are
// gathered into sorted runs in a scratch file and merged pairwise between
// two scratch files until one run remains, which is then read back in
// order. Memory stays bounded whatever the size of the table.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_env.h"
#include "platform/status.h"

namespace quill::store {

// Ordering of two stored keys of `length` bytes: unsigned bytes for text
// keys; for numeric keys the little-endian doubles they hold (NaN after
// every number, equal to itself).
int CompareStoredKeys(const char* a, const char* b, uint32_t length, bool numeric);
int CompareDoubles(double a, double b);
double DecodeDouble(const char* p);

// Scratch file n (1 or 2) of an index: the index path with everything
// after the last '.' of its file name replaced by "$$1" / "$$2", or with
// ".$$1" / ".$$2" appended when the file name has no '.'.
std::string ScratchPath(const std::string& index_path, int n);

class ExternalSort {
 public:
  // Bytes of the in-memory run and of each merge buffer.
  static constexpr uint32_t kRunBytes = 24576;
  static constexpr uint32_t kMergeBytes = 8192;

  ExternalSort(FileEnv& env, const std::string& index_path, uint32_t key_length,
               bool numeric);
  ~ExternalSort();  // closes and removes the scratch files when still there
  ExternalSort(const ExternalSort&) = delete;
  ExternalSort& operator=(const ExternalSort&) = delete;

  // Creates both scratch files (engine code 5 when one cannot be made).
  Status Start();
  // Adds one record; row is 1-based, key has key_length bytes.
  Status Add(uint32_t row, std::string_view key);
  // Writes the last run and merges until one run remains.
  Status Finish();
  // Reads the sorted records back, one per call; *done at the end.
  Status Next(uint32_t* row, std::string* key, bool* done);
  // Closes and removes both scratch files; the first failure is returned.
  Status Cleanup();

  // Records per run as first written, and the merge passes made.
  const std::vector<uint32_t>& initial_runs() const { return initial_runs_; }
  int merge_passes() const { return merge_passes_; }

 private:
  struct Run {
    uint64_t offset;
    uint32_t count;
  };
  Status FlushRun();
  Status MergePass();
  Status MergeTwo(const Run& a, const Run& b, uint64_t out_offset);
  Status CopyRun(const Run& a, uint64_t out_offset);
  int CompareRecords(const char* a, const char* b) const;

  FileEnv& env_;
  std::string paths_[2];
  std::unique_ptr<RandomFile> files_[2];
  uint32_t key_length_;
  bool numeric_;
  uint32_t record_size_;
  uint32_t run_capacity_;
  std::vector<char> run_;
  uint32_t run_count_ = 0;
  std::vector<Run> runs_;
  std::vector<uint32_t> initial_runs_;
  int merge_passes_ = 0;
  int current_ = 0;  // which scratch file holds the runs
  // Reading back.
  std::vector<char> read_buf_;
  uint32_t read_pos_ = 0, read_len_ = 0, read_left_ = 0;
  uint64_t read_offset_ = 0;
};

}  // namespace quill::store
