// The backups and the external save in the main window, offscreen, over a
// real data set, the real transfer writer and lib7-zip32.so beside
// quillmain.
#include <gtest/gtest.h>

#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>
#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "controls/ui/string_grid_pelm.h"
#include "main/editor/card_editor.h"
#include "main/search/search_commands.h"
#include "main/exchange/fake_transfer_dialogs.h"
#include "main/exchange/transfer_file.h"
#include "main/tree/folder_tree_model.h"
#include "main/ui/main_form.h"
#include "main/ui/main_form_test_support.h"
#include "platform/headless/fake_ui.h"
#include "platform/headless/fault_env.h"
#include "platform/headless/temp_dir.h"
#include "platform/headless/test_files.h"
#include "platform/messages.h"
#include "platform/qt/test_app.h"
#include "platform/registry_store.h"
#include "platform/search_dialogs.h"
#include "platform/text_codec.h"
#include "store/card_test_support.h"

namespace quill {
namespace {

namespace fs = std::filesystem;

std::string S(const char* utf8) { return Utf8ToCp932(utf8); }

// The folders of the data set and what each card holds.
const char* const kFolders[] = {"A", "A 下", "B"};

// Every card of the data set in `folder` as "folder|title|kind|id|text".
std::vector<std::string> CardsOf(const std::string& folder) {
  store::CardStore store(FileEnv::Default(), folder);
  EXPECT_TRUE(store.Open(false, folder).ok());
  std::vector<std::string> cards;
  for (const char* f : kFolders) {
    for (const store::CardRecord& c : store::CardsOfFolder(store, S(f))) {
      cards.push_back(c.folder + "|" + c.title + "|" + std::string(1, c.kind) + "|" + c.id + "|" +
                      c.text);
    }
  }
  EXPECT_TRUE(store.Close().ok());
  return cards;
}

class MainFormBackupTest : public testing::Test {
 protected:
  MainFormBackupTest() {
    TestApp();
    fs::create_directories(Home());
    {
      FakeClock clock;
      store::CardStore store(FileEnv::Default(), Home());
      EXPECT_TRUE(store.Open(false, {}).ok());
      for (const char* f : kFolders) store::WriteFolderRow(store, S(f));
      store::WriteTestCard(store, clock, "A", S("一つ目"), S("needle\r\n本文"));
      store::WriteTestCard(store, clock, "A", S("二つ目"), S("hay\r\n二行目"));
      store::WriteKindCard(store, S("A 下"), S("三つ目"), S("needle\tx\r\n1\t2"), 'C');
      store::WriteTestCard(store, clock, "B", S("四つ目"), S("hay"));
      EXPECT_TRUE(store.Close().ok());
    }
    // The data set to read the backup into: empty.
    {
      fs::create_directories(dir_.File("empty"));
      store::CardStore store(FileEnv::Default(), dir_.File("empty") + "/");
      EXPECT_TRUE(store.Open(false, dir_.File("empty")).ok());
      EXPECT_TRUE(store.Close().ok());
    }
    WriteAll(Home() + "toquilbo.dat", "the user's own file");
    fs::create_directories(dir_.File("bak"));
    fs::create_directories(dir_.File("usb"));
    RegistryStore reg(FileEnv::Default(), dir_.File("registry.ini"));
    EXPECT_TRUE(reg.WriteString(kQuillmainEnvKey, "BackupFile", S((dir_.File("bak") + "/set#_$.zip").c_str())).ok());
    EXPECT_TRUE(reg.WriteString(kQuillmainEnvKey, "FloppyDrive", dir_.File("usb")).ok());
    EXPECT_TRUE(reg.WriteString(kQuillmainEnvKey, "DataFile2", S("空\t") + dir_.File("empty")).ok());
  }

  std::string Home() { return dir_.File("home") + "/"; }
  // The full backup's archive: data set 0 is "データ１".
  std::string FullArchive() { return dir_.File("bak") + "/set0_データ１.zip"; }

  std::unique_ptr<TMainForm> MakeForm(FileEnv* env = nullptr) {
    MainFormContext context;
    context.env = env;
    context.program_folder = Home();
    context.install_folder = QUILLMAIN_DIR;
    context.registry_path = dir_.File("registry.ini");
    context.ui = &ui_;
    context.transfer_dialogs = &dialogs_;
    return StartedForm(std::move(context));
  }

