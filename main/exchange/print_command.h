// PrintCommand: the main window's print command (PrintOutActionExecute).
//
// It takes the text of the card in the editor (a table as its used area,
// a plain text as its selection or, with none, all of it), fills in the
// card's variables, measures each table column as a count of "樹", and
// hands the result to the print dialog. An HTML card is not printed here:
// the user is told to print it from the browser.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quill {

class Ui;
class VariableDialog;

// A table in the editor: its used area as table text (TAB between cells,
// CR LF after each row) and the width of each data column in pixels.
struct PrintTable {
  std::string text;
  std::vector<int> column_widths;
};

// What the print dialog is given: the text, and for a table its column
// count and each column's width in "樹" (column_count 0: plain text).
struct PrintJob {
  std::string text;
  int column_count = 0;
  std::vector<int> column_chars;
};

// How many "樹" (at most 99) fit into `width` pixels, `text_width` giving
// the width of a text.
int ColumnCharsFor(int width, const std::function<int(std::string_view)>& text_width);

// What the print command sees of the main window. Texts are CP932, CR LF.
class PrintCommandView {
 public:
  virtual ~PrintCommandView() = default;
  // 'C' table, 'H' HTML page, 0 plain text.
  virtual int BodyMode() = 0;
  // The text editor's selection ("" when nothing is selected) and its text.
  virtual std::string SelectedText() = 0;
  virtual std::string BodyText() = 0;
  // A table as the grid shows it, edits not yet saved included.
  virtual PrintTable Table() = 0;
  // The width of a text in the table's font, in pixels.
  virtual int TableTextWidth(std::string_view text) = 0;
  // The id of the card in the editor when it is a stored card, else "".
  virtual std::string EditorCardId() = 0;
  // The remembered state of the substitution dialog's TikanBlank; the
  // setter stores it in the settings at once.
  virtual bool TikanBlank() = 0;
  virtual void SetTikanBlank(bool on) = 0;
  virtual std::unique_ptr<VariableDialog> CreateTikanFm() = 0;
  // Shows the print dialog for the job, modally.
  virtual void ShowPrintForm(const PrintJob& job) = 0;
};

class PrintCommand {
 public:
  PrintCommand(PrintCommandView& view, Ui& ui) : view_(view), ui_(ui) {}

  void PrintOutActionExecute();

 private:
  PrintCommandView& view_;
  Ui& ui_;
};

}  // namespace quill
