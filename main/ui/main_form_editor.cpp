// TMainForm's card editor: the card panel's handlers, which forward to the
// CardEditor, and the view through which the editor sees the widgets.
//
// Inside the program the card's text is CP932 with CR LF; the widgets
// hold Unicode with LF. The title box takes at most 50 CP932 bytes and
// the text at most 1,000,000.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTextCursor>
#include <QTextDocument>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>

#include "clip/paste_out.h"
#include "controls/ui/string_grid_pelm.h"
#include "platform/protocol/shared_hook_block.h"
#include "platform/ui.h"
#include "main/search/history_list.h"
#include "platform/qt/cp932_text.h"
#include "main/ui/class_color.h"
#include "main/ui/flow_layout.h"
#include "main/ui/main_form_tree_glue.h"
#include "main/ui/widget_look.h"
#include "main/ui/widget_text.h"
#include "platform/text_codec.h"
#include "platform/sjis.h"

namespace quill {

namespace {

constexpr size_t kTitleLimitBytes = 50;

// Keeps the body within its byte limit: of an edit that would pass it,
// what it inserted stays as far as it fits (the editor beeps), cut on a
// character boundary; the cut joins the edit's undo step.
class BodyLimit final : public QObject {
 public:
  BodyLimit(QPlainTextEdit* edit, CardEditor& editor)
      : QObject(edit), edit_(edit), editor_(editor) {
    connect(edit->document(), &QTextDocument::contentsChange, this,
            [this](int at, int /*removed*/, int added) {
              at_ = at;
              added_ = added;
            });
    connect(edit, &QPlainTextEdit::textChanged, this, [this] { Check(); });
  }

