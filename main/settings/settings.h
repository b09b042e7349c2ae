// The user settings of quillmain: what they are, their defaults, how they
// are loaded from the ini file or the registry store, and how they are
// written back one numbered group at a time.
//
// All settings live under the section "Env": in "quillmain.ini" in the
// program folder (the working store) and in the registry store under the
// key "SoftWare\quillmain\Env" (the source on a start without an ini
// file, and the only home of `BackupFile`, `FromPath` and the data-set
// list). Values are text: integers in decimal, flags as 0 or 1, strings as
// CP932 bytes. Reading a number accepts decimal and "$" hexadecimal in
// both stores and "0x" in the ini, wraps hexadecimal to 32 bits, and gives
// the key's default for a missing key or text that is no number.
//
// Key lists that count from 1: HistoryPaste1..10, Syutten1..10; from 0:
// SuperPasteKey0..9, SuperCard0..9. Stored files rely on this.
//
// Settings that the views show (the editor's WantTabs and WordWrap, the
// tree font, the window geometry) are held here; the window copies them
// in after a load and out before a save.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "main/settings/settings_data_files.h"
#include "platform/file_env.h"
#include "platform/registry_store.h"
#include "platform/status.h"

namespace quill {

// Colour values of the class library: system colours and plain RGB.
inline constexpr int32_t kClWindow = static_cast<int32_t>(0xFF000005);
inline constexpr int32_t kClBtnFace = static_cast<int32_t>(0xFF00000F);

// "ＭＳ Ｐゴシック" in CP932: the default card and tree font name.
inline constexpr char kDefaultFontName[] =
    "\x82\x6c\x82\x72\x20\x82\x6f\x83\x53\x83\x56\x83\x62\x83\x4e";
// "未設定" in CP932: the name written for a source slot without a name.
inline constexpr char kUnsetSourceName[] = "\x96\xa2\x90\xdd\x92\xe8";
// Window classes (WM_CLASS class names) that the message methods serve by
// default: terminals, where Ctrl+C interrupts instead of copying.
inline constexpr char kDefaultMessageMethodClasses[] =
    "XTerm,UXTerm,URxvt,Gnome-terminal,konsole,Xfce4-terminal,Mate-terminal,";

// Settings that the hook library and the button bar read from the shared
// block. The loader fills them here; the window copies them into the
// block.
struct HookBlockFields {
  uint16_t FindKey = 0;
  uint16_t MagicKey = 0;
  uint16_t NewCardKey = 0;
  uint16_t SaveKey = 0;
  uint16_t SaveHtmlKey = 0;
  uint16_t PopupKubunKey = 0;
  uint16_t ActiveKey = 0;
  uint16_t SaveKubunKey = 0;
  std::array<uint16_t, 10> SuperPasteKeys{};
  // Button bar position, signed so that a bar left of or above the screen
  // ("-8") survives a save and a load.
  int16_t BarLeft = 0;
  int16_t BarTop = 0;
  uint8_t RetActive = 0;
  uint8_t AutoMove = 1;
  uint8_t NoTrack = 0;

  bool operator==(const HookBlockFields&) const = default;
};

class SharedHookBlock;

// Puts the words and switches that the options dialog edits into the
// block: the eight hot keys, the ten super keys, RetActive and AutoMove.
// The hook library grabs the changed keys when it is installed again; the
// button bar reads AutoMove when it starts.
void StoreEditedHookFields(const HookBlockFields& fields, SharedHookBlock& block);
// Puts every field into the block, as at start: the edited ones and the
// bar's position and NoTrack, which the bar and the program change later.
void StoreHookFields(const HookBlockFields& fields, SharedHookBlock& block);

// Every setting, named after its key, with its default.
// Kinds: int32_t as read; flags (uint8_t) 1 when the stored value is not
// 0; words (uint16_t) the low 16 bits of the stored value.
struct Settings {
  HookBlockFields Hook;  // RetActive, AutoMove, hot keys, bar position

