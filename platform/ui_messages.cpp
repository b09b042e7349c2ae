#include "platform/ui_messages.h"

#include "platform/text_codec.h"
#include "platform/ui.h"

namespace quill {

void ShowWarning(Ui& ui, const std::string& text) {
  ui.ShowMessageDialog(text, MessageText(MessageId::kWarningCaption), kMessageOk);
}

void ShowWarning(Ui& ui, MessageId text, std::initializer_list<std::string_view> args) {
  ShowWarning(ui, FormatMessage(text, args));
}

bool EndOnFatal(Ui& ui, const Status& s) {
  if (s.code() != Status::kFatal) return false;
  ShowWarning(ui, Utf8ToCp932(s.message()));
  ui.EndProgram(kFatalExitCode);
  return true;
}

bool ConfirmCaution(Ui& ui, MessageId question) {
  return ui.ShowMessageDialog(MessageText(question), MessageText(MessageId::kCautionCaption),
                              kMessageYesNo) == kResultYes;
}

}  // namespace quill
