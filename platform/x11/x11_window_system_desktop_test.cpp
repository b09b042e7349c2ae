// X11WindowSystem against real X clients (xterm and mousepad, started as
// processes) under a window manager: what it reports about their windows,
// activating them, and windows that have gone away.
#include "platform/x11/x11_window_system.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/headless/temp_dir.h"
#include "platform/text_codec.h"

// Xlib last: its macros (Status, Bool, None) clash with other headers.
#include <X11/Xlib.h>

extern char** environ;

namespace quill {
namespace {

using Clock = std::chrono::steady_clock;

struct RunResult {
  int status = -1;  // exit code, -1 when it did not end normally
  std::string out;
};

// Starts argv[0] (looked up in PATH) with `env` added to our environment;
// stdout goes to `out_fd` when it is not -1, stderr to `err_path`.
pid_t Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env,
            int out_fd, const std::string& err_path) {
  // The added variables come first: of equal names, the first wins.
  std::vector<std::string> env_strings = env;
  for (char** e = environ; *e != nullptr; ++e) env_strings.emplace_back(*e);
  std::vector<char*> envp, args;
  for (std::string& s : env_strings) envp.push_back(s.data());
  envp.push_back(nullptr);
  std::vector<std::string> argv_copy = argv;
  for (std::string& s : argv_copy) args.push_back(s.data());
  args.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  if (out_fd != -1) {
    posix_spawn_file_actions_adddup2(&actions, out_fd, 1);
  } else {
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  }
  posix_spawn_file_actions_addopen(&actions, 2, err_path.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                   0600);
  pid_t pid = -1;
  if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), envp.data()) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

// Runs a short tool to its end and returns its output.
RunResult RunTool(const std::vector<std::string>& argv) {
  RunResult result;
  int fds[2];
  if (::pipe(fds) != 0) return result;
  pid_t pid = Spawn(argv, {}, fds[1], "/dev/null");
  ::close(fds[1]);
  char buf[4096];
  for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) > 0;) result.out.append(buf, size_t(n));
  ::close(fds[0]);
  int status = 0;
  if (pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status)) {
    result.status = WEXITSTATUS(status);
  }
  return result;
}

bool WaitFor(const std::function<bool()>& done, int ms) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
  for (;;) {
    if (done()) return true;
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

// A client started for the test, killed when the guard goes away.
class Client {
 public:
  Client(const std::vector<std::string>& argv, const std::vector<std::string>& env,
         const std::string& log)
      : pid_(Spawn(argv, env, -1, log)) {}
  ~Client() { Kill(); }
  Client(const Client&) = delete;
  Client& operator=(const Client&) = delete;

  pid_t pid() const { return pid_; }
  void Kill() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

  // Waits for the client's visible top-level window; 0 when none came.
  WindowHandle WaitForWindow() {
    WindowHandle window = 0;
    WaitFor(
        [&] {
          RunResult r = RunTool({"xdotool", "search", "--onlyvisible", "--pid", std::to_string(pid_)});
          window = r.status == 0 ? static_cast<WindowHandle>(std::strtoul(r.out.c_str(), nullptr, 10))
                                 : 0;
          return window != 0;
        },
        20000);
    return window;
  }

 private:
  pid_t pid_;
};

// _NET_ACTIVE_WINDOW as xprop reports it, 0 when it cannot tell.
WindowHandle ActiveByXprop() {
  RunResult r = RunTool({"xprop", "-root", "_NET_ACTIVE_WINDOW"});
  size_t hash = r.out.find('#');
  return hash == std::string::npos
             ? 0
             : static_cast<WindowHandle>(std::strtoul(r.out.c_str() + hash + 1, nullptr, 16));
}

std::string Hex(WindowHandle w) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%x", static_cast<unsigned>(w));
  return buf;
}

bool WindowExists(WindowHandle w) { return RunTool({"xwininfo", "-id", Hex(w)}).status == 0; }

