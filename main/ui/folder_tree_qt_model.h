// FolderTreeQtModel: the folder tree (main/folder_tree.h) as a Qt item
// model, for the main window's tree view.
//
// One column; the data set's root is the one top-level row. Captions are
// converted from CP932 for display. A node's image is its index in the
// main window's image list (0..4 fixed, 5..104 card icons, 105..204 marked
// card icons), given as ImageIndexRole and, once the list is set, as the
// icon itself (DecorationRole).
//
// Changes of the tree arrive through FolderTreeObserver. Inside a batch
// (BeginUpdate/EndUpdate) the first change of shape detaches the model
// (the view sees an empty model until the batch ends, then one reset), so
// a long load costs no per-row signals and the view never sees a half-built
// tree; changes of rows inside a batch are announced once at its end.
// The nodes' expand flags are the expand state: attached views follow them
// and write the user's expands and collapses back.
//
// Nodes other than the root can be dragged: the drag carries kNodeMimeType
// naming the node. The model never moves, removes or renames a row on its
// own: drops are handled by the window, and a caption edited in place is
// only announced (captionEdited); the tree changes through FolderTree once
// the card table has been written.
#pragma once

#include <QAbstractItemModel>
#include <QIcon>
#include <QList>
#include <QPointer>
#include <functional>
#include <string>
#include <vector>

#include "main/tree/folder_tree.h"

class QTreeView;

namespace quill {

class FolderTreeQtModel : public QAbstractItemModel, public FolderTreeObserver {
  Q_OBJECT

 public:
  enum Role {
    ImageIndexRole = Qt::UserRole + 1,  // int: NodeImageIndex
    IsFolderRole,                       // bool
    MarkRole,                           // int: the node's mark
  };

  explicit FolderTreeQtModel(FolderTree& tree, QObject* parent = nullptr);
  ~FolderTreeQtModel() override;

  QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  // A caption edited in place: announced, never stored.
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;
  QStringList mimeTypes() const override;
  QMimeData* mimeData(const QModelIndexList& indexes) const override;
  Qt::DropActions supportedDragActions() const override;
  Qt::DropActions supportedDropActions() const override;
  bool canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                       const QModelIndex& parent) const override;
  bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                    const QModelIndex& parent) override;

  // The type of a dragged node: "card " and the card id, or "folder " and
  // the folder path (CP932).
  static constexpr const char* kNodeMimeType = "application/x-quillbox-tree-node";
  // The node a drag of this model names, or null.
  TreeNode* DraggedNode(const QMimeData* data, const std::function<TreeNode*(
      bool card, const std::string& name)>& find) const;

  FolderTree& tree() { return tree_; }
  TreeNode* NodeAt(const QModelIndex& index) const;
  QModelIndex IndexOf(const TreeNode* node) const;

  // The image list, images 0..204.
  void SetImages(QList<QIcon> images);

  // Shows the model in view and keeps the view's expand state and the
  // nodes' expand flags in step.
  void AttachView(QTreeView* view);
  // Expands and collapses the view's rows as the nodes' flags say.
  void ApplyExpandState(QTreeView* view) const;
  // Makes node the view's current row and the tree's selected node.
  void SelectNode(QTreeView* view, TreeNode* node);
  // The node of the view's current row, or null.
  TreeNode* SelectedNode(QTreeView* view) const;

  // FolderTreeObserver.
  void TreeAboutToReset() override;
  void TreeReset() override;
  void NodesAboutToInsert(TreeNode* parent, int first, int last) override;
  void NodesInserted(TreeNode* parent, int first, int last) override;
  void NodesAboutToRemove(TreeNode* parent, int first, int last) override;
  void NodesRemoved(TreeNode* parent, int first, int last) override;
  void RowsAboutToRemove(TreeNode* parent, const std::vector<int>& rows) override;
  void RowsRemoved(TreeNode* parent) override;
  void NodeAboutToMove(TreeNode* node, TreeNode* new_parent, int to) override;
  void NodeMoved(TreeNode* node) override;
  void NodeChanged(TreeNode* node) override;
  void ChildrenAboutToReorder(TreeNode* parent) override;
  void ChildrenReordered(TreeNode* parent) override;
  void UpdateBegun() override;
  void UpdateEnded() override;

 signals:
  // The user committed `text` as node's caption.
  void captionEdited(TreeNode* node, const QString& text);

 private:
  void Detach();
  void ApplyExpandStateToViews();

  FolderTree& tree_;
  QList<QIcon> images_;
  std::vector<QPointer<QTreeView>> views_;
  bool batching_ = false;
  bool detached_ = false;
  bool changed_in_batch_ = false;
  // A move that Qt would reject as a no-op is not announced.
  bool move_announced_ = false;
};

}  // namespace quill
