#include "main/popup/register_menu.h"

#include <cstdint>
#include <utility>

#include "clip/one_shot.h"
#include "main/tree/data_folder.h"
#include "main/tree/folder_tree_model.h"
#include "main/tree/node_operations.h"
#include "platform/messages.h"
#include "platform/text_codec.h"
#include "platform/ui_messages.h"
#include "store/card_store.h"

namespace quill {

namespace {

constexpr int kImageRegister = 3;
constexpr int kDataSetSlots = 10;
constexpr char kFolderListFile[] = "quilbo7.tre";
constexpr char kHtmlKind = 'H';

std::string J(std::string_view utf8) { return Utf8ToCp932(utf8); }

std::vector<std::string> SplitBlanks(const std::string& path) {
  std::vector<std::string> names;
  size_t start = 0;
  while (start <= path.size()) {
    size_t blank = path.find(' ', start);
    if (blank == std::string::npos) blank = path.size();
    names.push_back(path.substr(start, blank - start));
    start = blank + 1;
  }
  return names;
}

}  // namespace

std::string DisplayFolderPath(const std::string& path) {
  if (path.size() <= RegisterMenu::kDisplayPathMax) return path;
  const std::vector<std::string> names = SplitBlanks(path);
  std::string tail = names.back();
  for (size_t i = names.size() - 1; i-- > 0;) {
    if (names[i].size() + 1 + tail.size() > RegisterMenu::kDisplayPathMax) break;
    tail = names[i] + " " + tail;
  }
  return "..." + tail;
}

RegisterMenu::RegisterMenu(FolderTreeModel& form, FileEnv& env, RegisterHistory& history,
                           CardAppend& append, MenuItemOwner* owner, SharedHookBlock& block,
                           Dispatcher& dispatcher, DispatchTarget& target, WindowSystem& windows,
                           Ui& ui, RegisterMenuView& view)
    : form_(form),
      env_(env),
      history_(history),
      append_(append),
      owner_(owner),
      block_(block),
      dispatcher_(dispatcher),
      target_(target),
      windows_(windows),
      ui_(ui),
      view_(view) {}

void RegisterMenu::ChooseFolder() {
  dispatcher_.PrepareTargetPopup();
  ShowRegisterMenu();
  const DispatchState& state = dispatcher_.state();
  dispatcher_.ScheduleCommand(kFocusBackDelayMs, static_cast<uint16_t>(CommandCode::kFocusBack),
                              static_cast<int32_t>(state.CommandTarget));
}

void RegisterMenu::ShowRegisterMenu() {
  DispatchState& state = dispatcher_.state();
  task_popup_.clear();
  append_.LastAppendCardId.clear();
  view_.SetOneShotFolder(std::string());

  const bool browser = view_.IsBrowserWindow(state.CommandTarget);
  bool any_folder = false;
  task_popup_ = Build(browser, &any_folder);
  if (!any_folder) {
    target_.ActivateTargetWindow(block_.MainWindow(), false);
    ShowWarning(ui_, MessageId::kNoFolderToSaveIn);
    target_.ActivateTargetWindow(state.CommandTarget, false);
    target_.RestoreClipboard(/*forced=*/true);
    return;
  }
  if (state.TrayPopupFlag) {
    PopupEntry tray = PopupEntry::Submenu(J("メニュー(&M)"), -1);
    tray.items = TrayEntries(view_.TrayMenuItems());
    task_popup_.push_back(std::move(tray));
    state.TrayPopupFlag = false;
  }
  // The popup takes the pointer and the keyboard itself: the main window
  // need not come forward for it.
  if (std::function<void()> chosen = Popup(task_popup_)) {
    chosen();
  } else {
    target_.RestoreClipboard(/*forced=*/true);
  }
}

std::vector<PopupEntry> RegisterMenu::Build(bool browser, bool* any_folder) {
  std::vector<PopupEntry> menu;
  BuildRegisterHistoryMenu(menu, browser);
  *any_folder = false;
  const int current = view_.CurrentDataSet();
  const std::string current_folder = form_.store().data_path();
  if (auto lines = ReadFolderList(current_folder); lines && !lines->empty()) {
    AddFolders(*lines, menu, current, /*no_append=*/false, browser, kImageFolderOpen);
    *any_folder = true;
  }
  menu.push_back(PopupEntry::Separator());
  for (int i = 0; i < kDataSetSlots; ++i) {
    if (i == current) continue;
    const std::string name = view_.DataSetName(i);
    const std::string folder = view_.DataSetFolder(i);
    if (name.empty() || folder.empty() || SameDataFolder(folder, current_folder)) continue;
    auto lines = ReadFolderList(folder);
    if (!lines || lines->empty()) continue;
    PopupEntry set = PopupEntry::Submenu(name, kImageFolderClosed);
    AddFolders(*lines, set.items, i, /*no_append=*/true, browser, -1);
    menu.push_back(std::move(set));
    *any_folder = true;
  }
  return menu;
}

void RegisterMenu::BuildRegisterHistoryMenu(std::vector<PopupEntry>& menu, bool browser) {
  store::CardRecord card(form_.store());
  for (const CTourokuRireki& entry : history_.entries) {
    if (entry.IsCard()) {
      bool found = false;
      const Status s = card.FindByKey("TEXT_ID", entry.third, /*with_text=*/false, &found);
      if (!s.ok() || !found || card.id != entry.third || card.deleted == 'D' || card.locked ||
          card.kind == kHtmlKind) {
        continue;
      }
      PopupEntry e;
      e.caption = J("【") + card.title + J("】のカードに追加");
      e.image = kImageCardBase + (card.icon < 100 ? card.icon : 0);
      e.item = MyTuikaItem{owner_, card.id};
      menu.push_back(std::move(e));
      continue;
    }
    if (entry.data_set < 0) continue;
    const std::string folder = FolderOf(entry.data_set);
    const std::string name = view_.DataSetName(entry.data_set);
    if (folder.empty() || name.empty() || !ReadFolderList(folder)) continue;
    const std::string label = J("【") + name + J("の") + DisplayFolderPath(entry.path) + J("】");
    if (browser) {
      PopupEntry sub = PopupEntry::Submenu(label, kImageFolderOpen);
      sub.items.push_back(RegisterItem("ここにText登録", 0, entry.data_set, entry.path, 0));
      sub.items.push_back(RegisterItem("ここにHtml登録", 0, entry.data_set, entry.path, 1));
      menu.push_back(std::move(sub));
    } else {
      PopupEntry e = RegisterItem("", 0, entry.data_set, entry.path, 0);
      e.caption = label + J(" にText登録");
      menu.push_back(std::move(e));
    }
  }
  menu.push_back(PopupEntry::Separator());
}

bool RegisterMenu::BuildFolderRegisterItems(const std::vector<std::string>& lines, size_t& next,
                                            std::vector<PopupEntry>& parent,
                                            const std::string& prefix, int data_set,
                                            bool no_append, bool browser) {
  parent.push_back(RegisterItem("ここにテキストで登録", 0, data_set, prefix, 0));
  if (browser) parent.push_back(RegisterItem("ここにHtmlで登録", 0, data_set, prefix, 1));
  if (!no_append) parent.push_back(RegisterItem("ここのカードに追加", 1, data_set, prefix, 0));
  const std::string below = prefix + " ";
  while (next < lines.size()) {
    const std::string& line = lines[next];
    if (line.compare(0, below.size(), below) != 0) return false;
    ++next;
    PopupEntry sub = PopupEntry::Submenu(line.substr(below.size()), kImageFolderOpen);
    const bool end =
        BuildFolderRegisterItems(lines, next, sub.items, line, data_set, no_append, browser);
    parent.push_back(std::move(sub));
    if (end) return true;
  }
  return true;
}

void RegisterMenu::AddFolders(const std::vector<std::string>& lines, std::vector<PopupEntry>& menu,
                              int data_set, bool no_append, bool browser, int image) {
  size_t next = 0;
  while (next < lines.size()) {
    const std::string& line = lines[next++];
    PopupEntry folder = PopupEntry::Submenu(line, image);
    const bool end =
        BuildFolderRegisterItems(lines, next, folder.items, line, data_set, no_append, browser);
    menu.push_back(std::move(folder));
    if (end) break;
  }
}

PopupEntry RegisterMenu::RegisterItem(const char* caption_utf8, int mode, int data_set,
                                      const std::string& path, uint8_t html) const {
  PopupEntry e;
  e.caption = J(caption_utf8);
  e.image = kImageRegister;
  e.item = AddMenuItem{mode, data_set, path, html, owner_};
  return e;
}

std::optional<std::vector<std::string>> RegisterMenu::ReadFolderList(const std::string& folder) {
  std::string path = folder;
  AppendBackslash(path);
  std::string data;
  if (!env_.ReadFile(path + kFolderListFile, &data).ok()) return std::nullopt;
  std::vector<std::string> lines;
  size_t pos = 0;
  std::string line;
  // Lines are read whole, however long.
  while (ReadTextLine(data, &pos, data.size() + 2, &line)) {
    if (!line.empty()) lines.push_back(line);
  }
  return lines;
}

std::string RegisterMenu::FolderOf(int index) {
  if (index == view_.CurrentDataSet()) return form_.store().data_path();
  return view_.DataSetFolder(index);
}

void RegisterMenu::AddMenuClick(const AddMenuItem& item) {
  if (item.mode == 1) {
    ShowAppendMenu(item.folder_path);
  } else {
    RegisterIntoFolder(item.data_set, item.folder_path, item.html);
  }
}

void RegisterMenu::RegisterIntoFolder(int data_set, const std::string& path, uint8_t html) {
  dispatcher_.state().HtmlCapture = html;
  view_.SetOneShotDataSet(data_set);
  view_.SetOneShotFolder(path);
  view_.RegisterFromClipboard();
}

void RegisterMenu::ShowAppendMenu(const std::string& path) {
  DispatchState& state = dispatcher_.state();
  // The focus goes back from here: command 106 has nothing left to do.
  state.ChoosingFolder = true;
  sub_popup_.clear();
  view_.SetOneShotDataSet(view_.CurrentDataSet());
  view_.SetOneShotFolder(path);
  std::function<void()> chosen;
  if (TreeNode* folder = FindFolderNode(form_, path); folder == nullptr) {
    ui_.MessageBeep();
  } else {
    const int limit = view_.TuikaOrikaesiSuu();
    CSetTuikaMenu cards(form_.tree(), limit == 0 ? kUnlimitedCards : limit);
    cards.Walk(folder);
    AddAppendEntries(cards.menu, sub_popup_);
    chosen = Popup(sub_popup_);
  }
  dispatcher_.FinishTargetPopup();
  target_.ActivateTargetWindow(state.CommandTarget, false);
  if (chosen) {
    chosen();
  } else {
    target_.RestoreClipboard(/*forced=*/true);
  }
}

void RegisterMenu::AddAppendEntries(const TuikaMenu& menu, std::vector<PopupEntry>& out) const {
  for (const TuikaMenu::Item& item : menu.items) {
    PopupEntry e;
    e.caption = item.caption;
    e.image = item.image;
    e.item = MyTuikaItem{owner_, item.card_id};
    out.push_back(std::move(e));
  }
  if (menu.more != nullptr) {
    PopupEntry more = PopupEntry::Submenu(J("続き"), -1);
    AddAppendEntries(*menu.more, more.items);
    out.push_back(std::move(more));
  }
}

std::vector<PopupEntry> RegisterMenu::TrayEntries(std::vector<PopupEntry> items) {
  for (PopupEntry& e : items) {
    if (e.submenu) {
      e.items = TrayEntries(std::move(e.items));
    } else if (auto* foreign = std::get_if<ForeignItem>(&e.item)) {
      foreign->click = [this, click = std::move(foreign->click)] {
        target_.RestoreClipboard(/*forced=*/true);
        if (click) click();
      };
    }
  }
  return items;
}

std::function<void()> RegisterMenu::Popup(const std::vector<PopupEntry>& entries) {
  const ScreenPoint at = windows_.CursorPos();
  block_.SetNoTrack(1);
  std::function<void()> chosen = PopupEntries(ui_, entries, at);
  block_.SetNoTrack(0);
  return chosen;
}

}  // namespace quill