class X11WindowSystemTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (std::getenv("DISPLAY") == nullptr) return;
    dir_ = new TempDir;
    const std::string home = dir_->Path();
    // An editor with a Japanese file name in its title, kept away from the
    // user's files and from the session bus.
    std::ofstream(dir_->File("メモ.txt")) << "quill\n";
    const std::vector<std::string> env = {
        "HOME=" + home,
        "XDG_CONFIG_HOME=" + home + "/config",
        "XDG_DATA_HOME=" + home + "/data",
        "XDG_CACHE_HOME=" + home + "/cache",
        "GSETTINGS_BACKEND=memory",
        "NO_AT_BRIDGE=1",
    };
    xterm_ = new Client({"xterm", "-T", "quill-term"}, env, dir_->File("xterm.log"));
    mousepad_ = new Client({"mousepad", "--disable-server", dir_->File("メモ.txt")}, env,
                           dir_->File("mousepad.log"));
  }
  static void TearDownTestSuite() {
    delete xterm_;
    delete mousepad_;
    delete dir_;
    xterm_ = mousepad_ = nullptr;
    dir_ = nullptr;
  }

  void SetUp() override {
    if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "needs an X display";
    windows_ = X11WindowSystem::Open();
    ASSERT_NE(windows_, nullptr);
    display_ = XOpenDisplay(nullptr);
    ASSERT_NE(display_, nullptr);
    term_ = xterm_->WaitForWindow();
    pad_ = mousepad_->WaitForWindow();
    ASSERT_NE(term_, 0u) << "xterm showed no window";
    ASSERT_NE(pad_, 0u) << "mousepad showed no window";
  }
  void TearDown() override {
    if (display_ != nullptr) XCloseDisplay(display_);
  }

  // The parent and children of a window, read independently of the code
  // under test.
  ::Window ParentOf(WindowHandle w, std::vector<::Window>* children = nullptr) {
    ::Window root = 0, parent = 0, *list = nullptr;
    unsigned int count = 0;
    if (XQueryTree(display_, w, &root, &parent, &list, &count) == 0) return 0;
    if (children != nullptr) children->assign(list, list + count);
    if (list != nullptr) XFree(list);
    return parent;
  }

  static TempDir* dir_;
  static Client* xterm_;
  static Client* mousepad_;
  std::unique_ptr<X11WindowSystem> windows_;
  Display* display_ = nullptr;
  WindowHandle term_ = 0;
  WindowHandle pad_ = 0;
};

TempDir* X11WindowSystemTest::dir_ = nullptr;
Client* X11WindowSystemTest::xterm_ = nullptr;
Client* X11WindowSystemTest::mousepad_ = nullptr;

TEST_F(X11WindowSystemTest, DescribesRealWindows) {
  EXPECT_EQ(windows_->ClassName(term_), "XTerm");
  EXPECT_EQ(windows_->ClassName(pad_), "Mousepad");
  EXPECT_EQ(windows_->Title(term_), "quill-term");
  EXPECT_NE(windows_->Title(pad_).find(Utf8ToCp932("メモ.txt")), std::string::npos)
      << windows_->Title(pad_);
  EXPECT_EQ(windows_->ActiveWindow(), ActiveByXprop());

  // Without _NET_WM_NAME the title comes from WM_NAME, which this client
  // stores as COMPOUND_TEXT.
  ASSERT_EQ(RunTool({"xprop", "-id", Hex(pad_), "-remove", "_NET_WM_NAME"}).status, 0);
  EXPECT_NE(windows_->Title(pad_).find(Utf8ToCp932("メモ.txt")), std::string::npos)
      << windows_->Title(pad_);

  for (WindowHandle w : {term_, pad_}) {
    SCOPED_TRACE(Hex(w));
    EXPECT_TRUE(windows_->IsVisible(w));
    EXPECT_FALSE(windows_->IsShellWindow(w));
    EXPECT_EQ(windows_->TopLevel(w), w);
    EXPECT_EQ(windows_->Parent(w), 0u);
    // The window manager's frame around the client: the frame window's
    // own rectangle, and the frame leads back to the client.
    const ::Window frame = ParentOf(w);
    ::Window root = 0;
    int x = 0, y = 0;
    unsigned int width = 0, height = 0, border = 0, depth = 0;
    ASSERT_NE(XGetGeometry(display_, frame, &root, &x, &y, &width, &height, &border, &depth), 0);
    ASSERT_EQ(ParentOf(frame), root) << "the client is not framed";
    WindowRect rect;
    ASSERT_TRUE(windows_->Frame(w, &rect));
    EXPECT_EQ(rect, (WindowRect{x, y, x + int(width + 2 * border), y + int(height + 2 * border)}));
    EXPECT_EQ(windows_->TopLevel(static_cast<WindowHandle>(frame)), w);
  }

  // xterm's text area is an inner window of its own.
  std::vector<::Window> inner;
  ParentOf(term_, &inner);
  ASSERT_FALSE(inner.empty());
  const WindowHandle text_area = static_cast<WindowHandle>(inner[0]);
  EXPECT_EQ(windows_->Parent(text_area), term_);
  EXPECT_EQ(windows_->TopLevel(text_area), term_);

  const WindowHandle root = static_cast<WindowHandle>(DefaultRootWindow(display_));
  EXPECT_TRUE(windows_->IsShellWindow(root));
  // The window manager's task bar is a dock.
  std::vector<::Window> top;
  ParentOf(root, &top);
  int docks = 0;
  for (::Window w : top) {
    if (RunTool({"xprop", "-id", Hex(w), "_NET_WM_WINDOW_TYPE"}).out.find("_DOCK") ==
        std::string::npos) {
      continue;
    }
    ++docks;
    EXPECT_TRUE(windows_->IsShellWindow(static_cast<WindowHandle>(w))) << Hex(w);
  }
  EXPECT_GT(docks, 0) << "the window manager shows no task bar";
  EXPECT_EQ(windows_->Parent(root), 0u);
  EXPECT_EQ(windows_->ScreenSize(), (PixelSize{DisplayWidth(display_, DefaultScreen(display_)),
                                               DisplayHeight(display_, DefaultScreen(display_))}));
  ASSERT_EQ(RunTool({"xdotool", "mousemove", "100", "200"}).status, 0);
  EXPECT_EQ(windows_->CursorPos(), (ScreenPoint{100, 200}));
}

