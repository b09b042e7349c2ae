// quillmain on an X display with a window manager: the main window comes
// up (a screenshot of it is kept in the build folder), a second start ends
// at once and brings the first forward, and closing the window ends the
// program cleanly; a super key pastes its card into xterm and mousepad;
// the save hot key pressed in an editor makes its selection a card of
// the one-shot folder (a screenshot of the flash over the editor is kept
// too); the register-here menu registers and appends over the editor (its
// screenshots are kept as well); a file dragged onto a table card's grid
// becomes a link cell, and a card link in a cell opens its card's window.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QTest>
#include <QWidget>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <initializer_list>
#include <iterator>
#include <sstream>
#include <optional>
#include <set>

#include "main/ui/quillmain_desktop_support.h"
#include "platform/qt/test_app.h"
#include "platform/qt/test_drag_source.h"
#include "platform/file_env.h"
#include "platform/headless/desktop_clients.h"
#include "platform/headless/desktop_probes.h"
#include "platform/headless/temp_dir.h"
#include "platform/headless/typing_clients_test.h"
#include "platform/protocol/shared_hook_block.h"
#include "platform/shared_memory.h"
#include "platform/text_codec.h"
#include "store/card_store.h"
#include "store/card_test_support.h"

// Xlib last: its macros (Status, Bool, None) clash with Qt and our headers.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include "main/ui/quillmain_desktop_x11.h"
#include "platform/x11/x11_support.h"

namespace quill {
namespace {

namespace fs = std::filesystem;

// Whether a menu of quillmain is on the screen.
bool PopupMenuShown() { return X11Display().PopupMenuShown(); }

// The main window named in the block `block` once quillmain has started:
// the window made, the hot keys taken and the event loop running (a round
// trip through it); mapped too unless `mapped` is false. 0 when that did
// not come within 20 s.
unsigned long WaitForStart(const std::string& block, bool mapped = true) {
  X11Display x;
  unsigned long window = 0;
  const bool started = QTest::qWaitFor(
      [&] {
        window = MainWindowOf(block);
        return HooksInstalledIn(block) && (!mapped || x.IsMapped(window));
      },
      20000);
  return started && ClientRoundTrip(window) ? window : 0;
}

class QuillmainDesktopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TestApp();
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
      GTEST_SKIP() << "needs an X display";
    }
    ASSERT_TRUE(x.ok());
  }
  X11Display x;
};

TEST_F(QuillmainDesktopTest, MainWindowSecondInstanceAndClose) {
  Sandbox sandbox;
  const std::string& home = sandbox.home;
  const std::string& block = sandbox.block;
  const QProcessEnvironment& env = sandbox.env;

  QProcess first;
  first.setProcessEnvironment(env);
  first.setProcessChannelMode(QProcess::ForwardedChannels);
  first.start(QUILLMAIN_PATH, {});
  ASSERT_TRUE(first.waitForStarted(10000));

  // Painted once a round trip through its event loop is done.
  const uint32_t main_window = WaitForStart(block);
  ASSERT_NE(main_window, 0u) << "quillmain showed no main window";

  QScreen* screen = QGuiApplication::primaryScreen();
  QPixmap shot = screen->grabWindow(0);
  EXPECT_TRUE(shot.save(QString(ARTEFACT_DIR) + "/quillmain_main_window.png"));
  EXPECT_TRUE(fs::is_directory(home + "/tmp"));
  EXPECT_TRUE(fs::is_regular_file(home + "/quilbo7.dat"));

  // Another window takes the front.
  QWidget other;
  other.setWindowTitle("other window");
  other.resize(300, 200);
  other.show();
  other.activateWindow();
  ASSERT_TRUE(QTest::qWaitFor([&] { return x.ActiveWindow() == other.winId(); }, 20000));

  // A second start hands over and ends; the first comes forward.
  QProcess second;
  second.setProcessEnvironment(env);
  second.setProcessChannelMode(QProcess::ForwardedChannels);
  second.start(QUILLMAIN_PATH, {"R"});
  ASSERT_TRUE(second.waitForFinished(20000));
  EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(second.exitCode(), 0);
  EXPECT_TRUE(QTest::qWaitFor([&] { return x.ActiveWindow() == main_window; }, 20000))
      << "active window " << x.ActiveWindow() << ", main window " << main_window;
  EXPECT_EQ(first.state(), QProcess::Running);

  // Closing the main window ends the program and tidies up.
  x.RequestClose(main_window);
  ASSERT_TRUE(first.waitForFinished(20000));
  EXPECT_EQ(first.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(first.exitCode(), 0);
  EXPECT_FALSE(fs::exists(home + "/tmp"));
  EXPECT_TRUE(fs::is_regular_file(home + "/quillmain.ini"));
  EXPECT_EQ(MainWindowOf(block), 0u);  // the block is gone
}

TEST_F(QuillmainDesktopTest, HotKeyAnotherProgramHoldsIsReportedOnce) {
  ASSERT_EQ(WindowsTitled("警告"), 0);

  // Another program holds Ctrl+Alt+J; quillmain's settings make it the
  // hot key of command 2.
  Display* other = XOpenDisplay(nullptr);
  ASSERT_NE(other, nullptr);
  XGrabKey(other, XKeysymToKeycode(other, XK_j), ControlMask | Mod1Mask,
           DefaultRootWindow(other), False, GrabModeAsync, GrabModeAsync);
  XSync(other, False);
  Sandbox sandbox;
  fs::create_directories(sandbox.home);
  std::ofstream(sandbox.home + "/quillmain.ini") << "[Env]\r\nSaveKey=" << 0xC04A << "\r\n";

  QProcess quillmain;
  StartQuillmain(quillmain, sandbox.env);
  ASSERT_TRUE(quillmain.waitForStarted(10000));
  EXPECT_TRUE(QTest::qWaitFor([] { return WindowsTitled("警告") == 1; }, 20000));
  // The report comes to the front.
  const unsigned long warning = WindowTitled("警告");
  ASSERT_TRUE(QTest::qWaitFor([&] { return x.ActiveWindow() == warning; }, 20000));

  // Other windows come forward, the hooks are set again: no new report.
  QWidget front;
  front.setWindowTitle("front window");
  front.show();
  front.activateWindow();
  ASSERT_TRUE(QTest::qWaitFor([&] { return x.ActiveWindow() == front.winId(); }, 20000));
  // The activation has reached quillmain (its target is the window now),
  // and a report it made would be up after a round trip through its loop.
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return BlockFieldOf(sandbox.block, &SharedHookBlock::TargetWindow) == front.winId(); },
      20000));
  ASSERT_TRUE(ClientRoundTrip(MainWindowOf(sandbox.block)));
  EXPECT_EQ(WindowsTitled("警告"), 1);

  x.RequestClose(warning);
  EXPECT_TRUE(QTest::qWaitFor([] { return WindowsTitled("警告") == 0; }, 20000));
  x.RequestClose(MainWindowOf(sandbox.block));
  EXPECT_TRUE(quillmain.state() == QProcess::NotRunning || quillmain.waitForFinished(20000));
  EXPECT_EQ(quillmain.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(quillmain.exitCode(), 0);
  XCloseDisplay(other);
}

