// CardEditor: the card in the main window's editor, as plain logic.
//
// The editor shows one card (EditCard) and belongs to one tree node
// (EditNode: the card's node, or for a new card the folder it will be
// added to). It shows a card in the controls, stores the controls back
// into the card store when something changed, creates, deletes and splits
// cards, and opens the card of the node the user selects, at once or, for
// the arrow keys, through the deferred command 107 a moment later.
//
// The controls are reached through CardEditorView; texts there are CP932
// with CR LF, as everywhere inside the program. A view never runs a click
// handler when the editor sets a box from code: the editor calls the
// handlers itself where they have to run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "main/tree/folder_tree.h"
#include "platform/messages.h"
#include "platform/status.h"

namespace quill {

class FolderTreeModel;
class GridModel;

namespace store {
class CardRecord;
}  // namespace store

// The one-slot deferred command of the main window: posts command `code`
// to the window after delay_ms; a later request replaces a pending one.
class DeferredCommands {
 public:
  virtual ~DeferredCommands() = default;
  virtual void ScheduleCommand(uint32_t delay_ms, uint16_t code, int32_t lparam) = 0;
};

// The command that opens the selected node after the arrow keys.
inline constexpr uint16_t kOpenSelectedNodeCommand = 107;
inline constexpr uint32_t kDeferOpenDelayMs = 100;

// Controls of the card panel that the editor enables, disables or checks.
enum class EditorControl {
  kTitle,
  kKindButton,
  kCsvGrid,
  kText,
  kDel,
  kSakujo,
  kTikan,
  kCsvHtmlCK,
  kSyutten,
  kAutoTitle,
  kIppatuPaste,
  kLockCheckBox,
  kSaveButton,
  kCancelButton,
  // On the tree side: a page card is offered as its text when shown.
  kHtmlCheckMode,
};

// The body editor's limit in CP932 bytes (line ends counted as CR LF).
inline constexpr size_t kBodyLimitBytes = 1000000;

// Whether the text holds the marker line of an HTML card anywhere.
bool HasHtmlMarker(std::string_view text);

// How many bytes of `inserted` (CP932, CR LF) fit into a body whose other
// text takes `other_bytes`, keeping the whole within `limit`: all of it
// when it fits, else its longest prefix that ends neither inside a
// double-byte character nor between a CR and its LF (0 when the rest
// alone reaches the limit).
size_t FittingInsertion(std::string_view inserted, size_t other_bytes, size_t limit);

struct CardFont {
  std::string name;  // CP932
  uint32_t color = 0;
  int32_t size = 9;
  int32_t charset = 128;
  bool bold = false;
  bool italic = false;
  bool underline = false;
};

struct Settings;

// The font `card` names for itself.
CardFont CardFontOf(const store::CardRecord& card);
// The default font for cards that name none, from the settings.
CardFont DefaultCardFont(const Settings& settings);
// The folder tree's font and text colour, from the settings.
CardFont TreeFont(const Settings& settings);
// The font `card` is shown in: its own, or `default_font` when it names none.
CardFont ShownCardFont(const store::CardRecord& card, const CardFont& default_font);

class CardEditorView {
 public:
  virtual ~CardEditorView() = default;

  virtual std::string TitleText() = 0;
  virtual void SetTitleText(const std::string& title) = 0;
  // The body editor. SetBodyText with as_edit false shows a card afresh
  // (not modified); with as_edit true it is an edit of the user's
  // (modified, to be saved like any other).
  virtual std::string BodyText() = 0;
  virtual void SetBodyText(const std::string& text, bool as_edit) = 0;
  virtual bool BodyModified() = 0;
  // The caret as a byte offset into BodyText().
  virtual size_t BodyCaret() = 0;
  virtual void SetBodyCaret(size_t offset) = 0;
  virtual std::string SourceText() = 0;
  virtual void SetSourceText(const std::string& source) = 0;
  // Refills the source box's list (its text stays).
  virtual void SetSourceItems(const std::vector<std::string>& items) = 0;

