#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTest>
#include <QTreeView>
#include <fstream>
#include <functional>

#include "controls/ui/string_grid_pelm.h"
#include "main/editor/card_editor.h"
#include "main/ui/main_form.h"
#include "main/ui/main_form_test_support.h"
#include "platform/qt/test_app.h"
#include "platform/headless/fake_ui.h"
#include "platform/headless/temp_dir.h"
#include "platform/text_codec.h"
#include "store/card_store.h"
#include "store/card_test_support.h"

namespace quill {
namespace {

QString U(const char* s) { return QString::fromUtf8(s); }

class MainFormEditorTest : public testing::Test {
 protected:
  MainFormEditorTest() { TestApp(); }

  std::unique_ptr<TMainForm> MakeForm() {
    return StartedForm(TestFormContext(dir_, dialog_));
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
  ASSERT_NO_FATAL_FAILURE(store::WriteTestDataSet(dir_.Path() + "/", [](store::CardStore& cards) {
    store::WriteFolderRow(cards, "A");
    store::CardRecord c(cards);
    for (int i = 0; i < 11; ++i) {
      c.Clear();
      c.folder = "A";
      c.title = "card" + std::to_string(i);
      c.text = "text" + std::to_string(i);
      c.position = static_cast<uint32_t>(i);
      ASSERT_TRUE(c.Write().ok());
    }
  }));
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

// Settings the next form starts with.
void WriteIni(const std::string& path, const std::string& lines) {
  std::ofstream(path, std::ios::binary) << "[Env]\r\nFontName=x\r\n" << lines;
}

// A shown, active form with an empty new card in the editor.
std::unique_ptr<TMainForm> ActiveForm(std::unique_ptr<TMainForm> form) {
  form->activateWindow();
  EXPECT_TRUE(QTest::qWaitForWindowActive(form.get()));
  form->Tree->setCurrentIndex(form->Tree->model()->index(0, 0));
  return form;
}

TEST_F(MainFormEditorTest, ADoubleClickOnAnEmptyTitleTakesTheTextsTitle) {
  auto form = MakeForm();
  struct Case {
    const char* title;
    const char* body;
    bool locked;
    const char* after;
    bool save_enabled;
  } cases[] = {
      {"", "\n  一行目です\n二行目", false, "一行目です", true},
      {"前の題", "一行目", false, "前の題", false},
      {"", "一行目", true, "", false},
      // A text without a word: the automatic title's own default.
      {"", " \n", false, "New Text", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.body);
    form->Title->setText(U(c.title));
    form->Text->setPlainText(U(c.body));
    form->LockCheckBox->setChecked(c.locked);
    form->SaveButton->setEnabled(false);
    QTest::mouseDClick(form->Title, Qt::LeftButton);
    EXPECT_EQ(form->Title->text(), U(c.after));
    EXPECT_EQ(form->SaveButton->isEnabled(), c.save_enabled);
  }
}

TEST_F(MainFormEditorTest, EnterInTheTitleOrTheSourceGoesOnToTheText) {
  auto form = ActiveForm(MakeForm());
  struct Box {
    QWidget* widget;
    std::function<QString()> text;
  } boxes[] = {{form->Syutten, [&] { return form->Syutten->currentText(); }},
               {form->Title, [&] { return form->Title->text(); }}};
  for (const Box& box : boxes) {
    SCOPED_TRACE(box.widget->objectName().toStdString());
    form->Text->clear();
    form->Syutten->setEditText("");
    box.widget->setFocus();
    QTest::keyClicks(QApplication::focusWidget(), "abc");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_EQ(QApplication::focusWidget(), form->Text);
    QTest::keyClicks(QApplication::focusWidget(), "xyz");
    EXPECT_EQ(form->Text->toPlainText(), "xyz");
    EXPECT_EQ(box.text(), "abc");
  }
  // The source list holds remembered sources only.
  EXPECT_EQ(form->Syutten->count(), 0);
}

TEST_F(MainFormEditorTest, TheEditorPopupReplacesTheWidgetsOwnMenus) {
  auto form = ActiveForm(MakeForm());
  QStringList captions;
  for (QAction* a : form->TextPopup->actions()) captions << (a->isSeparator() ? "-" : a->text());
  EXPECT_EQ(captions,
            QStringList({U("登録(&V)"), "-", U("元に戻す(&U)"), "-", U("コピー(&C)"),
                         U("切り取り(&T)"), U("貼り付け(&Y)"), U("全選択(&L)"), U("全コピー(&A)"), "-",
                         U("印刷(&P)..."), "-", U("検索(&F)"), U("置換(&R)"), "-",
                         U("カード分割(&B)"), U("タイトルセット(&S)"), "-", U("WordWrap(&W)"),
                         U("このカードのフォントを変える(&F)"),
                         U("このカードのフォントをデフォルトのフォントとする"),
                         U("このカードのフォントをデフォルトのフォントに戻す"),
                         U("クリップツール(&K)")}));
  QAction* tools = form->TextPopup->actions().back();
  EXPECT_EQ(tools->menu(), form->MagicMenu);
  QAction* all_select = form->findChild<QAction*>("AllSelect");

  // A right click opens the popup 5 pixels above the click point; the
  // title offers no select-all, the text does.
  struct Click {
    QWidget* widget;
    bool all_select;
  } clicks[] = {{form->Title, false}, {form->Text->viewport(), true}};
  for (const Click& c : clicks) {
    SCOPED_TRACE(c.widget->objectName().toStdString());
    QTest::mouseClick(c.widget, Qt::RightButton, {}, QPoint(10, 12));
    ASSERT_TRUE(form->TextPopup->isVisible());
    if (c.widget == form->Title) {
      EXPECT_EQ(form->TextPopup->pos(), form->Title->mapToGlobal(QPoint(10, 7)));
    }
    EXPECT_EQ(all_select->isEnabled(), c.all_select);
    EXPECT_FALSE(tools->isEnabled());  // no clip tool is loaded
    form->TextPopup->close();
  }

  // Copy and paste act on the field that had the focus.
  form->Text->setFocus();
  form->Text->setPlainText("one two");
  form->Text->selectAll();
  form->findChild<QAction*>("PopupCopy")->trigger();
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "one two");
  form->Title->setFocus();
  form->findChild<QAction*>("PopupPaste")->trigger();
  EXPECT_EQ(form->Title->text(), "one two");
}

// Text of exactly `bytes` CP932 bytes, in lines of 100 (a line end counts
// CR LF).
QString Lines(size_t bytes) {
  QString line = QString(98, 'a') + "\n";
  QString text;
  for (; bytes >= 100; bytes -= 100) text += line;
  return text + QString(static_cast<qsizetype>(bytes), 'a');
}

TEST_F(MainFormEditorTest, APastePastTheLimitIsRefusedWhole) {
  const size_t limit = kBodyLimitBytes;
  struct Case {
    const char* what;
    QString before, paste;
    bool fits;
  } cases[] = {
      {"exactly the limit", "", Lines(limit), true},
      {"one byte too many", "", Lines(limit + 1), false},
      {"a double-byte character past the limit", "", Lines(limit - 1) + U("あ"), false},
      {"900,000 bytes into 200,000", Lines(200000), Lines(900000), false},
  };
  auto form = ActiveForm(MakeForm());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    form->Text->setPlainText(c.before);
    form->Text->moveCursor(QTextCursor::End);
    form->Text->setFocus();
    QGuiApplication::clipboard()->setText(c.paste);
    const int beeps = dialog_.beeps();
    form->findChild<QAction*>("PopupPaste")->trigger();
    const std::string stored = LfToCrLf(Utf8ToCp932(form->Text->toPlainText().toStdString()));
    if (c.fits) {
      EXPECT_EQ(stored.size(), limit);
      EXPECT_EQ(dialog_.beeps(), beeps);
    } else {
      EXPECT_EQ(form->Text->toPlainText(), c.before);
      EXPECT_EQ(dialog_.beeps(), beeps + 1);
    }
  }
}

// At start the tree shows its font, font colour, background and width,
// and the grid the text's background colour, as the settings file holds
// them (colours of the class library: 0x00BBGGRR), also in the pictures
// the widgets paint.
TEST_F(MainFormEditorTest, TheTreeAndTheGridStartInTheLookOfTheSettings) {
  const QColor red(255, 0, 0), yellow(255, 255, 0), blue(0, 0, 255);
  WriteIni(dir_.File("quillmain.ini"),
           "TextBackColor=16711680\r\nTreeBackColor=65535\r\nTreeFontColor=255\r\n"
           "TreeFontName=IPAGothic\r\nTreeFontSize=15\r\nTreeFontStyle=5\r\n"
           "TreeWidth=310\r\nWidth=800\r\nHeight=500\r\n");
  auto form = MakeForm();
  QApplication::processEvents();
  const QFont font = form->Tree->font();
  EXPECT_EQ(font.family(), "IPAGothic");
  EXPECT_EQ(font.pointSize(), 15);
  EXPECT_TRUE(font.bold());
  EXPECT_FALSE(font.italic());
  EXPECT_TRUE(font.underline());
  EXPECT_EQ(form->Split->sizes().front(), 310);
  for (QWidget* w : {static_cast<QWidget*>(form->Tree), form->Tree->viewport()}) {
    EXPECT_EQ(w->palette().color(QPalette::Text), red);
    EXPECT_EQ(w->palette().color(QPalette::Base), yellow);
  }
  EXPECT_EQ(form->CsvGrid->viewport()->palette().color(QPalette::Base), blue);
  // The tree's root caption in red on yellow (unselected: a selected row
  // has the colours of a selection).
  form->Tree->selectionModel()->clearSelection();
  const QImage tree = form->Tree->grab().toImage();
  EXPECT_GT(PixelsOf(tree, yellow), tree.width() * tree.height() / 2);
  EXPECT_GT(PixelsOf(tree, red, 40), 10);
}

TEST_F(MainFormEditorTest, CtrlColorGreysTheFieldsWithoutTheFocus) {
  const QColor window = QApplication::palette().color(QPalette::Base);
  const QColor grey = QApplication::palette().color(QPalette::Button);
  ASSERT_NE(window, grey);
  for (int ctrl_color : {0, 1}) {
    SCOPED_TRACE(ctrl_color);
    WriteIni(dir_.File("quillmain.ini"), "CtrlColor=" + std::to_string(ctrl_color) + "\r\n");
    auto form = ActiveForm(MakeForm());
    const QColor idle = ctrl_color != 0 ? grey : window;
    auto base = [](QWidget* w) { return w->palette().color(QPalette::Base); };
    EXPECT_EQ(base(form->Title), idle);
    EXPECT_EQ(base(form->Text->viewport()), idle);
    EXPECT_EQ(base(form->Syutten), idle);
    form->Title->setFocus();
    EXPECT_EQ(base(form->Title), window);
    form->Syutten->setFocus();
    EXPECT_EQ(base(form->Title), idle);
    EXPECT_EQ(base(form->Syutten), window);
    form->Text->setFocus();
    EXPECT_EQ(base(form->Syutten), idle);
    EXPECT_EQ(base(form->Text->viewport()), window);
    form->close();
  }
}

}  // namespace
}  // namespace quill
