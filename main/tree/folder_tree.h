// The folder tree of the main window as plain data: nodes, the record each
// node carries, and the tree that owns them.
//
// One root stands for the data set; below any folder come its sub-folders
// (ascending byte order of their names) and then its cards. A node's text
// is its caption in CP932: a folder's own name, or a card's caption made by
// FormatNodeCaption (node_captions.h).
//
// Every change of the shape goes through FolderTree, which tells its
// observers (the Qt adapter) before and after, and which keeps the state
// that points into the tree (current, editor, selected and picked node) in
// one place, so that removing a subtree clears every reference into it.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quill {

// The record of one node. A folder's record carries only the folder flag.
class NodeInfo {
 public:
  static NodeInfo Folder() {
    NodeInfo n;
    n.folder_ = 1;
    return n;
  }
  static NodeInfo Card(std::string_view text_id) {
    NodeInfo n;
    n.SetTextId(text_id);
    return n;
  }

  bool IsFolder() const { return folder_ != 0; }
  uint8_t Mark() const { return mark_; }
  uint32_t RecordNo() const { return record_no_; }
  uint32_t UpdateTime() const { return update_time_; }
  uint32_t CreationTime() const { return creation_time_; }
  uint8_t Locked() const { return locked_; }
  uint8_t Kind() const { return kind_; }          // icon 0..99
  uint8_t OneShotPaste() const { return one_shot_paste_; }
  uint8_t TwoColumn() const { return two_column_; }
  uint8_t BodyMode() const { return body_mode_; }  // 0, 'C' table, 'H' HTML
  std::string_view TextId() const { return std::string_view(text_id_, text_id_length_); }

  void SetUpdateTime(uint32_t v) { update_time_ = v; }
  void SetCreationTime(uint32_t v) { creation_time_ = v; }
  void SetRecordNo(uint32_t v) { record_no_ = v; }
  void SetLocked(uint8_t v) { locked_ = v; }
  void SetKind(uint8_t v) { kind_ = v; }
  void SetOneShotPaste(uint8_t v) { one_shot_paste_ = v; }
  void SetFolder(uint8_t v) { folder_ = v; }
  void SetMark(uint8_t v) { mark_ = v; }
  void SetTwoColumn(uint8_t v) { two_column_ = v; }
  void SetBodyMode(uint8_t v) { body_mode_ = v; }
  // An id longer than the card table's field is cut to it.
  void SetTextId(std::string_view v) {
    text_id_length_ = static_cast<uint8_t>(std::min(v.size(), sizeof text_id_));
    std::memcpy(text_id_, v.data(), text_id_length_);
  }

 private:
  uint32_t update_time_ = 0;
  uint32_t creation_time_ = 0;
  uint32_t record_no_ = 0;
  uint8_t locked_ = 0;
  uint8_t kind_ = 0;
  uint8_t one_shot_paste_ = 0;
  uint8_t folder_ = 0;
  uint8_t mark_ = 0;
  uint8_t two_column_ = 0;
  uint8_t body_mode_ = 0;
  // The card id in place: a tree holds one per card, and 16 characters are
  // too many for a string without a block of its own.
  uint8_t text_id_length_ = 0;
  char text_id_[20] = {};
};

class FolderTree;

class TreeNode final {
 public:
  TreeNode(const TreeNode&) = delete;
  TreeNode& operator=(const TreeNode&) = delete;

  // A tree holds a node per card: nodes come from blocks of their own, and
  // a freed node's room serves the next one. Trees live on the main thread
  // only, and so does this room.
  static void* operator new(size_t size);
  static void operator delete(void* p) noexcept;

  const std::string& text() const { return text_; }
  NodeInfo& info() { return info_; }
  const NodeInfo& info() const { return info_; }
  bool IsFolder() const { return info_.IsFolder(); }
  bool expanded() const { return expanded_; }

  TreeNode* parent() const { return parent_; }
  // Position among the parent's children (0 for the root).
  int index() const { return index_; }
  int child_count() const { return static_cast<int>(children_.size()); }
  bool HasChildren() const { return !children_.empty(); }
  TreeNode* child(int i) const { return children_[static_cast<size_t>(i)].get(); }
  TreeNode* first_child() const { return children_.empty() ? nullptr : children_.front().get(); }
  TreeNode* last_child() const { return children_.empty() ? nullptr : children_.back().get(); }
  TreeNode* next_sibling() const;
  TreeNode* prev_sibling() const;
  // The next and previous node in pre-order (a node before its children).
  TreeNode* GetNext() const;
  TreeNode* GetPrev() const;
  // Depth below the root (the root is 0).
  int level() const;

