#include "main/settings/data_set_switch.h"

#include <gtest/gtest.h>

#include "main/exchange/fake_transfer_dialogs.h"
#include "main/exchange/transfer_file.h"
#include "main/tree/folder_tree_model.h"
#include "main/tree/tree_loader.h"
#include "platform/headless/fake_ui.h"
#include "platform/headless/fault_env.h"
#include "platform/headless/temp_dir.h"
#include "platform/messages.h"
#include "platform/ui.h"
#include "store/card_store.h"
#include "store/card_test_support.h"
#include "store/journal.h"

namespace quill {
namespace {

class QuietDataSetView final : public DataSetView {
 public:
  void SaveCurrentCard() override {}
  Status ShowDataSet(const std::string& name) override {
    shown.push_back(name);
    return Status::Ok();
  }
  void SetCaption(const std::string&) override {}
  void DataMenuChanged() override {}
  void WriteTreeFile() override {}
  void ForgetAppendCard() override {}
  void SaveSettingsGroup(int) override {}
  std::vector<std::string> shown;
};

class DataSetSwitchTest : public testing::Test {
 protected:
  void SetUp() override {
    env_.SetFreeBytes(uint64_t{1} << 40);
    ASSERT_TRUE(env_.CreateDir(two_).ok());
    {
      store::CardStore two(env_, home_);
      ASSERT_TRUE(two.Open(false, two_).ok());
      store::WriteFolderRow(two, "T");
      ASSERT_TRUE(two.Close().ok());
    }
    settings_.DataFiles.names[0] = "Zero";
    settings_.DataFiles.names[2] = "Two";
    settings_.DataFiles.paths[2] = two_;
    ASSERT_TRUE(store_.Open(false, "").ok());
  }

  TempDir dir_;
  FaultEnv env_;
  std::string home_ = dir_.Path() + "/";
  std::string two_ = dir_.File("two");
  store::CardStore store_{env_, home_};
  Settings settings_;
  FakeUi ui_;
  QuietDataSetView view_;
  DataSets sets_{env_, store_, settings_, ui_, view_, nullptr, nullptr};
  FolderTreeModel form_{store_, settings_, ui_};
  FakeTransferDialogs dialogs_;
  TransferContext transfer_{form_, dialogs_};
};

// A set that cannot be closed cleanly when another is opened loses
// nothing: its journal stays for its next open. The user is told once,
// and the other set opens all the same.
TEST_F(DataSetSwitchTest, AFailedCloseIsToldOnceAndTheSwitchGoesOn) {
  const std::string id = store::WriteTestCard(store_, env_.fake_clock(), "F", "kept", "text");
  env_.SetFailRemove(true);  // the journal cannot be removed
  ASSERT_TRUE(sets_.SwitchDataFile(2, false).ok());
  env_.SetFailRemove(false);
  ASSERT_EQ(ui_.questions().size(), 1u);
  EXPECT_EQ(ui_.questions()[0].text.rfind(FormatMessage(MessageId::kDataSetNotClosed, {""}), 0),
            0u);
  EXPECT_EQ(ui_.questions()[0].caption, MessageText(MessageId::kWarningCaption));
  EXPECT_EQ(settings_.DataFileNum, 2);
  EXPECT_EQ(store_.data_path(), two_ + "/");
  EXPECT_TRUE(env_.Exists(home_ + store::Journal::kFileName));

  // Back to set 0: recovered from its journal, the card is there.
  ASSERT_TRUE(sets_.SwitchDataFile(0, false).ok());
  EXPECT_EQ(ui_.questions().size(), 1u);
  EXPECT_EQ(settings_.DataFileNum, 0);
  store::CardRecord c(store_);
  bool found = false;
  ASSERT_TRUE(c.FindByKey("TEXT_ID", id, true, &found).ok());
  EXPECT_TRUE(found);
  EXPECT_EQ(c.text, "text");
  EXPECT_EQ(view_.shown, (std::vector<std::string>{"Two", "Zero"}));
}

// Writing the marked cards into another set: a write that stops before
// its read leaves "older too" to no later read, and a target set that
// cannot be closed after the merge is told and fails the write.
TEST_F(DataSetSwitchTest, WritingIntoAnotherSetFailsOnWhatStoppedIt) {
  store::WriteFolderRow(store_, "F");
  store::WriteTestCard(store_, env_.fake_clock(), "F", "card", "text");
  // Closed cleanly, and the load writes nothing: only the target's close
  // meets the fault below.
  ASSERT_TRUE(store_.Close().ok());
  ASSERT_TRUE(store_.Open(false, "").ok());
  ASSERT_TRUE(LoadFolderTree(form_, nullptr).ok());
  TreeNode* card = form_.tree().root();
  while (card != nullptr && card->IsFolder()) card = card->GetNext();
  ASSERT_NE(card, nullptr);
  card->info().SetMark(1);
  sets_.set_transfer(&transfer_);

  ui_.Answer(kResultYes);  // older cards too
  env_.SetWriteBudget(0);
  EXPECT_FALSE(sets_.WriteToDataSet(2, 1).ok());
  env_.ClearFaults();
  env_.SetFreeBytes(uint64_t{1} << 40);
  EXPECT_EQ(transfer_.AllTorikomi, 0);

  const size_t asked = ui_.questions().size();
  env_.SetFailRemove(true);  // the target's journal cannot be removed
  EXPECT_FALSE(sets_.WriteToDataSet(2, 1).ok());
  env_.SetFailRemove(false);
  ASSERT_EQ(ui_.questions().size(), asked + 2);  // "older too?" and the close
  EXPECT_EQ(ui_.questions().back().text.rfind(FormatMessage(MessageId::kDataSetNotClosed, {""}), 0),
            0u);
  EXPECT_EQ(store_.data_path(), home_);
}

}  // namespace
}  // namespace quill
