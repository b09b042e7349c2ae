#include "controls/ui/db_combo_box_trim.h"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QLineEdit>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTest>
#include <QVBoxLayout>

#include "platform/qt/test_app.h"

namespace quill {
namespace {

class DBComboBoxTrimTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { TestApp(); }

  void SetUp() override {
    combo->setGeometry(10, 10, 120, 24);
    other->setGeometry(10, 50, 120, 24);
    field.setItem(0, 0, new QStandardItem("old"));
    combo->SetField(&field, 0, 0);
    combo->DropWidth = 300;
    window.resize(400, 300);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    ASSERT_EQ(QApplication::focusWidget(), other);
  }

  QStringList Items() const {
    QStringList items;
    for (int i = 0; i < combo->count(); ++i) items << combo->itemText(i);
    return items;
  }
  // Drops the list down and chooses a row with Return; -1 closes it with
  // no row highlighted.
  void Choose(int row) {
    combo->showPopup();
    combo->view()->setCurrentIndex(row < 0 ? QModelIndex() : combo->model()->index(row, 0));
    if (row < 0) {
      combo->hidePopup();
    } else {
      QTest::keyClick(combo->view(), Qt::Key_Return);
    }
  }
  QString Stored() const { return field.item(0, 0)->text(); }

  QWidget window;
  QLineEdit* other = new QLineEdit(&window);  // first in the tab order: the window opens on it
  TDBComboBoxTrim* combo = new TDBComboBoxTrim(&window);
  QStandardItemModel field{1, 1};
};

TEST_F(DBComboBoxTrimTest, EntryDropDownAndCloseUp) {
  combo->addItems({"a--->Apple", "b--->Banana", "c"});
  QSignalSpy entered(combo, &TDBComboBoxTrim::OnEnter);
  combo->setFocus();
  EXPECT_EQ(entered.count(), 1);
  EXPECT_EQ(Items(), (QStringList{"a", "b", "c"}));

  QSignalSpy dropped(combo, &TDBComboBoxTrim::OnDropDown);
  combo->showPopup();
  EXPECT_EQ(dropped.count(), 1);
  EXPECT_TRUE(combo->DroppedDown());
  EXPECT_EQ(Items(), (QStringList{"a--->Apple", "b--->Banana", "c--->c"}));
  EXPECT_EQ(combo->width(), 300);

  // The user picks the second item with the keyboard.
  combo->view()->setCurrentIndex(combo->model()->index(0, 0));
  QTest::keyClick(combo->view(), Qt::Key_Down);
  QTest::keyClick(combo->view(), Qt::Key_Return);
  EXPECT_FALSE(combo->DroppedDown());
  EXPECT_EQ(Items(), (QStringList{"a", "b", "c"}));
  EXPECT_EQ(combo->currentIndex(), 1);
  EXPECT_EQ(combo->currentText(), "b");
  EXPECT_EQ(combo->width(), 120);
  EXPECT_EQ(Stored(), "b");

  // Closed with Escape, the row the pointer or the keys highlighted is not
  // chosen.
  combo->showPopup();
  combo->view()->setCurrentIndex(combo->model()->index(2, 0));
  QTest::keyClick(combo->view(), Qt::Key_Escape);
  EXPECT_FALSE(combo->DroppedDown());
  EXPECT_EQ(Items(), (QStringList{"a", "b", "c"}));
  EXPECT_EQ(combo->currentText(), "b");
  EXPECT_EQ(combo->width(), 120);
  EXPECT_EQ(Stored(), "b");

  // A click on a row chooses it.
  combo->showPopup();
  const QRect row = combo->view()->visualRect(combo->model()->index(0, 0));
  QTest::mouseMove(combo->view()->viewport(), row.center());
  QTest::mouseClick(combo->view()->viewport(), Qt::LeftButton, {}, row.center());
  EXPECT_FALSE(combo->DroppedDown());
  EXPECT_EQ(combo->currentText(), "a");
  EXPECT_EQ(Stored(), "a");
  EXPECT_EQ(combo->width(), 120);

  // Closed, Up and Down reach OnKeyDown but do not change the item.
  QSignalSpy keys(combo, &TDBComboBoxTrim::OnKeyDown);
  QTest::keyClick(combo, Qt::Key_Down);
  QTest::keyClick(combo, Qt::Key_Up);
  EXPECT_EQ(keys.count(), 2);
  EXPECT_EQ(combo->currentIndex(), 0);
  EXPECT_EQ(Stored(), "a");
}

TEST_F(DBComboBoxTrimTest, ListFromAModelKeepsKeysWithTheirItems) {
  QStandardItemModel set(0, 2);
  set.setHorizontalHeaderLabels({"code", "name"});
  set.appendRow({new QStandardItem("k1"), new QStandardItem("one")});
  set.appendRow({new QStandardItem("k2"), new QStandardItem()});  // no value
  set.appendRow({new QStandardItem("k3"), new QStandardItem("two\r\nlines")});
  set.appendRow({new QStandardItem("k4"), new QStandardItem("four")});
  combo->ListSet = &set;
  combo->SetKeyStr("code");
  combo->SetValueStr("name");
  combo->SetList();
  EXPECT_EQ(Items(), (QStringList{"k1", "k2", "k3", "k4"}));

  combo->showPopup();
  EXPECT_EQ(Items(), (QStringList{"k1--->one", "k2---> ", "k3--->two\r\nlines", "k4--->four"}));
  combo->hidePopup();
  Choose(3);
  EXPECT_EQ(Stored(), "k4");
  EXPECT_EQ(combo->currentText(), "k4");
}

// Without a list, a selection or a field nothing is read or stored.
TEST_F(DBComboBoxTrimTest, NothingToReadOrStore) {
  combo->SetList();  // no ListSet
  EXPECT_EQ(combo->count(), 0);
  Choose(-1);
  EXPECT_EQ(Stored(), "old");

  QStandardItemModel set(0, 1);
  set.setHorizontalHeaderLabels({"code"});
  set.appendRow(new QStandardItem("k1"));
  combo->ListSet = &set;
  combo->SetKeyStr("code");
  combo->SetValueStr("missing");
  combo->SetList();
  EXPECT_EQ(combo->count(), 0) << "no column of the value's name";

  combo->addItems({"x--->1", "y--->2"});
  combo->setFocus();
  Choose(-1);
  EXPECT_EQ(Stored(), "old") << "no item chosen";
  EXPECT_EQ(combo->width(), 120);

  combo->SetField(nullptr, 0, 0);
  Choose(1);
  EXPECT_EQ(combo->currentText(), "y");
  EXPECT_EQ(Stored(), "old");
}

}  // namespace
}  // namespace quill
