#include "main/editor/card_editor.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "clip/html_marker.h"
#include "controls/grid_model.h"
#include "main/tree/folder_tree_model.h"
#include "main/tree/tree_loader.h"
#include "platform/headless/fake_ui.h"
#include "platform/headless/fault_env.h"
#include "platform/headless/temp_dir.h"
#include "platform/messages.h"
#include "platform/text_codec.h"
#include "platform/ui_messages.h"
#include "store/card_store.h"
#include "store/card_test_support.h"

namespace quill {
namespace {

using store::CardRecord;

std::string S(const char* utf8) { return Utf8ToCp932(utf8); }

// The card panel as plain fields.
class FakeEditorView : public CardEditorView {
 public:
  std::string TitleText() override { return title; }
  void SetTitleText(const std::string& t) override { title = t; }
  std::string BodyText() override { return body; }
  void SetBodyText(const std::string& t, bool as_edit) override {
    body = t;
    modified = as_edit;
  }
  bool BodyModified() override { return modified; }
  size_t BodyCaret() override { return caret; }
  void SetBodyCaret(size_t offset) override { caret = offset; }
  std::string SourceText() override { return source; }
  void SetSourceText(const std::string& s) override { source = s; }
  void SetSourceItems(const std::vector<std::string>& items) override { source_items = items; }
  bool Checked(EditorControl c) override { return checked[c]; }
  void SetChecked(EditorControl c, bool on) override { checked[c] = on; }
  void SetEnabled(EditorControl c, bool on) override { enabled[c] = on; }
  void SetTitleReadOnly(bool ro, bool red) override {
    title_read_only = ro;
    title_red = red;
  }
  void SetBodyReadOnly(bool ro) override { body_read_only = ro; }
  void SetTimeCaptions(const std::string& u, const std::string& c) override {
    update_caption = u;
    create_caption = c;
  }
  void SetBodyFont(const CardFont&) override {}
  void ShowTextBody() override { page_shown = false; }
  void ShowTableBody() override { page_shown = false; }
  void ShowHtmlBody() override { page_shown = true; }
  void SelectNode(TreeNode* node) override { view_selected = node; }
  void FocusBody() override {}
  void SaveSettingsGroup(int group) override { saved_groups.push_back(group); }
  bool MainWindowInFront() override { return in_front; }
  void OpenCardWindow(const std::string& id) override { card_windows.push_back(id); }

  // The user's edits.
  void Type(const std::string& t) {
    body = t;
    modified = true;
  }

  std::string title, body, source;
  bool modified = false;
  bool page_shown = false;
  size_t caret = 0;
  std::vector<std::string> source_items;
  std::map<EditorControl, bool> checked, enabled;
  bool title_read_only = false, title_red = false, body_read_only = false;
  std::string update_caption, create_caption;
  TreeNode* view_selected = nullptr;
  std::vector<int> saved_groups;
  bool in_front = true;
  std::vector<std::string> card_windows;  // ids opened in card windows
};

class FakeDeferred : public DeferredCommands {
 public:
  void ScheduleCommand(uint32_t delay_ms, uint16_t code, int32_t lparam) override {
    calls.push_back({delay_ms, code, lparam});
  }
  struct Call {
    uint32_t delay;
    uint16_t code;
    int32_t lparam;
  };
  std::vector<Call> calls;
};

class CardEditorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    env_.SetFreeBytes(uint64_t{1} << 40);
    ASSERT_TRUE(store_.Open(false, folder_).ok());
    form_.set_data_set_name("Data");
  }

  std::string AddFolderRow(const std::string& path) {
    CardRecord c(store_);
    c.Clear();
    c.folder = path;
    c.title = std::string(store::FolderMarkerTitle);
    EXPECT_TRUE(c.Write().ok());
    return c.id;
  }
  std::string AddCard(const std::string& folder, const std::string& title,
                      const std::string& text) {
    return store::WriteTestCard(store_, env_.fake_clock(),
                                folder, title, text, next_position_++);
  }
  void Load() { ASSERT_TRUE(LoadFolderTree(form_, nullptr).ok()); }

