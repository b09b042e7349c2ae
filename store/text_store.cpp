#include "store/text_store.h"

#include "platform/messages.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "store/byte_order.h"

namespace quill::store {

namespace {

constexpr char kTextTableFile[] = "quilbo7.tx";
constexpr char kTextIndexFile[] = "quilbo7.itx";
constexpr char kIdKey[] = "ID";
// Rows looked at for one card (the capacity limit stops reading far sooner).
constexpr size_t kMaxChunkRows = 30000;

// The in-memory record: ID (20, NUL padded), SIZE (u32), DATA (1000).
constexpr size_t kIdOffset = 0;
constexpr size_t kIdLength = 20;
constexpr size_t kSizeOffset = 20;
constexpr size_t kDataOffset = 24;
constexpr size_t kRecordSize = 1024;

void PutId(char* rec, std::string_view id) {
  std::memset(rec + kIdOffset, 0, kIdLength);
  std::memcpy(rec + kIdOffset, id.data(), std::min(id.size(), kIdLength));
}

}  // namespace

std::vector<FieldDef> TextStoreFields() {
  return {{"ID", 'C', 20, 1}, {"SIZE", 'B', 4, 0}, {"DATA", 'B', 1000, 0}};
}

Status OpenOrCreateTable(FileEnv& env, RecordTable& table, bool probe) {
  if (!env.Exists(table.path())) {
    if (probe) return Status::NotFound(table.path() + ": no such store");
    Status s = table.Create();
    Status c = table.Close();
    return s.ok() ? c : s;
  }
  // It exists: whatever keeps it from opening is reported, never "mended"
  // by creating it afresh.
  Status s = table.Open();
  Status c = table.Close();
  if (!s.ok() && s.IsNotFound()) return Status::IoError(s.message()).WithDbCode(s.db_code());
  return s.ok() ? c : s;
}

Status HasLiveRow(RecordTable& table, bool* any) {
  *any = false;
  int64_t count = 0;
  QUILL_RETURN_IF_ERROR(table.RowCount(&count));
  std::vector<char> rec(table.RecordSize());
  for (int64_t r = 0; r < count; ++r) {
    bool deleted = false;
    QUILL_RETURN_IF_ERROR(table.Read(r, rec.data(), &deleted));
    if (!deleted) {
      *any = true;
      return Status::Ok();
    }
  }
  return Status::Ok();
}

Status TextBodyStore::Finish(Status s) {
  Status c = table_.Close();
  return s.ok() ? c : s;
}

void TextBodyStore::Define(std::string_view folder) {
  table_.Close();
  table_.Define(env_, kTextTableFile, TextStoreFields(), {{kTextIndexFile, kIdKey, false}},
                folder);
  defined_ = true;
}

Status TextBodyStore::Open(bool probe, std::string_view folder) {
  Define(folder);
  return OpenOrCreateTable(env_, table_, probe);
}

Status TextBodyStore::CheckId(std::string_view id, const std::string& message) {
  if (id.size() == kCardIdLength) return Status::Ok();
  table_.Close();
  return Status::Fatal(message);
}

Status TextBodyStore::Read(std::string_view id, std::string* bytes) {
  bytes->clear();
  QUILL_RETURN_IF_ERROR(CheckId(id, MessageUtf8(MessageId::kFatalRead)));
  // No card has more chunks than the file has rows.
  int64_t row_count = 0;
  Status s = table_.RowCount(&row_count);
  std::vector<int64_t> rows;
  if (s.ok()) {
    s = table_.Search(kIdKey, id, std::min<size_t>(kMaxChunkRows, static_cast<size_t>(row_count)),
                      &rows);
  }
  if (s.ok()) {
    // Each chunk has a row of its own: a row listed twice is a damaged index.
    std::vector<int64_t> sorted = rows;
    std::sort(sorted.begin(), sorted.end());
    auto twice = std::adjacent_find(sorted.begin(), sorted.end());
    if (twice != sorted.end()) {
      s = Status::Corrupt("the index " + table_.index_paths().front() + " lists row " +
                          std::to_string(*twice + 1) + " twice for the text of " + std::string(id));
    }
  }
  // The chunks in key order; rows that follow one another in the file are
  // read together.
  for (size_t i = 0; s.ok() && i < rows.size() && bytes->size() < kCardTextCapacity;) {
    size_t run = 1;
    while (i + run < rows.size() && rows[i + run] == rows[i] + static_cast<int64_t>(run)) ++run;
    s = table_.ReadRows(rows[i], static_cast<int64_t>(run),
                        [&](int64_t, std::string_view stored, uint32_t count) {
                          const size_t length = stored.size() / count;
                          for (uint32_t k = 0; k < count; ++k) {
                            // Byte 0 is the deleted flag; the fields follow.
                            const char* rec = stored.data() + k * length + 1;
                            // A SIZE beyond the chunk (a damaged row) reads
                            // as a full chunk.
                            size_t n = std::min<size_t>(GetU32(rec + kSizeOffset), kTextChunkBytes);
                            n = std::min(n, kCardTextCapacity - bytes->size());
                            bytes->append(rec + kDataOffset, n);
                          }
                          return Status::Ok();
                        });
    i += run;
  }
  if (!s.ok()) bytes->clear();
  return keep_open_ && s.ok() ? s : Finish(s);
}

void TextBodyStore::set_keep_open(bool keep) {
  keep_open_ = keep;
  if (!keep) table_.Close();
}

void TextBodyStore::MakeFree(char* rec) {
  char id[16];
  std::snprintf(id, sizeof id, "N%08X", static_cast<unsigned>(env_.clock().TickCount()));
  PutId(rec, id);
  std::memset(rec + kDataOffset, ' ', kTextChunkBytes);
}

Status TextBodyStore::FreeChunk(int64_t row) {
  char rec[kRecordSize];
  QUILL_RETURN_IF_ERROR(table_.Read(row, rec));
  MakeFree(rec);
  return table_.Write(row, rec);
}

Status TextBodyStore::Delete(std::string_view id) {
  QUILL_RETURN_IF_ERROR(CheckId(id, MessageUtf8(MessageId::kFatalWrite)));
  ChangeSet change;
  Status s = PlanDelete(id, &change);
  if (s.ok()) s = change.Commit();
  return Finish(s);
}

Status TextBodyStore::Write(std::string_view id, std::string_view data) {
  QUILL_RETURN_IF_ERROR(CheckId(id, MessageUtf8(MessageId::kFatalWrite)));
  ChangeSet change;
  Status s = PlanWrite(id, data, &change);
  if (s.ok()) s = change.Commit();
  return Finish(s);
}

Status TextBodyStore::PlanDelete(std::string_view id, ChangeSet* change) {
  return PlanWrite(id, {}, change);
}

Status TextBodyStore::PlanWrite(std::string_view id, std::string_view data, ChangeSet* change) {
  QUILL_RETURN_IF_ERROR(CheckId(id, MessageUtf8(MessageId::kFatalWrite)));
  // The card's rows, in key order, take the chunks first; the new chunks go
  // nowhere near a row that still holds another card's text.
  std::vector<int64_t> own;
  QUILL_RETURN_IF_ERROR(table_.Search(kIdKey, id, kMaxChunkRows, &own));
  const size_t chunks = (data.size() + kTextChunkBytes - 1) / kTextChunkBytes;
  std::vector<int64_t> free_rows;
  if (chunks > own.size()) {
    QUILL_RETURN_IF_ERROR(table_.Search(kIdKey, "N", chunks - own.size(), &free_rows));
  }
  char rec[kRecordSize];
  for (size_t k = 0; k < chunks; ++k) {
    const size_t offset = k * kTextChunkBytes;
    const size_t n = std::min(kTextChunkBytes, data.size() - offset);
    char number[8];
    std::snprintf(number, sizeof number, "%03X", static_cast<unsigned>(k));
    PutId(rec, std::string(id) + number);
    PutU32(rec + kSizeOffset, static_cast<uint32_t>(n));
    std::memcpy(rec + kDataOffset, data.data() + offset, n);
    std::memset(rec + kDataOffset + n, ' ', kTextChunkBytes - n);
    int64_t row = -1;
    if (k < own.size()) {
      row = own[k];
    } else if (k - own.size() < free_rows.size()) {
      row = free_rows[k - own.size()];
    }
    QUILL_RETURN_IF_ERROR(change->Write(table_, row, rec));
  }
  for (size_t k = chunks; k < own.size(); ++k) {
    QUILL_RETURN_IF_ERROR(table_.Read(own[k], rec));
    MakeFree(rec);
    QUILL_RETURN_IF_ERROR(change->Write(table_, own[k], rec));
  }
  return Status::Ok();
}

Status TextBodyStore::Purge() {
  int64_t count = 0;
  Status s = table_.RowCount(&count);
  bool any_live = false;
  char rec[kRecordSize];
  ChangeSet change;
  for (int64_t r = 0; s.ok() && r < count; ++r) {
    bool deleted = false;
    s = table_.Read(r, rec, &deleted);
    if (!s.ok() || deleted) continue;
    if (rec[kIdOffset] == 'N') {
      s = change.MarkDeleted(table_, r);
    } else {
      any_live = true;
    }
  }
  if (s.ok()) s = change.Commit();
  QUILL_RETURN_IF_ERROR(Finish(s));
  if (any_live) return Finish(table_.Reindex());
  return Recreate();
}

Status TextBodyStore::Recreate() {
  table_.Close();
  return Finish(table_.Create());
}

Status TextBodyStore::Close() { return table_.Close(); }

}  // namespace quill::store
