#include "store/value_store.h"

#include <algorithm>
#include <cstring>

#include "platform/sjis.h"
#include "store/text_store.h"

namespace quill::store {

namespace {

constexpr char kValueTableFile[] = "quilbo7.hdt";
constexpr char kValueIndexFile[] = "quilbo7.hid";
constexpr char kIdKey[] = "TEXT_ID";

// The in-memory record: TEXT_ID (20, NUL padded), TEXT (200 raw bytes).
constexpr size_t kIdLength = 20;
constexpr size_t kTextOffset = 20;
constexpr size_t kTextBytes = 200;
constexpr size_t kRecordSize = 220;

}  // namespace

std::vector<FieldDef> ValueStoreFields() { return {{"TEXT_ID", 'C', 20, 0}, {"TEXT", 'B', 200, 0}}; }

Status VarValueStore::Finish(Status s) {
  Status c = table_.Close();
  return s.ok() ? c : s;
}

void VarValueStore::Define(std::string_view folder) {
  table_.Close();
  table_.Define(env_, kValueTableFile, ValueStoreFields(), {{kValueIndexFile, kIdKey, false}},
                folder);
}

Status VarValueStore::Open(bool probe, std::string_view folder) {
  Define(folder);
  return OpenOrCreateTable(env_, table_, probe);
}

Status VarValueStore::Read(std::string_view id, std::string* text) {
  text->clear();
  int64_t row = -1;
  Status s = table_.Find(kIdKey, id, &row);
  if (s.ok() && row >= 0) {
    char rec[kRecordSize];
    s = table_.Read(row, rec);
    if (s.ok()) text->assign(rec + kTextOffset, FieldTextLength(rec + kTextOffset, kTextBytes));
  }
  return Finish(s);
}

Status VarValueStore::Write(std::string_view id, std::string_view text) {
  int64_t row = -1;
  Status s = table_.Find(kIdKey, id, &row);
  if (!s.ok()) return Finish(s);
  std::string value(CText(text));
  if (value.empty()) {
    if (row >= 0) s = table_.Delete(row);
    return Finish(s);
  }
  TruncateSjis(value, kValueTextLimit);
  char rec[kRecordSize] = {};
  std::memcpy(rec, id.data(), std::min(id.size(), kIdLength));
  std::memcpy(rec + kTextOffset, value.data(), value.size());
  return Finish(table_.Write(row, rec));
}

Status VarValueStore::Delete(std::string_view id) {
  int64_t row = -1;
  Status s = table_.Find(kIdKey, id, &row);
  if (s.ok() && row >= 0) s = table_.Delete(row);
  return Finish(s);
}

Status VarValueStore::Check() {
  bool any = false;
  QUILL_RETURN_IF_ERROR(Finish(HasLiveRow(table_, &any)));
  if (any) return Finish(table_.Reindex());
  return Recreate();
}

Status VarValueStore::Recreate() {
  table_.Close();
  return Finish(table_.Create());
}

Status VarValueStore::Close() { return table_.Close(); }

}  // namespace quill::store
