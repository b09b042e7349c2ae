// CardWindowList: the main window's card windows (CardWindows), as plain
// logic over the main window and the windows' frames.
//
// Windows are kept in opening order, one per card. A window reports that
// it was saved or closed by posting command 103; StoreCardWindowResult
// then writes one window's result into the card store, always from the
// main window. A window remembers the data set that was open when it was
// opened and stores into that set's folder, through a store of its own
// when another set is open now, so the main window's store is never
// switched. A write that fails or is refused keeps the window open with
// its edits.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "main/editor/card_editor.h"
#include "main/editor/card_window.h"
#include "platform/screen_geometry.h"

namespace quill {

class FileEnv;
class Ui;

namespace store {
class CardRecord;
class CardStore;
}  // namespace store

// One open card window: the form with its logic. Destroying it destroys
// the window.
class CardWindowFrame {
 public:
  virtual ~CardWindowFrame() = default;
  virtual CardWindow& Logic() = 0;
  // The window's caption (its title), CP932.
  virtual std::string Caption() = 0;
  virtual void Place(int left, int top, int width, int height) = 0;
  // Shows the window (FormShow runs).
  virtual void Show() = 0;
  // Hides and shows the window again; half a second later it takes the
  // foreground.
  virtual void Reshow() = 0;
};

struct CardWindowSettings {
  int width = 100;   // TextWinWidth
  int height = 300;  // TextWinHeight
  CardFont default_font;
  int32_t back_color = 0;  // TextBackColor
};

// The main window as the list sees it.
class CardWindowHost {
 public:
  virtual ~CardWindowHost() = default;
  virtual store::CardStore& CurrentStore() = 0;
  virtual int CurrentDataSet() = 0;
  virtual CardWindowSettings WindowSettings() = 0;
  virtual std::unique_ptr<CardWindowFrame> CreateCardWindow() = 0;
  virtual PixelSize ScreenSize() = 0;
  // The card in the main editor ("" for none) and its controls.
  virtual std::string EditorCardId() = 0;
  virtual void SetEditorEnabled(bool enabled) = 0;
  // Reads the editor's card again with its text and shows it.
  virtual void ReloadEditorCard() = 0;
  // The tree node of a card of the open set shows the card anew.
  virtual void RefreshCardNode(const store::CardRecord& card) = 0;
  // The main window's "窓" button.
  virtual void SetWindowButtonEnabled(bool enabled) = 0;
  virtual ScreenPoint WindowButtonOrigin() = 0;
  // Puts text on the clipboard as the program's own change.
  virtual void SetClipboardText(const std::string& text) = 0;
};

class CardWindowList {
 public:
  CardWindowList(CardWindowHost& host, Ui& ui, FileEnv& env);
  ~CardWindowList();

  // The point of the next window-list menu; -1 = none.
  int WinMenuX = -1;
  int WinMenuY = -1;
  // Set around one opening: the window opens editable although the card
  // is locked.
  bool OpenUnlocked = false;

  int CardWindowCount() const { return static_cast<int>(windows_.size()); }
  CardWindowFrame& Window(int i) { return *windows_.at(static_cast<size_t>(i)); }

  void OpenCardWindow(const std::string& card_id);
  void StoreCardWindowResult();
  void WindowClick();
  void BringCardWindowToFront(int i);
  int FindCardWindowIndex(const std::string& card_id) const;
  // The main window closes: every window goes, its edits unstored.
  void CloseAll();

 private:
  // Writes the window's result into its data set; false when the window
  // must stay open (the message has been shown).
  bool StoreResult(CardWindow& w);
  bool WriteCard(CardWindow& w, store::CardStore& cards, bool open_set);
  void Warn(const std::string& text);
  void RemoveWindow(size_t i);

  CardWindowHost& host_;
  Ui& ui_;
  FileEnv& env_;
  std::vector<std::unique_ptr<CardWindowFrame>> windows_;
};

}  // namespace quill
