#include "main/tree/sort_orders.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "main/tree/folder_tree_model.h"
#include "main/tree/node_sort.h"
#include "main/tree/tree_loader.h"
#include "platform/headless/fake_ui.h"
#include "platform/headless/fault_env.h"
#include "platform/headless/temp_dir.h"
#include "platform/text_codec.h"
#include "store/card_store.h"
#include "store/card_test_support.h"

namespace quill {
namespace {

using store::CardRecord;

// A FileEnv whose disk fills up: after `writes_left` more card writes have
// asked for the free space, it answers that none is left.
class FillingEnv final : public FileEnv {
 public:
  std::optional<int> writes_left;

  Status Open(const std::string& p, OpenMode m, std::unique_ptr<RandomFile>* f) override {
    return base.Open(p, m, f);
  }
  bool Exists(const std::string& p) override { return base.Exists(p); }
  Status Remove(const std::string& p) override { return base.Remove(p); }
  Status Rename(const std::string& a, const std::string& b) override { return base.Rename(a, b); }
  Status CreateDir(const std::string& p) override { return base.CreateDir(p); }
  Status RemoveDir(const std::string& p) override { return base.RemoveDir(p); }
  Status ListDir(const std::string& p, std::vector<std::string>* n) override {
    return base.ListDir(p, n);
  }
  Status SyncDir(const std::string& p) override { return base.SyncDir(p); }
  Status FreeBytes(const std::string&, uint64_t* bytes) override {
    *bytes = uint64_t{1} << 40;
    if (writes_left && (*writes_left)-- <= 0) *bytes = 0;
    return Status::Ok();
  }
  Clock& clock() override { return base.clock(); }

  FaultEnv base;
};

class SavedGroupsView : public FolderTreeView {
 public:
  void SaveSettingsGroup(int group) override { groups.push_back(group); }
  std::vector<int> groups;
};

class SortOrdersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(store_.Open(false, folder_).ok());
    form_.set_data_set_name("Data");
  }

  std::string AddCard(const std::string& folder, const std::string& title, uint32_t ctime,
                      uint32_t utime, uint32_t position) {
    return store::WriteTestCard(store_, env_.base.fake_clock(), folder, title, "x", position,
                                ctime, utime);
  }
  void Load() {
    Status s = LoadFolderTree(form_, nullptr);
    ASSERT_TRUE(s.ok()) << s.ToString();
  }
  TreeNode* Folder(const std::string& path) {
    for (TreeNode* n = form_.tree().root(); n != nullptr; n = n->GetNext()) {
      if (n->IsFolder() && GetFolderPath(n) == path) return n;
    }
    return nullptr;
  }
  static std::string Children(const TreeNode* folder) {
    std::string s;
    for (int i = 0; i < folder->child_count(); ++i) s += (i ? "," : "") + folder->child(i)->text();
    return s;
  }
  uint32_t StoredPosition(const TreeNode* card) {
    CardRecord c(store_);
    bool found = false;
    EXPECT_TRUE(c.FindById(-1, card->info().TextId(), false, &found).ok());
    EXPECT_TRUE(found);
    return c.position;
  }

  TempDir dir_;
  std::string folder_ = dir_.Path() + "/";
  FillingEnv env_;
  store::CardStore store_{env_, folder_};
  Settings settings_;
  SavedGroupsView view_;
  FakeUi ui_;
  FolderTreeModel form_{store_, settings_, ui_, &view_};
};

// Titles b, a, c, created in the order b, c, a; update times on both sides
// of 2^31, so a subtraction would order them wrongly.
TEST_F(SortOrdersTest, EachOrderSortsTheCardsBehindTheFoldersAndStoresTheirPositions) {
  store::WriteFolderRow(store_, "F");
  store::WriteFolderRow(store_, "F S1");
  store::WriteFolderRow(store_, "F S2");
  AddCard("F", "b", 100, 0xF0000000u, 0);
  AddCard("F", "a", 300, 7, 1);
  AddCard("F", "c", 200, 0x80000000u, 2);
  const struct {
    int order;
    const char* cards;
  } cases[] = {
      {0, "a,b,c"}, {1, "c,b,a"}, {2, "b,c,a"}, {3, "a,c,b"}, {4, "a,c,b"}, {5, "b,c,a"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.order);
    Load();
    TreeNode* f = Folder("F");
    form_.tree().set_selected_node(f->child(3));
    ASSERT_TRUE(SortCards(form_, c.order).ok());
    const std::string want = std::string("S1,S2,") + c.cards;
    EXPECT_EQ(Children(f), want);
    for (int i = 2; i < f->child_count(); ++i) {
      EXPECT_EQ(StoredPosition(f->child(i)), static_cast<uint32_t>(i - 2));
    }
    Load();
    EXPECT_EQ(Children(Folder("F")), want);
  }
  // With the folder selected nothing moves and nothing is written.
  Load();
  TreeNode* f = Folder("F");
  form_.tree().set_selected_node(f);
  ASSERT_TRUE(SortCards(form_, 0).ok());
  EXPECT_EQ(Children(f), "S1,S2,b,c,a");
  EXPECT_EQ(StoredPosition(f->child(2)), 0u);
  EXPECT_TRUE(ui_.questions().empty());
  EXPECT_TRUE(view_.groups.empty());
}

