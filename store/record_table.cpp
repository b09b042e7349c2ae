#include "store/record_table.h"

#include <charconv>
#include <cstdlib>
#include <cstring>

#include "store/byte_order.h"
#include "store/change_set.h"
#include "store/db_error.h"
#include "store/index_copy.h"
#include "store/index_file.h"
#include "store/journal.h"
#include "platform/sjis.h"
#include "store/table_file.h"

namespace quill::store {
namespace {

constexpr int kMaxStoredLength = 250;
constexpr size_t kMaxIndexes = TableCursor::kMaxIndexes;
// Find compares at most this many bytes of its value.
constexpr size_t kFindValueLimit = 88;

struct IndexEntry {
  std::string path;
  std::string expr;
  bool unique = false;
  int slot = 0;  // the cursor's slot once open
  // The index's entries held in memory, kept from its last close for the
  // next open in the same session of the data set's journal.
  std::unique_ptr<IndexCopy> kept;
  uint64_t kept_session = 0;
};

// Bytes of a field in the caller's record.
size_t MemorySize(const FieldDef& f) {
  if (f.type != 'N') return static_cast<size_t>(f.length);
  if (f.decimals > 0) return sizeof(double);
  return f.length >= 6 ? sizeof(int32_t) : sizeof(int16_t);
}

}  // namespace

struct RecordTable::Impl {
  FileEnv* env = nullptr;
  std::vector<FieldDef> fields;  // expanded: every field at most 250 bytes
  std::vector<size_t> mem_offsets;
  size_t record_size = 0;
  std::vector<IndexEntry> indexes;
  std::string path;
  std::unique_ptr<TableCursor> cursor;
  // A definition that cannot be stored; every open or create reports it.
  Status define_status;
  std::vector<uint32_t> found;  // the rows of the last search, kept for the next

  Status DefinitionError() const {
    if (env == nullptr) {
      return Status::Invalid("record table used before Define").WithDbCode(kDbCannotOpen);
    }
    return define_status;
  }

  std::vector<FieldDescriptor> Descriptors() const {
    std::vector<FieldDescriptor> out;
    for (const FieldDef& f : fields) {
      FieldDescriptor d;
      d.name = f.name;
      d.type = f.type == 'B' ? 'C' : f.type;
      d.length = static_cast<uint8_t>(f.length);
      d.decimals = f.decimals;
      out.push_back(std::move(d));
    }
    return out;
  }

  // The file must hold exactly the fields of the definition.
  Status CheckDefinition(const TableFile& t) const {
    const std::vector<FieldDescriptor>& have = t.descriptors();
    const std::vector<FieldDescriptor> want = Descriptors();
    auto mismatch = [&](const std::string& why) {
      return Status::Corrupt("table file " + path + " does not match its definition: " + why)
          .WithDbCode(kDbCannotOpen);
    };
    if (have.size() != want.size()) {
      return mismatch(std::to_string(have.size()) + " fields, expected " +
                      std::to_string(want.size()));
    }
    for (size_t i = 0; i < want.size(); ++i) {
      const FieldDescriptor& h = have[i];
      const FieldDescriptor& w = want[i];
      if (h.name != w.name || h.type != w.type || h.length != w.length ||
          h.decimals != w.decimals) {
        return mismatch("field " + std::to_string(i + 1) + " is " + h.name + " " + h.type + " " +
                        std::to_string(h.length) + "." + std::to_string(h.decimals) +
                        ", expected " + w.name + " " + w.type + " " + std::to_string(w.length) +
                        "." + std::to_string(w.decimals));
      }
    }
    return Status::Ok();
  }

