// FakeArchiver: the archiver library for tests. It logs each command line
// and either passes it to a SevenZip function of the test (the real code,
// linked in) or answers with a set result and output, touching no file.
// Uninstalled, it runs nothing.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/archiver.h"

namespace quill {

class FakeArchiver final : public Archiver {
 public:
  using Function = int (*)(uint32_t owner, const char* command_line, char* output,
                           uint32_t size);

  // Runs `function` for each command; null answers with Fail's values.
  explicit FakeArchiver(Function function = nullptr) : function_(function) {}

  void SetInstalled(bool installed) { installed_ = installed; }
  // From now on, answers `result` and `output` without running anything.
  void Fail(int result, std::string output) {
    function_ = nullptr;
    result_ = result;
    output_ = std::move(output);
  }

  ArchiverRun SevenZip(uint32_t owner, const std::string& command_line) override {
    ArchiverRun run;
    if (!installed_) return run;
    run.installed = true;
    commands_.push_back(command_line);
    if (function_ == nullptr) {
      run.result = result_;
      run.output = output_;
      return run;
    }
    char output[1000] = {};
    run.result = function_(owner, command_line.c_str(), output, sizeof output);
    run.output = output;
    return run;
  }

  const std::vector<std::string>& commands() const { return commands_; }

 private:
  Function function_;
  bool installed_ = true;
  int result_ = 0;
  std::string output_;
  std::vector<std::string> commands_;
};

}  // namespace quill
