#include "clip/paste_out.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "clip/dispatch_test_support.h"
#include "clip/variable_dialog_test_support.h"
#include "clip/html_marker.h"
#include "platform/headless/fake_clipboard.h"
#include "platform/headless/fake_key_injector.h"
#include "platform/headless/fake_ui.h"
#include "platform/headless/fake_window_system.h"
#include "platform/headless/fault_env.h"
#include "platform/headless/in_process_bus.h"
#include "platform/headless/temp_dir.h"
#include "platform/text_codec.h"
#include "platform/ui_messages.h"
#include "store/card_store.h"
#include "store/card_test_support.h"

namespace quill {
namespace {

constexpr WindowHandle kApp = 0x00600001;  // the application in front
constexpr WindowHandle kOther = 0x00700001;

std::string J(const char* utf8) { return Utf8ToCp932(utf8); }

// The main window as paste-out sees it.
class FakePasteView final : public PasteOutView {
 public:
  FakePasteView(Clock& clock, RememberedValues* values) : clock_(clock), values_(values) {}

  std::array<std::string, kRecentPastedCount> recent;
  std::array<std::string, kSuperKeySlotCount> super_ids;
  std::string paste_folder = "POPUP";
  bool keep_selection = false;
  bool shift = false;
  bool ctrl = false;
  std::string editor_id;
  bool status_visible = true;
  std::string status_caption = "?";
  std::function<int(VariableFill&)> answer;
  std::function<void()> magic;  // the clip-tool menu; empty: closed at once
  int dialogs = 0;
  std::vector<std::string> log;
  // What the last save of the paste settings stored.
  std::array<std::string, kRecentPastedCount> saved_recent;
  std::string saved_folder;
  int paste_saves = 0;

  std::array<std::string, kRecentPastedCount>& RecentPasted() override { return recent; }
  std::array<std::string, kSuperKeySlotCount>& SuperCardIds() override { return super_ids; }
  std::string& PasteFolder() override { return paste_folder; }
  bool KeepSelection() override { return keep_selection; }
  void SetKeepSelection(bool on) override { keep_selection = on; }
  void SavePasteSettings() override {
    ++paste_saves;
    saved_recent = recent;
    saved_folder = paste_folder;
  }
  void SaveKeepSelection() override {}
  void SaveClipHistory() override { log.push_back("save history"); }
  bool ShiftDown() override { return shift; }
  bool CtrlDown() override { return ctrl; }
  std::string EditorCardId() override { return editor_id; }
  void ShowSuperKeyStatus(bool visible, const std::string& caption) override {
    status_visible = visible;
    status_caption = caption;
  }
  void OpenCardWindow(const std::string& card_id) override { log.push_back("open " + card_id); }
  std::unique_ptr<VariableDialog> CreateTikanFm() override {
    return std::make_unique<ScriptedDialog>(clock_, values_, answer, &dialogs);
  }
  bool PopupMagicMenu() override {
    log.push_back("magic");
    if (!magic) return false;
    magic();
    return true;
  }

 private:
  Clock& clock_;
  RememberedValues* values_;
};

// The window's command handling for the restore: command 12 puts the
// user's clipboard back.
class RestoringWindow final : public QuietTarget {
 public:
  std::function<void(bool)> restore;
  void RestoreClipboard(bool forced) override { restore(forced); }
};

// A real card store, the application in front with a document and a
// selection, the user's clipboard, and paste-out between them.
class PasteRig {
 public:
  PasteRig() {
    env.SetFreeBytes(uint64_t{1} << 40);
    EXPECT_TRUE(cards.Open(false, dir.Path() + "/").ok());
    block.SetMainWindow(main);
    windows.AddWindow(main, "Quillmain");
    windows.AddWindow(kOther, "Other");
    app = &keys.AddTarget(kApp, "Mousepad", "hello world");
    keys.Select(kApp, 6, 5);  // "world"
    windows.SetActiveWindow(kApp);
    block.SetTargetWindow(kApp);
    block.PushFocusPair({kApp, kApp});
    window.restore = [this](bool forced) { target.RestoreClipboard(forced); };
    DeliverOnPump(windows, clipboard, keys, dispatcher);
    target_view.settings.back_clipboard = true;
    clipboard.OtherSetsText("mine");
    clipboard.DeliverNotices();
    scheduler.Clear();
    state().CommandTarget = kApp;
    state().TargetFocus = target.GetTargetFocusWindow(kApp);
  }

