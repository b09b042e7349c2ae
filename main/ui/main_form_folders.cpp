// TMainForm's folder operations: the tree widget's focus, keys, mouse,
// double clicks, drags and in-place edits handed to FolderCommands
// (main/tree/folder_commands.h), and the delete, move and rename commands
// of the tree's popup and buttons. The tree widget stays a view: it never
// moves, removes or renames a row itself.
#include <QAbstractItemView>
#include <QApplication>
#include <QCursor>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTreeView>

#include "main/tree/folder_operations.h"
#include "main/tree/node_operations.h"
#include "main/ui/main_form_tree_glue.h"
#include "platform/qt/cp932_text.h"
#include "platform/ui.h"

namespace quill {

namespace {

// A drag this close to the tree's top, or to its bottom, scrolls it a row.
constexpr int kScrollTopMargin = 3;
constexpr int kScrollBottomMargin = 34;

QPoint EventPoint(QEvent* event) {
  switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
      return static_cast<QMouseEvent*>(event)->position().toPoint();
    case QEvent::DragMove:
    case QEvent::Drop:
      return static_cast<QDropEvent*>(event)->position().toPoint();
    default:
      return QPoint(-1, -1);
  }
}

}  // namespace

// --- the tree as the folder commands see it ---

void TMainForm::TreeGlue::FolderView::OpenCardWindow(const std::string& card_id) {
  form_->OpenCardWindow(card_id);
}

void TMainForm::TreeGlue::FolderView::EditInCardWindow() { form_->TikanClick(); }

void TMainForm::TreeGlue::FolderView::ChooseKind() { form_->KindButtonClick(); }

void TMainForm::TreeGlue::FolderView::PopupListMenu() {
  form_->ListPopup->popup(QCursor::pos() - QPoint(0, 5));
}

void TMainForm::TreeGlue::FolderView::SelectNode(TreeNode* node) {
  form_->tree_glue_->SelectInView(node);
}

void TMainForm::TreeGlue::FolderView::SelectNextRow() {
  QTreeView* tree = form_->Tree;
  const QModelIndex below = tree->indexBelow(tree->currentIndex());
  if (!below.isValid()) return;
  // As the Down key: the card opens a moment later.
  form_->Editor().TreeKeyDown(true);
  tree->setCurrentIndex(below);
}

void TMainForm::TreeGlue::FolderView::SetBusyCursor(bool on) {
  if (on) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
  } else {
    QApplication::restoreOverrideCursor();
  }
}

TreeHit TMainForm::TreeGlue::HitAt(QPoint at) const {
  QTreeView* tree = form->Tree;
  TreeHit hit;
  hit.x = at.x();
  hit.y = at.y();
  const QModelIndex index = tree->indexAt(at);
  hit.node = qt_model->NodeAt(index);
  if (hit.node == nullptr) return hit;
  // The icon's rectangle as the view's style lays the row out.
  QStyleOptionViewItem option;
  option.initFrom(tree->viewport());
  option.rect = tree->visualRect(index);
  option.features = QStyleOptionViewItem::HasDecoration | QStyleOptionViewItem::HasDisplay;
  option.decorationSize = tree->iconSize();
  option.decorationPosition = QStyleOptionViewItem::Left;
  option.decorationAlignment = Qt::AlignCenter;
  option.displayAlignment = Qt::AlignLeft | Qt::AlignVCenter;
  option.icon = qvariant_cast<QIcon>(index.data(Qt::DecorationRole));
  option.text = index.data(Qt::DisplayRole).toString();
  option.index = index;
  option.widget = tree;
  const QRect icon =
      tree->style()->subElementRect(QStyle::SE_ItemViewItemDecoration, &option, tree);
  hit.on_icon = icon.contains(at);
  return hit;
}

// --- events of the tree widget ---

bool TMainForm::TreeWidgetEvent(QObject* watched, QEvent* event) {
  if (tree_glue_ == nullptr || (watched != Tree && watched != Tree->viewport())) return false;
  TreeGlue& g = *tree_glue_;
  QEvent* outer = g.tree_event;
  g.tree_event = event;
  bool used = false;
  if (watched == Tree) {
    switch (event->type()) {
      case QEvent::FocusIn:
        TreeEnter();
        break;
      case QEvent::FocusOut:
        TreeExit();
        break;
      case QEvent::KeyPress:
        used = TreeKeyDown(static_cast<QKeyEvent*>(event));
        if (!used) {
          TreeKeyPress();
          used = event->isAccepted();
        }
        break;
      default:
        break;
    }
  } else {
    switch (event->type()) {
      case QEvent::MouseButtonPress:
        TreeMouseDown();
        used = event->isAccepted();
        break;
      case QEvent::MouseButtonRelease:
        TreeMouseUp();
        break;
      case QEvent::DragEnter:
      case QEvent::DragMove:
        TreeDragOver();
        used = true;
        break;
      case QEvent::Drop:
        TreeDragDrop();
        used = true;
        break;
      default:
        break;
    }
  }
  g.tree_event = outer;
  return used;
}

void TMainForm::TreeEnter() {
  // No input method reaches the tree: it refuses them (FolderTreeQtView).
  FocusedEditor = Tree;
}

