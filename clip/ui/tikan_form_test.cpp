#include "clip/ui/tikan_form.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QHeaderView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <map>

#include "platform/headless/fake_clock.h"
#include "platform/headless/fake_ui.h"
#include "platform/qt/test_app.h"
#include "platform/text_codec.h"

namespace quill {
namespace {

constexpr char kKey[] = "0000000100000AAA";

class MemoryValues : public RememberedValues {
 public:
  Status Read(std::string_view key, std::string* text) override {
    auto it = texts.find(std::string(key));
    *text = it == texts.end() ? "" : it->second;
    return Status::Ok();
  }
  Status Write(std::string_view key, std::string_view text) override {
    if (fail) return Status::NoSpace("disk full");
    ++writes;
    texts[std::string(key)] = std::string(text);
    return Status::Ok();
  }
  std::map<std::string, std::string> texts;
  int writes = 0;
  bool fail = false;
};

// Where a key goes: the open cell editor, else the grid.
QWidget* KeyTarget(TTikanFm* fm) {
  QWidget* editor = fm->TikanGrid->indexWidget(fm->TikanGrid->currentIndex());
  return editor ? editor : fm->TikanGrid;
}

void Type(TTikanFm* fm, const char* text) {
  for (const char* p = text; *p; ++p) QTest::keyClick(KeyTarget(fm), *p);
}

void Key(TTikanFm* fm, Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
  QTest::keyPress(KeyTarget(fm), key, mods);
  QTest::keyRelease(KeyTarget(fm), key, mods);
}

class TikanFormTest : public ::testing::Test {
 protected:
  TikanFormTest() { TestApp(); }

  // Shows the dialog for `text` and lets `act` work it once it is up.
  int Run(const std::string& text, const std::function<void(TTikanFm*)>& act) {
    fm_ = std::make_unique<TTikanFm>(nullptr, ui_, clock_, &values_);
    fm_->SetSource(text, kKey);
    if (fm_->ScanVariables() == 0) return -1;
    fm_->ExpandBuiltins();
    bool acted = false;
    QTimer::singleShot(0, [&] {
      acted = true;
      act(fm_.get());
    });
    int result = fm_->exec();
    EXPECT_TRUE(acted);
    return result;
  }

