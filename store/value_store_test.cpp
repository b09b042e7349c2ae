#include "store/value_store.h"

#include <gtest/gtest.h>

#include "platform/headless/fault_env.h"
#include "platform/headless/temp_dir.h"

namespace quill::store {
namespace {

constexpr char kIdA[] = "00000001000000AA";
constexpr char kIdB[] = "00000002000000BB";

class ValueStoreTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(store_.Open(false, dir_.Path() + "/").ok()); }

  std::string Get(const std::string& id) {
    std::string text = "stale";
    EXPECT_TRUE(store_.Read(id, &text).ok());
    return text;
  }
  int64_t LiveRows() {
    std::vector<int64_t> rows;
    EXPECT_TRUE(store_.table().Search("TEXT_ID", "", 1000, &rows).ok());
    store_.Close();
    return static_cast<int64_t>(rows.size());
  }

  TempDir dir_;
  FaultEnv env_;
  VarValueStore store_{env_};
};

TEST_F(ValueStoreTest, ValuesAreStoredReplacedAndRemoved) {
  EXPECT_EQ(Get(kIdA), "");
  // Three values, the second empty.
  const std::string values = "one\t\xDF\tthree\t";
  ASSERT_TRUE(store_.Write(kIdA, values).ok());
  ASSERT_TRUE(store_.Write(kIdB, "b\t").ok());
  EXPECT_EQ(Get(kIdA), values);
  ASSERT_TRUE(store_.Write(kIdA, "new\t").ok());
  EXPECT_EQ(Get(kIdA), "new\t");
  EXPECT_EQ(LiveRows(), 2);

  ASSERT_TRUE(store_.Write(kIdA, "").ok());
  EXPECT_EQ(Get(kIdA), "");
  EXPECT_EQ(Get(kIdB), "b\t");
  ASSERT_TRUE(store_.Delete(kIdB).ok());
  EXPECT_EQ(LiveRows(), 0);
}

TEST_F(ValueStoreTest, RowBytesOnDisk) {
  ASSERT_TRUE(store_.Write(kIdA, "v\t").ok());
  std::string file;
  ASSERT_TRUE(env_.ReadFile(dir_.Path() + "/quilbo7.hdt", &file).ok());
  ASSERT_EQ(file.size(), 97u + 221u + 1u);
  const std::string row = file.substr(97, 221);
  EXPECT_EQ(row.substr(0, 21), std::string(" ") + kIdA + "    ");
  EXPECT_EQ(row.substr(21), std::string("v\t") + std::string(198, '\0'));
}

TEST_F(ValueStoreTest, LongTextsAreCutOnACharacterBoundary) {
  const struct {
    std::string text, stored;
  } cases[] = {
      {std::string(250, 'v'), std::string(198, 'v')},
      {std::string(197, 'v') + "\x82\xA0" + "tail", std::string(197, 'v')},
      {std::string(196, 'v') + "\x82\xA0" + "tail", std::string(196, 'v') + "\x82\xA0"},
      {std::string(198, 'v'), std::string(198, 'v')},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(store_.Write(kIdA, c.text).ok());
    EXPECT_EQ(Get(kIdA), c.stored);
  }
}

TEST_F(ValueStoreTest, CheckPacksOrRecreates) {
  ASSERT_TRUE(store_.Write(kIdA, "a\t").ok());
  ASSERT_TRUE(store_.Write(kIdB, "b\t").ok());
  ASSERT_TRUE(store_.Delete(kIdA).ok());
  ASSERT_TRUE(store_.Check().ok());
  int64_t rows = -1;
  ASSERT_TRUE(store_.table().RowCount(&rows).ok());
  store_.Close();
  EXPECT_EQ(rows, 1);
  EXPECT_EQ(Get(kIdB), "b\t");

  ASSERT_TRUE(store_.Delete(kIdB).ok());
  ASSERT_TRUE(store_.Check().ok());
  ASSERT_TRUE(store_.table().RowCount(&rows).ok());
  store_.Close();
  EXPECT_EQ(rows, 0);
}

}  // namespace
}  // namespace quill::store
