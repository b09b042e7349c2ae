// The print dialog offscreen, on a printer that writes PDF.
#include "main/ui/print_form.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPageLayout>
#include <QPageSize>
#include <QPrinter>
#include <QPushButton>
#include <QTest>

#include "controls/ui/pdf_test_support.h"
#include "controls/ui/up_down_with_field.h"
#include "platform/headless/fake_ui.h"
#include "platform/headless/temp_dir.h"
#include "platform/messages.h"
#include "platform/qt/test_app.h"
#include "platform/registry_store.h"

namespace quill {
namespace {

class PrintFormTest : public ::testing::Test, protected PdfPrinter {
 protected:
  static void SetUpTestSuite() { TestApp(); }

  void SetUp() override { printer.setPageSize(QPageSize(QPageSize::A4)); }

  std::unique_ptr<TPrintFm> Show() {
    auto fm = std::make_unique<TPrintFm>(nullptr, &printer, registry, ui);
    fm->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(fm.get()));
    return fm;
  }

  static QStringList Edits(const TPrintFm& fm) {
    return {fm.FontList->currentText(), fm.FontSize->text(),   fm.LinePitch->text(),
            fm.LeftMargin->text(),      fm.TopMargin->text(),  fm.RightMargin->text(),
            fm.BottomMargin->text()};
  }

  RegistryStore registry{FileEnv::Default(), dir.File("registry.ini")};
  FakeUi ui;
};

TEST_F(PrintFormTest, TheSevenValuesAreStoredOnCloseAndReadNextTime) {
  {
    auto fm = Show();
    EXPECT_EQ(Edits(*fm), QStringList({"", "14", "1", "1", "1", "1", "1"}));
    EXPECT_EQ(fm->FontSizeB->EditField, fm->FontSize);
    EXPECT_EQ(fm->BottomMarginB->EditField, fm->BottomMargin);
    fm->FontList->setCurrentText("IPAGothic");
    fm->FontSizeB->Click(btPrev);
    fm->LinePitch->setText("3");
    fm->LeftMargin->setText("20");
    fm->TopMargin->setText("21");
    fm->RightMargin->setText("22");
    fm->BottomMargin->setText("abc");
    fm->Fin->click();
    EXPECT_FALSE(fm->isVisible());
  }
  EXPECT_EQ(registry.ReadString(kQuillmainEnvKey, "PFontSize", ""), "13");
  auto fm = Show();
  EXPECT_EQ(Edits(*fm), QStringList({"IPAGothic", "13", "3", "20", "21", "22", "abc"}));
  EXPECT_TRUE(ui.questions().empty());
}

// "印刷" prints the text with the dialog's settings as one job; the
// preview shows the paper, scaled into the panel.
TEST_F(PrintFormTest, PrintsWithTheSettingsShown) {
  auto fm = Show();
  EXPECT_EQ(fm->PrinterName->text().toStdString(), pdf);
  fm->TextPrint().Text = "first\r\nsecond\r\n";
  fm->FontList->setCurrentText("IPAGothic");
  fm->LeftMargin->setText("50");

  // The paper in whole millimetres at the screen's 96 dpi.
  const QSize paper = printer.paperRect(QPrinter::DevicePixel).size().toSize();
  const double printer_mm = printer.logicalDpiX() * 0.0393700787;
  const double screen_mm = 96 * 0.0393700787;
  auto on_screen = [&](int px) { return static_cast<int>(static_cast<int>(px / printer_mm) * screen_mm); };
  const QImage& preview = fm->PreviewImage();
  EXPECT_EQ(preview.width(), on_screen(paper.width()));
  EXPECT_EQ(preview.height(), on_screen(paper.height()));
  EXPECT_LT(fm->Image->width(), fm->ImagePanel->width() - 16);
  EXPECT_LT(fm->Image->height(), fm->ImagePanel->height() - 16);
  EXPECT_GT(fm->Image->height(), fm->ImagePanel->height() / 2);

  fm->Insatu->click();
  EXPECT_TRUE(ui.questions().empty());
  EXPECT_TRUE(fm->isVisible()) << "the dialog stays open after printing";
  EXPECT_EQ(PdfInfo(pdf, "Title"), "Quillbox ");
  EXPECT_EQ(PdfInfo(pdf, "Pages"), "1");
  const std::vector<PdfWord> words = PdfWords(pdf);
  ASSERT_EQ(words.size(), 2u);
  EXPECT_EQ(words[0].text, "first");
  EXPECT_EQ(words[1].text, "second");
  // 50 mm from the paper's edge.
  EXPECT_NEAR(words[0].x, 50 * 72 / 25.4, 3.0);
}

TEST_F(PrintFormTest, APrinterThatCannotBeginShowsTheMessage) {
  printer.setOutputFileName(QString::fromStdString(dir.File("missing/out.pdf")));
  auto fm = Show();
  fm->TextPrint().Text = "text";
  fm->Insatu->click();
  ASSERT_EQ(ui.questions().size(), 1u);
  EXPECT_EQ(ui.questions()[0].text, MessageText(MessageId::kPrintFailed));
  EXPECT_EQ(ui.questions()[0].caption, MessageText(MessageId::kWarningCaption));
  EXPECT_FALSE(QFile::exists(QString::fromStdString(dir.File("missing/out.pdf"))));
}

// On a machine without a printer the first job fails with the message;
// choosing a file in the printer setup afterwards takes effect, and the
// same dialog then prints into it.
TEST_F(PrintFormTest, AFailedJobDoesNotBlockTheNextAfterTheSetup) {
  printer.setOutputFileName(QString());
  printer.setOutputFormat(QPrinter::PdfFormat);  // what QPrinter has without printers
  auto fm = Show();
  fm->TextPrint().Text = "second try";
  fm->Insatu->click();
  ASSERT_EQ(ui.questions().size(), 1u);
  EXPECT_EQ(ui.questions()[0].text, MessageText(MessageId::kPrintFailed));
  fm->RunPrinterSetup = [&](QPrinter* p) {
    p->setOutputFileName(QString::fromStdString(pdf));
    return true;
  };
  fm->SetYousi->click();
  EXPECT_EQ(fm->PrinterName->text().toStdString(), pdf);
  fm->Insatu->click();
  EXPECT_EQ(ui.questions().size(), 1u) << "no second failure";
  EXPECT_EQ(PdfText(pdf).trimmed(), "second try");
}

// The setup dialog works on the dialog's printer; the preview follows it.
TEST_F(PrintFormTest, PrinterSetupChangesThePreview) {
  auto fm = Show();
  const QSize a4 = fm->PreviewImage().size();
  QPrinter* seen = nullptr;
  fm->RunPrinterSetup = [&](QPrinter* p) {
    seen = p;
    p->setPageOrientation(QPageLayout::Landscape);
    return true;
  };
  fm->SetYousi->click();
  EXPECT_EQ(seen, &printer);
  EXPECT_EQ(fm->PreviewImage().size(), a4.transposed());
  EXPECT_FALSE(QFile::exists(QString::fromStdString(pdf))) << "setting up prints nothing";
}

}  // namespace
}  // namespace quill
