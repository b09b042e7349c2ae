#include "platform/headless/in_process_bus.h"

#include <algorithm>

namespace quill {

InProcessBus::InProcessBus(FakeClock* clock) : clock_(clock ? clock : &own_clock_) {}

WindowHandle InProcessBus::CreateWindow(Handler handler) {
  while (windows_.count(next_handle_) != 0 || next_handle_ == 0) ++next_handle_;
  WindowHandle w = next_handle_++;
  windows_[w] = std::move(handler);
  return w;
}

void InProcessBus::AddWindow(WindowHandle window, Handler handler) {
  windows_[window] = std::move(handler);
}

void InProcessBus::DestroyWindow(WindowHandle window) {
  windows_.erase(window);
  std::erase_if(queue_, [window](const Message& m) { return m.window == window; });
}

bool InProcessBus::PostMessage(WindowHandle window, uint32_t message, uint32_t wparam,
                               int32_t lparam) {
  if (window == 0 || windows_.count(window) == 0) return false;
  queue_.push_back(Message{window, message, wparam, lparam});
  return true;
}

size_t InProcessBus::Pending(WindowHandle window) const {
  return static_cast<size_t>(
      std::count_if(queue_.begin(), queue_.end(),
                    [window](const Message& m) { return m.window == window; }));
}

std::vector<Message> InProcessBus::Take(WindowHandle window) {
  std::vector<Message> taken;
  for (const Message& m : queue_) {
    if (m.window == window) taken.push_back(m);
  }
  std::erase_if(queue_, [window](const Message& m) { return m.window == window; });
  return taken;
}

bool InProcessBus::PumpOne() {
  for (auto it = queue_.begin(); it != queue_.end(); ++it) {
    auto w = windows_.find(it->window);
    if (w == windows_.end() || !w->second) continue;
    Message m = *it;
    queue_.erase(it);
    // Copy the handler: it may destroy its own window.
    Handler h = w->second;
    h(m);
    return true;
  }
  return false;
}

size_t InProcessBus::PumpAll(size_t limit) {
  size_t n = 0;
  while (n < limit && PumpOne()) ++n;
  return n;
}

void InProcessBus::PumpFor(uint32_t ms, uint32_t step_ms) {
  PumpUntil([] { return false; }, ms, step_ms);
}

bool InProcessBus::PumpUntil(const std::function<bool()>& pred, uint32_t ms, uint32_t step_ms) {
  if (step_ms == 0) step_ms = 1;
  uint32_t waited = 0;
  while (true) {
    PumpAll();
    if (pred()) return true;
    if (waited >= ms) return false;
    uint32_t step = std::min(step_ms, ms - waited);
    clock_->AdvanceMs(step);
    waited += step;
  }
}

}  // namespace quill
