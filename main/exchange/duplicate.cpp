#include "main/exchange/duplicate.h"

#include <unordered_set>
#include <vector>

#include "main/exchange/transfer_file.h"
#include "main/tree/folder_tree_model.h"
#include "main/tree/marks.h"
#include "main/tree/node_operations.h"
#include "main/tree/tree_loader.h"
#include "platform/messages.h"
#include "platform/ui.h"
#include "platform/ui_messages.h"
#include "store/card_row.h"
#include "store/card_store.h"

namespace quill {

namespace {

// The first failure of two.
Status First(const Status& a, const Status& b) { return !a.ok() ? a : b; }

// Whether every row at or below old_path still fits the field once the
// path is renamed to new_path.
Status PathsFit(FolderTreeModel& form, const std::string& old_path, const std::string& new_path,
                bool* fit) {
  *fit = true;
  store::CardRecord r(form.store());
  std::vector<int64_t> rows;
  QUILL_RETURN_IF_ERROR(r.FindCardsByFolder(old_path, &rows));
  r.SetOpenFlag(true);
  Status s;
  for (int64_t row : rows) {
    r.SetRecNo(row);
    s = r.Load(false);
    if (!s.ok()) break;
    const bool below = r.folder == old_path ||
                       (r.folder.size() > old_path.size() &&
                        r.folder.compare(0, old_path.size(), old_path) == 0 &&
                        r.folder[old_path.size()] == ' ');
    if (below && r.folder.size() - old_path.size() + new_path.size() >
                     store::card_row::kKubunLength) {
      *fit = false;
      break;
    }
  }
  return First(s, r.Close());
}

}  // namespace

Status DuplicateFolder(TransferContext& ctx, TreeNode* folder) {
  FolderTreeModel& form = ctx.form;
  if (folder == nullptr || IsTopNode(folder)) {
    form.ui().MessageBeep();
    return Status::Ok();
  }
  const std::string copy_name = folder->text() + kCopySuffix;
  TreeNode* parent = folder->parent();
  for (int i = 0; i < parent->child_count(); ++i) {
    if (parent->child(i)->IsFolder() && parent->child(i)->text() == copy_name) {
      ShowWarning(form.ui(), MessageId::kCopyFolderExists);
      return Status::Ok();
    }
  }
  if (!ConfirmCaution(form.ui(), MessageId::kConfirmCopyFolder)) return Status::Ok();
  const std::string old_path = GetFolderPath(folder);
  std::string new_path = GetFolderPath(parent);
  if (!new_path.empty()) new_path += ' ';
  new_path += copy_name;
  bool fit = true;
  QUILL_RETURN_IF_ERROR(PathsFit(form, old_path, new_path, &fit));
  if (!fit) {
    ShowWarning(form.ui(), MessageId::kFolderNameTooLong);
    return Status::Invalid("the copy's folder path would be longer than 100 bytes");
  }
  form.tree().set_selected_node(folder);
  RunMarkCommand(form, MarkCommand::kMarkClear);
  RunMarkCommand(form, MarkCommand::kFolderMark2);
  // The cards are written with the copy's path; the store is not renamed.
  TransferWriteOptions options;
  options.rename_from = old_path;
  options.rename_to = new_path;
  TransferWriteResult written;
  const std::string data_folder = form.store().data_path();
  const int rc = WriteTransferFile(ctx, data_folder, 0, 1, 0, &written, options);
  if (rc == kTransferEnded) return Status::IoError("ended by the card store's fatal status");
  if (rc != kTransferWritten) {
    ShowWarning(form.ui(), MessageId::kCheckDisk);
    return Status::IoError("the transfer file could not be written");
  }
  // The copy's own folder row, also when the folder holds no card.
  std::unordered_set<std::string> made;
  Status s = EnsureFolderPath(form, new_path, &made);
  if (s.ok()) ReadTransferFile(ctx, data_folder, 1);
  Status loaded = LoadFolderTree(form, nullptr);
  return First(s, loaded);
}

Status DuplicateMarkedCards(TransferContext& ctx) {
  FolderTreeModel& form = ctx.form;
  if (!ConfirmCaution(form.ui(), MessageId::kConfirmCopyMarked)) return Status::Ok();
  const std::string data_folder = form.store().data_path();
  const int rc = WriteTransferFile(ctx, data_folder, 0, 1, 1);
  if (rc == kTransferEnded) return Status::IoError("ended by the card store's fatal status");
  if (rc != kTransferWritten) {
    ShowWarning(form.ui(), MessageId::kCheckDisk);
    return Status::IoError("the transfer file could not be written");
  }
  TransferReadResult read;
  ReadTransferFile(ctx, data_folder, 1, &read);
  if (read.end == ReadEnd::kFatal) return Status::IoError("ended by the card store's fatal status");
  Status s = LoadFolderTree(form, nullptr);
  ShowWarning(form.ui(), MessageId::kCopiedToTmpFolder);
  return s;
}

Status DuplicateCard(TransferContext& ctx, store::CardRecord& copy, TreeNode* original,
                     TreeNode** created) {
  FolderTreeModel& form = ctx.form;
  if (created != nullptr) *created = nullptr;
  copy.one_shot_paste = original->info().OneShotPaste();
  Status s = copy.Write();
  if (!s.ok()) {
    ShowWarning(form.ui(), MessageId::kLowSpaceInterrupted);
    return s;
  }
  TreeNode* parent = original->parent();
  TreeNode* node = AddCardNode(form, copy, parent);
  if (node == nullptr) return Status::Ok();
  form.tree().Move(node, parent, original->index() + 1);
  node->info().SetMark(original->info().Mark());
  if (node->info().Mark() != 0) ++form.marked_count;
  form.tree().NodeChanged(node);
  form.tree().set_selected_node(node);
  UpdateCountDisplay(form, false);
  if (created != nullptr) *created = node;
  return Status::Ok();
}

}  // namespace quill
