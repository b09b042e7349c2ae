#include "main/tree/folder_tree_model.h"

#include "platform/file_env.h"
#include "store/card_store.h"

namespace quill {

FolderTreeModel::FolderTreeModel(store::CardStore& store, Settings& settings, Ui& ui,
                                 FolderTreeView* view)
    : store_(store),
      settings_(settings),
      ui_(ui),
      view_(view != nullptr ? view : &default_view_) {}

void FolderTreeModel::set_view(FolderTreeView* view) {
  view_ = view != nullptr ? view : &default_view_;
}

Clock& FolderTreeModel::clock() { return store_.env().clock(); }

}  // namespace quill
