// The Qt forms of the transfer, export and import dialogs (TReadPath,
// TChgFolderFm, TLockCheckFm, TWriteOpFm and the open dialog) behind the
// TransferDialogs port.
#pragma once

#include "main/exchange/transfer_dialogs.h"

class QWidget;

namespace quill {

class QtTransferDialogs final : public TransferDialogs {
 public:
  explicit QtTransferDialogs(QWidget* owner) : owner_(owner) {}
  int RunReadPath(ReadPathForm* form) override;
  int RunChangeFolder(ChangeFolderForm* form) override;
  int RunLockCheck(const std::string& title) override;
  int RunWriteOptions(WriteOptionsForm* form) override;
  bool ChooseImportFiles(std::vector<std::string>* paths) override;

 private:
  QWidget* owner_;
};

}  // namespace quill
