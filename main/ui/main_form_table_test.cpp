// Table cards in the main window, offscreen, over a real data set in a
// temporary folder: switching the body between text, table and page,
// saving a table, links in cells, and files dropped on the window.
#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QCheckBox>
#include <QDropEvent>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeView>
#include <QUrl>
#include <functional>

#include "controls/ui/string_grid_pelm.h"
#include "main/editor/card_editor.h"
#include "main/editor/card_window_list.h"
#include "main/ui/main_form.h"
#include "main/ui/main_form_test_support.h"
#include "platform/headless/fake_shell.h"
#include "platform/headless/fake_ui.h"
#include "platform/headless/temp_dir.h"
#include "platform/qt/cp932_text.h"
#include "platform/qt/test_app.h"
#include "platform/text_codec.h"
#include "store/card_test_support.h"

namespace quill {
namespace {

std::string S(const char* utf8) { return Utf8ToCp932(utf8); }
QString U(const char* utf8) { return QString::fromUtf8(utf8); }

// A text of the program: what the text editor holds of it.
QString Shown(const std::string& cp932) {
  QString s = QString::fromStdString(Cp932ToUtf8(cp932));
  return s.replace("\r\n", "\n");
}


class MainFormTableTest : public testing::Test {
 protected:
  MainFormTableTest() { TestApp(); }

  // The data set before the program starts.
  store::CardStore& Cards() {
    if (!cards_) {
      cards_ = std::make_unique<store::CardStore>(FileEnv::Default(), dir_.Path() + "/");
      EXPECT_TRUE(cards_->Open(false, dir_.Path()).ok());
    }
    return *cards_;
  }
  std::string AddCard(const std::string& folder, const std::string& title,
                      const std::string& text, char kind) {
    return store::WriteKindCard(Cards(), folder, title, text, kind);
  }

  void Start() {
    if (cards_) {
      EXPECT_TRUE(cards_->Close().ok());
      cards_.reset();
    }
    MainFormContext context = TestFormContext(dir_, ui_);
    context.shell = &shell_;
    form_ = StartedForm(std::move(context));
  }

  // Selects the card as the user does in the tree.
  void Select(const std::string& id) { form_->ShowCardById(id); }

  store::CardRecord Read(const std::string& id) { return StoredCard(*form_, id); }

  GridModel& Grid() { return form_->CsvGrid->Grid(); }

  // A drop of local files, as the desktop delivers it to a widget.
  static void Drop(QWidget* target, const QStringList& files) {
    QMimeData mime;
    QList<QUrl> urls;
    for (const QString& f : files) urls << QUrl::fromLocalFile(f);
    mime.setUrls(urls);
    const QPointF at(5, 5);
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);
  }

