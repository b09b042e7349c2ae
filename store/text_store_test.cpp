#include "store/text_store.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "platform/messages.h"
#include "platform/headless/fault_env.h"
#include "platform/headless/temp_dir.h"
#include "platform/headless/watchdog.h"
#include "store/db_error.h"
#include "store/index_test_support.h"

namespace quill::store {
namespace {

constexpr char kIdA[] = "00000001000000AA";
constexpr char kIdB[] = "00000002000000BB";

// A stored chunk as the test sees it: ID, SIZE and the DATA bytes in use.
struct Chunk {
  std::string id;
  uint32_t size;
};

class TextStoreTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(store_.Open(false, folder_).ok()); }

  std::vector<Chunk> Chunks(const std::string& prefix) {
    std::vector<int64_t> rows;
    EXPECT_TRUE(store_.table().Search("ID", prefix, 100000, &rows).ok());
    std::vector<Chunk> out;
    std::vector<char> rec(store_.table().RecordSize());
    for (int64_t r : rows) {
      EXPECT_TRUE(store_.table().Read(r, rec.data()).ok());
      uint32_t size;
      std::memcpy(&size, rec.data() + 20, 4);
      out.push_back({std::string(rec.data(), strnlen(rec.data(), 20)), size});
    }
    store_.Close();
    return out;
  }
  int64_t Rows() {
    int64_t n = -1;
    EXPECT_TRUE(store_.table().RowCount(&n).ok());
    store_.Close();
    return n;
  }
  std::string ReadBack(const std::string& id) {
    std::string bytes;
    Status s = store_.Read(id, &bytes);
    EXPECT_TRUE(s.ok()) << s.ToString();
    return bytes;
  }

  TempDir dir_;
  std::string folder_ = dir_.Path() + "/";
  FaultEnv env_;
  TextBodyStore store_{env_};
};

std::string Text(size_t n) {
  std::string t;
  for (size_t i = 0; i < n; ++i) t.push_back(static_cast<char>('a' + i % 26));
  return t;
}

TEST_F(TextStoreTest, TextsAreSplitIntoChunksAndReadBackInKeyOrder) {
  const struct {
    size_t length;  // with the NUL
    std::vector<std::string> suffixes;
    std::vector<uint32_t> sizes;
  } cases[] = {
      {1000, {"000"}, {1000}},
      {1001, {"000", "001"}, {1000, 1}},
      {10500, {"000", "001", "002", "003", "004", "005", "006", "007", "008", "009", "00A"},
       {1000, 1000, 1000, 1000, 1000, 1000, 1000, 1000, 1000, 1000, 500}},
  };
  for (const auto& c : cases) {
    std::string data = Text(c.length - 1) + '\0';
    ASSERT_TRUE(store_.Write(kIdA, data).ok());
    EXPECT_EQ(ReadBack(kIdA), data);
    std::vector<Chunk> chunks = Chunks(kIdA);
    ASSERT_EQ(chunks.size(), c.suffixes.size()) << c.length;
    for (size_t i = 0; i < chunks.size(); ++i) {
      EXPECT_EQ(chunks[i].id, kIdA + c.suffixes[i]);
      EXPECT_EQ(chunks[i].size, c.sizes[i]);
    }
  }
  EXPECT_EQ(ReadBack(kIdB), "");  // a card without rows
}

TEST_F(TextStoreTest, RowBytesOnDisk) {
  ASSERT_TRUE(store_.Write(kIdA, std::string("abc\0", 4)).ok());
  std::string file;
  ASSERT_TRUE(env_.ReadFile(folder_ + "quilbo7.tx", &file).ok());
  ASSERT_EQ(file.size(), 225u + 1025u + 1u);
  EXPECT_EQ(file.substr(36, 3), std::string("ID\0", 3));
  EXPECT_EQ(file[36 + 11], 'C');
  EXPECT_EQ(file[36 + 16], 20);
  EXPECT_EQ(file[36 + 17], 1);  // the ID descriptor carries decimals 1
  const std::string row = file.substr(225, 1025);
  EXPECT_EQ(row.substr(0, 25), std::string(" 00000001000000AA000 \x04\0\0\0", 25));
  EXPECT_EQ(row.substr(25), std::string("abc\0", 4) + std::string(996, ' '));
}