 private:
  friend class FolderTree;
  TreeNode() = default;

  std::string text_;
  NodeInfo info_;
  TreeNode* parent_ = nullptr;
  int index_ = 0;
  bool expanded_ = false;
  std::vector<std::unique_ptr<TreeNode>> children_;
};

// What the view of a tree is told. The "about to" calls come before the
// tree changes, the others after it; the rows are positions among the
// parent's children.
class FolderTreeObserver {
 public:
  virtual ~FolderTreeObserver() = default;
  virtual void TreeAboutToReset() {}
  virtual void TreeReset() {}
  virtual void NodesAboutToInsert(TreeNode* parent, int first, int last) {}
  virtual void NodesInserted(TreeNode* parent, int first, int last) {}
  virtual void NodesAboutToRemove(TreeNode* parent, int first, int last) {}
  virtual void NodesRemoved(TreeNode* parent, int first, int last) {}
  // Rows of one parent that are not all neighbours go at once (`rows`
  // ascending, at least two runs of them).
  virtual void RowsAboutToRemove(TreeNode* parent, const std::vector<int>& rows) {}
  virtual void RowsRemoved(TreeNode* parent) {}
  // `to` is the node's position among new_parent's children after the move.
  virtual void NodeAboutToMove(TreeNode* node, TreeNode* new_parent, int to) {}
  virtual void NodeMoved(TreeNode* node) {}
  // Caption, record or expand state of one node.
  virtual void NodeChanged(TreeNode* node) {}
  // The parent's children change places among themselves (none comes or
  // goes).
  virtual void ChildrenAboutToReorder(TreeNode* parent) {}
  virtual void ChildrenReordered(TreeNode* parent) {}
  // A batch of changes begins / ends (BeginUpdate / EndUpdate, outermost).
  virtual void UpdateBegun() {}
  virtual void UpdateEnded() {}
};

class FolderTree {
 public:
  FolderTree() = default;
  FolderTree(const FolderTree&) = delete;
  FolderTree& operator=(const FolderTree&) = delete;
  ~FolderTree();

  TreeNode* root() const { return root_.get(); }
  // The first node in pre-order: the root, or null when the tree is empty.
  TreeNode* first() const { return root_.get(); }

  // Removes every node (and every reference into the tree).
  void Clear();
  // Replaces the tree by a lone root.
  TreeNode* CreateRoot(std::string text, NodeInfo info);
  // Inserts a new node as child number `at` of parent (-1 or past the end:
  // as the last child).
  TreeNode* Insert(TreeNode* parent, int at, std::string text, NodeInfo info);
  TreeNode* AddChild(TreeNode* parent, std::string text, NodeInfo info) {
    return Insert(parent, -1, std::move(text), std::move(info));
  }
  // Appends count new nodes as the last children of parent; fill(i, text,
  // info) gives the i-th of them its caption and record. Observers hear of
  // them as one range.
  void AppendChildren(TreeNode* parent, size_t count,
                      const std::function<void(size_t i, std::string* text, NodeInfo* info)>& fill);
  // Removes the node with its whole subtree. References into the subtree
  // are cleared first. Removing the root clears the tree.
  void Remove(TreeNode* node);
  // Removes every node of the list like Remove, in time linear in the
  // children of their parents however many go: each parent's children are
  // closed up once. A node below another of the list goes with it; null
  // entries and repeats are ignored.
  void RemoveNodes(const std::vector<TreeNode*>& nodes);
  // Moves a node (with its subtree) to position `to` among new_parent's
  // children as they stand after the move (-1: last). Moving a node into
  // its own subtree, or the root, is refused (returns false).
  bool Move(TreeNode* node, TreeNode* new_parent, int to);
  // Puts parent's children in the given order, in one step however many
  // there are. `order` must hold each child of parent exactly once;
  // otherwise nothing changes and the result is false.
  bool ReorderChildren(TreeNode* parent, const std::vector<TreeNode*>& order);

  void SetText(TreeNode* node, std::string text);
  void SetExpanded(TreeNode* node, bool expanded);
  // Expands or collapses the node and every node below it.
  void SetExpandedBranch(TreeNode* node, bool expanded);
  // Tells the observers that a node's record changed.
  void NodeChanged(TreeNode* node);

