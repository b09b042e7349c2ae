#include "platform/protocol/shared_hook_block.h"

#include <atomic>
#include <bit>
#include <cassert>
#include <cstring>

#include "platform/sjis.h"

namespace quill {

// The block is little-endian; every platform we build for is too, so the
// fields are read and written in native order.
static_assert(std::endian::native == std::endian::little);

bool HotkeyWord::Matches(uint8_t modifiers, uint8_t key) const {
  if (IsNone()) return false;
  return NormalizeHotkey(*this) == HotkeyWord(modifiers, key);
}

HotkeyWord NormalizeHotkey(HotkeyWord word) {
  if (!word.IsDoublePress()) return word;
  switch (word.Key()) {
    case 'S':
      return HotkeyWord(HotkeyWord::kShift, HotkeyWord::kDoublePressKey);
    case 'C':
      return HotkeyWord(HotkeyWord::kCtrl, HotkeyWord::kDoublePressKey);
    default:
      return HotkeyWord(HotkeyWord::kAlt, HotkeyWord::kDoublePressKey);
  }
}

SharedHookBlock::SharedHookBlock(std::span<uint8_t, kSharedHookBlockSize> bytes)
    : bytes_(bytes) {
  assert(reinterpret_cast<uintptr_t>(bytes.data()) % 4 == 0);
}

uint8_t SharedHookBlock::Load8(size_t off) const {
  return std::atomic_ref<uint8_t>(bytes_[off]).load(std::memory_order_relaxed);
}

void SharedHookBlock::Store8(size_t off, uint8_t v) {
  std::atomic_ref<uint8_t>(bytes_[off]).store(v, std::memory_order_relaxed);
}

uint16_t SharedHookBlock::Load16(size_t off) const {
  auto* p = reinterpret_cast<uint16_t*>(bytes_.data() + off);
  return std::atomic_ref<uint16_t>(*p).load(std::memory_order_relaxed);
}

void SharedHookBlock::Store16(size_t off, uint16_t v) {
  auto* p = reinterpret_cast<uint16_t*>(bytes_.data() + off);
  std::atomic_ref<uint16_t>(*p).store(v, std::memory_order_relaxed);
}

uint32_t SharedHookBlock::Load32(size_t off) const {
  auto* p = reinterpret_cast<uint32_t*>(bytes_.data() + off);
  return std::atomic_ref<uint32_t>(*p).load(std::memory_order_relaxed);
}

void SharedHookBlock::Store32(size_t off, uint32_t v) {
  auto* p = reinterpret_cast<uint32_t*>(bytes_.data() + off);
  std::atomic_ref<uint32_t>(*p).store(v, std::memory_order_relaxed);
}

HookRecord SharedHookBlock::ReadHook(size_t off) const {
  HookRecord r;
  r.type = Load16(off);
  r.procedure = Load32(off + 4);
  r.handle = Load32(off + 8);
  return r;
}

void SharedHookBlock::WriteHook(size_t off, const HookRecord& r) {
  Store16(off, r.type);
  Store16(off + 2, 0);
  Store32(off + 4, r.procedure);
  Store32(off + 8, r.handle);
}

HotkeyWord SharedHookBlock::Hotkey(HotkeySlot slot) const {
  assert(slot >= 0 && slot < kHotkeySlotCount);
  return HotkeyWord(Load16(kHotkeysOffset + 2 * static_cast<size_t>(slot)));
}

void SharedHookBlock::SetHotkey(HotkeySlot slot, HotkeyWord word) {
  assert(slot >= 0 && slot < kHotkeySlotCount);
  Store16(kHotkeysOffset + 2 * static_cast<size_t>(slot), word.value);
}

HotkeyWord SharedHookBlock::SuperPasteKey(size_t slot) const {
  assert(slot < kSuperPasteKeyCount);
  return HotkeyWord(Load16(kSuperPasteKeysOffset + 2 * slot));
}

void SharedHookBlock::SetSuperPasteKey(size_t slot, HotkeyWord word) {
  assert(slot < kSuperPasteKeyCount);
  Store16(kSuperPasteKeysOffset + 2 * slot, word.value);
}

FocusPair SharedHookBlock::FocusPairAt(size_t slot) const {
  assert(slot < kFocusPairCount);
  size_t off = kFocusPairsOffset + 8 * slot;
  return FocusPair{Load32(off), Load32(off + 4)};
}

void SharedHookBlock::SetFocusPair(size_t slot, const FocusPair& p) {
  assert(slot < kFocusPairCount);
  size_t off = kFocusPairsOffset + 8 * slot;
  Store32(off, p.top);
  Store32(off + 4, p.focus);
}

void SharedHookBlock::PushFocusPair(const FocusPair& p) {
  for (size_t i = 0; i + 1 < kFocusPairCount; ++i) SetFocusPair(i, FocusPairAt(i + 1));
  SetFocusPair(kFocusPairCount - 1, p);
}

std::string SharedHookBlock::ReadText(size_t off, size_t size) const {
  const char* p = reinterpret_cast<const char*>(bytes_.data() + off);
  return std::string(p, quill::FieldTextLength(p, size));
}

void SharedHookBlock::WriteText(size_t off, size_t size, std::string_view text) {
  std::string t(quill::CText(text));
  quill::TruncateSjis(t, size - 1);
  std::memcpy(bytes_.data() + off, t.data(), t.size());
  std::memset(bytes_.data() + off + t.size(), 0, size - t.size());
}

std::string SharedHookBlock::SaveHint() const { return ReadText(kSaveHintOffset, kSaveHintSize); }

void SharedHookBlock::SetSaveHint(std::string_view text) {
  WriteText(kSaveHintOffset, kSaveHintSize, text);
}

std::string SharedHookBlock::BrowserClass(size_t i) const {
  assert(i < kBrowserClassCount);
  return ReadText(kBrowserClassesOffset + kBrowserClassSize * i, kBrowserClassSize);
}

void SharedHookBlock::SetBrowserClass(size_t i, std::string_view name) {
  assert(i < kBrowserClassCount);
  WriteText(kBrowserClassesOffset + kBrowserClassSize * i, kBrowserClassSize, name);
}

std::vector<std::string> SharedHookBlock::BrowserClasses() const {
  std::vector<std::string> list;
  for (size_t i = 0; i < kBrowserClassCount; ++i) {
    std::string name = BrowserClass(i);
    if (name.empty()) break;
    list.push_back(std::move(name));
  }
  return list;
}

void SharedHookBlock::SetBrowserClasses(const std::vector<std::string>& names) {
  size_t n = 0;
  for (const std::string& name : names) {
    if (n == kBrowserClassCount) break;
    if (quill::CText(name).empty()) continue;
    SetBrowserClass(n++, name);
  }
  for (; n < kBrowserClassCount; ++n) SetBrowserClass(n, "");
}

bool SharedHookBlock::IsBrowserClass(std::string_view name) const {
  if (name.empty()) return false;
  for (const std::string& entry : BrowserClasses()) {
    if (entry == name) return true;
  }
  return false;
}

}  // namespace quill
