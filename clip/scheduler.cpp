#include "clip/scheduler.h"

#include "platform/protocol/shared_hook_block.h"

namespace quill {

void CommandScheduler::Schedule(uint32_t delay_ms, uint16_t code, int32_t lparam) {
  slot_ = ScheduledCommand{clock_.TickCount(), delay_ms, code, lparam};
}

bool CommandScheduler::Tick() {
  if (!slot_) return false;
  const uint32_t elapsed = clock_.TickCount() - slot_->start;  // modulo 2^32
  if (elapsed <= slot_->delay_ms) return false;
  const ScheduledCommand cmd = *slot_;
  slot_.reset();
  bus_.PostMessage(main_window_, kCommandMessage, cmd.code, cmd.lparam);
  return true;
}

}  // namespace quill
