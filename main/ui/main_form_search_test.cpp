// The search in the main window: positions in the editor's characters,
// colouring that leaves the card alone, replace as an edit of the user's.
#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QToolButton>
#include <QTreeView>
#include <fstream>
#include <iterator>

#include "main/search/search_commands.h"
#include "main/ui/card_icons.h"
#include "main/ui/main_form.h"
#include "main/ui/main_form_test_support.h"
#include "platform/qt/test_app.h"
#include "platform/headless/fake_ui.h"
#include "platform/headless/temp_dir.h"
#include "platform/text_codec.h"
#include "store/card_store.h"

namespace quill {
namespace {

QString U(const char* s) { return QString::fromUtf8(s); }

class MainFormSearchTest : public testing::Test {
 protected:
  MainFormSearchTest() {
    TestApp();
    store::CardStore store(FileEnv::Default(), dir_.Path() + "/");
    EXPECT_TRUE(store.Open(false, {}).ok());
    store::CardRecord c(store);
    for (const char* title : {"one", "two"}) {
      c.Clear();
      c.folder = "A";
      c.title = title;
      c.text = Utf8ToCp932("日本語 find 日本語 FIND\r\nfind");
      EXPECT_TRUE(c.Write().ok());
    }
    EXPECT_TRUE(store.Close().ok());
  }

  std::unique_ptr<TMainForm> MakeForm() {
    MainFormContext context = TestFormContext(dir_, ui_);
    context.shift_down = [this] { return shift_; };
    auto form = std::make_unique<TMainForm>(std::move(context));
    Status s = form->FormCreate();
    EXPECT_TRUE(s.ok()) << s.ToString();
    return form;
  }

  void Open(TMainForm& form, const char* title) {
    QAbstractItemModel* m = form.Tree->model();
    const QModelIndex root = m->index(0, 0);
    const QModelIndex folder = m->index(0, 0, root);
    for (int i = 0; i < m->rowCount(folder); ++i) {
      if (m->data(m->index(i, 0, folder)).toString() == U(title)) {
        form.Tree->setCurrentIndex(m->index(i, 0, folder));
      }
    }
    ASSERT_EQ(form.Title->text(), U(title));
  }

  std::string DataFile() {
    std::ifstream in(dir_.File("quilbo7.dat"), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  // The selection and the coloured ranges, in the widget's characters.
  static std::pair<int, int> Selection(TMainForm& form) {
    const QTextCursor c = form.Text->textCursor();
    return {c.selectionStart(), c.selectionEnd()};
  }
  static std::vector<std::pair<int, int>> Coloured(TMainForm& form) {
    std::vector<std::pair<int, int>> out;
    for (const QTextEdit::ExtraSelection& s : form.Text->extraSelections()) {
      out.emplace_back(s.cursor.selectionStart(), s.cursor.selectionEnd());
    }
    return out;
  }

  TempDir dir_;
  FakeUi ui_;
  bool shift_ = false;
};

TEST_F(MainFormSearchTest, FindsAndColoursByCharactersAndLeavesTheCardUnchanged) {
  auto form = MakeForm();
  Open(*form, "one");
  const std::string stored = DataFile();
  ui_.ScriptSearchString([](SearchStringForm* f) {
    f->text.text = "find";
    return kResultOk;
  });
  form->KensakuMark->click();
  form->FindStrMenuClick();
  // "日本語 " is four characters and seven bytes.
  EXPECT_EQ(Selection(*form), std::make_pair(4, 8));
  EXPECT_EQ(Coloured(*form), (std::vector<std::pair<int, int>>{{4, 8}, {13, 17}, {18, 22}}));
  ASSERT_FALSE(form->Text->extraSelections().isEmpty());
  EXPECT_EQ(form->Text->extraSelections()[0].format.background().color(), QColor(255, 255, 0));

  form->KensakuBt->click();
  EXPECT_EQ(Selection(*form), std::make_pair(13, 17));
  shift_ = true;
  form->KensakuBt->click();
  EXPECT_EQ(Selection(*form), std::make_pair(4, 8));
  shift_ = false;

  // Colouring is no edit: nothing to save, nothing written.
  EXPECT_FALSE(form->SaveButton->isEnabled());
  EXPECT_FALSE(form->Text->document()->isModified());
  Open(*form, "two");
  EXPECT_EQ(Coloured(*form).size(), 3u);
  EXPECT_EQ(DataFile(), stored);

  // An edit keeps its undo step through the colouring.
  form->Text->moveCursor(QTextCursor::End);
  form->Text->insertPlainText(U("!"));
  form->KensakuMark->click();
  form->KensakuMark->click();
  EXPECT_EQ(Coloured(*form).size(), 3u);
  EXPECT_TRUE(form->Text->document()->isUndoAvailable());
  EXPECT_TRUE(form->SaveButton->isEnabled());
}

// The colouring button shows image 0 of its list while off, image 1 while
// on; the two pictures differ.
TEST_F(MainFormSearchTest, TheColouringButtonShowsItsOffAndOnPictures) {
  auto form = MakeForm();
  const auto shown = [&] {
    return form->KensakuMark->icon().pixmap(16, 16).toImage().convertToFormat(
        QImage::Format_RGB32);
  };
  const QImage off = KensakuButtonImage(0);
  const QImage on = KensakuButtonImage(1);
  ASSERT_EQ(off.size(), QSize(16, 16));
  EXPECT_NE(off, on);
  EXPECT_NE(off, QImage(16, 16, QImage::Format_RGB32));
  EXPECT_EQ(shown(), off);
  form->KensakuMark->click();
  EXPECT_EQ(shown(), on);
  EXPECT_TRUE(form->KensakuMark->isChecked());
  form->KensakuMark->click();
  EXPECT_EQ(shown(), off);
  EXPECT_FALSE(form->KensakuMark->isChecked());
}

TEST_F(MainFormSearchTest, ReplaceIsOneEditOfTheUsersThatUndoes) {
  auto form = MakeForm();
  Open(*form, "one");
  const QString before = form->Text->toPlainText();
  ui_.ScriptReplace([](ReplaceForm* f) {
    f->find.text = Utf8ToCp932("日本語");
    f->replacement = Utf8ToCp932("英");
    return kResultOk;
  });
  ui_.AnswerReplaceCheck(kResultOk);
  ui_.AnswerReplaceCheck(kReplaceCheckAll);
  form->ReplaceClick();
  EXPECT_EQ(form->Text->toPlainText(), U("英 find 英 FIND\nfind"));
  EXPECT_TRUE(form->SaveButton->isEnabled());
  form->Text->undo();
  form->Text->undo();
  EXPECT_EQ(form->Text->toPlainText(), before);
}

}  // namespace
}  // namespace quill
