#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTreeView>

#include "main/tree/folder_tree_model.h"
#include "main/ui/main_form.h"
#include "platform/qt/test_app.h"
#include "platform/headless/fake_ui.h"
#include "platform/headless/fault_env.h"
#include "platform/headless/temp_dir.h"
#include "platform/text_codec.h"
#include "store/card_store.h"

namespace quill {
namespace {

QString U(const char* s) { return QString::fromUtf8(s); }

class MainFormTreeTest : public testing::Test {
 protected:
  MainFormTreeTest() {
    TestApp();
    env_.SetFreeBytes(uint64_t{1} << 40);
  }

  // Writes rows into the program folder's data set, as an earlier run
  // would have left them.
  void AddRow(const std::string& folder, const std::string& title, bool folder_row = false) {
    store::CardStore store(env_, Folder());
    ASSERT_TRUE(store.Open(false, {}).ok());
    store::CardRecord c(store);
    c.Clear();
    c.folder = folder;
    c.title = folder_row ? std::string(store::FolderMarkerTitle) : title;
    c.text = "text";
    c.position = position_++;
    ASSERT_TRUE(c.Write().ok());
    env_.fake_clock().AdvanceMs(1);
  }

  std::unique_ptr<TMainForm> MakeForm() {
    MainFormContext context;
    context.env = &env_;
    context.program_folder = Folder();
    context.registry_path = dir_.File("registry.ini");
    context.ui = &dialog_;
    return std::make_unique<TMainForm>(std::move(context));
  }

  std::string Folder() const { return dir_.Path() + "/"; }

  // The view's rows below index as "caption{child,child}".
  static QString Shape(const QAbstractItemModel* m, const QModelIndex& index) {
    QString s = m->data(index).toString();
    const int rows = m->rowCount(index);
    if (rows == 0) return s;
    QStringList children;
    for (int i = 0; i < rows; ++i) children << Shape(m, m->index(i, 0, index));
    return s + "{" + children.join(",") + "}";
  }

  TempDir dir_;
  FaultEnv env_;
  FakeUi dialog_;
  uint32_t position_ = 0;
};

TEST_F(MainFormTreeTest, TheDataSetShowsInTheWindowsTree) {
  AddRow("A", "", true);
  AddRow("A B", "", true);
  AddRow("A", Utf8ToCp932("メモ"));
  AddRow("A B", "b1");
  AddRow("b", "", true);
  AddRow("b", "x");
  auto form = MakeForm();
  ASSERT_TRUE(form->FormCreate().ok());
  QAbstractItemModel* model = form->Tree->model();
  ASSERT_NE(model, nullptr);
  EXPECT_EQ(Shape(model, model->index(0, 0)), U("データ１{A{B{b1},メモ},b{x}}"));
  // The root is selected and expanded, the folders below it collapsed.
  const QModelIndex root = model->index(0, 0);
  EXPECT_EQ(form->Tree->currentIndex(), root);
  EXPECT_TRUE(form->Tree->isExpanded(root));
  EXPECT_FALSE(form->Tree->isExpanded(model->index(0, 0, root)));
  // Counters, the hidden progress bar, and everything enabled again.
  EXPECT_EQ(form->CardCount->text().trimmed(), "3");
  EXPECT_EQ(form->MarkCount->text(), "");
  EXPECT_FALSE(form->Progres->isVisible());
  EXPECT_TRUE(form->Panel1->isEnabled());
  for (QAction* menu : form->menuBar()->actions()) EXPECT_TRUE(menu->isEnabled());
  EXPECT_TRUE(dialog_.questions().empty());
}

TEST_F(MainFormTreeTest, BusyStateDisablesThePanelsAndMenus) {
  auto form = MakeForm();
  ASSERT_TRUE(form->FormCreate().ok());
  {
    BusyScope busy(form->TreeModel().busy());
    EXPECT_FALSE(form->Panel1->isEnabled());
    EXPECT_FALSE(form->Text->isEnabled());
    const QList<QAction*> menus = form->menuBar()->actions();
    for (int i = 0; i < menus.size(); ++i) EXPECT_EQ(menus[i]->isEnabled(), i >= 5) << i;
  }
  EXPECT_TRUE(form->Panel1->isEnabled());
  EXPECT_TRUE(form->Text->isEnabled());
}

TEST_F(MainFormTreeTest, ACardThatCannotBeMovedIntoFolderZeroEndsTheStart) {
  AddRow("", "loose");
  env_.SetFreeBytes(1000);
  auto form = MakeForm();
  Status s = form->FormCreate();
  EXPECT_EQ(s.code(), Status::kNoSpace);
  ASSERT_FALSE(dialog_.questions().empty());
  EXPECT_EQ(dialog_.questions().front().text, Utf8ToCp932("空き容量が少ないので終了します"));
  EXPECT_TRUE(form->start_failure_reported());  // the start shows no second message
}

}  // namespace
}  // namespace quill