TEST_F(QuillmainDesktopTest, JapaneseTextOnTheClipboardJoinsTheHistoryASecondLater) {
  Sandbox sandbox;
  fs::create_directories(sandbox.home);
  std::ofstream(sandbox.home + "/quillmain.ini") << "[Env]\r\nClipSave=1\r\nUseButton=0\r\n";
  QProcess quillmain;
  StartQuillmain(quillmain, sandbox.env);
  ASSERT_TRUE(quillmain.waitForStarted(10000));
  ASSERT_NE(WaitForStart(sandbox.block), 0u) << "quillmain did not start";

  // xclip stays behind to serve the text; its output must not hold our pipe.
  QElapsedTimer since;
  since.start();
  RunTool({"sh", "-c", "printf '%s' '日本語の履歴\nに入る' | xclip -selection clipboard >/dev/null 2>&1"});
  const std::string his = sandbox.home + "/quillmain.his";
  ASSERT_TRUE(QTest::qWaitFor([&] { return fs::exists(his); }, 20000));
  EXPECT_GE(since.elapsed(), 900);  // the capture waits a second
  std::ifstream in(his, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  // "日本語の履歴" CR LF "に入る" in CP932, titled by its first line.
  const std::string title = "\x93\xfa\x96\x7b\x8c\xea\x82\xcc\x97\x9a\x97\xf0";
  EXPECT_EQ(bytes.substr(0, title.size() + 2 + title.size() + 2 + 6),
            title + "\r\n" + title + "\r\n\x82\xc9\x93\xfc\x82\xe9");

  x.RequestClose(MainWindowOf(sandbox.block));
  ASSERT_TRUE(quillmain.waitForFinished(20000));
  EXPECT_EQ(quillmain.exitCode(), 0);
}

// Paste-out through super keys, into xterm running `cat` and into
// mousepad. quillmain serves the clipboard from its own process, so the
// test reads it with xclip at any time.
constexpr char kEditorText[] = "東京";
constexpr char kCardText[] = "日本語のカード";
constexpr char kUsersText[] = "the user text 利用者";

// Waits until quillmain has taken `watch`'s selection for a paste and put
// it back, which it does once the target has fetched the text.
bool PastedAndPutBack(SelectionWatch& watch) {
  return WaitFor([&] { return watch.Changes() >= 2; }, 20000);
}

// Another program (xclip, which stays to serve it) takes the clipboard.
void SetClipboard(const std::string& text) {
  RunTool({"sh", "-c",
           "printf '%s' '" + text + "' | xclip -selection clipboard >/dev/null 2>&1"});
  ASSERT_TRUE(WaitFor([&] { return XSelection("clipboard") == text; }, 20000));
}

class QuillmainPasteTest : public TypingClientsTest<kEditorText> {
 protected:
  void SetUp() override {
    if (!TestAppOnX()) GTEST_SKIP() << "needs an X display";
    WaitForClients();
  }
  void TearDown() override {
    if (quillmain_.state() == QProcess::NotRunning) return;
    X11Display x;
    x.RequestClose(MainWindowOf(sandbox_.block));
    EXPECT_TRUE(quillmain_.waitForFinished(20000));
    EXPECT_EQ(quillmain_.exitCode(), 0);
  }

  // A card in quillmain's data set, offered by the folder popup; its id.
  std::string AddCard(const std::string& folder, const std::string& text) {
    const std::string id = AddCardTo(sandbox_.home, folder, text);
    EXPECT_FALSE(id.empty());
    return id;
  }
  // A card bound to super key `slot` as Ctrl+Alt+F<slot + 4>.
  void BindCard(int slot, const std::string& text) {
    const std::string id = AddCard("Web", text);
    ini_ << "SuperPasteKey" << slot << "=" << (0xC074 + slot - 1) << "\r\n"
         << "SuperCard" << slot << "=" << id << "\r\n";
  }
  // Starts quillmain with the user's clipboard holding kUsersText; its
  // main window is on the screen unless `mapped` is false.
  void Start(bool mapped = true) {
    fs::create_directories(sandbox_.home);
    std::ofstream(sandbox_.home + "/quillmain.ini", std::ios::binary)
        << "[Env]\r\nUseButton=0\r\nBackClipBoard=1\r\n" << ini_.str();
    StartQuillmain(quillmain_, sandbox_.env);
    ASSERT_TRUE(quillmain_.waitForStarted(10000));
    ASSERT_NE(WaitForStart(sandbox_.block, mapped), 0u) << "quillmain did not start";
    SetClipboard(kUsersText);
  }
  // mousepad's whole text, selected.
  bool EditorHolds(const std::string& text) { return quill::EditorHolds(pad_, text); }
  // mousepad holds `text`, all of it selected, and quillmain takes it for
  // the target (which it learns from an activation, or from its timer when
  // mousepad was in front already).
  void SetEditorText(const std::string& text) {
    SetClipboard(text);
    ASSERT_TRUE(ActivateWindow(pad_));
    RunTool({"xdotool", "key", "--clearmodifiers", "ctrl+a", "ctrl+v"});
    ASSERT_TRUE(EditorHolds(text));
    ASSERT_TRUE(WaitFor(
        [&] { return BlockFieldOf(sandbox_.block, &SharedHookBlock::TargetWindow) == pad_; },
        20000));
  }
  static void Press(const std::string& keys) {
    ASSERT_EQ(RunTool({"xdotool", "key", keys}).status, 0);
  }
  // The substitution dialog, in front; 0 when it did not come.
  static WindowHandle WaitForDialog() {
    WindowHandle dialog = 0;
    WaitFor(
        [&] {
          const RunResult r = RunTool({"xdotool", "search", "--onlyvisible", "--name", "^置換$"});
          dialog = static_cast<WindowHandle>(std::strtoul(r.out.c_str(), nullptr, 10));
          return dialog != 0;
        },
        15000);
    if (dialog != 0 && !ActivateWindow(dialog)) return 0;
    return dialog;
  }

  Sandbox sandbox_;
  std::ostringstream ini_;
  QProcess quillmain_;
};

TEST_F(QuillmainPasteTest, ASuperKeyPastesItsCardIntoTheTerminalAndTheEditor) {
  BindCard(1, kCardText);
  Start();
  if (HasFatalFailure()) return;

  // The terminal pastes PRIMARY (Shift+Insert), where the user has a
  // selection of their own: it comes back once the terminal has the card.
  const std::string selected = "the user selection 選択";
  RunTool({"sh", "-c",
           "printf '%s' '" + selected + "' | xclip -selection primary >/dev/null 2>&1"});
  ASSERT_TRUE(WaitFor([&] { return XSelection("primary") == selected; }, 20000));
  const unsigned long selection_owner = XSelectionOwner("primary");
  SelectionWatch primary("PRIMARY");
  const size_t before = ReadFileBytes(typed_).size();
  ASSERT_TRUE(ActivateWindow(term_));
  Press("ctrl+alt+F5");
  // The paste is done before the line ends.
  EXPECT_TRUE(PastedAndPutBack(primary));
  EXPECT_TRUE(HandedBack("primary", selection_owner, selected)) << XSelection("primary");
  ASSERT_TRUE(ActivateWindow(term_));
  Press("Return");
  EXPECT_TRUE(
      WaitFor([&] { return ReadFileBytes(typed_).size() >= before + sizeof kCardText; }, 20000));
  EXPECT_EQ(ReadFileBytes(typed_).substr(before), std::string(kCardText) + "\n");

  SetEditorText(kEditorText);
  SetClipboard(kUsersText);
  SelectionWatch clipboard("CLIPBOARD");
  Press("ctrl+alt+F5");
  // The user's clipboard comes back once mousepad has taken the card.
  EXPECT_TRUE(PastedAndPutBack(clipboard));
  EXPECT_TRUE(EditorHolds(kCardText)) << XSelection("primary");
  EXPECT_EQ(XSelection("clipboard"), kUsersText);
}

TEST_F(QuillmainPasteTest, ASelectedTextIsReplacedOnOkAndKeptOnCancel) {
  BindCard(1, "[$_SELECTED_:$_WHO_]");
  Start();
  if (HasFatalFailure()) return;

  SetEditorText(kEditorText);
  SetClipboard(kUsersText);
  Press("ctrl+alt+F5");
  ASSERT_NE(WaitForDialog(), 0u);
  std::optional<SelectionWatch> clipboard;
  clipboard.emplace("CLIPBOARD");
  ASSERT_EQ(RunTool({"xdotool", "type", "--delay", "50", "x"}).status, 0);
  Press("Return");
  EXPECT_TRUE(PastedAndPutBack(*clipboard));
  EXPECT_TRUE(EditorHolds("[東京:x]")) << XSelection("primary");

  SetEditorText(kEditorText);
  SetClipboard(kUsersText);
  const unsigned long users_owner = XSelectionOwner("clipboard");
  Press("ctrl+alt+F5");
  ASSERT_NE(WaitForDialog(), 0u);
  clipboard.emplace("CLIPBOARD");
  Press("Escape");
  // The cut text is pasted back, and then the user's clipboard comes back.
  EXPECT_TRUE(PastedAndPutBack(*clipboard));
  EXPECT_TRUE(EditorHolds(kEditorText)) << XSelection("primary");
  EXPECT_TRUE(HandedBack("clipboard", users_owner, kUsersText)) << XSelection("clipboard");
}

// mousepad on a file of the sandbox that holds `text`.
Client MousepadWith(const Sandbox& sandbox, const std::string& text) {
  std::ofstream(sandbox.dir.File("memo.txt"), std::ios::binary) << text;
  return Client({"mousepad", "--disable-server", sandbox.dir.File("memo.txt")},
                ClientEnvironment(sandbox.dir.Path()), sandbox.dir.File("mousepad.log"));
}

TEST_F(QuillmainDesktopTest, SaveKeyInAnEditorMakesItsSelectionACard) {
  const std::string text = "一発登録する日本語のテキスト";
  const std::string folder = Utf8ToCp932("Web 記事 保存");
  Sandbox sandbox;
  fs::create_directories(sandbox.home);
  ASSERT_NO_FATAL_FAILURE(store::WriteTestDataSet(sandbox.home + "/", [](store::CardStore& set) {
    for (const char* path : {"Web", "Web 記事", "Web 記事 保存"}) {
      store::WriteFolderRow(set, Utf8ToCp932(path));
    }
  }));
  // Ctrl+Alt+K saves; the header names the page and the window.
  std::ofstream(sandbox.home + "/quillmain.ini", std::ios::binary)
      << "[Env]\r\nUseButton=0\r\nSaveKey=" << 0xC04B << "\r\nDefAddKubun=" << folder
      << "\r\nDefAddKubunFile=0\r\nSaveTitle=1\r\n";
  const std::string bin = sandbox.dir.File("bin");
  fs::create_directories(bin);
  const std::string played = WriteFakeSoundPlayer(bin);
  QProcessEnvironment env = sandbox.env;
  env.insert("PATH", QString::fromStdString(bin) + ":" + env.value("PATH"));

  // The editor holds the text, all of it selected.
  Client editor = MousepadWith(sandbox, text);
  const unsigned long pad = editor.WaitForWindow();
  ASSERT_NE(pad, 0u) << "mousepad showed no window";

  QProcess quillmain;
  StartQuillmain(quillmain, env);
  ASSERT_TRUE(quillmain.waitForStarted(10000));
  const unsigned long main_window = WaitForStart(sandbox.block);
  ASSERT_NE(main_window, 0u) << "quillmain did not start";

  ASSERT_TRUE(ActivateWindow(pad));
  ASSERT_TRUE(WaitFor([&] { return SelectAllGives(text); }, 10000));
  ASSERT_NO_FATAL_FAILURE(SetClipboard("user clip"));
  const unsigned long users_owner = XSelectionOwner("clipboard");

  // The key; while the card is made the flash shows over the editor, and
  // the editor keeps the focus throughout, up to the end of the capture
  // (the user's clipboard put back).
  ASSERT_EQ(RunTool({"xdotool", "key", "ctrl+alt+k"}).status, 0);
  std::optional<QRect> flash;
  std::set<unsigned long> active;
  QElapsedTimer since;
  since.start();
  while (since.elapsed() < 30000 && !(flash && fs::exists(played))) {
    active.insert(x.ActiveWindow());
    if (!flash && (flash = x.Flash())) {
      EXPECT_TRUE(x.FocusWithin(pad));
      // It stays up for 300 ms at least: painted after a round trip
      // through quillmain's loop.
      ClientRoundTrip(main_window);
      EXPECT_TRUE(QGuiApplication::primaryScreen()->grabWindow(0).save(
          QString(ARTEFACT_DIR) + "/quillmain_one_shot_flash.png"));
    }
    QTest::qWait(5);
  }
  ASSERT_TRUE(fs::exists(played)) << "no sound was played";
  const std::string sound =
      "-q " + fs::path(QUILLMAIN_PATH).parent_path().string() + "/Clipsnd.wav\n";
  EXPECT_TRUE(WaitFor([&] { return ReadFileBytes(played) == sound; }, 20000))
      << ReadFileBytes(played);
  ASSERT_TRUE(flash.has_value()) << "no flash was seen";
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  EXPECT_EQ(flash->topLeft(), QPoint((screen.width() - 32) / 2, (screen.height() - 32) / 2));
  EXPECT_EQ(active, std::set<unsigned long>{pad});
  EXPECT_TRUE(HandedBack("clipboard", users_owner, "user clip")) << XSelection("clipboard");
  EXPECT_EQ(x.ActiveWindow(), pad);
  EXPECT_TRUE(x.FocusWithin(pad));
  EXPECT_TRUE(WaitFor([&] { return !x.Flash().has_value(); }, 20000));

  x.RequestClose(main_window);
  ASSERT_TRUE(quillmain.waitForFinished(20000));
  EXPECT_EQ(quillmain.exitCode(), 0);

  // The card, read from the data set on disk.
  store::CardStore set(FileEnv::Default(), sandbox.home + "/");
  ASSERT_TRUE(set.Open(true, "").ok());
  const std::vector<store::CardRecord> cards = store::CardsOfFolder(set, folder);
  ASSERT_EQ(cards.size(), 1u);
  const std::string title = RunTool({"xdotool", "getwindowname", std::to_string(pad)}).out;
  const std::string header = Utf8ToCp932("★入手先URL=\r\n★タイトル=") +
                             Utf8ToCp932(title.substr(0, title.find('\n'))) + "\r\n\r\n";
  EXPECT_EQ(cards[0].text, header + Utf8ToCp932(text));
  EXPECT_EQ(cards[0].title, Utf8ToCp932(text).substr(0, 28));
  EXPECT_TRUE(cards[0].locked);
}

// A clipboard owner that never answers (a hung application) would hold a
// capture up for 5 s a request: it gets a second to answer, is then left
// unread and named in the log, and the capture goes on with the editor's
// selection.
TEST_F(QuillmainDesktopTest, AClipboardOwnerThatNeverAnswersHoldsNoCaptureUp) {
  const std::string text = "captured past a silent owner";
  const std::string folder = Utf8ToCp932("Web");
  Sandbox sandbox;
  fs::create_directories(sandbox.home);
  ASSERT_NO_FATAL_FAILURE(store::WriteTestDataSet(
      sandbox.home + "/", [&](store::CardStore& set) { store::WriteFolderRow(set, folder); }));
  // Ctrl+Alt+K saves into "Web".
  std::ofstream(sandbox.home + "/quillmain.ini", std::ios::binary)
      << "[Env]\r\nUseButton=0\r\nSaveKey=" << 0xC04B << "\r\nDefAddKubun=" << folder
      << "\r\nDefAddKubunFile=0\r\n";
  Client editor = MousepadWith(sandbox, text);
  const unsigned long pad = editor.WaitForWindow();
  ASSERT_NE(pad, 0u) << "mousepad showed no window";

  QProcess quillmain;
  const std::string log = sandbox.dir.File("quillmain.log");
  StartQuillmain(quillmain, sandbox.env, log);
  ASSERT_TRUE(quillmain.waitForStarted(10000));
  const unsigned long main_window = WaitForStart(sandbox.block);
  ASSERT_NE(main_window, 0u) << "quillmain showed no main window";
  ASSERT_TRUE(ActivateWindow(pad));
  ASSERT_TRUE(WaitFor([&] { return SelectAllGives(text); }, 10000));

  // The owner: a window of a connection that never reads its events.
  Display* silent = XOpenDisplay(nullptr);
  ASSERT_NE(silent, nullptr);
  const Window owner = XCreateSimpleWindow(silent, DefaultRootWindow(silent), 0, 0, 1, 1, 0, 0, 0);
  XSetSelectionOwner(silent, XInternAtom(silent, "CLIPBOARD", False), owner, CurrentTime);
  XSync(silent, False);

  const std::string texts = sandbox.home + "/quilbo7.tx";
  const std::string before = ReadFileBytes(texts);
  ASSERT_EQ(RunTool({"xdotool", "key", "ctrl+alt+k"}).status, 0);
  EXPECT_TRUE(WaitFor([&] { return ReadFileBytes(texts) != before; }, 30000)) << "no card";
  EXPECT_TRUE(WaitFor([&] { return x.FocusWithin(pad); }, 20000));
  XCloseDisplay(silent);

  x.RequestClose(main_window);
  ASSERT_TRUE(quillmain.waitForFinished(20000));
  EXPECT_EQ(quillmain.exitCode(), 0);
  // The owner was asked once and then left unread: named once.
  const std::string logged = ReadFileBytes(log);
  const std::string silent_line = "clipboard read: the owner of CLIPBOARD did not answer";
  size_t named = 0;
  for (size_t at = logged.find(silent_line); at != std::string::npos;
       at = logged.find(silent_line, at + 1)) {
    ++named;
  }
  EXPECT_EQ(named, 1u) << logged;
  store::CardStore set(FileEnv::Default(), sandbox.home + "/");
  ASSERT_TRUE(set.Open(true, "").ok());
  const std::vector<store::CardRecord> cards = store::CardsOfFolder(set, folder);
  ASSERT_EQ(cards.size(), 1u);
  EXPECT_EQ(cards[0].text, Utf8ToCp932("★入手先URL=\r\n\r\n") + Utf8ToCp932(text));
}

// The folder popup and the clip-tool menu over mousepad and xterm, by
// their hot keys: Ctrl+Alt+F9 and Ctrl+Alt+F10. Without the clip history
// the popup starts with "メニュー(&M)" and "&Root", so "r", Right and
// Return choose the first card of the first folder.
constexpr uint16_t kPopupKey = 0xC078;
constexpr uint16_t kMagicKey = 0xC079;

class QuillmainPopupTest : public QuillmainPasteTest {
 protected:
  void UsePopupKeys() {
    ini_ << "PopupKubunKey=" << kPopupKey << "\r\nMagicKey=" << kMagicKey
         << "\r\nUseHistory=0\r\n";
  }
  // Waits for a menu and keeps a picture of it in the build folder. The
  // keys typed before have been handled first (a round trip through
  // quillmain's loop), so that a menu they closed is gone. Once the menu
  // is up and the window manager has handled every request it had, the
  // main window is not over the application: it is hidden for the menu,
  // or was not on the screen before.
  void WaitForMenu(const char* picture = nullptr) {
    const unsigned long main_window = MainWindowOf(sandbox_.block);
    ASSERT_TRUE(ClientRoundTrip(main_window));
    ASSERT_TRUE(WaitFor(PopupMenuShown, 20000)) << "no menu came";
    ASSERT_TRUE(WindowManagerRoundTrip());
    ASSERT_TRUE(ClientRoundTrip(main_window));  // painted, with the keyboard
    X11Display x;
    EXPECT_FALSE(x.IsMapped(main_window)) << "the main window is over the application";
    if (picture == nullptr) return;
    EXPECT_TRUE(QGuiApplication::primaryScreen()->grabWindow(0).save(
        QString(ARTEFACT_DIR) + "/" + picture));
  }
  // Keys typed into the menu that is up, in this order.
  static void Keys(std::initializer_list<const char*> keys) {
    std::vector<std::string> argv = {"xdotool", "key"};
    argv.insert(argv.end(), keys.begin(), keys.end());
    ASSERT_EQ(RunTool(argv).status, 0);
  }
};

TEST_F(QuillmainPopupTest, TheFolderPopupPastesACardChosenWithKeys) {
  AddCard("メモ", kCardText);
  UsePopupKeys();
  Start();
  if (HasFatalFailure()) return;

  // Over mousepad, with the hot key still held while the popup comes up.
  SetEditorText(kEditorText);
  SetClipboard(kUsersText);
  std::optional<SelectionWatch> clipboard;
  clipboard.emplace("CLIPBOARD");
  ASSERT_TRUE(ActivateWindow(pad_));
  ASSERT_EQ(RunTool({"xdotool", "keydown", "ctrl+alt+F9"}).status, 0);
  WaitForMenu("quillmain_folder_popup.png");
  ASSERT_EQ(RunTool({"xdotool", "keyup", "F9", "alt", "ctrl"}).status, 0);
  if (HasFatalFailure()) return;
  Keys({"r", "Right", "Return"});
  EXPECT_TRUE(PastedAndPutBack(*clipboard));
  EXPECT_TRUE(EditorHolds(kCardText)) << XSelection("primary");
  EXPECT_EQ(XSelection("clipboard"), kUsersText);

  // Over xterm running `cat`.
  SetClipboard(kUsersText);
  const unsigned long users_owner = XSelectionOwner("clipboard");
  clipboard.emplace("CLIPBOARD");
  const size_t before = ReadFileBytes(typed_).size();
  ASSERT_TRUE(ActivateWindow(term_));
  Press("ctrl+alt+F9");
  WaitForMenu();
  if (HasFatalFailure()) return;
  Keys({"r", "Right", "Return"});
  // The paste is done before the line ends.
  EXPECT_TRUE(PastedAndPutBack(*clipboard));
  EXPECT_TRUE(HandedBack("clipboard", users_owner, kUsersText)) << XSelection("clipboard");
  ASSERT_TRUE(ActivateWindow(term_));
  Press("Return");
  EXPECT_TRUE(
      WaitFor([&] { return ReadFileBytes(typed_).size() >= before + sizeof kCardText; }, 20000));
  EXPECT_EQ(ReadFileBytes(typed_).substr(before), std::string(kCardText) + "\n");
}

// With RetActive on (as on a fresh install) an Enter released in the
// application last makes a paste bring the main window up first when the
// application is not in front. Over mousepad: the popup's hot key does
// not bring the main window forward, and the Enter that chooses from the
// popup, pressed in our menu while mousepad stays the active window, is
// never taken for an Enter of mousepad's: from the hot key to the end of
// the paste (the user's clipboard back once mousepad has fetched the
// card) mousepad alone is active, and the card arrives in it.
TEST_F(QuillmainPopupTest, EnterInThePopupIsNotTakenForTheEditorsEnter) {
  AddCard("メモ", kCardText);
  UsePopupKeys();
  ini_ << "RetActive=1\r\n";
  Start();
  if (HasFatalFailure()) return;
  X11Display x;
  const unsigned long main_window = MainWindowOf(sandbox_.block);
  ASSERT_TRUE(x.IsMapped(main_window));

  SetEditorText(kEditorText);
  SetClipboard(kUsersText);
  const unsigned long users_owner = XSelectionOwner("clipboard");
  SelectionWatch clipboard("CLIPBOARD");
  ASSERT_TRUE(WaitFor([&] { return ActivateWindow(pad_) && x.ActiveWindow() == pad_; }, 20000));
  BlockWatch last_key_up(sandbox_.block, &SharedHookBlock::LastKeyUp);
  ActiveWatch active;
  Press("ctrl+alt+F9");
  WaitForMenu();
  if (HasFatalFailure()) return;
  Keys({"r", "Right", "Return"});
  EXPECT_TRUE(PastedAndPutBack(clipboard));
  EXPECT_TRUE(EditorHolds(kCardText)) << XSelection("primary");
  EXPECT_TRUE(HandedBack("clipboard", users_owner, kUsersText)) << XSelection("clipboard");
  EXPECT_EQ(active.Stop(), std::set<unsigned long>{pad_}) << "main window " << main_window;
  EXPECT_EQ(last_key_up.Stop().count(0x0D), 0u);
}

TEST_F(QuillmainPopupTest, AToolOfATestPlugInReplacesTheEditorsSelection) {
  fs::create_directories(sandbox_.home);
  fs::copy_file(TEST_TOOLS_PATH, sandbox_.home + "/tools.cta");
  UsePopupKeys();
  Start();
  if (HasFatalFailure()) return;

  SetEditorText("abcあ");
  SetClipboard(kUsersText);
  ASSERT_TRUE(ActivateWindow(pad_));
  Press("ctrl+alt+F10");
  WaitForMenu("quillmain_magic_menu.png");
  if (HasFatalFailure()) return;
  Keys({"u"});  // "upper(&U)", mode 3
  EXPECT_TRUE(EditorHolds("ABCあ")) << XSelection("primary");
  EXPECT_TRUE(WaitFor([] { return XSelection("clipboard") == kUsersText; }, 20000))
      << XSelection("clipboard");
}

// quillpeek.cta beside quillmain: "代入逆転(&X)" works on the clipboard,
// "大文字に変換(&B)" on mousepad's selection.
TEST_F(QuillmainPopupTest, QuillpeeksToolsOnTheClipboardAndOnTheEditor) {
  UsePopupKeys();
  Start();
  if (HasFatalFailure()) return;

  SetClipboard("名前 = 値;");
  ASSERT_TRUE(ActivateWindow(pad_));
  Press("ctrl+alt+F10");
  WaitForMenu();
  if (HasFatalFailure()) return;
  Keys({"x"});
  EXPECT_TRUE(WaitFor([] { return XSelection("clipboard") == "値=名前 ;\n"; }, 20000))
      << XSelection("clipboard");

  SetEditorText("abcａ");
  SetClipboard(kUsersText);
  ASSERT_TRUE(ActivateWindow(pad_));
  Press("ctrl+alt+F10");
  WaitForMenu();
  if (HasFatalFailure()) return;
  Keys({"b"});
  EXPECT_TRUE(EditorHolds("ABCＡ")) << XSelection("primary");
}

// NoTrack in the block `name`: the hook sets it with every popup key, and
// quillmain clears it once no popup command is left running. 0xFF while
// there is no block.
uint8_t NoTrackOf(const std::string& name) {
  return ReadBlock(
      name,
      [](const SharedHookBlock& block) {
        return block.MainWindow() != 0 ? block.NoTrack() : uint8_t{0xFF};
      },
      uint8_t{0xFF});
}

// How the main window stands when the popup keys come.
struct MainWindowAtStart {
  const char* name;
  const char* settings;  // for quillmain.ini
  bool minimise;         // the user minimises it after the start
  bool shown;            // on the screen
};

class QuillmainRapidPopupTest : public QuillmainPopupTest,
                                public ::testing::WithParamInterface<MainWindowAtStart> {};

// Bursts of five presses of the popup key within a second over mousepad:
// each press closes the menu that is up (the key holds Alt) and opens the
// next one, or is refused while one is still coming or going. However the
// presses fall, once the last menu is dismissed or chosen from, mousepad
// is in front with the keyboard and quillmain's main window is as it was
// before: shown behind the editor, or not on the screen (never shown since
// a start as an icon, or minimised by the user), and then it never came up
// meanwhile. The main window is never the active one.
TEST_P(QuillmainRapidPopupTest, RapidPopupKeysLeaveTheEditorInFront) {
  const MainWindowAtStart& start = GetParam();
  AddCard("メモ", kCardText);
  UsePopupKeys();
  ini_ << start.settings;
  Start(/*mapped=*/start.shown || start.minimise);
  if (HasFatalFailure()) return;
  X11Display x;
  const unsigned long main_window = MainWindowOf(sandbox_.block);
  if (start.minimise) {
    ASSERT_EQ(RunTool({"xdotool", "windowminimize", "--sync", std::to_string(main_window)}).status,
              0);
    // quillmain knows once the window manager is done with it.
    ASSERT_TRUE(WindowManagerRoundTrip());
    ASSERT_TRUE(ClientRoundTrip(main_window));
  }
  ASSERT_EQ(x.IsMapped(main_window), start.shown);

  // No popup command is running or coming, no menu is up, and the editor
  // has the keyboard with the main window as it was; still so once the
  // window manager and quillmain have handled what they had.
  const auto editor_in_front = [&] {
    return !PopupMenuShown() && NoTrackOf(sandbox_.block) == 0 && x.ActiveWindow() == pad_ &&
           x.FocusWithin(pad_) && x.IsMapped(main_window) == start.shown;
  };
  const auto stays_in_front = [&] {
    return WaitFor(editor_in_front, 20000) && WindowManagerRoundTrip() &&
           ClientRoundTrip(main_window) && editor_in_front();
  };
  const auto state = [&] {
    return "active " + Hex(x.ActiveWindow()) + ", editor " + Hex(pad_) + ", main " +
           Hex(main_window) + (x.IsMapped(main_window) ? " shown" : " not shown") +
           (PopupMenuShown() ? ", a menu up" : "");
  };
  // Five presses; Escape closes whatever menu they leave, until none comes.
  const auto burst = [&] {
    ASSERT_EQ(RunTool({"xdotool", "key", "--delay", "150", "ctrl+alt+F9", "ctrl+alt+F9",
                       "ctrl+alt+F9", "ctrl+alt+F9", "ctrl+alt+F9"})
                  .status,
              0);
    ASSERT_TRUE(WaitFor(
        [&] {
          if (PopupMenuShown()) RunTool({"xdotool", "key", "Escape"});
          return editor_in_front();
        },
        30000))
        << state();
  };

  SetEditorText(kEditorText);
  ValueWatch mapped([probe = std::make_shared<X11Display>(), main_window] {
    return std::optional<unsigned long>(probe->IsMapped(main_window) ? 1 : 0);
  });
  ActiveWatch active;

  // Dismissed.
  burst();
  if (HasFatalFailure()) return;
  EXPECT_TRUE(stays_in_front()) << state();

  // Chosen: after another burst, one more press opens the popup and its
  // first card is pasted.
  burst();
  if (HasFatalFailure()) return;
  SetEditorText(kEditorText);
  SetClipboard(kUsersText);
  const unsigned long users_owner = XSelectionOwner("clipboard");
  SelectionWatch clipboard("CLIPBOARD");
  Press("ctrl+alt+F9");
  WaitForMenu();
  if (HasFatalFailure()) return;
  Keys({"r", "Right", "Return"});
  EXPECT_TRUE(PastedAndPutBack(clipboard));
  EXPECT_TRUE(EditorHolds(kCardText)) << XSelection("primary");
  EXPECT_TRUE(HandedBack("clipboard", users_owner, kUsersText)) << XSelection("clipboard");
  EXPECT_TRUE(stays_in_front()) << state();

  const std::set<unsigned long> was_active = active.Stop();
  EXPECT_EQ(was_active.count(main_window), 0u) << "the main window was active";
  if (!start.shown) {
    EXPECT_EQ(mapped.Stop(), std::set<unsigned long>{0}) << "the main window came up";
  }
}

INSTANTIATE_TEST_SUITE_P(
    MainWindow, QuillmainRapidPopupTest,
    ::testing::Values(MainWindowAtStart{"Shown", "", false, true},
                      MainWindowAtStart{"StartedAsAnIcon", "RunIcon=1\r\n", false, false},
                      MainWindowAtStart{"MinimisedByTheUser", "", true, false}),
    [](const ::testing::TestParamInfo<MainWindowAtStart>& param) { return param.param.name; });

// The register-here menu over mousepad, by SaveKubunKey (Ctrl+Alt+J): the
// first selection registers into the folder "メモ" (Down, Right, Return),
// the second is appended to that folder's newest card through
// "ここのカードに追加" (the history entry comes first now). Both times the
// user's clipboard comes back and mousepad keeps the focus.
TEST_F(QuillmainPopupTest, TheRegisterHereMenuRegistersAndAppendsOverTheEditor) {
  const std::string folder = Utf8ToCp932("メモ");
  fs::create_directories(sandbox_.home);
  ASSERT_NO_FATAL_FAILURE(store::WriteTestDataSet(
      sandbox_.home + "/", [&](store::CardStore& set) { store::WriteFolderRow(set, folder); }));
  ini_ << "SaveKubunKey=" << 0xC04A << "\r\nUseHistory=0\r\nIppastuLock=0\r\n";
  Start();
  if (HasFatalFailure()) return;
  X11Display x;
  unsigned long users_owner = 0;
  const auto back_in_editor = [&] {
    EXPECT_TRUE(HandedBack("clipboard", users_owner, kUsersText)) << XSelection("clipboard");
    EXPECT_TRUE(WaitFor([&] { return x.FocusWithin(pad_); }, 20000));
  };

  SetEditorText("登録する日本語");
  SetClipboard(kUsersText);
  users_owner = XSelectionOwner("clipboard");
  ASSERT_TRUE(ActivateWindow(pad_));
  Press("ctrl+alt+j");
  WaitForMenu("quillmain_register_menu.png");
  if (HasFatalFailure()) return;
  Keys({"Down", "Right", "Return"});
  back_in_editor();
  const std::string registry = sandbox_.dir.File("config") + "/quillbox/registry.ini";
  EXPECT_TRUE(WaitFor(
      [&] {
        return ReadFileBytes(registry).find(Utf8ToCp932("TourokuRireki=メモ\\t0\\t?")) !=
               std::string::npos;
      },
      20000))
      << ReadFileBytes(registry);

  SetEditorText("追記する文");
  SetClipboard(kUsersText);
  users_owner = XSelectionOwner("clipboard");
  ASSERT_TRUE(ActivateWindow(pad_));
  Press("ctrl+alt+j");
  WaitForMenu();
  if (HasFatalFailure()) return;
  Keys({"Down", "Down", "Right", "Down", "Return"});
  WaitForMenu("quillmain_append_menu.png");
  if (HasFatalFailure()) return;
  Keys({"Down", "Return"});
  back_in_editor();

  x.RequestClose(MainWindowOf(sandbox_.block));
  ASSERT_TRUE(quillmain_.waitForFinished(20000));
  EXPECT_EQ(quillmain_.exitCode(), 0);
  store::CardStore set(FileEnv::Default(), sandbox_.home + "/");
  ASSERT_TRUE(set.Open(true, "").ok());
  const std::vector<store::CardRecord> cards = store::CardsOfFolder(set, folder);
  ASSERT_EQ(cards.size(), 1u);
  EXPECT_EQ(cards[0].text, Utf8ToCp932("★入手先URL=\r\n\r\n登録する日本語\r\n\r\n\r\n追記する文\r\n"));
}

// The main window's client area on the screen.
QRect WindowGeometry(unsigned long window) {
  const std::string out =
      RunTool({"xdotool", "getwindowgeometry", "--shell", std::to_string(window)}).out;
  auto value = [&](const std::string& key) {
    const size_t at = out.find(key + "=");
    return at == std::string::npos ? 0 : std::atoi(out.c_str() + at + key.size() + 1);
  };
  return QRect(value("X"), value("Y"), value("WIDTH"), value("HEIGHT"));
}

// A table card in the main window: a file dragged from another window onto
// its grid becomes a link in the current cell, stored when another card is
// selected; a double click on a cell that links to a card opens that card
// in a card window.
TEST_F(QuillmainDesktopTest, AFileDroppedOnATableIsStoredAndACardLinkOpensItsCard) {
  Sandbox sandbox;
  fs::create_directories(sandbox.home);
  std::string table_id;
  ASSERT_NO_FATAL_FAILURE(store::WriteTestDataSet(sandbox.home + "/", [&](store::CardStore& set) {
    store::WriteFolderRow(set, "F");
    store::CardRecord c(set);
    c.Clear();
    c.folder = "F";
    c.title = "Other";
    c.text = "other";
    c.position = 0;
    ASSERT_TRUE(c.Write().ok());
    // Twenty rows of three wide columns: the first cell takes the drop,
    // every other links to "Other".
    std::string table;
    for (int row = 0; row < 20; ++row) {
      table += row == 0 ? "drop" : "<card=Other>";
      table += "\t<card=Other>\t<card=Other>\r\n";
    }
    c.Clear();
    c.folder = "F";
    c.title = "Table";
    c.text = table;
    c.kind = 'C';
    c.position = 1;
    c.column_widths.fill(30);
    ASSERT_TRUE(c.Write().ok());
    table_id = c.id;
  }));
  std::ofstream(sandbox.home + "/quillmain.ini", std::ios::binary)
      << "[Env]\r\nUseButton=0\r\nRunTreeOpen=1\r\nLeft=0\r\nTop=0\r\nWidth=1000\r\n"
         "Height=700\r\nTreeWidth=250\r\n";
  QProcess quillmain;
  StartQuillmain(quillmain, sandbox.env);
  ASSERT_TRUE(quillmain.waitForStarted(10000));
  const unsigned long main_window = WaitForStart(sandbox.block);
  ASSERT_NE(main_window, 0u) << "quillmain showed no main window";
  const QRect frame = WindowGeometry(main_window);
  ASSERT_GT(frame.width(), 800);
  // A key in the tree; the card it selects opens a moment later, which the
  // right half shows (the text or the grid of the card before is gone; no
  // caret blinks there while the tree has the focus).
  const QRect card_area(frame.left() + 300, frame.top() + 200, 600, 400);
  const auto card_shown = [&] {
    return QGuiApplication::primaryScreen()
        ->grabWindow(0, card_area.x(), card_area.y(), card_area.width(), card_area.height())
        .toImage();
  };
  auto press = [&](const std::string& key) {
    const QImage before = card_shown();
    ASSERT_EQ(RunTool({"xdotool", "key", "--clearmodifiers", key}).status, 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return card_shown() != before; }, 20000))
        << "no other card shown after " << key;
    ASSERT_TRUE(ClientRoundTrip(main_window));
  };
  auto click = [](const QPoint& at, int times) {
    ASSERT_EQ(RunTool({"xdotool", "mousemove", std::to_string(at.x()), std::to_string(at.y()),
                       "click", "--repeat", std::to_string(times), "--delay", "120", "1"})
                  .status,
              0);
  };

  // A click below the tree's rows gives it the focus; End selects its last
  // card, the table, which the grid shows in the right half.
  ASSERT_TRUE(ActivateWindow(main_window));
  click(frame.topLeft() + QPoint(100, frame.height() - 40), 1);
  ASSERT_TRUE(ClientRoundTrip(main_window));
  press("End");
  EXPECT_TRUE(QGuiApplication::primaryScreen()->grabWindow(0).save(
      QString(ARTEFACT_DIR) + "/quillmain_table_card.png"));

  const std::string path = sandbox.dir.File("dropped file.txt");
  std::ofstream(path) << "x";
  DragSource source(QString::fromStdString(path));
  source.move(1100, 200);
  source.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&source, 20000));
  ASSERT_TRUE(WindowManagerRoundTrip());
  const std::string texts = sandbox.home + "/quilbo7.tx";
  const std::string before = ReadFileBytes(texts);
  ASSERT_TRUE(source.DragOnto(frame.topLeft() + QPoint(650, 450)))
      << "the grid did not take the drop";
  // The drop is an edit of the card in the editor, not yet stored, once
  // quillmain has handled it: a round trip through its loop, while ours
  // goes on serving the drag's data, which quillmain fetches from us.
  std::future<bool> handled =
      std::async(std::launch::async, [&] { return ClientRoundTrip(main_window); });
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return handled.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
      30000));
  ASSERT_TRUE(handled.get());
  EXPECT_EQ(ReadFileBytes(texts), before);
  EXPECT_TRUE(QGuiApplication::primaryScreen()->grabWindow(0).save(
      QString(ARTEFACT_DIR) + "/quillmain_table_drop.png"));

  // Selecting the other card stores the table.
  ASSERT_TRUE(ActivateWindow(main_window));
  press("Up");
  EXPECT_TRUE(WaitFor([&] { return ReadFileBytes(texts) != before; }, 20000));

  // Back on the table, a double click on a card link opens "Other".
  press("Down");
  click(frame.topLeft() + QPoint(650, 330), 2);
  std::string other;
  EXPECT_TRUE(QTest::qWaitFor(
      [&] {
        other = RunTool({"xdotool", "search", "--onlyvisible", "--name", "^Other$"}).out;
        return !other.empty();
      },
      20000));
  EXPECT_TRUE(QGuiApplication::primaryScreen()->grabWindow(0).save(
      QString(ARTEFACT_DIR) + "/quillmain_table_card_link.png"));
  if (!other.empty()) {
    x.RequestClose(std::strtoul(other.c_str(), nullptr, 10));
    EXPECT_TRUE(QTest::qWaitFor(
        [] {
          return RunTool({"xdotool", "search", "--onlyvisible", "--name", "^Other$"}).out.empty();
        },
        20000));
  }

  x.RequestClose(main_window);
  ASSERT_TRUE(quillmain.waitForFinished(20000));
  EXPECT_EQ(quillmain.exitCode(), 0);
  store::CardStore set(FileEnv::Default(), sandbox.home + "/");
  ASSERT_TRUE(set.Open(true, "").ok());
  const std::vector<store::CardRecord> cards = store::CardsOfFolder(set, "F");
  ASSERT_EQ(cards.size(), 2u);
  const store::CardRecord& table = cards[0].id == table_id ? cards[0] : cards[1];
  EXPECT_EQ(table.kind, 'C');
  EXPECT_TRUE(table.text.starts_with("<file=" + Utf8ToCp932(path) + ">\t<card=Other>\t"))
      << table.text.substr(0, 80);
}

}  // namespace
}  // namespace quill

