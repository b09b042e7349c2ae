// The transfer read's two questions as the desktop shows them, offscreen:
// the forms, their labelled fields, and what each answer does to the card.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <cstdlib>
#include <functional>
#include <memory>

#include "main/exchange/transfer_test_support.h"
#include "main/ui/form_parts.h"
#include "main/ui/small_forms.h"
#include "main/ui/transfer_forms.h"
#include "platform/qt/cp932_text.h"
#include "platform/qt/test_app.h"
#include "platform/qt/test_modals.h"

namespace quill {
namespace {

QStringList Labels(QWidget* w) {
  QStringList texts;
  for (QLabel* l : w->findChildren<QLabel*>()) texts << l->text();
  return texts;
}

class TransferFormsTest : public testing::Test {
 protected:
  static void SetUpTestSuite() { TestApp(); }

  // Runs the read, `answer` taking each question as it opens.
  TransferReadResult Read(std::function<void(QWidget*)> answer) {
    QtTransferDialogs dialogs(&owner_);
    TransferContext ctx{set_.form, dialogs};
    TransferReadResult r;
    AnsweringModals(answer, [&] { EXPECT_EQ(ReadTransferFile(ctx, set_.folder, 1, &r), 0); });
    return r;
  }

  FaultEnv env_;
  TestDataSet set_{env_};
  QWidget owner_;
};

// Two cards that the file moves to another folder and two locked ones: the
// questions come as TChgFolderFm and TLockCheckFm with their fields filled
// in, and each of their two answers does what it says.
TEST_F(TransferFormsTest, BothAnswersOfBothQuestions) {
  const std::string moved = set_.Add("A", "moved", 500, 1, 600);
  const std::string kept = set_.Add("A", "kept", 500, 2, 600);
  const std::string updated = set_.Add("A", "updated", 500, 3, 600, "old", true);
  const std::string left = set_.Add("A", "left", 500, 4, 600, "old", true);
  std::vector<Block> blocks(4);
  const char* titles[] = {"moved", "kept", "updated", "left"};
  const char* folders[] = {"X", "Y", "A", "A"};
  for (uint32_t i = 0; i < 4; ++i) {
    blocks[i].title = titles[i];
    blocks[i].folder = folders[i];
    blocks[i].ctime = 500;
    blocks[i].ctick = i + 1;
    blocks[i].utime = 700;
    blocks[i].text = "new";
  }
  WriteTransfer(env_, set_.folder, set_.store, blocks);

  int asked = 0;
  const TransferReadResult r = Read([&](QWidget* modal) {
    ++asked;
    SCOPED_TRACE(asked);
    if (asked <= 2) {
      auto* fm = qobject_cast<TChgFolderFm*>(modal);
      ASSERT_NE(fm, nullptr) << modal->metaObject()->className();
      // On top, with no icons in its frame, in the middle of the screen.
      EXPECT_TRUE(fm->windowFlags() & Qt::WindowStaysOnTopHint);
      EXPECT_FALSE(fm->windowFlags() & Qt::WindowCloseButtonHint);
      const QRect screen = fm->screen()->geometry();
      EXPECT_LE(std::abs(fm->frameGeometry().center().x() - screen.center().x()), 8);
      EXPECT_EQ(fm->windowTitle(), U("確認"));
      const QStringList labels = Labels(fm);
      for (const char* label : {"入れるカードとすでにあるカードが違うフォルダです。",
                                "現在あるカードフォルダ", "入れるカードのフォルダ",
                                "入れるカードのタイトル"}) {
        EXPECT_TRUE(labels.contains(U(label))) << label;
      }
      EXPECT_EQ(fm->NowFolder->text(), "A");
      EXPECT_EQ(fm->ReadFolder->text(), asked == 1 ? "X" : "Y");
      EXPECT_EQ(fm->Title->text(), asked == 1 ? "moved" : "kept");
      EXPECT_TRUE(fm->NowFolder->isReadOnly() && fm->ReadFolder->isReadOnly() &&
                  fm->Title->isReadOnly());
      EXPECT_EQ(fm->After(), 0);
      EXPECT_EQ(fm->Button2->text(), U("入れるカードのフォルダに変更"));
      EXPECT_EQ(fm->NoChange->text(), U("すでにあるフォルダのまま変更しない"));
      (asked == 1 ? fm->Button2 : fm->NoChange)->click();
    } else {
      auto* fm = qobject_cast<TLockCheckFm*>(modal);
      ASSERT_NE(fm, nullptr) << modal->metaObject()->className();
      EXPECT_EQ(fm->windowTitle(), U("チェック！"));
      const QStringList labels = Labels(fm);
      EXPECT_TRUE(labels.contains(U("すでにあるカードがロックしてあります。")));
      EXPECT_TRUE(labels.contains(U("カードのタイトル")));
      EXPECT_EQ(fm->Title->text(), asked == 3 ? "updated" : "left");
      EXPECT_EQ(fm->Kousin->text(), U("更新する"));
      EXPECT_EQ(fm->NotKousin->text(), U("更新しない"));
      (asked == 3 ? fm->Kousin : fm->NotKousin)->click();
    }
  });
  EXPECT_EQ(asked, 4);
  EXPECT_EQ(r.end, ReadEnd::kComplete);
  bool found = false;
  const store::CardRecord m = set_.Get(moved, &found);
  EXPECT_EQ(m.folder, "X");
  EXPECT_EQ(m.text, "new");
  const store::CardRecord k = set_.Get(kept, &found);
  EXPECT_EQ(k.folder, "A");
  EXPECT_EQ(k.text, "new");
  EXPECT_EQ(set_.Get(updated, &found).text, "new");
  EXPECT_EQ(set_.Get(left, &found).text, "old");
}

// The third button of either question, or its close box, stops the read.
TEST_F(TransferFormsTest, StoppingEndsTheRead) {
  set_.Add("A", "one", 500, 1, 600, "old", true);
  Block b;
  b.folder = "A";
  b.ctime = 500, b.ctick = 1, b.utime = 700;
  WriteTransfer(env_, set_.folder, set_.store, {b});
  const TransferReadResult r = Read([](QWidget* modal) {
    auto* fm = qobject_cast<TLockCheckFm*>(modal);
    ASSERT_NE(fm, nullptr);
    fm->Tyuudan->click();
  });
  EXPECT_EQ(r.end, ReadEnd::kStoppedByUser);
}

}  // namespace
}  // namespace quill
