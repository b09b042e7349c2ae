#include "main/ui/search_forms.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QIcon>
#include <QPixmap>
#include <functional>
#include <memory>
#include <vector>

#include "platform/qt/cp932_text.h"
#include "main/ui/qt_ui.h"
#include "platform/qt/test_app.h"
#include "platform/text_codec.h"
#include "platform/ui.h"

namespace quill {
namespace {

QString U(const char* s) { return QString::fromUtf8(s); }

// A key typed with this text (a kana too, which QTest cannot type).
void Type(QWidget* w, const QString& text) {
  QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, text);
  QApplication::sendEvent(w, &press);
}

TEST(SearchFormsTest, TheReplaceQuestionAnswersToItsKeys) {
  TestApp();
  struct Case {
    const char* key;
    int result;
  } cases[] = {{"r", kResultOk},         {"ｽ", kResultOk},
               {"F", kReplaceCheckFind}, {"ﾊ", kReplaceCheckFind},
               {"a", kReplaceCheckAll},  {"ﾁ", kReplaceCheckAll}};
  for (const Case& c : cases) {
    TRepCheckFm form(nullptr);
    form.show();
    // Typed on a button, as after a Tab.
    Type(form.Find, U(c.key));
    EXPECT_EQ(form.result(), c.result) << c.key;
    EXPECT_FALSE(form.isVisible()) << c.key;
  }
  TRepCheckFm form(nullptr);
  form.show();
  Type(&form, U("x"));
  EXPECT_TRUE(form.isVisible());
  QTest::keyClick(&form, Qt::Key_Escape);
  EXPECT_EQ(form.result(), kResultCancel);
}

TEST(SearchFormsTest, OkClosesOnlyWithSomethingToSearch) {
  TestApp();
  TFindFm find(nullptr, CardSearchForm());
  find.show();
  EXPECT_FALSE(find.FindFolderMark->isEnabled());
  find.cdate1->setText("1993/1/1");  // a wrong date is no criterion
  find.OKButton->click();
  EXPECT_TRUE(find.isVisible());
  find.FindDel->click();
  EXPECT_TRUE(find.FindFolderMark->isEnabled());
  find.Syutten->setText(U("出典"));
  find.OKButton->click();
  EXPECT_FALSE(find.isVisible());
  EXPECT_EQ(find.result(), kResultOk);
  EXPECT_EQ(find.Form().source, Utf8ToCp932("出典"));
  EXPECT_TRUE(find.Form().find_del);

  TKensakuFm text(nullptr, SearchStringForm{ComboContent{"", {"old"}}});
  text.show();
  text.OKButton->click();
  EXPECT_TRUE(text.isVisible());
  text.FindStr->setEditText("abc");
  text.OKButton->click();
  EXPECT_FALSE(text.isVisible());
  EXPECT_EQ(text.Form().text.items, std::vector<std::string>{"old"});
}

// The search boxes offer their history in the list only: the text typed
// and confirmed with Enter is what the dialog gives back, never an entry
// of the history that begins with it or differs from it in case.
TEST(SearchFormsTest, EnterSearchesTheTypedTextNotAHistoryEntry) {
  TestApp();
  const ComboContent history{"", {Utf8ToCp932("本文 Beta"), "Beta"}};
  struct Box {
    std::unique_ptr<QDialog> dialog;
    QComboBox* combo;
    std::function<std::string()> read;
  };
  auto boxes = [&] {
    std::vector<Box> out;
    CardSearchForm search;
    search.words = history;
    auto* find = new TFindFm(nullptr, search);
    out.push_back({std::unique_ptr<QDialog>(find), find->FindStr, [find] { return find->Form().words.text; }});
    auto* text = new TKensakuFm(nullptr, SearchStringForm{history});
    out.push_back({std::unique_ptr<QDialog>(text), text->FindStr, [text] { return text->Form().text.text; }});
    ReplaceForm replace;
    replace.find = history;
    auto* rep = new TReplaceFm(nullptr, replace);
    out.push_back({std::unique_ptr<QDialog>(rep), rep->FindStr, [rep] { return rep->Form().find.text; }});
    return out;
  };
  for (const char* typed : {"本文", "beta", "Bet"}) {
    for (Box& box : boxes()) {
      SCOPED_TRACE(std::string(typed) + " in " + box.dialog->metaObject()->className());
      box.dialog->show();
      ASSERT_TRUE(QTest::qWaitForWindowExposed(box.dialog.get()));
      QLineEdit* edit = box.combo->lineEdit();
      edit->setFocus();
      edit->clear();
      for (const QChar ch : U(typed)) Type(edit, QString(ch));
      EXPECT_EQ(edit->text(), U(typed));
      QTest::keyClick(edit, Qt::Key_Return);
      EXPECT_FALSE(box.dialog->isVisible());
      EXPECT_EQ(box.dialog->result(), kResultOk);
      EXPECT_EQ(box.read(), Utf8ToCp932(typed));
      EXPECT_EQ(box.combo->count(), 2) << "the history stays in the list";
    }
  }
}

TEST(SearchFormsTest, QtUiGivesTheFormBackOnOk) {
  TestApp();
  QtUi ui;
  ReplaceForm form;
  form.find = ComboContent{"abc", {"abc", "def"}};
  QTimer::singleShot(0, [] {
    auto* dialog = qobject_cast<TReplaceFm*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->windowTitle(), U("置換"));
    dialog->RepStr->setText(U("置換後"));
    dialog->BigSmall->setChecked(true);
    dialog->OKButton->click();
  });
  EXPECT_EQ(ui.RunReplaceForm(&form), kResultOk);
  EXPECT_EQ(form.replacement, Utf8ToCp932("置換後"));
  EXPECT_TRUE(form.match_case);
  EXPECT_EQ(form.find.text, "abc");
}

