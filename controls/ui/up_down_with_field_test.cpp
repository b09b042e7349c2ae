#include "controls/ui/up_down_with_field.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include "platform/qt/test_app.h"

namespace quill {
namespace {

class UpDownWithFieldTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { TestApp(); }

  void SetUp() override {
    auto* layout = new QHBoxLayout(&window);
    layout->addWidget(edit);
    layout->addWidget(updown);
    updown->EditField = edit;
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  }

  void Press(TUDBtnType button) { QTest::mouseClick(updown->Button(button), Qt::LeftButton); }

  QWidget window;
  QLineEdit* edit = new QLineEdit(&window);
  TUpDownWithField* updown = new TUpDownWithField(&window);
};

TEST_F(UpDownWithFieldTest, StepsTheNumberInTheEdit) {
  struct {
    const char* before;
    TUDBtnType button;
    const char* after;
  } cases[] = {
      {"1", btPrev, "0"},
      {"0", btPrev, "-1"},
      {"12abc", btNext, "13"},
      {"", btNext, "1"},
      {"abc", btPrev, "-1"},
      {"-5", btNext, "-4"},
      {" +7", btNext, "8"},
      {"2147483647", btNext, "2147483647"},
      {"-2147483648", btPrev, "-2147483648"},
      {"99999999999999999999", btPrev, "2147483646"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.before);
    edit->setText(c.before);
    Press(c.button);
    EXPECT_EQ(edit->text().toStdString(), c.after);
  }
}

TEST_F(UpDownWithFieldTest, OnClickComesFirstThenTheEditHasTheFocusAllSelected) {
  auto* other = new QLineEdit(&window);
  window.layout()->addWidget(other);
  other->show();
  other->setFocus();
  ASSERT_EQ(QApplication::focusWidget(), other);
  edit->setText("41");
  QString seen;
  QObject::connect(updown, &TUpDownWithField::OnClick, [&] { seen = edit->text(); });
  Press(btNext);
  EXPECT_EQ(seen, "41");
  EXPECT_EQ(edit->text(), "42");
  EXPECT_EQ(QApplication::focusWidget(), edit);
  EXPECT_EQ(edit->selectedText(), "42");
}

TEST_F(UpDownWithFieldTest, WithoutAnEditOnlyOnClickFires) {
  updown->EditField = nullptr;
  edit->setText("5");
  QSignalSpy clicks(updown, &TUpDownWithField::OnClick);
  Press(btNext);
  Press(btPrev);
  EXPECT_EQ(clicks.count(), 2);
  EXPECT_EQ(edit->text(), "5");

  // An edit that goes away unbinds itself.
  updown->EditField = edit;
  delete edit;
  Press(btNext);
  EXPECT_EQ(clicks.count(), 3);
}

}  // namespace
}  // namespace quill