  DispatchState& state() { return dispatcher.state(); }
  // A paste chosen from the folder popup, whose command keeps the user's
  // clipboard first.
  void Paste(std::string_view id, int index, std::optional<std::string> text = std::nullopt) {
    target.KeepClipboard();
    paste.PasteCard(id, index, std::move(text));
  }
  std::string Card(const std::string& text, const std::string& folder = "Web") {
    return store::WriteTestCard(cards, env.fake_clock(), folder, "title", text);
  }
  void Bin(const std::string& id) {
    store::CardRecord c(cards);
    bool found = false;
    ASSERT_TRUE(c.FindById(-1, id, false, &found).ok() && found);
    ASSERT_TRUE(c.MarkDeleted().ok());
  }
  // Lets `ms` pass with the main window's timer running, as a paste's
  // restore needs.
  void Wait(uint32_t ms) {
    for (uint32_t t = 0; t < ms; t += 100) {
      windows.PumpMessages(100);
      dispatcher.Timer1Timer();
      bus.PumpAll();
    }
  }
  // The clipboard-tool menu chooses a tool that marks the text and
  // pastes it, as a tool run does with PasteThroughTool set.
  void ChooseMarkingTool() {
    view.magic = [this] {
      EXPECT_TRUE(paste.PasteThroughTool);
      access.SetClipboardText("<" + access.GetClipboardText() + ">");
      paste.PasteThroughTool = false;
      target.PasteToTarget();
    };
  }

