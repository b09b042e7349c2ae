// The HTML view of the main window: an 'H' card is shown as its page over
// MainPanel, from the view files in "tmp".
#include <QLayout>
#include <QPlainTextEdit>

#include "clip/html_view_file.h"
#include "main/ui/html_view.h"
#include "main/ui/main_form.h"
#include "main/ui/page_printer.h"
#include "main/ui/widget_text.h"

namespace quill {

void TMainForm::ShowHtmlView() {
  const Status written =
      WriteHtmlViewFile(env_, startup_.TmpFolder(), WidgetToText(Text->toPlainText()));
  if (!written.ok()) ShowWarning(written);
  Text->hide();
  HideHtmlView();
  WebView = new TWebFm(startup_.TmpFolder(), shell_, &HtmlPagePrinter(), MainPanel);
  WebView->setGeometry(0, 0, MainPanel->width(), MainPanel->height());
  if (MainPanel->layout() != nullptr) MainPanel->layout()->addWidget(WebView);
  WebView->show();
}

PagePrinter& TMainForm::HtmlPagePrinter() {
  if (page_printer_ == nullptr) {
    page_printer_ = std::make_unique<QtPagePrinter>([this] { return PrinterSettings(); }, ui_);
  }
  return *page_printer_;
}

void TMainForm::HideHtmlView() {
  delete WebView;
  WebView = nullptr;
}

}  // namespace quill
