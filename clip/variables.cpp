#include "clip/variables.h"

#include <algorithm>
#include <cstdio>

#include "platform/sjis.h"
#include "store/value_store.h"

namespace quill {

namespace {

constexpr char kSelectedName[] = "$_SELECTED_";

// Day of the week, Sunday first: one CP932 character each ("日月火水木金土").
constexpr const char* kYoubi[7] = {"\x93\xFA", "\x8C\x8E", "\x89\xCE", "\x90\x85",
                                   "\x96\xD8", "\x8B\xE0", "\x93\x79"};
constexpr const char* kDayNames[7] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                      "Thursday", "Friday", "Saturday"};

bool IsDoubleByteTerminator(char lead, char trail) {
  for (size_t i = 0; i + 1 < kDoubleByteTerminators.size(); i += 2) {
    if (kDoubleByteTerminators[i] == lead && kDoubleByteTerminators[i + 1] == trail) return true;
  }
  return false;
}

bool IsLeadAt(std::string_view s, size_t i) {
  return i + 1 < s.size() && quill::IsSjisLead(static_cast<unsigned char>(s[i]));
}

// Replaces every occurrence of name in text by value, the search going on
// after each inserted value. The result is cut at kMaxResultBytes (never
// inside a double-byte character).
void ReplaceAll(std::string& text, std::string_view name, std::string_view value) {
  if (name.empty()) return;
  size_t pos = text.find(name);
  if (pos == std::string::npos) return;
  std::string out;
  size_t from = 0;
  while (pos != std::string::npos && out.size() <= kMaxResultBytes) {
    out.append(text, from, pos - from);
    out.append(value);
    from = pos + name.size();
    pos = text.find(name, from);
  }
  if (out.size() <= kMaxResultBytes) out.append(text, from, std::string::npos);
  quill::TruncateSjis(out, kMaxResultBytes);
  text = std::move(out);
}

std::string TwoDigits(int n) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02u", static_cast<unsigned>(n));
  return buf;
}

}  // namespace

Status StoredValues::Read(std::string_view key, std::string* text) {
  return store_.Read(key, text);
}

Status StoredValues::Write(std::string_view key, std::string_view text) {
  return store_.Write(key, text);
}

int JapaneseEraYear(int year, int month, int day) {
  const int date = year * 10000 + month * 100 + day;
  if (date >= 20190501) return year - 2018;  // Reiwa
  if (date >= 19890108) return year - 1988;  // Heisei
  if (date >= 19261225) return year - 1925;  // Showa
  if (date >= 19120730) return year - 1911;  // Taisho
  return year - 1867;                        // Meiji
}

std::vector<std::string> SplitVariableNames(std::string_view text) {
  text = quill::CText(text);
  std::vector<std::string> names;
  size_t i = 0;
  while (i < text.size()) {
    if (text[i] != '$' || i + 1 >= text.size() || text[i + 1] != '_') {
      i += IsLeadAt(text, i) ? 2 : 1;
      continue;
    }
    std::string name = "$_";
    i += 2;
    while (i < text.size()) {
      char c = text[i];
      if (c == '_') {
        name += c;
        ++i;
        break;
      }
      if (IsLeadAt(text, i)) {
        if (IsDoubleByteTerminator(c, text[i + 1])) {
          i += 2;
          break;
        }
        name.append(text, i, 2);
        i += 2;
        continue;
      }
      // A single-byte terminator is looked at again outside the name.
      if (kSingleByteTerminators.find(c) != std::string_view::npos) break;
      name += c;
      ++i;
    }
    names.push_back(std::move(name));
  }
  return names;
}

void VariableFill::SetSource(std::string_view text, std::string_view key) {
  text_.assign(quill::CText(text));
  key_.assign(key);
}

int VariableFill::ScanVariables() {
  names_.clear();
  values_.clear();
  selected_used_ = false;
  for (const std::string& name : SplitVariableNames(text_)) AddVariable(name);
  return count();
}

