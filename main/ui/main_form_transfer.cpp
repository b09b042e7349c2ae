// TMainForm's transfer file, text export and text import commands: the
// menu handlers hand the window's state to main/exchange/ and rebuild the
// tree where the cards changed.
#include <QGuiApplication>

#include "main/samples/sample_cards.h"
#include "main/exchange/duplicate.h"
#include "main/exchange/text_export.h"
#include "main/exchange/text_import.h"
#include "main/exchange/transfer_file.h"
#include "main/tree/marks.h"
#include "main/tree/tree_loader.h"
#include "main/ui/main_form_tree_glue.h"
#include "main/ui/qt_clipboard.h"
#include "main/ui/transfer_forms.h"
#include "platform/ini_file.h"
#include "platform/messages.h"
#include "platform/ui.h"
#include "platform/ui_messages.h"

namespace quill {

struct TMainForm::TransferGlue {
  explicit TransferGlue(TMainForm* f)
      : own_dialogs(f),
        ctx{f->TreeModel(), f->context_.transfer_dialogs != nullptr ? *f->context_.transfer_dialogs
                                                                   : own_dialogs},
        own_clipboard(f->context_.clipboard == nullptr ? std::make_unique<QtClipboard>() : nullptr),
        clipboard(f->context_.clipboard != nullptr ? *f->context_.clipboard : *own_clipboard) {}
  QtTransferDialogs own_dialogs;  // used when the context brings none
  TransferContext ctx;
  std::unique_ptr<QtClipboard> own_clipboard;
  Clipboard& clipboard;
};

void TMainForm::DestroyTransferGlue(TransferGlue* glue) { delete glue; }

TMainForm::TransferGlue& TMainForm::Transfer() {
  if (transfer_glue_ == nullptr) transfer_glue_.reset(new TransferGlue(this));
  return *transfer_glue_;
}

TransferContext& TMainForm::TransferState() { return Transfer().ctx; }

namespace {

void Tell(Ui& ui, MessageId text, MessageId caption) {
  ui.ShowMessageDialog(MessageText(text), MessageText(caption), kMessageOk);
}

}  // namespace

void TMainForm::ReloadAfterTransfer() {
  Status s = LoadFolderTree(TreeModel(), nullptr);
  tree_glue_->SelectInView(TreeModel().tree().selected_node());
  if (!s.ok()) ShowWarning(s);
}

void TMainForm::ReadSampleCards() {
  if (context_.install_folder.empty()) return;
  std::string path = context_.install_folder;
  if (path.back() != '/') path += '/';
  // A missing file is skipped without a word; a broken one says so.
  (void)ReadTransferFile(Transfer().ctx, path + kSampleFileName, 0);
}

void TMainForm::ToQuillboxClick() {
  const bool all = ShiftDown();
  if (all) RunMarks(MarkCommand::kSetAllMark);
  Editor().SaveCurrentCard(false);
  TransferContext& ctx = Transfer().ctx;
  std::string folder;
  if (AskFolderPath(ctx, &folder, kPathForWrite) == 0) {
    TransferWriteResult written;
    const int rc = WriteTransferFile(ctx, folder, 0, 0, 0, &written);
    if (rc == kTransferEnded) {
      // EndOnFatal has spoken.
    } else if (rc != kTransferWritten) {
      Tell(ui_, MessageId::kCheckDisk, MessageId::kWarningCaption);
    } else if (!written.unreadable.empty()) {
      quill::ShowWarning(ui_, MessageId::kCardsUnreadable, {JoinLines(written.unreadable)});
    } else {
      Tell(ui_, MessageId::kWrittenOut, MessageId::kQuillboxCaption);
    }
  }
  if (all) RunMarks(MarkCommand::kMarkClear);
}

void TMainForm::KansetuYomikomiClick() {
  Editor().SaveCurrentCard(false);
  TransferContext& ctx = Transfer().ctx;
  std::string folder;
  if (AskFolderPath(ctx, &folder, kPathForRead) != 0) return;
  Editor().SaveCurrentCard(false);
  TransferReadResult read;
  const int rc = ReadTransferFile(ctx, folder, 1, &read);
  ReloadAfterTransfer();
  if (rc == 0 && read.end == ReadEnd::kComplete) {
    Tell(ui_, MessageId::kTakenIn, MessageId::kQuillboxCaption);
  }
}

void TMainForm::HukuseiClick() {
  Editor().SaveCurrentCard(false);
  TransferContext& ctx = Transfer().ctx;
  TreeNode* node = TreeModel().tree().selected_node();
  if (node == nullptr) return;
  if (node->IsFolder()) {
    const Status s = DuplicateFolder(ctx, node);
    if (!IsTopNode(node) || !s.ok()) ReloadAfterTransfer();
    return;
  }
  if (node->info().Mark() != 0) {
    DuplicateMarkedCards(ctx);
    ReloadAfterTransfer();
    return;
  }
  // The editor's card, as just saved, is the copy's source.
  const store::CardRecord& from = EditCard();
  store::CardRecord copy(card_store_);
  copy.Clear();
  copy.folder = from.folder;
  copy.title = from.title;
  copy.text = from.text;
  copy.kind = from.kind;
  copy.column_widths = from.column_widths;
  copy.icon = from.icon;
  copy.source = from.source;
  TreeNode* created = nullptr;
  if (DuplicateCard(ctx, copy, node, &created).ok() && created != nullptr) {
    tree_glue_->SelectInView(created);
  }
}

void TMainForm::IkkatuTextClick() {
  Editor().SaveCurrentCard(false);
  RunTextImport(Transfer().ctx);
  // The editor follows the selection (the last card made), as after any
  // change of the tree's row.
  tree_glue_->SelectAndOpen(TreeModel().tree().selected_node());
}

void TMainForm::AllTextOutClick() {
  Editor().SaveCurrentCard(false);
  IniFile ini(env_, stores_.ini_path);
  RunTextExport(Transfer().ctx, ini, shell_, Transfer().clipboard);
}

void TMainForm::CardOutClick() {
  Editor().SaveCurrentCard(false);
  RunCardFileExport(Transfer().ctx);
}

}  // namespace quill
