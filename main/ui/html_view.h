// TWebFm: the view of an HTML card. It shows the "index.html" of its view
// folder (written by WriteHtmlViewFile) with no scripts and no network:
// the page's CP932 bytes are converted by the program's own codec (a
// charset the page names is never followed), and the only resources it
// loads are files directly in the view folder. A clicked web or mail
// address goes to the shell; nothing else is opened.
#pragma once

#include <QTextBrowser>
#include <string>

#include "platform/shell.h"

namespace quill {

class TWebFm : public QTextBrowser {
  Q_OBJECT

 public:
  // `folder`: the view folder (UTF-8 path).
  TWebFm(std::string folder, Shell& shell, QWidget* parent = nullptr);

  // Shows the folder's "index.html" as it is now.
  void Reload();
  const std::string& folder() const { return folder_; }

  QVariant loadResource(int type, const QUrl& name) override;

 private:
  void LinkClicked(const QUrl& url);

  std::string folder_;
  Shell& shell_;
};

}  // namespace quill
