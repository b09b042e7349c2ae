// FakeSmallDialogs: SmallDialogs answering from scripts (none left: the
// close box, 2; the picker: -1). Every form is recorded as it was shown.
#pragma once

#include <deque>
#include <functional>

#include "main/dialogs/small_dialogs.h"

namespace quill {

class FakeSmallDialogs final : public SmallDialogs {
 public:
  std::deque<std::function<int(UndeleteForm*)>> undelete;
  std::deque<std::function<int(SyuttenForm*)>> syutten;
  std::deque<int> kind_results;

  std::vector<UndeleteForm> undelete_forms;
  std::vector<SyuttenForm> syutten_forms;
  std::vector<std::pair<int, ScreenPoint>> kind_pickers;  // current, where
  int about_shown = 0;

  int RunUndelete(UndeleteForm* form) override {
    undelete_forms.push_back(*form);
    return Run(undelete, form);
  }
  int RunSyuttenForm(SyuttenForm* form) override {
    syutten_forms.push_back(*form);
    return Run(syutten, form);
  }
  int RunKindPicker(int current, ScreenPoint at) override {
    kind_pickers.emplace_back(current, at);
    return Next(kind_results, -1);
  }
  void ShowAbout() override { ++about_shown; }

 private:
  template <typename Form>
  static int Run(std::deque<std::function<int(Form*)>>& scripts, Form* form) {
    if (scripts.empty()) return 2;
    auto script = std::move(scripts.front());
    scripts.pop_front();
    return script(form);
  }
  static int Next(std::deque<int>& results, int none) {
    if (results.empty()) return none;
    int r = results.front();
    results.pop_front();
    return r;
  }
};

}  // namespace quill
