// The hooks of libquillhook as quillmain installs and removes them: at
// start, again on each activation of another window, and at the end.
#pragma once

#include "clip/shared_hook_block.h"

class QWidget;

namespace quill {

// Removes the three hooks whose handles are in the block: the window
// events, the mouse and the keyboard, in that order.
void RemoveHooks(const SharedHookBlock& block);

// Installs the hooks for the block (_SetCBTHook). Hot keys that another
// program holds, newly found, are reported once through the message
// dialog (caption "警告"), owned by `owner`, after the current event.
void InstallHooks(SharedHookBlock& block, QWidget* owner);

}  // namespace quill
