#include "main/tree/folder_tree_model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "main/tree/data_folder.h"
#include "main/tree/folder_tree.h"
#include "main/tree/folder_tree_visitors.h"
#include "main/tree/node_captions.h"
#include "main/tree/node_operations.h"
#include "main/tree/node_sort.h"
#include "main/tree/recording_tree_view.h"
#include "main/tree/tree_loader.h"
#include "platform/headless/fake_ui.h"
#include "platform/headless/fault_env.h"
#include "platform/headless/temp_dir.h"
#include "platform/headless/watchdog.h"
#include "platform/text_codec.h"
#include "store/card_store.h"
#include "store/card_test_support.h"
#include "store/index_test_support.h"

namespace quill {
namespace {

using store::CardRecord;
using store::FolderMarkerTitle;

const std::string kZeroFolder = "0";

class FolderTreeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    env_.SetFreeBytes(uint64_t{1} << 40);
    ASSERT_TRUE(store_.Open(false, folder_).ok());
    form_.set_data_set_name("Data");
  }

  // Writes a card and returns its id; times are seconds since 1970.
  // Cards keep the order they were added in unless given a position.
  std::string AddCard(const std::string& folder, const std::string& title, uint32_t ctime = 0,
                      uint32_t utime = 0, int64_t position = -1) {
    uint32_t at = position >= 0 ? static_cast<uint32_t>(position) : next_position_++;
    return store::WriteTestCard(store_, env_.fake_clock(),
                                folder, title, "text of " + title, at, ctime,
                                utime);
  }
  void AddFolderRow(const std::string& path) { store::WriteFolderRow(store_, path); }
  // Live folder rows of exactly this path.
  int FolderRows(const std::string& path) {
    CardRecord c(store_);
    std::vector<int64_t> rows;
    EXPECT_TRUE(c.FindCardsByFolder(path, &rows).ok());
    int n = 0;
    for (int64_t r : rows) {
      c.SetRecNo(r);
      EXPECT_TRUE(c.Load(false).ok());
      if (c.folder == path && c.is_folder()) ++n;
    }
    return n;
  }
  void Load(CardSearch* criteria = nullptr) {
    Status s = LoadFolderTree(form_, criteria);
    ASSERT_TRUE(s.ok()) << s.ToString();
  }
  // The tree below node as "name{child,child}"; cards as their captions.
  static std::string Shape(const TreeNode* node) {
    std::string s = node->IsFolder() ? node->text() : "'" + node->text() + "'";
    if (!node->HasChildren()) return s;
    s += "{";
    for (int i = 0; i < node->child_count(); ++i) {
      if (i > 0) s += ",";
      s += Shape(node->child(i));
    }
    return s + "}";
  }

  TempDir dir_;
  std::string folder_ = dir_.Path() + "/";
  FaultEnv env_;
  store::CardStore store_{env_, folder_};
  Settings settings_;
  RecordingView view_;
  FakeUi ui_;
  FolderTreeModel form_{store_, settings_, ui_, &view_};
  uint32_t next_position_ = 0;
};

// The shapes of a node's children, joined by commas.
std::string ChildShapes(const TreeNode* node, std::string (*shape)(const TreeNode*)) {
  std::string s;
  for (int i = 0; i < node->child_count(); ++i) s += (i ? "," : "") + shape(node->child(i));
  return s;
}

TEST_F(FolderTreeTest, NestedPathsBuildNestedFoldersAndTheFolderList) {
  AddFolderRow("A");
  AddFolderRow("A B");
  AddFolderRow("A B C");
  AddCard("A", "a1");
  AddCard("A B", "b1");
  AddCard("A B C", "c1");
  AddCard("A B C", "c2");
  Load();
  EXPECT_EQ(Shape(form_.tree().root()), "Data{A{B{C{'c1','c2'},'b1'},'a1'}}");
  EXPECT_EQ(form_.card_count, 4);
  EXPECT_EQ(view_.cards, 4);
  EXPECT_EQ(form_.tree_complete, 1);

  ASSERT_TRUE(WriteTreeFile(form_).ok());
  std::string list;
  ASSERT_TRUE(env_.ReadFile(folder_ + "quilbo7.tre", &list).ok());
  EXPECT_EQ(list, "A\r\nA B\r\nA B C\r\n");

  TreeNode* c = FindFolderNode(form_, "A B C");
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(GetFolderPath(c), "A B C");
  EXPECT_EQ(FindFolderNode(form_, "A B C D"), nullptr);
  EXPECT_EQ(FindFolderNode(form_, "B"), nullptr);
}

TEST_F(FolderTreeTest, EmptyDataSetGivesALoneSelectedExpandedRoot) {
  Load();
  TreeNode* root = form_.tree().root();
  ASSERT_NE(root, nullptr);
  EXPECT_FALSE(root->HasChildren());
  EXPECT_TRUE(root->IsFolder());
  EXPECT_TRUE(root->expanded());
  EXPECT_EQ(form_.tree().selected_node(), root);
  EXPECT_EQ(form_.tree().current_node(), root);
  EXPECT_EQ(form_.tree().editor_node(), nullptr);
  EXPECT_EQ(view_.cards, 0);
  EXPECT_EQ(view_.editor_cleared, 1);
  EXPECT_FALSE(form_.loading);
  EXPECT_FALSE(form_.busy().busy());
}

