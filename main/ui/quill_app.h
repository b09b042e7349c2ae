// QuillApp: the program entry of quillmain, step by step: the arguments,
// the program folder, the single instance, the forms, the hooks, the
// message loop and the orderly end.
#pragma once

#include <QApplication>
#include <QObject>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "main/single_instance.h"
#include "platform/message_bus.h"
#include "platform/protocol/shared_hook_block.h"
#include "platform/status.h"

class QDialog;
class QSocketNotifier;

namespace quill {

class FileEnv;
class QtUi;
class TMainForm;
class Ui;

class QuillApp : public QObject {
  Q_OBJECT

 public:
  struct Options {
    std::vector<std::string> args;  // the arguments after the program name, CP932
    std::string program_folder;     // the per-user folder (created when missing)
    std::string install_folder;     // where quillmain and quillpad live
    std::string registry_path;      // the registry store's file
    InstanceNames names;            // block name and run-time folder
    FileEnv* env = nullptr;         // null: FileEnv::Default()
    std::function<bool()> shift_down;  // null: ask the window system
    // Messages, questions, beeps and popup menus; null: the desktop's (QtUi).
    Ui* ui = nullptr;
  };

  // Options of the real program: folders from the environment.
  static Status DefaultOptions(int argc, char** argv, Options* options);

  explicit QuillApp(Options options);
  ~QuillApp() override;

  enum class StartResult {
    kRunning,     // this process is the instance; the main window exists
    kHandedOver,  // another instance runs and got the argument
    kFailed,      // the reason has been shown; nothing is left running
  };
  // Everything before the message loop. `exit_code` receives the code to
  // end with when the result is not kRunning.
  StartResult Start(int* exit_code);
  // The message loop, then Finish. Returns the exit code.
  int Exec();
  // The end of the run: the forms go, the hooks are removed, the block is
  // unlinked and the lock released. Safe to call twice.
  void Finish();

  TMainForm* main_form() const { return main_form_.get(); }
  QDialog* kind_form() const { return kind_form_; }
  QDialog* replace_form() const { return replace_form_.get(); }
  WindowHandle main_window_handle() const { return main_window_; }
  const StartArguments& arguments() const { return arguments_; }

 private:
  void ShowStartFailure(const std::string& headline, const Status& status);
  void ReceiveMessages();

  Options options_;
  std::unique_ptr<QtUi> own_ui_;  // when the options bring none
  Ui& ui_;
  StartArguments arguments_;
  std::unique_ptr<SocketMessageBus> bus_;
  std::unique_ptr<InstanceOwner> owner_;
  std::optional<SharedHookBlock> block_;
  std::unique_ptr<TMainForm> main_form_;
  QDialog* kind_form_ = nullptr;  // the main window's
  std::unique_ptr<QDialog> replace_form_;
  WindowHandle main_window_ = 0;
  std::unique_ptr<MessageReceiver> receiver_;
  std::unique_ptr<QSocketNotifier> notifier_;
};

// A failure that ends the run: the message shown (CP932) and the exit
// code. Memory that ran out (std::bad_alloc) says "Out of memory" and ends
// with -1; any other exception shows its own message (or, without one, a
// general one) and ends with kFailedRunExitCode.
inline constexpr int kFailedRunExitCode = 2;
struct RunFailure {
  std::string text;
  int exit_code = kFailedRunExitCode;
};
RunFailure DescribeFailure(std::exception_ptr failure);

// The program's QApplication: an exception that leaves an event handler
// ends the message loop (every loop running) instead of the process; the
// first one is kept for the program to report.
class QuillApplication : public QApplication {
 public:
  QuillApplication(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* event) override;
  // The message loop (exec). An exception outside it (while the program
  // starts) is kept and lets the start go on to its end.
  int Run();
  std::exception_ptr failure() const { return failure_; }

 private:
  std::exception_ptr failure_;
  bool running_ = false;
};

// Runs the program's body and ends it: when an exception left the body,
// or an event handler while it ran (app's failure), `finish` releases what
// the run holds, the failure is written to standard output when memory
// ran out and shown through `ui`, and its exit code is returned; otherwise
// the body's result.
int RunToEnd(QuillApplication& app, Ui& ui, const std::function<int()>& body,
             const std::function<void()>& finish);

// The whole program: QuillApplication and QuillApp.
int WinMain(int argc, char** argv);

}  // namespace quill
