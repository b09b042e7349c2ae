// The key sequences that make the application in front copy, cut or paste
// (_KeyIn), as virtual-key codes: the rows of each letter, and sending one
// row through a KeySink (XTest on the desktop, a key log in tests).
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "hook/hook_block.h"

namespace quill {

struct KeyStroke {
  uint8_t vk = 0;
  bool press = false;  // false: the key goes up
  bool operator==(const KeyStroke&) const = default;
};

// Where the key events go.
class KeySink {
 public:
  virtual ~KeySink() = default;
  // Before the first key of a sequence, once InjectCount is set.
  virtual void BeginSequence() {}
  virtual void SendKey(uint8_t vk, bool press) = 0;
  // Whether the key is down now (the user's own or an injected press).
  virtual bool IsKeyDown(uint8_t vk) = 0;
};

// The letters of _KeyIn.
inline constexpr int kKeyInRelease = 'O';  // let go of Shift, Ctrl and Alt
inline constexpr int kKeyInCopy = 'C';
inline constexpr int kKeyInCut = 'X';
inline constexpr int kKeyInPaste = 'P';

// The row `row` of letter `what`; empty when the letter is unknown or has
// no such row. 'C' and 'X' have rows 0..3, 'P' rows 0..2; 'O' has one
// row, which it gives for any `row`.
std::span<const KeyStroke> KeySequence(int what, int row);

// Sends one row. Before the keys go out, InjectCount in the block (when
// there is one) becomes 2, so that an Enter among the next key events is
// swallowed. For 'O' only the modifiers that are down are let go. The
// sink hears BeginSequence before the first key it gets (not at all when
// there is none). An unknown letter or row sends nothing, changes nothing
// and returns false.
bool KeyIn(int what, int row, SharedHookBlock* block, KeySink& sink);

// The shared memory "Wrenloop" of an outside program, named for this user
// as the block is: "/Wrenloop-<uid>".
std::string WrenloopName();
// Before each key sequence: when the shared memory `name` exists (this
// user's, at least 2 bytes), its first 16 bits become 1. It is never
// created. True when the value was written.
bool MarkWrenloop(const std::string& name);

}  // namespace quill
