// KeyInjector: keys typed into the application in front, as if the user
// had pressed them.
//
// KeyIn sends one of the key sequences that make an application copy, cut
// or paste, chosen by letter and row (the hook library's _KeyIn); the
// other calls press single keys. Keys go to whatever window is in front:
// callers make sure it is the one they mean first.
#pragma once

namespace quill {

class KeyInjector {
 public:
  // The letters of KeyIn.
  static constexpr int kRelease = 'O';  // let go of Shift, Ctrl and Alt (row 0)
  static constexpr int kCopy = 'C';     // rows 0..3: Alt E C, F8, Shift+F8, Ctrl+C
  static constexpr int kCut = 'X';      // rows 0..3: Alt E T, F7, F8, Ctrl+X
  static constexpr int kPaste = 'P';    // rows 0..2: Alt E P, Shift+F9, Ctrl+V

  virtual ~KeyInjector() = default;

  virtual void KeyIn(int what, int row) = 0;
  // Enter, pressed and released.
  virtual void PressEnter() = 0;
  // Shift+Insert: pastes the PRIMARY selection in X applications.
  virtual void PressShiftInsert() = 0;
};

}  // namespace quill
