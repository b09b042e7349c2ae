// The hooks of libquillhook as quillmain installs and removes them: at
// start, again on each activation of another window, and at the end.
#pragma once

#include "platform/protocol/shared_hook_block.h"
#include "platform/ui.h"

class QObject;

namespace quill {

// Removes the three hooks whose handles are in the block: the window
// events, the mouse and the keyboard, in that order.
void RemoveHooks(const SharedHookBlock& block);

// Installs the hooks for the block (_SetCBTHook). Hot keys that another
// program holds, newly found, are reported once through `ui` (caption
// "警告"), after the current event, while `context` still exists.
void InstallHooks(SharedHookBlock& block, Ui& ui, QObject* context);

}  // namespace quill
