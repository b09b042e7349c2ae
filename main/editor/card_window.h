// CardWindow: a card opened in a window of its own (TTextFm), as plain
// logic over its view.
//
// The window edits a title, a kind icon and a body (text or table; an
// HTML body is shown, not edited). It never writes the card store: when it
// is saved or closed it sets Result and posts command 103 to the main
// window, which stores the result (CardWindowList) and destroys the window
// once it has gone. Command 104 asks the main window for the list of card
// windows at a screen point. Texts are CP932 with CR LF; positions in the
// body are byte offsets.
//
// An HTML card is shown as its page from view files that the window writes
// into a folder of its own (HtmlViewFolder) before it shows and reloads
// the page; the folder goes with the window.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "main/editor/card_editor.h"
#include "main/editor/html_view_folder.h"
#include "platform/message_bus.h"
#include "platform/screen_geometry.h"

namespace quill {

class GridModel;
class Ui;
class WindowSystem;

namespace store {
class CardRecord;
}  // namespace store

// Result of a card window.
inline constexpr int32_t kCardWindowRunning = 0;
inline constexpr int32_t kCardWindowClosedChanged = 1;
inline constexpr int32_t kCardWindowSaved = 2;  // stored, the window stays
inline constexpr int32_t kCardWindowClosedUnchanged = 3;

// The title box holds at most this many CP932 bytes (the card's field).
inline constexpr size_t kCardWindowTitleBytes = 50;

// The widgets of a card window as the logic sees them.
class CardWindowView {
 public:
  virtual ~CardWindowView() = default;
  virtual WindowHandle Handle() = 0;
  virtual std::string TitleText() = 0;
  // Sets the title box and the window caption (no change event).
  virtual void SetTitleText(const std::string& title) = 0;
  virtual void SetCaption(const std::string& caption) = 0;
  virtual void SetTitleStyle(bool read_only, bool red) = 0;
  virtual std::string BodyText() = 0;
  // Shows a card's text afresh (no change event).
  virtual void SetBodyText(const std::string& text) = 0;
  virtual void SetBodyFont(const CardFont& font, int32_t back_color) = 0;
  // The selection of the text body, in bytes.
  virtual size_t SelectionStart() = 0;
  virtual std::string SelectedText() = 0;
  virtual void SelectBody(size_t start, size_t length) = 0;
  // Replaces the selection as an edit of the user's.
  virtual void ReplaceSelection(const std::string& text) = 0;
  // Title and text read-only, grid disabled.
  virtual void SetReadOnly(bool read_only) = 0;
  // Shows the body for mode 0 (text), 'C' (grid) or 'H' (the HTML panel);
  // the grid's row height follows the font.
  virtual void ShowBody(int mode) = 0;
  // Shows the page of the view folder in the HTML panel (made on first
  // use, shown afresh after that).
  virtual void ShowHtmlView(const std::string& folder) = 0;
  // Captions and visible buttons of an HTML window ("閉じる" only).
  virtual void ShowViewOnlyButtons() = 0;
  virtual void SetStayTopCaption(const std::string& caption) = 0;
  virtual void SetKindGlyph(int icon) = 0;
  // The kind picker at the mouse; the icon picked or -1.
  virtual int PickKind(int current) = 0;
};

// What a card window asks of the main window besides its messages.
class CardWindowOwner {
 public:
  virtual ~CardWindowOwner() = default;
  // Puts text on the clipboard as the program's own change.
  virtual void SetClipboardText(const std::string& text) = 0;
  // The clipboard's text, CP932 with CR LF.
  virtual std::string GetClipboardText() = 0;
  // The link around byte `pos` of `text` (OpenLinkAt).
  virtual void OpenLinkAt(const std::string& text, size_t pos) = 0;
  // The link a table cell holds (ParseCellLink).
  virtual void OpenCellLink(const std::string& cell) = 0;
  // A new view folder for the window's HTML page.
  virtual Status MakeHtmlViewFolder(std::unique_ptr<HtmlViewFolder>* folder) = 0;
};

class CardWindow {
 public:
  CardWindow(CardWindowView& view, GridModel& grid, CardWindowOwner& owner, MessageBus& bus,
             WindowHandle owner_window, WindowSystem& windows, Ui& ui);

