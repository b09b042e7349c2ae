#include "main/tree/folder_tree_visitors.h"

#include "main/tree/folder_tree_model.h"
#include "main/tree/node_captions.h"
#include "platform/file_env.h"
#include "platform/text_codec.h"
#include "store/card_store.h"

namespace quill {

int AllNode::Walk(TreeNode* start) {
  if (update_) tree_.BeginUpdate();
  TreeNode* n = nullptr;
  if (start != nullptr) {
    n = start->first_child();
  } else if (tree_.first() != nullptr) {
    n = tree_.first()->GetNext();
  }
  int result = 0;
  while (n != nullptr) {
    node_ = n;
    info_ = &n->info();
    result = n->IsFolder() ? VisitFolder() : VisitCard();
    if (result != 0) break;
    result = VisitNode();
    if (result != 0) break;
    n = start != nullptr ? n->next_sibling() : n->GetNext();
  }
  node_ = nullptr;
  info_ = nullptr;
  if (update_) tree_.EndUpdate();
  return result;
}

int CFindNode::VisitCard() {
  if (info_->TextId() != wanted_) return 0;
  found = node_;
  return 1;
}

int CGetFolder::VisitFolder() {
  folders.push_back(node_);
  return 0;
}

int CGetTreeNode::VisitFolder() {
  if (GetFolderPath(node_) != wanted_) return 0;
  found = node_;
  return 1;
}

int CMakeTreeFile::VisitFolder() {
  text += GetFolderPath(node_);
  text += "\r\n";
  return 0;
}

int CFindAddNode::VisitCard() {
  found = node_;
  return 1;
}

int CCountInfo::VisitCard() {
  ++cards;
  if (info_->Mark() != 0) ++marked;
  return 0;
}

int CSetTuikaMenu::VisitCard() {
  if (++count_ > limit_) {
    current_->more = std::make_unique<TuikaMenu>();
    current_ = current_->more.get();
    count_ = 1;
  }
  if (info_->BodyMode() == 'H' || info_->Locked() != 0) return 0;
  current_->items.push_back(
      {node_->text(), std::string(info_->TextId()), kImageCardBase + info_->Kind()});
  return 0;
}

int CFolderAri::VisitFolder() {
  if (node_->text() != wanted_) return 0;
  found = true;
  node = node_;
  return 1;
}

CSetMarkFlag::CSetMarkFlag(FolderTreeModel& form, int mode, uint8_t value)
    : AllNode(form.tree(), true), form_(form), mode_(mode), value_(value) {
  if (mode_ == 3) {
    titles_ = std::make_unique<store::CardRecord>(form_.store());
    // Unopened, each title is read with the table opened for it alone.
    (void)titles_->SetOpenFlag(true);
  }
}

CSetMarkFlag::~CSetMarkFlag() {
  if (titles_) (void)titles_->SetOpenFlag(false);
}

int CSetMarkFlag::VisitCard() {
  const uint8_t mark = info_->Mark();
  switch (mode_) {
    case 0:
      info_->SetMark(value_);
      break;
    case 1:
      if (mark == 3) info_->SetMark(1);
      if (mark == 2) info_->SetMark(0);
      break;
    case 2:
      if (mark == 1) info_->SetMark(3);
      break;
    case 3: {
      bool found = false;
      Status s = titles_->FindById(info_->RecordNo(), info_->TextId(), false, &found);
      const std::string title = s.ok() && found ? titles_->title : std::string();
      tree_.SetText(node_, FormatNodeCaption(form_, title, info_->UpdateTime(),
                                             info_->CreationTime()));
      return 0;
    }
    default:
      return 0;
  }
  if (info_->Mark() != mark) tree_.NodeChanged(node_);
  return 0;
}

int CMoveTree::VisitCard() {
  if (info_->Mark() != 0) nodes.push_back(node_);
  return 0;
}

int CGetNode::VisitCard() {
  nodes.push_back(node_);
  return 0;
}

namespace {
void SetMark(FolderTree& tree, TreeNode* node, uint8_t mark) {
  if (node->info().Mark() == mark) return;
  node->info().SetMark(mark);
  tree.NodeChanged(node);
}
}  // namespace

int CSetPopup::VisitCard() {
  const bool listed = info_->OneShotPaste() != 0;
  SetMark(tree_, node_, listed != invert_ ? 1 : 0);
  return 0;
}

int CCurrentFolderMark::VisitCard() {
  SetMark(tree_, node_, value_);
  return 0;
}

int CFolderMark::VisitCard() {
  if (IsInSubtree(folder_, node_)) SetMark(tree_, node_, value_);
  return 0;
}

int CMarkReverce::VisitCard() {
  SetMark(tree_, node_, info_->Mark() == 0 ? 1 : 0);
  return 0;
}

int CToJump::VisitNode() {
  if (from_ == nullptr || IsTopNode(from_)) passed_ = true;
  if (!passed_) {
    if (node_ == from_) passed_ = true;
    return 0;
  }
  if (info_->Mark() == 0) return 0;
  found = node_;
  return 1;
}

int CToBackJump::VisitNode() {
  if (node_ == from_) return 1;
  if (info_->Mark() != 0) found = node_;
  return 0;
}

CWriteText::CWriteText(FolderTreeModel& form, std::string folder, FileNamer file_name)
    : AllNode(form.tree()), form_(form), folder_(std::move(folder)),
      file_name_(std::move(file_name)) {}

int CWriteText::VisitCard() {
  if (info_->Mark() == 0) return 0;
  store::CardRecord card(form_.store());
  bool found = false;
  Status s = card.FindById(info_->RecordNo(), info_->TextId(), true, &found);
  if (!s.ok() || !found) {
    ++skipped;
    return 0;
  }
  const std::string name = file_name_ ? FileNameFromCp932(file_name_(card.title), ".txt", false)
                                      : FileNameFromCp932(card.title, ".txt", true);
  s = form_.store().env().WriteFileAtomic(folder_ + name, card.text, LinkAtTarget::kReplace);
  if (s.ok()) {
    ++written;
  } else {
    ++skipped;
  }
  return 0;
}

bool HasChildFolderNamed(FolderTree& tree, TreeNode* node, const std::string& name) {
  CFolderAri v(tree, name);
  v.Walk(node);
  return v.found;
}

}  // namespace quill
