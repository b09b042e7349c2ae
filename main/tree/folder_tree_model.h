// FolderTreeModel: the folder tree of the main window with the state and
// the operations that tie it to the card store.
//
// The tree is built from the card table: every row carries its folder path
// (KUBUN: the folder names below the root joined by one blank), and every
// folder has a row of its own whose TITLE is FolderMarkerTitle. The table's
// folder index hands the rows over grouped and in path order, so a folder
// always arrives before its sub-folders.
//
// The folder list file "quilbo7.tre" in the data folder holds one folder
// path per line (CP932, CR LF) in tree pre-order, the root excluded; it is
// rewritten whole after every change of the folder structure.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "main/tree/folder_tree.h"
#include "main/settings.h"
#include "platform/status.h"
#include "store/sort.h"

namespace quill {

class Clock;
class FileEnv;
class Ui;

namespace store {
class CardStore;
class CardRecord;
}  // namespace store

// The search a tree load filters cards by.
class CardSearch {
 public:
  virtual ~CardSearch() = default;
  // Whether the card matches. The card is loaded without its text; its row
  // is set, so a search in the text can load it.
  virtual bool Matches(store::CardRecord& card) = 0;
};

// What the window shows for the tree besides the tree itself.
class FolderTreeView {
 public:
  virtual ~FolderTreeView() = default;
  // Lets the application handle pending events (between rows of a load).
  virtual void ProcessMessages() {}
  virtual void ShowProgress(int64_t maximum) {}
  virtual void SetProgress(int64_t position) {}
  virtual void HideProgress() {}
  // The card and mark counters.
  virtual void ShowCounts(int64_t cards, int64_t marked) {}
  // The editor's card is cleared and shown empty.
  virtual void ClearEditor() {}
};

class FolderTreeModel {
 public:
  // view may be null (nothing is shown). Messages, questions and beeps of
  // the tree and the card editor go through ui.
  FolderTreeModel(store::CardStore& store, Settings& settings, Ui& ui,
                  FolderTreeView* view = nullptr);
  FolderTreeModel(const FolderTreeModel&) = delete;
  FolderTreeModel& operator=(const FolderTreeModel&) = delete;

  FolderTree& tree() { return tree_; }
  store::CardStore& store() { return store_; }
  Settings& settings() { return settings_; }
  const Settings& settings() const { return settings_; }
  FolderTreeView& view() { return *view_; }
  Ui& ui() { return ui_; }
  void set_view(FolderTreeView* view);
  BusyState& busy() { return busy_; }
  Clock& clock();

  // The data set's name: the root's caption.
  const std::string& data_set_name() const { return data_set_name_; }
  void set_data_set_name(std::string name) { data_set_name_ = std::move(name); }

  bool DefAutoTitle() const { return settings_.DefAutoTitle != 0; }

  int64_t card_count = 0;    // card nodes in the tree
  int64_t marked_count = 0;  // card nodes whose mark is not 0
  // 1 after a load that listed every card; cleared when cards are taken
  // out of the view.
  int tree_complete = 0;
  // Set while the tree loads or a card is saved: the tree's change event
  // does nothing meanwhile.
  bool loading = false;

 private:
  store::CardStore& store_;
  Settings& settings_;
  Ui& ui_;
  FolderTreeView default_view_;
  FolderTreeView* view_;
  FolderTree tree_;
  BusyState busy_;
  std::string data_set_name_;
};

// --- captions ---

// A card's caption by the list format (TitleFmt): 0 the title; 1
// "yy/mm/dd title" of the creation date; 2 the same of the update date; 3
// "mm/dd mm/dd title" of the creation and the update date. Dates are in
// the clock's local time.
std::string FormatNodeCaption(int title_fmt, Clock& clock, std::string_view title,
                              uint32_t update_time, uint32_t creation_time);
std::string FormatNodeCaption(FolderTreeModel& form, std::string_view title,
                              uint32_t update_time, uint32_t creation_time);
// The root's caption: the data set's name, with AutoSort "name(SortType)".
std::string RootCaption(const FolderTreeModel& form);

// --- the loader's card entries and their order ---

struct TreeCardEntry {
  uint32_t record_no = 0;
  uint32_t position = 0;  // stored position among the folder's cards
  std::string title;
  uint8_t one_shot_paste = 0;
  uint32_t update_time = 0;
  uint32_t creation_time = 0;
  uint32_t mark = 0;
  uint8_t kind = 0;       // icon 0..99
  uint8_t two_column = 0;
  uint8_t body_mode = 0;  // 0, 'C', 'H'
  uint8_t locked = 0;
  std::string text_id;
};

// Orders TreeCardEntry pointers: 0 stored position; 1/2 title ascending /
// descending (bytes); 3/4 card id; 5/6 creation time; 7/8 update time.
class NodeSort : public store::T_SORT {
 public:
  explicit NodeSort(int order) : order_(order) {}
  int Compare(const void* a, const void* b) override;

