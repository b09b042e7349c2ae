// Widget tests: the modal dialogs a command opens, answered by the test
// as each comes up.
#pragma once

#include <QApplication>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <functional>

namespace quill {

// Runs `act` with `on_modal` answering each modal dialog that opens
// meanwhile; a dialog the answer left open (a failed expectation) is
// closed. The class names of the dialogs, in order.
inline QStringList AnsweringModals(const std::function<void(QWidget*)>& on_modal,
                                   const std::function<void()>& act) {
  QStringList shown;
  QPointer<QWidget> last;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr || modal == last) return;
    last = modal;
    shown << modal->metaObject()->className();
    on_modal(modal);
    if (QApplication::activeModalWidget() == modal) modal->close();
  });
  watch.start(10);
  act();
  return shown;
}

}  // namespace quill
