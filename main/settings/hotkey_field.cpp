#include "main/settings/hotkey_field.h"

namespace quill {

namespace {

constexpr uint8_t kVkBack = 0x08;
constexpr uint8_t kVkShift = 0x10;
constexpr uint8_t kVkControl = 0x11;
constexpr uint8_t kVkMenu = 0x12;

}  // namespace

std::optional<HotkeyWord> HotkeyFromKeyPress(uint8_t vk, bool shift, bool ctrl, bool alt) {
  if (vk == 0 || vk == kVkShift || vk == kVkControl || vk == kVkMenu) return std::nullopt;
  uint8_t modifiers = 0;
  if (shift) modifiers |= HotkeyWord::kShift;
  if (ctrl) modifiers |= HotkeyWord::kCtrl;
  if (alt) modifiers |= HotkeyWord::kAlt;
  if (vk == kVkBack && modifiers == 0) return HotkeyWord();
  return HotkeyWord(modifiers, vk);
}

}  // namespace quill