 private:
  int order_;
};

// The six order names of SortType, in menu order (CP932).
extern const char* const kSortTypeNames[6];
// The loader's NodeSort order: 0 without AutoSort; with it, the position i
// of SortType among the six names gives i + 1 for i < 2, else i + 3. An
// unknown SortType is replaced by the first name.
int LoaderSortOrder(Settings& settings);

// --- operations ---

// Rebuilds the whole tree from the card table; criteria may be null. Cards
// without a folder are moved into the top-level folder "0" (reusing one
// that exists), and missing folder rows of the paths met are written.
// NoSpace: a card could not be moved into "0"; the message has been shown
// and the program must end (with a non-zero exit code). Any other error
// (the table cannot be read) is returned for the caller to report; the
// tree then holds what was read.
Status LoadFolderTree(FolderTreeModel& form, CardSearch* criteria);

// Adds the node of a newly written card to folder: as the last child when
// AddIti is 1 or the folder has no card, else before its first card.
TreeNode* AddCardNode(FolderTreeModel& form, const store::CardRecord& card, TreeNode* folder);

// Refreshes a card node from the card (found by card id when node is null;
// nothing when there is none).
void UpdateNodeFromCard(FolderTreeModel& form, const store::CardRecord& card, TreeNode* node);

// Creates folder `name` under parent: writes its folder row, then adds the
// node as parent's last child, makes it the current node and rewrites the
// folder list. Invalid (nothing written): an empty name, a name with a
// blank, or a path longer than the field. A refused write shows "空き容量が
// 少ないです。つくれません。" and reloads the tree.
Status CreateFolder(FolderTreeModel& form, std::string_view name, TreeNode* parent,
                    TreeNode** created = nullptr);

// Selects the top-level folder "新規フォルダ", creating it when missing.
// Null when it could not be created.
TreeNode* EnsureNewFolder(FolderTreeModel& form);

// Rewrites the folder list file (through a temporary file, so a failure
// leaves the old list whole).
Status WriteTreeFile(FolderTreeModel& form);

// The first folder (pre-order, root excluded) whose path equals path.
TreeNode* FindFolderNode(FolderTreeModel& form, std::string_view path);
// The first card node whose card id equals text_id.
TreeNode* FindNodeByTextId(std::string_view text_id, FolderTree& tree);

// Shows the counters; with recount they are counted from the tree first.
void UpdateCountDisplay(FolderTreeModel& form, bool recount);

// --- helpers shared by the main window ---

// Whether a file or folder of that path exists.
bool FileExists(FileEnv& env, const std::string& path);
// The data folder of the card store, ending with "/".
std::string GetEditorDataPath(FolderTreeModel& form);
// Appends the path separator when the path does not end with one.
void AppendBackslash(std::string& path);
// Reads the next line of text from data at *pos: at most n - 1 bytes, up
// to and including a LF, then cut at its first CR (and at a LF). False at
// the end of data.
bool ReadTextLine(std::string_view data, size_t* pos, size_t n, std::string* line);
// The stored title of the card with that row and card id; empty when not
// found.
std::string GetCardTitle(FolderTreeModel& form, uint32_t record_no, const std::string& text_id);
std::string GetCardTitleById(FolderTreeModel& form, const std::string& text_id);

}  // namespace quill
