#include "main/ui/quill_hooks.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <string>

#include "hook/quillhook.h"
#include "main/message_dialog.h"
#include "platform/text_codec.h"

namespace quill {

namespace {

// The names of the hot keys another program holds, taken from the
// library, separated by "、"; "" when there are none.
std::string TakeConflicts() {
  std::string names;
  char buf[512];
  while (_TakeHotkeyConflicts(buf, sizeof buf) > 0) {
    std::string text = buf;
    for (size_t pos = 0; (pos = text.find('\n', pos)) != std::string::npos;) {
      text.replace(pos, 1, "、");
    }
    if (!names.empty()) names += "、";
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

void InstallHooks(SharedHookBlock& block, QWidget* owner) {
  _SetCBTHook(block.bytes().data());
  const std::string names = TakeConflicts();
  if (names.empty()) return;
  // The key still fires the command here; the other program gets it too.
  const std::string text = Utf8ToCp932("ホットキー " + names +
                                       " は他のプログラムも使っています。\n"
                                       "そのプログラムにもキーが届きます。");
  QPointer<QWidget> guard(owner);
  QTimer::singleShot(0, [guard, text] {
    ShowMessageDialog(guard.data(), text, Utf8ToCp932("警告"), kMessageOk);
  });
}

}  // namespace quill
