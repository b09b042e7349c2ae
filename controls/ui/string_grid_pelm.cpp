#include "controls/ui/string_grid_pelm.h"

#include <QAbstractTableModel>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QScopedValueRollback>
#include <algorithm>
#include <iterator>
#include <string>

#include "platform/text_codec.h"

namespace quill {

namespace {

QString FromCp932(std::string_view bytes) {
  const std::string utf8 = Cp932ToUtf8(bytes);
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string ToCp932(const QString& text) {
  const QByteArray utf8 = text.toUtf8();
  return Utf8ToCp932(std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())));
}

struct MenuEntry {
  const char* caption;  // UTF-8; "-" is a separator
  int code;
};

constexpr MenuEntry kMenu[] = {
    {"コピー(&C)", kCmdCopy},
    {"切り取り(&T)", kCmdCut},
    {"貼り付け(&P)", kCmdPaste},
    {"行挿入貼り付け(&R)", kCmdPasteInsertRows},
    {"元に戻す(&U)", kCmdUndo},
    {"-", kCmdSeparator},
    {"開く(&H)", kCmdOpen},
    {"検索(&F)", kCmdFind},
    {"-", kCmdSeparator},
    {"行挿入(&L)", kCmdInsertRow},
    {"行追加", kCmdAddRow},
    {"行削除", kCmdDeleteRow},
    {"列挿入(&I)", kCmdInsertCol},
    {"列追加", kCmdAddCol},
    {"列削除", kCmdDeleteCol},
    {"-", kCmdSeparator},
    {"登録(&V)", kCmdSave},
};

// The virtual key of a Qt key, 0 for one the grid never handles.
int VirtualKey(int key) {
  switch (key) {
    case Qt::Key_Escape: return kVkEscape;
    case Qt::Key_Menu: return kVkApps;
    case Qt::Key_Return:
    case Qt::Key_Enter: return kVkReturn;
    case Qt::Key_Left: return kVkLeft;
    case Qt::Key_Up: return kVkUp;
    case Qt::Key_Right: return kVkRight;
    case Qt::Key_Down: return kVkDown;
    default: return key >= Qt::Key_A && key <= Qt::Key_Z ? key : 0;
  }
}

int ShiftState(Qt::KeyboardModifiers m) {
  return (m & Qt::ShiftModifier ? kShiftKey : 0) | (m & Qt::ControlModifier ? kCtrlKey : 0);
}

// Keys the grid takes even from its open cell editor.
bool IsGridKeyWhileEditing(const QKeyEvent* e) {
  switch (e->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Menu:
    case Qt::Key_Return:
    case Qt::Key_Enter: return true;
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down: return (e->modifiers() & Qt::ControlModifier) != 0;
    default: return false;
  }
}

// Keys the grid takes ahead of any shortcut of its window.
bool IsGridShortcut(const QKeyEvent* e) {
  if (e->key() == Qt::Key_Escape || e->key() == Qt::Key_Menu) return true;
  if ((e->modifiers() & Qt::ControlModifier) == 0) return false;
  switch (e->key()) {
    case Qt::Key_C:
    case Qt::Key_V:
    case Qt::Key_X:
    case Qt::Key_Z:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down: return true;
    default: return false;
  }
}

}  // namespace

// The data cells of the model as a Qt table; the header numbers as header
// sections. Keeps the size it last announced, so that a change of size is
// always announced as a reset.
class GridItemModel : public QAbstractTableModel {
 public:
  GridItemModel(GridModel& grid, QObject* parent) : QAbstractTableModel(parent), grid_(grid) {}

  int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : rows_; }
  int columnCount(const QModelIndex& parent = {}) const override {
    return parent.isValid() ? 0 : cols_;
  }
  QVariant data(const QModelIndex& index, int role) const override {
    if (role != Qt::DisplayRole && role != Qt::EditRole) return {};
    return FromCp932(grid_.Cell(index.column() + 1, index.row() + 1));
  }
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    if (role == Qt::TextAlignmentRole) return int(Qt::AlignCenter);
    if (role != Qt::DisplayRole) return {};
    return orientation == Qt::Horizontal ? FromCp932(grid_.Cell(section + 1, 0))
                                         : FromCp932(grid_.Cell(0, section + 1));
  }
  Qt::ItemFlags flags(const QModelIndex& index) const override {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable
                           : Qt::NoItemFlags;
  }
  bool setData(const QModelIndex& index, const QVariant& value, int role) override {
    if (role != Qt::EditRole) return false;
    const std::string text = ToCp932(value.toString());
    if (text != grid_.Cell(index.column() + 1, index.row() + 1)) {
      grid_.SetEditText(index.column() + 1, index.row() + 1, text);
    }
    return true;
  }

  // Announces the model's present state.
  void Refresh() {
    const int rows = grid_.RowCount() - 1;
    const int cols = grid_.ColCount() - 1;
    if (rows != rows_ || cols != cols_) {
      beginResetModel();
      rows_ = rows;
      cols_ = cols;
      endResetModel();
      return;
    }
    emit dataChanged(index(0, 0), index(rows - 1, cols - 1));
    emit headerDataChanged(Qt::Horizontal, 0, cols - 1);
    emit headerDataChanged(Qt::Vertical, 0, rows - 1);
  }

 private:
  GridModel& grid_;
  int rows_ = 0;
  int cols_ = 0;
};

