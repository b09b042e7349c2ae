#include "main/single_instance.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "platform/headless/in_process_bus.h"
#include "platform/headless/temp_dir.h"

namespace quill {
namespace {

const std::string kA = "\x82\xA0";  // あ, a double-byte character

std::string Repeat(std::string_view s, int n) {
  std::string r;
  for (int i = 0; i < n; ++i) r += s;
  return r;
}

TEST(WalkArgumentsTest, LastNameWinsAndROnlySetsTheFlag) {
  struct Case {
    std::vector<std::string> args;
    std::string start_argument;
    bool no_reset_prompt;
  } cases[] = {
      {{}, "", false},  // no name: empty, never the program's own path
      {{"R"}, "", true},
      {{"x", "y"}, "y", false},
      {{"R", "x"}, "x", true},
      {{"x", "r"}, "x", true},
      {{"RR"}, "RR", false},
      {{"x", ""}, "", false},
  };
  for (const Case& c : cases) {
    StartArguments a = WalkArguments(c.args);
    EXPECT_EQ(a.start_argument, c.start_argument);
    EXPECT_EQ(a.no_reset_prompt, c.no_reset_prompt);
  }
}

// A child process with pipes to its standard input, output and error.
struct Child {
  pid_t pid = -1;
  int in = -1, out = -1, err = -1;
};

Child Spawn(const std::vector<std::string>& args,
            const std::vector<std::pair<std::string, std::string>>& env) {
  int in[2], out[2], err[2];
  if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0 ||
      ::pipe2(err, O_CLOEXEC) != 0) {
    std::abort();
  }
  pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(in[0], 0);
    ::dup2(out[1], 1);
    ::dup2(err[1], 2);
    for (const auto& [k, v] : env) ::setenv(k.c_str(), v.c_str(), 1);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(in[0]);
  ::close(out[1]);
  ::close(err[1]);
  return Child{pid, in[1], out[0], err[0]};
}

// Reads until a newline or the end; gives up after 30 s so that a broken
// child fails the test instead of hanging it.
std::string ReadLine(int fd) {
  std::string line;
  char c;
  pollfd p{fd, POLLIN, 0};
  while (::poll(&p, 1, 30000) > 0 && ::read(fd, &c, 1) == 1 && c != '\n') line += c;
  return line;
}

std::string ReadAll(int fd) {
  std::string all;
  char buf[256];
  ssize_t n;
  while ((n = ::read(fd, buf, sizeof(buf))) > 0) all.append(buf, static_cast<size_t>(n));
  return all;
}

// Exit code, or -signal when the child was killed.
int Wait(Child& c) {
  int status = 0;
  ::waitpid(c.pid, &status, 0);
  ::close(c.in);
  ::close(c.out);
  ::close(c.err);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

class SingleInstanceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static std::atomic<int> counter{0};
    names_.block_name = "/didevar-test-" + std::to_string(::getpid()) + "-" +
                        std::to_string(counter.fetch_add(1));
    names_.runtime_folder = dir_.Path() + "/quillbox";
    ASSERT_TRUE(EnsurePrivateFolder(names_.runtime_folder).ok());
  }
  void TearDown() override { SharedMemory::Unlink(names_.block_name); }

  // The probe finds the same block and run-time folder through the
  // variables that quillmain reads.
  Child SpawnProbe(const std::vector<std::string>& args,
                   std::vector<std::pair<std::string, std::string>> env = {}) {
    std::vector<std::string> argv = {QUILL_INSTANCE_PROBE};
    argv.insert(argv.end(), args.begin(), args.end());
    env.insert(env.begin(), {{"QUILLBOX_BLOCK_NAME", names_.block_name},
                             {"XDG_RUNTIME_DIR", dir_.Path()}});
    return Spawn(argv, env);
  }

  bool BlockExists() {
    std::unique_ptr<SharedMemory> m;
    return SharedMemory::Open(names_.block_name, kSharedHookBlockSize, &m).ok();
  }

  TempDir dir_;
  InstanceNames names_;
  InProcessBus bus_;
};

