// The button bar on an X display under a window manager, started by
// quillmain: it floats above the window in front, off the task bar and the
// pager, follows the window the user brings forward, never becomes the
// active window when clicked, and closes on command 9; its Save button
// makes the selection of the window in front a card of the one-shot
// folder. A screenshot of the bar over a terminal is kept in the build
// folder.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QGuiApplication>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QTest>
#include <algorithm>
#include <atomic>
#include <fstream>
#include <memory>
#include <mutex>
#include <set>
#include <optional>
#include <sstream>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "main/ui/quillmain_desktop_support.h"
#include "platform/qt/test_app.h"
#include "platform/headless/desktop_clients.h"
#include "platform/headless/temp_dir.h"
#include "platform/message_bus.h"
#include "platform/protocol/shared_hook_block.h"
#include "platform/screen_geometry.h"
#include "platform/shared_memory.h"
#include "platform/text_codec.h"
#include "store/card_test_support.h"

// Xlib last: its macros (Status, Bool, None) clash with Qt and our headers.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>

#include "main/ui/quillmain_desktop_x11.h"
#include "platform/x11/x11_support.h"

namespace quill {
namespace {

// The window ids an xprop line lists after its "#" (WINDOW properties).
std::vector<unsigned long> WindowsOf(const std::string& xprop_line) {
  std::vector<unsigned long> out;
  size_t pos = xprop_line.find('#');
  while (pos != std::string::npos) {
    pos = xprop_line.find("0x", pos);
    if (pos == std::string::npos) break;
    size_t end = 0;
    out.push_back(std::stoul(xprop_line.substr(pos), &end, 16));
    pos += end;
  }
  return out;
}

// Questions about windows, asked of the display directly.
class X11Probe {
 public:
  X11Probe() : d_(XOpenDisplay(nullptr)) {
    // The bar's window goes away during the test: questions about it then
    // get empty answers instead of ending the program.
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
  }
  ~X11Probe() {
    if (d_ != nullptr) XCloseDisplay(d_);
  }
  bool ok() const { return d_ != nullptr; }

  bool IsMapped(unsigned long w) {
    XWindowAttributes a;
    XSync(d_, False);
    return XGetWindowAttributes(d_, w, &a) != 0 && a.map_state == IsViewable;
  }
  // The window's top left corner in root coordinates.
  ScreenPoint Origin(unsigned long w) {
    int x = -1, y = -1;
    Window child = 0;
    XTranslateCoordinates(d_, w, DefaultRootWindow(d_), 0, 0, &x, &y, &child);
    return ScreenPoint{x, y};
  }
  unsigned long Parent(unsigned long w) {
    Window root = 0, parent = 0, *children = nullptr;
    unsigned int count = 0;
    if (XQueryTree(d_, w, &root, &parent, &children, &count) == 0) return 0;
    if (children != nullptr) XFree(children);
    return parent;
  }
  // The frame the window manager put around a client.
  WindowRect Frame(unsigned long client) {
    const unsigned long frame = Parent(client);
    Window root = 0;
    int x = 0, y = 0;
    unsigned int width = 0, height = 0, border = 0, depth = 0;
    XGetGeometry(d_, frame, &root, &x, &y, &width, &height, &border, &depth);
    return WindowRect{x, y, x + int(width + 2 * border), y + int(height + 2 * border)};
  }
  // The child of the root that holds `w` (its frame, or itself).
  unsigned long TopOf(unsigned long w) {
    const unsigned long root = DefaultRootWindow(d_);
    for (int i = 0; i < 16 && w != 0; ++i) {
      const unsigned long parent = Parent(w);
      if (parent == root) return w;
      w = parent;
    }
    return 0;
  }
  // The children of the root, bottom first.
  std::vector<unsigned long> Stacking() {
    Window root = 0, parent = 0, *children = nullptr;
    unsigned int count = 0;
    std::vector<unsigned long> out;
    if (XQueryTree(d_, DefaultRootWindow(d_), &root, &parent, &children, &count) != 0) {
      out.assign(children, children + count);
      if (children != nullptr) XFree(children);
    }
    return out;
  }
  void RequestClose(unsigned long w) { quill::RequestClose(d_, w); }
  // Whether another client has the key with exactly these modifiers
  // grabbed: a grab of ours is refused then.
  bool KeyTaken(unsigned long keysym, unsigned int modifiers) {
    static bool refused;
    refused = false;
    const auto previous = XSetErrorHandler([](Display*, XErrorEvent* e) {
      if (e->error_code == BadAccess) refused = true;
      return 0;
    });
    const Window root = DefaultRootWindow(d_);
    const KeyCode keycode = XKeysymToKeycode(d_, keysym);
    XGrabKey(d_, keycode, modifiers, root, False, GrabModeAsync, GrabModeAsync);
    XSync(d_, False);
    if (!refused) XUngrabKey(d_, keycode, modifiers, root);
    XSync(d_, False);
    XSetErrorHandler(previous);
    return refused;
  }
  unsigned long Pid(unsigned long w) {
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    unsigned long pid = 0;
    if (XGetWindowProperty(d_, w, XInternAtom(d_, "_NET_WM_PID", False), 0, 1, False,
                           XA_CARDINAL, &type, &format, &count, &after, &data) == Success &&
        data != nullptr && count == 1) {
      pid = *reinterpret_cast<unsigned long*>(data);
    }
    if (data != nullptr) XFree(data);
    return pid;
  }

