// Printing on an X display, the main window in the test, Qt's texts in
// Japanese as quillmain loads them, and a printer as on a machine without
// any: the first print fails with the message; the system's print dialog
// opened by "プリンタ設定" then chooses a PDF file, and the next print
// writes it. The page of an HTML card prints from its view's menu, opened
// with the mouse's right button. Screenshots of the print dialog and of the
// view's menu are kept in the build folder.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <fstream>
#include <functional>

#include "clip/html_capture.h"
#include "clip/html_marker.h"
#include "controls/ui/pdf_test_support.h"
#include "main/ui/html_view.h"
#include "main/ui/main_form.h"
#include "main/ui/main_form_test_support.h"
#include "main/ui/print_form.h"
#include "main/ui/qt_translations.h"
#include "platform/headless/fake_ui.h"
#include "platform/headless/temp_dir.h"
#include "platform/messages.h"
#include "platform/qt/test_app.h"
#include "platform/qt/test_program.h"
#include "platform/text_codec.h"
#include "store/card_store.h"
#include "store/card_test_support.h"

namespace quill {
namespace {

QString U(const char* s) { return QString::fromUtf8(s); }

void Shot(const char* name) {
  EXPECT_TRUE(QGuiApplication::primaryScreen()->grabWindow(0).save(QString(ARTEFACT_DIR) + "/" +
                                                                   name));
}

// Runs `act`; each modal dialog that opens meanwhile, once shown, goes to
// `on_modal` (nested dialogs too).
void AnsweringModals(const std::function<void(QWidget*)>& on_modal, const std::function<void()>& act) {
  QList<QPointer<QWidget>> seen;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr || seen.contains(modal) || !modal->isVisible()) return;
    seen << modal;
    // Answered outside this timer's slot: a timer does not fire again
    // while its slot runs, and a nested dialog must be seen too.
    QTimer::singleShot(0, modal, [&on_modal, modal] {
      EXPECT_TRUE(QTest::qWaitForWindowExposed(modal, 5000));
      on_modal(modal);
    });
  });
  watch.start(20);
  act();
}

// Chooses the file in the system's print dialog and confirms it.
void PrintToFile(QWidget* modal, const std::string& file) {
  auto* dialog = qobject_cast<QPrintDialog*>(modal);
  ASSERT_NE(dialog, nullptr) << modal->metaObject()->className();
  auto* name = dialog->findChild<QLineEdit*>("filename");
  ASSERT_NE(name, nullptr);
  name->setText(QString::fromStdString(file));
  dialog->accept();
}

class PrintDesktopTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { TestApp(); }

  void SetUp() override {
    if (!TestAppOnX()) GTEST_SKIP() << "needs X";
    static const bool translated = LoadQtTranslations(TestApp()).ok();
    ASSERT_TRUE(translated);
    std::ofstream(dir.File("quillmain.ini"), std::ios::binary) << "[Env]\r\nUseButton=0\r\n";
    ASSERT_NO_FATAL_FAILURE(store::WriteTestDataSet(dir.Path() + "/", [](store::CardStore& cards) {
      store::WriteFolderRow(cards, "P");
      store::WriteKindCard(cards, "P", "plain", Utf8ToCp932("印刷する本文\r\n"), 0);
      store::WriteKindCard(cards, "P", "page",
                           Utf8ToCp932("頁\r\n") + std::string(kHtmlMarkerLine) + "\r\n\r\n" +
                               Utf8ToCp932("<html><h1>頁の見出し</h1><p>頁の本文</p></html>\r\n") +
                               std::string(kHtmlDataLine) + "\r\n",
                           'H');
    }));

    // As QPrinter is on a machine without printers: PDF, but no file.
    ASSERT_EQ(printer.outputFormat(), QPrinter::PdfFormat);
    printer.setOutputFileName(QString());
    MainFormContext context = TestFormContext(dir, ui);
    context.printer = &printer;
    form = StartedForm(std::move(context));
    form->resize(800, 600);
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get(), 5000));
  }

  void Open(const char* title) {
    QAbstractItemModel* m = form->Tree->model();
    const QModelIndexList found =
        m->match(m->index(0, 0), Qt::DisplayRole, title, 1, Qt::MatchRecursive);
    ASSERT_FALSE(found.isEmpty()) << title;
    form->Tree->setCurrentIndex(found[0]);
  }

  TempDir dir;
  std::string pdf = dir.File("out.pdf");
  QPrinter printer{QPrinter::HighResolution};
  FakeUi ui;
  std::unique_ptr<TMainForm> form;
};

