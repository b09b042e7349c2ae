// quillpad: the floating button bar. One runs at a time; quillmain starts
// it and closes it with command 9.
#include <QApplication>
#include <QGuiApplication>
#include <QSocketNotifier>
#include <cstdio>
#include <memory>
#include <string>

#include "buttonbar/bar_form.h"
#include "platform/instance_lock.h"
#include "platform/message_bus.h"
#include "platform/shared_memory.h"
#include "platform/x11/x11_window_system.h"

namespace quill {

namespace {

// The desktop without a display (offscreen): no windows, nothing in front.
class NoDesktop final : public WindowSystem {
 public:
  std::string ClassName(WindowHandle) override { return std::string(); }
  bool IsShellWindow(WindowHandle) override { return false; }
  bool IsVisible(WindowHandle) override { return false; }
  void ShowWindow(WindowHandle, ShowCommand) override {}
  void BringToTop(WindowHandle) override {}
  void SetForegroundWindow(WindowHandle) override {}
  void PumpMessages(uint32_t) override {}
  WindowHandle ActiveWindow() override { return 0; }
  std::string Title(WindowHandle) override { return std::string(); }
  WindowHandle Parent(WindowHandle) override { return 0; }
  WindowHandle TopLevel(WindowHandle) override { return 0; }
  bool Frame(WindowHandle, WindowRect*) override { return false; }
  PixelSize ScreenSize() override { return PixelSize{}; }
  ScreenPoint CursorPos() override { return ScreenPoint{}; }
  bool Activate(WindowHandle) override { return false; }
  bool SetRaiseAbove(WindowHandle, bool) override { return false; }
  bool NeverTakeFocus(WindowHandle) override { return false; }
  bool KeepOffTaskbar(WindowHandle) override { return false; }
};

bool OnXDisplay() { return QGuiApplication::platformName() == QLatin1String("xcb"); }

std::unique_ptr<WindowSystem> OpenDesktop() {
  if (OnXDisplay()) {
    if (std::unique_ptr<X11WindowSystem> x11 = X11WindowSystem::Open()) return x11;
  }
  return std::make_unique<NoDesktop>();
}

// The bar's handle in the block and for messages: its X window id on the
// desktop (quillmain and the window manager see the same window), else a
// handle of our own.
WindowHandle BarHandle(QWidget& form) {
  if (OnXDisplay()) return static_cast<WindowHandle>(form.winId() & 0xFFFFFFFFu);
  return AllocateWindowHandle();
}

int Fail(const std::string& what, const Status& status) {
  std::fprintf(stderr, "quillpad: %s: %s\n", what.c_str(), status.message().c_str());
  return 1;
}

}  // namespace

int WinMain(int argc, char** argv) {
  std::string runtime;
  Status s = RuntimeFolder(&runtime);
  if (!s.ok()) return Fail("run-time folder", s);
  std::unique_ptr<InstanceLock> lock;
  s = InstanceLock::TryAcquire(runtime + "/hQuillbuxButton.lock", &lock);
  if (!s.ok()) return Fail("lock", s);
  if (lock == nullptr) return 0;  // another bar is running

  QApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);  // the bar's closing ends the run
  std::unique_ptr<WindowSystem> windows = OpenDesktop();
  SocketMessageBus bus(runtime);
  TForm3 form(SharedBlockOpener(SharedBlockName()), *windows, bus, Clock::System());
  const WindowHandle self = BarHandle(form);

  std::unique_ptr<MessageReceiver> receiver;
  s = MessageReceiver::Open(runtime, self, &receiver);
  if (!s.ok()) return Fail("message socket", s);
  QSocketNotifier notifier(receiver->fd(), QSocketNotifier::Read);
  QObject::connect(&notifier, &QSocketNotifier::activated, &form, [&] {
    Message msg;
    while (receiver->Receive(&msg)) form.WndProc(msg);
  });
  QObject::connect(&form, &TForm3::Closed, &app, &QCoreApplication::quit, Qt::QueuedConnection);

  form.FormCreate(self);
  form.show();
  return QApplication::exec();
}

}  // namespace quill

int main(int argc, char** argv) { return quill::WinMain(argc, argv); }
