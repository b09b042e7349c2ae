#include "store/index_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <tuple>

#include "platform/headless/fault_env.h"
#include "platform/headless/temp_dir.h"
#include "platform/headless/watchdog.h"
#include "store/db_error.h"
#include "store/index_build.h"
#include "store/index_file_test_support.h"
#include "store/index_test_support.h"

namespace quill::store {
namespace {

TEST(KeyExprTest, CompileRules) {
  std::vector<FieldLayout> fields = {
      {"KUBUN", 'C', 1, 100, 0}, {"TITLE", 'C', 101, 50, 0}, {"DAY", 'D', 151, 8, 0},
      {"N1", 'N', 159, 6, 0},    {"N2", 'N', 165, 10, 2},    {"X\x83\x61", 'C', 175, 3, 0},
  };
  struct Case {
    const char* expr;
    bool ok;
    uint32_t length;
    bool numeric;
  } cases[] = {
      {"KUBUN", true, 100, false},
      {" kubun + Title ", true, 150, false},
      {"KUBUN+DAY", true, 108, false},
      {"N1+N2", true, 8, true},
      {"N1 N2", true, 8, true},
      {"x\x83\x61", true, 3, false},   // the trail byte 0x61 is not upper-cased
      {"X\x83\x41", false, 0, false},  // ... so this name is another one
      {"KUBUN+N1", false, 0, false},   // text mixed with numbers
      {"KUBUN+NOPE", false, 0, false},
      {" + ", false, 0, false},
  };
  for (const Case& c : cases) {
    KeyExpr k;
    Status s = KeyExpr::Compile(c.expr, fields, &k);
    EXPECT_EQ(s.ok(), c.ok) << c.expr;
    if (c.ok) {
      EXPECT_EQ(k.key_length(), c.length) << c.expr;
      EXPECT_EQ(k.numeric(), c.numeric) << c.expr;
    } else {
      EXPECT_EQ(s.db_code(), kDbBadKeyExpression) << c.expr;
    }
  }
}

TEST(KeyExprTest, KeyOfRow) {
  std::vector<FieldLayout> fields = {
      {"A", 'C', 1, 3, 0}, {"B", 'C', 4, 2, 0}, {"N1", 'N', 6, 6, 2}, {"N2", 'N', 12, 4, 0}};
  const std::string row = " abcde 12.50  -2";
  KeyExpr text, num;
  ASSERT_TRUE(KeyExpr::Compile("B+A", fields, &text).ok());
  ASSERT_TRUE(KeyExpr::Compile("N1+N2", fields, &num).ok());
  EXPECT_EQ(text.KeyOfRow(row), "deabc");
  EXPECT_EQ(text.KeyOfRow(" ab"), "  ab ");  // missing bytes read as blanks
  EXPECT_EQ(num.KeyOfRow(row), NumericKey(10.5));
  EXPECT_EQ(DecimalValue("  3.25xyz"), 3.25);
  EXPECT_EQ(DecimalValue("abc"), 0.0);
}

TEST(IndexFileTest, CompareTextAndNumeric) {
  TempDir dir;
  VectorRows rows;
  auto ix = BuildIndex(FileEnv::Default(), dir.File("t.ix"), 4, rows);
  struct Case {
    std::string value, key;
    int sign;
  } cases[] = {
      {"AB", "ABCD", 0},       {"", "ABCD", 0},          {"ABCD", "ABCD", 0},
      {"ABCE", "ABCD", 1},     {"AB\x90", "AB\x10 ", 1},  // bytes compare unsigned
      {"ABCD  ", "ABCD", 0},   {"ABCD x", "ABCD", 1},     {"ABCD \t", "ABCD", -1},
      {"AB  Z", "AB  ", 1},
  };
  for (const Case& c : cases) {
    int r = ix->Compare(c.value, c.key);
    EXPECT_EQ((r > 0) - (r < 0), c.sign) << c.value << " vs " << c.key;
  }

  std::vector<FieldLayout> num = {{"N", 'N', 1, 8, 2}};
  std::unique_ptr<IndexFile> nx;
  ASSERT_TRUE(IndexFile::Create(FileEnv::Default(), dir.File("n.ix"), "N", false, &nx).ok());
  ASSERT_TRUE(nx->Build(num, rows).ok());
  EXPECT_TRUE(nx->numeric());
  EXPECT_LT(nx->Compare(NumericKey(-3), NumericKey(2)), 0);
  EXPECT_EQ(nx->Compare(NumericKey(2), NumericKey(2)), 0);
  EXPECT_GT(nx->Compare(NumericKey(1e300), NumericKey(-1e300)), 0);
}

TEST(IndexFileTest, EmptyBuildLayout) {
  TempDir dir;
  const std::string path = dir.File("quilbo.ix0");
  VectorRows rows;
  auto ix = BuildIndex(FileEnv::Default(), path, 100, rows, /*unique=*/true);
  uint32_t row = 7;
  for (const std::string& v : std::vector<std::string>{"", "A", Pad("A", 100)}) {
    EXPECT_TRUE(ix->Seek(v, &row).ok());
    EXPECT_EQ(row, 0u);
  }
  EXPECT_TRUE(ix->First(&row).ok());
  EXPECT_EQ(row, 0u);
  EXPECT_TRUE(ix->Last(&row).ok());
  EXPECT_EQ(row, 0u);
  EXPECT_FALSE(ix->DeleteCurrent().ok());
  ASSERT_TRUE(ix->Close().ok());

  std::string b = FileBytes(path);
  ASSERT_EQ(b.size(), 1024u);
  EXPECT_EQ(U32(b, 0), 1u);    // root
  EXPECT_EQ(U32(b, 4), 2u);    // next free page
  EXPECT_EQ(U32(b, 12), 100u);
  EXPECT_EQ(U32(b, 16), 4u);   // keys per page
  EXPECT_EQ(U32(b, 20), 0u);
  EXPECT_EQ(U32(b, 24), 108u);  // entry size
  EXPECT_EQ(b[33], 1);
  EXPECT_EQ(std::string(b.data() + 34), "KEY ");
  EXPECT_EQ(b.substr(512), std::string(512, '\0'));  // page 1: count 0

  std::unique_ptr<IndexFile> again;
  const Status opened = IndexFile::Open(FileEnv::Default(), path, &again);
  ASSERT_TRUE(opened.ok());
  EXPECT_EQ(opened.db_code(), kDbOk);
  EXPECT_EQ(again->expression(), "KEY");
  EXPECT_TRUE(again->unique());
  EXPECT_EQ(again->key_length(), 100u);
}

// Ascending 100-byte keys k0, k1, ... into an empty index: four keys a page.
TEST(IndexFileTest, SplitsOnTheBytes) {
  TempDir dir;
  const std::string path = dir.File("split.ix");
  auto key = [](int i) { return Pad("K" + std::to_string(100 + i), 100); };
  VectorRows none;
  auto ix = BuildIndex(FileEnv::Default(), path, 100, none);
  for (int i = 0; i < 5; ++i) ASSERT_TRUE(ix->Insert(key(i), i + 1).ok());
  ix = Reopen(FileEnv::Default(), std::move(ix), 100);

  std::string b = FileBytes(path);
  auto page = [&](uint32_t p) { return b.substr(p * 512, 512); };
  auto key_at = [&](uint32_t p, uint32_t i) { return b.substr(p * 512 + 12 + i * 108, 100); };
  EXPECT_EQ(U32(b, 0), 3u);  // a new root above the split leaf
  EXPECT_EQ(U32(b, 4), 4u);
  EXPECT_EQ(U32(page(1), 0), 3u);  // the left leaf keeps three
  for (uint32_t i = 0; i < 3; ++i) {
    EXPECT_EQ(U32(page(1), 8 + i * 108), i + 1);
    EXPECT_EQ(key_at(1, i), key(i));
  }
  EXPECT_EQ(U32(page(1), 4 + 3 * 108), 0u);
  EXPECT_EQ(U32(page(2), 0), 2u);  // the right one takes two
  EXPECT_EQ(key_at(2, 0), key(3));
  EXPECT_EQ(U32(page(2), 8 + 108), 5u);
  EXPECT_EQ(U32(page(3), 0), 1u);  // root: the third key with row 0
  EXPECT_EQ(U32(page(3), 4), 1u);
  EXPECT_EQ(U32(page(3), 8), 0u);
  EXPECT_EQ(key_at(3, 0), key(2));
  EXPECT_EQ(U32(page(3), 4 + 108), 2u);
  EXPECT_EQ(page(3).substr(8 + 108), std::string(512 - 8 - 108, '\0'));

  // Twelve more: leaves 2, 4, 5, 6 split in turn, then the root (five
  // entries: keeps two, promotes the third, the right page takes two).
  for (int i = 5; i < 17; ++i) ASSERT_TRUE(ix->Insert(key(i), i + 1).ok());
  ix = Reopen(FileEnv::Default(), std::move(ix), 100);
  b = FileBytes(path);
  EXPECT_EQ(U32(b, 0), 9u);
  EXPECT_EQ(U32(b, 4), 10u);
  struct Internal {
    uint32_t page;
    std::vector<uint32_t> children;
    std::vector<int> keys;
  } expect[] = {{9, {3, 8}, {8}}, {3, {1, 2, 4}, {2, 5}}, {8, {5, 6, 7}, {11, 14}}};
  for (const Internal& in : expect) {
    ASSERT_EQ(U32(page(in.page), 0), in.keys.size()) << in.page;
    for (uint32_t i = 0; i < in.children.size(); ++i)
      EXPECT_EQ(U32(page(in.page), 4 + i * 108), in.children[i]) << in.page;
    for (uint32_t i = 0; i < in.keys.size(); ++i) EXPECT_EQ(key_at(in.page, i), key(in.keys[i]));
  }
  EXPECT_EQ(TreeChecker(path).Check().size(), 17u);
  auto all = Scan(*ix);
  ASSERT_EQ(all.size(), 17u);
  for (int i = 0; i < 17; ++i) EXPECT_EQ(all[i].second, static_cast<uint32_t>(i + 1));
}

TEST(IndexFileTest, DeleteReplacesSeparatorAndUnlinksEmptyLeaf) {
  TempDir dir;
  const std::string path = dir.File("del.ix");
  auto key = [](int i) { return Pad("K" + std::to_string(100 + i), 100); };
  auto make = [&]() {
    VectorRows none;
    auto ix = BuildIndex(FileEnv::Default(), path, 100, none);
    // Leaf 1 {k0 k1 k2}, leaf 2 {k3 k4}, root 3 {k2}.
    for (int i = 0; i < 5; ++i) EXPECT_TRUE(ix->Insert(key(i), i + 1).ok());
    return ix;
  };
  auto remove = [&](IndexFile& ix, int i) {
    uint32_t row = 0;
    ASSERT_TRUE(ix.Seek(key(i), &row).ok());
    ASSERT_EQ(row, static_cast<uint32_t>(i + 1));
    ASSERT_TRUE(ix.DeleteCurrent().ok());
  };

  auto ix = make();
  remove(*ix, 2);  // the last entry of leaf 1: the root's separator becomes k1
  ix = Reopen(FileEnv::Default(), std::move(ix), 100);
  std::string b = FileBytes(path);
  EXPECT_EQ(U32(b, 512), 2u);
  EXPECT_EQ(U32(b, 3 * 512), 1u);
  EXPECT_EQ(b.substr(3 * 512 + 12, 100), key(1));
  TreeChecker(path).Check();
  ix.reset();

  ix = make();
  for (int i : {0, 1, 2}) remove(*ix, i);  // leaf 1 emptied: unlinked from the root
  ix = Reopen(FileEnv::Default(), std::move(ix), 100);
  b = FileBytes(path);
  EXPECT_EQ(U32(b, 512), 0u);
  EXPECT_EQ(U32(b, 3 * 512), 0u);      // root count 0 ...
  EXPECT_EQ(U32(b, 3 * 512 + 4), 2u);  // ... its only child leaf 2
  EXPECT_EQ(TreeChecker(path).Check(), (std::vector<std::string>{key(3), key(4)}));
  uint32_t row = 0;
  ASSERT_TRUE(ix->Seek("K10", &row).ok());
  EXPECT_EQ(row, 4u);

  // Emptying the rightmost leaf as well leaves an empty tree that still works.
  remove(*ix, 4);
  remove(*ix, 3);
  EXPECT_TRUE(ix->First(&row).ok());
  EXPECT_EQ(row, 0u);
  ASSERT_TRUE(ix->Insert(key(9), 10).ok());
  EXPECT_EQ(Scan(*ix), (std::vector<std::pair<std::string, uint32_t>>{{key(9), 10}}));
}

// Random inserts, deletes and seeks against a std::multimap. A key
// inserted later goes before the equal keys already there. With
// write-back the pages reach the file only at each close.
class IndexDifferentialTest : public ::testing::TestWithParam<std::tuple<uint32_t, bool>> {};

TEST_P(IndexDifferentialTest, MatchesMultimap) {
  const uint32_t kl = std::get<0>(GetParam());
  const bool write_back = std::get<1>(GetParam());
  TempDir dir;
  const std::string path = dir.File("diff.ix");
  std::mt19937 rng(kl * 7919u);
  auto random_key = [&]() {
    static const char kAlphabet[] = {'A', 'B', '\xE0'};
    std::string k(1 + rng() % 5, ' ');
    for (char& ch : k) ch = kAlphabet[rng() % 3];
    return Pad(k, kl);
  };

  // Start from a bulk build of a few hundred rows.
  VectorRows rows;
  for (int i = 0; i < 300; ++i) rows.AddKey(random_key());
  auto ix = BuildIndex(FileEnv::Default(), path, kl, rows);
  ix->set_write_back(write_back);
  std::multimap<std::string, uint32_t> model;
  std::vector<std::pair<std::string, uint32_t>> live;
  for (uint32_t r = 1; r <= rows.rows.size(); ++r) {
    model.emplace(rows.rows[r - 1].substr(1), r);
    live.emplace_back(rows.rows[r - 1].substr(1), r);
  }
  uint32_t next_row = static_cast<uint32_t>(rows.rows.size()) + 1;

  auto check_all = [&]() {
    std::vector<std::pair<std::string, uint32_t>> want(model.begin(), model.end());
    ASSERT_EQ(Scan(*ix), want);
    ASSERT_EQ(Scan(*ix, /*backwards=*/true), want);
    std::vector<uint32_t> all, want_rows;
    for (const auto& entry : want) want_rows.push_back(entry.second);
    ASSERT_TRUE(ix->AllRows(&all).ok());
    ASSERT_EQ(all, want_rows);
    // Searched often enough, the index answers from memory, as the walk
    // through the file would.
    bool in_memory = false;
    for (int i = 0; i < 200 && !in_memory; ++i) {
      const std::string prefix = random_key().substr(0, rng() % 4);
      std::vector<uint32_t> got, expected;
      uint32_t after = 0;
      ASSERT_TRUE(ix->MatchingRows(prefix, &got, &after, &in_memory).ok());
      auto it = model.lower_bound(prefix);
      for (; it != model.end() && it->first.compare(0, prefix.size(), prefix) == 0; ++it) {
        expected.push_back(it->second);
      }
      if (!in_memory) {
        uint32_t row = 0;
        ASSERT_TRUE(ix->Seek(prefix, &row).ok());
        continue;
      }
      ASSERT_EQ(got, expected) << "prefix " << prefix;
      ASSERT_EQ(after, it == model.end() ? 0u : it->second);
    }
    ASSERT_TRUE(in_memory);
    ix = Reopen(FileEnv::Default(), std::move(ix), kl);
    ix->set_write_back(write_back);
    ASSERT_EQ(TreeChecker(path).Check().size(), model.size());
  };

  const int kOps = 20000;
  for (int op = 0; op < kOps; ++op) {
    // Phases that grow the tree alternate with phases that drain it, so
    // that whole subtrees empty out as well.
    const bool draining = (op / 4000) % 2 == 1;
    const unsigned pick = rng() % 100;
    if (pick < (draining ? 25u : 55u) || live.empty()) {
      std::string k = random_key();
      ASSERT_TRUE(ix->Insert(k, next_row).ok());
      model.emplace_hint(model.lower_bound(k), k, next_row);
      live.emplace_back(k, next_row++);
    } else if (pick < 85) {
      size_t at = rng() % live.size();
      auto [k, target] = live[at];
      live[at] = live.back();
      live.pop_back();
      uint32_t row = 0;
      ASSERT_TRUE(ix->Seek(k, &row).ok());
      while (row != target && row != 0) {
        ASSERT_EQ(ix->CurrentKey(), k);
        ASSERT_TRUE(ix->Next(&row).ok());
      }
      ASSERT_EQ(row, target);
      ASSERT_TRUE(ix->DeleteCurrent().ok());
      auto range = model.equal_range(k);
      for (auto it = range.first; it != range.second; ++it) {
        if (it->second == target) {
          model.erase(it);
          break;
        }
      }
    } else {
      std::string prefix = random_key().substr(0, rng() % 4);
      auto it = model.lower_bound(prefix);
      bool match = it != model.end() && it->first.compare(0, prefix.size(), prefix) == 0;
      uint32_t row = 0;
      ASSERT_TRUE(ix->Seek(prefix, &row).ok());
      ASSERT_EQ(row, match ? it->second : 0u) << "seek " << prefix;
      if (match) {
        // Step once from the path the seek left.
        bool back = rng() % 2;
        auto other = back ? (it == model.begin() ? model.end() : std::prev(it)) : std::next(it);
        ASSERT_TRUE((back ? ix->Previous(&row) : ix->Next(&row)).ok());
        ASSERT_EQ(row, other == model.end() ? 0u : other->second);
      }
    }
    if (op % 2500 == 2499) {
      check_all();
      if (HasFatalFailure()) return;
    }
  }
  check_all();
}

INSTANTIATE_TEST_SUITE_P(KeyLengths, IndexDifferentialTest,
                         ::testing::Combine(::testing::Values(100u, 20u, 244u),
                                            ::testing::Bool()));

TEST(IndexBuildTest, ScratchPaths) {
  struct Case {
    const char* index;
    const char* one;
  } cases[] = {
      {"/d/quilbo7.ix0", "/d/quilbo7.$$1"},
      {"/d/quilbo7", "/d/quilbo7.$$1"},
      {"/data.d/quilbo7", "/data.d/quilbo7.$$1"},  // a '.' of the folder is not used
      {"/d/a.b.c", "/d/a.b.$$1"},
      {"idx", "idx.$$1"},
  };
  for (const Case& c : cases) EXPECT_EQ(ScratchPath(c.index, 1), c.one) << c.index;
  EXPECT_EQ(ScratchPath("/d/x.ix", 2), "/d/x.$$2");
}

TEST(IndexBuildTest, TwoRunsAndOneMerge) {
  TempDir dir;
  const std::string index = dir.File("sort.ix");
  ExternalSort sort(FileEnv::Default(), index, 20, false);
  ASSERT_TRUE(sort.Start().ok());
  EXPECT_TRUE(FileEnv::Default().Exists(dir.File("sort.$$1")));
  EXPECT_TRUE(FileEnv::Default().Exists(dir.File("sort.$$2")));
  for (uint32_t r = 1; r <= 2000; ++r)
    ASSERT_TRUE(sort.Add(r, Pad(std::to_string((r * 7919) % 300), 20)).ok());
  ASSERT_TRUE(sort.Finish().ok());
  EXPECT_EQ(sort.initial_runs(), (std::vector<uint32_t>{1024, 976}));
  EXPECT_EQ(sort.merge_passes(), 1);
  std::pair<std::string, uint32_t> prev;
  for (int n = 0; n < 2000; ++n) {
    uint32_t row = 0;
    std::string key;
    bool done = true;
    ASSERT_TRUE(sort.Next(&row, &key, &done).ok());
    ASSERT_FALSE(done);
    ASSERT_LT(prev, std::make_pair(key, row));  // key order, equal keys in row order
    prev = {key, row};
  }
  uint32_t row;
  std::string key;
  bool done = false;
  ASSERT_TRUE(sort.Next(&row, &key, &done).ok());
  EXPECT_TRUE(done);
  ASSERT_TRUE(sort.Cleanup().ok());
  std::vector<std::string> names;
  ASSERT_TRUE(FileEnv::Default().ListDir(dir.Path(), &names).ok());
  EXPECT_TRUE(names.empty());
}

TEST(IndexFileTest, BuildsTwoThousandRowsInRowOrder) {
  TempDir dir;
  ASSERT_TRUE(FileEnv::Default().CreateDir(dir.File("data.d")).ok());
  const std::string path = dir.File("data.d/KEYS");
  VectorRows rows;
  for (uint32_t r = 1; r <= 2000; ++r) rows.AddKey(Pad(std::to_string((r * 7919) % 300), 20));
  bool scratch_seen = false;
  rows.on_read = [&](uint32_t) {
    scratch_seen = FileEnv::Default().Exists(dir.File("data.d/KEYS.$$1"));
  };
  auto ix = BuildIndex(FileEnv::Default(), path, 20, rows);
  EXPECT_TRUE(scratch_seen);

  auto all = Scan(*ix);
  ASSERT_EQ(all.size(), 2000u);
  for (size_t i = 1; i < all.size(); ++i) ASSERT_LT(all[i - 1], all[i]);
  uint32_t row = 0;
  ASSERT_TRUE(ix->Seek("15", &row).ok());  // "15 ..." before "150 ..."
  EXPECT_EQ(ix->CurrentKey(), Pad("15", 20));
  EXPECT_EQ(row, std::lower_bound(all.begin(), all.end(), std::make_pair(Pad("15", 20), 0u))
                     ->second);
  ix = Reopen(FileEnv::Default(), std::move(ix), 20);
  EXPECT_EQ(TreeChecker(path).Check().size(), 2000u);

  std::vector<std::string> names;
  ASSERT_TRUE(FileEnv::Default().ListDir(dir.File("data.d"), &names).ok());
  EXPECT_EQ(names, std::vector<std::string>{"KEYS"});
  ASSERT_TRUE(FileEnv::Default().ListDir(dir.Path(), &names).ok());
  EXPECT_EQ(names, std::vector<std::string>{"data.d"});
}

TEST(IndexFileTest, UniqueIndexKeepsFirstRowOfEqualKeys) {
  TempDir dir;
  VectorRows rows;
  // The leaf fills up with A B C D; the D's after it must not make an
  // empty leaf of their own.
  for (std::string k : {"B", "A", "B", "C", "D", "D", "D"}) rows.AddKey(Pad(k, 100));
  const std::string path = dir.File("u.ix");
  auto ix = BuildIndex(FileEnv::Default(), path, 100, rows, /*unique=*/true);
  std::vector<std::pair<std::string, uint32_t>> want = {
      {Pad("A", 100), 2}, {Pad("B", 100), 1}, {Pad("C", 100), 4}, {Pad("D", 100), 5}};
  EXPECT_EQ(Scan(*ix), want);
  const Status s = ix->Insert(Pad("C", 100), 20);
  EXPECT_EQ(s.code(), Status::kDuplicate);
  EXPECT_EQ(s.db_code(), kDbDuplicateKey);
  EXPECT_EQ(Scan(*ix), want);
  ix = Reopen(FileEnv::Default(), std::move(ix), 100);
  TreeChecker(path).Check();
}

TEST(IndexFileTest, NumericKeysInNumberOrder) {
  TempDir dir;
  std::vector<FieldLayout> fields = {{"PRICE", 'N', 1, 8, 2}};
  VectorRows rows;
  for (const char* v : {"   12.50", "   -3.00", "    0.00", "  100.00", "   -3.00"})
    rows.rows.push_back(std::string(" ") + v);
  std::unique_ptr<IndexFile> ix;
  ASSERT_TRUE(IndexFile::Create(FileEnv::Default(), dir.File("n.ix"), "price", false, &ix).ok());
  ASSERT_TRUE(ix->Build(fields, rows).ok());
  EXPECT_EQ(ix->key_length(), 8u);
  std::vector<uint32_t> order;
  for (auto& e : Scan(*ix)) order.push_back(e.second);
  EXPECT_EQ(order, (std::vector<uint32_t>{2, 5, 3, 1, 4}));
  uint32_t row = 0;
  ASSERT_TRUE(ix->Seek(NumericKey(12.5), &row).ok());
  EXPECT_EQ(row, 1u);
  ASSERT_TRUE(ix->Seek(NumericKey(7), &row).ok());
  EXPECT_EQ(row, 0u);
}

// A search value one blank longer than a 100-byte folder key finds that
// folder's rows, and reads nothing of the entries after it.
TEST(IndexFileTest, ValueLongerThanKeyMatchesOnlyBlanks) {
  TempDir dir;
  const std::string folder(100, 'F');
  std::string next = folder;
  next[99] = 'G';
  VectorRows rows;
  for (const std::string& k : {folder, next, folder, next}) rows.AddKey(k);
  auto ix = BuildIndex(FileEnv::Default(), dir.File("k.ix"), 100, rows);
  std::vector<uint32_t> found;
  uint32_t row = 0;
  const std::string value = folder + " ";
  ASSERT_TRUE(ix->Seek(value, &row).ok());
  while (row != 0 && ix->Compare(value, ix->CurrentKey()) == 0) {
    found.push_back(row);
    ASSERT_TRUE(ix->Next(&row).ok());
  }
  EXPECT_EQ(found, (std::vector<uint32_t>{1, 3}));
  ASSERT_TRUE(ix->Seek(folder + "x", &row).ok());
  EXPECT_EQ(row, 0u);
}

TEST(IndexFileTest, BadKeysAreRefused) {
  TempDir dir;
  VectorRows rows;
  rows.AddKey("abc");
  std::unique_ptr<IndexFile> ix;
  ASSERT_TRUE(IndexFile::Create(FileEnv::Default(), dir.File("b.ix"), "NOPE", false, &ix).ok());
  Status s = ix->Build(KeyField(3), rows);
  EXPECT_FALSE(s.ok());
  EXPECT_EQ(s.db_code(), kDbBadKeyExpression);
  // 245 bytes leave one key a page; 244 still give two.
  ASSERT_TRUE(IndexFile::Create(FileEnv::Default(), dir.File("l.ix"), "KEY", false, &ix).ok());
  EXPECT_EQ(ix->Build(KeyField(245), rows).code(), Status::kInvalid);
  EXPECT_TRUE(ix->Build(KeyField(244), rows).ok());
  EXPECT_EQ(ix->Insert("short", 2).code(), Status::kInvalid);
  EXPECT_FALSE(IndexFile::Create(FileEnv::Default(), dir.File("e.ix"), std::string(477, 'A'),
                                 false, &ix)
                   .ok());
}

TEST(IndexFileTest, OpenRefusesBadHeaders) {
  TempDir dir;
  const std::string good_path = dir.File("good.ix");
  VectorRows rows;
  for (int i = 0; i < 40; ++i) rows.AddKey(Pad(std::to_string(i), 20));
  auto ix = BuildIndex(FileEnv::Default(), good_path, 20, rows);
  ASSERT_TRUE(ix->Close().ok());
  const std::string good = FileBytes(good_path);

  // Key length 245 with matching entry size and keys per page.
  std::string too_long = good;
  PutU32(too_long, 12, 245);
  PutU32(too_long, 24, 256);
  PutU32(too_long, 16, 1);
  struct Case {
    const char* what;
    std::string bytes;
    Status::Code code;
  } cases[] = {
      {"short file", good.substr(0, 523), Status::kCorrupt},
      {"zero header", std::string(512, '\0') + good.substr(512), Status::kCorrupt},
      {"entry size", [&] { auto b = good; PutU32(b, 24, 32); return b; }(), Status::kCorrupt},
      {"keys per page", [&] { auto b = good; PutU32(b, 16, 19); return b; }(), Status::kCorrupt},
      {"root past end", [&] { auto b = good; PutU32(b, 0, U32(good, 4)); return b; }(),
       Status::kCorrupt},
      {"next free past file",
       [&] { auto b = good; PutU32(b, 4, U32(good, 4) + 1); return b; }(), Status::kCorrupt},
      {"one key a page", too_long, Status::kInvalid},
  };
  for (const Case& c : cases) {
    const std::string path = dir.File("bad.ix");
    WriteBytes(path, c.bytes);
    std::unique_ptr<IndexFile> bad;
    EXPECT_EQ(IndexFile::Open(FileEnv::Default(), path, &bad).code(), c.code) << c.what;
  }
  std::unique_ptr<IndexFile> missing;
  const Status s = IndexFile::Open(FileEnv::Default(), dir.File("none.ix"), &missing);
  EXPECT_FALSE(s.ok());
  EXPECT_EQ(s.db_code(), kDbCannotOpen);
}

// The index at `path` built over `n` rows keyed 1000, 1001, ... in 20
// bytes.
std::unique_ptr<IndexFile> BuildNumberedIndex(FileEnv& env, const std::string& path, int n) {
  VectorRows rows;
  for (int i = 0; i < n; ++i) rows.AddKey(Pad(std::to_string(1000 + i), 20));
  return BuildIndex(env, path, 20, rows);
}

TEST(IndexFileTest, ShortReadsAndWritesAreErrors) {
  TempDir dir;
  FaultEnv env;
  const std::string path = dir.File("io.ix");
  auto ix = BuildNumberedIndex(env, path, 200);

  // A split needs two page writes; the second comes up short.
  uint32_t row = 0;
  env.SetWriteBudget(512 + 100);
  Status s = Status::Ok();
  for (int i = 0; i < 40 && s.ok(); ++i) s = ix->Insert(Pad("1100", 20), 500 + i);
  EXPECT_FALSE(s.ok());
  EXPECT_EQ(s.db_code(), kDbShortWrite);
  env.ClearFaults();
  // The index needs a rebuild now, and says why.
  s = ix->Seek("1", &row);
  EXPECT_FALSE(s.ok());
  EXPECT_EQ(s.db_code(), kDbShortWrite);
  s = ix->Close();
  EXPECT_FALSE(s.ok());
  EXPECT_EQ(s.db_code(), kDbShortWrite);
  ix.reset();

  // A page cut off the end of the file (after it was opened) is a short read.
  ix = BuildNumberedIndex(env, path, 200);
  ix = Reopen(env, std::move(ix), 20);
  std::unique_ptr<RandomFile> f;
  ASSERT_TRUE(FileEnv::Default().Open(path, OpenMode::kReadWrite, &f).ok());
  uint64_t size = 0;
  ASSERT_TRUE(f->Size(&size).ok());
  ASSERT_TRUE(f->Truncate(size - 300).ok());
  s = ix->Last(&row);
  EXPECT_FALSE(s.ok());
  EXPECT_EQ(s.db_code(), kDbShortRead);
  // Opened again, the header no longer fits the file.
  ASSERT_TRUE(ix->Close().ok());
  EXPECT_EQ(IndexFile::Open(env, path, &ix).code(), Status::kCorrupt);
}

// Pages that do not form a tree: every walk stops with kCorrupt, and soon.
TEST(IndexFileTest, DamagedTreesAreRefusedInBoundedTime) {
  // Key "KEY" of 20 bytes: 18 keys, 19 children a page.
  const auto internal = RawIndex::Internal;
  const auto leaf = RawIndex::Leaf;
  RawIndex shared;
  shared.ShareEveryChild(9, 1);  // 19^9 leaves
  RawIndex self_loop;
  self_loop.pages = {internal({1, 2}), leaf({1})};
  RawIndex back_to_root;
  back_to_root.pages = {internal({2, 3}), internal({1, 3}), leaf({1})};
  RawIndex past_the_file;
  past_the_file.pages = {internal({2, 99}), leaf({1})};
  RawIndex too_many;
  too_many.pages = {internal({2, 3}), leaf({1}), leaf(std::vector<uint32_t>(19, 1))};
  RawIndex row_zero;
  row_zero.pages = {leaf({1, 0})};

  const struct {
    const char* what;
    RawIndex index;
  } cases[] = {{"shared pages", shared},
               {"child is its own page", self_loop},
               {"child is the root", back_to_root},
               {"child past the file", past_the_file},
               {"too many entries", too_many},
               {"row 0 in a leaf", row_zero}};
  using Walk = std::function<Status(IndexFile&)>;
  auto forward = [](IndexFile& ix) {
    uint32_t row = 0;
    Status s = ix.First(&row);
    while (s.ok() && row != 0) s = ix.Next(&row);
    return s;
  };
  auto backward = [](IndexFile& ix) {
    uint32_t row = 0;
    Status s = ix.Last(&row);
    while (s.ok() && row != 0) s = ix.Previous(&row);
    return s;
  };
  auto prefix = [](IndexFile& ix) {
    uint32_t row = 0;
    Status s = ix.Seek("A", &row);
    while (s.ok() && row != 0) s = ix.Next(&row);
    return s;
  };
  auto all = [](IndexFile& ix) {
    std::vector<uint32_t> rows;
    return ix.AllRows(&rows);
  };
  const std::pair<const char*, Walk> walks[] = {{"first/next", forward},
                                                {"last/previous", backward},
                                                {"seek/next", prefix},
                                                {"all rows", all}};

  TempDir dir;
  const std::string path = dir.File("bad.ix");
  for (const auto& c : cases) {
    WriteBytes(path, c.index.Bytes());
    for (const auto& [name, walk] : walks) {
      SCOPED_TRACE(std::string(c.what) + ", " + name);
      std::unique_ptr<IndexFile> ix;
      ASSERT_TRUE(IndexFile::Open(FileEnv::Default(), path, &ix).ok());
      Status s = ReturnsWithin([&] { return walk(*ix); });
      EXPECT_EQ(s.code(), Status::kCorrupt) << s.ToString();
      EXPECT_EQ(s.db_code(), kDbShortRead);
    }
  }
}

// The page cache never hides a write: pages read before an insert or a
// delete are read again as the file now holds them, and a failed write
// leaves nothing cached that the file may not hold.
TEST(IndexFileTest, CachedPagesFollowEveryWrite) {
  TempDir dir;
  FaultEnv env;
  const std::string path = dir.File("cache.ix");
  auto ix = BuildNumberedIndex(env, path, 500);
  auto keys = [&] {
    std::vector<std::string> out;
    for (const auto& e : Scan(*ix)) out.push_back(e.first.substr(0, 4));
    return out;
  };
  ASSERT_EQ(keys().size(), 500u);  // every page read once
  for (int i = 0; i < 300; ++i) ASSERT_TRUE(ix->Insert(Pad("1250", 20), 1000 + i).ok());
  uint32_t row = 0;
  ASSERT_TRUE(ix->Seek("1499", &row).ok());
  ASSERT_TRUE(ix->DeleteCurrent().ok());
  std::vector<std::string> got = keys();
  EXPECT_EQ(got.size(), 799u);
  EXPECT_EQ(std::count(got.begin(), got.end(), "1250"), 301);
  EXPECT_EQ(got.back(), "1498");
  ix = Reopen(env, std::move(ix), 20);
  EXPECT_EQ(keys(), got);
  EXPECT_EQ(TreeChecker(path).Check().size(), 799u);
}

// With write-back, written pages stay in memory and every read sees them;
// the close writes them (page order, neighbours together) before the
// header, and a close that cannot leaves an index reported incomplete.
TEST(IndexFileTest, WriteBackHoldsPagesUntilTheClose) {
  TempDir dir;
  FaultEnv env;
  const std::string path = dir.File("held.ix");
  auto ix = BuildNumberedIndex(env, path, 500);
  ix->set_write_back(true);
  const std::string built = FileBytes(path);
  const uint64_t written = env.bytes_written();
  for (int i = 0; i < 300; ++i) ASSERT_TRUE(ix->Insert(Pad("1250", 20), 1000 + i).ok());
  EXPECT_EQ(env.bytes_written(), written);
  EXPECT_EQ(FileBytes(path), built);
  std::vector<std::pair<std::string, uint32_t>> held = Scan(*ix);
  EXPECT_EQ(held.size(), 800u);
  ix = Reopen(env, std::move(ix), 20);
  EXPECT_EQ(Scan(*ix), held);
  EXPECT_EQ(TreeChecker(path).Check().size(), 800u);

  ix->set_write_back(true);
  for (int i = 0; i < 50; ++i) ASSERT_TRUE(ix->Insert(Pad("1100", 20), 2000 + i).ok());
  env.SetWriteBudget(1000);
  Status s = ix->Close();
  EXPECT_EQ(s.code(), Status::kIoError);
  EXPECT_EQ(s.db_code(), kDbShortWrite);
}

TEST(IndexFileTest, FailedBuildsReportAndLeaveNoScratchFiles) {
  TempDir dir;
  FaultEnv env;
  const std::string path = dir.File("full.ix");
  VectorRows rows;
  for (uint32_t r = 1; r <= 2000; ++r) rows.AddKey(Pad(std::to_string(r % 97), 20));
  auto list = [&] {
    std::vector<std::string> names;
    EXPECT_TRUE(env.ListDir(dir.Path(), &names).ok());
    std::sort(names.begin(), names.end());
    return names;
  };

  std::unique_ptr<IndexFile> ix;
  ASSERT_TRUE(IndexFile::Create(env, path, "KEY", false, &ix).ok());
  env.SetDiskFull(true);
  Status s = ix->Build(KeyField(20), rows);
  EXPECT_FALSE(s.ok());
  EXPECT_EQ(s.db_code(), kDbShortWrite);
  EXPECT_EQ(list(), std::vector<std::string>{"full.ix"});
  env.ClearFaults();

  // Runs and merge fit (2 x 48,000 bytes); the tree pages do not.
  ASSERT_TRUE(ix->Build(KeyField(20), rows).ok());
  env.SetWriteBudget(120000);
  EXPECT_FALSE(ix->Build(KeyField(20), rows).ok());
  env.ClearFaults();
  EXPECT_FALSE(ix->Close().ok());
  EXPECT_EQ(list(), std::vector<std::string>{"full.ix"});
  std::unique_ptr<IndexFile> again;
  EXPECT_FALSE(IndexFile::Open(env, path, &again).ok());  // not a silently short index

  // Rebuilding mends it.
  ASSERT_TRUE(IndexFile::Create(env, path, "KEY", false, &ix).ok());
  ASSERT_TRUE(ix->Build(KeyField(20), rows).ok());
  EXPECT_EQ(Scan(*ix).size(), 2000u);
}

}  // namespace
}  // namespace quill::store
