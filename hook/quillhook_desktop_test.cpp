// libquillhook on a real X display with a window manager, xterm and
// mousepad. The test process stands in for quillmain: it owns the block,
// receives the main window's messages on its socket, and, as quillmain's
// dispatcher does, takes the window of each activation as the target.
// Keys are pressed with xdotool, as a user would.
#include "hook/quillhook.h"
#include "hook/quillhook_seam.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "hook/hook_block.h"
#include "platform/headless/desktop_clients.h"
#include "platform/headless/typing_clients_test.h"
#include "platform/headless/temp_dir.h"
#include "platform/instance_lock.h"
#include "platform/message_bus.h"

// Xlib last: its macros (Status, Bool, None) clash with other headers.
#include <X11/Xlib.h>
#include <X11/keysym.h>

#include "platform/x11/x11_support.h"

namespace quill {
namespace {

using SteadyClock = std::chrono::steady_clock;

constexpr uint16_t kCtrlAltK = 0xC04B;
constexpr uint16_t kCtrlAltJ = 0xC04A;
constexpr uint16_t kDoubleCtrl = 0x0043;

constexpr char kJapanese[] = "クイル日本語のテキスト";

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string Clipboard() { return RunTool({"xclip", "-o", "-selection", "clipboard"}).out; }

void SetClipboard(const std::string& text) {
  // xclip stays behind to serve the text; its output must not hold our pipe.
  RunTool({"sh", "-c", "printf %s '" + text + "' | xclip -selection clipboard >/dev/null 2>&1"});
  EXPECT_TRUE(WaitFor([&] { return Clipboard() == text; }, 20000)) << Clipboard();
}

// Standard error, where the library logs, goes to a file of its own for
// the length of a scope.
class StderrCapture {
 public:
  StderrCapture() : saved_(::dup(2)) {
    std::fflush(stderr);
    const int fd = ::open(dir_.File("stderr.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(fd, 2);
    ::close(fd);
  }
  ~StderrCapture() {
    std::fflush(stderr);
    ::dup2(saved_, 2);
    ::close(saved_);
  }
  StderrCapture(const StderrCapture&) = delete;
  StderrCapture& operator=(const StderrCapture&) = delete;
  std::string Text() {
    std::fflush(stderr);
    return ReadAll(dir_.File("stderr.txt"));
  }

 private:
  TempDir dir_;
  int saved_;
};

bool Activate(WindowHandle w) {
  return RunTool({"xdotool", "windowactivate", "--sync", std::to_string(w)}).status == 0;
}

// Keys held down without repeating for the length of a scope; they go up
// again at its end.
class HeldKeys {
 public:
  HeldKeys() : display_(XOpenDisplay(nullptr)) {
    if (display_ == nullptr) return;
    XAutoRepeatOff(display_);
    XSync(display_, False);
  }
  ~HeldKeys() {
    RunTool({"xdotool", "keyup", "k", "ctrl", "alt"});
    if (display_ == nullptr) return;
    XAutoRepeatOn(display_);
    XCloseDisplay(display_);
  }
  HeldKeys(const HeldKeys&) = delete;
  HeldKeys& operator=(const HeldKeys&) = delete;
  bool ok() const { return display_ != nullptr; }

 private:
  Display* display_;
};

class QuillhookDesktopTest : public TypingClientsTest<kJapanese> {
 protected:
  void SetUp() override {
    if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "needs an X display";
    WaitForClients();
    if (HasFatalFailure()) return;
    std::string folder;
    ASSERT_TRUE(RuntimeFolder(&folder).ok());
    main_ = AllocateWindowHandle();
    ASSERT_TRUE(MessageReceiver::Open(folder, main_, &receiver_).ok());
    block_.SetMainWindow(main_);
    ASSERT_EQ(_SetCBTHook(bytes_.data()), main_);
    EXPECT_NE(block_.CbtHook().handle, 0u);
    EXPECT_NE(block_.KeyboardHook().handle, 0u);
    EXPECT_NE(block_.MouseHook().handle, 0u);
  }

  void TearDown() override {
    if (std::getenv("DISPLAY") == nullptr) return;
    for (uint32_t handle : {block_.CbtHook().handle, block_.MouseHook().handle,
                            block_.KeyboardHook().handle}) {
      EXPECT_EQ(UnhookWindowsHookEx(handle), 1);
    }
    EXPECT_EQ(UnhookWindowsHookEx(block_.CbtHook().handle), 0);  // gone already
  }

  // Sets one hot key and takes the hot keys anew, as quillmain does when
  // another window comes forward.
  void SetHotkey(SharedHookBlock::HotkeySlot slot, uint16_t word) {
    block_.SetHotkey(slot, HotkeyWord(word));
    Rehook();
  }
  void Rehook() {
    UnhookWindowsHookEx(block_.CbtHook().handle);
    UnhookWindowsHookEx(block_.MouseHook().handle);
    UnhookWindowsHookEx(block_.KeyboardHook().handle);
    _SetCBTHook(bytes_.data());
  }

  // The messages that reach the main window until those so far are
  // `enough` (by default: whatever is there already), or at most for `ms`;
  // an activation makes its window the target.
  std::vector<Message> Receive(
      const std::function<bool(const std::vector<Message>&)>& enough =
          [](const std::vector<Message>&) { return true; },
      int ms = 20000) {
    std::vector<Message> got;
    const auto deadline = SteadyClock::now() + std::chrono::milliseconds(ms);
    for (;;) {
      Message m;
      while (receiver_->Receive(&m)) {
        if (m.message == kCbtEvent && m.wparam == kCbtActivate) {
          block_.SetTargetWindow(static_cast<WindowHandle>(m.lparam));
        }
        got.push_back(m);
      }
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - SteadyClock::now());
      if (enough(got) || left.count() <= 0) return got;
      receiver_->Poll(static_cast<int>(left.count()));
    }
  }

  // Every message that the keys pressed so far brought: Pause, pressed
  // after them, is the last key the monitor handles before its release
  // becomes the application's last key, and the monitor sends the
  // messages of each key before it handles the next.
  std::vector<Message> ReceiveAll() {
    constexpr uint8_t kVkPause = 0x13;
    block_.SetLastKeyUp(0);
    EXPECT_EQ(RunTool({"xdotool", "key", "Pause"}).status, 0);
    std::vector<Message> got;
    EXPECT_TRUE(WaitFor(
        [&] {
          const std::vector<Message> more = Receive();
          got.insert(got.end(), more.begin(), more.end());
          return block_.LastKeyUp() == kVkPause;
        },
        20000))
        << "the monitor did not get as far as the Pause";
    const std::vector<Message> rest = Receive();
    got.insert(got.end(), rest.begin(), rest.end());
    return got;
  }

  // Brings `w` forward and waits until the monitor has reported it (its
  // activation, then its focus). The other client comes first, so that
  // `w` really changes places.
  void BringForward(WindowHandle w) {
    ASSERT_TRUE(Activate(w == term_ ? pad_ : term_));
    ASSERT_TRUE(Activate(w));
    Receive([&](const std::vector<Message>& got) {
      const auto focus = std::find_if(got.rbegin(), got.rend(), [](const Message& m) {
        return m.message == kCbtEvent && m.wparam == kCbtSetFocus;
      });
      return focus != got.rend() && static_cast<WindowHandle>(focus->lparam) == w &&
             block_.TargetWindow() == w;
    });
    ASSERT_EQ(block_.TargetWindow(), w) << "no activation of " << Hex(w);
  }

  static std::vector<Message> Commands(const std::vector<Message>& messages) {
    std::vector<Message> commands;
    for (const Message& m : messages) {
      if (m.message == kCommandMessage) commands.push_back(m);
    }
    return commands;
  }

  // Waits for the terminal's `cat` to have written `text` after `before`.
  bool TerminalGot(size_t before, const std::string& text) {
    return WaitFor([&] { return ReadAll(typed_).size() >= before + text.size(); }, 20000) &&
           ReadAll(typed_).substr(before) == text;
  }

  WindowHandle main_ = 0;
  std::unique_ptr<MessageReceiver> receiver_;
  alignas(8) std::array<uint8_t, kSharedHookBlockSize> bytes_{};
  SharedHookBlock block_{std::span<uint8_t, kSharedHookBlockSize>(bytes_)};
};

TEST_F(QuillhookDesktopTest, HotKeyGivesOneCommandAndTheTerminalNeverSeesIt) {
  SetHotkey(SharedHookBlock::kSaveKey, kCtrlAltK);
  BringForward(term_);
  const size_t before = ReadAll(typed_).size();

  ASSERT_EQ(RunTool({"xdotool", "key", "ctrl+alt+k"}).status, 0);
  const std::vector<Message> commands = Commands(ReceiveAll());
  ASSERT_EQ(commands.size(), 1u);
  EXPECT_EQ(commands[0].wparam, 2u);
  EXPECT_EQ(static_cast<WindowHandle>(commands[0].lparam), term_);

  // Had the terminal got the key, a control byte would come before "abc".
  ASSERT_EQ(RunTool({"xdotool", "type", "abc"}).status, 0);
  ASSERT_EQ(RunTool({"xdotool", "key", "Return"}).status, 0);
  EXPECT_TRUE(TerminalGot(before, "abc\n")) << ReadAll(typed_).substr(before);
}

TEST_F(QuillhookDesktopTest, DoubleCtrlGivesItsCommandAndTheTerminalKeepsEveryKey) {
  SetHotkey(SharedHookBlock::kFindKey, kDoubleCtrl);
  BringForward(term_);
  const size_t before = ReadAll(typed_).size();

  ASSERT_EQ(RunTool({"xdotool", "key", "a", "ctrl", "ctrl", "b", "Return"}).status, 0);
  const std::vector<Message> commands = Commands(ReceiveAll());
  ASSERT_EQ(commands.size(), 1u);
  EXPECT_EQ(commands[0].wparam, 17u);
  EXPECT_EQ(static_cast<WindowHandle>(commands[0].lparam), term_);
  EXPECT_TRUE(TerminalGot(before, "ab\n")) << ReadAll(typed_).substr(before);
}

TEST_F(QuillhookDesktopTest, ActivationIsWindowEventFiveThenNine) {
  BringForward(term_);
  ASSERT_TRUE(Activate(pad_));
  std::vector<Message> events;
  for (const Message& m : Receive([](const std::vector<Message>& got) {
         return std::count_if(got.begin(), got.end(),
                              [](const Message& m) { return m.message == kCbtEvent; }) >= 2;
       })) {
    if (m.message == kCbtEvent) events.push_back(m);
  }
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0], (Message{main_, kCbtEvent, kCbtActivate, int32_t(pad_)}));
  EXPECT_EQ(events[1], (Message{main_, kCbtEvent, kCbtSetFocus, int32_t(pad_)}));
}

TEST_F(QuillhookDesktopTest, HotKeyAnotherClientHoldsIsReportedOnceAndStillFires) {
  Display* other = XOpenDisplay(nullptr);
  ASSERT_NE(other, nullptr);
  const Window root = DefaultRootWindow(other);
  const int keycode = XKeysymToKeycode(other, XK_j);
  XGrabKey(other, keycode, ControlMask | Mod1Mask, root, False, GrabModeAsync, GrabModeAsync);
  XSync(other, False);

  SetHotkey(SharedHookBlock::kSaveKey, kCtrlAltK);
  SetHotkey(SharedHookBlock::kSaveHtmlKey, kCtrlAltJ);
  char names[64];
  EXPECT_EQ(_TakeHotkeyConflicts(names, sizeof names), 1);
  EXPECT_STREQ(names, "Ctrl+Alt+J");
  Rehook();
  EXPECT_EQ(_TakeHotkeyConflicts(names, sizeof names), 0);
  EXPECT_STREQ(names, "");

  BringForward(term_);
  ASSERT_EQ(RunTool({"xdotool", "key", "ctrl+alt+j"}).status, 0);
  const std::vector<Message> commands = Commands(ReceiveAll());
  ASSERT_EQ(commands.size(), 1u);
  EXPECT_EQ(commands[0].wparam, 3u);
  XCloseDisplay(other);
}

TEST_F(QuillhookDesktopTest, KeyInCopiesTheSelectionAlsoWhileTheHotKeyIsHeld) {
  SetHotkey(SharedHookBlock::kSaveKey, kCtrlAltK);
  BringForward(pad_);
  // The editor selects its text (which it then offers as PRIMARY) once it
  // is ready for keys.
  ASSERT_TRUE(WaitFor(
      [] {
        RunTool({"xdotool", "key", "ctrl+a"});
        return RunTool({"xclip", "-o", "-selection", "primary"}).out == kJapanese;
      },
      10000));

  SetClipboard("before");
  _KeyIn('O', 0);
  _KeyIn('C', 3);
  EXPECT_TRUE(WaitFor([] { return Clipboard() == kJapanese; }, 15000)) << Clipboard();

  // Held down, the key would repeat into the editor once the grab has
  // ended; this is about the grab, so the server repeats nothing here.
  HeldKeys held;
  ASSERT_TRUE(held.ok());
  SetClipboard("before");
  ASSERT_EQ(RunTool({"xdotool", "keydown", "ctrl+alt+k"}).status, 0);
  const std::vector<Message> commands = Commands(
      Receive([](const std::vector<Message>& got) { return !Commands(got).empty(); }));
  ASSERT_EQ(commands.size(), 1u);
  EXPECT_EQ(commands[0].wparam, 2u);
  const auto start = SteadyClock::now();
  {
    StderrCapture log;
    _KeyIn('O', 0);
    _KeyIn('C', 3);
    // It waited its second for the key to be released, and then gave up:
    // the wait that ran out is named.
    EXPECT_GE(SteadyClock::now() - start, std::chrono::milliseconds(1000));
    EXPECT_NE(log.Text().find("key-release wait: the hot key still held after 1000 ms"),
              std::string::npos)
        << log.Text();
  }
  EXPECT_TRUE(WaitFor([] { return Clipboard() == kJapanese; }, 15000)) << Clipboard();

  // Nothing is injected for a row the letter does not have: of a count
  // set beforehand, only the press and release of the Pause that follows
  // are used up (an injected sequence would have set a count of its own).
  SetClipboard("before");
  block_.SetInjectCount(100);
  _KeyIn('C', 7);
  _KeyIn('Z', 3);
  ReceiveAll();
  EXPECT_EQ(block_.InjectCount(), 98);
  EXPECT_EQ(Clipboard(), "before");
}

// A client of the test's own stands in for quillmain: its main window
// (never shown), a card window and a menu that holds the keyboard over
// the editor, which stays in front. Keys pressed in these are not the
// application's last key; the editor's are, before and after. Each Space
// counts in RightClickCount when its press is handled, and so tells when
// the keys before it have been.
TEST_F(QuillhookDesktopTest, KeysInOurWindowsAndMenusAreNotTheApplicationsLastKey) {
  constexpr uint8_t kLeft = 0x25, kRight = 0x27;
  Display* own = XOpenDisplay(nullptr);
  ASSERT_NE(own, nullptr);
  const Window root = DefaultRootWindow(own);
  const Window main = XCreateSimpleWindow(own, root, 0, 0, 10, 10, 0, 0, 0);
  const Window card = XCreateSimpleWindow(own, root, 100, 100, 300, 200, 0, 0, 0);
  XStoreName(own, card, "card window");
  XSetWindowAttributes unmanaged{};
  unmanaged.override_redirect = True;
  const Window menu = XCreateWindow(own, root, 500, 400, 200, 150, 0, CopyFromParent, InputOutput,
                                    CopyFromParent, CWOverrideRedirect, &unmanaged);
  XSync(own, False);
  block_.SetMainWindow(static_cast<uint32_t>(main));
  // xdotool key, keydown or keyup.
  const auto key = [](const std::string& action, const std::string& name) {
    ASSERT_EQ(RunTool({"xdotool", action, name}).status, 0);
  };
  const auto handled = [&] {
    const uint16_t before = block_.RightClickCount();
    key("key", "space");
    return WaitFor([&] { return block_.RightClickCount() != before; }, 20000);
  };

  BringForward(pad_);
  key("key", "Left");
  ASSERT_TRUE(WaitFor([&] { return block_.LastKeyUp() == kLeft; }, 20000));

  // The menu over the editor; an Enter in it, then one that closes it on
  // its press, so that the release goes to the editor.
  XMapRaised(own, menu);
  XSync(own, False);
  ASSERT_EQ(XGrabKeyboard(own, menu, False, GrabModeAsync, GrabModeAsync, CurrentTime),
            GrabSuccess);
  XSync(own, False);
  key("key", "Return");
  ASSERT_TRUE(handled());
  EXPECT_EQ(block_.LastKeyUp(), kLeft);
  key("keydown", "Return");
  ASSERT_TRUE(handled());
  XUngrabKeyboard(own, CurrentTime);
  XUnmapWindow(own, menu);
  XSync(own, False);
  key("keyup", "Return");

  // The card window in front.
  XMapWindow(own, card);
  XSync(own, False);
  BringForward(static_cast<WindowHandle>(card));
  key("key", "Return");
  ASSERT_TRUE(handled());
  EXPECT_EQ(block_.LastKeyUp(), kLeft);

  BringForward(pad_);
  key("key", "Right");
  EXPECT_TRUE(WaitFor([&] { return block_.LastKeyUp() == kRight; }, 20000));

  block_.SetMainWindow(main_);
  XDestroyWindow(own, menu);
  XDestroyWindow(own, card);
  XDestroyWindow(own, main);
  XCloseDisplay(own);
}

// Whether another client can take Enter (without modifiers) right now;
// it lets go again at once.
bool EnterIsFree() {
  Display* other = XOpenDisplay(nullptr);
  if (other == nullptr) return false;
  bool free = false;
  {
    X11ErrorTrap trap(other);
    const int enter = XKeysymToKeycode(other, XK_Return);
    XGrabKey(other, enter, 0, DefaultRootWindow(other), False, GrabModeAsync, GrabModeAsync);
    free = trap.Ok();
    XUngrabKey(other, enter, 0, DefaultRootWindow(other));
  }
  XCloseDisplay(other);
  return free;
}

// Enter is taken from the terminal while injected keys are due (the
// grab _KeyIn holds around its keys): with InjectCount not 0 its press
// goes no further, with InjectCount 0 the terminal gets it; either way
// the grab ends with that key. _KeyIn lets go after its keys, and a hot
// key on Enter still fires afterwards.
TEST_F(QuillhookDesktopTest, EnterIsTakenOnlyWhileInjectedKeysAreDue) {
  SetHotkey(SharedHookBlock::kSaveKey, 0x400D);  // Ctrl+Enter
  BringForward(term_);
  ASSERT_TRUE(EnterIsFree());
  size_t before = ReadAll(typed_).size();

  block_.SetInjectCount(2);
  QuillhookHoldEnter(1);
  EXPECT_FALSE(EnterIsFree());
  ASSERT_EQ(RunTool({"xdotool", "key", "Return"}).status, 0);
  EXPECT_TRUE(WaitFor([&] { return block_.InjectCount() == 0; }, 20000));
  EXPECT_TRUE(WaitFor(EnterIsFree, 20000));
  // Had the terminal got the first Enter, an empty line would come first.
  ASSERT_EQ(RunTool({"xdotool", "type", "x"}).status, 0);
  ASSERT_EQ(RunTool({"xdotool", "key", "Return"}).status, 0);
  EXPECT_TRUE(TerminalGot(before, "x\n")) << ReadAll(typed_).substr(before);

  before = ReadAll(typed_).size();
  QuillhookHoldEnter(1);
  EXPECT_FALSE(EnterIsFree());
  ASSERT_EQ(RunTool({"xdotool", "key", "Return"}).status, 0);
  EXPECT_TRUE(WaitFor(EnterIsFree, 20000));
  ASSERT_EQ(RunTool({"xdotool", "type", "y"}).status, 0);
  ASSERT_EQ(RunTool({"xdotool", "key", "Return"}).status, 0);
  EXPECT_TRUE(TerminalGot(before, "\ny\n")) << ReadAll(typed_).substr(before);

  // The keys of one sequence: Ctrl held down and let go of.
  {
    HeldKeys held;
    ASSERT_TRUE(held.ok());
    ASSERT_EQ(RunTool({"xdotool", "keydown", "ctrl"}).status, 0);
    _KeyIn('O', 0);
  }
  EXPECT_TRUE(WaitFor(EnterIsFree, 20000));
  Receive();
  ASSERT_EQ(RunTool({"xdotool", "key", "ctrl+Return"}).status, 0);
  const std::vector<Message> commands = Commands(ReceiveAll());
  ASSERT_EQ(commands.size(), 1u);
  EXPECT_EQ(commands[0].wparam, 2u);
}

TEST_F(QuillhookDesktopTest, PointerCaptureComesAndGoes) {
  EXPECT_EQ(_SetCap(term_), 0);
  EXPECT_EQ(_SetCap(term_), int(term_));
  EXPECT_EQ(_SetCap(0), 1);
}

}  // namespace
}  // namespace quill
