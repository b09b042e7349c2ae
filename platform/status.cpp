#include "platform/status.h"

namespace quill {

std::string Status::ToString() const {
  static const char* const kNames[] = {"ok",      "not found", "permission denied",
                                       "I/O error", "no space", "corrupt",
                                       "invalid",   "out of range", "duplicate", "fatal"};
  std::string s = kNames[code_];
  if (!message_.empty()) {
    s += ": ";
    s += message_;
  }
  return s;
}

}  // namespace quill
