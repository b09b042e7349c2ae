#include "main/popup/kubun_popup.h"

#include <gtest/gtest.h>

#include <array>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "clip/dispatch_test_support.h"
#include "main/settings/settings.h"
#include "main/tree/folder_tree_model.h"
#include "platform/headless/fake_clock.h"
#include "platform/headless/fake_ui.h"
#include "platform/headless/fake_window_system.h"
#include "platform/headless/fault_env.h"
#include "platform/headless/temp_dir.h"
#include "platform/messages.h"
#include "platform/text_codec.h"
#include "platform/ui_messages.h"
#include "store/card_store.h"
#include "store/card_test_support.h"

namespace quill {
namespace {

using Captions = std::vector<std::string>;

std::string J(std::string_view utf8) { return Utf8ToCp932(utf8); }

// The main window as the menu items see it: a log of their clicks, with
// RightClickCount as it stands at the click.
class LoggingOwner final : public MenuItemOwner {
 public:
  explicit LoggingOwner(const SharedHookBlock& block) : block_(block) {}
  std::vector<std::string> log;

  void SelectCardWindow(int) override {}
  void SelectDataFile(int) override {}
  void RunClipToolItem(int, int, int) override {}
  void PasteCard(const std::string& id, int index, std::optional<std::string> text) override {
    log.push_back("paste " + id + " " + std::to_string(index) +
                  (text ? " " + Cp932ToUtf8(*text) : std::string()) + " right " +
                  std::to_string(block_.RightClickCount()));
  }
  void AppendClipboardToCard(const std::string&) override {}
  void AssignSuperKeySlot(int) override {}
  void AddMenuClick(const AddMenuItem&) override {}

 private:
  const SharedHookBlock& block_;
};

class HandBackLog final : public QuietTarget {
 public:
  std::vector<std::string> log;
  void ActivateTargetWindow(WindowHandle w, bool enter) override {
    log.push_back("activate " + std::to_string(w) + (enter ? " enter" : ""));
  }
};

// The captions of a menu level (UTF-8; "-" for a separator).
Captions CaptionsOf(const std::vector<PopupEntry>& entries) {
  Captions out;
  for (const PopupEntry& e : entries) out.push_back(e.separator ? "-" : Cp932ToUtf8(e.caption));
  return out;
}

// The sub-menu reached by the captions (UTF-8), null when there is none.
const PopupEntry* Sub(const std::vector<PopupEntry>& entries,
                      std::initializer_list<std::string_view> path) {
  const std::vector<PopupEntry>* level = &entries;
  const PopupEntry* found = nullptr;
  for (std::string_view caption : path) {
    found = nullptr;
    for (const PopupEntry& e : *level) {
      if (e.submenu && Cp932ToUtf8(e.caption) == caption) found = &e;
    }
    if (found == nullptr) return nullptr;
    level = &found->items;
  }
  return found;
}

class KubunPopupTest : public ::testing::Test {
 protected:
  KubunPopupTest() {
    env_.SetFreeBytes(uint64_t{1} << 40);
    EXPECT_TRUE(store_.Open(false, dir_.Path()).ok());
    block_.SetMainWindow(1);
    tree().CreateRoot("Data", NodeInfo::Folder());
  }

  FolderTree& tree() { return form_.tree(); }
  TreeNode* Folder(TreeNode* parent, std::string_view name) {
    return tree().AddChild(parent, J(name), NodeInfo::Folder());
  }
  // A card node; its id is its title unless it is stored.
  TreeNode* Card(TreeNode* parent, std::string_view title, bool listed = true,
                 std::string id = std::string(), uint8_t kind = 0) {
    NodeInfo info = NodeInfo::Card(id.empty() ? std::string(title) : id);
    info.SetOneShotPaste(listed ? 1 : 0);
    info.SetKind(kind);
    return tree().AddChild(parent, J(title), info);
  }
  // A table card stored with `text`.
  TreeNode* TableCard(TreeNode* parent, std::string_view title, std::string_view text) {
    const std::string id = store::WriteTestCard(store_, env_.fake_clock(), GetFolderPath(parent),
                                                J(title), J(text));
    TreeNode* node = Card(parent, title, true, id, 3);
    node->info().SetTwoColumn(1);
    return node;
  }
  void History(size_t count) {
    for (size_t i = count; i-- > 0;) history_.Add("t" + std::to_string(i));
  }
  std::vector<PopupEntry> Build(bool tray_popup = false) {
    return popup_.Build(settings_, tray_popup, {});
  }

