#include "platform/message_bus.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <vector>

#include "platform/headless/in_process_bus.h"
#include "platform/headless/temp_dir.h"

namespace quill {
namespace {

TEST(SocketMessageBusTest, DeliversInOrderToTheWindowsSocket) {
  TempDir dir;
  std::unique_ptr<MessageReceiver> r;
  ASSERT_TRUE(MessageReceiver::Open(dir.Path(), 0x80000101, &r).ok());
  EXPECT_FALSE(r->Poll(0));

  SocketMessageBus bus(dir.Path());
  EXPECT_TRUE(bus.PostMessage(0x80000101, 0x471, 110, 0));
  EXPECT_TRUE(bus.PostMessage(0x80000101, 0x471, 104, -65536 * 3 - 2));  // signed lParam
  EXPECT_TRUE(bus.PostMessage(0x80000101, 0x57E, 1, 0x204));
  ASSERT_TRUE(r->Poll(10000));
  std::vector<Message> got;
  Message m;
  while (r->Receive(&m)) got.push_back(m);
  EXPECT_EQ(got, (std::vector<Message>{{0x80000101, 0x471, 110, 0},
                                       {0x80000101, 0x471, 104, -65536 * 3 - 2},
                                       {0x80000101, 0x57E, 1, 0x204}}));
}

TEST(SocketMessageBusTest, MessagesToMissingOrGoneWindowsAreDropped) {
  TempDir dir;
  SocketMessageBus bus(dir.Path());
  EXPECT_FALSE(bus.PostMessage(0, 0x471, 2, 0));
  EXPECT_FALSE(bus.PostMessage(0x01200007, 0x471, 2, 0));  // a foreign X window
  std::string path;
  {
    std::unique_ptr<MessageReceiver> r;
    ASSERT_TRUE(MessageReceiver::Open(dir.Path(), 0x80000102, &r).ok());
    path = WindowSocketPath(dir.Path(), 0x80000102);
    EXPECT_TRUE(std::filesystem::exists(path));
  }
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_FALSE(bus.PostMessage(0x80000102, 0x471, 2, 0));
}

TEST(SocketMessageBusTest, AFullQueueDropsInsteadOfBlocking) {
  TempDir dir;
  std::unique_ptr<MessageReceiver> r;
  ASSERT_TRUE(MessageReceiver::Open(dir.Path(), 0x80000103, &r).ok());
  SocketMessageBus bus(dir.Path());
  int queued = 0;
  for (int i = 0; i < 100000 && bus.PostMessage(0x80000103, 0x471, 16, i); ++i) ++queued;
  ASSERT_LT(queued, 100000);  // the queue filled up and the post returned
  Message m;
  ASSERT_TRUE(r->Receive(&m));
  EXPECT_EQ(m.lparam, 0);
  EXPECT_TRUE(bus.PostMessage(0x80000103, 0x471, 16, -1));  // room again
}

TEST(SocketMessageBusTest, SocketNamesAreReplacedOnlyWhenTheirOwnerIsGone) {
  TempDir dir;
  const WindowHandle w = 0x80000104;
  // A socket file left by a process that ended without removing it.
  {
    int fd = ::socket(AF_UNIX, SOCK_DGRAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::string path = WindowSocketPath(dir.Path(), w);
    std::strcpy(addr.sun_path, path.c_str());
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)), 0);
    ::close(fd);
  }
  std::unique_ptr<MessageReceiver> r;
  ASSERT_TRUE(MessageReceiver::Open(dir.Path(), w, &r).ok());
  std::unique_ptr<MessageReceiver> twin;
  EXPECT_EQ(MessageReceiver::Open(dir.Path(), w, &twin).code(), Status::kDuplicate);
  // The refused twin did not take the live window's socket away.
  SocketMessageBus bus(dir.Path());
  EXPECT_TRUE(bus.PostMessage(w, 0x471, 7, 0));
  EXPECT_TRUE(r->Poll(10000));

