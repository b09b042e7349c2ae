// Helpers of the index file tests: indexes built from rows in memory,
// reopened, scanned, and their pages walked and checked.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/file_env.h"
#include "store/byte_order.h"
#include "store/index_file.h"

namespace quill::store {

inline uint32_t U32(const std::string& b, size_t off) { return GetU32(b.data() + off); }

inline void PutU32(std::string& b, size_t off, uint32_t v) { PutU32(b.data() + off, v); }

inline std::string Pad(std::string s, size_t n) {
  s.resize(n, ' ');
  return s;
}

inline std::string FileBytes(const std::string& path) {
  std::string data;
  EXPECT_TRUE(FileEnv::Default().ReadFile(path, &data).ok());
  return data;
}

inline void WriteBytes(const std::string& path, const std::string& data) {
  std::unique_ptr<RandomFile> f;
  ASSERT_TRUE(FileEnv::Default().Open(path, OpenMode::kCreateTruncate, &f).ok());
  ASSERT_TRUE(f->WriteAt(0, data.data(), data.size()).ok());
  ASSERT_TRUE(f->Close().ok());
}

// One text field KEY of the given length after the deleted flag.
inline std::vector<FieldLayout> KeyField(uint32_t length) {
  return {FieldLayout{"KEY", 'C', 1, length, 0}};
}

class VectorRows : public RowSource {
 public:
  std::vector<std::string> rows;  // whole rows, deleted flag first
  std::function<void(uint32_t)> on_read;
  uint32_t RowCount() override { return static_cast<uint32_t>(rows.size()); }
  Status ReadRow(uint32_t row, std::string* bytes) override {
    if (on_read) on_read(row);
    *bytes = rows.at(row - 1);
    return Status::Ok();
  }
  void AddKey(const std::string& key) { rows.push_back(" " + key); }
};

inline std::unique_ptr<IndexFile> BuildIndex(FileEnv& env, const std::string& path, uint32_t key_length,
                                      VectorRows& rows, bool unique = false) {
  std::unique_ptr<IndexFile> ix;
  EXPECT_TRUE(IndexFile::Create(env, path, "KEY", unique, &ix).ok());
  Status s = ix->Build(KeyField(key_length), rows);
  EXPECT_TRUE(s.ok()) << s.ToString();
  return ix;
}

inline std::unique_ptr<IndexFile> Reopen(FileEnv& env, std::unique_ptr<IndexFile> ix,
                                  uint32_t key_length) {
  std::string path = ix->path();
  EXPECT_TRUE(ix->Close().ok());
  ix.reset();
  std::unique_ptr<IndexFile> again;
  Status s = IndexFile::Open(env, path, &again);
  EXPECT_TRUE(s.ok()) << s.ToString();
  EXPECT_TRUE(again->Bind(KeyField(key_length)).ok());
  return again;
}

// All {key, row} in index order, by First/Next or by Last/Previous.
inline std::vector<std::pair<std::string, uint32_t>> Scan(IndexFile& ix, bool backwards = false) {
  std::vector<std::pair<std::string, uint32_t>> out;
  uint32_t row = 0;
  EXPECT_TRUE((backwards ? ix.Last(&row) : ix.First(&row)).ok());
  while (row != 0) {
    out.emplace_back(std::string(ix.CurrentKey()), row);
    EXPECT_TRUE((backwards ? ix.Previous(&row) : ix.Next(&row)).ok());
  }
  if (backwards) std::reverse(out.begin(), out.end());
  return out;
}

// Walks the pages of a closed index file and checks the tree's shape.
class TreeChecker {
 public:
  explicit TreeChecker(const std::string& path) : b_(FileBytes(path)) {
    kl_ = U32(b_, 12);
    k_ = U32(b_, 16);
    e_ = U32(b_, 24);
    next_free_ = U32(b_, 4);
  }

  // Returns the leaf keys in order; fails the test on a broken invariant.
  std::vector<std::string> Check() {
    std::vector<std::string> keys;
    leaf_depth_.reset();
    seen_.clear();
    Walk(U32(b_, 0), 0, true, &keys);
    for (size_t i = 1; i < keys.size(); ++i) EXPECT_LE(keys[i - 1], keys[i]) << "at " << i;
    return keys;
  }

 private:
  std::string Key(size_t page, uint32_t i) const {
    return b_.substr(page * 512 + 12 + i * e_, kl_);
  }

  // Returns {min, max} of the subtree's leaf keys (nullopt when empty).
  std::optional<std::pair<std::string, std::string>> Walk(uint32_t page, int depth, bool root,
                                                         std::vector<std::string>* keys) {
    EXPECT_GE(page, 1u);
    EXPECT_LT(page, next_free_);
    EXPECT_TRUE(seen_.insert(page).second) << "page " << page << " reached twice";
    if (page == 0 || page >= next_free_ || depth > 40 || ::testing::Test::HasFailure()) return std::nullopt;
    const size_t base = size_t{page} * 512;
    const uint32_t c = U32(b_, base);
    EXPECT_LE(c, k_) << "page " << page;
    const bool leaf = U32(b_, base + 4) == 0;
    if (leaf) {
      if (!leaf_depth_) leaf_depth_ = depth;
      EXPECT_EQ(*leaf_depth_, depth) << "leaf " << page << " at another depth";
      if (!root) {
        EXPECT_GE(c, 1u) << "empty leaf " << page;
      }
      for (uint32_t i = 0; i <= c; ++i) EXPECT_EQ(U32(b_, base + 4 + i * e_), 0u);
      for (uint32_t i = 0; i < c; ++i) {
        EXPECT_NE(U32(b_, base + 8 + i * e_), 0u);
        keys->push_back(Key(base / 512, i));
      }
      if (c == 0) return std::nullopt;
      return std::make_pair(Key(page, 0), Key(page, c - 1));
    }
    std::optional<std::pair<std::string, std::string>> all, prev;
    for (uint32_t i = 0; i <= c; ++i) {
      uint32_t child = U32(b_, base + 4 + i * e_);
      EXPECT_NE(child, 0u) << "internal page " << page << " lacks child " << i;
      auto sub = Walk(child, depth + 1, false, keys);
      EXPECT_TRUE(sub.has_value()) << "empty subtree under page " << page;
      if (!sub) return std::nullopt;
      if (i < c) {
        EXPECT_EQ(U32(b_, base + 8 + i * e_), 0u);
        std::string sep = Key(page, i);
        EXPECT_GE(sep, sub->second) << "separator " << i << " of page " << page;
      }
      if (i > 0) {
        EXPECT_LE(Key(page, i - 1), sub->first) << "page " << page;
      }
      if (!all) all = sub;
      all->second = sub->second;
    }
    return all;
  }

  std::string b_;
  uint32_t kl_, k_, e_, next_free_;
  std::optional<int> leaf_depth_;
  std::set<uint32_t> seen_;
};

}  // namespace quill::store
