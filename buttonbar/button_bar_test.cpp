#include "buttonbar/button_bar.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "platform/headless/fake_clock.h"
#include "platform/headless/fake_window_system.h"
#include "platform/headless/in_process_bus.h"
#include "platform/text_codec.h"

namespace quill {
namespace {

constexpr WindowHandle kEditor = 0x00400001;
constexpr WindowHandle kEditorText = 0x00400002;
constexpr WindowHandle kBrowser = 0x00500001;
constexpr WindowHandle kBrowserPage = 0x00500002;

class RecordingView final : public ButtonBarView {
 public:
  void MoveBar(int left, int top) override { moves.push_back(ScreenPoint{left, top}); }
  void CloseBar() override {
    closed = true;
    bar->FormClose();  // as the form's closing does
  }
  void StartTimer(uint32_t ms) override { timer_ms = ms; }
  void SetSaveGlyph(SaveGlyph g) override { glyph = g; }
  void ShowSaveButtons(bool save, bool save_html) override {
    save_shown = save;
    html_shown = save_html;
  }
  void CaptureMouse(bool capture) override { captured = capture; }

  ButtonBar* bar = nullptr;
  std::vector<ScreenPoint> moves;
  bool closed = false;
  uint32_t timer_ms = 0;
  std::optional<SaveGlyph> glyph;
  bool save_shown = true;
  bool html_shown = true;
  bool captured = false;
};

// A bar on a block in a buffer, with quillmain's window, an editor and a
// browser on a fake desktop.
class Rig {
 public:
  explicit Rig(uint32_t start_tick = 1000) {
    clock.SetTick(start_tick);
    bar.emplace(
        [this]() -> std::optional<OpenedBlock> {
          if (!block_present) return std::nullopt;
          return OpenedBlock{nullptr, SharedHookBlock(bytes)};
        },
        windows, bus, clock, view);
    view.bar = &*bar;
    self = bus.CreateWindow(
        [this](const Message& m) { bar->WndProc(m.message, m.wparam, m.lparam); });
    main = bus.CreateWindow();
    windows.AddWindow(self, "quillpad");
    windows.AddWindow(main, "quillmain");
    windows.Find(main)->title = "Quillbox ";
    windows.AddWindow(kEditor, "Mousepad");
    windows.Find(kEditor)->rect = WindowRect{100, 300, 501, 700};
    windows.AddWindow(kEditorText, "GtkTextView");
    windows.Find(kEditorText)->parent = kEditor;
    windows.AddWindow(kBrowser, "firefox");
    windows.AddWindow(kBrowserPage, "firefox");
    windows.Find(kBrowserPage)->parent = kBrowser;
    windows.SetActiveWindow(kEditor);

    block.SetMainWindow(main);
    block.SetTargetWindow(kEditor);
    block.SetAutoMove(1);
    block.SetBrowserClasses({"Navigator", "firefox"});
    block.PushFocusPair(FocusPair{kBrowser, kBrowserPage});
    block.PushFocusPair(FocusPair{kEditor, kEditorText});
  }

  // The form is created and shown, and the refresh it posts to itself is
  // handled.
  void Start() {
    bar->FormCreate(self);
    bar->FormShow();
    bus.PumpAll();
  }
  // One timer tick `ms` after the last.
  void Tick(uint32_t ms = ButtonBar::kTimerMs) {
    clock.AdvanceMs(ms);
    bar->TCTimerTimer();
  }
  void Refresh() {
    bus.PostMessage(self, kCommandMessage, 16, 0);
    bus.PumpAll();
  }
  std::vector<Message> Posted() { return bus.Take(main); }
  size_t LogCount(const std::string& line) {
    return static_cast<size_t>(std::count(windows.log().begin(), windows.log().end(), line));
  }
  static std::string Line(const char* what, WindowHandle w) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%s %08x", what, static_cast<unsigned>(w));
    return buf;
  }

