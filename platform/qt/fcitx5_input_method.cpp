#include "platform/qt/fcitx5_input_method.h"

#include <QDBusMessage>
#include <QLatin1String>
#include <QMetaType>
#include <QVariant>

namespace quill {

namespace {

// A controller that does not answer within this time is taken as absent:
// the question is asked while the text takes the focus.
constexpr int kReplyMs = 500;

QDBusMessage ControllerCall(const char* method) {
  QDBusMessage call = QDBusMessage::createMethodCall(
      QLatin1String("org.fcitx.Fcitx5"), QLatin1String("/controller"),
      QLatin1String("org.fcitx.Fcitx.Controller1"), QLatin1String(method));
  // Only a running fcitx5 is asked; the bus never starts one for us.
  call.setAutoStartService(false);
  return call;
}

}  // namespace

QDBusConnection Fcitx5InputMethodStatus::Bus() const {
  return bus_.has_value() ? *bus_ : QDBusConnection::sessionBus();
}

std::optional<bool> Fcitx5InputMethodStatus::IsOpen() {
  QDBusConnection bus = Bus();
  if (!bus.isConnected()) return std::nullopt;
  const QDBusMessage reply = bus.call(ControllerCall("State"), QDBus::Block, kReplyMs);
  if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() != 1) {
    return std::nullopt;
  }
  const QVariant state = reply.arguments().front();
  if (state.metaType() != QMetaType::fromType<int>()) return std::nullopt;
  switch (state.toInt()) {
    case 1: return false;
    case 2: return true;
    default: return std::nullopt;
  }
}

void Fcitx5InputMethodStatus::SetOpen(bool open) {
  QDBusConnection bus = Bus();
  if (bus.isConnected()) bus.send(ControllerCall(open ? "Activate" : "Deactivate"));
}

}  // namespace quill
