// The shared hook block "didevar" and the command protocol between
// quillmain, the hook library and the button bar.
//
// The block is 5,272 bytes of shared memory that all three processes map.
// Its layout is a wire format: little-endian integers, 32-bit window and
// hook handles, NUL-terminated CP932 text, fixed offsets with reserved
// (zero) gaps:
//
//   0x0000  12  CbtHook          HookRecord of the CBT hook (type 5)
//   0x000C  12  KeyboardHook     HookRecord of the keyboard hook (type 2)
//   0x0018   4  TargetWindow     the paste target (lParam of most commands)
//   0x001C   4  MainWindow       quillmain's main window
//   0x0020   4  BarWindow        the button bar's window, 0 = not running
//   0x0024   4  reserved
//   0x0028  16  hot-key words    PopupKubunKey, SaveKey, SaveHtmlKey, NewCardKey,
//                                ActiveKey, SaveKubunKey, MagicKey, FindKey
//   0x0038   2  reserved
//   0x003A   2  BarLeft          signed 16-bit screen position
//   0x003C   2  BarTop           signed 16-bit screen position
//   0x003E   4  reserved
//   0x0042   1  AutoMove         0x0043 NoTrack   0x0044 SaveState
//   0x0045   1  InjectCount      0x0046 RetActive 0x0047 LastKeyUp
//   0x0048   4  reserved
//   0x004C  80  FocusPairs       10 x {Top u32, Focus u32}, slot 9 the newest
//   0x009C   2  RightClickCount  unsigned, wraps
//   0x009E   2  reserved
//   0x00A0  12  MouseHook        HookRecord of the mouse hook (type 7)
//   0x00AC  80  SaveHint         text, at most 79 bytes + NUL; also the
//                                text a second instance hands over
//   0x00FC  20  SuperPasteKeys   10 hot-key words
//   0x0110 5000 BrowserClasses   50 class names of 100 bytes (99 + NUL)
//
// HookRecord (12 bytes): u16 hook type, 2 bytes padding, u32 procedure
// address (informational), u32 hook handle.
//
// SharedHookBlock is a view: it reads and writes the fields of a byte span
// it does not own, so the same class serves the mapped shared memory and a
// plain buffer in tests. Integer fields are naturally aligned and each is
// loaded and stored whole with one relaxed atomic access, because other
// processes read and write the block at the same time without a lock.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quill {

inline constexpr size_t kSharedHookBlockSize = 5272;

// Posted window messages (WM_USER = 0x400).
inline constexpr uint32_t kWmUser = 0x0400;
inline constexpr uint32_t kCommandMessage = kWmUser + 113;  // 0x471
inline constexpr uint32_t kCbtEvent = kWmUser + 114;        // 0x472
inline constexpr uint32_t kTrayCallback = kWmUser + 382;    // 0x57E

// wParam of kCommandMessage. The receivers ignore every other code.
enum class CommandCode : uint32_t {
  kSave = 2,                // SaveKey, bar Save: register the target's selection
  kSaveHtml = 3,            // SaveHtmlKey: the same, with the HTML format
  kPopupKubun = 6,          // PopupKubunKey, bar Paste: folder popup menu
  kActive = 7,              // ActiveKey: toggle the main window
  kSaveKubun = 8,           // SaveKubunKey, bar Save2: register-here folder menu
  kCloseBar = 9,            // to the bar: close
  kRestoreClipboard = 12,   // 1,000 ms after a paste: put the old clipboard back
  kMagic = 13,              // MagicKey: clip-tool menu
  kNewCard = 15,            // NewCardKey: new card
  kRefreshBar = 16,         // to the bar: refresh glyph, hints, buttons
  kFind = 17,               // FindKey: card search
  kSuperPaste = 18,         // SuperPasteKeys slot; lParam = slot 0..9
  kCaptureHistory = 101,    // clipboard changed: capture into the history
  kResortFolder = 102,      // a folder name was edited: re-sort its level
  kTakeCardWindow = 103,    // a card window stored its result
  kCardWindowMenu = 104,    // card window F5; lParam = screen point
  kReopenMinimized = 105,   // start with RunIcon: open the data set, minimise
  kFocusBack = 106,         // hand the foreground back to the target
  kShowSelected = 107,      // tree selection changed: show the node
  kHandOver = 110,          // a second instance: switch to the data set in SaveHint
};

// lParam of CommandCode::kActive that always shows the main window.
inline constexpr int32_t kActiveShowAlways = 0x471;

// wParam of kCbtEvent (the CBT notification code); others are ignored.
inline constexpr uint32_t kCbtMoveSize = 0;
inline constexpr uint32_t kCbtMinMax = 1;
inline constexpr uint32_t kCbtActivate = 5;
inline constexpr uint32_t kCbtSetFocus = 9;

// kTrayCallback: wParam is the icon id, lParam the mouse message.
inline constexpr uint32_t kTrayIconId = 1;
inline constexpr int32_t kTrayLButtonDown = 0x201;
inline constexpr int32_t kTrayLButtonDblClk = 0x203;
inline constexpr int32_t kTrayRButtonDown = 0x204;
inline constexpr int32_t kTrayRButtonDblClk = 0x206;

