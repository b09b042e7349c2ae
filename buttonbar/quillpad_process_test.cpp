// quillpad as a process (offscreen): one bar at a time, a new one after
// the first was killed, and command 9 ending it.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QProcess>
#include <QTest>
#include <memory>
#include <span>
#include <string>

#include "platform/headless/temp_dir.h"
#include "platform/message_bus.h"
#include "platform/protocol/shared_hook_block.h"
#include "platform/shared_memory.h"

namespace quill {
namespace {

class QuillpadProcessTest : public ::testing::Test {
 protected:
  QuillpadProcessTest() : block_name_("/quillpad-test-" + std::to_string(::getpid())) {
    static int argc = 1;
    static char name[] = "quillpadtest";
    static char* argv[] = {name, nullptr};
    if (QCoreApplication::instance() == nullptr) new QCoreApplication(argc, argv);
    ::mkdir(dir_.File("run").c_str(), 0700);
    env_ = QProcessEnvironment::systemEnvironment();
    env_.insert("XDG_RUNTIME_DIR", QString::fromStdString(dir_.File("run")));
    env_.insert("QUILLBOX_BLOCK_NAME", QString::fromStdString(block_name_));
    env_.insert("QT_QPA_PLATFORM", "offscreen");
  }
  ~QuillpadProcessTest() override { SharedMemory::Unlink(block_name_); }

  std::unique_ptr<QProcess> StartBar() {
    auto bar = std::make_unique<QProcess>();
    bar->setProcessEnvironment(env_);
    bar->setProcessChannelMode(QProcess::ForwardedChannels);
    bar->start(QUILLPAD_PATH, {});
    EXPECT_TRUE(bar->waitForStarted(10000));
    return bar;
  }

  TempDir dir_;
  std::string block_name_;
  QProcessEnvironment env_;
};

TEST_F(QuillpadProcessTest, OneBarAtATimeAndANewOneAfterAKill) {
  std::unique_ptr<SharedMemory> memory;
  ASSERT_TRUE(SharedMemory::Create(block_name_, kSharedHookBlockSize, &memory).ok());
  SharedHookBlock block(std::span<uint8_t, kSharedHookBlockSize>(memory->data(),
                                                                 kSharedHookBlockSize));
  SocketMessageBus bus(dir_.File("run/quillbox"));

  std::unique_ptr<QProcess> first = StartBar();
  ASSERT_TRUE(QTest::qWaitFor([&] { return block.BarWindow() != 0; }, 10000));
  const uint32_t first_window = block.BarWindow();

  // A second bar ends at once, successfully, and leaves the first alone.
  std::unique_ptr<QProcess> second = StartBar();
  ASSERT_TRUE(second->waitForFinished(10000));
  EXPECT_EQ(second->exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(second->exitCode(), 0);
  EXPECT_EQ(block.BarWindow(), first_window);
  EXPECT_EQ(first->state(), QProcess::Running);

  // Killed, the first leaves its handle in the block; a message to it is
  // dropped, which is how quillmain's tray item knows to start a new bar.
  ::kill(static_cast<pid_t>(first->processId()), SIGKILL);
  ASSERT_TRUE(first->waitForFinished(10000));
  EXPECT_EQ(block.BarWindow(), first_window);
  EXPECT_FALSE(bus.PostMessage(first_window, kCommandMessage, 9, 0));

  std::unique_ptr<QProcess> third = StartBar();
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return block.BarWindow() != 0 && block.BarWindow() != first_window; }, 10000));
  const uint32_t third_window = block.BarWindow();

  // Command 9 ends it, and BarWindow goes back to 0.
  EXPECT_TRUE(bus.PostMessage(third_window, kCommandMessage, 9, 0));
  ASSERT_TRUE(third->waitForFinished(10000));
  EXPECT_EQ(third->exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(third->exitCode(), 0);
  EXPECT_EQ(block.BarWindow(), 0u);
}

TEST_F(QuillpadProcessTest, WithoutTheBlockTheBarDoesNotStay) {
  std::unique_ptr<QProcess> bar = StartBar();
  ASSERT_TRUE(bar->waitForFinished(10000));
  EXPECT_EQ(bar->exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(bar->exitCode(), 0);
}

}  // namespace
}  // namespace quill
