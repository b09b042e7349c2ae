// FakeUi: a Ui that answers from a script. Questions take the queued
// answers in turn (none left: the close box, 2) and menus the queued
// choices (none left: closed without a choice); every question and menu is
// recorded, beeps, flashes and sounds are counted. The search dialogs run
// scripts in turn (none left: cancel), which see the form as the dialog
// would show it and fill it in. Nothing is shown and nothing sounds.
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui.h"

namespace quill {

class FakeUi final : public Ui {
 public:
  struct Question {
    std::string text;
    std::string caption;
    int mode = 0;
  };
  struct ShownMenu {
    std::vector<MenuItem> items;
    ScreenPoint at;
  };

  // The result of the next question not answered yet.
  void Answer(int result) { answers_.push_back(result); }
  // The next menu chooses the item with this id, or closes without a choice.
  void Choose(std::optional<int> id) { choices_.push_back({id, std::nullopt}); }
  // The next menu chooses the enabled item with this caption (CP932), in a
  // sub-menu too; without one it closes without a choice.
  void ChooseCaption(std::string caption) { choices_.push_back({std::nullopt, caption}); }

  // The next dialog of that kind runs the script: it gets the form as the
  // dialog shows it and returns the dialog's result.
  void ScriptCardSearch(std::function<int(CardSearchForm*)> f) { card_search_.push_back(f); }
  void ScriptSearchString(std::function<int(SearchStringForm*)> f) {
    search_string_.push_back(f);
  }
  void ScriptReplace(std::function<int(ReplaceForm*)> f) { replace_.push_back(f); }
  // The next replace check returns this result.
  void AnswerReplaceCheck(int result) { replace_checks_.push_back(result); }

  // The next open or save dialog chooses this path, or is cancelled.
  void AnswerFile(std::optional<std::string> path) { files_.push_back(std::move(path)); }
  // The next font or colour dialog returns this choice, or cancels.
  void AnswerFont(std::optional<FontChoice> font) { fonts_.push_back(std::move(font)); }
  void AnswerColor(std::optional<int32_t> color) { colors_.push_back(color); }
  // Families that count as covering Japanese.
  std::vector<std::string> japanese_families;
  // What the font and colour dialogs started with.
  std::vector<FontChoice> fonts_shown;
  std::vector<int32_t> colors_shown;

  // Called with each question before it is answered.
  std::function<void(const Question&)> on_question;
  // Called with each menu while it is open, before the choice is made.
  std::function<void(const ShownMenu&)> on_menu;

  int ShowMessageDialog(const std::string& text, const std::string& caption,
                        int mode) override {
    questions_.push_back({text, caption, mode});
    if (on_question) on_question(questions_.back());
    if (answers_.empty()) return kResultCancel;
    int result = answers_.front();
    answers_.pop_front();
    return result;
  }
  void MessageBeep() override { ++beeps_; }
  void EndProgram(int exit_code) override { exit_codes_.push_back(exit_code); }
  bool ChooseFont(FontChoice* font) override {
    fonts_shown.push_back(*font);
    if (fonts_.empty()) return false;
    std::optional<FontChoice> f = fonts_.front();
    fonts_.pop_front();
    if (f) *font = *f;
    return f.has_value();
  }
  bool ChooseColor(int32_t* color) override {
    colors_shown.push_back(*color);
    if (colors_.empty()) return false;
    std::optional<int32_t> c = colors_.front();
    colors_.pop_front();
    if (c) *color = *c;
    return c.has_value();
  }
  bool FontCoversJapanese(const std::string& family) override {
    for (const std::string& f : japanese_families) {
      if (f == family) return true;
    }
    return false;
  }
  void ShowFlashIcon(FlashBitmap bitmap) override {
    flashes_.push_back(bitmap);
    flash_shown_ = true;
  }
  void HideFlashIcon() override { flash_shown_ = false; }
  void PlaySound(const std::string& file_name) override { sounds_.push_back(file_name); }
  std::optional<int> PopupMenu(const std::vector<MenuItem>& items, ScreenPoint at) override {
    menus_.push_back({items, at});
    if (on_menu) on_menu(menus_.back());
    if (choices_.empty()) return std::nullopt;
    Choice c = choices_.front();
    choices_.pop_front();
    if (!c.caption) return c.id;
    return FindCaption(items, *c.caption);
  }

