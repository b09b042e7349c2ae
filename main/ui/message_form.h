// TMessageFm: the form behind ShowMessageDialog, and QtMessageDialog, the
// message-dialog port that shows it.
#pragma once

#include <QDialog>

#include "main/message_dialog.h"

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

// Shows a TMessageFm modally for each call and returns its result.
class QtMessageDialog : public MessageDialogPort {
 public:
  int Show(void* owner, const std::string& text, const std::string& caption,
           int mode) override;
};

}  // namespace quill
