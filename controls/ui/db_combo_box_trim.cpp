#include "controls/ui/db_combo_box_trim.h"

#include <QAbstractItemView>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>

namespace quill {

namespace {

const QString kJoin = QStringLiteral("--->");

// The column of a model whose horizontal header reads name; -1 if none.
int ColumnNamed(const QAbstractItemModel& model, const QString& name) {
  for (int c = 0; c < model.columnCount(); ++c) {
    if (model.headerData(c, Qt::Horizontal).toString() == name) return c;
  }
  return -1;
}

}  // namespace

TDBComboBoxTrim::TDBComboBoxTrim(QWidget* owner) : QComboBox(owner) {
  connect(this, &QComboBox::activated, this, &TDBComboBoxTrim::OnSelect);
  view()->installEventFilter(this);
  view()->viewport()->installEventFilter(this);
}

bool TDBComboBoxTrim::eventFilter(QObject* watched, QEvent* e) {
  // A row is chosen in the open list with Return or Enter (the list acts
  // on the key's shortcut override, before its key press) or by releasing
  // the mouse over it; the list then closes.
  if (dropped_) {
    if (watched == view() &&
        (e->type() == QEvent::ShortcutOverride || e->type() == QEvent::KeyPress)) {
      const int key = static_cast<QKeyEvent*>(e)->key();
      if (key == Qt::Key_Return || key == Qt::Key_Enter) choosing_ = true;
    }
    if (watched == view()->viewport() && e->type() == QEvent::MouseButtonRelease) {
      const QPoint at = static_cast<QMouseEvent*>(e)->position().toPoint();
      if (view()->indexAt(at).isValid()) choosing_ = true;
    }
  }
  return QComboBox::eventFilter(watched, e);
}

void TDBComboBoxTrim::SetField(QAbstractItemModel* model, int row, int column) {
  field_model_ = model;
  field_row_ = row;
  field_column_ = column;
}

void TDBComboBoxTrim::SetList() {
  if (ListSet == nullptr) return;
  const QAbstractItemModel& set = *ListSet;
  const int key_column = ColumnNamed(set, list_key_);
  const int value_column = ColumnNamed(set, list_value_);
  if (key_column < 0 || value_column < 0) return;
  list_built_ = true;
  saved_width_ = width();
  clear();
  keys_.clear();
  values_.clear();
  for (int r = 0; r < set.rowCount(); ++r) {
    const QVariant value = set.index(r, value_column).data();
    keys_ << set.index(r, key_column).data().toString();
    values_ << (value.isNull() ? QStringLiteral(" ") : value.toString());
  }
  SettingList(false);
}

void TDBComboBoxTrim::ShowItems(const QStringList& items) {
  if (count() == items.size()) {
    // Same rows: the current item and the list's highlight stay.
    for (int i = 0; i < items.size(); ++i) setItemText(i, items[i]);
    return;
  }
  const int current = currentIndex();
  clear();
  addItems(items);
  setCurrentIndex(current < count() ? current : -1);
}

void TDBComboBoxTrim::SettingList(bool dropped) {
  if (keys_.isEmpty()) return;
  if (!dropped) {
    ShowItems(keys_);
    return;
  }
  QStringList items;
  for (int i = 0; i < keys_.size(); ++i) items << keys_[i] + kJoin + values_[i];
  ShowItems(items);
}

void TDBComboBoxTrim::focusInEvent(QFocusEvent* e) {
  QComboBox::focusInEvent(e);
  if (!list_built_) {
    list_built_ = true;
    saved_width_ = width();
    keys_.clear();
    values_.clear();
    for (int i = 0; i < count(); ++i) {
      const QString item = itemText(i);
      const qsizetype at = item.indexOf(kJoin);
      keys_ << (at < 0 ? item : item.left(at));
      values_ << (at < 0 ? item : item.mid(at + kJoin.size()));
    }
    SettingList(false);
  }
  emit OnEnter();
}

void TDBComboBoxTrim::focusOutEvent(QFocusEvent* e) {
  QComboBox::focusOutEvent(e);
  emit OnExit();
}

void TDBComboBoxTrim::showPopup() {
  SettingList(true);
  if (saved_width_ > 0 && DropWidth > 0) resize(DropWidth, height());
  dropped_ = true;
  QComboBox::showPopup();
  emit OnDropDown();
}

void TDBComboBoxTrim::hidePopup() {
  // The row chosen in the list (the combo box makes it current after this
  // returns); closed without a choice (Escape, a click elsewhere), nothing
  // is stored, whatever the pointer or the keys highlighted.
  const int index = choosing_ ? view()->currentIndex().row() : -1;
  choosing_ = false;
  QComboBox::hidePopup();
  const bool was_dropped = dropped_;
  dropped_ = false;
  if (!was_dropped || keys_.isEmpty()) return;
  SettingList(false);
  if (saved_width_ > 0) resize(saved_width_, height());
  if (index < 0 || index >= keys_.size()) return;
  setCurrentIndex(index);
  if (field_model_ != nullptr) {
    const QModelIndex cell = field_model_->index(field_row_, field_column_);
    if (cell.isValid()) field_model_->setData(cell, keys_[index]);
  }
}

void TDBComboBoxTrim::keyPressEvent(QKeyEvent* e) {
  emit OnKeyDown(e->key(), e->modifiers());
  // Closed, the arrow keys do not move through the items (Alt+Down still
  // drops the list down).
  const bool arrow = e->key() == Qt::Key_Up || e->key() == Qt::Key_Down;
  if (!dropped_ && arrow && !(e->modifiers() & Qt::AltModifier)) {
    e->accept();
    return;
  }
  QComboBox::keyPressEvent(e);
}

}  // namespace quill
