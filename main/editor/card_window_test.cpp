// The card windows' logic over a real store in a temporary folder, with a
// scripted view for each window.
#include <gtest/gtest.h>

#include "platform/messages.h"

#include <filesystem>
#include <map>

#include "clip/html_capture.h"
#include "clip/html_marker.h"
#include "controls/grid_model.h"
#include "main/editor/card_window_list.h"
#include "platform/headless/fake_window_system.h"
#include "platform/headless/fault_env.h"
#include "platform/headless/fake_ui.h"
#include "platform/headless/temp_dir.h"
#include "platform/protocol/shared_hook_block.h"
#include "platform/text_codec.h"
#include "platform/ui_messages.h"
#include "store/card_test_support.h"

namespace quill {
namespace {

std::string S(const char* utf8) { return Utf8ToCp932(utf8); }

class RecordingBus final : public MessageBus {
 public:
  bool PostMessage(WindowHandle w, uint32_t m, uint32_t wp, int32_t lp) override {
    posted.push_back({w, m, wp, lp});
    return true;
  }
  std::vector<Message> posted;
};

// A window whose widgets are strings: the body's selection is a byte range.
class FakeFrame final : public CardWindowFrame, public CardWindowView, public CardWindowOwner {
 public:
  FakeFrame(WindowHandle handle, MessageBus& bus, WindowSystem& windows, Ui& ui,
            std::vector<std::string>* clipboard)
      : handle_(handle), clipboard_(clipboard), logic(*this, grid, *this, bus, 1, windows, ui) {}

  // CardWindowFrame
  CardWindow& Logic() override { return logic; }
  std::string Caption() override { return caption; }
  void Place(int, int, int, int) override {}
  void Show() override { logic.FormShow(); }
  void Reshow() override { ++reshown; }

  // CardWindowView
  WindowHandle Handle() override { return handle_; }
  std::string TitleText() override { return title; }
  void SetTitleText(const std::string& t) override { title = t; }
  void SetCaption(const std::string& c) override { caption = c; }
  void SetTitleStyle(bool, bool) override {}
  std::string BodyText() override { return body; }
  void SetBodyText(const std::string& t) override { body = t; }
  void SetBodyFont(const CardFont&, int32_t) override {}
  size_t SelectionStart() override { return sel_start; }
  std::string SelectedText() override { return body.substr(sel_start, sel_length); }
  void SelectBody(size_t start, size_t length) override {
    sel_start = start;
    sel_length = length;
  }
  void ReplaceSelection(const std::string& t) override {
    body.replace(sel_start, sel_length, t);
    sel_start += t.size();
    sel_length = 0;
    logic.TextChange();
  }
  void SetReadOnly(bool) override {}
  void ShowBody(int mode) override { shown_mode = mode; }
  void ShowHtmlView(const std::string& folder) override { html_views.push_back(folder); }
  void ShowViewOnlyButtons() override {}
  void SetStayTopCaption(const std::string& c) override { stay_top = c; }
  void SetKindGlyph(int) override {}
  int PickKind(int) override { return picked_kind; }

  // CardWindowOwner
  void SetClipboardText(const std::string& t) override { clipboard_->push_back(t); }
  std::string GetClipboardText() override {
    return clipboard_->empty() ? std::string() : clipboard_->back();
  }
  void OpenLinkAt(const std::string&, size_t) override {}
  void OpenCellLink(const std::string& cell) override { links.push_back(cell); }
  Status MakeHtmlViewFolder(std::unique_ptr<HtmlViewFolder>* folder) override {
    return HtmlViewFolder::Create(*env, tmp, folder);
  }

  // The user edits the title or the body.
  void TypeTitle(const std::string& t) {
    title = t;
    logic.TitleChange();
  }
  void TypeBody(const std::string& t) {
    body = t;
    logic.TextChange();
  }

  WindowHandle handle_;
  std::vector<std::string>* clipboard_;
  GridModel grid;
  CardWindow logic;
  std::string title, caption, body, stay_top;
  size_t sel_start = 0, sel_length = 0;
  int picked_kind = -1;
  int reshown = 0;
  std::vector<std::string> links;
  int shown_mode = -1;
  std::vector<std::string> html_views;  // the folders shown, in order
  FileEnv* env = nullptr;
  std::string tmp;  // where view folders go
};

class CardWindowTest : public testing::Test, public CardWindowHost {
 protected:
  CardWindowTest() {
    EXPECT_TRUE(cards_.Open(false, dir_.Path()).ok());
  }

