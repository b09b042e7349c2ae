// Ui: what the program shows and asks outside the controls of its own
// forms: the message dialog, the warning beep, the flash at the screen
// centre, sounds, popup menus over whatever application is in front, and
// the modal dialogs of the search.
//
// Every question and beep of the program goes through one Ui, so that a
// test answers the questions, picks the menu items and counts the rest.
// Texts are CP932, as everywhere inside the program.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/screen_geometry.h"
#include "platform/search_dialogs.h"

namespace quill {

// Modes of ShowMessageDialog.
inline constexpr int kMessageOk = 0;     // "OK" only
inline constexpr int kMessageYesNo = 4;  // "はい" and "いいえ"

// Results of ShowMessageDialog.
inline constexpr int kResultOk = 1;
inline constexpr int kResultCancel = 2;  // closed with the close box
inline constexpr int kResultYes = 6;
inline constexpr int kResultNo = 7;

// The 32 x 32 pictures flashed at the screen centre around a capture.
enum class FlashBitmap {
  kClip,     // the clipboard is being registered as a new card
  kClipAdd,  // the clipboard is being appended to a card
  kNoClip,   // the target did not copy anything
};

// One item of a popup menu. The caption is CP932 with '&' before the
// accelerator letter. An item with `items`, or marked `submenu`, opens that
// sub-menu and is never chosen itself.
struct MenuItem {
  std::string caption;
  int id = 0;  // what PopupMenu returns when the item is chosen
  bool separator = false;
  bool enabled = true;
  bool checked = false;
  bool submenu = false;
  int image = -1;  // picture of the main window's image list; -1 none
  std::vector<MenuItem> items;

  static MenuItem Separator() {
    MenuItem m;
    m.separator = true;
    return m;
  }
};

// The open or save dialog as a caller sets it up. Texts are CP932.
struct FileChoice {
  bool save = false;        // the save dialog (else the open dialog)
  std::string filter;       // shown files, "*.bmp"
  std::string default_ext;  // added to a name typed without one, "bmp"
  std::string file_name;    // the name the dialog starts with
  std::string folder;       // the folder it starts in; "" its own choice
};

// A font as the font dialog starts with it and returns it. The name is
// CP932; the colour is one of the class library's (0x00BBGGRR or a
// system colour).
struct FontChoice {
  std::string name;
  int32_t size = 9;
  int32_t color = 0;
  bool bold = false;
  bool italic = false;
  bool underline = false;
};

class Ui {
 public:
  virtual ~Ui() = default;

  // The program's modal message box, above every other window and centred
  // on the screen. Mode kMessageYesNo offers "はい" and "いいえ" and returns
  // 6 or 7; any other mode offers "OK" and returns 1; the close box returns
  // 2 in either mode, so callers that test "== 6" take it as No.
  virtual int ShowMessageDialog(const std::string& text, const std::string& caption,
                                int mode) = 0;

  // The short warning sound of a refused action (MessageBeep(0)).
  virtual void MessageBeep() = 0;

  // Ends the program with this exit code. The message loop stops once the
  // caller returns to it; the caller stops what it was doing.
  virtual void EndProgram(int exit_code) = 0;

  // Shows the bitmap at the screen centre above every window until
  // HideFlashIcon; showing another one replaces it.
  virtual void ShowFlashIcon(FlashBitmap bitmap) = 0;
  virtual void HideFlashIcon() = 0;

  // Starts playing a wav file and returns at once. A relative name is
  // looked for in the install folder. A missing file or player is silence.
  virtual void PlaySound(const std::string& file_name) = 0;

  // Pops the menu up at a screen point above every window, also when
  // another application is in front, and returns when it closes: the id of
  // the chosen item, or nothing when it was closed without a choice. The
  // menu takes the keyboard and the mouse while it is open; either mouse
  // button chooses an item.
  virtual std::optional<int> PopupMenu(const std::vector<MenuItem>& items, ScreenPoint at) = 0;

  // The modal dialogs of the search. Each shows the form's contents,
  // returns 1 for OK (the form then holds what the user entered) or 2 for
  // cancel; OK is accepted only as the dialog's rules allow. A Ui without
  // them cancels.
  virtual int RunCardSearchForm(CardSearchForm* form) { return kResultCancel; }
  virtual int RunSearchStringForm(SearchStringForm* form) { return kResultCancel; }
  virtual int RunReplaceForm(ReplaceForm* form) { return kResultCancel; }
  // The question before each replacement, at a screen point: 1 replace,
  // kReplaceCheckFind, kReplaceCheckAll, or 2 stop.
  virtual int RunReplaceCheck(ScreenPoint at) { return kResultCancel; }

  // The open or save dialog: the chosen file's path (CP932), or nothing
  // when it was cancelled. A Ui without one cancels.
  virtual std::optional<std::string> ChooseFile(const FileChoice& choice) { return std::nullopt; }
  // The font dialog, starting with *font: true on OK with the choice in
  // *font. The colour dialog, starting with *color: true on OK with the
  // choice as 0x00BBGGRR. A Ui without them cancels.
  virtual bool ChooseFont(FontChoice* font) { return false; }
  virtual bool ChooseColor(int32_t* color) { return false; }
  // Whether a font family holds the Japanese writing system.
  virtual bool FontCoversJapanese(const std::string& family) { return false; }
};

}  // namespace quill
