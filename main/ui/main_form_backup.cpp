// TMainForm's backups and the external save of the editor's card: the
// handlers hand the window's state to main/exchange/, with the transfer
// writer for the backup's file and the card-file writer for the save.
#include <QPlainTextEdit>
#include <QTextCursor>
#include <memory>

#include "controls/ui/string_grid_pelm.h"
#include "main/exchange/backup.h"
#include "main/editor/card_editor.h"
#include "main/exchange/text_export.h"
#include "main/exchange/transfer_file.h"
#include "main/tree/folder_tree_model.h"
#include "main/ui/main_form.h"
#include "main/ui/widget_text.h"
#include "platform/archiver.h"
#include "platform/plugin_loader.h"
#include "platform/protocol/shared_hook_block.h"

namespace quill {

void TMainForm::BackUpClick() { RunBackup(false); }
void TMainForm::Backup2Click() { RunBackup(true); }

void TMainForm::RunBackup(bool full) {
  std::unique_ptr<LibraryArchiver> own_archiver;
  Archiver* archiver = context_.archiver;
  if (archiver == nullptr) {
    own_archiver = std::make_unique<LibraryArchiver>(
        context_.plugins != nullptr ? *context_.plugins : PluginLoader::Default(),
        context_.install_folder);
    archiver = own_archiver.get();
  }
  BackupContext c;
  c.ui = &ui_;
  c.env = &env_;
  c.archiver = archiver;
  c.owner = context_.block != nullptr ? context_.block->MainWindow() : 0;
  c.data_folder = card_store_.data_path();
  const int number = settings_.DataFileNum;
  c.data_set_number = number;
  if (number >= 0 && number < kDataFileSlots) c.data_set_name = settings_.DataFiles.names[number];
  c.tree_complete = TreeModel().tree_complete != 0;
  c.save_current_card = [this] { Editor().SaveCurrentCard(false); };
  c.write_transfer_file = [this](const std::string& folder) {
    return WriteTransferFile(TransferState(), folder, /*all=*/1, /*new_ids=*/0,
                             /*tmp_folder=*/0);
  };
  BackupRunner runner(std::move(c));
  if (full) {
    runner.FullBackup(settings_.BackupFile);
  } else {
    runner.QuickBackup();
  }
}

void TMainForm::ToFloppyClick() {
  const QString shown = Text->toPlainText();
  const QTextCursor cursor = Text->textCursor();
  ExternalSaveSource source;
  source.text = WidgetToText(shown);
  // A table card is saved as the grid's table text, whole, with the edits
  // the grid holds.
  source.table_shown = Editor().BodyMode == 'C';
  if (source.table_shown) source.table_text = CsvGrid->Grid().FromCsv(-1, 0, 0, 0);
  source.selection = WidgetToText(
      shown.mid(cursor.selectionStart(), cursor.selectionEnd() - cursor.selectionStart()));
  ExternalSave(
      ui_, source, [this] { Editor().SaveCurrentCard(false); },
      [this, &source](const std::string& body) {
        std::string folder;
        if (CheckFloppyDrive(ui_, env_, settings_.FloppyDrive, startup_.program_folder(),
                             &folder) != 0) {
          return;
        }
        if (folder.back() != '/') folder += '/';
        // The title as the save just stored it.
        SaveCardToExternalFile(env_, ui_, folder, EditCard().title, body, source.table_shown);
      });
}

}  // namespace quill
