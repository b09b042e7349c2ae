#include "main/editor/card_window.h"

#include <algorithm>

#include "controls/grid_model.h"
#include "main/editor/cell_link.h"
#include "main/editor/editor_events.h"
#include "platform/messages.h"
#include "platform/protocol/shared_hook_block.h"
#include "platform/text_codec.h"
#include "platform/ui.h"
#include "platform/ui_messages.h"
#include "platform/window_system.h"
#include "store/card_store.h"
#include "platform/sjis.h"

namespace quill {
namespace {

std::string S(const char* utf8) { return Utf8ToCp932(utf8); }

constexpr const char* kStayTopOn = "裏にも行く";
constexpr const char* kStayTopOff = "常にＱｂの上";

// The first n characters of a CP932 text.
std::string_view FirstChars(std::string_view s, size_t n) {
  size_t i = 0;
  for (size_t chars = 0; i < s.size() && chars < n; ++chars) {
    i += (quill::IsSjisLead(static_cast<unsigned char>(s[i])) && i + 1 < s.size()) ? 2 : 1;
  }
  return s.substr(0, i);
}

}  // namespace

std::string FitTitle(std::string_view title) {
  std::string t(title);
  quill::TruncateSjis(t, kCardWindowTitleBytes);
  return t;
}

std::string TitleFromBody(std::string_view selection, std::string_view body) {
  std::string s(selection.empty() ? body.substr(0, std::min<size_t>(80, body.size()))
                                  : FirstChars(selection, 40));
  // A cut at 80 bytes may leave half a character at the end.
  if (selection.empty()) quill::TruncateSjis(s, s.size());
  size_t lead = 0;
  while (lead < s.size() &&
         (s[lead] == '\r' || s[lead] == '\n' || s[lead] == ' ' || s[lead] == '\t')) {
    ++lead;
  }
  s.erase(0, lead);
  quill::TrimBoth(s);
  if (s.empty()) return s;
  quill::TruncateSjis(s, 40);
  quill::CutAtCR(s);
  return s;
}

CardWindow::CardWindow(CardWindowView& view, GridModel& grid, CardWindowOwner& owner,
                       MessageBus& bus, WindowHandle owner_window, WindowSystem& windows, Ui& ui)
    : OwnerWindow(owner_window),
      view_(view),
      grid_(grid),
      owner_(owner),
      bus_(bus),
      windows_(windows),
      ui_(ui) {}

void CardWindow::Load(const store::CardRecord& card, const CardFont& font, int32_t back_color,
                      bool open_unlocked) {
  std::string title = card.title;
  if (title == "Null" || title == S("新規カード")) title.clear();
  title = FitTitle(title);
  view_.SetTitleText(title);
  view_.SetCaption(title);
  auto_title_ = card.auto_title;
  view_.SetTitleStyle(card.auto_title, card.auto_title);
  CardKind = card.icon;
  view_.SetBodyFont(font, back_color);
  Mode = (card.kind == 'C' || card.kind == 'H') ? card.kind : 0;
  view_.SetBodyText(card.text);
  // The page is written from the card's own bytes, not from the text the
  // editor holds.
  if (Mode == 'H') html_text_ = card.text;
  if (Mode == 'C') grid_.Init();
  if (Mode == 'C' && !grid_.ToCsv(card.text, 1, 1, 0)) {
    // Too large for the grid: the text stays as it is, shown as text.
    ShowWarning(ui_, MessageId::kTableTooLargeForGrid);
    Mode = 0;
  }
  if (Mode == 'C') {
    WidthList widths;
    std::copy(card.column_widths.begin(), card.column_widths.end(), widths.begin());
    grid_.SetSize(widths);
    grid_.Modified = 0;
  }
  view_.ShowBody(Mode);
  Changed = 0;
  ReadOnlyCard = open_unlocked ? false : card.locked;
}

void CardWindow::FormShow() {
  if (Mode == 'H') {
    view_.ShowViewOnlyButtons();
    ShowHtmlPage();
  }
  view_.SetKindGlyph(CardKind);
  SetTopmost(true);
  view_.SetReadOnly(ReadOnlyCard || Mode == 'H');
}

void CardWindow::ShowHtmlPage() {
  if (Mode != 'H') return;
  const auto warn = [this](const Status& s) { ShowWarning(ui_, Utf8ToCp932(s.message())); };
  if (html_folder_ == nullptr) {
    const Status made = owner_.MakeHtmlViewFolder(&html_folder_);
    if (!made.ok()) {
      warn(made);
      view_.ShowBody(0);
      return;
    }
  }
  // A part that failed is told; the page shows what was written.
  const Status written = html_folder_->Write(html_text_);
  if (!written.ok()) warn(written);
  view_.ShowHtmlView(html_folder_->path());
}

bool CardWindow::Modified() const { return Changed != 0 || grid_.Modified != 0; }

void CardWindow::MarkStored() {
  Changed = 0;
  grid_.Modified = 0;
}

void CardWindow::FormClose() {
  if (Result != kCardWindowRunning) return;
  Result = Modified() ? kCardWindowClosedChanged : kCardWindowClosedUnchanged;
  Post(static_cast<uint16_t>(CommandCode::kTakeCardWindow), 0);
}

void CardWindow::CancelClick() {
  if (Result != kCardWindowRunning) return;
  Result = kCardWindowClosedUnchanged;
  Post(static_cast<uint16_t>(CommandCode::kTakeCardWindow), 0);
}

void CardWindow::SaveClick() {
  // A save already on its way takes the edits made meanwhile too.
  if (!Modified() || Result != kCardWindowRunning) return;
  Result = kCardWindowSaved;
  Post(static_cast<uint16_t>(CommandCode::kTakeCardWindow), 0);
}

std::string CardWindow::BodyForStore(int* last_column) const {
  if (Mode == 'C') return grid_.FromCsv(-1, 0, 0, 0, last_column);
  if (last_column != nullptr) *last_column = 0;
  return view_.BodyText();
}

void CardWindow::TakeColumnWidths(std::array<int8_t, 19>* widths) const {
  WidthList w{};
  grid_.GetSize(w);
  std::copy(w.begin(), w.end(), widths->begin());
}

void CardWindow::SetTopmost(bool on) {
  windows_.SetRaiseAbove(view_.Handle(), on);
  OnTop = on;
}

void CardWindow::StayTopClick() {
  const bool on = !OnTop;
  SetTopmost(on);
  view_.SetStayTopCaption(S(on ? kStayTopOn : kStayTopOff));
}

void CardWindow::BringToFront() {
  SetTopmost(true);
  view_.SetStayTopCaption(S(kStayTopOn));
  windows_.SetForegroundWindow(view_.Handle());
}

void CardWindow::TitleChange() {
  Changed = 1;
  view_.SetCaption(view_.TitleText());
}

void CardWindow::TextChange() { Changed = 1; }

void CardWindow::KindButtonClick() {
  const int picked = view_.PickKind(CardKind);
  if (picked == -1) return;
  CardKind = picked;
  Changed = 1;
  view_.SetKindGlyph(CardKind);
}

void CardWindow::CopyClick() {
  const std::string selected = view_.SelectedText();
  if (!selected.empty()) owner_.SetClipboardText(selected);
}

void CardWindow::CutClick() {
  // A locked card is read-only, but code can still change the widget's
  // text: cutting there only copies.
  if (ReadOnlyCard || Mode == 'H') {
    CopyClick();
    return;
  }
  owner_.SetClipboardText(view_.SelectedText());
  view_.ReplaceSelection(std::string());
}

void CardWindow::PasteClick() {
  if (ReadOnlyCard || Mode != 0) return;
  const std::string text = owner_.GetClipboardText();
  if (text.empty() || !TakesInsertion(text.size())) return;
  view_.ReplaceSelection(text);
}

bool CardWindow::TakesInsertion(size_t inserted) {
  // A text cut somewhere in its middle is worse than none.
  if (InsertionFits(view_.BodyText().size(), view_.SelectedText().size(), inserted,
                    kBodyLimitBytes)) {
    return true;
  }
  ui_.MessageBeep();
  return false;
}

void CardWindow::SetTitleClick() {
  if (ReadOnlyCard || auto_title_) return;
  const std::string title = TitleFromBody(view_.SelectedText(), view_.BodyText());
  if (title.empty()) return;
  view_.SetTitleText(title);
  TitleChange();
}

void CardWindow::DropFiles(const std::vector<std::string>& paths) {
  if (ReadOnlyCard || paths.empty() || Mode == 'H') return;
  const std::string& path = paths.front();
  const std::string link = FileLinkText(path);
  if (Mode == 'C') {
    if (!PathFitsCell(path)) {
      ui_.MessageBeep();
      return;
    }
    grid_.SetUndo();
    grid_.SetCell(grid_.Col(), grid_.Row(), link);
    // A drop is an edit: closing stores it.
    grid_.Modified = 1;
    if (grid_.view_changed) grid_.view_changed();
    return;
  }
  const size_t at = std::min(SavedSelStart, view_.BodyText().size());
  view_.SelectBody(at, 0);
  view_.ReplaceSelection(link);
  view_.SelectBody(at, link.size());
  Changed = 1;
}

void CardWindow::GridLink() { owner_.OpenCellLink(grid_.Cell(grid_.Col(), grid_.Row())); }

void CardWindow::OpenLinkAtCaret() {
  owner_.OpenLinkAt(view_.BodyText(), view_.SelectionStart());
}

void CardWindow::Deactivated() { SavedSelStart = view_.SelectionStart(); }

void CardWindow::PostWindowMenu(ScreenPoint at) { Post(static_cast<uint16_t>(CommandCode::kCardWindowMenu), at.x + at.y * 65536); }

void CardWindow::Post(uint16_t code, int32_t lparam) {
  bus_.PostMessage(OwnerWindow, kCommandMessage, code, lparam);
}

}  // namespace quill
