#include "store/record_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>

#include "platform/headless/fault_env.h"
#include "platform/headless/temp_dir.h"
#include "platform/headless/test_files.h"
#include "store/db_error.h"
#include "store/journal.h"

namespace quill::store {
namespace {

std::vector<FieldDef> CardFields() {
  return {{"KUBUN", 'C', 100, 0}, {"TITLE", 'C', 52, 0}, {"TEXT_ID", 'C', 20, 0},
          {"CTIME", 'B', 4, 0},   {"CMTIME", 'B', 4, 0}, {"UTIME", 'B', 4, 0},
          {"YOBI", 'B', 100, 0}};
}

std::vector<IndexDef> CardIndexes() {
  return {{"quilbo7.ix0", "KUBUN", false}, {"quilbo7.ix1", "TEXT_ID", false}};
}

uint32_t U32At(const std::string& b, size_t off) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(b[off + i]);
  return v;
}

void PutU32(std::string& b, size_t off, uint32_t v) {
  for (size_t i = 0; i < 4; ++i) b.replace(off + i, 1, 1, static_cast<char>(v >> (8 * i)));
}

// A card-table record with KUBUN, TITLE and TEXT_ID set.
std::string CardRec(std::string_view kubun, std::string_view title = "t",
                    std::string_view id = "") {
  std::string rec(284, '\0');
  std::memcpy(rec.data(), kubun.data(), kubun.size());
  std::memcpy(rec.data() + 100, title.data(), title.size());
  std::memcpy(rec.data() + 152, id.data(), id.size());
  return rec;
}

std::string Kubun(RecordTable& t, int64_t row) {
  std::string rec(t.RecordSize(), 'x');
  EXPECT_TRUE(t.Read(row, rec.data()).ok());
  return std::string(rec.data(), strnlen(rec.data(), 100));
}

class RecordTableTest : public ::testing::Test {
 protected:
  void SetUp() override { env_.fake_clock().SetLocal(2026, 12, 9); }
  std::string Folder() const { return dir_.Path() + "/"; }
  // The card table created afresh in the folder, with the folder's
  // journal.
  void CreateWithJournal(RecordTable& t, Journal& journal, bool with_indexes) {
    journal.SetFolder(Folder());
    DefineCards(t, with_indexes);
    t.set_journal(&journal);
    ASSERT_TRUE(t.Create().ok());
  }
  void DefineCards(RecordTable& t, bool with_indexes) {
    t.Define(env_, "quilbo7.dat", CardFields(),
             with_indexes ? CardIndexes() : std::vector<IndexDef>{}, Folder());
  }

