// TMainForm's marks, icons and sort orders: the tree popup ListPopup with
// its mark commands, list formats and sort orders, the buttons above the
// tree that lead there, the jump to a marked card, and the image list.
// The work is done by main/tree/marks.h, sort_orders.h and the card icon
// list; this file hands them the window's state.
#include <QAction>
#include <QIcon>
#include <QList>
#include <QGuiApplication>
#include <QMenu>
#include <QPixmap>
#include <QPushButton>
#include <QTreeView>
#include <vector>

#include "main/dialogs/kind_picker.h"
#include "main/tree/marks.h"
#include "main/tree/node_operations.h"
#include "main/tree/sort_orders.h"
#include "main/ui/main_form_tree_glue.h"

namespace quill {

namespace {

QString U(const char* utf8) { return QString::fromUtf8(utf8); }

// One item of the tree popup: the sub-menu it goes into (empty: the popup
// itself), its object name and caption, and its handler. An item without
// a handler is a separator line.
struct ListItem {
  const char* submenu;
  const char* name;
  const char* caption;
  const char* handler;
  TMainForm::Handler slot;
};

#define QUILL_ITEM(submenu, name, caption, handler) \
  { submenu, name, caption, #handler, &TMainForm::handler }
#define QUILL_LINE \
  { "", "", "-", "", nullptr }

// The sub-menus, in popup order after the popup's own items.
struct SubMenu {
  const char* name;
  const char* caption;
};
const SubMenu kSubMenus[] = {
    {"K3", "マーク関連(&K)"},
    {"K4", "リスト書式(&L)"},
    {"SortItem", "並べ替え(&S)"},
};

const ListItem kListItems[] = {
    QUILL_ITEM("", "NewKategori", "新規フォルダ(&N)", NewKategoriClick),
    QUILL_ITEM("", "Rename", "フォルダ名変更(&R)", RenameClick),
    QUILL_ITEM("", "MoveNode", "移動(&M)", MoveNodeClick),
    QUILL_ITEM("", "DeleteNode", "削除(&D)", IkkatuDeleteClick),
    QUILL_LINE,
    QUILL_ITEM("", "GrepPopup", "カード検索(&F)...", GrepClick),
    QUILL_ITEM("", "GrepOff", "再読込(&A)", GrepOffClick),
    QUILL_ITEM("", "IkkatuTikan", "一括置換", IkkatuTikanClick),
    QUILL_ITEM("", "SetSyutten", "一括属性変更(&Z)...", SetSyuttenClick),
    QUILL_LINE,
    QUILL_ITEM("", "Hukusei", "複製(&C)", HukuseiClick),
    QUILL_ITEM("", "AllTextOut2", "カード書き出し(&O)...", AllTextOutClick),
    QUILL_ITEM("", "IkkatuText2", "カード読み込み(&T)...", IkkatuTextClick),
    QUILL_ITEM("", "ToOther", "他Quillbox直接書き出し...", ToOtherClick),
    QUILL_LINE,
    QUILL_ITEM("", "TreeFont", "ツリー部のフォント", TreeFontClick),
    QUILL_ITEM("K3", "SetAllMark", "マーク全セット(&A)", SetAllMarkClick),
    QUILL_ITEM("K3", "FolderMark", "このフォルダのデータをマーク(&F)", FolderMarkClick),
    QUILL_ITEM("K3", "FolderMark2", "このフォルダの下のデータをマーク", FolderMark2Click),
    QUILL_ITEM("K3", "MarkClear", "マーク全クリア(&C)", MarkClearClick),
    QUILL_ITEM("K3", "FolderMarkClear", "このフォルダのデータのマークをクリア(&R)",
               FolderMarkClearClick),
    QUILL_ITEM("K3", "FolderMarkClear2", "このフォルダのデータの下マークをクリア",
               FolderMarkClear2Click),
    QUILL_ITEM("K3", "OffNoMark", "マークされていないデータをリストからはずす(&O)",
               OffNoMarkClick),
    QUILL_ITEM("K3", "SetMarkPopup", "一発ペーストするデータにマーク", SetMarkPopupClick),
    QUILL_ITEM("K3", "SetMarkNoPopup", "一発ペーストしないものにマーク", SetMarkNoPopupClick),
    QUILL_ITEM("K3", "MarkReverce", "マークの反転(&X)", MarkReverceClick),
    QUILL_ITEM("K4", "K5", "タイトルのみ", K5Click),
    QUILL_ITEM("K4", "K6", "作成日＋タイトル", K6Click),
    QUILL_ITEM("K4", "K7", "更新日＋タイトル", K7Click),
    QUILL_ITEM("K4", "K8", "作成日＋更新日＋タイトル", K8Click),
    QUILL_ITEM("SortItem", "CodeSyoujun", "タイトル昇順", CodeSyoujunClick),
    QUILL_ITEM("SortItem", "CodeKoujun", "タイトル降順", CodeKoujunClick),
    QUILL_ITEM("SortItem", "TourokuSyoujun", "登録日昇順", TourokuSyoujunClick),
    QUILL_ITEM("SortItem", "TourokuKoujun", "登録日降順", TourokuKoujunClick),
    QUILL_ITEM("SortItem", "UpdateSyoujun", "更新日昇順", UpdateSyoujunClick),
    QUILL_ITEM("SortItem", "UpdateKoujun", "更新日降順", UpdateKoujunClick),
};

#undef QUILL_ITEM
#undef QUILL_LINE

}  // namespace

void TMainForm::BuildListPopup() {
  auto add = [this](QMenu* menu, const ListItem& item) {
    if (item.slot == nullptr) {
      menu->addSeparator();
      return;
    }
    QAction* action = menu->addAction(U(item.caption));
    action->setObjectName(item.name);
    action->setProperty("handler", QString::fromLatin1(item.handler));
    connect(action, &QAction::triggered, this, item.slot);
  };
  for (const ListItem& item : kListItems) {
    if (item.submenu[0] == '\0') add(ListPopup, item);
  }
  ListPopup->addSeparator();
  for (const SubMenu& sub : kSubMenus) {
    QMenu* menu = ListPopup->addMenu(U(sub.caption));
    menu->setObjectName(sub.name);
    menu->menuAction()->setObjectName(sub.name);
    for (const ListItem& item : kListItems) {
      if (QString::fromLatin1(item.submenu) == QString::fromLatin1(sub.name)) add(menu, item);
    }
  }
  connect(ListPopup, &QMenu::aboutToShow, this, &TMainForm::ListPopupPopup);
  // The right button on the tree opens it through TreeMouseDown, the menu
  // key through TreeKeyDown.
  Tree->setContextMenuPolicy(Qt::NoContextMenu);
}

void TMainForm::ListPopupPopup() {
  const ListPopupState s = ListPopupItems(TreeModel(), Sakujo->isEnabled());
  const std::pair<const char*, bool> states[] = {{"Rename", s.rename},
                                                 {"SortItem", s.sort_item},
                                                 {"IkkatuTikan", s.batch_replace},
                                                 {"DeleteNode", s.delete_node}};
  for (const auto& [name, enabled] : states) {
    if (QAction* a = findChild<QAction*>(name)) a->setEnabled(enabled);
  }
}

// --- marks ---

void TMainForm::RunMarks(MarkCommand command) {
  TreeGlue& g = *tree_glue_;
  FolderTree& tree = g.model.tree();
  TreeNode* selected = tree.selected_node();
  // Cards leaving the tree take nothing of the editor's with them.
  if (command == MarkCommand::kOffNoMark) g.editor.SaveCurrentCard(false);
  RunMarkCommand(g.model, command);
  if (command != MarkCommand::kOffNoMark) return;
  g.SelectInView(tree.selected_node());
  if (tree.selected_node() != selected) g.editor.OpenSelectedNode();
}

void TMainForm::SetAllMarkClick() { RunMarks(MarkCommand::kSetAllMark); }
void TMainForm::FolderMarkClick() { RunMarks(MarkCommand::kFolderMark); }
void TMainForm::FolderMark2Click() { RunMarks(MarkCommand::kFolderMark2); }
void TMainForm::MarkClearClick() { RunMarks(MarkCommand::kMarkClear); }
void TMainForm::FolderMarkClearClick() { RunMarks(MarkCommand::kFolderMarkClear); }
void TMainForm::FolderMarkClear2Click() { RunMarks(MarkCommand::kFolderMarkClear2); }
void TMainForm::OffNoMarkClick() { RunMarks(MarkCommand::kOffNoMark); }
void TMainForm::SetMarkPopupClick() { RunMarks(MarkCommand::kSetMarkPopup); }
void TMainForm::SetMarkNoPopupClick() { RunMarks(MarkCommand::kSetMarkNoPopup); }
void TMainForm::MarkReverceClick() { RunMarks(MarkCommand::kMarkReverce); }

void TMainForm::MarkClearBTClick() {
  MarkClearClick();
  Tree->setFocus();
}

void TMainForm::ToMarkClick() {
  // Shift as the click or the key that got here had it.
  const bool backward = QGuiApplication::keyboardModifiers().testFlag(Qt::ShiftModifier);
  TreeGlue& g = *tree_glue_;
  g.editor.SaveCurrentCard(true);
  TreeNode* found = FindMarkedNode(g.model, g.model.tree().selected_node(), backward);
  if (found != nullptr) g.SelectAndOpen(found);
}

void TMainForm::SetListFormat(int title_fmt) { SetTitleFormat(TreeModel(), title_fmt); }

void TMainForm::K5Click() { SetListFormat(0); }
void TMainForm::K6Click() { SetListFormat(1); }
void TMainForm::K7Click() { SetListFormat(2); }
void TMainForm::K8Click() { SetListFormat(3); }

// --- sort orders ---

void TMainForm::SortCardsCommand(int order) {
  TreeGlue& g = *tree_glue_;
  g.editor.SaveCurrentCard(true);
  const bool reload = settings_.AutoSort != 0;
  Status s = SortCards(g.model, order, edit_card_.get());
  if (reload && s.code() == Status::kNoSpace) {
    // The reload has said that the program ends.
    close();
    return;
  }
  g.SelectInView(g.model.tree().selected_node());
}

void TMainForm::CodeSyoujunClick() { SortCardsCommand(0); }
void TMainForm::CodeKoujunClick() { SortCardsCommand(1); }
void TMainForm::TourokuSyoujunClick() { SortCardsCommand(2); }
void TMainForm::TourokuKoujunClick() { SortCardsCommand(3); }
void TMainForm::UpdateSyoujunClick() { SortCardsCommand(4); }
void TMainForm::UpdateKoujunClick() { SortCardsCommand(5); }

void TMainForm::ResortSelectedFolder() {
  TreeGlue& g = *tree_glue_;
  SortFolderChildren(g.model, g.model.tree().selected_node(), true);
  g.SelectInView(g.model.tree().selected_node());
  // A list that cannot be written keeps the one before (it is
  // replaced whole or not at all); the next folder change writes it again.
  (void)WriteTreeFile(g.model);
}

void TMainForm::RefreshTreeSelection() {
  TreeGlue& g = *tree_glue_;
  FolderTree& tree = g.model.tree();
  if (settings_.RunTreeOpen != 0) ExpandBranch(g.model, true, tree.first());
  TreeNode* selected = tree.selected_node();
  if (selected != nullptr && selected->GetNext() != nullptr) g.SelectAndOpen(selected);
}

// --- folders ---

void TMainForm::NewFolderCommand() {
  TreeGlue& g = *tree_glue_;
  g.editor.SaveCurrentCard(true);
  TreeNode* created = nullptr;
  if (NewFolder(g.model, g.model.tree().selected_node(), &created).ok()) {
    g.SelectAndOpen(created);
    // The user names it in place at once.
    Tree->edit(g.qt_model->IndexOf(created));
  } else {
    // A refused folder row has reloaded the tree.
    g.SelectInView(g.model.tree().selected_node());
  }
}

void TMainForm::SinkiForudaClick() {
  Tree->setFocus();
  NewFolderCommand();
}

void TMainForm::NewKategoriClick() { NewFolderCommand(); }

// --- the image list ---

void TMainForm::LoadCardIcons(int index) { LoadCardIcons(index, QImage()); }

void TMainForm::LoadCardIcons(int index, const QImage& bitmap) {
  TreeGlue& g = *tree_glue_;
  g.icons.LoadCardIcons(index, bitmap);
  g.qt_model->SetImages(g.icons.Icons());
  KindButton->setIcon(GetIconBitmap(g.editor.EditIcon));
}

const CardIconList& TMainForm::ImageList() const { return tree_glue_->icons; }

QPixmap TMainForm::GetIconBitmap(int icon) const { return tree_glue_->icons.GetIconBitmap(icon); }

QList<QIcon> TMainForm::CardIcons() const {
  QList<QIcon> icons;
  for (int i = 0; i < KindPicker::kIcons; ++i) icons.push_back(QIcon(GetIconBitmap(i)));
  return icons;
}

}  // namespace quill
