// QtPagePrinter: prints a page of the HTML view. The system's print dialog
// chooses the printer or the file on the program's printer settings (the
// same the print dialog TPrintFm uses, so a choice made in one holds for
// the other); the page then prints as one job on a printer of its own
// (QtPrintJob), titled "Quillbox ". A job that fails shows
// "印刷できませんでした" and leaves the settings usable.
#pragma once

#include <QPrinter>
#include <functional>

#include "main/ui/html_view.h"

namespace quill {

class Ui;

class QtPagePrinter final : public PagePrinter {
 public:
  // `settings` gives the printer settings when a page is printed.
  QtPagePrinter(std::function<QPrinter*()> settings, Ui& ui);

  void PrintPage(QWidget* over, const QTextDocument& page) override;

  // The print dialog over `over` on the settings; whether it was
  // confirmed. By default the system's print dialog.
  std::function<bool(QPrinter*, QWidget* over)> RunPrintDialog;

 private:
  std::function<QPrinter*()> settings_;
  Ui& ui_;
};

}  // namespace quill