 private:
  void Check() {
    // Every character takes at most two bytes: only a long text needs
    // counting.
    QTextDocument* doc = edit_->document();
    if (cutting_ || static_cast<size_t>(doc->characterCount()) * 2 <= kBodyLimitBytes) return;
    const QString text = edit_->toPlainText();
    const size_t total = WidgetToText(text).size();
    if (total <= kBodyLimitBytes) return;
    const int at = std::clamp(at_, 0, static_cast<int>(text.size()));
    const int added = std::clamp(added_, 0, static_cast<int>(text.size()) - at);
    const QString inserted = text.mid(at, added);
    const std::string bytes = WidgetToText(inserted);
    const size_t kept = editor_.BodyInserted(bytes, total - std::min(total, bytes.size()));
    if (kept >= bytes.size()) return;
    cutting_ = true;
    QTextCursor cursor(doc);
    cursor.joinPreviousEditBlock();
    cursor.setPosition(at + static_cast<int>(UnitsForBytes(inserted, bytes, kept)));
    cursor.setPosition(at + added, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
    cursor.endEditBlock();
    cutting_ = false;
  }

  QPlainTextEdit* edit_;
  CardEditor& editor_;
  int at_ = 0;
  int added_ = 0;
  bool cutting_ = false;
};

}  // namespace

// --- the view ---


std::string TMainForm::TreeGlue::EditorView::TitleText() { return ToCp932(form_->Title->text()); }

void TMainForm::TreeGlue::EditorView::SetTitleText(const std::string& title) {
  QSignalBlocker block(form_->Title);
  form_->Title->setText(FromCp932(title));
}

std::string TMainForm::TreeGlue::EditorView::BodyText() { return WidgetToText(form_->Text->toPlainText()); }

void TMainForm::TreeGlue::EditorView::SetBodyText(const std::string& text, bool as_edit) {
  QPlainTextEdit* edit = form_->Text;
  if (as_edit) {
    QTextCursor cursor(edit->document());
    cursor.select(QTextCursor::Document);
    cursor.insertText(TextToWidget(text));
    edit->document()->setModified(true);
    return;
  }
  QSignalBlocker block(edit);
  edit->setPlainText(TextToWidget(text));
  edit->document()->setModified(false);
  form_->CardShown();
}

bool TMainForm::TreeGlue::EditorView::BodyModified() { return form_->Text->document()->isModified(); }

size_t TMainForm::TreeGlue::EditorView::BodyCaret() {
  const int pos = form_->Text->textCursor().position();
  return WidgetToText(form_->Text->toPlainText().left(pos)).size();
}

void TMainForm::TreeGlue::EditorView::SetBodyCaret(size_t offset) {
  std::string body = BodyText();
  if (offset > body.size()) offset = body.size();
  int pos = static_cast<int>(TextToWidget(body.substr(0, offset)).size());
  QTextCursor cursor = form_->Text->textCursor();
  const int end = form_->Text->document()->characterCount() - 1;
  cursor.setPosition(std::min(pos, std::max(end, 0)));
  form_->Text->setTextCursor(cursor);
}

std::string TMainForm::TreeGlue::EditorView::SourceText() { return ToCp932(form_->Syutten->currentText()); }

void TMainForm::TreeGlue::EditorView::SetSourceText(const std::string& source) {
  QSignalBlocker block(form_->Syutten);
  form_->Syutten->setEditText(FromCp932(source));
}

void TMainForm::TreeGlue::EditorView::SetSourceItems(const std::vector<std::string>& items) {
  QSignalBlocker block(form_->Syutten);
  const QString text = form_->Syutten->currentText();
  form_->Syutten->clear();
  for (const std::string& item : items) form_->Syutten->addItem(FromCp932(item));
  form_->Syutten->setEditText(text);
}

namespace {

QCheckBox* CheckBoxOf(TMainForm* f, EditorControl c) {
  switch (c) {
    case EditorControl::kIppatuPaste: return f->IppatuPaste;
    case EditorControl::kAutoTitle: return f->AutoTitle;
    case EditorControl::kLockCheckBox: return f->LockCheckBox;
    case EditorControl::kCsvHtmlCK: return f->CsvHtmlCK;
    case EditorControl::kHtmlCheckMode: return f->HtmlCheckMode;
    default: return nullptr;
  }
}

QWidget* WidgetOf(TMainForm* f, EditorControl c) {
  switch (c) {
    case EditorControl::kTitle: return f->Title;
    case EditorControl::kKindButton: return f->KindButton;
    case EditorControl::kCsvGrid: return f->CsvGrid;
    case EditorControl::kText: return f->Text;
    case EditorControl::kDel: return f->Del;
    case EditorControl::kSakujo: return f->Sakujo;
    case EditorControl::kTikan: return f->Tikan;
    case EditorControl::kSyutten: return f->Syutten;
    case EditorControl::kSaveButton: return f->SaveButton;
    case EditorControl::kCancelButton: return f->CancelButton;
    default: return CheckBoxOf(f, c);
  }
}

}  // namespace

bool TMainForm::TreeGlue::EditorView::Checked(EditorControl c) {
  QCheckBox* box = CheckBoxOf(form_, c);
  return box != nullptr && box->isChecked();
}

void TMainForm::TreeGlue::EditorView::SetChecked(EditorControl c, bool on) {
  // setChecked does not emit clicked: no click handler runs.
  if (QCheckBox* box = CheckBoxOf(form_, c)) box->setChecked(on);
}

void TMainForm::TreeGlue::EditorView::SetEnabled(EditorControl c, bool on) {
  if (QWidget* w = WidgetOf(form_, c)) w->setEnabled(on);
}

void TMainForm::TreeGlue::EditorView::SetTitleReadOnly(bool read_only, bool red) {
  form_->Title->setReadOnly(read_only);
  QPalette palette = form_->Title->palette();
  palette.setColor(QPalette::Text, red ? QColor(255, 0, 0) : QColor(0, 0, 0));
  form_->Title->setPalette(palette);
}

void TMainForm::TreeGlue::EditorView::SetBodyReadOnly(bool read_only) { form_->Text->setReadOnly(read_only); }

void TMainForm::TreeGlue::EditorView::SetTimeCaptions(const std::string& update, const std::string& create) {
  form_->UpdateTime->setText(FromCp932(update));
  form_->CreateTime->setText(FromCp932(create));
}

void TMainForm::TreeGlue::EditorView::SetBodyFont(const CardFont& font) {
  form_->Text->setFont(QtFontOf(font, form_->font()));
  SetWidgetColor(form_->Text, QPalette::Text, ClassColor(static_cast<int32_t>(font.color)));
}

void TMainForm::TreeGlue::EditorView::SetFieldColor(EditorControl c, int32_t color) {
  if (QWidget* w = WidgetOf(form_, c)) SetWidgetColor(w, QPalette::Base, ClassColor(color));
}

void TMainForm::TreeGlue::EditorView::ShowTextBody() { form_->ShowTextBody(); }

void TMainForm::TreeGlue::EditorView::SelectNode(TreeNode* node) { form_->tree_glue_->SelectInView(node); }

void TMainForm::TreeGlue::EditorView::FocusBody() {
  if (!form_->CsvGrid->isHidden()) {
    form_->CsvGrid->setFocus();
  } else if (form_->WebView == nullptr) {
    form_->Text->setFocus();
  }
}

void TMainForm::TreeGlue::EditorView::KindChanged(int icon) {
  form_->KindButton->setIcon(form_->GetIconBitmap(icon));
}

void TMainForm::TreeGlue::EditorView::SaveSettingsGroup(int group) { form_->tree_glue_->SaveSettingsGroup(group); }

void TMainForm::TreeGlue::EditorView::RefreshSuperKeyStatus() {
  form_->Paste().UpdateSuperKeyStatus();
}

bool TMainForm::TreeGlue::EditorView::MainWindowInFront() {
  return form_->isVisible() && !form_->isMinimized() && form_->isActiveWindow();
}

void TMainForm::TreeGlue::EditorView::OpenCardWindow(const std::string& card_id) {
  form_->OpenCardWindow(card_id);
}

// --- the glue's editor half ---

void TMainForm::TreeGlue::SaveSettingsGroup(int group) {
  Status s = SaveSettings(form->settings_, form->stores_, group);
  if (!s.ok()) form->ShowWarning(s);
}

void TMainForm::TreeGlue::FillSourceCombo() {
  const std::vector<std::string> items = SplitHistoryList(form->settings_.SyuttenList);
  editor_view.SetSourceItems(items);
  if (!items.empty()) editor_view.SetSourceText(items.front());
}

void TMainForm::TreeGlue::SetupEditorControls() {
  TMainForm* f = form;
  // The time labels, under the title.
  f->CreateTime = new QLabel(f->Title->parentWidget());
  f->CreateTime->setObjectName("CreateTime");
  f->UpdateTime = new QLabel(f->Title->parentWidget());
  f->UpdateTime->setObjectName("UpdateTime");
  if (auto* column = qobject_cast<QVBoxLayout*>(f->Title->parentWidget()->layout())) {
    auto* times = new FlowLayout(6);
    times->addWidget(f->CreateTime);
    times->addWidget(f->UpdateTime);
    column->insertLayout(1, times);
  }
  f->SaveButton->setEnabled(false);
  f->CancelButton->setEnabled(false);
  f->Text->setUndoRedoEnabled(true);

  // The limits of the title and the text, counted in CP932 bytes.
  connect(f->Title, &QLineEdit::textChanged, f, [f] {
    std::string bytes = ToCp932(f->Title->text());
    if (bytes.size() <= kTitleLimitBytes) return;
    const int cursor = f->Title->cursorPosition();
    quill::TruncateSjis(bytes, kTitleLimitBytes);
    const QString cut = FromCp932(bytes);
    f->Title->setText(cut);
    f->Title->setCursorPosition(std::min(cursor, static_cast<int>(cut.size())));
  });
  new BodyLimit(f->Text, editor);
  connect(f->Title, &QLineEdit::textChanged, f, &TMainForm::TextChange);
  connect(f->Text, &QPlainTextEdit::textChanged, f, &TMainForm::TextChange);

  // Focus, keys and the right button of the fields; the editor popup
  // replaces the widgets' own context menus.
  for (QWidget* w : {static_cast<QWidget*>(f->Title), static_cast<QWidget*>(f->Text),
                     f->Text->viewport(), static_cast<QWidget*>(f->Syutten),
                     static_cast<QWidget*>(f->Syutten->lineEdit())}) {
    w->installEventFilter(f);
  }
  f->Title->setContextMenuPolicy(Qt::PreventContextMenu);
  f->Text->setContextMenuPolicy(Qt::PreventContextMenu);
  f->SetupTableBody();
}

// --- handlers ---

void TMainForm::OpenSelectedNode() { Editor().OpenSelectedNode(); }

void TMainForm::SaveEditorOnClose(bool only_when_edited) {
  if (tree_glue_ == nullptr) return;
  if (only_when_edited && !SaveButton->isEnabled()) return;
  Editor().SaveCurrentCard(false);
}

void TMainForm::AddNewClick() { Editor().AddNewClick(); }
void TMainForm::DelClick() { Editor().DelClick(); }
void TMainForm::CancelButtonClick() { Editor().CancelButtonClick(); }
void TMainForm::SaveButtonClick() { Editor().SaveButtonClick(); }
void TMainForm::TextChange() { Editor().TextChange(); }

void TMainForm::TitleDblClick() { Editor().TitleDblClick(); }
void TMainForm::IppatuPasteClick() { Editor().IppatuPasteClick(); }
void TMainForm::SyuttenChange() { Editor().SyuttenChange(); }
void TMainForm::AutoTitleClick() { Editor().AutoTitleClick(); }
void TMainForm::LockCheckBoxClick() { Editor().LockCheckBoxClick(); }
void TMainForm::BunkatuCardClick() { Editor().BunkatuCardClick(); }

// --- focus, keys and the editor popup ---

void TMainForm::ApplyControlColor() { Editor().ApplyControlColor(); }

void TMainForm::TitleEnter() {
  FocusedEditor = Title;
  Editor().TitleEnter();
}
void TMainForm::TitleExit() { Editor().TitleExit(); }
void TMainForm::TextExit() { Editor().TextExit(); }
void TMainForm::SyuttenEnter() {
  FocusedEditor = Syutten;
  Editor().SyuttenEnter();
}
void TMainForm::SyuttenExit() { Editor().SyuttenExit(); }

bool TMainForm::EditorFieldEvent(QObject* watched, QEvent* event) {
  const bool title = watched == Title;
  const bool text = watched == Text || watched == Text->viewport();
  const bool source = watched == Syutten || watched == Syutten->lineEdit();
  if (!title && !text && !source) return false;
  switch (event->type()) {
    case QEvent::FocusIn:
    case QEvent::FocusOut: {
      // A popup menu or another application taking the focus for a while
      // is no leaving of the field.
      const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
      const bool in = event->type() == QEvent::FocusIn;
      if (reason == Qt::PopupFocusReason || (!in && reason == Qt::ActiveWindowFocusReason)) {
        return false;
      }
      if (title) in ? TitleEnter() : TitleExit();
      if (text) in ? TextEnter() : TextExit();
      if (source) in ? SyuttenEnter() : SyuttenExit();
      return false;
    }
    case QEvent::KeyPress: {
      const int key = static_cast<QKeyEvent*>(event)->key();
      if ((title || source) && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
        // Enter in the title or the source goes on to the text.
        if (Text->isVisible()) Text->setFocus(Qt::TabFocusReason);
        return true;
      }
      if ((title || text) && (key == Qt::Key_Escape || key == Qt::Key_Menu)) {
        QWidget* w = title ? static_cast<QWidget*>(Title) : Text;
        PopupTextMenu(w, QPoint(50, 50));
        return true;
      }
      return false;
    }
    case QEvent::MouseButtonPress: {
      auto* mouse = static_cast<QMouseEvent*>(event);
      if (source || mouse->button() != Qt::RightButton) return false;
      // Select-all is offered for the text only.
      if (QAction* all = findChild<QAction*>("AllSelect")) all->setEnabled(text);
      PopupTextMenu(static_cast<QWidget*>(watched), mouse->position().toPoint() - QPoint(0, 5));
      return true;
    }
    case QEvent::MouseButtonDblClick:
      if (title && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) TitleDblClick();
      return false;
    default:
      return false;
  }
}

void TMainForm::PopupTextMenu(QWidget* widget, const QPoint& at) {
  TextPopup->popup(widget->mapToGlobal(at));
}

void TMainForm::TextPopupPopup() {
  if (context_.block != nullptr) context_.block->SetRightClickCount(0);
  const bool find = KensakuBt->isEnabled();
  for (const char* name : {"PopupFind", "PopupReplace"}) {
    if (QAction* a = findChild<QAction*>(name)) a->setEnabled(find);
  }
  // The clip tools' menu is there even before any tool is loaded.
  MagicMenu->menuAction()->setEnabled(!MagicMenu->actions().isEmpty());
}

void TMainForm::EditorBeep() { ui_.MessageBeep(); }

QWidget* TMainForm::EditTarget() const {
  if (FocusedEditor == Text) return Text;
  if (FocusedEditor == CsvGrid) return CsvGrid;
  if (FocusedEditor == Syutten) return Syutten->lineEdit();
  return Title;
}

void TMainForm::UndoClick() {
  if (LockCheckBox->isChecked() || Text->isReadOnly()) {
    EditorBeep();
    return;
  }
  Text->undo();
}

void TMainForm::AllSelectClick() { Text->selectAll(); }

void TMainForm::AllCopyClick() {
  QString all;
  if (FocusedEditor == Text) {
    all = Text->toPlainText();
  } else if (FocusedEditor == Syutten) {
    all = Syutten->currentText();
  } else {
    all = Title->text();
  }
  QGuiApplication::clipboard()->setText(all);
}

}  // namespace quill
