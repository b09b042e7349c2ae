// Placeholder libquillhook: the exports exist with their final signatures so
// that quillmain links and calls them at the right moments, but no hook is
// installed and no key is injected yet.
#include <atomic>
#include <cstring>

#include "hook/quillhook.h"
#include "hook/quillhook_stub.h"

namespace {

// The main window handle sits at byte 0x1C of the block, 32 bits little-endian.
constexpr size_t kMainWindowOffset = 0x1C;

std::atomic<int> g_set_hook_calls{0};
std::atomic<void*> g_last_block{nullptr};

}  // namespace

extern "C" {

void _KeyIn(int /*what*/, int /*row*/) {}

uint32_t _SetCBTHook(void* block) {
  g_set_hook_calls.fetch_add(1);
  g_last_block.store(block);
  if (block == nullptr) return 0;
  const auto* bytes = static_cast<const unsigned char*>(block);
  const unsigned char* p = bytes + kMainWindowOffset;
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

int _SetCap(uint32_t /*window*/) { return 0; }

int QuillhookStubSetHookCalls() { return g_set_hook_calls.load(); }
void* QuillhookStubLastBlock() { return g_last_block.load(); }

}  // extern "C"
