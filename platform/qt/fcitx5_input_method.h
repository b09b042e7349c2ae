// The input method's open state through fcitx5's controller on the D-Bus
// session bus: service org.fcitx.Fcitx5, object /controller, interface
// org.fcitx.Fcitx.Controller1. State() answers 0 while fcitx5 knows no
// input context, 1 closed, 2 open; Activate() and Deactivate() open and
// close the input method of the input context that had the focus last.
// Without fcitx5 on the bus (ibus, no input method, no bus at all) the
// state is unknown and nothing is sent.
#pragma once

#include <QDBusConnection>
#include <optional>

#include "platform/input_method.h"

namespace quill {

class Fcitx5InputMethodStatus final : public InputMethodStatus {
 public:
  // On the session bus, connected when first asked.
  Fcitx5InputMethodStatus() = default;
  // On a connection of the caller's.
  explicit Fcitx5InputMethodStatus(const QDBusConnection& bus) : bus_(bus) {}

  std::optional<bool> IsOpen() override;
  void SetOpen(bool open) override;

 private:
  QDBusConnection Bus() const;

  std::optional<QDBusConnection> bus_;
};

}  // namespace quill