  TreeNode* Find(const std::string& caption) {
    for (TreeNode* n = form_.tree().root(); n != nullptr; n = n->GetNext()) {
      if (n->text() == caption) return n;
    }
    return nullptr;
  }
  // Selects a node as the user would, opening it at once.
  void Open(TreeNode* node) {
    editor_.TreeKeyDown(false);
    editor_.TreeChange(node);
  }
  // The stored card with that id.
  CardRecord Stored(std::string_view id) {
    CardRecord c(store_);
    bool found = false;
    EXPECT_TRUE(c.FindByKey("TEXT_ID", id, true, &found).ok());
    EXPECT_TRUE(found) << id;
    return c;
  }
  std::string DataFile() {
    std::ifstream in(folder_ + "quilbo7.dat", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  std::vector<std::string> Captions(const TreeNode* folder) {
    std::vector<std::string> out;
    for (int i = 0; i < folder->child_count(); ++i) out.push_back(folder->child(i)->text());
    return out;
  }
  int StoredCards() {
    CardRecord c(store_);
    std::vector<int64_t> rows;
    EXPECT_TRUE(c.FindCardsByFolder("", &rows).ok());
    int n = 0;
    for (int64_t r : rows) {
      c.SetRecNo(r);
      EXPECT_TRUE(c.Load(false).ok());
      if (!c.is_folder() && c.deleted != 'D') ++n;
    }
    return n;
  }
  void LowSpace() { env_.SetFreeBytes(1000); }

  TempDir dir_;
  std::string folder_ = dir_.Path() + "/";
  FaultEnv env_;
  store::CardStore store_{env_, folder_};
  Settings settings_;
  FakeUi dialog_;
  FolderTreeModel form_{store_, settings_, dialog_};
  CardRecord edit_card_{store_};
  FakeEditorView view_;
  FakeDeferred deferred_;
  GridModel grid_;
  CardEditor editor_{form_, edit_card_, view_, grid_, deferred_};
  uint32_t next_position_ = 0;
};

TEST_F(CardEditorTest, SavingWithoutAChangeWritesNothingAndEachSingleChangeWrites) {
  struct Change {
    const char* what;
    std::function<void()> apply;
  };
  const std::vector<Change> changes = {
      {"lock", [this] { view_.checked[EditorControl::kLockCheckBox] = true; }},
      {"auto title", [this] { view_.checked[EditorControl::kAutoTitle] = true; }},
      {"icon", [this] { editor_.EditIcon = 7; }},
      {"font", [this] { editor_.FontChanged = 1; }},
      {"body", [this] { view_.Type("other\r\ntext"); }},
      {"source", [this] { view_.source = "src"; }},
  };
  AddFolderRow("A");
  for (const Change& change : changes) {
    SCOPED_TRACE(change.what);
    const std::string id = AddCard("A", change.what, std::string("text of ") + change.what);
    Load();
    Open(Find(change.what));
    ASSERT_EQ(view_.title, change.what);
    const uint32_t utime = Stored(id).utime;
    const std::string bytes = DataFile();
    env_.fake_clock().AdvanceMs(5000);

    EXPECT_FALSE(editor_.SaveCurrentCard(true));
    EXPECT_EQ(DataFile(), bytes);
    EXPECT_EQ(Stored(id).utime, utime);

    change.apply();
    EXPECT_TRUE(editor_.SaveCurrentCard(true));
    EXPECT_GT(Stored(id).utime, utime);
  }
  EXPECT_EQ(Stored(form_.tree().editor_node()->info().TextId()).source, "src");
}

TEST_F(CardEditorTest, ATableTooLargeForTheGridOpensAsItsTextAndStaysATable) {
  // 16 KB of table text that would make a grid of 4,001 x 4,001 cells.
  std::string text = std::string(4000, '\t') + "x\r\n";
  for (int k = 0; k < 4000; ++k) text += "y\r\n";
  AddFolderRow("A");
  CardRecord big(store_);
  big.Clear();
  big.folder = "A";
  big.title = "big";
  big.text = text;
  big.kind = 'C';
  big.column_widths.fill(12);
  ASSERT_TRUE(big.Write().ok());
  Load();
  Open(Find("big"));
  ASSERT_FALSE(dialog_.questions().empty());
  EXPECT_EQ(dialog_.questions().back().text, MessageText(MessageId::kTableTooLargeForGrid));
  EXPECT_EQ(view_.body, text);
  EXPECT_EQ(editor_.BodyMode, 0);
  EXPECT_FALSE(view_.checked[EditorControl::kCsvHtmlCK]);
  EXPECT_LE(int64_t{grid_.RowCount()} * grid_.ColCount(), 4);  // no grid was built

  // Looking at it writes nothing; the box cannot make it a grid either.
  const std::string bytes = DataFile();
  EXPECT_FALSE(editor_.SaveCurrentCard(true));
  view_.checked[EditorControl::kCsvHtmlCK] = true;
  editor_.CsvHtmlCKClick();
  EXPECT_FALSE(view_.checked[EditorControl::kCsvHtmlCK]);
  EXPECT_EQ(editor_.BodyMode, 0);
  EXPECT_FALSE(editor_.SaveCurrentCard(true));
  EXPECT_EQ(DataFile(), bytes);

  // Its text edited and saved, it stays a table card with its widths.
  view_.Type(text + "z\r\n");
  EXPECT_TRUE(editor_.SaveCurrentCard(true));
  const CardRecord stored = Stored(big.id);
  EXPECT_EQ(stored.text, text + "z\r\n");
  EXPECT_EQ(stored.kind, 'C');
  EXPECT_EQ(stored.column_widths[0], 12);
}

// With HtmlCheckMode a page card is offered as its text: yes opens it as
// text, stored as a text card on leaving; no, an unchecked box or a locked
// card shows the page. Saving an edited page asks nothing more.
TEST_F(CardEditorTest, HtmlCheckModeOffersAPageAsItsText) {
  struct Case {
    const char* what;
    bool check_mode, locked;
    int answer;
    bool as_text;
  };
  const Case cases[] = {
      {"box unchecked", false, false, 0, false},
      {"no", true, false, kResultNo, false},
      {"yes", true, false, kResultYes, true},
      {"locked", true, true, 0, false},
  };
  AddFolderRow("A");
  const std::string text = S("見出し\r\n") + std::string(kHtmlMarkerLine) + "\r\n<p>x</p>";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string after = std::string("after ") + c.what;
    CardRecord page(store_);
    page.Clear();
    page.folder = "A";
    page.title = c.what;
    page.text = text;
    page.kind = 'H';
    page.locked = c.locked;
    ASSERT_TRUE(page.Write().ok());
    AddCard("A", after, "o");
    Load();
    view_.checked[EditorControl::kHtmlCheckMode] = c.check_mode;
    const bool asked = c.check_mode && !c.locked;
    if (asked) dialog_.Answer(c.answer);
    const size_t questions = dialog_.questions().size();
    env_.fake_clock().AdvanceMs(5000);

    Open(Find(c.what));
    ASSERT_EQ(dialog_.questions().size(), questions + (asked ? 1 : 0));
    if (asked) {
      const FakeUi::Question& q = dialog_.questions().back();
      EXPECT_EQ(q.text, S("ＨＴＭＬデータですがＴＥＸＴデータに変更しますか？"));
      EXPECT_EQ(q.caption, S("注意"));
      EXPECT_EQ(q.mode, kMessageYesNo);
    }
    EXPECT_EQ(view_.body, text);
    EXPECT_EQ(view_.page_shown, !c.as_text);
    EXPECT_EQ(editor_.BodyMode, c.as_text ? 0 : 'H');
    EXPECT_EQ(view_.checked[EditorControl::kCsvHtmlCK], !c.as_text);
    EXPECT_EQ(view_.enabled[EditorControl::kSaveButton], c.as_text);
    EXPECT_EQ(view_.body_read_only, !c.as_text);

    if (!c.as_text && !c.locked) view_.title = "renamed";
    Open(Find(after));
    EXPECT_EQ(dialog_.questions().size(), questions + (asked ? 1 : 0));
    const CardRecord stored = Stored(page.id);
    EXPECT_EQ(stored.kind, c.as_text ? 0 : 'H');
    EXPECT_EQ(stored.text, text);
    EXPECT_EQ(stored.utime != page.utime, !c.locked);
  }
}

TEST_F(CardEditorTest, PlaceholderTitlesShowAsAnEmptyBoxAndStayWhenUntouched) {
  AddFolderRow("A");
  for (const char* title : {"新規カード", "null"}) {
    SCOPED_TRACE(title);
    const std::string id = AddCard("A", S(title), "");
    Load();
    Open(Find(S(title)));
    EXPECT_EQ(view_.title, "");
    EXPECT_EQ(view_.update_caption.substr(0, 5), S("更新="));
    const std::string bytes = DataFile();
    EXPECT_FALSE(editor_.SaveCurrentCard(false));
    EXPECT_EQ(DataFile(), bytes);
    EXPECT_EQ(Stored(id).title, S(title));
  }
}

TEST_F(CardEditorTest, NewCardsGoWhereAddItiSaysAndEmptyOnesAreNeverWritten) {
  AddFolderRow("A");
  AddCard("A", "first", "1");
  AddCard("A", "second", "2");
  for (int add_iti : {1, 0}) {
    SCOPED_TRACE(add_iti);
    settings_.AddIti = add_iti;
    Load();
    TreeNode* folder = Find("A");
    Open(folder);
    EXPECT_EQ(view_.update_caption, S("新規データ"));
    const int cards = StoredCards();
    // Empty title and text: nothing is written.
    view_.checked[EditorControl::kLockCheckBox] = true;
    EXPECT_FALSE(editor_.SaveCurrentCard(true));
    EXPECT_EQ(StoredCards(), cards);
    view_.checked[EditorControl::kLockCheckBox] = false;

    view_.title = "new";
    view_.Type("typed");
    ASSERT_TRUE(editor_.SaveCurrentCard(true));
    EXPECT_EQ(StoredCards(), cards + 1);
    EXPECT_EQ(form_.card_count, cards + 1);
    const int32_t order = static_cast<int32_t>(edit_card_.position);
    if (add_iti == 1) {
      EXPECT_EQ(Captions(folder).back(), "new");
      EXPECT_GT(order, 0);
    } else {
      EXPECT_EQ(Captions(folder).front(), "new");
      EXPECT_LT(order, 0);
    }
    EXPECT_EQ(form_.tree().editor_node(), Find("new"));
    EXPECT_EQ(form_.tree().selected_node(), Find("new"));
    // The order survives a reload.
    Load();
    EXPECT_EQ(add_iti == 1 ? Captions(Find("A")).back() : Captions(Find("A")).front(), "new");
    // For the next round.
    edit_card_.Clear();
    Open(Find("new"));
    view_.checked[EditorControl::kLockCheckBox] = false;
    dialog_.Answer(kResultYes);
    editor_.DelClick();
  }
}

TEST_F(CardEditorTest, ACardWithoutAFolderGoesToTheNewFolder) {
  Load();
  Open(form_.tree().root());
  EXPECT_EQ(edit_card_.folder, "");
  view_.Type("loose");
  ASSERT_TRUE(editor_.SaveCurrentCard(true));
  EXPECT_EQ(edit_card_.folder, S("新規フォルダ"));
  TreeNode* folder = Find(S("新規フォルダ"));
  ASSERT_NE(folder, nullptr);
  EXPECT_EQ(Captions(folder), std::vector<std::string>{"loose"});
  // A second one reuses the folder; saved on leaving it for another
  // card, which is then the one shown.
  AddFolderRow("A");
  AddCard("A", "a", "text of a");
  Load();
  Open(form_.tree().root());
  view_.Type("again");
  Open(Find("a"));
  EXPECT_EQ(view_.body, "text of a");
  EXPECT_EQ(form_.tree().selected_node(), Find("a"));
  Load();
  EXPECT_EQ(form_.tree().root()->child_count(), 2);
  EXPECT_EQ(Captions(Find(S("新規フォルダ"))).size(), 2u);
}

TEST_F(CardEditorTest, ARefusedSaveAddsNoNodeAndKeepsTheEdits) {
  AddFolderRow("A");
  AddCard("A", "old", "x");
  Load();
  Open(Find("A"));
  view_.title = "fresh";
  view_.Type("unsaved words");
  LowSpace();
  EXPECT_FALSE(editor_.SaveCurrentCard(true));
  ASSERT_EQ(dialog_.questions().size(), 1u);
  EXPECT_EQ(dialog_.questions()[0].text, S("ディスク容量が少なくて保存をキャンセルしました"));
  EXPECT_EQ(Captions(Find("A")), std::vector<std::string>{"old"});
  EXPECT_EQ(form_.card_count, 1);
  EXPECT_EQ(view_.title, "fresh");
  EXPECT_EQ(view_.body, "unsaved words");
  EXPECT_EQ(edit_card_.row, -1);
  // With space again the same edits are written.
  env_.SetFreeBytes(uint64_t{1} << 40);
  EXPECT_TRUE(editor_.SaveCurrentCard(true));
  EXPECT_EQ(Captions(Find("A")).size(), 2u);

  // A stored card's refused save: the next save still sees the change.
  Open(Find("old"));
  view_.title = "renamed";
  LowSpace();
  EXPECT_FALSE(editor_.SaveCurrentCard(true));
  env_.SetFreeBytes(uint64_t{1} << 40);
  EXPECT_TRUE(editor_.SaveCurrentCard(true));
  EXPECT_NE(Find("renamed"), nullptr);

  // A refusal ends the save: the next click in the tree opens its card.
  view_.title = "again";
  LowSpace();
  EXPECT_FALSE(editor_.SaveCurrentCard(true));
  env_.SetFreeBytes(uint64_t{1} << 40);
  Open(Find("fresh"));
  EXPECT_EQ(view_.body, "unsaved words");
  EXPECT_EQ(form_.tree().editor_node(), Find("fresh"));
}

TEST_F(CardEditorTest, ArrowKeysDeferTheOpenToOneLoadAfterTheLastKey) {
  AddFolderRow("A");
  for (int i = 0; i < 10; ++i) AddCard("A", "card" + std::to_string(i), "text" + std::to_string(i));
  Load();
  Open(Find("card0"));
  ASSERT_EQ(view_.body, "text0");
  TreeNode* node = Find("card0");
  for (int i = 1; i < 10; ++i) {
    node = node->next_sibling();
    editor_.TreeKeyDown(true);
    editor_.TreeChange(node);
  }
  ASSERT_EQ(deferred_.calls.size(), 9u);
  for (const auto& call : deferred_.calls) {
    EXPECT_EQ(call.delay, 100u);
    EXPECT_EQ(call.code, 107);
  }
  EXPECT_EQ(view_.body, "text0");  // nothing loaded yet
  editor_.OpenSelectedNode();       // the command, once the slot fires
  EXPECT_EQ(view_.body, "text9");
  // Any other key opens at once.
  editor_.TreeKeyDown(false);
  editor_.TreeChange(Find("card3"));
  EXPECT_EQ(view_.body, "text3");
  EXPECT_EQ(deferred_.calls.size(), 9u);
  // So does a click after one arrow key (a click runs no key handler).
  editor_.TreeKeyDown(true);
  editor_.TreeChange(Find("card4"));
  ASSERT_EQ(deferred_.calls.size(), 10u);
  editor_.TreeChange(Find("card6"));
  EXPECT_EQ(view_.body, "text6");
  EXPECT_EQ(deferred_.calls.size(), 10u);
}

TEST_F(CardEditorTest, AddNewWritesAtOnceAfterTheSelectedCardAndRenumbers) {
  AddFolderRow("A");
  AddCard("A", "a", "1");
  AddCard("A", "b", "2");
  Load();
  Open(Find("a"));
  editor_.AddNewClick();
  TreeNode* folder = Find("A");
  EXPECT_EQ(Captions(folder), (std::vector<std::string>{"a", S("新規カード"), "b"}));
  EXPECT_EQ(view_.title, "");
  EXPECT_EQ(edit_card_.title, S("新規カード"));
  EXPECT_EQ(form_.tree().editor_node(), folder->child(1));
  EXPECT_EQ(view_.view_selected, folder->child(1));
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(Stored(folder->child(i)->info().TextId()).position, static_cast<uint32_t>(i));
  }
  // An empty card already in the editor: nothing more.
  const int cards = StoredCards();
  editor_.AddNewClick();
  EXPECT_EQ(StoredCards(), cards);

