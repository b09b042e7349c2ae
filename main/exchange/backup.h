// The backup of the data set to a zip archive, and the external save of
// the editor's card into the folder set in the options.
//
// A backup writes the transfer file "toquilbo.dat" of the cards the tree
// shows into a fresh folder inside the data folder, has the archiver
// library pack it, checks that the archive holds it, and removes the
// folder with the file again: a "toquilbo.dat" of the user's in the data
// folder is never touched. A work folder that a backup cut off left
// behind (it holds nothing but such files) is cleared by the next one. The quick backup packs into "QbBkup7" in the
// data folder, the full backup into the path of the setting BackupFile,
// where "#" stands for the data set's number and "$" for its name.
//
// Texts shown are CP932; paths on disk and the archiver's command line are
// UTF-8.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace quill {

class Archiver;
class FileEnv;
class Ui;

// The folder of the external save while the setting FloppyDrive names
// none: "backup" in the program folder (UTF-8; program_folder ends with
// "/"). It is the user's own and private, like the data set beside it.
std::string DefaultExternalFolder(const std::string& program_folder);

// The external folder of the setting FloppyDrive (CP932). An empty
// setting, and a drive letter with a colon as other installations store it
// ("a:", the default there), name the default folder, which is made
// (0700) when it is missing. Any other setting must be the absolute path
// of an existing folder. Returns 0 with the folder (UTF-8) in *drive, or 1
// after a message: the setting is not usable, or the default folder cannot
// be made.
int CheckFloppyDrive(Ui& ui, FileEnv& env, const std::string& floppy_drive,
                     const std::string& program_folder, std::string* drive);

// The card panel as the external save sees it (CP932).
struct ExternalSaveSource {
  bool table_shown = false;  // the table grid is shown: a table card
  std::string table_text;    // the grid's table text, when shown
  std::string text;          // the editor's whole text
  std::string selection;     // the editor's selected text; "" when none
};

// The button "外部保存": an empty text without the grid beeps and does
// nothing else; otherwise the editor's card is saved (save_card) and the
// body goes to save_file: the table text, the selection, or the whole
// text when nothing is selected.
void ExternalSave(Ui& ui, const ExternalSaveSource& source, const std::function<void()>& save_card,
                  const std::function<void(const std::string& body)>& save_file);

// Writes the transfer file "toquilbo.dat" of every card the tree shows
// into `folder` (UTF-8, ends with "/"); returns WriteTransferFile's result
// (main/exchange/transfer_file.h).
using TransferFileWriter = std::function<int(const std::string& folder)>;

// The transfer file's name, also its name inside the archive.
inline constexpr const char* kTransferFileName = "toquilbo.dat";
// The quick backup's archive in the data folder.
inline constexpr const char* kQuickBackupName = "QbBkup7";

struct BackupContext {
  Ui* ui = nullptr;
  FileEnv* env = nullptr;
  Archiver* archiver = nullptr;
  uint32_t owner = 0;           // the main window, handed to the archiver
  std::string data_folder;      // UTF-8, ends with "/"
  int data_set_number = 0;      // 0 to 9
  std::string data_set_name;    // CP932
  bool tree_complete = true;    // the tree shows every card, no search result
  std::function<void()> save_current_card;
  TransferFileWriter write_transfer_file;
};

enum class BackupResult {
  kDone,
  kStopped,       // refused or declined before anything was written
  kNotInstalled,  // the archiver library is missing
  kFailed,        // the message says why; the old archive is as it was
};

class BackupRunner {
 public:
  explicit BackupRunner(BackupContext context) : c_(std::move(context)) {}

  // "一時バックアップ(&B)": all cards into "QbBkup7" in the data folder.
  BackupResult QuickBackup();
  // "完全バックアップ(&K)": the cards the tree shows into the archive that
  // backup_file (CP932) names.
  BackupResult FullBackup(const std::string& backup_file);

  // The full backup's archive path (UTF-8) for backup_file; "" with the
  // reason (CP932) in *reason when it cannot be used: a data set name "."
  // or "..", a path that is not absolute or holds a double quote. A "/" in
  // the name becomes "／", so the name never adds a folder.
  static std::string FullArchivePath(const std::string& backup_file, int data_set_number,
                                     const std::string& data_set_name, std::string* reason);

 private:
  // Writes the transfer file into a fresh folder, packs it into `archive`
  // (UTF-8), checks the archive and removes the folder.
  BackupResult Archive(const std::string& archive);
  // A fresh work folder in the data folder; "" with *failed set after its
  // message.
  std::string MakeWorkFolder(BackupResult* failed);
  // The transfer file into `folder`, packed into `archive` and checked.
  BackupResult PackInto(const std::string& folder, const std::string& archive);
  BackupResult Fail(const std::string& reason);

  BackupContext c_;
};

}  // namespace quill
