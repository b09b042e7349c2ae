#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <QTreeView>
#include <fstream>

#include "controls/ui/string_grid_pelm.h"
#include "main/editor/card_editor.h"
#include "main/ui/class_color.h"
#include "main/ui/main_form.h"
#include "main/ui/main_form_test_support.h"
#include "platform/headless/fake_clock.h"
#include "platform/headless/fake_shell.h"
#include "platform/headless/fake_ui.h"
#include "platform/headless/temp_dir.h"
#include "platform/messages.h"
#include "platform/qt/test_app.h"
#include "platform/text_codec.h"

namespace quill {
namespace {

QString U(const char* s) { return QString::fromUtf8(s); }
std::string S(const char* utf8) { return Utf8ToCp932(utf8); }

class MainFormEventsTest : public testing::Test {
 protected:
  MainFormEventsTest() { TestApp(); }

  // A shown, active window with an empty new card in the editor.
  std::unique_ptr<TMainForm> Form(std::string install_folder = "",
                                  InputMethodStatus* input_method = nullptr) {
    MainFormContext context = TestFormContext(dir_, ui_);
    context.shell = &shell_;
    context.clock = &clock_;
    context.install_folder = std::move(install_folder);
    if (input_method != nullptr) context.input_method = input_method;
    auto form = StartedForm(std::move(context));
    form->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(form.get()));
    form->Tree->setCurrentIndex(form->Tree->model()->index(0, 0));
    return form;
  }

  static void SetBody(TMainForm& f, const QString& text) {
    f.Text->setFocus();
    f.Text->setPlainText(text);
    f.Text->moveCursor(QTextCursor::End);
  }

  TempDir dir_;
  FakeUi ui_;
  FakeShell shell_;
  FakeClock clock_;
};

TEST_F(MainFormEventsTest, TheKeyMapSeesKeysBeforeTheFocusedControl) {
  auto form = Form();
  form->Text->setFocus();
  QTest::keyClick(form->windowHandle(), Qt::Key_F7);
  EXPECT_EQ(QApplication::focusWidget(), form->Title);
  QTest::keyClick(form->windowHandle(), Qt::Key_F6);
  EXPECT_EQ(QApplication::focusWidget(), form->Tree);
  QTest::keyClick(form->windowHandle(), Qt::Key_F8);
  EXPECT_EQ(QApplication::focusWidget(), form->Text);
  // F9: a new card in the editor, the one typed stored.
  form->Title->setText("t");
  form->Text->setPlainText("x");
  QTest::keyClick(form->windowHandle(), Qt::Key_F9);
  EXPECT_EQ(form->Text->toPlainText(), "");
  EXPECT_EQ(form->Title->text(), "");
}

TEST_F(MainFormEventsTest, EnterIndentsAndShiftEnterOpensTheLink) {
  auto form = Form();
  form->AutoIndentActionExecute();
  ASSERT_EQ(form->settings().AutoIndent, 1);
  SetBody(*form, U("  　本文"));
  QTest::keyClick(form->Text, Qt::Key_Return);
  EXPECT_EQ(form->Text->toPlainText(), U("  　本文\n  　"));

  form->AutoIndentActionExecute();
  SetBody(*form, U("  x"));
  QTest::keyClick(form->Text, Qt::Key_Return);
  EXPECT_EQ(form->Text->toPlainText(), U("  x\n"));

  SetBody(*form, U("see http://x.jp/a 先"));
  form->Text->moveCursor(QTextCursor::Start);
  form->Text->moveCursor(QTextCursor::NextWord);
  QTest::keyClick(form->Text, Qt::Key_Return, Qt::ShiftModifier);
  EXPECT_EQ(shell_.opened, std::vector<std::string>{"address:http://x.jp/a"});
  EXPECT_EQ(form->Text->toPlainText(), U("see http://x.jp/a 先"));
}

TEST_F(MainFormEventsTest, ADoublePressOpensWithin800MsAtTheSamePoint) {
  auto form = Form();
  SetBody(*form, U("http://x.jp/a"));
  const QPoint at(4, 4);
  const QPoint other(30, 4);
  struct Step {
    uint32_t advance;
    QPoint point;
    size_t opened;
  } steps[] = {
      {0, at, 0}, {799, at, 1},    // 799 ms: opens
      {800, at, 1},                 // 800 ms: not
      {100, other, 1},              // another point: not
  };
  clock_.SetTick(0xFFFFFE00u);  // the counter wraps on the way
  for (const Step& s : steps) {
    clock_.AdvanceMs(s.advance);
    QTest::mouseClick(form->Text->viewport(), Qt::LeftButton, {}, s.point);
    QCoreApplication::processEvents();
    EXPECT_EQ(shell_.opened.size(), s.opened) << s.advance;
  }
}

TEST_F(MainFormEventsTest, ALockedCardRefusesCutAndPasteButCopies) {
  auto form = Form();
  SetBody(*form, U("abc"));
  form->Text->selectAll();
  form->LockCheckBox->setChecked(true);
  QGuiApplication::clipboard()->setText("pasted");
  form->findChild<QAction*>("Cut")->trigger();
  form->findChild<QAction*>("Paste")->trigger();
  EXPECT_EQ(ui_.beeps(), 2);
  EXPECT_EQ(form->Text->toPlainText(), "abc");
  form->findChild<QAction*>("Copy")->trigger();
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "abc");
}

