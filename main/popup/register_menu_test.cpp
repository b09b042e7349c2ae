#include "main/popup/register_menu.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "clip/paste_target_test_rig.h"
#include "main/settings/settings.h"
#include "main/tree/folder_tree_model.h"
#include "main/tree/tree_loader.h"
#include "platform/text_codec.h"
#include "store/card_test_support.h"

namespace quill {
namespace {

using Captions = std::vector<std::string>;

std::string S(std::string_view utf8) { return Utf8ToCp932(utf8); }

Captions CaptionsOf(const std::vector<PopupEntry>& entries) {
  Captions out;
  for (const PopupEntry& e : entries) out.push_back(e.separator ? "-" : Cp932ToUtf8(e.caption));
  return out;
}

// The entries of the sub-menu reached by the captions (UTF-8).
std::vector<PopupEntry> Sub(const std::vector<PopupEntry>& entries,
                            std::initializer_list<std::string_view> path) {
  const std::vector<PopupEntry>* level = &entries;
  for (std::string_view caption : path) {
    const std::vector<PopupEntry>* next = nullptr;
    for (const PopupEntry& e : *level) {
      if (e.submenu && Cp932ToUtf8(e.caption) == caption) next = &e.items;
    }
    if (next == nullptr) return {};
    level = next;
  }
  return *level;
}

// The main window around the menus: data set 0 ("データA", open) in a/,
// data set 1 ("データB") in b/, data set 2 naming a/ again.
struct Rig : PasteTargetRig, OneShotView, CardAppendView, RegisterMenuView, MenuItemOwner {
  Rig() {
    env.SetFreeBytes(uint64_t{1} << 40);
    EXPECT_TRUE(env.CreateDir(dir.File("a")).ok());
    EXPECT_TRUE(env.CreateDir(dir.File("b")).ok());
    EXPECT_TRUE(current.Open(false, "").ok());
    for (const char* f : {"メモ", "メモ 下", "仕事"}) store::WriteFolderRow(current, S(f));
    for (int i = 1; i <= 7; ++i) {
      cards.push_back(store::WriteTestCard(current, clock, S("メモ"), "c" + std::to_string(i), "t"));
    }
    plain = store::WriteTestCard(current, clock, S("仕事"), S("普通"), "t");
    locked = Write(S("仕事"), S("鍵"), true, 0);
    html = Write(S("仕事"), S("頁"), false, 'H');
    EXPECT_TRUE(current.RebuildTreeFile().ok());
    {
      store::CardStore other(env, dir.File("b") + "/");
      EXPECT_TRUE(other.Open(false, "").ok());
      for (const char* f : {"Web", "Web 記事"}) store::WriteFolderRow(other, S(f));
      EXPECT_TRUE(other.RebuildTreeFile().ok());
    }
    EXPECT_TRUE(LoadFolderTree(tree, nullptr).ok());
    names = {S("データA"), S("データB"), S("写し")};
    folders = {dir.File("a"), dir.File("b"), dir.File("a") + "/./"};
    window.one_shot = &one_shot;
    window.append = &append;
    state().CommandTarget = kApp;
    windows.SetActiveWindow(kApp);
  }
  std::string Write(const std::string& folder, const std::string& title, bool lock, char kind) {
    store::CardRecord c(current);
    c.Clear();
    c.folder = folder;
    c.title = title;
    c.text = "t";
    c.locked = lock;
    c.kind = kind;
    EXPECT_TRUE(c.Write().ok());
    clock.AdvanceMs(1);
    return c.id;
  }
  // The target has copied `text`; the menu comes up.
  void Copied(const std::string& text) {
    target.KeepClipboard();
    clipboard.OtherSetsText(text);
  }

