// Card store against SQLite on one workload: write N cards (default
// 100,000, or QUILL_BENCH_CARDS) into 1,000 folders, find every card by id,
// list the cards of every folder, read every text. SQLite gets one table
// with indexes on id and folder; each card is its own statement, as each
// card write is its own operation in the store. The writes run twice, like
// against like: the store syncing each change against SQLite with
// synchronous=FULL (both survive a power cut), and the store in its
// kill-safe mode against synchronous=OFF (both survive a killed process).
// The reads run on the store that wrote the cards, as SQLite's run on the
// connection that wrote them: what each keeps in memory from the writes
// serves the reads (the store keeps its index entries while its session
// lasts).
//
// A fifth workload has no SQLite side: the start-up tree load of the main
// window (LoadFolderTree over the same cards, on a freshly opened store)
// against one sequential read of the card table and its folder index. The
// timed load is the second in the process: the first writes the folder
// rows the cards need.
//
// Run: card_store_bench [benchmark flags]. After the runs a table prints
// the time of each workload on both and the ratio, then the tree load
// against the sequential read.

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_cards.h"
#include "bench/bench_results.h"
#include "main/tree/folder_tree_model.h"
#include "main/settings/settings.h"
#include "main/tree/tree_loader.h"
#include "platform/file_env.h"
#include "platform/headless/fake_ui.h"
#include "platform/headless/temp_dir.h"
#include "store/card_store.h"

