// ButtonBar: what the floating button bar decides, behind its form.
//
// The bar sits above the window in front (or where the user dragged it),
// shows by its Save glyph whether a one-shot folder is known, and turns
// clicks into the command messages the hot keys send, posted to
// quillmain's main window. It knows quillmain only through the shared hook
// block, which it maps anew for every use so that it always reads the
// current values and notices when quillmain has gone.
//
// The form (TForm3) is a view: it forwards its events here and does what
// ButtonBarView asks. Everything else goes through the ports, so the bar
// runs in tests on a buffer, fake windows, an in-process bus and a fake
// clock.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/clock.h"
#include "platform/message_bus.h"
#include "platform/protocol/shared_hook_block.h"
#include "platform/screen_geometry.h"
#include "platform/shared_memory.h"
#include "platform/window_system.h"

namespace quill {

// One use of the shared block: mapped while this lives.
struct OpenedBlock {
  std::unique_ptr<SharedMemory> memory;  // null when the bytes are a test's buffer
  SharedHookBlock block;
};
// Maps the block for one use; nothing when there is no block.
using BlockOpener = std::function<std::optional<OpenedBlock>()>;
// The shared block called `name` (SharedBlockName()), opened at each call.
BlockOpener SharedBlockOpener(std::string name);

enum class BarButton { kPaste, kSave, kSaveHtml, kSave2, kClipTool };
enum class SaveGlyph { kRed, kWhite, kBlue };
enum class MouseButton { kLeft, kRight, kOther };

class ButtonBarView {
 public:
  virtual ~ButtonBarView() = default;
  // Puts the bar's top left corner at this screen position.
  virtual void MoveBar(int left, int top) = 0;
  // Closes the form; its closing calls ButtonBar::FormClose.
  virtual void CloseBar() = 0;
  // Starts the timer afresh: the next tick comes `ms` from now.
  virtual void StartTimer(uint32_t ms) = 0;
  virtual void SetSaveGlyph(SaveGlyph glyph) = 0;
  virtual void ShowSaveButtons(bool save, bool save_html) = 0;
  // Takes all mouse input (true) or gives it back (false).
  virtual void CaptureMouse(bool capture) = 0;
};

class ButtonBar {
 public:
  static constexpr int kClientWidth = 125;   // ClipToolButton's left + 20
  static constexpr int kClientHeight = 20;
  static constexpr uint32_t kTimerMs = 100;
  static constexpr uint32_t kClickPauseMs = 2000;  // following rests after a click
  static constexpr uint32_t kShortClickMs = 300;   // a press this short is a click
  static constexpr int kGapAbove = 24;             // the bar's top above the window
  static constexpr uint32_t kMainGoneMs = 10000;   // caption without the product name
  static constexpr uint32_t kBlockGoneMs = 30000;  // no block at all

  // Starts the liveness clock (startTick).
  ButtonBar(BlockOpener open_block, WindowSystem& windows, MessageBus& bus, Clock& clock,
            ButtonBarView& view);
  ButtonBar(const ButtonBar&) = delete;
  ButtonBar& operator=(const ButtonBar&) = delete;

  // The form exists as `self` and is not shown yet: it takes its place
  // and following from the block and enters itself as BarWindow.
  void FormCreate(WindowHandle self);
  // The form is shown: without the block it closes; otherwise it asks
  // itself to refresh and starts the timer.
  void FormShow();
  // Every timer tick: button visibility, following the window in front,
  // and once a second whether quillmain is still there.
  void TCTimerTimer();
  // Shows the Save button when SaveState is not 0, and SaveHtml when
  // SaveState is 1 and the target's focused window is a browser's.
  void UpdateButtonVisibility();
  // A message posted to the bar's window: command 16 refreshes the glyph,
  // the hints and the buttons, 9 closes the bar. True when handled.
  bool WndProc(uint32_t message, uint32_t wparam, int32_t lparam);

  // A click on one of the buttons.
  void ButtonClick(BarButton button);
  // A click on the white Save picture: Save.
  void Img_WhiteSaveClick() { ButtonClick(BarButton::kSave); }

  // The mouse on the form's own surface (not on a button): a press starts
  // a drag, a release ends it; a right-button release toggles quillmain.
  // `in_form` is the pointer's position within the form.
  void FormMouseDown(MouseButton button, ScreenPoint cursor, ScreenPoint in_form);
  void FormMouseMove(ScreenPoint cursor);
  void FormMouseUp(MouseButton button, ScreenPoint cursor);

  // The form closes: BarWindow goes back to 0 while it holds ours.
  void FormClose();

  // A button's hint, CP932. The Save buttons show SaveHint as of the last
  // refresh.
  std::string Hint(BarButton button) const;

  bool follow() const { return follow_; }
  bool dragging() const { return dragging_; }
  bool closed() const { return closed_; }

 private:
  void Close();
  void FollowWindowInFront(WindowHandle active);
  void CheckQuillmainAlive();
  // The class of the target's focused window, looked up once per window.
  std::string FocusClass(WindowHandle focus);

  BlockOpener open_block_;
  WindowSystem& windows_;
  MessageBus& bus_;
  Clock& clock_;
  ButtonBarView& view_;

  WindowHandle self_ = 0;
  uint32_t start_tick_;
  uint32_t tick_count_ = 0;
  bool follow_ = false;
  bool dragging_ = false;
  bool closed_ = false;
  bool off_taskbar_ = false;
  struct Drag {
    ScreenPoint grab;  // the pointer's position within the form at the press
    uint32_t press_tick = 0;
  } drag_;
  std::optional<ScreenPoint> last_follow_;
  std::optional<WindowHandle> class_window_;
  std::string class_name_;
  std::string save_hint_;
};

}  // namespace quill
