#include "main/search/card_criteria.h"

#include <array>
#include <cstdio>

#include "main/search/text_find.h"
#include "platform/clock.h"
#include "store/card_store.h"
#include "store/fold_key.h"
#include "platform/sjis.h"

namespace quill {

namespace {

constexpr int32_t kFirstYear = 1994;
constexpr int32_t kLastYear = 2100;
// A two-digit year below this is 20xx, else 19xx.
constexpr int32_t kCenturyPivot = 90;

bool IsDateSeparator(char c) { return c == ' ' || c == '/' || c == '-' || c == '.' || c == ','; }

// The leading decimal number of a piece ("12ab" is 12, "ab" is 0); false
// when it does not fit into a 32-bit int.
bool LeadingNumber(std::string_view piece, int32_t* value) {
  size_t i = 0;
  if (i < piece.size() && piece[i] == '+') ++i;
  int64_t n = 0;
  for (; i < piece.size() && piece[i] >= '0' && piece[i] <= '9'; ++i) {
    n = n * 10 + (piece[i] - '0');
    if (n > INT32_MAX) return false;
  }
  *value = static_cast<int32_t>(n);
  return true;
}

int32_t DaysInMonth(int32_t year, int32_t month) {
  static constexpr std::array<int32_t, 12> kDays = {31, 28, 31, 30, 31, 30,
                                                    31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[static_cast<size_t>(month - 1)];
}

int32_t Digits(std::string_view s, size_t at, size_t n) {
  int32_t v = 0;
  for (size_t i = at; i < at + n; ++i) v = v * 10 + (s[i] - '0');
  return v;
}

// The yyyymmdd key of a time in the local calendar.
int32_t LocalDateKey(Clock& clock, uint32_t seconds) {
  const LocalTime t = clock.Local(seconds);
  return t.year * 10000 + t.month * 100 + t.day;
}

// The start and end keys of one date range of the dialog.
void RangeKeys(std::string_view from_text, std::string_view to_text, int32_t* start,
               int32_t* end) {
  const SearchDate from = ParseDate(from_text);
  const SearchDate to = ParseDate(to_text);
  *start = from.given() ? from.Key() : to.given() ? kOpenRangeStart : 0;
  *end = to.given() ? to.Key() : from.given() ? kOpenRangeEnd : 0;
}

bool InRange(int32_t key, int32_t start, int32_t end) { return key >= start && key <= end; }

}  // namespace

SearchDate ParseDate(std::string_view text) {
  std::array<int32_t, 3> numbers{};
  size_t count = 0;
  size_t i = 0;
  while (count < numbers.size()) {
    while (i < text.size() && IsDateSeparator(text[i])) ++i;
    if (i == text.size()) break;
    size_t end = i;
    while (end < text.size() && !IsDateSeparator(text[end])) ++end;
    if (!LeadingNumber(text.substr(i, end - i), &numbers[count])) return {};
    ++count;
    i = end;
  }
  char buf[40];
  const int n = std::snprintf(buf, sizeof buf, "%02d%02d%02d", numbers[0], numbers[1], numbers[2]);
  const std::string_view digits(buf, n > 0 ? static_cast<size_t>(n) : 0);
  SearchDate d;
  if (digits.size() == 8) {
    d = {Digits(digits, 0, 4), Digits(digits, 4, 2), Digits(digits, 6, 2)};
  } else if (digits.size() == 6) {
    const int32_t yy = Digits(digits, 0, 2);
    d = {yy + (yy < kCenturyPivot ? 2000 : 1900), Digits(digits, 2, 2), Digits(digits, 4, 2)};
  } else {
    return {};
  }
  if (d.year < kFirstYear || d.year > kLastYear || d.month < 1 || d.month > 12 || d.day < 1 ||
      d.day > DaysInMonth(d.year, d.month)) {
    return {};
  }
  return d;
}

std::vector<std::string> SplitSearchWords(std::string_view text) {
  std::vector<std::string> words;
  std::string word;
  for (size_t i = 0; i < text.size();) {
    const size_t width = SjisCharWidth(text, i);
    const std::string_view c = text.substr(i, width);
    i += width;
    if (c == " " || c == "\x81\x40") {
      if (!word.empty()) words.push_back(std::move(word));
      word.clear();
    } else {
      word.append(c);
    }
  }
  if (!word.empty()) words.push_back(std::move(word));
  return words;
}

bool CardSearchFormAccepts(const CardSearchForm& form) {
  bool valid = false, wrong = false;
  for (const std::string* t :
       {&form.create_from, &form.create_to, &form.update_from, &form.update_to}) {
    if (t->empty()) continue;
    (ParseDate(*t).given() ? valid : wrong) = true;
  }
  return form.icon != -1 || (valid && !wrong) || !form.words.text.empty() ||
         !form.source.empty();
}

SearchCriteria BuildCriteria(const CardSearchForm& form) {
  SearchCriteria c;
  c.fuzzy = form.fuzzy;
  c.title_only = form.title_only;
  c.mode = form.mode;
  c.icon = form.icon;
  for (std::string& word : SplitSearchWords(form.words.text)) {
    if (!c.joined.empty()) c.joined += ' ';
    c.joined += word;
    // A word that folds to nothing is never searched.
    if (c.fuzzy) word = store::FoldSjisKey(word);
    if (!word.empty()) c.words.push_back(std::move(word));
  }
  std::string source = form.source;
  quill::TruncateSjis(source, kSourceCriterionBytes);
  c.source = store::FoldSjisKey(source);
  RangeKeys(form.create_from, form.create_to, &c.create_start, &c.create_end);
  RangeKeys(form.update_from, form.update_to, &c.update_start, &c.update_end);
  return c;
}

bool TextHasWords(const SearchCriteria& criteria, std::string_view text, std::string* folded) {
  if (criteria.words.empty()) return true;
  std::string_view t = quill::CText(text);
  if (criteria.fuzzy) {
    store::FoldSjisKeyInto(t, folded);
    t = *folded;
  }
  const bool all = criteria.mode == 0;
  for (const std::string& word : criteria.words) {
    const bool found = FindSjis(t, word, 0) != kNoHit;
    if (found != all) return found;
  }
  return all;
}

CardMatcher::CardMatcher(const SearchCriteria& criteria, store::CardStore& store, Clock& clock)
    : criteria_(criteria), store_(store), clock_(clock) {
  store_.texts().set_keep_open(true);
}

CardMatcher::~CardMatcher() { store_.texts().set_keep_open(false); }

bool CardMatcher::DatesMatch(const store::CardRecord& card) {
  const SearchCriteria& c = criteria_;
  if (c.create_start != 0 &&
      !InRange(LocalDateKey(clock_, card.ctime), c.create_start, c.create_end)) {
    return false;
  }
  return c.update_start == 0 ||
         InRange(LocalDateKey(clock_, card.utime), c.update_start, c.update_end);
}

bool CardMatcher::CardMatchesSearch(const store::CardRecord& card) {
  const SearchCriteria& c = criteria_;
  if (!DatesMatch(card)) return false;
  if (!c.words.empty() && !TextHasWords(c, card.title, &folded_)) {
    if (c.title_only) return false;
    Status s = store_.texts().Read(card.id, &text_);
    if (!s.ok()) {
      if (error_.ok()) error_ = s;
      return false;
    }
    if (!TextHasWords(c, text_, &folded_)) return false;
  }
  if (!c.source.empty()) {
    store::FoldSjisKeyInto(card.source, &folded_);
    if (FindSjis(folded_, c.source, 0) == kNoHit) return false;
  }
  return c.icon == -1 || card.icon == c.icon;
}

}  // namespace quill
