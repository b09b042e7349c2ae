// TMainForm's card editor: the card panel's handlers, which forward to the
// CardEditor, and the view through which the editor sees the widgets.
//
// Inside the program the card's text is CP932 with CR LF; the widgets
// hold Unicode with LF. The title box takes at most 50 CP932 bytes and
// the text at most 1,000,000.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
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

#include "main/ui/cp932_text.h"
#include "main/ui/main_form_tree_glue.h"
#include "platform/text_codec.h"
#include "store/sjis.h"

namespace quill {

namespace {

constexpr size_t kTitleLimitBytes = 50;
constexpr size_t kTextLimitBytes = 1000000;

std::string WidgetToText(const QString& s) { return LfToCrLf(ToCp932(s)); }
QString TextToWidget(const std::string& s) { return FromCp932(CrLfToLf(s)); }

// A colour of the class library (0x00BBGGRR) as a Qt colour.
QColor FromColorRef(uint32_t c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

// The body cut to the byte limit, without splitting a character or a
// line end.
std::string CutToLimit(std::string text, size_t limit) {
  if (text.size() <= limit) return text;
  store::TruncateSjis(text, limit);
  if (!text.empty() && text.back() == '\r') text.pop_back();
  return text;
}

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
    default: return nullptr;
  }
}

QWidget* WidgetOf(TMainForm* f, EditorControl c) {
  switch (c) {
    case EditorControl::kTitle: return f->Title;
    case EditorControl::kKindButton: return f->KindButton;
    case EditorControl::kCsvGrid: return nullptr;  // the grid comes with table cards
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
  QFont f = form_->font();
  QStringList families{FromCp932(font.name)};
  families << form_->font().families();
  f.setFamilies(families);
  if (font.size > 0) f.setPointSize(font.size);
  f.setBold(font.bold);
  f.setItalic(font.italic);
  f.setUnderline(font.underline);
  form_->Text->setFont(f);
  QPalette palette = form_->Text->palette();
  palette.setColor(QPalette::Text, FromColorRef(font.color));
  form_->Text->setPalette(palette);
}

void TMainForm::TreeGlue::EditorView::ShowTextBody() {
  form_->CsvGrid->hide();
  form_->Text->show();
}

void TMainForm::TreeGlue::EditorView::SelectNode(TreeNode* node) { form_->tree_glue_->SelectInView(node); }

void TMainForm::TreeGlue::EditorView::FocusBody() { form_->Text->setFocus(); }

void TMainForm::TreeGlue::EditorView::SaveSettingsGroup(int group) { form_->tree_glue_->SaveSettingsGroup(group); }

void TMainForm::TreeGlue::EditorView::EndProgram(int exit_code) { QCoreApplication::exit(exit_code); }

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
    auto* times = new QHBoxLayout;
    times->addWidget(f->CreateTime);
    times->addWidget(f->UpdateTime);
    times->addStretch();
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
    store::TruncateSjis(bytes, kTitleLimitBytes);
    const QString cut = FromCp932(bytes);
    f->Title->setText(cut);
    f->Title->setCursorPosition(std::min(cursor, static_cast<int>(cut.size())));
  });
  connect(f->Text, &QPlainTextEdit::textChanged, f, [f] {
    // Every character takes at most two bytes, a line end two: only a
    // long text needs counting.
    if (static_cast<size_t>(f->Text->document()->characterCount()) * 2 <= kTextLimitBytes) {
      return;
    }
    std::string body = WidgetToText(f->Text->toPlainText());
    if (body.size() <= kTextLimitBytes) return;
    if (f->Text->document()->isUndoAvailable()) {
      f->Text->undo();
      body = WidgetToText(f->Text->toPlainText());
      if (body.size() <= kTextLimitBytes) return;
    }
    QTextCursor cursor(f->Text->document());
    cursor.select(QTextCursor::Document);
    cursor.insertText(TextToWidget(CutToLimit(std::move(body), kTextLimitBytes)));
  });
  connect(f->Title, &QLineEdit::textChanged, f, &TMainForm::TextChange);
  connect(f->Text, &QPlainTextEdit::textChanged, f, &TMainForm::TextChange);

  // The editor's popup: the split.
  QAction* split = f->TextPopup->addAction(QString::fromUtf8("カード分割(&B)"));
  split->setObjectName("BunkatuCard");
  split->setProperty("handler", QStringLiteral("BunkatuCardClick"));
  connect(split, &QAction::triggered, f, &TMainForm::BunkatuCardClick);
  f->Text->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(f->Text, &QWidget::customContextMenuRequested, f, [f](const QPoint& at) {
    f->TextPopup->exec(f->Text->mapToGlobal(at));
  });
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
void TMainForm::IppatuPasteClick() { Editor().IppatuPasteClick(); }
void TMainForm::SyuttenChange() { Editor().SyuttenChange(); }
void TMainForm::AutoTitleClick() { Editor().AutoTitleClick(); }
void TMainForm::LockCheckBoxClick() { Editor().LockCheckBoxClick(); }
void TMainForm::BunkatuCardClick() { Editor().BunkatuCardClick(); }

}  // namespace quill
