#include "main/settings/data_set_switch.h"

#include "main/exchange/transfer_file.h"
#include "main/tree/marks.h"
#include "platform/message_bus.h"
#include "platform/messages.h"
#include "platform/protocol/shared_hook_block.h"
#include "platform/text_codec.h"
#include "platform/ui.h"
#include "platform/ui_messages.h"
#include "store/card_store.h"

namespace quill {

namespace {

// Appended to the set's name in the window's caption.
constexpr char kCaptionSuffix[] = ":Quillbox";

}  // namespace

DataSets::DataSets(FileEnv& env, store::CardStore& store, Settings& settings, Ui& ui,
                   DataSetView& view, SharedHookBlock* block, MessageBus* bus)
    : env_(env), store_(store), settings_(settings), ui_(ui), view_(view), block_(block),
      bus_(bus) {}

void DataSets::Build() {
  BuildDataMenu(env_, settings_.DataFiles, store_.data_path(), &menu_);
  view_.DataMenuChanged();
}

void DataSets::Refresh() {
  RefreshDataMenu(settings_.DataFiles, &menu_);
  // The entries are enabled by the one rule of every switch: each whose
  // folder is not the open set's.
  const int open = settings_.DataFileNum;
  if (open >= 0 && open < kDataFileSlots) CheckDataMenu(settings_.DataFiles, open, &menu_);
  view_.DataMenuChanged();
}

Status DataSets::Probe(const std::string& folder) {
  store::CardStore probe(env_, store_.program_folder());
  Status s = probe.Open(/*probe=*/true, folder);
  Status closed = probe.Close();
  return s.ok() ? closed : s;
}

Status DataSets::Reopen(const std::string& folder) {
  Status s = store_.Open(/*probe=*/true, folder);
  if (!s.ok()) ShowFailure(s);
  return s;
}

void DataSets::ShowFailure(const Status& status) {
  ShowWarning(ui_, MessageId::kDataSetNotOpened, {Utf8ToCp932(status.message())});
}

Status DataSets::CloseOpenSet() {
  Status closed = store_.Close();
  if (!closed.ok()) {
    ShowWarning(ui_, MessageId::kDataSetNotClosed, {Utf8ToCp932(closed.message())});
  }
  return closed;
}

Status DataSets::WriteToDataSet(int index, int mode) {
  if (transfer_ == nullptr) return Status::Ok();
  const std::string target =
      index >= 0 && index < kDataFileSlots ? settings_.DataFiles.paths[index] : std::string();
  if (target.empty()) {
    // A free slot has no folder: the write would land in the program's own.
    ShowWarning(ui_, MessageId::kNoWriteTargetSet);
    return Status::Invalid("no data set in slot " + std::to_string(index));
  }
  TransferContext& ctx = *transfer_;
  if (ui_.ShowMessageDialog(MessageText(MessageId::kConfirmWriteOlderToo),
                            MessageText(MessageId::kConfirmCaption), kMessageYesNo) == kResultYes) {
    ctx.AllTorikomi = 1;
  }
  if (mode == 2) RunMarkCommand(ctx.form, MarkCommand::kSetAllMark);
  std::vector<std::string> unreadable;
  Status s = WriteAndMerge(ctx, target, &unreadable);
  if (mode == 2) RunMarkCommand(ctx.form, MarkCommand::kMarkClear);
  // A write that never reached the read leaves the flag to no other read.
  ctx.AllTorikomi = 0;
  if (!s.ok()) return s;
  if (!unreadable.empty()) {
    ShowWarning(ui_, MessageId::kCardsUnreadable, {JoinLines(unreadable)});
  } else {
    ui_.ShowMessageDialog(MessageText(MessageId::kWrittenOut),
                          MessageText(MessageId::kQuillboxCaption), kMessageOk);
  }
  return s;
}

Status DataSets::WriteAndMerge(TransferContext& ctx, const std::string& target,
                               std::vector<std::string>* unreadable) {
  TransferWriteResult written;
  const int rc = WriteTransferFile(ctx, target, 0, 0, 0, &written);
  if (rc == kTransferEnded) return Status::IoError("ended by the card store's fatal status");
  if (rc != kTransferWritten) {
    ShowWarning(ui_, MessageId::kCheckDisk);
    return Status::IoError("transfer file not written in " + target);
  }
  *unreadable = std::move(written.unreadable);
  const std::string previous = store_.data_path();
  (void)CloseOpenSet();
  Status s = store_.Open(/*probe=*/true, target);
  if (s.IsNotFound()) s = store_.Open(/*probe=*/false, target);
  if (!s.ok()) {
    ShowFailure(s);
  } else {
    // The read says itself why it stopped.
    TransferReadResult read;
    if (ReadTransferFile(ctx, target, 1, &read) != 0) {
      s = Status::Corrupt("transfer file not read in " + target);
    } else if (read.end != ReadEnd::kComplete) {
      s = Status::IoError("transfer file read only in part in " + target);
    } else {
      // The set's folder list takes the folders that came in, so menus
      // built from it list them before the set is opened again.
      s = store_.RebuildTreeFile();
      if (!s.ok()) ShowFailure(s);
    }
  }
  Status closed = CloseOpenSet();
  if (s.ok()) s = closed;
  // The set shown is the open one again; a failed opening is shown and
  // leaves the store on its folder, never on the target's.
  Status back = Reopen(previous);
  return s.ok() ? back : s;
}

Status DataSets::SwitchDataFile(int index, bool at_start) {
  if (index < 0 || index >= kDataFileSlots) index = 0;
  if (!at_start) view_.SaveCurrentCard();
  if (transfer_mode != 0) {
    const int mode = transfer_mode;
    transfer_mode = 0;
    return WriteToDataSet(index, mode);
  }
  const std::string previous = store_.data_path();
  (void)CloseOpenSet();

  const DataFileList& list = settings_.DataFiles;
  int i = index;
  if (list.paths[i].empty()) {
    i = 0;
  } else {
    Status probed = Probe(list.paths[i]);
    if (probed.IsNotFound()) {
      i = 0;
      ShowWarning(ui_, MessageId::kNoDataSetFiles);
    } else if (!probed.ok()) {
      // The set exists but cannot be used: the one shown stays open, or
      // at start, when none is shown yet, set 0 opens.
      ShowFailure(probed);
      if (!at_start) {
        (void)Reopen(previous);
        return probed;
      }
      i = 0;
    }
  }
  // Set 0 is the program's own: its store is made again when it is gone.
  Status opened = store_.Open(/*probe=*/i != 0, list.paths[i]);
  if (!opened.ok()) {
    ShowFailure(opened);
    (void)Reopen(previous);
    return opened;
  }
  settings_.DataFileNum = i;
  CheckDataMenu(list, i, &menu_);
  view_.DataMenuChanged();
  Status shown = view_.ShowDataSet(list.names[i]);
  if (shown.code() == Status::kNoSpace) return shown;
  view_.SetCaption(list.names[i] + kCaptionSuffix);
  view_.WriteTreeFile();
  view_.ForgetAppendCard();
  if (!at_start) {
    // The one-shot folder belonged to the set left.
    settings_.DefAddKubun.clear();
    if (block_ != nullptr) {
      block_->SetSaveState(0);
      block_->SetSaveHint(MessageText(MessageId::kOneShotFolderUnset));
      if (bus_ != nullptr && block_->BarWindow() != 0) {
        bus_->PostMessage(block_->BarWindow(), kCommandMessage,
                          static_cast<uint32_t>(CommandCode::kRefreshBar), 0);
      }
    }
  }
  view_.SaveSettingsGroup(kGroupFontsAndDataSet);
  return shown;
}

}  // namespace quill
