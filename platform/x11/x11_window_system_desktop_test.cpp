// X11WindowSystem against real X clients (xterm and mousepad, started as
// processes) under a window manager: what it reports about their windows,
// activating them, and windows that have gone away.
#include "platform/x11/x11_window_system.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/headless/desktop_clients.h"
#include "platform/headless/temp_dir.h"
#include "platform/text_codec.h"

// Xlib last: its macros (Status, Bool, None) clash with other headers.
#include <X11/Xlib.h>

namespace quill {
namespace {

using Clock = std::chrono::steady_clock;

// _NET_ACTIVE_WINDOW as xprop reports it, 0 when it cannot tell.
WindowHandle ActiveByXprop() {
  RunResult r = RunTool({"xprop", "-root", "_NET_ACTIVE_WINDOW"});
  size_t hash = r.out.find('#');
  return hash == std::string::npos
             ? 0
             : static_cast<WindowHandle>(std::strtoul(r.out.c_str() + hash + 1, nullptr, 16));
}

bool WindowExists(WindowHandle w) { return RunTool({"xwininfo", "-id", Hex(w)}).status == 0; }

class X11WindowSystemTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (std::getenv("DISPLAY") == nullptr) return;
    clients_ = new TerminalAndEditor({"-T", "quill-term"}, "quill\n");
  }
  static void TearDownTestSuite() {
    delete clients_;
    clients_ = nullptr;
  }

  void SetUp() override {
    if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "needs an X display";
    windows_ = X11WindowSystem::Open();
    ASSERT_NE(windows_, nullptr);
    display_ = XOpenDisplay(nullptr);
    ASSERT_NE(display_, nullptr);
    term_ = clients_->terminal.WaitForWindow();
    pad_ = clients_->editor.WaitForWindow();
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

  static TerminalAndEditor* clients_;
  std::unique_ptr<X11WindowSystem> windows_;
  Display* display_ = nullptr;
  WindowHandle term_ = 0;
  WindowHandle pad_ = 0;
};

TerminalAndEditor* X11WindowSystemTest::clients_ = nullptr;

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
  Client doomed({"xterm", "-T", "doomed"}, {}, clients_->dir.File("doomed.log"));
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
  EXPECT_FALSE(windows_->NeverTakeFocus(gone));
  EXPECT_FALSE(windows_->KeepOffTaskbar(gone));
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

TEST_F(X11WindowSystemTest, ToolWindowRequests) {
  const auto property = [&](const char* name) {
    return RunTool({"xprop", "-id", Hex(pad_), name}).out;
  };
  ASSERT_NE(property("WM_PROTOCOLS").find("WM_TAKE_FOCUS"), std::string::npos);
  EXPECT_TRUE(windows_->NeverTakeFocus(pad_));
  const std::string protocols = property("WM_PROTOCOLS");
  EXPECT_EQ(protocols.find("WM_TAKE_FOCUS"), std::string::npos) << protocols;
  EXPECT_NE(protocols.find("WM_DELETE_WINDOW"), std::string::npos) << protocols;

  EXPECT_TRUE(windows_->KeepOffTaskbar(pad_));
  EXPECT_TRUE(WaitFor(
      [&] {
        const std::string state = property("_NET_WM_STATE");
        return state.find("_NET_WM_STATE_SKIP_TASKBAR") != std::string::npos &&
               state.find("_NET_WM_STATE_SKIP_PAGER") != std::string::npos &&
               state.find("_NET_WM_STATE_STICKY") != std::string::npos;
      },
      5000))
      << property("_NET_WM_STATE");
}

}  // namespace
}  // namespace quill
