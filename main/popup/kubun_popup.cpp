#include "main/popup/kubun_popup.h"

#include <memory>
#include <string_view>

#include "main/tree/folder_tree_model.h"
#include "main/tree/node_operations.h"
#include "platform/text_codec.h"
#include "platform/ui_messages.h"
#include "store/card_store.h"

namespace quill {

namespace {

constexpr int kImageHistory = 4;
constexpr size_t kRootHistoryEntries = 5;

std::string J(std::string_view utf8) { return Utf8ToCp932(utf8); }

int CardImage(const TreeNode* node) {
  const uint8_t kind = GetNodeKind(node);
  return kImageCardBase + (kind < 100 ? kind : 0);
}

// Splits at runs of any of `separators`, keeping the non-empty pieces.
std::vector<std::string_view> SplitRuns(std::string_view text, std::string_view separators,
                                        size_t max_pieces) {
  std::vector<std::string_view> pieces;
  size_t start = 0;
  while (start < text.size() && pieces.size() < max_pieces) {
    start = text.find_first_not_of(separators, start);
    if (start == std::string_view::npos) break;
    size_t end = text.find_first_of(separators, start);
    if (end == std::string_view::npos) end = text.size();
    pieces.push_back(text.substr(start, end - start));
    start = end;
  }
  return pieces;
}

}  // namespace

std::vector<std::pair<std::string, std::string>> TableMenuRows(const std::string& text,
                                                               size_t max_rows) {
  std::vector<std::pair<std::string, std::string>> rows;
  for (std::string_view row : SplitRuns(text, "\r\n", max_rows)) {
    const std::vector<std::string_view> cells = SplitRuns(row, "\t", 2);
    if (cells.size() == 2) rows.emplace_back(std::string(cells[0]), std::string(cells[1]));
  }
  return rows;
}

KubunPopup::KubunPopup(FolderTreeModel& form, const ClipHistory& history, MenuItemOwner* owner,
                       SharedHookBlock& block, DispatchState& state, DispatchTarget& target,
                       WindowSystem& windows, Ui& ui)
    : form_(form),
      history_(history),
      owner_(owner),
      block_(block),
      state_(state),
      target_(target),
      windows_(windows),
      ui_(ui) {}

std::function<void()> KubunPopup::ShowKubunPopup(const KubunPopupSettings& settings,
                                                 std::vector<PopupEntry> tray_items) {
  task_popup_ = Build(settings, state_.TrayPopupFlag, std::move(tray_items));
  state_.TrayPopupFlag = false;
  if (fatal_) return {};
  const ScreenPoint at = windows_.CursorPos();
  block_.SetRightClickCount(0);
  block_.SetNoTrack(1);
  std::function<void()> chosen = PopupEntries(ui_, task_popup_, at);
  block_.SetNoTrack(0);
  // A right click or Space in the menu asks for something else than a
  // paste: the target then gets no Enter on the way back.
  if (state_.PopupPrepared) {
    target_.ActivateTargetWindow(state_.CommandTarget, block_.RightClickCount() == 0);
  }
  return chosen;
}

PopupEntry KubunPopup::HistoryEntry(size_t index, char accelerator) const {
  PopupEntry e;
  e.caption = std::string("&") + accelerator + ":" + history_.HistoryTitles[index];
  e.image = kImageHistory;
  e.item = MyMenuItem{static_cast<int>(index), owner_, std::string()};
  return e;
}

std::vector<PopupEntry> KubunPopup::Build(const KubunPopupSettings& settings, bool tray_popup,
                                          std::vector<PopupEntry> tray_items) {
  RecentNodes.fill(nullptr);
  recent_ids_ = settings.recent_pasted;
  fatal_ = false;
  std::vector<PopupEntry> menu;
  PopupEntry tray = PopupEntry::Submenu(J("メニュー(&M)"), -1);
  tray.items = std::move(tray_items);
  if (!tray_popup) menu.push_back(tray);

  if (settings.use_history) {
    size_t first = 0;
    if (settings.clip_history_root) {
      bool any = false;
      for (size_t i = 0; i < kRootHistoryEntries; ++i) {
        if (history_.HistoryTitles[i].empty()) continue;
        menu.push_back(HistoryEntry(i, static_cast<char>('0' + i)));
        any = true;
      }
      if (any) menu.push_back(PopupEntry::Separator());
      first = kRootHistoryEntries;
    }
    PopupEntry sub = PopupEntry::Submenu(J("&ClipBd履歴"), kImageHistory);
    for (size_t i = first; i < ClipHistory::kEntries; ++i) {
      if (history_.HistoryTitles[i].empty()) continue;
      const char accelerator = i < 10 ? static_cast<char>('0' + i) : static_cast<char>('A' + i - 10);
      sub.items.push_back(HistoryEntry(i, accelerator));
    }
    if (!sub.items.empty()) menu.push_back(std::move(sub));
  }

  // The folders of the first level, each with what it offers.
  TreeNode* const top = form_.tree().root();
  PopupEntry root = PopupEntry::Submenu(J("&Root"), kImageFolderOpen);
  std::vector<PopupEntry>& folders = settings.def_paste_list ? root.items : menu;
  TreeNode* cursor = top != nullptr ? top->GetNext() : nullptr;
  while (cursor != nullptr) {
    TreeNode* node = cursor;
    cursor = cursor->GetNext();
    // A card does not belong at this level; it makes no entry.
    if (!node->IsFolder()) continue;
    PopupEntry item = PopupEntry::Submenu(node->text(), kImageFolderOpen);
    if (BuildFolderMenu(cursor, item.items) > 0) folders.push_back(std::move(item));
  }
  if (settings.def_paste_list && !root.items.empty()) menu.push_back(std::move(root));

  if (settings.use_history_paste) {
    menu.push_back(PopupEntry::Separator());
    bool any = false;
    int count = 0;
    for (TreeNode* node : RecentNodes) {
      if (node == nullptr) continue;
      any = true;
      AddCardOrTable(node, menu, count, /*skip_recent=*/false);
    }
    if (any) menu.push_back(PopupEntry::Separator());
  }

  if (settings.def_paste_list) {
    if (TreeNode* folder = FindFolderNode(form_, settings.paste_folder)) {
      TreeNode* parent = folder->parent();
      if (parent != nullptr && parent != top) {
        PopupEntry item =
            PopupEntry::Submenu(J("親フォルダ(") + parent->text() + ")", kImageFolderOpen);
        TreeNode* first = parent->first_child();
        if (BuildFolderMenu(first, item.items) > 0) menu.push_back(std::move(item));
      }
      int plain = 0;
      int table = 0;
      for (int i = 0; i < folder->child_count(); ++i) {
        TreeNode* child = folder->child(i);
        if (child->IsFolder()) {
          PopupEntry item = PopupEntry::Submenu(child->text(), kImageFolderOpen);
          TreeNode* next = child->GetNext();
          if (BuildFolderMenu(next, item.items) > 0) menu.push_back(std::move(item));
        } else if (plain < kPopupFolderCards && IsNodeListed(child)) {
          if (IsTableNode(child)) {
            AddTableCardMenuItem(child, menu, table, settings.use_history_paste);
          } else {
            AddCardMenuItem(child, menu, plain, settings.use_history_paste);
          }
        }
      }
    }
  }

  if (tray_popup) menu.push_back(std::move(tray));
  return menu;
}

int KubunPopup::BuildFolderMenu(TreeNode*& cursor, std::vector<PopupEntry>& parent) {
  // The cursor must stand on the folder's first child.
  if (cursor == nullptr || cursor->GetPrev() != cursor->parent()) return 0;
  const TreeNode* const level = cursor->parent();
  int total = 0;
  int seen = 0;
  while (cursor != nullptr && cursor->parent() == level) {
    TreeNode* node = cursor;
    ++seen;
    cursor = cursor->GetNext();
    if (!node->IsFolder()) {
      if (seen <= kFolderNodesShown && IsNodeListed(node)) {
        AddCardOrTable(node, parent, total, /*skip_recent=*/false);
      }
      continue;
    }
    PopupEntry item = PopupEntry::Submenu(node->text(), kImageFolderOpen);
    int added = 0;
    if (cursor != nullptr && cursor->parent() == node) added = BuildFolderMenu(cursor, item.items);
    if (added > 0) {
      parent.push_back(std::move(item));
      total += added;
    }
  }
  return total;
}

void KubunPopup::AddCardOrTable(TreeNode* node, std::vector<PopupEntry>& parent, int& count,
                               bool skip_recent) {
  if (IsTableNode(node)) {
    AddTableCardMenuItem(node, parent, count, skip_recent);
  } else {
    AddCardMenuItem(node, parent, count, skip_recent);
  }
}

int KubunPopup::RecentSlot(const TreeNode* node) const {
  const std::string_view id = node->info().TextId();
  if (id.empty()) return -1;
  for (size_t slot = 0; slot < recent_ids_.size(); ++slot) {
    if (recent_ids_[slot] == id) return static_cast<int>(slot);
  }
  return -1;
}

void KubunPopup::AddCardMenuItem(TreeNode* node, std::vector<PopupEntry>& parent, int& count,
                                 bool skip_recent) {
  if (const int slot = RecentSlot(node); slot >= 0) {
    if (skip_recent) return;
    RecentNodes[static_cast<size_t>(slot)] = node;
  }
  ++count;
  PopupEntry e;
  e.caption = node->text();
  e.image = CardImage(node);
  e.item = MyMenuItem{-1, owner_, std::string(node->info().TextId())};
  parent.push_back(std::move(e));
}

void KubunPopup::AddTableCardMenuItem(TreeNode* node, std::vector<PopupEntry>& parent,
                                      int& count, bool skip_recent) {
  if (const int slot = RecentSlot(node); slot >= 0) {
    RecentNodes[static_cast<size_t>(slot)] = node;
    if (skip_recent) return;
  }
  const std::string id(node->info().TextId());
  const int image = CardImage(node);
  PopupEntry sub = PopupEntry::Submenu(node->text(), image);
  PopupEntry all;
  all.caption = J("すべてペースト");
  all.image = image;
  all.item = MyMenuItem{-1, owner_, id};
  sub.items.push_back(std::move(all));
  ++count;

  // After the store's fatal status nothing more is read.
  if (fatal_) {
    parent.push_back(std::move(sub));
    return;
  }
  store::CardRecord card(form_.store());
  bool found = false;
  const Status s = card.FindById(node->info().RecordNo(), id, /*with_text=*/true, &found);
  fatal_ = EndOnFatal(ui_, s);
  // A card that cannot be read otherwise offers only its whole text.
  if (s.ok() && found && card.id == id) {
    for (auto& [caption, text] : TableMenuRows(card.text, kMaxTableRows)) {
      PopupEntry row;
      row.caption = std::move(caption);
      row.item = SelectCsvItem{std::move(text), -1, owner_, id};
      sub.items.push_back(std::move(row));
      ++count;
    }
  }
  parent.push_back(std::move(sub));
}

}  // namespace quill
