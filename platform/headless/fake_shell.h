// FakeShell: a Shell that only records what it was asked to open, in
// order, as "file:" or "address:" followed by the CP932 text.
#pragma once

#include <string>
#include <vector>

#include "platform/shell.h"

namespace quill {

class FakeShell final : public Shell {
 public:
  void OpenFile(const std::string& path) override { opened.push_back("file:" + path); }
  void OpenAddress(const std::string& address) override {
    opened.push_back("address:" + address);
  }

  std::vector<std::string> opened;
};

}  // namespace quill
