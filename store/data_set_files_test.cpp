// The files of a data set in a real folder with links planted among them:
// a link in a data file's place is refused, naming the file, and nothing
// is written through it; temporary files take names nobody can plant.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/headless/fault_env.h"
#include "platform/headless/temp_dir.h"
#include "platform/headless/test_files.h"
#include "store/card_store.h"
#include "store/card_test_support.h"
#include "store/journal.h"

namespace quill::store {
namespace {

namespace fs = std::filesystem;

class DataSetFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    env_.SetFreeBytes(uint64_t{1} << 40);
    ASSERT_TRUE(card_.Open(false, folder_).ok());
    WriteTestCard(store_, env_.fake_clock(), "Work", "first", "text of the first card");
    ASSERT_TRUE(store_.Close().ok());
  }

  std::string File(const std::string& name) { return folder_ + name; }
  // Moves a file of the set outside and leaves a link to it in its place.
  std::string ReplaceByLink(const std::string& name) {
    const std::string moved = outside_.File(name);
    fs::rename(File(name), moved);
    PlantLink(moved, File(name));
    return moved;
  }
  void ExpectRefusalNaming(const Status& s, const std::string& name) {
    EXPECT_EQ(s.code(), Status::kPermission) << s.ToString();
    EXPECT_NE(s.message().find(File(name)), std::string::npos) << s.message();
  }

  TempDir dir_, outside_;
  std::string folder_ = dir_.Path() + "/";
  FaultEnv env_;
  CardStore store_{env_, folder_};
  CardRecord card_{store_};
};

TEST_F(DataSetFilesTest, LinkInPlaceOfTheJournalIsRefusedAndNothingIsMadeThroughIt) {
  const std::string elsewhere = outside_.File("journal");
  // Planted while the set is closed: the open refuses to recover from it.
  PlantLink(elsewhere, File(Journal::kFileName));
  ExpectRefusalNaming(card_.Open(false, folder_), Journal::kFileName);
  EXPECT_FALSE(fs::exists(elsewhere));

  // Planted while it is open: the first write refuses, and no row or text
  // reaches the tables.
  fs::remove(File(Journal::kFileName));
  ASSERT_TRUE(card_.Open(false, folder_).ok());
  const auto before = FolderSnapshot(dir_.Path());
  PlantLink(elsewhere, File(Journal::kFileName));
  CardRecord c(store_);
  c.Clear();
  c.folder = "Work";
  c.title = "second";
  c.text = "secret text of the second card";
  ExpectRefusalNaming(c.Write(), Journal::kFileName);
  EXPECT_FALSE(fs::exists(elsewhere));
  fs::remove(File(Journal::kFileName));
  EXPECT_TRUE(ChangedFiles(before, FolderSnapshot(dir_.Path())).empty());
  (void)store_.Close();
  EXPECT_FALSE(fs::exists(elsewhere));
  ASSERT_TRUE(card_.Open(false, folder_).ok());
  EXPECT_EQ(CardsOfFolder(store_, "Work").size(), 1u);
}

TEST_F(DataSetFilesTest, LinkInPlaceOfADataFileIsRefusedAndItsTargetKeptAsItWas) {
  for (const char* name : {"quilbo7.dat", "quilbo7.ix0", "quilbo7.ix1", "quilbo7.tx",
                           "quilbo7.itx", "quilbo7.hdt", "quilbo7.hid"}) {
    SCOPED_TRACE(name);
    // The value store is made empty on open, and its index with it.
    if (!fs::exists(File(name))) WriteAll(File(name), "");
    const std::string moved = ReplaceByLink(name);
    const std::string bytes = ReadAll(moved);
    const auto before = FolderSnapshot(dir_.Path());
    ExpectRefusalNaming(card_.Open(false, folder_), name);
    (void)store_.Close();
    EXPECT_EQ(ReadAll(moved), bytes);
    EXPECT_TRUE(ChangedFiles(before, FolderSnapshot(dir_.Path())).empty());
    fs::remove(File(name));
    fs::rename(moved, File(name));
  }
  ASSERT_TRUE(card_.Open(false, folder_).ok());
  EXPECT_EQ(CardsOfFolder(store_, "Work").size(), 1u);
}

TEST_F(DataSetFilesTest, LinkInPlaceOfTheFolderListIsRefused) {
  ASSERT_TRUE(card_.Open(false, folder_).ok());
  ASSERT_TRUE(store_.RebuildTreeFile().ok());
  const std::string moved = ReplaceByLink("quilbo7.tre");
  const std::string bytes = ReadAll(moved);
  ExpectRefusalNaming(store_.RebuildTreeFile(), "quilbo7.tre");
  EXPECT_EQ(ReadAll(moved), bytes);
  EXPECT_TRUE(fs::is_symlink(File("quilbo7.tre")));
}

TEST_F(DataSetFilesTest, ADataFolderThatIsALinkStaysUsable) {
  PlantLink(dir_.Path(), outside_.File("set"));
  const std::string linked = outside_.File("set") + "/";
  CardStore store(env_, linked);
  CardRecord c(store);
  ASSERT_TRUE(c.Open(false, linked).ok());
  WriteTestCard(store, env_.fake_clock(), "Work", "second", "through the folder link");
  ASSERT_TRUE(store.RebuildTreeFile().ok());
  ASSERT_TRUE(store.Close().ok());
  ASSERT_TRUE(card_.Open(false, folder_).ok());
  EXPECT_EQ(CardsOfFolder(store_, "Work").size(), 2u);
  EXPECT_FALSE(fs::exists(File(Journal::kFileName)));
}

TEST_F(DataSetFilesTest, TablesAreReplacedThroughNamesNobodyCanPlant) {
  // Links under the name a replacement table once had: emptying the set
  // (a reorganize with no card left) writes new tables beside the old.
  const std::string elsewhere = outside_.File("replacement");
  for (const char* name : {"quilbo7.dat.new", "quilbo7.tx.new", "quilbo7.hdt.new"}) {
    PlantLink(elsewhere, File(name));
  }
  ASSERT_TRUE(card_.Open(false, folder_).ok());
  std::vector<int64_t> rows;
  ASSERT_TRUE(card_.FindCardsByFolder("", &rows).ok());
  for (int64_t r : rows) {
    card_.SetRecNo(r);
    ASSERT_TRUE(card_.Erase("").ok());
  }
  ASSERT_TRUE(card_.Reorganize().ok());
  ASSERT_TRUE(store_.Close().ok());
  EXPECT_FALSE(fs::exists(elsewhere));
  ASSERT_TRUE(card_.Open(false, folder_).ok());
  EXPECT_TRUE(CardsOfFolder(store_, "Work").empty());
}

TEST_F(DataSetFilesTest, RecoveryRemovesReplacementsACrashLeft) {
  // A crash after a replacement was made and before it took the table's
  // place leaves it, and the journal, behind.
  const std::string left = File("quilbo7.dat.new-AbCdEf0123");
  WriteAll(left, "a half-written table");
  WriteAll(File(Journal::kFileName), "");
  WriteAll(File("quilbo7.dat.new-mine"), "not a replacement's name");
  ASSERT_TRUE(card_.Open(false, folder_).ok());
  EXPECT_FALSE(fs::exists(left));
  EXPECT_TRUE(fs::exists(File("quilbo7.dat.new-mine")));
  EXPECT_EQ(CardsOfFolder(store_, "Work").size(), 1u);
}

}  // namespace
}  // namespace quill::store