  TempDir dir_;
  FaultEnv env_;
  store::CardStore store_{env_, dir_.Path() + "/"};
  Settings app_settings_;
  FakeUi ui_;
  FolderTreeModel form_{store_, app_settings_, ui_};
  ClipHistory history_;
  alignas(8) std::array<uint8_t, kSharedHookBlockSize> bytes_{};
  SharedHookBlock block_{std::span<uint8_t, kSharedHookBlockSize>(bytes_)};
  LoggingOwner owner_{block_};
  DispatchState state_;
  HandBackLog target_;
  FakeWindowSystem windows_;
  KubunPopup popup_{form_, history_, &owner_, block_, state_, target_, windows_, ui_};
  KubunPopupSettings settings_;
};

TEST_F(KubunPopupTest, ClipHistoryEntriesAndTheirAccelerators) {
  struct Case {
    bool use_history;
    bool at_root;
    size_t entries;
    Captions top;
    Captions submenu;  // "&ClipBd履歴", empty when absent
  };
  Captions all;
  for (char c : std::string("0123456789ABCDEFGHIJ")) all.push_back(std::string("&") + c + ":");
  for (size_t i = 0; i < all.size(); ++i) all[i] += "t" + std::to_string(i);
  const Case cases[] = {
      {false, false, 20, {"メニュー(&M)"}, {}},
      {true, true, 3, {"メニュー(&M)", "&0:t0", "&1:t1", "&2:t2", "-"}, {}},
      {true, false, 20, {"メニュー(&M)", "&ClipBd履歴"}, all},
      {true, true, 7, {"メニュー(&M)", "&0:t0", "&1:t1", "&2:t2", "&3:t3", "&4:t4", "-",
                       "&ClipBd履歴"}, {"&5:t5", "&6:t6"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.entries);
    history_ = ClipHistory();
    History(c.entries);
    settings_.use_history = c.use_history;
    settings_.clip_history_root = c.at_root;
    const std::vector<PopupEntry> menu = Build();
    EXPECT_EQ(CaptionsOf(menu), c.top);
    const PopupEntry* sub = Sub(menu, {"&ClipBd履歴"});
    EXPECT_EQ(sub != nullptr ? CaptionsOf(sub->items) : Captions{}, c.submenu);
    if (sub != nullptr) {
      EXPECT_EQ(sub->image, 4);
    }
  }
  // An entry pastes its history index.
  Click(Build()[1].item);
  EXPECT_EQ(owner_.log, (std::vector<std::string>{"paste  0 right 0"}));
}

TEST_F(KubunPopupTest, FoldersOfferTheirListedCardsOnly) {
  TreeNode* root = tree().root();
  TreeNode* a = Folder(root, "A");
  Card(a, "a1");
  Card(a, "a2", /*listed=*/false);
  Card(Folder(a, "unlisted"), "u1", false);
  Folder(root, "empty");
  Card(Folder(Folder(root, "C"), "D"), "d1", true, "", 7);
  Card(root, "stray");  // no card belongs at the first level
  TreeNode* e = Folder(root, "E");
  Card(Folder(e, "F1"), "f1");
  Card(Folder(e, "F2"), "f2");
  for (int i = 1; i <= 60; ++i) Card(e, "e" + std::to_string(i));
  Card(Folder(root, "Z"), "z1");

  settings_.use_history = false;
  std::vector<PopupEntry> menu = Build();
  EXPECT_EQ(CaptionsOf(menu), (Captions{"メニュー(&M)", "&Root"}));
  const PopupEntry* r = Sub(menu, {"&Root"});
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(CaptionsOf(r->items), (Captions{"A", "C", "E", "Z"}));
  EXPECT_EQ(CaptionsOf(Sub(menu, {"&Root", "A"})->items), (Captions{"a1"}));
  const PopupEntry& d1 = Sub(menu, {"&Root", "C", "D"})->items.at(0);
  EXPECT_EQ(d1.image, 5 + 7);
  EXPECT_EQ(std::get<MyMenuItem>(d1.item).card_id, "d1");
  // Of E's nodes, the first 49 count: two folders and cards e1..e47.
  Captions e_items = {"F1", "F2"};
  for (int i = 1; i <= 47; ++i) e_items.push_back("e" + std::to_string(i));
  EXPECT_EQ(CaptionsOf(Sub(menu, {"&Root", "E"})->items), e_items);

  // Without the popup list the folders stand at the top.
  settings_.def_paste_list = false;
  EXPECT_EQ(CaptionsOf(Build()), (Captions{"メニュー(&M)", "A", "C", "E", "Z"}));
  // Nothing listed: no "&Root".
  settings_.def_paste_list = true;
  tree().CreateRoot("Data", NodeInfo::Folder());
  Card(Folder(tree().root(), "A"), "a1", false);
  EXPECT_EQ(CaptionsOf(Build()), (Captions{"メニュー(&M)"}));
}

TEST_F(KubunPopupTest, ATableCardOffersItsWholeTextAndItsRows) {
  TableCard(Folder(tree().root(), "T"), "表", "名前\t値\tもっと\r\n\t空\r\n一つだけ\r\n");
  settings_.use_history = false;
  const std::vector<PopupEntry> menu = Build();
  const PopupEntry* table = Sub(menu, {"&Root", "T", "表"});
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(table->image, 5 + 3);
  EXPECT_EQ(CaptionsOf(table->items), (Captions{"すべてペースト", "名前"}));
  const std::string id = std::get<MyMenuItem>(table->items[0].item).card_id;
  Click(table->items[0].item);
  Click(table->items[1].item);
  EXPECT_EQ(owner_.log, (std::vector<std::string>{"paste " + id + " -1 right 0",
                                                  "paste " + id + " -1 値 right 0"}));

  // Runs of line ends and TABs count as one; rows past the limit are not read.
  std::string text = "\r\n\r\na\t\tb\nc\rd\te";
  EXPECT_EQ(TableMenuRows(text, 100),
            (std::vector<std::pair<std::string, std::string>>{{"a", "b"}, {"d", "e"}}));
  text.clear();
  for (int i = 0; i < 10005; ++i) text += "k\tv\r\n";
  EXPECT_EQ(TableMenuRows(text, KubunPopup::kMaxTableRows).size(), 10000u);
}

// A table card whose read meets the store's fatal status ends the program
// with one message; the popup is not shown.
TEST_F(KubunPopupTest, TheStoresFatalStatusEndsTheProgramWithoutAPopup) {
  TreeNode* folder = Folder(tree().root(), "T");
  const std::string id(TableCard(folder, "表", "a\tb\r\n")->info().TextId());
  TableCard(folder, "表2", "c\td\r\n");
  store::DamageCardId(env_, dir_.Path() + "/", id);
  settings_.use_history = false;
  EXPECT_FALSE(popup_.ShowKubunPopup(settings_, {}));
  EXPECT_TRUE(ui_.menus().empty());
  ASSERT_EQ(ui_.questions().size(), 1u);
  EXPECT_EQ(ui_.questions()[0].text, MessageText(MessageId::kFatalRead));
  EXPECT_EQ(ui_.exit_codes(), std::vector<int>{kFatalExitCode});
}

TEST_F(KubunPopupTest, RecentCardsAndThePopupFolder) {
  TreeNode* x = Folder(tree().root(), "X");
  Card(x, "x1");
  TreeNode* y = Folder(x, "Y");
  Card(y, "y1");
  Card(y, "y2");
  Card(Folder(y, "Sub"), "s1");
  settings_.use_history = false;
  settings_.paste_folder = J("X Y");
  settings_.recent_pasted[0] = "y1";
  settings_.recent_pasted[3] = "x1";

  // The parent of a popup folder below the first level holds it again.
  std::vector<PopupEntry> menu = Build();
  EXPECT_EQ(CaptionsOf(menu),
            (Captions{"メニュー(&M)", "&Root", "親フォルダ(X)", "y1", "y2", "Sub"}));
  EXPECT_EQ(CaptionsOf(Sub(menu, {"親フォルダ(X)"})->items), (Captions{"x1", "Y"}));
  EXPECT_EQ(CaptionsOf(Sub(menu, {"親フォルダ(X)", "Y"})->items), (Captions{"y1", "y2", "Sub"}));

  // With the recent section, a recent card leaves the popup folder's
  // section but stays in its folder.
  settings_.use_history_paste = true;
  menu = Build();
  EXPECT_EQ(CaptionsOf(menu), (Captions{"メニュー(&M)", "&Root", "-", "y1", "x1", "-",
                                        "親フォルダ(X)", "y2", "Sub"}));
  EXPECT_EQ(CaptionsOf(Sub(menu, {"&Root", "X", "Y"})->items), (Captions{"y1", "y2", "Sub"}));
}

TEST_F(KubunPopupTest, TheTrayMenuComesFirstOrFromTheTrayLast) {
  Card(Folder(tree().root(), "A"), "a1");
  settings_.use_history = false;
  PopupEntry item;
  item.caption = J("終了(&X)");
  for (bool tray : {false, true}) {
    state_.TrayPopupFlag = tray;
    popup_.ShowKubunPopup(settings_, {item});
    EXPECT_FALSE(state_.TrayPopupFlag);
    const Captions expected = tray ? Captions{"&Root", "メニュー(&M)"}
                                   : Captions{"メニュー(&M)", "&Root"};
    EXPECT_EQ(CaptionsOf(popup_.TaskPopup()), expected);
    EXPECT_EQ(CaptionsOf(Sub(popup_.TaskPopup(), {"メニュー(&M)"})->items),
              (Captions{"終了(&X)"}));
  }
}

// The popup over another application: tracking off while it is open, the
// foreground back with the target, and the chosen card pasted afterwards,
// still knowing that the right button chose it.
TEST_F(KubunPopupTest, AChoiceIsPastedAfterThePopupClosesAndKnowsTheButton) {
  Card(Folder(tree().root(), "A"), "a1");
  settings_.use_history = false;
  state_.CommandTarget = 77;
  windows_.cursor = ScreenPoint{30, 40};
  for (int right_clicks : {0, 1}) {
    SCOPED_TRACE(right_clicks);
    target_.log.clear();
    owner_.log.clear();
    block_.SetRightClickCount(9);
    state_.PopupPrepared = true;
    int no_track = -1;
    ui_.on_menu = [&](const FakeUi::ShownMenu& shown) {
      no_track = block_.NoTrack();
      EXPECT_EQ(block_.RightClickCount(), 0);
      EXPECT_EQ(shown.at.x, 30);
      block_.SetRightClickCount(static_cast<uint16_t>(right_clicks));
    };
    ui_.ChooseCaption("a1");
    std::function<void()> chosen = popup_.ShowKubunPopup(settings_, {});
    EXPECT_EQ(no_track, 1);
    EXPECT_EQ(block_.NoTrack(), 0);
    EXPECT_EQ(target_.log,
              (std::vector<std::string>{right_clicks == 0 ? "activate 77 enter" : "activate 77"}));
    EXPECT_TRUE(owner_.log.empty());
    ASSERT_TRUE(chosen);
    chosen();
    EXPECT_EQ(owner_.log, (std::vector<std::string>{"paste a1 -1 right " +
                                                    std::to_string(right_clicks)}));
  }
  // Closed without a choice, nothing is clicked; without a prepared popup
  // the foreground stays.
  target_.log.clear();
  state_.PopupPrepared = false;
  ui_.on_menu = nullptr;
  EXPECT_FALSE(popup_.ShowKubunPopup(settings_, {}));
  EXPECT_TRUE(target_.log.empty());
}

}  // namespace
}  // namespace quill
