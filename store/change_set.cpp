#include "store/change_set.h"

#include "store/byte_order.h"
#include "store/journal.h"
#include "store/record_table.h"

namespace quill::store {

std::string EncodeRowEntries(const std::vector<RowEntry>& entries) {
  std::string out(4, '\0');
  PutU32(out.data(), static_cast<uint32_t>(entries.size()));
  for (const RowEntry& e : entries) {
    char head[2] = {static_cast<char>(e.kind), static_cast<char>(e.table.size())};
    out.append(head, 2);
    out += e.table;
    char numbers[8];
    PutU32(numbers, e.row);
    PutU32(numbers + 4, static_cast<uint32_t>(e.fields.size()));
    out.append(numbers, 8);
    out += e.fields;
  }
  return out;
}

Status DecodeRowEntries(std::string_view payload, std::vector<RowEntry>* entries) {
  entries->clear();
  auto bad = [] { return Status::Corrupt("a journal record is not a list of row changes"); };
  if (payload.size() < 4) return bad();
  const uint32_t n = GetU32(payload.data());
  size_t at = 4;
  for (uint32_t i = 0; i < n; ++i) {
    if (payload.size() - at < 2) return bad();
    RowEntry e;
    const auto kind = static_cast<unsigned char>(payload[at]);
    const auto name_length = static_cast<unsigned char>(payload[at + 1]);
    if (kind != RowEntry::kFields && kind != RowEntry::kMark) return bad();
    e.kind = static_cast<RowEntry::Kind>(kind);
    at += 2;
    if (payload.size() - at < size_t{name_length} + 8) return bad();
    e.table.assign(payload.substr(at, name_length));
    at += name_length;
    e.row = GetU32(payload.data() + at);
    const uint32_t size = GetU32(payload.data() + at + 4);
    at += 8;
    if (payload.size() - at < size) return bad();
    e.fields.assign(payload.substr(at, size));
    at += size;
    entries->push_back(std::move(e));
  }
  if (at != payload.size()) return bad();
  return Status::Ok();
}

Status ChangeSet::Write(RecordTable& table, int64_t row, const void* record, int64_t* planned) {
  uint32_t appends_before = 0;
  for (const Step& s : steps_) appends_before += s.table == &table && s.appends;
  Step step{&table, {}, row == -1};
  QUILL_RETURN_IF_ERROR(table.PlanWrite(row, record, appends_before, &step.entry));
  if (planned != nullptr) *planned = static_cast<int64_t>(step.entry.row) - 1;
  steps_.push_back(std::move(step));
  return Status::Ok();
}

Status ChangeSet::MarkDeleted(RecordTable& table, int64_t row) {
  Step step{&table, {}, false};
  QUILL_RETURN_IF_ERROR(table.PlanMark(row, &step.entry));
  steps_.push_back(std::move(step));
  return Status::Ok();
}

Status ChangeSet::Commit() {
  if (steps_.empty()) return Status::Ok();
  Journal* journal = steps_.front().table->journal();
  std::vector<RowEntry> entries;
  std::vector<std::string> tables;
  for (const Step& s : steps_) {
    if (s.table->journal() != journal) {
      return Status::Invalid("one change may not write tables of two data sets");
    }
    entries.push_back(s.entry);
    tables.push_back(s.table->path());
  }
  if (journal != nullptr) QUILL_RETURN_IF_ERROR(journal->Append(EncodeRowEntries(entries), tables));

  Status result;
  for (const Step& s : steps_) {
    bool stored = false;
    Status a = s.table->Apply(s.entry, &stored);
    if (stored) ++stored_;
    if (a.ok()) continue;
    if (result.ok()) result = a;
    // A key refused by a unique index leaves the row stored: the change
    // goes on, as a single write does.
    if (a.code() == Status::kDuplicate) continue;
    if (journal != nullptr) journal->Poison(a);
    break;
  }
  return result;
}

}  // namespace quill::store
