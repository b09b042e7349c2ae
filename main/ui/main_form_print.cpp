// TMainForm's print command: the view through which PrintCommand
// (main/exchange/print_command.h) sees the card in the editor, the settings
// and the two dialogs, and the printer settings the dialog prints with.
#include <QFontMetrics>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QTextCursor>
#include <memory>

#include "clip/ui/tikan_form.h"
#include "controls/grid_model.h"
#include "controls/ui/string_grid_pelm.h"
#include "main/editor/card_editor.h"
#include "main/exchange/print_command.h"
#include "main/ui/main_form.h"
#include "main/ui/print_form.h"
#include "main/ui/widget_text.h"
#include "platform/clock.h"
#include "platform/qt/cp932_text.h"

namespace quill {

struct TMainForm::PrintGlue final : PrintCommandView {
  explicit PrintGlue(TMainForm* f)
      : form(f),
        clock(f->context_.clock != nullptr ? *f->context_.clock : Clock::System()),
        values(f->card_store_.values()),
        command(*this, f->ui_) {
    if (f->context_.printer == nullptr) own_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
  }

  int BodyMode() override { return form->Editor().BodyMode; }
  std::string SelectedText() override {
    QString selected = form->Text->textCursor().selectedText();
    selected.replace(QChar::ParagraphSeparator, QChar('\n'));
    return WidgetToText(selected);
  }
  std::string BodyText() override { return WidgetToText(form->Text->toPlainText()); }
  // The table as the grid shows it, unsaved edits and widths included:
  // its used area and the width of every data column.
  PrintTable Table() override {
    const GridModel& grid = form->CsvGrid->Grid();
    PrintTable table;
    table.text = grid.FromCsv(-1, 0, 0, 0);
    for (int col = 1; col < grid.ColCount(); ++col) table.column_widths.push_back(grid.ColWidth(col));
    return table;
  }
  // Measured in the grid's font, the card's.
  int TableTextWidth(std::string_view text) override {
    return QFontMetrics(form->CsvGrid->font()).horizontalAdvance(FromCp932(text));
  }
  std::string EditorCardId() override {
    const store::CardRecord& card = *form->edit_card_;
    return card.row >= 0 ? card.id : std::string();
  }
  bool TikanBlank() override { return form->settings_.TikanBlank != 0; }
  void SetTikanBlank(bool on) override {
    form->settings_.TikanBlank = on ? 1 : 0;
    Status s = SaveSettings(form->settings_, form->stores_, kGroupTikanBlank);
    if (!s.ok()) form->ShowWarning(s);
  }
  std::unique_ptr<VariableDialog> CreateTikanFm() override {
    return std::make_unique<TikanDialog>(form, form->ui_, clock, &values);
  }
  void ShowPrintForm(const PrintJob& job) override {
    TPrintFm dialog(form, Printer(), form->registry_, form->ui_);
    TTextPrint& print = dialog.TextPrint();
    print.ColumnCount = job.column_count;
    print.ColumnChars = job.column_chars;
    print.Text = job.text;
    dialog.exec();
  }

  QPrinter* Printer() {
    return form->context_.printer != nullptr ? form->context_.printer : own_printer.get();
  }

  TMainForm* form;
  Clock& clock;
  StoredValues values;
  // The printer settings when the context brings none: what the printer
  // setup dialog chose last in this run. No job paints on it (each prints
  // on a copy, QtPrintJob), so a failed job never leaves it unusable.
  std::unique_ptr<QPrinter> own_printer;
  PrintCommand command;
};

void TMainForm::DestroyPrintGlue(PrintGlue* glue) { delete glue; }

QPrinter* TMainForm::PrinterSettings() {
  if (print_glue_ == nullptr) print_glue_.reset(new PrintGlue(this));
  return print_glue_->Printer();
}

void TMainForm::PrintOutActionExecute() {
  if (print_glue_ == nullptr) print_glue_.reset(new PrintGlue(this));
  print_glue_->command.PrintOutActionExecute();
}

}  // namespace quill
