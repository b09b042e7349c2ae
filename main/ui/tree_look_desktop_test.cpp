// The colours of the settings on the screen of an X display, read back
// from the screen's pixels: the tree in its font colour on its background
// and the grid in the text's background from the start, and both in a
// colour chosen with the colour command (the main window's style sheet
// once kept the scroll areas' insides in their first colours).
#include <gtest/gtest.h>

#include <QApplication>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTest>
#include <QTreeView>
#include <fstream>

#include "controls/ui/string_grid_pelm.h"
#include "main/ui/main_form.h"
#include "main/ui/main_form_test_support.h"
#include "platform/headless/fake_ui.h"
#include "platform/headless/temp_dir.h"
#include "platform/qt/test_app.h"
#include "platform/qt/test_window.h"
#include "store/card_store.h"
#include "store/card_test_support.h"

namespace quill {
namespace {

// The part of the screen that `w` covers.
QImage OnScreen(QWidget* w) {
  const QImage screen = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
  return screen.copy(QRect(w->mapToGlobal(QPoint(0, 0)), w->size()));
}

// Whether at least half of what `w` shows on the screen is `color`.
bool MostlyOnScreen(QWidget* w, const QColor& color) {
  const QImage shown = OnScreen(w);
  return PixelsOf(shown, color) > shown.width() * shown.height() / 2;
}

class TreeLookDesktopTest : public testing::Test {
 protected:
  void SetUp() override {
    if (!TestAppOnX()) GTEST_SKIP() << "needs an X display";
    store::CardStore cards(FileEnv::Default(), dir_.Path() + "/");
    ASSERT_TRUE(cards.Open(false, dir_.Path()).ok());
    table_ = store::WriteKindCard(cards, "F", "Table", "x\ty\r\n", 'C');
    ASSERT_TRUE(cards.Close().ok());
    // Colours of the class library: 0x00BBGGRR.
    std::ofstream(dir_.File("quillmain.ini"), std::ios::binary)
        << "[Env]\r\nFontName=x\r\nTreeFontName=IPAGothic\r\nTreeFontSize=16\r\n"
           "TreeFontStyle=1\r\nTreeFontColor=255\r\nTreeBackColor=65535\r\n"
           "TextBackColor=16711680\r\nWidth=760\r\nHeight=520\r\nTreeWidth=300\r\n";
    form_ = StartedForm(TestFormContext(dir_, ui_));
    ASSERT_TRUE(ActivateExposed(*form_));
  }

  TempDir dir_;
  FakeUi ui_;
  std::string table_;
  std::unique_ptr<TMainForm> form_;
};

TEST_F(TreeLookDesktopTest, TheTreeAndTheGridShowTheirColoursFromTheStartAndAfterEachChange) {
  const QColor red(255, 0, 0), yellow(255, 255, 0), blue(0, 0, 255);
  QTreeView* tree = form_->Tree;
  EXPECT_TRUE(QTest::qWaitFor([&] { return MostlyOnScreen(tree->viewport(), yellow); }, 5000))
      << "the tree is not yellow on the screen";
  // The captions in the tree's font colour.
  EXPECT_GT(PixelsOf(OnScreen(tree->viewport()), red, 40), 20);
  // A table card: the grid in the text's background.
  form_->ShowCardById(table_);
  ASSERT_TRUE(QTest::qWaitFor([&] { return form_->CsvGrid->isVisible(); }, 5000));
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return MostlyOnScreen(form_->CsvGrid->viewport(), blue); }, 5000))
      << "the grid is not blue on the screen";

  // The colour command on the tree: the tree in that colour at once.
  tree->setFocus();
  ASSERT_TRUE(QTest::qWaitFor([&] { return form_->FocusedEditor == tree; }, 5000));
  ui_.AnswerColor(0x00FF00);
  form_->BackColorExecute();
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return MostlyOnScreen(tree->viewport(), QColor(0, 255, 0)); }, 5000))
      << "the tree is not green on the screen";
  // On the text of a new card: the grid of the next table card shown has
  // it.
  form_->AddNewClick();
  form_->Text->setFocus();
  ASSERT_TRUE(QTest::qWaitFor([&] { return form_->FocusedEditor == form_->Text; }, 5000));
  ui_.AnswerColor(0xFF00FF);
  form_->BackColorExecute();
  form_->ShowCardById(table_);
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return MostlyOnScreen(form_->CsvGrid->viewport(), QColor(255, 0, 255)); }, 5000))
      << "the grid is not magenta on the screen";
  const QImage shot = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
  EXPECT_TRUE(shot.save(QString(ARTEFACT_DIR) + "/tree_look.png"));
}

}  // namespace
}  // namespace quill
