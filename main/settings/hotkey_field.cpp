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

std::optional<HotkeyWord> KeptKeyPresses::RawKey(uint8_t vk, bool press,
                                                 bool switches_terminal) {
  switch (vk) {
    case kVkShift: shift_ = press; return std::nullopt;
    case kVkControl: ctrl_ = press; return std::nullopt;
    case kVkMenu: alt_ = press; return std::nullopt;
    default: break;
  }
  if (!press || !switches_terminal || !ctrl_ || !alt_ || shift_) return std::nullopt;
  return HotkeyFromKeyPress(vk, false, true, true);
}

}  // namespace quill
