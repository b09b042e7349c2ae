// The bin of deleted cards and the batch change over a real store in a
// temporary folder, with scripted dialogs.
#include <gtest/gtest.h>

#include <functional>

#include "main/dialogs/batch_change.h"
#include "main/dialogs/deleted_cards_bin.h"
#include "main/dialogs/fake_small_dialogs.h"
#include "main/tree/folder_tree_model.h"
#include "main/tree/node_operations.h"
#include "main/tree/tree_loader.h"
#include "platform/headless/fake_ui.h"
#include "platform/headless/fault_env.h"
#include "platform/headless/temp_dir.h"
#include "platform/messages.h"
#include "platform/ui_messages.h"
#include "store/card_test_support.h"

namespace quill {
namespace {

class SmallCommandsTest : public testing::Test, public BinView, public BatchChangeView {
 protected:
  void SaveCurrentCard() override { ++saves_; }
  void CancelNodeMove() override {}
  void ReloadTree() override {
    ++reloads_;
    if (before_reload_) before_reload_();
    EXPECT_TRUE(LoadFolderTree(form_, nullptr).ok());
  }
  void ReloadEditorCard() override {}

  std::string Card(const std::string& folder, const std::string& title) {
    return store::WriteTestCard(store_, env_.fake_clock(), folder, title, "text of " + title);
  }
  void ToBin(const std::string& id) {
    store::CardRecord c(store_);
    bool found = false;
    ASSERT_TRUE(c.FindByKey("TEXT_ID", id, false, &found).ok() && found);
    ASSERT_TRUE(c.MarkDeleted().ok());
  }
  std::vector<std::string> Messages() const {
    std::vector<std::string> texts;
    for (const auto& q : ui_.questions()) texts.push_back(q.text);
    return texts;
  }
  store::CardRecord Load(const std::string& id) {
    store::CardRecord c(store_);
    bool found = false;
    EXPECT_TRUE(c.FindByKey("TEXT_ID", id, true, &found).ok() && found);
    return c;
  }

