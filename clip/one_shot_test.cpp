#include "clip/one_shot.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "clip/html_marker.h"
#include "clip/paste_target_test_rig.h"
#include "platform/headless/fake_http_fetcher.h"
#include "platform/log.h"
#include "platform/messages.h"
#include "platform/text_codec.h"
#include "store/card_test_support.h"

namespace quill {
namespace {

std::string S(const char* utf8) { return Utf8ToCp932(utf8); }

// The main window's side of a registration, with the data sets of a
// temporary folder: set 0 is open, set 1 lies beside it.
class FakeView final : public OneShotView {
 public:
  explicit FakeView(store::CardStore& current) : current_(current) {}

  OneShotSettings settings;
  std::array<std::string, 10> folders;
  std::function<void(int)> on_data_set_folder;  // before each answer
  int editor_saves = 0;
  int settings_saves = 0;
  int popups_finished = 0;
  int register_menus = 0;
  std::vector<std::string> history;  // "+" added, "-" removed: data set, folder
  std::vector<std::string> tree;    // card ids given nodes
  std::vector<std::string> opened;  // card ids opened for the user

  OneShotSettings CurrentOneShotSettings() override { return settings; }
  void SaveEditorCard() override { ++editor_saves; }
  store::CardStore& CurrentStore() override { return current_; }
  int CurrentDataSet() override { return 0; }
  std::string DataSetFolder(int index) override {
    if (on_data_set_folder) on_data_set_folder(index);
    if (index < 0 || static_cast<size_t>(index) >= folders.size()) {
      ADD_FAILURE() << "data set " << index << " is past the list";
      return std::string();
    }
    return folders[static_cast<size_t>(index)];
  }
  void AddCardToTree(const store::CardRecord& card) override { tree.push_back(card.id); }
  void SaveOneShotFolderSettings() override { ++settings_saves; }
  void OpenCard(const std::string& card_id) override { opened.push_back(card_id); }
  void FinishTargetPopup() override { ++popups_finished; }
  void ChooseRegisterFolder() override { ++register_menus; }
  void AddRegisterHistory(int data_set, const std::string& folder) override {
    history.push_back("+" + std::to_string(data_set) + " " + Cp932ToUtf8(folder));
  }
  void RemoveRegisterHistory(int data_set, const std::string& folder) override {
    history.push_back("-" + std::to_string(data_set) + " " + Cp932ToUtf8(folder));
  }
  void FetchPageImages(PageImageFetch& fetch) override { fetch.RunAll(fetcher); }
  FakeHttpFetcher fetcher;

 private:
  store::CardStore& current_;
};

// quillmain around a registration: the dispatcher, the paste target over
// a scripted editor holding a selection, and two data sets on disk, each
// with the one-shot folder "Web 記事 保存".
struct Rig : PasteTargetRig {
  Rig() {
    EXPECT_TRUE(env.CreateDir(dir.File("a")).ok());
    EXPECT_TRUE(env.CreateDir(dir.File("b")).ok());
    EXPECT_TRUE(current.Open(false, "").ok());
    for (const std::string& path : {S("Web"), S("Web 記事"), folder}) {
      store::WriteFolderRow(current, path);
    }
    {
      store::CardStore other(env, dir.File("b") + "/");
      EXPECT_TRUE(other.Open(false, "").ok());
      store::WriteFolderRow(other, folder);
    }
    form.folders[0] = dir.File("a");
    form.folders[1] = dir.File("b");
    form.settings.data_set = 0;
    form.settings.folder = folder;
    form.settings.save_url = false;
    window.one_shot = &one_shot;

    block.SetBarWindow(bar);
    windows.Find(kApp)->title = S("メモ.txt - Mousepad");
    view.settings.source_names[0] = S("エディタ");
    view.settings.source_classes[0] = "Mousepad";
    windows.SetActiveWindow(kApp);
    // A message box takes the focus from the application.
    ui.on_question = [this](const FakeUi::Question&) { windows.SetActiveWindow(main); };
  }