// Hook type ids of a HookRecord.
inline constexpr uint16_t kHookTypeCbt = 5;
inline constexpr uint16_t kHookTypeKeyboard = 2;
inline constexpr uint16_t kHookTypeMouse = 7;

struct HookRecord {
  uint16_t type = 0;
  uint32_t procedure = 0;
  uint32_t handle = 0;
  bool operator==(const HookRecord&) const = default;
};

struct FocusPair {
  uint32_t top = 0;    // the target when the focus moved
  uint32_t focus = 0;  // the window that got the focus
  bool operator==(const FocusPair&) const = default;
};

// A hot key as a 16-bit word: the low byte is the virtual-key code, the
// high byte the modifiers (0x20 Shift, 0x40 Ctrl, 0x80 Alt). 0 is no hot
// key. A word with no modifier whose key is 'S', 'C' or 'A' stands for a
// double press of Shift, Ctrl or Alt, which the keyboard hook reports as
// the modifier with key 0xFF.
struct HotkeyWord {
  static constexpr uint8_t kShift = 0x20;
  static constexpr uint8_t kCtrl = 0x40;
  static constexpr uint8_t kAlt = 0x80;
  static constexpr uint8_t kDoublePressKey = 0xFF;

  uint16_t value = 0;

  constexpr HotkeyWord() = default;
  constexpr explicit HotkeyWord(uint16_t v) : value(v) {}
  constexpr HotkeyWord(uint8_t modifiers, uint8_t key)
      : value(static_cast<uint16_t>(modifiers << 8 | key)) {}

  constexpr uint8_t Key() const { return static_cast<uint8_t>(value & 0xFF); }
  constexpr uint8_t Modifiers() const { return static_cast<uint8_t>(value >> 8); }
  constexpr bool IsNone() const { return value == 0; }
  // True for the double-press words 0x0053, 0x0043 and 0x0041.
  constexpr bool IsDoublePress() const {
    return Modifiers() == 0 && (Key() == 'S' || Key() == 'C' || Key() == 'A');
  }
  // True when a key event with exactly these modifiers held (or a double
  // press reported as modifier + 0xFF) fires this hot key. The word 0
  // never matches.
  bool Matches(uint8_t modifiers, uint8_t key) const;

  bool operator==(const HotkeyWord&) const = default;
};

// The word as the keyboard hook compares it: a double-press word becomes
// its modifier with key 0xFF (0x0053 -> 0x20FF, 0x0043 -> 0x40FF,
// 0x0041 -> 0x80FF); every other word is kept.
HotkeyWord NormalizeHotkey(HotkeyWord word);

class SharedHookBlock {
 public:
  // The hot-key words at 0x0028, in the order of the block.
  enum HotkeySlot {
    kPopupKubunKey = 0,  // command 6
    kSaveKey,            // command 2
    kSaveHtmlKey,        // command 3
    kNewCardKey,         // command 15
    kActiveKey,          // command 7
    kSaveKubunKey,       // command 8
    kMagicKey,           // command 13
    kFindKey,            // command 17
    kHotkeySlotCount
  };

  static constexpr size_t kFocusPairCount = 10;
  static constexpr size_t kSuperPasteKeyCount = 10;
  static constexpr size_t kBrowserClassCount = 50;
  static constexpr size_t kSaveHintMax = 79;       // bytes of text before the NUL
  static constexpr size_t kBrowserClassMax = 99;   // bytes of text before the NUL

  // Field offsets and sizes, in bytes.
  static constexpr size_t kCbtHookOffset = 0x0000;
  static constexpr size_t kKeyboardHookOffset = 0x000C;
  static constexpr size_t kTargetWindowOffset = 0x0018;
  static constexpr size_t kMainWindowOffset = 0x001C;
  static constexpr size_t kBarWindowOffset = 0x0020;
  static constexpr size_t kHotkeysOffset = 0x0028;
  static constexpr size_t kBarLeftOffset = 0x003A;
  static constexpr size_t kBarTopOffset = 0x003C;
  static constexpr size_t kAutoMoveOffset = 0x0042;
  static constexpr size_t kNoTrackOffset = 0x0043;
  static constexpr size_t kSaveStateOffset = 0x0044;
  static constexpr size_t kInjectCountOffset = 0x0045;
  static constexpr size_t kRetActiveOffset = 0x0046;
  static constexpr size_t kLastKeyUpOffset = 0x0047;
  static constexpr size_t kFocusPairsOffset = 0x004C;
  static constexpr size_t kRightClickCountOffset = 0x009C;
  static constexpr size_t kMouseHookOffset = 0x00A0;
  static constexpr size_t kSaveHintOffset = 0x00AC;
  static constexpr size_t kSaveHintSize = 80;
  static constexpr size_t kSuperPasteKeysOffset = 0x00FC;
  static constexpr size_t kBrowserClassesOffset = 0x0110;
  static constexpr size_t kBrowserClassSize = 100;

  // The span must stay valid while the view is used and be aligned to 4
  // bytes (shared memory is page-aligned; test buffers use alignas).
  explicit SharedHookBlock(std::span<uint8_t, kSharedHookBlockSize> bytes);