  // CardWindowHost
  store::CardStore& CurrentStore() override { return *current_; }
  int CurrentDataSet() override { return current_ == &cards_ ? 0 : 1; }
  CardWindowSettings WindowSettings() override { return {}; }
  std::unique_ptr<CardWindowFrame> CreateCardWindow() override {
    auto f = std::make_unique<FakeFrame>(0x100 + next_handle_++, bus_, windows_, ui_, &clipboard_);
    f->env = &env_;
    f->tmp = dir_.File("tmp");
    last_ = f.get();
    return f;
  }
  PixelSize ScreenSize() override { return {800, 600}; }
  std::string EditorCardId() override { return editor_id_; }
  void SetEditorEnabled(bool on) override { log_.push_back(on ? "editor on" : "editor off"); }
  void ReloadEditorCard() override { log_.push_back("editor reload"); }
  void RefreshCardNode(const store::CardRecord& c) override { log_.push_back("node " + c.id); }
  void SetWindowButtonEnabled(bool on) override { window_button_ = on; }
  ScreenPoint WindowButtonOrigin() override { return {100, 200}; }
  void SetClipboardText(const std::string& t) override { clipboard_.push_back(t); }

  std::string AddCard(const std::string& title, const std::string& text,
                      store::CardStore* in = nullptr) {
    return store::WriteTestCard(in != nullptr ? *in : cards_, clock_, "F", title, text);
  }
  store::CardRecord Read(const std::string& id, store::CardStore* in = nullptr) {
    store::CardRecord r(in != nullptr ? *in : cards_);
    bool found = false;
    EXPECT_TRUE(r.FindByKey("TEXT_ID", id, true, &found).ok());
    EXPECT_TRUE(found);
    return r;
  }
  FakeFrame& Open(const std::string& id) {
    list_.OpenCardWindow(id);
    return *last_;
  }
  // A window of a new locked card.
  FakeFrame& OpenLocked(const std::string& text) {
    store::CardRecord locked(cards_);
    locked.Clear();
    locked.folder = "F";
    locked.title = "locked";
    locked.text = text;
    locked.locked = true;
    EXPECT_TRUE(locked.Write().ok());
    return Open(locked.id);
  }
  // Runs the main window's side of every posted command 103.
  void TakeResults() {
    for (const Message& m : bus_.posted) {
      if (m.wparam == static_cast<uint32_t>(CommandCode::kTakeCardWindow)) {
        list_.StoreCardWindowResult();
      }
    }
    bus_.posted.clear();
  }