void VariableFill::AddVariable(const std::string& name) {
  static constexpr std::string_view kBuiltins[] = {
      "$_YEAR_",  "$_MONTH_", "$_DAY_",  "$_HOUR_",      "$_MINUTE_",  "$_SECOND_",
      "$_WAYEAR_", "$_YOUBI_", "$_DAY7_", "$_DAY7SHORT_", kSelectedName};
  if (name == kSelectedName) selected_used_ = true;
  if (std::find(std::begin(kBuiltins), std::end(kBuiltins), name) != std::end(kBuiltins)) return;
  if (name.size() > kMaxNameBytes) return;
  if (std::find(names_.begin(), names_.end(), name) != names_.end()) return;
  if (count() >= kMaxVariables) return;
  names_.push_back(name);
  values_.emplace_back();
}

void VariableFill::AddSelected() {
  // The selection is asked for even when the other variables filled the
  // list: there is room for one more.
  if (std::find(names_.begin(), names_.end(), kSelectedName) != names_.end()) return;
  names_.push_back(kSelectedName);
  values_.emplace_back();
}

void VariableFill::ExpandBuiltins() {
  const LocalTime now = clock_.LocalNow();
  const int weekday = std::clamp(now.weekday, 0, 6);
  const std::string day7 = kDayNames[weekday];
  const std::pair<std::string_view, std::string> builtins[] = {
      {"$_YEAR_", TwoDigits(now.year)},
      {"$_MONTH_", TwoDigits(now.month)},
      {"$_DAY_", TwoDigits(now.day)},
      {"$_HOUR_", TwoDigits(now.hour)},
      {"$_MINUTE_", TwoDigits(now.minute)},
      {"$_SECOND_", TwoDigits(now.second)},
      {"$_WAYEAR_", TwoDigits(JapaneseEraYear(now.year, now.month, now.day))},
      {"$_YOUBI_", kYoubi[weekday]},
      {"$_DAY7_", day7},
      {"$_DAY7SHORT_", day7.substr(0, 3)},
      {kSelectedName, selected_},
  };
  for (const auto& [name, value] : builtins) {
    if (!value.empty()) ReplaceAll(text_, name, value);
  }
}

Status VariableFill::FillGrid() {
  values_.assign(names_.size(), std::string());
  if (!names_.empty() && !prefill_.empty()) values_[0] = prefill_;
  if (key_.empty() || values_store_ == nullptr) return Status::Ok();

  std::string remembered;
  Status s = values_store_->Read(key_, &remembered);
  if (!s.ok()) return s;
  std::vector<std::string> stored;
  size_t from = 0;
  while (from < remembered.size()) {
    size_t tab = remembered.find('\t', from);
    if (tab == std::string::npos) tab = remembered.size();
    stored.push_back(remembered.substr(from, tab - from));
    from = tab + 1;
  }
  for (size_t i = 0; i < values_.size() && i < stored.size(); ++i) {
    // A pre-fill text wins over the first remembered value.
    if (i == 0 && !prefill_.empty()) continue;
    if (stored[i] != std::string(1, kEmptyValueMark)) values_[i] = stored[i];
  }
  return Status::Ok();
}

void VariableFill::SetValue(int i, std::string_view value) {
  if (i >= 0 && i < count()) values_[static_cast<size_t>(i)].assign(value);
}

void VariableFill::ApplyValues() {
  std::string text = text_;
  for (size_t i = 0; i < names_.size(); ++i) {
    const std::string& value = i < values_.size() ? values_[i] : std::string();
    if (value.empty() && !blank_) continue;
    ReplaceAll(text, names_[i], value);
  }
  text_ = std::move(text);
}

Status VariableFill::SaveValues() {
  if (key_.empty() || values_store_ == nullptr) return Status::Ok();
  std::string joined;
  bool any = false;
  for (size_t i = 0; i < names_.size(); ++i) {
    std::string value = i < values_.size() ? values_[i] : std::string();
    // TAB separates the values and NUL would end the text: neither may
    // stand inside a value.
    std::replace(value.begin(), value.end(), '\t', ' ');
    std::replace(value.begin(), value.end(), '\0', ' ');
    if (value.empty()) {
      joined += kEmptyValueMark;
    } else {
      joined += value;
      any = true;
    }
    joined += '\t';
  }
  if (!any) joined.clear();
  quill::TruncateSjis(joined, kMaxRememberedBytes);
  return values_store_->Write(key_, joined);
}

}  // namespace quill
