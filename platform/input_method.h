// InputMethodStatus: whether the input method of the focused window is
// open (composing Japanese), and opening or closing it. fcitx5 offers a
// controller for it (platform/qt/fcitx5_input_method.h); ibus offers
// none, and there the state is unknown and left alone.
#pragma once

#include <optional>

namespace quill {

class InputMethodStatus {
 public:
  virtual ~InputMethodStatus() = default;
  // Nothing when the state cannot be known.
  virtual std::optional<bool> IsOpen() = 0;
  virtual void SetOpen(bool open) = 0;
};

class UnknownInputMethodStatus final : public InputMethodStatus {
 public:
  std::optional<bool> IsOpen() override { return std::nullopt; }
  void SetOpen(bool) override {}
};

// With the setting on, the input method is opened when it is known to be
// closed; an unknown state is left as it is.
inline void OpenInputMethod(InputMethodStatus& status, bool setting_on) {
  if (!setting_on) return;
  const std::optional<bool> open = status.IsOpen();
  if (open.has_value() && !*open) status.SetOpen(true);
}

}  // namespace quill
