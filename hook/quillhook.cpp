// libquillhook's exports over the X11 input monitor and the key injector.
//
// The monitor lives in the process that installs the hooks (quillmain),
// so what the library keeps between calls (the main window that receives
// the window events, the handles, the block) is ordinary library data.
#include "hook/quillhook.h"

#include <array>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "hook/hook_block.h"
#include "hook/key_sequences.h"
#include "hook/quillhook_seam.h"
#include "hook/x11_input_monitor.h"
#include "hook/x11_key_injector.h"
#include "platform/clock.h"
#include "platform/instance_lock.h"
#include "platform/log.h"
#include "platform/message_bus.h"

namespace quill {
namespace {

enum Part { kCbtPart, kKeyboardPart, kMousePart, kPartCount };

// How long _KeyIn waits for a held hot key to be released.
constexpr int kHeldKeyWaitMs = 1000;

struct HookLibrary {
  HookLibrary() {
    // The monitor's thread uses the clock until the library goes: make
    // sure the clock is there before, and so still there after.
    Clock::System();
  }
  ~HookLibrary() {
    monitor.reset();  // stops the thread before anything else goes
  }

  // The monitor, started on the first call that finds a display.
  X11InputMonitor* Monitor() {
    // Without the run-time folder no post could reach the main window.
    std::string folder;
    if (monitor == nullptr && std::getenv("DISPLAY") != nullptr && RuntimeFolder(&folder).ok()) {
      monitor = X11InputMonitor::Start(std::make_unique<SocketMessageBus>(folder),
                                       Clock::System());
    }
    return monitor.get();
  }

  X11KeyInjector* Injector() {
    if (injector == nullptr && std::getenv("DISPLAY") != nullptr) injector = X11KeyInjector::Open();
    return injector.get();
  }

  bool AnyInstalled() const {
    for (uint32_t h : handles) {
      if (h != 0) return true;
    }
    return false;
  }

  X11InputMonitor::Config CurrentConfig() {
    X11InputMonitor::Config config;
    config.block = block ? &*block : nullptr;
    config.main_window = main_window;
    config.cbt = handles[kCbtPart] != 0;
    config.keyboard = handles[kKeyboardPart] != 0;
    config.mouse = handles[kMousePart] != 0;
    config.hotkeys = hotkeys;
    return config;
  }

  uint32_t NewHandle() {
    if (++last_handle == 0) ++last_handle;
    return last_handle;
  }

  std::mutex mutex;
  std::unique_ptr<X11InputMonitor> monitor;
  std::unique_ptr<X11KeyInjector> injector;
  std::optional<SharedHookBlock> block;  // while a hook is installed
  WindowHandle main_window = 0;          // receiver of the window events
  std::array<uint32_t, kPartCount> handles{};
  uint32_t last_handle = 0;
  std::vector<HotkeyWord> hotkeys;
  std::vector<std::string> conflicts;    // found, not yet taken
  WindowHandle capture = 0;              // _SetCap's window

  std::atomic<int> set_hook_calls{0};
  std::atomic<void*> last_block{nullptr};
};

HookLibrary& Library() {
  static HookLibrary library;
  return library;
}

// The injector's keys, with Enter taken from the applications while those
// of one sequence go by (when the monitor runs).
class EnterGuardedKeys final : public KeySink {
 public:
  EnterGuardedKeys(KeySink& keys, X11InputMonitor* monitor) : keys_(keys), monitor_(monitor) {}
  void BeginSequence() override {
    if (monitor_ != nullptr) monitor_->HoldEnter();
  }
  void SendKey(uint8_t vk, bool press) override { keys_.SendKey(vk, press); }
  bool IsKeyDown(uint8_t vk) override { return keys_.IsKeyDown(vk); }

 private:
  KeySink& keys_;
  X11InputMonitor* monitor_;
};

// The words whose keys the monitor takes: the eight hot keys and the ten
// super-paste keys.
std::vector<HotkeyWord> HotkeysOf(const SharedHookBlock& block) {
  std::vector<HotkeyWord> words;
  for (int slot = 0; slot < SharedHookBlock::kHotkeySlotCount; ++slot) {
    words.push_back(block.Hotkey(static_cast<SharedHookBlock::HotkeySlot>(slot)));
  }
  for (size_t slot = 0; slot < SharedHookBlock::kSuperPasteKeyCount; ++slot) {
    words.push_back(block.SuperPasteKey(slot));
  }
  return words;
}

}  // namespace
}  // namespace quill

using quill::HookLibrary;
using quill::Library;