void TMainForm::TreeExit() {
  // Only the focus going to another control of this window ends a pick: a
  // popup menu, a question (the move's own) or another application do not.
  auto* focus = static_cast<QFocusEvent*>(tree_glue_->tree_event);
  if (focus != nullptr && (focus->reason() == Qt::PopupFocusReason ||
                           focus->reason() == Qt::ActiveWindowFocusReason)) {
    return;
  }
  tree_glue_->folders.TreeExit();
}

void TMainForm::TreeKeyPress() {
  auto* key = static_cast<QKeyEvent*>(tree_glue_->tree_event);
  // Character keys only, as typed: the arrows move through the tree and
  // leave a pick alone.
  const QString text = key->text();
  if (text.isEmpty()) {
    key->ignore();
    return;
  }
  const char c = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter ? '\r'
                 : key->key() == Qt::Key_Space                               ? ' '
                                                                              : 'x';
  key->setAccepted(tree_glue_->folders.TreeKeyPress(c));
}

void TMainForm::TreeMouseDown() {
  auto* mouse = static_cast<QMouseEvent*>(tree_glue_->tree_event);
  if (mouse->button() != Qt::LeftButton && mouse->button() != Qt::RightButton) {
    mouse->ignore();
    return;
  }
  const TreeButton button = mouse->button() == Qt::RightButton ? TreeButton::kRight
                                                                : TreeButton::kLeft;
  const TreeHit hit = tree_glue_->HitAt(EventPoint(mouse));
  mouse->setAccepted(tree_glue_->folders.TreeMouseDown(button, hit));
}

void TMainForm::TreeMouseUp() {
  auto* mouse = static_cast<QMouseEvent*>(tree_glue_->tree_event);
  if (mouse->button() != Qt::LeftButton) return;
  tree_glue_->folders.TreeMouseUp(tree_glue_->HitAt(EventPoint(mouse)));
}

void TMainForm::TreeDblClick() {
  tree_glue_->folders.TreeDblClick(tree_glue_->qt_model->NodeAt(Tree->currentIndex()));
}

void TMainForm::TreeDragOver() {
  auto* drag = static_cast<QDragMoveEvent*>(tree_glue_->tree_event);
  if (!drag->mimeData()->hasFormat(QString::fromLatin1(FolderTreeQtModel::kNodeMimeType))) {
    // Dropped files belong to the window.
    drag->ignore();
    return;
  }
  drag->acceptProposedAction();
  if (drag->type() != QEvent::DragMove) return;
  // One row up or down near the edges; the view's own scrolling is off.
  const int y = EventPoint(drag).y();
  QScrollBar* bar = Tree->verticalScrollBar();
  if (y < kScrollTopMargin) {
    bar->triggerAction(QAbstractSlider::SliderSingleStepSub);
  } else if (y > Tree->viewport()->height() - kScrollBottomMargin) {
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  }
  Tree->viewport()->update();
}

void TMainForm::TreeDragDrop() {
  auto* drop = static_cast<QDropEvent*>(tree_glue_->tree_event);
  TreeGlue& g = *tree_glue_;
  FolderTreeModel& model = g.model;
  TreeNode* dragged = g.qt_model->DraggedNode(
      drop->mimeData(), [&model](bool card, const std::string& name) {
        return card ? FindNodeByTextId(name, model.tree()) : FindFolderNode(model, name);
      });
  if (dragged == nullptr) {
    drop->ignore();
    return;
  }
  // The model removes no row for a drag that ends as a move: the tree
  // changes only through FolderTree.
  drop->acceptProposedAction();
  TreeNode* target = g.qt_model->NodeAt(Tree->indexAt(EventPoint(drop)));
  g.folders.TreeDragDrop(target, dragged);
}

void TMainForm::TreeEditing() {
  // Which captions may be edited is the model's flags' business.
}

void TMainForm::TreeEdited() {
  TreeGlue& g = *tree_glue_;
  const std::string path = std::move(g.edited_path);
  g.edited_path.clear();
  TreeNode* node = FindFolderNode(g.model, path);
  if (node != nullptr) g.folders.TreeEdited(node, ToCp932(g.edited_text));
}

void TMainForm::ConnectCaptionEdits() {
  // Handled once the editor has closed: the rename may load the tree again.
  connect(tree_glue_->qt_model.get(), &FolderTreeQtModel::captionEdited, this,
          [this](TreeNode* node, const QString& text) {
            tree_glue_->edited_path = GetFolderPath(node);
            tree_glue_->edited_text = text;
            QMetaObject::invokeMethod(this, &TMainForm::TreeEdited, Qt::QueuedConnection);
          });
}

// --- commands ---

void TMainForm::IkkatuDeleteClick() { tree_glue_->folders.IkkatuDeleteClick(); }

void TMainForm::SakujoClick() {
  IkkatuDeleteClick();
  Tree->setFocus();
}

void TMainForm::MoveNodeClick() { tree_glue_->folders.MoveNodeClick(); }

void TMainForm::RenameClick() {
  TreeGlue& g = *tree_glue_;
  TreeNode* node = g.model.tree().selected_node();
  if (FolderCommands::CanEditCaption(node)) {
    Tree->edit(g.qt_model->IndexOf(node));
  } else if (node != nullptr && !node->IsFolder()) {
    Title->setFocus();
  }
}

}  // namespace quill
