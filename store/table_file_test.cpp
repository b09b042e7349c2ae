#include "store/table_file.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace quill::store
