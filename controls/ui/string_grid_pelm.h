// TStringGridPelm: the table editor, a QTableView over a GridModel
// (controls/grid_model.h), which holds the cells and does every command.
//
// The view shows the data cells; the header numbers (row 0 and column 0 of
// the model) are the view's header sections, the row numbers in a column of
// 30 px. Selection is one rectangle. Column widths follow the model both
// ways: a width dragged with the mouse is stored and sets Modified.
//
// The in-place editor is a line edit whose every change reaches
// SetEditText, so OnChangeAfter fires while the user types.
//
// Keys go to GridModel::KeyDown before the view's own handling (in the cell
// editor too: Esc, the menu key, Enter and Ctrl+arrows); Ctrl+C/V/X/Z are
// the grid's, ahead of the view's and the window's shortcuts. Esc, the menu
// key and the right button pop up the grid's menu of table commands.
//
// The owner binds Grid().beep (to Ui::MessageBeep) and Grid().clipboard.
#pragma once

#include <QAction>
#include <QStyledItemDelegate>
#include <QTableView>

#include "controls/grid_model.h"

class QLineEdit;
class QMenu;

namespace quill {

class GridItemModel;
class TStringGridPelm;

// One item of the grid's menu: its Click runs the grid's command.
class CsvMenuItem : public QAction {
  Q_OBJECT
 public:
  CsvMenuItem(const QString& caption, int code, TStringGridPelm* grid);
  void Click();

  TStringGridPelm* const grid;
  const int code;  // -1: a separator
};

// The cell editor: a line edit that hands every change to the grid and
// the grid's own keys to the grid.
class GridCellDelegate : public QStyledItemDelegate {
  Q_OBJECT
 public:
  explicit GridCellDelegate(TStringGridPelm* grid);
  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                        const QModelIndex& index) const override;

 protected:
  bool eventFilter(QObject* editor, QEvent* event) override;

 private:
  TStringGridPelm* grid_;
};

class TStringGridPelm : public QTableView {
  Q_OBJECT
 public:
  explicit TStringGridPelm(QWidget* owner);
  ~TStringGridPelm() override;

  GridModel& Grid() { return grid_; }
  const GridModel& Grid() const { return grid_; }

  void SelectMenu(int code) { grid_.SelectMenu(code); }
  // Runs as the menu opens: enables the open item for a link cell.
  void MenuOnPopup();
  // Pops the menu up at a screen point.
  void PopupMenu(const QPoint& global);
  // Row height in px (24 in the main window, 18 in card windows).
  void SetRowHeight(int px);

  QMenu* Menu() const { return menu_; }
  CsvMenuItem* OpenItem() const { return open_item_; }

  // The grid's key handling for a Qt key event; true when the grid used it.
  bool KeyDown(QKeyEvent* e);
  // From the cell editor: the text of the cell at the view's index.
  void SetEditText(const QModelIndex& index, QLineEdit* editor);

 signals:
  void OnChangeAfter();
  void OnSaveRequest();
  void OnFindRequest();
  void OnLink();

 protected:
  bool event(QEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;

 private:
  // Shows the model: size, cells, numbers, widths, current cell, selection.
  void Sync();
  // Hands the view's current cell and selection to the model.
  void TakeSelection();
  void ColumnResized(int section, int old_size, int new_size);

  GridModel grid_;
  GridItemModel* items_;
  QMenu* menu_;
  CsvMenuItem* open_item_ = nullptr;
  bool syncing_ = false;  // the view follows the model
  bool pushing_ = false;  // the model follows the view
};

}  // namespace quill