  TempDir dir_;
  FaultEnv env_;
  store::CardStore store_{env_, dir_.Path() + "/", {store::Durability::kKillSafe}};
  Settings settings_;
  FakeUi ui_;
  FolderTreeModel form_{store_, settings_, ui_};
  FakeSmallDialogs dialogs_;
  DeletedCardsBin bin_{form_, dialogs_, *this};
  BatchChange batch_{form_, dialogs_, *this};
  int saves_ = 0;
  int reloads_ = 0;
  std::function<void()> before_reload_;
};

// Whether the store holds a folder row for exactly this path.
bool HasFolderRow(store::CardStore& store, const std::string& path) {
  store::CardRecord c(store);
  EXPECT_TRUE(c.SetOpenFlag(true).ok());
  std::vector<int64_t> rows;
  EXPECT_TRUE(c.FindCardsByFolder(path, &rows).ok());
  bool found = false;
  for (int64_t r : rows) {
    c.SetRecNo(r);
    if (c.Load(false).ok() && c.is_folder() && c.folder == path) found = true;
  }
  EXPECT_TRUE(c.Close().ok());
  return found;
}

TEST_F(SmallCommandsTest, AnEmptyBinOnlySaysSo) {
  ASSERT_TRUE(store_.Open(false, "").ok());
  store::WriteFolderRow(store_, "A");
  Card("A", "live");
  bin_.UndeleteSyoriClick();
  EXPECT_EQ(Messages(), std::vector<std::string>{MessageText(MessageId::kNoDeletedCards)});
  EXPECT_TRUE(dialogs_.undelete_forms.empty());
}

TEST_F(SmallCommandsTest, TheBinListsEveryCardAndNoFolder) {
  ASSERT_TRUE(store_.Open(false, "").ok());
  store::WriteFolderRow(store_, "A");
  constexpr int kCards = 12000;
  for (int i = 0; i < kCards; ++i) {
    store::CardRecord c(store_);
    c.Clear();
    c.folder = "A";
    c.title = "c" + std::to_string(i);
    c.text = "t";
    ASSERT_TRUE(c.Write().ok());
    env_.fake_clock().AdvanceMs(1);
    ASSERT_TRUE(c.MarkDeleted().ok());
  }
  // A deleted folder's row is erased at once and never listed.
  store::WriteFolderRow(store_, "B");
  {
    store::CardRecord f(store_);
    bool found = false;
    ASSERT_TRUE(f.FindByKey("KUBUN", "B", false, &found).ok() && found);
    ASSERT_TRUE(f.MarkDeleted().ok());
  }
  bin_.UndeleteSyoriClick();
  ASSERT_EQ(dialogs_.undelete_forms.size(), 1u);
  EXPECT_EQ(dialogs_.undelete_forms[0].titles.size(), static_cast<size_t>(kCards));
  EXPECT_EQ(std::count(dialogs_.undelete_forms[0].titles.begin(),
                       dialogs_.undelete_forms[0].titles.end(), std::string(store::FolderMarkerTitle)),
            0);
  EXPECT_EQ(reloads_, 0);  // closed without a choice: nothing done
}

TEST_F(SmallCommandsTest, RestoreBringsACardBackIntoItsFolderEvenWhenTheFolderWentAway) {
  ASSERT_TRUE(store_.Open(false, "").ok());
  store::WriteFolderRow(store_, "A");
  store::WriteFolderRow(store_, "A B");
  const std::string kept = Card("A B", "kept");
  const std::string back = Card("A B", "back");
  ToBin(kept);
  ToBin(back);
  // The folder is deleted meanwhile: its rows go.
  for (const std::string path : {"A B", "A"}) {
    store::CardRecord f(store_);
    ASSERT_TRUE(f.SetOpenFlag(true).ok());
    std::vector<int64_t> rows;
    ASSERT_TRUE(f.FindCardsByFolder(path, &rows).ok());
    for (int64_t r : rows) {
      f.SetRecNo(r);
      ASSERT_TRUE(f.Load(false).ok());
      if (f.is_folder() && f.folder == path) {
        ASSERT_TRUE(f.MarkDeleted().ok());
      }
    }
    ASSERT_TRUE(f.Close().ok());
    ASSERT_FALSE(HasFolderRow(store_, path));
  }
  dialogs_.undelete.push_back([](UndeleteForm* f) {
    f->checked = {f->titles[0] == "back", f->titles[1] == "back"};
    return kUndeleteRestore;
  });
  // The restore itself writes the folder rows, before the tree is read.
  before_reload_ = [this] {
    EXPECT_TRUE(HasFolderRow(store_, "A"));
    EXPECT_TRUE(HasFolderRow(store_, "A B"));
  };
  bin_.UndeleteSyoriClick();
  EXPECT_EQ(reloads_, 1);
  EXPECT_TRUE(Messages().empty());
  TreeNode* folder = FindFolderNode(form_, "A B");
  ASSERT_NE(folder, nullptr);
  ASSERT_EQ(folder->child_count(), 1);
  EXPECT_EQ(folder->child(0)->info().TextId(), back);
  EXPECT_EQ(Load(kept).deleted, 'D');
}

TEST_F(SmallCommandsTest, CompleteDeleteWithNothingCheckedStillPacksTheTable) {
  ASSERT_TRUE(store_.Open(false, "").ok());
  store::WriteFolderRow(store_, "A");
  const std::string gone = Card("A", "gone");
  const std::string binned = Card("A", "binned");
  const std::string live = Card("A", "live");
  ASSERT_TRUE(store::CardRecord(store_).Erase(gone).ok());
  ToBin(binned);
  const int64_t row_before = Load(live).row;
  dialogs_.undelete.push_back([](UndeleteForm*) { return kUndeleteErase; });
  bin_.UndeleteSyoriClick();
  EXPECT_TRUE(Messages().empty());
  EXPECT_LT(Load(live).row, row_before);  // the erased row went
  EXPECT_EQ(Load(binned).deleted, 'D');   // not checked: still in the bin
  EXPECT_EQ(reloads_, 1);
}

TEST_F(SmallCommandsTest, AFailingTidyUpIsReportedAndTheTreeReadAgain) {
  ASSERT_TRUE(store_.Open(false, "").ok());
  store::WriteFolderRow(store_, "A");
  const std::string binned = Card("A", "binned");
  Card("A", "live");
  ToBin(binned);
  dialogs_.undelete.push_back([](UndeleteForm* f) {
    f->checked = {true};
    return kUndeleteErase;
  });
  env_.SetFailRename(true);
  bin_.UndeleteSyoriClick();
  env_.SetFailRename(false);
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_EQ(Messages()[0].rfind(FormatMessage(MessageId::kEraseFailed, {""}), 0), 0u);
  EXPECT_EQ(reloads_, 1);
  // Nothing is lost: the next opening finds the live card.
  ASSERT_TRUE(store_.Open(true, "").ok());
  EXPECT_EQ(store::CardsOfFolder(store_, "A").size(), 1u);
}

class BatchChangeTest : public SmallCommandsTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(store_.Open(false, "").ok());
    store::WriteFolderRow(store_, "A");
    for (const char* t : {"one", "two", "three", "unmarked"}) ids_.push_back(Card("A", t));
    ASSERT_TRUE(LoadFolderTree(form_, nullptr).ok());
    for (TreeNode* n = form_.tree().first(); n != nullptr; n = n->GetNext()) {
      if (!n->IsFolder() && n->text().find("unmarked") == std::string::npos) n->info().SetMark(1);
    }
    env_.fake_clock().AdvanceMs(5000);
  }
  std::vector<std::string> ids_;
};

