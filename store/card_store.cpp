#include "store/card_store.h"

#include "platform/messages.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>

#include "store/byte_order.h"
#include "store/change_set.h"
#include "store/recovery.h"
#include "platform/sjis.h"

namespace quill::store {

namespace {

constexpr char kCardTableFile[] = "quilbo7.dat";
constexpr char kTreeFile[] = "quilbo7.tre";
constexpr char kKubunKey[] = "KUBUN";
constexpr char kTextIdKey[] = "TEXT_ID";
constexpr char kDefaultFontName[] = "default";
constexpr int8_t kDefaultColumnWidth = 7;
constexpr size_t kTitleLimit = 40;
constexpr size_t kNoLimit = std::numeric_limits<size_t>::max();

// The text of a fixed field: its bytes up to the first NUL or n.
std::string FieldText(const char* p, size_t n) { return std::string(p, FieldTextLength(p, n)); }

// Stores text, cut to `limit` bytes on a character boundary, into a field
// of n bytes, NUL padded.
void PutText(char* p, size_t n, std::string_view text, size_t limit) {
  std::string t(CText(text));
  TruncateSjis(t, std::min(limit, n));
  std::memset(p, 0, n);
  std::memcpy(p, t.data(), t.size());
}

std::string FormatCardId(uint32_t ctime, uint32_t ctick) {
  char buf[24];
  std::snprintf(buf, sizeof buf, "%08X%08X", static_cast<unsigned>(ctime),
                static_cast<unsigned>(ctick));
  return buf;
}

Status First(Status a, Status b) { return a.ok() ? b : a; }

}  // namespace

std::vector<FieldDef> CardTableFields() {
  return {{"KUBUN", 'C', 100, 0}, {"TITLE", 'C', 52, 0}, {"TEXT_ID", 'C', 20, 0},
          {"CTIME", 'B', 4, 0},   {"CMTIME", 'B', 4, 0}, {"UTIME", 'B', 4, 0},
          {"YOBI", 'B', 100, 0}};
}

std::vector<IndexDef> CardTableIndexes() {
  return {{"quilbo7.ix0", kKubunKey, false}, {"quilbo7.ix1", kTextIdKey, false}};
}

// ---------------------------------------------------------------------------
// CardStore

CardStore::CardStore(FileEnv& env, std::string program_folder, CardStoreOptions options)
    : env_(env), program_folder_(std::move(program_folder)), journal_(env), texts_(env),
      values_(env), durability_(options.durability) {
  if (!program_folder_.empty() && program_folder_.back() != '/') program_folder_ += '/';
  for (RecordTable* t : Tables()) t->set_journal(&journal_);
  journal_.set_sync_each_change(durability_ == Durability::kSyncEachChange);
}

Status CardStore::SetDurability(Durability d) {
  durability_ = d;
  journal_.set_sync_each_change(d == Durability::kSyncEachChange);
  // Back to syncing each change: what was written before is made durable
  // now (or, when that fails, with the next change or the close).
  return d == Durability::kSyncEachChange ? journal_.Sync() : Status::Ok();
}

Status CardStore::Sync() { return journal_.Sync(); }

SyncBatch::SyncBatch(CardStore& store) : store_(&store) {
  if (store.durability() != Durability::kSyncEachChange) {
    store_ = nullptr;
    return;
  }
  (void)store.SetDurability(Durability::kKillSafe);
}

SyncBatch::~SyncBatch() { (void)End(); }

Status SyncBatch::End() {
  if (store_ == nullptr) return Status::Ok();
  CardStore* store = store_;
  store_ = nullptr;
  return store->SetDurability(Durability::kSyncEachChange);
}

CardStore::~CardStore() { (void)Close(); }

std::vector<RecordTable*> CardStore::Tables() {
  return {&cards_, &texts_.table(), &values_.table()};
}

void CardStore::DefineCardTable() {
  cards_.Define(env_, kCardTableFile, CardTableFields(), CardTableIndexes(), data_path_);
}

Status CardStore::Open(bool probe, std::string_view folder) {
  // A failed close leaves its journal to that set's next open.
  (void)Close();
  data_path_ = folder.empty() ? program_folder_ : std::string(folder);
  if (!data_path_.empty() && data_path_.back() != '/') data_path_ += '/';
  journal_.SetFolder(data_path_);
  DefineCardTable();
  texts_.Define(data_path_);
  values_.Define(data_path_);
  // A journal left behind: the last session ended in a crash. (A probe of
  // a folder without a card table touches nothing.)
  const bool crashed = journal_.Exists();
  if (crashed && (!probe || env_.Exists(cards_.path()))) {
    QUILL_RETURN_IF_ERROR(RecoverDataSet(journal_, Tables()));
  }
  QUILL_RETURN_IF_ERROR(OpenOrCreateTable(env_, cards_, probe));
  QUILL_RETURN_IF_ERROR(texts_.Open(probe, data_path_));
  // A set without its value store is still a set: the store is made
  // empty, also when probing.
  QUILL_RETURN_IF_ERROR(values_.Open(false, data_path_));
  if (crashed) return Status::Ok();  // every index was rebuilt
  std::vector<std::string> rebuilt;
  Status s = RepairIndexes(journal_, Tables(), &rebuilt);
  if (!rebuilt.empty() && index_notice_) index_notice_(rebuilt);
  return s;
}

Status CardStore::Close() {
  Status s = cards_.Close();
  s = First(s, texts_.Close());
  s = First(s, values_.Close());
  // A table that did not close cleanly is left to the next open's recovery.
  if (s.ok() && journal_.active()) s = journal_.Finish(DataSetFiles(Tables()));
  return s;
}

Status CardStore::Recreate() {
  cards_.Close();
  Status s = cards_.Create();
  s = First(s, cards_.Close());
  QUILL_RETURN_IF_ERROR(s);
  QUILL_RETURN_IF_ERROR(texts_.Recreate());
  return values_.Recreate();
}

bool CardStore::DiskSpaceOk() {
  space_checked_ = DriveFreeBytes(env_, data_path_) >= static_cast<double>(kMinFreeBytes);
  return space_checked_;
}

Status CardStore::RebuildTreeFile() {
  std::vector<int64_t> rows;
  Status s = cards_.Search(kKubunKey, "", kNoLimit, &rows);
  std::string list, last;
  char rec[kCardRecordSize];
  for (size_t i = 0; s.ok() && i < rows.size(); ++i) {
    s = cards_.Read(rows[i], rec);
    if (!s.ok()) break;
    if (std::memcmp(rec + card_row::kYobi + card_row::kDeleted, "DeL", 3) == 0) continue;
    std::string path = FieldText(rec + card_row::kKubun, card_row::kKubunLength);
    if (path == last) continue;
    list += path;
    list += "\r\n";
    last = std::move(path);
  }
  s = First(s, cards_.Close());
  QUILL_RETURN_IF_ERROR(s);
  return env_.WriteFileAtomic(data_path_ + kTreeFile, list);
}

Status CardStore::EnsureTreeFile() {
  std::unique_ptr<RandomFile> f;
  if (!env_.Open(data_path_ + kCardTableFile, OpenMode::kReadOnly, &f).ok()) return Status::Ok();
  f->Close();
  if (env_.Open(data_path_ + kTreeFile, OpenMode::kReadOnly, &f).ok()) {
    f->Close();
    return Status::Ok();
  }
  return RebuildTreeFile();
}

double DriveFreeBytes(FileEnv& env, const std::string& path) {
  uint64_t bytes = 0;
  if (!env.FreeBytes(path.empty() ? "." : path, &bytes).ok()) return -1.0;
  return static_cast<double>(bytes);
}

std::string MakeDefaultTitle(std::string_view text) {
  // The text ends at NUL or 0x1A.
  size_t end = text.find_first_of(std::string_view("\0\x1a", 2));
  std::string_view t = text.substr(0, end);
  size_t i = 0;
  // Blank lines, blanks and full-width blanks before the first content.
  while (i < t.size()) {
    unsigned char c = static_cast<unsigned char>(t[i]);
    if (c == ' ' || c == '\r' || c == '\n') {
      ++i;
    } else if (c == 0x81 && i + 1 < t.size() && static_cast<unsigned char>(t[i + 1]) == 0x40) {
      i += 2;
    } else {
      break;
    }
  }
  std::string title;
  while (i < t.size() && t[i] != '\r' && t[i] != '\n') {
    size_t width = IsSjisLead(static_cast<unsigned char>(t[i])) && i + 1 < t.size() ? 2 : 1;
    if (title.size() + width > kTitleLimit) break;
    title.append(t.substr(i, width));
    i += width;
  }
  return title.empty() ? "New Text" : title;
}

// ---------------------------------------------------------------------------
// CardRecord

CardRecord::CardRecord(CardStore& store) : store_(store) {
  column_widths.fill(kDefaultColumnWidth);
}

Status CardRecord::CloseUnlessKept(Status s) {
  if (keep_open) return s;
  return First(s, store_.cards().Close());
}

Status CardRecord::Open(bool probe, std::string_view folder_path) {
  return store_.Open(probe, folder_path);
}

Status CardRecord::Close() {
  keep_open = false;
  store_.texts().set_keep_open(false);
  Status s = store_.cards().Close();
  s = First(s, store_.texts().Close());
  return First(s, store_.values().Close());
}

Status CardRecord::SetOpenFlag(bool flag) {
  keep_open = flag;
  // The texts read by the loop keep their table open as well.
  store_.texts().set_keep_open(flag);
  if (flag) return store_.cards().Open();
  Status s = First(store_.cards().Close(), store_.texts().Close());
  return First(s, store_.values().Close());
}

void CardRecord::Clear() {
  row = -1;
  is_new = true;
  folder.clear();
  title.clear();
  text.clear();
  source = "Quillbox";
  id.clear();
  one_shot_paste = 1;
  ctime = ctick = utime = 0;
  deleted = 0;
  icon = 0;
  kind = 0;
  two_column = false;
  auto_title = store_.new_card_auto_title();
  font_name.clear();
  locked = false;
  font_charset = 128;
  column_widths.fill(kDefaultColumnWidth);
  text_guard = kTextLoaded;
  // A new card starts from a clean row, not from the last card's bytes.
  position = 0;
  row_image.fill(0);
}

Status CardRecord::ReadRowImage(int64_t r) { return store_.cards().Read(r, row_image.data()); }

void CardRecord::DecodeRowImage() {
  using namespace card_row;
  const char* r = row_image.data();
  const char* y = r + kYobi;
  folder = FieldText(r + kKubun, kKubunLength);
  title = FieldText(r + kTitle, kTitleLength);
  TruncateSjis(title, kTitleStored);
  source = FieldText(y + kSource, 28);
  one_shot_paste = y[kOneShot] == 1 ? 1 : 0;
  kind = CardKindOf(y);
  id = FieldText(r + kTextId, kTextIdLength);
  position = GetU32(y + kPosition);
  ctime = GetU32(r + kCtime);
  ctick = GetU32(r + kCmtime);
  utime = GetU32(r + kUtime);
  two_column = y[kTwoColumn] == '@';
  auto_title = y[kAutoTitle] == 'A';
  if (y[kFontMark] == 'f' || y[kFontMark] == 'F') {
    font_name = FieldText(y + kFontName, kFontNameLength + 1);
    font_size = static_cast<unsigned char>(y[kFontSize]);
    font_color = GetU32(y + kFontColor);
    unsigned char style = static_cast<unsigned char>(y[kFontStyle]);
    bold = style & 1;
    italic = style & 2;
    underline = style & 4;
    font_charset = y[kFontMark] == 'f' ? static_cast<unsigned char>(y[kFontCharset]) : 128;
  } else {
    font_name.clear();
  }
  if (y[kWidthsMark] == 'S') {
    for (size_t i = 0; i < kWidthCount; ++i) column_widths[i] = static_cast<int8_t>(y[kWidths + i]);
  } else {
    column_widths.fill(kDefaultColumnWidth);
  }
  icon = CardIconOf(y);
  locked = y[kLock] == 'L';
  is_new = false;
  deleted = CardInBin(y) ? 'D' : 0;
}

void CardRecord::EncodeRowImage() {
  using namespace card_row;
  char* r = row_image.data();
  char* y = r + kYobi;
  PutText(r + kKubun, kKubunLength, folder, kKubunLength);
  PutText(r + kTitle, kTitleLength, title, kTitleStored);
  y[kIcon] = static_cast<char>(icon);
  y[kLock] = locked ? 'L' : 0;
  if (!font_name.empty()) {
    y[kFontMark] = 'f';
    PutText(y + kFontName, kFontNameLength + 1, font_name, kFontNameLength);
    y[kFontSize] = static_cast<char>(font_size);
    PutU32(y + kFontColor, font_color);
    y[kFontStyle] = static_cast<char>((bold ? 1 : 0) | (italic ? 2 : 0) | (underline ? 4 : 0));
    y[kFontCharset] = static_cast<char>(font_charset);
  } else {
    y[kFontMark] = ' ';
    PutText(y + kFontName, kFontNameLength + 1, kDefaultFontName, kFontNameLength);
    y[kFontSize] = 9;
  }
  std::memcpy(y + kKind, kind == 'C' ? "CSV" : kind == 'H' ? "HTM" : "TXT", 3);
  y[kAutoTitle] = auto_title ? 'A' : ' ';
  y[kTwoColumn] = two_column ? '@' : ' ';
  y[kWidthsMark] = 'S';
  for (size_t i = 0; i < kWidthCount; ++i) y[kWidths + i] = static_cast<char>(column_widths[i]);
  PutU32(r + kCtime, ctime);
  PutU32(r + kCmtime, ctick);
  PutU32(r + kUtime, utime);
  std::memcpy(y + kDeleted, "   ", 3);
  PutText(r + kTextId, kTextIdLength, id, kTextIdLength);
  PutU32(y + kPosition, position);
  if (!is_folder()) {
    y[kOneShot] = static_cast<char>(one_shot_paste);
    // The source is cut on a character boundary and ends with a NUL.
    PutText(y + kSource, kSourceLength + 1, source, kSourceLength);
  }
}

Status CardRecord::ChooseUniqueId() {
  // Ids never repeat: an id already in the table (two cards in the same
  // millisecond, or a creation time given by the caller) moves the tick
  // on until the id is free.
  for (;;) {
    id = FormatCardId(ctime, ctick);
    int64_t found = -1;
    QUILL_RETURN_IF_ERROR(store_.cards().Find(kTextIdKey, id, &found));
    if (found < 0) return Status::Ok();
    ++ctick;
  }
}

Status CardRecord::Load(bool with_text) {
  Status s = ReadRowImage(row);
  if (!s.ok()) return CloseUnlessKept(s);
  DecodeRowImage();
  if (with_text && !is_folder()) {
    std::string bytes;
    s = store_.texts().Read(id, &bytes);
    if (s.code() == Status::kFatal) {
      store_.cards().Close();
      return s;
    }
    if (s.ok()) {
      text.assign(CText(bytes));
      if (text.size() >= kCardTextCapacity) text.resize(kCardTextCapacity - 1);
      text_guard = kTextLoaded;
    }
  } else {
    text.clear();
    text_guard = kTextNotLoaded;
  }
  return CloseUnlessKept(s);
}

Status CardRecord::Write(bool low_threshold) {
  const uint64_t needed = low_threshold ? kMinFreeBytesLow : kMinFreeBytes;
  // Right after a DiskSpaceOk that passed, the file system is not asked
  // again.
  const bool checked = store_.space_checked_;
  store_.space_checked_ = false;
  if (!checked && DriveFreeBytes(store_.env(), store_.data_path()) < static_cast<double>(needed)) {
    return Status::NoSpace("not enough free space in " + store_.data_path());
  }
  if (is_new && text.empty() && folder.empty() && title.empty()) {
    return Status::Invalid("an empty new card is not written");
  }
  const bool card = !is_folder();
  // Both checks come before the first byte is written.
  if (card && text_guard != kTextLoaded && text_guard != kTextNotLoaded) {
    store_.cards().Close();
    return Status::Fatal(MessageUtf8(MessageId::kFatalGuard));
  }
  if (card && text_guard == kTextLoaded && text.size() >= kCardTextCapacity) {
    return Status::Invalid("the card text is longer than " +
                           std::to_string(kCardTextCapacity - 1) + " bytes");
  }
  if (title.empty()) title = MakeDefaultTitle(text);

  RecordTable& table = store_.cards();
  if (row < 0) {
    bool from_clock = false;
    if (ctime == 0) {
      utime = ctime = static_cast<uint32_t>(store_.env().clock().Now());
      ctick = store_.env().clock().TickCount();
      from_clock = true;
    }
    if (ctick == 0) {
      ctick = store_.env().clock().TickCount();
      from_clock = true;
    }
    // Instead of waiting for the tick to move on, a card made in the same
    // millisecond (or before the clock caught up) takes the next tick.
    if (from_clock && ctime == store_.last_ctime_ &&
        static_cast<int32_t>(ctick - store_.last_ctick_) <= 0) {
      ctick = store_.last_ctick_ + 1;
    }
    Status s = ChooseUniqueId();
    if (!s.ok()) return CloseUnlessKept(s);
    if (from_clock) {
      store_.last_ctime_ = ctime;
      store_.last_ctick_ = ctick;
    }
  }
  id = FormatCardId(ctime, ctick);
  deleted = 0;
  EncodeRowImage();

  // The row and the text's chunks are one change: after a crash the card
  // is there whole, as before or as after.
  const bool with_text = card && text_guard == kTextLoaded;
  ChangeSet change;
  int64_t planned = -1;
  Status s = change.Write(table, row, row_image.data(), &planned);
  if (s.ok() && with_text) {
    std::string data = text;
    data.push_back('\0');
    s = store_.texts().PlanWrite(id, data, &change);
  }
  if (s.ok()) s = change.Commit();
  // A row stored despite a failure (an index entry missing) is this card's
  // row from now on, so a retry rewrites it instead of adding another.
  if (change.stored() > 0) row = planned;
  // A loop that keeps the card table open keeps the text store open too;
  // a failure closes it.
  if (with_text && (!keep_open || !s.ok())) s = First(s, store_.texts().Close());
  if (!s.ok()) return CloseUnlessKept(s);
  QUILL_RETURN_IF_ERROR(CloseUnlessKept(Status::Ok()));
  if (card) TrimRight(title);
  is_new = false;
  return Status::Ok();
}

Status CardRecord::FindByKey(std::string_view key_name, std::string_view value, bool with_text,
                             bool* found) {
  *found = false;
  int64_t r = -1;
  Status s = store_.cards().Find(key_name, value, &r);
  if (s.ok()) {
    row = r;
    if (r >= 0) {
      s = Load(with_text);
      if (s.code() == Status::kFatal) return s;
      *found = s.ok();
    }
  }
  return CloseUnlessKept(s);
}

Status CardRecord::FindById(int64_t r, std::string_view card_id, bool with_text, bool* found) {
  *found = false;
  if (card_id.empty()) return Status::Ok();
  if (r >= 0) {
    std::array<char, kCardRecordSize> image;
    Status s = store_.cards().Read(r, image.data());
    // A row that no longer exists is looked up by id like a stale one.
    if (!s.ok() && s.code() != Status::kOutOfRange) return CloseUnlessKept(s);
    if (s.ok() && FieldText(image.data() + card_row::kTextId, card_row::kTextIdLength) == card_id) {
      row = r;
      s = Load(with_text);
      if (s.code() == Status::kFatal) return s;
      *found = s.ok();
      return CloseUnlessKept(s);
    }
  }
  return FindByKey(kTextIdKey, card_id, with_text, found);
}

Status CardRecord::MarkDeleted() {
  if (row < 0) return Status::Ok();
  char rec[kCardRecordSize];
  Status s = store_.cards().Read(row, rec);
  if (!s.ok()) return CloseUnlessKept(s);
  if (FieldText(rec + card_row::kTitle, card_row::kTitleLength) == FolderMarkerTitle) {
    return Erase();
  }
  std::memcpy(rec + card_row::kYobi + card_row::kDeleted, "DeL", 3);
  s = store_.cards().Write(row, rec);
  if (s.ok()) deleted = 'D';
  return CloseUnlessKept(s);
}

Status CardRecord::Restore(std::string_view card_id) {
  bool found = false;
  Status s = FindByKey(kTextIdKey, card_id, false, &found);
  if (!s.ok()) return s;
  if (!found) return Status::NotFound("no card " + std::string(card_id));
  deleted = 0;
  std::memcpy(row_image.data() + card_row::kYobi + card_row::kDeleted, "   ", 3);
  return CloseUnlessKept(store_.cards().Write(row, row_image.data()));
}

Status CardRecord::Erase(std::string_view card_id) {
  RecordTable& table = store_.cards();
  int64_t target = row;
  if (!card_id.empty()) {
    Status s = table.Find(kTextIdKey, card_id, &target);
    if (!s.ok()) return CloseUnlessKept(s);
  }
  if (target < 0) return CloseUnlessKept(Status::Ok());
  char rec[kCardRecordSize];
  Status s = table.Read(target, rec);
  if (s.ok()) {
    // The text, the remembered values and the row go in one change.
    std::string tid = FieldText(rec + card_row::kTextId, card_row::kTextIdLength);
    RecordTable& values = store_.values().table();
    ChangeSet change;
    if (tid.size() == kCardIdLength) s = store_.texts().PlanDelete(tid, &change);
    int64_t values_row = -1;
    if (s.ok() && !tid.empty()) s = values.Find(kTextIdKey, tid, &values_row);
    if (s.ok() && values_row >= 0) s = change.MarkDeleted(values, values_row);
    if (s.ok()) s = change.MarkDeleted(table, target);
    if (s.ok()) s = change.Commit();
  }
  // A loop that keeps the card table open keeps the other two open too;
  // a failure closes them.
  if (keep_open && s.ok()) return s;
  s = First(s, store_.texts().Close());
  s = First(s, store_.values().Close());
  return First(s, table.Close());
}

Status CardRecord::Reorganize() {
  QUILL_RETURN_IF_ERROR(store_.texts().Purge());
  QUILL_RETURN_IF_ERROR(store_.values().Check());
  RecordTable& table = store_.cards();
  // Whether a live row is left is read from the rows themselves: the
  // index may be the very thing this repairs.
  bool any = false;
  Status s = HasLiveRow(table, &any);
  s = First(s, table.Close());
  QUILL_RETURN_IF_ERROR(s);
  if (any) return First(table.Reindex(), table.Close());
  return store_.Recreate();
}

Status CardRecord::FindCardsByFolder(std::string_view folder_path, std::vector<int64_t>* rows) {
  rows->clear();
  return CloseUnlessKept(store_.cards().Search(kKubunKey, folder_path, kNoLimit, rows));
}

}  // namespace quill::store
