// TMainForm's card windows: the list of them (CardWindowList,
// main/editor/) over the window's store, tree, editor and clipboard; the
// windows themselves (TTextFm) with what they ask of the main window; and
// the handlers OpenCard, OpenCardWindow, StoreCardWindowResult,
// WindowClick and TikanClick, the links of the main window's grid, and the
// "<card=" links of every text.
#include <QAction>
#include <QCheckBox>
#include <QPlainTextEdit>
#include <QCursor>
#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>

#include "clip/paste_target.h"
#include "controls/ui/string_grid_pelm.h"
#include "main/editor/card_window_list.h"
#include "main/editor/cell_link.h"
#include "main/editor/text_link.h"
#include "main/search/search_commands.h"
#include "main/tree/node_operations.h"
#include "main/ui/main_form_paste.h"
#include "main/ui/main_form_tree_glue.h"
#include "main/ui/search_forms.h"
#include "main/ui/text_form.h"
#include "platform/messages.h"
#include "platform/shell.h"
#include "platform/text_codec.h"
#include "platform/ui_messages.h"

namespace quill {

struct TMainForm::CardWindowGlue final : CardWindowHost, TextFormOwner {
  CardWindowGlue(TMainForm* f, const PasteParts& parts)
      : form(f),
        bus(parts.bus),
        windows(parts.windows),
        block(parts.block),
        clipboard(parts.clipboard),
        list(*this, f->ui_, f->env_) {}

  // --- CardWindowHost ---

  store::CardStore& CurrentStore() override { return form->card_store_; }
  int CurrentDataSet() override { return form->settings_.DataFileNum; }
  CardWindowSettings WindowSettings() override {
    const Settings& s = form->settings_;
    CardWindowSettings w;
    w.width = s.TextWinWidth;
    w.height = s.TextWinHeight;
    w.default_font = DefaultCardFont(s);
    w.back_color = s.TextBackColor;
    return w;
  }
  std::unique_ptr<CardWindowFrame> CreateCardWindow() override {
    return std::make_unique<TTextFm>(*this, bus, block.MainWindow(), windows, form->ui_);
  }
  PixelSize ScreenSize() override { return windows.ScreenSize(); }
  std::string EditorCardId() override {
    if (form->tree_glue_ == nullptr) return std::string();
    const store::CardRecord& c = form->Editor().EditCard();
    return c.row >= 0 ? c.id : std::string();
  }
  void SetEditorEnabled(bool enabled) override { form->Editor().SetEditorEnabled(enabled); }
  void ReloadEditorCard() override {
    store::CardRecord& c = form->Editor().EditCard();
    bool found = false;
    Status s = c.FindById(c.row, c.id, /*with_text=*/true, &found);
    if (EndOnFatal(form->ui_, s)) return;
    if (!s.ok()) form->ShowWarning(s);
    if (s.ok() && found) form->Editor().ShowCard(false);
  }
  void RefreshCardNode(const store::CardRecord& card) override {
    if (form->tree_glue_ != nullptr) UpdateNodeFromCard(form->TreeModel(), card, nullptr);
  }
  void SetWindowButtonEnabled(bool enabled) override { form->Window->setEnabled(enabled); }
  ScreenPoint WindowButtonOrigin() override {
    const QPoint p = form->Window->mapToGlobal(QPoint(0, 0));
    return {p.x(), p.y()};
  }
  void SetClipboardText(const std::string& text) override { clipboard.SetClipboardText(text); }
  std::string GetClipboardText() override { return clipboard.GetClipboardText(); }
  Clipboard& GridClipboard() override { return clipboard.clipboard(); }

  // --- TextFormOwner ---

  void OpenLinkAt(const std::string& text, size_t pos) override {
    LinkContext context{form->shell_, form->ui_, form->env_, form->card_store_.data_path(),
                        [this](const std::string& target) { form->OpenCardLink(target); }};
    quill::OpenLinkAt(text, pos, context);
  }
  void OpenCellLink(const std::string& cell) override {
    const CellLink link = ParseCellLink(cell);
    switch (link.kind) {
      case CellLink::Kind::kNone:
        return;
      case CellLink::Kind::kFile:
        form->shell_.OpenFile(link.target);
        return;
      case CellLink::Kind::kAddress:
        form->shell_.OpenAddress(link.target);
        return;
      case CellLink::Kind::kCard:
        OpenLinkedCard(link.target);
        return;
    }
  }
  Status MakeHtmlViewFolder(std::unique_ptr<HtmlViewFolder>* folder) override {
    // Beside the main window's view files, in the work folder.
    return HtmlViewFolder::Create(form->env_, form->startup_.TmpFolder(), folder);
  }
  void FindInCard(SearchEditor& text, TStringGridPelm* grid, bool backwards,
                  bool ask) override {
    SearchCommands& search = form->Search();
    if ((ask || search.FindString.empty()) && !search.EditSearchString()) return;
    if (search.FindString.empty()) return;
    if (grid != nullptr) {
      if (backwards) {
        grid->Grid().FindingBack(search.FindString, 1);
      } else {
        grid->Grid().Finding(search.FindString, 1);
      }
      grid->setFocus();
    } else if (backwards) {
      FindPrevInEditor(text, form->ui_, search.FindString, text.SelStart(), 1);
    } else {
      FindNextInEditor(text, form->ui_, search.FindString, text.SelStart(), 1);
    }
  }
  void ReplaceInCard(SearchEditor& text, bool locked) override {
    if (locked) {
      quill::ShowWarning(form->ui_, MessageId::kCardLocked);
      return;
    }
    form->Search().ReplaceInEditor(text);
  }
  void CardWindowSizeSettled(int width, int height) override {
    form->settings_.TextWinWidth = width;
    form->settings_.TextWinHeight = height;
    Status s = SaveSettings(form->settings_, form->stores_, kGroupCardWindowSize);
    if (!s.ok()) form->ShowWarning(s);
  }
  bool ShiftEndOn() override { return form->settings_.ShiftEnd != 0; }
  QPixmap IconPixmap(int icon) override { return form->GetIconBitmap(icon); }
  Shell& LinkShell() override { return form->shell_; }
  PagePrinter& HtmlPrinter() override { return form->HtmlPagePrinter(); }
  int PickKind(QWidget* window, int current) override {
    TKindFm picker(window, current, form->CardIcons());
    // At the mouse, its bottom kept 30 pixels above the screen's bottom.
    QPoint at = QCursor::pos();
    const PixelSize screen = windows.ScreenSize();
    if (screen.height > 0) {
      at.setY(std::min(at.y(), screen.height - 30 - KindPicker::kClientPx));
    }
    picker.move(at);
    picker.exec();
    return picker.Result();
  }

