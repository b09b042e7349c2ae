#include "main/tree/folder_tree.h"

#include <algorithm>
#include <memory>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

namespace quill {

// --- TreeNode ---

namespace {

// Room for nodes, taken a block at a time and never given back: a load
// that follows a clear reuses the room of the nodes it freed.
class NodeRoom {
 public:
  void* Take() {
    if (free_ == nullptr) Grow();
    Slot* s = free_;
    free_ = s->next;
    return s;
  }
  void Give(void* p) {
    Slot* s = static_cast<Slot*>(p);
    s->next = free_;
    free_ = s;
  }

 private:
  union Slot {
    Slot* next;
    alignas(TreeNode) unsigned char bytes[sizeof(TreeNode)];
  };
  static constexpr size_t kBlock = 512;

  void Grow() {
    blocks_.push_back(std::make_unique<Slot[]>(kBlock));
    Slot* b = blocks_.back().get();
    for (size_t i = kBlock; i-- > 0;) Give(&b[i]);
  }

  Slot* free_ = nullptr;
  std::vector<std::unique_ptr<Slot[]>> blocks_;
};

// Never destroyed, so that a node freed at exit still has its room.
NodeRoom& Room() {
  static NodeRoom* room = new NodeRoom;
  return *room;
}

}  // namespace

void* TreeNode::operator new(size_t) { return Room().Take(); }

void TreeNode::operator delete(void* p) noexcept {
  if (p != nullptr) Room().Give(p);
}

TreeNode* TreeNode::next_sibling() const {
  if (parent_ == nullptr || index_ + 1 >= parent_->child_count()) return nullptr;
  return parent_->child(index_ + 1);
}

TreeNode* TreeNode::prev_sibling() const {
  if (parent_ == nullptr || index_ == 0) return nullptr;
  return parent_->child(index_ - 1);
}

TreeNode* TreeNode::GetNext() const {
  if (!children_.empty()) return children_.front().get();
  for (const TreeNode* n = this; n != nullptr; n = n->parent_) {
    if (TreeNode* s = n->next_sibling()) return s;
  }
  return nullptr;
}

TreeNode* TreeNode::GetPrev() const {
  TreeNode* p = prev_sibling();
  if (p == nullptr) return parent_;
  while (p->HasChildren()) p = p->last_child();
  return p;
}

int TreeNode::level() const {
  int n = 0;
  for (const TreeNode* p = parent_; p != nullptr; p = p->parent_) ++n;
  return n;
}

// --- FolderTree ---

// Nodes are freed without recursion, so a deep tree cannot exhaust the
// stack.
FolderTree::~FolderTree() { FreeAll(); }

void FolderTree::Notify(const std::function<void(FolderTreeObserver*)>& f) {
  for (FolderTreeObserver* o : observers_) f(o);
}

void FolderTree::AddObserver(FolderTreeObserver* o) { observers_.push_back(o); }

void FolderTree::RemoveObserver(FolderTreeObserver* o) {
  observers_.erase(std::remove(observers_.begin(), observers_.end(), o), observers_.end());
}

void FolderTree::FreeAll() {
  current_ = editor_ = selected_ = picked_ = nullptr;
  if (root_) {
    std::vector<std::unique_ptr<TreeNode>> pending;
    pending.push_back(std::move(root_));
    while (!pending.empty()) {
      std::unique_ptr<TreeNode> n = std::move(pending.back());
      pending.pop_back();
      for (auto& c : n->children_) pending.push_back(std::move(c));
    }
  }
  node_count_ = 0;
}

void FolderTree::Clear() {
  Notify([](FolderTreeObserver* o) { o->TreeAboutToReset(); });
  FreeAll();
  Notify([](FolderTreeObserver* o) { o->TreeReset(); });
}

TreeNode* FolderTree::CreateRoot(std::string text, NodeInfo info) {
  Notify([](FolderTreeObserver* o) { o->TreeAboutToReset(); });
  FreeAll();
  root_.reset(new TreeNode());
  root_->text_ = std::move(text);
  root_->info_ = std::move(info);
  node_count_ = 1;
  Notify([](FolderTreeObserver* o) { o->TreeReset(); });
  return root_.get();
}

void FolderTree::Renumber(TreeNode* parent, size_t from) {
  for (size_t i = from; i < parent->children_.size(); ++i) {
    parent->children_[i]->index_ = static_cast<int>(i);
  }
}

TreeNode* FolderTree::Insert(TreeNode* parent, int at, std::string text, NodeInfo info) {
  const int count = parent->child_count();
  if (at < 0 || at > count) at = count;
  Notify([&](FolderTreeObserver* o) { o->NodesAboutToInsert(parent, at, at); });
  std::unique_ptr<TreeNode> node(new TreeNode());
  TreeNode* raw = node.get();
  raw->text_ = std::move(text);
  raw->info_ = std::move(info);
  raw->parent_ = parent;
  parent->children_.insert(parent->children_.begin() + at, std::move(node));
  Renumber(parent, static_cast<size_t>(at));
  ++node_count_;
  Notify([&](FolderTreeObserver* o) { o->NodesInserted(parent, at, at); });
  return raw;
}

void FolderTree::AppendChildren(
    TreeNode* parent, size_t count,
    const std::function<void(size_t i, std::string* text, NodeInfo* info)>& fill) {
  if (count == 0) return;
  const int first = parent->child_count();
  const int last = first + static_cast<int>(count) - 1;
  Notify([&](FolderTreeObserver* o) { o->NodesAboutToInsert(parent, first, last); });
  parent->children_.reserve(parent->children_.size() + count);
  for (size_t i = 0; i < count; ++i) {
    std::unique_ptr<TreeNode> node(new TreeNode());
    fill(i, &node->text_, &node->info_);
    node->parent_ = parent;
    node->index_ = first + static_cast<int>(i);
    parent->children_.push_back(std::move(node));
  }
  node_count_ += count;
  Notify([&](FolderTreeObserver* o) { o->NodesInserted(parent, first, last); });
}

size_t FolderTree::CountSubtree(const TreeNode* node) {
  size_t n = 0;
  std::vector<const TreeNode*> stack{node};
  while (!stack.empty()) {
    const TreeNode* t = stack.back();
    stack.pop_back();
    ++n;
    for (const auto& c : t->children_) stack.push_back(c.get());
  }
  return n;
}

void FolderTree::ForgetSubtree(TreeNode* node) {
  if (IsInSubtree(node, current_)) current_ = nullptr;
  if (IsInSubtree(node, editor_)) editor_ = nullptr;
  if (IsInSubtree(node, selected_)) selected_ = nullptr;
  if (IsInSubtree(node, picked_)) picked_ = nullptr;
}

void FolderTree::Remove(TreeNode* node) {
  if (node == nullptr) return;
  if (node->parent_ == nullptr) {
    Clear();
    return;
  }
  RemoveRows(node->parent_, {node->index_});
}

void FolderTree::RemoveNodes(const std::vector<TreeNode*>& nodes) {
  const std::unordered_set<const TreeNode*> listed(nodes.begin(), nodes.end());
  // The rows to go, by parent, parents in the order first met.
  std::vector<std::pair<TreeNode*, std::vector<int>>> by_parent;
  std::unordered_map<const TreeNode*, size_t> slot;
  for (TreeNode* n : nodes) {
    if (n == nullptr) continue;
    if (n->parent_ == nullptr) {
      Clear();
      return;
    }
    bool below_listed = false;
    for (const TreeNode* p = n->parent_; p != nullptr && !below_listed; p = p->parent_) {
      below_listed = listed.count(p) != 0;
    }
    if (below_listed) continue;
    auto [it, added] = slot.emplace(n->parent_, by_parent.size());
    if (added) by_parent.push_back({n->parent_, {}});
    by_parent[it->second].second.push_back(n->index_);
  }
  for (auto& [parent, rows] : by_parent) {
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    RemoveRows(parent, rows);
  }
}

void FolderTree::RemoveRows(TreeNode* parent, const std::vector<int>& rows) {
  if (rows.empty()) return;
  for (int r : rows) ForgetSubtree(parent->child(r));
  const int first = rows.front(), last = rows.back();
  const bool one_run = static_cast<size_t>(last - first + 1) == rows.size();
  if (one_run) {
    Notify([&](FolderTreeObserver* o) { o->NodesAboutToRemove(parent, first, last); });
  } else {
    Notify([&](FolderTreeObserver* o) { o->RowsAboutToRemove(parent, rows); });
  }
  // The children close up in one pass; the removed subtrees are freed
  // without recursion.
  std::vector<std::unique_ptr<TreeNode>> pending;
  auto& children = parent->children_;
  size_t kept = static_cast<size_t>(first);
  size_t next = 0;
  for (size_t i = static_cast<size_t>(first); i < children.size(); ++i) {
    if (next < rows.size() && static_cast<size_t>(rows[next]) == i) {
      node_count_ -= CountSubtree(children[i].get());
      pending.push_back(std::move(children[i]));
      ++next;
      continue;
    }
    children[kept] = std::move(children[i]);
    children[kept]->index_ = static_cast<int>(kept);
    ++kept;
  }
  children.resize(kept);
  while (!pending.empty()) {
    std::unique_ptr<TreeNode> n = std::move(pending.back());
    pending.pop_back();
    for (auto& c : n->children_) pending.push_back(std::move(c));
  }
  if (one_run) {
    Notify([&](FolderTreeObserver* o) { o->NodesRemoved(parent, first, last); });
  } else {
    Notify([&](FolderTreeObserver* o) { o->RowsRemoved(parent); });
  }
}

bool FolderTree::Move(TreeNode* node, TreeNode* new_parent, int to) {
  if (node == nullptr || new_parent == nullptr || node->parent_ == nullptr) return false;
  if (IsInSubtree(node, new_parent)) return false;
  TreeNode* old_parent = node->parent_;
  const int from = node->index_;
  int count_after = new_parent->child_count() - (old_parent == new_parent ? 1 : 0);
  if (to < 0 || to > count_after) to = count_after;
  if (old_parent == new_parent && to == from) return true;
  Notify([&](FolderTreeObserver* o) { o->NodeAboutToMove(node, new_parent, to); });
  std::unique_ptr<TreeNode> held = std::move(old_parent->children_[static_cast<size_t>(from)]);
  old_parent->children_.erase(old_parent->children_.begin() + from);
  Renumber(old_parent, static_cast<size_t>(from));
  held->parent_ = new_parent;
  new_parent->children_.insert(new_parent->children_.begin() + to, std::move(held));
  Renumber(new_parent, static_cast<size_t>(std::min(to, old_parent == new_parent ? from : to)));
  Notify([&](FolderTreeObserver* o) { o->NodeMoved(node); });
  return true;
}

bool FolderTree::ReorderChildren(TreeNode* parent, const std::vector<TreeNode*>& order) {
  if (parent == nullptr || order.size() != parent->children_.size()) return false;
  // Each child once: its slot in the new order, taken once.
  std::vector<int> slot(order.size(), -1);
  for (size_t i = 0; i < order.size(); ++i) {
    const TreeNode* n = order[i];
    if (n == nullptr || n->parent_ != parent || slot[static_cast<size_t>(n->index_)] >= 0) {
      return false;
    }
    slot[static_cast<size_t>(n->index_)] = static_cast<int>(i);
  }
  Notify([&](FolderTreeObserver* o) { o->ChildrenAboutToReorder(parent); });
  std::vector<std::unique_ptr<TreeNode>> children(order.size());
  for (size_t i = 0; i < slot.size(); ++i) {
    children[static_cast<size_t>(slot[i])] = std::move(parent->children_[i]);
  }
  parent->children_ = std::move(children);
  Renumber(parent, 0);
  Notify([&](FolderTreeObserver* o) { o->ChildrenReordered(parent); });
  return true;
}

void FolderTree::SetText(TreeNode* node, std::string text) {
  node->text_ = std::move(text);
  NodeChanged(node);
}

void FolderTree::SetExpanded(TreeNode* node, bool expanded) {
  if (node->expanded_ == expanded) return;
  node->expanded_ = expanded;
  NodeChanged(node);
}

void FolderTree::SetExpandedBranch(TreeNode* node, bool expanded) {
  if (node == nullptr) return;
  BeginUpdate();
  // Only nodes with children are expanded or collapsed.
  std::vector<TreeNode*> stack;
  if (node->HasChildren()) stack.push_back(node);
  while (!stack.empty()) {
    TreeNode* n = stack.back();
    stack.pop_back();
    SetExpanded(n, expanded);
    for (auto& c : n->children_) {
      if (c->HasChildren()) stack.push_back(c.get());
    }
  }
  EndUpdate();
}

void FolderTree::NodeChanged(TreeNode* node) {
  Notify([&](FolderTreeObserver* o) { o->NodeChanged(node); });
}

void FolderTree::BeginUpdate() {
  if (update_depth_++ == 0) Notify([](FolderTreeObserver* o) { o->UpdateBegun(); });
}

void FolderTree::EndUpdate() {
  if (update_depth_ == 0) return;
  if (--update_depth_ == 0) Notify([](FolderTreeObserver* o) { o->UpdateEnded(); });
}

// --- helpers ---

bool IsInSubtree(const TreeNode* ancestor, const TreeNode* node) {
  if (ancestor == nullptr) return false;
  for (const TreeNode* n = node; n != nullptr; n = n->parent()) {
    if (n == ancestor) return true;
  }
  return false;
}

bool IsTopNode(const TreeNode* node) { return node != nullptr && node->parent() == nullptr; }

TreeNode* FirstSibling(TreeNode* node) {
  if (node == nullptr) return nullptr;
  return node->parent() == nullptr ? node : node->parent()->first_child();
}

TreeNode* FolderOf(TreeNode* node) {
  if (node == nullptr) return nullptr;
  return node->IsFolder() ? node : node->parent();
}

std::string GetFolderPath(const TreeNode* node) {
  std::vector<const std::string*> names;
  for (const TreeNode* n = node; n != nullptr && n->parent() != nullptr; n = n->parent()) {
    names.push_back(&n->text());
  }
  std::string path;
  for (auto it = names.rbegin(); it != names.rend(); ++it) {
    if (!path.empty() || it != names.rbegin()) path += ' ';
    path += **it;
  }
  return path;
}

uint8_t GetNodeKind(const TreeNode* node) { return node->info().Kind(); }
bool IsTableNode(const TreeNode* node) { return node->info().TwoColumn() != 0; }
bool IsNodeListed(const TreeNode* node) { return node->info().OneShotPaste() != 0; }

int NodeImageIndex(const TreeNode* node) {
  const NodeInfo& info = node->info();
  if (info.IsFolder()) {
    if (info.Mark() == 2) return kImageTransient;
    return node->expanded() ? kImageFolderOpen : kImageFolderClosed;
  }
  const int icon = info.Kind() < 100 ? info.Kind() : 0;
  switch (info.Mark()) {
    case 0:
      return kImageCardBase + icon;
    case 1:
      return kImageMarkedBase + icon;
    default:
      return kImageTransient;
  }
}

// --- busy state ---

void BusyState::RunWhenIdle(std::function<void()> command) {
  if (busy()) {
    deferred_.push_back(std::move(command));
  } else {
    command();
  }
}

void BusyState::Enter() {
  if (depth_++ == 0 && observer_ != nullptr) observer_->BusyChanged(true);
}

void BusyState::Leave() {
  if (depth_ == 0) return;
  if (--depth_ > 0) return;
  if (observer_ != nullptr) observer_->BusyChanged(false);
  // A deferred command may start a scope of its own and defer again; those
  // run when that scope ends.
  while (!busy() && !deferred_.empty()) {
    std::function<void()> next = std::move(deferred_.front());
    deferred_.erase(deferred_.begin());
    next();
  }
}

}  // namespace quill
