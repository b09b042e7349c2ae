// Exports of libquillhook, the library that watches the desktop for hot keys
// and window events and injects the copy, cut and paste keys.
//
// The names and argument lists are the library's wire contract with
// quillmain: plain C functions, window handles as 32-bit values.
//
// The hooks are one input monitor on a thread of the library, in the
// process that calls _SetCBTHook (quillmain); see hook/x11_input_monitor.h.
#pragma once

#include <cstdint>

// The library builds with hidden symbols; these are its exports.
#define QUILLHOOK_EXPORT __attribute__((visibility("default")))

extern "C" {

// Injects one key sequence into the window in front: `what` chooses copy
// ('C'), cut ('X'), paste ('P') or letting go of Shift, Ctrl and Alt ('O'),
// `row` the sequence for the window's class. An unknown letter or row
// injects nothing. When a hot key whose press was just taken is still
// held, waits up to a second for it to be released first. While the keys
// go by, an Enter pressed among them (while InjectCount is not 0) is
// taken from the application. Before all
// that, the first 16 bits of the shared memory "/Wrenloop-<uid>" of an
// outside program become 1, when it exists.
QUILLHOOK_EXPORT void _KeyIn(int what, int row);

// Installs the three hooks (window events, keyboard, mouse) for the shared
// block at `block` (the 5,272-byte block "didevar" as mapped by quillmain),
// records them in the block and returns the main window handle that the
// block holds. A hook that cannot run (no display) gets the handle 0.
// Called again, it installs what has been removed and takes the current
// hot keys, grabbing only the keys that changed; it waits until the keys
// are grabbed. The block must stay mapped until every hook is removed.
QUILLHOOK_EXPORT uint32_t _SetCBTHook(void* block);

// Removes the hook whose handle (from a HookRecord of the block) is given.
// Returns 1, or 0 when no installed hook has that handle. Once all three
// are removed, the library no longer touches the block.
QUILLHOOK_EXPORT int UnhookWindowsHookEx(uint32_t handle);

// With a window: captures the pointer for it and returns the previous
// capture window; with 0: releases the capture and returns 1 (0 when that
// failed).
QUILLHOOK_EXPORT int _SetCap(uint32_t window);

// The hot keys that could not be taken from the applications because
// another program holds them, found since the last call and not yet
// taken: their names ("Ctrl+Alt+K"), one per line, written to `out` and
// ended with a NUL within `size` bytes. Names that do not fit stay for
// the next call. Returns the number of names written.
QUILLHOOK_EXPORT int _TakeHotkeyConflicts(char* out, int size);

}  // extern "C"