  alignas(8) std::array<uint8_t, kSharedHookBlockSize> bytes{};
  SharedHookBlock block{bytes};
  bool block_present = true;
  FakeClock clock;
  InProcessBus bus{&clock};
  FakeWindowSystem windows{&clock};
  RecordingView view;
  std::optional<ButtonBar> bar;
  WindowHandle self = 0;
  WindowHandle main = 0;
};

TEST(ButtonBarTest, CreateAndShowTakeTheBlocksPlaceAndRefresh) {
  Rig r;
  r.block.SetBarLeft(-40);
  r.block.SetBarTop(700);
  r.block.SetAutoMove(0);
  r.block.SetSaveState(2);
  r.block.SetSaveHint(Utf8ToCp932("メモに追加"));
  r.Start();
  EXPECT_EQ(r.view.moves, (std::vector<ScreenPoint>{{-40, 700}}));
  EXPECT_FALSE(r.bar->follow());
  EXPECT_EQ(r.block.BarWindow(), r.self);
  EXPECT_EQ(r.view.glyph, SaveGlyph::kBlue);
  EXPECT_EQ(r.bar->Hint(BarButton::kSave), Utf8ToCp932("メモに追加"));
  EXPECT_EQ(r.bar->Hint(BarButton::kSaveHtml), Utf8ToCp932("メモに追加"));
  EXPECT_EQ(r.view.timer_ms, ButtonBar::kTimerMs);
  // The focus offer is withdrawn before the first show; the task bar
  // states are asked for once the window is on the screen.
  EXPECT_EQ(r.windows.log().front(), Rig::Line("no-take-focus", r.self));
  r.windows.Find(r.self)->visible = false;
  r.Tick();
  EXPECT_EQ(r.LogCount(Rig::Line("off-taskbar", r.self)), 0u);
  r.windows.Find(r.self)->visible = true;
  r.Tick();
  r.Tick();
  EXPECT_EQ(r.LogCount(Rig::Line("off-taskbar", r.self)), 1u);
  EXPECT_FALSE(r.view.closed);

  // Without the block the bar does not stay.
  Rig gone;
  gone.block_present = false;
  gone.Start();
  EXPECT_TRUE(gone.view.closed);
  EXPECT_TRUE(gone.view.moves.empty());
  EXPECT_EQ(gone.bus.Pending(), 0u);
}

TEST(ButtonBarTest, ClicksPostTheirCodeToQuillmainWithTheTargetOfTheMoment) {
  const struct {
    BarButton button;
    uint32_t code;
  } cases[] = {{BarButton::kPaste, 6},
               {BarButton::kSave, 2},
               {BarButton::kSaveHtml, 3},
               {BarButton::kSave2, 8},
               {BarButton::kClipTool, 13}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code);
    Rig r;
    r.Start();
    r.block.SetTargetWindow(kBrowser);
    const size_t window_log = r.windows.log().size();
    r.bar->ButtonClick(c.button);
    r.block.SetTargetWindow(kEditor);  // later changes do not matter
    EXPECT_EQ(r.Posted(), (std::vector<Message>{{r.main, kCommandMessage, c.code,
                                                 static_cast<int32_t>(kBrowser)}}));
    // No window is activated: quillmain's popup takes its own grab.
    EXPECT_EQ(r.windows.log().size(), window_log);
    // Following rests: the next tick comes 2 s later, then every 100 ms.
    EXPECT_EQ(r.view.timer_ms, ButtonBar::kClickPauseMs);
    r.Tick(ButtonBar::kClickPauseMs);
    EXPECT_EQ(r.view.timer_ms, ButtonBar::kTimerMs);
  }
  Rig r;
  r.Start();
  r.bar->Img_WhiteSaveClick();
  EXPECT_EQ(r.Posted(), (std::vector<Message>{{r.main, kCommandMessage, 2,
                                               static_cast<int32_t>(kEditor)}}));

