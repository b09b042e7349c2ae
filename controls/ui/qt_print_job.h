// QtPrintJob: one print job on a printer of its own, made with the
// settings of a settings printer (the one the printer setup dialog edits).
//
// The settings printer is never painted on. A QPrinter on which painting
// failed to begin stays "active" and refuses every later change (the setup
// dialog's choice of a file among them), so a job that cannot begin, breaks
// off or is given up leaves only its own printer behind, and the settings
// printer serves the next job and the next setup as it was.
//
// Output to a file follows the rule of every file the program writes: the
// job writes a temporary file of mode 0600 with an unpredictable name
// beside the target, and only a job that ended cleanly gives it the mode
// of a replacement (0600, or the stricter mode of the target) and replaces
// the target with it (a link of that name is replaced, not followed); any
// other end removes it and leaves the target as it was.
#pragma once

#include <QPrinter>
#include <QString>

#include "platform/status.h"

namespace quill {

// Copies what a printer setup dialog can choose (the printer or the file,
// the paper and its layout, copies, duplex, colour, page range, resolution)
// from one printer to another that is not printing.
void CopyPrinterSettings(const QPrinter& from, QPrinter& to);

class QtPrintJob {
 public:
  explicit QtPrintJob(const QPrinter& settings);
  ~QtPrintJob();  // a job not committed removes its temporary file
  QtPrintJob(const QtPrintJob&) = delete;
  QtPrintJob& operator=(const QtPrintJob&) = delete;

  // The printer to paint on, once Open succeeded.
  QPrinter* printer() { return &printer_; }
  // The file the job writes in the end, or "" for a printer.
  const QString& target() const { return target_; }

  // Makes the temporary file for output to a file; a folder that does not
  // take it fails the job before anything is painted.
  Status Open();
  // After painting has ended, `painted` telling whether it went well:
  // checks the printer, then puts the file in place of the target.
  Status Commit(bool painted);

 private:
  void RemoveTemporary();

  QPrinter printer_;
  QString target_;
  QString temp_;
};

}  // namespace quill
