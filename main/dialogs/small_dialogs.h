// SmallDialogs: the modal dialogs of the bin, the batch change, the icon
// picker and the version box, as a port (the transfer import's two
// questions go through TransferDialogs, main/exchange/transfer_dialogs.h). Each takes its contents as plain data and gives them back as
// the user left them; the Qt forms are in main/ui/small_forms.h, tests
// script them. Texts are CP932. Closing a dialog with its close box gives
// 2 (cancel).
#pragma once

#include <string>
#include <vector>

#include "platform/screen_geometry.h"

namespace quill {

// The bin of deleted cards (TUndelete): one line per card, checked or not.
struct UndeleteForm {
  std::vector<std::string> titles;
  std::vector<bool> checked;
};
// Results of the bin's dialog besides 2.
inline constexpr int kUndeleteRestore = 1;
inline constexpr int kUndeleteErase = 6;

// The batch change of the marked cards (TSyuttenFm). -1 = leave unchanged.
struct SyuttenForm {
  std::string source;   // Syutten: empty = unchanged
  int icon = -1;        // the chosen card icon
  int paste = -1;       // Paste: 0 on, 1 off
  int auto_title = -1;  // AutoTitle: 0 on, 1 off
};

class SmallDialogs {
 public:
  virtual ~SmallDialogs() = default;
  // 1 restore the checked cards, 6 erase them (after the dialog's own
  // question), 2 nothing.
  virtual int RunUndelete(UndeleteForm* form) = 0;
  // 1 change the marked cards as the form says, 2 nothing.
  virtual int RunSyuttenForm(SyuttenForm* form) = 0;
  // The main window's icon picker at a screen point, `current` highlighted:
  // the icon chosen, or -1.
  virtual int RunKindPicker(int current, ScreenPoint at) = 0;
  // The version box.
  virtual void ShowAbout() = 0;
};

}  // namespace quill
