// TDBComboBoxTrim: a combo box over a lookup list of keys and values. While
// dropped down each item reads "key--->value"; closed, the items are the
// keys, and the key chosen is stored into the bound field.
//
// The lookup list is a model (ListSet) whose columns are named by their
// horizontal header: ListKey and ListValue name the key and value columns.
// Without one, the items as they stand on entry make the list, each split
// at "--->" into key and value (an item without "--->" is both). The bound
// field is one cell of a model, written with setData.
//
// Keys and values are kept as lists, one entry per item, so a value that
// holds a line break stays one item.
#pragma once

#include <QAbstractItemModel>
#include <QComboBox>
#include <QPointer>
#include <QStringList>

namespace quill {

class TDBComboBoxTrim : public QComboBox {
  Q_OBJECT
 public:
  explicit TDBComboBoxTrim(QWidget* owner = nullptr);

  QPointer<QAbstractItemModel> ListSet;
  QString GetKeyStr() const { return list_key_; }
  QString GetValueStr() const { return list_value_; }
  void SetKeyStr(const QString& name) { list_key_ = name; }
  void SetValueStr(const QString& name) { list_value_ = name; }
  // The width while dropped down; 0 keeps the width.
  int DropWidth = 0;

  // The cell the chosen key is stored into; a null model binds none.
  void SetField(QAbstractItemModel* model, int row, int column);

  // Reads the list from ListSet (nothing without one, or when it has no
  // column of the key's or the value's name) and shows the keys.
  void SetList();
  // Shows the drop-down items (dropped) or the keys.
  void SettingList(bool dropped);

  // Drop-down and close-up.
  void showPopup() override;
  void hidePopup() override;

  bool DroppedDown() const { return dropped_; }

 signals:
  void OnKeyDown(int key, Qt::KeyboardModifiers modifiers);
  void OnSelect(int index);
  void OnDropDown();
  void OnExit();
  void OnEnter();

 protected:
  void focusInEvent(QFocusEvent* e) override;
  void focusOutEvent(QFocusEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  void ShowItems(const QStringList& items);

  QString list_key_;
  QString list_value_;
  QPointer<QAbstractItemModel> field_model_;
  int field_row_ = 0;
  int field_column_ = 0;
  int saved_width_ = 0;  // 0: none saved
  bool dropped_ = false;
  bool list_built_ = false;
  bool choosing_ = false;  // a row is being chosen in the open list
  QStringList keys_;
  QStringList values_;
};

}  // namespace quill
