#include "clip/ui/tikan_form.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/messages.h"
#include "platform/qt/cp932_text.h"
#include "platform/text_codec.h"
#include "platform/ui_messages.h"

namespace quill {

namespace {

// CR and LF are the same bytes in CP932 and UTF-8.
QString FromSjis(std::string_view bytes) { return FromCp932(CrLfToLf(bytes)); }

std::string ToSjis(const QString& text) { return LfToCrLf(ToCp932(text)); }

bool IsEnter(const QKeyEvent* e) { return e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter; }

}  // namespace

TikanGridWidget::TikanGridWidget(TTikanFm* form, QWidget* parent)
    : QTableWidget(parent), form_(form) {}

void TikanGridWidget::CommitOpenEditor() {
  if (QWidget* editor = indexWidget(currentIndex())) commitData(editor);
}

void TikanGridWidget::keyPressEvent(QKeyEvent* e) {
  bool used = form_->TikanGridKeyDown(e);
  if (!used) used = form_->TikanGridKeyPress(e);
  // Enter must not reach the dialog's buttons.
  if (!used && !IsEnter(e)) QTableWidget::keyPressEvent(e);
}

void TikanGridWidget::keyReleaseEvent(QKeyEvent* e) {
  if (!form_->TikanGridKeyUp(e)) QTableWidget::keyReleaseEvent(e);
}

void TikanGridWidget::focusInEvent(QFocusEvent* e) {
  QTableWidget::focusInEvent(e);
  form_->TikanGridEnter();
}

bool TikanGridDelegate::eventFilter(QObject* object, QEvent* event) {
  auto* editor = qobject_cast<QWidget*>(object);
  if (editor != nullptr && event->type() == QEvent::KeyPress) {
    auto* e = static_cast<QKeyEvent*>(event);
    if (IsEnter(e)) {
      emit commitData(editor);
      emit closeEditor(editor, QAbstractItemDelegate::NoHint);
      if (!form_->TikanGridKeyDown(e)) form_->TikanGridKeyPress(e);
      return true;
    }
    if (e->key() == Qt::Key_Escape) {
      form_->TikanGridKeyPress(e);
      return true;
    }
  }
  if (editor != nullptr && event->type() == QEvent::KeyRelease &&
      form_->TikanGridKeyUp(static_cast<QKeyEvent*>(event))) {
    return true;
  }
  return QStyledItemDelegate::eventFilter(object, event);
}

TTikanFm::TTikanFm(QWidget* owner, Ui& ui, Clock& clock, RememberedValues* values)
    : QDialog(owner), ui_(ui), fill_(clock, values) {
  setWindowTitle(QString::fromUtf8("置換"));
  setFixedSize(426, 452);

  TikanGrid = new TikanGridWidget(this, this);
  TikanGrid->setObjectName("TikanGrid");
  TikanGrid->setColumnCount(2);
  TikanGrid->setHorizontalHeaderLabels({QString::fromUtf8("置換前"), QString::fromUtf8("置換後")});
  TikanGrid->setColumnWidth(0, 140);
  TikanGrid->setColumnWidth(1, 258);
  TikanGrid->verticalHeader()->hide();
  TikanGrid->setSelectionMode(QAbstractItemView::SingleSelection);
  TikanGrid->setEditTriggers(QAbstractItemView::AllEditTriggers);
  TikanGrid->setItemDelegate(new TikanGridDelegate(this, TikanGrid));

  TikanBlank = new QCheckBox(QString::fromUtf8("空白のものは空白に置換"), this);
  TikanBlank->setObjectName("TikanBlank");
  BunLabel = new QLabel(QString::fromUtf8("置換カード"), this);
  Bun = new QPlainTextEdit(this);
  Bun->setObjectName("Bun");
  Bun->setReadOnly(true);
  Bun->setFixedHeight(110);
  OK = new QPushButton(QString::fromUtf8("ＯＫ"), this);
  OK->setObjectName("OK");
  Cancel = new QPushButton("Cancel", this);
  Cancel->setObjectName("Cancel");
  // Enter belongs to the grid; no button takes it.
  OK->setAutoDefault(false);
  Cancel->setAutoDefault(false);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(OK);
  buttons->addWidget(Cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(TikanGrid, 1);
  layout->addWidget(TikanBlank);
  layout->addWidget(BunLabel);
  layout->addWidget(Bun);
  layout->addLayout(buttons);

  connect(OK, &QPushButton::clicked, this, &TTikanFm::OKClick);
  connect(Cancel, &QPushButton::clicked, this, &TTikanFm::CancelClick);
}

Status TTikanFm::FillGrid() {
  Status s = fill_.FillGrid();
  const int n = fill_.count();
  TikanGrid->clearContents();
  TikanGrid->setRowCount(n);
  for (int i = 0; i < n; ++i) {
    auto* name = new QTableWidgetItem(FromSjis(fill_.names()[static_cast<size_t>(i)]));
    name->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    TikanGrid->setItem(i, 0, name);
    TikanGrid->setItem(i, 1, new QTableWidgetItem(FromSjis(fill_.values()[static_cast<size_t>(i)])));
  }
  return s;
}

void TTikanFm::TakeGridValues() {
  TikanGrid->CommitOpenEditor();
  for (int i = 0; i < fill_.count() && i < TikanGrid->rowCount(); ++i) {
    QTableWidgetItem* item = TikanGrid->item(i, 1);
    fill_.SetValue(i, item ? ToSjis(item->text()) : std::string());
  }
}

void TTikanFm::ApplyValues() {
  TakeGridValues();
  fill_.set_blank(TikanBlank->isChecked());
  fill_.ApplyValues();
}

Status TTikanFm::SaveValues() {
  TakeGridValues();
  return fill_.SaveValues();
}

void TTikanFm::StoreValues() {
  Status s = SaveValues();
  if (!s.ok()) {
    ShowWarning(ui_, MessageId::kReplaceValuesNotSaved, {Utf8ToCp932(s.message())});
  }
}

void TTikanFm::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  if (!e->spontaneous()) FormShow();
}

void TTikanFm::FormShow() {
  applied_ = false;
  FillGrid();
  Bun->setPlainText(FromSjis(fill_.text()));
  TikanGrid->setFocus();
  if (fill_.count() > 0) TikanGrid->setCurrentCell(0, 1);
  last_key_ = 0;
}

void TTikanFm::OKClick() {
  StoreValues();
  done(kResultOk);
}

void TTikanFm::CancelClick() {
  Bun->clear();
  done(kResultCancel);
}

void TTikanFm::TikanGridEnter() {
  if (TikanGrid->currentRow() < 0 && fill_.count() > 0) TikanGrid->setCurrentCell(0, 1);
}

bool TTikanFm::TikanGridKeyDown(QKeyEvent* e) {
  if (IsEnter(e) && (e->modifiers() & Qt::ShiftModifier)) {
    done(kResultOk);
    return true;
  }
  return false;
}

bool TTikanFm::TikanGridKeyPress(QKeyEvent* e) {
  if (IsEnter(e)) {
    last_key_ = '\r';
    return true;
  }
  if (e->key() == Qt::Key_Escape) {
    last_key_ = 0x1B;
    done(kResultCancel);
    return true;
  }
  const QString text = e->text();
  last_key_ = text.isEmpty() ? 0 : text.at(0).unicode();
  return false;
}

bool TTikanFm::TikanGridKeyUp(QKeyEvent* e) {
  if (!IsEnter(e) || e->isAutoRepeat()) return false;
  // Only an Enter pressed here counts, not the release of one that was
  // pressed before the dialog came up.
  if (last_key_ != '\r') return false;
  last_key_ = 0;
  const int row = TikanGrid->currentRow();
  if (row >= 0 && row + 1 < fill_.count()) {
    TikanGrid->setCurrentCell(row + 1, 1);
  } else {
    StoreValues();
    done(kResultOk);
  }
  return true;
}

void TTikanFm::reject() { done(kResultCancel); }

void TikanDialog::SetBlank(bool on) { form_->TikanBlank->setChecked(on); }

bool TikanDialog::Blank() { return form_->TikanBlank->isChecked(); }

void TTikanFm::done(int result) {
  if (!applied_) {
    applied_ = true;
    ApplyValues();
  }
  QDialog::done(result);
}

}  // namespace quill
