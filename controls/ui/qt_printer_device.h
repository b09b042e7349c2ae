// QtPrinterDevice: the printer port over a QPrinter (a real printer, or a
// PDF file when the printer's output format is PDF).
//
// The QPrinter holds the settings; each document prints as a QtPrintJob
// on a printer of its own made from them, so a job that fails leaves the
// settings usable for the next one (qt_print_job.h).
//
// The metrics are the printer's logical resolution, its paper rectangle
// and its page (printable) rectangle in device pixels. The canvas' origin
// is the page rectangle's top left corner, as QPainter has it.
#pragma once

#include <QPainter>
#include <memory>

#include "controls/ui/qt_print_job.h"
#include "controls/ui/qt_text_canvas.h"
#include "platform/printer_device.h"

class QPrinter;

namespace quill {

class QtPrinterDevice : public PrinterDevice {
 public:
  // The printer stays the caller's (a setup dialog may change it between
  // jobs) and must outlive this object.
  explicit QtPrinterDevice(QPrinter* printer);
  ~QtPrinterDevice() override;

  // The printer's name, or for PDF output the file's.
  std::string Name() const override;
  PrinterMetrics Metrics() const override;
  Status BeginDoc(const std::string& title) override;
  Status NewPage() override;
  Status EndDoc() override;
  TextCanvas* Canvas() override;

  QPrinter* Printer() const { return printer_; }

 private:
  QPrinter* printer_;
  std::unique_ptr<QtPrintJob> job_;  // while a document prints
  QPainter painter_;
  std::unique_ptr<QtPainterCanvas> canvas_;
};

}  // namespace quill
