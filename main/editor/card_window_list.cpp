#include "main/editor/card_window_list.h"

#include <algorithm>
#include <cstdio>

#include "platform/messages.h"
#include "platform/text_codec.h"
#include "platform/ui.h"
#include "platform/ui_messages.h"
#include "store/card_store.h"

namespace quill {
namespace {

std::string Reason(const Status& s) { return Utf8ToCp932(s.message()); }

}  // namespace

CardWindowList::CardWindowList(CardWindowHost& host, Ui& ui, FileEnv& env)
    : host_(host), ui_(ui), env_(env) {}

CardWindowList::~CardWindowList() { CloseAll(); }

int CardWindowList::FindCardWindowIndex(const std::string& card_id) const {
  for (size_t i = 0; i < windows_.size(); ++i) {
    if (windows_[i]->Logic().CardId == card_id) return static_cast<int>(i);
  }
  return -1;
}

void CardWindowList::Warn(const std::string& text) { ShowWarning(ui_, text); }

void CardWindowList::OpenCardWindow(const std::string& card_id) {
  const bool unlocked = OpenUnlocked;
  OpenUnlocked = false;
  if (const int i = FindCardWindowIndex(card_id); i >= 0) {
    Window(i).Reshow();
    BringCardWindowToFront(i);
    return;
  }
  store::CardStore& cards = host_.CurrentStore();
  store::CardRecord card(cards);
  bool found = false;
  Status s = card.FindByKey("TEXT_ID", card_id, /*with_text=*/true, &found);
  if (EndOnFatal(ui_, s)) return;
  if (!s.ok() || !found || card.id != card_id) {
    Warn(MessageText(MessageId::kCardIndexBroken));
    return;
  }

  std::unique_ptr<CardWindowFrame> frame = host_.CreateCardWindow();
  CardWindow& w = frame->Logic();
  const CardWindowSettings settings = host_.WindowSettings();
  const PixelSize screen = host_.ScreenSize();
  frame->Place((screen.width - settings.width) / 2, (screen.height - settings.height) / 2,
               settings.width, settings.height);
  w.Result = kCardWindowRunning;
  w.DataSetIndex = host_.CurrentDataSet();
  w.DataFolder = cards.data_path();
  w.CardId = card_id;
  w.Load(card, ShownCardFont(card, settings.default_font), settings.back_color, unlocked);
  windows_.push_back(std::move(frame));
  host_.SetWindowButtonEnabled(true);
  windows_.back()->Show();
}

void CardWindowList::BringCardWindowToFront(int i) {
  if (i < 0 || i >= CardWindowCount()) return;
  Window(i).Logic().BringToFront();
}

void CardWindowList::WindowClick() {
  if (windows_.empty()) {
    ui_.MessageBeep();
    return;
  }
  if (windows_.size() == 1) {
    WinMenuX = WinMenuY = -1;
    BringCardWindowToFront(0);
    return;
  }
  ScreenPoint at{WinMenuX, WinMenuY};
  if (WinMenuY == -1) {
    at = host_.WindowButtonOrigin();
    at.x += 20;
    at.y += 20;
  }
  std::vector<MenuItem> items;
  for (size_t i = 0; i < windows_.size(); ++i) {
    MenuItem item;
    item.caption = "&" + std::to_string(i) + ":" + windows_[i]->Caption();
    item.id = static_cast<int>(i);
    items.push_back(std::move(item));
  }
  WinMenuX = WinMenuY = -1;
  const std::optional<int> chosen = ui_.PopupMenu(items, at);
  if (chosen) BringCardWindowToFront(*chosen);
}

void CardWindowList::StoreCardWindowResult() {
  size_t i = 0;
  while (i < windows_.size() && windows_[i]->Logic().Result == kCardWindowRunning) ++i;
  if (i == windows_.size()) return;
  CardWindow& w = windows_[i]->Logic();
  const bool keep = w.Result == kCardWindowSaved;
  if (w.Result != kCardWindowClosedUnchanged && !StoreResult(w)) {
    // The edits stay in the window, which stays open.
    w.Result = kCardWindowRunning;
    return;
  }
  if (keep) {
    w.Result = kCardWindowRunning;
    return;
  }
  RemoveWindow(i);
}

bool CardWindowList::StoreResult(CardWindow& w) {
  store::CardStore& open = host_.CurrentStore();
  if (w.DataFolder == open.data_path()) return WriteCard(w, open, /*open_set=*/true);
  // Another data set is open now: the window's own set is opened beside
  // it for this write.
  store::CardStore other(env_, open.program_folder());
  Status s = other.Open(/*probe=*/true, w.DataFolder);
  if (!s.ok()) {
    Warn(FormatMessage(MessageId::kCardWindowDataSetNotOpened, {Reason(s)}));
    return false;
  }
  const bool stored = WriteCard(w, other, /*open_set=*/false);
  s = other.Close();
  if (stored && !s.ok()) {
    Warn(FormatMessage(MessageId::kCardWindowNotSaved, {Reason(s)}));
    return false;
  }
  return stored;
}

bool CardWindowList::WriteCard(CardWindow& w, store::CardStore& cards, bool open_set) {
  store::CardRecord card(cards);
  bool found = false;
  Status s = card.FindByKey("TEXT_ID", w.CardId, /*with_text=*/true, &found);
  int last_column = 0;
  const std::string body = w.BodyForStore(&last_column);
  if (s.ok() && (!found || card.id != w.CardId)) {
    Warn(MessageText(MessageId::kCardWindowCardGone));
    host_.SetClipboardText(body);
    return true;
  }
  if (s.ok()) {
    // A table too large for the grid was shown as its text: it stays a
    // table card with its widths.
    const bool grid_shown = w.Mode == 'C';
    if (grid_shown || card.kind != 'C') card.two_column = false;
    card.utime = static_cast<uint32_t>(cards.env().clock().Now());
    if (card.kind == 'C') {
      // The table as the window's grid holds it.
      card.text = body;
      if (grid_shown) card.two_column = last_column == 2;
    } else if (card.kind == 0) {
      card.text = body;
    }
    card.icon = static_cast<uint8_t>(w.CardKind);
    card.title = card.auto_title ? std::string() : FitTitle(w.TitleForStore());
    if (card.kind == 'C' && grid_shown) w.TakeColumnWidths(&card.column_widths);
    s = card.Write(/*low_threshold=*/true);
  }
  if (!s.ok()) {
    switch (s.code()) {
      case Status::kNoSpace:
        Warn(MessageText(MessageId::kCardWindowLowSpace));
        break;
      case Status::kInvalid:
        Warn(MessageText(MessageId::kCardWindowTextTooLong));
        break;
      case Status::kFatal:
        EndOnFatal(ui_, s);
        break;
      default:
        Warn(FormatMessage(MessageId::kCardWindowNotSaved, {Reason(s)}));
        break;
    }
    return false;
  }
  w.MarkStored();
  if (open_set) {
    host_.RefreshCardNode(card);
    if (host_.EditorCardId() == w.CardId) host_.ReloadEditorCard();
  }
  return true;
}

void CardWindowList::RemoveWindow(size_t i) {
  const CardWindow& w = windows_[i]->Logic();
  if (w.DataFolder == host_.CurrentStore().data_path() && host_.EditorCardId() == w.CardId) {
    host_.SetEditorEnabled(true);
  }
  windows_.erase(windows_.begin() + static_cast<std::ptrdiff_t>(i));
  if (windows_.empty()) host_.SetWindowButtonEnabled(false);
}

void CardWindowList::CloseAll() {
  for (auto& frame : windows_) frame->Logic().Result = kCardWindowClosedChanged;
  windows_.clear();
}

}  // namespace quill
