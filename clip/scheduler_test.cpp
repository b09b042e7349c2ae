#include "clip/scheduler.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/headless/fake_clock.h"
#include "platform/headless/in_process_bus.h"
#include "platform/protocol/shared_hook_block.h"

namespace quill {
namespace {

struct SchedulerTest : ::testing::Test {
  FakeClock clock;
  InProcessBus bus{&clock};
  WindowHandle main = bus.CreateWindow();
  CommandScheduler scheduler{clock, bus, main};

  // Ticks every 100 ms for `ms`; returns the command codes posted.
  std::vector<uint32_t> RunFor(uint32_t ms) {
    std::vector<uint32_t> codes;
    for (uint32_t t = 0; t < ms; t += 100) {
      clock.AdvanceMs(100);
      scheduler.Tick();
    }
    for (const Message& m : bus.Take(main)) {
      EXPECT_EQ(m.message, kCommandMessage);
      codes.push_back(m.wparam);
    }
    return codes;
  }
};

TEST_F(SchedulerTest, PostsOnceAfterTheDelayWithItsArgument) {
  scheduler.Schedule(300, 6, 0x1234);
  clock.AdvanceMs(300);
  EXPECT_FALSE(scheduler.Tick());  // exactly the delay is not yet past it
  clock.AdvanceMs(1);
  EXPECT_TRUE(scheduler.Tick());
  EXPECT_EQ(bus.Take(main), (std::vector<Message>{{main, kCommandMessage, 6, 0x1234}}));
  EXPECT_FALSE(scheduler.pending());
  EXPECT_TRUE(RunFor(1000).empty());
}

TEST_F(SchedulerTest, LaterRequestReplacesThePendingOne) {
  scheduler.Schedule(300, 6, 0);
  clock.AdvanceMs(100);
  scheduler.Schedule(0, 15, 0);
  EXPECT_EQ(RunFor(1000), std::vector<uint32_t>{15});
}

TEST_F(SchedulerTest, DelayZeroIsPostedOnTheNextTick) {
  scheduler.Schedule(0, 107, 0);
  EXPECT_FALSE(scheduler.Tick());  // the same moment
  EXPECT_EQ(RunFor(100), std::vector<uint32_t>{107});
}

TEST_F(SchedulerTest, TickCounterWrapAndSignBoundaryAndZero) {
  // Start ticks just before 2^32, just before 2^31 and 0 itself (a start of
  // 0 is an ordinary moment, not an empty slot).
  for (uint32_t start : {0xFFFFFFC0u, 0x7FFFFFC0u, 0u, 0x80000000u}) {
    SCOPED_TRACE(start);
    clock.SetTick(start);
    scheduler.Schedule(1000, 101, 0);
    EXPECT_TRUE(RunFor(900).empty());
    EXPECT_EQ(RunFor(200), std::vector<uint32_t>{101});
  }
}

TEST_F(SchedulerTest, LongUnservicedSlotIsStillPosted) {
  // A timer that did not run for more than 2^31 ms still posts.
  clock.SetTick(5);
  scheduler.Schedule(500, 12, 0);
  clock.SetTick(5 + 0x80000100u);
  EXPECT_TRUE(scheduler.Tick());
}

}  // namespace
}  // namespace quill
