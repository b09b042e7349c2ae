#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeView>

#include "main/card_editor.h"
#include "main/ui/main_form.h"
#include "main/ui/test_app.h"
#include "platform/headless/fake_ui.h"
#include "platform/headless/temp_dir.h"
#include "platform/text_codec.h"
#include "store/card_store.h"

namespace quill {
namespace {

QString U(const char* s) { return QString::fromUtf8(s); }

class MainFormEditorTest : public testing::Test {
 protected:
  MainFormEditorTest() { TestApp(); }

  std::unique_ptr<TMainForm> MakeForm() {
    MainFormContext context;
    context.program_folder = dir_.Path() + "/";
    context.registry_path = dir_.File("registry.ini");
    context.ui = &dialog_;
    auto form = std::make_unique<TMainForm>(std::move(context));
    Status s = form->FormCreate();
    EXPECT_TRUE(s.ok()) << s.ToString();
    return form;
  }

  // The view's row whose caption is `caption`, anywhere in the tree.
  static QModelIndex Row(TMainForm& form, const QString& caption,
                         const QModelIndex& below = {}) {
    QAbstractItemModel* m = form.Tree->model();
    for (int i = 0; i < m->rowCount(below); ++i) {
      QModelIndex index = m->index(i, 0, below);
      if (m->data(index).toString() == caption) return index;
      QModelIndex found = Row(form, caption, index);
      if (found.isValid()) return found;
    }
    return {};
  }

  // Clicks the row as the user would (the selection changes at once).
  static void Select(TMainForm& form, const QModelIndex& index) {
    form.Tree->setCurrentIndex(index);
  }

  TempDir dir_;
  FakeUi dialog_;
};

TEST_F(MainFormEditorTest, AJapaneseCardSurvivesARestart) {
  const QString body = U("日本語のカード\n二行目　全角空白も\n");
  {
    auto form = MakeForm();
    // A new card in a new folder: the data set starts empty.
    Select(*form, form->Tree->model()->index(0, 0));
    form->Title->setText(U("覚え書き"));
    form->Text->setFocus();
    form->Text->insertPlainText(body);
    EXPECT_TRUE(form->SaveButton->isEnabled());
    form->Syutten->setEditText(U("手入力"));
    form->SaveButton->click();
    EXPECT_FALSE(form->SaveButton->isEnabled());
    EXPECT_TRUE(Row(*form, U("新規フォルダ")).isValid());
    EXPECT_TRUE(Row(*form, U("覚え書き")).isValid());
    EXPECT_TRUE(form->UpdateTime->text().startsWith(U("更新=")));
    form->close();
  }
  auto form = MakeForm();
  QModelIndex card = Row(*form, U("覚え書き"));
  ASSERT_TRUE(card.isValid());
  Select(*form, card);
  EXPECT_EQ(form->Text->toPlainText(), body);
  EXPECT_EQ(form->Title->text(), U("覚え書き"));
  EXPECT_EQ(form->Syutten->currentText(), U("手入力"));
  EXPECT_EQ(form->EditCard().text, Utf8ToCp932("日本語のカード\r\n二行目　全角空白も\r\n"));
  // The source was remembered for the next run.
  EXPECT_EQ(form->settings().SyuttenList, Utf8ToCp932("手入力") + "\t");
}

TEST_F(MainFormEditorTest, TheTitleBoxTakesFiftyBytes) {
  auto form = MakeForm();
  form->Title->setFocus();
  form->Title->insert(QString(60, QChar('a')));
  EXPECT_EQ(form->Title->text().size(), 50);
  form->Title->clear();
  form->Title->insert(QString(30, QChar(0x3042)));  // あ, two bytes each
  EXPECT_EQ(form->Title->text(), QString(25, QChar(0x3042)));
}

TEST_F(MainFormEditorTest, HoldingDownLoadsOnlyTheCardItStopsOn) {
  {
    store::CardStore store(FileEnv::Default(), dir_.Path() + "/");
    ASSERT_TRUE(store.Open(false, {}).ok());
    store::CardRecord c(store);
    c.Clear();
    c.folder = "A";
    c.title = std::string(store::FolderMarkerTitle);
    ASSERT_TRUE(c.Write().ok());
    for (int i = 0; i < 11; ++i) {
      c.Clear();
      c.folder = "A";
      c.title = "card" + std::to_string(i);
      c.text = "text" + std::to_string(i);
      c.position = static_cast<uint32_t>(i);
      ASSERT_TRUE(c.Write().ok());
    }
  }
  auto form = MakeForm();
  QModelIndex folder = Row(*form, "A");
  form->Tree->expand(folder);
  Select(*form, Row(*form, "card0"));
  ASSERT_EQ(form->Text->toPlainText(), "text0");
  form->Tree->setFocus();
  for (int i = 0; i < 10; ++i) QTest::keyClick(form->Tree, Qt::Key_Down);
  EXPECT_EQ(form->Tree->currentIndex(), Row(*form, "card10"));
  // Nothing was loaded on the way.
  EXPECT_EQ(form->Text->toPlainText(), "text0");
  QTRY_COMPARE_WITH_TIMEOUT(form->Text->toPlainText(), QString("text10"), 5000);
  EXPECT_EQ(form->Title->text(), "card10");
}

TEST_F(MainFormEditorTest, CheckBoxesSetFromACardRunTheirHandlers) {
  auto form = MakeForm();
  Select(*form, form->Tree->model()->index(0, 0));
  form->Title->setText("t");
  form->LockCheckBox->click();
  form->SaveButton->click();
  QModelIndex card = Row(*form, "t");
  ASSERT_TRUE(card.isValid());
  Select(*form, form->Tree->model()->index(0, 0));
  EXPECT_FALSE(form->Text->isReadOnly());
  Select(*form, card);
  EXPECT_TRUE(form->LockCheckBox->isChecked());
  EXPECT_TRUE(form->Text->isReadOnly());
  EXPECT_TRUE(form->Title->isReadOnly());
  EXPECT_FALSE(form->Syutten->isEnabled());
  EXPECT_FALSE(form->IppatuPaste->isEnabled());
}

}  // namespace
}  // namespace quill