  // Batches: observers hear of the outermost pair only.
  void BeginUpdate();
  void EndUpdate();
  bool updating() const { return update_depth_ > 0; }

  // State that points into the tree. Removing a node clears each of these
  // that lies in the removed subtree.
  TreeNode* current_node() const { return current_; }  // folder commands act on it
  TreeNode* editor_node() const { return editor_; }    // the card in the editor
  TreeNode* selected_node() const { return selected_; }
  TreeNode* picked_node() const { return picked_; }    // picked for a move
  void set_current_node(TreeNode* n) { current_ = n; }
  void set_editor_node(TreeNode* n) { editor_ = n; }
  void set_selected_node(TreeNode* n) { selected_ = n; }
  void set_picked_node(TreeNode* n) { picked_ = n; }

  void AddObserver(FolderTreeObserver* o);
  void RemoveObserver(FolderTreeObserver* o);

  // Nodes in the tree, the root included.
  size_t node_count() const { return node_count_; }

 private:
  void Notify(const std::function<void(FolderTreeObserver*)>& f);
  void FreeAll();
  void Renumber(TreeNode* parent, size_t from);
  // Removes the children at `rows` (ascending, no repeats) of parent.
  void RemoveRows(TreeNode* parent, const std::vector<int>& rows);
  void ForgetSubtree(TreeNode* node);
  static size_t CountSubtree(const TreeNode* node);

  std::unique_ptr<TreeNode> root_;
  TreeNode* current_ = nullptr;
  TreeNode* editor_ = nullptr;
  TreeNode* selected_ = nullptr;
  TreeNode* picked_ = nullptr;
  int update_depth_ = 0;
  size_t node_count_ = 0;
  std::vector<FolderTreeObserver*> observers_;
};

// Whether node is ancestor itself or lies below it; a null node gives false.
bool IsInSubtree(const TreeNode* ancestor, const TreeNode* node);
// Whether the node has no parent (it is the root).
bool IsTopNode(const TreeNode* node);
// The first node of the node's sibling list.
TreeNode* FirstSibling(TreeNode* node);
// The node itself when it is a folder, else its parent.
TreeNode* FolderOf(TreeNode* node);
// The node's folder path: the captions from below the root down to the
// node, joined by one blank; the root's path is empty.
std::string GetFolderPath(const TreeNode* node);
// Record accessors by node.
uint8_t GetNodeKind(const TreeNode* node);
bool IsTableNode(const TreeNode* node);   // a table card of exactly two columns
bool IsNodeListed(const TreeNode* node);  // offered for one-shot paste

// The image of a node in the main window's image list: 0..4 fixed images
// (0 a node in a transient drag state, 1 closed folder, 2 open folder),
// 5..104 card icons 0..99, 105..204 the same icons marked.
inline constexpr int kImageTransient = 0;
inline constexpr int kImageFolderClosed = 1;
inline constexpr int kImageFolderOpen = 2;
inline constexpr int kImageCardBase = 5;
inline constexpr int kImageMarkedBase = 105;
inline constexpr int kImageCount = 205;
int NodeImageIndex(const TreeNode* node);

// Busy state of the main window: set while the tree loads or many cards
// change. The window observes it (hourglass, panels and menus disabled);
// commands that change the card store check it and are deferred while it
// is set, so that they never run against a half-built tree.
class BusyObserver {
 public:
  virtual ~BusyObserver() = default;
  // busy true: the outermost scope began; false: it ended.
  virtual void BusyChanged(bool busy) = 0;
};

class BusyState {
 public:
  bool busy() const { return depth_ > 0; }
  void set_observer(BusyObserver* o) { observer_ = o; }
  // Runs the command now when not busy; otherwise keeps it and runs it
  // when the outermost scope ends (in the order given).
  void RunWhenIdle(std::function<void()> command);
  size_t deferred_count() const { return deferred_.size(); }

 private:
  friend class BusyScope;
  void Enter();
  void Leave();

  int depth_ = 0;
  BusyObserver* observer_ = nullptr;
  std::vector<std::function<void()>> deferred_;
};

// Scope guard over BusyState; scopes nest.
class BusyScope {
 public:
  explicit BusyScope(BusyState& state) : state_(&state) { state_->Enter(); }
  ~BusyScope() { End(); }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;
  // Ends the scope early (the destructor then does nothing).
  void End() {
    if (state_ != nullptr) {
      BusyState* s = state_;
      state_ = nullptr;
      s->Leave();
    }
  }

 private:
  BusyState* state_;
};

}  // namespace quill
