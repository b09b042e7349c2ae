#include "main/editor/card_editor.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "clip/html_marker.h"
#include "controls/grid_model.h"
#include "main/editor/cell_link.h"
#include "main/search/history_list.h"
#include "main/tree/folder_tree_model.h"
#include "main/tree/node_operations.h"
#include "main/tree/sort_orders.h"
#include "platform/clock.h"
#include "platform/messages.h"
#include "platform/text_codec.h"
#include "platform/ui.h"
#include "platform/ui_messages.h"
#include "store/card_store.h"
#include "platform/sjis.h"

namespace quill {

namespace {

// The program's texts are CP932; the source spells them in UTF-8.
std::string S(const char* utf8) { return Utf8ToCp932(utf8); }

constexpr int kSourceListGroup = 12;

// The title as the title box shows it: the placeholder titles of a new
// card show as an empty box.
std::string ShownTitle(const std::string& title) {
  if (title == S("新規カード") || title == "null") return std::string();
  return title;
}

std::string TimeCaption(const char* label_utf8, Clock& clock, uint32_t seconds) {
  LocalTime t = clock.Local(seconds);
  char digits[64];
  std::snprintf(digits, sizeof digits, "%02d/%02d/%02d %2d:%02d", t.year % 100, t.month, t.day,
                t.hour, t.minute);
  return S(label_utf8) + digits;
}

// The fields a save changes, kept so that a refused write leaves the card
// as it was (and the next save sees the same edits as changes again).
struct SavedFields {
  explicit SavedFields(const store::CardRecord& c)
      : folder(c.folder), title(c.title), text(c.text), source(c.source), locked(c.locked),
        one_shot_paste(c.one_shot_paste), utime(c.utime), kind(c.kind),
        auto_title(c.auto_title), column_widths(c.column_widths), icon(c.icon),
        position(c.position), two_column(c.two_column) {}
  void Restore(store::CardRecord& c) const {
    c.folder = folder;
    c.title = title;
    c.text = text;
    c.source = source;
    c.locked = locked;
    c.one_shot_paste = one_shot_paste;
    c.utime = utime;
    c.kind = kind;
    c.auto_title = auto_title;
    c.column_widths = column_widths;
    c.icon = icon;
    c.position = position;
    c.two_column = two_column;
  }

