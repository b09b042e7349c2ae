// TMainForm's folder popup and clip-tool menu: the folder popup
// (KubunPopup, main/popup/) over the window's tree, clip history and tray
// menu; the clip-tool host (ClipToolHost, clip/) with its menu for the hot
// key and its copy in the editor popup; and the menu items' clicks, which
// reach paste-out, the register-here menu and the window's other parts
// through MenuItemOwner.
#include <QAction>
#include <QMenu>
#include <QMetaObject>
#include <QPointer>

#include "clip/clip_tool_host.h"
#include "clip/menu_items.h"
#include "main/popup/kubun_popup.h"
#include "main/ui/main_form_paste.h"
#include "main/ui/main_form_register.h"
#include "main/ui/qt_ui.h"
#include "platform/plugin_loader.h"
#include "platform/qt/cp932_text.h"

namespace quill {

struct TMainForm::PopupGlue final : MenuItemOwner {
  PopupGlue(TMainForm* f, const PasteParts& parts)
      : form(f),
        windows(parts.windows),
        popup(f->TreeModel(), parts.history, this, parts.block, parts.dispatcher.state(),
              parts.commands, parts.windows, f->ui_),
        host(f->context_.plugins != nullptr ? *f->context_.plugins : PluginLoader::Default(),
             parts.block, parts.dispatcher.state(), parts.target, parts.clipboard,
             f->Paste().PasteThroughTool) {}

  KubunPopupSettings PopupSettings() const {
    const Settings& s = form->settings_;
    KubunPopupSettings p;
    p.use_history = s.UseHistory != 0;
    p.clip_history_root = s.ClipHistoryRoot != 0;
    p.def_paste_list = s.DefPasteList != 0;
    p.use_history_paste = s.UseHistoryPaste != 0;
    p.paste_folder = s.PopupKubun;
    p.recent_pasted = s.HistoryPaste;
    return p;
  }

  // --- MenuItemOwner ---

  void SelectCardWindow(int index) override { form->BringCardWindowToFront(index); }
  void SelectDataFile(int index) override { form->SwitchDataFile(index, false); }
  void RunClipToolItem(int plugin, int tool, int mode) override {
    host.RunClipToolItem(plugin, tool, mode);
  }
  void PasteCard(const std::string& card_id, int index, std::optional<std::string> text) override {
    form->Paste().PasteCard(card_id, index, std::move(text));
  }
  void AppendClipboardToCard(const std::string& card_id) override {
    form->AppendToCard(card_id, form->ShiftDown());
  }
  void AssignSuperKeySlot(int slot) override { form->Paste().AssignSuperKeySlot(slot); }
  void AddMenuClick(const AddMenuItem& item) override {
    form->Registration().menu.AddMenuClick(item);
  }

  TMainForm* form;
  WindowSystem& windows;
  KubunPopup popup;
  ClipToolHost host;
};

void TMainForm::DestroyPopupGlue(PopupGlue* glue) { delete glue; }

TMainForm::PopupGlue& TMainForm::Popups() {
  if (popup_glue_ == nullptr) popup_glue_.reset(new PopupGlue(this, PartsForPaste()));
  return *popup_glue_;
}

ClipToolHost& TMainForm::ClipTools() { return Popups().host; }

TMainForm::RegisterGlue& TMainForm::Registration() {
  if (register_glue_ == nullptr) {
    register_glue_.reset(new RegisterGlue(this, PartsForPaste(), &Popups()));
  }
  return *register_glue_;
}

std::function<void()> TMainForm::ShowKubunPopup() {
  PopupGlue& glue = Popups();
  return glue.popup.ShowKubunPopup(glue.PopupSettings(), ActionEntries(TrayMenu));
}

std::function<void()> TMainForm::ShowMagicMenu() {
  PopupGlue& glue = Popups();
  return glue.host.ShowMagicMenu(ui_, glue.windows.CursorPos());
}

void TMainForm::LoadClipTools() {
  PopupGlue& glue = Popups();
  glue.host.LoadClipTools(clip_tool_files_, &glue);
  // The editor popup's copy of the menu acts on the editor. The run waits
  // until the popup has closed.
  MagicMenu->clear();
  for (const PopupEntry& entry : glue.host.MagicMenu()) {
    const MagicMenuItem tool = std::get<MagicMenuItem>(entry.item);
    QAction* action = MagicMenu->addAction(FromCp932(entry.caption));
    connect(action, &QAction::triggered, this, [this, tool] {
      QMetaObject::invokeMethod(
          this, [this, tool] { ClipTools().RunClipToolFromEditor(tool.plugin, tool.tool, tool.mode); },
          Qt::QueuedConnection);
    });
  }
}

}  // namespace quill
