#include "controls/ui/qt_printer_device.h"

#include <QPrinter>

#include "platform/qt/cp932_text.h"

namespace quill {

QtPrinterDevice::QtPrinterDevice(QPrinter* printer) : printer_(printer) {}

QtPrinterDevice::~QtPrinterDevice() {
  // A job left running is given up: its file is not put in place.
  canvas_.reset();
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
  if (job_ != nullptr) return Status::Invalid("a print job is already running");
  auto job = std::make_unique<QtPrintJob>(*printer_);
  job->printer()->setDocName(FromCp932(title));
  QUILL_RETURN_IF_ERROR(job->Open());
  if (!painter_.begin(job->printer())) {
    const QString where = job->target().isEmpty() ? printer_->printerName() : job->target();
    return Status::IoError("the print job could not be started on " + ToCp932(where));
  }
  job_ = std::move(job);
  canvas_ = std::make_unique<QtPainterCanvas>(job_->printer(), &painter_);
  return Status::Ok();
}

Status QtPrinterDevice::NewPage() {
  if (job_ == nullptr) return Status::Invalid("no print job is running");
  if (!job_->printer()->newPage()) return Status::IoError("the printer did not start a new page");
  return Status::Ok();
}

Status QtPrinterDevice::EndDoc() {
  if (job_ == nullptr) return Status::Invalid("no print job is running");
  canvas_.reset();
  const bool ended = painter_.end();
  const Status committed = job_->Commit(ended);
  job_.reset();
  return committed;
}

TextCanvas* QtPrinterDevice::Canvas() { return canvas_.get(); }

}  // namespace quill