TEST_F(MainFormEventsTest, TheEditMenuCopiesAndPastesTheGrid) {
  auto form = Form();
  SetBody(*form, U("表\tb\nc\td"));
  form->Editor().ShowTableBody();
  GridModel& grid = form->CsvGrid->Grid();
  ASSERT_EQ(grid.Cell(2, 2), "d");
  form->CsvGrid->setEnabled(true);
  form->CsvGrid->setFocus();
  ASSERT_EQ(form->FocusedEditor, form->CsvGrid);
  grid.SetCurrent(1, 1);
  form->findChild<QAction*>("Copy")->trigger();
  EXPECT_EQ(QGuiApplication::clipboard()->text(), U("表"));
  grid.SetCurrent(2, 2);
  form->findChild<QAction*>("Paste")->trigger();
  EXPECT_EQ(grid.Cell(2, 2), S("表"));
  // Locked: the grid is not editable.
  form->LockCheckBox->setChecked(true);
  form->findChild<QAction*>("Cut")->trigger();
  EXPECT_EQ(ui_.beeps(), 1);
  EXPECT_EQ(grid.Cell(2, 2), S("表"));
}

TEST_F(MainFormEventsTest, SetTitleTakesTheTextsFirstLine) {
  auto form = Form();
  struct Case {
    QString body;
    bool select_second_word;
    QString title;
  } cases[] = {
      {U("\n  題名です  \n本文"), false, U("題名です")},
      {U("one two three"), true, U("two")},
      {U(" \n\t"), false, U("前のまま")},
  };
  for (const Case& c : cases) {
    form->Title->setText(U("前のまま"));
    SetBody(*form, c.body);
    if (c.select_second_word) {
      QTextCursor cursor = form->Text->textCursor();
      cursor.setPosition(4);
      cursor.setPosition(7, QTextCursor::KeepAnchor);
      form->Text->setTextCursor(cursor);
    }
    form->SetTitleClick();
    EXPECT_EQ(form->Title->text(), c.title) << c.body.toStdString();
  }
}

TEST_F(MainFormEventsTest, FontsOfTheCardAndTheDefault) {
  auto form = Form();
  ui_.japanese_families = {"IPAGothic"};
  form->Text->setFocus();
  ASSERT_EQ(form->FocusedEditor, form->Text);

  FontChoice too_long;
  too_long.name = std::string(21, 'F');
  ui_.AnswerFont(too_long);
  form->FontActionExecute();
  ASSERT_EQ(ui_.questions().size(), 1u);
  EXPECT_EQ(ui_.questions().back().text, MessageText(MessageId::kFontNameTooLong));
  EXPECT_EQ(form->Editor().FontChanged, 0);

  FontChoice latin;
  latin.name = "DejaVu Sans";
  latin.size = 11;
  latin.bold = true;
  ui_.AnswerFont(latin);
  form->FontActionExecute();
  const store::CardRecord& card = form->EditCard();
  EXPECT_EQ(card.font_name, "DejaVu Sans");
  EXPECT_EQ(card.font_charset, 1);
  EXPECT_TRUE(card.bold);
  EXPECT_EQ(form->Editor().FontChanged, 1);
  const std::string before = form->settings().FontName;
  form->SetDefaultFontClick();
  EXPECT_EQ(ui_.questions().back().text, MessageText(MessageId::kDefaultFontNotJapanese));
  EXPECT_EQ(form->settings().FontName, before);

  FontChoice ipa;
  ipa.name = "IPAGothic";
  ipa.size = 12;
  ui_.AnswerFont(ipa);
  form->FontActionExecute();
  EXPECT_EQ(card.font_charset, 128);
  form->SetDefaultFontClick();
  EXPECT_EQ(form->settings().FontName, "IPAGothic");
  EXPECT_EQ(form->settings().FontSize, 12);
  EXPECT_EQ(form->settings().FontStyle, 0);
  EXPECT_EQ(ui_.questions().size(), 2u);
}