 private:
  Display* d_;
};

class QuillpadDesktopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TestApp();
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
      GTEST_SKIP() << "needs an X display";
    }
    ASSERT_TRUE(x_.ok());
    // A bar whose quillmain has ended (an earlier test's) goes within 30 s
    // of its start; until then it follows the same windows as ours would.
    const auto no_bar = [] {
      return RunTool({"xdotool", "search", "--onlyvisible", "--class", "^quillpad$"}).out.empty();
    };
    ASSERT_TRUE(WaitFor(no_bar, 40000))
        << "another button bar stays on the screen";
    block_name_ = "/quillpad-desktop-" + std::to_string(::getpid());
    ::mkdir(dir_.File("run").c_str(), 0700);
    ::mkdir(dir_.File("home").c_str(), 0700);
    env_ = QProcessEnvironment::systemEnvironment();
    env_.insert("QUILLBOX_HOME", QString::fromStdString(dir_.File("home")));
    env_.insert("XDG_CONFIG_HOME", QString::fromStdString(dir_.File("config")));
    env_.insert("XDG_RUNTIME_DIR", QString::fromStdString(dir_.File("run")));
    env_.insert("QUILLBOX_BLOCK_NAME", QString::fromStdString(block_name_));
    env_.insert("QT_QPA_PLATFORM", "xcb");
  }

  void TearDown() override {
    // A bar left behind by a failed check, or by a quillmain that has
    // ended (it goes by itself only a while later), goes with the test.
    if (const uint32_t bar = Block(&SharedHookBlock::BarWindow); bar != 0) NoteBar(bar);
    for (const unsigned long pid : bar_pids_) ::kill(static_cast<pid_t>(pid), SIGKILL);
    if (quillmain_.state() != QProcess::NotRunning) {
      quillmain_.kill();
      quillmain_.waitForFinished(5000);
    }
    SharedMemory::Unlink(block_name_);
  }

  // A field of the block, empty while there is none.
  template <typename T>
  T Block(T (SharedHookBlock::*field)() const) {
    std::unique_ptr<SharedMemory> memory;
    if (!SharedMemory::Open(block_name_, kSharedHookBlockSize, &memory).ok()) return T{};
    SharedHookBlock block(std::span<uint8_t, kSharedHookBlockSize>(memory->data(),
                                                                   kSharedHookBlockSize));
    return (block.*field)();
  }

  // Where the bar belongs above a client's frame.
  ScreenPoint PlaceAbove(unsigned long client) {
    const WindowRect frame = x_.Frame(client);
    return ScreenPoint{(frame.left + frame.right) / 2, std::max(0, frame.top - 24)};
  }

  // Starts quillmain with the bar on, the one-shot folder "仕事 資料 メモ"
  // of the first data set and `more` settings ("Key=value\r\n" each); the bar's
  // window once it is mapped, 0 when none came within 20 s.
  unsigned long StartQuillmain(const std::string& more) {
    {
      std::ofstream ini(dir_.File("home/quillmain.ini"), std::ios::binary);
      ini << "[Env]\r\nUseButton=1\r\nAutoMove=1\r\nDefAddKubun="
          << Utf8ToCp932("仕事 資料 メモ") << "\r\nDefAddKubunFile=0\r\n" << more;
    }
    quillmain_.setProcessEnvironment(env_);
    quillmain_.setProcessChannelMode(QProcess::ForwardedChannels);
    quillmain_.start(QUILLMAIN_PATH, {"R"});
    if (!quillmain_.waitForStarted(10000)) return 0;
    unsigned long bar = 0;
    const bool up = QTest::qWaitFor(
        [&] {
          bar = Block(&SharedHookBlock::BarWindow);
          return bar != 0 && x_.IsMapped(bar);
        },
        20000);
    return up ? NoteBar(bar) : 0;
  }

  // The terminal's and the editor's windows, apart on the screen, the
  // pointer away from the bar; 0 for one that showed none.
  static std::pair<unsigned long, unsigned long> PlaceApart(TerminalAndEditor& apps) {
    const unsigned long term = apps.terminal.WaitForWindow();
    const unsigned long pad = apps.editor.WaitForWindow();
    if (term != 0 && pad != 0) {
      Xdotool({"windowmove", std::to_string(pad), "300", "300"});
      Xdotool({"windowmove", std::to_string(term), "650", "520"});
      Xdotool({"mousemove", "1270", "5"});
    }
    return {term, pad};
  }

  static bool Activate(unsigned long w) {
    return RunTool({"xdotool", "windowactivate", "--sync", std::to_string(w)}).status == 0;
  }
  static void Xdotool(const std::vector<std::string>& args) {
    std::vector<std::string> argv{"xdotool"};
    argv.insert(argv.end(), args.begin(), args.end());
    RunTool(argv);
  }

  // A bar of the test's, to be ended with it; `bar`.
  unsigned long NoteBar(unsigned long bar) {
    if (const unsigned long pid = x_.Pid(bar); pid != 0) bar_pids_.insert(pid);
    return bar;
  }

  X11Probe x_;
  std::set<unsigned long> bar_pids_;
  TempDir dir_;
  std::string block_name_;
  QProcessEnvironment env_;
  QProcess quillmain_;
};

