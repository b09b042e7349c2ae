#include "store/table_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>

#include "platform/headless/fault_env.h"
#include "platform/headless/temp_dir.h"

namespace quill::store {
namespace {

TEST(TableCursorTest, PositioningPassesOverDeletedRows) {
  TempDir dir;
  FaultEnv env;
  std::unique_ptr<TableFile> file;
  ASSERT_TRUE(TableFile::Create(env, dir.File("c.dat"), {{"K", 'C', 3, 0, 0}}, &file).ok());
  TableCursor c(env, std::move(file));
  EXPECT_TRUE(c.bof() && c.eof());
  EXPECT_EQ(c.current_row(), 1u);
  int slot = 0;
  ASSERT_TRUE(c.CreateIndex(dir.File("c.ix"), "K", false, &slot).ok());
  ASSERT_TRUE(c.GoFirst().ok());
  EXPECT_TRUE(c.bof() && c.eof());

  for (const char* k : {"ccc", "aaa", "ddd", "bbb"}) {
    uint32_t r = 0;
    ASSERT_TRUE(c.Append(k, &r).ok());
  }
  ASSERT_TRUE(c.MarkDeleted(2).ok());  // "aaa"

  // Each step: move n, then expect the row (0 = BOF, 5 = EOF).
  struct Step {
    int64_t n;
    uint32_t row;
  };
  auto walk = [&](const std::vector<Step>& steps) {
    ASSERT_TRUE(c.GoFirst().ok());
    for (const Step& s : steps) {
      SCOPED_TRACE(s.n);
      if (s.n != 0) {
        ASSERT_TRUE(c.Skip(s.n).ok());
      }
      if (s.row == 0) {
        EXPECT_TRUE(c.bof());
      } else if (s.row == 5) {
        EXPECT_TRUE(c.eof());
        EXPECT_EQ(c.current_row(), 5u);
      } else {
        EXPECT_FALSE(c.bof() || c.eof());
        EXPECT_EQ(c.current_row(), s.row);
      }
    }
  };
  ASSERT_TRUE(c.Select(0).ok());  // file order: 1, (2), 3, 4
  walk({{0, 1}, {1, 3}, {1, 4}, {1, 5}, {-1, 4}, {-5, 0}, {1, 1}});
  ASSERT_TRUE(c.Select(slot).ok());  // key order: (aaa 2), bbb 4, ccc 1, ddd 3
  walk({{0, 4}, {2, 3}, {1, 5}, {-1, 3}, {-2, 4}, {-1, 0}, {1, 4}});

  // Going to a row puts the index on its entry, so steps go on from there.
  ASSERT_TRUE(c.GoTo(1).ok());
  ASSERT_TRUE(c.Skip(1).ok());
  EXPECT_EQ(c.current_row(), 3u);

  uint32_t r = 9;
  ASSERT_TRUE(c.Seek("b", &r).ok());
  EXPECT_EQ(r, 4u);
  ASSERT_TRUE(c.Seek("a", &r).ok());  // only a deleted row has it
  EXPECT_EQ(r, 0u);
  EXPECT_TRUE(c.eof());
  EXPECT_EQ(c.current_row(), 5u);
  ASSERT_TRUE(c.Close().ok());
}

// The deleted flags a table remembers follow every write and cut, and a
// search for everything or for a prefix passes over exactly the deleted
// rows, whether the flags were read a row or a piece at a time.
TEST(TableCursorTest, DeletedFlagsFollowEveryWrite) {
  TempDir dir;
  FaultEnv env;
  std::unique_ptr<TableFile> file;
  ASSERT_TRUE(TableFile::Create(env, dir.File("f.dat"),
                                {{"K", 'C', 4, 0, 0}, {"PAD", 'C', 250, 0, 0}}, &file)
                  .ok());
  TableCursor c(env, std::move(file));
  int slot = 0;
  ASSERT_TRUE(c.CreateIndex(dir.File("f.ix"), "K", false, &slot).ok());
  ASSERT_TRUE(c.Select(slot).ok());
  std::vector<bool> deleted;  // by row - 1
  auto key = [](size_t i) { return std::string(i % 2 ? "odd " : "even") + std::string(250, ' '); };
  auto append = [&](size_t n) {
    for (size_t i = 0; i < n; ++i) {
      uint32_t r = 0;
      ASSERT_TRUE(c.Append(key(deleted.size()), &r).ok());
      deleted.push_back(false);
    }
  };
  auto check = [&](const char* when) {
    SCOPED_TRACE(when);
    for (uint32_t r = 1; r <= deleted.size(); ++r) {
      bool d = false;
      ASSERT_TRUE(c.IsDeleted(r, &d).ok());
      ASSERT_EQ(d, deleted[r - 1]) << "row " << r;
    }
    // Enough searches for the index to be held in memory.
    for (int round = 0; round < 130; ++round) {
      for (const char* prefix : {"", "odd"}) {
        std::vector<uint32_t> got, want;
        ASSERT_TRUE(c.Search(prefix, SIZE_MAX, &got).ok());
        for (uint32_t r = 1; r <= deleted.size(); ++r) {
          if (!deleted[r - 1] && (*prefix == '\0' || (r - 1) % 2 == 1)) want.push_back(r);
        }
        std::sort(got.begin(), got.end());
        ASSERT_EQ(got, want) << "search \"" << prefix << "\" " << round;
      }
    }
  };
  append(500);
  check("new rows");  // far more lookups than are read one row at a time
  for (uint32_t r : {1u, 2u, 250u, 499u, 500u}) {
    ASSERT_TRUE(c.MarkDeleted(r).ok());
    deleted[r - 1] = true;
  }
  append(3);
  check("marked and appended");
  // A row rewritten with its flag set by the caller.
  ASSERT_TRUE(c.table().Read(7).ok());
  c.table().buffer()[0] = '*';
  ASSERT_TRUE(c.table().Write(7).ok());
  deleted[6] = true;
  // A mark that fails to reach the file leaves the row as the file has it.
  env.SetDiskFull(true);
  EXPECT_FALSE(c.MarkDeleted(8).ok());
  env.ClearFaults();
  check("rewritten and a failed mark");
  ASSERT_TRUE(c.Pack().ok());
  ASSERT_TRUE(c.RebuildIndexes().ok());
  std::vector<bool> packed;
  for (bool d : deleted) {
    if (!d) packed.push_back(false);
  }
  deleted = packed;
  append(2);
  // Keys moved with their rows: every live row is counted once.
  std::vector<uint32_t> all;
  ASSERT_TRUE(c.Search("", SIZE_MAX, &all).ok());
  EXPECT_EQ(all.size(), deleted.size());
  for (uint32_t r = 1; r <= deleted.size(); ++r) {
    bool d = true;
    ASSERT_TRUE(c.IsDeleted(r, &d).ok());
    EXPECT_FALSE(d) << "row " << r;
  }
  // The packed file is watched as the old one was.
  ASSERT_TRUE(c.MarkDeleted(3).ok());
  bool d = false;
  ASSERT_TRUE(c.IsDeleted(3, &d).ok());
  EXPECT_TRUE(d);
  all.clear();
  ASSERT_TRUE(c.Search("", SIZE_MAX, &all).ok());
  EXPECT_EQ(all.size(), deleted.size() - 1);
  EXPECT_EQ(std::count(all.begin(), all.end(), 3u), 0);
  ASSERT_TRUE(c.Close().ok());
}

}  // namespace
}  // namespace quill::store
