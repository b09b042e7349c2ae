// AllNode: the visitor of the folder tree, its walker and its subclasses.
//
// Walk(start) with a start node visits only the start's direct children;
// without one it visits the whole tree in pre-order, the root excluded.
// Each node goes to VisitFolder or VisitCard, then to VisitNode; a nonzero
// result of any visit ends the walk and is what Walk returns. With the
// update flag the walk runs inside one BeginUpdate/EndUpdate of the tree.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "main/tree/folder_tree.h"

namespace quill {

class FolderTreeModel;

namespace store {
class CardRecord;
}  // namespace store

class AllNode {
 public:
  explicit AllNode(FolderTree& tree, bool update = false) : tree_(tree), update_(update) {}
  virtual ~AllNode() = default;

  virtual int VisitFolder() { return 0; }
  virtual int VisitCard() { return 0; }
  virtual int VisitNode() { return 0; }

  int Walk(TreeNode* start = nullptr);

 protected:
  NodeInfo* info_ = nullptr;  // the record of the node being visited
  FolderTree& tree_;
  TreeNode* node_ = nullptr;  // the node being visited
  bool update_;
};

// Stops at the first card whose card id equals the wanted one.
class CFindNode : public AllNode {
 public:
  CFindNode(FolderTree& tree, std::string text_id) : AllNode(tree), wanted_(std::move(text_id)) {}
  int VisitCard() override;
  TreeNode* found = nullptr;

 private:
  std::string wanted_;
};

// Collects every folder visited (with a start node: the start's
// sub-folders).
class CGetFolder : public AllNode {
 public:
  using AllNode::AllNode;
  int VisitFolder() override;
  std::vector<TreeNode*> folders;
};

// Stops at the first folder whose folder path equals the wanted one.
class CGetTreeNode : public AllNode {
 public:
  CGetTreeNode(FolderTree& tree, std::string path) : AllNode(tree), wanted_(std::move(path)) {}
  int VisitFolder() override;
  TreeNode* found = nullptr;

 private:
  std::string wanted_;
};

// Appends each folder's path and a line end (CR LF) to `text`: the
// contents of the folder list file.
class CMakeTreeFile : public AllNode {
 public:
  using AllNode::AllNode;
  int VisitFolder() override;
  std::string text;
};

// Stops at the first card, keeping it (where a new card goes in front).
class CFindAddNode : public AllNode {
 public:
  using AllNode::AllNode;
  int VisitCard() override;
  TreeNode* found = nullptr;
};

// Counts cards and marked cards.
class CCountInfo : public AllNode {
 public:
  using AllNode::AllNode;
  int VisitCard() override;
  int64_t cards = 0;
  int64_t marked = 0;
};

// The append-to-card menu of a folder, as data: one item per card that is
// neither locked nor an HTML card; past `limit` items a menu continues in a
// sub-menu "続き".
struct TuikaMenu {
  struct Item {
    std::string caption;  // the node's caption
    std::string card_id;
    int image = 0;        // the card's icon + 5
  };
  std::vector<Item> items;
  std::unique_ptr<TuikaMenu> more;  // "続き"
};

class CSetTuikaMenu : public AllNode {
 public:
  CSetTuikaMenu(FolderTree& tree, int limit) : AllNode(tree), limit_(limit) {}
  int VisitCard() override;
  TuikaMenu menu;

 private:
  TuikaMenu* current_ = &menu;
  int count_ = 0;
  int limit_;
};

// Stops at a folder whose caption equals the wanted name.
class CFolderAri : public AllNode {
 public:
  CFolderAri(FolderTree& tree, std::string name) : AllNode(tree), wanted_(std::move(name)) {}
  int VisitFolder() override;
  bool found = false;
  TreeNode* node = nullptr;

