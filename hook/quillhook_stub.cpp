// Placeholder libquillhook: the exports exist with their final signatures so
// that quillmain links and calls them at the right moments, but no hook is
// installed and no key is injected yet.
#include <atomic>
#include <span>

#include "hook/quillhook.h"
#include "hook/quillhook_stub.h"
#include "platform/protocol/shared_hook_block.h"

namespace {

std::atomic<int> g_set_hook_calls{0};
std::atomic<void*> g_last_block{nullptr};

}  // namespace

extern "C" {

void _KeyIn(int /*what*/, int /*row*/) {}

uint32_t _SetCBTHook(void* block) {
  g_set_hook_calls.fetch_add(1);
  g_last_block.store(block);
  if (block == nullptr) return 0;
  quill::SharedHookBlock view(
      std::span<uint8_t, quill::kSharedHookBlockSize>(static_cast<uint8_t*>(block),
                                                      quill::kSharedHookBlockSize));
  return view.MainWindow();
}

int _SetCap(uint32_t /*window*/) { return 0; }

int QuillhookStubSetHookCalls() { return g_set_hook_calls.load(); }
void* QuillhookStubLastBlock() { return g_last_block.load(); }

}  // extern "C"