  // Packs the caller's record into the field bytes of a row (without the
  // deleted flag).
  Status PackRecord(const char* rec, std::string* data) const {
    data->clear();
    for (size_t i = 0; i < fields.size(); ++i) {
      const FieldDef& f = fields[i];
      const char* m = rec + mem_offsets[i];
      const size_t len = static_cast<size_t>(f.length);
      switch (f.type) {
        case 'C':
        case 'D': {
          std::string t(m, FieldTextLength(m, len));
          // A lead byte with its trail byte cut off is dropped.
          if (!t.empty() && IsSjisLead(static_cast<unsigned char>(t.back())) &&
              SjisCharClass(t, static_cast<long>(t.size() - 1)) == 0) {
            t.pop_back();
          }
          PadToWidth(t, f.length);
          *data += t;
          break;
        }
        case 'B':
          data->append(m, len);
          break;
        case 'N': {
          // Printed right-aligned in the field's width with the field's
          // decimals, whatever the process locale.
          char buf[64 + kMaxStoredLength];
          std::to_chars_result res;
          if (f.decimals > 0) {
            double v;
            std::memcpy(&v, m, sizeof v);
            res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, f.decimals);
          } else if (f.length >= 6) {
            int32_t v;
            std::memcpy(&v, m, sizeof v);
            res = std::to_chars(buf, buf + sizeof buf, v);
          } else {
            int16_t v;
            std::memcpy(&v, m, sizeof v);
            res = std::to_chars(buf, buf + sizeof buf, v);
          }
          const size_t n = static_cast<size_t>(res.ptr - buf);
          // A number wider than its field would be stored cut: refuse it.
          if (res.ec != std::errc() || n > len) {
            return Status::Invalid("number too wide for field " + f.name + " of " + path)
                .WithDbCode(kDbShortWrite);
          }
          data->append(len - n, ' ');
          data->append(buf, n);
          break;
        }
      }
    }
    return Status::Ok();
  }

  // Unpacks a stored row (deleted flag at byte 0) into the caller's record.
  void UnpackRow(std::string_view row, char* rec) const {
    size_t r = 1;
    for (size_t i = 0; i < fields.size(); ++i) {
      const FieldDef& f = fields[i];
      char* m = rec + mem_offsets[i];
      const size_t len = static_cast<size_t>(f.length);
      switch (f.type) {
        case 'C':
        case 'D': {
          // The text without its trailing blanks, NUL padded.
          const size_t n = WithoutTrailingBlanks(row.substr(r, len)).size();
          std::memcpy(m, row.data() + r, n);
          std::memset(m + n, 0, len - n);
          break;
        }
        case 'B':
          std::memcpy(m, row.data() + r, len);
          break;
        case 'N': {
          const std::string t(row.substr(r, len));
          if (f.decimals > 0) {
            double v = DecimalValue(t);
            std::memcpy(m, &v, sizeof v);
          } else if (f.length >= 6) {
            int32_t v = static_cast<int32_t>(std::strtol(t.c_str(), nullptr, 10));
            std::memcpy(m, &v, sizeof v);
          } else {
            int16_t v = static_cast<int16_t>(std::strtol(t.c_str(), nullptr, 10));
            std::memcpy(m, &v, sizeof v);
          }
          break;
        }
      }
      r += len;
    }
  }

  // Gives the index just opened the entries kept from its last close,
  // when the session that kept them is still the one writing: no other
  // writer can have changed the file since.
  void TakeBack(IndexEntry& e, const Journal* journal) {
    std::unique_ptr<IndexCopy> kept = std::move(e.kept);
    if (kept && journal != nullptr && journal->active() && journal->session() == e.kept_session) {
      cursor->index(e.slot)->AdoptCopy(std::move(kept));
    }
  }
  void DropKept() {
    for (IndexEntry& e : indexes) e.kept.reset();
  }

  // The stored row count of the open table, as a check of a 0-based row.
  Status CheckRow(int64_t row) const {
    const int64_t count = cursor->table().row_count();
    if (row < 0 || row >= count) {
      return Status::OutOfRange("row " + std::to_string(row) + " of " + std::to_string(count) +
                                " in " + path)
          .WithDbCode(kDbRowOutOfRange);
    }
    return Status::Ok();
  }
};