 private:
  std::string wanted_;
};

// Mark changes over cards, by mode: 0 sets every mark to the value; 1 ends
// a drag (3 -> 1, 2 -> 0); 2 starts a drag (1 -> 3); 3 rebuilds each
// caption from the card's stored title and the node's times. Runs inside
// one tree update and never stops the walk. Mode 3 reads the titles
// through one card record that keeps the card table open while the
// visitor lives.
class CSetMarkFlag : public AllNode {
 public:
  CSetMarkFlag(FolderTreeModel& form, int mode, uint8_t value = 0);
  ~CSetMarkFlag() override;
  int VisitCard() override;

 private:
  FolderTreeModel& form_;
  int mode_;
  uint8_t value_;
  std::unique_ptr<store::CardRecord> titles_;
};

// Collects every card whose mark is not 0.
class CMoveTree : public AllNode {
 public:
  using AllNode::AllNode;
  int VisitCard() override;
  std::vector<TreeNode*> nodes;
};

// Collects card nodes (walked from a folder: its cards, for sorting).
class CGetNode : public AllNode {
 public:
  using AllNode::AllNode;
  int VisitCard() override;
  std::vector<TreeNode*> nodes;
};

// Marks cards by their one-shot paste flag: mark 1 where it is set (or,
// inverted, where it is not), else 0.
class CSetPopup : public AllNode {
 public:
  CSetPopup(FolderTree& tree, bool invert) : AllNode(tree, true), invert_(invert) {}
  int VisitCard() override;

 private:
  bool invert_;
};

// Sets every visited card's mark to the value (walked from the current
// folder: the cards directly in it).
class CCurrentFolderMark : public AllNode {
 public:
  CCurrentFolderMark(FolderTree& tree, uint8_t value) : AllNode(tree, true), value_(value) {}
  int VisitCard() override;

 private:
  uint8_t value_;
};

// Sets the mark of every card below a folder, at any depth (walked over
// the whole tree).
class CFolderMark : public AllNode {
 public:
  CFolderMark(FolderTree& tree, TreeNode* folder, uint8_t value)
      : AllNode(tree, true), folder_(folder), value_(value) {}
  int VisitCard() override;

 private:
  TreeNode* folder_;
  uint8_t value_;
};

// Inverts every card's mark (0 -> 1, anything else -> 0).
class CMarkReverce : public AllNode {
 public:
  explicit CMarkReverce(FolderTree& tree) : AllNode(tree, true) {}
  int VisitCard() override;
};

// The first marked node after `from` in tree order (from the start of the
// tree when `from` is null or the root).
class CToJump : public AllNode {
 public:
  CToJump(FolderTree& tree, TreeNode* from) : AllNode(tree), from_(from) {}
  int VisitNode() override;
  TreeNode* found = nullptr;

 private:
  TreeNode* from_;
  bool passed_ = false;
};

// The last marked node before `from` in tree order.
class CToBackJump : public AllNode {
 public:
  CToBackJump(FolderTree& tree, TreeNode* from) : AllNode(tree), from_(from) {}
  int VisitNode() override;
  TreeNode* found = nullptr;

 private:
  TreeNode* from_;
};

// Writes each marked card's stored text to a file of its own in `folder`
// (which ends with "/"), named by `file_name` from the card's stored title
// (CP932 in, CP932 out; without it, the title and ".txt"). The name goes
// through FileNameFromCp932, so it never makes a path. A file that cannot
// be written is skipped; an existing one (or a link of its name) is
// replaced.
class CWriteText : public AllNode {
 public:
  using FileNamer = std::function<std::string(const std::string& title)>;
  CWriteText(FolderTreeModel& form, std::string folder, FileNamer file_name);
  int VisitCard() override;
  int written = 0;
  int skipped = 0;

 private:
  FolderTreeModel& form_;
  std::string folder_;
  FileNamer file_name_;
};

// Whether node has a direct sub-folder named `name`.
bool HasChildFolderNamed(FolderTree& tree, TreeNode* node, const std::string& name);

}  // namespace quill
