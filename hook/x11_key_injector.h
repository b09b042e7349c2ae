// X11KeyInjector: key events for the application in front through XTest,
// on a connection of its own, and the pointer capture of _SetCap.
//
// Virtual keys become keycodes through the server's keyboard map, read
// again whenever the server says it changed. Not thread-safe: use one
// object from one thread at a time.
#pragma once

#include <cstdint>
#include <memory>

#include "hook/key_sequences.h"
#include "platform/message_bus.h"

namespace quill {

class X11KeyInjector final : public KeySink {
 public:
  // Connects to $DISPLAY; null without a display or without XTest.
  static std::unique_ptr<X11KeyInjector> Open();
  ~X11KeyInjector() override;
  X11KeyInjector(const X11KeyInjector&) = delete;
  X11KeyInjector& operator=(const X11KeyInjector&) = delete;

  // Takes the notices the server sent meanwhile (a changed keyboard map).
  void Update();
  // A press goes to the virtual key's first key; a release to each of its
  // keys that is down (the left and the right Shift alike), or to the
  // first when none is.
  void SendKey(uint8_t vk, bool press) override;
  bool IsKeyDown(uint8_t vk) override;
  // Waits until the server has handled the keys sent so far.
  void Sync();
  // Waits until the key `keycode` is up, at most `timeout_ms`; true when
  // it is.
  bool WaitForRelease(uint32_t keycode, int timeout_ms);

  // Sends every pointer event to `window` (0: ends that). Returns whether
  // the server agreed.
  bool CapturePointer(WindowHandle window);

 private:
  struct Impl;
  explicit X11KeyInjector(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace quill