  TempDir dir_;
  FaultEnv env_;
  FakeClock clock_;
  store::CardStore cards_{env_, dir_.Path() + "/"};
  store::CardStore* current_ = &cards_;
  RecordingBus bus_;
  FakeWindowSystem windows_;
  FakeUi ui_;
  CardWindowList list_{*this, ui_, env_};
  FakeFrame* last_ = nullptr;
  int next_handle_ = 0;
  std::string editor_id_;
  bool window_button_ = false;
  std::vector<std::string> clipboard_, log_;
};

TEST_F(CardWindowTest, AFullDiskKeepsTheWindowAndItsEditsUntilSpaceReturns) {
  const std::string id = AddCard("t", "old");
  FakeFrame& w = Open(id);
  w.TypeBody("new text");
  env_.SetDiskFull(true);
  w.logic.FormClose();
  TakeResults();
  ASSERT_EQ(ui_.questions().size(), 1u);
  EXPECT_EQ(ui_.questions()[0].text, S("空き容量が少なくて保存を中止しました"));
  EXPECT_EQ(list_.CardWindowCount(), 1);
  EXPECT_EQ(w.logic.Result, kCardWindowRunning);
  EXPECT_EQ(w.body, "new text");
  EXPECT_EQ(Read(id).text, "old");

  env_.SetDiskFull(false);
  w.logic.FormClose();
  TakeResults();
  EXPECT_EQ(list_.CardWindowCount(), 0);
  EXPECT_FALSE(window_button_);
  EXPECT_EQ(Read(id).text, "new text");
}

// A one-column table stored from a window and opened again keeps its
// empty rows in place and a cell that is "ﾟ".
TEST_F(CardWindowTest, AOneColumnTableKeepsItsEmptyRows) {
  const std::string id = store::WriteKindCard(cards_, "F", "column", "a\r\nb\r\n", 'C');
  FakeFrame& w = Open(id);
  w.grid.SetCurrent(1, 2);
  w.grid.SelectMenu(kCmdInsertRow);
  w.grid.AddRow();
  w.grid.SetEditText(1, 4, "\xDF");
  w.logic.FormClose();
  TakeResults();
  EXPECT_EQ(Read(id).text, "a\r\n\xDF\r\nb\r\n\xDF\t\r\n");
  FakeFrame& again = Open(id);
  ASSERT_EQ(again.grid.RowCount(), 5);
  EXPECT_EQ(again.grid.Cell(1, 1), "a");
  EXPECT_EQ(again.grid.Cell(1, 2), "");
  EXPECT_EQ(again.grid.Cell(1, 3), "b");
  EXPECT_EQ(again.grid.Cell(1, 4), "\xDF");
}

// A card whose text read meets the store's fatal status ends the program
// with its message; no window opens.
TEST_F(CardWindowTest, TheStoresFatalStatusEndsTheProgram) {
  const std::string id = AddCard("t", "text");
  store::DamageCardId(env_, cards_.data_path(), id);
  list_.OpenCardWindow(id);
  EXPECT_EQ(list_.CardWindowCount(), 0);
  ASSERT_EQ(ui_.questions().size(), 1u);
  EXPECT_EQ(ui_.questions()[0].text, MessageText(MessageId::kFatalRead));
  EXPECT_EQ(ui_.exit_codes(), std::vector<int>{kFatalExitCode});
}

TEST_F(CardWindowTest, ATextPastTheCapacityIsRefusedAndTheWindowStays) {
  const std::string id = AddCard("t", "old");
  FakeFrame& w = Open(id);
  w.TypeBody(std::string(store::kCardTextCapacity, 'x'));
  w.logic.SaveClick();
  TakeResults();
  ASSERT_EQ(ui_.questions().size(), 1u);
  EXPECT_EQ(ui_.questions()[0].text, S("テキストが長すぎるので保存できません。"));
  EXPECT_TRUE(w.logic.Modified());
  EXPECT_EQ(list_.CardWindowCount(), 1);
}

TEST_F(CardWindowTest, APastePastTheBodyLimitIsRefusedWhole) {
  FakeFrame& w = Open(AddCard("t", std::string(200000, 'b')));
  w.SelectBody(0, 0);
  clipboard_.push_back(std::string(900000, 'p'));
  w.logic.PasteClick();
  EXPECT_EQ(ui_.beeps(), 1);
  EXPECT_EQ(w.body, std::string(200000, 'b'));
  EXPECT_FALSE(w.logic.Modified());

  // In place of a selection large enough it fits, up to the last byte.
  w.SelectBody(0, 100000);
  w.logic.PasteClick();
  EXPECT_EQ(ui_.beeps(), 1);
  EXPECT_EQ(w.body.size(), kBodyLimitBytes);
  EXPECT_TRUE(w.logic.Modified());
  w.SelectBody(0, 0);
  EXPECT_FALSE(w.logic.TakesInsertion(1));
  EXPECT_EQ(ui_.beeps(), 2);

  // A locked card takes nothing.
  FakeFrame& l = OpenLocked("keep");
  clipboard_.push_back("x");
  l.logic.PasteClick();
  EXPECT_EQ(l.body, "keep");
}

TEST_F(CardWindowTest, AWindowOfAnotherDataSetStoresThereAndLeavesTheOpenOneAlone) {
  TempDir other_dir;
  store::CardStore other(env_, dir_.Path() + "/");
  ASSERT_TRUE(other.Open(false, other_dir.Path()).ok());
  const std::string id = AddCard("t", "old", &other);
  current_ = &other;
  editor_id_ = id;
  FakeFrame& w = Open(id);
  ASSERT_TRUE(other.Close().ok());

  // The main window switches to its own set; the window stays.
  current_ = &cards_;
  ASSERT_TRUE(cards_.Close().ok());
  const auto dat = std::filesystem::path(dir_.Path()) / "quilbo7.dat";
  const auto before = std::filesystem::last_write_time(dat);
  const auto size = std::filesystem::file_size(dat);
  w.TypeTitle("renamed");
  w.logic.SaveClick();
  TakeResults();
  EXPECT_TRUE(ui_.questions().empty());
  EXPECT_EQ(std::filesystem::last_write_time(dat), before);
  EXPECT_EQ(std::filesystem::file_size(dat), size);
  EXPECT_TRUE(log_.empty());  // neither tree nor editor of the open set
  ASSERT_TRUE(other.Open(true, other_dir.Path()).ok());
  EXPECT_EQ(Read(id, &other).title, "renamed");
  ASSERT_TRUE(other.Close().ok());

  // Its folder gone: the message, the window open with its edits.
  std::filesystem::remove_all(other_dir.Path());
  w.TypeTitle("again");
  w.logic.FormClose();
  TakeResults();
  ASSERT_EQ(ui_.questions().size(), 1u);
  EXPECT_EQ(list_.CardWindowCount(), 1);
  EXPECT_EQ(w.title, "again");
}

TEST_F(CardWindowTest, TheWindowList) {
  list_.WindowClick();
  EXPECT_EQ(ui_.beeps(), 1);

  FakeFrame& first = Open(AddCard(S("一つ目"), "a"));
  windows_.log().clear();
  list_.WindowClick();
  EXPECT_TRUE(ui_.menus().empty());
  EXPECT_EQ(windows_.log(), (std::vector<std::string>{"above 00000100", "foreground 00000100"}));

  Open(AddCard(S("二つ目"), "b"));
  ui_.Choose(0);
  windows_.log().clear();
  list_.WindowClick();
  ASSERT_EQ(ui_.menus().size(), 1u);
  const auto& items = ui_.menus()[0].items;
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].caption, S("&0:一つ目"));
  EXPECT_EQ(items[1].caption, S("&1:二つ目"));
  EXPECT_EQ(ui_.menus()[0].at, (ScreenPoint{120, 220}));
  EXPECT_EQ(windows_.log().back(), "foreground 00000100");
  EXPECT_EQ(first.stay_top, S("裏にも行く"));

