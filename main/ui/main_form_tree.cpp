// TMainForm's folder tree: the tree view over the window's FolderTreeModel,
// the progress bar, the counters, the busy state, and the selection
// handler that hands the chosen node to the card editor.
#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QTreeView>
#include <algorithm>
#include <cstdint>
#include <climits>

#include "controls/ui/string_grid_pelm.h"
#include "main/tree/card_icon_sheet.h"
#include "main/tree/node_operations.h"
#include "main/tree/tree_loader.h"
#include "platform/qt/cp932_text.h"
#include "main/ui/main_form_tree_glue.h"

namespace quill {

namespace {

// Tells the card editor whether the key about to move the tree's current
// row is an arrow key (its card then opens a moment later).
class TreeKeyWatcher final : public QObject {
 public:
  TreeKeyWatcher(QObject* parent, CardEditor& editor) : QObject(parent), editor_(editor) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::KeyPress) {
      const int key = static_cast<QKeyEvent*>(event)->key();
      editor_.TreeKeyDown(key == Qt::Key_Up || key == Qt::Key_Down);
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  CardEditor& editor_;
};

// The five main menus that are disabled while the window is busy.
constexpr int kBusyMenus = 5;

}  // namespace

// --- the tree model's view ---

void TMainForm::TreeGlue::TreeView::ProcessMessages() { QCoreApplication::processEvents(); }

void TMainForm::TreeGlue::TreeView::ShowProgress(int64_t maximum) {
  form_->Progres->setRange(0, static_cast<int>(std::min<int64_t>(maximum, INT32_MAX)));
  form_->Progres->setValue(0);
  form_->Progres->show();
}

void TMainForm::TreeGlue::TreeView::SetProgress(int64_t position) {
  form_->Progres->setValue(static_cast<int>(std::min<int64_t>(position, INT32_MAX)));
}

void TMainForm::TreeGlue::TreeView::HideProgress() { form_->Progres->hide(); }

void TMainForm::TreeGlue::TreeView::ShowCounts(int64_t cards, int64_t marked) {
  form_->CardCount->setText(QString::asprintf("%5lld", static_cast<long long>(cards)));
  form_->MarkCount->setText(marked != 0 ? QString::asprintf("%5lld", static_cast<long long>(marked))
                                        : QString());
  form_->ToMark->setEnabled(marked != 0);
  form_->MarkClearBT->setEnabled(marked != 0);
}

void TMainForm::TreeGlue::TreeView::ClearEditor() { form_->Editor().ClearEditor(); }

void TMainForm::TreeGlue::TreeView::ShowStatus(const std::string& text) {
  form_->tree_glue_->status_label->setText(FromCp932(text));
}

void TMainForm::TreeGlue::TreeView::SaveSettingsGroup(int group) {
  form_->tree_glue_->SaveSettingsGroup(group);
}

void TMainForm::TreeGlue::TreeView::BusyChanged(bool busy) {
  TMainForm::TreeGlue& glue = *form_->tree_glue_;
  if (busy && !glue.cursor_overridden) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    glue.cursor_overridden = true;
  }
  form_->Panel1->setEnabled(!busy);
  if (QWidget* cards = form_->Split->widget(1)) cards->setEnabled(!busy);
  const QList<QAction*> menus = form_->menuBar()->actions();
  for (int i = 0; i < menus.size() && i < kBusyMenus; ++i) menus[i]->setEnabled(!busy);
  if (!busy) {
    if (glue.cursor_overridden) {
      QApplication::restoreOverrideCursor();
      glue.cursor_overridden = false;
    }
    if (glue.model.tree().root() != nullptr) form_->Tree->setFocus();
  }
}

// --- the glue ---

TMainForm::TreeGlue::TreeGlue(TMainForm* f)
    : form(f),
      tree_view(f),
      model(f->card_store_, f->settings_, f->ui_, &tree_view),
      qt_model(std::make_unique<FolderTreeQtModel>(model.tree())),
      editor_view(f),
      deferred(f),
      editor(model, *f->edit_card_, editor_view, f->CsvGrid->Grid(), deferred),
      icons(f->env_, f->ui_, f->startup_.program_folder()),
      folder_view(f),
      folders(model, editor, folder_view, deferred) {
  model.busy().set_observer(&tree_view);
}

void TMainForm::TreeGlue::SelectInView(TreeNode* node) {
  ++selecting;
  // A selected node is always in sight: its folders open.
  for (TreeNode* p = node != nullptr ? node->parent() : nullptr; p != nullptr; p = p->parent()) {
    model.tree().SetExpanded(p, true);
  }
  qt_model->SelectNode(form->Tree, node);
  if (node != nullptr) form->Tree->scrollTo(form->Tree->currentIndex());
  --selecting;
}

void TMainForm::TreeGlue::SelectAndOpen(TreeNode* node) {
  SelectInView(node);
  if (node != nullptr) editor.TreeChange(node);
}

void TMainForm::DestroyTreeGlue(TreeGlue* glue) {
  if (glue == nullptr) return;
  // The view lets go of the model first: a selection change while the
  // glue goes away must not reach the editor.
  if (glue->form->Tree->selectionModel() != nullptr) {
    QObject::disconnect(glue->form->Tree->selectionModel(), nullptr, glue->form, nullptr);
  }
  glue->form->Tree->setModel(nullptr);
  delete glue;
}

FolderTreeModel& TMainForm::TreeModel() { return tree_glue_->model; }

void TMainForm::ShowCardById(const std::string& card_id) {
  if (tree_glue_ == nullptr) return;
  TreeNode* node = FindNodeByTextId(card_id, tree_glue_->model.tree());
  if (node == nullptr) return;
  ShowNode(node);
}

void TMainForm::ShowNode(TreeNode* node) {
  if (tree_glue_ == nullptr || node == nullptr) return;
  tree_glue_->editor.SetSelectedNode(node);
  tree_glue_->SelectInView(node);
  OpenSelectedNode();
}
CardEditor& TMainForm::Editor() { return tree_glue_->editor; }

void TMainForm::SetupTreeAndEditor() {
  // The progress bar under the tree, shown while the tree loads.
  Progres = new QProgressBar(Panel1);
  Progres->setObjectName("Progres");
  Progres->setTextVisible(false);
  Progres->setMaximumHeight(12);
  Progres->hide();
  Panel1->layout()->addWidget(Progres);

  auto* status = new QLabel(Panel1);
  status->setObjectName("Status");
  Panel1->layout()->addWidget(status);

  tree_glue_.reset(new TreeGlue(this));
  TreeGlue& g = *tree_glue_;
  g.qt_model->AttachView(Tree);
  Tree->setIconSize(QSize(kIconSize, kIconSize));
  connect(Tree->selectionModel(), &QItemSelectionModel::currentChanged, this,
          &TMainForm::TreeChange);
  Tree->installEventFilter(new TreeKeyWatcher(Tree, g.editor));

  g.status_label = status;
  ConnectCaptionEdits();
  g.SetupEditorControls();
  BuildListPopup();
}

void TMainForm::TreeChange() {
  TreeGlue& g = *tree_glue_;
  if (g.selecting != 0 || g.model.loading) return;
  TreeNode* node = g.qt_model->NodeAt(Tree->currentIndex());
  if (node == nullptr) return;
  g.editor.TreeChange(node);
}

void TMainForm::PrepareTreeAtStart() {
  TreeGlue& g = *tree_glue_;
  card_store_.set_new_card_auto_title(settings_.DefAutoTitle != 0);
  g.FillSourceCombo();
}

}  // namespace quill