TEST_F(MainFormEventsTest, ColoursOfTheClassLibrary) {
  QPalette palette;
  palette.setColor(QPalette::Base, QColor(250, 250, 250));
  palette.setColor(QPalette::Button, QColor(200, 200, 190));
  EXPECT_EQ(ClassColor(kClWindow, palette), QColor(250, 250, 250));
  EXPECT_EQ(ClassColor(kClBtnFace, palette), QColor(200, 200, 190));
  EXPECT_EQ(ClassColor(0x0000FF, palette), QColor(255, 0, 0));
  EXPECT_EQ(ToColorRef(QColor(0, 0, 255)), 0xFF0000);

  // The text's background: chosen, stored, taken on the next enter.
  auto form = Form();
  form->Text->setFocus();
  ui_.AnswerColor(0x0000FF);
  form->BackColorExecute();
  EXPECT_EQ(ui_.colors_shown, std::vector<int32_t>{kClWindow});
  EXPECT_EQ(form->settings().TextBackColor, 0x0000FF);
  form->Title->setFocus();
  form->Text->setFocus();
  EXPECT_EQ(form->Text->viewport()->palette().color(QPalette::Base), QColor(255, 0, 0));
}

// An input method whose open state the test sets, with the changes asked
// of it.
class FakeInputMethod final : public InputMethodStatus {
 public:
  std::optional<bool> open;
  std::vector<bool> changes;
  std::optional<bool> IsOpen() override { return open; }
  void SetOpen(bool o) override {
    changes.push_back(o);
    open = o;
  }
};

// The text taking the focus opens a closed input method when the setting
// IME asks for it; an open or unknown one, or the setting off, is left as
// it is.
TEST_F(MainFormEventsTest, TheTextOpensAClosedInputMethodWhenTheSettingAsks) {
  struct Case {
    int ime;
    std::optional<bool> open;
    std::vector<bool> changes;
  };
  const Case cases[] = {
      {1, false, {true}}, {1, true, {}}, {1, std::nullopt, {}}, {0, false, {}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "IME=" << c.ime << " open=" << c.open.value_or(-1));
    std::ofstream(dir_.File("quillmain.ini"), std::ios::binary)
        << "[Env]\r\nFontName=x\r\nIME=" << c.ime << "\r\n";
    FakeInputMethod input_method;
    input_method.open = c.open;
    auto form = Form("", &input_method);
    form->Title->setFocus();
    input_method.changes.clear();
    form->Text->setFocus();
    EXPECT_EQ(input_method.changes, c.changes);
  }
}