RecordTable::RecordTable() : impl_(new Impl) {}

RecordTable::~RecordTable() {
  (void)Close();
  if (journal_ != nullptr) journal_->RemoveHolder(this);
}

void RecordTable::set_journal(Journal* journal) {
  if (journal_ != nullptr) journal_->RemoveHolder(this);
  journal_ = journal;
  if (journal_ != nullptr) journal_->AddHolder(this);
  if (impl_->cursor) (void)impl_->cursor->set_write_back(journal_ != nullptr);
}

Status RecordTable::WriteHeld() {
  return impl_->cursor ? impl_->cursor->table().WriteHeld() : Status::Ok();
}

void RecordTable::Define(FileEnv& env, std::string_view table_file_name,
                         std::vector<FieldDef> fields, std::vector<IndexDef> indexes,
                         std::string_view folder) {
  // A table still open is flushed and closed under its old definition.
  (void)Close();
  impl_ = std::make_unique<Impl>();
  Impl& d = *impl_;
  d.env = &env;
  d.path = std::string(folder) + std::string(table_file_name);

  auto refuse = [&](const std::string& why, int code) {
    if (d.define_status.ok()) {
      d.define_status = Status::Invalid("definition of " + d.path + ": " + why).WithDbCode(code);
    }
  };
  for (const FieldDef& f : fields) {
    if (f.name.empty()) {
      refuse("a field without a name", kDbCannotCreate);
      continue;
    }
    if (f.type != 'C' && f.type != 'D' && f.type != 'N' && f.type != 'B') {
      refuse("field " + f.name + " has unknown type", kDbCannotCreate);
      continue;
    }
    if (f.length < 1 || f.length > INT16_MAX || (f.type == 'N' && f.length > kMaxStoredLength)) {
      refuse("field " + f.name + " has a bad length", kDbCannotCreate);
      continue;
    }
    if (f.length <= kMaxStoredLength) {
      if (f.name.size() > 11) refuse("field name " + f.name + " is too long", kDbCannotCreate);
      d.fields.push_back(f);
      continue;
    }
    // NAME1, NAME2, ...: every part 250 bytes but the last, which holds the
    // rest (a whole multiple of 250 ends with a full part).
    int left = f.length;
    for (int part = 1; left > 0; ++part) {
      FieldDef p = f;
      p.name = f.name + std::to_string(part);
      p.length = left > kMaxStoredLength ? kMaxStoredLength : left;
      left -= p.length;
      if (p.name.size() > 10) refuse("field name " + p.name + " is too long", kDbCannotCreate);
      d.fields.push_back(std::move(p));
    }
  }
  if (d.fields.empty()) refuse("no fields", kDbCannotCreate);
  for (const FieldDef& f : d.fields) {
    d.mem_offsets.push_back(d.record_size);
    d.record_size += MemorySize(f);
  }

  if (indexes.size() > kMaxIndexes) refuse("more than 10 indexes", kDbTooManyIndexes);
  for (size_t i = 0; i < indexes.size() && i < kMaxIndexes; ++i) {
    IndexEntry e;
    e.path = std::string(folder) + indexes[i].file_name;
    e.expr = indexes[i].key_expr;
    e.unique = indexes[i].unique;
    d.indexes.push_back(std::move(e));
  }
}

Status RecordTable::Create() {
  Impl& d = *impl_;
  if (d.env == nullptr || !d.define_status.ok()) return d.DefinitionError();
  (void)Close();  // the old contents are being replaced
  d.DropKept();
  if (journal_ != nullptr) {
    QUILL_RETURN_IF_ERROR(journal_->Begin());
    QUILL_RETURN_IF_ERROR(journal_->Checkpoint());
  }

  std::unique_ptr<TableFile> t;
  QUILL_RETURN_IF_ERROR(TableFile::Create(*d.env, d.path, d.Descriptors(), &t));
  QUILL_RETURN_IF_ERROR(t->Close());
  QUILL_RETURN_IF_ERROR(Open());
  for (IndexEntry& e : d.indexes) {
    Status s = d.cursor->CreateIndex(e.path, e.expr, e.unique, &e.slot);
    if (!s.ok()) {
      (void)Close();
      return s;
    }
  }
  return Status::Ok();
}