TEST_F(TextStoreTest, ARewriteFreesRowsThatTheNextWriteReuses) {
  ASSERT_TRUE(store_.Write(kIdA, Text(4999) + '\0').ok());
  const int64_t rows = Rows();
  const uintmax_t bytes = std::filesystem::file_size(folder_ + "quilbo7.tx");
  ASSERT_EQ(rows, 5);

  ASSERT_TRUE(store_.Write(kIdA, Text(1499) + '\0').ok());
  EXPECT_EQ(Chunks("N").size(), 3u);
  ASSERT_TRUE(store_.Write(kIdB, Text(2999) + '\0').ok());
  EXPECT_EQ(Chunks("N").size(), 0u);
  EXPECT_EQ(Rows(), rows);
  EXPECT_EQ(std::filesystem::file_size(folder_ + "quilbo7.tx"), bytes);
  EXPECT_EQ(ReadBack(kIdA), Text(1499) + '\0');
  EXPECT_EQ(ReadBack(kIdB), Text(2999) + '\0');

  // More chunks than one search hands out (ten at a time).
  ASSERT_TRUE(store_.Write(kIdA, "").ok());
  ASSERT_TRUE(store_.Write(kIdB, "").ok());
  ASSERT_TRUE(store_.Write(kIdA, Text(30000) + '\0').ok());
  ASSERT_TRUE(store_.Write(kIdA, Text(29000) + '\0').ok());
  EXPECT_EQ(Rows(), 31);
  EXPECT_EQ(ReadBack(kIdA), Text(29000) + '\0');
}

TEST_F(TextStoreTest, ADamagedSizeAndAnOverlongTextStayWithinBounds) {
  ASSERT_TRUE(store_.Write(kIdA, Text(1500)).ok());
  std::vector<char> rec(store_.table().RecordSize());
  ASSERT_TRUE(store_.table().Read(0, rec.data()).ok());
  const uint32_t huge = 5000;
  std::memcpy(rec.data() + 20, &huge, 4);
  ASSERT_TRUE(store_.table().Write(0, rec.data()).ok());
  store_.Close();
  EXPECT_EQ(ReadBack(kIdA), Text(1500));

  std::string big(kCardTextCapacity + 2500, 'x');
  ASSERT_TRUE(store_.Write(kIdB, big).ok());
  EXPECT_EQ(ReadBack(kIdB).size(), kCardTextCapacity);
}

// A damaged index of the chunks: reading stays within the file and ends
// with a clear error, never with a text made of chunks read twice.
TEST_F(TextStoreTest, DamagedChunkIndexesAreReadWithinBounds) {
  ASSERT_TRUE(store_.Write(kIdA, Text(2500)).ok());  // rows 1-3
  // Every entry is keyed by the card's first chunk, so the card's reads and
  // writes meet the damage.
  RawIndex base;
  base.expr = "ID";
  base.key = std::string(kIdA) + "000";
  RawIndex loop = base;
  loop.ShareEveryChild(9, 1);
  RawIndex past_the_file = base;
  past_the_file.pages = {RawIndex::Internal({2, 99}), RawIndex::Leaf({1})};
  // A tree whose 4 full leaves all list row 1: 72 entries for one row.
  RawIndex same_row = base;
  same_row.pages = {RawIndex::Internal({2, 3, 4, 5})};
  for (int i = 0; i < 4; ++i)
    same_row.pages.push_back(RawIndex::Leaf(std::vector<uint32_t>(18, 1)));

  const struct {
    const char* what;
    const RawIndex& index;
  } cases[] = {{"chunks that loop", loop},
               {"a chunk past the file", past_the_file},
               {"one row listed 72 times", same_row}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::unique_ptr<RandomFile> f;
    ASSERT_TRUE(env_.Open(folder_ + "quilbo7.itx", OpenMode::kCreateTruncate, &f).ok());
    const std::string bytes = c.index.Bytes();
    ASSERT_TRUE(f->WriteAt(0, bytes.data(), bytes.size()).ok());
    ASSERT_TRUE(f->Close().ok());
    std::string out = "left over";
    Status s = ReturnsWithin([&] { return store_.Read(kIdA, &out); });
    EXPECT_EQ(s.code(), Status::kCorrupt) << s.ToString();
    EXPECT_EQ(out, "");
    EXPECT_FALSE(store_.table().is_open());
  }
}