TEST_F(MainFormEventsTest, TheCompositionsTargetClauseIsBlackOnCyan) {
  auto form = Form();
  form->AutoIndentActionExecute();
  SetBody(*form, "");
  QTextCharFormat target;
  target.setBackground(QColor(80, 80, 80));
  target.setForeground(QColor(255, 255, 255));
  QTextCharFormat rest;
  rest.setFontUnderline(true);
  QList<QInputMethodEvent::Attribute> attrs{
      {QInputMethodEvent::TextFormat, 0, 2, QVariant::fromValue<QTextFormat>(target)},
      {QInputMethodEvent::TextFormat, 2, 1, QVariant::fromValue<QTextFormat>(rest)}};
  QInputMethodEvent preedit(U("にほん"), attrs);
  QCoreApplication::sendEvent(form->Text, &preedit);

  const QList<QTextLayout::FormatRange> formats =
      form->Text->document()->firstBlock().layout()->formats();
  bool cyan = false;
  for (const QTextLayout::FormatRange& r : formats) {
    if (r.start == 0 && r.length == 2) {
      cyan = r.format.background().color() == QColor(0, 255, 255) &&
             r.format.foreground().color() == QColor(0, 0, 0);
    }
    if (r.start == 2) {
      EXPECT_EQ(r.format.background().style(), Qt::NoBrush);
    }
  }
  EXPECT_TRUE(cyan);
  EXPECT_EQ(form->Text->toPlainText(), "");

  QInputMethodEvent commit;
  commit.setCommitString(U("日本"));
  QCoreApplication::sendEvent(form->Text, &commit);
  EXPECT_EQ(form->Text->toPlainText(), U("日本"));
  form->Title->setText("t");
  form->SaveButtonClick();
  EXPECT_EQ(StoredCard(*form, form->EditCard().id).text, S("日本"));
}

TEST_F(MainFormEventsTest, ACommitPastTheLimitIsRefused) {
  auto form = Form();
  // One byte short of the limit, in lines of 100 bytes (98 and CR LF): a
  // single line that long makes the editor's layout very slow.
  QString body = QString(98, 'a').append('\n').repeated(
      static_cast<qsizetype>(kBodyLimitBytes / 100 - 1));
  body.append(QString(99, 'a'));
  SetBody(*form, body);
  QInputMethodEvent commit;
  commit.setCommitString(U("日"));
  QCoreApplication::sendEvent(form->Text, &commit);
  EXPECT_EQ(ui_.beeps(), 1);
  EXPECT_EQ(form->Text->toPlainText(), body);
}

TEST_F(MainFormEventsTest, TheWindowKeepsItsLimits) {
  auto form = Form();
  form->resize(300, 100);
  form->Split->setSizes({100, 200});
  form->CheckWindowPlacement(/*from_timer=*/false);
  // At least 539 x 200 (the layout may ask for a little more height), the
  // tree at least 136, and the geometry stored.
  EXPECT_EQ(form->width(), 539);
  EXPECT_GE(form->height(), 200);
  EXPECT_GE(form->Split->sizes().front(), 136);
  EXPECT_EQ(form->settings().Width, 539);
  EXPECT_EQ(form->settings().Height, form->height());

  const QRect desk = form->screen()->virtualGeometry();
  form->move(desk.right() + 100, desk.top() + 20);
  form->CheckWindowPlacement(/*from_timer=*/true);
  EXPECT_EQ(form->pos().x(), desk.right() + 100);
  form->CheckWindowPlacement(/*from_timer=*/false);
  EXPECT_EQ(form->pos().x(), desk.left());
  EXPECT_EQ(form->pos().y(), desk.top() + 20);
}

TEST_F(MainFormEventsTest, HelpOpensOurPageOrWarns) {
  {
    auto form = Form(dir_.File("nowhere"));
    form->HelpClick();
    ASSERT_EQ(ui_.questions().size(), 1u);
    EXPECT_EQ(ui_.questions().back().caption, MessageText(MessageId::kWarningCaption));
    EXPECT_TRUE(shell_.opened.empty());
  }
  std::ofstream(dir_.File("quillmain_hlp.html")) << "<html></html>";
  auto form = Form(dir_.Path());
  form->HelpClick();
  EXPECT_EQ(shell_.opened, std::vector<std::string>{"file:" + dir_.File("quillmain_hlp.html")});
  EXPECT_EQ(ui_.questions().size(), 1u);

  // Nothing on the desktop opens the page: the message names it.
  shell_.opens_files = false;
  form->HelpClick();
  ASSERT_EQ(ui_.questions().size(), 2u);
  EXPECT_EQ(ui_.questions().back().text,
            FormatMessage(MessageId::kHelpPageNotOpened, {dir_.File("quillmain_hlp.html")}));
  EXPECT_EQ(ui_.questions().back().caption, MessageText(MessageId::kWarningCaption));
}

}  // namespace
}  // namespace quill
