// TMainForm's data sets, bin of deleted cards, batch change and small
// dialogs: the data-set menu (also in the tray menu) and the switch
// (DataSets, main/settings/), the bin (DeletedCardsBin) and the batch
// change (BatchChange, main/dialogs/), each seeing the window through the
// views below; the kind button's picker and the version box.
#include <QAction>
#include <QCursor>
#include <QGuiApplication>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QTreeView>

#include "main/settings/data_set_switch.h"
#include "main/dialogs/batch_change.h"
#include "main/dialogs/deleted_cards_bin.h"
#include "main/dialogs/kind_picker.h"
#include "main/tree/node_operations.h"
#include "main/tree/tree_loader.h"
#include "main/ui/form_parts.h"
#include "main/ui/main_form_register.h"
#include "main/ui/main_form_tree_glue.h"
#include "main/ui/search_forms.h"
#include "main/ui/small_forms.h"
#include "platform/qt/cp932_text.h"
#include "platform/ui.h"

namespace quill {

struct TMainForm::DataSetGlue final : DataSetView, BinView, BatchChangeView {
  explicit DataSetGlue(TMainForm* f)
      : form(f),
        own_dialogs(f->context_.dialogs == nullptr
                        ? std::make_unique<QtSmallDialogs>(
                              f, f->ui_, [f] { return f->CardIcons(); })
                        : nullptr),
        dialogs(f->context_.dialogs != nullptr ? *f->context_.dialogs : *own_dialogs),
        sets(f->env_, f->card_store_, f->settings_, f->ui_, *this, f->context_.block,
             f->context_.bus),
        bin(f->TreeModel(), dialogs, *this),
        batch(f->TreeModel(), dialogs, *this) {}

  // Reads the tree of the open store anew and shows its selection. The
  // result is the load's: NoSpace means the program ends.
  Status LoadTree() {
    TreeGlue& g = *form->tree_glue_;
    Status s = LoadFolderTree(g.model, nullptr);
    g.SelectInView(g.model.tree().selected_node());
    if (!s.ok() && s.code() != Status::kNoSpace) form->ShowWarning(s);
    return s;
  }

  // --- DataSetView ---

  void SaveCurrentCard() override { form->SaveEditorOnClose(/*only_when_edited=*/false); }
  Status ShowDataSet(const std::string& name) override {
    form->TreeModel().set_data_set_name(name);
    Status s = LoadTree();
    if (s.code() == Status::kNoSpace) return s;
    UpdateCountDisplay(form->TreeModel(), true);
    form->RefreshTreeSelection();
    return s;
  }
  void SetCaption(const std::string& caption) override {
    form->setWindowTitle(FromCp932(caption));
  }
  void DataMenuChanged() override {
    const DataMenuItems& items = sets.menu();
    for (size_t i = 0; i < actions.size() && i < items.size(); ++i) {
      actions[i]->setText(FromCp932(items[i].caption));
      actions[i]->setEnabled(items[i].enabled);
      actions[i]->setChecked(items[i].checked);
    }
  }
  void WriteTreeFile() override {
    // A list that cannot be written keeps the one before (it is
    // replaced whole or not at all); the next folder change writes it again.
    (void)quill::WriteTreeFile(form->TreeModel());
  }
  void ForgetAppendCard() override {
    // The card to append to belonged to the set left.
    if (form->register_glue_ != nullptr) form->register_glue_->append.LastAppendCardId.clear();
  }
  void SaveSettingsGroup(int group) override { form->tree_glue_->SaveSettingsGroup(group); }

  // --- BinView ---

  void CancelNodeMove() override { form->TreeModel().tree().set_picked_node(nullptr); }
  void ReloadTree() override {
    if (LoadTree().code() == Status::kNoSpace) form->close();
  }

  // --- BatchChangeView ---

  void ReloadEditorCard() override { form->OpenSelectedNode(); }

