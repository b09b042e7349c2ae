#include "main/message_dialog.h"

namespace quill {

namespace {
MessageDialogPort* g_port = nullptr;
}  // namespace

MessageDialogPort* SetMessageDialogPort(MessageDialogPort* port) {
  MessageDialogPort* previous = g_port;
  g_port = port;
  return previous;
}

MessageDialogPort* GetMessageDialogPort() { return g_port; }

int ShowMessageDialog(void* owner, const std::string& text, const std::string& caption,
                      int mode) {
  if (g_port == nullptr) return kResultCancel;
  return g_port->Show(owner, text, caption, mode);
}

int ScriptedMessageDialog::Show(void* /*owner*/, const std::string& text,
                                const std::string& caption, int mode) {
  questions_.push_back({text, caption, mode});
  if (answers_.empty()) return kResultCancel;
  int result = answers_.front();
  answers_.pop_front();
  return result;
}

}  // namespace quill
