// TWebFm: the view of an HTML card. It shows the "index.html" of its view
// folder (written by WriteHtmlViewFile) with no scripts and no network:
// the page's CP932 bytes are converted by the program's own codec (a
// charset the page names is never followed), and the only resources it
// loads are files directly in the view folder. A clicked web or mail
// address goes to the shell; nothing else is opened.
//
// Its context menu holds Qt's own items (copy, copy the link, select all)
// and "印刷(&P)...", which hands the page to a PagePrinter.
#pragma once

#include <QTextBrowser>
#include <string>

#include "platform/shell.h"

class QMenu;
class QTextDocument;

namespace quill {

// Where the view's print item sends the page.
class PagePrinter {
 public:
  virtual ~PagePrinter() = default;
  // Prints the page as laid out; `over`: the window that asked.
  virtual void PrintPage(QWidget* over, const QTextDocument& page) = 0;
};

class TWebFm : public QTextBrowser {
  Q_OBJECT

 public:
  // `folder`: the view folder (UTF-8 path). `printer` (none: no print
  // item) must outlive the view.
  TWebFm(std::string folder, Shell& shell, PagePrinter* printer, QWidget* parent = nullptr);

  // Shows the folder's "index.html" as it is now.
  void Reload();
  const std::string& folder() const { return folder_; }

  QVariant loadResource(int type, const QUrl& name) override;

  // The context menu at a point of the view, the caller's to free.
  QMenu* CreateContextMenu(const QPoint& at);
  // "印刷(&P)...": the page to the printer.
  void PrintPageClick();

 protected:
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  void LinkClicked(const QUrl& url);

  std::string folder_;
  Shell& shell_;
  PagePrinter* printer_;
};

}  // namespace quill
