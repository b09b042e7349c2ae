// カード読み込み in the main window, offscreen: after the import the tree's
// selection is the last card made and the editor shows that card, as
// after any change of the tree's row.
#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTreeView>
#include <fstream>

#include "main/exchange/fake_transfer_dialogs.h"
#include "main/ui/main_form.h"
#include "main/ui/main_form_test_support.h"
#include "platform/headless/fake_ui.h"
#include "platform/headless/temp_dir.h"
#include "platform/qt/test_app.h"
#include "platform/text_codec.h"
#include "store/card_store.h"
#include "store/card_test_support.h"

namespace quill {
namespace {

QString U(const char* s) { return QString::fromUtf8(s); }

TEST(MainFormImportTest, TheEditorShowsTheLastImportedCard) {
  TestApp();
  TempDir dir;
  std::ofstream(dir.File("quillmain.ini"), std::ios::binary) << "[Env]\r\nUseButton=0\r\n";
  ASSERT_NO_FATAL_FAILURE(store::WriteTestDataSet(dir.Path() + "/", [](store::CardStore& cards) {
    store::WriteFolderRow(cards, "A");
    store::WriteKindCard(cards, "A", "old", "old text", 0);
  }));
  std::ofstream(dir.File("memo.txt"), std::ios::binary) << "first memo\r\n";
  std::ofstream(dir.File("last.txt"), std::ios::binary) << "\xE6\x9C\x80\xE5\xBE\x8C\n";  // 最後

  FakeUi ui;
  FakeTransferDialogs dialogs;
  dialogs.AnswerFiles({dir.File("memo.txt"), dir.File("last.txt")});
  MainFormContext context = TestFormContext(dir, ui);
  context.transfer_dialogs = &dialogs;
  auto form = StartedForm(std::move(context));
  QAbstractItemModel* m = form->Tree->model();
  const auto row = [&](const char* caption) {
    const QModelIndexList found =
        m->match(m->index(0, 0), Qt::DisplayRole, U(caption), 1, Qt::MatchRecursive);
    return found.isEmpty() ? QModelIndex() : found[0];
  };
  // The old card in the editor, the import into its folder.
  form->Tree->setCurrentIndex(row("old"));
  ASSERT_EQ(form->Title->text(), "old");

  form->IkkatuTextClick();
  ASSERT_TRUE(row("last").isValid());
  EXPECT_EQ(form->Tree->currentIndex(), row("last"));
  EXPECT_EQ(form->Title->text(), "last");
  EXPECT_EQ(form->Text->toPlainText(), U("最後\n"));
  EXPECT_EQ(form->EditCard().title, "last");
  EXPECT_TRUE(ui.questions().empty());

  // Another row and back: the editor follows each.
  form->Tree->setCurrentIndex(row("memo"));
  EXPECT_EQ(form->Text->toPlainText(), U("first memo\n"));
}

}  // namespace
}  // namespace quill
