#include "main/ui/quill_hooks.h"

#include <QPointer>
#include <QTimer>
#include <string>

#include "hook/quillhook.h"
#include "platform/messages.h"
#include "platform/text_codec.h"

namespace quill {

namespace {

// The names of the hot keys another program holds, taken from the
// library (ASCII), separated by "、" in CP932; "" when there are none.
std::string TakeConflicts() {
  static const std::string separator = Utf8ToCp932("、");
  std::string names;
  char buf[512];
  while (_TakeHotkeyConflicts(buf, sizeof buf) > 0) {
    std::string text = buf;
    for (size_t pos = 0; (pos = text.find('\n', pos)) != std::string::npos;) {
      text.replace(pos, 1, separator);
    }
    if (!names.empty()) names += separator;
    names += text;
  }
  return names;
}

}  // namespace

void RemoveHooks(const SharedHookBlock& block) {
  UnhookWindowsHookEx(block.CbtHook().handle);
  UnhookWindowsHookEx(block.MouseHook().handle);
  UnhookWindowsHookEx(block.KeyboardHook().handle);
}

void InstallHooks(SharedHookBlock& block, Ui& ui, QObject* context) {
  _SetCBTHook(block.bytes().data());
  const std::string names = TakeConflicts();
  if (names.empty()) return;
  // The key still fires the command here; the other program gets it too.
  const std::string text = FormatMessage(MessageId::kHotkeyHeldElsewhere, {names});
  QPointer<QObject> guard(context);
  QTimer::singleShot(0, context, [guard, &ui, text] {
    if (guard) ui.ShowMessageDialog(text, MessageText(MessageId::kWarningCaption), kMessageOk);
  });
}

}  // namespace quill
