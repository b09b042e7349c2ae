// TAddHyouFm: asks for the two cells of a line appended to a table card
// ("表に一発追加登録"). Both fields start with the line; "追加" adds the
// row (1), "追加しない" or the close box skips it (2).
#pragma once

#include <QDialog>
#include <string>

class QLineEdit;
class QPushButton;

namespace quill {

class TAddHyouFm : public QDialog {
  Q_OBJECT

 public:
  explicit TAddHyouFm(QWidget* parent = nullptr);

  // The cells as CP932 text.
  void SetFields(const std::string& title, const std::string& text);
  std::string TitleText() const;
  std::string TextText() const;

  QLineEdit* Title;
  QLineEdit* Text;
  QPushButton* Button1;
  QPushButton* Cancel;

 protected:
  void showEvent(QShowEvent* event) override;
};

// Shows the dialog modally over `parent` with both fields holding the
// line; on 1 the fields come back in `title` and `text`.
int RunAddHyouForm(QWidget* parent, std::string* title, std::string* text);

}  // namespace quill