namespace {

using quill::FileEnv;
using quill::Status;
using quill::TempDir;
using quill::store::CardRecord;
using quill::store::CardStore;
using quill::store::Durability;

constexpr char kWriteSynced[] = "1a write all, durable";
constexpr char kWriteKillSafe[] = "1b write all, kill-safe";

constexpr int kFolders = 1000;

struct CardData {
  std::string folder, title, text, id;
  uint32_t ctime, ctick;
};

using quill::bench::CardCount;
using quill::bench::FolderName;

// CP932 texts of 0 to 1,000 bytes: ASCII, double-byte characters, CR LF.
const std::vector<CardData>& Cards() {
  static const std::vector<CardData> cards = [] {
    std::vector<CardData> out(CardCount());
    std::mt19937 rng(42);
    for (size_t i = 0; i < out.size(); ++i) {
      CardData& c = out[i];
      c.folder = FolderName(static_cast<int>(i % kFolders));
      c.title = "Card " + std::to_string(i);
      c.text = quill::bench::RandomText(rng, rng() % 1001);
      c.ctime = 1700000000u + static_cast<uint32_t>(i / 1000);
      c.ctick = 5000u + static_cast<uint32_t>(i);
      char id[24];
      std::snprintf(id, sizeof id, "%08X%08X", c.ctime, c.ctick);
      c.id = id;
    }
    return out;
  }();
  return cards;
}

using quill::bench::Record;

std::map<std::string, std::map<std::string, double>>& Results() {
  return quill::bench::AllResults().seconds;
}

void Check(const Status& s, benchmark::State& state) {
  if (!s.ok()) state.SkipWithError(s.ToString().c_str());
}

// ---------------------------------------------------------------------------
// The card store

struct QuillSet {
  std::unique_ptr<TempDir> dir;
  std::unique_ptr<CardStore> store;
};

QuillSet& Quill() {
  static QuillSet q;
  return q;
}

Status WriteQuillSet(Durability durability) {
  QuillSet& q = Quill();
  q.store.reset();
  q.dir = std::make_unique<TempDir>();
  q.store = std::make_unique<CardStore>(FileEnv::Default(), q.dir->Path() + "/",
                                        quill::store::CardStoreOptions{durability});
  CardRecord card(*q.store);
  QUILL_RETURN_IF_ERROR(card.Open(false, q.dir->Path()));
  return quill::bench::WriteBenchCards(card, Cards());
}

Status EnsureQuillSet() {
  return Quill().store ? Status::Ok() : WriteQuillSet(Durability::kKillSafe);
}

void BM_Quill_WriteAll(benchmark::State& state, Durability durability, const char* workload) {
  for (auto _ : state) {
    auto t0 = std::chrono::steady_clock::now();
    Check(WriteQuillSet(durability), state);
    Record("quill", workload,
           std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
  }
  state.SetItemsProcessed(static_cast<int64_t>(Cards().size()));
}

void BM_Quill_FindById(benchmark::State& state) {
  Check(EnsureQuillSet(), state);
  CardRecord card(*Quill().store);
  card.SetOpenFlag(true);
  for (auto _ : state) {
    auto t0 = std::chrono::steady_clock::now();
    for (const CardData& d : Cards()) {
      bool found = false;
      Status s = card.FindById(-1, d.id, false, &found);
      if (!s.ok() || !found) {
        state.SkipWithError(("not found: " + d.id).c_str());
        break;
      }
    }
    Record("quill", "2 find every card by id",
           std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
  }
  card.Close();
  state.SetItemsProcessed(static_cast<int64_t>(Cards().size()));
}

void BM_Quill_FindByFolder(benchmark::State& state) {
  Check(EnsureQuillSet(), state);
  CardRecord card(*Quill().store);
  card.SetOpenFlag(true);
  size_t total = 0;
  for (auto _ : state) {
    auto t0 = std::chrono::steady_clock::now();
    std::vector<int64_t> rows;
    for (int f = 0; f < kFolders; ++f) {
      Check(card.FindCardsByFolder(FolderName(f), &rows), state);
      total += rows.size();
    }
    Record("quill", "3 list 1,000 folders",
           std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
  }
  card.Close();
  if (total != Cards().size() * state.iterations()) state.SkipWithError("row count differs");
}

void BM_Quill_ReadTexts(benchmark::State& state) {
  Check(EnsureQuillSet(), state);
  auto& texts = Quill().store->texts();
  // A loop over many texts keeps the text store open, as the other loops
  // keep the card table open.
  texts.set_keep_open(true);
  size_t bytes = 0;
  for (auto _ : state) {
    auto t0 = std::chrono::steady_clock::now();
    std::string text;
    for (const CardData& d : Cards()) {
      Check(texts.Read(d.id, &text), state);
      bytes += text.size();
    }
    Record("quill", "4 read every text",
           std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
  }
  texts.set_keep_open(false);
  state.SetBytesProcessed(static_cast<int64_t>(bytes));
}

// ---------------------------------------------------------------------------
// Start-up tree load

double Seconds(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

void BM_Quill_TreeLoad(benchmark::State& state) {
  Check(EnsureQuillSet(), state);
  // At start-up the store is freshly opened: nothing of the set is held
  // in memory yet.
  const std::string folder = Quill().store->data_path();
  Check(Quill().store->Close(), state);
  CardStore store(FileEnv::Default(), folder);
  Check(store.Open(false, folder), state);
  quill::Settings settings;
  quill::FakeUi ui;  // the load asks nothing; a failure would be a question
  quill::FolderTreeModel form(store, settings, ui);
  // The first load writes the folder rows that the cards' paths need, as
  // the first start with a new data set does; the timed loads find them.
  Check(quill::LoadFolderTree(form, nullptr), state);
  Check(store.Close(), state);
  Check(store.Open(false, folder), state);
  for (auto _ : state) {
    form.tree().Clear();  // at start-up the tree is empty
    auto t0 = std::chrono::steady_clock::now();
    Check(quill::LoadFolderTree(form, nullptr), state);
    Record("quill", "tree", Seconds(t0));
  }
  if (form.card_count != static_cast<int64_t>(Cards().size())) {
    state.SkipWithError("card count of the tree differs");
  }
  state.SetItemsProcessed(static_cast<int64_t>(Cards().size()));
}

// The floor under any load of the tree: the card table and its folder
// index read once from start to end in 1 MB pieces.
void BM_Quill_ReadTableAndIndex(benchmark::State& state) {
  Check(EnsureQuillSet(), state);
  const std::string folder = Quill().store->data_path();
  std::vector<char> buffer(1 << 20);
  size_t total = 0;
  for (auto _ : state) {
    auto t0 = std::chrono::steady_clock::now();
    for (const char* name : {"quilbo7.dat", "quilbo7.ix0"}) {
      std::unique_ptr<quill::RandomFile> f;
      Check(FileEnv::Default().Open(folder + name, quill::OpenMode::kReadOnly, &f), state);
      if (!f) break;
      size_t got = 0;
      uint64_t at = 0;
      do {
        Check(f->ReadAt(at, buffer.data(), buffer.size(), &got), state);
        at += got;
      } while (got == buffer.size());
      total += at;
      f->Close();
    }
    Record("quill", "sequential read", Seconds(t0));
  }
  state.SetBytesProcessed(static_cast<int64_t>(total));
}

// ---------------------------------------------------------------------------
// SQLite

struct SqliteSet {
  std::unique_ptr<TempDir> dir;
  sqlite3* db = nullptr;
  ~SqliteSet() { sqlite3_close(db); }
};

SqliteSet& Sql() {
  static SqliteSet s;
  return s;
}

bool Exec(sqlite3* db, const char* sql) {
  return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

bool WriteSqliteSet(bool synced) {
  SqliteSet& s = Sql();
  sqlite3_close(s.db);
  s.db = nullptr;
  s.dir = std::make_unique<TempDir>();
  if (sqlite3_open((s.dir->Path() + "/cards.db").c_str(), &s.db) != SQLITE_OK) return false;
  if (!Exec(s.db, synced ? "PRAGMA synchronous=FULL" : "PRAGMA synchronous=OFF") ||
      !Exec(s.db,
            "CREATE TABLE cards(folder TEXT, title TEXT, id TEXT, ctime INTEGER, ctick INTEGER,"
            " utime INTEGER, yobi BLOB, body BLOB)") ||
      !Exec(s.db, "CREATE INDEX cards_id ON cards(id)") ||
      !Exec(s.db, "CREATE INDEX cards_folder ON cards(folder)")) {
    return false;
  }
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(s.db, "INSERT INTO cards VALUES(?,?,?,?,?,?,?,?)", -1, &st, nullptr) !=
      SQLITE_OK) {
    return false;
  }
  const std::string yobi(100, '\0');
  bool ok = true;
  for (const CardData& d : Cards()) {
    sqlite3_bind_text(st, 1, d.folder.data(), static_cast<int>(d.folder.size()), SQLITE_STATIC);
    sqlite3_bind_text(st, 2, d.title.data(), static_cast<int>(d.title.size()), SQLITE_STATIC);
    sqlite3_bind_text(st, 3, d.id.data(), static_cast<int>(d.id.size()), SQLITE_STATIC);
    sqlite3_bind_int64(st, 4, d.ctime);
    sqlite3_bind_int64(st, 5, d.ctick);
    sqlite3_bind_int64(st, 6, d.ctime);
    sqlite3_bind_blob(st, 7, yobi.data(), static_cast<int>(yobi.size()), SQLITE_STATIC);
    sqlite3_bind_blob(st, 8, d.text.data(), static_cast<int>(d.text.size()), SQLITE_STATIC);
    if (sqlite3_step(st) != SQLITE_DONE) ok = false;
    sqlite3_reset(st);
    if (!ok) break;
  }
  sqlite3_finalize(st);
  return ok;
}

bool EnsureSqliteSet() { return Sql().db ? true : WriteSqliteSet(false); }

void BM_Sqlite_WriteAll(benchmark::State& state, bool synced, const char* workload) {
  for (auto _ : state) {
    auto t0 = std::chrono::steady_clock::now();
    if (!WriteSqliteSet(synced)) state.SkipWithError("sqlite write failed");
    Record("sqlite", workload,
           std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
  }
  state.SetItemsProcessed(static_cast<int64_t>(Cards().size()));
}

void BM_Sqlite_FindById(benchmark::State& state) {
  if (!EnsureSqliteSet()) state.SkipWithError("sqlite set failed");
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(Sql().db, "SELECT rowid, folder, title, ctime, ctick, utime, yobi FROM cards"
                               " WHERE id = ? LIMIT 1", -1, &st, nullptr);
  for (auto _ : state) {
    auto t0 = std::chrono::steady_clock::now();
    for (const CardData& d : Cards()) {
      sqlite3_bind_text(st, 1, d.id.data(), static_cast<int>(d.id.size()), SQLITE_STATIC);
      if (sqlite3_step(st) != SQLITE_ROW) {
        state.SkipWithError(("not found: " + d.id).c_str());
        break;
      }
      benchmark::DoNotOptimize(sqlite3_column_blob(st, 6));
      sqlite3_reset(st);
    }
    Record("sqlite", "2 find every card by id",
           std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
  }
  sqlite3_finalize(st);
  state.SetItemsProcessed(static_cast<int64_t>(Cards().size()));
}

void BM_Sqlite_FindByFolder(benchmark::State& state) {
  if (!EnsureSqliteSet()) state.SkipWithError("sqlite set failed");
  sqlite3_stmt* st = nullptr;
  // A prefix match over the folder index, like the store's folder search.
  sqlite3_prepare_v2(Sql().db, "SELECT rowid FROM cards WHERE folder >= ?1 AND folder < ?2",
                     -1, &st, nullptr);
  size_t total = 0;
  for (auto _ : state) {
    auto t0 = std::chrono::steady_clock::now();
    for (int f = 0; f < kFolders; ++f) {
      std::string low = FolderName(f), high = low;
      high.back() = static_cast<char>(high.back() + 1);
      sqlite3_bind_text(st, 1, low.data(), static_cast<int>(low.size()), SQLITE_TRANSIENT);
      sqlite3_bind_text(st, 2, high.data(), static_cast<int>(high.size()), SQLITE_TRANSIENT);
      std::vector<int64_t> rows;
      while (sqlite3_step(st) == SQLITE_ROW) rows.push_back(sqlite3_column_int64(st, 0));
      sqlite3_reset(st);
      total += rows.size();
    }
    Record("sqlite", "3 list 1,000 folders",
           std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
  }
  sqlite3_finalize(st);
  if (total != Cards().size() * state.iterations()) state.SkipWithError("row count differs");
}

void BM_Sqlite_ReadTexts(benchmark::State& state) {
  if (!EnsureSqliteSet()) state.SkipWithError("sqlite set failed");
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(Sql().db, "SELECT body FROM cards WHERE id = ? LIMIT 1", -1, &st, nullptr);
  size_t bytes = 0;
  for (auto _ : state) {
    auto t0 = std::chrono::steady_clock::now();
    std::string text;
    for (const CardData& d : Cards()) {
      sqlite3_bind_text(st, 1, d.id.data(), static_cast<int>(d.id.size()), SQLITE_STATIC);
      if (sqlite3_step(st) == SQLITE_ROW) {
        const char* p = static_cast<const char*>(sqlite3_column_blob(st, 0));
        text.assign(p ? p : "", static_cast<size_t>(sqlite3_column_bytes(st, 0)));
        bytes += text.size();
      }
      sqlite3_reset(st);
    }
    Record("sqlite", "4 read every text",
           std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
  }
  sqlite3_finalize(st);
  state.SetBytesProcessed(static_cast<int64_t>(bytes));
}

BENCHMARK_CAPTURE(BM_Quill_WriteAll, durable, Durability::kSyncEachChange, kWriteSynced)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Quill_WriteAll, kill_safe, Durability::kKillSafe, kWriteKillSafe)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Quill_FindById)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Quill_FindByFolder)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Quill_ReadTexts)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Sqlite_WriteAll, full, true, kWriteSynced)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Sqlite_WriteAll, off, false, kWriteKillSafe)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Sqlite_FindById)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Sqlite_FindByFolder)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Sqlite_ReadTexts)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Quill_TreeLoad)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Quill_ReadTableAndIndex)->Iterations(1)->Unit(benchmark::kMillisecond);

