#include "controls/ui/qt_printer_device.h"

#include <QPrinter>

#include "platform/qt/cp932_text.h"

namespace quill {

QtPrinterDevice::QtPrinterDevice(QPrinter* printer) : printer_(printer) {}

QtPrinterDevice::~QtPrinterDevice() {
  if (painter_.isActive()) painter_.end();
}

std::string QtPrinterDevice::Name() const {
  // A printer that writes a file is known by the file.
  if (printer_->outputFormat() == QPrinter::PdfFormat) return ToCp932(printer_->outputFileName());
  return ToCp932(printer_->printerName());
}

PrinterMetrics QtPrinterDevice::Metrics() const {
  const QRect paper = printer_->paperRect(QPrinter::DevicePixel).toRect();
  const QRect page = printer_->pageRect(QPrinter::DevicePixel).toRect();
  PrinterMetrics m;
  m.dpi_x = printer_->logicalDpiX();
  m.dpi_y = printer_->logicalDpiY();
  m.paper_width = paper.width();
  m.paper_height = paper.height();
  m.page_left = page.left() - paper.left();
  m.page_top = page.top() - paper.top();
  m.page_width = page.width();
  m.page_height = page.height();
  return m;
}

Status QtPrinterDevice::BeginDoc(const std::string& title) {
  if (painter_.isActive()) return Status::Invalid("a print job is already running");
  printer_->setDocName(FromCp932(title));
  if (!painter_.begin(printer_)) {
    const QString where = printer_->outputFileName().isEmpty() ? printer_->printerName()
                                                               : printer_->outputFileName();
    return Status::IoError("the print job could not be started on " + ToCp932(where));
  }
  canvas_ = std::make_unique<QtPainterCanvas>(printer_, &painter_);
  return Status::Ok();
}

Status QtPrinterDevice::NewPage() {
  if (!painter_.isActive()) return Status::Invalid("no print job is running");
  if (!printer_->newPage()) return Status::IoError("the printer did not start a new page");
  return Status::Ok();
}

Status QtPrinterDevice::EndDoc() {
  if (!painter_.isActive()) return Status::Invalid("no print job is running");
  canvas_.reset();
  const bool ended = painter_.end();
  if (!ended || printer_->printerState() == QPrinter::Error) {
    return Status::IoError("the print job did not complete");
  }
  return Status::Ok();
}

TextCanvas* QtPrinterDevice::Canvas() { return canvas_.get(); }

}  // namespace quill