  // The name taken over by a newer receiver of the window (the old file
  // gone from under the old one): the old receiver leaves it alone.
  ASSERT_EQ(::unlink(WindowSocketPath(dir.Path(), w).c_str()), 0);
  std::unique_ptr<MessageReceiver> newer;
  ASSERT_TRUE(MessageReceiver::Open(dir.Path(), w, &newer).ok());
  r.reset();
  ASSERT_TRUE(bus.PostMessage(w, 0x471, 8, 0));
  ASSERT_TRUE(newer->Poll(10000));
  Message m;
  ASSERT_TRUE(newer->Receive(&m));
  EXPECT_EQ(m.wparam, 8u);
}

TEST(SocketMessageBusTest, MalformedDatagramsAreSkipped) {
  TempDir dir;
  std::unique_ptr<MessageReceiver> r;
  ASSERT_TRUE(MessageReceiver::Open(dir.Path(), 0x80000105, &r).ok());
  int fd = ::socket(AF_UNIX, SOCK_DGRAM, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::strcpy(addr.sun_path, WindowSocketPath(dir.Path(), 0x80000105).c_str());
  const char junk[] = "XXXXXXXXXXXXXXXX";  // 16 bytes, wrong magic
  ::sendto(fd, "abc", 3, 0, reinterpret_cast<sockaddr*>(&addr), sizeof(addr));
  ::sendto(fd, junk, 16, 0, reinterpret_cast<sockaddr*>(&addr), sizeof(addr));
  ::close(fd);
  SocketMessageBus(dir.Path()).PostMessage(0x80000105, 0x472, 5, 42);
  Message m;
  ASSERT_TRUE(r->Poll(10000));
  ASSERT_TRUE(r->Receive(&m));
  EXPECT_EQ(m, (Message{0x80000105, 0x472, 5, 42}));
  EXPECT_FALSE(r->Receive(&m));
}

TEST(SocketMessageBusTest, AllocatedHandlesCannotBeXWindowIds) {
  WindowHandle a = AllocateWindowHandle(), b = AllocateWindowHandle();
  EXPECT_NE(a, b);
  EXPECT_NE(a & 0x80000000u, 0u);  // X ids keep their top three bits zero
  EXPECT_NE(b & 0x80000000u, 0u);
}

TEST(InProcessBusTest, PumpsInPostingOrderAcrossWindows) {
  InProcessBus bus;
  std::vector<std::pair<WindowHandle, uint32_t>> log;
  WindowHandle a = 0, b = 0;
  a = bus.CreateWindow([&](const Message& m) {
    log.push_back({a, m.wparam});
    if (m.wparam == 1) bus.PostMessage(b, 0x471, 3, 0);  // handlers may post more
  });
  b = bus.CreateWindow([&](const Message& m) { log.push_back({b, m.wparam}); });
  const WindowHandle bar = 0x00400001;
  bus.AddWindow(bar);  // collects only

  EXPECT_TRUE(bus.PostMessage(a, 0x471, 1, 0));
  EXPECT_TRUE(bus.PostMessage(bar, 0x471, 16, 0));
  EXPECT_TRUE(bus.PostMessage(b, 0x471, 2, 0));
  EXPECT_FALSE(bus.PostMessage(0x12345, 0x471, 9, 0));  // no such window
  EXPECT_TRUE(log.empty());  // nothing before a pump
  EXPECT_EQ(bus.PumpAll(), 3u);
  EXPECT_EQ(log, (std::vector<std::pair<WindowHandle, uint32_t>>{{a, 1}, {b, 2}, {b, 3}}));
  EXPECT_EQ(bus.Take(bar), (std::vector<Message>{{bar, 0x471, 16, 0}}));
  EXPECT_EQ(bus.Pending(), 0u);

  bus.PostMessage(b, 0x471, 4, 0);
  bus.DestroyWindow(b);
  EXPECT_EQ(bus.PumpAll(), 0u);
  EXPECT_FALSE(bus.PostMessage(b, 0x471, 5, 0));
}

TEST(InProcessBusTest, PumpUntilLetsFakeTimePass) {
  FakeClock clock;
  InProcessBus bus(&clock);
  const uint32_t start = clock.TickCount();
  EXPECT_TRUE(bus.PumpUntil([&] { return clock.TickCount() - start >= 250; }, 1000));
  EXPECT_EQ(clock.TickCount() - start, 250u);
  EXPECT_FALSE(bus.PumpUntil([] { return false; }, 300));
  EXPECT_EQ(clock.TickCount() - start, 550u);
}

}  // namespace
}  // namespace quill
