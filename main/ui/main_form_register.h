// TMainForm's register-here menu, registration history and append to a
// card, with the views through which they see the window. Private to
// main_form_register.cpp, main_form_dispatch.cpp and main_form_popup.cpp.
#pragma once

#include "clip/card_append.h"
#include "clip/register_history.h"
#include "main/popup/register_menu.h"
#include "main/ui/main_form.h"
#include "main/ui/main_form_paste.h"

namespace quill {

struct TMainForm::RegisterGlue final : CardAppendView, RegisterMenuView {
  RegisterGlue(TMainForm* f, const PasteParts& parts, MenuItemOwner* owner);

  // Records a folder registered into, or forgets one gone.
  void AddFolder(int data_set, const std::string& folder);
  void RemoveFolder(int data_set, const std::string& folder);

  // --- CardAppendView ---
  store::CardStore& CurrentStore() override;
  int CurrentDataSet() override;
  OneShotSettings CurrentOneShotSettings() override;
  void LeaveCard(const std::string& card_id) override;
  int RunAddHyouForm(std::string* title, std::string* text) override;
  void CardWritten(const store::CardRecord& card) override;
  Status SaveForgottenOneShotFolder() override;

  // --- RegisterMenuView ---
  std::string DataSetName(int index) override;
  std::string DataSetFolder(int index) override;
  bool IsBrowserWindow(WindowHandle target) override;
  int TuikaOrikaesiSuu() override;
  void SetOneShotDataSet(int index) override;
  void SetOneShotFolder(const std::string& path) override;
  void RegisterFromClipboard() override;
  std::vector<PopupEntry> TrayMenuItems() override;

  TMainForm* form;
  const PasteParts parts;
  RegisterHistory history;
  CardAppend append;
  RegisterMenu menu;
};

}  // namespace quill
