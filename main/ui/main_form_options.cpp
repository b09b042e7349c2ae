// TMainForm's options dialog: OptionClick runs TOptionFm (option_form.h)
// over OptionDialog (main/settings/) with the hot keys and the button bar
// off for the length of the dialog, and applies what it gives back.
#include <QDialog>
#include <QImage>
#include <QPlainTextEdit>
#include <QTreeView>

#include "clip/clip_tool_host.h"
#include "clip/paste_target.h"
#include "main/settings/db_form.h"
#include "main/settings/option_dialog.h"
#include "main/tree/node_captions.h"
#include "main/tree/tree_loader.h"
#include "main/settings/data_set_switch.h"
#include "main/ui/main_form.h"
#include "main/ui/main_form_tree_glue.h"
#include "main/ui/option_form.h"
#include "main/ui/quill_hooks.h"
#include "platform/file_env.h"
#include "platform/messages.h"
#include "platform/qt/cp932_text.h"
#include "platform/text_codec.h"
#include "platform/ui.h"
#include "platform/ui_messages.h"

namespace quill {

namespace {

// Appended to the data set's name in the window's caption.
constexpr char kCaptionSuffix[] = ":Quillbox";

}  // namespace

void TMainForm::OptionClick() {
  // What the options switch and change in this window.
  struct Glue final : HookControl, OptionPorts {
    explicit Glue(TMainForm* f) : form(f) {}
    void StopHooks() override {
      if (form->context_.block != nullptr) RemoveHooks(*form->context_.block);
    }
    void StartHooks() override {
      if (form->context_.block != nullptr) InstallHooks(*form->context_.block, form->ui_, form);
    }
    void StartBar() override { form->StartButtonBar(); }
    bool LoadIconFile(int k, const std::string& path) override {
      std::string bytes;
      if (!form->env_.ReadFile(Cp932ToUtf8(path), &bytes, OpenMode::kReadChosen).ok()) {
        return false;
      }
      QImage image;
      if (!image.loadFromData(reinterpret_cast<const uchar*>(bytes.data()),
                              static_cast<int>(bytes.size()))) {
        return false;
      }
      form->LoadCardIcons(k, image.scaled(16, 16));
      return true;
    }
    void LoadBuiltInIcon(int k, int n) override {
      form->LoadCardIcons(k, CardIconList::BuiltInCardIcon(n));
    }
    Status WriteIconSheet() override { return form->tree_glue_->icons.SaveSheet(); }
    std::string IconSheetPath() const override {
      return Utf8ToCp932(form->ImageList().SheetPath());
    }
    int RunDbForm(DbForm& logic) override {
      TDbFm dialog(owner != nullptr ? static_cast<QWidget*>(owner) : form, logic);
      return form->RunOptionDialog(dialog);
    }
    TMainForm* form;
    QDialog* owner = nullptr;
  } glue(this);

  SaveEditorOnClose(/*only_when_edited=*/false);
  bool sort_changed = false;
  {
    HookBracket bracket(glue, context_.block, context_.bus, settings_);
    std::vector<ClipToolRow> tools;
    const std::vector<std::string>& files = ClipTools().ClipToolFiles();
    for (const PopupEntry& entry : ClipTools().MagicMenu()) {
      const auto* item = std::get_if<MagicMenuItem>(&entry.item);
      if (item == nullptr) continue;
      const size_t at = static_cast<size_t>(item->plugin);
      tools.push_back({entry.caption, at < files.size() ? files[at] : std::string()});
    }
    std::array<std::string, 9> titles;
    for (size_t i = 0; i < titles.size(); ++i) {
      if (!settings_.SuperCard[i + 1].empty()) {
        titles[i] = GetCardTitleById(TreeModel(), settings_.SuperCard[i + 1]);
      }
    }
    OptionDialog logic({settings_, context_.block, ui_, glue, Target().TargetTopClass,
                        Target().TargetClass, std::move(tools), titles, &env_,
                        startup_.program_folder()});
    const KeyMap keys = DisplayKeyMap();
    int result = kResultCancel;
    {
      TOptionFm form(this, logic, keys, [this](int k) { return GetIconBitmap(k); },
                     [this] { return CtrlDown(); });
      glue.owner = &form;
      result = RunOptionDialog(form);
      glue.owner = nullptr;
    }
    if (result == kResultOk) {
      sort_changed = logic.TakeBack();
      ApplyOptions();
    }
    // Cancel takes the replaced images back from the sheet; OK wrote them
    // into it. A sheet that could not be written keeps the new images.
    if (logic.IconsChanged() && !logic.IconSheetUnwritten()) {
      quill::ShowWarning(ui_, MessageId::kRebuildingIcons);
      LoadCardIcons(-1);
    }
    KindChange();
  }
  if (sort_changed) {
    Status s = LoadFolderTree(TreeModel(), nullptr);
    tree_glue_->SelectInView(TreeModel().tree().selected_node());
    if (!s.ok() && s.code() != Status::kNoSpace) ShowWarning(s);
  }
}

int TMainForm::RunOptionDialog(QDialog& dialog) {
  if (context_.run_dialog) return context_.run_dialog(dialog);
  return dialog.exec();
}

void TMainForm::ApplyOptions() {
  DataSetList().Refresh();
  const std::string& name = settings_.DataFiles.names[static_cast<size_t>(settings_.DataFileNum)];
  TreeModel().set_data_set_name(name);
  if (TreeNode* root = TreeModel().tree().root()) TreeModel().tree().SetText(root, name);
  setWindowTitle(FromCp932(name + kCaptionSuffix));
  Text->setTabChangesFocus(settings_.TabKey == 0);
  card_store_.set_new_card_auto_title(settings_.DefAutoTitle != 0);
  UpdateTaskbarButton();
  for (int group : {kGroupBarAndSort, kGroupOptions}) {
    Status saved = SaveSettings(settings_, stores_, group);
    if (!saved.ok()) ShowWarning(saved);
  }
  ApplyControlColor();
  Tree->setFocus();
}

}  // namespace quill
