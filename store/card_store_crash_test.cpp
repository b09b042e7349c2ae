// Crash safety of the card store. Each operation is cut off at every one of
// its disk changes in turn (FaultEnv's simulated crash, whole and torn),
// the data set is reopened as a restarted program would, and what it holds
// is compared with the cards before and after the operation, through the
// store's readers and through a walk of the files by their layouts.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <tuple>

#include "platform/headless/fault_env.h"
#include "platform/headless/temp_dir.h"
#include "platform/headless/test_files.h"
#include "store/byte_order.h"
#include "store/card_store.h"
#include "store/card_test_support.h"
#include "store/journal.h"

namespace quill::store {
namespace {

// A card as these tests compare it.
struct CardState {
  std::string title, text, values;
  bool in_bin = false;
  bool operator==(const CardState&) const = default;
};
using SetState = std::map<std::string, CardState>;  // by card id

std::string Trimmed(std::string s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.pop_back();
  return s;
}

std::string UpToNul(const std::string& s) { return s.substr(0, s.find('\0')); }

// ---------------------------------------------------------------------------
// The files, read by their layouts alone.

struct TableImage {
  std::vector<std::string> rows;  // whole rows, deleted flag first
};

TableImage ReadTable(const std::string& path) {
  TableImage t;
  const std::string f = ReadAll(path);
  if (f.size() < 36) {
    ADD_FAILURE() << path << " has no header";
    return t;
  }
  const uint32_t count = GetU32(f.data() + 4);
  const uint32_t header = GetU32(f.data() + 8);
  const uint32_t length = GetU32(f.data() + 12);
  EXPECT_EQ(f.size(), header + uint64_t{count} * length + 1) << path;
  EXPECT_EQ(f[header + size_t{count} * length], '\x1a') << path;
  for (uint32_t r = 0; r < count && header + size_t{r + 1} * length <= f.size(); ++r) {
    t.rows.push_back(f.substr(header + size_t{r} * length, length));
    EXPECT_TRUE(t.rows.back()[0] == ' ' || t.rows.back()[0] == '*') << path << " row " << r;
  }
  return t;
}

// Every {key, row} reached from the root, in the order walked; the header
// must agree with the pages.
void WalkIndexPage(const std::string& f, uint32_t page, uint32_t next_free,
                   std::set<uint32_t>* seen, std::vector<std::pair<std::string, uint32_t>>* out) {
  const uint32_t klen = GetU32(f.data() + 12), kpp = GetU32(f.data() + 16),
                 esize = GetU32(f.data() + 24);
  if (page == 0 || page >= next_free || !seen->insert(page).second) {
    ADD_FAILURE() << "index page " << page << " out of place";
    return;
  }
  const char* p = f.data() + size_t{page} * 512;
  const uint32_t c = GetU32(p);
  if (c > kpp) {
    ADD_FAILURE() << "index page " << page << " holds " << c << " entries";
    return;
  }
  for (uint32_t i = 0; i <= c; ++i) {
    const uint32_t child = GetU32(p + 4 + size_t{i} * esize);
    if (child != 0) WalkIndexPage(f, child, next_free, seen, out);
    if (i < c && GetU32(p + 8 + size_t{i} * esize) != 0) {
      out->emplace_back(std::string(p + 12 + size_t{i} * esize, klen),
                        GetU32(p + 8 + size_t{i} * esize));
    }
  }
}

// The index holds exactly one entry {key of the row, row} for every row of
// the table, deleted rows included, in key order.
void ExpectIndexMatches(const std::string& path, const TableImage& table, size_t key_offset,
                        size_t key_length) {
  SCOPED_TRACE(path);
  const std::string f = ReadAll(path);
  ASSERT_GE(f.size(), 1024u);
  const uint32_t root = GetU32(f.data()), next_free = GetU32(f.data() + 4);
  ASSERT_EQ(f.size(), uint64_t{next_free} * 512);
  ASSERT_EQ(GetU32(f.data() + 12), key_length);
  std::set<uint32_t> seen;
  std::vector<std::pair<std::string, uint32_t>> entries;
  WalkIndexPage(f, root, next_free, &seen, &entries);
  for (size_t i = 1; i < entries.size(); ++i) {
    EXPECT_LE(entries[i - 1].first, entries[i].first) << "entry " << i << " out of order";
  }
  std::vector<std::pair<std::string, uint32_t>> want;
  for (uint32_t r = 0; r < table.rows.size(); ++r) {
    want.emplace_back(table.rows[r].substr(key_offset, key_length), r + 1);
  }
  std::sort(entries.begin(), entries.end());
  std::sort(want.begin(), want.end());
  EXPECT_TRUE(entries == want) << entries.size() << " entries for " << want.size() << " rows";
}

// The cards of the data set from its files: live card rows, their text
// from whole chunk chains, their values.
SetState WalkDataSet(const std::string& folder) {
  const TableImage cards = ReadTable(folder + "quilbo7.dat");
  const TableImage texts = ReadTable(folder + "quilbo7.tx");
  const TableImage values = ReadTable(folder + "quilbo7.hdt");
  ExpectIndexMatches(folder + "quilbo7.ix0", cards, 1, 100);
  ExpectIndexMatches(folder + "quilbo7.ix1", cards, 153, 20);
  ExpectIndexMatches(folder + "quilbo7.itx", texts, 1, 20);
  ExpectIndexMatches(folder + "quilbo7.hid", values, 1, 20);

  std::map<std::string, std::map<int, std::string>> chunks;  // id -> number -> bytes
  for (const std::string& row : texts.rows) {
    if (row[0] != ' ' || row[1] == 'N') continue;
    const std::string id = row.substr(1, 16);
    const int number = std::stoi(row.substr(17, 3), nullptr, 16);
    const uint32_t size = GetU32(row.data() + 21);
    EXPECT_TRUE(size >= 1 && size <= 1000) << id;
    EXPECT_TRUE(chunks[id].emplace(number, row.substr(25, std::min<uint32_t>(size, 1000))).second)
        << id << " has chunk " << number << " twice";
  }
  std::map<std::string, std::string> value_rows;
  for (const std::string& row : values.rows) {
    if (row[0] == ' ') value_rows[Trimmed(row.substr(1, 20))] = UpToNul(row.substr(21, 200));
  }
  SetState out;
  for (const std::string& row : cards.rows) {
    if (row[0] != ' ') continue;
    const std::string id = Trimmed(row.substr(153, 20));
    CardState c;
    c.title = Trimmed(row.substr(101, 52));
    c.in_bin = row.substr(1 + 184 + 29, 3) == "DeL";
    auto chain = chunks.find(id);
    if (chain != chunks.end()) {
      int expected = 0;
      for (const auto& [number, bytes] : chain->second) {
        EXPECT_EQ(number, expected++) << id << ": a chunk is missing";
        c.text += bytes;
      }
      c.text = UpToNul(c.text);
      chunks.erase(chain);
    }
    if (value_rows.count(id)) c.values = value_rows[id];
    EXPECT_TRUE(out.emplace(id, c).second) << id << " has two live rows";
  }
  for (const auto& [id, unused] : chunks) ADD_FAILURE() << "text chunks of no card: " << id;
  return out;
}

// The cards as the program reads them: every live row of the folder index,
// loaded with its text, found again by id, with its values.
SetState ReadDataSet(CardStore& store) {
  SetState out;
  CardRecord c(store), by_id(store);
  std::vector<int64_t> rows;
  Status s = c.FindCardsByFolder("", &rows);
  EXPECT_TRUE(s.ok()) << s.ToString();
  for (int64_t r : rows) {
    c.SetRecNo(r);
    s = c.Load(true);
    EXPECT_TRUE(s.ok()) << s.ToString();
    bool found = false;
    EXPECT_TRUE(by_id.FindById(-1, c.id, false, &found).ok());
    EXPECT_TRUE(found && by_id.row == r) << c.id;
    CardState state{c.title, c.text, "", c.deleted == 'D'};
    EXPECT_TRUE(store.values().Read(c.id, &state.values).ok());
    EXPECT_TRUE(out.emplace(c.id, state).second) << c.id << " listed twice";
  }
  return out;
}

// ---------------------------------------------------------------------------

std::string Text(size_t n, char seed) {
  std::string t;
  for (size_t i = 0; i < n; ++i) t.push_back(static_cast<char>('a' + (seed + i) % 26));
  return t;
}

using Ids = std::vector<std::string>;

Status Rewrite(CardStore& store, const std::string& id, const std::string& title,
               const std::string& text) {
  CardRecord c(store);
  bool found = false;
  QUILL_RETURN_IF_ERROR(c.FindById(-1, id, true, &found));
  if (!found) return Status::NotFound(id);
  c.title = title;
  c.text = text;
  return c.Write();
}

Status Append(CardStore& store, const std::string& title, size_t length) {
  CardRecord c(store);
  c.Clear();
  c.folder = "F";
  c.title = title;
  c.text = Text(length, 'n');
  return c.Write();
}

struct CrashCase {
  const char* name;
  int cards;           // written into the base set, in folder "F"
  int ix0_pages_added;  // by the operation, when it is to split the folder index
  Status (*op)(CardStore&, const Ids&);
};

const CrashCase kCases[] = {
    {"append", 1, 0, [](CardStore& s, const Ids&) { return Append(s, "new", 2500); }},
    {"page split", 6, 1, [](CardStore& s, const Ids&) { return Append(s, "new", 300); }},
    {"root split", 4, 2, [](CardStore& s, const Ids&) { return Append(s, "new", 300); }},
    {"text grows", 3, 0,
     [](CardStore& s, const Ids& ids) { return Rewrite(s, ids[0], "grown", Text(3400, 'g')); }},
    {"text shrinks", 3, 0,
     [](CardStore& s, const Ids& ids) { return Rewrite(s, ids[2], "shrunk", Text(1200, 's')); }},
    {"delete", 3, 0,
     [](CardStore& s, const Ids& ids) {
       CardRecord c(s);
       return c.Erase(ids[0]);
     }},
    {"to the bin", 3, 0,
     [](CardStore& s, const Ids& ids) {
       CardRecord c(s);
       bool found = false;
       QUILL_RETURN_IF_ERROR(c.FindById(-1, ids[2], false, &found));
       return c.MarkDeleted();
     }},
    {"reorganize", 5, 0,
     [](CardStore& s, const Ids&) {
       CardRecord c(s);
       return c.Reorganize();
     }},
};

// Each operation runs on a store that syncs each change and on one in the
// kill-safe mode: a crash here is a killed process, which both survive.
class CrashTest : public ::testing::TestWithParam<std::tuple<CrashCase, Durability>> {
 protected:
  static const CrashCase& Case() { return std::get<0>(GetParam()); }