  int Mode = 0;              // 'H', 'C' or 0
  bool ReadOnlyCard = false;  // the card is locked
  bool OnTop = false;
  int DataSetIndex = 0;      // the data set current at opening
  std::string DataFolder;    // its folder at opening
  int Changed = 0;           // title, text or kind changed
  std::string CardId;
  WindowHandle OwnerWindow;
  int32_t Result = kCardWindowRunning;
  int CardKind = 0;
  size_t SavedSelStart = 0;  // the caret when the window was last deactivated

  // Fills the window from the card (the steps of opening after the
  // window is made): title, kind, font, body. open_unlocked makes a locked
  // card editable.
  void Load(const store::CardRecord& card, const CardFont& font, int32_t back_color,
            bool open_unlocked);
  // The window is shown: topmost, read-only as the card is; an HTML card
  // shows its page.
  void FormShow();
  // Writes the view files of an HTML card into the window's folder and
  // shows its page (also a reload); a window without a folder shows the
  // text read-only after the message.
  void ShowHtmlPage();
  // The window's view folder; "" while it has none.
  std::string HtmlViewPath() const { return html_folder_ ? html_folder_->path() : std::string(); }

  // Finishing.
  void FormClose();    // the window's close box, "登録閉じる"
  void CancelClick();  // "キャンセル"
  void SaveClick();    // "登録", Ctrl+S, the grid's save request
  bool Modified() const;
  // The store has taken the window's text: nothing is left to save.
  void MarkStored();

  // What the store takes: the table in mode 'C', else the text.
  std::string BodyForStore(int* last_column = nullptr) const;
  std::string TitleForStore() const { return view_.TitleText(); }
  // The grid's column widths, as a table card stores them.
  void TakeColumnWidths(std::array<int8_t, 19>* widths) const;

  // Topmost.
  void StayTopClick();
  void BringToFront();

  // Edits.
  void TitleChange();
  void TextChange();
  void KindButtonClick();
  void CopyClick();
  void CutClick();
  // "張り付け", Ctrl+V: the clipboard's text replaces the selection.
  void PasteClick();
  // Text about to replace the body's selection (a paste, a composition's
  // commit, a typed character): true when the body stays within
  // kBodyLimitBytes; else a beep, and the caller drops the text whole.
  bool TakesInsertion(size_t inserted);
  void SetTitleClick();
  // Dropped local files (paths CP932); only the first counts.
  void DropFiles(const std::vector<std::string>& paths);
  void GridLink();
  void OpenLinkAtCaret();
  // The window lost the activation: the caret is kept for drops.
  void Deactivated();

  // Command 104 with a screen point.
  void PostWindowMenu(ScreenPoint at);

 private:
  void Post(uint16_t code, int32_t lparam);
  void SetTopmost(bool on);

  CardWindowView& view_;
  GridModel& grid_;
  CardWindowOwner& owner_;
  MessageBus& bus_;
  WindowSystem& windows_;
  Ui& ui_;
  bool auto_title_ = false;
  std::string html_text_;  // an HTML card's text, as stored
  std::unique_ptr<HtmlViewFolder> html_folder_;
};

// The title "タイトルセット" makes: from the selection (its first 40
// characters) or else the first 80 bytes of the body; leading CR, LF,
// blanks and TABs dropped, blanks trimmed, cut at the first CR within 40
// bytes, never inside a double-byte character. "" changes nothing.
std::string TitleFromBody(std::string_view selection, std::string_view body);

// The longest prefix of a title that fits kCardWindowTitleBytes bytes
// without cutting a double-byte character.
std::string FitTitle(std::string_view title);

}  // namespace quill