TEST_F(QuillpadDesktopTest, FloatsAboveTheWindowInFrontAndNeverTakesTheFocus) {
  TerminalAndEditor apps({"-T", "quill-term"}, "quill\n");
  const auto [term, pad] = PlaceApart(apps);
  ASSERT_NE(term, 0u) << "xterm showed no window";
  ASSERT_NE(pad, 0u) << "mousepad showed no window";

  // quillmain with the bar on and a one-shot folder starts the bar.
  const unsigned long bar = StartQuillmain("");
  ASSERT_NE(bar, 0u) << "no bar came up";
  const unsigned long main_window = Block(&SharedHookBlock::MainWindow);
  ASSERT_NE(main_window, 0u);

  // Above the others, off the task bar and the pager, on every desktop;
  // it does not offer to take the focus.
  const auto state = [&] {
    return RunTool({"xprop", "-id", Hex(bar), "_NET_WM_STATE"}).out;
  };
  EXPECT_TRUE(QTest::qWaitFor(
      [&] {
        const std::string s = state();
        return s.find("_NET_WM_STATE_ABOVE") != std::string::npos &&
               s.find("_NET_WM_STATE_SKIP_TASKBAR") != std::string::npos &&
               s.find("_NET_WM_STATE_SKIP_PAGER") != std::string::npos &&
               s.find("_NET_WM_STATE_STICKY") != std::string::npos;
      },
      5000))
      << state();
  const std::string protocols = RunTool({"xprop", "-id", Hex(bar), "WM_PROTOCOLS"}).out;
  EXPECT_NE(protocols.find("WM_DELETE_WINDOW"), std::string::npos) << protocols;
  EXPECT_EQ(protocols.find("WM_TAKE_FOCUS"), std::string::npos) << protocols;

  // Its left edge at the middle of the editor's frame, its top 24 pixels
  // above it.
  ASSERT_TRUE(Activate(pad));
  EXPECT_TRUE(QTest::qWaitFor([&] { return x_.Origin(bar) == PlaceAbove(pad); }, 20000))
      << "bar at " << x_.Origin(bar).x << "," << x_.Origin(bar).y << ", expected "
      << PlaceAbove(pad).x << "," << PlaceAbove(pad).y;

  // It follows the terminal brought forward and stays above it.
  ASSERT_TRUE(Activate(term));
  EXPECT_TRUE(QTest::qWaitFor([&] { return x_.Origin(bar) == PlaceAbove(term); }, 20000))
      << "bar at " << x_.Origin(bar).x << "," << x_.Origin(bar).y << ", expected "
      << PlaceAbove(term).x << "," << PlaceAbove(term).y;
  const std::vector<unsigned long> clients =
      WindowsOf(RunTool({"xprop", "-root", "_NET_CLIENT_LIST_STACKING"}).out);
  const auto listed = [&](unsigned long w) {
    return std::find(clients.begin(), clients.end(), w) - clients.begin();
  };
  ASSERT_LT(listed(term), static_cast<long>(clients.size()));
  ASSERT_LT(listed(bar), static_cast<long>(clients.size()));
  EXPECT_GT(listed(bar), listed(term));
  const std::vector<unsigned long> stacking = x_.Stacking();
  const auto stacked = [&](unsigned long w) {
    return std::find(stacking.begin(), stacking.end(), x_.TopOf(w)) - stacking.begin();
  };
  EXPECT_GT(stacked(bar), stacked(term));
  EXPECT_GT(stacked(bar), stacked(pad));
  ASSERT_TRUE(ClientRoundTrip(bar));  // painted
  EXPECT_TRUE(QGuiApplication::primaryScreen()->grabWindow(0).save(
      QString(ARTEFACT_DIR) + "/quillpad_over_terminal.png"));

  // Clicks on the bar: on its own surface, then on the clip-tool button,
  // which brings up quillmain's clip-tool menu over the terminal: the main
  // window is hidden for it and does not come forward, neither then nor
  // when it comes back after the menu. The bar itself is never active.
  ASSERT_TRUE(x_.IsMapped(main_window));
  {
    ActiveWatch watch;
    const ScreenPoint at = x_.Origin(bar);
    Xdotool({"mousemove", std::to_string(at.x + 5), std::to_string(at.y + 10), "click", "1"});
    ASSERT_TRUE(ClientRoundTrip(bar));  // the bar has had the click
    Xdotool({"mousemove", std::to_string(at.x + 115), std::to_string(at.y + 10), "click", "1"});
    X11Display display;
    ASSERT_TRUE(WaitFor([&] { return display.PopupMenuShown(); }, 20000)) << "no menu came";
    ASSERT_TRUE(WindowManagerRoundTrip());
    EXPECT_FALSE(x_.IsMapped(main_window)) << "quillmain came over the menu";
    Xdotool({"key", "Escape"});
    EXPECT_TRUE(WaitFor([&] { return !display.PopupMenuShown() && x_.IsMapped(main_window); },
                        20000));
    ASSERT_TRUE(WindowManagerRoundTrip());
    ASSERT_TRUE(ClientRoundTrip(main_window));
    const std::set<unsigned long> seen = watch.Stop();
    EXPECT_EQ(seen.count(bar), 0u);
    EXPECT_EQ(seen.count(main_window), 0u) << "quillmain came forward";
  }

  // Command 9 closes the bar, which clears BarWindow on its way out.
  SocketMessageBus bus(dir_.File("run/quillbox"));
  ASSERT_TRUE(bus.PostMessage(static_cast<WindowHandle>(bar), kCommandMessage, 9, 0));
  EXPECT_TRUE(QTest::qWaitFor([&] { return Block(&SharedHookBlock::BarWindow) == 0; }, 20000));
  EXPECT_TRUE(QTest::qWaitFor([&] { return !x_.IsMapped(bar); }, 20000));
}