namespace quill {
namespace {

// The options dialog takes a hot key typed into its field while the hooks
// are off; after OK the new key pressed over xterm opens the folder popup
// and the old one no longer does.
TEST_F(QuillmainDesktopTest, AHotKeySetInTheOptionsDialogReplacesTheOldOne) {
  Sandbox sandbox;
  fs::create_directories(sandbox.home);
  // Ctrl+Alt+J opens the folder popup (command 6).
  std::ofstream(sandbox.home + "/quillmain.ini", std::ios::binary)
      << "[Env]\r\nUseButton=0\r\nPopupKubunKey=" << 0xC04A << "\r\n";
  Client terminal({"xterm"}, ClientEnvironment(sandbox.dir.Path()), sandbox.dir.File("xterm.log"));
  const unsigned long term = terminal.WaitForWindow();
  ASSERT_NE(term, 0u) << "xterm showed no window";

  QProcess quillmain;
  StartQuillmain(quillmain, sandbox.env);
  ASSERT_TRUE(quillmain.waitForStarted(10000));
  const unsigned long main_window = WaitForStart(sandbox.block);
  ASSERT_NE(main_window, 0u) << "quillmain showed no main window";
  const auto term_in_front = [&] {
    return WaitFor([&] { return x.ActiveWindow() == term && x.FocusWithin(term); }, 20000);
  };
  const auto menu_came_and_went = [&] {
    EXPECT_TRUE(QTest::qWaitFor(PopupMenuShown, 20000)) << "no menu came";
    ASSERT_TRUE(ClientRoundTrip(main_window));
    RunTool({"xdotool", "key", "Escape"});
    ASSERT_TRUE(QTest::qWaitFor([] { return !PopupMenuShown(); }, 20000));
    // The popup hands the focus back to xterm and shows the main window
    // again behind it.
    EXPECT_TRUE(term_in_front());
    EXPECT_TRUE(QTest::qWaitFor([&] { return x.IsMapped(main_window); }, 20000));
  };

  // The old key works before the dialog.
  ASSERT_TRUE(ActivateWindow(static_cast<WindowHandle>(term)));
  RunTool({"xdotool", "key", "ctrl+alt+j"});
  menu_came_and_went();
  if (HasFatalFailure()) return;

  // The dialog from the main menu; its first field has the focus.
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        ActivateWindow(static_cast<WindowHandle>(main_window));
        return x.ActiveWindow() == main_window && x.FocusWithin(main_window);
      },
      20000));
  ASSERT_TRUE(ClientRoundTrip(main_window));
  RunTool({"xdotool", "key", "--clearmodifiers", "alt+o"});
  ASSERT_TRUE(QTest::qWaitFor(PopupMenuShown, 20000)) << "the menu 環境設定 did not open";
  ASSERT_TRUE(ClientRoundTrip(main_window));
  EXPECT_TRUE(QGuiApplication::primaryScreen()->grabWindow(0).save(
      QString(ARTEFACT_DIR) + "/quillmain_options_menu.png"));
  RunTool({"xdotool", "key", "--clearmodifiers", "o"});
  ASSERT_TRUE(QTest::qWaitFor([] { return WindowsTitled("環境設定") == 1; }, 20000));
  const unsigned long dialog = WindowTitled("環境設定");
  ASSERT_TRUE(QTest::qWaitFor([&] { return x.FocusWithin(dialog); }, 20000));
  ASSERT_TRUE(ClientRoundTrip(main_window));
  // Typed while the hooks are off, the keys reach the field.
  RunTool({"xdotool", "key", "ctrl+alt+p"});
  ASSERT_TRUE(ClientRoundTrip(main_window));
  EXPECT_TRUE(QGuiApplication::primaryScreen()->grabWindow(0).save(
      QString(ARTEFACT_DIR) + "/quillmain_options_dialog.png"));
  RunTool({"xdotool", "key", "Return"});
  ASSERT_TRUE(QTest::qWaitFor([] { return WindowsTitled("環境設定") == 0; }, 20000));
  EXPECT_TRUE(QTest::qWaitFor(
      [&] {
        return ReadFileBytes(sandbox.home + "/quillmain.ini").find("PopupKubunKey=49232") !=
               std::string::npos;
      },
      20000));

  // Over xterm: the new key opens the popup.
  ASSERT_TRUE(ActivateWindow(static_cast<WindowHandle>(term)));
  RunTool({"xdotool", "key", "ctrl+alt+p"});
  menu_came_and_went();
  if (HasFatalFailure()) return;
  // The old one does not: the hook has handled it (a Pause pressed after
  // it is the application's last key) without taking it for a popup key,
  // which sets NoTrack, and no menu is up.
  ASSERT_TRUE(ActivateWindow(static_cast<WindowHandle>(term)));
  RunTool({"xdotool", "key", "ctrl+alt+j", "Pause"});
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return BlockFieldOf(sandbox.block, &SharedHookBlock::LastKeyUp) == 0x13; }, 20000));
  EXPECT_EQ(NoTrackOf(sandbox.block), 0);
  ASSERT_TRUE(ClientRoundTrip(main_window));
  EXPECT_FALSE(PopupMenuShown());

  x.RequestClose(main_window);
  EXPECT_TRUE(quillmain.waitForFinished(20000));
  EXPECT_EQ(quillmain.exitCode(), 0);
}

}  // namespace
}  // namespace quill