uintmax_t FolderBytes(const std::string& path) {
  uintmax_t total = 0;
  for (const auto& e : std::filesystem::directory_iterator(path)) {
    if (e.is_regular_file()) total += e.file_size();
  }
  return total;
}

void PrintComparison() {
  std::printf("\n%zu cards in %d folders\n", Cards().size(), kFolders);
  std::printf("%-40s %12s %12s %14s\n", "workload", "quill ms", "sqlite ms", "quill/sqlite");
  for (const std::string& workload : quill::bench::AllResults().order) {
    const auto& engines = Results()[workload];
    auto q = engines.find("quill");
    auto s = engines.find("sqlite");
    if (s == engines.end()) continue;  // a store-only figure, below
    double qms = q == engines.end() ? -1 : q->second * 1000;
    double sms = s == engines.end() ? -1 : s->second * 1000;
    std::printf("%-40s %12.1f %12.1f %14.2f\n", workload.c_str(), qms, sms,
                qms > 0 && sms > 0 ? qms / sms : 0.0);
  }
  const auto tree = Results().find("tree");
  const auto read = Results().find("sequential read");
  if (tree != Results().end() && read != Results().end()) {
    const double t = tree->second["quill"] * 1000, r = read->second["quill"] * 1000;
    std::printf("%-26s %12.1f ms, sequential read of table and folder index %.1f ms: %.2f x\n",
                "start-up tree load", t, r, r > 0 ? t / r : 0.0);
  }
  if (Quill().dir) {
    std::printf("data set size: quill %.1f MB", FolderBytes(Quill().dir->Path()) / 1e6);
  }
  if (Sql().dir) std::printf(", sqlite %.1f MB", FolderBytes(Sql().dir->Path()) / 1e6);
  std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  Cards();  // made before any timing: the first workload must not pay for it
  benchmark::RunSpecifiedBenchmarks();
  PrintComparison();
  benchmark::Shutdown();
  return 0;
}
