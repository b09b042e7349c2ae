// Card windows are not part of this build yet: opening one only beeps.
#include "main/ui/main_form.h"
#include "platform/ui.h"

namespace quill {

void TMainForm::OpenCardWindow(const std::string& card_id) {
  (void)card_id;
  ui_.MessageBeep();
}

}  // namespace quill