  // New cards first in the folder: the node still follows the selected card.
  settings_.AddIti = 0;
  Open(Find("a"));
  editor_.AddNewClick();
  ASSERT_EQ(folder->child_count(), 4);
  EXPECT_EQ(folder->child(0)->text(), "a");
  EXPECT_EQ(form_.tree().editor_node(), folder->child(1));
  EXPECT_EQ(folder->child(3)->text(), "b");
}

TEST_F(CardEditorTest, AddNewOpensTheCardInACardWindowOnlyWithNewCardWinAndTheWindowAway) {
  struct Case {
    bool new_card_win;
    bool in_front;
    bool window;  // the new card opens in a card window
  } cases[] = {{true, false, true}, {true, true, false}, {false, false, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.new_card_win << c.in_front);
    TempDir dir;
    const std::string folder = dir.Path() + "/";
    store::CardStore store(env_, folder);
    ASSERT_TRUE(store.Open(false, folder).ok());
    Settings settings;
    settings.NewCardWin = c.new_card_win ? 1 : 0;
    FolderTreeModel form(store, settings, dialog_);
    CardRecord edit_card(store);
    FakeEditorView view;
    view.in_front = c.in_front;
    CardEditor editor(form, edit_card, view, grid_, deferred_);
    CardRecord folder_row(store);
    folder_row.Clear();
    folder_row.folder = "A";
    folder_row.title = std::string(store::FolderMarkerTitle);
    ASSERT_TRUE(folder_row.Write().ok());
    store::WriteTestCard(store, env_.fake_clock(), "A", "a", "text a", 0);
    store::WriteTestCard(store, env_.fake_clock(), "A", "b", "text b", 1);
    ASSERT_TRUE(LoadFolderTree(form, nullptr).ok());
    TreeNode* a = nullptr;
    for (TreeNode* n = form.tree().root(); n != nullptr; n = n->GetNext()) {
      if (n->text() == "a") a = n;
    }
    ASSERT_NE(a, nullptr);
    editor.TreeKeyDown(false);
    editor.TreeChange(a);

    editor.AddNewClick();
    TreeNode* added = a->next_sibling();
    ASSERT_NE(added, nullptr);
    ASSERT_EQ(added->text(), S("新規カード"));
    const std::string new_id(added->info().TextId());
    if (c.window) {
      // The window shows the new card; the editor keeps the card before it.
      EXPECT_EQ(view.card_windows, std::vector<std::string>{new_id});
      EXPECT_EQ(form.tree().editor_node(), a);
      EXPECT_EQ(form.tree().selected_node(), a);
      EXPECT_EQ(view.view_selected, a);
      EXPECT_EQ(view.body, "text a");
    } else {
      EXPECT_TRUE(view.card_windows.empty());
      EXPECT_EQ(form.tree().editor_node(), added);
      EXPECT_EQ(edit_card.id, new_id);
      EXPECT_EQ(view.title, "");
    }
  }
}