// ---- CsvMenuItem

CsvMenuItem::CsvMenuItem(const QString& caption, int item_code, TStringGridPelm* owner_grid)
    : QAction(caption, nullptr), grid(owner_grid), code(item_code) {
  setSeparator(code == kCmdSeparator);
  connect(this, &QAction::triggered, this, &CsvMenuItem::Click);
}

void CsvMenuItem::Click() { grid->SelectMenu(code); }

// ---- GridCellDelegate

GridCellDelegate::GridCellDelegate(TStringGridPelm* grid) : QStyledItemDelegate(grid), grid_(grid) {}

QWidget* GridCellDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                        const QModelIndex& index) const {
  auto* editor = new QLineEdit(parent);
  editor->setFrame(false);
  const QPersistentModelIndex cell(index);
  TStringGridPelm* grid = grid_;
  connect(editor, &QLineEdit::textEdited, editor,
          [grid, cell, editor] { grid->SetEditText(cell, editor); });
  return editor;
}

bool GridCellDelegate::eventFilter(QObject* object, QEvent* event) {
  auto* editor = qobject_cast<QWidget*>(object);
  if (editor != nullptr && event->type() == QEvent::KeyPress &&
      IsGridKeyWhileEditing(static_cast<QKeyEvent*>(event))) {
    // The cell already holds the editor's text: close it and let the grid
    // have the key.
    emit commitData(editor);
    emit closeEditor(editor, NoHint);
    grid_->KeyDown(static_cast<QKeyEvent*>(event));
    return true;
  }
  return QStyledItemDelegate::eventFilter(object, event);
}

// ---- TStringGridPelm

TStringGridPelm::TStringGridPelm(QWidget* owner)
    : QTableView(owner), items_(new GridItemModel(grid_, this)), menu_(new QMenu(this)) {
  setModel(items_);
  setItemDelegate(new GridCellDelegate(this));
  setSelectionMode(QAbstractItemView::ContiguousSelection);
  setSelectionBehavior(QAbstractItemView::SelectItems);
  setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                  QAbstractItemView::AnyKeyPressed);
  setCornerButtonEnabled(false);
  horizontalHeader()->setMinimumSectionSize(10);
  horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  horizontalHeader()->setHighlightSections(false);
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setHighlightSections(false);
  SetRowHeight(24);

  for (const MenuEntry& entry : kMenu) {
    auto* item = new CsvMenuItem(QString::fromUtf8(entry.caption), entry.code, this);
    item->setParent(menu_);
    menu_->addAction(item);
    if (entry.code == kCmdOpen) open_item_ = item;
  }
  connect(menu_, &QMenu::aboutToShow, this, &TStringGridPelm::MenuOnPopup);

  grid_.OnChangeAfter = [this] { emit OnChangeAfter(); };
  grid_.OnSaveRequest = [this] { emit OnSaveRequest(); };
  grid_.OnFindRequest = [this] { emit OnFindRequest(); };
  grid_.OnLink = [this] { emit OnLink(); };
  grid_.popup_menu = [this](int x, int y) { PopupMenu(mapToGlobal(QPoint(x, y))); };
  grid_.view_changed = [this] { Sync(); };

  connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
          &TStringGridPelm::TakeSelection);
  connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &TStringGridPelm::TakeSelection);
  connect(horizontalHeader(), &QHeaderView::sectionResized, this,
          &TStringGridPelm::ColumnResized);
  Sync();
}

TStringGridPelm::~TStringGridPelm() {
  // The model's hooks must not reach a view that is going away.
  grid_.view_changed = nullptr;
  grid_.OnChangeAfter = grid_.OnSaveRequest = grid_.OnFindRequest = grid_.OnLink = nullptr;
  grid_.popup_menu = nullptr;
}