  // The user selects `text` in the editor and presses the hot key of
  // `code`.
  void Press(const std::string& text, CommandCode code = CommandCode::kSave) {
    app->document = text;
    keys.Select(kApp, 0, text.size());
    dispatcher.WndProc(kCommandMessage, static_cast<uint32_t>(code), static_cast<int32_t>(kApp));
  }
  // The editor has just copied `copied` (the user's clipboard kept).
  void Register(const ClipboardSnapshot& copied) {
    state().CommandTarget = kApp;
    target.KeepClipboard();
    target.TargetTitle = windows.Title(kApp);
    target.SourceName = S("エディタ");
    target.BrowserContextTarget = kApp;
    clipboard.OtherSets(copied);
    one_shot.RegisterFromClipboard();
  }
  void Register(const std::string& text) {
    Register({{{FakeClipboard::kTextMime, Cp932ToUtf8(text)}}});
  }

  std::vector<store::CardRecord> Cards() { return store::CardsOfFolder(current, folder); }
  std::vector<Message> BarMessages() { return bus.Take(bar); }

  WindowHandle bar = bus.CreateWindow();
  store::CardStore current{env, dir.File("a") + "/"};
  FakeView form{current};
  OneShot one_shot{block, dispatcher.state(), target, access, ui, bus, clock, form};
  const std::string folder = S("Web 記事 保存");
};

TEST(OneShotTest, SaveKeyMakesTheSelectionACardOfTheOneShotFolder) {
  for (CommandCode code : {CommandCode::kSave, CommandCode::kSaveHtml}) {
    SCOPED_TRACE(static_cast<int>(code));
    Rig rig;
    rig.form.settings.save_url = true;
    rig.form.settings.save_title = true;
    rig.form.settings.save_date = true;
    rig.Press(S("日本語の選択\r\n二行目"), code);

    const std::vector<store::CardRecord> cards = rig.Cards();
    ASSERT_EQ(cards.size(), 1u);
    const store::CardRecord& card = cards[0];
    EXPECT_EQ(card.text, S("★入手先URL=\r\n★タイトル=メモ.txt - Mousepad\r\n★取得日=2025/12/8\r\n"
                           "\r\n日本語の選択\r\n二行目"));
    EXPECT_EQ(card.title, S("日本語の選択"));
    EXPECT_EQ(static_cast<int32_t>(card.position), static_cast<int32_t>(rig.clock.Now()));
    EXPECT_TRUE(card.locked);
    EXPECT_EQ(card.source, S("エディタ"));
    EXPECT_EQ(rig.form.tree, std::vector<std::string>{card.id});
    EXPECT_EQ(rig.one_shot.LastCaptureCardId, card.id);
    EXPECT_EQ(rig.form.editor_saves, 1);

    // What the user sees and hears, and what comes back.
    EXPECT_EQ(rig.block.SaveState(), 1);
    EXPECT_EQ(rig.block.SaveHint(), S("保存のフォルダに登録"));
    EXPECT_EQ(rig.form.settings_saves, 1);
    EXPECT_EQ(rig.BarMessages(),
              (std::vector<Message>{{rig.bar, kCommandMessage, 16, 0}}));
    EXPECT_EQ(rig.ui.sounds(), std::vector<std::string>{"Clipsnd.wav"});
    EXPECT_EQ(rig.ui.flashes(), std::vector<FlashBitmap>{FlashBitmap::kClip});
    EXPECT_FALSE(rig.ui.flash_shown());
    EXPECT_TRUE(rig.ui.questions().empty());
    EXPECT_EQ(rig.windows.ActiveWindow(), kApp);
    EXPECT_EQ(rig.clipboard.Text(), kMine);
    EXPECT_EQ(rig.form.popups_finished, 1);
    EXPECT_FALSE(rig.dispatcher.state().CaptureBusy);
    EXPECT_EQ(rig.form.history, std::vector<std::string>{"+0 Web 記事 保存"});
  }
}

// What the card holds for the settings and what the clipboard offered.
TEST(OneShotTest, TheCardsTextHeaderAndOrder) {
  const std::string kMillion(1000000, 'a');
  struct Case {
    const char* name;
    OneShotSettings settings;
    ClipboardSnapshot copied;
    std::string text;  // of the card
    bool negative_order;
    int flashes;
  };
  OneShotSettings all_off;
  all_off.save_url = false;
  OneShotSettings url = all_off;
  url.save_url = true;
  OneShotSettings first = all_off;
  first.add_last = false;
  first.lock = false;
  const std::string text_mime = FakeClipboard::kTextMime;
  const auto plain = [&](const std::string& utf8) {
    return ClipboardSnapshot{{{text_mime, utf8}}};
  };
  const Case cases[] = {
      {"headers off", all_off, plain("本文"), S("\r\n本文"), false, 1},
      {"order first, unlocked", first, plain("本文"), S("\r\n本文"), true, 1},
      {"0x1A ends the text", all_off, plain("ab\x1a" "cd"), "\r\nab", false, 1},
      {"no page known", url, plain("本文"), S("★入手先URL=\r\n\r\n本文"), false, 1},
      {"the page of the HTML",
       url,
       {{{text_mime, "本文"},
         {"text/html", "<b>本文</b>"},
         {"text/x-moz-url-priv", "https://example.com/記事/1"}}},
       S("★入手先URL=https://example.com/記事/1\r\n\r\n本文"),
       false,
       2},
      {"1,000,000 bytes", all_off, plain(kMillion), "\r\n" + kMillion, false, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Rig rig;
    OneShotSettings s = c.settings;
    s.data_set = 0;
    s.folder = rig.folder;
    rig.form.settings = s;
    rig.Register(c.copied);
    const std::vector<store::CardRecord> cards = rig.Cards();
    ASSERT_EQ(cards.size(), 1u);
    EXPECT_TRUE(cards[0].text == c.text) << cards[0].text.substr(0, 80);
    EXPECT_EQ(static_cast<int32_t>(cards[0].position) < 0, c.negative_order);
    EXPECT_EQ(cards[0].locked, c.settings.lock);
    EXPECT_EQ(static_cast<int>(rig.ui.flashes().size()), c.flashes);
    EXPECT_FALSE(rig.ui.flash_shown());
    EXPECT_EQ(rig.clipboard.Text(), kMine);
  }
}

TEST(OneShotTest, TheDateCarriesTheFullYear) {
  struct Case {
    int year, month, day;
    const char* line;
  };
  for (const Case& c : {Case{2000, 1, 2, "★取得日=2000/1/2\r\n"},
                        Case{2099, 12, 31, "★取得日=2099/12/31\r\n"},
                        Case{2105, 3, 4, "★取得日=2105/3/4\r\n"}}) {
    Rig rig;
    rig.clock.SetLocal(c.year, c.month, c.day, 12);
    OneShotSettings s;
    s.save_url = false;
    s.save_date = true;
    EXPECT_EQ(rig.one_shot.MakeSourceHeader(s, ""), S(c.line) + "\r\n");
  }
}

// Every way out without a card puts the user's clipboard back, and a
// message gives the focus back to the application afterwards.
TEST(OneShotTest, WithoutACardTheClipboardComesBack) {
  struct Case {
    const char* name;
    std::function<void(Rig&)> arrange;
    std::string text;     // what the editor copied
    std::string message;  // "" for none
  };
  const std::string kTooLarge(1000001, 'a');
  const Case cases[] = {
      {"low disk", [](Rig& r) { r.env.SetFreeBytes(999999); }, "x",
       S("空き容量が少ないので登録できません")},
      {"too large", [](Rig&) {}, kTooLarge, S("選択が大きすぎます")},
      {"empty", [](Rig&) {}, "\x1a" "after", ""},
      {"write fails", [](Rig& r) { r.env.SetWriteBudget(0); }, "x",
       S("カードを登録できませんでした。")},
      {"set not reopened", [](Rig& r) {
         r.form.settings.data_set = 1;
         // The set opens for the look-up, not for the write.
         r.form.on_data_set_folder = [&r, calls = 0](int) mutable {
           if (++calls == 2) r.env.FailOpen(r.dir.File("b/quilbo7.dat"));
         };
       },
       "x", S("登録先のデータを開けません。")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Rig rig;
    c.arrange(rig);
    rig.Register(c.text);
    rig.env.ClearFaults();
    if (c.message.empty()) {
      EXPECT_TRUE(rig.ui.questions().empty());
    } else {
      ASSERT_EQ(rig.ui.questions().size(), 1u);
      EXPECT_EQ(rig.ui.questions()[0].text.substr(0, c.message.size()), c.message);
      EXPECT_EQ(rig.ui.questions()[0].caption, S("警告"));
    }
    EXPECT_EQ(rig.clipboard.Text(), kMine);
    EXPECT_EQ(rig.windows.ActiveWindow(), kApp);
    EXPECT_FALSE(rig.ui.flash_shown());
    EXPECT_TRUE(rig.ui.sounds().empty());
    EXPECT_EQ(rig.block.SaveState(), 0);
    EXPECT_TRUE(rig.BarMessages().empty());
    EXPECT_TRUE(rig.form.tree.empty());
    EXPECT_TRUE(rig.Cards().empty());
    store::CardStore other(rig.env, rig.dir.File("b") + "/");
    ASSERT_TRUE(other.Open(true, "").ok());
    EXPECT_TRUE(store::CardsOfFolder(other, rig.folder).empty());
    // Nothing counts as registered: the same text registers now.
    if (c.text == "x") {
      rig.form.settings.data_set = 0;
      rig.form.settings.folder = rig.folder;
      rig.form.on_data_set_folder = nullptr;
      rig.dispatcher.state().SaveVariant = 0;
      rig.Register(c.text);
      EXPECT_EQ(rig.Cards().size(), 1u);
    }
  }
}

// Without a usable folder the register-here menu takes over (it puts the
// clipboard back when nothing is chosen); a folder gone from its data set
// leaves the history, one whose look-up failed on a read error stays.
TEST(OneShotTest, WithoutAUsableFolderTheRegisterHereMenuTakesOver) {
  struct Case {
    const char* name;
    std::function<void(Rig&)> arrange;
    std::vector<std::string> history;
  };
  const Case cases[] = {
      {"no one-shot data set", [](Rig& r) { r.form.settings.data_set = -1; }, {}},
      {"a data set past the last", [](Rig& r) { r.form.settings.data_set = 10; }, {}},
      {"the folder's only cards in the bin",
       [](Rig& r) {
         store::CardRecord binned(r.current);
         binned.Clear();
         binned.folder = S("Web 記");
         binned.title = "binned";
         ASSERT_TRUE(binned.Write().ok());
         ASSERT_TRUE(binned.MarkDeleted().ok());
         r.form.settings.folder = binned.folder;
       },
       {"-0 Web 記"}},
      {"folder gone", [](Rig& r) { r.form.settings.folder = S("Web 記"); }, {"-0 Web 記"}},
      {"register-here menu", [](Rig& r) { r.dispatcher.state().SaveVariant = 1; }, {}},
      {"set unreadable",
       [](Rig& r) {
         r.form.settings.data_set = 1;
         r.env.FailOpen(r.dir.File("b/quilbo7.dat"));
       },
       {}},
      {"folder look-up fails", [](Rig& r) { r.env.SetFailRead(true); }, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Rig rig;
    c.arrange(rig);
    rig.Register(std::string("x"));
    rig.env.ClearFaults();
    EXPECT_EQ(rig.form.register_menus, 1);
    EXPECT_EQ(rig.form.history, c.history);
    EXPECT_EQ(rig.dispatcher.state().SaveVariant, 0);
    EXPECT_TRUE(rig.ui.questions().empty());
    EXPECT_TRUE(rig.Cards().empty());
    EXPECT_TRUE(rig.ui.sounds().empty());
  }
}

// The same text again within 15 s (of a 32-bit tick that may wrap) makes
// no second card but shows the first; after 15 s it makes another.
TEST(OneShotTest, ARepeatWithinFifteenSecondsReopensTheCard) {
  struct Case {
    uint32_t start;
    uint32_t later_ms;
    size_t cards;
  };
  // The copy itself takes a few milliseconds of the gap.
  for (const Case& c : {Case{1000, 14500, 1}, Case{1000, 15000, 2},
                        Case{0xFFFFFFFFu - 4000, 10000, 1}, Case{0xFFFFFFFFu - 4000, 15000, 2}}) {
    SCOPED_TRACE(std::to_string(c.start) + " + " + std::to_string(c.later_ms));
    Rig rig;
    rig.clock.SetTick(c.start);
    rig.Press("same text");
    ASSERT_EQ(rig.Cards().size(), 1u);
    rig.clock.AdvanceMs(c.later_ms);
    rig.Press("same text");
    EXPECT_EQ(rig.Cards().size(), c.cards);
    EXPECT_EQ(rig.form.opened.size(), c.cards == 1 ? 1u : 0u);
    if (c.cards == 1) {
      EXPECT_EQ(rig.form.opened[0], rig.Cards()[0].id);
    }
    EXPECT_EQ(rig.clipboard.Text(), kMine);
    EXPECT_EQ(rig.ui.sounds().size(), c.cards);
  }
}

// An empty capture shows the card just registered: only within 20 s, when
// it went into the data set open now and is still there.
TEST(OneShotTest, TheLastCardIsShownOnlyWhenRecentHereAndThere) {
  struct Case {
    const char* name;
    uint32_t later_ms;
    std::function<void(Rig&)> between;
    bool opened;
  };
  const Case cases[] = {
      {"recent", 19999, [](Rig&) {}, true},
      {"too late", 20000, [](Rig&) {}, false},
      {"deleted", 1000,
       [](Rig& r) {
         store::CardRecord card(r.current);
         bool found = false;
         ASSERT_TRUE(card.FindByKey("TEXT_ID", r.one_shot.LastCaptureCardId, false, &found).ok());
         ASSERT_TRUE(found);
         ASSERT_TRUE(card.MarkDeleted().ok());
       },
       false},
      {"another data set since", 1000,
       [](Rig& r) {
         r.form.settings.data_set = 1;
         r.Register(std::string("elsewhere"));
       },
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Rig rig;
    rig.Register(std::string("first"));
    const std::string first = rig.one_shot.LastCaptureCardId;
    c.between(rig);
    rig.clock.AdvanceMs(c.later_ms);
    rig.Register(std::string("\x1a"));
    EXPECT_EQ(rig.form.opened, c.opened ? std::vector<std::string>{first}
                                        : std::vector<std::string>{});
    EXPECT_EQ(rig.one_shot.LastCaptureCardId, first);
  }
}

TEST(OneShotTest, AnotherDataSetGetsTheCardButNotTheTree) {
  Rig rig;
  rig.Register(std::string("here"));
  const std::string here = rig.one_shot.LastCaptureCardId;
  rig.form.settings.data_set = 1;
  rig.Register(std::string("there"));
  EXPECT_EQ(rig.form.tree, std::vector<std::string>{here});
  EXPECT_EQ(rig.one_shot.LastCaptureCardId, here);
  EXPECT_EQ(rig.block.SaveState(), 1);
  EXPECT_EQ(rig.ui.sounds().size(), 2u);
  EXPECT_EQ(rig.Cards().size(), 1u);
  store::CardStore other(rig.env, rig.dir.File("b") + "/");
  ASSERT_TRUE(other.Open(true, "").ok());
  const std::vector<store::CardRecord> there = store::CardsOfFolder(other, rig.folder);
  ASSERT_EQ(there.size(), 1u);
  EXPECT_EQ(there[0].text, "\r\nthere");
  // The repeat guard counts that registration too.
  rig.clock.AdvanceMs(1000);
  rig.Register(std::string("there"));
  EXPECT_EQ(store::CardsOfFolder(other, rig.folder).size(), 1u);
}

}  // namespace
}  // namespace quill

namespace quill {
namespace {

// The HTML save key over a browser's copy: an HTML card of the text, the
// cleaned page and its image; the card is locked and out of the popup.
TEST(OneShotTest, TheHtmlSaveKeyMakesAnHtmlCard) {
  const std::string page = "https://news.example/a/story.html";
  const auto browser_copy = [&](const std::string& text) {
    return ClipboardSnapshot{{{FakeClipboard::kTextMime, text},
                              {"text/html", "<p onclick=x>見出し<img src=\"/img/p.png\">"
                                            "<script>bad()</script></p>"},
                              {"text/x-moz-url-priv", page}}};
  };
  const std::string cleaned = S("<P >見出し<IMG SRC=\"p.png\"></p>");
  {
    Rig rig;
    rig.form.settings.save_url = true;
    rig.form.fetcher.Serve("https://news.example/img/p.png", "PNG");
    rig.state().HtmlCapture = 1;
    rig.Register(browser_copy("見出し"));
    const std::vector<store::CardRecord> cards = rig.Cards();
    ASSERT_EQ(cards.size(), 1u);
    EXPECT_EQ(cards[0].text, S("★入手先URL=") + page + "\r\n\r\n" + S("見出し") + "\r\n" +
                                 std::string(kHtmlMarkerLine) + "\r\n\r\n" +
                                 "<HTML ><body>\n" + cleaned +
                                 "\n</body>\n</html>\r\n<QuillboxHtml Data>\r\n" +
                                 ImageBlock("p.png", "PNG"));
    EXPECT_EQ(cards[0].kind, 'H');
    EXPECT_TRUE(cards[0].locked);
    EXPECT_EQ(cards[0].one_shot_paste, 0);
    EXPECT_EQ(cards[0].title, S("見出し"));
    EXPECT_EQ(rig.form.fetcher.requests().at(0).referer, page);
  }
  // The plain save key over the same copy: the text with its address.
  {
    Rig rig;
    rig.form.settings.save_url = true;
    rig.state().HtmlCapture = 0;
    rig.Register(browser_copy("見出し"));
    const std::vector<store::CardRecord> cards = rig.Cards();
    ASSERT_EQ(cards.size(), 1u);
    EXPECT_EQ(cards[0].text, S("★入手先URL=") + page + "\r\n\r\n" + S("見出し"));
    EXPECT_EQ(cards[0].kind, 0);
    EXPECT_TRUE(rig.form.fetcher.requests().empty());
  }
  // A selection that fits registers whatever its images would add.
  {
    Rig rig;
    rig.form.fetcher.Serve("https://news.example/img/p.png", std::string(500000, 'i'));
    rig.state().HtmlCapture = 1;
    rig.Register(browser_copy(std::string(999000, 'a')));
    const std::vector<store::CardRecord> cards = rig.Cards();
    ASSERT_EQ(cards.size(), 1u);
    EXPECT_EQ(cards[0].text.find("<IMGFILE="), std::string::npos);
    EXPECT_TRUE(cards[0].text.ends_with("<QuillboxHtml Data>\r\n"));
    EXPECT_EQ(rig.form.fetcher.requests().size(), 1u);
  }
}

// The program's log lines while it lives.
class LogLines {
 public:
  LogLines() : previous_(SetLogSink([this](std::string_view line) { lines.emplace_back(line); })) {}
  ~LogLines() { SetLogSink(std::move(previous_)); }
  LogLines(const LogLines&) = delete;
  LogLines& operator=(const LogLines&) = delete;
  // What each line names first (the wait), once each.
  std::set<std::string> Waits() const {
    std::set<std::string> waits;
    for (const std::string& line : lines) waits.insert(line.substr(0, line.find(':')));
    return waits;
  }
  std::vector<std::string> lines;

 private:
  LogSink previous_;
};

// Whatever the desktop does, a capture ends within the time-outs of the
// waits it runs into, and each wait that ran out is named in the log.
TEST(OneShotTest, EveryWaitOfACaptureEndsInTimeAndIsNamed) {
  static constexpr uint8_t kCtrl = 0x11;
  struct Case {
    const char* name;
    std::function<void(Rig&)> arrange;
    std::set<std::string> waits;  // named in the log
    uint32_t at_most_ms;          // the capture on the clock
    bool card;
  };
  const Case cases[] = {
      // The copy wait (3,000 ms) and the no-copy flash (500 ms).
      {"the clipboard never changes", [](Rig& r) { r.app->deaf = true; }, {"copy wait"}, 3600,
       false},
      // No keys for a window that stays behind: three activations of
      // 200 ms each (the command's, the copy's, the one after the
      // failure) and the flash.
      {"the editor never comes forward",
       [](Rig& r) {
         r.windows.SetActiveWindow(r.main);
         r.windows.Find(kApp)->refuses_front = true;
       },
       {"activation wait"}, 1200, false},
      // The keys go out after 500 ms all the same.
      {"the user holds Ctrl", [](Rig& r) { r.windows.keys_down.insert(kCtrl); },
       {"key-release wait"}, 600, true},
      // A handler run in the copy wait's pump holds it for 4 s: the wait
      // ends as soon as it returns, with no second round.
      {"a handler holds the event loop",
       [](Rig& r) {
         r.app->deaf = true;
         r.windows.on_pump = [&r, base = r.windows.on_pump, once = true](uint32_t ms) mutable {
           base(ms);
           if (once && r.state().CopyInProgress) {
             once = false;
             r.clock.AdvanceMs(4000);
           }
         };
       },
       {"event loop", "copy wait"}, 4600, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Rig rig;
    c.arrange(rig);
    LogLines log;
    const uint32_t start = rig.clock.TickCount();
    rig.Press(S("選択した文"));
    EXPECT_LE(rig.clock.TickCount() - start, c.at_most_ms);
    EXPECT_EQ(log.Waits(), c.waits) << testing::PrintToString(log.lines);
    EXPECT_EQ(rig.Cards().size(), c.card ? 1u : 0u);
    EXPECT_FALSE(rig.state().CaptureBusy);
    EXPECT_EQ(rig.clipboard.Text(), kMine);
  }
}

// The restore of an earlier paste, dispatched by a pump of the capture
// after the editor has copied, would put the user's clipboard over the
// copy and empty what the capture keeps: it waits for no fetch and leaves
// the capture alone, which puts the user's clipboard back itself.
TEST(OneShotTest, ARestoreDispatchedInsideACaptureLeavesItsCopyAlone) {
  Rig rig;
  rig.view.settings.back_clipboard = true;
  rig.clipboard.SetText(S("貼ったカード"));
  rig.state().CommandTarget = kApp;
  rig.target.PasteToTarget();
  rig.scheduler.Clear();
  rig.windows.on_pump = [&rig, base = rig.windows.on_pump](uint32_t ms) {
    base(ms);
    if (rig.state().ClipboardChanged && rig.state().CopyInProgress) {
      rig.dispatcher.WndProc(kCommandMessage, static_cast<uint32_t>(CommandCode::kRestoreClipboard),
                             0);
    }
  };
  LogLines log;
  const uint32_t start = rig.clock.TickCount();
  rig.Press(S("選択した文"));
  EXPECT_LT(rig.clock.TickCount() - start, 1000u);
  const std::vector<store::CardRecord> cards = rig.Cards();
  ASSERT_EQ(cards.size(), 1u);
  EXPECT_EQ(cards[0].text, S("\r\n選択した文"));
  EXPECT_EQ(rig.clipboard.Text(), S("貼ったカード"));
  EXPECT_TRUE(log.lines.empty()) << testing::PrintToString(log.lines);
}

}  // namespace
}  // namespace quill
