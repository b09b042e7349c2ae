#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFocusEvent>
#include <QInputMethodQueryEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTest>
#include <QTreeView>
#include <string>

#include "main/editor/card_editor.h"
#include "main/tree/folder_tree_model.h"
#include "main/tree/node_operations.h"
#include "main/ui/folder_tree_qt_model.h"
#include "main/ui/main_form.h"
#include "platform/headless/fake_ui.h"
#include "platform/headless/fault_env.h"
#include "platform/headless/temp_dir.h"
#include "platform/messages.h"
#include "platform/qt/cp932_text.h"
#include "platform/qt/test_app.h"
#include "platform/text_codec.h"
#include "platform/ui.h"
#include "store/card_store.h"
#include "store/card_test_support.h"

namespace quill {
namespace {

// The data set of every test: Data{A{B{b1},a1,a2,a3},D{d1}}.
class MainFormFoldersTest : public testing::Test {
 protected:
  MainFormFoldersTest() {
    TestApp();
    env_.SetFreeBytes(uint64_t{1} << 40);
    store::CardStore store(env_, Folder());
    EXPECT_TRUE(store.Open(false, {}).ok());
    for (const char* f : {"A", "A B", "D"}) store::WriteFolderRow(store, f);
    uint32_t position = 0;
    for (const char* c : {"A a1", "A a2", "A a3", "A B b1", "D d1"}) {
      const std::string s = c;
      const size_t at = s.rfind(' ');
      ids_[s.substr(at + 1)] =
          store::WriteTestCard(store, env_.fake_clock(), s.substr(0, at), s.substr(at + 1),
                               "text of " + s.substr(at + 1), position++);
    }
  }

  void Start() {
    MainFormContext context;
    context.env = &env_;
    context.program_folder = Folder();
    context.registry_path = dir_.File("registry.ini");
    context.ui = &dialog_;
    context.shift_down = [] { return false; };
    form_ = std::make_unique<TMainForm>(std::move(context));
    ASSERT_TRUE(form_->FormCreate().ok());
    form_->resize(700, 600);
    form_->show();
    FolderTree& tree = form_->TreeModel().tree();
    tree.SetExpandedBranch(tree.root(), true);
    form_->Tree->setFocus();
    QApplication::processEvents();
  }
  std::string Folder() const { return dir_.Path() + "/"; }

