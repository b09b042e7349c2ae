#include "main/settings/class_list.h"

#include "platform/messages.h"
#include "platform/ui.h"
#include "platform/ui_messages.h"

namespace quill {

namespace {

bool ListHolds(std::string_view list, std::string_view cls) {
  size_t pos = 0;
  while (pos <= list.size()) {
    size_t end = list.find_first_of(", ", pos);
    if (end == std::string_view::npos) end = list.size();
    if (list.substr(pos, end - pos) == cls) return true;
    pos = end + 1;
  }
  return false;
}

}  // namespace

bool AddClassToList(Ui& ui, std::string* list, std::string_view cls) {
  if (cls.empty()) return false;
  if (ListHolds(*list, cls)) {
    ShowWarning(ui, MessageId::kClassAlreadyListed);
    return false;
  }
  const std::string joined = *list + "," + std::string(cls);
  std::string result;
  result.reserve(joined.size());
  for (char c : joined) {
    if (c == ',' && (result.empty() || result.back() == ',')) continue;
    result.push_back(c);
  }
  *list = std::move(result);
  return true;
}

}  // namespace quill
