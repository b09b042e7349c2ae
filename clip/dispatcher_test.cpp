#include "clip/dispatcher.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/headless/fake_clock.h"
#include "platform/headless/fake_ui.h"
#include "platform/headless/fake_window_system.h"
#include "platform/headless/in_process_bus.h"
#include "platform/text_codec.h"

namespace quill {
namespace {

std::string Hex(WindowHandle w) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%08x", static_cast<unsigned>(w));
  return buf;
}

// The main window's side, as a log of what it was asked to do.
class FakeTarget final : public DispatchTarget {
 public:
  DispatchSettings settings;
  bool tree_loading = false;
  std::vector<std::function<void()>> deferred;
  std::array<std::string, 11> data_sets{};
  std::string one_shot_hint = "hint";
  CopyResult copy_result = CopyResult::kCopied;
  bool append_title = false;
  // Runs once inside the next popup or registration, where the message
  // loop goes on (a test posts a second hot key there).
  std::function<void()> inside;
  // The click of the entry the next menu returns as chosen.
  std::function<void()> chosen;
  void RunInside() {
    if (!inside) return;
    std::function<void()> f = std::move(inside);
    inside = nullptr;
    f();
  }
  std::vector<std::string> log;

  DispatchSettings CurrentSettings() override { return settings; }
  void RunWhenIdle(std::function<void()> command) override {
    if (tree_loading) {
      log.push_back("deferred");
      deferred.push_back(std::move(command));
    } else {
      command();
    }
  }
  void RestoreApplication() override { log.push_back("restore"); }
  void MinimizeApplication() override { log.push_back("minimize"); }
  void SetTaskbarButtonVisible(bool v) override { log.push_back(v ? "taskbar on" : "taskbar off"); }
  void CheckWindowPlacement() override { log.push_back("placement"); }
  int EditorCaret() override { return 42; }
  void StartButtonBar() override { log.push_back("start bar"); }
  void CloseMainWindow() override { log.push_back("close"); }
  void SaveEditorCard() override { log.push_back("save card"); }
  void AddNewClick() override { log.push_back("new card"); }
  void KensakuButtonClick() override { log.push_back("search"); }
  void ResortSelectedFolder() override { log.push_back("resort"); }
  void TakeCardWindowResult() override { log.push_back("take card window"); }
  void WindowClick(int x, int y) override {
    log.push_back("card window menu " + std::to_string(x) + "," + std::to_string(y));
  }
  void ReopenDataSet() override { log.push_back("reopen"); }
  void ShowSelectedNode() override { log.push_back("show selected"); }
  std::string DataSetName(int i) override { return data_sets.at(static_cast<size_t>(i)); }
  void SwitchDataSet(int i) override { log.push_back("switch " + std::to_string(i)); }
  std::string OneShotHint() override { return one_shot_hint; }
  void ActivateTargetWindow(WindowHandle w, bool enter) override {
    log.push_back("activate " + Hex(w) + (enter ? " enter" : ""));
  }
  WindowHandle FocusedWindowOf(WindowHandle w) override { return w + 1; }
  CopyResult CopyFromTarget() override {
    log.push_back("copy");
    RunInside();
    return copy_result;
  }
  void RestoreClipboard(bool forced) override {
    log.push_back(forced ? "restore clipboard forced" : "restore clipboard");
  }
  void ReshowCapturedCard() override { log.push_back("reshow captured"); }
  bool HasAppendTitle() override { return append_title; }
  void AppendToCard() override { log.push_back("append"); }
  void RegisterFromClipboard() override { log.push_back("register"); }
  void KeepClipboardText() override { log.push_back("keep clipboard"); }
  std::function<void()> ShowKubunPopup() override {
    log.push_back("folder popup");
    RunInside();
    return std::exchange(chosen, nullptr);
  }
  std::function<void()> ShowMagicMenu() override {
    log.push_back("magic menu");
    RunInside();
    return std::exchange(chosen, nullptr);
  }
  void SuperPaste(int slot) override {
    log.push_back("super paste " + std::to_string(slot));
    RunInside();
  }
  void CaptureHistory() override { log.push_back("history"); }
  void Rehook() override { log.push_back("rehook"); }
};

constexpr WindowHandle kEditor = 0x00600001;  // another application's window
constexpr WindowHandle kDock = 0x00700001;

struct DispatcherTest : ::testing::Test {
  alignas(8) std::array<uint8_t, kSharedHookBlockSize> bytes{};
  SharedHookBlock block{std::span<uint8_t, kSharedHookBlockSize>(bytes)};
  FakeClock clock;
  InProcessBus bus{&clock};
  WindowHandle main = bus.CreateWindow();
  WindowHandle bar = bus.CreateWindow();
  FakeWindowSystem windows{&clock};
  FakeUi ui;
  FakeTarget target;
  CommandScheduler scheduler{clock, bus, main};
  Dispatcher d{block, target, windows, ui, bus, clock, scheduler};