// A card whose text read meets the store's fatal status ends the program
// with its message.
TEST_F(CardEditorTest, TheStoresFatalStatusEndsTheProgram) {
  AddFolderRow("A");
  const std::string id = AddCard("A", "a", "1");
  Load();
  store::DamageCardId(env_, folder_, id);
  Open(Find("a"));
  ASSERT_EQ(dialog_.questions().size(), 1u);
  EXPECT_EQ(dialog_.questions()[0].text, MessageText(MessageId::kFatalRead));
  EXPECT_EQ(dialog_.questions()[0].caption, MessageText(MessageId::kWarningCaption));
  EXPECT_EQ(dialog_.exit_codes(), std::vector<int>{kFatalExitCode});
}

TEST_F(CardEditorTest, AddNewOnLowSpaceRefusesAndKeepsRunning) {
  AddFolderRow("A");
  AddCard("A", "a", "1");
  Load();
  Open(Find("a"));
  LowSpace();
  editor_.AddNewClick();
  ASSERT_FALSE(dialog_.questions().empty());
  EXPECT_EQ(dialog_.questions().back().text.substr(0, 20), S("空き容量が少ないので"));
  EXPECT_TRUE(dialog_.exit_codes().empty());
  EXPECT_EQ(Captions(Find("A")), std::vector<std::string>{"a"});
  EXPECT_EQ(form_.card_count, 1);
}

