// TrayClicks: what a mouse message of the tray icon asks for.
//
// The icon reports left press (0x201), left double click (0x203), right
// press (0x204) and right double click (0x206). The left press shows the
// folder popup after 300 ms unless a double click (new card, or showing the
// main window) replaces it first. A right click registers the target's
// selection (code 3); a second right click within 500 ms, or a right double
// click, asks for the folder first (code 8). With SingleFolder on, the right
// press and the right double click exchange roles, so that one right click
// chooses the folder.
//
// The desktop's tray reports only "clicked", "double-clicked" and "context
// requested" (each right press), never a right double click: FromTrayEvent
// turns a right press that follows the previous one within the double-click
// time (500 ms) into 0x206, as the desktop the design comes from does.
#pragma once

#include <cstdint>
#include <optional>

namespace quill {

inline constexpr uint32_t kTrayDoubleClickMs = 500;

enum class TrayEvent { kClick, kDoubleClick, kContext, kMiddleClick };

// The command to schedule for a tray mouse message.
struct TrayDecision {
  uint32_t delay_ms = 0;
  uint16_t code = 0;
  std::optional<int> save_variant;  // SaveVariant to set, when the click sets it
  bool operator==(const TrayDecision&) const = default;
};

class TrayClicks {
 public:
  // The mouse message of a desktop tray event at tick `now`; 0 for events
  // that have none.
  int32_t FromTrayEvent(TrayEvent event, uint32_t now);

  // The command for a mouse message at tick `now`; nothing for other
  // messages.
  std::optional<TrayDecision> Decide(int32_t mouse_message, uint32_t now, bool single_folder,
                                     bool tray_dbl_click);

 private:
  // Ticks of the last right press and right double click; unset until the
  // first one, so that the first click is never taken for a second one.
  std::optional<uint32_t> last_right_down_;
  std::optional<uint32_t> last_right_double_;
  std::optional<uint32_t> last_context_;
};

}  // namespace quill
