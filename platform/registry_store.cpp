#include "platform/registry_store.h"

namespace quill {
namespace {

// "\a\b\" and "a\b" name the same key.
std::string_view NormalKey(std::string_view key) {
  while (!key.empty() && key.front() == '\\') key.remove_prefix(1);
  while (!key.empty() && key.back() == '\\') key.remove_suffix(1);
  return key;
}

// Byte-wise, so that any byte string, whole characters or not, round-trips.
std::string Escape(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  for (char c : value) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\t': out += "\\t"; break;
      case '\r': out += "\\r"; break;
      case '\n': out += "\\n"; break;
      case '\0': out += "\\0"; break;
      default: out += c;
    }
  }
  return out;
}

std::string Unescape(std::string_view stored) {
  std::string out;
  out.reserve(stored.size());
  for (size_t i = 0; i < stored.size(); ++i) {
    char c = stored[i];
    if (c != '\\' || i + 1 == stored.size()) {
      out += c;
      continue;
    }
    switch (stored[i + 1]) {
      case '\\': out += '\\'; break;
      case 't': out += '\t'; break;
      case 'r': out += '\r'; break;
      case 'n': out += '\n'; break;
      case '0': out += '\0'; break;
      default:
        out += c;
        continue;  // not an escape: keep the backslash, read the next byte as it is
    }
    ++i;
  }
  return out;
}

// True when section is key itself or a key below it.
bool IsKeyOrBelow(std::string_view section, std::string_view key) {
  if (section.size() < key.size()) return false;
  if (!EqualsNoCase(section.substr(0, key.size()), key)) return false;
  return section.size() == key.size() || section[key.size()] == '\\';
}

// Creates every missing folder of the path's parent.
Status CreateParentDirs(FileEnv& env, const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos || slash == 0) return Status::Ok();
  const std::string dir = path.substr(0, slash);
  if (env.Exists(dir)) return Status::Ok();
  for (size_t pos = dir.find('/', 1);; pos = dir.find('/', pos + 1)) {
    const std::string part = dir.substr(0, pos);
    if (!env.Exists(part)) QUILL_RETURN_IF_ERROR(env.CreateDir(part));
    if (pos == std::string::npos) break;
  }
  return Status::Ok();
}

Status CheckKey(std::string_view key) {
  if (NormalKey(key).empty()) return Status::Invalid("empty registry key path");
  return Status::Ok();
}

}  // namespace

// ---- Batch

void RegistryStore::Batch::WriteString(std::string_view key, std::string_view name,
                                       std::string_view value) {
  ops_.push_back({false, std::string(key), std::string(name), std::string(value)});
}

void RegistryStore::Batch::WriteInteger(std::string_view key, std::string_view name,
                                        int64_t value) {
  WriteString(key, name, std::to_string(value));
}

void RegistryStore::Batch::DeleteValue(std::string_view key, std::string_view name) {
  ops_.push_back({true, std::string(key), std::string(name), {}});
}

// ---- Snapshot

std::string RegistryStore::Snapshot::ReadString(std::string_view key, std::string_view name,
                                                std::string_view def) const {
  std::string v;
  if (!doc_.ReadValue(NormalKey(key), name, &v)) return std::string(def);
  return Unescape(v);
}

int32_t RegistryStore::Snapshot::ReadInteger(std::string_view key, std::string_view name,
                                             int32_t def) const {
  std::string v;
  int32_t n = def;
  if (doc_.ReadValue(NormalKey(key), name, &v) &&
      ParseStoredInteger(Unescape(v), HexPrefix::kDollar, &n)) {
    return n;
  }
  return def;
}

bool RegistryStore::Snapshot::ValueExists(std::string_view key, std::string_view name) const {
  std::string v;
  return doc_.ReadValue(NormalKey(key), name, &v);
}

bool RegistryStore::Snapshot::KeyExists(std::string_view key) const {
  std::string_view k = NormalKey(key);
  if (k.empty()) return false;
  for (const std::string& section : doc_.SectionNames()) {
    if (IsKeyOrBelow(section, k)) return true;
  }
  return false;
}

// ---- RegistryStore

RegistryStore::Snapshot RegistryStore::Read() const {
  Snapshot snap;
  (void)file_.Load(&snap.doc_);  // a missing or unreadable store reads as empty
  return snap;
}

std::string RegistryStore::ReadString(std::string_view key, std::string_view name,
                                      std::string_view def) const {
  return Read().ReadString(key, name, def);
}

int32_t RegistryStore::ReadInteger(std::string_view key, std::string_view name,
                                   int32_t def) const {
  return Read().ReadInteger(key, name, def);
}

bool RegistryStore::KeyExists(std::string_view key) const { return Read().KeyExists(key); }

Status RegistryStore::WriteString(std::string_view key, std::string_view name,
                                  std::string_view value) {
  Batch b;
  b.WriteString(key, name, value);
  return Apply(b);
}

Status RegistryStore::WriteInteger(std::string_view key, std::string_view name, int64_t value) {
  Batch b;
  b.WriteInteger(key, name, value);
  return Apply(b);
}

Status RegistryStore::DeleteValue(std::string_view key, std::string_view name) {
  Batch b;
  b.DeleteValue(key, name);
  return Apply(b);
}

Status RegistryStore::DeleteKey(std::string_view key) {
  QUILL_RETURN_IF_ERROR(CheckKey(key));
  return Update({}, NormalKey(key));
}

Status RegistryStore::Apply(const Batch& batch) {
  for (const Batch::Op& op : batch.ops_) QUILL_RETURN_IF_ERROR(CheckKey(op.key));
  return Update(batch.ops_, {});
}

Status RegistryStore::Update(const std::vector<Batch::Op>& ops, std::string_view delete_key) {
  std::string before;
  Status s = env_.ReadFile(path_, &before);
  if (!s.ok() && !s.IsNotFound()) return s;
  const bool existed = s.ok();

  IniDocument doc(before);
  if (!delete_key.empty()) {
    for (const std::string& section : doc.SectionNames()) {
      if (IsKeyOrBelow(section, delete_key)) QUILL_RETURN_IF_ERROR(doc.EraseSection(section));
    }
  }
  IniBatch edits;
  for (const Batch::Op& op : ops) {
    if (op.remove) edits.DeleteKey(NormalKey(op.key), op.name);
    else edits.WriteString(NormalKey(op.key), op.name, Escape(op.value));
  }
  QUILL_RETURN_IF_ERROR(doc.Apply(edits));

  const std::string after = doc.Text();
  if (existed ? after == before : after.empty()) return Status::Ok();
  QUILL_RETURN_IF_ERROR(CreateParentDirs(env_, path_));
  return env_.WriteFileAtomic(path_, after);
}

}  // namespace quill