  // The base set: cards in folder "F" with texts of 1 to 3 chunks, the
  // first with remembered values; the reorganize case also has an erased
  // card and a shrunk text (free chunk rows) to tidy up.
  void SetUp() override {
    FaultEnv env;
    env.SetFreeBytes(uint64_t{1} << 40);
    CardStore store(env, base_.Path() + "/");
    ASSERT_TRUE(store.Open(false, {}).ok());
    for (int i = 0; i < Case().cards; ++i) {
      ids_.push_back(WriteTestCard(store, env.fake_clock(), "F", "card" + std::to_string(i),
                                   Text(300 + 1100 * (i % 3), static_cast<char>(i))));
    }
    ASSERT_TRUE(store.values().Write(ids_[0], "v1\tv2\t").ok());
    if (std::string(Case().name) == "reorganize") {
      CardRecord c(store);
      ASSERT_TRUE(c.Erase(ids_[1]).ok());
      ASSERT_TRUE(Rewrite(store, ids_[2], "card2", "short").ok());
    }
    before_ = ReadDataSet(store);
    ASSERT_TRUE(store.Close().ok());
  }

  // A copy of the base set to work on.
  std::unique_ptr<TempDir> Copy() {
    auto dir = std::make_unique<TempDir>();
    for (const auto& f : std::filesystem::directory_iterator(base_.Path())) {
      std::filesystem::copy(f.path(), dir->Path() + "/" + f.path().filename().string());
    }
    return dir;
  }

