// The print command from the main window, offscreen, on a printer that
// writes PDF: what reaches the paper, and what the dialogs are given.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QAbstractItemModel>
#include <QCheckBox>
#include <QFile>
#include <QFontMetrics>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QLineEdit>
#include <QMenu>
#include <QTextDocument>
#include <QAction>
#include <memory>
#include <QPushButton>
#include <QTextCursor>
#include <QTreeView>
#include <fstream>
#include <functional>

#include "clip/html_capture.h"
#include "clip/html_marker.h"
#include "clip/ui/tikan_form.h"
#include "controls/ui/string_grid_pelm.h"
#include "controls/ui/pdf_test_support.h"
#include "main/ui/main_form.h"
#include "main/ui/main_form_test_support.h"
#include "main/ui/html_view.h"
#include "main/ui/page_printer.h"
#include "main/ui/print_form.h"
#include "platform/headless/fake_ui.h"
#include "platform/headless/temp_dir.h"
#include "platform/messages.h"
#include "platform/qt/test_app.h"
#include "platform/qt/test_modals.h"
#include "platform/text_codec.h"
#include "store/card_store.h"
#include "store/card_test_support.h"

namespace quill {
namespace {

class MainFormPrintTest : public ::testing::Test, protected PdfPrinter {
 protected:
  static void SetUpTestSuite() { TestApp(); }

  void SetUp() override {
    std::ofstream(dir.File("quillmain.ini"), std::ios::binary)
        << "[Env]\r\nUseButton=0\r\nTikanBlank=1\r\n";
    ASSERT_NO_FATAL_FAILURE(store::WriteTestDataSet(dir.Path() + "/", [](store::CardStore& cards) {
      store::WriteFolderRow(cards, "P");
      store::CardRecord c(cards);
      auto card = [&](const char* title, const std::string& text, char kind) {
        c.Clear();
        c.folder = "P";
        c.title = title;
        c.text = text;
        c.kind = kind;
        c.font_name = "IPAGothic";
        c.font_size = 9;  // 12 pixels at 96 dpi
        c.column_widths.fill(10);  // 100 pixels
        ASSERT_TRUE(c.Write().ok());
      };
      card("plain", "line1\r\nline2\r\nline3\r\n", 0);
      card("html", "visible\r\n", 'H');
      card("vars", "Dear $_NAME_\r\n", 0);
      card("table", "a\tb\tc\r\n", 'C');
      card("page",
           Utf8ToCp932("頁\r\n") + std::string(kHtmlMarkerLine) + "\r\n\r\n" +
               Utf8ToCp932("<html><p>印刷する頁の本文</p></html>\r\n") + std::string(kHtmlDataLine) +
               "\r\n",
           'H');
      card("column", "a\r\n\xDF\r\nb\r\n\xDF\t\r\n", 'C');
      // Two hundred columns in the first row, one in 6,000 more: its used
      // area as table text is 1,218,000 bytes.
      std::string big(199, '\t');
      big += "x\r\n";
      for (int i = 0; i < 6000; ++i) big += "y\r\n";
      card("big table", big, 'C');
    }));

    MainFormContext context = TestFormContext(dir, ui);
    context.printer = &printer;
    form = std::make_unique<TMainForm>(std::move(context));
    ASSERT_TRUE(form->FormCreate().ok());
  }

  // Opens the card of this title in the editor.
  void Open(const char* title) {
    const QModelIndex row = Row(title, {});
    ASSERT_TRUE(row.isValid()) << title;
    form->Tree->setCurrentIndex(row);
    ASSERT_EQ(form->Title->text(), title);
  }
  QModelIndex Row(const QString& caption, const QModelIndex& below) {
    QAbstractItemModel* m = form->Tree->model();
    for (int i = 0; i < m->rowCount(below); ++i) {
      const QModelIndex index = m->index(i, 0, below);
      if (m->data(index).toString() == caption) return index;
      const QModelIndex found = Row(caption, index);
      if (found.isValid()) return found;
    }
    return {};
  }

  // Clicks "印刷" with `on_modal` answering each modal dialog that opens;
  // returns the class names of the dialogs, in order.
  QStringList Print(const std::function<void(QWidget*)>& on_modal) {
    return AnsweringModals(on_modal, [&] { form->PrintOut->click(); });
  }

  // Prints from the print dialog and closes it.
  static void PrintAndClose(QWidget* modal) {
    auto* fm = qobject_cast<TPrintFm*>(modal);
    ASSERT_NE(fm, nullptr);
    fm->Insatu->click();
    fm->Fin->click();
  }

