#include "main/exchange/print_command.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "clip/paste_out.h"
#include "clip/variable_dialog_test_support.h"
#include "clip/variables.h"
#include "platform/headless/fake_clock.h"
#include "platform/headless/fake_ui.h"
#include "platform/messages.h"

namespace quill {
namespace {

class FakePrintView final : public PrintCommandView {
 public:
  int mode = 0;
  std::string selected;
  std::string body;
  PrintTable table;
  int char_width = 12;  // px per "樹"
  bool tikan_blank = false;
  int tikan_blank_saves = 0;
  int dialogs_made = 0;
  int dialogs_shown = 0;
  ScriptedDialog::Answer answer;  // none: cancelled
  std::optional<PrintJob> job;

  int BodyMode() override { return mode; }
  std::string SelectedText() override { return selected; }
  std::string BodyText() override { return body; }
  PrintTable Table() override { return table; }
  int TableTextWidth(std::string_view text) override {
    return static_cast<int>(text.size()) / 2 * char_width;
  }
  std::string EditorCardId() override { return ""; }
  bool TikanBlank() override { return tikan_blank; }
  void SetTikanBlank(bool on) override {
    tikan_blank = on;
    ++tikan_blank_saves;
  }
  std::unique_ptr<VariableDialog> CreateTikanFm() override {
    ++dialogs_made;
    return std::make_unique<ScriptedDialog>(clock, nullptr, answer, &dialogs_shown);
  }
  void ShowPrintForm(const PrintJob& j) override {
    EXPECT_FALSE(job) << "one print dialog per command";
    job = j;
  }

  FakeClock clock;
};

class PrintCommandTest : public ::testing::Test {
 protected:
  void Run() { PrintCommand(view, ui).PrintOutActionExecute(); }

  FakePrintView view;
  FakeUi ui;
};

TEST_F(PrintCommandTest, AnHtmlCardIsOnlyToldToUseTheBrowser) {
  view.mode = 'H';
  view.body = "page";
  Run();
  ASSERT_EQ(ui.questions().size(), 1u);
  EXPECT_EQ(ui.questions()[0].text, MessageText(MessageId::kPrintHtmlCard));
  EXPECT_EQ(ui.questions()[0].caption, "");
  EXPECT_EQ(view.dialogs_made, 0);
  EXPECT_FALSE(view.job);
}

TEST_F(PrintCommandTest, PrintsTheSelectionOrElseTheWholeText) {
  view.body = "one\r\ntwo\r\n";
  view.selected = "tw";
  Run();
  ASSERT_TRUE(view.job);
  EXPECT_EQ(view.job->text, "tw");
  EXPECT_EQ(view.job->column_count, 0);

  view.job.reset();
  view.selected = "";
  Run();
  ASSERT_TRUE(view.job);
  EXPECT_EQ(view.job->text, "one\r\ntwo\r\n");
  EXPECT_EQ(view.dialogs_shown, 0) << "no variables, no dialog";
  EXPECT_TRUE(ui.questions().empty());
}

TEST_F(PrintCommandTest, VariablesAreAskedForFirst) {
  view.body = "Dear $_NAME_,";
  view.tikan_blank = true;

  // Cancel prints nothing and keeps TikanBlank as it was.
  view.answer = [](VariableFill&, bool& blank) {
    EXPECT_TRUE(blank) << "the dialog starts from the remembered TikanBlank";
    blank = false;
    return kResultCancel;
  };
  Run();
  EXPECT_EQ(view.dialogs_shown, 1);
  EXPECT_FALSE(view.job);
  EXPECT_TRUE(view.tikan_blank);
  EXPECT_EQ(view.tikan_blank_saves, 0);

  // OK prints the substituted text and remembers TikanBlank.
  view.answer = [](VariableFill& fill, bool& blank) {
    fill.SetValue(0, "Ann");
    blank = false;
    return kResultOk;
  };
  Run();
  ASSERT_TRUE(view.job);
  EXPECT_EQ(view.job->text, "Dear Ann,");
  EXPECT_FALSE(view.tikan_blank);
  EXPECT_EQ(view.tikan_blank_saves, 1);
}

TEST_F(PrintCommandTest, ATablePrintsItsUsedAreaWithColumnsMeasuredInTheGridsFont) {
  view.mode = 'C';
  view.body = "not this";
  view.selected = "nor this";
  view.table = {"a\tb\r\n", {100, 11, 12, 0, 5000}};
  Run();
  ASSERT_TRUE(view.job);
  EXPECT_EQ(view.job->text, "a\tb\r\n");
  EXPECT_EQ(view.job->column_count, 5);
  EXPECT_EQ(view.job->column_chars, (std::vector<int>{8, 0, 1, 0, 99}));
}

}  // namespace
}  // namespace quill
