#include "main/ui/html_view.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QMenu>
#include <QTextDocument>
#include <QUrl>
#include <memory>

#include "clip/html_cleaner.h"
#include "platform/file_env.h"
#include "platform/qt/cp932_text.h"
#include "platform/text_codec.h"

namespace quill {

namespace {

// The file of the folder a resource address names, or "" when it names
// none there (another folder, another scheme, a view file of its own).
std::string FileOfResource(const std::string& folder, const QUrl& url) {
  if (!url.scheme().isEmpty() || !url.host().isEmpty()) return std::string();
  // The page writes a name as the card holds it; the address may come
  // percent-decoded or not.
  for (const QString& path : {url.path(QUrl::FullyDecoded), url.path(QUrl::PrettyDecoded),
                              url.toString(QUrl::FullyEncoded)}) {
    const std::string name = ToCp932(path);
    if (!IsPlainLocalName(name)) continue;
    const std::string file = folder + "/" + Cp932ToUtf8(name);
    if (FileEnv::Default().IsRegularFile(file)) return file;
  }
  return std::string();
}

}  // namespace

TWebFm::TWebFm(std::string folder, Shell& shell, PagePrinter* printer, QWidget* parent)
    : QTextBrowser(parent), folder_(std::move(folder)), shell_(shell), printer_(printer) {
  setObjectName("WebView");
  while (folder_.size() > 1 && folder_.back() == '/') folder_.pop_back();
  setOpenLinks(false);
  setOpenExternalLinks(false);
  connect(this, &QTextBrowser::anchorClicked, this, &TWebFm::LinkClicked);
  Reload();
}

void TWebFm::Reload() {
  std::string page;
  if (!FileEnv::Default().ReadFile(folder_ + "/" + std::string(kHtmlViewFileName), &page).ok()) {
    page.clear();
  }
  // The bytes are CP932 whatever the page says of itself.
  setHtml(FromCp932(page));
}

QVariant TWebFm::loadResource(int type, const QUrl& name) {
  if (type != QTextDocument::ImageResource) return QVariant();
  const std::string file = FileOfResource(folder_, name);
  std::string bytes;
  if (file.empty() || !FileEnv::Default().ReadFile(file, &bytes).ok()) return QVariant();
  return QByteArray::fromStdString(bytes);
}

QMenu* TWebFm::CreateContextMenu(const QPoint& at) {
  QMenu* menu = createStandardContextMenu(at);
  if (printer_ != nullptr) {
    menu->addSeparator();
    QAction* print = menu->addAction(QString::fromUtf8("印刷(&P)..."));
    print->setObjectName("PrintPage");
    connect(print, &QAction::triggered, this, &TWebFm::PrintPageClick);
  }
  return menu;
}

void TWebFm::PrintPageClick() {
  if (printer_ != nullptr) printer_->PrintPage(window(), *document());
}

void TWebFm::contextMenuEvent(QContextMenuEvent* event) {
  const std::unique_ptr<QMenu> menu(CreateContextMenu(event->pos()));
  menu->exec(event->globalPos());
}

void TWebFm::LinkClicked(const QUrl& url) {
  const QString scheme = url.scheme().toLower();
  if (scheme == "http" || scheme == "https" || scheme == "mailto") {
    shell_.OpenAddress(ToCp932(url.toString()));
  }
}

}  // namespace quill
