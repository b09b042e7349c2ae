// The view of the folder tree. Keys in it are commands (Space marks a
// card, Enter places a pick), so it refuses input methods: with one
// active they would take those keys for text. Turning the widget's input
// method attribute off does not last, because the item view turns it on
// again whenever its current item can be edited (every folder can be
// renamed); the answer to the input method's question does. The in-place
// editor of a folder name is a line edit of its own and takes them.
#pragma once

#include <QTreeView>
#include <QVariant>

namespace quill {

class FolderTreeQtView final : public QTreeView {
 public:
  using QTreeView::QTreeView;

  QVariant inputMethodQuery(Qt::InputMethodQuery query) const override {
    if (query == Qt::ImEnabled) return false;
    return QTreeView::inputMethodQuery(query);
  }
};

}  // namespace quill