Status RecordTable::Open() {
  Impl& d = *impl_;
  if (d.env == nullptr || !d.define_status.ok()) return d.DefinitionError();
  if (d.cursor) return Status::Ok();
  std::unique_ptr<TableFile> t;
  QUILL_RETURN_IF_ERROR(TableFile::Open(*d.env, d.path, &t));
  // A refused file has not been written: closing it leaves it as it was.
  QUILL_RETURN_IF_ERROR(d.CheckDefinition(*t));
  d.cursor = std::make_unique<TableCursor>(*d.env, std::move(t));
  for (IndexEntry& e : d.indexes) e.slot = 0;
  return d.cursor->set_write_back(journal_ != nullptr);
}

Status RecordTable::OpenIndexes() {
  Impl& d = *impl_;
  QUILL_RETURN_IF_ERROR(Open());
  for (IndexEntry& e : d.indexes) {
    if (e.slot != 0) continue;
    Status s = d.cursor->OpenIndex(e.path, e.expr, &e.slot);
    if (!s.ok()) {
      (void)Close();
      return s;
    }
    d.TakeBack(e, journal_);
  }
  return Status::Ok();
}

Status RecordTable::Close() {
  Impl& d = *impl_;
  if (!d.cursor) return Status::Ok();
  // Rows held back that cannot be written leave changes of the journal
  // out of the file: only a recovery completes them.
  Status held = d.cursor->table().WriteHeld();
  if (!held.ok() && journal_ != nullptr) journal_->Poison(held);
  // While the session lasts, the entries of each open index are kept for
  // its next open.
  const bool keep = held.ok() && journal_ != nullptr && journal_->active();
  for (IndexEntry& e : d.indexes) {
    if (e.slot == 0) continue;  // what was kept for it still holds
    e.kept.reset();
    if (keep) {
      e.kept = d.cursor->index(e.slot)->ReleaseCopy();
      e.kept_session = journal_->session();
    }
  }
  Status s = d.cursor->Close();
  if (!held.ok()) s = held;
  // Index pages or a header that did not go out whole: the next open
  // recovers from the journal and builds the indexes again.
  if (!s.ok() && journal_ != nullptr && journal_->active()) journal_->Poison(s);
  if (!s.ok()) d.DropKept();
  d.cursor.reset();
  for (IndexEntry& e : d.indexes) e.slot = 0;
  return s;
}

Status RecordTable::Read(int64_t row, void* record, bool* deleted) {
  Impl& d = *impl_;
  QUILL_RETURN_IF_ERROR(Open());
  QUILL_RETURN_IF_ERROR(d.CheckRow(row));
  TableFile& t = d.cursor->table();
  QUILL_RETURN_IF_ERROR(t.Read(static_cast<uint32_t>(row + 1)));
  d.UnpackRow(t.buffer(), static_cast<char*>(record));
  if (deleted != nullptr) *deleted = t.buffer()[0] == '*';
  return Status::Ok();
}

Status RecordTable::Write(int64_t row, const void* record, int64_t* written_row) {
  if (written_row != nullptr) *written_row = -1;
  ChangeSet change;
  int64_t planned = -1;
  QUILL_RETURN_IF_ERROR(change.Write(*this, row, record, &planned));
  Status s = change.Commit();
  // A failing index insert is reported, but the row is stored.
  if (change.stored() > 0 && written_row != nullptr) *written_row = planned;
  return s;
}

Status RecordTable::Delete(int64_t row) {
  ChangeSet change;
  QUILL_RETURN_IF_ERROR(change.MarkDeleted(*this, row));
  return change.Commit();
}