TEST_F(QuillpadDesktopTest, SaveMakesTheEditorsSelectionACardAndTheBarStaysInactive) {
  const std::string text = "バーから登録する日本語";
  const std::string folder = Utf8ToCp932("仕事 資料 メモ");
  {
    store::CardStore set(FileEnv::Default(), dir_.File("home") + "/");
    ASSERT_TRUE(set.Open(false, "").ok());
    for (const char* path : {"仕事", "仕事 資料", "仕事 資料 メモ"}) {
      store::WriteFolderRow(set, Utf8ToCp932(path));
    }
    ASSERT_TRUE(set.RebuildTreeFile().ok());
    ASSERT_TRUE(set.Close().ok());
  }
  ::mkdir(dir_.File("bin").c_str(), 0700);
  const std::string played = WriteFakeSoundPlayer(dir_.File("bin"));
  env_.insert("PATH", QString::fromStdString(dir_.File("bin")) + ":" + env_.value("PATH"));

  std::ofstream(dir_.File("memo.txt"), std::ios::binary) << text;
  Client editor({"mousepad", "--disable-server", dir_.File("memo.txt")},
                ClientEnvironment(dir_.Path()), dir_.File("mousepad.log"));
  const unsigned long pad = editor.WaitForWindow();
  ASSERT_NE(pad, 0u) << "mousepad showed no window";
  Xdotool({"windowmove", std::to_string(pad), "300", "300"});
  Xdotool({"mousemove", "1270", "5"});

  const unsigned long bar = StartQuillmain("SaveUrl=0\r\n");
  ASSERT_NE(bar, 0u) << "no bar came up";

  // The whole text selected in the editor, the bar above it.
  ASSERT_TRUE(EditorHolds(pad, text));
  ASSERT_TRUE(QTest::qWaitFor([&] { return x_.Origin(bar) == PlaceAbove(pad); }, 20000));

  // Save, at x 43 of the bar. The capture ends with the user's clipboard
  // put back, after the sound.
  RunTool({"sh", "-c", "printf 'user clip' | xclip -selection clipboard >/dev/null 2>&1"});
  ASSERT_TRUE(WaitFor([] { return XSelection("clipboard") == "user clip"; }, 20000));
  const unsigned long users_owner = XSelectionOwner("clipboard");
  {
    ActiveWatch watch;
    const ScreenPoint at = x_.Origin(bar);
    Xdotool({"mousemove", std::to_string(at.x + 52), std::to_string(at.y + 10), "click", "1"});
    EXPECT_TRUE(QTest::qWaitFor([&] { return std::ifstream(played).good(); }, 20000))
        << "no card was registered";
    EXPECT_TRUE(HandedBack("clipboard", users_owner, "user clip")) << XSelection("clipboard");
    ASSERT_TRUE(WindowManagerRoundTrip());
    EXPECT_EQ(watch.Stop(), std::set<unsigned long>{pad});
  }

  const uint32_t main_window = Block(&SharedHookBlock::MainWindow);
  x_.RequestClose(main_window);
  ASSERT_TRUE(quillmain_.waitForFinished(20000));
  store::CardStore set(FileEnv::Default(), dir_.File("home") + "/");
  ASSERT_TRUE(set.Open(true, "").ok());
  const std::vector<store::CardRecord> cards = store::CardsOfFolder(set, folder);
  ASSERT_EQ(cards.size(), 1u);
  EXPECT_EQ(cards[0].text, "\r\n" + Utf8ToCp932(text));
}