  TempDir dir;
  FaultEnv env;
  FakeClock& clock = env.fake_clock();
  store::CardStore cards{env, dir.Path() + "/"};
  StoredValues values{cards.values()};
  FakeWindowSystem windows{&clock};
  FakeClipboard clipboard;
  FakeKeyInjector keys{windows, clipboard, clock};
  FakeUi ui;
  RestoringWindow window;
  alignas(8) std::array<uint8_t, kSharedHookBlockSize> bytes{};
  SharedHookBlock block{std::span<uint8_t, kSharedHookBlockSize>(bytes)};
  InProcessBus bus{&clock};
  WindowHandle main = bus.CreateWindow(
      [this](const Message& m) { dispatcher.WndProc(m.message, m.wparam, m.lparam); });
  CommandScheduler scheduler{clock, bus, main};
  Dispatcher dispatcher{block, window, windows, ui, bus, clock, scheduler};
  RegistryStore registry{env, dir.File("registry.ini")};
  BrowserClassList browsers{block, registry, windows};
  ClipboardAccess access{clipboard, dispatcher.state(), browsers};
  struct : TargetView {
    TargetSettings settings;
    TargetSettings CurrentTargetSettings() override { return settings; }
    void FocusTitleField() override {}
    bool EditFocusedWidget(EditAction) override { return false; }
  } target_view;
  PasteTarget target{block, dispatcher.state(), windows, access, keys, ui,
                     clock, scheduler, target_view};
  ClipHistory history;
  FakePasteView view{clock, &values};
  PasteOut paste{block, dispatcher, windows, target, access, history, keys, ui, cards, view};
  FakeKeyInjector::Target* app;
};

bool Pasted(PasteRig& rig) {
  for (const std::string& key : rig.keys.KeysTo(kApp)) {
    if (key[0] == 'P' || key == "shift+insert") return true;
  }
  return false;
}

TEST(PasteOutTest, RecentPastedHoldsEachCardOnceNewestFirst) {
  struct Case {
    std::vector<std::string> before;  // "A" stands for the card pasted
    std::vector<std::string> after;
  };
  const Case cases[] = {
      {{"A", "B"}, {"A", "B"}},  // the same card again
      {{"B", "C", "A"}, {"A", "B", "C"}},
      {{"1", "2", "3", "4", "5", "6", "7", "8", "9", "A"},
       {"A", "1", "2", "3", "4", "5", "6", "7", "8", "9"}},
      {{"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"},
       {"A", "1", "2", "3", "4", "5", "6", "7", "8", "9"}},
  };
  for (const Case& c : cases) {
    PasteRig rig;
    const std::string a = rig.Card("text");
    auto ids = [&](const std::vector<std::string>& names) {
      std::array<std::string, kRecentPastedCount> out;
      for (size_t i = 0; i < names.size(); ++i) out[i] = names[i] == "A" ? a : names[i];
      return out;
    };
    rig.view.recent = ids(c.before);
    rig.Paste(a, PasteOut::kCard);
    EXPECT_EQ(rig.view.recent, ids(c.after));
    // Stored with the folder of the card just pasted.
    EXPECT_EQ(rig.view.saved_recent, ids(c.after));
    EXPECT_EQ(rig.view.saved_folder, "Web");
  }
}

TEST(PasteOutTest, TheCardsTextOrAnHtmlCardsVisibleTextGoesIntoTheDocument) {
  PasteRig rig;
  const std::string plain = rig.Card(J("日本語の本文"));
  const std::string html = rig.Card("seen\r\n" + std::string(kHtmlMarkerLine) + "\r\n\r\n<b>x</b>");
  {
    store::CardRecord c(rig.cards);
    bool found = false;
    ASSERT_TRUE(c.FindById(-1, html, true, &found).ok() && found);
    c.kind = 'H';
    ASSERT_TRUE(c.Write().ok());
  }
  rig.Paste(plain, PasteOut::kCard);
  EXPECT_EQ(rig.app->document, "hello " + J("日本語の本文"));
  rig.Paste(html, PasteOut::kCard);
  EXPECT_EQ(rig.app->document, "hello " + J("日本語の本文") + "seen\r\n");
  EXPECT_EQ(rig.paste.LastPastedId, html);
  EXPECT_EQ(rig.view.dialogs, 0);
}

TEST(PasteOutTest, ACardNotFoundOrInTheBinBeepsAndTouchesNothing) {
  PasteRig rig;
  const std::string live = rig.Card("here");
  const std::string binned = rig.Card("gone");
  rig.Bin(binned);
  for (const std::string& id : {binned, std::string("0123456789ABCDEF"), live.substr(0, 8)}) {
    SCOPED_TRACE(id);
    rig.Paste(id, PasteOut::kCard);
  }
  EXPECT_EQ(rig.ui.beeps(), 3);
  EXPECT_EQ(rig.clipboard.Text(), "mine");
  EXPECT_EQ(rig.app->document, "hello world");
  EXPECT_EQ(rig.view.recent, (std::array<std::string, kRecentPastedCount>{}));
  EXPECT_EQ(rig.paste.LastPastedId, "");
  EXPECT_TRUE(rig.keys.log().empty());
}

// A card whose text read meets the store's fatal status ends the program
// with its message: nothing is pasted, no beep, the user's clipboard stays.
TEST(PasteOutTest, TheStoresFatalStatusEndsTheProgram) {
  PasteRig rig;
  const std::string id = rig.Card("text");
  store::DamageCardId(rig.env, rig.cards.data_path(), id);
  rig.Paste(id, PasteOut::kCard);
  ASSERT_EQ(rig.ui.questions().size(), 1u);
  EXPECT_EQ(rig.ui.questions()[0].text, MessageText(MessageId::kFatalRead));
  EXPECT_EQ(rig.ui.questions()[0].caption, MessageText(MessageId::kWarningCaption));
  EXPECT_EQ(rig.ui.exit_codes(), std::vector<int>{kFatalExitCode});
  EXPECT_EQ(rig.ui.beeps(), 0);
  EXPECT_EQ(rig.app->document, "hello world");
  EXPECT_EQ(rig.clipboard.Text(), "mine");
  EXPECT_EQ(rig.view.recent, (std::array<std::string, kRecentPastedCount>{}));
}

TEST(PasteOutTest, ChosenWithTheRightButtonACardOpensAndAnEntryBeeps) {
  PasteRig rig;
  const std::string id = rig.Card("text");
  rig.history.Add("entry");
  rig.block.SetRightClickCount(1);
  rig.Paste(id, PasteOut::kCard);
  EXPECT_EQ(rig.view.log, std::vector<std::string>{"open " + id});
  rig.Paste("", 0);
  rig.Paste(id, PasteOut::kCard, "row");
  EXPECT_EQ(rig.ui.beeps(), 2);
  EXPECT_EQ(rig.view.log.size(), 1u);
  EXPECT_EQ(rig.app->document, "hello world");
  EXPECT_EQ(rig.clipboard.Text(), "mine");
}

// Which pastes give the user's clipboard back a second later.
TEST(PasteOutTest, TheUsersClipboardComesBackAfterACardButNotAfterAnEntry) {
  enum Kind { kHistory, kCard, kSuperKey, kSelected };
  struct Case {
    Kind kind;
    std::string document;
    std::string clipboard_after;
  };
  const Case cases[] = {
      {kHistory, "hello entry", "entry"},
      {kCard, "hello card", "mine"},
      {kSuperKey, "hello card", "mine"},
      {kSelected, "hello [world]", "mine"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kind);
    PasteRig rig;
    rig.history.Add("entry");
    rig.history.Add("newer");
    switch (c.kind) {
      case kHistory:
        rig.Paste("", 1);
        EXPECT_EQ(rig.history.HistoryTexts[0], "entry");
        EXPECT_EQ(rig.view.log, std::vector<std::string>{"save history"});
        break;
      case kCard:
        rig.Paste(rig.Card("card"), PasteOut::kCard);
        break;
      case kSuperKey:
        rig.view.super_ids[1] = rig.Card("card");
        rig.paste.SuperPaste(1);
        break;
      case kSelected:
        rig.Paste(rig.Card("[$_SELECTED_]"), PasteOut::kCard);
        break;
    }
    rig.windows.PumpMessages(100);
    EXPECT_EQ(rig.app->document, c.document);
    rig.Wait(1100);
    EXPECT_EQ(rig.clipboard.Text(), c.clipboard_after);
  }
}

TEST(PasteOutTest, WithShiftTheTextGoesThroughTheChosenTool) {
  PasteRig rig;
  rig.view.shift = true;
  rig.ChooseMarkingTool();
  rig.view.answer = [](VariableFill& fill) {
    fill.SetValue(0, "you");
    return kResultOk;
  };
  rig.Paste(rig.Card("hi $_WHO_"), PasteOut::kCard);
  rig.windows.PumpMessages(100);
  EXPECT_EQ(rig.app->document, "hello <hi you>");
  EXPECT_EQ(rig.view.log, std::vector<std::string>{"magic"});
  EXPECT_FALSE(rig.paste.PasteThroughTool);
  rig.Wait(1100);
  EXPECT_EQ(rig.clipboard.Text(), "mine");

  // The menu closed without a choice: nothing pasted, the clipboard is
  // the user's again, and no later tool run takes the flag for its own.
  rig.view.magic = nullptr;
  rig.Paste(rig.Card("plain"), PasteOut::kCard);
  EXPECT_EQ(rig.app->document, "hello <hi you>");
  EXPECT_FALSE(rig.paste.PasteThroughTool);
  EXPECT_EQ(rig.clipboard.Text(), "mine");
}

TEST(PasteOutTest, WithCtrlTheClipboardAnswersTheOnlyVariable) {
  PasteRig rig;
  rig.clipboard.OtherSetsText(J("値"));
  rig.view.ctrl = true;
  rig.Paste(rig.Card("[$_X_]"), PasteOut::kCard);
  rig.windows.PumpMessages(100);
  EXPECT_EQ(rig.view.dialogs, 0);
  EXPECT_EQ(rig.app->document, "hello [" + J("値") + "]");
  rig.Wait(1100);
  // Two variables: the dialog asks, offering the clipboard's text first.
  rig.view.answer = [](VariableFill& fill) {
    EXPECT_EQ(fill.values()[0], J("値"));
    return kResultOk;
  };
  rig.Paste(rig.Card("$_X_ $_Y_"), PasteOut::kCard);
  EXPECT_EQ(rig.view.dialogs, 1);
}

// A card with `$_SELECTED_` cuts the target's selection; when nothing is
// pasted in its place, the cut text goes back.
TEST(PasteOutTest, ASelectionCutForTheCardIsPastedBackWhenNothingElseIs) {
  struct Case {
    const char* how;
    bool message_method;  // the target's cut is the PRIMARY copy
    int result;
    bool shift;           // then the tool menu, if it comes, closes without a choice
    std::string document;
  };
  const Case cases[] = {
      {"OK", false, kResultOk, false, "hello [world:me]"},
      {"Cancel", false, kResultCancel, false, "hello world"},
      {"Esc", false, kResultCancel, false, "hello world"},
      {"close box", false, kResultCancel, false, "hello world"},
      {"Shift, OK, menu dismissed", false, kResultOk, true, "hello world"},
      {"Shift, Cancel", false, kResultCancel, true, "hello world"},
      {"message method, Cancel", true, kResultCancel, false, "hello world"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.how);
    PasteRig rig;
    if (c.message_method) rig.target_view.settings.cut_lists[3] = "Mousepad";
    rig.view.shift = c.shift;
    rig.view.answer = [&](VariableFill& fill) {
      EXPECT_EQ(fill.text(), "[world:$_WHO_]");
      fill.SetValue(0, "me");
      return c.result;
    };
    rig.Paste(rig.Card("[$_SELECTED_:$_WHO_]"), PasteOut::kCard);
    rig.windows.PumpMessages(100);
    EXPECT_EQ(rig.view.dialogs, 1);
    EXPECT_EQ(rig.app->document, c.document);
    // No later tool run takes paste-out's flag for its own.
    EXPECT_FALSE(rig.paste.PasteThroughTool);
    if (c.message_method) {
      EXPECT_FALSE(Pasted(rig));
    }
    rig.Wait(1100);
    EXPECT_EQ(rig.clipboard.Text(), "mine");
  }
}

TEST(PasteOutTest, SuperKeysPasteTheirCardsIntoTheWindowInFront) {
  PasteRig rig;
  const std::string table = rig.Card("a\tb\r\n");
  // From a table card's row, then slot 0 again with the same row.
  rig.Paste(table, PasteOut::kCard, "row");
  rig.state().CommandTarget = kOther;
  rig.state().TargetFocus = kOther;
  rig.paste.SuperPaste(0);
  rig.windows.PumpMessages(100);
  EXPECT_EQ(rig.app->document, "hello rowrow");
  EXPECT_EQ(rig.state().CommandTarget, kApp);
  EXPECT_EQ(rig.paste.LastPastedText, "row");

  // A key held with Shift: its own Shift is no request for the tool menu.
  rig.block.SetSuperPasteKey(1, HotkeyWord(0x2041));
  rig.view.super_ids[1] = rig.Card("!");
  rig.view.shift = true;
  rig.paste.SuperPaste(1);
  rig.windows.PumpMessages(100);
  EXPECT_EQ(rig.app->document, "hello rowrow!");
  EXPECT_TRUE(rig.view.log.empty());
}

TEST(PasteOutTest, SuperKeysWithoutALiveCardPasteNothing) {
  PasteRig rig;
  const std::string binned = rig.Card("gone");
  rig.Bin(binned);
  rig.view.super_ids[3] = binned;
  rig.view.super_ids[4] = "0123456789ABCDEF";
  for (int slot : {0, 2, 3, 4, 10, -1}) rig.paste.SuperPaste(slot);
  rig.windows.PumpMessages(100);
  EXPECT_EQ(rig.ui.beeps(), 3);  // slots 0 (nothing pasted yet), 3 and 4
  EXPECT_EQ(rig.app->document, "hello world");
  EXPECT_EQ(rig.clipboard.Text(), "mine");
  EXPECT_FALSE(Pasted(rig));
}

TEST(PasteOutTest, HotKeyTexts) {
  EXPECT_EQ(PasteOut::HotKeyText(0xC074), "Ctrl+Alt+F5");
  EXPECT_EQ(PasteOut::HotKeyText(0x2041), "Shift+A");
  EXPECT_EQ(PasteOut::HotKeyText(0), "");
  EXPECT_EQ(PasteOut::HotKeyText(0x401C), "Ctrl+" + J("変換"));
}

TEST(PasteOutTest, TheSuperKeyButtonShowsAndItsMenuBindsTheEditorsCard) {
  PasteRig rig;
  const std::string card = rig.Card("text");
  const std::string other = rig.Card("other");
  rig.paste.UpdateSuperKeyStatus();
  EXPECT_FALSE(rig.view.status_visible);
  rig.paste.SuperKeyStatusClick();
  EXPECT_EQ(rig.ui.beeps(), 1);
  EXPECT_TRUE(rig.ui.menus().empty());

  rig.view.editor_id = card;
  rig.view.super_ids[2] = other;
  rig.block.SetSuperPasteKey(1, HotkeyWord(0xC0F2));  // Ctrl+Alt+ｶﾀｶﾅ/ひらがな
  rig.block.SetSuperPasteKey(2, HotkeyWord(0xC074));
  rig.ui.Choose(1);
  rig.paste.SuperKeyStatusClick();
  ASSERT_EQ(rig.ui.menus().size(), 1u);
  const std::vector<MenuItem>& items = rig.ui.menus()[0].items;
  ASSERT_EQ(items.size(), 9u);
  // "ら" stands across byte 20 and is left out whole.
  EXPECT_EQ(items[0].caption, "&1:Ctrl+Alt+" + J("ｶﾀｶﾅ/ひ") + ":");
  EXPECT_EQ(items[1].caption, "&2:Ctrl+Alt+F5:title");
  EXPECT_EQ(items[8].caption, "&9::");
  EXPECT_EQ(rig.view.super_ids[1], card);
  EXPECT_EQ(rig.view.paste_saves, 1);
  EXPECT_TRUE(rig.view.status_visible);
  EXPECT_EQ(rig.view.status_caption, "Ctrl+Alt+" + J("ｶﾀｶﾅ/ひらがな"));
  EXPECT_EQ(rig.paste.FindSuperKeyCode(other), 0xC074);
  EXPECT_EQ(rig.paste.FindSuperKeyCode(""), 0);
}

}  // namespace
}  // namespace quill
