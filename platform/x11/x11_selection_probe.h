// X11SelectionProbe: whether the owner of a selection answers at all.
//
// Reading a selection means asking its owner, which answers in its own
// time; a toolkit waits seconds for each request before it gives up, so an
// owner that hangs holds up whoever reads. The probe asks the owner for its
// targets on a connection of its own and waits only as long as it is told.
// The answer is kept for as long as the same window owns the selection.
//
// Not thread-safe: use one object from one thread.
#pragma once

#include <memory>

namespace quill {

class X11SelectionProbe {
 public:
  // Connects to `display_name` (null: $DISPLAY). Null when that fails.
  static std::unique_ptr<X11SelectionProbe> Open(const char* display_name = nullptr);
  ~X11SelectionProbe();
  X11SelectionProbe(const X11SelectionProbe&) = delete;
  X11SelectionProbe& operator=(const X11SelectionProbe&) = delete;

  // True when PRIMARY (`primary`) or CLIPBOARD has no owner, or when its
  // owner answered a request for its targets within `timeout_ms` (a
  // refusal is an answer too). `asked` (may be null) tells whether a
  // request went out this time or the owner's answer was known.
  bool OwnerAnswers(bool primary, int timeout_ms, bool* asked = nullptr);

 private:
  struct Impl;
  explicit X11SelectionProbe(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace quill
