#include "main/editor/cell_link.h"

#include <vector>

#include "store/card_store.h"
#include "platform/sjis.h"

namespace quill {
namespace {

constexpr std::string_view kFilePrefix = "<file=";
constexpr std::string_view kCardPrefix = "<card=";

// Blanks and control bytes at both ends go, as a trim of a cell does.
std::string_view Trimmed(std::string_view s) {
  while (!s.empty() && static_cast<unsigned char>(s.front()) <= 0x20) s.remove_prefix(1);
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= 0x20) s.remove_suffix(1);
  return s;
}

bool IsMailText(std::string_view s) {
  bool at_sign = false;
  for (char c : s) {
    if (quill::IsSjisLead(static_cast<unsigned char>(c))) return false;
    if (c == '@') at_sign = true;
  }
  return at_sign;
}

}  // namespace

CellLink ParseCellLink(std::string_view cell) {
  // Only the first five bytes of "<file=" and "<card=" are compared: the
  // byte after them is taken as the "=" whatever it is.
  if (cell.starts_with(kFilePrefix.substr(0, 5))) {
    // "<file=" and a closing byte at least: anything shorter holds no path.
    if (cell.size() <= kFilePrefix.size() + 1) return {};
    return {CellLink::Kind::kFile,
            std::string(cell.substr(kFilePrefix.size(), cell.size() - kFilePrefix.size() - 1))};
  }
  if (cell.starts_with(kCardPrefix.substr(0, 5))) {
    std::string_view t = Trimmed(cell);
    if (t.ends_with('>')) t.remove_suffix(1);
    if (t.size() <= kCardPrefix.size()) return {};
    return {CellLink::Kind::kCard, std::string(t.substr(kCardPrefix.size()))};
  }
  for (std::string_view scheme : {"http:", "https:", "mailto:"}) {
    if (cell.starts_with(scheme)) return {CellLink::Kind::kAddress, std::string(cell)};
  }
  if (IsMailText(cell)) return {CellLink::Kind::kAddress, "mailto:" + std::string(cell)};
  return {};
}

std::string FileLinkText(std::string_view path) {
  std::string s(kFilePrefix);
  s.append(path);
  s.push_back('>');
  return s;
}

bool PathFitsCell(std::string_view path) {
  return path.find_first_of("\t\r\n") == std::string_view::npos;
}

Status FindLinkedCard(store::CardStore& cards, std::string_view title,
                      std::optional<std::string>* card_id) {
  card_id->reset();
  if (title.empty()) return Status::Ok();
  store::CardRecord r(cards);
  std::vector<int64_t> rows;
  QUILL_RETURN_IF_ERROR(r.FindCardsByFolder("", &rows));
  Status s = r.SetOpenFlag(true);
  for (size_t i = 0; s.ok() && i < rows.size(); ++i) {
    r.SetRecNo(rows[i]);
    s = r.Load(/*with_text=*/false);
    if (s.ok() && r.deleted != 'D' && !r.is_folder() && r.title == title) {
      *card_id = r.id;
      break;
    }
  }
  const Status closed = r.SetOpenFlag(false);
  return s.ok() ? closed : s;
}

}  // namespace quill