  // Runs the operation and a clean close on a copy, crashing at change n
  // (0: no crash). *acknowledged: the operation itself returned success.
  void Run(const std::string& folder, uint64_t n, bool tear, bool* acknowledged,
           uint64_t* changes) {
    FaultEnv env;
    env.SetFreeBytes(uint64_t{1} << 40);
    CardStore store(env, folder, CardStoreOptions{std::get<1>(GetParam())});
    ASSERT_TRUE(store.Open(false, {}).ok());
    const uint64_t start = env.changes();
    if (n > 0) env.CrashAtChange(n, tear);
    *acknowledged = Case().op(store, ids_).ok();
    if (*acknowledged) (void)store.Close();
    if (n > 0) {
      EXPECT_TRUE(env.crashed()) << "no crash at change " << n;
    }
    *changes = env.changes() - start;
  }

  // Reopens the set as after a restart and checks it; a crash_at > 0
  // crashes the reopen itself at that change (*crashed tells whether it
  // came before the open was done) and checks nothing.
  SetState Reopen(const std::string& folder, uint64_t crash_at = 0, bool* crashed = nullptr) {
    FaultEnv env;
    env.SetFreeBytes(uint64_t{1} << 40);
    CardStore store(env, folder);
    if (crash_at > 0) {
      env.CrashAtChange(crash_at);
      (void)store.Open(false, {});
      *crashed = env.crashed();
      return {};
    }
    Status s = store.Open(false, {});
    EXPECT_TRUE(s.ok()) << s.ToString();
    if (!s.ok()) return {};
    SetState read = ReadDataSet(store);
    EXPECT_TRUE(store.Close().ok());
    EXPECT_TRUE(read == WalkDataSet(folder)) << "the readers and the files disagree";
    // A clean close leaves only the data set's own files.
    std::set<std::string> names;
    for (const auto& f : std::filesystem::directory_iterator(folder)) {
      names.insert(f.path().filename().string());
    }
    EXPECT_EQ(names, (std::set<std::string>{"quilbo7.dat", "quilbo7.ix0", "quilbo7.ix1",
                                            "quilbo7.tx", "quilbo7.itx", "quilbo7.hdt",
                                            "quilbo7.hid"}));
    return read;
  }

