#include "main/exchange/backup.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/archive/seven_zip.h"
#include "platform/archive/zip_reading.h"
#include "platform/headless/fake_archiver.h"
#include "platform/headless/fake_ui.h"
#include "platform/headless/fault_env.h"
#include "platform/headless/temp_dir.h"
#include "platform/headless/test_files.h"
#include "platform/messages.h"
#include "platform/text_codec.h"

namespace quill {
namespace {

std::string Sjis(const char* utf8) { return Utf8ToCp932(utf8); }

TEST(FullArchivePathTest, PlaceholdersAndRefusals) {
  struct {
    const char* backup_file;  // UTF-8 here, CP932 to the function
    int number;
    const char* name;
    const char* path;  // "" refused
  } cases[] = {
      {"/bak/set#_$.zip", 2, "Work", "/bak/set2_Work.zip"},
      {"/bak/$-#-$", 0, "仕事", "/bak/仕事-0-仕事"},
      {"/bak/$.zip", 1, "a/b", "/bak/a／b.zip"},
      {"/bak/$.zip", 1, "../..", "/bak/..／...zip"},
      {"/bak/$/x.zip", 1, "..", ""},
      {"/bak/$.zip", 1, ".", ""},
      {"/bak/#.zip", 3, "..", "/bak/3.zip"},  // the name is not used
      {"/bak/\"$\".zip", 1, "w", ""},
      {"/bak/$.zip", 1, "a\"b", ""},
      {"bak/$.zip", 1, "w", ""},
      {"$", 1, "/w", ""},  // "／w" is not an absolute path
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.backup_file) + " " + c.name);
    std::string reason;
    const std::string path =
        BackupRunner::FullArchivePath(Sjis(c.backup_file), c.number, Sjis(c.name), &reason);
    EXPECT_EQ(path, c.path);
    EXPECT_EQ(reason.empty(), !path.empty());
  }
}