void TStringGridPelm::SetRowHeight(int px) {
  verticalHeader()->setMinimumSectionSize(std::min(px, verticalHeader()->minimumSectionSize()));
  verticalHeader()->setDefaultSectionSize(px);
}

void TStringGridPelm::MenuOnPopup() {
  grid_.MenuOnPopup();
  open_item_->setEnabled(grid_.OpenItemEnabled());
}

void TStringGridPelm::PopupMenu(const QPoint& global) { menu_->popup(global); }

void TStringGridPelm::Sync() {
  if (syncing_ || pushing_) return;
  QScopedValueRollback<bool> guard(syncing_, true);
  items_->Refresh();
  verticalHeader()->setFixedWidth(grid_.ColWidth(0));
  QHeaderView* columns = horizontalHeader();
  for (int c = 1; c < grid_.ColCount(); ++c) {
    if (columns->sectionSize(c - 1) != grid_.ColWidth(c)) columns->resizeSection(c - 1, grid_.ColWidth(c));
  }
  const GridRect& sel = grid_.Selection();
  selectionModel()->setCurrentIndex(items_->index(grid_.Row() - 1, grid_.Col() - 1),
                                    QItemSelectionModel::NoUpdate);
  selectionModel()->select(QItemSelection(items_->index(sel.Top - 1, sel.Left - 1),
                                          items_->index(sel.Bottom - 1, sel.Right - 1)),
                           QItemSelectionModel::ClearAndSelect);
}

void TStringGridPelm::TakeSelection() {
  if (syncing_) return;
  const QModelIndex current = selectionModel()->currentIndex();
  if (!current.isValid()) return;
  GridRect rect{current.column() + 1, current.row() + 1, current.column() + 1, current.row() + 1};
  const QItemSelection selection = selectionModel()->selection();
  if (!selection.isEmpty()) {
    rect = {INT_MAX, INT_MAX, 0, 0};
    for (const QItemSelectionRange& range : selection) {
      rect.Left = std::min(rect.Left, range.left() + 1);
      rect.Top = std::min(rect.Top, range.top() + 1);
      rect.Right = std::max(rect.Right, range.right() + 1);
      rect.Bottom = std::max(rect.Bottom, range.bottom() + 1);
    }
  }
  QScopedValueRollback<bool> guard(pushing_, true);
  grid_.SetSelection(rect, current.column() + 1, current.row() + 1);
}

void TStringGridPelm::ColumnResized(int section, int, int new_size) {
  if (syncing_) return;
  QScopedValueRollback<bool> guard(pushing_, true);
  grid_.SetColWidth(section + 1, new_size);
  grid_.Modified = 1;
}

void TStringGridPelm::SetEditText(const QModelIndex& index, QLineEdit* editor) {
  if (!index.isValid()) return;
  QString text = editor->text();
  if (text.contains(QLatin1Char('\t')) || text.contains(QLatin1Char('\r')) ||
      text.contains(QLatin1Char('\n'))) {
    // What the cell stores, shown as it is stored.
    const int cursor = editor->cursorPosition();
    for (QChar& ch : text) {
      if (ch == QLatin1Char('\t') || ch == QLatin1Char('\r') || ch == QLatin1Char('\n')) ch = QLatin1Char(' ');
    }
    editor->setText(text);
    editor->setCursorPosition(cursor);
  }
  // Only this cell changed, and the editor shows it already.
  QScopedValueRollback<bool> guard(pushing_, true);
  grid_.SetEditText(index.column() + 1, index.row() + 1, ToCp932(text));
}

bool TStringGridPelm::KeyDown(QKeyEvent* e) {
  int key = VirtualKey(e->key());
  if (key == 0) return false;
  grid_.KeyDown(key, ShiftState(e->modifiers()));
  return key == 0;
}

bool TStringGridPelm::event(QEvent* e) {
  if (e->type() == QEvent::ShortcutOverride && IsGridShortcut(static_cast<QKeyEvent*>(e))) {
    e->accept();
    return true;
  }
  return QTableView::event(e);
}

void TStringGridPelm::keyPressEvent(QKeyEvent* e) {
  if (KeyDown(e)) {
    e->accept();
    return;
  }
  QTableView::keyPressEvent(e);
}

void TStringGridPelm::mousePressEvent(QMouseEvent* e) {
  if (e->button() != Qt::RightButton) {
    QTableView::mousePressEvent(e);
    return;
  }
  // The right button leaves the current cell where it is and opens the menu.
  setFocus(Qt::MouseFocusReason);
  PopupMenu(e->globalPosition().toPoint());
}

}  // namespace quill