// Cards without a folder go into "0": the rows are rewritten, and an
// existing folder "0" is reused even when another folder ("!x", which sorts
// between "" and "0") comes in between.
TEST_F(FolderTreeTest, CardsWithoutFolderJoinTheOneFolderZero) {
  struct Case {
    const char* name;
    bool zero_row;     // the table has a folder row "0" with a card
    bool other_folder; // and a folder "!x"
    const char* shape;
  };
  const Case cases[] = {
      {"alone", false, false, "0{'e1','e2'}"},
      {"with folder 0", true, false, "0{'e1','e2','z1'}"},
      {"with folders !x and 0", true, true, "!x{'x1'},0{'e1','e2','z1'}"},
      {"with folder !x only", false, true, "!x{'x1'},0{'e1','e2'}"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    FaultEnv env;
    env.SetFreeBytes(uint64_t{1} << 40);
    store::CardStore store(env, dir.Path() + "/");
    ASSERT_TRUE(store.Open(false, dir.Path() + "/").ok());
    auto add = [&](const std::string& folder, const std::string& title) {
      CardRecord r(store);
      r.Clear();
      r.folder = folder;
      r.title = title;
      r.text = "x";
      EXPECT_TRUE(r.Write().ok());
      env.fake_clock().AdvanceMs(1);
      return r.id;
    };
    std::string e1 = add("", "e1");
    add("", "e2");
    if (c.zero_row) {
      add("0", std::string(FolderMarkerTitle));
      add("0", "z1");
    }
    if (c.other_folder) {
      add("!x", std::string(FolderMarkerTitle));
      add("!x", "x1");
    }
    Settings settings;
    settings.AutoSort = 1;
    settings.SortType = kSortTypeNames[0];  // by title
    FakeUi ui;
    FolderTreeModel form(store, settings, ui);
    form.set_data_set_name("Data");
    Status s = LoadFolderTree(form, nullptr);
    ASSERT_TRUE(s.ok()) << s.ToString();
    EXPECT_EQ(ChildShapes(form.tree().root(), Shape), c.shape);

    CardRecord back(store);
    bool found = false;
    ASSERT_TRUE(back.FindById(-1, e1, false, &found).ok());
    ASSERT_TRUE(found);
    EXPECT_EQ(back.folder, "0");
    // Exactly one folder row "0", written when the table had none.
    std::vector<int64_t> rows;
    ASSERT_TRUE(back.FindCardsByFolder("0", &rows).ok());
    int zero_rows = 0;
    for (int64_t r : rows) {
      back.SetRecNo(r);
      ASSERT_TRUE(back.Load(false).ok());
      if (back.folder == "0" && back.is_folder()) ++zero_rows;
    }
    EXPECT_EQ(zero_rows, 1);
    EXPECT_EQ(form.card_count, c.other_folder ? (c.zero_row ? 4 : 3) : (c.zero_row ? 3 : 2));
  }
}

TEST_F(FolderTreeTest, MissingFolderRowsAreWrittenOnceAndCardsLandInTheirFolder) {
  AddCard("X Y", "card");
  AddFolderRow("P");
  AddCard("P Q R", "deep");  // "P" has its row, "P Q" and "P Q R" do not
  Load();
  EXPECT_EQ(Shape(form_.tree().root()), "Data{P{Q{R{'deep'}}},X{Y{'card'}}}");
  EXPECT_EQ(FolderRows("X"), 1);
  EXPECT_EQ(FolderRows("X Y"), 1);
  EXPECT_EQ(FolderRows("P"), 1);
  EXPECT_EQ(FolderRows("P Q"), 1);
  EXPECT_EQ(FolderRows("P Q R"), 1);
  // A second load finds every row and writes none.
  Load();
  EXPECT_EQ(FolderRows("X"), 1);
  EXPECT_EQ(FolderRows("P Q R"), 1);
  EXPECT_EQ(Shape(form_.tree().root()), "Data{P{Q{R{'deep'}}},X{Y{'card'}}}");
}

TEST_F(FolderTreeTest, SubFoldersComeFirstInByteOrder) {
  AddFolderRow("F");
  AddCard("F", "card");
  for (const char* name : {"F b", "F B", "F a"}) AddFolderRow(name);
  Load();
  EXPECT_EQ(Shape(form_.tree().root()), "Data{F{B,a,b,'card'}}");
}

TEST_F(FolderTreeTest, CardsComeInTheOrderOfTheSortType) {
  // title, creation time, update time, stored position
  AddCard("F", "b", 200, 900, 2);
  AddCard("F", "c", 100, 800, 0);
  AddCard("F", "a", 300, 700, 1);
  struct Case {
    uint16_t auto_sort;
    std::string sort_type;
    const char* order;
  };
  const Case cases[] = {
      {0, "", "c,a,b"},  // stored position
      {1, kSortTypeNames[0], "a,b,c"},
      {1, kSortTypeNames[1], "c,b,a"},
      {1, kSortTypeNames[2], "c,b,a"},  // created
      {1, kSortTypeNames[3], "a,b,c"},
      {1, kSortTypeNames[4], "a,c,b"},  // updated
      {1, kSortTypeNames[5], "b,c,a"},
      {1, "unknown", "a,b,c"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sort_type);
    settings_.AutoSort = c.auto_sort;
    settings_.SortType = c.sort_type;
    Load();
    TreeNode* f = FindFolderNode(form_, "F");
    ASSERT_NE(f, nullptr);
    std::string got;
    for (int i = 0; i < f->child_count(); ++i) got += (i ? "," : "") + f->child(i)->text();
    EXPECT_EQ(got, c.order);
  }
  // The unknown name was replaced, and the root shows the order.
  EXPECT_EQ(settings_.SortType, kSortTypeNames[0]);
  EXPECT_EQ(form_.tree().root()->text(), std::string("Data(") + kSortTypeNames[0] + ")");
}

TEST_F(FolderTreeTest, CaptionsFollowTheListFormat) {
  FakeClock clock;  // local time is UTC: a fixed time zone
  clock.SetLocal(2026, 3, 2, 23, 59);
  const uint32_t created = static_cast<uint32_t>(clock.Now());
  clock.SetLocal(2026, 4, 5, 0, 0);
  const uint32_t updated = static_cast<uint32_t>(clock.Now());
  const std::string title = "\x83\x81\x83\x82 title";  // メモ title
  const struct {
    int fmt;
    std::string caption;
  } cases[] = {
      {0, title},
      {1, "26/03/02 " + title},
      {2, "26/04/05 " + title},
      {3, "03/02 04/05 " + title},
      {7, title},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FormatNodeCaption(c.fmt, clock, title, updated, created), c.caption) << c.fmt;
  }
}

