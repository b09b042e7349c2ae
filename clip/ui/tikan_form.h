// TTikanFm: the dialog that asks for the values of a text's variables
// before it is pasted or printed.
//
// A thin view over VariableFill (clip/variables.h): the grid shows one row
// per variable (name, value); the logic does the scanning, the built-ins,
// the remembered values and the substitution. The call protocol is the
// logic's, forwarded: SetSource, ScanVariables, SetSelected / AddSelected,
// SetPrefill, ExpandBuiltins, then exec() (1 OK, 2 cancelled) or FillGrid +
// ApplyValues, then GetResult; SaveValues stores the grid's values.
//
// Keys in the grid: Enter goes to the next variable and, on the last one,
// closes with 1 and stores the values; Shift+Enter closes with 1 without
// storing them; Esc closes with 2. The text is substituted whenever the
// dialog closes.
#pragma once

#include <QDialog>
#include <QPointer>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <string>
#include <string_view>

#include "clip/paste_out.h"
#include "clip/variables.h"
#include "platform/ui.h"

class QCheckBox;
class QKeyEvent;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace quill {

class TTikanFm;

// The grid: hands its keys (and those of its cell editor) to the form.
class TikanGridWidget : public QTableWidget {
  Q_OBJECT
 public:
  TikanGridWidget(TTikanFm* form, QWidget* parent);
  // Stores the text of an open cell editor into its cell.
  void CommitOpenEditor();

 protected:
  void keyPressEvent(QKeyEvent* e) override;
  void keyReleaseEvent(QKeyEvent* e) override;
  void focusInEvent(QFocusEvent* e) override;

 private:
  TTikanFm* form_;
};

// Cell editor delegate: Enter commits the cell and then reaches the form as
// a grid key; Esc reaches the form too.
class TikanGridDelegate : public QStyledItemDelegate {
  Q_OBJECT
 public:
  TikanGridDelegate(TTikanFm* form, QObject* parent) : QStyledItemDelegate(parent), form_(form) {}

 protected:
  bool eventFilter(QObject* editor, QEvent* event) override;

 private:
  TTikanFm* form_;
};

class TTikanFm : public QDialog {
  Q_OBJECT
 public:
  // `values` may be null (nothing is remembered). A failure to store the
  // values is told through ui.
  TTikanFm(QWidget* owner, Ui& ui, Clock& clock, RememberedValues* values);

  void SetSource(std::string_view text, std::string_view key) { fill_.SetSource(text, key); }
  int ScanVariables() { return fill_.ScanVariables(); }
  void SetSelected(std::string_view text) { fill_.SetSelected(text); }
  void AddSelected() { fill_.AddSelected(); }
  void SetPrefill(std::string_view text) { fill_.SetPrefill(text); }
  void ExpandBuiltins() { fill_.ExpandBuiltins(); }
  // Fills the logic's values and the grid from them.
  Status FillGrid();
  // Substitutes the grid's values, honouring TikanBlank.
  void ApplyValues();
  const std::string& GetResult() const { return fill_.GetResult(); }
  // Stores the grid's values under the card id.
  Status SaveValues();

  VariableFill& fill() { return fill_; }
  // The character of the last key pressed in the grid (0 after showing).
  int last_key() const { return last_key_; }

  // Controls.
  TikanGridWidget* TikanGrid;
  QCheckBox* TikanBlank;
  QLabel* BunLabel;
  QPlainTextEdit* Bun;
  QPushButton* OK;
  QPushButton* Cancel;

  // Handlers.
  void FormShow();
  void OKClick();
  void CancelClick();
  void TikanGridEnter();
  // Returns true when the key was used.
  bool TikanGridKeyDown(QKeyEvent* e);
  bool TikanGridKeyPress(QKeyEvent* e);
  bool TikanGridKeyUp(QKeyEvent* e);

  void done(int result) override;
  void reject() override;

 protected:
  void showEvent(QShowEvent* e) override;

 private:
  void TakeGridValues();
  // SaveValues, telling the user when the values could not be stored.
  void StoreValues();

  Ui& ui_;
  VariableFill fill_;
  int last_key_ = 0;
  bool applied_ = false;
};

// TTikanFm as paste-out's substitution dialog, for one paste.
class TikanDialog final : public VariableDialog {
 public:
  TikanDialog(QWidget* owner, Ui& ui, Clock& clock, RememberedValues* values)
      : form_(new TTikanFm(owner, ui, clock, values)) {}
  ~TikanDialog() override { delete form_.data(); }
  TikanDialog(const TikanDialog&) = delete;
  TikanDialog& operator=(const TikanDialog&) = delete;

  VariableFill& fill() override { return form_->fill(); }
  void SetBlank(bool on) override;
  bool Blank() override;
  int ShowModal() override { return form_->exec(); }
  TTikanFm* form() { return form_; }

 private:
  QPointer<TTikanFm> form_;  // goes with its owner, should that go first
};

}  // namespace quill
