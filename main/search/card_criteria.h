// The card search's criteria and the test of one card against them.
//
// The card search dialog gives words, a source, creation and update date
// ranges and a card icon. A card matches when its dates lie in the ranges,
// the words stand in its title or in its text, its source contains the
// source text and its icon is the one asked for; a criterion not given
// always passes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "main/tree/tree_loader.h"
#include "platform/search_dialogs.h"
#include "platform/status.h"

namespace quill {

class Clock;

namespace store {
class CardStore;
}  // namespace store

// A date of the dialog; year 0 means none.
struct SearchDate {
  int32_t year = 0;
  int32_t month = 0;
  int32_t day = 0;

  bool given() const { return year != 0; }
  // yyyymmdd.
  int32_t Key() const { return year * 10000 + month * 100 + day; }
  bool operator==(const SearchDate&) const = default;
};

// Reads a date such as "1998/1/1", "98.1.1" or "1998-01-01": up to three
// numbers separated by blanks, "/", "-", "." or ","; a two-digit year
// below 90 is 20xx, else 19xx. Anything that is not a day from 1994 to
// 2100 gives no date.
SearchDate ParseDate(std::string_view text);

// The words of a search text: split at ASCII blanks and full-width blanks
// (never between the bytes of a double-byte character).
std::vector<std::string> SplitSearchWords(std::string_view text);

// Whether the card search dialog may close with OK: an icon is chosen, or
// a date is given and no date text is wrong, or the words or the source
// are not empty.
bool CardSearchFormAccepts(const CardSearchForm& form);

inline constexpr size_t kSourceCriterionBytes = 28;
// Key of the date ranges: the start when only an end is given, the end
// when only a start is given.
inline constexpr int32_t kOpenRangeStart = 19900101;
inline constexpr int32_t kOpenRangeEnd = 29000101;

struct SearchCriteria {
  std::vector<std::string> words;  // folded with FoldSjisKey in fuzzy mode
  // yyyymmdd; a start of 0 means no range.
  int32_t create_start = 0, update_start = 0;
  int32_t create_end = 0, update_end = 0;
  std::string source;  // folded; empty: any
  bool fuzzy = false;
  bool title_only = false;
  int mode = 0;   // 0 And, 1 Or
  int icon = -1;  // -1: any
  // The words as entered, joined by one blank.
  std::string joined;
};

// The criteria of a confirmed dialog.
SearchCriteria BuildCriteria(const CardSearchForm& form);

// Whether text holds the words (every one in And mode, any in Or mode);
// no words: true. folded is working storage, reused between calls.
bool TextHasWords(const SearchCriteria& criteria, std::string_view text, std::string* folded);

// The card search of a tree load: CardMatchesSearch for each card. The
// text store stays open while the search lives. A text that cannot be
// read makes the card no hit; the first such failure is kept for the
// caller to report.
class CardMatcher final : public CardSearch {
 public:
  CardMatcher(const SearchCriteria& criteria, store::CardStore& store, Clock& clock);
  ~CardMatcher() override;
  CardMatcher(const CardMatcher&) = delete;
  CardMatcher& operator=(const CardMatcher&) = delete;

  bool Matches(store::CardRecord& card) override { return CardMatchesSearch(card); }
  // The card is loaded without its text; the text is read only when the
  // words are not all in the title.
  bool CardMatchesSearch(const store::CardRecord& card);
  const Status& error() const { return error_; }

 private:
  bool DatesMatch(const store::CardRecord& card);

  const SearchCriteria criteria_;
  store::CardStore& store_;
  Clock& clock_;
  std::string text_;
  std::string folded_;
  Status error_;
};

}  // namespace quill