TEST_F(FolderTreeTest, ManyRowsAndDeepPathsLoadCompletely) {
  // 30,000 cards over three folders.
  {
    CardRecord c(store_);
    ASSERT_TRUE(c.SetOpenFlag(true).ok());
    for (int i = 0; i < 30000; ++i) {
      c.Clear();
      c.keep_open = true;
      c.folder = std::string("F") + static_cast<char>('0' + i % 3);
      c.title = "t" + std::to_string(i);
      c.text = "x";
      ASSERT_TRUE(c.Write().ok()) << i;
      env_.fake_clock().AdvanceMs(1);
    }
    ASSERT_TRUE(c.Close().ok());
  }
  // A path of 50 one-letter levels fills the 100-byte field (99 bytes),
  // with a card at the bottom and one 25 levels down.
  std::string deep, half;
  for (int level = 0; level < 50; ++level) {
    if (level > 0) deep += ' ';
    deep += static_cast<char>('a' + level % 26);
    if (level == 24) half = deep;
  }
  ASSERT_EQ(deep.size(), 99u);
  AddCard(deep, "bottom");
  AddCard(half, "middle");
  Load();

  EXPECT_EQ(form_.card_count, 30002);
  EXPECT_EQ(view_.cards, 30002);
  int per_folder = 0;
  for (const char* f : {"F0", "F1", "F2"}) {
    TreeNode* n = FindFolderNode(form_, f);
    ASSERT_NE(n, nullptr);
    per_folder += n->child_count();
  }
  EXPECT_EQ(per_folder, 30000);
  TreeNode* bottom = FindFolderNode(form_, deep);
  ASSERT_NE(bottom, nullptr);
  EXPECT_EQ(bottom->level(), 50);
  ASSERT_EQ(bottom->child_count(), 1);
  EXPECT_EQ(bottom->child(0)->text(), "bottom");
  TreeNode* middle = FindFolderNode(form_, half);
  ASSERT_NE(middle, nullptr);
  EXPECT_EQ(middle->level(), 25);
  EXPECT_EQ(middle->last_child()->text(), "middle");
  EXPECT_EQ(FolderRows(deep), 1);
  EXPECT_GT(view_.pumps, 30000);
}

// A search marks or filters the cards by FindDel and FindFolderMark.
TEST_F(FolderTreeTest, SearchCriteriaMarkOrFilterCards) {
  AddFolderRow("F");
  AddFolderRow("F G");
  AddCard("F", "hit");
  AddCard("F", "miss");
  AddCard("F G", "miss2");
  struct TitleSearch : CardSearch {
    std::string wanted;
    bool Matches(CardRecord& card) override { return card.title == wanted; }
  };
  TitleSearch hits;
  hits.wanted = "hit";
  TitleSearch nothing;
  nothing.wanted = "none";
  const struct {
    int find_del, folder_mark;
    CardSearch* criteria;
    const char* shape;  // cards with their marks
  } cases[] = {
      {0, 0, nullptr, "F{G{miss2:0},hit:0,miss:0}"},
      {0, 0, &hits, "F{G{miss2:0},hit:1,miss:0}"},
      {1, 0, &hits, "F{G,hit:0}"},
      {1, 1, &hits, "F{G,hit:1}"},
      {1, 0, &nothing, "F{G}"},
      {1, 1, nullptr, "F{G{miss2:0},hit:0,miss:0}"},
  };
  std::function<std::string(const TreeNode*)> shape = [&](const TreeNode* n) {
    std::string s = n->text();
    if (!n->IsFolder()) s += ":" + std::to_string(n->info().Mark());
    if (!n->HasChildren()) return s;
    s += "{";
    for (int i = 0; i < n->child_count(); ++i) s += (i ? "," : "") + shape(n->child(i));
    return s + "}";
  };
  for (const auto& c : cases) {
    settings_.FindDel = c.find_del;
    settings_.FindFolderMark = c.folder_mark;
    Load(c.criteria);
    EXPECT_EQ(shape(form_.tree().root()->child(0)), c.shape)
        << c.find_del << c.folder_mark << (c.criteria != nullptr);
  }
}

TEST_F(FolderTreeTest, LowSpaceDuringTheLoadIsReported) {
  FakeUi& dialog = ui_;
  AddCard("X Y", "card");  // needs two folder rows
  env_.SetFreeBytes(1000);
  Status s = LoadFolderTree(form_, nullptr);
  EXPECT_TRUE(s.ok()) << s.ToString();
  ASSERT_EQ(dialog.questions().size(), 1u);
  EXPECT_EQ(Cp932ToUtf8(dialog.questions()[0].text), "空き容量が少ないです。つくれません。");
  EXPECT_EQ(Cp932ToUtf8(dialog.questions()[0].caption), "警告");
  EXPECT_EQ(Shape(form_.tree().root()), "Data{X{Y{'card'}}}");

  // A card without a folder that cannot be moved into "0" ends the program.
  env_.SetFreeBytes(uint64_t{1} << 40);
  AddCard("", "lost");
  env_.SetFreeBytes(1000);
  s = LoadFolderTree(form_, nullptr);
  EXPECT_EQ(s.code(), Status::kNoSpace);
  ASSERT_EQ(dialog.questions().size(), 2u);
  EXPECT_EQ(Cp932ToUtf8(dialog.questions()[1].text), "空き容量が少ないので終了します");
  EXPECT_FALSE(form_.busy().busy());
  EXPECT_FALSE(form_.loading);
}