  // The first live card with this title, in a card window. The editor's
  // own card is stored first and then left to the window.
  void OpenLinkedCard(const std::string& title) {
    std::optional<std::string> id;
    Status s = FindLinkedCard(form->card_store_, title, &id);
    if (!s.ok()) {
      form->ShowWarning(s);
      return;
    }
    if (id) OpenCardInWindow(*id);
  }

  // The editor's own card is stored first and then left to the window.
  void OpenCardInWindow(const std::string& id) {
    if (id == EditorCardId()) form->Editor().SaveCurrentCard(true);
    form->OpenCardWindow(id);
  }

  TMainForm* form;
  MessageBus& bus;
  WindowSystem& windows;
  SharedHookBlock& block;
  ClipboardAccess& clipboard;
  CardWindowList list;
};

void TMainForm::DestroyCardWindowGlue(CardWindowGlue* glue) { delete glue; }

CardWindowList& TMainForm::CardWindows() {
  if (card_window_glue_ == nullptr) {
    card_window_glue_.reset(new CardWindowGlue(this, PartsForPaste()));
    Editor().ShownInCardWindow = [this](const std::string& id) {
      return card_window_glue_->list.FindCardWindowIndex(id) >= 0;
    };
  }
  return card_window_glue_->list;
}

void TMainForm::OpenCard(const std::string& card_id) {
  if (settings_.OpenByMain == 0) {
    OpenCardWindow(card_id);
    return;
  }
  SaveEditorOnClose(/*only_when_edited=*/false);
  if (isMinimized()) showNormal();
  show();
  ShowCardById(card_id);
  BringForward();
  if (Text->isVisible()) Text->setFocus();
}

void TMainForm::OpenCardWindow(const std::string& card_id) {
  CardWindows().OpenCardWindow(card_id);
  // The editor's card is read-only while a window edits it.
  const std::string editor_id = card_window_glue_->EditorCardId();
  if (!editor_id.empty() && editor_id == card_id && CardWindows().FindCardWindowIndex(card_id) >= 0) {
    Editor().SetEditorEnabled(false);
  }
}

void TMainForm::OpenCardWindowUnlocked(const std::string& card_id) {
  CardWindows().OpenUnlocked = true;
  OpenCardWindow(card_id);
}

void TMainForm::StoreCardWindowResult() { CardWindows().StoreCardWindowResult(); }

void TMainForm::WindowClick() { CardWindows().WindowClick(); }

void TMainForm::CardWindowMenuAt(int x, int y) {
  CardWindowList& list = CardWindows();
  list.WinMenuX = x;
  list.WinMenuY = y;
  list.WindowClick();
}

void TMainForm::BringCardWindowToFront(int i) { CardWindows().BringCardWindowToFront(i); }

int TMainForm::FindCardWindowIndex(const std::string& card_id) {
  return CardWindows().FindCardWindowIndex(card_id);
}

void TMainForm::TikanClick() {
  const store::CardRecord& card = Editor().EditCard();
  if (card.row < 0 || card.id.empty()) {
    ui_.MessageBeep();
    return;
  }
  const std::string id = card.id;
  Editor().SaveCurrentCard(true);
  StayTopCB->setChecked(false);
  CardWindowGlue& glue = *(CardWindows(), card_window_glue_);
  glue.windows.SetRaiseAbove(glue.block.MainWindow(), false);
  OpenCardWindow(id);
}

void TMainForm::CsvGridLink() {
  const GridModel& grid = CsvGrid->Grid();
  CardWindows();
  card_window_glue_->OpenCellLink(grid.Cell(grid.Col(), grid.Row()));
}

void TMainForm::OpenLinkedCard(const std::string& title) {
  CardWindows();
  card_window_glue_->OpenLinkedCard(title);
}

void TMainForm::OpenCardLink(const std::string& id_or_title) {
  // A card id first (the link a card window's "<card=" makes), else the
  // first card with that title.
  store::CardRecord probe(card_store_);
  bool found = false;
  CardWindows();
  if (id_or_title.size() == 16 && probe.FindById(-1, id_or_title, false, &found).ok() && found &&
      probe.deleted != 'D') {
    card_window_glue_->OpenCardInWindow(id_or_title);
    return;
  }
  card_window_glue_->OpenLinkedCard(id_or_title);
}

void TMainForm::CloseCardWindows() {
  if (card_window_glue_ != nullptr) card_window_glue_->list.CloseAll();
}

}  // namespace quill
