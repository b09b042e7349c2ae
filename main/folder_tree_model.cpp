#include "main/folder_tree_model.h"

#include <algorithm>
#include <cstdio>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "main/folder_tree_visitors.h"
#include "platform/clock.h"
#include "platform/file_env.h"
#include "platform/ui.h"
#include "store/byte_order.h"
#include "store/card_row.h"
#include "store/card_store.h"
#include "store/sjis.h"

namespace quill {

namespace {

// "空き容量が少ないので終了します"
constexpr char kLowSpaceEndMessage[] =
    "\x8B\xF3\x82\xAB\x97\x65\x97\xCA\x82\xAA\x8F\xAD\x82\xC8\x82\xA2\x82\xCC\x82\xC5"
    "\x8F\x49\x97\xB9\x82\xB5\x82\xDC\x82\xB7";
// "空き容量が少ないです。つくれません。"
constexpr char kNoFolderMessage[] =
    "\x8B\xF3\x82\xAB\x97\x65\x97\xCA\x82\xAA\x8F\xAD\x82\xC8\x82\xA2\x82\xC5\x82\xB7"
    "\x81\x42\x82\xC2\x82\xAD\x82\xEA\x82\xDC\x82\xB9\x82\xF1\x81\x42";
// "警告"
constexpr char kWarningCaption[] = "\x8C\x78\x8D\x90";
// "新規フォルダ"
constexpr char kNewFolderName[] = "\x90\x56\x8B\x4B\x83\x74\x83\x48\x83\x8B\x83\x5F";
// The folder that cards without a folder are moved into.
constexpr char kNoFolderPath[] = "0";
constexpr char kTreeFileName[] = "quilbo7.tre";
// Bytes of the folder path field (KUBUN).
constexpr size_t kFolderPathLimit = 100;

template <typename T>
int Sign(T a, T b) {
  return a < b ? -1 : (a > b ? 1 : 0);
}

int CompareBytes(const std::string& a, const std::string& b) {
  const int c = std::string_view(a).compare(b);
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

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

NodeInfo CardInfo(TreeCardEntry& e) {
  NodeInfo info = NodeInfo::Card(std::move(e.text_id));
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

// What a load keeps of one listed row until its turn in key order comes.
// Folder, title and card id are places in the loader's byte pool.
struct ListedRow {
  uint32_t folder_at = 0, title_at = 0, id_at = 0;
  uint8_t folder_len = 0, title_len = 0, id_len = 0;
  bool live = false;  // not marked deleted
  bool in_bin = false;
  bool folder_row = false;
  uint8_t one_shot_paste = 0, icon = 0, two_column = 0, body_mode = 0, locked = 0;
  uint32_t position = 0, update_time = 0, creation_time = 0;
};

// The text of a stored text field of the card row as a loaded card holds
// it: without its trailing blanks, up to its first NUL.
std::string_view StoredText(std::string_view row, size_t offset, size_t length) {
  // Byte 0 of a stored row is its deleted flag; the fields follow.
  return store::CText(store::WithoutTrailingBlanks(row.substr(1 + offset, length)));
}

// One run of LoadFolderTree.
class TreeLoader {
 public:
  TreeLoader(FolderTreeModel& form, CardSearch* criteria)
      : form_(form), tree_(form.tree()), criteria_(criteria), rec_(form.store()) {}

  Status Run();

 private:
  Status ReadListedRows(const std::vector<int64_t>& rows, std::vector<ListedRow>* listed);
  std::string_view Pooled(uint32_t at, uint8_t len) const {
    return std::string_view(pool_).substr(at, len);
  }
  void EnterPath(const std::string& path, bool rewritten);
  void LeaveGroup();
  void Flush(TreeNode* folder);
  void EnsureFolderRow(const std::string& path);
  Status Collect(int64_t row, const ListedRow& listed);

  FolderTreeModel& form_;
  FolderTree& tree_;
  CardSearch* criteria_;
  store::CardRecord rec_;
  int order_ = 0;
  std::string pool_;  // folder paths, titles and card ids of the listed rows

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
  std::unordered_map<TreeNode*, std::vector<TreeCardEntry>> pending_;
  std::vector<TreeCardEntry>* group_entries_ = nullptr;
  // The folder "0" made for cards without a folder: its rows come first
  // in path order, the table's own "0" rows later, so its cards and its
  // folder row are settled at the end.
  TreeNode* zero_node_ = nullptr;
  Status folder_row_error_;
};

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
  std::vector<TreeCardEntry> entries = std::move(it->second);
  pending_.erase(it);
  std::vector<TreeCardEntry*> order;
  order.reserve(entries.size());
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

// Reads every listed row in one pass over the table, from the first of
// them to the last, into listed (in the order of rows). A card row is read
// as CardRecord::Load reads it; only what the tree shows is kept.
Status TreeLoader::ReadListedRows(const std::vector<int64_t>& rows,
                                  std::vector<ListedRow>* listed) {
  using namespace store::card_row;
  listed->assign(rows.size(), ListedRow());
  pool_.clear();
  if (rows.empty()) return Status::Ok();
  // The places of each row in the list, chained (a damaged index may list
  // a row twice).
  constexpr uint32_t kNone = UINT32_MAX;
  const auto [low, high] = std::minmax_element(rows.begin(), rows.end());
  const int64_t first = *low, last = *high;
  std::vector<uint32_t> first_place(static_cast<size_t>(last - first + 1), kNone);
  std::vector<uint32_t> next_place(rows.size(), kNone);
  for (size_t i = rows.size(); i-- > 0;) {
    uint32_t& head = first_place[static_cast<size_t>(rows[i] - first)];
    next_place[i] = head;
    head = static_cast<uint32_t>(i);
  }
  auto pool = [&](std::string_view text, uint32_t* at, uint8_t* len) {
    *at = static_cast<uint32_t>(pool_.size());
    *len = static_cast<uint8_t>(text.size());
    pool_.append(text);
  };
  return form_.store().cards().ReadRows(
      first, last - first + 1, [&](int64_t r, std::string_view stored) {
        uint32_t place = first_place[static_cast<size_t>(r - first)];
        if (place == kNone) return Status::Ok();
        ListedRow row;
        row.live = stored[0] != '*';
        pool(StoredText(stored, kKubun, kKubunLength), &row.folder_at, &row.folder_len);
        std::string_view title = StoredText(stored, kTitle, kTitleLength);
        std::string cut;
        if (title.size() > kTitleStored) {
          cut.assign(title);
          store::TruncateSjis(cut, kTitleStored);
          title = cut;
        }
        row.folder_row = title == store::FolderMarkerTitle;
        const char* y = stored.data() + 1 + kYobi;
        row.in_bin = store::CardInBin(y);
        if (!row.folder_row) {
          pool(title, &row.title_at, &row.title_len);
          pool(StoredText(stored, kTextId, kTextIdLength), &row.id_at, &row.id_len);
          row.one_shot_paste = y[kOneShot] == 1 ? 1 : 0;
          row.icon = store::CardIconOf(y);
          row.two_column = y[kTwoColumn] == '@' ? 1 : 0;
          row.body_mode = static_cast<uint8_t>(store::CardKindOf(y));
          row.locked = y[kLock] == 'L' ? 1 : 0;
          row.position = store::GetU32(y + kPosition);
          row.update_time = store::GetU32(stored.data() + 1 + kUtime);
          row.creation_time = store::GetU32(stored.data() + 1 + kCtime);
        }
        for (; place != kNone; place = next_place[place]) (*listed)[place] = row;
        return Status::Ok();
      });
}

Status TreeLoader::Collect(int64_t row, const ListedRow& listed) {
  const Settings& settings = form_.settings();
  bool matched = false;
  if (criteria_ != nullptr) {
    // The search sees the whole card, loaded without its text.
    rec_.SetRecNo(row);
    QUILL_RETURN_IF_ERROR(rec_.Load(false));
    matched = criteria_->Matches(rec_);
  }
  TreeCardEntry e;
  if (settings.FindDel != 0) {
    if (criteria_ != nullptr && !matched) return Status::Ok();
    e.mark = (settings.FindFolderMark != 0 && criteria_ != nullptr) ? 1 : 0;
  } else {
    e.mark = matched ? 1 : 0;
  }
  e.record_no = static_cast<uint32_t>(row);
  e.position = listed.position;
  e.title = Pooled(listed.title_at, listed.title_len);
  e.one_shot_paste = listed.one_shot_paste;
  e.update_time = listed.update_time;
  e.creation_time = listed.creation_time;
  e.kind = listed.icon;
  e.two_column = listed.two_column;
  e.body_mode = listed.body_mode;
  e.locked = listed.locked;
  e.text_id = Pooled(listed.id_at, listed.id_len);
  if (group_entries_ == nullptr) group_entries_ = &pending_[levels_.back()];
  group_entries_->push_back(std::move(e));
  return Status::Ok();
}

Status TreeLoader::Run() {
  FolderTreeView& view = form_.view();
  // 1. A fresh start.
  form_.tree_complete = 1;
  form_.loading = true;
  form_.card_count = 0;
  form_.marked_count = 0;
  if (tree_.root() != nullptr) tree_.SetExpanded(tree_.root(), false);
  tree_.Clear();
  // 2. The order of the cards.
  order_ = LoaderSortOrder(form_.settings());
  // 3. Every live row, in folder path order, read in one pass.
  std::vector<int64_t> rows;
  std::vector<ListedRow> listed;
  Status error = rec_.SetOpenFlag(true);
  // The folder index in key order, deleted rows included: the one pass
  // over the table passes over those.
  if (error.ok()) error = form_.store().cards().KeyOrder("KUBUN", &rows);
  if (error.ok()) error = ReadListedRows(rows, &listed);
  // 4. The root.
  TreeNode* root = tree_.CreateRoot(RootCaption(form_), NodeInfo::Folder());
  tree_.set_current_node(root);
  levels_.assign(1, root);
  // 5.
  tree_.BeginUpdate();
  if (error.ok()) view.ShowProgress(static_cast<int64_t>(rows.size()));
  BusyScope busy(form_.busy());

  // 6. Each row, then one pass more that settles the last folder.
  bool low_space = false;
  for (size_t i = 0; error.ok() && i <= rows.size(); ++i) {
    view.ProcessMessages();
    if (i == rows.size()) {
      LeaveGroup();
      break;
    }
    const ListedRow& row = listed[i];
    if (!row.live || row.in_bin) continue;
    std::string_view folder = Pooled(row.folder_at, row.folder_len);
    bool rewritten = false;
    if (folder.empty()) {
      rec_.SetRecNo(rows[i]);
      error = rec_.Load(false);
      if (!error.ok()) break;
      rec_.folder = kNoFolderPath;
      Status s = rec_.Write();
      if (!s.ok()) {
        if (s.code() == Status::kNoSpace) {
          low_space = true;
        } else {
          error = s;
        }
        break;
      }
      folder = kNoFolderPath;
      rewritten = true;
    }
    view.SetProgress(static_cast<int64_t>(i));
    if (folder != path_ || rewritten != group_rewritten_) {
      LeaveGroup();
      EnterPath(std::string(folder), rewritten);
    }
    if (row.folder_row) {
      seen_rows_.insert(path_);
    } else {
      error = Collect(rows[i], row);
      if (!error.ok()) break;
    }
  }
  if (error.ok() && !low_space && zero_node_ != nullptr) {
    EnsureFolderRow(kNoFolderPath);
    Flush(zero_node_);
  }

  // 8.
  pending_.clear();
  if (!folder_row_error_.ok()) {
    if (folder_row_error_.code() == Status::kNoSpace) {
      form_.ui().ShowMessageDialog(kNoFolderMessage, kWarningCaption, kMessageOk);
    } else if (error.ok()) {
      error = folder_row_error_;
    }
  }
  if (low_space) {
    form_.ui().ShowMessageDialog(kLowSpaceEndMessage, kWarningCaption, kMessageOk);
    error = Status::NoSpace("a card without a folder could not be moved into folder \"0\"");
  }
  // 9.
  UpdateCountDisplay(form_, false);
  form_.loading = false;
  tree_.set_editor_node(nullptr);
  tree_.set_current_node(root);
  tree_.SetExpandedBranch(root, false);
  tree_.SetExpanded(root, true);
  tree_.EndUpdate();
  // 10.
  Status closed = rec_.SetOpenFlag(false);
  if (error.ok() && !closed.ok()) error = closed;
  view.ClearEditor();
  UpdateCountDisplay(form_, false);
  view.HideProgress();
  tree_.set_selected_node(root);
  busy.End();
  return error;
}

}  // namespace

// --- FolderTreeModel ---

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

// --- captions ---

std::string FormatNodeCaption(int title_fmt, Clock& clock, std::string_view title,
                              uint32_t update_time, uint32_t creation_time) {
  if (title_fmt < 1 || title_fmt > 3) return std::string(title);
  char head[64];
  head[0] = '\0';
  switch (title_fmt) {
    case 1:
    case 2: {
      LocalTime t = clock.Local(title_fmt == 1 ? creation_time : update_time);
      std::snprintf(head, sizeof head, "%02d/%02d/%02d ", t.year % 100, t.month, t.day);
      break;
    }
    case 3: {
      LocalTime c = clock.Local(creation_time);
      LocalTime u = clock.Local(update_time);
      std::snprintf(head, sizeof head, "%02d/%02d %02d/%02d ", c.month, c.day, u.month, u.day);
      break;
    }
    default:
      break;
  }
  std::string caption(head);
  caption.append(title.data(), title.size());
  return caption;
}

std::string FormatNodeCaption(FolderTreeModel& form, std::string_view title,
                              uint32_t update_time, uint32_t creation_time) {
  return FormatNodeCaption(form.settings().TitleFmt, form.clock(), title, update_time,
                           creation_time);
}

std::string RootCaption(const FolderTreeModel& form) {
  std::string caption = form.data_set_name();
  if (form.settings().AutoSort != 0) caption += "(" + form.settings().SortType + ")";
  return caption;
}

// --- card order ---

const char* const kSortTypeNames[6] = {
    "\x83\x5E\x83\x43\x83\x67\x83\x8B\x8F\xB8\x8F\x87",  // タイトル昇順
    "\x83\x5E\x83\x43\x83\x67\x83\x8B\x8D\x7E\x8F\x87",  // タイトル降順
    "\x93\x6F\x98\x5E\x93\xFA\x8F\xB8\x8F\x87",          // 登録日昇順
    "\x93\x6F\x98\x5E\x93\xFA\x8D\x7E\x8F\x87",          // 登録日降順
    "\x8D\x58\x90\x56\x93\xFA\x8F\xB8\x8F\x87",          // 更新日昇順
    "\x8D\x58\x90\x56\x93\xFA\x8D\x7E\x8F\x87",          // 更新日降順
};

int LoaderSortOrder(Settings& settings) {
  if (settings.AutoSort == 0) return 0;
  int i = 0;
  while (i < 6 && settings.SortType != kSortTypeNames[i]) ++i;
  if (i == 6) {
    i = 0;
    settings.SortType = kSortTypeNames[0];
  }
  return i < 2 ? i + 1 : i + 3;
}

int NodeSort::Compare(const void* a, const void* b) {
  const TreeCardEntry& x = **static_cast<const TreeCardEntry* const*>(a);
  const TreeCardEntry& y = **static_cast<const TreeCardEntry* const*>(b);
  switch (order_) {
    case 0:
      return Sign(static_cast<int32_t>(x.position), static_cast<int32_t>(y.position));
    case 1:
      return CompareBytes(x.title, y.title);
    case 2:
      return CompareBytes(y.title, x.title);
    case 3:
      return CompareBytes(x.text_id, y.text_id);
    case 4:
      return CompareBytes(y.text_id, x.text_id);
    case 5:
      return Sign(x.creation_time, y.creation_time);
    case 6:
      return Sign(y.creation_time, x.creation_time);
    case 7:
      return Sign(x.update_time, y.update_time);
    case 8:
      return Sign(y.update_time, x.update_time);
    default:
      return 0;
  }
}

// --- operations ---

Status LoadFolderTree(FolderTreeModel& form, CardSearch* criteria) {
  if (form.loading) return Status::Invalid("the folder tree is being loaded");
  TreeLoader loader(form, criteria);
  return loader.Run();
}

void UpdateNodeFromCard(FolderTreeModel& form, const store::CardRecord& card, TreeNode* node) {
  if (node == nullptr) node = FindNodeByTextId(card.id, form.tree());
  if (node == nullptr) return;
  NodeInfo& info = node->info();
  info.SetUpdateTime(card.utime);
  info.SetCreationTime(card.ctime);
  info.SetLocked(card.locked ? 1 : 0);
  info.SetKind(card.icon);
  info.SetOneShotPaste(card.one_shot_paste == 1 ? 1 : 0);
  info.SetTextId(card.id);
  info.SetRecordNo(static_cast<uint32_t>(card.row));
  info.SetTwoColumn(card.two_column ? 1 : 0);
  info.SetBodyMode(static_cast<uint8_t>(card.kind));
  form.tree().SetText(node, FormatNodeCaption(form, card.title, card.utime, card.ctime));
}

TreeNode* AddCardNode(FolderTreeModel& form, const store::CardRecord& card, TreeNode* folder) {
  if (folder == nullptr) return nullptr;
  FolderTree& tree = form.tree();
  int at = -1;
  if (form.settings().AddIti != 1) {
    CFindAddNode first_card(tree);
    first_card.Walk(folder);
    if (first_card.found != nullptr) at = first_card.found->index();
  }
  TreeNode* node = tree.Insert(folder, at, std::string(), NodeInfo::Card(card.id));
  UpdateNodeFromCard(form, card, node);
  ++form.card_count;
  UpdateCountDisplay(form, false);
  return node;
}

Status CreateFolder(FolderTreeModel& form, std::string_view name, TreeNode* parent,
                    TreeNode** created) {
  if (created != nullptr) *created = nullptr;
  if (parent == nullptr || !parent->IsFolder()) return Status::Invalid("not a folder");
  if (name.empty() || name.find(' ') != std::string_view::npos) {
    return Status::Invalid("a folder name must not be empty or hold a blank");
  }
  std::string path = GetFolderPath(parent);
  if (!path.empty()) path += ' ';
  path.append(name.data(), name.size());
  if (path.size() > kFolderPathLimit) {
    return Status::Invalid("the folder path would be longer than 100 bytes");
  }
  store::CardRecord row(form.store());
  row.Clear();
  row.folder = path;
  row.title = std::string(store::FolderMarkerTitle);
  Status s = row.Write();
  if (!s.ok()) {
    if (s.code() == Status::kNoSpace) {
      form.ui().ShowMessageDialog(kNoFolderMessage, kWarningCaption, kMessageOk);
      Status reload = LoadFolderTree(form, nullptr);
      (void)reload;  // the refused write is what the caller reports
    }
    return s;
  }
  TreeNode* node = form.tree().AddChild(parent, std::string(name), NodeInfo::Folder());
  form.tree().set_current_node(node);
  // A folder list that cannot be written is not reported: the card store
  // rebuilds it from the table when it is missing.
  Status listed = WriteTreeFile(form);
  (void)listed;
  if (created != nullptr) *created = node;
  return Status::Ok();
}

TreeNode* EnsureNewFolder(FolderTreeModel& form) {
  FolderTree& tree = form.tree();
  TreeNode* root = tree.root();
  if (root == nullptr) return nullptr;
  TreeNode* folder = nullptr;
  for (int i = 0; i < root->child_count() && folder == nullptr; ++i) {
    TreeNode* c = root->child(i);
    if (c->IsFolder() && c->text() == kNewFolderName) folder = c;
  }
  if (folder == nullptr && !CreateFolder(form, kNewFolderName, root, &folder).ok()) {
    return nullptr;
  }
  tree.set_current_node(folder);
  tree.set_selected_node(folder);
  return folder;
}

Status WriteTreeFile(FolderTreeModel& form) {
  CMakeTreeFile list(form.tree());
  list.Walk(nullptr);
  return form.store().env().WriteFileAtomic(GetEditorDataPath(form) + kTreeFileName, list.text);
}

TreeNode* FindFolderNode(FolderTreeModel& form, std::string_view path) {
  CGetTreeNode finder(form.tree(), std::string(path));
  finder.Walk(nullptr);
  return finder.found;
}

TreeNode* FindNodeByTextId(std::string_view text_id, FolderTree& tree) {
  CFindNode finder(tree, std::string(text_id));
  finder.Walk(nullptr);
  return finder.found;
}

void UpdateCountDisplay(FolderTreeModel& form, bool recount) {
  if (recount) {
    CCountInfo counter(form.tree());
    counter.Walk(nullptr);
    form.card_count = counter.cards;
    form.marked_count = counter.marked;
  }
  form.view().ShowCounts(form.card_count, form.marked_count);
}

// --- helpers ---

bool FileExists(FileEnv& env, const std::string& path) { return env.Exists(path); }

std::string GetEditorDataPath(FolderTreeModel& form) {
  std::string path = form.store().data_path();
  AppendBackslash(path);
  return path;
}

void AppendBackslash(std::string& path) {
  if (path.empty() || path.back() != '/') path += '/';
}

bool ReadTextLine(std::string_view data, size_t* pos, size_t n, std::string* line) {
  line->clear();
  if (*pos >= data.size() || n < 2) return false;
  size_t end = *pos;
  while (end < data.size() && end - *pos < n - 1) {
    if (data[end++] == '\n') break;
  }
  std::string_view got = data.substr(*pos, end - *pos);
  *pos = end;
  size_t cut = got.find_first_of("\r\n");
  line->assign(got.substr(0, cut));
  return true;
}

std::string GetCardTitle(FolderTreeModel& form, uint32_t record_no, const std::string& text_id) {
  store::CardRecord card(form.store());
  bool found = false;
  Status s = card.FindById(record_no, text_id, false, &found);
  return s.ok() && found ? card.title : std::string();
}

std::string GetCardTitleById(FolderTreeModel& form, const std::string& text_id) {
  if (text_id.empty()) return std::string();
  store::CardRecord card(form.store());
  bool found = false;
  Status s = card.FindByKey("TEXT_ID", text_id, false, &found);
  return s.ok() && found && card.id == text_id ? card.title : std::string();
}

}  // namespace quill
