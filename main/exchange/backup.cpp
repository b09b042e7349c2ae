#include "main/exchange/backup.h"

#include <sys/stat.h>

#include <vector>

#include "main/exchange/transfer_file.h"
#include "platform/archive/zip_reading.h"
#include "platform/archiver.h"
#include "platform/file_env.h"
#include "platform/messages.h"
#include "platform/text_codec.h"
#include "platform/ui.h"
#include "platform/ui_messages.h"

namespace quill {

namespace {

// "／" in CP932: what a "/" of the data set's name becomes in a path.
constexpr const char kFullWidthSolidus[] = "\x81\x5E";

}  // namespace

std::string DefaultExternalFolder(const std::string& program_folder) {
  return program_folder + "backup";
}

int CheckFloppyDrive(Ui& ui, FileEnv& env, const std::string& floppy_drive,
                     const std::string& program_folder, std::string* drive) {
  const auto is_folder = [](const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  };
  const bool drive_letter = floppy_drive.size() == 2 && floppy_drive[1] == ':' &&
                            ((floppy_drive[0] >= 'A' && floppy_drive[0] <= 'Z') ||
                             (floppy_drive[0] >= 'a' && floppy_drive[0] <= 'z'));
  std::string folder = Cp932ToUtf8(floppy_drive);
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  if (folder.empty() || drive_letter) {
    folder = DefaultExternalFolder(program_folder);
    // CreateDir makes the folder or accepts one that is there, and refuses
    // anything else: its success needs no second look.
    if (!is_folder(folder) && !env.CreateDir(folder).ok()) {
      ShowWarning(ui, MessageId::kCannotWriteFile, {Utf8ToCp932(folder)});
      return 1;
    }
  } else if (folder.front() != '/' || !is_folder(folder)) {
    ShowWarning(ui, MessageId::kExternalFolderInvalid);
    return 1;
  }
  *drive = folder;
  return 0;
}

void ExternalSave(Ui& ui, const ExternalSaveSource& source, const std::function<void()>& save_card,
                  const std::function<void(const std::string& body)>& save_file) {
  if (source.text.empty() && !source.table_shown) {
    ui.MessageBeep();
    return;
  }
  save_card();
  if (source.table_shown) {
    save_file(source.table_text);
  } else {
    save_file(source.selection.empty() ? source.text : source.selection);
  }
}

std::string BackupRunner::FullArchivePath(const std::string& backup_file, int data_set_number,
                                          const std::string& data_set_name, std::string* reason) {
  // Bytes below 0x40 are never the second byte of a CP932 character, so
  // "#", "$" and "/" are found byte by byte.
  std::string name;
  for (char ch : data_set_name) {
    if (ch == '/') {
      name += kFullWidthSolidus;
    } else {
      name += ch;
    }
  }
  if (backup_file.find('$') != std::string::npos && (name == "." || name == "..")) {
    *reason = FormatMessage(MessageId::kBackupNameNotUsable, {data_set_name});
    return "";
  }
  std::string path;
  for (char ch : backup_file) {
    if (ch == '#') {
      path += static_cast<char>('0' + data_set_number);
    } else if (ch == '$') {
      path += name;
    } else {
      path += ch;
    }
  }
  if (path.find('"') != std::string::npos) {
    *reason = FormatMessage(MessageId::kBackupPathHasQuote, {path});
    return "";
  }
  if (path.empty() || path.front() != '/') {
    *reason = FormatMessage(MessageId::kBackupPathNotAbsolute, {path});
    return "";
  }
  return Cp932ToUtf8(path);
}

BackupResult BackupRunner::QuickBackup() {
  if (!c_.tree_complete) {
    c_.ui->ShowMessageDialog(MessageText(MessageId::kReloadFirst),
                             MessageText(MessageId::kCautionCaption), kMessageOk);
    return BackupResult::kStopped;
  }
  c_.save_current_card();
  return Archive(c_.data_folder + kQuickBackupName);
}

BackupResult BackupRunner::FullBackup(const std::string& backup_file) {
  c_.save_current_card();
  if (!c_.tree_complete &&
      c_.ui->ShowMessageDialog(MessageText(MessageId::kBackupShownCardsOnly),
                               MessageText(MessageId::kCautionCaption),
                               kMessageYesNo) != kResultYes) {
    return BackupResult::kStopped;
  }
  if (backup_file.empty()) {
    ShowWarning(*c_.ui, MessageId::kBackupFileUnset);
    return BackupResult::kStopped;
  }
  std::string reason;
  const std::string archive =
      FullArchivePath(backup_file, c_.data_set_number, c_.data_set_name, &reason);
  if (archive.empty()) {
    Fail(reason);
    return BackupResult::kStopped;
  }
  return Archive(archive);
}

BackupResult BackupRunner::Fail(const std::string& reason) {
  ShowWarning(*c_.ui, MessageId::kBackupFailed, {reason});
  return BackupResult::kFailed;
}

namespace {

// The work folders of backups are "qbbackup.tmp0", "qbbackup.tmp1", ...
// in the data folder.
constexpr const char kWorkFolderPrefix[] = "qbbackup.tmp";
constexpr int kWorkFolderSlots = 1000;

// Whether a file in a work folder is one a backup puts there: the
// transfer file or the writer's temporary file beside it.
bool IsBackupFile(FileEnv& env, const std::string& folder, const std::string& name) {
  return name.rfind(kTransferFileName, 0) == 0 && env.IsRegularFile(folder + "/" + name);
}

// Whether `folder` holds nothing but files a backup puts there: a work
// folder that a run which did not finish left behind. A folder holding
// anything else is the user's and is left alone.
bool IsLeftWorkFolder(FileEnv& env, const std::string& folder) {
  // A link of that name leads to someone else's folder.
  struct stat st;
  if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
  std::vector<std::string> names;
  if (!env.ListDir(folder, &names).ok()) return false;
  for (const std::string& name : names) {
    if (!IsBackupFile(env, folder, name)) return false;
  }
  return true;
}

// Removes a work folder with the files a backup put into it.
Status RemoveWorkFolder(FileEnv& env, const std::string& folder) {
  std::vector<std::string> names;
  QUILL_RETURN_IF_ERROR(env.ListDir(folder, &names));
  for (const std::string& name : names) {
    if (IsBackupFile(env, folder, name)) QUILL_RETURN_IF_ERROR(env.Remove(folder + "/" + name));
  }
  return env.RemoveDir(folder);
}

}  // namespace

std::string BackupRunner::MakeWorkFolder(BackupResult* failed) {
  FileEnv& env = *c_.env;
  std::string folder;
  for (int n = 0; n < kWorkFolderSlots && folder.empty(); ++n) {
    const std::string candidate = c_.data_folder + kWorkFolderPrefix + std::to_string(n);
    // A folder left by a backup that was cut off is cleared on the way.
    if (env.Exists(candidate) && IsLeftWorkFolder(env, candidate)) {
      (void)RemoveWorkFolder(env, candidate);
    }
    if (!env.Exists(candidate)) folder = candidate;
  }
  if (folder.empty()) {
    *failed = Fail(FormatMessage(MessageId::kWorkFolderNotCreated,
                                 {Utf8ToCp932(c_.data_folder), kWorkFolderPrefix}));
    return "";
  }
  if (Status s = env.CreateDir(folder); !s.ok()) {
    *failed = Fail(FormatMessage(MessageId::kWorkFolderNotCreated,
                                 {Utf8ToCp932(folder), Utf8ToCp932(s.message())}));
    return "";
  }
  return folder;
}

BackupResult BackupRunner::Archive(const std::string& archive) {
  // The command line carries each path in double quotes: a quote inside
  // one would end it early.
  if (c_.data_folder.find('"') != std::string::npos) {
    return Fail(FormatMessage(MessageId::kBackupPathHasQuote, {Utf8ToCp932(c_.data_folder)}));
  }
  BackupResult result = BackupResult::kFailed;
  const std::string folder = MakeWorkFolder(&result);
  if (folder.empty()) return result;
  result = PackInto(folder, archive);
  // The folder goes again with whatever the writer left in it. When it
  // cannot, the user hears of it; the next backup clears it.
  if (Status s = RemoveWorkFolder(*c_.env, folder); !s.ok()) {
    ShowWarning(*c_.ui, MessageId::kWorkFolderNotRemoved,
                {Utf8ToCp932(folder), Utf8ToCp932(s.message())});
  }
  return result;
}

BackupResult BackupRunner::PackInto(const std::string& folder, const std::string& archive) {
  const std::string transfer = folder + "/" + kTransferFileName;
  const int rc = c_.write_transfer_file(folder + "/");
  if (rc == kTransferEnded) return BackupResult::kFailed;
  if (rc != kTransferWritten) {
    ShowWarning(*c_.ui, MessageId::kCheckDisk);
    return BackupResult::kFailed;
  }
  const std::string command = "a -tzip \"" + archive + "\" \"" + transfer + "\"";
  const ArchiverRun run = c_.archiver->SevenZip(c_.owner, command);
  if (!run.installed) {
    ShowWarning(*c_.ui, MessageId::kArchiverNotInstalled);
    return BackupResult::kNotInstalled;
  }
  if (run.result != 0) {
    return Fail(FormatMessage(MessageId::kArchiverResult,
                              {std::to_string(run.result), Utf8ToCp932(run.output)}));
  }
  if (Status s = CheckZipMember(archive, kTransferFileName, transfer); !s.ok()) {
    return Fail(FormatMessage(MessageId::kArchiveLacksFile,
                              {Utf8ToCp932(archive), Utf8ToCp932(s.message())}));
  }
  return BackupResult::kDone;
}

}  // namespace quill