// Reads that keep the table open still see every write since.
TEST_F(TextStoreTest, KeptOpenReadsSeeEveryWrite) {
  store_.set_keep_open(true);
  ASSERT_TRUE(store_.Write(kIdA, Text(2500)).ok());
  EXPECT_EQ(ReadBack(kIdA), Text(2500));
  EXPECT_TRUE(store_.table().is_open());
  ASSERT_TRUE(store_.Write(kIdA, Text(10)).ok());
  ASSERT_TRUE(store_.Write(kIdB, Text(1900)).ok());  // takes the rows kIdA gave up
  EXPECT_EQ(ReadBack(kIdA), Text(10));
  EXPECT_EQ(ReadBack(kIdB), Text(1900));
  store_.set_keep_open(false);
  EXPECT_FALSE(store_.table().is_open());
}

TEST_F(TextStoreTest, AnIdOfTheWrongLengthIsFatal) {
  std::string out;
  Status s = store_.Read("123", &out);
  EXPECT_EQ(s.code(), Status::kFatal);
  EXPECT_EQ(s.message(), MessageUtf8(MessageId::kFatalRead));
  s = store_.Write("12345678901234567", "x");
  EXPECT_EQ(s.code(), Status::kFatal);
  EXPECT_EQ(s.message(), MessageUtf8(MessageId::kFatalWrite));
  EXPECT_EQ(store_.Delete("").message(), MessageUtf8(MessageId::kFatalWrite));
  EXPECT_FALSE(store_.table().is_open());
}

TEST_F(TextStoreTest, PurgeDropsFreeRows) {
  ASSERT_TRUE(store_.Write(kIdA, Text(2500)).ok());
  ASSERT_TRUE(store_.Write(kIdB, Text(1200)).ok());
  ASSERT_TRUE(store_.Delete(kIdA).ok());
  ASSERT_TRUE(store_.Purge().ok());
  EXPECT_EQ(Rows(), 2);
  EXPECT_EQ(ReadBack(kIdB), Text(1200));

  ASSERT_TRUE(store_.Delete(kIdB).ok());
  ASSERT_TRUE(store_.Purge().ok());
  EXPECT_EQ(Rows(), 0);
}

TEST_F(TextStoreTest, APurgeWhoseIndexRebuildFailsLeavesNoIndexOnOldRows) {
  constexpr char kIdC[] = "00000003000000CC";
  ASSERT_TRUE(store_.Write(kIdA, Text(2500)).ok());
  ASSERT_TRUE(store_.Write(kIdB, Text(1500)).ok());
  ASSERT_TRUE(store_.Write(kIdC, std::string(3500, 'C')).ok());
  ASSERT_TRUE(store_.Delete(kIdA).ok());
  // The rows move down, but the index cannot be rebuilt: its old entries
  // would hand B the rows C's chunks now sit in.
  env_.FailOpen(folder_ + "quilbo7.$$1");
  EXPECT_FALSE(store_.Purge().ok());
  std::string bytes;
  Status s = store_.Read(kIdB, &bytes);
  EXPECT_TRUE(!s.ok() || bytes == Text(1500)) << bytes.substr(0, 20);

  env_.ClearFailOpen();
  ASSERT_TRUE(store_.Purge().ok());
  EXPECT_EQ(ReadBack(kIdB), Text(1500));
  EXPECT_EQ(ReadBack(kIdC), std::string(3500, 'C'));
}

TEST_F(TextStoreTest, OpenCreatesOnlyWhatIsMissing) {
  TempDir other;
  TextBodyStore t(env_);
  EXPECT_TRUE(t.Open(true, other.Path() + "/").IsNotFound());
  EXPECT_TRUE(std::filesystem::is_empty(other.Path()));

  ASSERT_TRUE(store_.Write(kIdA, Text(10)).ok());
  std::string before;
  ASSERT_TRUE(env_.ReadFile(folder_ + "quilbo7.tx", &before).ok());
  env_.FailOpen(folder_ + "quilbo7.tx");
  Status s = t.Open(false, folder_);
  EXPECT_FALSE(s.ok());
  EXPECT_FALSE(s.IsNotFound());
  EXPECT_EQ(s.db_code(), kDbCannotOpen);
  env_.ClearFailOpen();
  std::string after;
  ASSERT_TRUE(env_.ReadFile(folder_ + "quilbo7.tx", &after).ok());
  EXPECT_EQ(after, before);
}

}  // namespace
}  // namespace quill::store
