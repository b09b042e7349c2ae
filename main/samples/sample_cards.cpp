#include "main/samples/sample_cards.h"

#include <algorithm>
#include <charconv>
#include <set>
#include <utility>

#include "platform/file_env.h"
#include "platform/text_codec.h"
#include "store/card_row.h"
#include "store/card_store.h"

namespace quill {

namespace {

constexpr std::string_view kCardStart = "=== card";
constexpr std::string_view kTextStart = "---";
constexpr std::string_view kCellSeparator = " | ";

template <typename T>
bool Number(std::string_view s, T* out) {
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), *out);
  return ec == std::errc() && end == s.data() + s.size();
}

// Replaces every `from` in s by `to`.
std::string ReplaceAll(std::string s, std::string_view from, std::string_view to) {
  for (size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size())) {
    s.replace(at, from.size(), to);
  }
  return s;
}

class SourceReader {
 public:
  explicit SourceReader(std::vector<TransferCard>* cards) : cards_(cards) {}

  Status Line(std::string_view line) {
    ++number_;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.starts_with("##")) return Status::Ok();
    if (line == kCardStart) {
      QUILL_RETURN_IF_ERROR(End());
      in_card_ = true;
      in_text_ = false;
      card_ = TransferCard();
      card_.position = static_cast<uint32_t>(cards_->size());
      have_id_ = false;
      table_ = false;
      lines_.clear();
      return Status::Ok();
    }
    if (!in_card_) {
      if (line.empty()) return Status::Ok();
      return Fail("text outside a card");
    }
    if (in_text_) {
      lines_.emplace_back(line);
      return Status::Ok();
    }
    if (line == kTextStart) {
      in_text_ = true;
      return Status::Ok();
    }
    return Field(line);
  }

  // The card read last is complete.
  Status End() {
    if (!in_card_) return Status::Ok();
    in_card_ = false;
    if (card_.folder.empty() || card_.title.empty() || !have_id_) {
      return Fail("a card needs a folder, a title and an id");
    }
    if (!ids_.insert({card_.ctime, card_.ctick}).second) return Fail("an id used twice");
    if (card_.title.size() > store::card_row::kTitleStored ||
        card_.source.size() > store::card_row::kSourceLength) {
      return Fail("a title or source too long for its field");
    }
    while (!lines_.empty() && lines_.back().empty()) lines_.pop_back();
    size_t columns = 0;
    bool same_columns = true;
    std::string text;
    for (size_t i = 0; i < lines_.size(); ++i) {
      std::string line = Utf8ToCp932(lines_[i]);
      if (table_) {
        const std::string cells = ReplaceAll(line, kCellSeparator, "\t");
        const size_t n = 1 + static_cast<size_t>(std::count(cells.begin(), cells.end(), '\t'));
        if (i == 0) columns = n;
        same_columns = same_columns && n == columns;
        line = cells;
      }
      if (i > 0) text += "\r\n";
      text += line;
    }
    card_.text = std::move(text);
    if (table_) {
      card_.kind = 'C';
      card_.two_column = same_columns && columns == 2 ? 1 : 0;
    }
    cards_->push_back(std::move(card_));
    return Status::Ok();
  }

 private:
  Status Fail(std::string_view what) const {
    return Status::Invalid("sample cards, line " + std::to_string(number_) + ": " +
                           std::string(what));
  }

  Status Field(std::string_view line) {
    const size_t colon = line.find(": ");
    if (colon == std::string_view::npos) return Fail("expected \"key: value\"");
    const std::string_view key = line.substr(0, colon);
    const std::string_view value = line.substr(colon + 2);
    bool ok = true;
    if (key == "folder") {
      card_.folder = Utf8ToCp932(value);
    } else if (key == "title") {
      card_.title = Utf8ToCp932(value);
    } else if (key == "source") {
      card_.source = Utf8ToCp932(value);
    } else if (key == "paste") {
      ok = Number(value, &card_.one_shot_paste) && card_.one_shot_paste >= 0 &&
           card_.one_shot_paste <= 1;
    } else if (key == "id") {
      const size_t blank = value.find(' ');
      ok = blank != std::string_view::npos && Number(value.substr(0, blank), &card_.ctime) &&
           Number(value.substr(blank + 1), &card_.ctick);
      have_id_ = ok;
    } else if (key == "updated") {
      ok = Number(value, &card_.utime);
    } else if (key == "icon") {
      ok = Number(value, &card_.icon) && card_.icon >= 0 && card_.icon <= 99;
    } else if (key == "widths") {
      card_.widths.clear();
      size_t at = 0;
      while (ok && at < value.size()) {
        size_t end = value.find(' ', at);
        if (end == std::string_view::npos) end = value.size();
        int w = 0;
        ok = Number(value.substr(at, end - at), &w) && w >= 2 && w <= 30;
        card_.widths.push_back(static_cast<int8_t>(w));
        at = end + 1;
      }
    } else if (key == "kind") {
      ok = value == "text" || value == "table";
      table_ = value == "table";
    } else {
      return Fail("unknown key");
    }
    return ok ? Status::Ok() : Fail("bad value");
  }

  std::vector<TransferCard>* cards_;
  size_t number_ = 0;
  bool in_card_ = false, in_text_ = false, have_id_ = false, table_ = false;
  TransferCard card_;
  std::vector<std::string> lines_;
  std::set<std::pair<uint32_t, uint32_t>> ids_;
};

}  // namespace

Status ParseSampleCards(std::string_view utf8, std::vector<TransferCard>* cards) {
  cards->clear();
  SourceReader reader(cards);
  size_t at = 0;
  while (at < utf8.size()) {
    size_t lf = utf8.find('\n', at);
    if (lf == std::string_view::npos) lf = utf8.size();
    QUILL_RETURN_IF_ERROR(reader.Line(utf8.substr(at, lf - at)));
    at = lf + 1;
  }
  return reader.End();
}

std::string BuildSampleFile(const std::vector<TransferCard>& cards) {
  std::string out = std::string(kTransferHeader) + "\r\n";
  // The writer's own block layout, through a record that no store backs.
  store::CardStore unopened(FileEnv::Default(), "/");
  for (const TransferCard& in : cards) {
    store::CardRecord card(unopened);
    card.Clear();
    FillCardFromTransfer(in, &card);
    card.folder = in.folder;
    AppendCardBlock(card, card.folder, &out);
  }
  return out;
}

}  // namespace quill
