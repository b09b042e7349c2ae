#include "main/tree/card_icon_sheet.h"

#include <algorithm>

namespace quill {

IconSheetPlan::IconSheetPlan(SheetFound found, int width, int height) : found_(found) {
  if (found == SheetFound::kDecoded) {
    columns_ = std::clamp(width / kIconSize, 0, kSheetColumns);
    rows_ = std::clamp(height / kIconSize, 0, kSheetColumns);
  }
}

bool IconSheetPlan::FromSheet(int icon) const {
  return icon >= 0 && icon < kCardIconCount && icon % kSheetColumns < columns_ &&
         icon / kSheetColumns < rows_;
}

bool IconSheetPlan::TellUser() const {
  if (found_ == SheetFound::kMissing) return false;
  return columns_ < kSheetColumns || rows_ < kSheetColumns;
}

}  // namespace quill