  std::string folder, title, text, source;
  bool locked;
  uint8_t one_shot_paste;
  uint32_t utime;
  char kind;
  bool auto_title;
  std::array<int8_t, 19> column_widths;
  uint8_t icon;
  uint32_t position;
  bool two_column;
};

}  // namespace

bool HasHtmlMarker(std::string_view text) {
  return text.find(kHtmlMarkerLine) != std::string_view::npos;
}

size_t FittingInsertion(std::string_view inserted, size_t other_bytes, size_t limit) {
  if (other_bytes >= limit) return 0;
  const size_t room = limit - other_bytes;
  if (inserted.size() <= room) return inserted.size();
  size_t i = 0;
  while (i < inserted.size()) {
    const auto c = static_cast<unsigned char>(inserted[i]);
    const bool pair = i + 1 < inserted.size() &&
                      (quill::IsSjisLead(c) || (c == '\r' && inserted[i + 1] == '\n'));
    const size_t n = pair ? 2 : 1;
    if (i + n > room) break;
    i += n;
  }
  return i;
}

CardFont CardFontOf(const store::CardRecord& card) {
  return CardFont{card.font_name, card.font_color, card.font_size, card.font_charset,
                  card.bold,      card.italic,     card.underline};
}

namespace {

// A font of the settings; `style` holds the bits 1 bold, 2 italic,
// 4 underline.
CardFont SettingsFont(const std::string& name, int32_t color, int32_t size, int32_t charset,
                      int32_t style) {
  return CardFont{name,           static_cast<uint32_t>(color), size,
                  charset,        (style & 1) != 0,             (style & 2) != 0,
                  (style & 4) != 0};
}

}  // namespace

CardFont DefaultCardFont(const Settings& settings) {
  return SettingsFont(settings.FontName, settings.FontColor, settings.FontSize,
                      settings.FontCharset, settings.FontStyle);
}

CardFont TreeFont(const Settings& settings) {
  return SettingsFont(settings.TreeFontName, settings.TreeFontColor, settings.TreeFontSize,
                      settings.TreeFontCharset, settings.TreeFontStyle);
}

CardFont ShownCardFont(const store::CardRecord& card, const CardFont& default_font) {
  return card.font_name.empty() ? default_font : CardFontOf(card);
}

CardEditor::CardEditor(FolderTreeModel& form, store::CardRecord& edit_card, CardEditorView& view,
                       GridModel& grid, DeferredCommands& scheduler)
    : form_(form), edit_card_(edit_card), view_(view), grid_(grid), scheduler_(scheduler) {}

TreeNode* CardEditor::EditNode() const { return form_.tree().editor_node(); }
TreeNode* CardEditor::SelectedNode() const { return form_.tree().selected_node(); }
void CardEditor::SetEditNode(TreeNode* node) { form_.tree().set_editor_node(node); }
void CardEditor::SetSelectedNode(TreeNode* node) { form_.tree().set_selected_node(node); }

// --- showing ---

void CardEditor::ShowCard(bool header_only) {
  store::CardRecord& c = edit_card_;
  const Settings& st = form_.settings();
  const CardFont font = ShownCardFont(c, DefaultCardFont(st));

  view_.SetSourceText(c.source);
  view_.SetTitleText(ShownTitle(c.title));
  view_.SetChecked(EditorControl::kIppatuPaste, c.one_shot_paste == 1);
  view_.SetChecked(EditorControl::kAutoTitle, c.auto_title);
  AutoTitleClick();

  if (c.utime != 0) {
    view_.SetEnabled(EditorControl::kTikan, true);
    view_.SetTimeCaptions(TimeCaption("更新=", form_.clock(), c.utime),
                          TimeCaption("作成=", form_.clock(), c.ctime));
  } else {
    view_.SetEnabled(EditorControl::kTikan, false);
    view_.SetTimeCaptions(S("新規データ"), S("新規データ"));
  }

  // A page opened as its text is a change of the card's kind, stored by
  // the next save like an edit (and dropped by the cancel button).
  bool page_as_text = false;
  bool table_as_text = false;
  if (!header_only) {
    table_as_text_ = false;
    EditIcon = c.icon;
    // A table is edited in the grid; a page is shown by the view over
    // the text.
    BodyMode = (c.kind == 'C' || c.kind == 'H') ? c.kind : 0;
    view_.SetBodyFont(font);
    if (BodyMode == 'C') {
      view_.SetBodyText(c.text, false);
      table_as_text = !ShowTableBody();
    } else {
      view_.ShowTextBody();
      view_.SetBodyText(c.text, false);
      if (BodyMode == 'H') {
        page_as_text = OpenPageAsText();
        if (page_as_text) {
          BodyMode = 0;
        } else {
          view_.ShowHtmlBody();
        }
      }
    }
    view_.SetChecked(EditorControl::kCsvHtmlCK, c.kind != 0 && !page_as_text && !table_as_text);
    table_as_text_ = table_as_text;
  }

  view_.SetChecked(EditorControl::kLockCheckBox, c.locked);
  LockCheckBoxClick();

  view_.RefreshSuperKeyStatus();
  view_.KindChanged(EditIcon);
  view_.SetEnabled(EditorControl::kSaveButton, false);
  view_.SetEnabled(EditorControl::kCancelButton, false);
  if (page_as_text) TextChange();
  FontChanged = 0;
  SetEditNode(SelectedNode());
  SetEditorEnabled(!(ShownInCardWindow && !c.id.empty() && ShownInCardWindow(c.id)));
  ApplyBodyReadOnly();
}

bool CardEditor::OpenPageAsText() {
  if (reshowing_saved_card_ || edit_card_.locked ||
      !view_.Checked(EditorControl::kHtmlCheckMode)) {
    return false;
  }
  return Confirm(MessageId::kConfirmHtmlToText);
}

void CardEditor::SetEditorEnabled(bool e) {
  editor_enabled_ = e;
  for (EditorControl c : {EditorControl::kTitle, EditorControl::kKindButton,
                          EditorControl::kText, EditorControl::kDel, EditorControl::kSakujo,
                          EditorControl::kTikan}) {
    view_.SetEnabled(c, e);
  }
  const bool locked = view_.Checked(EditorControl::kLockCheckBox);
  view_.SetEnabled(EditorControl::kCsvHtmlCK, locked ? false : e);
  view_.SetEnabled(EditorControl::kSyutten, locked ? false : e);
  ApplyBodyReadOnly();
}

void CardEditor::ApplyBodyReadOnly() {
  const bool locked = view_.Checked(EditorControl::kLockCheckBox);
  view_.SetBodyReadOnly(locked || BodyMode != 0);
  // The grid has no read-only state: a locked table is not edited at all.
  view_.SetEnabled(EditorControl::kCsvGrid, editor_enabled_ && !locked);
}

void CardEditor::ClearEditor() {
  edit_card_.Clear();
  ShowCard(false);
}

// --- saving ---

void CardEditor::Warn(const std::string& text) { ShowWarning(form_.ui(), text); }

void CardEditor::Warn(MessageId text) { ShowWarning(form_.ui(), text); }

bool CardEditor::Confirm(MessageId question) { return ConfirmCaution(form_.ui(), question); }

void CardEditor::ReportFailure(const Status& s, MessageId low_space_message) {
  if (EndOnFatal(form_.ui(), s)) return;
  if (s.code() == Status::kNoSpace) {
    Warn(low_space_message);
  } else {
    Warn(Utf8ToCp932(s.message()));
  }
}

bool CardEditor::SaveCurrentCard(bool select_new) {
  SavingCard = 1;
  const SavedFields before(edit_card_);
  const EditorValues values = TakeEditorValues();
  const bool write = NeedsWrite(values);
  if (write) {
    Status s = WriteEditorValues(values, select_new);
    if (!s.ok()) {
      // The edits stay in the controls and the card as it was, so that
      // the next save writes them.
      before.Restore(edit_card_);
      SavingCard = 0;
      ReportFailure(s, MessageId::kLowSpaceSaveCancelled);
      return false;
    }
    PutWrittenCardInTree(values.is_new, select_new);
    reshowing_saved_card_ = true;
    ShowCard(false);
    reshowing_saved_card_ = false;
  }
  EndSave(select_new);
  return write;
}

CardEditor::EditorValues CardEditor::TakeEditorValues() {
  store::CardRecord& c = edit_card_;
  EditorValues v;
  v.changed = FontChanged != 0;
  if (BodyMode == 'C') {
    // The grid's table is taken when it was edited or the card was text
    // until now; a table of exactly two data columns is a two-column card.
    if (grid_.Modified != 0 || c.kind == 0) {
      WidthList widths{};
      grid_.GetSize(widths);
      std::copy(widths.begin(), widths.end(), c.column_widths.begin());
      c.text = grid_.FromCsv(-1, 0, 0, 0);
      v.changed = true;
    }
    const bool two_column = grid_.ColCount() == 3;
    if (two_column != c.two_column) {
      c.two_column = two_column;
      v.changed = true;
    }
    v.kind = 'C';
  } else {
    if (!table_as_text_) {
      c.two_column = false;
      c.column_widths.fill(7);
    }
    std::string body = view_.BodyText();
    if (body != c.text) {
      c.text = std::move(body);
      v.changed = true;
    }
    v.kind = table_as_text_ ? 'C' : BodyMode == 'H' ? 'H' : 0;
  }
  v.paste = view_.Checked(EditorControl::kIppatuPaste);
  v.auto_title = view_.Checked(EditorControl::kAutoTitle);
  if (v.auto_title) FillAutoTitle();
  v.locked = view_.Checked(EditorControl::kLockCheckBox);
  v.title = view_.TitleText();
  v.source = view_.SourceText();
  v.is_new = c.row < 0;
  return v;
}

void CardEditor::FillAutoTitle() {
  const std::string body = view_.BodyText();
  if (view_.BodyModified() || !body.empty()) {
    view_.SetTitleText(store::MakeDefaultTitle(body));
  }
}

bool CardEditor::NeedsWrite(const EditorValues& v) const {
  const store::CardRecord& c = edit_card_;
  // An empty new card is never written.
  if (v.is_new && c.text.empty() && v.title.empty()) return false;
  const bool title_same = v.title == c.title || v.title == ShownTitle(c.title);
  return v.changed || v.kind != c.kind || !title_same || v.source != c.source ||
         (c.one_shot_paste == 1) != v.paste || c.icon != EditIcon ||
         v.auto_title != c.auto_title || v.locked != c.locked;
}

Status CardEditor::WriteEditorValues(const EditorValues& v, bool select_new) {
  store::CardRecord& c = edit_card_;
  c.auto_title = v.auto_title;
  c.locked = v.locked;
  RememberSource(v.source);
  QUILL_RETURN_IF_ERROR(GiveCardAFolder(select_new));
  c.kind = v.kind;
  c.utime = static_cast<uint32_t>(form_.clock().Now());
  c.title = v.title;
  c.source = v.source;
  c.one_shot_paste = v.paste ? 1 : 0;
  c.icon = static_cast<uint8_t>(EditIcon);
  // A new card gets its order value from the time; its node follows the
  // write.
  if (v.is_new) {
    const int64_t tenth = form_.clock().Now() / 10;
    const int64_t order = form_.settings().AddIti == 1 ? tenth : -tenth;
    c.position = static_cast<uint32_t>(static_cast<int32_t>(order));
  }
  return c.Write();
}

void CardEditor::RememberSource(const std::string& source) {
  if (source == edit_card_.source || source.empty()) return;
  Settings& st = form_.settings();
  st.SyuttenList = UpdateHistoryList(source, st.SyuttenList);
  view_.SetSourceItems(SplitHistoryList(st.SyuttenList));
  view_.SetSourceText(source);
  view_.SaveSettingsGroup(kSourceListGroup);
}

Status CardEditor::GiveCardAFolder(bool select_new) {
  store::CardRecord& c = edit_card_;
  if (!c.folder.empty()) return Status::Ok();
  // The card goes to "新規フォルダ". Free space is tested first: a refused
  // folder write would reload the tree and with it empty the editor.
  TreeNode* folder = nullptr;
  if (form_.store().DiskSpaceOk()) {
    TreeNode* selected = SelectedNode();
    ++changing_tree_;
    folder = EnsureNewFolder(form_);
    --changing_tree_;
    if (!select_new) SetSelectedNode(selected);
  }
  if (folder == nullptr) return Status::NoSpace("no folder for the card");
  c.folder = GetFolderPath(folder);
  SetEditNode(folder);
  if (select_new) SetSelectedNode(folder);
  return Status::Ok();
}

void CardEditor::PutWrittenCardInTree(bool is_new, bool select_new) {
  store::CardRecord& c = edit_card_;
  ++changing_tree_;
  if (is_new) {
    TreeNode* folder = EditNode();
    if (folder == nullptr || !folder->IsFolder() || GetFolderPath(folder) != c.folder) {
      folder = FindFolderNode(form_, c.folder);
    }
    TreeNode* node = folder != nullptr ? AddCardNode(form_, c, folder) : nullptr;
    SetEditNode(node);
    if (select_new) {
      SetSelectedNode(node);
      view_.SelectNode(node);
    } else {
      // The editor is left with an empty card of the same folder.
      const std::string folder_path = c.folder;
      c.Clear();
      c.folder = folder_path;
    }
  } else {
    TreeNode* node = EditNode();
    if (node == nullptr || node->IsFolder() || node->info().TextId() != c.id) {
      node = FindNodeByTextId(c.id, form_.tree());
    }
    UpdateNodeFromCard(form_, c, node);
  }
  --changing_tree_;
}

void CardEditor::EndSave(bool select_new) {
  view_.SetEnabled(EditorControl::kSaveButton, false);
  view_.SetEnabled(EditorControl::kCancelButton, false);
  SavingCard = 0;
  if (select_new) ShowCard(true);
}

// --- opening ---

void CardEditor::OpenSelectedNode() {
  if (EditNode() != nullptr) SaveCurrentCard(false);
  TreeNode* node = SelectedNode();
  if (node == nullptr) return;
  store::CardRecord& c = edit_card_;
  if (node->IsFolder()) {
    c.Clear();
    c.folder = IsTopNode(node) ? std::string() : GetFolderPath(node);
  } else {
    SetEditNode(node);
    bool found = false;
    Status s = c.FindById(node->info().RecordNo(), node->info().TextId(), true, &found);
    if (s.code() == Status::kFatal) {
      ReportFailure(s);
      return;
    }
    if (!s.ok() || !found) {
      // The card is gone from the store: an empty new card of the folder
      // is shown instead of what the failed read left behind.
      if (!s.ok()) Warn(Utf8ToCp932(s.message()));
      c.Clear();
      c.folder = GetFolderPath(FolderOf(node));
    }
  }
  ShowCard(false);
}

void CardEditor::TreeChange(TreeNode* node) {
  if (SavingCard != 0 || changing_tree_ != 0) return;
  SetSelectedNode(node);
  if (DeferOpen != 0) {
    DeferOpen = 0;
    scheduler_.ScheduleCommand(kDeferOpenDelayMs, kOpenSelectedNodeCommand, 0);
  } else {
    OpenSelectedNode();
  }
}

void CardEditor::TreeKeyDown(bool arrow_up_or_down) {
  DeferOpen = arrow_up_or_down ? static_cast<int>(kDeferOpenDelayMs) : 0;
}

// --- placing new nodes ---

void CardEditor::PutAfter(TreeNode* node, TreeNode* previous) {
  TreeNode* parent = previous->parent();
  int at = previous->index();
  if (node->parent() == parent && node->index() < at) --at;
  form_.tree().Move(node, parent, at + 1);
}

void CardEditor::PutFirstAmongCards(TreeNode* node, TreeNode* folder) {
  // Sub-folders stay ahead of the cards.
  int folders = 0;
  for (int i = 0; i < folder->child_count(); ++i) {
    if (folder->child(i) != node && folder->child(i)->IsFolder()) ++folders;
  }
  form_.tree().Move(node, folder, folders);
}

void CardEditor::AfterNewNode(TreeNode* folder) {
  // The folder's stored positions follow the tree (a refused write is
  // shown by RenumberCards; the card in the editor keeps its position).
  (void)RenumberCards(form_, folder, &edit_card_);
}

// --- commands ---

bool CardEditor::EditorHoldsEmptyCard() {
  TreeNode* selected = SelectedNode();
  return selected != nullptr && !selected->IsFolder() && view_.TitleText().empty() &&
         view_.BodyText().empty() && !view_.Checked(EditorControl::kCsvHtmlCK);
}

TreeNode* CardEditor::PlaceForNewCard() {
  TreeNode* selected = SelectedNode();
  if (selected == nullptr) selected = form_.tree().first();
  if (selected != nullptr && IsTopNode(selected)) selected = selected->GetNext();
  if (selected == nullptr) {
    // A data set without folders: the card goes to "新規フォルダ".
    ++changing_tree_;
    selected = EnsureNewFolder(form_);
    --changing_tree_;
  }
  return selected;
}

void CardEditor::AddNewClick() {
  if (EditorHoldsEmptyCard()) return;
  SaveCurrentCard(true);
  TreeNode* selected = PlaceForNewCard();
  if (selected == nullptr) return;
  SetSelectedNode(selected);
  // The card is written at once. A refusal leaves everything as it
  // was; the program keeps running.
  TreeNode* folder = FolderOf(selected);
  store::CardRecord card(form_.store());
  card.Clear();
  card.folder = GetFolderPath(folder);
  card.title = S("新規カード");
  Status w = card.Write();
  if (!w.ok()) {
    ReportFailure(w);
    return;
  }
  // Its node goes next to the selected card, or first among the folder's
  // cards.
  ++changing_tree_;
  TreeNode* node = AddCardNode(form_, card, folder);
  if (selected->IsFolder()) {
    PutFirstAmongCards(node, folder);
  } else {
    PutAfter(node, selected);
  }
  --changing_tree_;
  AfterNewNode(folder);
  SetEditNode(nullptr);
  if (form_.settings().NewCardWin != 0 && !view_.MainWindowInFront()) {
    // The main window is out of sight (the new-card hot key): the editor
    // takes the node before the new one, and the new card opens in a card
    // window of its own.
    TreeNode* before = node->GetPrev();
    SetSelectedNode(before);
    ++changing_tree_;
    view_.SelectNode(before);
    --changing_tree_;
    OpenSelectedNode();
    view_.OpenCardWindow(card.id);
    return;
  }
  // It opens in the editor with an empty title box.
  SetSelectedNode(node);
  ++changing_tree_;
  view_.SelectNode(node);
  --changing_tree_;
  OpenSelectedNode();
  view_.SetTitleText(std::string());
  view_.FocusBody();
}

void CardEditor::DelClick() {
  SaveCurrentCard(true);
  if (!Confirm(MessageId::kConfirmDeleteCard)) return;
  store::CardRecord& c = edit_card_;
  if (c.row < 0) {
    ShowCard(false);
    return;
  }
  TreeNode* node = EditNode();
  if (node == nullptr || node->IsFolder() || node->info().TextId() != c.id) {
    node = FindNodeByTextId(c.id, form_.tree());
  }
  Status s = c.MarkDeleted();
  if (!s.ok()) {
    ReportFailure(s);
    return;
  }
  SetEditNode(nullptr);
  if (node == nullptr) {
    ClearEditor();
    return;
  }
  // The neighbour takes the selection, as the tree view would move it.
  TreeNode* next = node->next_sibling();
  if (next == nullptr) next = node->prev_sibling();
  if (next == nullptr) next = node->parent();
  ++changing_tree_;
  form_.tree().Remove(node);
  --form_.card_count;
  UpdateCountDisplay(form_, true);
  view_.SelectNode(next);
  --changing_tree_;
  SetSelectedNode(next);
  OpenSelectedNode();
}

void CardEditor::CancelButtonClick() {
  if (Confirm(MessageId::kConfirmDiscardEdits)) ShowCard(false);
}

void CardEditor::SaveButtonClick() {
  SaveCurrentCard(true);
  view_.FocusBody();
}

void CardEditor::TextChange() {
  view_.SetEnabled(EditorControl::kSaveButton, true);
  view_.SetEnabled(EditorControl::kCancelButton, true);
}

void CardEditor::IppatuPasteClick() { TextChange(); }

void CardEditor::TitleDblClick() {
  if (!view_.TitleText().empty() || view_.Checked(EditorControl::kLockCheckBox)) return;
  view_.SetTitleText(store::MakeDefaultTitle(view_.BodyText()));
  TextChange();
}

void CardEditor::SyuttenChange() { TextChange(); }

void CardEditor::AutoTitleClick() {
  const bool on = view_.Checked(EditorControl::kAutoTitle);
  if (on) {
    view_.SetTitleReadOnly(true, true);
    view_.SetEnabled(EditorControl::kSaveButton, true);
  } else {
    view_.SetTitleReadOnly(view_.Checked(EditorControl::kLockCheckBox), false);
  }
}

void CardEditor::LockCheckBoxClick() {
  view_.SetEnabled(EditorControl::kSaveButton, true);
  const bool locked = view_.Checked(EditorControl::kLockCheckBox);
  const bool auto_title = view_.Checked(EditorControl::kAutoTitle);
  view_.SetTitleReadOnly(locked || auto_title, auto_title);
  for (EditorControl c : {EditorControl::kCsvHtmlCK, EditorControl::kAutoTitle,
                          EditorControl::kSyutten, EditorControl::kIppatuPaste}) {
    view_.SetEnabled(c, !locked);
  }
  ApplyBodyReadOnly();
}

void CardEditor::BunkatuCardClick() {
  // Nothing is split when the disk is nearly full or the card is locked.
  if (!form_.store().DiskSpaceOk()) {
    Warn(MessageId::kLowSpaceCannotProcess);
    return;
  }
  if (view_.Checked(EditorControl::kLockCheckBox)) {
    Warn(MessageId::kCardLocked);
    return;
  }
  // Only a text body is split.
  if (BodyMode != 0) {
    form_.ui().MessageBeep();
    return;
  }
  // The card is saved first; the caret stays where the user put it.
  size_t p = view_.BodyCaret();
  SaveCurrentCard(true);
  view_.SetBodyCaret(p);
  // Everything after the caret goes into the new card (a 0x1A byte
  // included: text after it is kept).
  const std::string body = view_.BodyText();
  if (p > body.size()) p = body.size();
  std::string rest = body.substr(p);
  if (rest.empty()) return;
  TreeNode* current = EditNode();
  if (edit_card_.row < 0 || current == nullptr || current->IsFolder()) {
    // The card itself could not be stored: there is nothing to put the
    // new card next to.
    form_.ui().MessageBeep();
    return;
  }
  // The new card is written before the text is cut, so a refused
  // write leaves the text whole.
  store::CardRecord card(form_.store());
  card.Clear();
  card.folder = edit_card_.folder;
  card.title = view_.TitleText();
  card.text = std::move(rest);
  card.source = view_.SourceText();
  Status w = card.Write();
  if (!w.ok()) {
    ReportFailure(w);
    return;
  }
  view_.SetBodyText(body.substr(0, p), true);
  view_.SetBodyCaret(p);
  TextChange();
  TreeNode* folder = current->parent();
  ++changing_tree_;
  TreeNode* node = AddCardNode(form_, card, folder);
  PutAfter(node, current);
  --changing_tree_;
  AfterNewNode(folder);
}

// --- table and HTML bodies ---

void CardEditor::CsvHtmlCKClick() {
  view_.SetEnabled(EditorControl::kSaveButton, true);
  if (view_.Checked(EditorControl::kCsvHtmlCK)) {
    if (HasHtmlMarker(view_.BodyText())) {
      BodyMode = 'H';
      view_.ShowHtmlBody();
    } else {
      BodyMode = 'C';
      if (!ShowTableBody()) {
        view_.SetChecked(EditorControl::kCsvHtmlCK, false);
        ApplyBodyReadOnly();
        return;
      }
      // The save stores the table even when the grid is left as it is.
      grid_.Modified = 1;
    }
    table_as_text_ = false;
  } else {
    table_as_text_ = false;
    if (BodyMode == 'C') {
      // A table that the text editor cannot hold whole stays a table.
      std::string text = grid_.FromCsv(-1, 0, 0, 0);
      if (text.size() > kBodyLimitBytes) {
        view_.SetChecked(EditorControl::kCsvHtmlCK, true);
        Warn(MessageId::kTableTooLargeForText);
        return;
      }
      WidthList widths{};
      grid_.GetSize(widths);
      std::copy(widths.begin(), widths.end(), edit_card_.column_widths.begin());
      view_.SetBodyText(text, true);
    }
    // A page's text stays as it was.
    BodyMode = 0;
    view_.ShowTextBody();
  }
  ApplyBodyReadOnly();
}

bool CardEditor::ShowTableBody() {
  grid_.Init();
  if (!grid_.ToCsv(view_.BodyText(), 1, 1, 0)) {
    if (!reshowing_saved_card_) Warn(MessageId::kTableTooLargeForGrid);
    BodyMode = 0;
    view_.ShowTextBody();
    return false;
  }
  view_.ShowTableBody();
  WidthList widths{};
  std::copy(edit_card_.column_widths.begin(), edit_card_.column_widths.end(), widths.begin());
  grid_.SetSize(widths);
  grid_.Modified = 0;
  return true;
}

void CardEditor::DropFiles(const std::vector<std::string>& paths) {
  // A card edited in a card window, or no card at all, takes nothing.
  if (paths.empty() || !editor_enabled_ || EditNode() == nullptr) return;
  if (view_.Checked(EditorControl::kLockCheckBox) || BodyMode == 'H') return;
  const std::string& path = paths.front();
  // TAB, CR or LF would split the link over cells or lines.
  if (!PathFitsCell(path)) {
    form_.ui().MessageBeep();
    return;
  }
  const std::string link = FileLinkText(path);
  if (BodyMode == 'C') {
    grid_.SetUndo();
    grid_.SetCell(grid_.Col(), grid_.Row(), link);
    // A drop is an edit: leaving the card stores it.
    grid_.Modified = 1;
    if (grid_.view_changed) grid_.view_changed();
  } else {
    view_.InsertIntoBody(std::min(view_.BodyCaret(), view_.BodyText().size()), link);
  }
  TextChange();
}

// --- the body's limit and the fields' colours ---

size_t CardEditor::BodyInserted(std::string_view inserted, size_t other_bytes) {
  const size_t kept = FittingInsertion(inserted, other_bytes, kBodyLimitBytes);
  if (kept < inserted.size()) form_.ui().MessageBeep();
  return kept;
}

void CardEditor::TitleEnter() { view_.SetFieldColor(EditorControl::kTitle, kClWindow); }

void CardEditor::TitleExit() {
  view_.SetFieldColor(EditorControl::kTitle, quill::ApplyControlColor(form_.settings().CtrlColor));
}

void CardEditor::TextEnter() {
  view_.SetFieldColor(EditorControl::kText, form_.settings().TextBackColor);
}

void CardEditor::TextExit() {
  const Settings& st = form_.settings();
  view_.SetFieldColor(EditorControl::kText, st.CtrlColor != 0 ? kClBtnFace : st.TextBackColor);
}

void CardEditor::SyuttenEnter() { view_.SetFieldColor(EditorControl::kSyutten, kClWindow); }

void CardEditor::SyuttenExit() {
  view_.SetFieldColor(EditorControl::kSyutten,
                      quill::ApplyControlColor(form_.settings().CtrlColor));
}

void CardEditor::ApplyControlColor() {
  const int32_t color = quill::ApplyControlColor(form_.settings().CtrlColor);
  for (EditorControl c : {EditorControl::kTitle, EditorControl::kText, EditorControl::kSyutten}) {
    view_.SetFieldColor(c, color);
  }
}

}  // namespace quill