// The card search's icon button shows the chosen icon's picture.
TEST(SearchFormsTest, TheCardSearchsIconButtonShowsTheIconsPicture) {
  TestApp();
  QtUi ui;
  const auto picture = [](int i) {
    QPixmap p(16, 16);
    p.fill(QColor(i * 2, 255 - i * 2, 0));
    return p;
  };
  ui.SetCardIcons([&] {
    QList<QIcon> icons;
    for (int i = 0; i < 100; ++i) icons.push_back(QIcon(picture(i)));
    return icons;
  });
  const auto shown = [](QPushButton* b) {
    return b->icon().pixmap(16, 16).toImage().convertToFormat(QImage::Format_RGB32);
  };
  CardSearchForm form;
  form.icon = 7;
  QTimer::singleShot(0, [&] {
    auto* find = qobject_cast<TFindFm*>(QApplication::activeModalWidget());
    ASSERT_NE(find, nullptr);
    EXPECT_EQ(shown(find->KindButton), picture(7).toImage().convertToFormat(QImage::Format_RGB32));
    EXPECT_EQ(find->KindButton->text(), QString());
    find->ClearButton->click();
    EXPECT_TRUE(find->KindButton->icon().isNull());
    // The picker opens on icon 0; one step right picks icon 1.
    QTimer::singleShot(0, [] {
      auto* picker = qobject_cast<TKindFm*>(QApplication::activeModalWidget());
      ASSERT_NE(picker, nullptr);
      QTest::keyClick(picker, Qt::Key_Right);
      QTest::keyClick(picker, Qt::Key_Return);
    });
    find->KindButton->click();
    EXPECT_EQ(shown(find->KindButton), picture(1).toImage().convertToFormat(QImage::Format_RGB32));
    find->OKButton->click();
  });
  EXPECT_EQ(ui.RunCardSearchForm(&form), kResultOk);
  EXPECT_EQ(form.icon, 1);
}

TEST(SearchFormsTest, TheIconPickerPicksByKeyAndClick) {
  TestApp();
  TKindFm keys(nullptr, 98);
  keys.show();
  QTest::keyClick(&keys, Qt::Key_Right);
  QTest::keyClick(&keys, Qt::Key_Right);
  QTest::keyClick(&keys, Qt::Key_Return);
  EXPECT_EQ(keys.Result(), 99);
  TKindFm mouse(nullptr, 0);
  mouse.show();
  QTest::mouseClick(&mouse, Qt::LeftButton, {}, QPoint(4 + 20 * 3 + 5, 4 + 20 * 1 + 5));
  EXPECT_EQ(mouse.Result(), 13);
  EXPECT_EQ(mouse.result(), kResultOk);
}

}  // namespace
}  // namespace quill
