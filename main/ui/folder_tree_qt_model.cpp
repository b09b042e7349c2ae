#include "main/ui/folder_tree_qt_model.h"

#include <QMimeData>
#include <QTreeView>

#include "platform/qt/cp932_text.h"

namespace quill {

FolderTreeQtModel::FolderTreeQtModel(FolderTree& tree, QObject* parent)
    : QAbstractItemModel(parent), tree_(tree) {
  tree_.AddObserver(this);
  batching_ = tree_.updating();
}

FolderTreeQtModel::~FolderTreeQtModel() { tree_.RemoveObserver(this); }

TreeNode* FolderTreeQtModel::NodeAt(const QModelIndex& index) const {
  if (!index.isValid() || index.model() != this) return nullptr;
  return static_cast<TreeNode*>(index.internalPointer());
}

QModelIndex FolderTreeQtModel::IndexOf(const TreeNode* node) const {
  if (node == nullptr || detached_) return {};
  return createIndex(node->parent() == nullptr ? 0 : node->index(), 0,
                     const_cast<TreeNode*>(node));
}

QModelIndex FolderTreeQtModel::index(int row, int column, const QModelIndex& parent) const {
  if (detached_ || column != 0 || row < 0) return {};
  if (!parent.isValid()) {
    if (row != 0 || tree_.root() == nullptr) return {};
    return createIndex(0, 0, tree_.root());
  }
  TreeNode* p = NodeAt(parent);
  if (p == nullptr || row >= p->child_count()) return {};
  return createIndex(row, 0, p->child(row));
}

QModelIndex FolderTreeQtModel::parent(const QModelIndex& child) const {
  TreeNode* n = NodeAt(child);
  if (n == nullptr || detached_) return {};
  return IndexOf(n->parent());
}

int FolderTreeQtModel::rowCount(const QModelIndex& parent) const {
  if (detached_) return 0;
  if (!parent.isValid()) return tree_.root() != nullptr ? 1 : 0;
  if (parent.column() != 0) return 0;
  TreeNode* p = NodeAt(parent);
  return p != nullptr ? p->child_count() : 0;
}

int FolderTreeQtModel::columnCount(const QModelIndex&) const { return 1; }

QVariant FolderTreeQtModel::data(const QModelIndex& index, int role) const {
  TreeNode* n = NodeAt(index);
  if (n == nullptr || detached_) return {};
  switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
      return FromCp932(n->text());
    case Qt::DecorationRole: {
      const int image = NodeImageIndex(n);
      if (image < images_.size()) return images_[image];
      return {};
    }
    case ImageIndexRole:
      return NodeImageIndex(n);
    case IsFolderRole:
      return n->IsFolder();
    case MarkRole:
      return static_cast<int>(n->info().Mark());
    default:
      return {};
  }
}

Qt::ItemFlags FolderTreeQtModel::flags(const QModelIndex& index) const {
  TreeNode* n = NodeAt(index);
  if (n == nullptr || detached_) return Qt::NoItemFlags;
  Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDropEnabled;
  if (n->parent() != nullptr) f |= Qt::ItemIsDragEnabled;
  if (n->parent() != nullptr && n->IsFolder()) f |= Qt::ItemIsEditable;
  return f;
}

bool FolderTreeQtModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  TreeNode* n = NodeAt(index);
  if (n == nullptr || role != Qt::EditRole) return false;
  emit captionEdited(n, value.toString());
  return false;
}

QStringList FolderTreeQtModel::mimeTypes() const { return {QString::fromLatin1(kNodeMimeType)}; }

QMimeData* FolderTreeQtModel::mimeData(const QModelIndexList& indexes) const {
  TreeNode* n = indexes.isEmpty() ? nullptr : NodeAt(indexes.front());
  if (n == nullptr || n->parent() == nullptr) return nullptr;
  std::string name = n->IsFolder() ? "folder " + GetFolderPath(n)
                                   : "card " + std::string(n->info().TextId());
  auto* data = new QMimeData;
  data->setData(QString::fromLatin1(kNodeMimeType), QByteArray::fromStdString(name));
  return data;
}

