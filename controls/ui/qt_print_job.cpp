#include "controls/ui/qt_print_job.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFileInfo>
#include <cerrno>
#include <cstring>

#include "platform/file_env.h"

namespace quill {

namespace {

std::string Local(const QString& path) { return path.toLocal8Bit().toStdString(); }

Status Errno(const std::string& what, const QString& path, int error) {
  return Status::IoError(what + " " + path.toStdString() + ": " + std::strerror(error));
}

}  // namespace

void CopyPrinterSettings(const QPrinter& from, QPrinter& to) {
  to.setOutputFormat(from.outputFormat());
  if (from.outputFormat() == QPrinter::NativeFormat) to.setPrinterName(from.printerName());
  // An empty name would switch the format back to the printer's.
  if (!from.outputFileName().isEmpty()) to.setOutputFileName(from.outputFileName());
  to.setResolution(from.resolution());
  to.setFullPage(from.fullPage());
  to.setPageLayout(from.pageLayout());
  to.setCopyCount(from.copyCount());
  to.setCollateCopies(from.collateCopies());
  to.setDuplex(from.duplex());
  to.setColorMode(from.colorMode());
  to.setPageOrder(from.pageOrder());
  to.setPaperSource(from.paperSource());
  to.setPrintRange(from.printRange());
  to.setFromTo(from.fromPage(), from.toPage());
  to.setDocName(from.docName());
  to.setCreator(from.creator());
}

QtPrintJob::QtPrintJob(const QPrinter& settings) : printer_(QPrinter::HighResolution) {
  CopyPrinterSettings(settings, printer_);
  target_ = settings.outputFileName();
}

QtPrintJob::~QtPrintJob() { RemoveTemporary(); }

Status QtPrintJob::Open() {
  if (target_.isEmpty() || !temp_.isEmpty()) return Status::Ok();
  const QFileInfo target(target_);
  // mkstemps makes the file 0600, exclusively, under a name no one can
  // foresee; the suffix keeps the printer writing PDF.
  std::string name = Local(target.absolutePath() + "/." + target.fileName() + "-XXXXXX.pdf");
  const int fd = ::mkstemps(name.data(), 4);
  if (fd < 0) return Errno("cannot print into", target_, errno);
  ::close(fd);
  temp_ = QString::fromLocal8Bit(name.c_str());
  printer_.setOutputFileName(temp_);
  return Status::Ok();
}

Status QtPrintJob::Commit(bool painted) {
  // A printer whose painting never began is left active, not idle.
  if (!painted || printer_.printerState() != QPrinter::Idle) {
    RemoveTemporary();
    return Status::IoError("the print job did not complete");
  }
  if (temp_.isEmpty()) return Status::Ok();
  const std::string temp = Local(temp_);
  const std::string target = Local(QFileInfo(target_).absoluteFilePath());
  // Written, the file gets the mode of every file that replaces another:
  // 0600, or the stricter mode of the file it replaces.
  const int fd = ::open(temp.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0 || ::fchmod(fd, FileEnv::Default().ReplacementMode(target)) != 0 ||
      ::fsync(fd) != 0) {
    const int error = errno;
    if (fd >= 0) ::close(fd);
    RemoveTemporary();
    return Errno("cannot write", target_, error);
  }
  ::close(fd);
  if (::rename(temp.c_str(), target.c_str()) != 0) {
    const int error = errno;
    RemoveTemporary();
    return Errno("cannot write", target_, error);
  }
  temp_.clear();
  return Status::Ok();
}

void QtPrintJob::RemoveTemporary() {
  if (temp_.isEmpty()) return;
  ::unlink(Local(temp_).c_str());
  temp_.clear();
}

}  // namespace quill
