// TOptionFm's logic: the twelve pages of the options dialog as data, filled
// from the settings and the shared block, the handlers of its controls,
// OKClick and the taking back of the values into the settings; and the
// bracket that keeps the hot keys and the button bar off while the dialog
// is open. The Qt dialog (main/ui/option_form.h) is a view over it.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "main/settings/settings.h"
#include "platform/status.h"

namespace quill {

class DbForm;
class MessageBus;
class SharedHookBlock;
class Ui;

// One row of the "ClipTool" page: an item of the clip-tool menu.
struct ClipToolRow {
  std::string caption;
  std::string file;  // the plug-in's file name
};

// What the pages show and the user changes. Texts are CP932.
struct OptionValues {
  // "キー割り当て", in page order: PopupKubunKey, SaveKey, SaveHtmlKey,
  // SaveKubunKey, ActiveKey, MagicKey, NewCardKey, FindKey.
  std::array<uint16_t, 8> hotkeys{};
  // "ペースト", "カット", "コピー": the class lists in key order.
  std::array<std::string, 3> paste_lists;  // PASTE_ALT_E_P, PASTE_SHIFT_F9, PASTE_WM_PASTE
  std::array<std::string, 4> cut_lists;    // CUT_ALT_E_T, CUT_F7, CUT_F8, CUT_WM_CUT
  std::array<std::string, 4> copy_lists;   // COPY_ALT_E_C, COPY_F8, COPY_SHIFT_F8, COPY_WM_COPY
  bool BackClipBoard = false;
  std::string NoHukkiClass;
  bool DefPasteList = false, UseHistoryPaste = false, ClipHistoryRoot = false, RetActive = false;
  bool SaveUrl = false, SaveDate = false, SaveTitle = false;
  // "起動時"
  bool JikkouIcon = false, UseButton = false, AutoMove = false, ToolBar = false;
  // "出典名": rows 1..10 of Syutten.
  std::array<std::string, 10> source_names, source_classes;
  // "バックアップ"
  std::string FileName;
  // "その他"
  std::string Floppy, TuikaOrikaesiSuu;
  int AddIti = 0, TrayDblClick = 0;
  bool TextIme = false, SingleFolder = false, TabKey = false, UseHistory = false,
       ClipSave = false, CtrlColor = false, NewCardWin = false, AutoSort = false,
       OpenByMain = false, IppatuMemory = false, RunTreeOpen = false, DefAutoTitle = false,
       ShiftEnd = false, IppatuLock = false;
  // "データファイル": rows 1..10 of DataFile.
  std::array<std::string, 10> data_names, data_paths;
  // "ClipTool"
  std::vector<ClipToolRow> clip_tools;
  // "超一発ペーストキー": slots 0..9, and the titles of the cards of 1..9.
  std::array<uint16_t, 10> super_keys{};
  std::array<std::string, 9> super_titles;
};

// What the dialog's logic asks of the main window.
class OptionPorts {
 public:
  virtual ~OptionPorts() = default;
  // Card icon k takes the picture in the file (CP932 path), made 16 x 16;
  // false when the file cannot be read or holds no picture (nothing
  // changes then).
  virtual bool LoadIconFile(int k, const std::string& path) = 0;
  // Card icon k takes the built-in picture n.
  virtual void LoadBuiltInIcon(int k, int n) = 0;
  // Writes the icon sheet from the images, whole or not at all.
  virtual Status WriteIconSheet() = 0;
  virtual std::string IconSheetPath() const = 0;  // CP932
  // Shows the data-set form modally; its result (1 OK).
  virtual int RunDbForm(DbForm& form) = 0;
};

class OptionDialog {
 public:
  struct Context {
    Settings& settings;
    SharedHookBlock* block;  // null in tests without one
    Ui& ui;
    OptionPorts& ports;
    std::string window_class, control_class;  // of the last target
    std::vector<ClipToolRow> clip_tools;
    std::array<std::string, 9> super_titles;
    // What the data-set form needs.
    FileEnv* env = nullptr;
    std::string program_folder;
  };

  // Fills the pages from the settings and the block.
  explicit OptionDialog(Context context);

  OptionValues values;
  Ui& ui() { return context_.ui; }
  const std::string& WindowClass() const { return context_.window_class; }
  const std::string& ControlClass() const { return context_.control_class; }
  const std::string& ProgramFolder() const { return context_.program_folder; }
  int CurrentDataSet() const { return current_data_set_; }
  bool IconsChanged() const { return icons_changed_; }
  // Whether OKClick could not write the icon sheet (the images stay as
  // they are then).
  bool IconSheetUnwritten() const { return sheet_unwritten_; }

  // Double click on a class-list edit (with the control's class), on
  // NoHukkiClass or a source row (with the window's class).
  void AddControlClass(std::string* list);
  void AddWindowClass(std::string* list);
  // Data rows 1..10: row 1 and the open set's row keep their folder.
  bool RowFolderFixed(int row) const;
  void DataPathClearClick(int row);
  void DataFileDblClick(int row);
  // Icon k (0..99): with Ctrl its built-in picture, else a bitmap file
  // chosen in the open dialog.
  void IconGridDblClick(int k, bool ctrl);

  // The icon sheet written.
  void OKClick();

  // Takes the values back into the settings (on OK), and the hot keys,
  // super keys, RetActive and AutoMove into the block as well. A
  // TuikaOrikaesiSuu that is no whole number is reported and keeps its old
  // value; the rest is taken all the same. Returns whether AutoSort
  // changed.
  bool TakeBack();

 private:
  Context context_;
  int current_data_set_ = 0;
  bool icons_changed_ = false;
  bool sheet_unwritten_ = false;
};

// The number of folds of the append list from its text: 1 to 9 and any
// negative number give 10, 0 stays 0; nothing when it is no whole number.
std::optional<int32_t> FoldCountFromText(const std::string& text);

// The hot-key words of the first page, in its order, in the block.
inline constexpr int kOptionHotkeyCount = 8;

// What the bracket switches.
class HookControl {
 public:
  virtual ~HookControl() = default;
  // The hook library's input monitor stops (its grabs released).
  virtual void StopHooks() = 0;
  // _SetCBTHook: the monitor starts again; conflicts are reported.
  virtual void StartHooks() = 0;
  // The button bar starts from the install folder.
  virtual void StartBar() = 0;
};

// Hot keys and the button bar off for the life of a scope: the monitor
// stops and the bar is told to close (code 9, when one runs); at the end,
// on every path, the monitor starts once and the bar starts when UseButton
// is on at that time.
class HookBracket {
 public:
  HookBracket(HookControl& control, SharedHookBlock* block, MessageBus* bus,
              const Settings& settings);
  ~HookBracket();
  HookBracket(const HookBracket&) = delete;
  HookBracket& operator=(const HookBracket&) = delete;

 private:
  HookControl& control_;
  const Settings& settings_;
};

}  // namespace quill
