#include "store/journal.h"

#include <array>

#include "store/byte_order.h"

namespace quill::store {
namespace {

constexpr uint32_t kMagic = 0x4A52514C;
constexpr size_t kRecordHeader = 16;

// CRC-32 of the IEEE polynomial (as zlib computes it), eight bytes a step
// through eight tables: a journal record holds whole rows, and every
// change's record goes through here.
uint32_t Crc32(std::string_view data) {
  static const std::array<std::array<uint32_t, 256>, 8> tables = [] {
    std::array<std::array<uint32_t, 256>, 8> t{};
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[0][i] = c;
    }
    for (uint32_t i = 0; i < 256; ++i) {
      for (size_t k = 1; k < 8; ++k) t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF];
    }
    return t;
  }();
  const auto* p = reinterpret_cast<const unsigned char*>(data.data());
  size_t n = data.size();
  uint32_t c = 0xFFFFFFFFu;
  for (; n >= 8; n -= 8, p += 8) {
    const uint32_t lo = c ^ (uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 |
                             uint32_t{p[3]} << 24);
    const uint32_t hi =
        uint32_t{p[4]} | uint32_t{p[5]} << 8 | uint32_t{p[6]} << 16 | uint32_t{p[7]} << 24;
    c = tables[7][lo & 0xFF] ^ tables[6][(lo >> 8) & 0xFF] ^ tables[5][(lo >> 16) & 0xFF] ^
        tables[4][lo >> 24] ^ tables[3][hi & 0xFF] ^ tables[2][(hi >> 8) & 0xFF] ^
        tables[1][(hi >> 16) & 0xFF] ^ tables[0][hi >> 24];
  }
  for (; n > 0; --n, ++p) c = tables[0][(c ^ *p) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

}  // namespace

Journal::~Journal() {
  if (file_) (void)file_->Close();
}

void Journal::SetFolder(std::string_view folder) {
  // A session still active is left as a crash would leave it: the next
  // open of its data set recovers it.
  if (file_) (void)file_->Close();
  file_.reset();
  folder_ = std::string(folder);
  end_ = 0;
  sequence_ = 1;
  cut_pending_ = false;
  touched_.clear();
  poisoned_ = Status::Ok();
  journal_unsynced_ = false;
  unsynced_tables_.clear();
}

Status Journal::SyncFile(const std::string& path) {
  if (!env_.Exists(path)) return Status::Ok();
  std::unique_ptr<RandomFile> f;
  QUILL_RETURN_IF_ERROR(env_.Open(path, OpenMode::kReadOnly, &f));
  Status s = f->Sync();
  Status c = f->Close();
  return s.ok() ? c : s;
}

Status Journal::Begin() {
  if (file_) return Status::Ok();
  const std::string p = path();
  if (env_.IsLink(p)) return LinkRefused(p);
  if (env_.Exists(p)) {
    return Status::Corrupt("the data set in " + folder_ +
                           " has the journal of a session that did not end cleanly; "
                           "open the data set again to recover it");
  }
  std::unique_ptr<RandomFile> f;
  QUILL_RETURN_IF_ERROR(env_.Open(p, OpenMode::kCreateNew, &f));
  Status s = f->Sync();
  if (s.ok()) s = env_.SyncDir(folder_.empty() ? "." : folder_);
  if (!s.ok()) {
    (void)f->Close();
    (void)env_.Remove(p);
    return s;
  }
  file_ = std::move(f);
  ++session_;
  end_ = 0;
  cut_pending_ = false;
  touched_.clear();
  return Status::Ok();
}

Status Journal::Append(std::string_view payload, const std::vector<std::string>& tables) {
  if (!poisoned_.ok()) return poisoned_;
  QUILL_RETURN_IF_ERROR(Begin());
  if (cut_pending_) {
    QUILL_RETURN_IF_ERROR(file_->Truncate(end_));
    cut_pending_ = false;
  }
  if (end_ >= kCheckpointBytes) QUILL_RETURN_IF_ERROR(Checkpoint());
  std::string record(kRecordHeader, '\0');
  PutU32(record.data(), kMagic);
  PutU32(record.data() + 4, sequence_);
  PutU32(record.data() + 8, static_cast<uint32_t>(payload.size()));
  PutU32(record.data() + 12, Crc32(payload));
  record.append(payload);
  Status s = file_->WriteAt(end_, record.data(), record.size());
  const bool written = s.ok();
  if (s.ok() && sync_each_change_) s = file_->Sync();
  if (!s.ok()) {
    // The record may be there in part, or whole but not durable: it is
    // cut off before anything else goes into the journal.
    cut_pending_ = !file_->Truncate(end_).ok();
    if (cut_pending_ && written) {
      // A whole record left in place would be replayed by the open after a
      // kill, though its change was refused: without its magic it ends the
      // journal. When even that cannot be written the change stays in the
      // journal; nothing may follow it, and the next open completes it.
      static constexpr char kNoMagic[4] = {};
      if (!file_->WriteAt(end_, kNoMagic, sizeof kNoMagic).ok()) Poison(s);
    }
    return s;
  }
  end_ += record.size();
  ++sequence_;
  // A synced record makes those before it durable too.
  journal_unsynced_ = !sync_each_change_;
  touched_.insert(tables.begin(), tables.end());
  return Status::Ok();
}

Status Journal::WriteHeldRows() {
  for (HeldWrites* h : holders_) {
    Status s = h->WriteHeld();
    if (!s.ok()) {
      Poison(s);
      return s;
    }
  }
  return Status::Ok();
}

Status Journal::Checkpoint() {
  if (!poisoned_.ok()) return poisoned_;
  if (!file_ || (end_ == 0 && !cut_pending_)) return Status::Ok();
  // The records go: the rows they cover must be in the tables' files.
  QUILL_RETURN_IF_ERROR(WriteHeldRows());
  if (sync_each_change_) {
    unsynced_tables_.insert(touched_.begin(), touched_.end());
    for (const std::string& t : unsynced_tables_) QUILL_RETURN_IF_ERROR(SyncFile(t));
    unsynced_tables_.clear();
  } else {
    // Their changes are no longer in the journal: the next Sync makes the
    // tables themselves durable.
    unsynced_tables_.insert(touched_.begin(), touched_.end());
  }
  QUILL_RETURN_IF_ERROR(file_->Truncate(0));
  if (sync_each_change_) {
    QUILL_RETURN_IF_ERROR(file_->Sync());
    journal_unsynced_ = false;
  }
  end_ = 0;
  cut_pending_ = false;
  touched_.clear();
  return Status::Ok();
}

Status Journal::Sync() {
  // A change that was not applied whole is in the journal as well: making
  // it durable lets the next open complete it even after a power cut.
  while (!unsynced_tables_.empty()) {
    QUILL_RETURN_IF_ERROR(SyncFile(*unsynced_tables_.begin()));
    unsynced_tables_.erase(unsynced_tables_.begin());
  }
  if (file_ && journal_unsynced_) {
    QUILL_RETURN_IF_ERROR(file_->Sync());
    journal_unsynced_ = false;
  }
  return Status::Ok();
}

void Journal::Poison(const Status& why) {
  if (!poisoned_.ok()) return;
  poisoned_ = Status::IoError("a change to the data set in " + folder_ +
                              " was not written whole (" + why.message() +
                              "); it is completed when the data set is opened again")
                  .WithDbCode(why.db_code());
}

Status Journal::Finish(const std::vector<std::string>& files) {
  // A change not applied whole must be completed from the journal first.
  if (!poisoned_.ok()) return poisoned_;
  for (const std::string& f : files) QUILL_RETURN_IF_ERROR(SyncFile(f));
  // Files that took a table's place are in the folder before the journal
  // is gone from it.
  QUILL_RETURN_IF_ERROR(env_.SyncDir(folder_.empty() ? "." : folder_));
  Status s = env_.Remove(path());
  if (!s.ok() && !s.IsNotFound()) return s;
  s = env_.SyncDir(folder_.empty() ? "." : folder_);
  if (file_) (void)file_->Close();
  file_.reset();
  end_ = 0;
  cut_pending_ = false;
  touched_.clear();
  journal_unsynced_ = false;
  unsynced_tables_.clear();
  return s;
}

Status Journal::ReadRecords(std::vector<std::string>* payloads) {
  payloads->clear();
  std::string data;
  Status s = env_.ReadFile(path(), &data);
  if (s.IsNotFound()) return Status::Ok();
  QUILL_RETURN_IF_ERROR(s);
  size_t at = 0;
  uint32_t last = 0;
  while (data.size() - at >= kRecordHeader) {
    const char* h = data.data() + at;
    const uint32_t sequence = GetU32(h + 4);
    const uint32_t n = GetU32(h + 8);
    if (GetU32(h) != kMagic) break;
    if (!payloads->empty() && sequence != last + 1) break;
    if (n > data.size() - at - kRecordHeader) break;
    std::string_view payload(h + kRecordHeader, n);
    if (Crc32(payload) != GetU32(h + 12)) break;
    payloads->emplace_back(payload);
    last = sequence;
    at += kRecordHeader + n;
  }
  return Status::Ok();
}

}  // namespace quill::store