// The setting names an existing folder by its absolute path; empty, or a
// drive letter as other installations store it, it names "backup" in the
// program folder, made private on first use.
TEST(CheckFloppyDriveTest, AnExistingFolderOrTheDefaultOne) {
  TempDir dir;
  WriteAll(dir.File("file"), "x");
  const std::string program = dir.File("home") + "/";
  std::filesystem::create_directories(program);
  const std::string backup = program + "backup";
  EXPECT_EQ(DefaultExternalFolder(program), backup);
  struct {
    std::string setting;
    std::string folder;  // "": not usable
  } cases[] = {
      {"", backup},        {"a:", backup},          {"B:", backup},
      {"b", ""},           {"bb:", ""},             {"1:", ""},
      {"relative/dir", ""}, {dir.File("missing"), ""}, {dir.File("file"), ""},
      {dir.Path(), dir.Path()}, {dir.Path() + "/", dir.Path()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.setting);
    FakeUi ui;
    std::string drive = "unchanged";
    EXPECT_EQ(CheckFloppyDrive(ui, FileEnv::Default(), c.setting, program, &drive),
              c.folder.empty() ? 1 : 0);
    if (!c.folder.empty()) {
      EXPECT_EQ(drive, c.folder);
      EXPECT_TRUE(ui.questions().empty());
    } else {
      EXPECT_EQ(drive, "unchanged");
      ASSERT_EQ(ui.questions().size(), 1u);
      EXPECT_EQ(ui.questions()[0].text, MessageText(MessageId::kExternalFolderInvalid));
      EXPECT_EQ(ui.questions()[0].caption, MessageText(MessageId::kWarningCaption));
    }
  }
  struct stat st;
  ASSERT_EQ(::stat(backup.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);

  // A default folder that cannot be made is said; nothing is written.
  TempDir blocked;
  WriteAll(blocked.File("backup"), "x");
  FakeUi ui;
  std::string drive = "unchanged";
  EXPECT_EQ(CheckFloppyDrive(ui, FileEnv::Default(), "a:", blocked.Path() + "/", &drive), 1);
  EXPECT_EQ(drive, "unchanged");
  ASSERT_EQ(ui.questions().size(), 1u);
  EXPECT_EQ(ui.questions()[0].text,
            FormatMessage(MessageId::kCannotWriteFile, {blocked.File("backup")}));
}

TEST(ExternalSaveTest, WhatIsSaved) {
  struct {
    const char* name;
    ExternalSaveSource source;
    const char* saved;  // null: nothing, a beep
  } cases[] = {
      {"empty text", {false, "", "", ""}, nullptr},
      {"empty text, table shown", {true, "a\tb\r\n", "", ""}, "a\tb\r\n"},
      {"whole text", {false, "", "line1\r\nline2", ""}, "line1\r\nline2"},
      {"selection only", {false, "", "line1\r\nline2", "ine1"}, "ine1"},
      {"table over selection", {true, "x\ty", "x\ty", "x"}, "x\ty"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakeUi ui;
    int saves = 0;
    std::vector<std::string> saved;
    ExternalSave(ui, c.source, [&] { ++saves; }, [&](const std::string& body) {
      EXPECT_EQ(saves, 1) << "the card is saved first";
      saved.push_back(body);
    });
    if (c.saved == nullptr) {
      EXPECT_EQ(ui.beeps(), 1);
      EXPECT_EQ(saves, 0);
      EXPECT_TRUE(saved.empty());
    } else {
      EXPECT_EQ(ui.beeps(), 0);
      EXPECT_EQ(saved, std::vector<std::string>{c.saved});
    }
  }
}

// A data folder with the data set's files and a "toquilbo.dat" of the
// user's; the transfer writer of the test writes known bytes.
class BackupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    data = dir.File("data") + "/";
    std::filesystem::create_directory(data);
    WriteAll(data + "quilbo7.dat", "cards table");
    WriteAll(data + "quilbo7.tx", "texts");
    WriteAll(data + "toquilbo.dat", "the user's own file");
    data_files = FolderSnapshot(data);
  }

  BackupRunner Runner(bool tree_complete = true) {
    BackupContext c;
    c.ui = &ui;
    c.env = &env;
    c.archiver = &archiver;
    c.owner = 5;
    c.data_folder = data;
    c.data_set_number = 3;
    c.data_set_name = Sjis("仕事");
    c.tree_complete = tree_complete;
    c.save_current_card = [this] { ++card_saves; };
    c.write_transfer_file = [this](const std::string& folder) {
      written_to.push_back(folder);
      // Each run writes other bytes, so an archive left from before is told apart.
      last_written = kCards + std::to_string(written_to.size());
      return env.WriteFileAtomic(folder + "toquilbo.dat", last_written).ok() ? 0 : 1;
    };
    return BackupRunner(c);
  }

  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const auto& q : ui.questions()) texts.push_back(Cp932ToUtf8(q.text));
    return texts;
  }

  const std::string kCards = std::string("Quillbox V7.80\r\n") + std::string(50000, 'c');
  TempDir dir;
  std::string data;
  std::map<std::string, std::string> data_files;
  FakeUi ui;
  FaultEnv env;
  FakeArchiver archiver{&SevenZip};
  int card_saves = 0;
  std::vector<std::string> written_to;
  std::string last_written;
};

TEST_F(BackupTest, QuickBackupPacksIntoTheDataFolderAndLeavesTheDataSetAlone) {
  ASSERT_EQ(Runner().QuickBackup(), BackupResult::kDone) << ::testing::PrintToString(Texts());
  EXPECT_TRUE(ui.questions().empty());
  EXPECT_EQ(card_saves, 1);
  ASSERT_EQ(written_to.size(), 1u);
  EXPECT_EQ(written_to[0].rfind(data, 0), 0u) << "a folder inside the data folder";
  EXPECT_NE(written_to[0], data);
  EXPECT_EQ(archiver.commands(), std::vector<std::string>{"a -tzip \"" + data + "QbBkup7\" \"" +
                                                          written_to[0] + "toquilbo.dat\""});
  std::vector<std::string> names;
  ASSERT_TRUE(ListZipMembers(data + "QbBkup7", &names).ok());
  EXPECT_EQ(names, std::vector<std::string>{"toquilbo.dat"});
  std::string packed;
  ASSERT_TRUE(ReadZipMember(data + "QbBkup7", "toquilbo.dat", &packed).ok());
  EXPECT_EQ(packed, last_written);
  // Only the archive is new: the temporary folder is gone, the user's
  // "toquilbo.dat" and the data set's files are as they were.
  auto now = FolderSnapshot(data);
  now.erase(data + "QbBkup7");
  EXPECT_EQ(now, data_files);

  // A search result is shown: refused before anything is done.
  FakeUi ui2;
  ui = ui2;
  EXPECT_EQ(Runner(false).QuickBackup(), BackupResult::kStopped);
  EXPECT_EQ(Texts(), std::vector<std::string>{"再読込を押してからして下さい。"});
  EXPECT_EQ(ui.questions()[0].caption, MessageText(MessageId::kCautionCaption));
  EXPECT_EQ(card_saves, 1);
  EXPECT_EQ(archiver.commands().size(), 1u);
}