  DispatcherTest() {
    block.SetMainWindow(main);
    block.SetTargetWindow(kEditor);
    windows.AddWindow(main, "Quillbox");
    windows.AddWindow(kEditor, "XTerm");
    windows.AddWindow(kDock, "Panel", /*shell=*/true);
    // Questions take their place in the target's log.
    ui.on_question = [this](const FakeUi::Question& q) {
      target.log.push_back("ask " + Cp932ToUtf8(q.text) + " / " + Cp932ToUtf8(q.caption));
    };
  }

  void Post(uint32_t code, int32_t lparam) { d.WndProc(kCommandMessage, code, lparam); }
  std::vector<Message> Posted(WindowHandle w) { return bus.Take(w); }
};

std::vector<std::string> L(std::initializer_list<std::string> items) { return items; }

// Every command code: what the main window is asked to do, what reaches
// the desktop, and what is scheduled.
TEST_F(DispatcherTest, CommandTable) {
  const std::string ed = Hex(kEditor);
  const std::string mw = Hex(main);
  struct Case {
    uint32_t code;
    int32_t lparam;
    std::vector<std::string> target_log;
    std::vector<std::string> window_log;
  };
  const int32_t editor = static_cast<int32_t>(kEditor);
  const std::vector<Case> cases = {
      {2, editor, {"activate " + ed + " enter", "copy", "register"}, {}},
      {3, editor, {"activate " + ed + " enter", "copy", "register"}, {}},
      {8, editor, {"activate " + ed + " enter", "copy", "register"}, {}},
      {6, editor,
       {"keep clipboard", "activate " + mw, "folder popup", "activate " + ed + " enter"},
       {"hide " + mw, "pump 100", "showna " + mw, "top " + ed, "foreground " + ed}},
      {13, editor,
       {"activate " + mw, "magic menu", "activate " + ed + " enter", "activate " + ed + " enter",
        "activate " + ed},
       {"hide " + mw, "pump 100", "showna " + mw, "top " + ed, "foreground " + ed}},
      {7, editor, {"restore", "activate " + mw}, {"top " + mw}},
      {9, 0, {}, {}},
      {12, 0, {"restore clipboard"}, {}},
      {15, editor, {"restore", "activate " + mw, "new card"}, {}},
      {16, 0, {}, {}},
      {17, editor, {"search"}, {}},
      {18, 3, {"super paste 3"}, {}},
      {101, 0, {"history"}, {}},
      {102, 0, {"resort"}, {}},
      {103, 0, {"take card window"}, {}},
      {104, 5 * 65536 + 200, {"card window menu 200,5"}, {}},
      {104, -(5 * 65536 + 200), {"card window menu -200,-5"}, {}},
      {105, 0, {"reopen", "minimize"}, {}},
      {106, editor, {}, {}},  // no popup prepared: only hands the foreground back
      {107, 0, {"show selected"}, {}},
      {110, 0, {"restore", "activate " + mw}, {"top " + mw}},
      {0, 0, {}, {}},
      {999, 0, {}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    target.log.clear();
    windows.log().clear();
    d.state() = DispatchState{};
    block.SetTargetWindow(kEditor);
    windows.Find(main)->visible = true;
    Post(c.code, c.lparam);
    std::vector<std::string> expected = c.target_log;
    if (c.code == 106) expected = {};  // CommandTarget is 0 after the reset
    EXPECT_EQ(target.log, expected);
    EXPECT_EQ(windows.log(), c.window_log);
    EXPECT_FALSE(d.state().CaptureBusy);
    EXPECT_FALSE(d.state().PopupPrepared);
    EXPECT_FALSE(scheduler.pending());
    EXPECT_TRUE(Posted(main).empty());
    EXPECT_TRUE(Posted(bar).empty());
  }
}

TEST_F(DispatcherTest, SaveCommandsSetTheirCaptureVariables) {
  Post(3, static_cast<int32_t>(kEditor));
  EXPECT_EQ(d.state().HtmlCapture, 1);
  EXPECT_EQ(d.state().SaveVariant, 0);
  EXPECT_EQ(d.state().CommandTarget, kEditor);
  EXPECT_EQ(d.state().TargetFocus, kEditor + 1);
  Post(8, static_cast<int32_t>(kEditor));
  EXPECT_EQ(d.state().HtmlCapture, 1);  // 8 keeps the format of the last capture
  EXPECT_EQ(d.state().SaveVariant, 1);
  Post(2, static_cast<int32_t>(kEditor));
  EXPECT_EQ(d.state().HtmlCapture, 0);
}

TEST_F(DispatcherTest, RunSaveCommandPaths) {
  target.copy_result = CopyResult::kTimedOut;
  d.RunSaveCommand(0, kEditor);
  EXPECT_EQ(target.log, L({"copy", "activate 00600001", "restore clipboard forced",
                           "reshow captured"}));
  target.log.clear();
  target.copy_result = CopyResult::kCopied;
  target.append_title = true;
  d.RunSaveCommand(0, kEditor);
  EXPECT_EQ(target.log, L({"copy", "append"}));
  target.log.clear();
  d.RunSaveCommand(1, kEditor);  // the folder variant never appends
  EXPECT_EQ(target.log, L({"copy", "register"}));
  EXPECT_FALSE(d.state().CaptureBusy);
}

// A second hot key that arrives through the message loop of a running
// capture or popup beeps and does nothing else: no window is asked to come
// forward (a popup key does not bring the main window up, so there is no
// foreground to hand back either), and the focus-back of a folder menu that
// ended before leaves the foreground to the running one.
TEST_F(DispatcherTest, CaptureCommandsDuringACaptureOnlyBeep) {
  const WindowHandle pressed_in = kEditor + 7;
  for (uint32_t outer : {2u, 6u, 8u, 13u, 18u}) {
    for (uint32_t inner : {2u, 3u, 6u, 8u, 18u, 106u}) {
      SCOPED_TRACE(std::to_string(outer) + " then " + std::to_string(inner));
      target.log.clear();
      windows.log().clear();
      d.state() = DispatchState{};
      std::vector<std::string> log_inside, windows_inside;
      int beeps_inside = 0;
      DispatchState state_inside;
      target.inside = [&] {
        size_t t0 = target.log.size(), w0 = windows.log().size();
        int b0 = ui.beeps();
        state_inside = d.state();
        Post(inner, static_cast<int32_t>(pressed_in));
        log_inside.assign(target.log.begin() + static_cast<long>(t0), target.log.end());
        windows_inside.assign(windows.log().begin() + static_cast<long>(w0), windows.log().end());
        beeps_inside = ui.beeps() - b0;
        EXPECT_EQ(d.state().CommandTarget, state_inside.CommandTarget);
        EXPECT_EQ(d.state().HtmlCapture, state_inside.HtmlCapture);
        EXPECT_TRUE(d.state().CaptureBusy);
      };
      Post(outer, static_cast<int32_t>(kEditor));
      EXPECT_TRUE(log_inside.empty());
      EXPECT_TRUE(windows_inside.empty());
      EXPECT_EQ(beeps_inside, inner == 106 ? 0 : 1);
      EXPECT_FALSE(d.state().CaptureBusy);
    }
  }
}

TEST_F(DispatcherTest, NoTrackIsClearedOnEveryWayOutOfThePopupCommands) {
  for (uint32_t code : {6u, 8u, 13u}) {
    SCOPED_TRACE(code);
    // The normal way.
    block.SetNoTrack(1);
    Post(code, static_cast<int32_t>(kEditor));
    EXPECT_EQ(block.NoTrack(), 0);
    // Refused while a capture runs: the hook set NoTrack for the refused
    // command, and it is cleared once the running one ends.
    target.inside = [&] {
      block.SetNoTrack(1);
      Post(code, static_cast<int32_t>(kEditor));
    };
    Post(2, static_cast<int32_t>(kEditor));
    EXPECT_EQ(block.NoTrack(), 0);
    // Refused with CaptureBusy left set by a registration of its own.
    d.state().CaptureBusy = true;
    block.SetNoTrack(1);
    Post(code == 13 ? 6 : code, static_cast<int32_t>(kEditor));
    EXPECT_EQ(block.NoTrack(), 0);
    d.state().CaptureBusy = false;
    // Nothing is owed after they end: a later plain save leaves NoTrack alone.
    block.SetNoTrack(1);
    Post(2, static_cast<int32_t>(kEditor));
    EXPECT_EQ(block.NoTrack(), 1);
    block.SetNoTrack(0);
  }
}

// The chosen entry's click runs after the command's closing steps: the
// foreground is back with the target, tracking is on, no capture is busy.
TEST_F(DispatcherTest, AChosenMenuEntryRunsAfterTheMenusCommandEnds) {
  for (uint32_t code : {6u, 13u}) {
    SCOPED_TRACE(code);
    target.log.clear();
    block.SetNoTrack(1);
    bool busy = true;
    uint8_t no_track = 1;
    target.chosen = [&] {
      target.log.push_back("chosen");
      busy = d.state().CaptureBusy;
      no_track = block.NoTrack();
    };
    Post(code, static_cast<int32_t>(kEditor));
    ASSERT_FALSE(target.log.empty());
    EXPECT_EQ(target.log.back(), "chosen");
    EXPECT_EQ(target.log[target.log.size() - 2],
              "activate " + Hex(kEditor) + (code == 6 ? " enter" : ""));
    EXPECT_FALSE(busy);
    EXPECT_EQ(no_track, 0);
  }
  // Paste-out's own route to the clip-tool menu runs the tool at its end too.
  target.log.clear();
  d.state().CommandTarget = kEditor;
  target.chosen = [&] { target.log.push_back("chosen"); };
  d.PopupMagicMenu();
  EXPECT_EQ(target.log, L({"magic menu", "activate " + Hex(kEditor) + " enter", "chosen"}));
}

TEST_F(DispatcherTest, NoTrackStaysSetWhileTheOuterPopupIsOpen) {
  block.SetNoTrack(1);
  uint8_t during = 0xFF;
  target.inside = [&] {
    Post(6, static_cast<int32_t>(kEditor));  // refused
    during = block.NoTrack();
  };
  Post(6, static_cast<int32_t>(kEditor));
  EXPECT_EQ(during, 1);
  EXPECT_EQ(block.NoTrack(), 0);
}

TEST_F(DispatcherTest, PopupBracketKeepsAVisibleTargetAndClearsPrepared) {
  // The main window is the target itself: it stays shown.
  d.state().CommandTarget = main;
  d.PrepareTargetPopup();
  EXPECT_TRUE(d.state().PopupPrepared);
  EXPECT_FALSE(d.state().MainHiddenForPopup);
  d.FinishTargetPopup();
  EXPECT_FALSE(d.state().PopupPrepared);
  EXPECT_EQ(windows.log(), L({"pump 100"}));
  // Finishing twice does nothing the second time.
  target.log.clear();
  d.FinishTargetPopup();
  EXPECT_TRUE(target.log.empty());
}

TEST_F(DispatcherTest, FocusBackWaitsWhileAFolderIsBeingChosen) {
  d.state().CommandTarget = kEditor;
  d.state().ChoosingFolder = true;
  Post(106, static_cast<int32_t>(kEditor));
  EXPECT_TRUE(target.log.empty());
  d.state().ChoosingFolder = false;
  Post(106, static_cast<int32_t>(kEditor));
  EXPECT_EQ(target.log, L({"activate 00600001"}));
}

TEST_F(DispatcherTest, ToggleMinimisesAndReturnsOrShows) {
  // The editor is in front: show, remembering it.
  Post(7, static_cast<int32_t>(kEditor));
  EXPECT_EQ(d.state().ToggleReturnWindow7, kEditor);
  // Now the main window is the target: minimise and return to the editor.
  block.SetTargetWindow(main);
  target.log.clear();
  Post(7, static_cast<int32_t>(main));
  EXPECT_EQ(target.log, L({"minimize", "taskbar on", "activate 00600001"}));
  // 0x471 always shows.
  target.log.clear();
  Post(7, kActiveShowAlways);
  EXPECT_EQ(target.log, L({"restore", "activate " + Hex(main)}));
  // The two toggles keep their own return windows.
  EXPECT_EQ(d.state().ToggleReturnWindow7, main);
  EXPECT_EQ(d.state().ToggleReturnWindow110, 0u);
  // Minimising with the main window as its own return window activates nothing.
  target.settings.tool_bar = false;
  target.log.clear();
  Post(7, static_cast<int32_t>(main));
  EXPECT_EQ(target.log, L({"minimize", "taskbar off"}));
}

TEST_F(DispatcherTest, HandOverSwitchesByNameAndRestoresTheHint) {
  block.SetBarWindow(bar);
  target.data_sets[2] = "Memo";
  target.data_sets[5] = "Work";
  target.data_sets[7] = "Work";
  target.data_sets[10] = "Last";
  struct Case {
    const char* handed;
    std::vector<std::string> tail;  // after the toggle
  };
  const std::vector<Case> cases = {
      {"Work", {"save card", "switch 5"}},
      {"Last", {"save card", "switch 10"}},
      {"work", {"save card", "ask 指定されたファイルがありません / 警告"}},
      {"", {}},  // only comes forward; never matches an unnamed slot
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.handed);
    target.log.clear();
    block.SetTargetWindow(kEditor);
    block.SetSaveHint(c.handed);
    Post(110, 0);
    std::vector<std::string> expected = {"restore", "activate " + Hex(main)};
    expected.insert(expected.end(), c.tail.begin(), c.tail.end());
    EXPECT_EQ(target.log, expected);
    EXPECT_EQ(block.SaveHint(), "hint");
    EXPECT_EQ(Posted(bar), (std::vector<Message>{{bar, kCommandMessage, 16, 0}}));
  }
  // An empty hand-over brings the window forward even when it is in front.
  block.SetTargetWindow(main);
  block.SetSaveHint("");
  target.log.clear();
  Post(110, 0);
  EXPECT_EQ(target.log, L({"restore", "activate " + Hex(main)}));
}

TEST_F(DispatcherTest, StoreChangingCommandsWaitWhileTheTreeLoads) {
  target.tree_loading = true;
  target.data_sets[1] = "A";
  for (uint32_t code : {2u, 15u, 101u, 102u, 103u, 105u, 107u}) {
    Post(code, static_cast<int32_t>(kEditor));
  }
  block.SetSaveHint("A");
  Post(110, 0);
  for (const std::string& line : target.log) {
    for (const char* changes : {"register", "new card", "history", "resort", "take card window",
                                "reopen", "show selected", "save card", "switch 1"}) {
      EXPECT_NE(line, changes);
    }
  }
  EXPECT_EQ(target.deferred.size(), 8u);
  target.log.clear();
  target.tree_loading = false;
  for (auto& command : target.deferred) command();
  EXPECT_EQ(target.log, L({"copy", "register", "new card", "history", "resort",
                           "take card window", "reopen", "minimize", "show selected",
                           "save card", "switch 1"}));
  EXPECT_FALSE(d.state().CaptureBusy);
}

TEST_F(DispatcherTest, NewCardStaysHiddenWithNewCardWin) {
  target.settings.new_card_win = true;
  Post(15, static_cast<int32_t>(kEditor));
  EXPECT_EQ(target.log, L({"new card"}));
}

TEST_F(DispatcherTest, ClipboardChangeSchedulesHistoryOnlyWhenItShould) {
  struct Case {
    bool copy_in_progress, self_caused, use_history, schedules;
  };
  for (const Case& c : std::vector<Case>{{false, false, true, true},
                                         {true, false, true, false},
                                         {false, true, true, false},
                                         {false, false, false, false}}) {
    SCOPED_TRACE(testing::Message() << c.copy_in_progress << c.self_caused << c.use_history);
    scheduler.Clear();
    d.state().CopyInProgress = c.copy_in_progress;
    d.state().SelfCausedClipboard = c.self_caused;
    d.state().ClipboardChanged = false;
    target.settings.use_history = c.use_history;
    d.WndProc(kWmDrawClipboard, 0, 0);
    EXPECT_TRUE(d.state().ClipboardChanged);
    EXPECT_FALSE(d.state().SelfCausedClipboard);
    ASSERT_EQ(scheduler.pending().has_value(), c.schedules);
    if (c.schedules) {
      EXPECT_EQ(*scheduler.pending(), (ScheduledCommand{clock.TickCount(), 1000, 101, 0}));
    }
  }
}

TEST_F(DispatcherTest, ViewerChainAndWindowMessages) {
  const WindowHandle next = bus.CreateWindow();
  const WindowHandle after = 0x00500001;
  d.state().NextViewer = next;
  d.WndProc(kWmDrawClipboard, 1, 2);
  EXPECT_EQ(Posted(next), (std::vector<Message>{{next, kWmDrawClipboard, 1, 2}}));
  d.WndProc(kWmChangeCbChain, 0x00400001, 5);  // another window leaves: passed on
  EXPECT_EQ(Posted(next), (std::vector<Message>{{next, kWmChangeCbChain, 0x00400001, 5}}));
  d.WndProc(kWmChangeCbChain, next, static_cast<int32_t>(after));
  EXPECT_EQ(d.state().NextViewer, after);
  d.WndProc(kWmNcActivate, 0, 0);
  EXPECT_EQ(d.state().EditorCaret, 42);
}

TEST_F(DispatcherTest, TimerSettlesMovesAndTheTaskbarButton) {
  d.WndProc(kWmMove, 0, 0);
  d.WndProc(kWmActivate, 1, 0);
  clock.AdvanceMs(100);
  d.Timer1Timer();
  EXPECT_EQ(target.log, L({"taskbar on"}));
  d.WndProc(kWmMove, 0, 0);  // a later move starts the second again
  clock.AdvanceMs(1000);
  d.Timer1Timer();
  EXPECT_EQ(target.log, L({"taskbar on"}));
  clock.AdvanceMs(100);
  d.Timer1Timer();
  d.Timer1Timer();
  EXPECT_EQ(target.log, L({"taskbar on", "placement"}));
}

TEST_F(DispatcherTest, TrayClicksScheduleThroughTheSlot) {
  // A press then a double click within 300 ms: only the double click's command.
  d.WndProc(kTrayCallback, kTrayIconId, kTrayLButtonDown);
  EXPECT_TRUE(d.state().TrayPopupFlag);
  clock.AdvanceMs(150);
  d.WndProc(kTrayCallback, kTrayIconId, kTrayLButtonDblClk);
  for (int i = 0; i < 10; ++i) {
    clock.AdvanceMs(100);
    d.Timer1Timer();
  }
  EXPECT_EQ(Posted(main), (std::vector<Message>{{main, kCommandMessage, 15, int32_t(kEditor)}}));
  // Right press twice within 500 ms: the folder variant, code 8.
  d.TrayNotify(kTrayRButtonDown);
  EXPECT_EQ(d.state().SaveVariant, 0);
  clock.AdvanceMs(300);
  d.TrayNotify(kTrayRButtonDown);
  EXPECT_EQ(d.state().SaveVariant, 1);
  EXPECT_EQ(scheduler.pending()->code, 8);
  EXPECT_EQ(scheduler.pending()->delay_ms, 500u);
}

TEST_F(DispatcherTest, WindowEventsTrackTheTarget) {
  const WindowHandle other = 0x00600002;
  windows.AddWindow(other, "Firefox");
  // Activation of an ordinary window: re-hook and take it.
  d.WndProc(kCbtEvent, kCbtActivate, static_cast<int32_t>(other));
  EXPECT_EQ(block.TargetWindow(), other);
  EXPECT_EQ(target.log, L({"rehook"}));
  // A dock or the desktop is never the target.
  target.log.clear();
  d.WndProc(kCbtEvent, kCbtActivate, static_cast<int32_t>(kDock));
  EXPECT_EQ(block.TargetWindow(), other);
  EXPECT_TRUE(target.log.empty());
  EXPECT_EQ(ui.beeps(), 0);
  // Move/size and min/max take the window; the running bar is skipped.
  block.SetBarWindow(bar);
  d.WndProc(kCbtEvent, kCbtMoveSize, static_cast<int32_t>(kEditor));
  EXPECT_EQ(block.TargetWindow(), kEditor);
  d.WndProc(kCbtEvent, kCbtMinMax, static_cast<int32_t>(bar));
  EXPECT_EQ(block.TargetWindow(), kEditor);
  d.WndProc(kCbtEvent, 3, static_cast<int32_t>(other));  // other codes: nothing
  EXPECT_EQ(block.TargetWindow(), kEditor);
}

TEST_F(DispatcherTest, FocusEventsShiftThePairs) {
  const WindowHandle tabs = 0x00600003;
  windows.AddWindow(tabs, "SysTabControl32");
  for (uint32_t i = 0; i < 10; ++i) block.SetFocusPair(i, FocusPair{100 + i, 200 + i});
  d.WndProc(kCbtEvent, kCbtSetFocus, 0x00600009);
  EXPECT_EQ(block.FocusPairAt(0), (FocusPair{101, 201}));
  EXPECT_EQ(block.FocusPairAt(8), (FocusPair{109, 209}));
  EXPECT_EQ(block.FocusPairAt(9), (FocusPair{kEditor, 0x00600009}));
  d.WndProc(kCbtEvent, kCbtSetFocus, static_cast<int32_t>(tabs));
  EXPECT_EQ(block.FocusPairAt(9), (FocusPair{kEditor, 0x00600009}));
  // While NoTrack is set focus changes are not recorded.
  block.SetNoTrack(1);
  d.WndProc(kCbtEvent, kCbtSetFocus, 0x0060000A);
  EXPECT_EQ(block.FocusPairAt(9), (FocusPair{kEditor, 0x00600009}));
}

TEST_F(DispatcherTest, ActivationWhileNoTrackIsSet) {
  const WindowHandle other = 0x00600002;
  block.SetNoTrack(1);
  // The dock: a beep, nothing else.
  d.WndProc(kCbtEvent, kCbtActivate, static_cast<int32_t>(kDock));
  EXPECT_EQ(ui.beeps(), 1);
  EXPECT_EQ(block.TargetWindow(), kEditor);
  EXPECT_TRUE(target.log.empty());
  // No bar: the window becomes the target and NoTrack stays.
  d.WndProc(kCbtEvent, kCbtActivate, static_cast<int32_t>(other));
  EXPECT_EQ(block.TargetWindow(), other);
  EXPECT_EQ(block.NoTrack(), 1);
  // With a bar: the same window changes nothing; another one ends NoTrack.
  block.SetBarWindow(bar);
  d.WndProc(kCbtEvent, kCbtActivate, static_cast<int32_t>(other));
  EXPECT_EQ(block.NoTrack(), 1);
  d.WndProc(kCbtEvent, kCbtActivate, static_cast<int32_t>(kEditor));
  EXPECT_EQ(block.NoTrack(), 0);
  EXPECT_EQ(block.TargetWindow(), kEditor);
  EXPECT_EQ(target.log, L({"rehook", "rehook", "rehook"}));
  // Other codes are ignored while NoTrack is set.
  block.SetNoTrack(1);
  d.WndProc(kCbtEvent, kCbtMoveSize, static_cast<int32_t>(other));
  EXPECT_EQ(block.TargetWindow(), kEditor);
}

TEST_F(DispatcherTest, TrayMenuItemsAndClipToolButton) {
  d.KQuillbox4Click();
  EXPECT_EQ(windows.log(), L({"pump 500"}));
  EXPECT_EQ(block.TargetWindow(), main);
  EXPECT_EQ(Posted(main),
            (std::vector<Message>{{main, kCommandMessage, 7, kActiveShowAlways}}));
  d.ButtonWindowClick();
  EXPECT_EQ(target.log, L({"start bar"}));
  block.SetBarWindow(bar);
  d.ButtonWindowClick();
  EXPECT_EQ(Posted(bar), (std::vector<Message>{{bar, kCommandMessage, 9, 0}}));
  EXPECT_EQ(target.log, L({"start bar"}));
  // A bar that died left its handle behind: the dropped 9 starts a new one.
  bus.DestroyWindow(bar);
  d.ButtonWindowClick();
  EXPECT_EQ(target.log, L({"start bar", "start bar"}));
  d.ClipToolClick();
  EXPECT_EQ(Posted(main),
            (std::vector<Message>{{main, kCommandMessage, 13, static_cast<int32_t>(main)}}));
  d.state().PopupPrepared = true;
  d.TrayEndClick();
  EXPECT_FALSE(d.state().PopupPrepared);
  EXPECT_EQ(target.log.back(), "close");
}

}  // namespace
}  // namespace quill
