// The main window's folder tree on an X display with a window manager,
// driven by the real pointer (xdotool): cards and folders dragged onto
// folders, a pick placed by a click, and a drag held at the tree's bottom
// edge scrolling it.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDropEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTest>
#include <QTreeView>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "main/tree/folder_tree_model.h"
#include "main/tree/node_operations.h"
#include "main/ui/folder_tree_qt_model.h"
#include "main/ui/main_form.h"
#include "platform/headless/fake_ui.h"
#include "platform/headless/temp_dir.h"
#include "platform/qt/test_app.h"
#include "platform/qt/test_pointer.h"
#include "platform/qt/test_window.h"
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
    ASSERT_TRUE(WaitForWindowPlaced(*form_));
    form_->Tree->viewport()->installEventFilter(&drags_);
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
  // A click of the left button on `p`, once the window has taken it.
  void Click(QPoint p) {
    const int releases = drags_.releases;
    ASSERT_TRUE(RunPointerSteps(
        {{nullptr, QStringList{"mousemove"} << XdotoolPoint(p) << "click" << "1"},
         {[&] { return drags_.releases > releases; }, {}}}));
  }
  // Press on `from`; a first move once the tree has the press, which makes
  // it ready to drag, the moves that start the drag and go on to `to` once
  // it has seen that move, and the release once the drag over the tree has
  // got there. With `held`, the pointer moves on the spot there first (each
  // move over the tree is a step of the drag) and is let go once `held`
  // holds.
  void Drag(QPoint from, QPoint to, const std::function<bool()>& held = nullptr) {
    const int presses = drags_.presses;
    const auto on_the_way = [&](int quarter) {
      return XdotoolPoint(from + (to - from) * quarter / 4 + QPoint(0, quarter % 2));
    };
    int moves = 0;
    QStringList rest;
    for (int i = 2; i <= 4; ++i) rest << "mousemove" << on_the_way(i);
    const QPoint end = form_->Tree->viewport()->mapFromGlobal(to);
    const auto there = [&] { return drags_.last_drag == end; };
    std::vector<PointerStep> steps = {
        {nullptr, QStringList{"mousemove"} << XdotoolPoint(from) << "mousedown" << "1"},
        {[&] {
           moves = drags_.moves;
           return drags_.presses > presses;
         },
         QStringList{"mousemove"} << on_the_way(1)},
        {[&] { return drags_.moves > moves; }, rest}};
    if (held) {
      steps.push_back({there, QStringList{"mousemove"} << XdotoolPoint(to + QPoint(2, 0))
                                                       << "mousemove" << XdotoolPoint(to)});
    }
    steps.push_back({[&] { return there() && (!held || held()); }, {"mouseup", "1"}});
    ASSERT_TRUE(RunPointerSteps(steps));
  }
  std::string Stored(const std::string& title) {
    store::CardStore store(FileEnv::Default(), Folder());
    EXPECT_TRUE(store.Open(false, {}).ok());
    store::CardRecord c(store);
    bool found = false;
    EXPECT_TRUE(c.FindById(-1, ids_[title], false, &found).ok());
    return found ? c.folder : "-";
  }

  // What the tree's viewport has been sent by the pointer.
  struct PointerWatch final : QObject {
    bool eventFilter(QObject*, QEvent* event) override {
      switch (event->type()) {
        case QEvent::MouseButtonPress:
          ++presses;
          break;
        case QEvent::MouseButtonRelease:
          ++releases;
          break;
        case QEvent::MouseMove:
          ++moves;
          break;
        case QEvent::DragEnter:
        case QEvent::DragMove:
          last_drag = static_cast<QDropEvent*>(event)->position().toPoint();
          break;
        default:
          break;
      }
      return false;
    }
    int presses = 0;
    int releases = 0;
    int moves = 0;
    QPoint last_drag;  // in the viewport
  };

  TempDir dir_;
  FakeUi ui_;
  PointerWatch drags_;
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
  Click(At("d2"));
  form_->findChild<QAction*>("MoveNode")->trigger();
  Click(At("A"));
  EXPECT_TRUE(QTest::qWaitFor([&] { return Stored("d2") == "A"; }, 5000)) << Stored("d2");
}

TEST_F(TreeDragDesktopTest, ADragHeldAtTheBottomEdgeScrollsTheTree) {
  form_->TreeModel().tree().SetExpanded(FindFolderNode("M"), true);
  QScrollBar* bar = form_->Tree->verticalScrollBar();
  ASSERT_TRUE(QTest::qWaitFor([&] { return bar->maximum() > 0; }, 5000));
  ASSERT_EQ(bar->value(), 0);
  const QWidget* viewport = form_->Tree->viewport();
  const QPoint bottom = viewport->mapToGlobal(QPoint(60, viewport->height() - 10));
  // Held there until the tree has scrolled (or the steps' time is up).
  Drag(At("d1"), bottom, [&] { return bar->value() > 0; });
  EXPECT_GT(bar->value(), 0);
}

}  // namespace
}  // namespace quill