  TempDir base_;
  Ids ids_;
  SetState before_;
};

TEST_P(CrashTest, EveryCrashPointLeavesTheCardsBeforeOrAfter) {
  // Without a crash: the state after, and the number of changes made.
  auto dir = Copy();
  const std::string folder = dir->Path() + "/";
  const uintmax_t ix0 = std::filesystem::file_size(folder + "quilbo7.ix0");
  bool acknowledged = false;
  uint64_t total = 0;
  Run(folder, 0, false, &acknowledged, &total);
  ASSERT_TRUE(acknowledged);
  if (Case().ix0_pages_added > 0) {
    ASSERT_EQ(std::filesystem::file_size(folder + "quilbo7.ix0"),
              ix0 + 512u * Case().ix0_pages_added);
  }
  const SetState after = Reopen(folder);
  ASSERT_NE(total, 0u);

  for (uint64_t n = 1; n <= total; ++n) {
    for (bool tear : {false, true}) {
      SCOPED_TRACE("crash at change " + std::to_string(n) + " of " + std::to_string(total) +
                   (tear ? ", torn" : ""));
      auto work = Copy();
      const std::string w = work->Path() + "/";
      uint64_t unused = 0;
      Run(w, n, tear, &acknowledged, &unused);
      const SetState got = Reopen(w);
      if (acknowledged) {
        EXPECT_TRUE(got == after) << "an acknowledged change is lost";
      } else {
        EXPECT_TRUE(got == before_ || got == after) << "a card is neither as before nor as after";
      }
      if (HasFailure()) return;
    }
  }
}

TEST_P(CrashTest, ACrashDuringRecoveryIsRecoveredByTheNextOpen) {
  // The operation is cut off half way, then the recovery at every change.
  auto dir = Copy();
  bool acknowledged = false;
  uint64_t total = 0;
  Run(dir->Path() + "/", 0, false, &acknowledged, &total);
  const SetState after = Reopen(dir->Path() + "/");
  for (uint64_t n = 1;; ++n) {
    SCOPED_TRACE("recovery crashed at change " + std::to_string(n));
    auto work = Copy();
    const std::string w = work->Path() + "/";
    uint64_t unused = 0;
    Run(w, total / 2 + 1, false, &acknowledged, &unused);
    bool crashed = false;
    Reopen(w, n, &crashed);
    const SetState got = Reopen(w);
    EXPECT_TRUE(got == before_ || got == after) << "a card is neither as before nor as after";
    if (!crashed || HasFailure()) break;
  }
}

// Damage that a crash could leave before the journal existed, or that a
// power cut can leave: an index whose header is behind its pages is rebuilt
// before anything is written into it; a table whose row count runs past its
// file is cut to its whole rows when the journal shows the session crashed,
// and is refused, untouched, when it does not.
TEST(CardStoreRepairTest, DamagedFilesAreRepairedOrRefusedBeforeAnyWrite) {
  TempDir dir;
  const std::string folder = dir.Path() + "/";
  FaultEnv env;
  env.SetFreeBytes(uint64_t{1} << 40);
  Ids ids;
  {
    CardStore store(env, folder);
    ASSERT_TRUE(store.Open(false, {}).ok());
    for (int i = 0; i < 5; ++i) {  // the fifth splits the root of the folder index
      ids.push_back(WriteTestCard(store, env.fake_clock(), "F", "c" + std::to_string(i), "t"));
    }
    ASSERT_TRUE(store.Close().ok());
  }
  auto set_u32 = [&](const std::string& name, size_t offset, uint32_t v) {
    std::string bytes = ReadAll(folder + name);
    PutU32(bytes.data() + offset, v);
    ASSERT_TRUE(env.WriteFileAtomic(folder + name, bytes).ok());
  };
  // The folder index as a crash after the root split left it: the header
  // still names the old root and the old next free page.
  set_u32("quilbo7.ix0", 0, 1);
  set_u32("quilbo7.ix0", 4, 2);
  {
    CardStore store(env, folder);
    ASSERT_TRUE(store.Open(false, {}).ok());
    ids.push_back(WriteTestCard(store, env.fake_clock(), "F", "c5", "t"));
    EXPECT_EQ(ReadDataSet(store).size(), 6u);
    ASSERT_TRUE(store.Close().ok());
    EXPECT_EQ(WalkDataSet(folder).size(), 6u);
  }
  // One row more counted than the card table holds.
  const std::string dat = ReadAll(folder + "quilbo7.dat");
  set_u32("quilbo7.dat", 4, 7);
  const std::string damaged = ReadAll(folder + "quilbo7.dat");
  {
    CardStore store(env, folder);
    EXPECT_EQ(store.Open(false, {}).code(), Status::kCorrupt);
  }
  EXPECT_EQ(ReadAll(folder + "quilbo7.dat"), damaged);
  ASSERT_TRUE(env.WriteFileAtomic(folder + Journal::kFileName, "").ok());
  {
    CardStore store(env, folder);
    ASSERT_TRUE(store.Open(false, {}).ok());
    EXPECT_EQ(ReadDataSet(store).size(), 6u);
    ASSERT_TRUE(store.Close().ok());
  }
  EXPECT_EQ(WalkDataSet(folder).size(), 6u);
  EXPECT_FALSE(env.Exists(folder + Journal::kFileName));
}

// The kill-safe mode leaves the disk alone until a sync: with every sync
// failing, its changes (enough to pass a journal checkpoint) are still
// taken, and only the sync reports the failure; the store that syncs each
// change refuses the first one. A batch on a syncing store is kill-safe
// inside and syncs at its end, after which the store syncs each change
// again. Every change taken is there after the clean close.
TEST(CardStoreDurabilityTest, OnlyASyncOrTheCloseWaitsForTheDisk) {
  const std::string big(1000000, 'b');  // five of these pass a checkpoint
  struct Case {
    const char* name;
    Durability durability;
    bool batch;
    bool changes_taken;
  };
  for (const Case& c : {Case{"syncing each change", Durability::kSyncEachChange, false, false},
                        Case{"kill-safe", Durability::kKillSafe, false, true},
                        Case{"batch", Durability::kSyncEachChange, true, true}}) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string folder = dir.Path() + "/";
    FaultEnv env;
    env.SetFreeBytes(uint64_t{1} << 40);
    std::set<std::string> expected;
    {
      CardStore store(env, folder, CardStoreOptions{c.durability});
      ASSERT_TRUE(store.Open(false, {}).ok());
      expected.insert(WriteTestCard(store, env.fake_clock(), "F", "first", "t"));
      env.SetFailSync(true);
      auto batch = c.batch ? std::make_unique<SyncBatch>(store) : nullptr;
      for (int i = 0; i < 5; ++i) {
        CardRecord card(store);
        card.Clear();
        card.folder = "F";
        card.text = big;
        Status s = card.Write();
        EXPECT_EQ(s.ok(), c.changes_taken) << s.ToString();
        if (!s.ok()) break;
        expected.insert(card.id);
        env.fake_clock().AdvanceMs(1);
      }
      EXPECT_EQ(c.batch ? batch->End().ok() : store.Sync().ok(), !c.changes_taken);
      EXPECT_EQ(store.durability(), c.batch ? Durability::kSyncEachChange : c.durability);
      env.SetFailSync(false);
      EXPECT_TRUE(store.Sync().ok());
      EXPECT_TRUE(store.Close().ok());
    }
    std::set<std::string> ids;
    for (const auto& [id, card] : WalkDataSet(folder)) {
      ids.insert(id);
      EXPECT_TRUE(card.text == "t" || card.text == big) << id;
    }
    EXPECT_EQ(ids, expected);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Operations, CrashTest,
    ::testing::Combine(::testing::ValuesIn(kCases),
                       ::testing::Values(Durability::kSyncEachChange, Durability::kKillSafe)),
    [](const ::testing::TestParamInfo<CrashTest::ParamType>& param) {
      std::string name = std::get<0>(param.param).name;
      std::replace(name.begin(), name.end(), ' ', '_');
      return name + (std::get<1>(param.param) == Durability::kKillSafe ? "_kill_safe" : "");
    });

}  // namespace
}  // namespace quill::store
