// XTestKeyInjector: keys typed into the application in front through the
// XTest extension, on a connection of its own.
//
// The key sequences of KeyIn belong to the hook library (_KeyIn), which
// is handed in as a function; Enter and Shift+Insert are typed here.
#pragma once

#include <memory>

#include "platform/key_injector.h"

namespace quill {

class XTestKeyInjector final : public KeyInjector {
 public:
  using KeyInFunction = void (*)(int what, int row);

  // Connects to `display_name` (null: $DISPLAY); null without a display
  // or without XTest.
  static std::unique_ptr<XTestKeyInjector> Open(KeyInFunction key_in,
                                                const char* display_name = nullptr);
  ~XTestKeyInjector() override;
  XTestKeyInjector(const XTestKeyInjector&) = delete;
  XTestKeyInjector& operator=(const XTestKeyInjector&) = delete;

  void KeyIn(int what, int row) override;
  void PressEnter() override;
  void PressShiftInsert() override;

 private:
  struct Impl;
  explicit XTestKeyInjector(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace quill