Qt::DropActions FolderTreeQtModel::supportedDragActions() const { return Qt::MoveAction; }
Qt::DropActions FolderTreeQtModel::supportedDropActions() const { return Qt::MoveAction; }

bool FolderTreeQtModel::canDropMimeData(const QMimeData* data, Qt::DropAction, int, int,
                                        const QModelIndex&) const {
  return data != nullptr && data->hasFormat(QString::fromLatin1(kNodeMimeType));
}

bool FolderTreeQtModel::dropMimeData(const QMimeData*, Qt::DropAction, int, int,
                                     const QModelIndex&) {
  return false;
}

TreeNode* FolderTreeQtModel::DraggedNode(
    const QMimeData* data,
    const std::function<TreeNode*(bool card, const std::string& name)>& find) const {
  if (data == nullptr || !data->hasFormat(QString::fromLatin1(kNodeMimeType))) return nullptr;
  const std::string bytes = data->data(QString::fromLatin1(kNodeMimeType)).toStdString();
  const size_t blank = bytes.find(' ');
  if (blank == std::string::npos) return nullptr;
  const std::string kind = bytes.substr(0, blank);
  if (kind != "card" && kind != "folder") return nullptr;
  return find(kind == "card", bytes.substr(blank + 1));
}

void FolderTreeQtModel::SetImages(QList<QIcon> images) {
  images_ = std::move(images);
  if (!detached_ && tree_.root() != nullptr) {
    // Every row's icon may have changed.
    TreeNode* n = tree_.root();
    while (n != nullptr) {
      QModelIndex i = IndexOf(n);
      emit dataChanged(i, i, {Qt::DecorationRole});
      n = n->GetNext();
    }
  }
}

// --- views ---

void FolderTreeQtModel::AttachView(QTreeView* view) {
  if (view->model() != this) view->setModel(this);
  views_.emplace_back(view);
  connect(view, &QTreeView::expanded, this, [this](const QModelIndex& i) {
    if (TreeNode* n = NodeAt(i)) tree_.SetExpanded(n, true);
  });
  connect(view, &QTreeView::collapsed, this, [this](const QModelIndex& i) {
    if (TreeNode* n = NodeAt(i)) tree_.SetExpanded(n, false);
  });
  ApplyExpandState(view);
}

void FolderTreeQtModel::ApplyExpandState(QTreeView* view) const {
  if (detached_ || view == nullptr || view->model() != this) return;
  for (TreeNode* n = tree_.root(); n != nullptr; n = n->GetNext()) {
    if (!n->HasChildren()) continue;
    QModelIndex i = IndexOf(n);
    if (view->isExpanded(i) != n->expanded()) view->setExpanded(i, n->expanded());
  }
}

void FolderTreeQtModel::ApplyExpandStateToViews() {
  for (auto& v : views_) {
    if (v) ApplyExpandState(v);
  }
}

void FolderTreeQtModel::SelectNode(QTreeView* view, TreeNode* node) {
  tree_.set_selected_node(node);
  if (view != nullptr) view->setCurrentIndex(IndexOf(node));
}

TreeNode* FolderTreeQtModel::SelectedNode(QTreeView* view) const {
  return view != nullptr ? NodeAt(view->currentIndex()) : nullptr;
}

// --- observer ---

void FolderTreeQtModel::Detach() {
  if (detached_) return;
  beginResetModel();
  detached_ = true;
  endResetModel();
}

void FolderTreeQtModel::TreeAboutToReset() {
  if (batching_) {
    Detach();
    return;
  }
  beginResetModel();
}

void FolderTreeQtModel::TreeReset() {
  if (batching_) return;
  endResetModel();
  ApplyExpandStateToViews();
}

void FolderTreeQtModel::NodesAboutToInsert(TreeNode* parent, int first, int last) {
  if (batching_) Detach();
  if (detached_) return;
  beginInsertRows(IndexOf(parent), first, last);
}