Status RecordTable::PlanWrite(int64_t row, const void* record, uint32_t appends_before,
                              RowEntry* entry) {
  Impl& d = *impl_;
  QUILL_RETURN_IF_ERROR(OpenIndexes());
  entry->kind = RowEntry::kFields;
  entry->table = file_name();
  QUILL_RETURN_IF_ERROR(d.PackRecord(static_cast<const char*>(record), &entry->fields));
  if (row == -1) {
    const uint64_t r = uint64_t{d.cursor->table().row_count()} + 1 + appends_before;
    if (r > UINT32_MAX) {
      return Status::OutOfRange("row count limit of " + d.path).WithDbCode(kDbShortWrite);
    }
    entry->row = static_cast<uint32_t>(r);
    return Status::Ok();
  }
  QUILL_RETURN_IF_ERROR(d.CheckRow(row));
  entry->row = static_cast<uint32_t>(row + 1);
  return Status::Ok();
}

Status RecordTable::PlanMark(int64_t row, RowEntry* entry) {
  Impl& d = *impl_;
  QUILL_RETURN_IF_ERROR(Open());
  QUILL_RETURN_IF_ERROR(d.CheckRow(row));
  entry->kind = RowEntry::kMark;
  entry->table = file_name();
  entry->row = static_cast<uint32_t>(row + 1);
  entry->fields.clear();
  return Status::Ok();
}

Status RecordTable::Apply(const RowEntry& entry, bool* stored) {
  Impl& d = *impl_;
  *stored = false;
  if (entry.kind == RowEntry::kMark) {
    QUILL_RETURN_IF_ERROR(Open());
    QUILL_RETURN_IF_ERROR(d.CheckRow(int64_t{entry.row} - 1));
    Status s = d.cursor->MarkDeleted(entry.row);
    *stored = s.ok();
    return s;
  }
  QUILL_RETURN_IF_ERROR(OpenIndexes());
  if (entry.row == d.cursor->table().row_count() + 1) {
    uint32_t r = 0;
    Status s = d.cursor->Append(entry.fields, &r);
    *stored = r != 0;
    return s;
  }
  QUILL_RETURN_IF_ERROR(d.CheckRow(int64_t{entry.row} - 1));
  return d.cursor->Update(entry.row, entry.fields, stored);
}

Status RecordTable::SelectIndex(std::string_view key_expr) {
  QUILL_RETURN_IF_ERROR(UseIndex(key_expr));
  return impl_->cursor->GoFirst();
}

Status RecordTable::UseIndex(std::string_view key_expr) {
  Impl& d = *impl_;
  IndexEntry* entry = nullptr;
  for (IndexEntry& e : d.indexes) {
    if (e.expr == key_expr) {
      entry = &e;
      break;
    }
  }
  if (entry == nullptr) {
    return Status::Invalid("no index on \"" + std::string(key_expr) + "\" for " + d.path)
        .WithDbCode(kDbBadKeyExpression);
  }
  QUILL_RETURN_IF_ERROR(Open());
  if (entry->slot == 0) {
    Status s = d.cursor->OpenIndex(entry->path, entry->expr, &entry->slot);
    if (!s.ok()) {
      (void)Close();
      return s;
    }
    d.TakeBack(*entry, journal_);
  }
  return d.cursor->Select(entry->slot);
}

Status RecordTable::Search(std::string_view key_expr, std::string_view value, size_t max,
                           std::vector<int64_t>* rows) {
  Impl& d = *impl_;
  rows->clear();
  QUILL_RETURN_IF_ERROR(UseIndex(key_expr));
  std::vector<uint32_t>& found = d.found;
  QUILL_RETURN_IF_ERROR(d.cursor->Search(value, max, &found));
  rows->resize(found.size());
  for (size_t i = 0; i < found.size(); ++i) (*rows)[i] = static_cast<int64_t>(found[i]) - 1;
  return Status::Ok();
}

