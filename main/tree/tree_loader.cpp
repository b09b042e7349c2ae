#include "main/tree/tree_loader.h"

#include <algorithm>
#include <memory>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "main/tree/folder_tree_model.h"
#include "main/tree/node_captions.h"
#include "main/tree/node_operations.h"
#include "main/tree/node_sort.h"
#include "platform/clock.h"
#include "platform/messages.h"
#include "platform/ui.h"
#include "platform/ui_messages.h"
#include "store/byte_order.h"
#include "store/card_row.h"
#include "store/card_store.h"
#include "platform/sjis.h"

namespace quill {

namespace {

// The folder that cards without a folder are moved into.
constexpr char kNoFolderPath[] = "0";

std::vector<std::string> SplitPath(const std::string& path) {
  std::vector<std::string> names;
  size_t start = 0;
  for (;;) {
    size_t blank = path.find(' ', start);
    if (blank == std::string::npos) {
      names.push_back(path.substr(start));
      return names;
    }
    names.push_back(path.substr(start, blank - start));
    start = blank + 1;
  }
}

NodeInfo CardInfo(const TreeCardEntry& e) {
  NodeInfo info = NodeInfo::Card(e.text_id);
  info.SetUpdateTime(e.update_time);
  info.SetCreationTime(e.creation_time);
  info.SetRecordNo(e.record_no);
  info.SetLocked(e.locked);
  info.SetKind(e.kind);
  info.SetOneShotPaste(e.one_shot_paste);
  info.SetMark(static_cast<uint8_t>(e.mark));
  info.SetTwoColumn(e.two_column);
  info.SetBodyMode(e.body_mode);
  return info;
}

// The child folder of parent named `name`, or a new one at its place:
// sub-folders stand first in ascending byte order, then the cards.
TreeNode* FindOrInsertFolder(FolderTree& tree, TreeNode* parent, const std::string& name) {
  int lo = 0, hi = parent->child_count();
  while (lo < hi) {
    const int mid = lo + (hi - lo) / 2;
    const TreeNode* c = parent->child(mid);
    if (c->IsFolder() && c->text() < name) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  if (lo < parent->child_count()) {
    TreeNode* c = parent->child(lo);
    if (c->IsFolder() && c->text() == name) return c;
  }
  return tree.Insert(parent, lo, name, NodeInfo::Folder());
}

// What a load keeps of one listed row, at the row's place in key order.
// The folder path is a place in the loader's pool, where each path is
// once; title and card id are held in the row, so that the folders' cards
// are read one after another when they become nodes.
struct ListedRow {
  uint32_t folder_at;
  uint8_t folder_len, title_len, id_len;
  bool live;  // not marked deleted
  bool in_bin;
  bool folder_row;
  uint8_t one_shot_paste, icon, two_column, body_mode, locked;
  uint32_t position, update_time, creation_time;
  char title[store::card_row::kTitleLength];
  char id[store::card_row::kTextIdLength];
  std::string_view Title() const { return std::string_view(title, title_len); }
  std::string_view Id() const { return std::string_view(id, id_len); }
};

// What a load needs for every row, kept by the form for the next load,
// with room to spare for a tree that has grown a little since.
struct LoadRoom {
  std::vector<int64_t> rows;    // in key order
  std::vector<uint32_t> place;  // of each row of the table in key order
  std::unique_ptr<ListedRow[]> listed;
  size_t listed_capacity = 0;
};

// A quarter more than n.
size_t Spacious(size_t n) { return n + n / 4; }

LoadRoom& RoomOf(FolderTreeModel& form) {
  if (!form.load_room()) form.load_room() = std::make_shared<LoadRoom>();
  return *std::static_pointer_cast<LoadRoom>(form.load_room());
}

// A hash of a folder path, for finding it again among those pooled.
uint64_t PathHash(std::string_view path) {
  uint64_t h = path.size();
  size_t i = 0;
  for (; i + 8 <= path.size(); i += 8) {
    uint64_t w;
    std::memcpy(&w, path.data() + i, 8);
    h = (h ^ w) * 0x9E3779B97F4A7C15u;
  }
  for (; i < path.size(); ++i) h = (h ^ static_cast<unsigned char>(path[i])) * 0x100000001B3u;
  // Every bit of the words reaches the low bits, which pick the slot.
  h ^= h >> 33;
  h *= 0xFF51AFD7ED558CCDu;
  h ^= h >> 33;
  h *= 0xC4CEB9FE1A85EC53u;
  return h ^ (h >> 33);
}

// The text of a stored text field of the card row as a loaded card holds
// it: without its trailing blanks, up to its first NUL.
std::string_view StoredText(std::string_view row, size_t offset, size_t length) {
  // Byte 0 of a stored row is its deleted flag; the fields follow.
  return quill::CText(quill::WithoutTrailingBlanks(row.substr(1 + offset, length)));
}

// One run of LoadFolderTree.
class TreeLoader {
 public:
  TreeLoader(FolderTreeModel& form, CardSearch* criteria)
      : form_(form),
        tree_(form.tree()),
        criteria_(criteria),
        rec_(form.store()),
        room_(RoomOf(form)) {}

  Status Run();

 private:
  // The steps of Run, in order.
  void StartAfresh();
  Status ReadTable(std::vector<int64_t>* rows);
  TreeNode* CreateRoot();
  Status PlaceRows(const std::vector<int64_t>& rows);
  Status ReportWriteFailures(Status error);
  void ShowLoadedTree(TreeNode* root);
  void ClearEditorAndSelect(TreeNode* root);

  // Reading the rows, building the folders and collecting the cards.
  Status ReadListedRows(const std::vector<int64_t>& rows);

  Status MoveIntoFolderZero(int64_t row);
  std::string_view Pooled(uint32_t at, uint8_t len) const {
    return std::string_view(pool_).substr(at, len);
  }
  void EnterPath(const std::string& path, bool rewritten);
  void LeaveGroup();
  void Flush(TreeNode* folder);
  void EnsureFolderRow(const std::string& path);
  // place: the row's place in key order.
  Status Collect(uint32_t place, const ListedRow& listed);
  // The entry a collected card is sorted by and made a node from.
  TreeCardEntry CardEntry(uint32_t place, uint32_t mark) const;

  FolderTreeModel& form_;
  FolderTree& tree_;
  CardSearch* criteria_;
  store::CardRecord rec_;
  int order_ = 0;
  std::string pool_;  // the folder paths of the listed rows
  // The pool place of the current path when it came from a row: rows with
  // that place need no comparison of the path.
  uint32_t group_folder_at_ = UINT32_MAX;

  // levels_[k] is the folder node of level k of the current path (0: root).
  std::vector<TreeNode*> levels_;
  std::vector<std::string> names_;
  std::string path_;
  bool group_rewritten_ = false;
  // Paths whose folder row has been read, and paths whose folder row is
  // known to exist (read or written) in this load.
  std::unordered_set<std::string> seen_rows_;
  std::unordered_set<std::string> ensured_;
  // Card entries waiting to become nodes, per folder node, and those of the
  // current folder (null until its first card).
  struct PendingCard {
    uint32_t place;  // in key order
    uint32_t mark;
  };
  std::unordered_map<TreeNode*, std::vector<PendingCard>> pending_;
  std::vector<PendingCard>* group_entries_ = nullptr;
  // The list of a folder flushed, emptied, for the next folder's cards.
  std::vector<PendingCard> spare_cards_;
  // The rows in key order and as read, while they are placed; and the
  // entries of the folder being flushed (kept for the next folder).
  const std::vector<int64_t>* rows_ = nullptr;
  LoadRoom& room_;
  // One ListedRow a listed row, by place in key order (filled in whole by
  // ReadListedRows: not cleared first); room_.listed.
  ListedRow* listed_ = nullptr;
  std::vector<TreeCardEntry> flushed_;
  std::vector<TreeCardEntry*> flush_order_;
  // The folder "0" made for cards without a folder: its rows come first
  // in path order, the table's own "0" rows later, so its cards and its
  // folder row are settled at the end.
  TreeNode* zero_node_ = nullptr;
  Status folder_row_error_;
  // A card without a folder could not be moved into "0" for want of space:
  // the load stops and the program must end.
  bool low_space_ = false;
};

// A read error leaves a lone root and the window as after any load; the
// error is returned.
Status TreeLoader::Run() {
  StartAfresh();
  order_ = LoaderSortOrder(form_.settings());
  std::vector<int64_t>& rows = room_.rows;
  Status error = ReadTable(&rows);
  TreeNode* root = CreateRoot();
  tree_.BeginUpdate();
  if (error.ok()) form_.view().ShowProgress(static_cast<int64_t>(rows.size()));
  BusyScope busy(form_.busy());
  if (error.ok()) {
    // The folder rows and moved cards of a load are made durable together.
    store::SyncBatch batch(form_.store());
    error = PlaceRows(rows);
    Status synced = batch.End();
    if (error.ok()) error = synced;
  }
  error = ReportWriteFailures(std::move(error));
  ShowLoadedTree(root);
  Status closed = rec_.SetOpenFlag(false);
  if (error.ok()) error = closed;
  ClearEditorAndSelect(root);
  busy.End();
  return error;
}

// Empties the tree and the counters. The loading flag keeps the tree's
// change event quiet until the load ends.
void TreeLoader::StartAfresh() {
  form_.tree_complete = 1;
  form_.loading = true;
  form_.card_count = 0;
  form_.marked_count = 0;
  if (tree_.root() != nullptr) tree_.SetExpanded(tree_.root(), false);
  tree_.Clear();
}

// Opens the card table and reads every row of its folder index, in folder
// path order, in one pass. The index lists deleted rows too; PlaceRows
// passes over them.
Status TreeLoader::ReadTable(std::vector<int64_t>* rows) {
  QUILL_RETURN_IF_ERROR(rec_.SetOpenFlag(true));
  int64_t count = 0;
  QUILL_RETURN_IF_ERROR(form_.store().cards().RowCount(&count));
  if (rows->capacity() < static_cast<size_t>(count)) {
    rows->reserve(Spacious(static_cast<size_t>(count)));
  }
  QUILL_RETURN_IF_ERROR(form_.store().cards().KeyOrder("KUBUN", rows));
  return ReadListedRows(*rows);
}

// The root stands for the data set; it is the current node and level 0 of
// every path.
TreeNode* TreeLoader::CreateRoot() {
  TreeNode* root = tree_.CreateRoot(RootCaption(form_), NodeInfo::Folder());
  tree_.set_current_node(root);
  levels_.assign(1, root);
  return root;
}

// Builds the folders of the live rows in their order and collects their
// cards; each folder's cards become nodes when its rows are all read.
// Stops at the first error, and when a card without a folder cannot be
// moved into "0" (low_space_).
Status TreeLoader::PlaceRows(const std::vector<int64_t>& rows) {
  rows_ = &rows;
  FolderTreeView& view = form_.view();
  for (size_t i = 0; i < rows.size(); ++i) {
    view.ProcessMessages();
    const ListedRow& row = listed_[i];
    if (!row.live || row.in_bin) continue;
    bool rewritten = false;
    if (row.folder_len == 0) {
      QUILL_RETURN_IF_ERROR(MoveIntoFolderZero(rows[i]));
      if (low_space_) return Status::Ok();
      rewritten = true;
    }
    view.SetProgress(static_cast<int64_t>(i));
    const bool same_place = !rewritten && !group_rewritten_ && row.folder_at == group_folder_at_;
    if (!same_place) {
      const std::string_view folder =
          rewritten ? std::string_view(kNoFolderPath) : Pooled(row.folder_at, row.folder_len);
      if (folder != path_ || rewritten != group_rewritten_) {
        LeaveGroup();
        EnterPath(std::string(folder), rewritten);
      }
      group_folder_at_ = rewritten ? UINT32_MAX : row.folder_at;
    }
    if (row.folder_row) {
      seen_rows_.insert(path_);
    } else {
      QUILL_RETURN_IF_ERROR(Collect(static_cast<uint32_t>(i), row));
    }
  }
  // Every row is read: the last folder is settled, then the folder "0"
  // made for cards without a folder.
  view.ProcessMessages();
  LeaveGroup();
  if (zero_node_ != nullptr) {
    EnsureFolderRow(kNoFolderPath);
    Flush(zero_node_);
  }
  return Status::Ok();
}

// Writes the card of that row back with the folder "0". A write refused
// for want of space sets low_space_ instead of failing.
Status TreeLoader::MoveIntoFolderZero(int64_t row) {
  rec_.SetRecNo(row);
  QUILL_RETURN_IF_ERROR(rec_.Load(false));
  rec_.folder = kNoFolderPath;
  Status s = rec_.Write();
  if (s.code() == Status::kNoSpace) {
    low_space_ = true;
    return Status::Ok();
  }
  return s;
}

// Tells the user what could not be written and gives the load's result. A
// folder row refused for want of space is only reported: the tree is
// whole without it. A card that could not be moved into "0" ends the
// program (NoSpace).
Status TreeLoader::ReportWriteFailures(Status error) {
  Ui& ui = form_.ui();
  if (!folder_row_error_.ok()) {
    if (folder_row_error_.code() == Status::kNoSpace) {
      ShowWarning(ui, MessageId::kLowSpaceFolderNotCreated);
    } else if (error.ok()) {
      error = folder_row_error_;
    }
  }
  if (low_space_) {
    ShowWarning(ui, MessageId::kLowSpaceProgramEnds);
    error = Status::NoSpace("a card without a folder could not be moved into folder \"0\"");
  }
  return error;
}

// The counters, the loading flag off, no card in the editor, and the tree
// collapsed to its root, which becomes the current node.
void TreeLoader::ShowLoadedTree(TreeNode* root) {
  UpdateCountDisplay(form_, false);
  form_.loading = false;
  tree_.set_editor_node(nullptr);
  tree_.set_current_node(root);
  // Every node was made collapsed by this load: only the root opens.
  tree_.SetExpanded(root, true);
  tree_.EndUpdate();
}

// The window after a load: the editor shown empty, the counters, no
// progress bar, and the root selected.
void TreeLoader::ClearEditorAndSelect(TreeNode* root) {
  FolderTreeView& view = form_.view();
  view.ClearEditor();
  UpdateCountDisplay(form_, false);
  view.HideProgress();
  tree_.set_selected_node(root);
}

void TreeLoader::EnsureFolderRow(const std::string& path) {
  if (path.empty() || ensured_.count(path) != 0) return;
  if (seen_rows_.count(path) == 0) {
    store::CardRecord f(form_.store());
    f.Clear();
    f.keep_open = true;
    f.folder = path;
    f.title = std::string(store::FolderMarkerTitle);
    Status s = f.Write();
    if (!s.ok()) {
      if (folder_row_error_.ok()) folder_row_error_ = s;
      return;
    }
  }
  ensured_.insert(path);
}

void TreeLoader::Flush(TreeNode* folder) {
  auto it = pending_.find(folder);
  if (it == pending_.end()) return;
  std::vector<TreeCardEntry>& entries = flushed_;
  std::vector<TreeCardEntry*>& order = flush_order_;
  entries.clear();
  order.clear();
  entries.reserve(it->second.size());
  for (const PendingCard& c : it->second) entries.push_back(CardEntry(c.place, c.mark));
  spare_cards_ = std::move(it->second);
  spare_cards_.clear();
  pending_.erase(it);
  for (auto& e : entries) order.push_back(&e);
  NodeSort sorter(order_);
  store::SortArray(sorter, order.data(), order.size(), sizeof(TreeCardEntry*));
  const int title_fmt = form_.settings().TitleFmt;
  Clock& clock = form_.clock();
  tree_.AppendChildren(folder, order.size(), [&](size_t i, std::string* text, NodeInfo* info) {
    TreeCardEntry& e = *order[i];
    *text = FormatNodeCaption(title_fmt, clock, e.title, e.update_time, e.creation_time);
    *info = CardInfo(e);
    if (e.mark != 0) ++form_.marked_count;
  });
  form_.card_count += static_cast<int64_t>(order.size());
}

// The rows of the current path are all read: its own folder row is
// settled and its cards become nodes. Both wait for the end of the load
// when the group was made of cards moved into "0".
void TreeLoader::LeaveGroup() {
  if (group_rewritten_) return;
  EnsureFolderRow(path_);
  if (levels_.back() != zero_node_) Flush(levels_.back());
}

void TreeLoader::EnterPath(const std::string& path, bool rewritten) {
  std::vector<std::string> names = SplitPath(path);
  // Rows of a shorter path come before those of a longer one, so the
  // folder rows of every proper prefix have been read by now.
  std::string prefix;
  for (size_t k = 0; k + 1 < names.size(); ++k) {
    if (k > 0) prefix += ' ';
    prefix += names[k];
    EnsureFolderRow(prefix);
  }
  size_t common = 0;
  while (common < names.size() && common < names_.size() && names[common] == names_[common]) {
    ++common;
  }
  levels_.resize(common + 1);
  for (size_t k = common; k < names.size(); ++k) {
    levels_.push_back(FindOrInsertFolder(tree_, levels_.back(), names[k]));
  }
  names_ = std::move(names);
  path_ = path;
  group_entries_ = nullptr;
  group_rewritten_ = rewritten;
  if (rewritten) zero_node_ = levels_.back();
}

// Reads the table in one pass, from the first listed row to the last,
// into listed_: each row's ListedRow at its place in key order (the order
// of rows). A card row is read as CardRecord::Load reads it; only what the
// tree shows is kept.
Status TreeLoader::ReadListedRows(const std::vector<int64_t>& rows) {
  using namespace store::card_row;
  listed_ = nullptr;
  pool_.clear();
  if (rows.empty()) return Status::Ok();
  const auto [low, high] = std::minmax_element(rows.begin(), rows.end());
  const int64_t first = *low;
  const int64_t count = *high - *low + 1;
  // The place of each row in key order; a damaged index may list a row
  // twice, and its later places are filled in from the first.
  constexpr uint32_t kUnlisted = UINT32_MAX;
  std::vector<uint32_t>& place = room_.place;
  if (place.capacity() < static_cast<size_t>(count)) place.reserve(Spacious(count));
  place.assign(static_cast<size_t>(count), kUnlisted);
  std::vector<std::pair<uint32_t, uint32_t>> repeats;  // {place, first place}
  for (size_t i = 0; i < rows.size(); ++i) {
    uint32_t& p = place[static_cast<size_t>(rows[i] - first)];
    if (p == kUnlisted) {
      p = static_cast<uint32_t>(i);
    } else {
      repeats.emplace_back(static_cast<uint32_t>(i), p);
    }
  }
  if (room_.listed_capacity < rows.size()) {
    room_.listed.reset();
    room_.listed_capacity = Spacious(rows.size());
    room_.listed.reset(new ListedRow[room_.listed_capacity]);
  }
  listed_ = room_.listed.get();
  // Every folder path met, by hash (open addressing): each is pooled once,
  // so that the rows of one folder share its place.
  struct PathSlot {
    uint64_t hash = 0;
    uint32_t at = UINT32_MAX;
    uint8_t len = 0;
  };
  std::vector<PathSlot> paths(1024);
  size_t path_count = 0;
  auto pool_path = [&](std::string_view path, ListedRow* row) {
    const uint64_t hash = PathHash(path);
    size_t mask = paths.size() - 1;
    size_t slot = hash & mask;
    for (; paths[slot].at != UINT32_MAX; slot = (slot + 1) & mask) {
      const PathSlot& p = paths[slot];
      if (p.hash == hash && p.len == path.size() &&
          std::memcmp(pool_.data() + p.at, path.data(), path.size()) == 0) {
        row->folder_at = p.at;
        row->folder_len = p.len;
        return;
      }
    }
    row->folder_at = static_cast<uint32_t>(pool_.size());
    row->folder_len = static_cast<uint8_t>(path.size());
    pool_.append(path);
    paths[slot] = {hash, row->folder_at, row->folder_len};
    if (++path_count * 2 <= paths.size()) return;
    // Half full: twice the slots.
    std::vector<PathSlot> old(paths.size() * 2);
    old.swap(paths);
    mask = paths.size() - 1;
    for (const PathSlot& p : old) {
      if (p.at == UINT32_MAX) continue;
      size_t to = p.hash & mask;
      while (paths[to].at != UINT32_MAX) to = (to + 1) & mask;
      paths[to] = p;
    }
  };
  const uint32_t* next_place = place.data();
  Status s = form_.store().cards().ReadRows(
      first, count, [&](int64_t, std::string_view stored_rows, uint32_t n) {
        const size_t length = stored_rows.size() / n;
        for (uint32_t k = 0; k < n; ++k) {
          const uint32_t at = *next_place++;
          if (at == kUnlisted) continue;
          const std::string_view stored = stored_rows.substr(k * length, length);
          ListedRow& row = listed_[at];
          row.live = stored[0] != '*';
          pool_path(StoredText(stored, kKubun, kKubunLength), &row);
          std::string_view title = StoredText(stored, kTitle, kTitleLength);
          std::string cut;
          if (title.size() > kTitleStored) {
            cut.assign(title);
            quill::TruncateSjis(cut, kTitleStored);
            title = cut;
          }
          row.folder_row = title == store::FolderMarkerTitle;
          const char* y = stored.data() + 1 + kYobi;
          row.in_bin = store::CardInBin(y);
          row.title_len = row.id_len = 0;
          if (row.folder_row) continue;
          row.title_len = static_cast<uint8_t>(title.size());
          std::memcpy(row.title, title.data(), title.size());
          const std::string_view id = StoredText(stored, kTextId, kTextIdLength);
          row.id_len = static_cast<uint8_t>(id.size());
          std::memcpy(row.id, id.data(), id.size());
          row.one_shot_paste = y[kOneShot] == 1 ? 1 : 0;
          row.icon = store::CardIconOf(y);
          row.two_column = y[kTwoColumn] == '@' ? 1 : 0;
          row.body_mode = static_cast<uint8_t>(store::CardKindOf(y));
          row.locked = y[kLock] == 'L' ? 1 : 0;
          row.position = store::GetU32(y + kPosition);
          row.update_time = store::GetU32(stored.data() + 1 + kUtime);
          row.creation_time = store::GetU32(stored.data() + 1 + kCtime);
        }
        return Status::Ok();
      });
  if (s.ok()) {
    for (const auto& [again, at] : repeats) listed_[again] = listed_[at];
  }
  return s;
}

Status TreeLoader::Collect(uint32_t place, const ListedRow& listed) {
  const Settings& settings = form_.settings();
  bool matched = false;
  if (criteria_ != nullptr) {
    // The search sees the whole card, loaded without its text.
    rec_.SetRecNo((*rows_)[place]);
    QUILL_RETURN_IF_ERROR(rec_.Load(false));
    matched = criteria_->Matches(rec_);
  }
  uint32_t mark = 0;
  if (settings.FindDel != 0) {
    if (criteria_ != nullptr && !matched) {
      // A card left out of the view: the tree no longer lists them all.
      form_.tree_complete = 0;
      return Status::Ok();
    }
    mark = (settings.FindFolderMark != 0 && criteria_ != nullptr) ? 1 : 0;
  } else {
    mark = matched ? 1 : 0;
  }
  if (group_entries_ == nullptr) {
    auto [it, fresh] = pending_.try_emplace(levels_.back());
    if (fresh) it->second = std::move(spare_cards_);
    group_entries_ = &it->second;
  }
  group_entries_->push_back({place, mark});
  return Status::Ok();
}

TreeCardEntry TreeLoader::CardEntry(uint32_t place, uint32_t mark) const {
  const ListedRow& listed = listed_[place];
  TreeCardEntry e;
  e.mark = mark;
  e.record_no = static_cast<uint32_t>((*rows_)[place]);
  e.position = listed.position;
  e.title = listed.Title();
  e.one_shot_paste = listed.one_shot_paste;
  e.update_time = listed.update_time;
  e.creation_time = listed.creation_time;
  e.kind = listed.icon;
  e.two_column = listed.two_column;
  e.body_mode = listed.body_mode;
  e.locked = listed.locked;
  e.text_id = listed.Id();
  return e;
}

}  // namespace

Status LoadFolderTree(FolderTreeModel& form, CardSearch* criteria) {
  if (form.loading) return Status::Invalid("the folder tree is being loaded");
  TreeLoader loader(form, criteria);
  return loader.Run();
}

}  // namespace quill