  TempDir dir_;
  FaultEnv env_;
};

TEST_F(RecordTableTest, CardTableCreatedAndClosedIsGoldenBytes) {
  RecordTable t;
  DefineCards(t, false);
  ASSERT_TRUE(t.Create().ok());
  ASSERT_TRUE(t.Close().ok());

  const std::string b = ReadAll(t.path());
  ASSERT_EQ(b.size(), 258u);
  EXPECT_EQ(b[0], 3);
  EXPECT_EQ(b.substr(1, 3), std::string("\x7e\x0c\x09"));  // 2026-12-09
  EXPECT_EQ(U32At(b, 4), 0u);
  EXPECT_EQ(U32At(b, 8), 257u);
  EXPECT_EQ(U32At(b, 12), 285u);
  EXPECT_EQ(b.substr(16, 20), std::string(20, '\0'));
  const struct {
    const char* name;
    unsigned char length;
  } want[] = {{"KUBUN", 100}, {"TITLE", 52}, {"TEXT_ID", 20}, {"CTIME", 4},
              {"CMTIME", 4},  {"UTIME", 4},  {"YOBI", 100}};
  for (int i = 0; i < 7; ++i) {
    const std::string d = b.substr(36 + 32 * i, 32);
    std::string name(want[i].name);
    name.resize(11, '\0');
    EXPECT_EQ(d.substr(0, 11), name) << i;
    EXPECT_EQ(d[11], 'C') << i;  // raw byte fields are stored as text
    EXPECT_EQ(d.substr(12, 4), std::string(4, '\0')) << i;
    EXPECT_EQ(static_cast<unsigned char>(d[16]), want[i].length) << i;
    EXPECT_EQ(d[17], 0) << i;
    // The seventh descriptor's byte 29 is the 0x1A after the (no) rows.
    EXPECT_EQ(d.substr(18, i == 6 ? 11 : 14), std::string(i == 6 ? 11 : 14, '\0')) << i;
  }
  EXPECT_EQ(b[257], 0x1A);

  // Reopened, the file still has its seven fields; the first row overlays
  // the end of the last descriptor and the row count is on disk at once.
  RecordTable again;
  DefineCards(again, false);
  ASSERT_TRUE(again.Open().ok());
  int64_t row = -2;
  ASSERT_TRUE(again.Write(-1, CardRec("Work", "first").data(), &row).ok());
  EXPECT_EQ(row, 0);
  const std::string live = ReadAll(t.path());
  EXPECT_EQ(U32At(live, 4), 1u);
  EXPECT_EQ(live.substr(257, 5), " Work");
  ASSERT_EQ(live.size(), 257u + 285u + 1u);
  EXPECT_EQ(live[257 + 285], 0x1A);
  ASSERT_TRUE(again.Close().ok());
  ASSERT_TRUE(again.Open().ok());
  EXPECT_EQ(Kubun(again, 0), "Work");
}

TEST_F(RecordTableTest, LongFieldsSplitIntoNumberedParts) {
  // The text-store table: ID (decimals 1), SIZE, DATA of 1000 bytes.
  RecordTable t;
  t.Define(env_, "quilbo7.tx", {{"ID", 'C', 20, 1}, {"SIZE", 'B', 4, 0}, {"DATA", 'B', 1000, 0}},
           {}, Folder());
  ASSERT_TRUE(t.Create().ok());
  ASSERT_TRUE(t.Close().ok());
  const std::string b = ReadAll(t.path());
  EXPECT_EQ(U32At(b, 8), 225u);
  EXPECT_EQ(U32At(b, 12), 1025u);
  EXPECT_EQ(b.size(), 226u);
  EXPECT_EQ(b[36 + 17], 1);  // ID's decimals
  EXPECT_EQ(t.RecordSize(), 1024u);

  const struct {
    int length;
    std::vector<std::pair<std::string, int>> parts;
  } cases[] = {
      {250, {{"DATA", 250}}},
      {251, {{"DATA1", 250}, {"DATA2", 1}}},
      {500, {{"DATA1", 250}, {"DATA2", 250}}},
      {1000, {{"DATA1", 250}, {"DATA2", 250}, {"DATA3", 250}, {"DATA4", 250}}},
  };
  for (const auto& c : cases) {
    RecordTable s;
    s.Define(env_, "s.dat", {{"DATA", 'B', c.length, 0}}, {}, Folder());
    std::vector<std::pair<std::string, int>> got;
    for (const FieldDef& f : s.expanded_fields()) got.emplace_back(f.name, f.length);
    EXPECT_EQ(got, c.parts) << c.length;
    EXPECT_EQ(s.RecordSize(), static_cast<size_t>(c.length));
  }

  // A 1000-byte block goes in and comes back as one block.
  ASSERT_TRUE(t.Open().ok());
  std::string rec(1024, '\0');
  for (size_t i = 24; i < rec.size(); ++i) rec[i] = static_cast<char>(i * 7);
  ASSERT_TRUE(t.Write(-1, rec.data()).ok());
  std::string back(1024, '\x55');
  ASSERT_TRUE(t.Read(0, back.data()).ok());
  EXPECT_EQ(back, rec);
}

TEST_F(RecordTableTest, RecordsPackIntoRowsAndBack) {
  RecordTable t;
  t.Define(env_, "p.dat",
           {{"TXT", 'C', 5, 0},
            {"DAY", 'D', 8, 0},
            {"RAW", 'B', 3, 0},
            {"DBL", 'N', 10, 2},
            {"LNG", 'N', 8, 0},
            {"SHT", 'N', 4, 0}},
           {}, Folder());
  ASSERT_EQ(t.RecordSize(), 5u + 8u + 3u + 8u + 4u + 2u);
  ASSERT_TRUE(t.Create().ok());

  // 'C' / 'D' text: stored blank-padded; read back without trailing
  // blanks, NUL-filled, and without a NUL when it fills the field.
  const struct {
    std::string in;      // the 5 bytes of TXT in memory
    std::string stored;  // the row bytes
    std::string back;    // the 5 bytes read back
  } texts[] = {
      {"ABCDE", "ABCDE", "ABCDE"},
      {std::string("AB\0\0\0", 5), "AB   ", std::string("AB\0\0\0", 5)},
      {std::string("AB  \0", 5), "AB   ", std::string("AB\0\0\0", 5)},
      {"abcd\x82", "abcd ", std::string("abcd\0", 5)},        // dangling lead byte
      {"ab\x82\xa0" "c", "ab\x82\xa0" "c", "ab\x82\xa0" "c"},  // whole character kept
      {std::string("a\x82\x82\x82\0", 5), "a\x82\x82  ", std::string("a\x82\x82\0\0", 5)},
  };
  const double dbl = 3.25;
  const int32_t lng = -12345;
  const int16_t sht = 42;
  int64_t row = 0;
  for (const auto& c : texts) {
    std::string rec(t.RecordSize(), '\0');
    std::memcpy(rec.data(), c.in.data(), 5);
    std::memcpy(rec.data() + 5, "20261209", 8);
    std::memcpy(rec.data() + 13, "\0 \x1A", 3);
    std::memcpy(rec.data() + 16, &dbl, 8);
    std::memcpy(rec.data() + 24, &lng, 4);
    std::memcpy(rec.data() + 28, &sht, 2);
    ASSERT_TRUE(t.Write(-1, rec.data(), &row).ok());
    std::string back(t.RecordSize(), '\x55');
    ASSERT_TRUE(t.Read(row, back.data()).ok());
    EXPECT_EQ(back.substr(0, 5), c.back) << row;
    EXPECT_EQ(back.substr(5), rec.substr(5)) << row;
  }
  ASSERT_TRUE(t.Close().ok());

  const std::string b = ReadAll(t.path());
  const size_t header = U32At(b, 8), length = U32At(b, 12);
  ASSERT_EQ(length, 39u);
  for (size_t i = 0; i < std::size(texts); ++i) {
    const std::string r = b.substr(header + i * length, length);
    EXPECT_EQ(r.substr(0, 6), " " + texts[i].stored) << i;
    EXPECT_EQ(r.substr(6), std::string("20261209") + std::string("\0 \x1A", 3) +
                               "      3.25" + "  -12345" + "  42")
        << i;
  }

  // A number wider than its field is refused and nothing is written.
  ASSERT_TRUE(t.Open().ok());
  std::string wide(t.RecordSize(), '\0');
  const int16_t too_wide = -12345;  // six characters in a field of four
  std::memcpy(wide.data() + 28, &too_wide, 2);
  EXPECT_EQ(t.Write(-1, wide.data()).code(), Status::kInvalid);
  int64_t count = 0;
  ASSERT_TRUE(t.RowCount(&count).ok());
  EXPECT_EQ(count, static_cast<int64_t>(std::size(texts)));
}

TEST_F(RecordTableTest, ReindexWithoutIndexesPacksInOrder) {
  RecordTable t;
  t.Define(env_, "n.dat", {{"NAME", 'C', 10, 0}}, {}, Folder());
  ASSERT_TRUE(t.Create().ok());
  for (int i = 0; i < 1000; ++i) {
    std::string rec = std::to_string(i);
    rec.resize(10, '\0');
    ASSERT_TRUE(t.Write(-1, rec.data()).ok());
  }
  for (int i = 2; i < 1000; i += 3) ASSERT_TRUE(t.Delete(i).ok());
  bool deleted = false;
  std::string rec(10, '\0');
  ASSERT_TRUE(t.Read(5, rec.data(), &deleted).ok());
  EXPECT_TRUE(deleted);
  ASSERT_TRUE(t.Reindex().ok());
  EXPECT_FALSE(t.is_open());

  auto check = [&](RecordTable& table) {
    int64_t count = 0;
    ASSERT_TRUE(table.RowCount(&count).ok());
    ASSERT_EQ(count, 667);
    int64_t row = 0;
    for (int i = 0; i < 1000; ++i) {
      if (i % 3 == 2) continue;
      std::string r(10, '\0');
      bool del = true;
      ASSERT_TRUE(table.Read(row, r.data(), &del).ok());
      EXPECT_FALSE(del);
      ASSERT_EQ(std::string(r.c_str()), std::to_string(i)) << row;
      ++row;
    }
  };
  check(t);
  ASSERT_TRUE(t.Close().ok());
  EXPECT_EQ(ReadAll(t.path()).size(), 65u + 667u * 11u + 1u);
  RecordTable again;
  again.Define(env_, "n.dat", {{"NAME", 'C', 10, 0}}, {}, Folder());
  check(again);
}

TEST_F(RecordTableTest, RowOutOfRangeFailsAndLeavesTheRecord) {
  RecordTable t;
  DefineCards(t, false);
  ASSERT_TRUE(t.Create().ok());
  ASSERT_TRUE(t.Write(-1, CardRec("A").data()).ok());
  ASSERT_TRUE(t.Write(-1, CardRec("B").data()).ok());
  std::string rec(t.RecordSize(), '\0');
  ASSERT_TRUE(t.Read(1, rec.data()).ok());  // B is in the row buffer
  for (int64_t bad : {int64_t{2}, int64_t{-2}, int64_t{1} << 40}) {
    std::string untouched(t.RecordSize(), '#');
    const Status s = t.Read(bad, untouched.data());
    EXPECT_EQ(s.code(), Status::kOutOfRange) << bad;
    EXPECT_EQ(s.db_code(), kDbRowOutOfRange);
    EXPECT_EQ(untouched, std::string(t.RecordSize(), '#'));
    EXPECT_EQ(t.Write(bad, CardRec("C").data()).code(), Status::kOutOfRange) << bad;
    EXPECT_EQ(t.Delete(bad).code(), Status::kOutOfRange) << bad;
  }
  int64_t count = 0;
  ASSERT_TRUE(t.RowCount(&count).ok());
  EXPECT_EQ(count, 2);
}

TEST_F(RecordTableTest, UnopenableTableIsReportedAndLeftAlone) {
  RecordTable maker;
  DefineCards(maker, false);
  ASSERT_TRUE(maker.Create().ok());
  ASSERT_TRUE(maker.Write(-1, CardRec("Work").data()).ok());
  ASSERT_TRUE(maker.Close().ok());
  const std::string path = maker.path();
  const std::string good = ReadAll(path);

  const struct {
    const char* what;
    std::function<std::string(std::string)> damage;  // empty: refuse the open
    Status::Code code;
    int db_error;
    bool fail_reads = false;  // opens, but no read succeeds
  } cases[] = {
      {"permission", nullptr, Status::kPermission, kDbCannotOpen},
      {"reads fail", nullptr, Status::kIoError, kDbShortRead, true},
      {"short header", [](std::string b) { return b.substr(0, 20); }, Status::kCorrupt,
       kDbShortRead},
      {"header length below 65",
       [](std::string b) { PutU32(b, 8, 33); return b; }, Status::kCorrupt, kDbCannotOpen},
      {"row length 0", [](std::string b) { PutU32(b, 12, 0); return b; }, Status::kCorrupt,
       kDbCannotOpen},
      {"more rows than the file holds",
       [](std::string b) { PutU32(b, 4, 2); return b; }, Status::kCorrupt, kDbShortRead},
      {"field of another length",
       [](std::string b) { b.replace(36 + 32 + 16, 1, 1, 51); PutU32(b, 12, 284); return b; },
       Status::kCorrupt, kDbCannotOpen},
      {"field renamed", [](std::string b) { return b.replace(36, 1, 1, 'X'); }, Status::kCorrupt,
       kDbCannotOpen},
      {"B field stored as B",
       [](std::string b) { return b.replace(36 + 6 * 32 + 11, 1, 1, 'B'); }, Status::kCorrupt,
       kDbCannotOpen},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    env_.ClearFaults();
    std::string bytes = good;
    if (c.fail_reads) {
      env_.SetFailRead(true);
    } else if (c.damage) {
      bytes = c.damage(good);
      ASSERT_TRUE(FileEnv::Default().WriteFileAtomic(path, bytes).ok());
    } else {
      env_.FailOpen(path);
    }
    RecordTable t;
    DefineCards(t, false);
    const Status s = t.Open();
    EXPECT_EQ(s.code(), c.code);
    EXPECT_EQ(s.db_code(), c.db_error);
    EXPECT_FALSE(t.is_open());
    std::string rec(t.RecordSize(), '\0');
    EXPECT_EQ(t.Read(0, rec.data()).code(), c.code);
    EXPECT_EQ(t.Write(-1, CardRec("New").data()).code(), c.code);
    EXPECT_EQ(t.Close().code(), Status::kOk);
    EXPECT_EQ(ReadAll(path), bytes);
  }
}

TEST_F(RecordTableTest, CreateEmptiesAnExistingFile) {
  RecordTable t;
  DefineCards(t, false);
  ASSERT_TRUE(FileEnv::Default().WriteFileAtomic(t.path(), std::string(5000, 'z')).ok());
  ASSERT_TRUE(t.Create().ok());
  ASSERT_TRUE(t.Close().ok());
  EXPECT_EQ(ReadAll(t.path()).size(), 258u);
}

TEST_F(RecordTableTest, ShortWritesAndReadsFail) {
  RecordTable t;
  DefineCards(t, false);
  ASSERT_TRUE(t.Create().ok());
  ASSERT_TRUE(t.Write(-1, CardRec("A").data()).ok());

  // The row goes out but the header with the new count does not: the
  // append fails and the row is not counted, now or after the close.
  env_.SetWriteBudget(285 + 1 + 10);
  int64_t row = 7;
  Status s = t.Write(-1, CardRec("B").data(), &row);
  EXPECT_EQ(s.code(), Status::kIoError);
  EXPECT_EQ(s.db_code(), kDbShortWrite);
  EXPECT_EQ(row, -1);
  env_.ClearFaults();
  int64_t count = 0;
  ASSERT_TRUE(t.RowCount(&count).ok());
  EXPECT_EQ(count, 1);
  ASSERT_TRUE(t.Close().ok());
  EXPECT_EQ(ReadAll(t.path()).size(), 257u + 285u + 1u);

  // A full disk fails an update and the close that has to stamp the date.
  ASSERT_TRUE(t.Open().ok());
  env_.SetDiskFull(true);
  s = t.Write(0, CardRec("C").data());
  EXPECT_EQ(s.code(), Status::kNoSpace);
  EXPECT_EQ(s.db_code(), kDbShortWrite);
  EXPECT_EQ(Kubun(t, 0), "A");  // read from the file, not the row that did not go out
  s = t.Close();
  EXPECT_EQ(s.code(), Status::kNoSpace);
  EXPECT_EQ(s.db_code(), kDbShortWrite);
  env_.ClearFaults();
  EXPECT_EQ(Kubun(t, 0), "A");

  // A row cut off under an open table is a short read, not stale data.
  ASSERT_TRUE(t.Close().ok());
  ASSERT_TRUE(t.Open().ok());
  std::filesystem::resize_file(t.path(), 300);
  std::string rec(t.RecordSize(), '#');
  s = t.Read(0, rec.data());
  EXPECT_EQ(s.code(), Status::kIoError);
  EXPECT_EQ(s.db_code(), kDbShortRead);
  EXPECT_EQ(rec, std::string(t.RecordSize(), '#'));
}

// With a journal, the rows written wait in the open table until its
// close, or until a checkpoint lets go of the records that cover them;
// the reads see them all along.
TEST_F(RecordTableTest, WithAJournalRowsWaitForTheCloseOrACheckpoint) {
  Journal journal(env_);
  RecordTable t;
  CreateWithJournal(t, journal, true);
  ASSERT_TRUE(t.Close().ok());
  const std::string empty = ReadAll(t.path());
  for (const char* k : {"A", "B", "C"}) ASSERT_TRUE(t.Write(-1, CardRec(k).data()).ok());
  EXPECT_EQ(ReadAll(t.path()), empty);
  int64_t count = 0;
  ASSERT_TRUE(t.RowCount(&count).ok());
  EXPECT_EQ(count, 3);
  int64_t row = -1;
  ASSERT_TRUE(t.Find("KUBUN", "B", &row).ok());
  EXPECT_EQ(row, 1);
  ASSERT_TRUE(journal.Checkpoint().ok());
  EXPECT_EQ(ReadAll(t.path()).size(), empty.size() + 3 * 285u);
  ASSERT_TRUE(t.Write(1, CardRec("D").data()).ok());
  EXPECT_EQ(Kubun(t, 1), "D");
  ASSERT_TRUE(t.Close().ok());
  EXPECT_EQ(Kubun(t, 1), "D");
  ASSERT_TRUE(t.Find("KUBUN", "D", &row).ok());
  EXPECT_EQ(row, 1);
  ASSERT_TRUE(t.Close().ok());
  ASSERT_TRUE(journal.Finish({t.path()}).ok());
}

// A change the journal holds but the table did not take refuses every
// change after it, and says what went wrong.
TEST_F(RecordTableTest, AChangeLeftHalfDoneRefusesTheNextWithItsCode) {
  Journal journal(env_);
  RecordTable t;
  CreateWithJournal(t, journal, false);
  // The journal record (16 header bytes, 4 + 2 + 11 + 8 + 284 of row
  // change) goes out whole; the row, held by the open table until its
  // close, does not.
  env_.SetWriteBudget(16 + 309);
  Status s = t.Write(-1, CardRec("A").data());
  EXPECT_TRUE(s.ok()) << s.ToString();
  s = t.Close();
  EXPECT_EQ(s.code(), Status::kIoError);
  EXPECT_EQ(s.db_code(), kDbShortWrite);
  env_.ClearFaults();
  s = t.Write(-1, CardRec("B").data());
  EXPECT_EQ(s.code(), Status::kIoError);
  EXPECT_EQ(s.db_code(), kDbShortWrite);
  int64_t count = -1;
  ASSERT_TRUE(t.RowCount(&count).ok());
  EXPECT_EQ(count, 0);
}

TEST_F(RecordTableTest, BadDefinitionsAreRefused) {
  const struct {
    const char* what;
    std::vector<FieldDef> fields;
    size_t indexes;
  } cases[] = {
      {"no fields", {}, 0},
      {"unknown type", {{"A", 'X', 5, 0}}, 0},
      {"zero length", {{"A", 'C', 0, 0}}, 0},
      {"name too long", {{"ABCDEFGHIJKL", 'C', 5, 0}}, 0},
      {"part name too long", {{"ABCDEFGHIJ", 'B', 300, 0}}, 0},
      {"11 indexes", {{"A", 'C', 5, 0}}, 11},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    RecordTable t;
    std::vector<IndexDef> idx(c.indexes, IndexDef{"a.ix", "A", false});
    t.Define(env_, "bad.dat", c.fields, idx, Folder());
    EXPECT_EQ(t.Create().code(), Status::kInvalid);
    EXPECT_EQ(t.Open().code(), Status::kInvalid);
    EXPECT_FALSE(env_.Exists(t.path()));
  }
  RecordTable t;
  EXPECT_FALSE(t.Open().ok());  // never defined
}

class IndexedTableTest : public RecordTableTest {
 protected:
  void SetUp() override {
    RecordTableTest::SetUp();
    DefineCards(t_, true);
    ASSERT_TRUE(t_.Create().ok());
  }
  int64_t Append(std::string_view kubun, std::string_view id = "") {
    int64_t row = -1;
    EXPECT_TRUE(t_.Write(-1, CardRec(kubun, "t", id).data(), &row).ok());
    return row;
  }
  std::vector<int64_t> Search(std::string_view expr, std::string_view value, size_t max = 100) {
    std::vector<int64_t> rows;
    EXPECT_TRUE(t_.Search(expr, value, max, &rows).ok());
    return rows;
  }
  int64_t Find(std::string_view expr, std::string_view value) {
    int64_t row = -2;
    EXPECT_TRUE(t_.Find(expr, value, &row).ok());
    return row;
  }

