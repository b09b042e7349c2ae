// TMessageFm: the form behind Ui::ShowMessageDialog on the desktop (QtUi).
#pragma once

#include <QDialog>
#include <string>

#include "platform/ui.h"

class QLabel;
class QPushButton;

namespace quill {

class TMessageFm : public QDialog {
  Q_OBJECT

 public:
  // text and caption are CP932 bytes; mode 4 shows Yes and No, any other
  // mode OK.
  TMessageFm(QWidget* owner, const std::string& text, const std::string& caption, int mode);

  QLabel* Message;
  QPushButton* CloseBT;
  QPushButton* YesBT;
  QPushButton* NoBT;

 public slots:
  // The close box and Esc give 2.
  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;
};

}  // namespace quill