// Every card node holds what its card loads as, whatever the bytes of the
// row: odd attribute bytes, a title with a NUL or cut inside a character,
// a short card id.
TEST_F(FolderTreeTest, CardNodesHoldWhatTheirCardsLoadAs) {
  AddFolderRow("F");
  for (int i = 0; i < 5; ++i) AddCard("F", "card" + std::to_string(i), 1000 + i, 2000 + i);
  // Row r (0-based; row 0 is the folder row) at 257 + r x 285; byte 0 the
  // deleted flag, then the fields.
  auto patch = [&](int row, size_t offset, const std::string& bytes) {
    std::unique_ptr<RandomFile> f;
    ASSERT_TRUE(env_.Open(folder_ + "quilbo7.dat", OpenMode::kReadWrite, &f).ok());
    ASSERT_TRUE(
        f->WriteAt(257 + uint64_t{285} * row + 1 + offset, bytes.data(), bytes.size()).ok());
    ASSERT_TRUE(f->Close().ok());
  };
  const size_t yobi = 184;
  patch(1, yobi + 28, "\x02");  // one-shot paste: only 1 counts
  patch(1, yobi + 36, "\x96");  // icon 150
  patch(1, yobi + 37, "HTM");
  patch(2, yobi + 60, "@");
  patch(2, yobi + 95, "L");
  patch(2, yobi + 37, "CSV");
  patch(3, 100, std::string("ab \0x", 5) + std::string(47, ' '));  // title with a NUL
  patch(4, 100, std::string(49, 'a') + "\x82\xA0" + "b");          // cut inside a character
  patch(5, 152, "ABC" + std::string(17, ' '));                     // a short card id
  Load();
  TreeNode* f = FindFolderNode(form_, "F");
  ASSERT_NE(f, nullptr);
  ASSERT_EQ(f->child_count(), 5);
  for (int i = 0; i < f->child_count(); ++i) {
    const TreeNode* node = f->child(i);
    const NodeInfo& got = node->info();
    CardRecord card(store_);
    card.SetRecNo(got.RecordNo());
    ASSERT_TRUE(card.Load(false).ok());
    SCOPED_TRACE(card.title);
    EXPECT_EQ(node->text(), card.title);
    EXPECT_EQ(got.TextId(), card.id);
    EXPECT_EQ(got.UpdateTime(), card.utime);
    EXPECT_EQ(got.CreationTime(), card.ctime);
    EXPECT_EQ(got.Locked(), card.locked ? 1 : 0);
    EXPECT_EQ(got.Kind(), card.icon);
    EXPECT_EQ(got.OneShotPaste(), card.one_shot_paste == 1 ? 1 : 0);
    EXPECT_EQ(got.TwoColumn(), card.two_column ? 1 : 0);
    EXPECT_EQ(got.BodyMode(), static_cast<uint8_t>(card.kind));
  }
  // The odd bytes did reach the cards.
  std::vector<std::string> titles;
  for (int i = 0; i < f->child_count(); ++i) titles.push_back(f->child(i)->text());
  EXPECT_NE(std::find(titles.begin(), titles.end(), "ab "), titles.end());
  EXPECT_NE(std::find(titles.begin(), titles.end(), std::string(49, 'a')), titles.end());
}

// A folder index whose pages share their children does not hold the load
// up: it ends with a clear error and a bare tree, and once the index is
// rebuilt every card is back.
TEST_F(FolderTreeTest, ADamagedFolderIndexEndsTheLoadWithAnError) {
  AddFolderRow("F");
  for (int i = 0; i < 5; ++i) AddCard("F", "c" + std::to_string(i));
  store::RawIndex shared;
  shared.expr = "KUBUN";
  shared.key_length = 100;
  shared.key = "F";
  shared.ShareEveryChild(20, 1);  // 5^20 leaves
  {
    std::unique_ptr<RandomFile> f;
    ASSERT_TRUE(env_.Open(folder_ + "quilbo7.ix0", OpenMode::kCreateTruncate, &f).ok());
    const std::string bytes = shared.Bytes();
    ASSERT_TRUE(f->WriteAt(0, bytes.data(), bytes.size()).ok());
    ASSERT_TRUE(f->Close().ok());
  }
  Status s = ReturnsWithin([&] { return LoadFolderTree(form_, nullptr); });
  EXPECT_EQ(s.code(), Status::kCorrupt) << s.ToString();
  EXPECT_EQ(Shape(form_.tree().root()), "Data");
  EXPECT_FALSE(form_.loading);
  EXPECT_FALSE(form_.busy().busy());

  CardRecord card(store_);
  ASSERT_TRUE(card.Reorganize().ok());
  Load();
  EXPECT_EQ(Shape(form_.tree().root()), "Data{F{'c0','c1','c2','c3','c4'}}");
}