Status RecordTable::Find(std::string_view key_expr, std::string_view value, int64_t* row) {
  Impl& d = *impl_;
  *row = -1;
  QUILL_RETURN_IF_ERROR(UseIndex(key_expr));
  uint32_t r = 0;
  QUILL_RETURN_IF_ERROR(d.cursor->Seek(value.substr(0, kFindValueLimit), &r));
  if (r != 0) *row = static_cast<int64_t>(r) - 1;
  return Status::Ok();
}

Status RecordTable::KeyOrder(std::string_view key_expr, std::vector<int64_t>* rows) {
  Impl& d = *impl_;
  rows->clear();
  QUILL_RETURN_IF_ERROR(UseIndex(key_expr));
  std::vector<uint32_t>& all = d.found;
  QUILL_RETURN_IF_ERROR(d.cursor->index(d.cursor->selected())->AllRows(&all));
  rows->resize(all.size());
  for (size_t i = 0; i < all.size(); ++i) (*rows)[i] = static_cast<int64_t>(all[i]) - 1;
  return Status::Ok();
}

Status RecordTable::ReadRows(int64_t first, int64_t count, const PieceVisitor& fn) {
  Impl& d = *impl_;
  QUILL_RETURN_IF_ERROR(Open());
  if (count <= 0) return Status::Ok();
  QUILL_RETURN_IF_ERROR(d.CheckRow(first));
  QUILL_RETURN_IF_ERROR(d.CheckRow(first + count - 1));
  return d.cursor->table().ReadRows(
      static_cast<uint32_t>(first + 1), static_cast<uint32_t>(count),
      [&](uint32_t r, std::string_view rows, uint32_t n) {
        return fn(static_cast<int64_t>(r) - 1, rows, n);
      });
}

bool RecordTable::Eof() const { return !impl_->cursor || impl_->cursor->eof(); }

Status RecordTable::Reindex() {
  Impl& d = *impl_;
  if (journal_ != nullptr) {
    QUILL_RETURN_IF_ERROR(journal_->Begin());
    QUILL_RETURN_IF_ERROR(journal_->Checkpoint());
  }
  Status s = Open();
  const bool opened = s.ok();
  // Every index is built anew from the rows, so one that does not open
  // (missing, cut short, on another expression) is simply created again.
  for (IndexEntry& e : d.indexes) {
    if (!s.ok()) break;
    if (e.slot != 0) continue;
    if (!d.cursor->OpenIndex(e.path, e.expr, &e.slot).ok()) {
      s = d.cursor->CreateIndex(e.path, e.expr, e.unique, &e.slot);
    }
  }
  if (s.ok()) s = d.cursor->Pack();
  if (s.ok()) s = d.cursor->RebuildIndexes();
  Status c = Close();
  if (opened && !s.ok()) {
    // The rows may have moved while an index still names the old ones:
    // no index is left to serve them. A missing index is built again by
    // the next Reindex, or by the data set's next open.
    for (const IndexEntry& e : d.indexes) {
      Status r = d.env->Remove(e.path);
      if (!r.ok() && !r.IsNotFound() && journal_ != nullptr) journal_->Poison(r);
    }
  }
  // Rows may have moved under an index that was not built again.
  if (!s.ok()) d.DropKept();
  return s.ok() ? c : s;
}