TEST_F(SortOrdersTest, WithAutoSortTheOrderBecomesTheSettingAndTheTreeIsLoadedInIt) {
  store::WriteFolderRow(store_, "F");
  AddCard("F", "b", 100, 1, 0);
  AddCard("F", "a", 200, 2, 1);
  AddCard("F", "c", 300, 3, 2);
  settings_.AutoSort = 1;
  settings_.SortType = "no such order";
  Load();
  // An unknown order loads by title and is put right in the setting.
  EXPECT_EQ(Children(Folder("F")), "a,b,c");
  EXPECT_EQ(settings_.SortType, kSortTypeNames[0]);

  form_.tree().set_selected_node(Folder("F"));  // a folder is enough here
  ASSERT_TRUE(SortCards(form_, 5).ok());
  EXPECT_EQ(settings_.SortType, kSortTypeNames[5]);
  EXPECT_EQ(view_.groups, std::vector<int>{kGroupBarAndSort});
  EXPECT_EQ(form_.tree().root()->text(), "Data(" + settings_.SortType + ")");
  EXPECT_EQ(Children(Folder("F")), "c,a,b");
  // The stored positions are not the order's business.
  CardRecord c(store_);
  bool found = false;
  ASSERT_TRUE(c.FindByKey("TEXT_ID", Folder("F")->child(0)->info().TextId(), false, &found).ok());
  EXPECT_EQ(c.position, 2u);
}

TEST_F(SortOrdersTest, EveryFolderAndCardOfABigFolderSorts) {
  FolderTree& tree = form_.tree();
  TreeNode* root = tree.CreateRoot("Data", NodeInfo::Folder());
  TreeNode* small = tree.AddChild(root, "small", NodeInfo::Folder());
  tree.AddChild(small, "card", NodeInfo::Card("0"));
  for (const char* name : {"B", "a", "A"}) tree.AddChild(small, name, NodeInfo::Folder());
  SortFolderChildren(form_, small->child(0), true);
  EXPECT_EQ(Children(small), "A,B,a,card");

  // 12,000 sub-folders and 25,000 cards, mixed, with update times over the
  // whole 32-bit range. The cards are not in the store: nothing is written.
  TreeNode* big = tree.AddChild(root, "big", NodeInfo::Folder());
  std::mt19937 random(7);
  std::vector<int> kinds(37000);
  for (size_t i = 0; i < kinds.size(); ++i) kinds[i] = i < 12000 ? 0 : 1;
  std::shuffle(kinds.begin(), kinds.end(), random);
  int folders = 0;
  tree.AppendChildren(big, kinds.size(), [&](size_t i, std::string* text, NodeInfo* info) {
    if (kinds[i] == 0) {
      *text = "f" + std::to_string(random() % 100000000);
      *info = NodeInfo::Folder();
      *text += "-" + std::to_string(folders++);
    } else {
      *info = NodeInfo::Card("id" + std::to_string(i));
      info->SetUpdateTime(static_cast<uint32_t>(random()));
      *text = "c";
    }
  });
  SortFolderChildren(form_, big->child(0), false);
  tree.set_selected_node(big->last_child());
  ASSERT_TRUE(SortCards(form_, 4).ok());
  ASSERT_EQ(big->child_count(), 37000);
  for (int i = 0; i + 1 < big->child_count(); ++i) {
    const TreeNode* a = big->child(i);
    const TreeNode* b = big->child(i + 1);
    ASSERT_EQ(a->IsFolder(), i < 12000) << i;
    if (a->IsFolder() && b->IsFolder()) {
      ASSERT_LT(a->text(), b->text()) << i;
    }
    if (!a->IsFolder()) {
      ASSERT_LE(a->info().UpdateTime(), b->info().UpdateTime()) << i;
    }
  }
  EXPECT_TRUE(ui_.questions().empty());
}

TEST_F(SortOrdersTest, AFullDiskStopsTheRenumberingWithAMessage) {
  store::WriteFolderRow(store_, "F");
  for (int i = 0; i < 5; ++i) AddCard("F", "c" + std::to_string(i), 0, 0, 5 + i);
  Load();
  TreeNode* f = Folder("F");
  // A node whose card is gone from the store takes no position.
  form_.tree().Insert(f, 1, "gone", NodeInfo::Card("FFFFFFFFFFFFFFFF"));
  CardRecord editor(store_);
  bool found = false;
  ASSERT_TRUE(editor.FindById(-1, f->child(2)->info().TextId(), true, &found).ok());
  ASSERT_TRUE(found);

  env_.writes_left = 3;
  Status s = RenumberCards(form_, f, &editor);
  EXPECT_EQ(s.code(), Status::kNoSpace);
  ASSERT_EQ(ui_.questions().size(), 1u);
  EXPECT_EQ(ui_.questions()[0].text, Utf8ToCp932("空き容量が少ないので処理できません"));
  EXPECT_EQ(ui_.questions()[0].caption, Utf8ToCp932("警告"));
  // c0..c2 were written, c3 was refused, c4 never reached.
  const uint32_t want[] = {0, 1, 2, 8, 9};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(StoredPosition(f->child(i < 1 ? i : i + 1)), want[i]) << i;
  }
  EXPECT_EQ(editor.position, 1u);
}

}  // namespace
}  // namespace quill
