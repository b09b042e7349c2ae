#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QAction>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeView>
#include <map>
#include <string>

#include "main/tree/folder_tree_model.h"
#include "main/tree/node_operations.h"
#include "main/tree/node_sort.h"
#include "main/ui/card_icons.h"
#include "platform/qt/cp932_text.h"
#include "main/ui/main_form.h"
#include "main/ui/main_form_test_support.h"
#include "platform/qt/test_app.h"
#include "platform/headless/fake_ui.h"
#include "platform/headless/fault_env.h"
#include "platform/headless/temp_dir.h"
#include "platform/text_codec.h"
#include "store/card_store.h"

namespace quill {
namespace {

// The data set of every test: Data{A{B{b1},a1,a2},C{c1}}; a1 and c1 are
// listed for one-shot paste.
class MainFormMarksTest : public testing::Test {
 protected:
  MainFormMarksTest() {
    TestApp();
    env_.SetFreeBytes(uint64_t{1} << 40);
    store::CardStore store(env_, Folder());
    EXPECT_TRUE(store.Open(false, {}).ok());
    store::CardRecord c(store);
    const struct {
      const char* folder;
      const char* title;
      uint8_t paste;
    } rows[] = {{"A", nullptr, 0}, {"A B", nullptr, 0}, {"C", nullptr, 0}, {"A", "a1", 1},
                {"A", "a2", 0},    {"A B", "b1", 0},    {"C", "c1", 1}};
    uint32_t position = 0;
    for (const auto& r : rows) {
      c.Clear();
      c.folder = r.folder;
      c.title = r.title != nullptr ? r.title : std::string(store::FolderMarkerTitle);
      c.text = r.title != nullptr ? std::string("text of ") + r.title : "";
      c.one_shot_paste = r.paste;
      c.position = position++;
      c.ctime = 1700000000 + position * 86400;
      c.utime = c.ctime + 3600;
      EXPECT_TRUE(c.Write().ok());
      env_.fake_clock().AdvanceMs(1);
    }
  }

  std::unique_ptr<TMainForm> MakeForm() {
    MainFormContext context;
    context.env = &env_;
    context.program_folder = Folder();
    context.registry_path = dir_.File("registry.ini");
    context.ui = &dialog_;
    // The jump test's Shift clicks leave no Shift held at the next start.
    context.shift_down = [] { return false; };
    return StartedForm(std::move(context));
  }
  std::string Folder() const { return dir_.Path() + "/"; }
  std::string FileBytes(const std::string& name) {
    std::string bytes;
    EXPECT_TRUE(env_.ReadFile(Folder() + name, &bytes).ok()) << name;
    return bytes;
  }

  static TreeNode* Node(TMainForm& form, const std::string& caption) {
    if (caption == "root") return form.TreeModel().tree().root();
    for (TreeNode* n = form.TreeModel().tree().root(); n != nullptr; n = n->GetNext()) {
      if (n->text() == caption) return n;
    }
    return nullptr;
  }
  // Chooses the node's row as the user would.
  static void Select(TMainForm& form, const std::string& caption) {
    TreeNode* n = Node(form, caption);
    ASSERT_NE(n, nullptr) << caption;
    for (TreeNode* p = n->parent(); p != nullptr; p = p->parent()) {
      form.TreeModel().tree().SetExpanded(p, true);
    }
    auto* model = form.Tree->model();
    QModelIndex index = model->index(0, 0);
    std::vector<int> rows;
    for (const TreeNode* m = n; m->parent() != nullptr; m = m->parent()) rows.push_back(m->index());
    for (auto it = rows.rbegin(); it != rows.rend(); ++it) index = model->index(*it, 0, index);
    form.Tree->setCurrentIndex(index);
  }
  static std::string Current(TMainForm& form) {
    return ToCp932(form.Tree->currentIndex().data().toString());
  }
  // The marks of a1, a2, b1 and c1 ("-" for a card not in the tree).
  static std::string Marks(TMainForm& form) {
    std::string s;
    for (const char* c : {"a1", "a2", "b1", "c1"}) {
      TreeNode* n = Node(form, c);
      s += n != nullptr ? static_cast<char>('0' + n->info().Mark()) : '-';
    }
    return s;
  }
  static void SetMarks(TMainForm& form, const std::string& marks) {
    const char* cards[] = {"a1", "a2", "b1", "c1"};
    for (size_t i = 0; i < 4; ++i) {
      Node(form, cards[i])->info().SetMark(static_cast<uint8_t>(marks[i] - '0'));
    }
    UpdateCountDisplay(form.TreeModel(), true);
  }
  static void Trigger(TMainForm& form, const char* action) {
    QAction* a = form.findChild<QAction*>(action);
    ASSERT_NE(a, nullptr) << action;
    a->trigger();
  }