TEST_F(BatchChangeTest, OnlyTheSourceChangesSourcesAndTimesAndKeepsTexts) {
  std::vector<store::CardRecord> before;
  for (const std::string& id : ids_) before.push_back(Load(id));
  dialogs_.syutten.push_back([](SyuttenForm* f) {
    f->source = "Book";
    return kResultOk;
  });
  batch_.SetSyuttenClick();
  for (size_t i = 0; i < ids_.size(); ++i) {
    store::CardRecord c = Load(ids_[i]);
    const bool marked = i < 3;
    EXPECT_EQ(c.source, marked ? "Book" : before[i].source) << i;
    EXPECT_EQ(c.utime != before[i].utime, marked) << i;
    EXPECT_EQ(c.text, before[i].text) << i;
    EXPECT_EQ(c.title, before[i].title) << i;
    EXPECT_EQ(c.icon, before[i].icon) << i;
  }
  EXPECT_EQ(saves_, 1);
}

TEST_F(BatchChangeTest, NothingChosenWritesNothing) {
  dialogs_.syutten.push_back([](SyuttenForm*) { return kResultOk; });
  const uint64_t written = env_.bytes_written();
  batch_.SetSyuttenClick();
  EXPECT_EQ(env_.bytes_written(), written);
  EXPECT_TRUE(Messages().empty());
}

// Fills the disk once the first card's node has been refreshed.
class DiskFiller final : public FolderTreeObserver {
 public:
  explicit DiskFiller(FaultEnv& env) : env_(env) {}
  void NodeChanged(TreeNode*) override { env_.SetDiskFull(true); }

 private:
  FaultEnv& env_;
};

TEST_F(BatchChangeTest, ADiskThatFillsMidwayStopsTheBatch) {
  DiskFiller filler(env_);
  form_.tree().AddObserver(&filler);
  dialogs_.syutten.push_back([](SyuttenForm* f) {
    f->icon = 7;
    f->paste = 1;
    return kResultOk;
  });
  batch_.SetSyuttenClick();
  form_.tree().RemoveObserver(&filler);
  env_.SetDiskFull(false);
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_EQ(Messages()[0].rfind(FormatMessage(MessageId::kBatchChangeStopped, {""}), 0), 0u);
  // The first card's row was still held by the open table when the disk
  // filled: the journal has the change, and the next open writes it.
  ASSERT_TRUE(store_.Open(false, "").ok());
  int changed = 0;
  for (size_t i = 0; i < 3; ++i) {
    store::CardRecord c = Load(ids_[i]);
    if (c.icon == 7) {
      EXPECT_EQ(c.one_shot_paste, 0);
      ++changed;
    } else {
      EXPECT_EQ(c.one_shot_paste, 1);
    }
  }
  EXPECT_EQ(changed, 1);
  // Only the card written shows the new icon in the tree.
  int shown = 0;
  for (TreeNode* n = form_.tree().first(); n != nullptr; n = n->GetNext()) {
    if (!n->IsFolder() && n->info().Kind() == 7) ++shown;
  }
  EXPECT_EQ(shown, 1);
}

// A card whose text read (for a new automatic title) meets the store's
// fatal status ends the program with its message and the batch there.
TEST_F(BatchChangeTest, TheStoresFatalStatusEndsTheBatch) {
  store::DamageCardId(env_, store_.data_path(), ids_[1]);
  dialogs_.syutten.push_back([](SyuttenForm* f) {
    f->auto_title = 0;
    return kResultOk;
  });
  batch_.SetSyuttenClick();
  EXPECT_EQ(Messages(), std::vector<std::string>{MessageText(MessageId::kFatalRead)});
  EXPECT_EQ(ui_.exit_codes(), std::vector<int>{kFatalExitCode});
  env_.ClearFaults();
  // The marked cards before it in the tree changed, the others did not.
  bool before = true;
  for (TreeNode* n = form_.tree().first(); n != nullptr; n = n->GetNext()) {
    if (n->IsFolder() || n->info().Mark() == 0) continue;
    const std::string id(n->info().TextId());
    if (id == ids_[1]) before = false;
    EXPECT_EQ(Load(id).auto_title, before) << n->text();
  }
}

TEST_F(BatchChangeTest, NoMarkedCardOrLowSpaceStopsBeforeTheDialog) {
  for (TreeNode* n = form_.tree().first(); n != nullptr; n = n->GetNext()) n->info().SetMark(0);
  batch_.SetSyuttenClick();
  env_.SetFreeBytes(10);
  batch_.SetSyuttenClick();
  EXPECT_EQ(Messages(), (std::vector<std::string>{MessageText(MessageId::kMarkCardsToChange),
                                                  MessageText(MessageId::kLowSpaceNotRegistered)}));
  EXPECT_TRUE(dialogs_.syutten_forms.empty());
}

}  // namespace
}  // namespace quill