TEST_F(X11WindowSystemTest, ActivatesWindowsOfOtherApplications) {
  // An inner window brings its top-level window forward.
  std::vector<::Window> inner;
  ParentOf(term_, &inner);
  ASSERT_FALSE(inner.empty());
  EXPECT_TRUE(windows_->Activate(static_cast<WindowHandle>(inner[0])));
  EXPECT_EQ(ActiveByXprop(), term_);

  const auto start = Clock::now();
  EXPECT_TRUE(windows_->Activate(pad_));
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(1100));
  EXPECT_EQ(ActiveByXprop(), pad_);
  EXPECT_EQ(windows_->ActiveWindow(), pad_);
  EXPECT_TRUE(windows_->Activate(pad_));  // already in front

  // Hidden, it leaves the screen; shown, it comes back in front.
  windows_->ShowWindow(pad_, ShowCommand::kHide);
  EXPECT_TRUE(WaitFor([&] { return !windows_->IsVisible(pad_); }, 5000));
  windows_->ShowWindow(pad_, ShowCommand::kShow);
  EXPECT_TRUE(WaitFor([&] { return windows_->IsVisible(pad_) && ActiveByXprop() == pad_; }, 5000));

  auto above = [&] {
    return RunTool({"xprop", "-id", Hex(pad_), "_NET_WM_STATE"}).out.find("_NET_WM_STATE_ABOVE") !=
           std::string::npos;
  };
  EXPECT_TRUE(windows_->SetRaiseAbove(pad_, true));
  EXPECT_TRUE(WaitFor(above, 5000));
  EXPECT_TRUE(windows_->SetRaiseAbove(pad_, false));
  EXPECT_TRUE(WaitFor([&] { return !above(); }, 5000));
}

TEST_F(X11WindowSystemTest, WindowThatIsGoneFailsWithoutHanging) {
  Client doomed({"xterm", "-T", "doomed"}, {}, dir_->File("doomed.log"));
  const WindowHandle gone = doomed.WaitForWindow();
  ASSERT_NE(gone, 0u);
  doomed.Kill();
  ASSERT_TRUE(WaitFor([&] { return !WindowExists(gone); }, 10000));

  const auto start = Clock::now();
  EXPECT_EQ(windows_->ClassName(gone), "");
  EXPECT_EQ(windows_->Title(gone), "");
  EXPECT_FALSE(windows_->IsVisible(gone));
  EXPECT_FALSE(windows_->IsShellWindow(gone));
  EXPECT_EQ(windows_->Parent(gone), 0u);
  EXPECT_EQ(windows_->TopLevel(gone), 0u);
  WindowRect rect;
  EXPECT_FALSE(windows_->Frame(gone, &rect));
  EXPECT_FALSE(windows_->Activate(gone));
  EXPECT_FALSE(windows_->SetRaiseAbove(gone, true));
  windows_->ShowWindow(gone, ShowCommand::kShow);
  windows_->ShowWindow(gone, ShowCommand::kHide);
  windows_->BringToTop(gone);
  windows_->SetForegroundWindow(gone);
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(500));

  // The connection is still good for the living.
  EXPECT_EQ(windows_->ClassName(term_), "XTerm");
  EXPECT_TRUE(windows_->Activate(term_));
  EXPECT_EQ(ActiveByXprop(), term_);
}

}  // namespace
}  // namespace quill
