#include "hook/hook_procedures.h"

#include <algorithm>

namespace quill {

namespace {

// The modifier bit of a HotkeyWord for Shift, Ctrl and Alt; 0 for others.
uint8_t ModifierBit(uint8_t key) {
  switch (key) {
    case vk::kShift:
      return HotkeyWord::kShift;
    case vk::kControl:
      return HotkeyWord::kCtrl;
    case vk::kMenu:
      return HotkeyWord::kAlt;
    default:
      return 0;
  }
}

// A hot key and the command its press posts. The three that open a popup
// over the target keep the target from being tracked until the popup is
// done. The main window is not brought forward for them: the popup takes
// the keyboard with a grab of its own, and an activation would only flash
// the window over the application.
struct HotkeyRow {
  SharedHookBlock::HotkeySlot slot;
  CommandCode code;
  bool opens_popup;
};

// In the order they are tested; the Enter row sits between the two lists.
constexpr HotkeyRow kRowsBeforeEnter[] = {
    {SharedHookBlock::kSaveKey, CommandCode::kSave, false},
    {SharedHookBlock::kSaveHtmlKey, CommandCode::kSaveHtml, false},
};
constexpr HotkeyRow kRowsAfterEnter[] = {
    {SharedHookBlock::kMagicKey, CommandCode::kMagic, true},
    {SharedHookBlock::kSaveKubunKey, CommandCode::kSaveKubun, true},
    {SharedHookBlock::kPopupKubunKey, CommandCode::kPopupKubun, true},
    {SharedHookBlock::kActiveKey, CommandCode::kActive, false},
    {SharedHookBlock::kFindKey, CommandCode::kFind, false},
    {SharedHookBlock::kNewCardKey, CommandCode::kNewCard, false},
};

}  // namespace

void KeyState::Track(const KeyEvent& event) {
  const uint32_t key = event.key != 0 ? event.key : event.vk;
  auto it = std::find_if(down_.begin(), down_.end(), [key](const Down& d) { return d.key == key; });
  if (event.release) {
    if (it != down_.end()) down_.erase(it);
  } else if (it == down_.end()) {
    down_.push_back(Down{key, event.vk});
  }
}

bool KeyState::IsDown(uint8_t vk) const {
  return std::any_of(down_.begin(), down_.end(), [vk](const Down& d) { return d.vk == vk; });
}

uint8_t KeyState::Modifiers() const {
  uint8_t modifiers = 0;
  if (IsDown(vk::kShift)) modifiers |= HotkeyWord::kShift;
  if (IsDown(vk::kControl)) modifiers |= HotkeyWord::kCtrl;
  if (IsDown(vk::kMenu)) modifiers |= HotkeyWord::kAlt;
  return modifiers;
}

void HookProcedures::CbtHookProc(WindowHandle main_window, uint32_t code, WindowHandle window) {
  bus_.PostMessage(main_window, kCbtEvent, code, static_cast<int32_t>(window));
}

void HookProcedures::MouseHookProc(SharedHookBlock* block, uint32_t mouse_message) {
  if (block == nullptr || mouse_message != kWmRButtonDown) return;
  block->SetRightClickCount(static_cast<uint16_t>(block->RightClickCount() + 1));
}

bool HookProcedures::KeyboardHookProc(SharedHookBlock* block, const KeyEvent& event,
                                      const KeyState& keys) {
  if (block == nullptr) return false;
  bool taken = false;
  const uint32_t id = event.key != 0 ? event.key : event.vk;
  const bool ours = desktop_.KeyboardIsOurs(block->MainWindow());
  const auto pressed_ours = std::find(ownPresses.begin(), ownPresses.end(), id);
  if (event.release) {
    // LastKeyUp remembers keys of the other applications only: a key
    // pressed or released in a window or menu of ours leaves it alone.
    const bool foreign = !ours && pressed_ours == ownPresses.end();
    if (pressed_ours != ownPresses.end()) ownPresses.erase(pressed_ours);
    if (ModifierBit(event.vk) != 0) {
      lastReleasedMod = event.vk;
    } else if (foreign) {
      // A second Enter in a row clears it.
      const bool second_enter = block->LastKeyUp() == vk::kReturn && event.vk == vk::kReturn;
      block->SetLastKeyUp(second_enter ? 0 : event.vk);
    }
  } else {
    if (ours && pressed_ours == ownPresses.end()) ownPresses.push_back(id);
    taken = KeyDown(*block, event.vk, keys);
  }
  // The injected keys use up the count, whichever they are.
  if (const uint8_t inject = block->InjectCount(); inject != 0) block->SetInjectCount(inject - 1);
  return taken;
}

bool HookProcedures::KeyDown(SharedHookBlock& block, uint8_t vk, const KeyState& keys) {
  const uint32_t now = clock_.TickCount();
  bool is_double = false;
  bool repeat = false;
  uint8_t key = vk;
  uint8_t modifiers = 0;
  if (const uint8_t bit = ModifierBit(vk); bit != 0) {
    if (vk == lastModKey && vk != lastReleasedMod) {
      repeat = true;  // held down: the keyboard repeats it
    } else if (static_cast<int32_t>(now - lastTick) < kDoublePressMs) {
      is_double = true;
      modifiers = bit;
      // Only the second press of the same modifier is the double press;
      // after it lastModKey is 0xFF, so a third press starts afresh.
      if (vk == lastModKey) key = HotkeyWord::kDoublePressKey;
    }
    lastModKey = key;
    lastReleasedMod = 0;
  } else {
    lastModKey = 0;
  }
  if (!repeat) lastTick = now;
  if (!is_double) modifiers = keys.Modifiers();

  // Each field is read once for this event.
  const WindowHandle main = block.MainWindow();
  const int32_t target = static_cast<int32_t>(block.TargetWindow());
  auto post = [&](CommandCode code, int32_t lparam) {
    bus_.PostMessage(main, kCommandMessage, static_cast<uint32_t>(code), lparam);
  };
  auto run = [&](const HotkeyRow& row) {
    if (!block.Hotkey(row.slot).Matches(modifiers, key)) return false;
    if (row.opens_popup) block.SetNoTrack(1);
    post(row.code, target);
    return true;
  };
  for (const HotkeyRow& row : kRowsBeforeEnter) {
    if (run(row)) return true;
  }
  // Enter right after an injected key sequence is swallowed.
  if (key == vk::kReturn && block.InjectCount() != 0) return true;
  for (const HotkeyRow& row : kRowsAfterEnter) {
    if (run(row)) return true;
  }
  // Space counts like a right click and goes on to the application.
  if (key == vk::kSpace) {
    block.SetRightClickCount(static_cast<uint16_t>(block.RightClickCount() + 1));
    return false;
  }
  for (size_t slot = 0; slot < SharedHookBlock::kSuperPasteKeyCount; ++slot) {
    if (block.SuperPasteKey(slot).Matches(modifiers, key)) {
      post(CommandCode::kSuperPaste, static_cast<int32_t>(slot));
      return true;
    }
  }
  return false;
}

}  // namespace quill
