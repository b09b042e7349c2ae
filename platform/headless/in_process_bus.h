// InProcessBus: the message bus of tests. Windows are entries in a table;
// posting appends to the window's queue, and nothing is delivered until
// the test pumps. Messages are delivered in the order they were posted
// (one queue per thread, as on the desktop), each to its window's handler;
// a handler may post more, which the same pump delivers too.
//
// A window added without a handler only collects its messages; a test
// reads them with Take (e.g. what quillmain posted to the button bar).
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <vector>

#include "platform/headless/fake_clock.h"
#include "platform/message_bus.h"

namespace quill {

class InProcessBus final : public MessageBus {
 public:
  using Handler = std::function<void(const Message&)>;

  // The clock moves when a pump waits (PumpFor, PumpUntil); without one the
  // bus keeps its own.
  explicit InProcessBus(FakeClock* clock = nullptr);

  // Adds a window with a fresh handle (0x80000001 upwards) and returns it.
  WindowHandle CreateWindow(Handler handler = nullptr);
  // Adds a window under a handle the test chooses (e.g. a foreign window).
  void AddWindow(WindowHandle window, Handler handler = nullptr);
  // Removes the window; its queued messages are dropped.
  void DestroyWindow(WindowHandle window);
  bool HasWindow(WindowHandle window) const { return windows_.count(window) != 0; }

  bool PostMessage(WindowHandle window, uint32_t message, uint32_t wparam,
                   int32_t lparam) override;

  // Queued messages, of one window or of all.
  size_t Pending(WindowHandle window) const;
  size_t Pending() const { return queue_.size(); }
  // Removes and returns the queued messages of one window, oldest first.
  std::vector<Message> Take(WindowHandle window);

  // Delivers the oldest message that has a handler; false when none.
  bool PumpOne();
  // Delivers until no message with a handler is left (at most `limit`, so
  // that two windows posting to each other cannot hang a test). Returns
  // how many were delivered.
  size_t PumpAll(size_t limit = 100000);
  // Delivers everything, then lets `ms` pass on the clock in steps of
  // `step_ms`, delivering after each step.
  void PumpFor(uint32_t ms, uint32_t step_ms = 10);
  // Delivers messages and lets time pass in steps until pred() holds or
  // `ms` have passed. Returns pred()'s last answer.
  bool PumpUntil(const std::function<bool()>& pred, uint32_t ms, uint32_t step_ms = 10);

  FakeClock& clock() { return *clock_; }

 private:
  FakeClock own_clock_;
  FakeClock* clock_;
  std::map<WindowHandle, Handler> windows_;
  std::deque<Message> queue_;
  WindowHandle next_handle_ = 0x80000001u;
};

}  // namespace quill
