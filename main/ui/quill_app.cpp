#include "main/ui/quill_app.h"

#include <unistd.h>

#include <cstdio>
#include <exception>
#include <new>

#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QGuiApplication>
#include <QSocketNotifier>
#include <cstdio>

#include "hook/quillhook.h"
#include "main/ui/main_form.h"
#include "main/ui/qt_ui.h"
#include "main/ui/qt_translations.h"
#include "main/ui/quill_hooks.h"
#include "main/ui/search_forms.h"
#include "platform/file_env.h"
#include "platform/messages.h"
#include "platform/paths.h"
#include "platform/text_codec.h"
#include "platform/ui_messages.h"

namespace quill {

namespace {

// Creates folder and every missing folder above it.
Status CreateFolders(FileEnv& env, const std::string& folder) {
  std::string path;
  size_t pos = 0;
  while (pos != std::string::npos) {
    size_t next = folder.find('/', pos + 1);
    path = folder.substr(0, next);
    pos = next;
    // A folder on the way that is there already (a link the user made
    // included) is taken as it is; only missing ones are made.
    if (path.empty() || path == "/" || env.Exists(path)) continue;
    QUILL_RETURN_IF_ERROR(env.CreateDir(path));
  }
  return Status::Ok();
}

// The window handle the block and the message sockets use for the main
// window: its X window id on the desktop (the hook library and the button
// bar see it as a real window there), otherwise a handle of our own.
WindowHandle MainWindowHandle(QWidget* window) {
  if (QGuiApplication::platformName() == QLatin1String("xcb")) {
    return static_cast<WindowHandle>(window->winId() & 0xFFFFFFFFu);
  }
  return AllocateWindowHandle();
}

}  // namespace

Status QuillApp::DefaultOptions(int argc, char** argv, Options* options) {
  options->args.clear();
  // Command lines are UTF-8; data-set names inside the program are CP932.
  for (int i = 1; i < argc; ++i) options->args.push_back(Utf8ToCp932(argv[i]));
  options->program_folder = ProgramFolder();
  options->install_folder = QCoreApplication::applicationDirPath().toStdString();
  options->registry_path = RegistryFilePath();
  return DefaultInstanceNames(&options->names);
}

QuillApp::QuillApp(Options options)
    : options_(std::move(options)),
      own_ui_(options_.ui == nullptr ? std::make_unique<QtUi>(options_.install_folder) : nullptr),
      ui_(options_.ui != nullptr ? *options_.ui : *own_ui_) {}

QuillApp::~QuillApp() { Finish(); }

void QuillApp::ShowStartFailure(const std::string& headline, const Status& status) {
  std::string text = headline;
  if (!status.message().empty()) text += "\n" + status.message();
  ShowWarning(ui_, Utf8ToCp932(text));
}

QuillApp::StartResult QuillApp::Start(int* exit_code) {
  *exit_code = kStartFailedExitCode;
  FileEnv& env = options_.env != nullptr ? *options_.env : FileEnv::Default();

  // The arguments: "R"/"r" suppress the reset question, the last other
  // argument names a data set.
  arguments_ = WalkArguments(options_.args);

  // The program folder is the working directory, so that "tmp", "*.cta"
  // and "Sample.dat" resolve in it.
  std::string folder = options_.program_folder;
  if (folder.empty()) {
    ShowStartFailure(MessageUtf8(MessageId::kNoProgramFolder), Status::Invalid(""));
    return StartResult::kFailed;
  }
  if (folder.back() != '/') folder += '/';
  Status s = CreateFolders(env, folder.substr(0, folder.size() - 1));
  if (s.ok() && ::chdir(folder.c_str()) != 0) {
    s = Status::IoError("chdir " + folder + " failed");
  }
  if (!s.ok()) {
    ShowStartFailure(MessageUtf8(MessageId::kProgramFolderNotUsable, {folder}), s);
    return StartResult::kFailed;
  }

  // Single instance: the running one gets the argument and comes forward.
  bus_ = std::make_unique<SocketMessageBus>(options_.names.runtime_folder);
  InstanceStart start;
  s = StartSingleInstance(options_.names, arguments_.start_argument, *bus_, &start);
  if (!s.ok()) {
    ShowStartFailure(MessageUtf8(MessageId::kCannotStart), s);
    return StartResult::kFailed;
  }
  if (!start.owner) {
    *exit_code = start.exit_code;
    return StartResult::kHandedOver;
  }
  owner_ = std::move(start.owner);
  block_.emplace(owner_->Block());

  // The forms that live for the whole run, main window first.
  MainFormContext context;
  context.env = options_.env;
  context.program_folder = folder;
  context.install_folder = options_.install_folder;
  context.registry_path = options_.registry_path;
  context.start_argument = arguments_.start_argument;
  context.no_reset_prompt = arguments_.no_reset_prompt;
  context.block = &*block_;
  context.bus = bus_.get();
  context.ui = &ui_;
  context.shift_down = options_.shift_down;
  main_form_ = std::make_unique<TMainForm>(std::move(context));
  s = main_form_->FormCreate();
  if (!s.ok()) {
    bool reported = main_form_->start_failure_reported();
    Finish();  // nothing stays held while the message is up
    if (!reported) ShowStartFailure(MessageUtf8(MessageId::kCannotStart), s);
    return StartResult::kFailed;
  }
  kind_form_ = main_form_->KindForm();
  replace_form_ = std::make_unique<TReplaceFm>(main_form_.get(), ReplaceForm());

  // The main window's handle goes into the block, and messages posted to
  // it reach WndProc.
  main_window_ = MainWindowHandle(main_form_.get());
  s = MessageReceiver::Open(options_.names.runtime_folder, main_window_, &receiver_);
  if (!s.ok()) {
    main_form_->close();
    Finish();
    ShowStartFailure(MessageUtf8(MessageId::kNoMessageReceiver), s);
    return StartResult::kFailed;
  }
  notifier_ = std::make_unique<QSocketNotifier>(receiver_->fd(), QSocketNotifier::Read);
  connect(notifier_.get(), &QSocketNotifier::activated, this, &QuillApp::ReceiveMessages);
  block_->SetMainWindow(main_window_);
  InstallHooks(*block_, ui_, main_form_.get());

  // The feedback bitmaps are loaded with capture.
  *exit_code = 0;
  return StartResult::kRunning;
}

void QuillApp::ReceiveMessages() {
  Message msg;
  while (receiver_ != nullptr && receiver_->Receive(&msg)) {
    if (main_form_ != nullptr) main_form_->WndProc(msg.message, msg.wparam, msg.lparam);
  }
}

int QuillApp::Exec() {
  QApplication::setQuitOnLastWindowClosed(false);  // the main window ends the run
  if (auto* app = dynamic_cast<QuillApplication*>(QCoreApplication::instance())) {
    app->Run();
  } else {
    QApplication::exec();
  }
  Finish();
  return 0;
}

void QuillApp::Finish() {
  notifier_.reset();
  receiver_.reset();
  replace_form_.reset();
  kind_form_ = nullptr;
  if (main_form_ != nullptr) {
    main_form_->FormDestroy();
    main_form_.reset();
  }
  // The hooks go before the block they work on.
  if (block_) RemoveHooks(*block_);
  block_.reset();
  if (owner_ != nullptr) {
    owner_->Release();
    owner_.reset();
  }
  bus_.reset();
}

// --- failures that end the run ---

RunFailure DescribeFailure(std::exception_ptr failure) {
  RunFailure out;
  out.text = MessageText(MessageId::kUnexpectedFailure);
  try {
    if (failure) std::rethrow_exception(failure);
  } catch (const std::bad_alloc&) {
    out.text = MessageText(MessageId::kOutOfMemory);
    out.exit_code = -1;
  } catch (const std::exception& e) {
    if (e.what() != nullptr && e.what()[0] != '\0') out.text = Utf8ToCp932(e.what());
  } catch (...) {
  }
  return out;
}

QuillApplication::QuillApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool QuillApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (...) {
    // The first failure is the one to report; the loop ends with it, and
    // whatever runs after it meanwhile only unwinds.
    if (!failure_) {
      failure_ = std::current_exception();
      if (running_) QCoreApplication::exit(DescribeFailure(failure_).exit_code);
    }
    return false;
  }
}