  std::span<uint8_t, kSharedHookBlockSize> bytes() const { return bytes_; }

  HookRecord CbtHook() const { return ReadHook(kCbtHookOffset); }
  void SetCbtHook(const HookRecord& r) { WriteHook(kCbtHookOffset, r); }
  HookRecord KeyboardHook() const { return ReadHook(kKeyboardHookOffset); }
  void SetKeyboardHook(const HookRecord& r) { WriteHook(kKeyboardHookOffset, r); }
  HookRecord MouseHook() const { return ReadHook(kMouseHookOffset); }
  void SetMouseHook(const HookRecord& r) { WriteHook(kMouseHookOffset, r); }

  uint32_t TargetWindow() const { return Load32(kTargetWindowOffset); }
  void SetTargetWindow(uint32_t w) { Store32(kTargetWindowOffset, w); }
  uint32_t MainWindow() const { return Load32(kMainWindowOffset); }
  void SetMainWindow(uint32_t w) { Store32(kMainWindowOffset, w); }
  uint32_t BarWindow() const { return Load32(kBarWindowOffset); }
  void SetBarWindow(uint32_t w) { Store32(kBarWindowOffset, w); }

  HotkeyWord Hotkey(HotkeySlot slot) const;
  void SetHotkey(HotkeySlot slot, HotkeyWord word);
  HotkeyWord SuperPasteKey(size_t slot) const;  // slot 0..9
  void SetSuperPasteKey(size_t slot, HotkeyWord word);

  int16_t BarLeft() const { return static_cast<int16_t>(Load16(kBarLeftOffset)); }
  void SetBarLeft(int16_t x) { Store16(kBarLeftOffset, static_cast<uint16_t>(x)); }
  int16_t BarTop() const { return static_cast<int16_t>(Load16(kBarTopOffset)); }
  void SetBarTop(int16_t y) { Store16(kBarTopOffset, static_cast<uint16_t>(y)); }

  uint8_t AutoMove() const { return Load8(kAutoMoveOffset); }
  void SetAutoMove(uint8_t v) { Store8(kAutoMoveOffset, v); }
  uint8_t NoTrack() const { return Load8(kNoTrackOffset); }
  void SetNoTrack(uint8_t v) { Store8(kNoTrackOffset, v); }
  uint8_t SaveState() const { return Load8(kSaveStateOffset); }
  void SetSaveState(uint8_t v) { Store8(kSaveStateOffset, v); }
  uint8_t InjectCount() const { return Load8(kInjectCountOffset); }
  void SetInjectCount(uint8_t v) { Store8(kInjectCountOffset, v); }
  uint8_t RetActive() const { return Load8(kRetActiveOffset); }
  void SetRetActive(uint8_t v) { Store8(kRetActiveOffset, v); }
  uint8_t LastKeyUp() const { return Load8(kLastKeyUpOffset); }
  void SetLastKeyUp(uint8_t v) { Store8(kLastKeyUpOffset, v); }

  FocusPair FocusPairAt(size_t slot) const;  // slot 0..9
  void SetFocusPair(size_t slot, const FocusPair& p);
  // Adds the newest pair in slot 9; slots 1..9 move down by one and the
  // oldest (slot 0) is dropped.
  void PushFocusPair(const FocusPair& p);

  uint16_t RightClickCount() const { return Load16(kRightClickCountOffset); }
  void SetRightClickCount(uint16_t n) { Store16(kRightClickCountOffset, n); }

  // The text up to its NUL (at most 80 bytes even when a writer left no NUL).
  std::string SaveHint() const;
  // Stores text cut to at most 79 bytes without splitting a double-byte
  // character, ends it with a NUL and zeroes the rest of the field. Text
  // after an embedded NUL is not stored.
  void SetSaveHint(std::string_view text);

  // Entry i (0..49) as stored, up to its NUL.
  std::string BrowserClass(size_t i) const;
  // Stores entry i cut to at most 99 bytes on a character boundary.
  void SetBrowserClass(size_t i, std::string_view name);
  // The list: the entries before the first empty one.
  std::vector<std::string> BrowserClasses() const;
  // Replaces the whole list: the first 50 names are stored (empty names are
  // skipped, since an empty entry ends the list); the rest of the field is
  // zeroed.
  void SetBrowserClasses(const std::vector<std::string>& names);
  // Exact, case-sensitive test against the list.
  bool IsBrowserClass(std::string_view name) const;

 private:
  uint8_t Load8(size_t off) const;
  void Store8(size_t off, uint8_t v);
  uint16_t Load16(size_t off) const;
  void Store16(size_t off, uint16_t v);
  uint32_t Load32(size_t off) const;
  void Store32(size_t off, uint32_t v);
  HookRecord ReadHook(size_t off) const;
  void WriteHook(size_t off, const HookRecord& r);
  std::string ReadText(size_t off, size_t size) const;
  void WriteText(size_t off, size_t size, std::string_view text);

  std::span<uint8_t, kSharedHookBlockSize> bytes_;
};

}  // namespace quill