  virtual bool Checked(EditorControl c) = 0;
  // Sets a check box without running its click handler.
  virtual void SetChecked(EditorControl c, bool on) = 0;
  virtual void SetEnabled(EditorControl c, bool on) = 0;
  // read_only titles are drawn red when `red`, else black.
  virtual void SetTitleReadOnly(bool read_only, bool red) = 0;
  virtual void SetBodyReadOnly(bool read_only) = 0;
  virtual void SetTimeCaptions(const std::string& update, const std::string& create) = 0;
  virtual void SetBodyFont(const CardFont& font) = 0;
  // The text editor is shown (the grid and the HTML view are not).
  virtual void ShowTextBody() = 0;
  // The grid is shown in place of the text editor (the HTML view closed),
  // with the text editor's font and a row height of its point size + 10.
  virtual void ShowTableBody() {}
  // The HTML view of the body's text is shown in place of the text editor.
  virtual void ShowHtmlBody() {}
  // Inserts text at byte `offset` of the body as an edit of the user's and
  // selects what was inserted.
  virtual void InsertIntoBody(size_t offset, const std::string& text) {
    (void)offset;
    (void)text;
  }
  // Makes node the tree's current row; runs no selection handler.
  virtual void SelectNode(TreeNode* node) = 0;
  virtual void FocusBody() = 0;
  virtual void KindChanged(int icon) { (void)icon; }
  // The super-key button follows the card shown.
  virtual void RefreshSuperKeyStatus() {}
  // The background of Title, Text or Syutten: a colour of the class
  // library (a system colour such as kClBtnFace, or 0x00BBGGRR).
  virtual void SetFieldColor(EditorControl c, int32_t color) {
    (void)c;
    (void)color;
  }
  // Stores one group of the settings (the remembered sources: group 12).
  virtual void SaveSettingsGroup(int group) { (void)group; }
  // Whether the main window is the window in front.
  virtual bool MainWindowInFront() { return true; }
  // Opens the stored card with this id in a card window of its own.
  virtual void OpenCardWindow(const std::string& card_id) { (void)card_id; }
};

class CardEditor {
 public:
  // edit_card is the window's card of the editor; it must belong to the
  // form's card store.
  // grid is the table editor of the panel: a table card's body.
  CardEditor(FolderTreeModel& form, store::CardRecord& edit_card, CardEditorView& view,
             GridModel& grid, DeferredCommands& scheduler);

  store::CardRecord& EditCard() { return edit_card_; }
  TreeNode* EditNode() const;
  TreeNode* SelectedNode() const;
  void SetEditNode(TreeNode* node);
  void SetSelectedNode(TreeNode* node);

  int BodyMode = 0;     // 'C', 'H' or 0: the body editor active now
  int EditIcon = 0;     // the icon chosen for the card in the editor
  int FontChanged = 0;  // the user changed this card's font
  int SavingCard = 0;   // a save runs
  int DeferOpen = 0;    // the next selection change opens later
  // Whether a card window shows the card with this id (the editor's
  // controls are then disabled); none when empty.
  std::function<bool(const std::string& card_id)> ShownInCardWindow;

  // Shows EditCard in the controls; header_only keeps body and icon.
  void ShowCard(bool header_only);
  // Stores the controls into the card when anything changed; true when
  // the card was written. select_new keeps a newly added card selected
  // and in the editor.
  bool SaveCurrentCard(bool select_new);
  // Saves the card in the editor and loads the selected node's card.
  void OpenSelectedNode();
  void SetEditorEnabled(bool enable);
  // The editor's card becomes an empty new card, shown.
  void ClearEditor();

  // Handlers.
  void TreeChange(TreeNode* node);
  void TreeKeyDown(bool arrow_up_or_down);
  void AddNewClick();
  void DelClick();
  void CancelButtonClick();
  void SaveButtonClick();
  void TextChange();  // also the title's changes
  void IppatuPasteClick();
  void AutoTitleClick();
  void LockCheckBoxClick();
  void SyuttenChange();
  void BunkatuCardClick();
  // A double click on the title: an empty title takes the text's
  // automatic title (a locked card keeps its empty title).
  void TitleDblClick();