TEST_F(SingleInstanceTest, FirstStartOwnsAFreshBlockThatACleanExitRemoves) {
  InstanceStart start;
  ASSERT_TRUE(StartSingleInstance(names_, "x", bus_, &start).ok());
  ASSERT_TRUE(start.owner);
  std::span<uint8_t, kSharedHookBlockSize> bytes = start.owner->Block().bytes();
  EXPECT_TRUE(std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == 0; }));
  EXPECT_TRUE(BlockExists());

  ASSERT_TRUE(start.owner->Release().ok());
  std::unique_ptr<SharedMemory> m;
  EXPECT_TRUE(SharedMemory::Open(names_.block_name, kSharedHookBlockSize, &m).IsNotFound());

  InstanceStart again;
  ASSERT_TRUE(StartSingleInstance(names_, "", bus_, &again).ok());
  EXPECT_TRUE(again.owner);
}

TEST_F(SingleInstanceTest, SecondStartHandsItsArgumentOverAndExitsZero) {
  InstanceStart first;
  ASSERT_TRUE(StartSingleInstance(names_, "", bus_, &first).ok());
  ASSERT_TRUE(first.owner);
  SharedHookBlock block = first.owner->Block();
  const WindowHandle main_window = bus_.CreateWindow();
  block.SetMainWindow(main_window);

  struct Case {
    const char* what;
    std::string argument;
    std::string handed_over;
  } cases[] = {
      {"a name", "data2", "data2"},
      {"no name hands over an empty text", "", ""},
      {"exactly 79 bytes", std::string(79, 'n'), std::string(79, 'n')},
      {"100 CP932 bytes, cut before a split character", Repeat(kA, 50), Repeat(kA, 39)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    block.SetSaveHint("一発登録フォルダ指定");
    InstanceStart second;
    ASSERT_TRUE(StartSingleInstance(names_, c.argument, bus_, &second).ok());
    EXPECT_FALSE(second.owner);
    EXPECT_EQ(second.exit_code, 0);
    EXPECT_EQ(block.SaveHint(), c.handed_over);
    EXPECT_EQ(bus_.Take(main_window),
              (std::vector<Message>{{main_window, 0x471, 110, 0}}));
  }

  // A running instance that cannot take the message changes nothing: the
  // second start still ends with 0.
  bus_.DestroyWindow(main_window);
  InstanceStart second;
  ASSERT_TRUE(StartSingleInstance(names_, "y", bus_, &second).ok());
  EXPECT_FALSE(second.owner);
  EXPECT_EQ(second.exit_code, 0);
}

TEST_F(SingleInstanceTest, TwoProcessesHandOverThroughTheBlockAndASocket) {
  InstanceStart first;
  ASSERT_TRUE(StartSingleInstance(names_, "", bus_, &first).ok());
  ASSERT_TRUE(first.owner);
  SharedHookBlock block = first.owner->Block();
  std::unique_ptr<MessageReceiver> receiver;
  ASSERT_TRUE(MessageReceiver::Open(names_.runtime_folder, AllocateWindowHandle(), &receiver).ok());
  block.SetMainWindow(receiver->window());
  block.SetSaveHint(std::string(79, 'o'));
  std::span<uint8_t, kSharedHookBlockSize> bytes = block.bytes();
  for (size_t i = 0xFC; i < kSharedHookBlockSize; ++i) bytes[i] = static_cast<uint8_t>(i * 7);
  std::vector<uint8_t> before(bytes.begin(), bytes.end());

  Child second = SpawnProbe({Repeat(kA, 50)});  // 100 bytes of CP932
  std::string errors = ReadAll(second.err);
  EXPECT_EQ(Wait(second), 0) << errors;

  ASSERT_TRUE(receiver->Poll(30000));
  Message m;
  ASSERT_TRUE(receiver->Receive(&m));
  EXPECT_EQ(m, (Message{receiver->window(), 0x471, 110, 0}));
  EXPECT_FALSE(receiver->Receive(&m));

  EXPECT_EQ(block.SaveHint(), Repeat(kA, 39));  // 78 bytes, no half character
  for (size_t i = 0; i < kSharedHookBlockSize; ++i) {
    if (i >= 0xAC && i < 0xAC + 80) continue;  // the hand-over field
    ASSERT_EQ(bytes[i], before[i]) << "byte 0x" << std::hex << i;
  }
  for (size_t i = 78; i < 80; ++i) EXPECT_EQ(bytes[0xAC + i], 0);
}

TEST_F(SingleInstanceTest, AfterTheOwnerIsKilledTheNextStartBecomesOwner) {
  Child owner = SpawnProbe({}, {{"PROBE_MAIN_WINDOW", "80000abc"}});
  ASSERT_EQ(ReadLine(owner.out), "owner");

  // While it runs, a start here is a second instance.
  InstanceStart second;
  ASSERT_TRUE(StartSingleInstance(names_, "z", bus_, &second).ok());
  EXPECT_FALSE(second.owner);
  {
    std::unique_ptr<SharedMemory> m;
    ASSERT_TRUE(SharedMemory::Open(names_.block_name, kSharedHookBlockSize, &m).ok());
    SharedHookBlock stale(std::span<uint8_t, kSharedHookBlockSize>(m->data(), kSharedHookBlockSize));
    EXPECT_EQ(stale.MainWindow(), 0x80000abcu);
    EXPECT_EQ(stale.SaveHint(), "z");
  }

  ::kill(owner.pid, SIGKILL);
  EXPECT_EQ(Wait(owner), -SIGKILL);
  EXPECT_TRUE(BlockExists());  // left behind, but not obeyed:

  InstanceStart next;
  ASSERT_TRUE(StartSingleInstance(names_, "", bus_, &next).ok());
  ASSERT_TRUE(next.owner);
  std::span<uint8_t, kSharedHookBlockSize> bytes = next.owner->Block().bytes();
  EXPECT_TRUE(std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == 0; }));
}

