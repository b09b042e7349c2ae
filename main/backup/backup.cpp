#include "main/backup/backup.h"

#include <sys/stat.h>

#include "platform/archive/zip_reading.h"
#include "platform/archiver.h"
#include "platform/file_env.h"
#include "platform/messages.h"
#include "platform/text_codec.h"
#include "platform/ui.h"

namespace quill {

namespace {

// "／" in CP932: what a "/" of the data set's name becomes in a path.
constexpr const char kFullWidthSolidus[] = "\x81\x5E";

void Warn(Ui& ui, const std::string& text) {
  ui.ShowMessageDialog(text, MessageText(MessageId::kWarningCaption), kMessageOk);
}

}  // namespace

int CheckFloppyDrive(Ui& ui, const std::string& floppy_drive, std::string* drive) {
  std::string folder = Cp932ToUtf8(floppy_drive);
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  struct stat st;
  if (folder.empty() || folder.front() != '/' || ::stat(folder.c_str(), &st) != 0 ||
      !S_ISDIR(st.st_mode)) {
    Warn(ui, MessageText(MessageId::kFloppyDriveInvalid));
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
    Warn(*c_.ui, MessageText(MessageId::kBackupFileUnset));
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
  Warn(*c_.ui, FormatMessage(MessageId::kBackupFailed, {reason}));
  return BackupResult::kFailed;
}

BackupResult BackupRunner::Archive(const std::string& archive) {
  // The command line carries each path in double quotes: a quote inside
  // one would end it early.
  if (c_.data_folder.find('"') != std::string::npos) {
    return Fail(FormatMessage(MessageId::kBackupPathHasQuote, {Utf8ToCp932(c_.data_folder)}));
  }
  FileEnv& env = *c_.env;
  std::string folder;
  for (int n = 0; n < 1000 && folder.empty(); ++n) {
    const std::string candidate = c_.data_folder + "qbbackup.tmp" + std::to_string(n);
    if (!env.Exists(candidate)) folder = candidate;
  }
  if (folder.empty()) {
    return Fail(FormatMessage(MessageId::kWorkFolderNotCreated,
                              {Utf8ToCp932(c_.data_folder), "qbbackup.tmp"}));
  }
  if (Status s = env.CreateDir(folder); !s.ok()) {
    return Fail(FormatMessage(MessageId::kWorkFolderNotCreated,
                              {Utf8ToCp932(folder), Utf8ToCp932(s.message())}));
  }
  const std::string transfer = folder + "/" + kTransferFileName;
  // The folder goes again with whatever the writer left in it.
  struct Cleanup {
    FileEnv& env;
    const std::string& folder;
    const std::string& transfer;
    ~Cleanup() {
      if (env.Exists(transfer)) env.Remove(transfer);
      env.RemoveDir(folder);
    }
  } cleanup{env, folder, transfer};

  if (c_.write_transfer_file(folder + "/") != 0) {
    Warn(*c_.ui, MessageText(MessageId::kCheckDisk));
    return BackupResult::kFailed;
  }
  const std::string command = "a -tzip \"" + archive + "\" \"" + transfer + "\"";
  const ArchiverRun run = c_.archiver->SevenZip(c_.owner, command);
  if (!run.installed) {
    Warn(*c_.ui, MessageText(MessageId::kArchiverNotInstalled));
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