extern "C" {

void _KeyIn(int what, int row) {
  quill::MarkWrenloop(quill::WrenloopName());
  if (quill::KeySequence(what, row).empty()) return;
  HookLibrary& lib = Library();
  std::lock_guard<std::mutex> lock(lib.mutex);
  quill::X11KeyInjector* injector = lib.Injector();
  if (injector == nullptr) return;
  if (lib.monitor != nullptr) {
    if (const uint32_t held = lib.monitor->HeldHotkey(); held != 0) {
      if (!injector->WaitForRelease(held, quill::kHeldKeyWaitMs)) {
        quill::LogLine("key-release wait: the hot key still held after " +
                       std::to_string(quill::kHeldKeyWaitMs) + " ms; the keys go out all the same");
      }
      lib.monitor->ForgetHeldHotkey();  // one wait per press
    }
  }
  injector->Update();
  quill::EnterGuardedKeys keys(*injector, lib.monitor.get());
  quill::KeyIn(what, row, lib.block ? &*lib.block : nullptr, keys);
  injector->Sync();
  if (lib.monitor != nullptr) lib.monitor->ReleaseEnter();
}

uint32_t _SetCBTHook(void* block) {
  HookLibrary& lib = Library();
  lib.set_hook_calls.fetch_add(1);
  lib.last_block.store(block);
  if (block == nullptr) return 0;
  std::lock_guard<std::mutex> lock(lib.mutex);
  quill::SharedHookBlock view(
      std::span<uint8_t, quill::kSharedHookBlockSize>(static_cast<uint8_t*>(block),
                                                      quill::kSharedHookBlockSize));
  quill::X11InputMonitor* monitor = lib.Monitor();
  lib.main_window = view.MainWindow();
  lib.hotkeys = quill::HotkeysOf(view);
  for (int part = 0; part < quill::kPartCount; ++part) {
    const bool runs =
        monitor != nullptr && (part == quill::kCbtPart || monitor->has_raw_input());
    if (!runs) {
      lib.handles[part] = 0;
    } else if (lib.handles[part] == 0) {
      lib.handles[part] = lib.NewHandle();
    }
  }
  if (lib.AnyInstalled()) {
    lib.block.emplace(view);
  } else {
    lib.block.reset();
  }
  if (monitor != nullptr) {
    monitor->Configure(lib.CurrentConfig(), /*wait=*/true);
    for (std::string& name : monitor->TakeConflicts()) lib.conflicts.push_back(std::move(name));
  }
  // The procedure addresses of the records mean nothing outside the
  // library; they stay 0.
  view.SetCbtHook({quill::kHookTypeCbt, 0, lib.handles[quill::kCbtPart]});
  view.SetKeyboardHook({quill::kHookTypeKeyboard, 0, lib.handles[quill::kKeyboardPart]});
  view.SetMouseHook({quill::kHookTypeMouse, 0, lib.handles[quill::kMousePart]});
  return lib.main_window;
}

int UnhookWindowsHookEx(uint32_t handle) {
  if (handle == 0) return 0;
  HookLibrary& lib = Library();
  std::lock_guard<std::mutex> lock(lib.mutex);
  bool found = false;
  for (uint32_t& h : lib.handles) {
    if (h == handle) {
      h = 0;
      found = true;
    }
  }
  if (!found) return 0;
  if (!lib.AnyInstalled()) lib.block.reset();
  // Takes effect for the procedures before this returns.
  if (lib.monitor != nullptr) lib.monitor->Configure(lib.CurrentConfig(), /*wait=*/false);
  return 1;
}

int _SetCap(uint32_t window) {
  HookLibrary& lib = Library();
  std::lock_guard<std::mutex> lock(lib.mutex);
  quill::X11KeyInjector* injector = lib.Injector();
  const bool ok = injector != nullptr && injector->CapturePointer(window);
  if (window == 0) {
    lib.capture = 0;
    return ok ? 1 : 0;
  }
  const uint32_t previous = lib.capture;
  if (ok) lib.capture = window;
  return static_cast<int>(previous);
}

int _TakeHotkeyConflicts(char* out, int size) {
  if (out == nullptr || size <= 0) return 0;
  HookLibrary& lib = Library();
  std::lock_guard<std::mutex> lock(lib.mutex);
  if (lib.monitor != nullptr) {
    for (std::string& name : lib.monitor->TakeConflicts()) lib.conflicts.push_back(std::move(name));
  }
  std::string text;
  size_t taken = 0;
  for (const std::string& name : lib.conflicts) {
    const size_t needed = text.size() + (taken != 0 ? 1 : 0) + name.size();
    if (needed + 1 > static_cast<size_t>(size)) break;
    if (taken != 0) text += '\n';
    text += name;
    ++taken;
  }
  lib.conflicts.erase(lib.conflicts.begin(), lib.conflicts.begin() + taken);
  std::memcpy(out, text.c_str(), text.size() + 1);
  return static_cast<int>(taken);
}

int QuillhookSetHookCalls() { return Library().set_hook_calls.load(); }
void* QuillhookLastBlock() { return Library().last_block.load(); }

void QuillhookHoldEnter(int hold) {
  HookLibrary& lib = Library();
  std::lock_guard<std::mutex> lock(lib.mutex);
  if (lib.monitor == nullptr) return;
  if (hold != 0) {
    lib.monitor->HoldEnter();
  } else {
    lib.monitor->ReleaseEnter();
  }
}

}  // extern "C"