  TempDir dir_;
  FaultEnv env_;
  FakeUi dialog_;
};

TEST_F(MainFormMarksTest, EachMarkCommandMarksItsCardsAndTheCountersFollow) {
  const struct {
    const char* action;
    const char* before;
    const char* selected;
    const char* after;
  } cases[] = {
      {"SetAllMark", "0000", "a1", "1111"},       {"FolderMark", "0000", "a1", "1100"},
      {"FolderMark2", "0000", "a1", "1110"},      {"MarkClear", "1111", "a1", "0000"},
      {"FolderMarkClear", "1111", "A", "0011"},   {"FolderMarkClear2", "1111", "A", "0001"},
      {"SetMarkPopup", "0110", "C", "1001"},      {"SetMarkNoPopup", "1001", "C", "0110"},
      {"MarkReverce", "1010", "b1", "0101"},      {"OffNoMark", "1010", "b1", "1-1-"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.action);
    auto form = MakeForm();
    const std::string table = FileBytes("quilbo7.dat");
    Select(*form, c.selected);
    SetMarks(*form, c.before);
    Trigger(*form, c.action);
    EXPECT_EQ(Marks(*form), c.after);
    int cards = 0, marked = 0;
    for (const char* m = c.after; *m != '\0'; ++m) {
      cards += *m != '-';
      marked += *m == '1';
    }
    EXPECT_EQ(form->CardCount->text(), QString::asprintf("%5d", cards));
    EXPECT_EQ(form->MarkCount->text(), marked != 0 ? QString::asprintf("%5d", marked) : QString());
    EXPECT_EQ(form->ToMark->isEnabled(), marked != 0);
    EXPECT_EQ(form->MarkClearBT->isEnabled(), marked != 0);
    EXPECT_EQ(form->TreeModel().tree_complete, std::string(c.action) == "OffNoMark" ? 0 : 1);
    EXPECT_EQ(FileBytes("quilbo7.dat"), table);
    EXPECT_TRUE(dialog_.questions().empty());
  }
  // The button clears like the menu item.
  auto form = MakeForm();
  SetMarks(*form, "1011");
  form->MarkClearBT->click();
  EXPECT_EQ(Marks(*form), "0000");
  EXPECT_FALSE(form->MarkClearBT->isEnabled());
}

TEST_F(MainFormMarksTest, CardsLeavingTheTreeTakeTheEditorsCardOnlyAfterItIsSaved) {
  auto form = MakeForm();
  Select(*form, "a2");
  ASSERT_EQ(form->Title->text(), "a2");
  form->Text->setFocus();
  form->Text->selectAll();
  form->Text->insertPlainText("edited");
  SetMarks(*form, "1000");
  Trigger(*form, "OffNoMark");
  EXPECT_EQ(Marks(*form), "1---");
  // The edit was stored; the editor holds no card of a removed node.
  store::CardStore store(env_, Folder());
  ASSERT_TRUE(store.Open(false, {}).ok());
  store::CardRecord c(store);
  std::map<std::string, std::string> texts;
  std::vector<int64_t> rows;
  ASSERT_TRUE(c.FindCardsByFolder("A", &rows).ok());
  for (int64_t r : rows) {
    c.SetRecNo(r);
    ASSERT_TRUE(c.Load(true).ok());
    texts[c.title] = c.text;
  }
  EXPECT_EQ(texts["a2"], "edited");
  EXPECT_LT(form->EditCard().row, 0);
  EXPECT_EQ(form->Title->text(), "");
  EXPECT_EQ(Current(*form), "A");
  form->SaveButton->click();
  EXPECT_EQ(Marks(*form), "1---");
}

TEST_F(MainFormMarksTest, TheJumpGoesToTheNextOrPreviousMarkWithoutWrappingAround) {
  const struct {
    const char* from;
    Qt::KeyboardModifiers modifiers;
    const char* to;
  } cases[] = {
      {"a1", Qt::NoModifier, "a2"},
      {"root", Qt::NoModifier, "a2"},
      {"c1", Qt::NoModifier, "c1"},     // past the last mark: stays
      {"c1", Qt::ShiftModifier, "a2"},
      {"a2", Qt::ShiftModifier, "a2"},  // nothing before the first mark
  };
  auto form = MakeForm();
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.from) + (c.modifiers ? " with Shift" : ""));
    Select(*form, c.from);
    SetMarks(*form, "0101");
    QTest::mouseClick(form->ToMark, Qt::LeftButton, c.modifiers);
    EXPECT_EQ(Current(*form), c.to);
    EXPECT_EQ(form->TreeModel().tree().selected_node(), Node(*form, c.to));
    if (std::string(c.to) != "root") {
      EXPECT_EQ(ToCp932(form->Title->text()), c.to);
    }
  }
}

