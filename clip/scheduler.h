// CommandScheduler: the main window's one-slot deferred command.
//
// Schedule fills the slot with a command to post to the main window after
// a delay; a later request replaces whatever was pending (a clipboard change
// scheduled after a pending folder write wins the slot, and a tray double
// click replaces the pending single-click command). Tick is called by the
// main window's 100 ms timer; once more than the delay has passed since the
// command was scheduled it is posted and the slot is emptied. A delay of 0
// is posted on the next tick.
//
// Ticks are 32-bit milliseconds that wrap; the time passed is the unsigned
// difference (now - start), so a command scheduled just before the counter
// wraps (at 2^32 or when it crosses 2^31) is posted on time, and a start
// tick of 0 is an ordinary tick, not an empty slot.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/clock.h"
#include "platform/message_bus.h"

namespace quill {

struct ScheduledCommand {
  uint32_t start = 0;     // tick when it was scheduled
  uint32_t delay_ms = 0;
  uint16_t code = 0;
  int32_t lparam = 0;
  bool operator==(const ScheduledCommand&) const = default;
};

class CommandScheduler {
 public:
  // Posts kCommandMessage to `main_window` through `bus`.
  CommandScheduler(Clock& clock, MessageBus& bus, WindowHandle main_window)
      : clock_(clock), bus_(bus), main_window_(main_window) {}

  void set_main_window(WindowHandle w) { main_window_ = w; }

  void Schedule(uint32_t delay_ms, uint16_t code, int32_t lparam);
  // Posts the pending command when its time has come. True when it posted.
  bool Tick();
  void Clear() { slot_.reset(); }

  const std::optional<ScheduledCommand>& pending() const { return slot_; }

 private:
  Clock& clock_;
  MessageBus& bus_;
  WindowHandle main_window_;
  std::optional<ScheduledCommand> slot_;
};

}  // namespace quill