  QString Printed() const { return PdfText(pdf).remove('\f').trimmed(); }

  FakeUi ui;
  std::unique_ptr<TMainForm> form;
};

TEST_F(MainFormPrintTest, AnHtmlCardOnlyShowsItsMessage) {
  Open("html");
  EXPECT_TRUE(Print([](QWidget* w) { w->close(); }).isEmpty());
  ASSERT_EQ(ui.questions().size(), 1u);
  EXPECT_EQ(ui.questions()[0].text, MessageText(MessageId::kPrintHtmlCard));
  EXPECT_EQ(ui.questions()[0].caption, "");
}

// The page of an HTML card prints from its view's menu: the system's
// print dialog on the window's printer, then the page as laid out, into
// the printer's file (0600, as every printed file).
TEST_F(MainFormPrintTest, AnHtmlCardPrintsItsPageFromTheViewsMenu) {
  Open("page");
  ASSERT_NE(form->WebView, nullptr);
  std::unique_ptr<QMenu> menu(form->WebView->CreateContextMenu(QPoint(5, 5)));
  QAction* print = menu->findChild<QAction*>("PrintPage");
  ASSERT_NE(print, nullptr);
  EXPECT_EQ(print->text(), QString::fromUtf8("印刷(&P)..."));
  EXPECT_EQ(menu->actions().last(), print);

  // Cancelled in the print dialog: nothing is printed.
  EXPECT_EQ(AnsweringModals([](QWidget* w) { qobject_cast<QDialog*>(w)->reject(); },
                            [&] { print->trigger(); }),
            QStringList({"QPrintDialog"}));
  EXPECT_FALSE(QFile::exists(QString::fromStdString(pdf)));

  EXPECT_EQ(AnsweringModals([](QWidget* w) { qobject_cast<QDialog*>(w)->accept(); },
                            [&] { print->trigger(); }),
            QStringList({"QPrintDialog"}));
  // The page, and the page number the document's printing adds.
  EXPECT_EQ(Printed(), QString::fromUtf8("印刷する頁の本文\n\n1"));
  EXPECT_EQ(PdfInfo(pdf, "Title"), "Quillbox ");
  struct stat st;
  ASSERT_EQ(::stat(pdf.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_TRUE(ui.questions().empty());
}

// A page that cannot be printed says so and leaves the printer usable:
// the next page prints once the file can be written.
TEST_F(MainFormPrintTest, APageThatCannotBePrintedIsToldAndTheNextPrints) {
  QtPagePrinter pages([&] { return &printer; }, ui);
  pages.RunPrintDialog = [](QPrinter*, QWidget*) { return true; };
  QTextDocument page;
  page.setPlainText("page text");
  printer.setOutputFileName(QString::fromStdString(dir.File("missing/out.pdf")));
  pages.PrintPage(nullptr, page);
  ASSERT_EQ(ui.questions().size(), 1u);
  EXPECT_EQ(ui.questions()[0].text, MessageText(MessageId::kPrintFailed));
  printer.setOutputFileName(QString::fromStdString(pdf));
  pages.PrintPage(nullptr, page);
  EXPECT_EQ(ui.questions().size(), 1u);
  EXPECT_EQ(Printed(), "page text\n\n1");
}

TEST_F(MainFormPrintTest, PrintsTheSelectionOrTheWholeText) {
  Open("plain");
  QTextCursor cursor = form->Text->textCursor();
  cursor.setPosition(3);
  cursor.setPosition(9, QTextCursor::KeepAnchor);  // "e1", the line end, "lin"
  form->Text->setTextCursor(cursor);
  EXPECT_EQ(Print(PrintAndClose), QStringList({"quill::TPrintFm"}));
  EXPECT_EQ(Printed(), "e1\nlin");

  cursor.clearSelection();
  form->Text->setTextCursor(cursor);
  Print(PrintAndClose);
  EXPECT_EQ(Printed(), "line1\nline2\nline3");
  EXPECT_TRUE(ui.questions().empty());
}

TEST_F(MainFormPrintTest, CancelInTheSubstitutionDialogPrintsNothing) {
  Open("vars");
  const QStringList shown = Print([](QWidget* modal) {
    auto* tikan = qobject_cast<TTikanFm*>(modal);
    ASSERT_NE(tikan, nullptr);
    EXPECT_TRUE(tikan->TikanBlank->isChecked());
    tikan->TikanBlank->setChecked(false);
    tikan->Cancel->click();
  });
  EXPECT_EQ(shown.size(), 1);
  EXPECT_FALSE(QFile::exists(QString::fromStdString(pdf)));
  EXPECT_EQ(form->settings().TikanBlank, 1);
  std::ifstream in(dir.File("quillmain.ini"), std::ios::binary);
  const std::string ini((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(ini.find("TikanBlank=1"), std::string::npos);
}

// A table prints its cells in columns as wide as the grid's: 100 pixels in
// a font whose "樹" is 12 pixels wide are 8 "樹".
TEST_F(MainFormPrintTest, ATableCardPrintsItsColumnsInChars) {
  Open("table");
  ASSERT_EQ(QFontMetrics(form->Text->font()).horizontalAdvance(QString::fromUtf8("樹")), 12);
  int columns = 0;
  std::vector<int> chars;
  Print([&](QWidget* modal) {
    auto* fm = qobject_cast<TPrintFm*>(modal);
    ASSERT_NE(fm, nullptr);
    columns = fm->TextPrint().ColumnCount;
    chars = fm->TextPrint().ColumnChars;
    PrintAndClose(fm);
  });
  EXPECT_EQ(columns, 3);
  EXPECT_EQ(chars, (std::vector<int>{8, 8, 8}));
  EXPECT_EQ(Printed().simplified(), "a b c");
}

// What is printed of a table is what the grid shows: a cell typed and a
// column widened but not yet saved, and the cells of a table never saved.
TEST_F(MainFormPrintTest, ATablePrintsTheGridAsItStands) {
  struct Printout {
    std::string text;
    int columns = 0;
    std::vector<int> chars;
  };
  auto print = [&] {
    Printout out;
    Print([&](QWidget* modal) {
      auto* fm = qobject_cast<TPrintFm*>(modal);
      ASSERT_NE(fm, nullptr);
      out.text = fm->TextPrint().Text;
      out.columns = fm->TextPrint().ColumnCount;
      out.chars = fm->TextPrint().ColumnChars;
      PrintAndClose(fm);
    });
    return out;
  };

  Open("table");
  GridModel& grid = form->CsvGrid->Grid();
  grid.SetEditText(1, 1, "edited");
  grid.SetColWidth(2, 200);
  Printout edited = print();
  EXPECT_EQ(edited.text, "edited\tb\tc\r\n");
  EXPECT_EQ(edited.columns, 3);
  EXPECT_EQ(edited.chars, (std::vector<int>{8, 16, 8}));
  EXPECT_EQ(Printed().simplified(), "edited b c");

  // A new card made a table and filled in, never saved.
  form->AddNewClick();
  form->CsvHtmlCK->click();
  ASSERT_TRUE(form->CsvGrid->isVisibleTo(form.get()));
  form->CsvGrid->Grid().SetEditText(1, 1, "new");
  form->CsvGrid->Grid().AddCol();
  form->CsvGrid->Grid().SetEditText(2, 1, "cells");
  Printout fresh = print();
  EXPECT_EQ(fresh.text, "new\tcells\r\n");
  EXPECT_EQ(fresh.columns, 2);
  EXPECT_EQ(Printed().simplified(), "new cells");
}

// A one-column table prints its empty row as an empty row and a cell that
// is "ﾟ" as that character.
TEST_F(MainFormPrintTest, AOneColumnTablePrintsItsRowsInPlace) {
  Open("column");
  std::string text;
  Print([&](QWidget* modal) {
    auto* fm = qobject_cast<TPrintFm*>(modal);
    ASSERT_NE(fm, nullptr);
    text = fm->TextPrint().Text;
    PrintAndClose(fm);
  });
  EXPECT_EQ(text, "a\r\n\xDF\r\nb\r\n\xDF\t\r\n");
  EXPECT_EQ(Printed().split('\n', Qt::SkipEmptyParts),
            QStringList({"a", "b", QString::fromUtf8("ﾟ")}));
}

// The used area of a table goes to the printer whole, however large.
TEST_F(MainFormPrintTest, ALargeTableIsHandedOverWhole) {
  Open("big table");
  std::string text;
  int columns = 0;
  Print([&](QWidget* modal) {
    auto* fm = qobject_cast<TPrintFm*>(modal);
    ASSERT_NE(fm, nullptr);
    text = fm->TextPrint().Text;
    columns = fm->TextPrint().ColumnCount;
    fm->Fin->click();
  });
  EXPECT_EQ(columns, 200);
  const std::string row(199, '\t');
  EXPECT_EQ(text.size(), 6001 * (row.size() + 3));
  EXPECT_EQ(text.substr(0, 202), row + "x\r\n");
  EXPECT_EQ(text.substr(text.size() - 202), "y" + row + "\r\n");
}

}  // namespace
}  // namespace quill
