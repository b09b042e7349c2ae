#include "store/journal.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/headless/fault_env.h"
#include "platform/headless/temp_dir.h"
#include "store/byte_order.h"

namespace quill::store {
namespace {

constexpr size_t kHeader = 16;  // magic, sequence number, length, CRC

using Payloads = std::vector<std::string>;

class JournalTest : public ::testing::Test {
 protected:
  void SetUp() override { journal_.SetFolder(folder_); }

  std::string Bytes() {
    std::string bytes;
    EXPECT_TRUE(env_.ReadFile(journal_.path(), &bytes).ok());
    return bytes;
  }
  // What the open after a kill replays.
  Payloads Replayed() {
    Journal next(env_);
    next.SetFolder(folder_);
    Payloads payloads;
    EXPECT_TRUE(next.ReadRecords(&payloads).ok());
    return payloads;
  }

  TempDir dir_;
  FaultEnv env_;
  std::string folder_ = dir_.Path() + "/";
  Journal journal_{env_};
};

TEST_F(JournalTest, ReplayEndsAtTheFirstRecordThatIsNotWholeOrInTurn) {
  for (const char* payload : {"first", "second", "third"}) {
    ASSERT_TRUE(journal_.Append(payload, {}).ok());
  }
  const std::string whole = Bytes();
  const size_t second = kHeader + 5, third = second + kHeader + 6;
  struct Case {
    const char* name;
    std::function<void(std::string&)> damage;
    Payloads replayed;
  };
  const Case cases[] = {
      {"whole", [](std::string&) {}, {"first", "second", "third"}},
      {"a payload byte of the second changed", [&](std::string& b) { b[second + kHeader] ^= 1; },
       {"first"}},
      {"the second's number skips one", [&](std::string& b) { PutU32(&b[second + 4], 3); },
       {"first"}},
      {"a stale record beyond the second", [&](std::string& b) { PutU32(&b[third + 4], 1); },
       {"first", "second"}},
      {"the third cut short", [](std::string& b) { b.pop_back(); }, {"first", "second"}},
      {"the second's magic gone", [&](std::string& b) { PutU32(&b[second], 0); }, {"first"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string bytes = whole;
    c.damage(bytes);
    ASSERT_TRUE(env_.WriteFileAtomic(journal_.path(), bytes).ok());
    EXPECT_EQ(Replayed(), c.replayed);
  }
}

TEST_F(JournalTest, ACheckpointKeepsTheJournalWhileATableCannotBeMadeDurable) {
  const std::string table = dir_.File("t.dat");
  ASSERT_TRUE(env_.WriteFileAtomic(table, "rows").ok());
  ASSERT_TRUE(journal_.Append("change", {table}).ok());
  env_.SetFailSync(true);
  EXPECT_FALSE(journal_.Checkpoint().ok());
  env_.ClearFaults();
  EXPECT_EQ(Replayed(), Payloads{"change"});
  ASSERT_TRUE(journal_.Checkpoint().ok());
  EXPECT_EQ(Bytes(), "");
}

// A record written whole whose sync and cut both fail stays in the file:
// a kill before the next append must not replay the refused change, and
// that append cuts the rest off first. The refused payload here ends in a
// record that would follow the next one.
TEST_F(JournalTest, AChangeWhoseAppendFailedIsNeverReplayed) {
  std::string ghost;
  {
    TempDir other;
    Journal scratch(env_);
    scratch.SetFolder(other.Path() + "/");
    for (const char* payload : {"a", "b", "ghost"}) ASSERT_TRUE(scratch.Append(payload, {}).ok());
    ASSERT_TRUE(env_.ReadFile(scratch.path(), &ghost).ok());
    ghost.erase(0, 2 * (kHeader + 1));  // the third record, number 3
  }
  ASSERT_TRUE(journal_.Append("one", {}).ok());
  env_.SetFailSync(true);
  env_.SetFailTruncate(true);
  EXPECT_FALSE(journal_.Append("xyz" + ghost, {}).ok());
  env_.ClearFaults();
  EXPECT_EQ(Replayed(), Payloads{"one"});
  ASSERT_TRUE(journal_.Append("two", {}).ok());
  EXPECT_EQ(Replayed(), (Payloads{"one", "two"}));
  EXPECT_EQ(Bytes().size(), 2 * kHeader + 6);

  // Not even the magic can be cleared: no change may follow, and the next
  // open completes the refused one.
  env_.SetFailSync(true);
  env_.SetFailTruncate(true);
  env_.SetWriteBudget(kHeader + 5);
  EXPECT_FALSE(journal_.Append("three", {}).ok());
  env_.ClearFaults();
  EXPECT_FALSE(journal_.Append("four", {}).ok());
  EXPECT_EQ(Replayed(), (Payloads{"one", "two", "three"}));
}

}  // namespace
}  // namespace quill::store