TEST_F(BackupTest, FullBackup) {
  const std::string bak = dir.File("bak") + "/";
  std::filesystem::create_directory(bak);
  // An archive with a member of the user's that must stay.
  WriteAll(dir.File("readme.txt"), "mine");
  char out[100];
  ASSERT_EQ(SevenZip(0, ("a -tzip \"" + bak + "set3.zip\" \"" + dir.File("readme.txt") + "\"").c_str(),
                     out, sizeof out),
            0);
  struct {
    const char* name;
    std::string backup_file;  // UTF-8
    bool tree_complete;
    int answer;                // to the question about the shown cards
    BackupResult result;
    std::string archive;       // "" none written
    std::vector<std::string> members;
    const char* message;       // the start of the one message shown, or ""
  } cases[] = {
      {"# and $", bak + "set#_$.zip", true, 0, BackupResult::kDone, bak + "set3_仕事.zip",
       {"toquilbo.dat"}, ""},
      {"the other member kept", bak + "set#.zip", true, 0, BackupResult::kDone, bak + "set3.zip",
       {"readme.txt", "toquilbo.dat"}, ""},
      {"no BackupFile", "", true, 0, BackupResult::kStopped, "", {},
       "オプションでバックアップ先が設定されていません"},
      {"a search result, No", bak + "shown.zip", false, kResultNo, BackupResult::kStopped, "", {},
       "表示分しかバックアップされません。"},
      {"a search result, closed", bak + "shown.zip", false, kResultCancel,
       BackupResult::kStopped, "", {}, "表示分しかバックアップされません。"},
      {"a search result, Yes", bak + "shown.zip", false, kResultYes, BackupResult::kDone,
       bak + "shown.zip", {"toquilbo.dat"}, "表示分しかバックアップされません。"},
      {"a quote", bak + "a\"b.zip", true, 0, BackupResult::kStopped, "", {},
       "バックアップに失敗しました\nバックアップ先に \" は使えません"},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakeUi fresh;
    ui = fresh;
    ui.Answer(c.answer);
    card_saves = 0;
    const auto before = FolderSnapshot(dir.Path());
    EXPECT_EQ(Runner(c.tree_complete).FullBackup(Sjis(c.backup_file.c_str())), c.result);
    EXPECT_EQ(card_saves, 1) << "the editor's card is saved first";
    if (*c.message == '\0') {
      EXPECT_TRUE(ui.questions().empty()) << ::testing::PrintToString(Texts());
    } else {
      ASSERT_EQ(ui.questions().size(), 1u);
      EXPECT_EQ(Texts()[0].rfind(c.message, 0), 0u) << Texts()[0];
    }
    auto after = FolderSnapshot(dir.Path());
    if (!c.archive.empty()) {
      std::vector<std::string> names;
      ASSERT_TRUE(ListZipMembers(c.archive, &names).ok());
      EXPECT_EQ(names, c.members);
      after.erase(c.archive);
      std::string packed;
      ASSERT_TRUE(ReadZipMember(c.archive, "toquilbo.dat", &packed).ok());
      EXPECT_EQ(packed, last_written);
    }
    EXPECT_EQ(after, [&] {
      auto b = before;
      b.erase(c.archive);
      return b;
    }()) << "nothing else changed";
  }
}

