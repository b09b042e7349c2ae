#include "clip/register_history.h"

#include <charconv>

namespace quill {

namespace {

constexpr int kLastDataSet = 9;

std::vector<std::string_view> SplitTabs(std::string_view value) {
  std::vector<std::string_view> fields;
  size_t start = 0;
  while (true) {
    const size_t tab = value.find('\t', start);
    fields.push_back(value.substr(start, tab == std::string_view::npos ? tab : tab - start));
    if (tab == std::string_view::npos) break;
    start = tab + 1;
  }
  return fields;
}

bool ParseIndex(std::string_view text, int* index) {
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, *index);
  return ec == std::errc() && ptr == end && *index >= -1 && *index <= kLastDataSet;
}

std::string_view TrimBlanks(std::string_view s) {
  const size_t first = s.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

}  // namespace

RegisterHistory RegisterHistory::Parse(std::string_view value) {
  RegisterHistory history;
  if (value.empty()) return history;
  const std::vector<std::string_view> fields = SplitTabs(value);
  for (size_t i = 0; i + 2 < fields.size() && history.entries.size() < kMaxEntries; i += 3) {
    CTourokuRireki entry;
    if (fields[i].empty() || fields[i + 2].empty() || !ParseIndex(fields[i + 1], &entry.data_set)) {
      continue;
    }
    entry.path = fields[i];
    entry.third = fields[i + 2];
    history.entries.push_back(std::move(entry));
  }
  return history;
}

std::string RegisterHistory::Serialize() const {
  std::string value;
  for (const CTourokuRireki& e : entries) {
    if (!value.empty()) value += '\t';
    value += e.path + '\t' + std::to_string(e.data_set) + '\t' + e.third;
  }
  return value;
}

void RegisterHistory::Add(int data_set, const std::string& path, const std::string& third) {
  const CTourokuRireki wanted{path, data_set, third};
  size_t at = 0;
  while (at < entries.size() && !(entries[at] == wanted)) ++at;
  if (at == entries.size()) {
    if (entries.size() < kMaxEntries) {
      entries.push_back(wanted);
    } else {
      at = entries.size() - 1;
      entries[at] = wanted;
    }
  }
  entries.erase(entries.begin() + static_cast<std::ptrdiff_t>(at));
  entries.insert(entries.begin(), wanted);
}

void RegisterHistory::Remove(int data_set, std::string_view path) {
  const std::string_view trimmed = TrimBlanks(path);
  for (auto it = entries.begin(); it != entries.end(); ++it) {
    if (it->path == trimmed && it->data_set == data_set) {
      entries.erase(it);
      return;
    }
  }
}

RegisterHistory LoadRegisterHistory(const RegistryStore& registry) {
  return RegisterHistory::Parse(
      registry.ReadString(kQuillmainEnvKey, RegisterHistory::kValueName, ""));
}

Status SaveRegisterHistory(RegistryStore& registry, const RegisterHistory& history) {
  return registry.WriteString(kQuillmainEnvKey, RegisterHistory::kValueName, history.Serialize());
}

}  // namespace quill