// A folder index that lists a card twice shows it twice: the load takes
// every entry, and the rows it reads once serve each of them.
TEST_F(FolderTreeTest, ACardListedTwiceByTheIndexIsShownTwice) {
  AddFolderRow("F");
  AddCard("F", "c0");
  AddCard("F", "c1");
  ASSERT_TRUE(store_.Close().ok());  // the damage comes from outside the session
  store::RawIndex twice;
  twice.expr = "KUBUN";
  twice.key_length = 100;
  twice.key = "F";
  twice.pages = {store::RawIndex::Leaf({1, 3, 2, 3})};
  {
    std::unique_ptr<RandomFile> f;
    ASSERT_TRUE(env_.Open(folder_ + "quilbo7.ix0", OpenMode::kCreateTruncate, &f).ok());
    const std::string bytes = twice.Bytes();
    ASSERT_TRUE(f->WriteAt(0, bytes.data(), bytes.size()).ok());
    ASSERT_TRUE(f->Close().ok());
  }
  Load();
  EXPECT_EQ(Shape(form_.tree().root()), "Data{F{'c0','c1','c1'}}");
}

TEST_F(FolderTreeTest, StoreCommandsWaitWhileTheTreeLoads) {
  AddCard("F", "one");
  AddCard("F", "two");
  struct Observer : BusyObserver {
    std::vector<bool> changes;
    void BusyChanged(bool busy) override { changes.push_back(busy); }
  } observer;
  form_.busy().set_observer(&observer);
  int64_t cards_when_run = -1;
  bool queued = false;
  view_.on_pump = [&] {
    EXPECT_TRUE(form_.busy().busy());
    if (queued) return;
    queued = true;
    form_.busy().RunWhenIdle([&] { cards_when_run = form_.card_count; });
    EXPECT_EQ(form_.busy().deferred_count(), 1u);
    // A reload asked for meanwhile is refused.
    EXPECT_EQ(LoadFolderTree(form_, nullptr).code(), Status::kInvalid);
  };
  Load();
  EXPECT_EQ(cards_when_run, 2);  // ran once, against the whole tree
  EXPECT_EQ(observer.changes, (std::vector<bool>{true, false}));
  EXPECT_EQ(form_.busy().deferred_count(), 0u);

  // Nested scopes: one notice each way; idle commands run at once.
  {
    BusyScope outer(form_.busy());
    BusyScope inner(form_.busy());
    int ran = 0;
    form_.busy().RunWhenIdle([&] { ++ran; });
    inner.End();
    EXPECT_EQ(ran, 0);
  }
  EXPECT_EQ(observer.changes.size(), 4u);
  int ran = 0;
  form_.busy().RunWhenIdle([&] { ++ran; });
  EXPECT_EQ(ran, 1);
  form_.busy().set_observer(nullptr);
}

// root{F1{c1,c2},F2{F3{c3}},c4}
class WalkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root = tree.CreateRoot("root", NodeInfo::Folder());
    f1 = tree.AddChild(root, "F1", NodeInfo::Folder());
    c1 = tree.AddChild(f1, "c1", NodeInfo::Card("1"));
    c2 = tree.AddChild(f1, "c2", NodeInfo::Card("2"));
    f2 = tree.AddChild(root, "F2", NodeInfo::Folder());
    f3 = tree.AddChild(f2, "F3", NodeInfo::Folder());
    c3 = tree.AddChild(f3, "c3", NodeInfo::Card("3"));
    c4 = tree.AddChild(root, "c4", NodeInfo::Card("4"));
  }
  FolderTree tree;
  TreeNode *root, *f1, *c1, *c2, *f2, *f3, *c3, *c4;
};

class Recorder : public AllNode {
 public:
  Recorder(FolderTree& tree, std::string stop_at) : AllNode(tree), stop_(std::move(stop_at)) {}
  int VisitFolder() override { return Log("F"); }
  int VisitCard() override { return Log("C"); }
  int VisitNode() override {
    log += "N ";
    return 0;
  }
  std::string log;

 private:
  int Log(const char* kind) {
    log += std::string(kind) + ":" + node_->text() + " ";
    return node_->text() == stop_ ? 7 : 0;
  }
  std::string stop_;
};

TEST_F(WalkTest, VisitsChildrenOfAStartOrTheWholeTreeAndStopsOnNonzero) {
  const struct {
    int start;  // index into the nodes below, -1 none
    const char* stop;
    const char* log;
    int result;
  } cases[] = {
      {-1, "", "F:F1 N C:c1 N C:c2 N F:F2 N F:F3 N C:c3 N C:c4 N ", 0},
      {0, "", "C:c1 N C:c2 N ", 0},         // start F1
      {1, "", "F:F3 N ", 0},                // start F2: children only
      {2, "", "", 0},                       // start c1: none
      {3, "", "F:F1 N F:F2 N C:c4 N ", 0},  // start root
      {-1, "c2", "F:F1 N C:c1 N C:c2 ", 7},
      {0, "c1", "C:c1 ", 7},
  };
  TreeNode* starts[] = {f1, f2, c1, root};
  for (const auto& c : cases) {
    Recorder r(tree, c.stop);
    int result = r.Walk(c.start < 0 ? nullptr : starts[c.start]);
    EXPECT_EQ(r.log, c.log) << c.start << c.stop;
    EXPECT_EQ(result, c.result);
  }
  // An empty tree walks nothing.
  FolderTree empty;
  Recorder r(empty, "");
  EXPECT_EQ(r.Walk(nullptr), 0);
  EXPECT_EQ(r.log, "");
}