  uint8_t IppastuLock = 1;     // cards made by one-shot registration are locked
  int32_t TextWinWidth = 100;  // size of a new card window
  int32_t TextWinHeight = 300;
  int32_t ShiftEnd = 0;
  int32_t FindFolderMark = 0;
  int32_t TextBackColor = kClWindow;
  int32_t TreeBackColor = kClWindow;
  int32_t CtrlColor = 1;
  // Colour of the fields Title, Text and Syutten: ApplyControlColor(CtrlColor).
  int32_t ControlColor = kClBtnFace;
  int32_t NowFolder = 0;
  uint8_t NewCardWin = 0;
  int32_t TikanBlank = 0;
  int32_t FindDel = 0;
  int32_t UseHistoryPaste = 0;
  int32_t TuikaOrikaesiSuu = 1000;
  int32_t SingleFolder = 2;  // 2 = not decided: resolved by the loaders
  int32_t DefPasteList = 1;
  int32_t AddIti = 1;        // new cards go first (0) or last (1)
  int32_t IME = 0;
  int32_t TitleFmt = 0;      // 0 to 3
  int32_t RunIcon = 0;
  uint8_t ClipHistoryRoot = 0;
  int32_t TreeWidth = 233;
  int32_t BackClipBoard = 0;
  std::string PopupKubun = "POPUP";
  std::string DefAddKubun;        // the one-shot folder
  int32_t DefAddKubunFile = -1;   // its data set, -1 none, else 0 to 9
  std::string FontName = kDefaultFontName;
  int32_t FontSize = 9;
  int32_t FontCharset = 128;      // never read: 128 after every load
  int32_t FontStyle = 0;          // bits: 1 bold, 2 italic, 4 underline
  std::string TreeFontName = kDefaultFontName;
  int32_t TreeFontSize = 9;
  int32_t TreeFontColor = 0;
  int32_t TreeFontCharset = 128;
  int32_t TreeFontStyle = 0;      // the tree font's style bits, as FontStyle
  int32_t OpenByMain = 0;
  int32_t FontColor = 0;
  int32_t DataFileNum = 0;        // 0 to 9
  uint8_t TabKey = 0;             // the editor's WantTabs
  int32_t UseHistory = 1;
  int32_t IppatuMemory = 1;
  int32_t ClipSave = 0;
  int32_t SaveTitle = 0;
  int32_t SaveUrl = 1;
  int32_t SaveDate = 0;
  int32_t TrayDblClick = 0;       // 0 new card, 1 show the main window
  int32_t ToolBar = 1;
  // Source rules: slot i is Syutten<i+1>, a name and its window classes
  // joined by commas.
  std::array<std::string, 10> SyuttenNames;
  std::array<std::string, 10> SyuttenClasses;
  std::array<std::string, 10> HistoryPaste;  // HistoryPaste<i+1>
  std::array<std::string, 10> SuperCard;     // SuperCard<i>
  DataFileList DataFiles;
  // The folder of the external save; "" (and a drive letter such as "a:")
  // names the default folder in the program folder.
  std::string FloppyDrive;
  std::string KensakuStrList;
  std::string SortType;
  std::string FromPath;     // registry only
  std::string NoHukkiClass;
  std::string Kensaku;
  std::string SyuttenList;  // remembered source names, TAB-separated
  std::string PASTE_ALT_E_P;
  std::string PASTE_SHIFT_F9;
  std::string PASTE_WM_PASTE = kDefaultMessageMethodClasses;
  std::string COPY_ALT_E_C;
  std::string COPY_F8;
  std::string COPY_SHIFT_F8;
  std::string COPY_WM_COPY = kDefaultMessageMethodClasses;
  std::string CUT_ALT_E_T;
  std::string CUT_F7;
  std::string CUT_F8;
  std::string CUT_WM_CUT = kDefaultMessageMethodClasses;
  std::string BackupFile;   // registry only
  int32_t UseButton = 1;    // the low byte, sign-extended
  int16_t Left = 0;         // main window geometry; signed so "-8" survives
  int16_t Top = 0;
  uint16_t Height = 400;
  uint16_t Width = 539;
  uint16_t AutoSort = 0;
  uint16_t RunTreeOpen = 0;
  uint16_t DefAutoTitle = 0;
  uint8_t WordWrap = 1;     // the editor's WordWrap
  uint8_t AutoIndent = 0;