TEST_F(SingleInstanceTest, CleanExitOfARunningOwnerRemovesTheBlock) {
  Child owner = SpawnProbe({});
  ASSERT_EQ(ReadLine(owner.out), "owner");
  EXPECT_TRUE(BlockExists());
  ::close(owner.in);
  owner.in = ::open("/dev/null", O_RDONLY);  // Wait closes it
  EXPECT_EQ(Wait(owner), 0);
  EXPECT_FALSE(BlockExists());
}

TEST_F(SingleInstanceTest, NoUsableBlockIsAnErrorNotARunWithoutOne) {
  // The name cannot be created.
  InstanceNames bad = names_;
  bad.block_name = "no-slash";
  InstanceStart start;
  Status s = StartSingleInstance(bad, "", bus_, &start);
  EXPECT_FALSE(s.ok());
  EXPECT_FALSE(start.owner);
  EXPECT_NE(start.exit_code, 0);

  // Another process holds the lock and its block is too small: nothing is
  // written beyond it.
  std::unique_ptr<InstanceLock> lock;
  ASSERT_TRUE(InstanceLock::TryAcquire(InstanceLockPath(names_.runtime_folder), &lock).ok());
  ASSERT_TRUE(lock);
  std::unique_ptr<SharedMemory> small;
  ASSERT_TRUE(SharedMemory::Create(names_.block_name, 100, &small).ok());
  s = StartSingleInstance(names_, "x", bus_, &start);
  EXPECT_EQ(s.code(), Status::kCorrupt) << s.ToString();
  EXPECT_FALSE(start.owner);

  // ... and when it offers no block at all.
  small.reset();
  ASSERT_TRUE(SharedMemory::Unlink(names_.block_name).ok());
  s = StartSingleInstance(names_, "x", bus_, &start);
  EXPECT_FALSE(s.ok());
  EXPECT_FALSE(start.owner);
  EXPECT_FALSE(BlockExists());
  lock.reset();

  // A real start says why and ends with a non-zero code.
  Child probe = SpawnProbe({}, {{"QUILLBOX_BLOCK_NAME", "/bad/name"}});
  std::string errors = ReadAll(probe.err);
  EXPECT_EQ(Wait(probe), kStartFailedExitCode);
  EXPECT_NE(errors.find("/bad/name"), std::string::npos) << errors;
}

}  // namespace
}  // namespace quill