int QuillApplication::Run() {
  running_ = true;
  const int result = exec();
  running_ = false;
  return result;
}

int RunToEnd(QuillApplication& app, Ui& ui, const std::function<int()>& body,
             const std::function<void()>& finish) {
  int result = 0;
  std::exception_ptr failure;
  try {
    result = body();
  } catch (...) {
    failure = std::current_exception();
  }
  if (!failure) failure = app.failure();
  if (!failure) return result;
  // The hooks, the block and the lock go first; a second failure there
  // does not hide the first.
  try {
    finish();
  } catch (...) {
  }
  const RunFailure f = DescribeFailure(failure);
  if (f.exit_code == -1) {
    std::fputs((f.text + "\n").c_str(), stdout);
    std::fflush(stdout);
  }
  try {
    // Captioned with the program's title, as the main window is.
    ui.ShowMessageDialog(f.text, "Quillbox ", kMessageOk);
  } catch (...) {
  }
  return f.exit_code;
}

int WinMain(int argc, char** argv) {
  QuillApplication app(argc, argv);
  // Qt's dialogs speak Japanese like the rest of the program; without the
  // translation they still work, in English.
  const Status translated = LoadQtTranslations(app);
  if (!translated.ok()) std::fprintf(stderr, "quillmain: %s\n", translated.message().c_str());
  // The program's title is its main window's caption, "Quillbox ". (An
  // application display name would be appended to every dialog caption.)
  QApplication::setWindowIcon(ProgramIcon());
  QuillApp::Options options;
  Status s = QuillApp::DefaultOptions(argc, argv, &options);
  QtUi ui(options.install_folder);
  if (!s.ok()) {
    ui.ShowMessageDialog(Utf8ToCp932(s.message()), MessageText(MessageId::kWarningCaption),
                         kMessageOk);
    return kStartFailedExitCode;
  }
  options.ui = &ui;
  std::unique_ptr<QuillApp> quill;
  return RunToEnd(
      app, ui,
      [&] {
        quill = std::make_unique<QuillApp>(std::move(options));
        int exit_code = 0;
        if (quill->Start(&exit_code) != QuillApp::StartResult::kRunning) return exit_code;
        // A failure while the program started is reported, not run with.
        if (app.failure()) return exit_code;
        return quill->Exec();
      },
      [&] {
        if (quill != nullptr) quill->Finish();
      });
}

}  // namespace quill
