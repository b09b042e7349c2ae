// _KeyIn's key sequences through a key log: every row of every letter, the
// rows and letters that do not exist, and letting go of only the
// modifiers that are down.
#include "hook/key_sequences.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "hook/hook_procedures.h"
#include "platform/shared_memory.h"

namespace quill {
namespace {

// Logs the keys as "v11" (down) and "^43" (up) and keeps which are down;
// a sequence's beginning is logged as "[" with the block's InjectCount.
class KeyLog final : public KeySink {
 public:
  void BeginSequence() override {
    log.push_back("[" + std::to_string(block != nullptr ? block->InjectCount() : -1));
  }
  void SendKey(uint8_t vk, bool press) override {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%c%02X", press ? 'v' : '^', vk);
    log.push_back(buf);
    if (press) {
      down.insert(vk);
    } else {
      down.erase(vk);
    }
  }
  bool IsKeyDown(uint8_t vk) override { return down.count(vk) != 0; }

  std::vector<std::string> log;
  std::set<uint8_t> down;
  const SharedHookBlock* block = nullptr;
};

struct Row {
  int what;
  int row;
  std::vector<std::string> keys;  // empty: nothing is sent
};

TEST(KeyInTest, SendsEachRowAndNothingForUnknownOnes) {
  const std::vector<Row> rows = {
      {'C', 0, {"v12", "v45", "^44", "^45", "^12", "v43", "^43"}},  // Alt, E, C
      {'C', 1, {"v77", "^77"}},                                     // F8
      {'C', 2, {"v10", "v77", "^77", "^10"}},                       // Shift+F8
      {'C', 3, {"v11", "v43", "^11", "^43"}},                       // Ctrl+C
      {'X', 0, {"v12", "v45", "^44", "^45", "^12", "v54", "^54"}},  // Alt, E, T
      {'X', 1, {"v76", "^76"}},                                     // F7
      {'X', 2, {"v77", "^77"}},                                     // F8
      {'X', 3, {"v11", "v58", "^11", "^58"}},                       // Ctrl+X
      {'P', 0, {"v12", "v45", "^44", "^45", "^12", "v50", "^50"}},  // Alt, E, P
      {'P', 1, {"v10", "v78", "^10", "^78"}},                       // Shift+F9
      {'P', 2, {"v11", "v56", "^11", "^56"}},                       // Ctrl+V
      {'C', 4, {}},
      {'X', -1, {}},
      {'P', 3, {}},
      {'Q', 0, {}},
      {0x12345678, 0, {}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(std::string(1, char(r.what)) + " " + std::to_string(r.row));
    alignas(8) std::array<uint8_t, kSharedHookBlockSize> bytes{};
    SharedHookBlock block{std::span<uint8_t, kSharedHookBlockSize>(bytes)};
    KeyLog keys;
    keys.block = &block;
    EXPECT_EQ(KeyIn(r.what, r.row, &block, keys), !r.keys.empty());
    // The sink hears of the sequence before its first key, with the count
    // set already.
    std::vector<std::string> expected = r.keys;
    if (!expected.empty()) expected.insert(expected.begin(), "[2");
    EXPECT_EQ(keys.log, expected);
    // The next two key events may not deliver an Enter; nothing sent,
    // nothing to guard.
    EXPECT_EQ(block.InjectCount(), r.keys.empty() ? 0 : 2);
  }
}

TEST(KeyInTest, LetsGoOnlyOfTheModifiersThatAreDown) {
  KeyLog keys;
  EXPECT_TRUE(KeyIn('O', 0, nullptr, keys));
  EXPECT_TRUE(keys.log.empty());

  keys.down = {vk::kControl, 'K'};
  EXPECT_TRUE(KeyIn('O', 0, nullptr, keys));
  EXPECT_EQ(keys.log, (std::vector<std::string>{"[-1", "^11"}));

  keys.log.clear();
  keys.down = {vk::kShift, vk::kMenu};
  EXPECT_TRUE(KeyIn('O', 0, nullptr, keys));
  EXPECT_EQ(keys.log, (std::vector<std::string>{"[-1", "^10", "^12"}));
}

// The outside program's shared memory, under a name of this test's own:
// its first 16 bits become 1 and nothing else changes; a missing one is
// not made, and one too small for 16 bits is left alone.
TEST(WrenloopTest, MarksAnExistingObjectAndCreatesNone) {
  EXPECT_EQ(WrenloopName(), "/Wrenloop-" + std::to_string(::getuid()));
  const std::string name = "/quilltest-wrenloop-" + std::to_string(::getpid());
  SharedMemory::Unlink(name);
  std::unique_ptr<SharedMemory> memory;
  EXPECT_FALSE(MarkWrenloop(name));
  EXPECT_FALSE(SharedMemory::Open(name, 1, &memory).ok()) << "made by the write";

  ASSERT_TRUE(SharedMemory::Create(name, 8, &memory).ok());
  std::fill(memory->data(), memory->data() + 8, uint8_t{0xAA});
  EXPECT_TRUE(MarkWrenloop(name));
  EXPECT_EQ(std::vector<uint8_t>(memory->data(), memory->data() + 8),
            (std::vector<uint8_t>{0x01, 0x00, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA}));
  memory.reset();
  EXPECT_TRUE(SharedMemory::Unlink(name).ok());

  ASSERT_TRUE(SharedMemory::Create(name, 1, &memory).ok());
  memory->data()[0] = 0xAA;
  EXPECT_FALSE(MarkWrenloop(name));
  EXPECT_EQ(memory->data()[0], 0xAA);
  memory.reset();
  EXPECT_TRUE(SharedMemory::Unlink(name).ok());
}

}  // namespace
}  // namespace quill
