#include "main/tree/node_captions.h"

#include <cstdio>

#include "main/tree/folder_tree_model.h"
#include "platform/clock.h"
#include "store/card_store.h"

namespace quill {

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

std::string GetCardTitle(FolderTreeModel& form, uint32_t record_no, std::string_view text_id) {
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