TEST_F(MainFormMarksTest, TheTreePopupEnablesItsItemsByTheSelectionTheSettingAndTheMarks) {
  auto form = MakeForm();
  for (const char* selected : {"A", "a1"}) {
    for (int auto_sort : {0, 1}) {
      for (const char* marks : {"0000", "0010"}) {
        for (bool deletable : {true, false}) {
          SCOPED_TRACE(std::string(selected) + " AutoSort " + std::to_string(auto_sort) +
                       " marks " + marks + (deletable ? "" : " no delete"));
          Select(*form, selected);
          form->TreeModel().settings().AutoSort = static_cast<uint16_t>(auto_sort);
          SetMarks(*form, marks);
          form->Sakujo->setEnabled(deletable);
          form->ListPopupPopup();
          const bool folder = std::string(selected) == "A";
          auto enabled = [&](const char* name) {
            return form->findChild<QAction*>(name)->isEnabled();
          };
          EXPECT_EQ(enabled("Rename"), folder);
          EXPECT_EQ(enabled("SortItem"), !folder || auto_sort != 0);
          EXPECT_EQ(enabled("IkkatuTikan"), std::string(marks) != "0000");
          EXPECT_EQ(enabled("DeleteNode"), deletable);
        }
      }
    }
  }
}

TEST_F(MainFormMarksTest, AListFormatRecaptionsEveryCardAndIsStored) {
  auto form = MakeForm();
  Trigger(*form, "K7");  // update date and title
  for (const char* c : {"a1", "a2", "b1", "c1"}) {
    EXPECT_EQ(Node(*form, c), nullptr) << c;
  }
  // Days 4 to 7 after 2023-11-14, updated an hour after their creation.
  const char* captions[] = {"23/11/18 a1", "23/11/19 a2", "23/11/20 b1", "23/11/21 c1"};
  for (const char* c : captions) EXPECT_NE(Node(*form, c), nullptr) << c;
  EXPECT_NE(FileBytes("quillmain.ini").find("TitleFmt=2"), std::string::npos);
  Trigger(*form, "K5");
  EXPECT_NE(Node(*form, "a1"), nullptr);
  EXPECT_NE(FileBytes("quillmain.ini").find("TitleFmt=0"), std::string::npos);
}

