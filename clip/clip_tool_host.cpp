#include "clip/clip_tool_host.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "platform/sjis.h"

namespace quill {

namespace {

using GetMenuDataFn = int (*)(int, char*, int*);
using GetClipDataFn = int (*)(int, char*, const char*);

constexpr char kGetMenuData[] = "_GetMenuData";
constexpr char kGetClipData[] = "_GetClipData";

}  // namespace

ClipToolHost::ClipToolHost(PluginLoader& loader, SharedHookBlock& block, DispatchState& state,
                           PasteTarget& target, ClipboardAccess& clipboard,
                           bool& paste_through_tool)
    : loader_(loader),
      block_(block),
      state_(state),
      target_(target),
      clipboard_(clipboard),
      paste_through_tool_(paste_through_tool) {}

void ClipToolHost::LoadClipTools(std::vector<std::string> files, MenuItemOwner* owner) {
  files_ = std::move(files);
  magic_menu_.clear();
  std::vector<char> caption(kCaptionBuffer);
  for (size_t k = 0; k < files_.size(); ++k) {
    LoadedPlugin library(loader_, files_[k]);
    const auto get_menu_data = library.Export<GetMenuDataFn>(kGetMenuData);
    if (get_menu_data == nullptr) continue;
    for (int i = 0; i < kMaxTools; ++i) {
      std::fill(caption.begin(), caption.end(), '\0');
      int mode = 0;
      if (get_menu_data(i, caption.data(), &mode) == 1) break;
      caption.back() = '\0';
      std::string text(caption.data());
      quill::TruncateSjis(text, kCaptionMax);
      PopupEntry entry;
      entry.caption = std::move(text);
      entry.item = MagicMenuItem{owner, i, mode, static_cast<int>(k)};
      magic_menu_.push_back(std::move(entry));
    }
  }
}

std::function<void()> ClipToolHost::ShowMagicMenu(Ui& ui, ScreenPoint at) {
  std::function<void()> chosen = PopupEntries(ui, magic_menu_, at);
  if (!chosen) paste_through_tool_ = false;
  return chosen;
}

void ClipToolHost::RunClipToolFromEditor(int plugin, int tool, int mode) {
  state_.CommandTarget = block_.MainWindow();
  RunClipToolItem(plugin, tool, mode);
}

void ClipToolHost::RunClipToolItem(int plugin, int tool, int mode) {
  bool taken = true;
  if (!paste_through_tool_ && (mode == 1 || mode == 3)) {
    // The copy step makes the tracked window the command's target: the
    // command's own comes back afterwards.
    const WindowHandle remembered = state_.CommandTarget;
    target_.ActivateTargetWindow(remembered, true);
    // The cut takes the tracked window: the one just brought forward,
    // whether or not the tracking has heard of it yet (the menu's own
    // activations may still be on their way).
    if (remembered != 0) block_.SetTargetWindow(remembered);
    const int timed_out = mode == 3 ? target_.CutFromTarget() : target_.CopyFromTarget();
    state_.CommandTarget = remembered;
    if (timed_out != 0) {
      // The copy emptied the clipboard: the user's comes back.
      target_.RestoreClipboard(true);
      taken = false;
    }
  }
  if (taken) RunClipTool(plugin, tool, mode);
  target_.ActivateTargetWindow(state_.CommandTarget, false);
}

void ClipToolHost::WriteHeader(std::vector<char>& out) const {
  const uint32_t window = block_.MainWindow();
  for (size_t i = 0; i < 4; ++i) out[i] = static_cast<char>((window >> (8 * i)) & 0xFF);
  const std::string& source = target_.SourceName;
  const size_t n = std::min(source.size(), out.size() - 5);
  std::memcpy(out.data() + 4, source.data(), n);
  out[4 + n] = '\0';
}

std::optional<std::string> ClipToolHost::CallTool(int plugin, int tool,
                                                  const std::string& input) {
  if (plugin < 0 || static_cast<size_t>(plugin) >= files_.size()) return std::nullopt;
  LoadedPlugin library(loader_, files_[static_cast<size_t>(plugin)]);
  const auto get_clip_data = library.Export<GetClipDataFn>(kGetClipData);
  if (get_clip_data == nullptr) return std::nullopt;
  const int extra = std::min(block_.RightClickCount() / 2 - 1, kMaxExtraRounds);
  std::vector<char> out(kBufferSize);
  std::string in = input;
  for (int round = 0; round <= std::max(extra, 0); ++round) {
    WriteHeader(out);
    get_clip_data(tool, out.data(), in.c_str());
    // A result that fills the buffer ends at its last byte.
    out.back() = '\0';
    in.assign(out.data());
  }
  return in;
}

void ClipToolHost::RunClipTool(int plugin, int tool, int mode) {
  target_.KeepClipboardAfterPaste = false;
  std::string input = clipboard_.GetClipboardText();
  quill::TruncateSjis(input, kBufferSize - 1);
  // Only the user's own clipboard is kept for the restore after a paste:
  // after a copy or cut it was kept already, and paste-out's text is not
  // the user's.
  if ((mode == 0 || mode == 2) && !paste_through_tool_) target_.KeepClipboard();
  std::optional<std::string> output = CallTool(plugin, tool, input);
  clipboard_.SetClipboardText(output ? *output : input);
  if (mode == 2 || mode == 3 || paste_through_tool_) {
    target_.PasteToTarget();
  } else {
    target_.ActivateTargetWindow(state_.CommandTarget, false);
  }
  paste_through_tool_ = false;
}

}  // namespace quill
