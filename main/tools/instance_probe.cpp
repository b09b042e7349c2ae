// instance_probe: starts the way quillmain does up to its single-instance
// step, for the tests that need a second real process.
//
//   instance_probe [R|r] [name]
//
// As a second instance it hands its argument over and ends with the start's
// exit code. As the owner it stores a window handle in the block (the
// hexadecimal value of PROBE_MAIN_WINDOW, or a fresh one), writes "owner"
// and a newline to standard output, and runs until its standard input is
// closed; then it ends cleanly, removing the block. A start that fails
// prints the message to standard error and ends with a non-zero code.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "main/single_instance.h"

int main(int argc, char** argv) {
  using namespace quill;
  StartArguments args = WalkArguments(std::vector<std::string>(argv + 1, argv + argc));
  InstanceNames names;
  Status s = DefaultInstanceNames(&names);
  InstanceStart start;
  if (s.ok()) {
    SocketMessageBus bus(names.runtime_folder);
    s = StartSingleInstance(names, args.start_argument, bus, &start);
  }
  if (!s.ok()) {
    std::fprintf(stderr, "%s\n", s.message().c_str());
    return kStartFailedExitCode;
  }
  if (!start.owner) return start.exit_code;

  const char* window = std::getenv("PROBE_MAIN_WINDOW");
  start.owner->Block().SetMainWindow(
      window ? static_cast<WindowHandle>(std::strtoul(window, nullptr, 16))
             : AllocateWindowHandle());
  std::printf("owner\n");
  std::fflush(stdout);
  char c;
  while (::read(0, &c, 1) > 0) {
  }
  s = start.owner->Release();
  return s.ok() ? 0 : kStartFailedExitCode;
}
