// The decisions behind the main window's editor events: the function-key
// map, automatic indentation, the title taken from the text, the double
// press that opens a link, the window's size limits and the font rules.
// Texts are CP932 with CR LF and positions are byte offsets, as everywhere
// inside the program; nothing here knows a widget.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/screen_geometry.h"

namespace quill {

// The keys of the main window's key map.
enum class MainKey { kF3, kF4, kF5, kF6, kF7, kF8, kF9, kF, kS, kOther };

enum class MainKeyCommand {
  kNone,
  kFindNext,           // KensakuBtClick (Shift reverses the direction)
  kTikan,              // TikanClick
  kFocusSyutten,
  kKindButton,         // the cursor to KindButton, then KindButtonClick
  kFocusIppatuPaste,
  kFocusCsvHtmlCK,
  kToFloppy,
  kDel,
  kCancel,
  kFindInCard,         // FindStrMenuClick, then SaveButtonClick
  kCardSearch,         // KensakuButtonClick, then SaveButtonClick
  kSave,
  kMinimize,           // Alt+F4: minimised instead of closed
  kWindowList,         // WindowClick
  kFocusTree,
  kFocusTitle,
  kFocusGrid,
  kFocusText,
  kAddNew,
};

struct MainKeyState {
  bool shift = false;
  bool ctrl = false;
  bool alt = false;
  bool text_focused = false;     // FocusedEditor is Text
  bool grid_visible = false;
  bool html_shown = false;
  bool ippatu_enabled = false;   // IppatuPaste
  bool csvhtml_enabled = false;  // CsvHtmlCK
};

struct MainKeyResult {
  MainKeyCommand command = MainKeyCommand::kNone;
  bool consumed = false;  // the focused control does not see the key
};

MainKeyResult MainKeyMap(MainKey key, const MainKeyState& state);

// Enter with automatic indentation: CR LF and the run of blanks, TABs and
// full-width blanks that begins the caret's line, up to the caret.
std::string AutoIndentBreak(std::string_view text, size_t caret);

// The end of the logical line from `start`: the next CR, or the end.
size_t LogicalLineEnd(std::string_view text, size_t start);

// The title that "タイトルセット" makes: the selection's first 40
// characters, or without a selection the first 80 bytes of the text, cut
// on character boundaries; leading CR, LF, blanks and TABs go, blanks are
// trimmed at both ends and the result ends before a line break within its
// first 40 bytes; at most `limit` bytes. Nothing when it comes out empty.
std::optional<std::string> TitleFromText(std::string_view text, std::string_view selection,
                                         size_t limit);

// A press of the mouse in the text: opens the link at the caret when it
// comes at exactly the point of the previous press less than 800 ms after
// it. Ticks are a 32-bit millisecond counter that wraps.
class DoublePressWatch {
 public:
  static constexpr int32_t kDoublePressMs = 800;
  // True when this press makes a double press.
  bool Press(int x, int y, uint32_t tick);

 private:
  bool pressed_ = false;
  int x_ = 0;
  int y_ = 0;
  uint32_t tick_ = 0;
};

struct Placement {
  WindowRect window;
  int tree_width = 0;
};

inline constexpr int kMinWindowWidth = 539;
inline constexpr int kMinWindowHeight = 200;
inline constexpr int kMinTreeWidth = 136;

// The main window's limits: the tree at least 136 wide once it falls below
// 138, the window at least 539 x 200, and, unless the check comes from
// the settle timer, a window whose left or top edge lies beyond the right
// (- 10) or bottom (- 50) edge of the whole desktop moved back to the
// desktop's left or top.
Placement CheckPlacement(Placement placement, const WindowRect& desktop, bool from_timer);

// Fonts: a name of 21 bytes or more cannot be stored; the charset byte of
// a family that covers Japanese is 128, else 1; only such a family, or one
// named "MeiryoKe…", may become the default font.
inline constexpr size_t kMaxFontNameBytes = 20;
bool FontNameFits(std::string_view name);
int32_t FontCharset(bool covers_japanese);
bool MayBeDefaultFont(std::string_view name, bool covers_japanese);

struct FontStyle {
  bool bold = false;
  bool italic = false;
  bool underline = false;
};
// The setting FontStyle: 1 bold, 2 italic, 4 underline.
FontStyle FontStyleFlags(int32_t style);
int32_t FontStyleBits(const FontStyle& style);

// Whether replacing `selected` bytes of a body of `body` bytes by
// `inserted` bytes keeps it within `limit`.
bool InsertionFits(size_t body, size_t selected, size_t inserted, size_t limit);

}  // namespace quill