void FolderTreeQtModel::NodesInserted(TreeNode*, int, int) {
  if (detached_) return;
  endInsertRows();
}

void FolderTreeQtModel::NodesAboutToRemove(TreeNode* parent, int first, int last) {
  if (batching_) Detach();
  if (detached_) return;
  beginRemoveRows(IndexOf(parent), first, last);
}

void FolderTreeQtModel::NodesRemoved(TreeNode*, int, int) {
  if (detached_) return;
  endRemoveRows();
}

// Rows that are not neighbours, gone at once: outside a batch the views
// are told of a reset, as a batch would tell them at its end.
void FolderTreeQtModel::RowsAboutToRemove(TreeNode*, const std::vector<int>&) {
  if (batching_) Detach();
  if (detached_) return;
  beginResetModel();
}

void FolderTreeQtModel::RowsRemoved(TreeNode*) {
  if (detached_) return;
  endResetModel();
  ApplyExpandStateToViews();
}

void FolderTreeQtModel::NodeAboutToMove(TreeNode* node, TreeNode* new_parent, int to) {
  move_announced_ = false;
  if (batching_) Detach();
  if (detached_) return;
  // Qt counts the destination among the children as they stand before the
  // move.
  const int from = node->index();
  int dest = to;
  if (node->parent() == new_parent && to > from) dest = to + 1;
  move_announced_ = beginMoveRows(IndexOf(node->parent()), from, from, IndexOf(new_parent), dest);
  if (!move_announced_) {
    // Not a move Qt can describe: announce a reset instead.
    beginResetModel();
  }
}

void FolderTreeQtModel::NodeMoved(TreeNode*) {
  if (detached_) return;
  if (move_announced_) {
    endMoveRows();
  } else {
    endResetModel();
    ApplyExpandStateToViews();
  }
}

void FolderTreeQtModel::NodeChanged(TreeNode* node) {
  if (detached_) return;
  if (batching_) {
    // Told once when the batch ends.
    changed_in_batch_ = true;
    return;
  }
  QModelIndex i = IndexOf(node);
  emit dataChanged(i, i);
  for (auto& v : views_) {
    if (v && node->HasChildren() && v->isExpanded(i) != node->expanded()) {
      v->setExpanded(i, node->expanded());
    }
  }
}

void FolderTreeQtModel::ChildrenAboutToReorder(TreeNode* parent) {
  if (batching_) Detach();
  if (detached_) return;
  emit layoutAboutToBeChanged({QPersistentModelIndex(IndexOf(parent))},
                              QAbstractItemModel::VerticalSortHint);
}

void FolderTreeQtModel::ChildrenReordered(TreeNode* parent) {
  if (detached_) return;
  // The views' selection and expanded rows follow their nodes.
  const QModelIndexList from = persistentIndexList();
  QModelIndexList to;
  to.reserve(from.size());
  for (const QModelIndex& i : from) {
    TreeNode* n = NodeAt(i);
    to << (n != nullptr && n->parent() == parent ? IndexOf(n) : i);
  }
  changePersistentIndexList(from, to);
  emit layoutChanged({QPersistentModelIndex(IndexOf(parent))},
                     QAbstractItemModel::VerticalSortHint);
}

void FolderTreeQtModel::UpdateBegun() {
  batching_ = true;
  changed_in_batch_ = false;
}

void FolderTreeQtModel::UpdateEnded() {
  batching_ = false;
  const bool changed = changed_in_batch_;
  changed_in_batch_ = false;
  if (detached_) {
    beginResetModel();
    detached_ = false;
    endResetModel();
  } else if (changed) {
    // Captions, marks or expand flags of any number of rows: the views
    // redraw every row once.
    emit layoutAboutToBeChanged();
    emit layoutChanged();
  } else {
    return;
  }
  ApplyExpandStateToViews();
}

}  // namespace quill