TEST_F(BackupTest, FailuresLeaveTheOldArchiveAndTheDataSet) {
  WriteAll(data + "QbBkup7", "");
  ASSERT_EQ(Runner().QuickBackup(), BackupResult::kFailed) << "an empty file is no zip";
  ASSERT_EQ(Runner().FullBackup(Sjis((data + "QbBkup7").c_str())), BackupResult::kFailed);
  std::filesystem::remove(data + "QbBkup7");
  ASSERT_EQ(Runner().QuickBackup(), BackupResult::kDone);
  data_files = FolderSnapshot(data);
  const std::string notes = dir.File("notes.txt");
  WriteAll(notes, "not a zip");

  // The first message of each failure.
  struct {
    const char* name;
    std::function<void()> arrange;
    std::string backup_file;  // "" the quick backup
    BackupResult result;
    const char* message;
  } cases[] = {
      {"a full disk", [&] { env.SetDiskFull(true); }, "", BackupResult::kFailed,
       "ディスクをチェックしてください"},
      {"no temporary folder", [&] { env.SetFailCreateDir(true); }, "", BackupResult::kFailed,
       "バックアップに失敗しました\n作業フォルダ"},
      {"the archiver fails", [&] { archiver.Fail(2, "disk error"); }, "", BackupResult::kFailed,
       "バックアップに失敗しました\n7-zip32が 2 を返しました: disk error"},
      {"the archiver says done and writes nothing", [&] { archiver.Fail(0, ""); }, "",
       BackupResult::kFailed, "バックアップに失敗しました\n"},
      {"onto a file that is no zip", [] {}, notes, BackupResult::kFailed,
       "バックアップに失敗しました\n7-zip32が 2 を返しました: the archive exists and is not"},
      {"into an unwritable folder", [] {}, "/sys/QbBkup7", BackupResult::kFailed,
       "バックアップに失敗しました\n7-zip32が 2 を返しました: cannot create the archive"},
      {"the archiver missing", [&] { archiver.SetInstalled(false); }, "",
       BackupResult::kNotInstalled, "7-zip32.dllがinstallされてありません"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakeUi fresh;
    ui = fresh;
    env.ClearFaults();
    archiver = FakeArchiver(&SevenZip);
    c.arrange();
    const auto before = FolderSnapshot(dir.Path());
    const BackupResult r =
        c.backup_file.empty() ? Runner().QuickBackup() : Runner().FullBackup(Sjis(c.backup_file.c_str()));
    EXPECT_EQ(r, c.result);
    ASSERT_EQ(ui.questions().size(), 1u);
    EXPECT_EQ(Texts()[0].rfind(c.message, 0), 0u) << Texts()[0];
    EXPECT_EQ(ui.questions()[0].caption, MessageText(MessageId::kWarningCaption));
    env.ClearFaults();
    EXPECT_EQ(FolderSnapshot(dir.Path()), before) << "old archive, data set and the user's files";
  }
}

TEST_F(BackupTest, WorkFolders) {
  // Left by a backup that was cut off: only the transfer file and the
  // writer's temporary file. A folder of that name holding anything else
  // is the user's.
  std::filesystem::create_directory(data + "qbbackup.tmp0");
  WriteAll(data + "qbbackup.tmp0/toquilbo.dat", "half");
  WriteAll(data + "qbbackup.tmp0/toquilbo.dat.tmp77", "half");
  std::filesystem::create_directory(data + "qbbackup.tmp1");
  WriteAll(data + "qbbackup.tmp1/notes.txt", "mine");
  std::filesystem::create_directory(dir.File("elsewhere"));
  WriteAll(dir.File("elsewhere/toquilbo.dat"), "linked");
  std::filesystem::create_directory_symlink(dir.File("elsewhere"), data + "qbbackup.tmp2");
  ASSERT_EQ(Runner().QuickBackup(), BackupResult::kDone);
  EXPECT_TRUE(ui.questions().empty());
  EXPECT_EQ(written_to, std::vector<std::string>{data + "qbbackup.tmp0/"});
  EXPECT_FALSE(std::filesystem::exists(data + "qbbackup.tmp0"));
  EXPECT_EQ(ReadAll(data + "qbbackup.tmp1/notes.txt"), "mine");
  EXPECT_EQ(ReadAll(dir.File("elsewhere/toquilbo.dat")), "linked");

  // A folder that cannot be removed is named; the backup itself is done,
  // and the next one clears the folder.
  env.SetFailRemove(true);
  EXPECT_EQ(Runner().QuickBackup(), BackupResult::kDone);
  env.ClearFaults();
  ASSERT_EQ(Texts().size(), 1u);
  EXPECT_EQ(Texts()[0].rfind("作業フォルダ " + data + "qbbackup.tmp0 を削除できませんでした", 0),
            0u)
      << Texts()[0];
  EXPECT_EQ(ui.questions()[0].caption, MessageText(MessageId::kWarningCaption));
  EXPECT_TRUE(std::filesystem::exists(data + "qbbackup.tmp0/toquilbo.dat"));
  ASSERT_EQ(Runner().QuickBackup(), BackupResult::kDone);
  EXPECT_EQ(Texts().size(), 1u);
  EXPECT_FALSE(std::filesystem::exists(data + "qbbackup.tmp0"));
  std::string packed;
  ASSERT_TRUE(ReadZipMember(data + "QbBkup7", "toquilbo.dat", &packed).ok());
  EXPECT_EQ(packed, last_written);
}

}  // namespace
}  // namespace quill