  RecordTable t_;
};

TEST_F(IndexedTableTest, SearchAndFindPassOverDeletedRows) {
  EXPECT_EQ(Search("KUBUN", ""), std::vector<int64_t>{});
  EXPECT_TRUE(t_.Eof());
  for (const char* k : {"Work", "Work Notes", "Workshop", "Home", "Work Alpha"}) Append(k);
  ASSERT_TRUE(t_.SelectIndex("KUBUN").ok());
  EXPECT_FALSE(t_.Eof());

  EXPECT_EQ(Search("KUBUN", "Work"), (std::vector<int64_t>{0, 4, 1, 2}));
  EXPECT_EQ(Search("KUBUN", "Work", 1), std::vector<int64_t>{0});
  EXPECT_EQ(Search("KUBUN", ""), (std::vector<int64_t>{3, 0, 4, 1, 2}));
  EXPECT_EQ(Search("KUBUN", "Zoo"), std::vector<int64_t>{});
  EXPECT_EQ(Find("KUBUN", "Hom"), 3);
  EXPECT_FALSE(t_.Eof());
  EXPECT_EQ(Find("KUBUN", "Garden"), -1);
  EXPECT_TRUE(t_.Eof());

  ASSERT_TRUE(t_.Delete(0).ok());
  EXPECT_EQ(Find("KUBUN", "Work"), 4);
  ASSERT_TRUE(t_.Delete(4).ok());
  EXPECT_EQ(Find("KUBUN", "Work"), 1);
  EXPECT_EQ(Search("KUBUN", ""), (std::vector<int64_t>{3, 1, 2}));

  // Packing moves the later rows down; the rebuilt indexes follow.
  Status s = t_.Reindex();
  ASSERT_TRUE(s.ok()) << s.ToString();
  EXPECT_FALSE(t_.is_open());
  EXPECT_EQ(Find("KUBUN", "Workshop"), 1);
  EXPECT_EQ(Search("KUBUN", ""), (std::vector<int64_t>{2, 0, 1}));
  EXPECT_EQ(Kubun(t_, 0), "Work Notes");
  int64_t count = 0;
  ASSERT_TRUE(t_.RowCount(&count).ok());
  EXPECT_EQ(count, 3);
}

TEST_F(IndexedTableTest, FindComparesAtMost88Bytes) {
  const std::string stored = std::string(88, 'a') + "XYZ";
  const std::string asked = std::string(88, 'a') + "QQQ";
  Append("b");
  Append(stored);
  EXPECT_EQ(Find("KUBUN", asked), 1);
  EXPECT_EQ(Search("KUBUN", asked), std::vector<int64_t>{});
  EXPECT_EQ(Find("KUBUN", std::string(87, 'a') + "XYZ"), -1);
}

TEST_F(IndexedTableTest, UpdateMovesTheRowInEveryIndex) {
  Append("Same", "ID0");
  Append("Same", "ID1");
  Append("Same", "ID2");
  // The last search used the id index; the update must still re-key both.
  EXPECT_EQ(Find("TEXT_ID", "ID2"), 2);
  ASSERT_TRUE(t_.Write(2, CardRec("Other", "t", "ID9").data()).ok());
  ASSERT_TRUE(t_.Write(0, CardRec("Same", "new title", "ID0").data()).ok());  // keys kept

  for (int pass = 0; pass < 2; ++pass) {
    SCOPED_TRACE(pass);
    std::vector<int64_t> same = Search("KUBUN", "Same");
    std::sort(same.begin(), same.end());
    EXPECT_EQ(same, (std::vector<int64_t>{0, 1}));
    EXPECT_EQ(Search("KUBUN", "Other"), std::vector<int64_t>{2});
    EXPECT_EQ(Find("TEXT_ID", "ID9"), 2);
    EXPECT_EQ(Find("TEXT_ID", "ID2"), -1);
    EXPECT_EQ(Search("TEXT_ID", "ID0"), std::vector<int64_t>{0});
    ASSERT_TRUE(t_.Close().ok());
  }
}

TEST_F(IndexedTableTest, IndexFailuresAreErrorsNotExits) {
  Append("Work");
  int64_t row = 5;
  Status s = t_.Find("TITLE", "t", &row);
  EXPECT_EQ(s.code(), Status::kInvalid);
  EXPECT_EQ(s.db_code(), kDbBadKeyExpression);
  EXPECT_EQ(row, -1);
  std::vector<int64_t> rows{7};
  EXPECT_EQ(t_.Search("kubun", "W", 10, &rows).code(), Status::kInvalid);
  EXPECT_TRUE(rows.empty());
  EXPECT_EQ(t_.SelectIndex("KUBUN+TITLE").code(), Status::kInvalid);

  // An index that cannot be opened fails the write, which needs them all.
  ASSERT_TRUE(t_.Close().ok());
  env_.FailOpen(t_.index_paths()[1]);
  s = t_.Write(-1, CardRec("New").data());
  EXPECT_EQ(s.code(), Status::kPermission);
  EXPECT_EQ(s.db_code(), kDbCannotOpen);
  EXPECT_FALSE(t_.is_open());
  EXPECT_EQ(Find("KUBUN", "Work"), 0);  // the other index still serves
  env_.ClearFaults();
  int64_t count = 0;
  ASSERT_TRUE(t_.RowCount(&count).ok());
  EXPECT_EQ(count, 1);

  // A cut index fails its searches until Reindex builds it again.
  ASSERT_TRUE(t_.Close().ok());
  std::filesystem::resize_file(t_.index_paths()[0], 0);
  EXPECT_EQ(t_.Find("KUBUN", "Work", &row).code(), Status::kCorrupt);
  EXPECT_EQ(t_.Write(-1, CardRec("New").data()).code(), Status::kCorrupt);
  ASSERT_TRUE(t_.Reindex().ok());
  EXPECT_EQ(Find("KUBUN", "Work"), 0);
}

TEST_F(RecordTableTest, DuplicateInUniqueIndexKeepsTheRow) {
  RecordTable t;
  t.Define(env_, "u.dat", {{"ID", 'C', 4, 0}}, {{"u.ix", "ID", true}}, Folder());
  ASSERT_TRUE(t.Create().ok());
  ASSERT_TRUE(t.Write(-1, "A\0\0\0").ok());
  int64_t row = -2;
  const Status s = t.Write(-1, "A\0\0\0", &row);
  EXPECT_EQ(s.code(), Status::kDuplicate);
  EXPECT_EQ(s.db_code(), kDbDuplicateKey);
  EXPECT_EQ(row, 1);  // stored, but not in the index
  int64_t count = 0;
  ASSERT_TRUE(t.RowCount(&count).ok());
  EXPECT_EQ(count, 2);
  std::vector<int64_t> rows;
  ASSERT_TRUE(t.Search("ID", "A", 10, &rows).ok());
  EXPECT_EQ(rows, std::vector<int64_t>{0});
}

TEST_F(RecordTableTest, NumericIndexSeeksANumber) {
  RecordTable t;
  t.Define(env_, "num.dat", {{"NUM", 'N', 8, 0}, {"NAME", 'C', 4, 0}},
           {{"num.ix", "NUM", false}}, Folder());
  ASSERT_TRUE(t.Create().ok());
  for (int32_t v : {300, 42, -7}) {
    std::string rec(8, '\0');
    std::memcpy(rec.data(), &v, 4);
    ASSERT_TRUE(t.Write(-1, rec.data()).ok());
  }
  std::vector<int64_t> rows;
  ASSERT_TRUE(t.Search("NUM", "-7.0", 10, &rows).ok());
  EXPECT_EQ(rows, std::vector<int64_t>{2});
  int64_t row = -2;
  ASSERT_TRUE(t.Find("NUM", "42", &row).ok());
  EXPECT_EQ(row, 1);
  ASSERT_TRUE(t.Find("NUM", "  300", &row).ok());
  EXPECT_EQ(row, 0);
  ASSERT_TRUE(t.Find("NUM", "43", &row).ok());
  EXPECT_EQ(row, -1);
}

}  // namespace
}  // namespace quill::store