TEST_F(PrintDesktopTest, AFailedPrintIsMendedInThePrinterSetup) {
  Open("plain");
  bool set_up = false;
  AnsweringModals(
      [&](QWidget* modal) {
        if (auto* fm = qobject_cast<TPrintFm*>(modal)) {
          fm->Insatu->click();
          ASSERT_EQ(ui.questions().size(), 1u);
          EXPECT_EQ(ui.questions()[0].text, MessageText(MessageId::kPrintFailed));
          fm->SetYousi->click();  // the system's dialog, answered below
          EXPECT_TRUE(set_up);
          EXPECT_EQ(fm->PrinterName->text().toStdString(), pdf);
          fm->Insatu->click();
          fm->Fin->click();
          return;
        }
        EXPECT_EQ(modal->windowTitle(), U("印刷"));
        Shot("print_setup_dialog_ja.png");
        set_up = true;
        PrintToFile(modal, pdf);
      },
      [&] { form->PrintOut->click(); });
  EXPECT_EQ(ui.questions().size(), 1u) << "the print after the setup did not fail";
  EXPECT_EQ(PdfText(pdf).remove('\f').trimmed(), U("印刷する本文"));
  struct stat st;
  ASSERT_EQ(::stat(pdf.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(PrintDesktopTest, TheHtmlViewsMenuPrintsThePage) {
  Open("page");
  ASSERT_NE(form->WebView, nullptr);
  QTest::qWait(0);
  RunProgram("xdotool", {"windowactivate", "--sync", QString::number(form->winId())});
  ASSERT_TRUE(QTest::qWaitForWindowActive(form.get(), 5000));
  const QPoint at = form->WebView->viewport()->mapToGlobal(QPoint(40, 40));
  // The menu runs its own loop: it is read and answered from a timer.
  QStringList captions;
  bool chosen = false;
  QTimer menu_watch;
  QObject::connect(&menu_watch, &QTimer::timeout, [&] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (menu == nullptr || !menu->isVisible() || chosen) return;
    chosen = true;
    menu_watch.stop();
    QTimer::singleShot(0, menu, [&, menu] {
      for (QAction* a : menu->actions()) {
        if (!a->isSeparator()) captions << a->text().section('\t', 0, 0);
      }
      EXPECT_TRUE(QTest::qWaitForWindowExposed(menu, 5000));
      Shot("html_view_menu_ja.png");
      QAction* print = menu->findChild<QAction*>("PrintPage");
      ASSERT_NE(print, nullptr);
      menu->setActiveAction(print);
      QTest::keyClick(menu, Qt::Key_Return);
    });
  });
  menu_watch.start(20);
  AnsweringModals([&](QWidget* modal) { PrintToFile(modal, pdf); },
                  [&] {
                    RunProgram("xdotool", {"mousemove", QString::number(at.x()),
                                           QString::number(at.y()), "click", "3"});
                    EXPECT_TRUE(QTest::qWaitFor(
                        [&] { return QFile::exists(QString::fromStdString(pdf)); }, 10000));
                  });
  ASSERT_TRUE(chosen) << "no menu came up";
  ASSERT_FALSE(captions.isEmpty());
  EXPECT_EQ(captions.last(), U("印刷(&P)..."));
  EXPECT_TRUE(captions.contains(U("すべてを選択"))) << captions.join('|').toStdString();
  const QString text = PdfText(pdf);
  EXPECT_TRUE(text.contains(U("頁の見出し"))) << text.toStdString();
  EXPECT_TRUE(text.contains(U("頁の本文"))) << text.toStdString();
  EXPECT_TRUE(ui.questions().empty());
}

}  // namespace
}  // namespace quill
