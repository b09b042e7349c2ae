// The main window's folder tree on an X display with a window manager,
// driven by the real pointer (xdotool): cards and folders dragged onto
// folders, a pick placed by a click, and a drag held at the tree's bottom
// edge scrolling it.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QProcess>
#include <QScrollBar>
#include <QTest>
#include <QTreeView>
#include <map>
#include <string>

#include "main/tree/folder_tree_model.h"
#include "main/tree/node_operations.h"
#include "main/ui/folder_tree_qt_model.h"
#include "main/ui/main_form.h"
#include "platform/headless/fake_ui.h"
#include "platform/headless/temp_dir.h"
#include "platform/qt/test_app.h"
#include "store/card_store.h"
#include "store/card_test_support.h"

namespace quill {
namespace {

class TreeDragDesktopTest : public testing::Test {
 protected:
  void SetUp() override {
    if (!TestAppOnX()) GTEST_SKIP() << "needs an X display";
    FileEnv& env = FileEnv::Default();
    store::CardStore store(env, Folder());
    ASSERT_TRUE(store.Open(false, {}).ok());
    ASSERT_TRUE(store.SetDurability(store::Durability::kKillSafe).ok());
    for (const char* f : {"A", "D", "M"}) store::WriteFolderRow(store, f);
    store::CardRecord c(store);
    // Enough cards in M for the tree to scroll.
    for (int i = 0; i < 60; ++i) AddCard(store, "M", "m" + std::to_string(i));
    AddCard(store, "D", "d1");
    AddCard(store, "D", "d2");
    ASSERT_TRUE(store.Close().ok());

    MainFormContext context;
    context.program_folder = Folder();
    context.registry_path = dir_.File("registry.ini");
    context.ui = &ui_;
    context.shift_down = [] { return false; };
    form_ = std::make_unique<TMainForm>(std::move(context));
    ASSERT_TRUE(form_->FormCreate().ok());
    form_->resize(600, 420);
    form_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form_.get()));
    FolderTree& tree = form_->TreeModel().tree();
    tree.SetExpanded(FindFolderNode("D"), true);
    QTest::qWait(200);
  }

  void AddCard(store::CardStore& store, const std::string& folder, const std::string& title) {
    store::CardRecord c(store);
    c.Clear();
    c.folder = folder;
    c.title = title;
    c.text = "text";
    c.position = position_++;
    ASSERT_TRUE(c.Write().ok());
    ids_[title] = c.id;
  }
  std::string Folder() const { return dir_.Path() + "/"; }

  TreeNode* FindFolderNode(const std::string& path) {
    return quill::FindFolderNode(form_->TreeModel(), path);
  }
  TreeNode* Node(const std::string& caption) {
    for (TreeNode* n = form_->TreeModel().tree().root(); n != nullptr; n = n->GetNext()) {
      if (n->text() == caption) return n;
    }
    return nullptr;
  }
  // The screen point in the middle of a row's caption.
  QPoint At(const std::string& caption) {
    auto* model = static_cast<FolderTreeQtModel*>(form_->Tree->model());
    const QRect r = form_->Tree->visualRect(model->IndexOf(Node(caption)));
    return form_->Tree->viewport()->mapToGlobal(QPoint(r.left() + 30, r.center().y()));
  }
  // Runs xdotool with these commands while the window's loop keeps going
  // (a drag runs a loop of its own until the button is released).
  void Pointer(const QStringList& commands) {
    QProcess xdotool;
    xdotool.start("xdotool", commands);
    ASSERT_TRUE(xdotool.waitForStarted(5000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return xdotool.state() == QProcess::NotRunning; }, 20000));
    ASSERT_EQ(xdotool.exitCode(), 0) << xdotool.readAllStandardError().toStdString();
    QTest::qWait(300);
  }
  static QStringList MoveTo(QPoint p) {
    return {"mousemove", QString::number(p.x()), QString::number(p.y()), "sleep", "0.1"};
  }
  // Press on `from`, several moves on the way, release on `to`.
  void Drag(QPoint from, QPoint to, int hold_moves = 0) {
    QStringList c = MoveTo(from);
    c << "mousedown" << "1" << "sleep" << "0.2";
    for (int i = 1; i <= 4; ++i) c << MoveTo(from + (to - from) * i / 4 + QPoint(0, i % 2));
    // Small moves held at the end point.
    for (int i = 0; i < hold_moves; ++i) c << MoveTo(to + QPoint(i % 2 == 0 ? 2 : -2, 0));
    c << "mouseup" << "1";
    Pointer(c);
  }
  std::string Stored(const std::string& title) {
    store::CardStore store(FileEnv::Default(), Folder());
    EXPECT_TRUE(store.Open(false, {}).ok());
    store::CardRecord c(store);
    bool found = false;
    EXPECT_TRUE(c.FindById(-1, ids_[title], false, &found).ok());
    return found ? c.folder : "-";
  }

  TempDir dir_;
  FakeUi ui_;
  std::unique_ptr<TMainForm> form_;
  std::map<std::string, std::string> ids_;
  uint32_t position_ = 0;
};

TEST_F(TreeDragDesktopTest, CardsAndFoldersDraggedWithThePointerLandOnDisk) {
  Drag(At("d1"), At("A"));
  EXPECT_TRUE(QTest::qWaitFor([&] { return Stored("d1") == "A"; }, 5000)) << Stored("d1");
  Drag(At("D"), At("A"));
  EXPECT_TRUE(QTest::qWaitFor([&] { return Stored("d2") == "A D"; }, 5000)) << Stored("d2");
  EXPECT_TRUE(ui_.questions().empty());
}

TEST_F(TreeDragDesktopTest, APickByTheMenuIsPlacedByAClick) {
  Pointer(MoveTo(At("d2")) << "click" << "1");
  form_->findChild<QAction*>("MoveNode")->trigger();
  Pointer(MoveTo(At("A")) << "click" << "1");
  EXPECT_TRUE(QTest::qWaitFor([&] { return Stored("d2") == "A"; }, 5000)) << Stored("d2");
}

TEST_F(TreeDragDesktopTest, ADragHeldAtTheBottomEdgeScrollsTheTree) {
  form_->TreeModel().tree().SetExpanded(FindFolderNode("M"), true);
  QTest::qWait(200);
  QScrollBar* bar = form_->Tree->verticalScrollBar();
  ASSERT_GT(bar->maximum(), 0);
  ASSERT_EQ(bar->value(), 0);
  const QWidget* viewport = form_->Tree->viewport();
  const QPoint bottom = viewport->mapToGlobal(QPoint(60, viewport->height() - 10));
  Drag(At("d1"), bottom, 8);
  EXPECT_GT(bar->value(), 0);
}

}  // namespace
}  // namespace quill
