#include "main/ui/folder_tree_qt_model.h"

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QPixmap>
#include <QSignalSpy>
#include <QTreeView>

#include "main/tree/folder_tree_model.h"
#include "main/tree/folder_tree_visitors.h"
#include "main/tree/node_sort.h"
#include "main/tree/tree_loader.h"
#include "platform/qt/test_app.h"
#include "platform/headless/fake_ui.h"
#include "platform/headless/fault_env.h"
#include "platform/headless/temp_dir.h"
#include "platform/text_codec.h"
#include "store/card_store.h"
#include "store/card_test_support.h"

namespace quill {
namespace {

using store::CardRecord;

class FolderTreeQtModelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TestApp();
    env_.SetFreeBytes(uint64_t{1} << 40);
    ASSERT_TRUE(store_.Open(false, folder_).ok());
    form_.set_data_set_name(Utf8ToCp932("データ"));
    settings_.AutoSort = 1;
    settings_.SortType = kSortTypeNames[0];
  }
  void Add(const std::string& folder, const std::string& title) {
    store::WriteTestCard(store_, env_.fake_clock(), folder, title, "x");
  }
  void AddFolder(const std::string& path) { Add(path, std::string(store::FolderMarkerTitle)); }

  TempDir dir_;
  std::string folder_ = dir_.Path() + "/";
  FaultEnv env_;
  store::CardStore store_{env_, folder_};
  Settings settings_;
  FakeUi ui_;
  FolderTreeModel form_{store_, settings_, ui_};
};

// The tester checks the model's answers after every signal, through a load
// (a batch), single inserts, moves, removals and caption changes.
TEST_F(FolderTreeQtModelTest, PassesTheItemModelTesterThroughEveryKindOfChange) {
  AddFolder("A");
  AddFolder("A B");
  Add("A", "a1");
  Add("A B", "b1");
  Add("C", "c1");
  FolderTreeQtModel model(form_.tree());
  QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
  QTreeView view;
  model.AttachView(&view);

  ASSERT_TRUE(LoadFolderTree(form_, nullptr).ok());
  ASSERT_EQ(model.rowCount(), 1);
  QModelIndex root = model.index(0, 0);
  EXPECT_EQ(model.data(root).toString(), QString::fromUtf8("データ(タイトル昇順)"));
  EXPECT_EQ(model.rowCount(root), 2);  // A, C
  QModelIndex a = model.index(0, 0, root);
  EXPECT_EQ(model.data(a).toString(), "A");
  EXPECT_EQ(model.rowCount(a), 2);  // B, a1
  EXPECT_EQ(model.parent(model.index(1, 0, a)), a);

  FolderTree& tree = form_.tree();
  TreeNode* a_node = model.NodeAt(a);
  TreeNode* c_node = tree.root()->child(1);
  TreeNode* fresh = tree.Insert(a_node, 0, Utf8ToCp932("新しい"), NodeInfo::Card("X"));
  EXPECT_EQ(model.data(model.index(0, 0, a)).toString(), QString::fromUtf8("新しい"));
  tree.SetText(fresh, "renamed");
  EXPECT_EQ(model.data(model.IndexOf(fresh)).toString(), "renamed");
  ASSERT_TRUE(tree.Move(fresh, c_node, 0));
  ASSERT_TRUE(tree.Move(fresh, c_node, -1));
  ASSERT_TRUE(tree.Move(a_node->child(0), a_node, 1));
  EXPECT_EQ(model.IndexOf(fresh).row(), 1);
  tree.Remove(a_node);
  EXPECT_EQ(model.rowCount(root), 1);

  // A batch that changes the shape ends in one reset.
  QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
  tree.BeginUpdate();
  for (int i = 0; i < 50; ++i) tree.AddChild(c_node, "n" + std::to_string(i), NodeInfo::Card(""));
  EXPECT_EQ(model.rowCount(), 0);  // detached while the batch runs
  tree.EndUpdate();
  EXPECT_EQ(model.rowCount(model.IndexOf(c_node)), 52);
  EXPECT_EQ(resets.count(), 2);

  // A batch that changes only rows keeps them and tells the views once.
  QSignalSpy layouts(&model, &QAbstractItemModel::layoutChanged);
  CMarkReverce(tree).Walk(nullptr);
  EXPECT_EQ(layouts.count(), 1);
  EXPECT_EQ(resets.count(), 2);
  EXPECT_EQ(model.data(model.IndexOf(c_node->child(0)), FolderTreeQtModel::MarkRole).toInt(), 1);

  // A reorder outside a batch keeps the rows: the current row follows its
  // node.
  TreeNode* current = c_node->child(3);
  view.setCurrentIndex(model.IndexOf(current));
  std::vector<TreeNode*> reversed;
  for (int i = c_node->child_count(); i-- > 0;) reversed.push_back(c_node->child(i));
  EXPECT_FALSE(tree.ReorderChildren(c_node, {reversed.begin(), reversed.end() - 1}));
  ASSERT_TRUE(tree.ReorderChildren(c_node, reversed));
  EXPECT_EQ(current->index(), 48);
  EXPECT_EQ(model.NodeAt(view.currentIndex()), current);
  EXPECT_EQ(view.currentIndex().row(), 48);
  EXPECT_EQ(resets.count(), 2);

  // Many rows removed at once outside a batch: neighbours as one removal,
  // rows apart as a reset; the rows left keep their order.
  const QModelIndex c_index = model.IndexOf(c_node);
  TreeNode* kept = c_node->child(2);
  tree.RemoveNodes({c_node->child(0), c_node->child(1)});
  EXPECT_EQ(model.rowCount(c_index), 50);
  EXPECT_EQ(resets.count(), 2);
  tree.RemoveNodes({c_node->child(1), c_node->child(3), c_node->child(4)});
  EXPECT_EQ(model.rowCount(model.IndexOf(c_node)), 47);
  EXPECT_EQ(model.NodeAt(model.index(0, 0, model.IndexOf(c_node))), kept);
  EXPECT_EQ(resets.count(), 3);
  tree.Clear();
  EXPECT_EQ(model.rowCount(), 0);
}