  bool operator==(const Settings&) const = default;
};

// Settings groups: which keys one SaveSettings call writes.
enum SettingsGroup : int {
  kGroupNone = 0,
  kGroupBarAndSort = 1,
  kGroupWindow = 2,
  kGroupOptions = 3,
  kGroupPasteHistory = 10,
  kGroupClipHistoryFile = 11,
  kGroupSourceList = 12,
  kGroupFontsAndDataSet = 13,
  kGroupTikanBlank = 14,
  kGroupOneShotFolder = 15,
  kGroupOneShotForgotten = 16,
  kGroupCardWindowSize = 17,
};

// The two stores and the state that the loaders and SaveSettings share.
struct SettingsStores {
  SettingsStores(FileEnv& file_env, std::string ini, RegistryStore& reg)
      : env(file_env), ini_path(std::move(ini)), registry(reg) {}

  FileEnv& env;
  std::string ini_path;  // program folder + "/quillmain.ini"
  RegistryStore& registry;
  // True while a SaveSettings call runs.
  bool SaveBusy = false;
  // Lets the application handle its pending messages; SaveSettings calls
  // it while another save is running. Without it such a call fails.
  std::function<void()> ProcessMessages;
  // Group 11: writes the clipboard history file.
  std::function<Status()> WriteClipHistory;
};

// The colour of the fields Title, Text and Syutten for a CtrlColor value:
// grey (button face) when not 0, else the window colour.
int32_t ApplyControlColor(int32_t ctrl_color);

// True when the ini file opens for reading: the settings then come from
// it, otherwise from the registry store.
bool IniFileReadable(SettingsStores& stores);

// Fills every setting from the ini file (FromPath, BackupFile and the
// data-set list from the registry store). Missing files and keys and text
// that is no number give the defaults. A file that opens but cannot be
// read gives all defaults too, and "<ini path> を読み込めません" is
// returned so the user learns why. start_argument names a data set; when
// one has that name, DataFileNum becomes its index.
Status LoadSettingsFromIni(Settings* s, SettingsStores& stores, std::string_view start_argument);

// Fills every setting from the registry store (the ini-only keys
// IppastuLock, TextWinWidth, TextWinHeight and ShiftEnd get their
// defaults), then writes group 3, which creates the ini file; the result
// is that of the write.
Status LoadSettingsFromRegistry(Settings* s, SettingsStores& stores,
                                std::string_view start_argument);

// The loader choice of the start: the ini loader when the ini file is
// readable, else the registry loader.
Status LoadSettings(Settings* s, SettingsStores& stores, std::string_view start_argument);

// Writes the keys of one group (0 and unknown groups: nothing). Each
// store is written in one atomic step. On failure the message is
// "<file path> に書き込めません" (UTF-8) for the user; the other store is
// still written, and the next call works. Group 3 may change memory: a
// source slot without a name gets the name "未設定".
Status SaveSettings(Settings& s, SettingsStores& stores, int group);

// Deletes the registry key "SoftWare\quillmain" with everything below it,
// then the ini file.
Status ResetSettings(SettingsStores& stores);

// A stored source rule split into its name (up to the first comma, blanks
// kept inside) and its class list (the rest, split at commas and blanks,
// joined with single commas).
void SplitSourceRule(std::string_view value, std::string* name, std::string* classes);

}  // namespace quill
