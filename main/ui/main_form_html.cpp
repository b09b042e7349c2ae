// The HTML view of the main window: an 'H' card is shown as its page over
// MainPanel, from the view files in "tmp".
#include <QLayout>
#include <QPlainTextEdit>

#include "clip/html_view_file.h"
#include "main/ui/html_view.h"
#include "main/ui/main_form.h"
#include "main/ui/widget_text.h"

namespace quill {

void TMainForm::ShowHtmlView() {
  const Status written =
      WriteHtmlViewFile(env_, startup_.TmpFolder(), WidgetToText(Text->toPlainText()));
  if (!written.ok()) ShowWarning(written);
  Text->hide();
  HideHtmlView();
  WebView = new TWebFm(startup_.TmpFolder(), shell_, MainPanel);
  WebView->setGeometry(0, 0, MainPanel->width(), MainPanel->height());
  if (MainPanel->layout() != nullptr) MainPanel->layout()->addWidget(WebView);
  WebView->show();
}

void TMainForm::HideHtmlView() {
  delete WebView;
  WebView = nullptr;
}

}  // namespace quill