TEST_F(FolderTreeQtModelTest, RowsShowTheirImageIndexAndIcon) {
  AddFolder("F");
  Add("F", "plain");
  Add("F", "marked");
  ASSERT_TRUE(LoadFolderTree(form_, nullptr).ok());
  FolderTreeQtModel model(form_.tree());
  TreeNode* f = form_.tree().root()->child(0);
  f->child(0)->info().SetMark(1);  // "marked" sorts first
  f->child(0)->info().SetKind(3);
  f->child(1)->info().SetKind(4);
  auto image = [&](const TreeNode* n) {
    return model.data(model.IndexOf(n), FolderTreeQtModel::ImageIndexRole).toInt();
  };
  EXPECT_EQ(image(f), 1);
  form_.tree().SetExpanded(f, true);
  EXPECT_EQ(image(f), 2);
  EXPECT_EQ(image(f->child(0)), 108);
  EXPECT_EQ(image(f->child(1)), 9);
  EXPECT_TRUE(model.data(model.IndexOf(f), Qt::DecorationRole).isNull());

  QList<QIcon> images;
  for (int i = 0; i < kImageCount; ++i) {
    QPixmap p(16, 16);
    p.fill(QColor(i, 0, 0));
    images.push_back(QIcon(p));
  }
  model.SetImages(images);
  QIcon icon = model.data(model.IndexOf(f->child(0)), Qt::DecorationRole).value<QIcon>();
  EXPECT_EQ(icon.pixmap(16, 16).toImage().pixelColor(0, 0), QColor(108, 0, 0));
}

TEST_F(FolderTreeQtModelTest, ExpandStateAndSelectionFollowTheNodes) {
  AddFolder("F");
  AddFolder("F G");
  Add("F G", "card");
  FolderTreeQtModel model(form_.tree());
  QTreeView view;
  model.AttachView(&view);
  ASSERT_TRUE(LoadFolderTree(form_, nullptr).ok());
  FolderTree& tree = form_.tree();
  TreeNode* root = tree.root();
  TreeNode* f = root->child(0);
  TreeNode* g = f->child(0);
  // After a load: the root open, everything else closed.
  EXPECT_TRUE(view.isExpanded(model.IndexOf(root)));
  EXPECT_FALSE(view.isExpanded(model.IndexOf(f)));

  tree.SetExpanded(f, true);  // from the model
  EXPECT_TRUE(view.isExpanded(model.IndexOf(f)));
  view.expand(model.IndexOf(g));  // from the user
  EXPECT_TRUE(g->expanded());
  view.collapse(model.IndexOf(f));
  EXPECT_FALSE(f->expanded());

  EXPECT_EQ(model.SelectedNode(&view), nullptr);
  model.SelectNode(&view, g->child(0));
  EXPECT_EQ(model.SelectedNode(&view), g->child(0));
  EXPECT_EQ(tree.selected_node(), g->child(0));
}

}  // namespace
}  // namespace quill