  TempDir dir_;
  std::unique_ptr<store::CardStore> cards_;
  FakeUi ui_;
  FakeShell shell_;
  std::unique_ptr<TMainForm> form_;
};

TEST_F(MainFormTableTest, ATextBecomesATableAndBackAndIsSavedAsATable) {
  const std::string text_id = AddCard("F", "Text", "a\tb\r\nc\r\n", 0);
  // The card keeps column widths of its own: 120 and 40 px.
  store::CardRecord c(Cards());
  bool found = false;
  ASSERT_TRUE(c.FindByKey("TEXT_ID", text_id, true, &found).ok() && found);
  c.column_widths[0] = 12;
  c.column_widths[1] = 4;
  ASSERT_TRUE(c.Write().ok());
  Start();
  Select(text_id);
  ASSERT_TRUE(form_->Text->isVisibleTo(form_.get()));

  form_->CsvHtmlCK->click();
  EXPECT_TRUE(form_->CsvGrid->isVisibleTo(form_.get()));
  EXPECT_FALSE(form_->Text->isVisibleTo(form_.get()));
  EXPECT_EQ(Grid().ColCount(), 3);
  EXPECT_EQ(Grid().RowCount(), 3);
  EXPECT_EQ(Grid().Cell(2, 1), "b");
  EXPECT_EQ(Grid().Cell(1, 2), "c");
  EXPECT_EQ(Grid().ColWidth(1), 120);
  EXPECT_EQ(Grid().ColWidth(2), 40);
  EXPECT_TRUE(form_->SaveButton->isEnabled());

  // Back to text: the used area, rectangular.
  form_->CsvHtmlCK->click();
  EXPECT_TRUE(form_->Text->isVisibleTo(form_.get()));
  EXPECT_FALSE(form_->CsvGrid->isVisibleTo(form_.get()));
  EXPECT_EQ(form_->Text->toPlainText(), U("a\tb\nc\t\n"));

  // Table again, then saved: kind, table text, widths and two columns.
  form_->CsvHtmlCK->click();
  Grid().SetColWidth(2, 50);
  form_->SaveButton->click();
  const store::CardRecord saved = Read(text_id);
  EXPECT_EQ(saved.kind, 'C');
  EXPECT_EQ(saved.text, "a\tb\r\nc\t\r\n");
  EXPECT_EQ(saved.column_widths[0], 12);
  EXPECT_EQ(saved.column_widths[1], 5);
  EXPECT_TRUE(saved.two_column);
}

// A one-column table saved from the grid comes back with its empty rows
// in place and a cell that is "ﾟ" as it was.
TEST_F(MainFormTableTest, AOneColumnTableKeepsItsEmptyRowsAcrossSaves) {
  const std::string id = AddCard("F", "Column", "a\r\nb\r\n", 'C');
  const std::string other = AddCard("F", "Other", "o", 0);
  Start();
  Select(id);
  ASSERT_TRUE(form_->CsvGrid->isVisibleTo(form_.get()));
  Grid().SetCurrent(1, 2);
  Grid().SelectMenu(kCmdInsertRow);
  Grid().AddRow();
  Grid().SetEditText(1, 4, "\xDF");
  form_->SaveButton->click();
  const std::vector<std::vector<std::string>> rows = {{"a"}, {""}, {"b"}, {"\xDF"}};
  auto shown = [&] {
    std::vector<std::vector<std::string>> cells;
    for (int r = 1; r < Grid().RowCount(); ++r) {
      cells.emplace_back();
      for (int c = 1; c < Grid().ColCount(); ++c) cells.back().push_back(Grid().Cell(c, r));
    }
    return cells;
  };
  // Saved twice: the second save reads what the first one wrote.
  for (int round = 0; round < 2; ++round) {
    Select(other);
    Select(id);
    EXPECT_EQ(shown(), rows) << round;
    Grid().SetEditText(1, 1, "a");
    form_->SaveButton->click();
  }
  EXPECT_EQ(Read(id).text, "a\r\n\xDF\r\nb\r\n\xDF\t\r\n");
}

TEST_F(MainFormTableTest, AnUnchangedTableWritesNothingAndAPageIsShownAsAPage) {
  const std::string table = AddCard("F", "Table", "x\ty\r\n", 'C');
  {
    store::CardRecord c(Cards());
    bool found = false;
    ASSERT_TRUE(c.FindByKey("TEXT_ID", table, true, &found).ok() && found);
    c.two_column = true;
    c.utime = 1000;  // any write would make it the time of the write
    ASSERT_TRUE(c.Write().ok());
  }
  const std::string page =
      AddCard("F", "Page", S("見出し\r\n<---Quillbox Html Text これより以降は編集しないでください--->\r\n<p>x</p>"), 0);
  const std::string other = AddCard("F", "Other", "o", 0);
  Start();
  ASSERT_EQ(Read(table).utime, 1000u);
  Select(table);
  EXPECT_TRUE(form_->CsvGrid->isVisibleTo(form_.get()));
  EXPECT_TRUE(form_->CsvHtmlCK->isChecked());
  EXPECT_FALSE(form_->SaveButton->isEnabled());
  Select(other);
  EXPECT_EQ(Read(table).utime, 1000u);

  // A text holding the marker becomes a page, not a table.
  Select(page);
  form_->CsvHtmlCK->click();
  EXPECT_NE(form_->WebView, nullptr);
  EXPECT_FALSE(form_->CsvGrid->isVisibleTo(form_.get()));
  EXPECT_FALSE(form_->Text->isVisibleTo(form_.get()));
  form_->CsvHtmlCK->click();
  EXPECT_EQ(form_->WebView, nullptr);
  EXPECT_TRUE(form_->Text->isVisibleTo(form_.get()));
}

TEST_F(MainFormTableTest, LinksInCells) {
  store::WriteFolderRow(Cards(), "A");
  store::WriteFolderRow(Cards(), "B");
  store::WriteFolderRow(Cards(), "C");
  // Of three cards titled T, the one in the bin is skipped and B's comes
  // before C's.
  const std::string binned = AddCard("A", "T", "in the bin", 0);
  {
    store::CardRecord r(Cards());
    bool found = false;
    ASSERT_TRUE(r.FindByKey("TEXT_ID", binned, true, &found).ok() && found);
    ASSERT_TRUE(r.MarkDeleted().ok());
  }
  const std::string first = AddCard("C", "T", "c", 0);
  const std::string second = AddCard("B", "T", "b", 0);
  const std::string table = AddCard("A", "Links", "x\r\n", 'C');
  Start();
  Select(table);
  ASSERT_TRUE(form_->CsvGrid->isVisibleTo(form_.get()));

  struct Case {
    std::string cell;
    std::vector<std::string> opened;
  } cases[] = {
      {S("<file=/srv/メモ a b>"), {"file:" + S("/srv/メモ a b")}},
      {"<file=/x", {"file:/"}},
      {"<file=/" + std::string(500, 'p') + ">", {"file:/" + std::string(500, 'p')}},
      {"http://x", {"address:http://x"}},
      {"mailto:x", {"address:mailto:x"}},
      {"a@b", {"address:mailto:a@b"}},
      {"<card", {}},
      {"<file", {}},
      {"<file=", {}},
      {"plain", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.cell);
    shell_.opened.clear();
    Grid().SetCell(1, 1, c.cell);
    Grid().SetCurrent(1, 1);
    form_->CsvGridDblClick();
    EXPECT_EQ(shell_.opened, c.opened);
  }
  // The grid's own menu offers no "open" for an address without a dot.
  Grid().SetCell(1, 1, "a@b");
  Grid().MenuOnPopup();
  EXPECT_FALSE(Grid().OpenItemEnabled());

  Grid().SetCell(1, 1, "<card=T>  ");
  form_->CsvGridLink();
  EXPECT_GE(form_->FindCardWindowIndex(second), 0);
  EXPECT_LT(form_->FindCardWindowIndex(first), 0);
  EXPECT_LT(form_->FindCardWindowIndex(binned), 0);
  EXPECT_TRUE(ui_.questions().empty());
  form_->CardWindows().CloseAll();
}

TEST_F(MainFormTableTest, DroppedFilesBecomeLinks) {
  const std::string table = AddCard("F", "Table", "a\tb\r\n", 'C');
  const std::string text = AddCard("F", "Text", S("前後"), 0);
  const std::string other = AddCard("F", "Other", "o", 0);
  Start();
  // A path longer than 255 bytes.
  const QString path = QString::fromStdString(dir_.Path()) + "/" + QString(200, 'd') + "/" +
                       QString(100, 'e') + U("メモ 1.txt");
  const std::string link = "<file=" + ToCp932(path) + ">";

  // Two files on the grid: the first in the current cell, one undo step.
  Select(table);
  Grid().SetCurrent(2, 1);
  Drop(form_->CsvGrid->viewport(), {path, "/tmp/second"});
  EXPECT_EQ(Grid().Cell(2, 1), link);
  EXPECT_TRUE(form_->SaveButton->isEnabled());
  EXPECT_TRUE(form_->CancelButton->isEnabled());
  Grid().UndoCsv();
  EXPECT_EQ(Grid().Cell(2, 1), "b");

  // Dropped on the tree, the link goes to the grid too; leaving the card
  // stores it.
  Drop(form_->Tree->viewport(), {path});
  EXPECT_EQ(Grid().Cell(2, 1), link);
  Select(other);
  EXPECT_EQ(Read(table).text, "a\t" + link + "\r\n");

  // On the text: at its caret, the link selected.
  Select(text);
  QTextCursor caret = form_->Text->textCursor();
  caret.setPosition(1);
  form_->Text->setTextCursor(caret);
  Drop(form_.get(), {path});
  EXPECT_EQ(form_->Text->toPlainText(), U("前") + Shown(link) + U("後"));
  EXPECT_EQ(form_->Text->textCursor().selectedText(), Shown(link));
  EXPECT_TRUE(form_->SaveButton->isEnabled());
}

TEST_F(MainFormTableTest, DropsThatChangeNothing) {
  const std::string table = AddCard("F", "Table", "a\tb\r\n", 'C');
  const std::string page =
      AddCard("F", "Page", S("見出し\r\n<---Quillbox Html Text これより以降は編集しないでください--->\r\n<p>x</p>"), 'H');
  Start();
  const QString path = QString::fromStdString(dir_.File("f.txt"));

  struct Case {
    const char* what;
    std::function<void()> arrange;
    std::function<void()> undo;
    QString dropped;
    int beeps;
  } cases[] = {
      {"locked", [&] { form_->LockCheckBox->click(); }, [&] { form_->LockCheckBox->click(); },
       path, 0},
      {"a path with TAB", [] {}, [] {}, path + "\tx", 1},
      {"a path with LF", [] {}, [] {}, path + "\nx", 1},
      {"open in a card window", [&] { form_->OpenCardWindow(table); },
       [&] { form_->CardWindows().CloseAll(); }, path, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Select(table);
    c.arrange();
    const int beeps = ui_.beeps();
    Drop(form_->CsvGrid->viewport(), {c.dropped});
    EXPECT_EQ(Grid().Cell(1, 1), "a");
    EXPECT_EQ(Grid().Cell(2, 1), "b");
    EXPECT_EQ(Grid().UndoSlot(0).colCount, 0);
    EXPECT_EQ(ui_.beeps() - beeps, c.beeps);
    c.undo();
  }

  // A page: its hidden text is not edited.
  Select(page);
  ASSERT_NE(form_->WebView, nullptr);
  const QString before = form_->Text->toPlainText();
  Drop(form_.get(), {path});
  EXPECT_EQ(form_->Text->toPlainText(), before);
  EXPECT_FALSE(form_->SaveButton->isEnabled());
}

// A page card is shown as its page; with the box "HTMLﾁｪｯｸﾓｰﾄﾞ" checked
// and the question answered yes, as its text, and stored as text.
TEST_F(MainFormTableTest, HtmlCheckModeOpensAPageAsItsText) {
  const std::string text =
      S("見出し\r\n<---Quillbox Html Text これより以降は編集しないでください--->\r\n<p>x</p>");
  const std::string page = AddCard("F", "Page", text, 'H');
  const std::string other = AddCard("F", "Other", "o", 0);
  Start();
  EXPECT_EQ(form_->HtmlCheckMode->text(), U("HTMLﾁｪｯｸﾓｰﾄﾞ"));
  Select(page);
  EXPECT_NE(form_->WebView, nullptr);
  EXPECT_FALSE(form_->Text->isVisibleTo(form_.get()));
  EXPECT_TRUE(ui_.questions().empty());

  Select(other);
  form_->HtmlCheckMode->click();
  ui_.Answer(kResultYes);
  Select(page);
  ASSERT_EQ(ui_.questions().size(), 1u);
  EXPECT_EQ(ui_.questions()[0].text, MessageText(MessageId::kConfirmHtmlToText));
  EXPECT_EQ(form_->WebView, nullptr);
  EXPECT_TRUE(form_->Text->isVisibleTo(form_.get()));
  EXPECT_FALSE(form_->Text->isReadOnly());
  EXPECT_EQ(form_->Text->toPlainText(), Shown(text));
  EXPECT_FALSE(form_->CsvHtmlCK->isChecked());
  Select(other);
  EXPECT_EQ(Read(page).kind, 0);
}

TEST_F(MainFormTableTest, ATableTooLargeForTheTextStaysATable) {
  const std::string table = AddCard("F", "Table", "a\r\n", 'C');
  Start();
  Select(table);
  // Rows of 1,000 bytes and CR LF: 1,000 of them pass the text's limit.
  const std::string row(1000, 'x');
  auto fill = [&](int rows) {
    Grid().SetRowCount(rows + 1);
    for (int r = 1; r <= rows; ++r) Grid().SetCell(1, r, row);
  };
  fill(1000);
  form_->CsvHtmlCK->click();
  ASSERT_EQ(ui_.questions().size(), 1u);
  EXPECT_EQ(ui_.questions()[0].text, MessageText(MessageId::kTableTooLargeForText));
  EXPECT_TRUE(form_->CsvHtmlCK->isChecked());
  EXPECT_TRUE(form_->CsvGrid->isVisibleTo(form_.get()));
  EXPECT_EQ(Grid().Cell(1, 1000), row);
  EXPECT_EQ(form_->Editor().BodyMode, 'C');

  // Within the limit it goes back to text whole.
  Grid().SetRowCount(991);
  form_->CsvHtmlCK->click();
  EXPECT_EQ(form_->Editor().BodyMode, 0);
  EXPECT_EQ(form_->Text->toPlainText().size(), 990 * 1001);
}

}  // namespace
}  // namespace quill
