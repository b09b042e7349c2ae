#include "clip/paste_target.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "clip/paste_target_test_rig.h"

namespace quill {
namespace {

using Keys = std::vector<std::string>;

constexpr WindowHandle kOther = 0x00700001;

// The application holds "hello world" with "world" selected; another
// window is in front.
struct Rig : PasteTargetRig {
  explicit Rig(std::string app_class = "Mousepad") : PasteTargetRig(std::move(app_class)) {
    windows.AddWindow(kOther, "Other");
    app->document = "hello world";
    keys.Select(kApp, 6, 5);  // "world"
    clipboard.DeliverNotices();
    windows.SetActiveWindow(kOther);
  }

  void Command(WindowHandle w) {
    state().CommandTarget = w;
    state().TargetFocus = target.GetTargetFocusWindow(w);
  }
  int Copy(WindowHandle w = kApp) {
    Command(w);
    return target.CopyFromTarget();
  }
};

// Which keys or method a class gets, by the first list that holds it.
TEST(PasteTargetTest, ClassListsChooseTheKeysOrTheMessageMethod) {
  enum Op { kCopy, kCut, kPaste };
  struct Case {
    Op op;
    const char* lists;  // "<list index>:<names>;..." of that operation
    bool focus_known;
    Keys keys;          // reaching the application
    std::string clipboard_after;
  };
  const Keys kNone;
  const Case cases[] = {
      // The first list wins.
      {kCopy, "0:Mousepad;3:Mousepad", true, {"O 0", "C 0"}, "world"},
      {kCopy, "1:Gedit,Mousepad", true, {"O 0", "C 1"}, "world"},
      {kCopy, "2:Mousepad", true, {"O 0", "C 2"}, "world"},
      {kCopy, "", true, {"O 0", "C 3"}, "world"},
      // The message method: PRIMARY onto the CLIPBOARD, no key at all.
      {kCopy, "3:XTerm,Mousepad", true, kNone, "world"},
      // No focused window known: the class is "*".
      {kCopy, "0:Mousepad;3:*", false, kNone, "world"},
      {kCut, "0:Mousepad", true, {"O 0", "X 0"}, "world"},
      {kCut, "1:Mousepad", true, {"O 0", "X 1"}, "world"},
      {kCut, "2:Mousepad", true, {"O 0", "X 2"}, "world"},
      {kCut, "", true, {"O 0", "X 3"}, "world"},
      {kCut, "3:Mousepad", true, kNone, "world"},
      {kPaste, "0:Mousepad", true, {"O 0", "P 0"}, "card"},
      {kPaste, "1:Mousepad", true, {"O 0", "P 1"}, "card"},
      {kPaste, "", true, {"O 0", "P 2"}, "card"},
      {kPaste, "2:Mousepad", true, {"shift+insert"}, "card"},
  };
  for (const Case& c : cases) {
    Rig rig;
    if (!c.focus_known) rig.block.SetFocusPair(9, {});
    std::string lists = c.lists;
    while (!lists.empty()) {
      size_t end = lists.find(';');
      std::string item = lists.substr(0, end);
      lists = end == std::string::npos ? "" : lists.substr(end + 1);
      size_t i = static_cast<size_t>(item[0] - '0');
      std::string names = item.substr(2);
      TargetSettings& s = rig.view.settings;
      (c.op == kCopy ? s.copy_lists[i] : c.op == kCut ? s.cut_lists[i] : s.paste_lists[i]) = names;
    }
    SCOPED_TRACE(std::string(c.lists) + " op " + std::to_string(c.op));
    if (c.op == kPaste) {
      rig.Command(kApp);
      rig.clipboard.SetText("card");
      rig.target.PasteToTarget();
      rig.windows.PumpMessages(10);
      EXPECT_EQ(rig.app->document, "hello card");
    } else {
      rig.Command(kApp);
      const int result = c.op == kCopy ? rig.target.CopyFromTarget() : rig.target.CutFromTarget();
      EXPECT_EQ(result, 0);
      EXPECT_EQ(rig.app->document, c.op == kCut && !c.keys.empty() ? "hello " : "hello world");
    }
    EXPECT_EQ(rig.keys.KeysTo(kApp), c.keys);
    EXPECT_EQ(rig.clipboard.Text(), c.clipboard_after);
    EXPECT_EQ(rig.ui.flashes().size(), 0u);
  }
}

TEST(PasteTargetTest, TheMainWindowUsesItsFocusedWidgetAndCtrlV) {
  Rig rig;
  rig.view.settings.copy_lists[0] = "*";
  rig.block.PushFocusPair({rig.main, rig.main});
  EXPECT_EQ(rig.Copy(rig.main), 0);
  rig.windows.SetActiveWindow(rig.main);
  rig.target.PasteToTarget();
  EXPECT_EQ(rig.view.log, (Keys{"widget copy"}));
  EXPECT_EQ(rig.keys.KeysTo(rig.main), (Keys{"O 0", "P 2"}));
}

TEST(PasteTargetTest, ACopyThatNeverArrivesTimesOut) {
  Rig rig;
  rig.app->deaf = true;
  const uint32_t start = rig.clock.TickCount();
  EXPECT_EQ(rig.Copy(), 1);
  EXPECT_GE(rig.clock.TickCount() - start, 3000u);
  EXPECT_EQ(rig.ui.beeps(), 1);
  EXPECT_EQ(rig.ui.flashes(), (std::vector<FlashBitmap>{FlashBitmap::kNoClip}));
  EXPECT_FALSE(rig.ui.flash_shown());
  EXPECT_FALSE(rig.state().CopyInProgress);
  // The user's clipboard is kept for the restore that follows.
  EXPECT_EQ(rig.target.SavedClipboard, "mine");
}

TEST(PasteTargetTest, OnlyANewOwnerEndsTheWait) {
  Rig rig;
  rig.app->delay_ms = 1507;  // copies well after our own emptying
  const uint32_t start = rig.clock.TickCount();
  EXPECT_EQ(rig.Copy(), 0);
  // The wait ends with the copy, a few ms after the activation's 200 ms
  // and the application's delay.
  EXPECT_GE(rig.clock.TickCount() - start, 1707u);
  EXPECT_LT(rig.clock.TickCount() - start, 1707u + 5);
  EXPECT_EQ(rig.clipboard.Text(), "world");
  EXPECT_FALSE(rig.state().CopyInProgress);
  // Neither our emptying nor the target's copy goes into the history.
  EXPECT_FALSE(rig.scheduler.pending().has_value());
}

TEST(PasteTargetTest, AWindowThatNeverComesForwardGetsNoKey) {
  Rig rig;
  rig.windows.Find(kApp)->refuses_front = true;
  EXPECT_EQ(rig.Copy(), 1);
  EXPECT_EQ(rig.ui.flashes(), (std::vector<FlashBitmap>{FlashBitmap::kNoClip}));
  rig.clipboard.SetText("card");
  rig.target.PasteToTarget();
  EXPECT_EQ(rig.ui.beeps(), 2);  // the time-out's and the paste's
  EXPECT_EQ(rig.keys.log(), Keys{});
  EXPECT_EQ(rig.app->document, "hello world");
}

TEST(PasteTargetTest, RetActivePressesEnterOnceInTheMainWindow) {
  Rig rig;
  rig.block.SetRetActive(1);
  rig.block.SetLastKeyUp(13);
  EXPECT_TRUE(rig.target.ActivateTargetWindow(kApp, true));
  EXPECT_EQ(rig.view.log, (Keys{"focus title"}));
  EXPECT_EQ(rig.keys.log(), (Keys{"enter -> 80000001"}));
  EXPECT_EQ(rig.windows.activations(), (std::vector<WindowHandle>{rig.main, kApp}));
  // Without the Enter among the last keys, or without leave to use it,
  // nothing of this happens.
  for (bool with_return : {false, true}) {
    Rig plain;
    plain.block.SetRetActive(1);
    plain.block.SetLastKeyUp(with_return ? 'A' : 13);
    EXPECT_TRUE(plain.target.ActivateTargetWindow(kApp, with_return));
    EXPECT_EQ(plain.keys.log(), Keys{});
    EXPECT_EQ(plain.windows.activations(), std::vector<WindowHandle>{kApp});
  }
}

TEST(PasteTargetTest, RestoreClipboardMatrix) {
  struct Case {
    bool force, back, no_hukki, main;
    bool restored;
  };
  const Case cases[] = {
      {true, false, false, false, true},  {true, false, true, false, true},
      {false, true, false, false, true},  {false, true, true, false, false},
      {false, false, false, false, false}, {true, true, false, true, false},
      {false, true, false, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.force) + std::to_string(c.back) + std::to_string(c.no_hukki) +
                 std::to_string(c.main));
    Rig rig;
    rig.view.settings.back_clipboard = c.back;
    rig.view.settings.no_hukki_class = c.no_hukki ? "Gedit,Mousepad" : "Gedit";
    const WindowHandle w = c.main ? rig.main : kApp;
    rig.Copy(w);
    rig.target.TargetTopClass = "Mousepad";
    rig.target.RestoreClipboard(c.force);
    // The fake widget of the main window copies nothing.
    EXPECT_EQ(rig.clipboard.Text(), c.restored ? "mine" : c.main ? "" : "world");
    EXPECT_EQ(rig.target.SavedClipboard, "");
  }
}

// A copy or cut in our own window that takes nothing times out with the
// clipboard emptied: the user's comes back, forced or not.
TEST(PasteTargetTest, OurOwnWindowTakingNothingGetsTheUsersClipboardBack) {
  for (const bool cut : {false, true}) {
    for (const bool force : {true, false}) {
      SCOPED_TRACE(std::string(cut ? "cut" : "copy") + (force ? " forced" : ""));
      Rig rig;
      rig.view.widget_has_selection = false;
      rig.block.SetTargetWindow(rig.main);
      rig.Command(rig.main);
      EXPECT_EQ(cut ? rig.target.CutFromTarget() : rig.target.CopyFromTarget(), 1);
      EXPECT_EQ(rig.clipboard.Text(), "");
      rig.target.RestoreClipboard(force);
      EXPECT_EQ(rig.clipboard.Text(), "mine");
    }
  }
}

TEST(PasteTargetTest, TheUsersClipboardComesBackWithEveryFormat) {
  Rig rig;
  const ClipboardSnapshot user = {{{"image/png", std::string("\x89PNG\r\n\x1a\n\0\1", 10)},
                                   {"text/plain;charset=utf-8", "mine"}}};
  rig.clipboard.OtherSets(user);
  rig.Copy();
  rig.target.RestoreClipboard(true);
  EXPECT_EQ(rig.clipboard.Snapshot(), user);
  // A text another step put in SavedClipboard meanwhile wins.
  rig.Copy();
  rig.target.SavedClipboard = "changed";
  rig.target.RestoreClipboard(true);
  EXPECT_EQ(rig.clipboard.Text(), "changed");
}

TEST(PasteTargetTest, AfterAPasteTheClipboardComesBackOnceTheTargetHasFetchedIt) {
  for (uint32_t delay : {2500u, 0u}) {
    SCOPED_TRACE(delay);
    Rig rig;
    rig.view.settings.back_clipboard = true;
    rig.app->delay_ms = delay;  // a slow application
    rig.target.KeepClipboard();
    rig.Command(kApp);
    rig.target.TargetTopClass = "Mousepad";
    rig.clipboard.SetText("card");
    const uint32_t start = rig.clock.TickCount();
    rig.target.PasteToTarget();
    ASSERT_TRUE(rig.scheduler.pending().has_value());
    EXPECT_EQ(rig.scheduler.pending()->code, 12);
    rig.windows.PumpMessages(1000);
    rig.target.RestoreClipboard(false);
    EXPECT_EQ(rig.app->document, "hello card");
    EXPECT_EQ(rig.clipboard.Text(), "mine");
    EXPECT_LT(rig.clock.TickCount() - start, delay + 1500);
  }
  // A target that never fetches: the clipboard comes back 5 s after the
  // paste.
  Rig rig;
  rig.view.settings.back_clipboard = true;
  rig.app->deaf = true;
  rig.target.KeepClipboard();
  rig.Command(kApp);
  rig.clipboard.SetText("card");
  rig.target.PasteToTarget();
  const uint32_t start = rig.clock.TickCount();
  rig.windows.PumpMessages(1000);
  rig.target.RestoreClipboard(false);
  EXPECT_EQ(rig.clipboard.Text(), "mine");
  EXPECT_GE(rig.clock.TickCount() - start, 5000u);
  EXPECT_LT(rig.clock.TickCount() - start, 5100u);
}

// The selection method puts the text on PRIMARY as well. Once the
// terminal has fetched it (or 5 s after the paste) PRIMARY comes back as it
// was, whether the clipboard comes back or not, unless another
// application has taken PRIMARY since. A paste by keys leaves PRIMARY
// alone.
TEST(PasteTargetTest, AfterASelectionPastePrimaryComesBackToo) {
  struct Case {
    const char* name;
    bool selection_method;
    bool back_clipboard;  // BackClipBoard
    bool keep_clipboard;  // a clip-history entry keeps its text there
    bool deaf;            // the terminal never pastes
    bool selected_since;  // the user selects elsewhere before the restore
    std::string clipboard_after;
    std::string primary_after;
    uint32_t restored_after_ms;  // at least, since the paste
  };
  const Case cases[] = {
      {"the clipboard comes back too", true, true, false, false, false, "mine", "world", 1000},
      {"the clipboard keeps the card", true, false, false, false, false, "card", "world", 1000},
      {"a history entry stays", true, true, true, false, false, "card", "world", 1000},
      {"never fetched", true, true, false, true, false, "mine", "world", 5000},
      {"a new selection stays", true, true, false, false, true, "mine", "new", 1000},
      {"pasted by keys", false, true, false, false, false, "mine", "world", 1000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Rig rig;
    if (c.selection_method) rig.view.settings.paste_lists[2] = "Mousepad";
    rig.view.settings.back_clipboard = c.back_clipboard;
    rig.app->deaf = c.deaf;
    rig.target.KeepClipboard();
    rig.Command(kApp);
    rig.clipboard.SetText("card");
    rig.target.KeepClipboardAfterPaste = c.keep_clipboard;
    const uint32_t start = rig.clock.TickCount();
    rig.clipboard.log().clear();
    rig.target.PasteToTarget();
    ASSERT_TRUE(rig.scheduler.pending().has_value());
    EXPECT_EQ(rig.scheduler.pending()->code, 12);
    EXPECT_EQ(rig.clipboard.Text(Selection::kPrimary), c.selection_method ? "card" : "world");
    rig.windows.PumpMessages(1000);
    if (c.selected_since) rig.clipboard.OtherSetsText("new", Selection::kPrimary);
    rig.target.RestoreClipboard(false);
    EXPECT_GE(rig.clock.TickCount() - start, c.restored_after_ms);
    EXPECT_LT(rig.clock.TickCount() - start, c.restored_after_ms + 300);  // the activation
    EXPECT_EQ(rig.app->document, c.deaf ? "hello world" : "hello card");
    EXPECT_EQ(rig.clipboard.Text(), c.clipboard_after);
    EXPECT_EQ(rig.clipboard.Text(Selection::kPrimary), c.primary_after);
    if (!c.selection_method) {
      for (const std::string& line : rig.clipboard.log()) {
        EXPECT_EQ(line.find("primary"), std::string::npos) << line;
      }
    }
  }
}

TEST(PasteTargetTest, ClassTitleAndSourceOfACopy) {
  Rig rig;
  // 88 ASCII bytes and a double-byte character: cut before it.
  const std::string long_name = std::string(88, 'c') + "\x93\xfa";
  rig.windows.Find(kApp)->title = long_name;
  rig.windows.Find(kApp)->class_name = long_name;
  rig.view.settings.source_names = {"Web", "Editor"};
  rig.view.settings.source_classes = {"firefox", "Gedit," + std::string(88, 'c')};
  rig.Copy();
  EXPECT_EQ(rig.target.TargetTopClass, std::string(88, 'c'));
  EXPECT_EQ(rig.target.TargetClass, std::string(88, 'c'));
  EXPECT_EQ(rig.target.TargetTitle, std::string(88, 'c'));
  EXPECT_EQ(rig.target.SourceName, "Editor");
  rig.view.settings.source_classes[1] = "Gedit";
  rig.Copy();
  EXPECT_EQ(rig.target.SourceName, std::string(88, 'c'));
}

// The window in front becomes the target, our own main window too, but
// never the button bar; with tracking off nothing changes.
TEST(PasteTargetTest, TheWindowInFrontBecomesTheTargetButNeverTheBar) {
  constexpr WindowHandle kBar = 0x80990001u;
  struct Case {
    const char* name;
    bool no_track;
    WindowHandle front;  // 1: the main window
    WindowHandle target_after;
  };
  const Case cases[] = {
      {"another application", false, kOther, kOther},
      {"the main window", false, 1, 1},
      {"the bar", false, kBar, kApp},
      {"tracking off", true, kOther, kApp},
      {"nothing in front", false, 0, kApp},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Rig rig;
    rig.block.SetBarWindow(kBar);
    rig.block.SetNoTrack(c.no_track ? 1 : 0);
    const auto own = [&](WindowHandle w) { return w == 1 ? rig.main : w; };
    rig.windows.SetActiveWindow(own(c.front));
    rig.target.CheckActiveTimerTimer();
    EXPECT_EQ(rig.block.TargetWindow(), own(c.target_after));
  }
}

TEST(PasteTargetTest, ClassInListTakesWholeNamesOnly) {
  const std::string long_list = std::string(600, 'x') + ",Late";
  EXPECT_TRUE(PasteTarget::ClassInList("Late", long_list));
  EXPECT_TRUE(PasteTarget::ClassInList("B", ",,A, B", ", "));
  EXPECT_FALSE(PasteTarget::ClassInList("b", "A,B"));
  EXPECT_FALSE(PasteTarget::ClassInList("", "A,,B"));
  EXPECT_FALSE(PasteTarget::ClassInList("A", "AB"));
}

TEST(PasteTargetTest, HistoryCapturesChangesOfOtherApplicationsOnly) {
  Rig rig;
  rig.access.SetClipboardText("ours");
  rig.windows.PumpMessages(10);
  EXPECT_FALSE(rig.scheduler.pending().has_value());
  rig.clipboard.OtherSetsText("theirs", Selection::kPrimary);
  rig.windows.PumpMessages(10);
  EXPECT_FALSE(rig.scheduler.pending().has_value());
  rig.clipboard.OtherSetsText("theirs");
  rig.windows.PumpMessages(10);
  ASSERT_TRUE(rig.scheduler.pending().has_value());
  EXPECT_EQ(rig.scheduler.pending()->code, 101);
}

TEST(PasteTargetTest, HtmlOnTheClipboardMakesTheTargetABrowser) {
  Rig rig;
  EXPECT_EQ(rig.access.FindHtmlClipboardFormat(kApp), 0);
  rig.clipboard.OtherSets({{{"text/html", "<b>x</b>"}, {"text/plain", "x"}}});
  EXPECT_EQ(rig.access.FindHtmlClipboardFormat(kApp), ClipboardAccess::kHtmlFormat);
  EXPECT_EQ(rig.block.BrowserClasses(), std::vector<std::string>{"Mousepad"});
  EXPECT_TRUE(rig.browsers.Is(kApp));
}

}  // namespace
}  // namespace quill
