// TMainForm's register-here menu (RegisterMenu, main/popup/), the
// registration history and the append to a card (CardAppend, clip/): the
// views through which they see the window's settings, data sets, tree and
// editor, and the table-row dialog.
#include "main/ui/main_form_register.h"


#include "clip/browser_classes.h"
#include "clip/ui/add_hyou_form.h"
#include "main/editor/card_window_list.h"
#include "main/settings/settings.h"
#include "main/tree/folder_tree_model.h"
#include "main/tree/node_operations.h"
#include "main/ui/qt_ui.h"

namespace quill {

TMainForm::RegisterGlue::RegisterGlue(TMainForm* f, const PasteParts& p, MenuItemOwner* owner)
    : form(f),
      parts(p),
      history(quill::LoadRegisterHistory(f->registry_)),
      append(p.block, p.dispatcher, p.target, p.clipboard, f->ui_, p.bus, p.clock, p.one_shot,
             history, f->registry_, *this),
      menu(f->TreeModel(), f->env_, history, append, owner, p.block, p.dispatcher, p.commands,
           p.windows, f->ui_, *this) {}

void TMainForm::RegisterGlue::AddFolder(int data_set, const std::string& folder) {
  history.Add(data_set, folder, "?");
  // The history is offered again at the next menu whatever this write does.
  (void)SaveRegisterHistory(form->registry_, history);
}

void TMainForm::RegisterGlue::RemoveFolder(int data_set, const std::string& folder) {
  history.Remove(data_set, folder);
}

// --- CardAppendView ---

store::CardStore& TMainForm::RegisterGlue::CurrentStore() {
  return parts.one_shot_view.CurrentStore();
}
int TMainForm::RegisterGlue::CurrentDataSet() { return parts.one_shot_view.CurrentDataSet(); }
OneShotSettings TMainForm::RegisterGlue::CurrentOneShotSettings() {
  return parts.one_shot_view.CurrentOneShotSettings();
}

void TMainForm::RegisterGlue::LeaveCard(const std::string& card_id) {
  // The editor would write its copy over the appended text: it moves to
  // the node before the card.
  if (form->tree_glue_ != nullptr && form->EditCard().id == card_id) {
    form->SaveEditorOnClose(/*only_when_edited=*/false);
    if (TreeNode* node = FindNodeByTextId(card_id, form->TreeModel().tree())) {
      form->ShowNode(node->GetPrev());
    }
  }
  // So would a card window: it stores its text and closes first (a failed
  // store keeps it open, with its message shown).
  const int window = form->FindCardWindowIndex(card_id);
  if (window >= 0) {
    form->CardWindows().Window(window).Logic().Result = kCardWindowClosedChanged;
    form->StoreCardWindowResult();
  }
}

int TMainForm::RegisterGlue::RunAddHyouForm(std::string* title, std::string* text) {
  return quill::RunAddHyouForm(form, title, text);
}

void TMainForm::RegisterGlue::CardWritten(const store::CardRecord& card) {
  if (form->tree_glue_ != nullptr) UpdateNodeFromCard(form->TreeModel(), card, nullptr);
}

Status TMainForm::RegisterGlue::SaveForgottenOneShotFolder() {
  return SaveSettings(form->settings_, form->stores_, kGroupOneShotForgotten);
}

// --- RegisterMenuView ---

std::string TMainForm::RegisterGlue::DataSetName(int index) {
  const DataFileList& files = form->settings_.DataFiles;
  if (index < 0 || index >= kDataFileSlots) return std::string();
  return files.names[static_cast<size_t>(index)];
}
std::string TMainForm::RegisterGlue::DataSetFolder(int index) {
  return parts.one_shot_view.DataSetFolder(index);
}
bool TMainForm::RegisterGlue::IsBrowserWindow(WindowHandle target) {
  return form->Browsers().Is(target);
}
int TMainForm::RegisterGlue::TuikaOrikaesiSuu() { return form->settings_.TuikaOrikaesiSuu; }
void TMainForm::RegisterGlue::SetOneShotDataSet(int index) {
  form->settings_.DefAddKubunFile = index;
}
void TMainForm::RegisterGlue::SetOneShotFolder(const std::string& path) {
  form->settings_.DefAddKubun = path;
}
void TMainForm::RegisterGlue::RegisterFromClipboard() { parts.one_shot.RegisterFromClipboard(); }
std::vector<PopupEntry> TMainForm::RegisterGlue::TrayMenuItems() {
  return ActionEntries(form->TrayMenu);
}

void TMainForm::DestroyRegisterGlue(RegisterGlue* glue) { delete glue; }

void TMainForm::LoadRegisterHistory() { Registration(); }

void TMainForm::AppendToCard(const std::string& card_id, bool shift_down) {
  Registration().append.AppendToCard(card_id, shift_down);
}

}  // namespace quill
