// Exports of libquillhook, the library that watches the desktop for hot keys
// and window events and injects the copy, cut and paste keys.
//
// The names and argument lists are the library's wire contract with
// quillmain: plain C functions, window handles as 32-bit values.
#pragma once

#include <cstdint>

extern "C" {

// Injects one key sequence into the window in front: `what` chooses copy,
// cut or paste, `row` the key row of the window's class.
void _KeyIn(int what, int row);

// Installs the three hooks for the shared block at `block` (the 5,272-byte
// block "didevar" as mapped by quillmain), records their handles in it and
// returns the main window handle that the block holds.
uint32_t _SetCBTHook(void* block);

// With a window: captures the mouse for it and returns the previous
// capture window; with 0: releases the capture and returns the result.
int _SetCap(uint32_t window);

}  // extern "C"
