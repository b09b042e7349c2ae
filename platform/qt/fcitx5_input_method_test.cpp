// The fcitx5 controller port against a controller of the test's own on a
// private D-Bus session (dbus-daemon): the calls it makes for each state
// the controller answers, and nothing at all without a controller or bus.
#include "platform/qt/fcitx5_input_method.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QMutex>
#include <QMutexLocker>
#include <QObject>
#include <QProcess>
#include <QStringList>
#include <QThread>
#include <atomic>
#include <csignal>
#include <memory>
#include <optional>

#include "platform/qt/test_app_of.h"

namespace quill {
namespace {

QCoreApplication& App() { return TestAppOf<QCoreApplication>(); }

// fcitx5's controller as far as the port uses it: the state it answers
// and the calls it received, in order. It lives on a thread of its own,
// so that it answers while the port waits for the reply.
class FakeController : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.fcitx.Fcitx.Controller1")

 public:
  std::atomic<int> state{0};

  QStringList Calls() {
    QMutexLocker lock(&mutex_);
    return calls_;
  }

 public slots:
  int State() {
    Log("State");
    return state;
  }
  void Activate() {
    Log("Activate");
    state = 2;
  }
  void Deactivate() {
    Log("Deactivate");
    state = 1;
  }

 private:
  void Log(const char* call) {
    QMutexLocker lock(&mutex_);
    calls_ << QLatin1String(call);
  }
  QMutex mutex_;
  QStringList calls_;
};

// A D-Bus session of the test's own, with the fake controller on it under
// fcitx5's name.
class Fcitx5InputMethodTest : public testing::Test {
 protected:
  Fcitx5InputMethodTest() {
    App();
    QProcess daemon;
    daemon.start("dbus-daemon", {"--session", "--fork", "--print-address=1", "--print-pid=1"});
    if (!daemon.waitForFinished(10000)) return;
    const QStringList out = QString::fromUtf8(daemon.readAllStandardOutput()).split('\n');
    if (out.size() < 2) return;
    address_ = out[0].trimmed();
    daemon_pid_ = out[1].trimmed().toInt();
    thread_.start();
    controller_.moveToThread(&thread_);
    service_ = std::make_unique<QDBusConnection>(
        QDBusConnection::connectToBus(address_, QStringLiteral("controller")));
    client_ = std::make_unique<QDBusConnection>(
        QDBusConnection::connectToBus(address_, QStringLiteral("client")));
  }
  ~Fcitx5InputMethodTest() override {
    client_.reset();
    service_.reset();
    QDBusConnection::disconnectFromBus(QStringLiteral("client"));
    QDBusConnection::disconnectFromBus(QStringLiteral("controller"));
    thread_.quit();
    thread_.wait();
    if (daemon_pid_ > 0) kill(daemon_pid_, SIGTERM);
  }

  bool Serve() {
    return service_->isConnected() &&
           service_->registerObject("/controller", &controller_,
                                    QDBusConnection::ExportAllSlots) &&
           service_->registerService("org.fcitx.Fcitx5");
  }
  // The controller's calls once every message the port sent has arrived:
  // a State asked after them comes back only after they were handled.
  QStringList CallsSoFar() {
    Fcitx5InputMethodStatus(*client_).IsOpen();
    QStringList calls = controller_.Calls();
    calls.removeLast();
    return calls;
  }

  QString address_;
  int daemon_pid_ = 0;
  QThread thread_;
  FakeController controller_;
  std::unique_ptr<QDBusConnection> service_;
  std::unique_ptr<QDBusConnection> client_;
};

TEST_F(Fcitx5InputMethodTest, OpensOnlyAClosedInputMethodAndOnlyWhenTheSettingAsks) {
  ASSERT_GT(daemon_pid_, 0) << "dbus-daemon did not start (package dbus-daemon)";
  ASSERT_TRUE(Serve());
  struct Case {
    int state;
    bool setting;
    std::optional<bool> open;
    QStringList calls;  // after the State of the question
    int state_after;
  };
  const Case cases[] = {
      {1, true, false, {"Activate"}, 2},
      {1, false, false, {}, 1},
      {2, true, true, {}, 2},
      // No input context known to fcitx5, or a state this port does not
      // know: nothing is done.
      {0, true, std::nullopt, {}, 0},
      {7, true, std::nullopt, {}, 7},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.state);
    controller_.state = c.state;
    Fcitx5InputMethodStatus status(*client_);
    EXPECT_EQ(status.IsOpen(), c.open);
    const qsizetype before = controller_.Calls().size();
    OpenInputMethod(status, c.setting);
    QStringList calls = CallsSoFar().mid(before);
    if (c.setting) {
      ASSERT_FALSE(calls.isEmpty());
      EXPECT_EQ(calls.takeFirst(), "State");
    }
    EXPECT_EQ(calls, c.calls);
    EXPECT_EQ(controller_.state, c.state_after);
  }
  // Closing sends Deactivate.
  Fcitx5InputMethodStatus(*client_).SetOpen(false);
  EXPECT_EQ(CallsSoFar().last(), "Deactivate");
  EXPECT_EQ(controller_.state, 1);
}

TEST_F(Fcitx5InputMethodTest, WithoutTheControllerOrABusTheStateIsUnknown) {
  ASSERT_GT(daemon_pid_, 0) << "dbus-daemon did not start (package dbus-daemon)";
  // fcitx5 is not on the bus (ibus, or no input method at all).
  Fcitx5InputMethodStatus absent(*client_);
  EXPECT_EQ(absent.IsOpen(), std::nullopt);
  OpenInputMethod(absent, true);
  // No bus at all.
  QDBusConnection none = QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent"),
                                                       QStringLiteral("none"));
  ASSERT_FALSE(none.isConnected());
  Fcitx5InputMethodStatus unconnected(none);
  EXPECT_EQ(unconnected.IsOpen(), std::nullopt);
  OpenInputMethod(unconnected, true);
  QDBusConnection::disconnectFromBus(QStringLiteral("none"));
  // A controller that comes later is asked then, and got nothing before.
  ASSERT_TRUE(Serve());
  controller_.state = 1;
  EXPECT_EQ(absent.IsOpen(), false);
  EXPECT_EQ(controller_.Calls(), QStringList{"State"});
}

}  // namespace
}  // namespace quill

#include "fcitx5_input_method_test.moc"
