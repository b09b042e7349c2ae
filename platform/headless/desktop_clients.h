// Real X clients for the desktop tests: starting a program with extra
// environment, running a short tool to its end, waiting for a condition,
// and a client that is killed when the test is done with it.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/headless/temp_dir.h"
#include "platform/message_bus.h"

namespace quill {

struct RunResult {
  int status = -1;  // exit code, -1 when it did not end normally
  std::string out;
};

// Starts argv[0] (looked up in PATH) with `env` ("NAME=value" each) in
// our environment, in place of ours of the same names;
// stdin is /dev/null, stdout goes to `out_fd` (-1: /dev/null), stderr is
// appended to `err_path`. Returns the process id, -1 when it failed.
pid_t Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env,
            int out_fd, const std::string& err_path);

// Runs a short tool to its end and returns its output.
RunResult RunTool(const std::vector<std::string>& argv);

// Polls `done` every 50 ms for at most `ms`; its last answer.
bool WaitFor(const std::function<bool()>& done, int ms);

// "0x" and the window id in hex, as X tools take it.
std::string Hex(WindowHandle w);

// The whole file's bytes, "" when it cannot be read.
std::string ReadFileBytes(const std::string& path);

// Brings the window to the front (xdotool) and waits until it is there;
// false when it did not come.
bool ActivateWindow(WindowHandle w);

// Ctrl+A in the window in front; whether the PRIMARY selection then holds
// `text`.
bool SelectAllGives(const std::string& text);

// Selects the whole text of an editor window (Ctrl+A in it) until the
// PRIMARY selection holds `text`; false when it did not within `ms`.
bool EditorHolds(WindowHandle editor, const std::string& text, int ms = 10000);

// Variables that keep a client (an editor, a terminal) in `home`, away
// from the user's files and from the session bus.
std::vector<std::string> ClientEnvironment(const std::string& home);

// A stand-in for the sound player "aplay" in `folder`, for the PATH of the
// program under test: each run appends its arguments as one line to the
// file whose path it returns.
std::string WriteFakeSoundPlayer(const std::string& folder);

class Client {
 public:
  Client(const std::vector<std::string>& argv, const std::vector<std::string>& env,
         const std::string& log)
      : pid_(Spawn(argv, env, -1, log)) {}
  ~Client() { Kill(); }
  Client(const Client&) = delete;
  Client& operator=(const Client&) = delete;

  pid_t pid() const { return pid_; }
  void Kill();
  // Waits for the client's visible top-level window; 0 when none came.
  WindowHandle WaitForWindow();

 private:
  pid_t pid_;
};

// A terminal and a text editor for a suite of tests, in a fresh folder
// that is their home (and holds their error logs): xterm with
// `terminal_args`, and mousepad on kEditorFile holding `editor_text`.
struct TerminalAndEditor {
  static constexpr char kEditorFile[] = "メモ.txt";  // a Japanese name in its title

  TerminalAndEditor(const std::vector<std::string>& terminal_args,
                    const std::string& editor_text);
  // xterm running `cat` into typed_file() (what is typed there lands in
  // the file; a Ctrl+C would end it) and mousepad holding `editor_text`;
  // null without a display.
  static TerminalAndEditor* StartTyping(const std::string& editor_text);
  std::string typed_file() const { return dir.File("typed.txt"); }

  TempDir dir;
  Client terminal;
  Client editor;
};

}  // namespace quill
