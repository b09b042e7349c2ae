#include "main/ui/qt_shell.h"

#include <QDesktopServices>
#include <QUrl>

#include "platform/qt/cp932_text.h"

namespace quill {

bool QtShell::OpenFile(const std::string& path) {
  return QDesktopServices::openUrl(QUrl::fromLocalFile(FromCp932(path)));
}

void QtShell::OpenAddress(const std::string& address) {
  // Tolerant parsing keeps what a user typed in a card ("http://x/a b")
  // openable; the desktop's handler decides what to do with it.
  const QUrl url(FromCp932(address), QUrl::TolerantMode);
  if (url.isValid()) QDesktopServices::openUrl(url);
}

}  // namespace quill