TEST_F(WalkTest, TreeHelpers) {
  EXPECT_EQ(GetFolderPath(c3), "F2 F3 c3");
  EXPECT_EQ(GetFolderPath(root), "");
  EXPECT_TRUE(IsTopNode(root));
  EXPECT_FALSE(IsTopNode(f1));
  EXPECT_TRUE(IsInSubtree(f2, c3));
  EXPECT_TRUE(IsInSubtree(f2, f2));
  EXPECT_FALSE(IsInSubtree(f2, c1));
  EXPECT_FALSE(IsInSubtree(f2, nullptr));
  EXPECT_EQ(FirstSibling(c2), c1);
  EXPECT_EQ(FirstSibling(root), root);
  EXPECT_EQ(FolderOf(c1), f1);
  EXPECT_EQ(FolderOf(f3), f3);
  EXPECT_EQ(FindNodeByTextId("3", tree), c3);
  EXPECT_EQ(FindNodeByTextId("9", tree), nullptr);
  EXPECT_EQ(c3->GetPrev(), f3);
  EXPECT_EQ(f2->GetPrev(), c2);
  EXPECT_EQ(c3->GetNext(), c4);
  EXPECT_TRUE(HasChildFolderNamed(tree, f2, "F3"));
  EXPECT_FALSE(HasChildFolderNamed(tree, root, "F3"));
}

TEST_F(WalkTest, RemovingASubtreeClearsEveryReferenceIntoIt) {
  tree.set_current_node(f3);
  tree.set_editor_node(c3);
  tree.set_selected_node(f2);
  tree.set_picked_node(c1);
  size_t before = tree.node_count();
  tree.Remove(f2);
  EXPECT_EQ(tree.current_node(), nullptr);
  EXPECT_EQ(tree.editor_node(), nullptr);
  EXPECT_EQ(tree.selected_node(), nullptr);
  EXPECT_EQ(tree.picked_node(), c1);  // outside the removed subtree
  EXPECT_EQ(tree.node_count(), before - 3);
  EXPECT_EQ(c4->index(), 1);
  EXPECT_EQ(f1->next_sibling(), c4);
  tree.Remove(root);
  EXPECT_EQ(tree.root(), nullptr);
  EXPECT_EQ(tree.picked_node(), nullptr);
  EXPECT_EQ(tree.node_count(), 0u);
}

// Many nodes go at once: each parent closes up once and hears of one run
// of neighbouring rows as their removal, of rows apart as one change; a
// node below another of the list goes with it, nulls and repeats count
// for nothing.
TEST_F(WalkTest, RemoveNodesTakesManyAtOnce) {
  struct Log : FolderTreeObserver {
    void NodesAboutToRemove(TreeNode* p, int first, int last) override {
      calls.push_back(p->text() + " rows " + std::to_string(first) + "-" + std::to_string(last));
    }
    void NodesRemoved(TreeNode* p, int, int) override { calls.push_back(p->text() + " done"); }
    void RowsAboutToRemove(TreeNode* p, const std::vector<int>& rows) override {
      std::string s = p->text() + " rows";
      for (int r : rows) s += " " + std::to_string(r);
      calls.push_back(s);
    }
    void RowsRemoved(TreeNode* p) override { calls.push_back(p->text() + " done"); }
    std::vector<std::string> calls;
  } log;
  TreeNode* c5 = tree.AddChild(root, "c5", NodeInfo::Card("5"));
  TreeNode* c6 = tree.AddChild(root, "c6", NodeInfo::Card("6"));  // root: F1 F2 c4 c5 c6
  tree.set_editor_node(c3);
  tree.set_selected_node(c2);
  tree.set_current_node(c5);
  const size_t before = tree.node_count();
  tree.AddObserver(&log);
  tree.RemoveNodes({c4, c6, c1, c2, c3, f3, nullptr, c4});
  tree.RemoveObserver(&log);
  EXPECT_EQ(log.calls, (std::vector<std::string>{"root rows 2 4", "root done", "F1 rows 0-1",
                                                  "F1 done", "F2 rows 0-0", "F2 done"}));
  EXPECT_EQ(tree.node_count(), before - 6);
  ASSERT_EQ(root->child_count(), 3);
  EXPECT_EQ(root->child(2), c5);
  EXPECT_EQ(c5->index(), 2);
  EXPECT_EQ(f2->index(), 1);
  EXPECT_FALSE(f1->HasChildren());
  EXPECT_FALSE(f2->HasChildren());
  EXPECT_EQ(tree.editor_node(), nullptr);
  EXPECT_EQ(tree.selected_node(), nullptr);
  EXPECT_EQ(tree.current_node(), c5);
  // The root among them clears the tree.
  tree.RemoveNodes({c5, root});
  EXPECT_EQ(tree.root(), nullptr);
  EXPECT_EQ(tree.node_count(), 0u);
}

TEST_F(WalkTest, MoveKeepsPositionsAndRefusesCycles) {
  EXPECT_TRUE(tree.Move(c4, f1, 0));
  EXPECT_EQ(f1->child(0), c4);
  EXPECT_EQ(c1->index(), 1);
  EXPECT_EQ(root->child_count(), 2);
  EXPECT_TRUE(tree.Move(c4, f1, -1));  // to the end of its own parent
  EXPECT_EQ(f1->last_child(), c4);
  EXPECT_EQ(c4->index(), 2);
  EXPECT_FALSE(tree.Move(f2, f3, 0));
  EXPECT_FALSE(tree.Move(root, f1, 0));
}

