#include "buttonbar/button_bar.h"

#include <algorithm>
#include <limits>
#include <span>
#include <utility>

#include "platform/text_codec.h"

namespace quill {

namespace {

constexpr size_t kCaptionMax = 899;   // bytes of quillmain's caption looked at
constexpr size_t kClassMax = 97;      // bytes of a window class compared
constexpr char kProductName[] = "Quillbox";

uint32_t Code(CommandCode c) { return static_cast<uint32_t>(c); }

CommandCode CodeOf(BarButton button) {
  switch (button) {
    case BarButton::kPaste:
      return CommandCode::kPopupKubun;
    case BarButton::kSave:
      return CommandCode::kSave;
    case BarButton::kSaveHtml:
      return CommandCode::kSaveHtml;
    case BarButton::kSave2:
      return CommandCode::kSaveKubun;
    case BarButton::kClipTool:
      return CommandCode::kMagic;
  }
  return CommandCode::kSave;
}

int16_t ToInt16(int v) {
  return static_cast<int16_t>(std::clamp<int>(v, std::numeric_limits<int16_t>::min(),
                                              std::numeric_limits<int16_t>::max()));
}

}  // namespace

BlockOpener SharedBlockOpener(std::string name) {
  return [name = std::move(name)]() -> std::optional<OpenedBlock> {
    std::unique_ptr<SharedMemory> memory;
    if (!SharedMemory::Open(name, kSharedHookBlockSize, &memory).ok()) return std::nullopt;
    std::span<uint8_t, kSharedHookBlockSize> bytes(memory->data(), kSharedHookBlockSize);
    return OpenedBlock{std::move(memory), SharedHookBlock(bytes)};
  };
}

ButtonBar::ButtonBar(BlockOpener open_block, WindowSystem& windows, MessageBus& bus,
                     Clock& clock, ButtonBarView& view)
    : open_block_(std::move(open_block)),
      windows_(windows),
      bus_(bus),
      clock_(clock),
      view_(view),
      start_tick_(clock.TickCount()) {}

void ButtonBar::FormCreate(WindowHandle self) {
  self_ = self;
  dragging_ = false;
  // Qt offers to take the focus, and the window manager would hand it
  // the focus on every click.
  windows_.NeverTakeFocus(self);
  std::optional<OpenedBlock> opened = open_block_();
  if (!opened) return;
  SharedHookBlock& b = opened->block;
  view_.MoveBar(b.BarLeft(), b.BarTop());
  follow_ = b.AutoMove() != 0;
  b.SetBarWindow(self);
}

void ButtonBar::FormShow() {
  if (!open_block_()) {
    Close();
    return;
  }
  bus_.PostMessage(self_, kCommandMessage, Code(CommandCode::kRefreshBar), 0);
  view_.StartTimer(kTimerMs);
}

void ButtonBar::TCTimerTimer() {
  if (closed_) return;
  // The window manager takes these requests only for a mapped window.
  if (!off_taskbar_ && windows_.IsVisible(self_)) off_taskbar_ = windows_.KeepOffTaskbar(self_);

  ++tick_count_;
  if (tick_count_ % 10 != 0) {
    UpdateButtonVisibility();
    const WindowHandle active = windows_.ActiveWindow();
    if (active != 0 && active == self_) return;
    std::optional<OpenedBlock> opened = open_block_();
    const uint8_t no_track = opened ? opened->block.NoTrack() : 0;
    opened.reset();
    if (follow_ && no_track == 0) FollowWindowInFront(active);
  } else {
    CheckQuillmainAlive();
    if (closed_) return;
  }
  view_.StartTimer(kTimerMs);
}

void ButtonBar::FollowWindowInFront(WindowHandle active) {
  WindowRect rect;
  if (active == 0 || !windows_.Frame(active, &rect)) return;
  // The bar's left edge at the window's middle, its top above the window
  // (at the screen's top when there is no room).
  const ScreenPoint place{(rect.left + rect.right) / 2,
                          rect.top <= kGapAbove ? 0 : rect.top - kGapAbove};
  if (last_follow_ == place) return;
  last_follow_ = place;
  view_.MoveBar(place.x, place.y);
}

void ButtonBar::CheckQuillmainAlive() {
  const uint32_t now = clock_.TickCount();
  if (now < start_tick_) start_tick_ = now;  // the counter wrapped
  const uint32_t elapsed = now - start_tick_;
  std::optional<OpenedBlock> opened = open_block_();
  if (!opened) {
    if (elapsed > kBlockGoneMs) Close();
    return;
  }
  // A main window that is gone (or is no longer quillmain's) has no such
  // caption.
  std::string caption = windows_.Title(opened->block.MainWindow());
  opened.reset();
  if (caption.size() > kCaptionMax) caption.resize(kCaptionMax);
  if (caption.find(kProductName) == std::string::npos && elapsed > kMainGoneMs) Close();
}

std::string ButtonBar::FocusClass(WindowHandle focus) {
  if (class_window_ != focus) {
    class_window_ = focus;
    class_name_ = windows_.ClassName(focus);
    if (class_name_.size() > kClassMax) class_name_.resize(kClassMax);
  }
  return class_name_;
}

void ButtonBar::UpdateButtonVisibility() {
  if (self_ != 0 && windows_.ActiveWindow() == self_) return;
  std::optional<OpenedBlock> opened = open_block_();
  if (!opened) return;
  const SharedHookBlock& b = opened->block;
  // The newest focus change in the target tells its focused window.
  const uint32_t target = b.TargetWindow();
  bool browser = false;
  for (size_t slot = SharedHookBlock::kFocusPairCount; slot-- > 0;) {
    const FocusPair pair = b.FocusPairAt(slot);
    if (pair.top == target) {
      browser = b.IsBrowserClass(FocusClass(pair.focus));
      break;
    }
  }
  const uint8_t state = b.SaveState();
  view_.ShowSaveButtons(state != 0, browser && state == 1);
}

bool ButtonBar::WndProc(uint32_t message, uint32_t wparam, int32_t lparam) {
  if (message != kCommandMessage) return false;
  std::optional<OpenedBlock> opened = open_block_();
  if (!opened) return false;
  switch (static_cast<CommandCode>(wparam)) {
    case CommandCode::kRefreshBar:
      switch (opened->block.SaveState()) {
        case 0:
          view_.SetSaveGlyph(SaveGlyph::kRed);
          break;
        case 1:
          view_.SetSaveGlyph(SaveGlyph::kWhite);
          break;
        case 2:
          view_.SetSaveGlyph(SaveGlyph::kBlue);
          break;
        default:
          break;
      }
      save_hint_ = opened->block.SaveHint();
      opened.reset();
      UpdateButtonVisibility();
      return true;
    case CommandCode::kCloseBar:
      opened.reset();
      Close();
      return true;
    default:
      return false;
  }
}

void ButtonBar::ButtonClick(BarButton button) {
  std::optional<OpenedBlock> opened = open_block_();
  if (!opened) return;
  const WindowHandle main = opened->block.MainWindow();
  const WindowHandle target = opened->block.TargetWindow();
  opened.reset();
  // Without quillmain's window there is no one to act.
  if (main == 0) return;
  // Following rests while quillmain acts. quillmain's window is not brought
  // forward: its popup menus take their own grab, and an activation would
  // only flash the window over the application in front.
  view_.StartTimer(kClickPauseMs);
  bus_.PostMessage(main, kCommandMessage, Code(CodeOf(button)), static_cast<int32_t>(target));
}

void ButtonBar::FormMouseDown(MouseButton button, ScreenPoint cursor, ScreenPoint in_form) {
  if (button == MouseButton::kRight) return;
  dragging_ = true;
  drag_.grab = in_form;
  drag_.press_tick = clock_.TickCount();
  view_.CaptureMouse(true);
}

void ButtonBar::FormMouseMove(ScreenPoint cursor) {
  if (!dragging_) return;
  view_.MoveBar(cursor.x - drag_.grab.x, cursor.y - drag_.grab.y);
}

void ButtonBar::FormMouseUp(MouseButton button, ScreenPoint cursor) {
  std::optional<OpenedBlock> opened = open_block_();
  const WindowHandle main = opened ? opened->block.MainWindow() : 0;
  if (button == MouseButton::kRight && main != 0) {
    bus_.PostMessage(main, kCommandMessage, Code(CommandCode::kActive), 0);
  }
  // The drag ends whatever else is missing, so the mouse is never kept.
  if (!dragging_) return;
  view_.CaptureMouse(false);
  dragging_ = false;
  // A short press puts the bar back above the window in front; a longer
  // one leaves it where it was put.
  const bool held = static_cast<int32_t>(clock_.TickCount() - drag_.press_tick) >
                    static_cast<int32_t>(kShortClickMs);
  follow_ = !held;
  if (!held) last_follow_.reset();
  if (!opened) return;
  SharedHookBlock& b = opened->block;
  b.SetBarLeft(ToInt16(cursor.x - drag_.grab.x));
  b.SetBarTop(ToInt16(cursor.y - drag_.grab.y));
  const WindowHandle target = b.TargetWindow();
  opened.reset();
  if (target != 0) windows_.SetForegroundWindow(target);
}

void ButtonBar::FormClose() {
  closed_ = true;
  std::optional<OpenedBlock> opened = open_block_();
  if (opened && self_ != 0 && opened->block.BarWindow() == self_) opened->block.SetBarWindow(0);
}

void ButtonBar::Close() {
  if (!closed_) view_.CloseBar();
}

std::string ButtonBar::Hint(BarButton button) const {
  switch (button) {
    case BarButton::kPaste:
      return Utf8ToCp932("一発ペースト");
    case BarButton::kSave:
    case BarButton::kSaveHtml:
      return save_hint_;
    case BarButton::kSave2:
      return Utf8ToCp932("一発登録フォルダ");
    case BarButton::kClipTool:
      return Utf8ToCp932("クリップツール");
  }
  return std::string();
}

}  // namespace quill
