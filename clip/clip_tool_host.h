// ClipToolHost: the clip-tool plug-ins as the main window uses them.
//
// At start the tools of every plug-in file are listed once into the
// clip-tool menu (LoadClipTools); choosing one runs it on the clipboard's
// text (RunClipToolItem), after making the target copy or cut its
// selection when the tool's mode asks for it, and leaves the result on the
// clipboard or pastes it back. A library is loaded for one listing or one
// run and freed again.
//
// A plug-in exports, with C linkage:
//   int _GetMenuData(int tool, char* caption, int* mode)
//     0 with the tool's caption and mode written, 1 past the last tool;
//   int _GetClipData(int tool, char* out, const char* in)
//     writes the tool's result into `out` (kBufferSize bytes) as a
//     NUL-terminated text; `in` is the NUL-terminated input.
// Before each _GetClipData call `out` holds a header: the main window's
// handle (32 bits, little-endian) and the source name of the text,
// NUL-terminated.
//
// Modes: 0 clipboard in, result on the clipboard; 1 the target's selection
// copied first, result on the clipboard; 2 clipboard in, result pasted
// into the target; 3 the selection cut first, result pasted back. With
// PasteThroughTool set (paste-out chose a text with Shift held) nothing is
// copied or cut: the text is on the clipboard, and the result is pasted.
//
// The host does not trust a plug-in: the caption buffer is larger than
// promised and zeroed, captions are cut to 91 bytes, a result is always
// ended within the buffer, a list that never ends stops after kMaxTools,
// and a missing export leaves the text as it was.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "clip/dispatcher.h"
#include "clip/menu_items.h"
#include "clip/paste_target.h"
#include "platform/plugin_loader.h"
#include "platform/protocol/shared_hook_block.h"

namespace quill {

class ClipToolHost {
 public:
  // The output buffer a plug-in may fill, NUL included; the input is at
  // most one byte shorter.
  static constexpr size_t kBufferSize = 1100000;
  // The longest caption kept, and the buffer a plug-in writes it into
  // (promised 92 bytes; larger, so that a longer caption does no harm).
  static constexpr size_t kCaptionMax = 91;
  static constexpr size_t kCaptionBuffer = 4096;
  // The most tools listed of one library.
  static constexpr int kMaxTools = 256;
  // Calls beyond the first that right clicks ask for, at most.
  static constexpr int kMaxExtraRounds = 9;

  // `paste_through_tool` is paste-out's PasteThroughTool: read by every
  // run and cleared at its end.
  ClipToolHost(PluginLoader& loader, SharedHookBlock& block, DispatchState& state,
               PasteTarget& target, ClipboardAccess& clipboard, bool& paste_through_tool);

  // Lists the tools of each file (full paths, in the order given: a tool
  // item carries its file's position) into the clip-tool menu. A file that
  // cannot be loaded, or lacks _GetMenuData, lists nothing.
  void LoadClipTools(std::vector<std::string> files, MenuItemOwner* owner);
  const std::vector<std::string>& ClipToolFiles() const { return files_; }
  // The clip-tool menu's entries (MagicMenuItem each).
  const std::vector<PopupEntry>& MagicMenu() const { return magic_menu_; }

  // Pops the clip-tool menu up at `at` and returns the chosen tool's click
  // for the caller to run once its closing steps are done. Closed without
  // a choice, the menu ends a pending PasteThroughTool: the next tool is
  // not taken for paste-out's.
  std::function<void()> ShowMagicMenu(Ui& ui, ScreenPoint at);

  // A tool chosen from the menu: the copy or cut its mode asks for, the
  // run, and the foreground back to CommandTarget. A copy or cut that
  // times out puts the user's clipboard back and runs nothing.
  void RunClipToolItem(int plugin, int tool, int mode);
  // A tool chosen from the card editor's own popup: the main window is the
  // target, whichever application was before.
  void RunClipToolFromEditor(int plugin, int tool, int mode);
  // Runs the tool on the clipboard's text and delivers the result by the
  // mode. A file that cannot be loaded now, or lacks _GetClipData, passes
  // the text through unchanged. RightClickCount asks for extra rounds on
  // the last result: RightClickCount / 2 - 1 of them, at most 9.
  void RunClipTool(int plugin, int tool, int mode);

  bool paste_through_tool() const { return paste_through_tool_; }

 private:
  // The result of the tool's calls on `input`; nullopt when it could not
  // be called.
  std::optional<std::string> CallTool(int plugin, int tool, const std::string& input);
  void WriteHeader(std::vector<char>& out) const;

  PluginLoader& loader_;
  SharedHookBlock& block_;
  DispatchState& state_;
  PasteTarget& target_;
  ClipboardAccess& clipboard_;
  bool& paste_through_tool_;
  std::vector<std::string> files_;
  std::vector<PopupEntry> magic_menu_;
};

}  // namespace quill
