#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "platform/headless/temp_dir.h"
#include "store/index_file.h"
#include "store/index_file_test_support.h"

namespace quill::store {
namespace {

// Rows moved from key to key as a table's updates move them, in long runs
// of equal keys (a folder of thousands of cards): SeekRow finds the entry
// of each row wherever it lies in its run, and finds none under a key the
// row does not have; the order stays the file's, with splits and emptied
// leaves along the way. With write-back the row map is made from a file
// that has the pages held so far.
class SeekRowTest : public ::testing::TestWithParam<bool> {};

TEST_P(SeekRowTest, FindsRowsInLongRunsOfEqualKeys) {
  const bool write_back = GetParam();
  constexpr uint32_t kl = 100;
  TempDir dir;
  const std::string path = dir.File("runs.ix");
  std::mt19937 rng(4242);
  const std::vector<std::string> keys = {Pad("A", kl), Pad("B", kl), Pad("B C", kl)};
  // Most rows share one key.
  auto random_key = [&] { return keys[rng() % 8 == 0 ? rng() % 3 : 1]; };
  VectorRows rows;
  for (int i = 0; i < 3000; ++i) rows.AddKey(random_key());
  auto ix = BuildIndex(FileEnv::Default(), path, kl, rows);
  ix->set_write_back(write_back);
  std::multimap<std::string, uint32_t> model;
  std::map<uint32_t, std::string> key_of;  // live rows
  for (uint32_t r = 1; r <= rows.rows.size(); ++r) {
    model.emplace(rows.rows[r - 1].substr(1), r);
    key_of[r] = rows.rows[r - 1].substr(1);
  }
  uint32_t next_row = static_cast<uint32_t>(rows.rows.size()) + 1;
  auto insert = [&](const std::string& k, uint32_t r) {
    ASSERT_TRUE(ix->Insert(k, r).ok());
    model.emplace_hint(model.lower_bound(k), k, r);
    key_of[r] = k;
  };
  auto erase_model = [&](const std::string& k, uint32_t r) {
    auto range = model.equal_range(k);
    for (auto it = range.first; it != range.second; ++it) {
      if (it->second == r) {
        model.erase(it);
        break;
      }
    }
    key_of.erase(r);
  };
  for (int op = 0; op < 12000; ++op) {
    const unsigned pick = rng() % 100;
    if (pick < 20 || key_of.empty()) {
      insert(random_key(), next_row++);
      if (HasFatalFailure()) return;
      continue;
    }
    auto it = key_of.begin();
    std::advance(it, rng() % key_of.size());
    const uint32_t r = it->first;
    const std::string k = it->second;
    bool found = false;
    if (pick < 30) {
      // Under a key it does not have: not there.
      const std::string& other = keys[(std::find(keys.begin(), keys.end(), k) - keys.begin() + 1) % 3];
      ASSERT_TRUE(ix->SeekRow(other, r, &found).ok());
      ASSERT_FALSE(found) << "row " << r;
      continue;
    }
    ASSERT_TRUE(ix->SeekRow(k, r, &found).ok());
    ASSERT_TRUE(found) << "row " << r << " at op " << op;
    ASSERT_EQ(ix->CurrentKey(), k);
    ASSERT_TRUE(ix->DeleteCurrent().ok());
    erase_model(k, r);
    // Most move on to another key, as an update of their row does.
    if (pick < 85) {
      insert(random_key(), r);
      if (HasFatalFailure()) return;
    }
    if (op % 3000 == 2999) {
      std::vector<std::pair<std::string, uint32_t>> want(model.begin(), model.end());
      ASSERT_EQ(Scan(*ix), want);
    }
  }
  std::vector<std::pair<std::string, uint32_t>> want(model.begin(), model.end());
  ASSERT_EQ(Scan(*ix), want);
  ix = Reopen(FileEnv::Default(), std::move(ix), kl);
  ASSERT_EQ(TreeChecker(path).Check().size(), model.size());
  // A freshly opened index finds them as well.
  for (const auto& [r, k] : key_of) {
    bool found = false;
    ASSERT_TRUE(ix->SeekRow(k, r, &found).ok());
    ASSERT_TRUE(found) << "row " << r;
  }
}

INSTANTIATE_TEST_SUITE_P(WriteBack, SeekRowTest, ::testing::Bool());

}  // namespace
}  // namespace quill::store