  // Command 104 names the point; it is used once.
  list_.WinMenuX = 5;
  list_.WinMenuY = 6;
  list_.WindowClick();
  list_.WindowClick();
  EXPECT_EQ(ui_.menus()[1].at, (ScreenPoint{5, 6}));
  EXPECT_EQ(ui_.menus()[2].at, (ScreenPoint{120, 220}));
}

TEST_F(CardWindowTest, DropsAndEditsOfTheWindow) {
  // "Save" without a change does nothing: the window stays.
  FakeFrame& w = Open(AddCard("t", "abc"));
  w.logic.SaveClick();
  ASSERT_TRUE(bus_.posted.empty());
  EXPECT_EQ(w.logic.Result, kCardWindowRunning);

  // Text: the link goes in at the kept caret, clamped to the text.
  w.sel_start = 99;
  w.logic.Deactivated();
  const std::string long_path = "/" + std::string(300, 'p') + "/f.txt";
  w.logic.DropFiles({long_path, "/second"});
  EXPECT_EQ(w.body, "abc<file=" + long_path + ">");
  EXPECT_EQ(w.sel_start, 3u);
  EXPECT_EQ(w.logic.Changed, 1);

  // Table: the cell takes the link and closing stores it; a path with a
  // TAB would split the cell and is refused.
  store::CardRecord table(cards_);
  table.Clear();
  table.folder = "F";
  table.title = "table";
  table.kind = 'C';
  table.text = "a\tb\r\n";
  ASSERT_TRUE(table.Write().ok());
  FakeFrame& t = Open(table.id);
  t.grid.SetCurrent(1, 1);
  t.logic.DropFiles({"/a\tb"});
  EXPECT_EQ(ui_.beeps(), 1);
  EXPECT_FALSE(t.logic.Modified());
  t.logic.DropFiles({"/x y"});
  t.logic.FormClose();
  TakeResults();
  const store::CardRecord stored = Read(table.id);
  EXPECT_EQ(stored.text, "<file=/x y>\tb\r\n");
  EXPECT_TRUE(stored.two_column);

  // Cut in a locked card only copies; タイトルセット cuts whole characters.
  FakeFrame& l = OpenLocked("keep");
  l.SelectBody(0, 2);
  l.logic.CutClick();
  EXPECT_EQ(l.body, "keep");
  EXPECT_EQ(clipboard_.back(), "ke");
  EXPECT_EQ(TitleFromBody("", "\r\n  " + S("あいうえおかきくけこさしすせそたちつてとな") + "\r\nx"),
            S("あいうえおかきくけこさしすせそたちつてと"));
  EXPECT_EQ(TitleFromBody("", "x" + S("あいうえおかきくけこさしすせそたちつてと")),
            "x" + S("あいうえおかきくけこさしすせそたちつて"));
  EXPECT_EQ(FitTitle("x" + std::string(S("あ")) + std::string(48, 'y') + S("い")),
            "x" + S("あ") + std::string(47, 'y'));
}

