// What the placeholder libquillhook saw, for tests. The placeholder installs
// no hook and injects no key; it only counts the calls.
#pragma once

extern "C" {

// Number of _SetCBTHook calls in this process so far.
int QuillhookStubSetHookCalls();
// The block pointer of the last _SetCBTHook call (null before the first).
void* QuillhookStubLastBlock();

}  // extern "C"