  // Without quillmain's window or without the block a click does nothing.
  for (bool no_block : {false, true}) {
    SCOPED_TRACE(no_block ? "no block" : "MainWindow 0");
    Rig idle;
    idle.Start();
    const size_t log_size = idle.windows.log().size();
    if (no_block) {
      idle.block_present = false;
    } else {
      idle.block.SetMainWindow(0);
    }
    for (BarButton b : {BarButton::kPaste, BarButton::kSave, BarButton::kSaveHtml,
                        BarButton::kSave2, BarButton::kClipTool}) {
      idle.bar->ButtonClick(b);
    }
    idle.bar->FormMouseUp(MouseButton::kRight, ScreenPoint{});
    EXPECT_EQ(idle.bus.Pending(), 0u);
    EXPECT_EQ(idle.windows.log().size(), log_size);
    EXPECT_EQ(idle.view.timer_ms, ButtonBar::kTimerMs);
  }
}

TEST(ButtonBarTest, SaveButtonsFollowSaveStateAndTheBrowserInFront) {
  const struct {
    uint8_t state;
    bool browser;
    SaveGlyph glyph;
    bool save;
    bool html;
  } cases[] = {
      {0, false, SaveGlyph::kRed, false, false},  {0, true, SaveGlyph::kRed, false, false},
      {1, false, SaveGlyph::kWhite, true, false}, {1, true, SaveGlyph::kWhite, true, true},
      {2, false, SaveGlyph::kBlue, true, false},  {2, true, SaveGlyph::kBlue, true, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.state) + (c.browser ? " browser" : " editor"));
    Rig r;
    r.block.SetSaveState(c.state);
    r.block.SetSaveHint("hint");
    r.block.SetTargetWindow(c.browser ? kBrowser : kEditor);
    r.Start();
    EXPECT_EQ(r.view.glyph, c.glyph);
    EXPECT_EQ(r.view.save_shown, c.save);
    EXPECT_EQ(r.view.html_shown, c.html);
    EXPECT_EQ(r.bar->Hint(BarButton::kSave), "hint");
  }

  // SaveState changes while the same browser window keeps the focus: the
  // next tick shows and hides the buttons, the refresh changes the glyph.
  Rig r;
  r.block.SetTargetWindow(kBrowser);
  r.Start();
  EXPECT_FALSE(r.view.save_shown);
  r.block.SetSaveState(1);
  r.Tick();
  EXPECT_TRUE(r.view.save_shown);
  EXPECT_TRUE(r.view.html_shown);
  r.block.SetSaveState(2);
  r.block.SetSaveHint(Utf8ToCp932("カードに追加"));
  r.Refresh();
  EXPECT_EQ(r.view.glyph, SaveGlyph::kBlue);
  EXPECT_FALSE(r.view.html_shown);
  EXPECT_EQ(r.bar->Hint(BarButton::kSaveHtml), Utf8ToCp932("カードに追加"));
  // A target without a focus pair is no browser.
  r.block.SetSaveState(1);
  r.block.SetTargetWindow(0x00600001);
  r.Tick();
  EXPECT_TRUE(r.view.save_shown);
  EXPECT_FALSE(r.view.html_shown);
  // While the bar itself is in front nothing changes.
  r.windows.SetActiveWindow(r.self);
  r.block.SetSaveState(0);
  r.Tick();
  EXPECT_TRUE(r.view.save_shown);
  // A refresh without the block changes nothing either.
  r.windows.SetActiveWindow(kEditor);
  r.block_present = false;
  r.Refresh();
  EXPECT_EQ(r.view.glyph, SaveGlyph::kBlue);
}