  // --- the window ---
  OneShotSettings CurrentOneShotSettings() override {
    OneShotSettings s;
    s.data_set = one_shot_set;
    s.folder = one_shot_folder;
    s.save_url = false;
    return s;
  }
  void SaveEditorCard() override {}
  store::CardStore& CurrentStore() override { return current; }
  int CurrentDataSet() override { return 0; }
  std::string DataSetFolder(int i) override { return i < 3 ? folders[size_t(i)] : ""; }
  void AddCardToTree(const store::CardRecord&) override {}
  void SaveOneShotFolderSettings() override {}
  void OpenCard(const std::string&) override {}
  void FinishTargetPopup() override { dispatcher.FinishTargetPopup(); }
  void ChooseRegisterFolder() override { menu.ChooseFolder(); }
  void AddRegisterHistory(int set, const std::string& folder) override {
    history.Add(set, folder, "?");
  }
  void RemoveRegisterHistory(int set, const std::string& folder) override {
    history.Remove(set, folder);
  }
  void LeaveCard(const std::string&) override {}
  int RunAddHyouForm(std::string*, std::string*) override { return kResultCancel; }
  void CardWritten(const store::CardRecord&) override {}
  Status SaveForgottenOneShotFolder() override { return Status::Ok(); }
  std::string DataSetName(int i) override { return i < 3 ? names[size_t(i)] : ""; }
  bool IsBrowserWindow(WindowHandle) override { return browser; }
  int TuikaOrikaesiSuu() override { return tuika; }
  void SetOneShotDataSet(int i) override { one_shot_set = i; }
  void SetOneShotFolder(const std::string& path) override { one_shot_folder = path; }
  void RegisterFromClipboard() override { one_shot.RegisterFromClipboard(); }
  std::vector<PopupEntry> TrayMenuItems() override { return {}; }
  void SelectCardWindow(int) override {}
  void SelectDataFile(int) override {}
  void RunClipToolItem(int, int, int) override {}
  void PasteCard(const std::string&, int, std::optional<std::string>) override {}
  void AppendClipboardToCard(const std::string& id) override { append.AppendToCard(id, false); }
  void AssignSuperKeySlot(int) override {}
  void AddMenuClick(const AddMenuItem& item) override { menu.AddMenuClick(item); }

  std::string Text(const std::string& id) {
    store::CardRecord c(current);
    bool found = false;
    EXPECT_TRUE(c.FindByKey("TEXT_ID", id, true, &found).ok());
    return c.text;
  }

