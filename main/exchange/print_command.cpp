#include "main/exchange/print_command.h"

#include "clip/paste_out.h"
#include "clip/variables.h"
#include "controls/text_print.h"
#include "platform/messages.h"
#include "platform/ui.h"

namespace quill {

int ColumnCharsFor(int width, const std::function<int(std::string_view)>& text_width) {
  static constexpr std::string_view kColumnChar = "\x8E\xF7";  // 樹
  std::string sample;
  int count = 0;
  while (count < kMaxColumnChars) {
    sample += kColumnChar;
    if (text_width(sample) > width) break;
    ++count;
  }
  return count;
}

void PrintCommand::PrintOutActionExecute() {
  const int mode = view_.BodyMode();
  if (mode == 'H') {
    ui_.ShowMessageDialog(MessageText(MessageId::kPrintHtmlCard), std::string(), kMessageOk);
    return;
  }

  std::unique_ptr<VariableDialog> dialog = view_.CreateTikanFm();
  dialog->SetBlank(view_.TikanBlank());
  PrintTable table;
  std::string source;
  if (mode == 'C') {
    table = view_.Table();
    source = table.text;
  } else {
    source = view_.SelectedText();
    if (source.empty()) source = view_.BodyText();
  }
  VariableFill& fill = dialog->fill();
  fill.SetSource(source, view_.EditorCardId());
  const int variables = fill.ScanVariables();
  fill.ExpandBuiltins();

  PrintJob job;
  if (variables > 0) {
    if (dialog->ShowModal() != kResultOk) return;
    view_.SetTikanBlank(dialog->Blank());
  } else {
    fill.FillGrid();
    fill.ApplyValues();
  }
  job.text = fill.GetResult();
  dialog.reset();

  if (mode == 'C') {
    job.column_count = static_cast<int>(table.column_widths.size());
    for (int width : table.column_widths) {
      job.column_chars.push_back(ColumnCharsFor(
          width, [this](std::string_view text) { return view_.TableTextWidth(text); }));
    }
  }
  view_.ShowPrintForm(job);
}

}  // namespace quill
