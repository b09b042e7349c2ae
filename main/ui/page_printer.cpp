#include "main/ui/page_printer.h"

#include <QPrintDialog>
#include <QTextDocument>

#include "controls/ui/qt_print_job.h"
#include "main/exchange/print_panel.h"
#include "platform/messages.h"
#include "platform/ui_messages.h"

namespace quill {

QtPagePrinter::QtPagePrinter(std::function<QPrinter*()> settings, Ui& ui)
    : settings_(std::move(settings)), ui_(ui) {
  RunPrintDialog = [](QPrinter* printer, QWidget* over) {
    QPrintDialog dialog(printer, over);
    return dialog.exec() == QDialog::Accepted;
  };
}

void QtPagePrinter::PrintPage(QWidget* over, const QTextDocument& page) {
  QPrinter* settings = settings_();
  if (settings == nullptr || !RunPrintDialog(settings, over)) return;
  QtPrintJob job(*settings);
  job.printer()->setDocName(QString::fromLatin1(kPrintJobTitle));
  Status printed = job.Open();
  if (printed.ok()) {
    page.print(job.printer());
    printed = job.Commit(true);
  }
  if (!printed.ok()) ShowWarning(ui_, MessageId::kPrintFailed);
}

}  // namespace quill
