#include "hook/key_sequences.h"

#include <unistd.h>

#include <array>
#include <atomic>
#include <bit>
#include <memory>

#include "hook/hook_procedures.h"
#include "platform/shared_memory.h"

namespace quill {

namespace {

constexpr uint8_t kKeyC = 'C', kKeyD = 'D', kKeyE = 'E', kKeyP = 'P', kKeyT = 'T', kKeyV = 'V',
                  kKeyX = 'X';

constexpr KeyStroke Down(uint8_t key) { return KeyStroke{key, true}; }
constexpr KeyStroke Up(uint8_t key) { return KeyStroke{key, false}; }

constexpr KeyStroke kRelease[] = {Up(vk::kShift), Up(vk::kControl), Up(vk::kMenu)};

// The Edit menu by its keys: Alt, E, then the item's letter. The release
// of D that was never pressed belongs to the sequence.
constexpr KeyStroke kCopyMenu[] = {Down(vk::kMenu), Down(kKeyE), Up(kKeyD), Up(kKeyE),
                                   Up(vk::kMenu),   Down(kKeyC), Up(kKeyC)};
constexpr KeyStroke kCopyF8[] = {Down(vk::kF8), Up(vk::kF8)};
constexpr KeyStroke kCopyShiftF8[] = {Down(vk::kShift), Down(vk::kF8), Up(vk::kF8),
                                      Up(vk::kShift)};
constexpr KeyStroke kCopyCtrlC[] = {Down(vk::kControl), Down(kKeyC), Up(vk::kControl), Up(kKeyC)};

constexpr KeyStroke kCutMenu[] = {Down(vk::kMenu), Down(kKeyE), Up(kKeyD), Up(kKeyE),
                                  Up(vk::kMenu),   Down(kKeyT), Up(kKeyT)};
constexpr KeyStroke kCutF7[] = {Down(vk::kF7), Up(vk::kF7)};
constexpr KeyStroke kCutF8[] = {Down(vk::kF8), Up(vk::kF8)};
constexpr KeyStroke kCutCtrlX[] = {Down(vk::kControl), Down(kKeyX), Up(vk::kControl), Up(kKeyX)};

constexpr KeyStroke kPasteMenu[] = {Down(vk::kMenu), Down(kKeyE), Up(kKeyD), Up(kKeyE),
                                    Up(vk::kMenu),   Down(kKeyP), Up(kKeyP)};
constexpr KeyStroke kPasteShiftF9[] = {Down(vk::kShift), Down(vk::kF9), Up(vk::kShift),
                                       Up(vk::kF9)};
constexpr KeyStroke kPasteCtrlV[] = {Down(vk::kControl), Down(kKeyV), Up(vk::kControl), Up(kKeyV)};

// Row 1 of copy is F8 and row 1 of cut is F7: the keys the class lists
// "COPY_F8" and "CUT_F7" are named after.
const std::array<std::span<const KeyStroke>, 4> kCopyRows = {kCopyMenu, kCopyF8, kCopyShiftF8,
                                                             kCopyCtrlC};
const std::array<std::span<const KeyStroke>, 4> kCutRows = {kCutMenu, kCutF7, kCutF8, kCutCtrlX};
const std::array<std::span<const KeyStroke>, 3> kPasteRows = {kPasteMenu, kPasteShiftF9,
                                                              kPasteCtrlV};

template <size_t N>
std::span<const KeyStroke> Row(const std::array<std::span<const KeyStroke>, N>& rows, int row) {
  return row >= 0 && static_cast<size_t>(row) < N ? rows[row] : std::span<const KeyStroke>();
}

}  // namespace

std::span<const KeyStroke> KeySequence(int what, int row) {
  switch (what) {
    case kKeyInRelease:
      return kRelease;  // the one row, whatever `row` says
    case kKeyInCopy:
      return Row(kCopyRows, row);
    case kKeyInCut:
      return Row(kCutRows, row);
    case kKeyInPaste:
      return Row(kPasteRows, row);
    default:
      return {};
  }
}

std::string WrenloopName() { return "/Wrenloop-" + std::to_string(::getuid()); }

bool MarkWrenloop(const std::string& name) {
  std::unique_ptr<SharedMemory> memory;
  if (!SharedMemory::Open(name, sizeof(uint16_t), &memory).ok()) return false;
  // Little-endian, as the block; one store, as the other program may be
  // reading it.
  constexpr uint16_t kOne = std::endian::native == std::endian::little ? 0x0001 : 0x0100;
  std::atomic_ref<uint16_t>(*reinterpret_cast<uint16_t*>(memory->data()))
      .store(kOne, std::memory_order_relaxed);
  return true;
}

bool KeyIn(int what, int row, SharedHookBlock* block, KeySink& sink) {
  const std::span<const KeyStroke> keys = KeySequence(what, row);
  if (keys.empty()) return false;
  if (block != nullptr) block->SetInjectCount(2);
  bool begun = false;
  for (const KeyStroke& key : keys) {
    if (what == kKeyInRelease && !sink.IsKeyDown(key.vk)) continue;
    if (!begun) sink.BeginSequence();
    begun = true;
    sink.SendKey(key.vk, key.press);
  }
  return true;
}

}  // namespace quill