TEST_F(WalkTest, MarkVisitors) {
  c1->info().SetOneShotPaste(1);
  c3->info().SetOneShotPaste(1);
  auto marks = [&] {
    std::string s;
    for (TreeNode* n : {c1, c2, c3, c4}) s += std::to_string(n->info().Mark());
    return s;
  };
  CSetPopup(tree, false).Walk(nullptr);
  EXPECT_EQ(marks(), "1010");
  CSetPopup(tree, true).Walk(nullptr);
  EXPECT_EQ(marks(), "0101");
  CMarkReverce(tree).Walk(nullptr);
  EXPECT_EQ(marks(), "1010");
  CCurrentFolderMark(tree, 1).Walk(f1);
  EXPECT_EQ(marks(), "1110");
  CFolderMark(tree, f2, 0).Walk(nullptr);
  EXPECT_EQ(marks(), "1100");
  CFolderMark(tree, root, 1).Walk(nullptr);
  EXPECT_EQ(marks(), "1111");
  CCurrentFolderMark(tree, 0).Walk(f1);

  CCountInfo count(tree);
  count.Walk(nullptr);
  EXPECT_EQ(count.cards, 4);
  EXPECT_EQ(count.marked, 2);
  CMoveTree moved(tree);
  moved.Walk(nullptr);
  EXPECT_EQ(moved.nodes, (std::vector<TreeNode*>{c3, c4}));
  CGetNode cards(tree);
  cards.Walk(f1);
  EXPECT_EQ(cards.nodes, (std::vector<TreeNode*>{c1, c2}));
  CGetFolder folders(tree);
  folders.Walk(nullptr);
  EXPECT_EQ(folders.folders, (std::vector<TreeNode*>{f1, f2, f3}));
  CFindAddNode first_card(tree);
  first_card.Walk(root);
  EXPECT_EQ(first_card.found, c4);
}

TEST_F(WalkTest, JumpsToTheNextAndPreviousMark) {
  c2->info().SetMark(1);
  c3->info().SetMark(1);
  const struct {
    TreeNode* from;
    bool back;
    TreeNode* want;
  } cases[] = {
      {root, false, c2}, {nullptr, false, c2}, {c1, false, c2}, {c2, false, c3},
      {c3, false, nullptr},  // no wrap-around
      {c4, true, c3},    {c3, true, c2},       {c2, true, nullptr},
  };
  for (const auto& c : cases) {
    TreeNode* got;
    if (c.back) {
      CToBackJump j(tree, c.from);
      j.Walk(nullptr);
      got = j.found;
    } else {
      CToJump j(tree, c.from);
      j.Walk(nullptr);
      got = j.found;
    }
    EXPECT_EQ(got, c.want) << (c.from ? c.from->text() : "null") << c.back;
  }
}

TEST_F(WalkTest, AppendMenuSkipsLockedAndHtmlCardsAndContinuesPastTheLimit) {
  TreeNode* f = tree.AddChild(root, "M", NodeInfo::Folder());
  for (int i = 0; i < 5; ++i) {
    NodeInfo info = NodeInfo::Card("id" + std::to_string(i));
    info.SetKind(static_cast<uint8_t>(i));
    if (i == 1) info.SetLocked(1);
    if (i == 3) info.SetBodyMode('H');
    tree.AddChild(f, "m" + std::to_string(i), info);
  }
  CSetTuikaMenu menu(tree, 2);
  menu.Walk(f);
  ASSERT_EQ(menu.menu.items.size(), 1u);
  EXPECT_EQ(menu.menu.items[0].caption, "m0");
  EXPECT_EQ(menu.menu.items[0].image, 5);
  ASSERT_NE(menu.menu.more, nullptr);
  ASSERT_EQ(menu.menu.more->items.size(), 1u);  // m2; m3 is HTML
  EXPECT_EQ(menu.menu.more->items[0].card_id, "id2");
  ASSERT_NE(menu.menu.more->more, nullptr);
  EXPECT_EQ(menu.menu.more->more->items[0].caption, "m4");
}

TEST_F(WalkTest, NodeImages) {
  c1->info().SetKind(7);
  c2->info().SetKind(7);
  c2->info().SetMark(1);
  c3->info().SetMark(3);
  c4->info().SetKind(200);  // out of range: icon 0
  tree.SetExpanded(f2, true);
  f3->info().SetMark(2);
  EXPECT_EQ(NodeImageIndex(c1), 12);
  EXPECT_EQ(NodeImageIndex(c2), 112);
  EXPECT_EQ(NodeImageIndex(c3), 0);
  EXPECT_EQ(NodeImageIndex(c4), 5);
  EXPECT_EQ(NodeImageIndex(f1), 1);
  EXPECT_EQ(NodeImageIndex(f2), 2);
  EXPECT_EQ(NodeImageIndex(f3), 0);
}

TEST_F(FolderTreeTest, AddAndUpdateCardNodes) {
  AddFolderRow("F");
  AddFolderRow("F G");
  AddCard("F", "old");
  Load();
  TreeNode* f = FindFolderNode(form_, "F");
  ASSERT_NE(f, nullptr);
  for (int add_iti : {0, 1}) {
    settings_.AddIti = add_iti;
    CardRecord card(store_);
    card.Clear();
    card.folder = "F";
    card.title = "new" + std::to_string(add_iti);
    card.icon = 9;
    card.kind = 'C';
    card.locked = true;
    ASSERT_TRUE(card.Write().ok());
    TreeNode* n = AddCardNode(form_, card, f);
    // AddIti 0: after the sub-folder, before the first card; 1: last.
    EXPECT_EQ(n->index(), add_iti == 0 ? 1 : f->child_count() - 1);
    EXPECT_EQ(n->text(), card.title);
    EXPECT_EQ(n->info().TextId(), card.id);
    EXPECT_EQ(n->info().RecordNo(), static_cast<uint32_t>(card.row));
    EXPECT_EQ(n->info().Kind(), 9);
    EXPECT_EQ(n->info().BodyMode(), 'C');
    EXPECT_EQ(n->info().Locked(), 1);
    EXPECT_FALSE(n->info().IsFolder());
    EXPECT_EQ(GetCardTitle(form_, n->info().RecordNo(), card.id), card.title);
    EXPECT_EQ(GetCardTitleById(form_, card.id), card.title);
  }
  EXPECT_EQ(form_.card_count, 3);
  EXPECT_EQ(view_.cards, 3);
  EXPECT_EQ(GetCardTitleById(form_, "FFFFFFFFFFFFFFFF"), "");
  EXPECT_EQ(GetCardTitleById(form_, ""), "");

  // A changed card refreshes its node, found by id; the list format applies.
  CardRecord card(store_);
  bool found = false;
  ASSERT_TRUE(card.FindByKey("TEXT_ID", f->child(1)->info().TextId(), false, &found).ok());
  ASSERT_TRUE(found);
  card.title = "renamed";
  card.utime = 86400 * 3;
  settings_.TitleFmt = 2;
  UpdateNodeFromCard(form_, card, nullptr);
  EXPECT_EQ(f->child(1)->text(), "70/01/04 renamed");
  EXPECT_EQ(f->child(1)->info().UpdateTime(), 86400u * 3);
  card.id = "0000000000000000";  // no node has it: nothing happens
  UpdateNodeFromCard(form_, card, nullptr);

  // List format 3 re-captions every card from its stored title.
  settings_.TitleFmt = 0;
  CSetMarkFlag(form_, 3).Walk(nullptr);
  EXPECT_EQ(f->child(1)->text(), "new0");
}