TEST_F(CardWindowTest, ATableTooLargeForTheGridIsShownAndStoredAsItsText) {
  std::string text = std::string(4000, '\t') + "x\r\n";
  for (int k = 0; k < 4000; ++k) text += "y\r\n";
  store::CardRecord table(cards_);
  table.Clear();
  table.folder = "F";
  table.title = "table";
  table.kind = 'C';
  table.two_column = true;
  table.text = text;
  table.column_widths.fill(12);
  ASSERT_TRUE(table.Write().ok());
  FakeFrame& t = Open(table.id);
  ASSERT_EQ(ui_.questions().size(), 1u);
  EXPECT_EQ(ui_.questions()[0].text, MessageText(MessageId::kTableTooLargeForGrid));
  EXPECT_EQ(t.shown_mode, 0);
  EXPECT_EQ(t.body, text);
  t.TypeBody(text + "z\r\n");
  t.logic.FormClose();
  TakeResults();
  const store::CardRecord stored = Read(table.id);
  EXPECT_EQ(stored.text, text + "z\r\n");
  EXPECT_EQ(stored.kind, 'C');
  EXPECT_TRUE(stored.two_column);
  EXPECT_EQ(stored.column_widths[0], 12);
}

TEST_F(CardWindowTest, AnHtmlWindowShowsItsPageFromAFolderOfItsOwn) {
  std::filesystem::create_directories(dir_.File("tmp"));
  const auto html_card = [&](const std::string& page) {
    return store::WriteKindCard(cards_, "F", page,
                                "text\r\n" + std::string(kHtmlMarkerLine) + "\r\n\r\n" + page +
                                    "\r\n" + std::string(kHtmlDataLine) + "\r\n",
                                'H');
  };
  const auto page_of = [&](const std::string& folder) {
    std::string page;
    EXPECT_TRUE(env_.ReadFile(folder + "/index.html", &page).ok()) << folder;
    return page;
  };
  FakeFrame& a = Open(html_card("<p>A</p>"));
  FakeFrame& b = Open(html_card("<p>B</p>"));
  ASSERT_EQ(a.html_views.size(), 1u);
  ASSERT_EQ(b.html_views.size(), 1u);
  const std::string folder_a = a.html_views[0], folder_b = b.html_views[0];
  EXPECT_NE(folder_a, folder_b);
  EXPECT_EQ(std::filesystem::path(folder_a).parent_path(), dir_.File("tmp"));
  EXPECT_EQ(a.shown_mode, 'H');
  EXPECT_EQ(page_of(folder_a), "\r\n<p>A</p>\r\n");
  EXPECT_EQ(page_of(folder_b), "\r\n<p>B</p>\r\n");

  // A reload writes the page again; closing removes the folder.
  std::filesystem::remove(folder_a + "/index.html");
  a.logic.ShowHtmlPage();
  EXPECT_EQ(page_of(folder_a), "\r\n<p>A</p>\r\n");
  a.logic.FormClose();
  TakeResults();
  EXPECT_FALSE(std::filesystem::exists(folder_a));
  EXPECT_EQ(page_of(folder_b), "\r\n<p>B</p>\r\n");
  EXPECT_TRUE(ui_.questions().empty());

  // No folder: the message, and the text read-only in place of the page.
  env_.SetFailCreateDir(true);
  FakeFrame& c = Open(html_card("<p>C</p>"));
  ASSERT_EQ(ui_.questions().size(), 1u);
  EXPECT_TRUE(ui_.questions()[0].text.starts_with(S("作業フォルダ"))) << ui_.questions()[0].text;
  EXPECT_TRUE(c.html_views.empty());
  EXPECT_EQ(c.shown_mode, 0);
}

}  // namespace
}  // namespace quill
