// The hook procedures over scripted events: which key events post which
// command, which keys are taken from the application, and what the block
// holds afterwards; the mouse count; window events through the command
// dispatcher.
#include "hook/hook_procedures.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "clip/dispatch_test_support.h"
#include "clip/dispatcher.h"
#include "hook/hook_feed.h"
#include "platform/headless/fake_ui.h"
#include "platform/headless/fake_window_system.h"
#include "platform/headless/in_process_bus.h"

namespace quill {
namespace {

constexpr WindowHandle kMain = 0x80000100;
constexpr WindowHandle kTarget = 0x00400007;  // another application's window
constexpr WindowHandle kCardWindow = 0x80000200;  // a card window of ours
constexpr uint8_t kS = 'S', kA = 'A';

constexpr uint16_t Word(uint8_t modifiers, uint8_t key) { return uint16_t(modifiers << 8 | key); }
constexpr uint8_t kCtrlAlt = HotkeyWord::kCtrl | HotkeyWord::kAlt;

// A block buffer as quillmain fills it: its main window and a target.
class BlockFixture {
 public:
  BlockFixture() : block_(std::span<uint8_t, kSharedHookBlockSize>(bytes_)) {
    block_.SetMainWindow(kMain);
    block_.SetTargetWindow(kTarget);
  }
  SharedHookBlock& block() { return block_; }