TEST_F(CardEditorTest, SplitAtTheCaret) {
  const std::string text = "head\r\ntail\x1a" "after";
  struct Case {
    const char* what;
    size_t caret;
    bool low_space;
    std::string kept;      // the editor's text afterwards
    std::string new_text;  // the new card's text, "" = none
    int add_iti = 1;
  } cases[] = {
      {"end", text.size(), false, text, ""},
      {"start", 0, false, "", text},
      {"middle", 6, false, "head\r\n", "tail\x1a" "after"},
      {"refused", 6, true, text, ""},
      {"AddIti0", 6, false, "head\r\n", "tail\x1a" "after", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    settings_.AddIti = c.add_iti;
    const std::string folder = std::string("F") + c.what;
    AddFolderRow(folder);
    AddCard(folder, c.what, text);
    AddCard(folder, std::string(c.what) + "-next", "n");
    Load();
    Open(Find(c.what));
    const int cards = StoredCards();
    view_.caret = c.caret;
    const size_t questions = dialog_.questions().size();
    // Free space passes the test, but the new card's write is refused.
    env_.SetDiskFull(c.low_space);
    editor_.BunkatuCardClick();
    EXPECT_EQ(view_.body, c.kept);
    TreeNode* node = Find(c.what);
    if (c.new_text.empty()) {
      EXPECT_EQ(StoredCards(), cards);
      EXPECT_EQ(node->next_sibling()->text(), std::string(c.what) + "-next");
    } else {
      EXPECT_EQ(StoredCards(), cards + 1);
      EXPECT_TRUE(view_.modified);
      TreeNode* added = node->next_sibling();
      ASSERT_NE(added, nullptr);
      EXPECT_EQ(Stored(added->info().TextId()).text, c.new_text);
      EXPECT_EQ(added->next_sibling()->text(), std::string(c.what) + "-next");
    }
    if (c.low_space) {
      ASSERT_GT(dialog_.questions().size(), questions);
      EXPECT_EQ(dialog_.questions().back().text, S("空き容量が少ないので処理できません"));
      env_.SetDiskFull(false);
    }
    editor_.ShowCard(false);  // drop the unsaved cut
  }
}

TEST_F(CardEditorTest, SplitNeedsAnUnlockedTextCard) {
  AddFolderRow("A");
  AddCard("A", "a", "abc");
  Load();
  Open(Find("a"));
  view_.caret = 1;
  view_.checked[EditorControl::kLockCheckBox] = true;
  editor_.BunkatuCardClick();
  EXPECT_EQ(dialog_.questions().back().text, S("ロック中です。"));
  view_.checked[EditorControl::kLockCheckBox] = false;
  editor_.BodyMode = 'C';
  editor_.BunkatuCardClick();
  EXPECT_EQ(dialog_.beeps(), 1);
  EXPECT_EQ(view_.body, "abc");
  EXPECT_EQ(StoredCards(), 1);
}

TEST_F(CardEditorTest, LockAndAutoTitleBoxes) {
  AddFolderRow("A");
  CardRecord c(store_);
  c.Clear();
  c.folder = "A";
  c.title = "locked";
  c.locked = true;
  c.auto_title = true;
  ASSERT_TRUE(c.Write().ok());
  Load();
  Open(Find("locked"));
  // ShowCard ran both handlers.
  EXPECT_TRUE(view_.title_read_only);
  EXPECT_TRUE(view_.body_read_only);
  for (EditorControl e : {EditorControl::kCsvHtmlCK, EditorControl::kAutoTitle,
                          EditorControl::kSyutten, EditorControl::kIppatuPaste}) {
    EXPECT_FALSE(view_.enabled[e]);
  }
  view_.checked[EditorControl::kLockCheckBox] = false;
  editor_.LockCheckBoxClick();
  EXPECT_TRUE(view_.title_read_only);  // still: automatic title
  EXPECT_TRUE(view_.title_red);
  EXPECT_FALSE(view_.body_read_only);
  for (EditorControl e : {EditorControl::kCsvHtmlCK, EditorControl::kAutoTitle,
                          EditorControl::kSyutten, EditorControl::kIppatuPaste}) {
    EXPECT_TRUE(view_.enabled[e]);
  }
  EXPECT_TRUE(view_.enabled[EditorControl::kSaveButton]);
  view_.checked[EditorControl::kAutoTitle] = false;
  editor_.AutoTitleClick();
  EXPECT_FALSE(view_.title_read_only);
  EXPECT_FALSE(view_.title_red);
}

TEST_F(CardEditorTest, DeleteAsksAndOpensTheNeighbour) {
  AddFolderRow("A");
  const std::string a = AddCard("A", "a", "1");
  AddCard("A", "b", "2");
  Load();
  Open(Find("a"));
  dialog_.Answer(kResultNo);
  editor_.DelClick();
  EXPECT_NE(Find("a"), nullptr);
  dialog_.Answer(kResultYes);
  editor_.DelClick();
  EXPECT_EQ(dialog_.questions().back().text, S("このカードを削除していいですか"));
  EXPECT_EQ(Find("a"), nullptr);
  EXPECT_EQ(Stored(a).deleted, 'D');
  EXPECT_EQ(view_.body, "2");
  EXPECT_EQ(form_.card_count, 1);
}

TEST_F(CardEditorTest, ANewSourceIsRememberedFirst) {
  AddFolderRow("A");
  AddCard("A", "a", "1");
  settings_.SyuttenList = "web\tbook\t";
  Load();
  Open(Find("a"));
  view_.source = "book";
  ASSERT_TRUE(editor_.SaveCurrentCard(true));
  EXPECT_EQ(settings_.SyuttenList, "book\tweb\t");
  EXPECT_EQ(view_.source_items, (std::vector<std::string>{"book", "web"}));
  EXPECT_EQ(view_.saved_groups, std::vector<int>{12});
}

TEST(FittingInsertionTest, KeepsWholeCharactersWithinTheLimit) {
  struct Case {
    const char* what;
    std::string inserted;
    size_t other, limit, kept;
  } cases[] = {
      {"fits", "abc", 7, 10, 3},
      {"cut", "abcdef", 7, 10, 3},
      {"double-byte kept whole or not at all", "a" + S("あい"), 0, 4, 3},
      {"CR LF kept together", "ab\r\ncd", 0, 3, 2},
      {"a lone CR is one byte", "ab\rcd", 0, 3, 3},
      {"the rest fills the body", "a", 10, 10, 0},
      {"the rest passes the limit", "a", 11, 10, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FittingInsertion(c.inserted, c.other, c.limit), c.kept) << c.what;
  }
}

TEST_F(CardEditorTest, AnInsertionPastTheBodyLimitIsCutWithOneBeep) {
  const std::string paste = std::string(kBodyLimitBytes - 1, 'a') + S("あ");
  EXPECT_EQ(editor_.BodyInserted(paste, 0), kBodyLimitBytes - 1);
  EXPECT_EQ(dialog_.beeps(), 1);
  EXPECT_EQ(editor_.BodyInserted("x", kBodyLimitBytes - 1), 1u);
  EXPECT_EQ(editor_.BodyInserted("", kBodyLimitBytes + 5), 0u);
  EXPECT_EQ(dialog_.beeps(), 1);
}

TEST_F(CardEditorTest, FieldsAreGreyWithoutTheFocusWhenCtrlColorIsOn) {
  struct ColorView : FakeEditorView {
    void SetFieldColor(EditorControl c, int32_t color) override { colors[c] = color; }
    std::map<EditorControl, int32_t> colors;
  } view;
  CardEditor editor(form_, edit_card_, view, grid_, deferred_);
  constexpr int32_t kBack = 0x00123456;
  settings_.TextBackColor = kBack;
  const auto T = EditorControl::kTitle, X = EditorControl::kText, Y = EditorControl::kSyutten;
  struct Case {
    int32_t ctrl_color;
    int32_t idle, text_idle;  // without the focus: title and source, text
  } cases[] = {{1, kClBtnFace, kClBtnFace}, {0, kClWindow, kBack}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.ctrl_color);
    settings_.CtrlColor = c.ctrl_color;
    view.colors.clear();
    editor.ApplyControlColor();
    EXPECT_EQ(view.colors, (std::map<EditorControl, int32_t>{{T, c.idle}, {X, c.idle}, {Y, c.idle}}));
    editor.TitleEnter();
    editor.TextEnter();
    editor.SyuttenEnter();
    EXPECT_EQ(view.colors, (std::map<EditorControl, int32_t>{{T, kClWindow}, {X, kBack}, {Y, kClWindow}}));
    editor.TitleExit();
    editor.TextExit();
    editor.SyuttenExit();
    EXPECT_EQ(view.colors,
              (std::map<EditorControl, int32_t>{{T, c.idle}, {X, c.text_idle}, {Y, c.idle}}));
  }
}

}  // namespace
}  // namespace quill
