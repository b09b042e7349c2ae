// TMainForm's paste-out: the view through which PasteOut
// (clip/paste_out.h) sees the window's settings, the card in its editor,
// its card windows and the substitution dialog; and the super keys'
// button.
#include <QPushButton>
#include <memory>

#include "clip/ui/tikan_form.h"
#include "main/settings/settings.h"
#include "main/ui/main_form_paste.h"
#include "platform/qt/cp932_text.h"
#include "store/card_store.h"

namespace quill {

struct TMainForm::PasteGlue final : PasteOutView {
  PasteGlue(TMainForm* f, const PasteParts& parts)
      : form(f),
        clock(parts.clock),
        dispatcher(parts.dispatcher),
        values(f->card_store_.values()),
        paste(parts.block, parts.dispatcher, parts.windows, parts.target, parts.clipboard,
              parts.history, parts.keys, f->ui_, f->card_store_, *this) {}

  std::array<std::string, kRecentPastedCount>& RecentPasted() override {
    return form->settings_.HistoryPaste;
  }
  std::array<std::string, kSuperKeySlotCount>& SuperCardIds() override {
    return form->settings_.SuperCard;
  }
  std::string& PasteFolder() override { return form->settings_.PopupKubun; }
  bool KeepSelection() override { return form->settings_.TikanBlank != 0; }
  void SetKeepSelection(bool on) override { form->settings_.TikanBlank = on ? 1 : 0; }
  void SavePasteSettings() override { Save(kGroupPasteHistory); }
  void SaveKeepSelection() override { Save(kGroupTikanBlank); }
  void SaveClipHistory() override {
    // As after a capture: a history file that cannot be written is
    // skipped without a word.
    SaveSettings(form->settings_, form->stores_, kGroupClipHistoryFile);
  }

  bool ShiftDown() override { return form->ShiftDown(); }
  bool CtrlDown() override { return form->CtrlDown(); }

  std::string EditorCardId() override {
    const store::CardRecord& card = *form->edit_card_;
    return card.row >= 0 ? card.id : std::string();
  }
  void ShowSuperKeyStatus(bool visible, const std::string& caption) override {
    form->SuperKeyStatus->setText(FromCp932(caption));
    form->SuperKeyStatus->setVisible(visible);
  }
  void OpenCardWindow(const std::string& card_id) override { form->OpenCardWindow(card_id); }
  std::unique_ptr<VariableDialog> CreateTikanFm() override {
    return std::make_unique<TikanDialog>(form, form->ui_, clock, &values);
  }
  bool PopupMagicMenu() override { return dispatcher.PopupMagicMenu(); }

  void Save(int group) {
    Status s = SaveSettings(form->settings_, form->stores_, group);
    if (!s.ok()) form->ShowWarning(s);
  }

  TMainForm* form;
  Clock& clock;
  Dispatcher& dispatcher;
  StoredValues values;
  PasteOut paste;
};

void TMainForm::DestroyPasteGlue(PasteGlue* glue) { delete glue; }

PasteOut& TMainForm::Paste() {
  if (paste_glue_ == nullptr) paste_glue_.reset(new PasteGlue(this, PartsForPaste()));
  return paste_glue_->paste;
}

void TMainForm::SuperKeyStatusClick() { Paste().SuperKeyStatusClick(); }

}  // namespace quill