  FakeClock clock_;
  FakeUi ui_;
  MemoryValues values_;
  std::unique_ptr<TTikanFm> fm_;
};

TEST_F(TikanFormTest, EnterWalksTheRowsAndClosesStoringTheValues) {
  values_.texts[kKey] = "old1\told2\t";
  int result = Run("$_A_-$_B_", [](TTikanFm* fm) {
    EXPECT_EQ(fm->windowTitle(), QString::fromUtf8("置換"));
    EXPECT_EQ(fm->TikanGrid->rowCount(), 2);
    EXPECT_EQ(fm->TikanGrid->horizontalHeaderItem(0)->text(), QString::fromUtf8("置換前"));
    EXPECT_EQ(fm->TikanGrid->item(1, 0)->text(), QString("$_B_"));
    EXPECT_EQ(fm->TikanGrid->item(0, 1)->text(), QString("old1"));
    EXPECT_EQ(fm->Bun->toPlainText(), QString("$_A_-$_B_"));
    EXPECT_EQ(fm->TikanGrid->currentRow(), 0);
    // The release of an Enter pressed before the dialog came up does nothing.
    QTest::keyRelease(KeyTarget(fm), Qt::Key_Return);
    EXPECT_TRUE(fm->isVisible());
    Type(fm, "x");
    Key(fm, Qt::Key_Return);
    ASSERT_TRUE(fm->isVisible());
    EXPECT_EQ(fm->TikanGrid->currentRow(), 1);
    Type(fm, "y");
    Key(fm, Qt::Key_Return);
  });
  EXPECT_EQ(result, 1);
  EXPECT_EQ(fm_->GetResult(), "x-y");
  EXPECT_EQ(values_.texts[kKey], "x\ty\t");
}

TEST_F(TikanFormTest, ShiftEnterAndEscCloseWithoutStoring) {
  struct Case {
    Qt::Key key;
    Qt::KeyboardModifiers mods;
    int result;
  } cases[] = {
      {Qt::Key_Return, Qt::ShiftModifier, 1},
      {Qt::Key_Enter, Qt::ShiftModifier, 1},
      {Qt::Key_Escape, Qt::NoModifier, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "key " << c.key);
    values_.texts.clear();
    int result = Run("$_A_-$_B_", [&](TTikanFm* fm) {
      Type(fm, "x");  // the cell editor is open
      Key(fm, c.key, c.mods);
    });
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(values_.writes, 0);
    // Closing substitutes in every case.
    EXPECT_EQ(fm_->GetResult(), "x-$_B_");
  }
}

TEST_F(TikanFormTest, OkStoresAndHonoursTikanBlank) {
  int result = Run("<$_A_|$_B_>", [](TTikanFm* fm) {
    fm->TikanGrid->item(1, 1)->setText("b");
    fm->TikanBlank->setChecked(true);
    fm->OK->click();
  });
  EXPECT_EQ(result, 1);
  EXPECT_EQ(fm_->GetResult(), "<|b>");
  EXPECT_EQ(values_.texts[kKey], "\xDF\tb\t");

  result = Run("<$_A_|$_B_>", [](TTikanFm* fm) {
    EXPECT_EQ(fm->TikanGrid->item(0, 1)->text(), QString());
    EXPECT_EQ(fm->TikanGrid->item(1, 1)->text(), QString("b"));
    fm->Cancel->click();
  });
  EXPECT_EQ(result, 2);
}

TEST_F(TikanFormTest, FailedStoreIsReported) {
  values_.fail = true;
  int result = Run("$_A_", [](TTikanFm* fm) {
    Type(fm, "x");
    Key(fm, Qt::Key_Return);
  });
  EXPECT_EQ(result, 1);
  ASSERT_EQ(ui_.questions().size(), 1u);
  EXPECT_EQ(ui_.questions()[0].caption, Utf8ToCp932("警告"));
  EXPECT_EQ(fm_->GetResult(), "x");
}

TEST_F(TikanFormTest, WithoutTheDialogFillGridAndApplyValues) {
  values_.texts[kKey] = Utf8ToCp932("名前\t");
  TTikanFm fm(nullptr, ui_, clock_, &values_);
  fm.SetSource(Utf8ToCp932("様: $_NAME_"), kKey);
  ASSERT_EQ(fm.ScanVariables(), 1);
  fm.ExpandBuiltins();
  ASSERT_TRUE(fm.FillGrid().ok());
  fm.ApplyValues();
  EXPECT_EQ(fm.GetResult(), Utf8ToCp932("様: 名前"));
}

// As paste-out's dialog: every way out but OK is a cancel, and the text is
// substituted whichever way it ends, TikanBlank as set.
TEST_F(TikanFormTest, AsThePastesDialogEveryWayOutButOkCancels) {
  struct Case {
    const char* how;
    std::function<void(TTikanFm*)> act;
    int result;
  };
  const Case cases[] = {
      {"OK", [](TTikanFm* fm) { fm->OK->click(); }, kResultOk},
      {"Cancel", [](TTikanFm* fm) { fm->Cancel->click(); }, kResultCancel},
      {"Esc", [](TTikanFm* fm) { Key(fm, Qt::Key_Escape); }, kResultCancel},
      {"close box", [](TTikanFm* fm) { fm->close(); }, kResultCancel},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.how);
    TikanDialog dialog(nullptr, ui_, clock_, &values_);
    dialog.SetBlank(true);
    EXPECT_TRUE(dialog.form()->TikanBlank->isChecked());
    dialog.fill().SetSource("<$_A_>", kKey);
    ASSERT_EQ(dialog.fill().ScanVariables(), 1);
    QTimer::singleShot(0, [&] { c.act(dialog.form()); });
    EXPECT_EQ(dialog.ShowModal(), c.result);
    EXPECT_EQ(dialog.fill().GetResult(), "<>");
  }
}

}  // namespace
}  // namespace quill
