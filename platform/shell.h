// Shell: hands a file or an address to the desktop, which opens it with the
// program the user chose for it (the "open" of a link in a card).
//
// Paths and addresses are CP932, as everywhere inside the program; the
// implementation converts them at the edge. Nothing here runs a command
// line: a file is opened as a file, an address as an address, so no text
// of a card is ever read by a shell.
#pragma once

#include <string>

namespace quill {

class Shell {
 public:
  virtual ~Shell() = default;
  // Opens a local file (an absolute path or one relative to the current
  // folder). False when the desktop has nothing to open it with.
  virtual bool OpenFile(const std::string& path) = 0;
  // Opens an address as it stands ("http://…", "https://…", "mailto:…").
  virtual void OpenAddress(const std::string& address) = 0;
};

}  // namespace quill
