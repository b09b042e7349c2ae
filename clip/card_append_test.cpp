#include "clip/card_append.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "clip/paste_target_test_rig.h"
#include "platform/messages.h"
#include "platform/text_codec.h"
#include "platform/ui_messages.h"
#include "store/card_test_support.h"

namespace quill {
namespace {

std::string S(const char* utf8) { return Utf8ToCp932(utf8); }

// The main window's side of an append and of a registration, over the data
// set of a temporary folder.
class FakeWindow final : public CardAppendView, public OneShotView {
 public:
  explicit FakeWindow(store::CardStore& store) : store_(store) {}

  OneShotSettings settings;
  // The table-row dialog: scripts in turn (none left: "追加しない").
  std::deque<std::function<int(std::string*, std::string*)>> dialogs;
  std::vector<std::string> dialog_lines;  // what each dialog showed
  std::function<void()> on_dialog;
  std::vector<std::string> left;          // cards the editor was moved off
  std::vector<std::string> written;       // cards whose nodes were refreshed
  std::vector<std::string> opened;
  int forgotten_saves = 0;

  store::CardStore& CurrentStore() override { return store_; }
  int CurrentDataSet() override { return 0; }
  OneShotSettings CurrentOneShotSettings() override { return settings; }
  void LeaveCard(const std::string& id) override { left.push_back(id); }
  int RunAddHyouForm(std::string* title, std::string* text) override {
    dialog_lines.push_back(*title + "|" + *text);
    if (on_dialog) on_dialog();
    if (dialogs.empty()) return kResultCancel;
    auto script = std::move(dialogs.front());
    dialogs.pop_front();
    return script(title, text);
  }
  void CardWritten(const store::CardRecord& card) override { written.push_back(card.id); }
  Status SaveForgottenOneShotFolder() override {
    ++forgotten_saves;
    return forgotten_result;
  }
  Status forgotten_result = Status::Ok();

  void SaveEditorCard() override {}
  std::string DataSetFolder(int) override { return store_.data_path(); }
  void AddCardToTree(const store::CardRecord&) override {}
  void SaveOneShotFolderSettings() override {}
  void OpenCard(const std::string& id) override { opened.push_back(id); }
  void FinishTargetPopup() override {}
  void ChooseRegisterFolder() override { ADD_FAILURE() << "no folder"; }
  void AddRegisterHistory(int, const std::string&) override {}
  void RemoveRegisterHistory(int, const std::string&) override {}

 private:
  store::CardStore& store_;
};

// quillmain around an append: a plain card, a table card and a locked
// card in the folder "メモ", which is also the one-shot folder.
struct Rig : PasteTargetRig {
  Rig() {
    EXPECT_TRUE(current.Open(false, "").ok());
    store::WriteFolderRow(current, folder);
    plain = store::WriteTestCard(current, clock, folder, S("メモ"), S("本文"));
    table = Write(S("表"), S("名前\t値\r\n"), 'C');
    window.one_shot = &one_shot;
    window.append = &append;
    form.settings.data_set = 0;
    form.settings.folder = folder;
    form.settings.save_url = false;
    block.SetBarWindow(bar);
    target.SourceName = S("出典");
    view.settings.source_names[0] = S("出典");
    view.settings.source_classes[0] = "Mousepad";
    windows.SetActiveWindow(kApp);
    ui.on_question = [this](const FakeUi::Question&) { windows.SetActiveWindow(main); };
  }

