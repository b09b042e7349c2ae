// What libquillhook saw of its callers, for tests of the programs that
// link it.
#pragma once

#include "hook/quillhook.h"

extern "C" {

// Number of _SetCBTHook calls in this process so far.
QUILLHOOK_EXPORT int QuillhookSetHookCalls();
// The block pointer of the last _SetCBTHook call (null before the first).
QUILLHOOK_EXPORT void* QuillhookLastBlock();
// Takes Enter from the applications as _KeyIn does while its keys go by
// (1, once the grab is in place), or lets it go once the key events so
// far are handled (0).
QUILLHOOK_EXPORT void QuillhookHoldEnter(int hold);

}  // extern "C"