TEST(ButtonBarTest, FollowsTheWindowInFront) {
  constexpr WindowHandle kOther = 0x00700001;
  const struct {
    const char* name;
    WindowRect frame;
    std::optional<ScreenPoint> move;
  } cases[] = {
      {"room above", {100, 100, 301, 400}, ScreenPoint{200, 76}},
      {"near the top", {100, 10, 300, 400}, ScreenPoint{200, 0}},
      {"top 24", {0, 24, 10, 400}, ScreenPoint{5, 0}},
      {"top 25", {0, 25, 10, 400}, ScreenPoint{5, 1}},
      {"left of the screen", {-301, 100, 100, 400}, ScreenPoint{-100, 76}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Rig r;
    r.Start();
    r.view.moves.clear();
    r.windows.AddWindow(kOther, "XTerm");
    r.windows.Find(kOther)->rect = c.frame;
    r.windows.SetActiveWindow(kOther);
    r.Tick();
    ASSERT_EQ(r.view.moves.size(), 1u);
    EXPECT_EQ(r.view.moves[0], *c.move);
  }

  const struct {
    const char* name;
    void (*set_up)(Rig&);
  } still[] = {
      {"NoTrack", [](Rig& r) { r.block.SetNoTrack(1); }},
      {"following off", [](Rig& r) { r.block.SetAutoMove(0); }},
      {"no window in front", [](Rig& r) { r.windows.SetActiveWindow(0); }},
      {"frame unreadable", [](Rig& r) { r.windows.SetActiveWindow(0x00700002); }},
      {"the bar in front", [](Rig& r) { r.windows.SetActiveWindow(r.self); }},
  };
  for (const auto& c : still) {
    SCOPED_TRACE(c.name);
    Rig r;
    c.set_up(r);
    r.Start();
    r.view.moves.clear();
    r.Tick();
    r.Tick();
    EXPECT_TRUE(r.view.moves.empty());
  }

  // The same place again is no move; a new window in front is.
  Rig r;
  r.Start();
  r.view.moves.clear();
  r.Tick();
  r.Tick();
  EXPECT_EQ(r.view.moves, (std::vector<ScreenPoint>{{300, 276}}));
  r.windows.Find(kEditor)->rect = WindowRect{0, 50, 50, 100};
  r.Tick();
  EXPECT_EQ(r.view.moves.back(), (ScreenPoint{25, 26}));
}

TEST(ButtonBarTest, DragMovesTheBarAndDecidesFollowing) {
  Rig r;
  r.Start();
  r.Tick();
  ASSERT_EQ(r.view.moves.size(), 2u);  // the block's place, then above the editor

  // A long drag leaves the bar where it was put and stores the place.
  r.bar->FormMouseDown(MouseButton::kLeft, ScreenPoint{310, 280}, ScreenPoint{10, 4});
  EXPECT_TRUE(r.bar->dragging());
  EXPECT_TRUE(r.view.captured);
  r.clock.AdvanceMs(301);
  r.bar->FormMouseMove(ScreenPoint{40, 20});
  EXPECT_EQ(r.view.moves.back(), (ScreenPoint{30, 16}));
  r.bar->FormMouseUp(MouseButton::kLeft, ScreenPoint{-100, 20});
  EXPECT_FALSE(r.bar->dragging());
  EXPECT_FALSE(r.view.captured);
  EXPECT_FALSE(r.bar->follow());
  EXPECT_EQ(r.block.BarLeft(), -110);
  EXPECT_EQ(r.block.BarTop(), 16);
  EXPECT_EQ(r.windows.log().back(), Rig::Line("foreground", kEditor));
  const size_t moves = r.view.moves.size();
  r.Tick();
  EXPECT_EQ(r.view.moves.size(), moves);
  EXPECT_EQ(r.bus.Pending(), 0u);  // no message for a left button

  // A short press turns following on: the next tick puts the bar back
  // above the window in front, though that place has not changed.
  r.bar->FormMouseDown(MouseButton::kLeft, ScreenPoint{0, 0}, ScreenPoint{0, 0});
  r.clock.AdvanceMs(300);
  r.bar->FormMouseUp(MouseButton::kLeft, ScreenPoint{0, 0});
  EXPECT_TRUE(r.bar->follow());
  r.Tick();
  EXPECT_EQ(r.view.moves.back(), (ScreenPoint{300, 276}));

  // A right-button release asks quillmain to toggle its window; the right
  // button starts no drag.
  r.bar->FormMouseDown(MouseButton::kRight, ScreenPoint{5, 5}, ScreenPoint{5, 5});
  EXPECT_FALSE(r.bar->dragging());
  r.bar->FormMouseUp(MouseButton::kRight, ScreenPoint{5, 5});
  EXPECT_EQ(r.Posted(), (std::vector<Message>{{r.main, kCommandMessage, 7, 0}}));

  // Without the block the drag still ends and gives the mouse back.
  r.bar->FormMouseDown(MouseButton::kLeft, ScreenPoint{50, 50}, ScreenPoint{1, 1});
  r.block_present = false;
  r.bar->FormMouseUp(MouseButton::kLeft, ScreenPoint{60, 60});
  EXPECT_FALSE(r.bar->dragging());
  EXPECT_FALSE(r.view.captured);
  EXPECT_EQ(r.block.BarLeft(), 0);  // the place from before
  EXPECT_EQ(r.block.BarTop(), 0);
}

// Ticks every 100 ms until the bar closes or `limit_ms` have passed since
// the start; returns the milliseconds since the start.
uint32_t TickUntilClosed(Rig& r, uint32_t limit_ms) {
  uint32_t elapsed = 0;
  while (!r.view.closed && elapsed < limit_ms) {
    r.Tick();
    elapsed += ButtonBar::kTimerMs;
  }
  return elapsed;
}

TEST(ButtonBarTest, TimerClosesTheBarWhenQuillmainIsGone) {
  {
    SCOPED_TRACE("quillmain's caption");
    Rig r;
    r.Start();
    EXPECT_EQ(TickUntilClosed(r, 60000), 60000u);
    EXPECT_EQ(r.block.BarWindow(), r.self);
  }
  {
    SCOPED_TRACE("another caption");
    Rig r;
    r.windows.Find(r.main)->title = "quill";
    r.Start();
    const uint32_t closed_at = TickUntilClosed(r, 60000);
    EXPECT_GT(closed_at, 10000u);
    EXPECT_LE(closed_at, 11000u);
    EXPECT_EQ(r.block.BarWindow(), 0u);
  }
  {
    SCOPED_TRACE("no block");
    Rig r;
    r.Start();
    r.block_present = false;
    const uint32_t closed_at = TickUntilClosed(r, 60000);
    EXPECT_GT(closed_at, 30000u);
    EXPECT_LE(closed_at, 31000u);
  }
  {
    SCOPED_TRACE("the tick counter wraps");
    Rig r(0xFFFFFF00u);
    r.windows.Find(r.main)->title = "";
    r.Start();
    const uint32_t closed_at = TickUntilClosed(r, 60000);
    EXPECT_GT(closed_at, 10000u);
    EXPECT_LE(closed_at, 12000u);
  }
  {
    SCOPED_TRACE("code 9 while a newer bar holds BarWindow");
    Rig r;
    r.Start();
    r.block.SetBarWindow(0x80990001u);
    r.bus.PostMessage(r.self, kCommandMessage, 9, 0);
    r.bus.PumpAll();
    EXPECT_TRUE(r.view.closed);
    EXPECT_EQ(r.block.BarWindow(), 0x80990001u);
  }
  {
    SCOPED_TRACE("code 9");
    Rig r;
    r.Start();
    r.bus.PostMessage(r.self, kCommandMessage, 9, 0);
    r.bus.PumpAll();
    EXPECT_TRUE(r.view.closed);
    EXPECT_EQ(r.block.BarWindow(), 0u);
  }
}

}  // namespace
}  // namespace quill
