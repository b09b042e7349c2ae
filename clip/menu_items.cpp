#include "clip/menu_items.h"

#include <type_traits>

namespace quill {

void SelectWinItem::Click() const {
  if (owner != nullptr) owner->SelectCardWindow(index);
}

void SelectFileItem::Click() const {
  if (owner != nullptr) owner->SelectDataFile(index);
}

void MagicMenuItem::Click() const {
  if (owner != nullptr) owner->RunClipToolItem(plugin, tool, mode);
}

void SelectCsvItem::Click() const {
  if (owner != nullptr) owner->PasteCard(card_id, -1, text);
}

void MyTuikaItem::Click() const {
  if (owner != nullptr) owner->AppendClipboardToCard(card_id);
}

void SuperKeyItem::Click() const {
  if (owner != nullptr) owner->AssignSuperKeySlot(slot);
}

void MyMenuItem::Click() const {
  if (owner != nullptr) owner->PasteCard(card_id, index, std::nullopt);
}

void AddMenuItem::Click() const {
  if (owner != nullptr) owner->AddMenuClick(*this);
}

void Click(const MenuAction& action) {
  std::visit(
      [](const auto& item) {
        if constexpr (!std::is_same_v<std::decay_t<decltype(item)>, std::monostate>) item.Click();
      },
      action);
}

namespace {

// The Ui's items for the entries; each item that can be chosen gets the
// position of its action in `actions` as its id.
std::vector<MenuItem> Describe(const std::vector<PopupEntry>& entries,
                               std::vector<const MenuAction*>* actions) {
  std::vector<MenuItem> items;
  items.reserve(entries.size());
  for (const PopupEntry& e : entries) {
    if (e.separator) {
      items.push_back(MenuItem::Separator());
      continue;
    }
    MenuItem item;
    item.caption = e.caption;
    item.image = e.image;
    item.enabled = e.enabled;
    item.checked = e.checked;
    if (e.submenu) {
      item.submenu = true;
      item.items = Describe(e.items, actions);
    } else {
      item.id = static_cast<int>(actions->size());
      actions->push_back(&e.item);
    }
    items.push_back(std::move(item));
  }
  return items;
}

}  // namespace

std::function<void()> PopupEntries(Ui& ui, const std::vector<PopupEntry>& entries,
                                   ScreenPoint at) {
  std::vector<const MenuAction*> actions;
  const std::vector<MenuItem> items = Describe(entries, &actions);
  const std::optional<int> chosen = ui.PopupMenu(items, at);
  if (!chosen || *chosen < 0 || static_cast<size_t>(*chosen) >= actions.size()) return {};
  // A copy: the entries may be rebuilt before the click runs.
  MenuAction action = *actions[static_cast<size_t>(*chosen)];
  if (std::holds_alternative<std::monostate>(action)) return {};
  return [action = std::move(action)] { Click(action); };
}

}  // namespace quill
