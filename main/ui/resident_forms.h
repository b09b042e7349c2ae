// The two dialogs that are created once at start and live for the whole
// run. Their controls come with the kind picker and the find and replace
// strings; until then they are empty and never shown.
#pragma once

#include <QDialog>

namespace quill {

class TKindFm : public QDialog {
  Q_OBJECT

 public:
  explicit TKindFm(QWidget* owner) : QDialog(owner) { setObjectName("KindFm"); }
};

class TReplaceFm : public QDialog {
  Q_OBJECT

 public:
  explicit TReplaceFm(QWidget* owner) : QDialog(owner) { setObjectName("ReplaceFm"); }
};

}  // namespace quill