 private:
  alignas(8) std::array<uint8_t, kSharedHookBlockSize> bytes_{};
  SharedHookBlock block_;
};

// One scripted step: a key going down or up, time passing, another
// window in front, or a menu of ours opening or closing over the window
// in front.
struct Step {
  enum Kind { kDown, kUp, kTap, kWait, kFront, kMenu } kind;
  uint32_t value;
};
Step Down(uint8_t vk) { return {Step::kDown, vk}; }
Step Up(uint8_t vk) { return {Step::kUp, vk}; }
Step Tap(uint8_t vk) { return {Step::kTap, vk}; }
Step Wait(uint32_t ms) { return {Step::kWait, ms}; }
Step Front(WindowHandle w) { return {Step::kFront, w}; }
Step MenuOpens() { return {Step::kMenu, 1}; }
Step MenuCloses() { return {Step::kMenu, 0}; }

struct Post {
  uint32_t code;
  int32_t lparam;
  bool operator==(const Post&) const = default;
};

// What the block holds that the keyboard procedure writes.
struct After {
  uint8_t no_track = 0;
  uint8_t inject_count = 0;
  uint8_t last_key_up = 0;
  uint16_t right_clicks = 0;
  bool operator==(const After&) const = default;
};

struct KeyCase {
  std::string name;
  std::function<void(SharedHookBlock&)> setup;
  std::vector<Step> steps;
  std::vector<Post> posts;  // CommandMessage to the main window
  bool last_press_taken;    // what the last press answered
  After after;
};

void PrintTo(const Post& p, std::ostream* os) { *os << "{" << p.code << ", " << p.lparam << "}"; }
void PrintTo(const After& a, std::ostream* os) {
  *os << "{no_track " << int(a.no_track) << ", inject " << int(a.inject_count) << ", key_up "
      << int(a.last_key_up) << ", clicks " << a.right_clicks << "}";
}

// Sets one hot-key slot.
std::function<void(SharedHookBlock&)> Key(SharedHookBlock::HotkeySlot slot, uint16_t word) {
  return [=](SharedHookBlock& b) { b.SetHotkey(slot, HotkeyWord(word)); };
}

TEST(KeyboardHookProcTest, Table) {
  const auto save_ctrl_alt_s = Key(SharedHookBlock::kSaveKey, Word(kCtrlAlt, kS));
  const auto save_double_shift = Key(SharedHookBlock::kSaveKey, 0x0053);
  const int32_t target = int32_t(kTarget);
  std::vector<KeyCase> cases = {
      {"ctrl+alt+s fires and is taken", save_ctrl_alt_s,
       {Down(vk::kControl), Down(vk::kMenu), Down(kS)}, {{2, target}}, true, {}},
      {"shift held as well: no match", save_ctrl_alt_s,
       {Down(vk::kShift), Down(vk::kControl), Down(vk::kMenu), Down(kS)}, {}, false, {}},
      {"the modifiers released: plain S passes", save_ctrl_alt_s,
       {Down(vk::kControl), Up(vk::kControl), Down(kS)}, {}, false, {}},
      {"word 0 never matches, not even a key without a code", nullptr,
       {Down(0), Down(kS), Down(vk::kControl), Down(0)}, {}, false, {}},
      {"double shift within 800 ms", save_double_shift,
       {Tap(vk::kShift), Wait(799), Down(vk::kShift)}, {{2, target}}, true, {}},
      {"double shift at 800 ms: too late", save_double_shift,
       {Tap(vk::kShift), Wait(800), Down(vk::kShift)}, {}, false, {}},
      {"shift held (auto-repeat) is no double press", save_double_shift,
       {Down(vk::kShift), Wait(30), Down(vk::kShift), Wait(30), Down(vk::kShift)}, {}, false,
       {}},
      {"a third press does not fire again", save_double_shift,
       {Tap(vk::kShift), Wait(100), Tap(vk::kShift), Wait(100), Down(vk::kShift)},
       {{2, target}}, false, {}},
      {"another key in between: no double press", save_double_shift,
       {Tap(vk::kShift), Tap(kA), Down(vk::kShift)}, {}, false, {.last_key_up = kA}},
      {"double press across the tick wrap", Key(SharedHookBlock::kSaveKey, 0x0043),
       {Wait(0xFFFFFFFFu - 1000 - 200), Tap(vk::kControl), Wait(500), Down(vk::kControl)},
       {{2, target}}, true, {}},
      {"the first of two equal words wins",
       [](SharedHookBlock& b) {
         b.SetHotkey(SharedHookBlock::kFindKey, HotkeyWord(Word(kCtrlAlt, kS)));
         b.SetHotkey(SharedHookBlock::kSaveHtmlKey, HotkeyWord(Word(kCtrlAlt, kS)));
         b.SetSuperPasteKey(0, HotkeyWord(Word(kCtrlAlt, kS)));
       },
       {Down(vk::kControl), Down(vk::kMenu), Down(kS)}, {{3, target}}, true, {}},
      {"a popup key keeps the target",
       Key(SharedHookBlock::kMagicKey, Word(HotkeyWord::kAlt, kA)),
       {Down(vk::kMenu), Down(kA)}, {{13, target}}, true, {.no_track = 1}},
      {"space with ctrl counts and passes", nullptr, {Down(vk::kControl), Down(vk::kSpace)}, {},
       false, {.right_clicks = 1}},
      {"space as a hot key fires instead of counting",
       Key(SharedHookBlock::kNewCardKey, Word(HotkeyWord::kCtrl, vk::kSpace)),
       {Down(vk::kControl), Down(vk::kSpace)}, {{15, target}}, true, {}},
      {"enter right after injected keys is taken",
       [](SharedHookBlock& b) { b.SetInjectCount(2); }, {Down(vk::kReturn)}, {}, true,
       {.inject_count = 1}},
      {"enter after the injected keys passes",
       [](SharedHookBlock& b) { b.SetInjectCount(2); }, {Tap(kA), Down(vk::kReturn)}, {}, false,
       {.last_key_up = kA}},
      {"enter released twice in another window clears LastKeyUp", nullptr,
       {Tap(vk::kReturn), Tap(vk::kReturn)}, {}, false, {}},
      {"the last key released in another window", nullptr, {Tap(vk::kReturn), Tap(kA)}, {},
       false, {.last_key_up = kA}},
      // Our menu holds the keyboard while the application stays in front;
      // it closes on the press of Enter, before the release.
      {"enter that chooses in our menu is not remembered", nullptr,
       {Tap(kA), MenuOpens(), Down(vk::kReturn), MenuCloses(), Up(vk::kReturn)}, {}, false,
       {.last_key_up = kA}},
      {"enter in the application before the menu's key is kept through the menu", nullptr,
       {Tap(vk::kReturn), Down(kA), MenuOpens(), Up(kA), Tap(vk::kReturn), MenuCloses()}, {},
       false, {.last_key_up = vk::kReturn}},
      {"after the menu, the same key counts again", nullptr,
       {MenuOpens(), Tap(kA), MenuCloses(), Tap(kA)}, {}, false, {.last_key_up = kA}},
      {"keys in a card window of ours are not remembered", nullptr,
       {Tap(vk::kReturn), Front(kCardWindow), Tap(kA), Tap(vk::kReturn), Front(kTarget)}, {},
       false, {.last_key_up = vk::kReturn}},
  };
  for (int slot = 0; slot < 10; ++slot) {
    cases.push_back({"super-paste key " + std::to_string(slot),
                     [slot](SharedHookBlock& b) {
                       b.SetSuperPasteKey(slot, HotkeyWord(Word(HotkeyWord::kCtrl, '0' + slot)));
                     },
                     {Down(vk::kControl), Down(uint8_t('0' + slot))}, {{18, slot}}, true, {}});
  }

  for (const KeyCase& c : cases) {
    SCOPED_TRACE(c.name);
    BlockFixture f;
    if (c.setup) c.setup(f.block());
    InProcessBus bus;
    bus.AddWindow(kMain);
    FakeClock clock;
    HookFeed feed(bus, clock, &f.block(), kMain);
    feed.AddOwnWindow(kCardWindow);
    feed.set_foreground(kTarget);
    bool taken = false;
    for (const Step& s : c.steps) {
      switch (s.kind) {
        case Step::kDown:
          taken = feed.Press(uint8_t(s.value));
          break;
        case Step::kUp:
          feed.Release(uint8_t(s.value));
          break;
        case Step::kTap:
          taken = feed.Tap(uint8_t(s.value));
          break;
        case Step::kWait:
          feed.Wait(s.value);
          break;
        case Step::kFront:
          feed.set_foreground(s.value);
          break;
        case Step::kMenu:
          feed.set_menu_open(s.value != 0);
          break;
      }
    }
    std::vector<Post> posts;
    for (const Message& m : bus.Take(kMain)) {
      ASSERT_EQ(m.message, kCommandMessage);
      posts.push_back({m.wparam, m.lparam});
    }
    EXPECT_EQ(posts, c.posts);
    EXPECT_EQ(taken, c.last_press_taken);
    const SharedHookBlock& b = f.block();
    EXPECT_EQ((After{b.NoTrack(), b.InjectCount(), b.LastKeyUp(), b.RightClickCount()}), c.after);
  }
}

TEST(KeyboardHookProcTest, KeysReleasedWhileTheMainWindowIsInFrontAreNotRemembered) {
  BlockFixture f;
  f.block().SetLastKeyUp(vk::kReturn);
  InProcessBus bus;
  FakeClock clock;
  HookFeed feed(bus, clock, &f.block(), kMain);
  feed.set_foreground(kMain);
  feed.Tap(kA);
  feed.Tap(vk::kReturn);
  EXPECT_EQ(f.block().LastKeyUp(), vk::kReturn);
}

TEST(KeyboardHookProcTest, WithoutTheBlockEveryKeyPasses) {
  InProcessBus bus;
  bus.AddWindow(kMain);
  FakeClock clock;
  HookFeed feed(bus, clock, nullptr, kMain);
  EXPECT_FALSE(feed.Tap(vk::kShift));
  EXPECT_FALSE(feed.Tap(vk::kShift));
  EXPECT_FALSE(feed.Tap(vk::kReturn));
  feed.RightClick();
  EXPECT_EQ(bus.Pending(kMain), 0u);
}

TEST(MouseHookProcTest, RightClicksAndSpacesCountAndWrap) {
  BlockFixture f;
  f.block().SetRightClickCount(0xFFFE);
  InProcessBus bus;
  FakeClock clock;
  HookFeed feed(bus, clock, &f.block(), kMain);
  feed.RightClick();
  EXPECT_EQ(f.block().RightClickCount(), 0xFFFF);
  feed.Tap(vk::kSpace);
  EXPECT_EQ(f.block().RightClickCount(), 0);
  feed.RightClick();
  EXPECT_EQ(f.block().RightClickCount(), 1);
}


TEST(CbtHookProcTest, ActivationsReachTheDispatcherAndFillTheFocusPairs) {
  BlockFixture f;
  SharedHookBlock& block = f.block();
  block.SetTargetWindow(0);
  FakeClock clock;
  InProcessBus bus(&clock);
  FakeWindowSystem windows(&clock);
  constexpr WindowHandle kEditor = 0x00600003, kTerm = 0x00800011;
  windows.AddWindow(kEditor, "Mousepad");
  windows.AddWindow(kTerm, "XTerm");
  QuietTarget target;
  CommandScheduler scheduler(clock, bus, kMain);
  FakeUi ui;
  Dispatcher dispatcher(block, target, windows, ui, bus, clock, scheduler);
  bus.AddWindow(kMain,
                [&](const Message& m) { dispatcher.WndProc(m.message, m.wparam, m.lparam); });

  HookFeed feed(bus, clock, &block, kMain);
  feed.Activate(kEditor);
  feed.Activate(kTerm);
  bus.PumpAll();

  EXPECT_EQ(block.TargetWindow(), kTerm);
  EXPECT_EQ(block.FocusPairAt(8), (FocusPair{kEditor, kEditor}));
  EXPECT_EQ(block.FocusPairAt(9), (FocusPair{kTerm, kTerm}));
  EXPECT_EQ(block.FocusPairAt(7), FocusPair{});
  EXPECT_EQ(target.rehooks, 2);
}

}  // namespace
}  // namespace quill