  std::string Write(const std::string& title, const std::string& text, char kind) {
    store::CardRecord c(current);
    c.Clear();
    c.folder = folder;
    c.title = title;
    c.text = text;
    c.kind = kind;
    EXPECT_TRUE(c.Write().ok());
    clock.AdvanceMs(1);
    return c.id;
  }
  // The target has copied `copied` (the user's clipboard kept); the card
  // takes it.
  void Append(const std::string& id, const ClipboardSnapshot& copied, bool shift = false) {
    state().CommandTarget = kApp;
    target.KeepClipboard();
    target.BrowserContextTarget = kApp;
    clipboard.OtherSets(copied);
    append.AppendToCard(id, shift);
  }
  void Append(const std::string& id, const std::string& text, bool shift = false) {
    Append(id, {{{FakeClipboard::kTextMime, Cp932ToUtf8(text)}}}, shift);
  }
  std::string Text(const std::string& id) {
    store::CardRecord c(current);
    bool found = false;
    EXPECT_TRUE(c.FindByKey("TEXT_ID", id, true, &found).ok());
    return found ? c.text : "(gone)";
  }

  const std::string folder = S("メモ");
  WindowHandle bar = bus.CreateWindow();
  store::CardStore current{env, dir.Path() + "/"};
  FakeWindow form{current};
  OneShot one_shot{block, dispatcher.state(), target, access, ui, bus, clock, form};
  RegisterHistory history;
  CardAppend append{block, dispatcher, target, access, ui, bus, clock, one_shot,
                    history, registry, form};
  std::string plain, table;
};

TEST(CardAppendTest, TheTextGoesToTheEndOfTheCardWithFeedback) {
  Rig rig;
  rig.Append(rig.plain, S("追加の行"));
  EXPECT_EQ(rig.Text(rig.plain), S("本文\r\n\r\n\r\n追加の行\r\n"));
  EXPECT_EQ(rig.form.left, std::vector<std::string>{rig.plain});
  EXPECT_EQ(rig.form.written, std::vector<std::string>{rig.plain});
  EXPECT_EQ(rig.ui.flashes(), std::vector<FlashBitmap>{FlashBitmap::kClipAdd});
  EXPECT_FALSE(rig.ui.flash_shown());
  EXPECT_EQ(rig.ui.sounds(), std::vector<std::string>{"Clipsnd.wav"});
  EXPECT_EQ(rig.form.forgotten_saves, 1);
  EXPECT_EQ(rig.block.SaveState(), 2);
  EXPECT_EQ(rig.block.SaveHint(), S("メモのカードに追加登録"));
  EXPECT_EQ(rig.bus.Take(rig.bar), (std::vector<Message>{{rig.bar, kCommandMessage, 16, 0}}));
  EXPECT_EQ(rig.append.LastAppendCardId, rig.plain);
  EXPECT_EQ(rig.one_shot.LastCaptureCardId, rig.plain);
  EXPECT_EQ(rig.one_shot.LastCaptureText, S("追加の行"));
  ASSERT_EQ(rig.history.entries.size(), 1u);
  EXPECT_EQ(rig.history.entries[0], (CTourokuRireki{"?", -1, rig.plain}));
  EXPECT_EQ(LoadRegisterHistory(rig.registry).entries, rig.history.entries);
  EXPECT_EQ(rig.clipboard.Text(), kMine);
  EXPECT_FALSE(rig.state().CaptureBusy);
  EXPECT_TRUE(rig.ui.questions().empty());

  // The save key now appends to that card, with Shift as it was then.
  rig.clock.SetLocal(2026, 12, 9, 9, 5);
  rig.append.LastAppendShift = true;
  rig.app->document = S("二回目");
  rig.keys.Select(kApp, 0, rig.app->document.size());
  rig.dispatcher.WndProc(kCommandMessage, static_cast<uint32_t>(CommandCode::kSave),
                         static_cast<int32_t>(kApp));
  EXPECT_EQ(rig.Text(rig.plain), S("本文\r\n\r\n\r\n追加の行\r\n\r\n\r\n【2026/12/09  9:05 出典】\r\n"
                                   "二回目\r\n"));
  EXPECT_TRUE(store::CardsOfFolder(rig.current, rig.folder).size() == 2u);
  EXPECT_EQ(rig.clipboard.Text(), kMine);
}

// A settings file that cannot take the forgotten one-shot folder is said
// with the store's message; the card keeps the appended text and the rest
// of the append goes on.
TEST(CardAppendTest, AFailedSettingsWriteIsSaid) {
  Rig rig;
  const std::string failure = "/home/u/quillmain.ini に書き込めません";
  rig.form.forgotten_result = Status::IoError(failure);
  rig.Append(rig.plain, S("追加の行"));
  EXPECT_EQ(rig.Text(rig.plain), S("本文\r\n\r\n\r\n追加の行\r\n"));
  ASSERT_EQ(rig.ui.questions().size(), 1u);
  EXPECT_EQ(rig.ui.questions()[0].text, Utf8ToCp932(failure));
  EXPECT_EQ(rig.ui.questions()[0].caption, MessageText(MessageId::kWarningCaption));
  EXPECT_EQ(rig.block.SaveState(), 2);
  EXPECT_EQ(rig.append.LastAppendCardId, rig.plain);
  EXPECT_EQ(rig.clipboard.Text(), kMine);
}

// A card whose text read meets the store's fatal status ends the program
// with its message: nothing is appended and the user's clipboard is back.
TEST(CardAppendTest, TheStoresFatalStatusEndsTheProgram) {
  Rig rig;
  store::DamageCardId(rig.env, rig.current.data_path(), rig.plain);
  rig.Append(rig.plain, S("追加の行"));
  ASSERT_EQ(rig.ui.questions().size(), 1u);
  EXPECT_EQ(rig.ui.questions()[0].text, MessageText(MessageId::kFatalRead));
  EXPECT_EQ(rig.ui.questions()[0].caption, MessageText(MessageId::kWarningCaption));
  EXPECT_EQ(rig.ui.exit_codes(), std::vector<int>{kFatalExitCode});
  EXPECT_TRUE(rig.form.written.empty());
  EXPECT_EQ(rig.clipboard.Text(), kMine);
  rig.env.ClearFaults();
  EXPECT_EQ(rig.Text(rig.plain), S("本文"));
}

// What is appended: the header lines by Shift and the page, and the repeat
// guard of 15 s shared with the registration.
TEST(CardAppendTest, HeadersAndTheRepeatGuard) {
  struct Case {
    const char* name;
    bool shift;
    ClipboardSnapshot copied;
    std::string added;
  };
  const std::string mime = FakeClipboard::kTextMime;
  const Case cases[] = {
      {"plain", false, {{{mime, "本文2"}}}, S("\r\n\r\n本文2\r\n")},
      {"shift", true, {{{mime, "本文2"}}}, S("\r\n\r\n【2026/12/09  9:05 出典】\r\n本文2\r\n")},
      {"a page",
       false,
       {{{mime, "本文2"}, {"text/html", "<b>本文2</b>"}, {"text/x-moz-url-priv", "https://a.jp/"}}},
       S("\r\n\r\n★入手先URL=https://a.jp/\r\n\r\n本文2\r\n")},
      {"0x1A ends the text", false, {{{mime, "ab\x1a" "cd"}}}, "\r\n\r\nab\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Rig rig;
    rig.form.settings.save_url = true;
    rig.clock.SetLocal(2026, 12, 9, 9, 5);
    rig.Append(rig.plain, c.copied, c.shift);
    EXPECT_EQ(rig.Text(rig.plain), S("本文\r\n") + c.added);
  }
  struct Repeat {
    uint32_t later_ms;
    int appended;
  };
  for (const Repeat& r : {Repeat{14000, 1}, Repeat{15000, 2}}) {
    SCOPED_TRACE(r.later_ms);
    Rig rig;
    rig.Append(rig.plain, S("同じ"));
    rig.clock.AdvanceMs(r.later_ms);
    rig.Append(rig.plain, S("同じ"));
    const std::string once = S("本文\r\n\r\n\r\n同じ\r\n");
    EXPECT_EQ(rig.Text(rig.plain), r.appended == 1 ? once : once + S("\r\n\r\n同じ\r\n"));
    EXPECT_EQ(rig.form.opened.size(), r.appended == 1 ? 1u : 0u);
    EXPECT_EQ(rig.clipboard.Text(), kMine);
  }
}

// A table card takes a TAB line as a row and asks for the cells of a line
// without one; the dialog comes up in front of the target.
TEST(CardAppendTest, ATableCardTakesRowsAndAsksForTheOthers) {
  Rig rig;
  rig.form.dialogs.push_back([](std::string* title, std::string* text) {
    *title = "a";
    *text = "b";
    return kResultOk;
  });
  bool busy_in_dialog = false;
  rig.form.on_dialog = [&] { busy_in_dialog = rig.state().CaptureBusy; };
  rig.Append(rig.table, S("x\ty\r\n一行目\r\n\r\n二行目"));
  EXPECT_EQ(rig.Text(rig.table), S("名前\t値\r\nx\ty\r\na\tb\r\n"));
  EXPECT_EQ(rig.form.dialog_lines, (std::vector<std::string>{S("一行目|一行目"), S("二行目|二行目")}));
  EXPECT_TRUE(busy_in_dialog);
  EXPECT_FALSE(rig.state().CaptureBusy);
  EXPECT_FALSE(rig.state().PopupPrepared);
  EXPECT_EQ(rig.windows.ActiveWindow(), kApp);
  EXPECT_EQ(rig.clipboard.Text(), kMine);
}

// The ways out without an append: nothing changes but the clipboard comes
// back, and a message (caption "警告") gives the focus back.
TEST(CardAppendTest, WithoutAnAppendNothingChanges) {
  struct Case {
    const char* name;
    std::function<void(Rig&)> arrange;
    bool table;
    std::string text;
    std::string message;  // "" for none
  };
  const Case cases[] = {
      {"empty capture", [](Rig&) {}, false, "\x1a" "after", ""},
      {"low disk", [](Rig& r) { r.env.SetFreeBytes(999999); }, false, "x",
       S("空き容量が少ないので登録できません")},
      {"the write fails", [](Rig& r) { r.env.SetWriteBudget(0); }, false, "x",
       S("カードを登録できませんでした。")},
      {"text and card over 300,000 bytes", [](Rig&) {}, false, std::string(299994, 'a'),
       S("選択が大きすぎます")},
      {"rows over the card text limit",
       [](Rig& r) {
         r.form.dialogs.push_back([](std::string* title, std::string*) {
           *title = std::string(1100000, 'a');
           return kResultOk;
         });
       },
       true, "line", S("選択が大きすぎます")},
      {"every row skipped", [](Rig&) {}, true, "line", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Rig rig;
    const std::string id = c.table ? rig.table : rig.plain;
    const std::string before = rig.Text(id);
    c.arrange(rig);
    rig.Append(id, c.text);
    rig.env.ClearFaults();
    EXPECT_TRUE(rig.Text(id) == before) << rig.Text(id).size();
    if (c.message.empty()) {
      EXPECT_TRUE(rig.ui.questions().empty());
    } else {
      ASSERT_EQ(rig.ui.questions().size(), 1u);
      EXPECT_EQ(rig.ui.questions()[0].text.substr(0, c.message.size()), c.message);
      EXPECT_EQ(rig.ui.questions()[0].caption, S("警告"));
      EXPECT_EQ(rig.block.SaveState(), 0);
      EXPECT_TRUE(rig.history.entries.empty());
      EXPECT_TRUE(rig.append.LastAppendCardId.empty());
      EXPECT_TRUE(rig.bus.Take(rig.bar).empty());
    }
    EXPECT_TRUE(rig.ui.sounds().empty());
    EXPECT_TRUE(rig.one_shot.LastCaptureText.empty());
    EXPECT_EQ(rig.clipboard.Text(), kMine);
    EXPECT_EQ(rig.windows.ActiveWindow(), kApp);
    EXPECT_FALSE(rig.ui.flash_shown());
    EXPECT_FALSE(rig.state().CaptureBusy);
    // Nothing counts as captured: the same text appends now.
    if (c.text == "x") {
      rig.Append(id, c.text);
      EXPECT_EQ(rig.Text(id), before + "\r\n\r\n\r\nx\r\n");
    }
  }
}

// A card that is gone is forgotten: the bar shows the one-shot folder
// again and the save key registers into it instead of failing each time.
TEST(CardAppendTest, ACardThatIsGoneIsForgotten) {
  Rig rig;
  rig.Append(rig.plain, S("一回目"));
  ASSERT_EQ(rig.append.LastAppendCardId, rig.plain);
  rig.bus.Take(rig.bar);
  {
    store::CardRecord c(rig.current);
    bool found = false;
    ASSERT_TRUE(c.FindByKey("TEXT_ID", rig.plain, false, &found).ok());
    ASSERT_TRUE(c.MarkDeleted().ok());
  }
  rig.clock.AdvanceMs(20000);
  rig.Append(rig.plain, S("二回目"));
  EXPECT_EQ(rig.ui.beeps(), 1);
  EXPECT_EQ(rig.ui.flashes().back(), FlashBitmap::kNoClip);
  EXPECT_FALSE(rig.ui.flash_shown());
  EXPECT_TRUE(rig.append.LastAppendCardId.empty());
  EXPECT_EQ(rig.block.SaveState(), 1);
  EXPECT_EQ(rig.block.SaveHint(), S("メモのフォルダに登録"));
  EXPECT_EQ(rig.bus.Take(rig.bar), (std::vector<Message>{{rig.bar, kCommandMessage, 16, 0}}));
  EXPECT_EQ(rig.clipboard.Text(), kMine);

  rig.app->document = S("三回目");
  rig.keys.Select(kApp, 0, rig.app->document.size());
  rig.dispatcher.WndProc(kCommandMessage, static_cast<uint32_t>(CommandCode::kSave),
                         static_cast<int32_t>(kApp));
  int registered = 0;
  for (const store::CardRecord& card : store::CardsOfFolder(rig.current, rig.folder)) {
    if (card.text == S("\r\n三回目")) ++registered;
  }
  EXPECT_EQ(registered, 1);
}

// CaptureBusy is the dispatcher's scope: an append inside a capture leaves
// the capture's guard up, and no way out leaves it set.
TEST(CardAppendTest, AnAppendInsideACaptureKeepsItsGuard) {
  Rig rig;
  {
    Dispatcher::CaptureScope outer(rig.dispatcher, false);
    outer.Hold();
    rig.Append(rig.plain, S("中で"));
    EXPECT_TRUE(rig.state().CaptureBusy);
    rig.Append(std::string("0000000000000000"), S("ない"));
    EXPECT_TRUE(rig.state().CaptureBusy);
  }
  EXPECT_FALSE(rig.state().CaptureBusy);
  EXPECT_EQ(rig.Text(rig.plain), S("本文\r\n\r\n\r\n中で\r\n"));
}

// The bar's hint names the card and fits its field: a title of the most
// bytes a card keeps gives the whole hint.
TEST(CardAppendTest, TheHintFitsTheBarsField) {
  Rig rig;
  std::string title;
  for (int i = 0; i < 25; ++i) title += S("長");
  const std::string id = rig.Write(title, "", 0);
  rig.Append(id, std::string("x"));
  EXPECT_EQ(rig.block.SaveHint(), title + S("のカードに追加登録"));
  // Longer hints are cut on a character boundary.
  rig.block.SetSaveHint(FormatMessage(MessageId::kAppendedHint, {title + title}));
  EXPECT_EQ(rig.block.SaveHint(), title + title.substr(0, 28));
}

}  // namespace
}  // namespace quill