  // Opens the card with this title (UTF-8) in the editor.
  static void Open(TMainForm& form, const char* title) {
    for (TreeNode* n = form.TreeModel().tree().root(); n != nullptr; n = n->GetNext()) {
      if (!n->IsFolder() && n->text() == S(title)) {
        form.ShowNode(n);
        ASSERT_EQ(form.EditCard().title, S(title));
        return;
      }
    }
    FAIL() << "no card " << title;
  }

  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const auto& q : ui_.questions()) texts.push_back(Cp932ToUtf8(q.text));
    return texts;
  }

  // The transfer file packed in `archive` (checked with unzip).
  static std::string Packed(const std::string& archive) {
    int status = -1;
    RunCommand("unzip -tq '" + archive + "'", &status);
    EXPECT_EQ(status, 0) << archive;
    EXPECT_EQ(RunCommand("unzip -Z1 '" + archive + "'", &status), "toquilbo.dat\n");
    return RunCommand("unzip -p '" + archive + "' toquilbo.dat", &status);
  }

  TempDir dir_;
  FakeUi ui_;
  FakeTransferDialogs dialogs_;
};

TEST_F(MainFormBackupTest, QuickBackupGivesEveryCardBackAndLeavesTheDataFolder) {
  std::vector<std::string> cards = CardsOf(Home());
  std::sort(cards.begin(), cards.end());
  ASSERT_EQ(cards.size(), 4u);
  auto form = MakeForm();
  const auto before = FolderSnapshot(Home());
  form->BackUpClick();
  EXPECT_TRUE(ui_.questions().empty()) << testing::PrintToString(Texts());
  const std::string archive = Home() + "QbBkup7";
  ASSERT_FALSE(Packed(archive).empty());
  // Only the archive is new: the user's "toquilbo.dat" and the data set
  // are as they were, no work folder is left.
  auto after = FolderSnapshot(Home());
  after.erase(archive);
  EXPECT_EQ(ChangedFiles(before, after), std::vector<std::string>{});

  // The packed file read into an empty data set gives every card back.
  const std::string out = dir_.File("out");
  fs::create_directories(out);
  int status = -1;
  RunCommand("unzip -q '" + archive + "' -d '" + out + "'", &status);
  ASSERT_EQ(status, 0);
  ASSERT_TRUE(form->SwitchDataFile(1, false).ok());
  TransferReadResult read;
  ASSERT_EQ(ReadTransferFile(form->TransferState(), out + "/", 1, &read), 0);
  EXPECT_EQ(read.end, ReadEnd::kComplete);
  EXPECT_EQ(read.added, 4);
  form.reset();
  std::vector<std::string> back = CardsOf(dir_.File("empty") + "/");
  std::sort(back.begin(), back.end());
  EXPECT_EQ(back, cards);
}

TEST_F(MainFormBackupTest, ASearchResultShown) {
  auto form = MakeForm();
  ui_.ScriptCardSearch([](CardSearchForm* f) {
    f->words.text = "needle";
    f->fuzzy = false;
    f->find_del = true;
    return kResultOk;
  });
  form->KensakuButtonClick();
  ASSERT_EQ(form->TreeModel().tree_complete, 0);

  // The quick backup refuses.
  form->BackUpClick();
  EXPECT_EQ(Texts(), std::vector<std::string>{"再読込を押してからして下さい。"});
  EXPECT_EQ(ui_.questions()[0].caption, MessageText(MessageId::kCautionCaption));
  EXPECT_FALSE(fs::exists(Home() + "QbBkup7"));

  // The full backup asks: No stops, Yes archives the cards shown.
  const std::string question =
      "表示分しかバックアップされません。いいですか？全部取るときは再読込を押してからして下さい。";
  ui_.Answer(kResultNo);
  form->Backup2Click();
  EXPECT_EQ(Texts().back(), question);
  EXPECT_EQ(ui_.questions().back().mode, kMessageYesNo);
  EXPECT_FALSE(fs::exists(FullArchive()));
  ui_.Answer(kResultYes);
  form->Backup2Click();
  EXPECT_EQ(Texts().size(), 3u) << testing::PrintToString(Texts());
  const std::string packed = Packed(FullArchive());
  for (const char* shown : {"一つ目", "三つ目"}) {
    EXPECT_NE(packed.find(S(shown)), std::string::npos) << shown;
  }
  for (const char* left : {"二つ目", "四つ目"}) {
    EXPECT_EQ(packed.find(S(left)), std::string::npos) << left;
  }
}