  // Table and HTML bodies. CsvHtmlCKClick switches the body between text
  // and table (or HTML, when the text holds the HTML marker) as the check
  // box now says. A table too large for the text editor stays a table;
  // text too large for the grid stays text.
  void CsvHtmlCKClick();
  // The grid filled from the body's text with the card's column widths;
  // not modified. Text that would make a grid larger than it holds is told
  // (kTableTooLargeForGrid) and stays in the text editor as it is, and
  // BodyMode becomes 0; then false.
  bool ShowTableBody();
  // The grid's change: the card can be saved or its edits cancelled.
  void CsvGridChangeAfter() { TextChange(); }
  // Dropped local files (CP932 paths): the first becomes a file link in
  // the grid's current cell (one undo step) or at the body's caret,
  // selected. Nothing changes while the card is locked, shown as a page,
  // edited in a card window or when no card is in the editor; a path that
  // no cell or line can hold is refused with a beep.
  void DropFiles(const std::vector<std::string>& paths);

  // Text entered into the body (typed, pasted, dropped) beside
  // other_bytes of body text: how many of its bytes stay within
  // kBodyLimitBytes. Beeps when it had to be cut.
  size_t BodyInserted(std::string_view inserted, size_t other_bytes);

  // The fields' colours as the focus comes and goes: with the setting
  // CtrlColor on, a field without the focus is grey.
  void TitleEnter();
  void TitleExit();
  void TextEnter();
  void TextExit();
  void SyuttenEnter();
  void SyuttenExit();
  // Title, Text and Syutten in the colour of a field without the focus.
  void ApplyControlColor();

 private:
  // What the controls hold, taken by a save to compare with the card.
  struct EditorValues {
    bool changed = false;  // the body or the card's font
    char kind = 0;
    bool paste = false;
    bool auto_title = false;
    bool locked = false;
    std::string title;
    std::string source;
    bool is_new = false;  // the card is not stored yet
  };

  void ApplyBodyReadOnly();
  // Whether the page card being shown is to be opened as its text, which
  // it then is from its next save on: asked when HtmlCheckMode is checked
  // (a locked card stays a page).
  bool OpenPageAsText();
  // The message dialog with caption "警告".
  void Warn(const std::string& text);
  void Warn(MessageId text);
  // A yes/no question with caption "注意"; true for yes.
  bool Confirm(MessageId question);
  // A failed store call: a fatal state ends the program, a full disk shows
  // low_space_message, anything else the status's own message.
  void ReportFailure(const Status& s,
                     MessageId low_space_message = MessageId::kLowSpaceCannotProcess);

  // The steps of SaveCurrentCard. The body goes into the card as it is
  // read, the other values only when the card is written.
  EditorValues TakeEditorValues();
  // Sets the title from the body when the automatic title is on.
  void FillAutoTitle();
  bool NeedsWrite(const EditorValues& v) const;
  Status WriteEditorValues(const EditorValues& v, bool select_new);
  // Puts a new source at the head of the remembered sources.
  void RememberSource(const std::string& source);
  // A card without a folder goes to "新規フォルダ" (NoSpace when it cannot
  // be made).
  Status GiveCardAFolder(bool select_new);
  // Adds the node of a new card, or updates the written card's node.
  void PutWrittenCardInTree(bool is_new, bool select_new);
  void EndSave(bool select_new);

  // An empty card is in the editor already (AddNewClick adds none).
  bool EditorHoldsEmptyCard();
  // The node a new card goes next to: the selected one, or the first
  // folder; "新規フォルダ", created, when the data set has no folder.
  TreeNode* PlaceForNewCard();
  void PutAfter(TreeNode* node, TreeNode* previous);
  void PutFirstAmongCards(TreeNode* node, TreeNode* folder);
  void AfterNewNode(TreeNode* folder);

  FolderTreeModel& form_;
  store::CardRecord& edit_card_;
  CardEditorView& view_;
  GridModel& grid_;
  DeferredCommands& scheduler_;
  // The controls are enabled (no card window edits the card).
  bool editor_enabled_ = true;
  // Tree changes made by the editor itself: the selection handler waits.
  int changing_tree_ = 0;
  // The card just written is shown again: nothing is asked about it.
  bool reshowing_saved_card_ = false;
  // The editor's table card is too large for the grid and shown as its
  // text: a save keeps it a table card with its widths.
  bool table_as_text_ = false;
};

}  // namespace quill