Status RecordTable::Recover(const std::vector<RowEntry>& entries) {
  Impl& d = *impl_;
  if (d.env == nullptr || !d.define_status.ok()) return d.DefinitionError();
  (void)Close();
  d.DropKept();  // the indexes are built anew
  // A replacement that never took the table's place is not part of it.
  QUILL_RETURN_IF_ERROR(TableFile::RemoveLeftReplacements(*d.env, d.path));
  if (!d.env->Exists(d.path)) {
    if (entries.empty()) return Status::Ok();
    return Status::Corrupt("the journal holds changes to " + d.path + ", which is missing");
  }
  std::unique_ptr<TableFile> t;
  QUILL_RETURN_IF_ERROR(TableFile::Open(*d.env, d.path, &t, /*repair=*/true));
  QUILL_RETURN_IF_ERROR(d.CheckDefinition(*t));
  for (const RowEntry& e : entries) {
    Status s = e.kind == RowEntry::kMark ? t->MarkDeleted(e.row) : t->PutRow(e.row, e.fields);
    if (s.code() == Status::kOutOfRange || s.code() == Status::kInvalid) {
      return Status::Corrupt("the journal does not fit " + d.path + ": " + s.message())
          .WithDbCode(s.db_code());
    }
    QUILL_RETURN_IF_ERROR(s);
  }
  TableCursor cursor(*d.env, std::move(t));
  for (const IndexEntry& e : d.indexes) {
    int slot = 0;
    QUILL_RETURN_IF_ERROR(cursor.CreateIndex(e.path, e.expr, e.unique, &slot));
  }
  return cursor.Close();
}

Status RecordTable::CheckIndexes(bool* agree, std::string* damaged) {
  Impl& d = *impl_;
  constexpr uint64_t kIndexPage = 512;
  *agree = true;
  auto disagree = [&](const IndexEntry& e) {
    *agree = false;
    if (damaged != nullptr) *damaged = e.path;
    return Close();
  };
  QUILL_RETURN_IF_ERROR(Open());
  QUILL_RETURN_IF_ERROR(Close());
  for (const IndexEntry& e : d.indexes) {
    std::unique_ptr<RandomFile> f;
    Status s = d.env->Open(e.path, OpenMode::kReadOnly, &f);
    if (s.IsNotFound()) return disagree(e);
    QUILL_RETURN_IF_ERROR(s);
    uint64_t size = 0;
    char h[8] = {};
    size_t got = 0;
    s = f->Size(&size);
    if (s.ok()) s = f->ReadAt(0, h, sizeof h, &got);
    Status c = f->Close();
    QUILL_RETURN_IF_ERROR(s.ok() ? c : s);
    const uint64_t root = GetU32(h), next_free = GetU32(h + 4);
    if (got < sizeof h || next_free < 2 || root == 0 || root >= next_free ||
        next_free * kIndexPage != size) {
      return disagree(e);
    }
  }
  // Each index is walked whole: pages that do not form a tree (shared,
  // looping or out of place) or entries for rows the table does not have
  // would fail or mislead every search until the index is built again.
  QUILL_RETURN_IF_ERROR(Open());
  const uint32_t rows = d.cursor->table().row_count();
  std::vector<uint32_t> found;
  for (IndexEntry& e : d.indexes) {
    Status s = e.slot != 0 ? Status::Ok() : d.cursor->OpenIndex(e.path, e.expr, &e.slot);
    if (s.ok()) s = d.cursor->index(e.slot)->AllRows(&found);
    if (s.code() == Status::kCorrupt || s.code() == Status::kInvalid) return disagree(e);
    if (!s.ok()) {
      (void)Close();
      return s;
    }
    for (uint32_t r : found) {
      if (r > rows) return disagree(e);
    }
  }
  return Close();
}

Status RecordTable::RowCount(int64_t* count) {
  *count = 0;
  QUILL_RETURN_IF_ERROR(Open());
  *count = impl_->cursor->table().row_count();
  return Status::Ok();
}

size_t RecordTable::RecordSize() const { return impl_->record_size; }

const std::vector<FieldDef>& RecordTable::expanded_fields() const { return impl_->fields; }

const std::string& RecordTable::path() const { return impl_->path; }

std::string RecordTable::file_name() const {
  const std::string& p = impl_->path;
  const size_t slash = p.rfind('/');
  return slash == std::string::npos ? p : p.substr(slash + 1);
}

std::vector<std::string> RecordTable::index_paths() const {
  std::vector<std::string> out;
  for (const IndexEntry& e : impl_->indexes) out.push_back(e.path);
  return out;
}

bool RecordTable::is_open() const { return impl_->cursor != nullptr; }

}  // namespace quill::store