TEST_F(MainFormMarksTest, TheSortItemsSortTheFolderOrChooseTheLoadersOrder) {
  auto form = MakeForm();
  Select(*form, "a1");
  Trigger(*form, "CodeKoujun");
  TreeNode* a = Node(*form, "A");
  ASSERT_EQ(a->child_count(), 3);
  EXPECT_EQ(a->child(1)->text(), "a2");
  EXPECT_EQ(a->child(2)->text(), "a1");
  // The editor's card keeps the position just stored for it.
  EXPECT_EQ(ToCp932(form->Title->text()), "a1");
  EXPECT_EQ(form->EditCard().position, 1u);
  EXPECT_EQ(Current(*form), "a1");

  form->TreeModel().settings().AutoSort = 1;
  Trigger(*form, "UpdateKoujun");
  EXPECT_EQ(form->settings().SortType, kSortTypeNames[5]);
  EXPECT_NE(FileBytes("quillmain.ini").find("SortType=" + std::string(kSortTypeNames[5])),
            std::string::npos);
  EXPECT_EQ(form->TreeModel().tree().root()->text(),
            Utf8ToCp932("データ１(") + kSortTypeNames[5] + ")");
  a = Node(*form, "A");
  EXPECT_EQ(a->child(1)->text(), "a2");  // updated later than a1
  EXPECT_TRUE(dialog_.questions().empty());
}

TEST_F(MainFormMarksTest, TheImageListFeedsTheTreeAndTheKindButton) {
  auto form = MakeForm();
  EXPECT_TRUE(env_.Exists(Folder() + "cardicon.bmp"));
  const CardIconList& images = form->ImageList();
  ASSERT_EQ(images.count(), 205);
  Select(*form, "a1");
  SetMarks(*form, "1000");
  auto shown = [&](const char* caption) {
    const QModelIndex i = form->Tree->currentIndex();
    EXPECT_EQ(ToCp932(i.data().toString()), caption);
    const QIcon icon = i.data(Qt::DecorationRole).value<QIcon>();
    const QImage normal = icon.pixmap(QSize(16, 16)).toImage().convertToFormat(QImage::Format_RGB32);
    // A selected row looks as an unselected one.
    EXPECT_EQ(icon.pixmap(QSize(16, 16), QIcon::Selected).toImage().convertToFormat(
                  QImage::Format_RGB32),
              normal);
    return normal;
  };
  EXPECT_EQ(shown("a1"), images.Image(105));
  form->LoadCardIcons(0, CardIconList::BuiltInCardIcon(11));
  EXPECT_EQ(shown("a1"), images.Image(105));
  EXPECT_EQ(images.Image(105), CardIconList::WithMark(CardIconList::BuiltInCardIcon(11)));
  EXPECT_EQ(form->KindButton->icon().pixmap(16, 16).toImage().convertToFormat(
                QImage::Format_RGB32),
            images.Image(5));
}

TEST_F(MainFormMarksTest, RefreshingTheSelectionOpensItAnewAndRunTreeOpenExpandsAll) {
  auto form = MakeForm();
  Select(*form, "a1");
  form->Title->setText("unsaved");
  form->TreeModel().settings().RunTreeOpen = 1;
  form->RefreshTreeSelection();
  for (const char* folder : {"A", "B", "C"}) EXPECT_TRUE(Node(*form, folder)->expanded());
  // Opened anew: the editor's edit was stored first, then shown again.
  EXPECT_EQ(Current(*form), "unsaved");
  EXPECT_EQ(form->EditCard().title, "unsaved");
  EXPECT_FALSE(form->SaveButton->isEnabled());
}