TEST_F(MainFormBackupTest, AFullDiskChangesNoFile) {
  FaultEnv env;
  auto form = MakeForm(&env);
  form->BackUpClick();
  form->Backup2Click();
  ASSERT_TRUE(ui_.questions().empty()) << testing::PrintToString(Texts());
  ASSERT_TRUE(fs::exists(FullArchive()));
  const auto before = FolderSnapshot(dir_.Path());
  env.SetDiskFull(true);
  form->BackUpClick();
  form->Backup2Click();
  env.SetDiskFull(false);
  EXPECT_EQ(Texts(), (std::vector<std::string>{"ディスクをチェックしてください",
                                               "ディスクをチェックしてください"}));
  for (const auto& q : ui_.questions()) {
    EXPECT_EQ(q.caption, MessageText(MessageId::kWarningCaption));
  }
  EXPECT_EQ(ChangedFiles(before, FolderSnapshot(dir_.Path())), std::vector<std::string>{})
      << "old archives and the data set";
}

TEST_F(MainFormBackupTest, ExternalSave) {
  auto form = MakeForm();
  const std::string usb = dir_.File("usb") + "/";
  // A selection saves only itself.
  Open(*form, "二つ目");
  QTextCursor cursor = form->Text->textCursor();
  cursor.setPosition(4);
  cursor.setPosition(7, QTextCursor::KeepAnchor);
  form->Text->setTextCursor(cursor);
  form->ToFloppy->click();
  EXPECT_EQ(ReadAll(usb + "二つ目.txt"), S("二行目"));
  // Nothing selected: the whole text.
  Open(*form, "一つ目");
  form->ToFloppy->click();
  EXPECT_EQ(ReadAll(usb + "一つ目.txt"), S("needle\r\n本文"));
  // A table, whole, as comma-separated text, with the grid's edits.
  Open(*form, "三つ目");
  form->CsvGrid->Grid().SetEditText(2, 2, "3");
  form->ToFloppy->click();
  EXPECT_EQ(ReadAll(usb + "三つ目.csv"), S("needle,x\r\n1,3\r\n"));
  EXPECT_TRUE(ui_.questions().empty()) << testing::PrintToString(Texts());
  EXPECT_EQ(ui_.beeps(), 0);

  // An empty text beeps and saves nothing.
  form->AddNewClick();
  ASSERT_TRUE(form->Text->toPlainText().isEmpty());
  const auto before = FolderSnapshot(dir_.Path());
  form->ToFloppy->click();
  EXPECT_EQ(ui_.beeps(), 1);
  EXPECT_TRUE(ui_.questions().empty());
  EXPECT_EQ(ChangedFiles(before, FolderSnapshot(dir_.Path())), std::vector<std::string>{});
}

// A drive letter, the default of other installations, saves into "backup"
// in the program folder, made for it; the stored value stays as it was.
TEST_F(MainFormBackupTest, ADriveLetterSavesIntoTheDefaultFolder) {
  RegistryStore reg(FileEnv::Default(), dir_.File("registry.ini"));
  ASSERT_TRUE(reg.WriteString(kQuillmainEnvKey, "FloppyDrive", "a:").ok());
  auto form = MakeForm();
  Open(*form, "一つ目");
  form->ToFloppy->click();
  EXPECT_TRUE(ui_.questions().empty()) << testing::PrintToString(Texts());
  EXPECT_EQ(ReadAll(Home() + "backup/一つ目.txt"), S("needle\r\n本文"));
  EXPECT_NE(ReadAll(Home() + "quillmain.ini").find("\r\nFloppyDrive=a:\r\n"), std::string::npos);
}

}  // namespace
}  // namespace quill