// Settings changed through quillmain's options dialog take effect on OK,
// without a restart: the hot keys, a super key (Ctrl+Alt+F6, which the X
// server keeps from every window but the dialog takes all the same),
// RetActive and AutoMove. The hook library grabs the new keys and lets the
// old ones go, the new super key pastes its card into mousepad, the block
// holds the new RetActive, and the bar, started again, no longer follows
// the window in front.
TEST_F(QuillpadDesktopTest, OptionsTakeEffectWithoutARestart) {
  const std::string card_text = "設定直後のカード";
  std::string card_id;
  {
    store::CardStore set(FileEnv::Default(), dir_.File("home") + "/");
    ASSERT_TRUE(set.Open(false, "").ok());
    store::CardRecord card(set);
    card.Clear();
    card.folder = "Web";
    card.title = "card";
    card.text = Utf8ToCp932(card_text);
    ASSERT_TRUE(card.Write().ok());
    card_id = card.id;
    ASSERT_TRUE(set.Close().ok());
  }
  TerminalAndEditor apps({"-T", "quill-term"}, "東京");
  const auto [term, pad] = PlaceApart(apps);
  ASSERT_NE(term, 0u) << "xterm showed no window";
  ASSERT_NE(pad, 0u) << "mousepad showed no window";

  // The eight hot keys Ctrl+Alt+1 .. 8 become Ctrl+Alt+A .. H, in the
  // order of the dialog's first page; super key 1 goes from F5 to F6.
  const char* const names[] = {"PopupKubunKey", "SaveKey",   "SaveHtmlKey", "SaveKubunKey",
                               "ActiveKey",     "MagicKey", "NewCardKey",  "FindKey"};
  std::string ini = "SuperPasteKey1=" + std::to_string(0xC074) + "\r\nSuperCard1=" + card_id +
                    "\r\n";
  std::vector<unsigned long> old_keys = {XK_F5}, new_keys = {XK_F6};
  std::string typed;
  for (int i = 0; i < 8; ++i) {
    ini += std::string(names[i]) + "=" + std::to_string(0xC031 + i) + "\r\n";
    old_keys.push_back(XK_1 + i);
    new_keys.push_back(XK_a + i);
    typed += std::string(i == 0 ? "" : " Tab ") + "ctrl+alt+" + char('a' + i);
  }
  const unsigned int ctrl_alt = ControlMask | Mod1Mask;
  const auto all_taken = [&](const std::vector<unsigned long>& keys, bool taken) {
    return std::all_of(keys.begin(), keys.end(),
                       [&](unsigned long k) { return x_.KeyTaken(k, ctrl_alt) == taken; });
  };
  const unsigned long bar = StartQuillmain(ini);
  ASSERT_NE(bar, 0u) << "no bar came up";
  const unsigned long bar_pid = x_.Pid(bar);
  const unsigned long main_window = Block(&SharedHookBlock::MainWindow);
  // Probed only once the hooks are in: a probe's grab would otherwise take
  // a key from them.
  ASSERT_TRUE(QTest::qWaitFor([&] { return Block(&SharedHookBlock::CbtHook).handle != 0; },
                              20000));
  EXPECT_TRUE(all_taken(old_keys, true));
  ASSERT_EQ(Block(&SharedHookBlock::RetActive), 1);  // new settings
  ASSERT_TRUE(Activate(pad));
  ASSERT_TRUE(QTest::qWaitFor([&] { return x_.Origin(bar) == PlaceAbove(pad); }, 20000));

  // The dialog from the main menu "環境設定(&O)"; its first field has the
  // focus.
  const auto quillmain_windows = [] {
    const std::string out =
        RunTool({"xdotool", "search", "--onlyvisible", "--class", "^quillmain$"}).out;
    return std::count(out.begin(), out.end(), '\n');
  };
  ASSERT_TRUE(WaitFor(
      [&] {
        if (WindowsTitled("環境設定") == 1) return true;
        Xdotool({"key", "Escape"});
        if (!Activate(main_window)) return false;
        const auto before = quillmain_windows();
        Xdotool({"key", "--clearmodifiers", "alt+o"});
        if (!WaitFor([&] { return quillmain_windows() > before; }, 10000)) return false;
        Xdotool({"key", "o"});
        return WaitFor([] { return WindowsTitled("環境設定") == 1; }, 10000);
      },
      60000));
  const unsigned long dialog = std::strtoul(
      RunTool({"xdotool", "search", "--name", "^環境設定$"}).out.c_str(), nullptr, 10);
  ASSERT_TRUE(Activate(dialog));

  // Wide enough for every tab: the tab bar then has no scroll buttons to
  // stop at.
  Xdotool({"windowmove", "--sync", std::to_string(dialog), "10", "10"});
  Xdotool({"windowsize", "--sync", std::to_string(dialog), "1240", "800"});
  ASSERT_TRUE(Activate(dialog));

  // The hot keys typed in turn; then, from the tab bar, RetActive (the last
  // field of "ペースト", before OK and Cancel), AutoMove (the last but one
  // of "起動時") and super key 1 (the first field of the last page).
  const auto keys = [](const std::string& list) {
    std::vector<std::string> argv = {"xdotool", "key", "--delay", "30"};
    std::istringstream words(list);
    for (std::string w; words >> w;) argv.push_back(w);
    ASSERT_EQ(RunTool(argv).status, 0) << list;
  };
  keys(typed + " Tab Tab Tab");
  keys("Right shift+Tab shift+Tab shift+Tab space");
  keys("Tab Tab Tab Right Right Right shift+Tab shift+Tab shift+Tab shift+Tab space");
  keys("Tab Tab Tab Tab Right Right Right Right Right Right Right Tab ctrl+alt+F6");
  EXPECT_TRUE(QGuiApplication::primaryScreen()->grabWindow(0).save(
      QString(ARTEFACT_DIR) + "/quillmain_options_super_key.png"));
  keys("Return");
  ASSERT_TRUE(QTest::qWaitFor([] { return WindowsTitled("環境設定") == 0; }, 20000));

  // The bar starts again once the hooks are back: the hook library holds
  // the new keys and has let the old ones go.
  // (A new process: its window may well get the id of the old one.)
  unsigned long new_bar = 0;
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        new_bar = Block(&SharedHookBlock::BarWindow);
        return new_bar != 0 && x_.IsMapped(new_bar) && x_.Pid(new_bar) != bar_pid;
      },
      20000));
  NoteBar(new_bar);
  EXPECT_TRUE(all_taken(new_keys, true));
  EXPECT_TRUE(all_taken(old_keys, false));
  EXPECT_EQ(Block(&SharedHookBlock::RetActive), 0);
  EXPECT_EQ(Block(&SharedHookBlock::AutoMove), 0);

  // The bar stays where it is while other windows come forward and the new
  // super key pastes the card into mousepad.
  const ScreenPoint start = x_.Origin(new_bar);
  ValueWatch moves([new_bar, start]() -> std::optional<unsigned long> {
    thread_local X11Probe probe;
    const ScreenPoint now = probe.Origin(new_bar);
    return now == start ? 0ul : 1ul;
  });
  ASSERT_TRUE(Activate(term));
  ASSERT_TRUE(EditorHolds(pad, "東京"));
  Xdotool({"key", "ctrl+alt+F6"});
  EXPECT_TRUE(EditorHolds(pad, card_text));
  EXPECT_EQ(moves.Stop(), std::set<unsigned long>{0}) << "the bar followed the window in front";

  x_.RequestClose(main_window);
  ASSERT_TRUE(quillmain_.waitForFinished(20000));
  EXPECT_EQ(quillmain_.exitCode(), 0);
  const std::string saved = ReadFileBytes(dir_.File("home/quillmain.ini"));
  for (const char* line : {"\r\nRetActive=0\r\n", "\r\nAutoMove=0\r\n",
                           "\r\nSuperPasteKey1=49269\r\n", "\r\nFindKey=49224\r\n"}) {
    EXPECT_NE(saved.find(line), std::string::npos) << line;
  }
}

}  // namespace
}  // namespace quill