// "再読込" shows the whole tree again, opened out with RunTreeOpen; the
// popup's "再読込(&A)" only reloads it.
TEST_F(MainFormMarksTest, ReloadingTheTreeBringsBackEveryCardAndOpensItWithRunTreeOpen) {
  auto form = MakeForm();
  Select(*form, "a2");
  Trigger(*form, "OffNoMark");
  ASSERT_EQ(Node(*form, "a1"), nullptr);
  form->TreeModel().settings().RunTreeOpen = 1;
  form->GrepKaijo->click();
  for (const char* c : {"a1", "a2", "b1", "c1"}) EXPECT_NE(Node(*form, c), nullptr) << c;
  for (const char* folder : {"A", "B", "C"}) EXPECT_TRUE(Node(*form, folder)->expanded());

  Trigger(*form, "OffNoMark");
  ASSERT_EQ(Node(*form, "a1"), nullptr);
  Trigger(*form, "GrepOff");
  for (const char* c : {"a1", "a2", "b1", "c1"}) EXPECT_NE(Node(*form, c), nullptr) << c;
}

// The popup's font item sets the tree's font and font colour even while
// the text had the focus; the colour command its background. The shown
// window paints both at once.
TEST_F(MainFormMarksTest, TheTreeFontItemAndTheColourCommandShowAtOnce) {
  const QColor red(255, 0, 0), yellow(255, 255, 0);
  auto form = MakeForm();
  ASSERT_TRUE(form->isVisible());
  form->FocusedEditor = form->Text;
  FontChoice choice;
  choice.name = "TreeFace";
  choice.size = 14;
  choice.color = 0x0000FF;
  dialog_.AnswerFont(choice);
  const QFont text_font = form->Text->font();
  Trigger(*form, "TreeFont");
  EXPECT_EQ(form->Tree->font().family(), "TreeFace");
  EXPECT_EQ(form->Tree->font().pointSize(), 14);
  EXPECT_EQ(form->Text->font(), text_font);
  EXPECT_EQ(form->settings().TreeFontName, "TreeFace");
  EXPECT_EQ(form->settings().TreeFontColor, 0x0000FF);
  EXPECT_GT(PixelsOf(form->Tree->grab().toImage(), red, 40), 10);

  dialog_.AnswerColor(0x00FFFF);
  form->BackColorExecute();
  EXPECT_EQ(form->settings().TreeBackColor, 0x00FFFF);
  const QImage tree = form->Tree->grab().toImage();
  EXPECT_GT(PixelsOf(tree, yellow), tree.width() * tree.height() / 2);
}

TEST_F(MainFormMarksTest, AnEditedFolderNameGoesBackIntoNameOrder) {
  auto form = MakeForm();
  Select(*form, "A");
  form->TreeModel().tree().SetText(Node(*form, "A"), "D");
  form->ResortSelectedFolder();
  TreeNode* root = form->TreeModel().tree().root();
  EXPECT_EQ(root->child(0)->text(), "C");
  EXPECT_EQ(root->child(1)->text(), "D");
  EXPECT_EQ(Current(*form), "D");
  EXPECT_EQ(FileBytes("quilbo7.tre"), "C\r\nD\r\nD B\r\n");
}

TEST_F(MainFormMarksTest, ANewFolderIsMadeInTheSelectedNodesFolderOnce) {
  auto form = MakeForm();
  Select(*form, "a1");
  form->SinkiForuda->click();
  TreeNode* made = Node(*form, Utf8ToCp932("新規フォルダ"));
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(GetFolderPath(made), "A " + Utf8ToCp932("新規フォルダ"));
  EXPECT_EQ(Current(*form), Utf8ToCp932("新規フォルダ"));
  Select(*form, "a2");
  Trigger(*form, "NewKategori");
  ASSERT_EQ(dialog_.questions().size(), 1u);
  EXPECT_EQ(dialog_.questions()[0].text, Utf8ToCp932("「新規フォルダ」というフォルダがあります"));
  EXPECT_EQ(Current(*form), "a2");
}

}  // namespace
}  // namespace quill
