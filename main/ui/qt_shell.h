// QtShell: the program's Shell on the desktop (QDesktopServices). A file
// becomes a file address, an address is handed over as it stands.
#pragma once

#include "platform/shell.h"

namespace quill {

class QtShell final : public Shell {
 public:
  bool OpenFile(const std::string& path) override;
  void OpenAddress(const std::string& address) override;
};

}  // namespace quill
