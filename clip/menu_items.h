// The items of the main window's menus that carry what their click needs
// (a card id, an index, an owner), and popup menus built as data.
//
// A menu that the program builds for itself (the folder popup, the
// clip-tool menu) is a tree of PopupEntry: tests read it, and the Ui port
// shows it (PopupEntries). An entry's item is one of the eight item
// classes below, or an item of another menu shown there as it stands
// (ForeignItem: the tray menu's). Clicking an item calls its owner, the
// main window, through MenuItemOwner.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "platform/screen_geometry.h"
#include "platform/ui.h"

namespace quill {

struct AddMenuItem;

// What the items' clicks ask of the main window.
class MenuItemOwner {
 public:
  virtual ~MenuItemOwner() = default;
  // Brings open card window `index` to the front.
  virtual void SelectCardWindow(int index) = 0;
  // Switches to data set `index` (not at start-up).
  virtual void SelectDataFile(int index) = 0;
  // Runs tool `tool` of plug-in `plugin` with its mode.
  virtual void RunClipToolItem(int plugin, int tool, int mode) = 0;
  // Paste-out: clip-history entry `index` (>= 0), or with -1 the card
  // `card_id` (or `text` on its behalf).
  virtual void PasteCard(const std::string& card_id, int index,
                         std::optional<std::string> text) = 0;
  // Appends the clipboard to the card (Shift, held or not, is read then).
  virtual void AppendClipboardToCard(const std::string& card_id) = 0;
  // Binds the card in the editor to super-key slot `slot`.
  virtual void AssignSuperKeySlot(int slot) = 0;
  // A register-here entry was chosen.
  virtual void AddMenuClick(const AddMenuItem& item) = 0;
};

// The open card windows' menu: one window each.
struct SelectWinItem {
  MenuItemOwner* owner = nullptr;
  int index = 0;  // card-window index
  void Click() const;
};

// The data-set menu: one data set each.
struct SelectFileItem {
  MenuItemOwner* owner = nullptr;
  int index = 0;  // data-set index
  void Click() const;
};

// The clip-tool menu: one tool of one plug-in each.
struct MagicMenuItem {
  MenuItemOwner* owner = nullptr;
  int tool = 0;    // tool index within the plug-in
  int mode = 0;    // the tool's mode (0..3)
  int plugin = 0;  // position of the plug-in's file in ClipToolFiles
  void Click() const;
};

// A row of a table card: its second cell is pasted on behalf of the card.
struct SelectCsvItem {
  std::string text;  // to paste
  int index = -1;    // history index: none
  MenuItemOwner* owner = nullptr;
  std::string card_id;
  void Click() const;
};

// The append menu: one card each.
struct MyTuikaItem {
  MenuItemOwner* owner = nullptr;
  std::string card_id;
  void Click() const;
};

// The super-key menu: one slot each.
struct SuperKeyItem {
  int slot = -1;
  MenuItemOwner* owner = nullptr;
  void Click() const;
};

// A card (index -1) or a clip-history entry (index 0..19) to paste.
struct MyMenuItem {
  int index = -1;
  MenuItemOwner* owner = nullptr;
  std::string card_id;
  void Click() const;
};

// The register-here menu: a folder to register into (mode 0) or to
// append to one of its cards (mode 1), of a data set.
struct AddMenuItem {
  int mode = 0;
  int data_set = -1;
  std::string folder_path;
  uint8_t html = 0;
  MenuItemOwner* owner = nullptr;
  void Click() const;
};

// An item of another menu, shown in a built menu as it stands.
struct ForeignItem {
  std::function<void()> click;
  void Click() const {
    if (click) click();
  }
};

using MenuAction = std::variant<std::monostate, SelectWinItem, SelectFileItem, MagicMenuItem,
                                SelectCsvItem, MyTuikaItem, SuperKeyItem, MyMenuItem,
                                AddMenuItem, ForeignItem>;

// Runs the item's click; nothing for an empty action.
void Click(const MenuAction& action);

// One entry of a popup menu built as data: a separator, an item, or a
// sub-menu (`submenu`, its entries in `items`).
struct PopupEntry {
  std::string caption;  // CP932; '&' marks the accelerator as built
  int image = -1;       // picture of the main window's image list
  bool separator = false;
  bool submenu = false;
  bool enabled = true;
  bool checked = false;
  MenuAction item;
  std::vector<PopupEntry> items;

  static PopupEntry Separator() {
    PopupEntry e;
    e.separator = true;
    return e;
  }
  static PopupEntry Submenu(std::string caption, int image) {
    PopupEntry e;
    e.caption = std::move(caption);
    e.image = image;
    e.submenu = true;
    return e;
  }
};

// Pops the entries up through ui at `at` and returns, once the menu has
// closed, the chosen item's click for the caller to run; an empty function
// when nothing was chosen.
std::function<void()> PopupEntries(Ui& ui, const std::vector<PopupEntry>& entries, ScreenPoint at);

}  // namespace quill
