// TMainForm's card search, in-card search and replace: the handlers, which
// forward to SearchCommands, and the views through which it sees the
// window: the text editor (positions converted between the program's bytes
// and the widget's characters), the table grid and the window itself.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>
#include <QTextEdit>
#include <QToolButton>
#include <QTreeView>
#include <algorithm>

#include "clip/paste_target.h"
#include "controls/ui/string_grid_pelm.h"
#include "main/search/search_commands.h"
#include "main/search/tree_keys.h"
#include "main/tree/folder_operations.h"
#include "main/tree/tree_loader.h"
#include "main/ui/main_form_tree_glue.h"
#include "main/ui/qt_ui.h"
#include "main/ui/text_search_view.h"
#include "main/ui/widget_text.h"
#include "platform/ini_file.h"
#include "platform/qt/cp932_text.h"

namespace quill {

namespace {

// The table grid in the card panel, once a table card puts it there.
class GridSearchView final : public SearchGrid {
 public:
  explicit GridSearchView(TMainForm* form) : form_(form) {}
  bool Visible() override { return form_->CsvGrid->isVisible(); }
  void Find(const std::string& s, int mode, bool backwards) override {
    TStringGridPelm* grid = form_->CsvGrid;
    backwards ? grid->Grid().FindingBack(s, mode) : grid->Grid().Finding(s, mode);
    form_->CsvGrid->setFocus();
  }

 private:
  TMainForm* form_;
};

TreeKey TreeKeyOf(int key) {
  switch (key) {
    case Qt::Key_Delete: return TreeKey::kDelete;
    case Qt::Key_Left: return TreeKey::kLeft;
    case Qt::Key_Right: return TreeKey::kRight;
    case Qt::Key_F4: return TreeKey::kF4;
    case Qt::Key_Escape: return TreeKey::kEscape;
    case Qt::Key_Menu: return TreeKey::kMenu;
    default: return TreeKey::kOther;
  }
}

}  // namespace

struct TMainForm::SearchGlue final : public SearchHost {
  WindowHandle remembered_target = 0;

  explicit SearchGlue(TMainForm* f)
      : form(f), text_view(f, f->Text), grid_view(f), commands(f->TreeModel(), *this) {}

  bool ShiftDown() override { return form->ShiftDown(); }
  void SaveCurrentCard(bool select_new) override { form->Editor().SaveCurrentCard(select_new); }
  void SelectNode(TreeNode* node) override {
    form->tree_glue_->SelectInView(node);
    if (node != nullptr) form->Editor().TreeChange(node);
  }
  Status ReloadTree(CardSearch* criteria) override {
    Status s = LoadFolderTree(form->TreeModel(), criteria);
    form->tree_glue_->SelectInView(form->TreeModel().tree().selected_node());
    if (s.code() == Status::kNoSpace) {
      // The load has said that the program ends.
      form->close();
    } else if (!s.ok()) {
      form->ShowWarning(s);
    }
    return s;
  }
  void ComeForward() override {
    // The window in front before the dialog, to give the focus back to.
    remembered_target = form->CurrentTargetWindow();
    form->BringForward();
  }
  void ReturnToTarget() override {
    if (remembered_target != 0) form->Target().ActivateTargetWindow(remembered_target, false);
  }
  Status WriteIni(const IniBatch& batch) override {
    return IniFile(form->env_, form->startup_.IniFilePath()).Apply(batch);
  }
  void ShowFailure(const Status& s) override { form->ShowWarning(s); }
  SearchEditor& Editor() override { return text_view; }
  SearchGrid* Grid() override { return &grid_view; }
  bool CardLocked() override { return form->LockCheckBox->isChecked(); }
  bool TableOrPageShown() override { return form->CsvHtmlCK->isChecked(); }
  void ShowHighlightButton(bool on) override { form->ShowKensakuMark(on); }

  TMainForm* form;
  TextSearchView text_view;
  GridSearchView grid_view;
  SearchCommands commands;
};

void TMainForm::DestroySearchGlue(SearchGlue* glue) { delete glue; }

void TMainForm::SetupSearch() { search_glue_.reset(new SearchGlue(this)); }

SearchCommands& TMainForm::Search() { return search_glue_->commands; }

void TMainForm::CardShown() {
  if (search_glue_ != nullptr) Search().HighlightSearchWords();
}

void TMainForm::GrepClick() { Search().GrepClick(); }

void TMainForm::KensakuButtonClick() {
  GrepClick();
  Tree->setFocus();
}

void TMainForm::GrepOffClick() { Search().GrepOffClick(); }

void TMainForm::GrepKaijoClick() {
  Search().GrepKaijoClick();
  Tree->setFocus();
  RefreshTreeSelection();
}

void TMainForm::FindStrMenuClick() { Search().FindStrMenuClick(); }
void TMainForm::InKensakuButtonClick() { FindStrMenuClick(); }
void TMainForm::KensakuBtClick() { Search().KensakuBtClick(); }
void TMainForm::KensakuMarkClick() { Search().KensakuMarkClick(); }
void TMainForm::ReplaceClick() { Search().ReplaceClick(); }
void TMainForm::IkkatuTikanClick() { Search().IkkatuTikanClick(); }

bool TMainForm::TreeKeyDown(QKeyEvent* event) {
  // A caption edited in place has its editor inside the tree.
  QWidget* focus = QApplication::focusWidget();
  const bool editing = focus != nullptr && focus != Tree && Tree->isAncestorOf(focus);
  const TreeKeyResult r =
      quill::TreeKeyDown(TreeKeyOf(event->key()), event->modifiers().testFlag(Qt::ShiftModifier),
                         editing, TreeModel().tree().picked_node() != nullptr);
  FolderTree& tree = TreeModel().tree();
  switch (r.action) {
    case TreeKeyAction::kExpandBranch:
    case TreeKeyAction::kCollapseBranch:
      tree.SetExpandedBranch(tree.selected_node(), r.action == TreeKeyAction::kExpandBranch);
      break;
    case TreeKeyAction::kToMark:
      ToMarkClick();
      break;
    case TreeKeyAction::kListPopup: {
      Editor().SaveCurrentCard(false);
      const QRect row = Tree->visualRect(Tree->currentIndex());
      PopupActions(ui_, ListPopup, Tree->viewport()->mapToGlobal(row.center()));
      break;
    }
    case TreeKeyAction::kDeleteNodes:
      IkkatuDeleteClick();
      break;
    case TreeKeyAction::kCancelPick:
      CancelPick(TreeModel());
      break;
    default:
      break;
  }
  return r.consumed;
}

}  // namespace quill
