// FakeShell: a Shell that only records what it was asked to open, in
// order, as "file:" or "address:" followed by the CP932 text, and says a
// file was opened unless told otherwise.
#pragma once

#include <string>
#include <vector>

#include "platform/shell.h"

namespace quill {

class FakeShell final : public Shell {
 public:
  bool OpenFile(const std::string& path) override {
    opened.push_back("file:" + path);
    return opens_files;
  }
  void OpenAddress(const std::string& address) override {
    opened.push_back("address:" + address);
  }

  std::vector<std::string> opened;
  // False: the desktop has nothing to open a file with.
  bool opens_files = true;
};

}  // namespace quill