namespace quill {
namespace {

// The windows whose _NET_WM_NAME is `title`. (In the C locale a program's
// WM_NAME cannot hold Japanese, and xdotool's search reads that.)
int WindowsNamed(const std::string& title) {
  const RunResult all = RunTool({"xdotool", "search", "--name", "."});
  std::istringstream ids(all.out);
  int count = 0;
  for (std::string id; std::getline(ids, id);) {
    const RunResult name = RunTool({"xdotool", "getwindowname", id});
    if (name.out == title + "\n") ++count;
  }
  return count;
}

// Qt's own dialogs come up in Japanese whatever the locale: quillmain
// started in the C locale opens the colour chooser of the text's
// background under its Japanese caption (a screenshot is kept).
TEST_F(QuillmainDesktopTest, QtsOwnDialogsSpeakJapaneseInAnyLocale) {
  Sandbox sandbox;
  fs::create_directories(sandbox.home);
  std::ofstream(sandbox.home + "/quillmain.ini", std::ios::binary) << "[Env]\r\nUseButton=0\r\n";
  QProcessEnvironment env = sandbox.env;
  env.insert("LANG", "C");
  env.insert("LC_ALL", "C");
  env.insert("LANGUAGE", "en");
  QProcess quillmain;
  StartQuillmain(quillmain, env);
  ASSERT_TRUE(quillmain.waitForStarted(10000));
  const unsigned long main_window = WaitForStart(sandbox.block);
  ASSERT_NE(main_window, 0u) << "quillmain showed no main window";
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        ActivateWindow(static_cast<WindowHandle>(main_window));
        return x.ActiveWindow() == main_window && x.FocusWithin(main_window);
      },
      20000));
  ASSERT_TRUE(ClientRoundTrip(main_window));  // it takes keys

  // F8 puts the focus on the text, then the menu.
  RunTool({"xdotool", "key", "--clearmodifiers", "F8", "alt+o"});
  ASSERT_TRUE(QTest::qWaitFor(PopupMenuShown, 20000)) << "the menu 環境設定 did not open";
  RunTool({"xdotool", "key", "--clearmodifiers", "b"});  // "テキスト部の背景色(&B)"
  ASSERT_TRUE(QTest::qWaitFor([] { return WindowsNamed("色を選択") == 1; }, 20000))
      << "no colour dialog titled in Japanese";
  EXPECT_TRUE(QTest::qWaitFor([&] { return x.ActiveWindow() != main_window; }, 20000));
  ASSERT_TRUE(ClientRoundTrip(main_window));
  EXPECT_TRUE(QGuiApplication::primaryScreen()->grabWindow(0).save(
      QString(ARTEFACT_DIR) + "/quillmain_colour_dialog_ja.png"));
  RunTool({"xdotool", "key", "Escape"});
  ASSERT_TRUE(QTest::qWaitFor([] { return WindowsNamed("色を選択") == 0; }, 20000));

  x.RequestClose(main_window);
  EXPECT_TRUE(quillmain.waitForFinished(20000));
  EXPECT_EQ(quillmain.exitCode(), 0);
}

}  // namespace
}  // namespace quill