  std::optional<std::string> ChooseFile(const FileChoice& choice) override {
    file_choices_.push_back(choice);
    if (files_.empty()) return std::nullopt;
    std::optional<std::string> path = std::move(files_.front());
    files_.pop_front();
    return path;
  }

  int RunCardSearchForm(CardSearchForm* form) override {
    card_search_forms_.push_back(*form);
    return RunScript(card_search_, form);
  }
  int RunSearchStringForm(SearchStringForm* form) override {
    search_string_forms_.push_back(*form);
    return RunScript(search_string_, form);
  }
  int RunReplaceForm(ReplaceForm* form) override {
    replace_forms_.push_back(*form);
    return RunScript(replace_, form);
  }
  int RunReplaceCheck(ScreenPoint at) override {
    replace_check_points_.push_back(at);
    if (replace_checks_.empty()) return kResultCancel;
    int result = replace_checks_.front();
    replace_checks_.pop_front();
    return result;
  }

  // The forms as each dialog was shown, in order.
  const std::vector<CardSearchForm>& card_search_forms() const { return card_search_forms_; }
  const std::vector<SearchStringForm>& search_string_forms() const {
    return search_string_forms_;
  }
  const std::vector<ReplaceForm>& replace_forms() const { return replace_forms_; }
  const std::vector<ScreenPoint>& replace_check_points() const { return replace_check_points_; }

  const std::vector<Question>& questions() const { return questions_; }
  // Every open and save dialog as it was set up, in order.
  const std::vector<FileChoice>& file_choices() const { return file_choices_; }
  int beeps() const { return beeps_; }
  // Every EndProgram, its exit code, in order.
  const std::vector<int>& exit_codes() const { return exit_codes_; }
  // Every bitmap shown, in order; whether one is shown now.
  const std::vector<FlashBitmap>& flashes() const { return flashes_; }
  bool flash_shown() const { return flash_shown_; }
  const std::vector<std::string>& sounds() const { return sounds_; }
  const std::vector<ShownMenu>& menus() const { return menus_; }

 private:
  std::deque<std::optional<FontChoice>> fonts_;
  std::deque<std::optional<int32_t>> colors_;
  struct Choice {
    std::optional<int> id;
    std::optional<std::string> caption;
  };

  static std::optional<int> FindCaption(const std::vector<MenuItem>& items,
                                        const std::string& caption) {
    for (const MenuItem& item : items) {
      if (item.separator || !item.enabled) continue;
      if (item.submenu || !item.items.empty()) {
        if (std::optional<int> id = FindCaption(item.items, caption)) return id;
      } else if (item.caption == caption) {
        return item.id;
      }
    }
    return std::nullopt;
  }

  template <typename Form>
  static int RunScript(std::deque<std::function<int(Form*)>>& scripts, Form* form) {
    if (scripts.empty()) return kResultCancel;
    std::function<int(Form*)> script = std::move(scripts.front());
    scripts.pop_front();
    return script(form);
  }

  std::deque<int> answers_;
  std::deque<std::optional<std::string>> files_;
  std::vector<FileChoice> file_choices_;
  std::deque<std::function<int(CardSearchForm*)>> card_search_;
  std::deque<std::function<int(SearchStringForm*)>> search_string_;
  std::deque<std::function<int(ReplaceForm*)>> replace_;
  std::deque<int> replace_checks_;
  std::vector<CardSearchForm> card_search_forms_;
  std::vector<SearchStringForm> search_string_forms_;
  std::vector<ReplaceForm> replace_forms_;
  std::vector<ScreenPoint> replace_check_points_;
  std::deque<Choice> choices_;
  std::vector<Question> questions_;
  int beeps_ = 0;
  std::vector<int> exit_codes_;
  std::vector<FlashBitmap> flashes_;
  bool flash_shown_ = false;
  std::vector<std::string> sounds_;
  std::vector<ShownMenu> menus_;
};

}  // namespace quill
