#include "platform/headless/desktop_clients.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string_view>
#include <thread>

extern char** environ;

namespace quill {

pid_t Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env,
            int out_fd, const std::string& err_path) {
  // The added variables replace ours of the same name.
  std::vector<std::string> env_strings = env;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string_view ours(*e);
    const std::string_view name = ours.substr(0, ours.find('=') + 1);
    const bool replaced = std::any_of(env.begin(), env.end(), [&](const std::string& added) {
      return std::string_view(added).substr(0, name.size()) == name;
    });
    if (!replaced) env_strings.emplace_back(ours);
  }
  std::vector<char*> envp, args;
  for (std::string& s : env_strings) envp.push_back(s.data());
  envp.push_back(nullptr);
  std::vector<std::string> argv_copy = argv;
  for (std::string& s : argv_copy) args.push_back(s.data());
  args.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  if (out_fd != -1) {
    posix_spawn_file_actions_adddup2(&actions, out_fd, 1);
  } else {
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  }
  posix_spawn_file_actions_addopen(&actions, 2, err_path.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                   0600);
  pid_t pid = -1;
  if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), envp.data()) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

RunResult RunTool(const std::vector<std::string>& argv) {
  RunResult result;
  // Close-on-exec: a tool that leaves a process behind (xclip serving the
  // clipboard) must not keep the pipe open.
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return result;
  pid_t pid = Spawn(argv, {}, fds[1], "/dev/null");
  ::close(fds[1]);
  char buf[4096];
  for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) > 0;) result.out.append(buf, size_t(n));
  ::close(fds[0]);
  int status = 0;
  if (pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status)) {
    result.status = WEXITSTATUS(status);
  }
  return result;
}

bool WaitFor(const std::function<bool()>& done, int ms) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  for (;;) {
    if (done()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

std::string Hex(WindowHandle w) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%x", static_cast<unsigned>(w));
  return buf;
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool ActivateWindow(WindowHandle w) {
  return RunTool({"xdotool", "windowactivate", "--sync", std::to_string(w)}).status == 0;
}

bool SelectAllGives(const std::string& text) {
  RunTool({"xdotool", "key", "--clearmodifiers", "ctrl+a"});
  return RunTool({"xclip", "-o", "-selection", "primary"}).out == text;
}

bool EditorHolds(WindowHandle editor, const std::string& text, int ms) {
  return WaitFor([&] { return ActivateWindow(editor) && SelectAllGives(text); }, ms);
}

std::vector<std::string> ClientEnvironment(const std::string& home) {
  return {
      "HOME=" + home,
      "XDG_CONFIG_HOME=" + home + "/config",
      "XDG_DATA_HOME=" + home + "/data",
      "XDG_CACHE_HOME=" + home + "/cache",
      "GSETTINGS_BACKEND=memory",
      "NO_AT_BRIDGE=1",
  };
}

TerminalAndEditor::TerminalAndEditor(const std::vector<std::string>& terminal_args,
                                     const std::string& editor_text)
    : terminal(
          [&] {
            std::vector<std::string> argv = {"xterm"};
            argv.insert(argv.end(), terminal_args.begin(), terminal_args.end());
            return argv;
          }(),
          ClientEnvironment(dir.Path()), dir.File("xterm.log")),
      editor(
          [&] {
            std::ofstream(dir.File(kEditorFile), std::ios::binary) << editor_text;
            return std::vector<std::string>{"mousepad", "--disable-server", dir.File(kEditorFile)};
          }(),
          ClientEnvironment(dir.Path()), dir.File("mousepad.log")) {}

TerminalAndEditor* TerminalAndEditor::StartTyping(const std::string& editor_text) {
  if (std::getenv("DISPLAY") == nullptr) return nullptr;
  return new TerminalAndEditor({"-e", "sh", "-c", "cat > \"$HOME/typed.txt\""}, editor_text);
}

std::string WriteFakeSoundPlayer(const std::string& folder) {
  const std::string log = folder + "/played.txt";
  const std::string player = folder + "/aplay";
  std::ofstream(player, std::ios::binary)
      << "#!/bin/sh\necho \"$@\" >> '" << log << "'\n";
  ::chmod(player.c_str(), 0755);
  return log;
}

void Client::Kill() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGKILL);
  ::waitpid(pid_, nullptr, 0);
  pid_ = -1;
}

WindowHandle Client::WaitForWindow() {
  WindowHandle window = 0;
  WaitFor(
      [&] {
        RunResult r = RunTool({"xdotool", "search", "--onlyvisible", "--pid", std::to_string(pid_)});
        window =
            r.status == 0 ? static_cast<WindowHandle>(std::strtoul(r.out.c_str(), nullptr, 10)) : 0;
        return window != 0;
      },
      20000);
  return window;
}

}  // namespace quill
