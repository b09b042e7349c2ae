#include "clip/paste_out.h"

#include <algorithm>

#include "clip/html_marker.h"
#include "platform/protocol/key_map.h"
#include "platform/sjis.h"
#include "platform/ui_messages.h"
#include "store/card_store.h"

namespace quill {

namespace {

// A key name longer than this is cut (it never is: the names are short).
constexpr size_t kKeyNameMax = 89;

}  // namespace

PasteOut::PasteOut(SharedHookBlock& block, Dispatcher& dispatcher, WindowSystem& windows,
                   PasteTarget& target, ClipboardAccess& clipboard, ClipHistory& history,
                   KeyInjector& keys, Ui& ui, store::CardStore& cards, PasteOutView& view)
    : block_(block),
      dispatcher_(dispatcher),
      state_(dispatcher.state()),
      windows_(windows),
      target_(target),
      clipboard_(clipboard),
      history_(history),
      keys_(keys),
      ui_(ui),
      cards_(cards),
      view_(view) {}

PasteOut::~PasteOut() = default;

std::unique_ptr<store::CardRecord> PasteOut::FindCard(std::string_view id, bool with_text,
                                                      bool* ended) {
  if (id.empty()) return nullptr;
  auto card = std::make_unique<store::CardRecord>(cards_);
  bool found = false;
  const Status s = card->FindById(-1, id, with_text, &found);
  if (EndOnFatal(ui_, s)) {
    if (ended != nullptr) *ended = true;
    return nullptr;
  }
  // The lookup takes the first id that starts with `id`: only the same id
  // is the card.
  if (!s.ok() || !found || card->id != id || card->deleted == 'D' || card->is_folder()) {
    return nullptr;
  }
  return card;
}

bool PasteOut::ShiftHeld() {
  return (super_key_modifiers_ & HotkeyWord::kShift) == 0 && view_.ShiftDown();
}

bool PasteOut::CtrlHeld() {
  return (super_key_modifiers_ & HotkeyWord::kCtrl) == 0 && view_.CtrlDown();
}

void PasteOut::RememberRecent(std::string_view id) {
  std::array<std::string, kRecentPastedCount>& recent = view_.RecentPasted();
  // Entries before the id's move down over it; without it, the last
  // entry drops out.
  auto end = std::find(recent.begin(), recent.end() - 1, id);
  std::move_backward(recent.begin(), end, end + 1);
  recent[0] = std::string(id);
  view_.SavePasteSettings();
}

void PasteOut::PasteCard(std::string_view id, int index, std::optional<std::string> text) {
  const bool with_card = !id.empty() && index < 0;
  std::unique_ptr<store::CardRecord> card;
  if (with_card) {
    bool ended = false;
    card = FindCard(id, /*with_text=*/!text.has_value(), &ended);
    if (card == nullptr) {
      if (!ended) ui_.MessageBeep();
      return;
    }
  }
  if (with_card && index == kCard) {
    LastPastedId = std::string(id);
    LastPastedText = text.value_or(std::string());
  }
  if (!id.empty()) RememberRecent(id);

  if (block_.RightClickCount() != 0) {
    // Chosen with the right button: a card opens instead.
    if (with_card && index == kCard && !text) {
      view_.OpenCardWindow(std::string(id));
    } else {
      ui_.MessageBeep();
    }
    return;
  }

  const bool with_magic = ShiftHeld();
  target_.KeepClipboardAfterPaste = false;

  if (index >= 0) {
    const std::string entry = static_cast<size_t>(index) < ClipHistory::kEntries
                                  ? history_.HistoryTexts[static_cast<size_t>(index)]
                                  : std::string();
    clipboard_.SetClipboardText(entry);
    history_.Add(entry);
    target_.KeepClipboardAfterPaste = true;
    if (!PasteOrMagic(with_magic, true)) EndWithoutPaste(std::string(), true);
    view_.SaveClipHistory();
    return;
  }

  std::string source;
  if (text) {
    source = std::move(*text);
  } else if (card != nullptr) {
    source = card->kind == 'H' ? std::string(CutAtHtmlMarker(card->text)) : card->text;
  }
  if (card != nullptr && view_.PasteFolder() != card->folder) {
    view_.PasteFolder() = card->folder;
    view_.SavePasteSettings();
  }
  PasteText(id, source, with_magic);
}

void PasteOut::PasteText(std::string_view id, const std::string& source, bool with_magic) {
  std::unique_ptr<VariableDialog> dialog = view_.CreateTikanFm();
  VariableFill& fill = dialog->fill();
  dialog->SetBlank(view_.KeepSelection());
  // With Ctrl the clipboard's text answers the first variable.
  std::string prefill;
  if (CtrlHeld()) prefill = clipboard_.GetClipboardText();
  const bool has_prefill = !prefill.empty();

  fill.SetSource(source, id);
  int n = fill.ScanVariables();
  std::string cut_back;  // what the cut took out of the target's text
  if (fill.selected_used()) {
    target_.ActivateTargetWindow(state_.CommandTarget, true);
    target_.CutFromTarget();
    const std::string selected = clipboard_.GetClipboardText();
    fill.SetSelected(selected);
    if (selected.empty()) {
      fill.AddSelected();
      ++n;
    }
    if (target_.LastCutRemovedText()) cut_back = selected;
    target_.RestoreClipboard(true);
    // The restore after the paste puts the user's clipboard back again.
    target_.KeepClipboard();
  }
  if (has_prefill) fill.SetPrefill(prefill);
  fill.ExpandBuiltins();

  bool pasted = false;
  bool ours_on_clipboard = false;
  if (n > 0) {
    target_.ActivateTargetWindow(dispatcher_.MainWindow(), false);
    dispatcher_.PrepareTargetPopup();
    int result;
    if (n == 1 && has_prefill) {
      fill.set_blank(dialog->Blank());
      fill.FillGrid();
      fill.ApplyValues();
      result = kResultOk;
    } else {
      result = dialog->ShowModal();
    }
    if (!(with_magic && result == kResultOk)) dispatcher_.FinishTargetPopup();
    if (result == kResultOk) {
      view_.SetKeepSelection(dialog->Blank());
      view_.SaveKeepSelection();
      clipboard_.SetClipboardText(fill.GetResult());
      ours_on_clipboard = true;
      pasted = PasteOrMagic(with_magic, false);
    } else {
      target_.ActivateTargetWindow(state_.CommandTarget, false);
    }
  } else {
    fill.FillGrid();
    fill.ApplyValues();
    clipboard_.SetClipboardText(fill.GetResult());
    ours_on_clipboard = true;
    pasted = PasteOrMagic(with_magic, true);
  }
  if (!pasted) EndWithoutPaste(cut_back, ours_on_clipboard);
}

bool PasteOut::PasteOrMagic(bool with_magic, bool prepare) {
  if (!with_magic) {
    target_.PasteToTarget();
    return true;
  }
  if (prepare) dispatcher_.PrepareTargetPopup();
  // Set only while the menu is up: a text that never reaches it (a
  // cancelled dialog) leaves no flag for a later tool run to take.
  PasteThroughTool = true;
  const bool ran = view_.PopupMagicMenu();
  dispatcher_.FinishTargetPopup();
  PasteThroughTool = false;
  return ran;
}

void PasteOut::EndWithoutPaste(const std::string& cut_back, bool ours_on_clipboard) {
  if (!cut_back.empty()) {
    target_.KeepClipboardAfterPaste = false;
    clipboard_.SetClipboardText(cut_back);
    target_.PasteToTarget();
    return;
  }
  if (ours_on_clipboard && !target_.KeepClipboardAfterPaste) target_.RestoreClipboard(false);
  target_.KeepClipboardAfterPaste = false;
}

void PasteOut::SuperPaste(int slot) {
  if (slot < 0 || static_cast<size_t>(slot) >= kSuperKeySlotCount) return;
  state_.CommandTarget = windows_.ActiveWindow();
  state_.TargetFocus = target_.GetTargetFocusWindow(state_.CommandTarget);
  const std::string id = slot == 0 ? LastPastedId : view_.SuperCardIds()[static_cast<size_t>(slot)];
  if (slot != 0 && id.empty()) return;
  keys_.KeyIn(KeyInjector::kRelease, 0);
  block_.SetRightClickCount(0);
  // A card that is gone is told like any card not found.
  if (FindCard(id, /*with_text=*/false) == nullptr) {
    ui_.MessageBeep();
    return;
  }
  target_.KeepClipboard();
  super_key_modifiers_ =
      NormalizeHotkey(block_.SuperPasteKey(static_cast<size_t>(slot))).Modifiers();
  if (slot == 0) {
    std::optional<std::string> text;
    if (!LastPastedText.empty()) text = LastPastedText;
    PasteCard(id, kRepeat, std::move(text));
  } else {
    PasteCard(id, kCard);
  }
  super_key_modifiers_ = 0;
}

std::string PasteOut::HotKeyText(uint16_t word) {
  const HotkeyWord hotkey(word);
  if (hotkey.IsNone()) return std::string();
  // A double press has no key of its own.
  if (hotkey.IsDoublePress()) return HotkeyName(hotkey);
  std::string text;
  if (hotkey.Modifiers() & HotkeyWord::kShift) text += "Shift+";
  if (hotkey.Modifiers() & HotkeyWord::kCtrl) text += "Ctrl+";
  if (hotkey.Modifiers() & HotkeyWord::kAlt) text += "Alt+";
  std::string name = LayoutKeyName(hotkey.Key());
  quill::TruncateSjis(name, kKeyNameMax);
  return text + name;
}

uint16_t PasteOut::FindSuperKeyCode(std::string_view card_id) {
  if (card_id.empty()) return 0;
  const std::array<std::string, kSuperKeySlotCount>& ids = view_.SuperCardIds();
  for (size_t slot = 1; slot < kSuperKeySlotCount; ++slot) {
    if (ids[slot] == card_id) return block_.SuperPasteKey(slot).value;
  }
  return 0;
}

void PasteOut::UpdateSuperKeyStatus() {
  const std::string id = view_.EditorCardId();
  view_.ShowSuperKeyStatus(!id.empty(), HotKeyText(FindSuperKeyCode(id)));
}

void PasteOut::SuperKeyStatusClick() {
  if (view_.EditorCardId().empty()) {
    ui_.MessageBeep();
    return;
  }
  std::vector<MenuItem> items;
  const std::array<std::string, kSuperKeySlotCount>& ids = view_.SuperCardIds();
  for (size_t slot = 1; slot < kSuperKeySlotCount; ++slot) {
    MenuItem item;
    item.caption = "&" + std::to_string(slot) + ":" + HotKeyText(block_.SuperPasteKey(slot).value);
    quill::TruncateSjis(item.caption, kSuperKeyCaptionMax);
    item.caption += ":";
    if (std::unique_ptr<store::CardRecord> card = FindCard(ids[slot], false)) {
      item.caption += card->title;
    }
    item.id = static_cast<int>(slot);
    items.push_back(std::move(item));
  }
  const std::optional<int> chosen = ui_.PopupMenu(items, windows_.CursorPos());
  if (chosen) AssignSuperKeySlot(*chosen);
}

void PasteOut::AssignSuperKeySlot(int slot) {
  if (slot < 1 || static_cast<size_t>(slot) >= kSuperKeySlotCount) return;
  view_.SuperCardIds()[static_cast<size_t>(slot)] = view_.EditorCardId();
  UpdateSuperKeyStatus();
  view_.SavePasteSettings();
}

}  // namespace quill