  std::vector<std::string> names, folders;
  bool browser = false;
  int tuika = 1000;
  int one_shot_set = -1;
  std::string one_shot_folder;
  std::vector<std::string> cards;
  std::string plain, locked, html;
  store::CardStore current{env, dir.File("a") + "/"};
  Settings settings;
  FolderTreeModel tree{current, settings, ui};
  RegisterHistory history;
  OneShot one_shot{block, dispatcher.state(), target, access, ui, bus, clock, *this};
  CardAppend append{block, dispatcher, target, access, ui, bus, clock, one_shot,
                    history, registry, *this};
  RegisterMenu menu{tree, env, history, append, this, block, dispatcher,
                    window, windows, ui, *this};
};

TEST(RegisterMenuTest, HistoryThenTheFoldersOfEveryDataSet) {
  Rig rig;
  const std::string names10 = "aaaaaaaaaa bbbbbbbbbb cccccccccc dddddddddd eeeeeeeeee ffffffffff";
  rig.history = RegisterHistory::Parse(
      S("メモ\t0\t?\t?\t-1\t") + rig.plain + "\t?\t-1\t" + rig.locked + "\t?\t-1\t" + rig.html +
      S("\tWeb 記事\t1\t?\t") + names10 + "\t0\t?" +
      // Malformed entries and one of a data set that does not exist.
      "\tbad\t12\t?\tx\t\t?\tgone\t5\t?");
  struct Case {
    bool browser;
    Captions top;
    Captions memo;
  };
  const Case cases[] = {
      {false,
       {"【データAのメモ】 にText登録", "【普通】のカードに追加", "【データBのWeb 記事】 にText登録",
        "【データAの...cccccccccc dddddddddd eeeeeeeeee ffffffffff】 にText登録", "-", "メモ", "仕事",
        "-", "データB"},
       {"ここにテキストで登録", "ここのカードに追加", "下"}},
      {true,
       {"【データAのメモ】", "【普通】のカードに追加", "【データBのWeb 記事】",
        "【データAの...cccccccccc dddddddddd eeeeeeeeee ffffffffff】", "-", "メモ", "仕事", "-",
        "データB"},
       {"ここにテキストで登録", "ここにHtmlで登録", "ここのカードに追加", "下"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.browser);
    bool any = false;
    const std::vector<PopupEntry> menu = rig.menu.Build(c.browser, &any);
    EXPECT_TRUE(any);
    EXPECT_EQ(CaptionsOf(menu), c.top);
    EXPECT_EQ(CaptionsOf(Sub(menu, {"メモ"})), c.memo);
    if (c.browser) {
      EXPECT_EQ(CaptionsOf(Sub(menu, {"【データAのメモ】"})),
                (Captions{"ここにText登録", "ここにHtml登録"}));
    }
    // Another data set offers no append.
    EXPECT_EQ(CaptionsOf(Sub(menu, {"データB", "Web"})).back(), "記事");
    EXPECT_EQ(CaptionsOf(Sub(menu, {"データB", "Web", "記事"}))[0], "ここにテキストで登録");
    EXPECT_EQ(Sub(menu, {"データB", "Web", "記事"}).size(), c.browser ? 2u : 1u);
  }
  bool any = false;
  const AddMenuItem item = std::get<AddMenuItem>(rig.menu.Build(false, &any)[2].item);
  EXPECT_EQ(item.data_set, 1);
  EXPECT_EQ(item.folder_path, S("Web 記事"));
}

// Choosing a folder registers there and puts it first in the history;
// choosing "append" offers its cards, TuikaOrikaesiSuu a level.
TEST(RegisterMenuTest, RegisterHereAndAppendToACardOfTheFolder) {
  Rig rig;
  rig.tuika = 3;
  rig.history.Add(1, S("Web"), "?");
  rig.Copied(S("選んだ文"));
  rig.ui.ChooseCaption(S("ここにテキストで登録"));
  rig.menu.ChooseFolder();
  const std::vector<store::CardRecord> memo = store::CardsOfFolder(rig.current, S("メモ"));
  ASSERT_EQ(memo.size(), 8u);
  EXPECT_EQ(rig.history.entries[0], (CTourokuRireki{S("メモ"), 0, "?"}));
  EXPECT_EQ(rig.clipboard.Text(), kMine);

  rig.clock.AdvanceMs(20000);
  rig.Copied(S("追記"));
  rig.ui.ChooseCaption(S("ここのカードに追加"));
  rig.ui.ChooseCaption("c7");
  rig.menu.ChooseFolder();
  const std::vector<PopupEntry>& cards = rig.menu.SubPopupMenu();
  // The newest card comes first in the tree.
  EXPECT_EQ(CaptionsOf(cards), (Captions{"c7", "c6", "c5", "続き"}));
  EXPECT_EQ(CaptionsOf(cards[3].items), (Captions{"c4", "c3", "c2", "続き"}));
  EXPECT_EQ(CaptionsOf(cards[3].items[3].items), (Captions{"c1"}));
  EXPECT_EQ(rig.Text(rig.cards[6]), S("t\r\n\r\n\r\n追記\r\n"));
  EXPECT_EQ(rig.history.entries[0], (CTourokuRireki{"?", -1, rig.cards[6]}));
  EXPECT_EQ(rig.append.LastAppendCardId, rig.cards[6]);
  EXPECT_EQ(rig.clipboard.Text(), kMine);
  EXPECT_TRUE(rig.state().ChoosingFolder);

  // Locked and HTML cards are not offered; closing a menu without a
  // choice puts the clipboard back.
  rig.Copied(S("なし"));
  rig.menu.ShowAppendMenu(S("仕事"));
  EXPECT_EQ(CaptionsOf(rig.menu.SubPopupMenu()), (Captions{"普通"}));
  EXPECT_EQ(rig.clipboard.Text(), kMine);
  rig.Copied(S("なし"));
  rig.menu.ChooseFolder();
  EXPECT_EQ(rig.clipboard.Text(), kMine);
  // The menu forgot the card to append to.
  EXPECT_TRUE(rig.append.LastAppendCardId.empty());
}

TEST(RegisterMenuTest, NoFolderAtAllIsSaid) {
  Rig rig;
  ASSERT_TRUE(rig.env.WriteFileAtomic(rig.dir.File("a/quilbo7.tre"), "").ok());
  rig.names = {S("データA"), "", ""};
  rig.Copied(S("x"));
  rig.menu.ChooseFolder();
  ASSERT_EQ(rig.ui.questions().size(), 1u);
  EXPECT_EQ(rig.ui.questions()[0].text, S("保存するフォルダがありません"));
  EXPECT_EQ(rig.ui.questions()[0].caption, S("警告"));
  EXPECT_TRUE(rig.ui.menus().empty());
  EXPECT_EQ(rig.clipboard.Text(), kMine);
}

TEST(RegisterMenuTest, DisplayPaths) {
  EXPECT_EQ(DisplayFolderPath("short path"), "short path");
  EXPECT_EQ(DisplayFolderPath(std::string(60, 'x')), "..." + std::string(60, 'x'));
  EXPECT_EQ(DisplayFolderPath("a " + std::string(48, 'y')), "a " + std::string(48, 'y'));
  EXPECT_EQ(DisplayFolderPath("a " + std::string(49, 'y')), "..." + std::string(49, 'y'));
}

}  // namespace
}  // namespace quill
