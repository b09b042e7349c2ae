// TUpDownWithField: two arrow buttons that step the integer shown in a
// line edit by one. The edit's text is the value; the control keeps none
// of its own.
#pragma once

#include <QPointer>
#include <QWidget>

class QLineEdit;
class QToolButton;

namespace quill {

enum TUDBtnType { btNext, btPrev };

class TUpDownWithField : public QWidget {
  Q_OBJECT
 public:
  explicit TUpDownWithField(QWidget* owner = nullptr);

  // The bound edit; the control does not own it.
  QPointer<QLineEdit> EditField;

  // A click on a button: OnClick first, then the edit's number goes up
  // (btNext) or down (btPrev) by one, held at the limits of int, and the
  // edit gets the focus with all its text selected. Without an edit only
  // OnClick happens.
  void Click(TUDBtnType button);

  QToolButton* Button(TUDBtnType button) const;

 signals:
  void OnClick();

 private:
  QToolButton* next_;
  QToolButton* prev_;
};

}  // namespace quill
