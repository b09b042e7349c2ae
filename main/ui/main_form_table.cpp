// TMainForm's table cards: the grid CsvGrid in the card panel and its
// events, the switch of the body between text, table and page, links in
// cells, and local files dropped anywhere on the window, which become file
// links in the grid or the text.
#include <QCheckBox>
#include <QComboBox>
#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QTreeView>
#include <QUrl>

#include "clip/paste_target.h"
#include "controls/ui/string_grid_pelm.h"
#include "main/ui/main_form_tree_glue.h"
#include "main/ui/widget_text.h"
#include "platform/qt/cp932_text.h"
#include "platform/ui.h"

namespace quill {
namespace {

// The local files a drag carries, as CP932 paths; none for any other drag.
std::vector<std::string> LocalFiles(const QMimeData* mime) {
  std::vector<std::string> paths;
  if (mime == nullptr || !mime->hasUrls()) return paths;
  for (const QUrl& url : mime->urls()) {
    if (url.isLocalFile()) paths.push_back(ToCp932(url.toLocalFile()));
  }
  return paths;
}

// Takes the drags of local files on the widgets it watches and hands their
// drop to the window; every other drag (the tree's own nodes, text dragged
// inside the editor) is left to the widget. It also tells the window when
// the grid gets the focus.
class TableBodyFilter final : public QObject {
 public:
  explicit TableBodyFilter(TMainForm* form) : QObject(form), form_(form) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    switch (event->type()) {
      case QEvent::FocusIn:
        if (watched == form_->CsvGrid) form_->CsvGridEnter();
        return false;
      case QEvent::DragEnter:
      case QEvent::DragMove:
      case QEvent::Drop:
        break;
      default:
        return false;
    }
    auto* drop = static_cast<QDropEvent*>(event);
    const std::vector<std::string> paths = LocalFiles(drop->mimeData());
    if (paths.empty()) return false;
    drop->setDropAction(Qt::CopyAction);
    drop->accept();
    if (event->type() == QEvent::Drop) form_->DropFilesToGrid(paths);
    return true;
  }

 private:
  TMainForm* form_;
};

}  // namespace

void TMainForm::SetupTableBody() {
  GridModel& grid = CsvGrid->Grid();
  grid.beep = [this] { ui_.MessageBeep(); };
  connect(CsvGrid, &TStringGridPelm::OnChangeAfter, this, &TMainForm::CsvGridChangeAfter);
  connect(CsvGrid, &TStringGridPelm::OnSaveRequest, this, &TMainForm::CsvGridSaveRequest);
  connect(CsvGrid, &TStringGridPelm::OnFindRequest, this, &TMainForm::CsvGridFindRequest);
  connect(CsvGrid, &TStringGridPelm::OnLink, this, &TMainForm::CsvGridLink);
  connect(CsvGrid, &QAbstractItemView::doubleClicked, this, &TMainForm::CsvGridDblClick);

  // Files dropped anywhere on the window: the widgets that take drops of
  // their own are watched, the others leave the drag to the window.
  auto* filter = new TableBodyFilter(this);
  CsvGrid->viewport()->setAcceptDrops(true);
  for (QWidget* w : {static_cast<QWidget*>(this), Tree->viewport(), Text->viewport(),
                     CsvGrid->viewport(), static_cast<QWidget*>(Title),
                     static_cast<QWidget*>(Syutten->lineEdit())}) {
    w->installEventFilter(filter);
  }
  CsvGrid->installEventFilter(filter);
}

// --- the view's table half ---

void TMainForm::TreeGlue::EditorView::ShowTableBody() {
  TStringGridPelm* grid = form_->CsvGrid;
  // The grid copies and pastes through the program's clipboard.
  if (grid->Grid().clipboard == nullptr) grid->Grid().clipboard = &form_->Clip().clipboard();
  form_->ShowTableBody();
}

void TMainForm::TreeGlue::EditorView::ShowHtmlBody() { form_->ShowHtmlView(); }

void TMainForm::TreeGlue::EditorView::InsertIntoBody(size_t offset, const std::string& text) {
  QPlainTextEdit* edit = form_->Text;
  const QString all = edit->toPlainText();
  const int at = static_cast<int>(UnitsForBytes(all, WidgetToText(all), offset));
  QTextCursor cursor(edit->document());
  cursor.setPosition(at);
  cursor.insertText(TextToWidget(text));
  // The body's limit may have cut what went in: the cursor follows.
  const int end = cursor.position();
  cursor.setPosition(at);
  cursor.setPosition(end, QTextCursor::KeepAnchor);
  edit->setTextCursor(cursor);
}

// --- handlers ---

void TMainForm::ShowTableBody() {
  HideHtmlView();
  Text->hide();
  CsvGrid->setFont(Text->font());
  CsvGrid->SetRowHeight(Text->font().pointSize() + 10);
  // The grid stands in for the hidden text, which cannot take the focus
  // that would hand the text's background colour on: it takes it here.
  SetBaseColor(CsvGrid, settings_.TextBackColor);
  CsvGrid->show();
}

void TMainForm::ShowTextBody() {
  HideHtmlView();
  Text->show();
  CsvGrid->hide();
}

void TMainForm::CsvHtmlCKClick() { Editor().CsvHtmlCKClick(); }

void TMainForm::CsvGridEnter() { FocusedEditor = CsvGrid; }

void TMainForm::CsvGridChangeAfter() { Editor().CsvGridChangeAfter(); }

void TMainForm::CsvGridSaveRequest() { Editor().SaveCurrentCard(true); }

void TMainForm::CsvGridFindRequest() { FindStrMenuClick(); }

// CsvGridLink and OpenLinkedCard go through the card windows' glue
// (main_form_cardwin.cpp).

void TMainForm::CsvGridDblClick() { CsvGridLink(); }

void TMainForm::DropFilesToGrid(const std::vector<std::string>& paths) {
  Editor().DropFiles(paths);
}

}  // namespace quill