  TMainForm* form;
  std::unique_ptr<QtSmallDialogs> own_dialogs;
  SmallDialogs& dialogs;
  DataSets sets;
  DeletedCardsBin bin;
  BatchChange batch;
  // The entries of DataMenu, one per data set.
  std::vector<QAction*> actions;
};

void TMainForm::DestroyDataSetGlue(DataSetGlue* glue) { delete glue; }

TMainForm::DataSetGlue& TMainForm::DataSetParts() {
  if (data_set_glue_ == nullptr) data_set_glue_.reset(new DataSetGlue(this));
  return *data_set_glue_;
}

DataSets& TMainForm::DataSetList() { return DataSetParts().sets; }
SmallDialogs& TMainForm::Dialogs() { return DataSetParts().dialogs; }

QDialog* TMainForm::KindForm() {
  DataSetGlue& g = DataSetParts();
  return g.own_dialogs != nullptr ? &g.own_dialogs->KindForm() : nullptr;
}

void TMainForm::BuildDataMenuAtStart() {
  DataSetGlue& g = DataSetParts();
  DataMenu->clear();
  g.actions.clear();
  for (int i = 0; i < kDataFileSlots; ++i) {
    QAction* action = DataMenu->addAction(QString());
    action->setObjectName(QString("SelectFileItem%1").arg(i));
    action->setCheckable(true);
    connect(action, &QAction::triggered, this, [this, i] { SwitchDataFile(i, false); });
    g.actions.push_back(action);
  }
  g.sets.Build();
  DataMenu->setTitle(U("ファイル切り替え(&C)"));
  const QList<QAction*> tray = TrayMenu->actions();
  TrayMenu->insertMenu(tray.size() > 1 ? tray[1] : nullptr, DataMenu);
}

Status TMainForm::SwitchDataFile(int index, bool at_start) {
  Status s = DataSetParts().sets.SwitchDataFile(index, at_start);
  if (s.code() == Status::kNoSpace) {
    // The tree's load has said that the program ends.
    if (at_start) {
      start_failure_reported_ = true;
    } else {
      close();
    }
  }
  return s;
}

void TMainForm::ReopenDataSet() { SwitchDataFile(settings_.DataFileNum, true); }

void TMainForm::PopDataMenu(int transfer_mode, const QPoint& at) {
  DataSetGlue& g = DataSetParts();
  g.sets.set_transfer(&TransferState());
  g.sets.transfer_mode = transfer_mode;
  std::vector<MenuItem> items;
  const DataMenuItems& menu = g.sets.menu();
  for (int i = 0; i < kDataFileSlots; ++i) {
    MenuItem item;
    item.caption = menu[i].caption;
    item.id = i;
    item.enabled = menu[i].enabled;
    item.checked = menu[i].checked;
    items.push_back(item);
  }
  if (std::optional<int> chosen = ui_.PopupMenu(items, {at.x(), at.y()})) {
    SwitchDataFile(*chosen, false);
  }
  // A mode left behind would make a later switch from the tray menu write.
  g.sets.transfer_mode = 0;
}

void TMainForm::ChangeDataClick() { PopDataMenu(0, Panel1->mapToGlobal(QPoint(0, 0))); }

void TMainForm::ToOtherClick() {
  PopDataMenu(ShiftDown() ? 2 : 1, Tree->mapToGlobal(QPoint(0, 0)));
}

void TMainForm::ToOtherQuillbok2Click() { ToOtherClick(); }

void TMainForm::UndeleteSyoriClick() { DataSetParts().bin.UndeleteSyoriClick(); }

void TMainForm::SetSyuttenClick() { DataSetParts().batch.SetSyuttenClick(); }

void TMainForm::KindButtonClick() {
  const QPoint cursor = QCursor::pos();
  QScreen* screen = QGuiApplication::screenAt(cursor);
  if (screen == nullptr) screen = QGuiApplication::primaryScreen();
  const int bottom = screen != nullptr ? screen->geometry().bottom() + 1 : cursor.y() + 1000;
  const ScreenPoint at = KindPickerPlace({cursor.x(), cursor.y()}, bottom, KindPicker::kClientPx);
  const int icon = Dialogs().RunKindPicker(Editor().EditIcon, at);
  if (icon != -1) Editor().EditIcon = icon;
  KindChange();
}

void TMainForm::KindChange() { KindButton->setIcon(GetIconBitmap(Editor().EditIcon)); }

void TMainForm::AboutClick() { Dialogs().ShowAbout(); }

}  // namespace quill