TEST_F(FolderTreeTest, CreateFolderWritesItsRowAndTheFolderList) {
  FakeUi& dialog = ui_;
  AddFolderRow("A");
  Load();
  TreeNode* a = FindFolderNode(form_, "A");
  TreeNode* b = nullptr;
  ASSERT_TRUE(CreateFolder(form_, "B", a, &b).ok());
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->parent(), a);
  EXPECT_EQ(form_.tree().current_node(), b);
  EXPECT_EQ(FolderRows("A B"), 1);
  std::string list;
  ASSERT_TRUE(env_.ReadFile(folder_ + "quilbo7.tre", &list).ok());
  EXPECT_EQ(list, "A\r\nA B\r\n");

  // Refused before anything is written.
  std::string long_name(96, 'n');  // "A " + 96 + " x" > 100 bytes
  TreeNode* none = nullptr;
  EXPECT_EQ(CreateFolder(form_, "x y", a, &none).code(), Status::kInvalid);
  EXPECT_EQ(CreateFolder(form_, "", a, &none).code(), Status::kInvalid);
  EXPECT_EQ(CreateFolder(form_, long_name + "xxx", a, &none).code(), Status::kInvalid);
  EXPECT_EQ(none, nullptr);
  EXPECT_EQ(a->child_count(), 1);
  EXPECT_TRUE(dialog.questions().empty());

  // Low space: the message, and the tree is loaded again from the table.
  env_.SetFreeBytes(1000);
  EXPECT_EQ(CreateFolder(form_, "C", FindFolderNode(form_, "A"), &none).code(),
            Status::kNoSpace);
  ASSERT_EQ(dialog.questions().size(), 1u);
  EXPECT_EQ(Cp932ToUtf8(dialog.questions()[0].text), "空き容量が少ないです。つくれません。");
  EXPECT_EQ(Shape(form_.tree().root()), "Data{A{B}}");
}

TEST_F(FolderTreeTest, EnsureNewFolderMakesItOnce) {
  Load();
  TreeNode* first = EnsureNewFolder(form_);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(Cp932ToUtf8(first->text()), "新規フォルダ");
  EXPECT_EQ(form_.tree().selected_node(), first);
  form_.tree().set_selected_node(form_.tree().root());
  EXPECT_EQ(EnsureNewFolder(form_), first);
  EXPECT_EQ(form_.tree().selected_node(), first);
  EXPECT_EQ(FolderRows(first->text()), 1);
}

TEST_F(FolderTreeTest, WriteTextWritesEachMarkedCard) {
  AddFolderRow("F");
  AddCard("F", "one");
  AddCard("F", "two");
  Load();
  TreeNode* f = FindFolderNode(form_, "F");
  f->child(1)->info().SetMark(1);
  TempDir out;
  CWriteText writer(form_, out.Path() + "/", [](const std::string& t) { return t + ".txt"; });
  writer.Walk(nullptr);
  EXPECT_EQ(writer.written, 1);
  std::string text;
  ASSERT_TRUE(env_.ReadFile(out.File("two.txt"), &text).ok());
  EXPECT_EQ(text, "text of two");
  EXPECT_FALSE(env_.Exists(out.File("one.txt")));

  // Without a namer the title names the file, and never as a path, also
  // where a lead byte stands before "/".
  AddCard("F", "../up");
  AddCard("F", "sub\x81/inner");
  Load();
  f = FindFolderNode(form_, "F");
  for (int i = 0; i < f->child_count(); ++i) f->child(i)->info().SetMark(i >= 2 ? 1 : 0);
  std::filesystem::create_directory(out.File("sub\uFFFD"));
  CWriteText plain(form_, out.Path() + "/", nullptr);
  plain.Walk(nullptr);
  EXPECT_EQ(plain.written, 2);
  EXPECT_TRUE(env_.Exists(out.File("..／up.txt")));
  EXPECT_TRUE(env_.Exists(out.File("sub\uFFFD／inner.txt")));
  EXPECT_TRUE(std::filesystem::is_empty(out.File("sub\uFFFD")));
  EXPECT_FALSE(env_.Exists(out.Path() + "/../up.txt"));
}

TEST(ReadTextLineTest, LinesAreCutAtLineEndsAndAtTheLimit) {
  const std::string data = "A\r\nA B\r\nlong line\nlast";
  size_t pos = 0;
  std::string line;
  std::vector<std::string> got;
  while (ReadTextLine(data, &pos, 6, &line)) got.push_back(line);
  EXPECT_EQ(got, (std::vector<std::string>{"A", "A B", "long ", "line", "last"}));
}

}  // namespace
}  // namespace quill