  TreeNode* Node(const std::string& caption) {
    FolderTree& tree = form_->TreeModel().tree();
    if (caption == "root") return tree.root();
    for (TreeNode* n = tree.root(); n != nullptr; n = n->GetNext()) {
      if (n->text() == caption) return n;
    }
    return nullptr;
  }
  FolderTreeQtModel* Model() { return static_cast<FolderTreeQtModel*>(form_->Tree->model()); }
  QRect Row(const std::string& caption) {
    return form_->Tree->visualRect(Model()->IndexOf(Node(caption)));
  }
  // The middle of the row's text, and of its icon.
  QPoint Text(const std::string& caption) { return Row(caption).center() + QPoint(20, 0); }
  QPoint Icon(const std::string& caption) {
    const QRect r = Row(caption);
    return QPoint(r.left() + 4 + form_->Tree->iconSize().width() / 2, r.center().y());
  }
  void Click(QPoint at, Qt::MouseButton button = Qt::LeftButton) {
    QTest::mouseClick(form_->Tree->viewport(), button, {}, at);
  }
  void Select(const std::string& caption) {
    form_->Tree->setCurrentIndex(Model()->IndexOf(Node(caption)));
  }
  void Key(Qt::Key key) { QTest::keyClick(form_->Tree, key); }
  // The marks of a1, a2, a3, b1 and d1.
  std::string Marks() {
    std::string s;
    for (const char* c : {"a1", "a2", "a3", "b1", "d1"}) {
      TreeNode* n = Node(c);
      s += n != nullptr ? static_cast<char>('0' + n->info().Mark()) : '-';
    }
    return s;
  }
  void SetMarks(const std::string& marks) {
    const char* cards[] = {"a1", "a2", "a3", "b1", "d1"};
    for (size_t i = 0; i < 5; ++i) {
      Node(cards[i])->info().SetMark(static_cast<uint8_t>(marks[i] - '0'));
    }
    UpdateCountDisplay(form_->TreeModel(), true);
  }
  // A node of this tree dropped at a point of the tree.
  void Drop(const std::string& dragged, QPoint at) {
    QMimeData data;
    TreeNode* n = Node(dragged);
    const std::string name = n->IsFolder() ? "folder " + GetFolderPath(n)
                                           : "card " + std::string(n->info().TextId());
    data.setData(FolderTreeQtModel::kNodeMimeType, QByteArray::fromStdString(name));
    // Qt hands a drop to the widget that took the drag's entry.
    QDragEnterEvent enter(at, Qt::MoveAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(form_->Tree->viewport(), &enter);
    QDropEvent drop(QPointF(at), Qt::MoveAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(form_->Tree->viewport(), &drop);
  }
  std::string Status() { return ToCp932(form_->findChild<QLabel*>("Status")->text()); }
  // The stored folder and bin state of a card.
  std::string Stored(const std::string& title) {
    store::CardStore store(env_, Folder());
    EXPECT_TRUE(store.Open(false, {}).ok());
    store::CardRecord c(store);
    bool found = false;
    EXPECT_TRUE(c.FindById(-1, ids_[title], false, &found).ok());
    if (!found) return "-";
    return c.folder + (c.deleted == 'D' ? " (bin)" : "");
  }
  std::string Question(size_t i) { return dialog_.questions().at(i).text; }

  TempDir dir_;
  FaultEnv env_;
  FakeUi dialog_;
  std::map<std::string, std::string> ids_;
  std::unique_ptr<TMainForm> form_;
};

TEST_F(MainFormFoldersTest, SpaceMarksAndMovesDownAndIconClicksToggleTheMark) {
  Start();
  Select("a1");
  Key(Qt::Key_Space);
  EXPECT_EQ(Marks(), "10000");
  EXPECT_EQ(form_->Tree->currentIndex(), Model()->IndexOf(Node("a2")));
  Key(Qt::Key_Up);
  Key(Qt::Key_Space);
  EXPECT_EQ(Marks(), "00000");
  // A click on an icon toggles the card's mark; one on the text does not.
  Click(Icon("a3"));
  EXPECT_EQ(Marks(), "00100");
  Click(Text("a3"));
  EXPECT_EQ(Marks(), "00100");
  Click(Icon("a3"));
  EXPECT_EQ(Marks(), "00000");
  EXPECT_EQ(form_->TreeModel().marked_count, 0);
}

TEST_F(MainFormFoldersTest, APickIsPlacedByEnterOrAClickAndCancelledByEsc) {
  Start();
  // Picked by the menu, placed by Enter on the selected folder.
  Select("a1");
  form_->findChild<QAction*>("MoveNode")->trigger();
  EXPECT_EQ(Status(), Utf8ToCp932("移動先？"));
  EXPECT_EQ(Marks(), "20000");
  Key(Qt::Key_Down);  // arrows leave the pick alone
  Select("D");
  Key(Qt::Key_Return);
  EXPECT_EQ(Stored("a1"), "D");
  EXPECT_EQ(Status(), "");
  EXPECT_EQ(Marks(), "00000");
  // Esc cancels a pick.
  Select("a2");
  form_->MoveNodeClick();
  Key(Qt::Key_Escape);
  EXPECT_EQ(Status(), "");
  EXPECT_EQ(Marks(), "00000");
  EXPECT_EQ(Stored("a2"), "A");
  // Empty space beeps and keeps the pick; a click on a node places it.
  Select("a2");
  form_->MoveNodeClick();
  const int beeps = dialog_.beeps();
  Click(QPoint(20, form_->Tree->viewport()->height() - 5));
  EXPECT_EQ(dialog_.beeps(), beeps + 1);
  EXPECT_EQ(Status(), Utf8ToCp932("移動先？"));
  Click(Text("B"));
  EXPECT_EQ(Stored("a2"), "A B");
  EXPECT_EQ(Status(), "");
}

TEST_F(MainFormFoldersTest, AQuestionDuringAMoveKeepsThePickAndAFocusMoveEndsIt) {
  Start();
  SetMarks("11100");
  Select("a1");
  form_->MoveNodeClick();
  EXPECT_EQ(Marks(), "33300");
  // The move's own question takes the focus from the tree.
  std::string during;
  dialog_.on_question = [&](const FakeUi::Question&) {
    QFocusEvent out(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
    QApplication::sendEvent(form_->Tree, &out);
    during = Marks();
  };
  dialog_.Answer(kResultYes);
  Click(Text("D"));
  EXPECT_EQ(during, "33300");
  ASSERT_EQ(dialog_.questions().size(), 1u);
  EXPECT_EQ(Question(0), MessageText(MessageId::kConfirmMoveMarkedCards));
  for (const char* c : {"a1", "a2", "a3"}) EXPECT_EQ(Stored(c), "D") << c;
  EXPECT_EQ(Marks(), "11100");
  // The focus going to another control ends a pick.
  dialog_.on_question = nullptr;
  Select("b1");
  form_->MoveNodeClick();
  QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
  QApplication::sendEvent(form_->Tree, &out);
  EXPECT_EQ(Status(), "");
  EXPECT_EQ(Marks(), "11100");
}

TEST_F(MainFormFoldersTest, ADraggedMarkedCardTakesTheMarkedCardsAfterOneQuestion) {
  Start();
  SetMarks("11100");
  dialog_.Answer(kResultYes);
  Select("a2");
  Drop("a2", Text("d1"));
  ASSERT_EQ(dialog_.questions().size(), 1u);
  for (const char* c : {"a1", "a2", "a3"}) EXPECT_EQ(Stored(c), "D") << c;
  // Just before the target card, in order; the marks are back.
  const TreeNode* d = Node("D");
  ASSERT_EQ(d->child_count(), 4);
  EXPECT_EQ(d->child(3)->text(), "d1");
  EXPECT_EQ(Marks(), "11100");
  // An unmarked card moves alone, without a question; a drop beside every
  // row beeps.
  Drop("b1", Text("D"));
  EXPECT_EQ(Stored("b1"), "D");
  EXPECT_EQ(dialog_.questions().size(), 1u);
  const int beeps = dialog_.beeps();
  Drop("d1", QPoint(20, form_->Tree->viewport()->height() - 5));
  EXPECT_EQ(dialog_.beeps(), beeps + 1);
  EXPECT_EQ(Stored("d1"), "D");
}

TEST_F(MainFormFoldersTest, TheEditorsCardFollowsItsFolderAndIsSavedThere) {
  Start();
  Click(Text("b1"));
  ASSERT_EQ(ToCp932(form_->Title->text()), "b1");
  // Up to its folder (its opening waits a moment), picked, placed on D:
  // the editor still holds b1.
  Key(Qt::Key_Up);
  form_->MoveNodeClick();
  Click(Text("D"));
  EXPECT_EQ(Stored("b1"), "D B");
  ASSERT_EQ(ToCp932(form_->Title->text()), "b1");
  form_->Text->setPlainText("edited");
  form_->SaveButtonClick();
  store::CardStore store(env_, Folder());
  ASSERT_TRUE(store.Open(false, {}).ok());
  const auto cards = store::CardsOfFolder(store, "D B");
  ASSERT_EQ(cards.size(), 1u);
  EXPECT_EQ(cards[0].text, "edited");
  EXPECT_TRUE(store::CardsOfFolder(store, "A B").empty());
}

TEST_F(MainFormFoldersTest, ACaptionEditedInPlaceRenamesTheFolder) {
  Start();
  Select("B");
  // An empty name beeps; the caption stays.
  const auto edit = [this](const char* text) {
    form_->findChild<QAction*>("Rename")->trigger();
    auto* editor = form_->Tree->viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    editor->setText(QString::fromUtf8(text));
    QTest::keyClick(editor, Qt::Key_Return);
    QTest::qWait(20);
  };
  edit("");
  EXPECT_EQ(dialog_.beeps(), 1);
  EXPECT_NE(Node("B"), nullptr);
  edit("C");
  EXPECT_EQ(Stored("b1"), "A C");
  EXPECT_NE(Node("C"), nullptr);
}

// Keys in the tree are commands (Space marks), so input methods stay out
// of it: it answers no to the question an input method asks the focused
// widget, also after a name was edited in place; the editor of a folder
// name takes them.
TEST_F(MainFormFoldersTest, InputMethodsStayOutOfTheTreeButReachTheNameEditor) {
  Start();
  const auto takes_input_method = [](QWidget* w) {
    QInputMethodQueryEvent query(Qt::ImEnabled);
    QApplication::sendEvent(w, &query);
    return query.value(Qt::ImEnabled).toBool();
  };
  EXPECT_FALSE(takes_input_method(form_->Tree));
  Select("B");
  form_->findChild<QAction*>("Rename")->trigger();
  auto* editor = form_->Tree->viewport()->findChild<QLineEdit*>();
  ASSERT_NE(editor, nullptr);
  EXPECT_TRUE(takes_input_method(editor));
  editor->setText("C");
  QTest::keyClick(editor, Qt::Key_Return);
  QTRY_VERIFY(Node("C") != nullptr);
  EXPECT_FALSE(takes_input_method(form_->Tree));
}

TEST_F(MainFormFoldersTest, ANewFolderIsNamedInPlaceAtOnce) {
  Start();
  Select("a1");
  form_->SinkiForuda->click();
  auto* editor = form_->Tree->viewport()->findChild<QLineEdit*>();
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(editor->text(), QString::fromUtf8("新規フォルダ"));
  editor->setText("N");
  QTest::keyClick(editor, Qt::Key_Return);
  QTest::qWait(20);
  TreeNode* named = Node("N");
  ASSERT_NE(named, nullptr);
  EXPECT_EQ(GetFolderPath(named), "A N");
  EXPECT_EQ(Node(ToCp932(QString::fromUtf8("新規フォルダ"))), nullptr);
}

TEST_F(MainFormFoldersTest, DeleteMovesMarkedCardsOrAFolderToTheBinAfterAsking) {
  Start();
  // No changes nothing.
  SetMarks("11000");
  Select("a1");
  dialog_.Answer(kResultNo);
  Key(Qt::Key_Delete);
  EXPECT_EQ(Stored("a1"), "A");
  // Marked cards: one question, both in the bin, restorable.
  dialog_.Answer(kResultYes);
  form_->Sakujo->click();
  ASSERT_EQ(dialog_.questions().size(), 2u);
  EXPECT_EQ(Question(1), MessageText(MessageId::kConfirmDeleteMarkedCards));
  EXPECT_EQ(Stored("a1"), "A (bin)");
  EXPECT_EQ(Stored("a2"), "A (bin)");
  EXPECT_EQ(Node("a1"), nullptr);
  EXPECT_EQ(form_->TreeModel().card_count, 3);
  {
    store::CardStore store(env_, Folder());
    ASSERT_TRUE(store.Open(false, {}).ok());
    store::CardRecord c(store);
    ASSERT_TRUE(c.Restore(ids_["a1"]).ok());
  }
  EXPECT_EQ(Stored("a1"), "A");
  // A folder: two questions; its cards go to the bin, its folder rows
  // and its node go, the folder list is written.
  Click(Text("b1"));  // the editor holds a card of the folder
  Select("A");
  dialog_.Answer(kResultYes);
  dialog_.Answer(kResultYes);
  form_->IkkatuDeleteClick();
  ASSERT_EQ(dialog_.questions().size(), 4u);
  EXPECT_EQ(Question(2), MessageText(MessageId::kConfirmDeleteFolder));
  EXPECT_EQ(Question(3), MessageText(MessageId::kConfirmDeleteFolderAgain));
  EXPECT_EQ(Stored("b1"), "A B (bin)");
  EXPECT_EQ(Stored("a3"), "A (bin)");
  EXPECT_EQ(Node("A"), nullptr);
  std::string list;
  ASSERT_TRUE(env_.ReadFile(Folder() + "quilbo7.tre", &list).ok());
  EXPECT_EQ(list, "D\r\n");
  // The deleted editor's card is never written back out of the bin.
  form_->SaveButtonClick();
  EXPECT_EQ(Stored("b1"), "A B (bin)");
}

}  // namespace
}  // namespace quill
