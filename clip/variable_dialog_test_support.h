// The substitution dialog in tests: the user's answer is a function.
#pragma once

#include <functional>
#include <utility>

#include "clip/paste_out.h"
#include "clip/variables.h"
#include "platform/ui.h"

namespace quill {

// Shows nothing: ShowModal counts itself in *shown, fills the values, lets
// the answer type values and set TikanBlank (starting from what SetBlank
// gave), remembers the values on OK and substitutes the text.
class ScriptedDialog final : public VariableDialog {
 public:
  using Answer = std::function<int(VariableFill& fill, bool& blank)>;
  // No answer: the dialog is cancelled.
  ScriptedDialog(Clock& clock, RememberedValues* values, Answer answer, int* shown)
      : fill_(clock, values), answer_(std::move(answer)), shown_(shown) {}
  ScriptedDialog(Clock& clock, RememberedValues* values,
                 std::function<int(VariableFill&)> answer, int* shown)
      : ScriptedDialog(clock, values,
                       answer ? Answer([answer](VariableFill& f, bool&) { return answer(f); })
                              : Answer(),
                       shown) {}

  VariableFill& fill() override { return fill_; }
  void SetBlank(bool on) override { blank_ = on; }
  bool Blank() override { return blank_; }
  int ShowModal() override {
    ++*shown_;
    fill_.FillGrid();
    const int result = answer_ ? answer_(fill_, blank_) : kResultCancel;
    if (result == kResultOk) fill_.SaveValues();
    fill_.set_blank(blank_);
    fill_.ApplyValues();
    return result;
  }

 private:
  VariableFill fill_;
  bool blank_ = false;
  Answer answer_;
  int* shown_;
};

}  // namespace quill
