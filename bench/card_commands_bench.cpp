// The commands a user runs on a big folder, against SQLite doing the same
// row changes: one folder of 20,000 cards ("Big") in a set of 100,000
// cards (or QUILL_BENCH_CARDS; the folder holds a fifth of them), in this
// order on the same set:
//
//   rename the folder ("Big" to "Big2"), move it under "Dest", delete it to
//   the bin, restore every card of the bin, replace a word in the text of
//   the folder's cards (all marked), write the marked cards into another
//   data set, and write them into a transfer file that a fresh data set
//   reads in; then export the marked cards as text, import a text file of
//   as many cards into a folder of its own, merge the folder into a folder
//   of the same name elsewhere ("M Big2"), delete its cards (all marked)
//   to the bin, erase the bin for good with the tidy-up that follows, and
//   run the tidy-up once more on its own.
//
// The store runs each command as the main window does: through the folder
// tree, the bin, the batch replace and the transfer, with every dialog
// answered at once. SQLite runs each command as one transaction, one
// statement per command where SQL has one (the replace reads and writes
// each text, like the store). Both run twice, like against like: the
// store's default mode (each command durable when it returns) against
// synchronous=FULL, the kill-safe mode against synchronous=OFF.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_cards.h"
#include "bench/bench_results.h"
#include "main/dialogs/deleted_cards_bin.h"
#include "main/dialogs/fake_small_dialogs.h"
#include "main/exchange/fake_transfer_dialogs.h"
#include "main/exchange/text_export.h"
#include "main/exchange/text_import.h"
#include "main/exchange/transfer_file.h"
#include "main/search/search_commands.h"
#include "main/settings/data_set_switch.h"
#include "main/settings/settings.h"
#include "main/tree/folder_operations.h"
#include "main/tree/folder_tree_model.h"
#include "main/tree/marks.h"
#include "main/tree/node_operations.h"
#include "main/tree/tree_loader.h"
#include "platform/file_env.h"
#include "platform/headless/fake_clipboard.h"
#include "platform/headless/fake_shell.h"
#include "platform/headless/fake_ui.h"
#include "platform/headless/temp_dir.h"
#include "platform/ini_file.h"
#include "platform/search_dialogs.h"
#include "platform/ui.h"
#include "store/card_store.h"

namespace quill::bench {
namespace {

using store::CardRecord;
using store::CardStore;
using store::Durability;

constexpr char kWord[] = "needle";
constexpr char kNewWord[] = "thread";

size_t BigCards() { return CardCount() / 5; }

struct Card {
  std::string folder, title, text;
  uint32_t ctime, ctick;
};

// The big folder's cards first, then the rest over 999 folders. Every
// text of the big folder holds the word the replace looks for.
const std::vector<Card>& Cards() {
  static const std::vector<Card> cards = [] {
    std::vector<Card> out(CardCount());
    std::mt19937 rng(7);
    for (size_t i = 0; i < out.size(); ++i) {
      Card& c = out[i];
      const bool big = i < BigCards();
      c.folder = big ? "Big" : FolderName(static_cast<int>(i % 999));
      c.title = "Card " + std::to_string(i);
      c.text = RandomText(rng, rng() % 1001);
      if (big) c.text += std::string(" ") + kWord + "\r\n";
      c.ctime = 1700000000u + static_cast<uint32_t>(i / 1000);
      c.ctick = 5000u + static_cast<uint32_t>(i);
    }
    return out;
  }();
  return cards;
}

std::string Label(const char* command, Durability d) {
  return std::string(command) + (d == Durability::kKillSafe ? ", kill-safe" : ", durable");
}

// ---------------------------------------------------------------------------
// The store, through the commands of the main window

class SearchEditorStub final : public SearchEditor {
 public:
  std::string Text() override { return {}; }
  size_t SelStart() override { return 0; }
  std::string SelText() override { return {}; }
  void Select(size_t, size_t) override {}
  void ReplaceSelection(const std::string&) override {}
  void SetHighlights(const std::vector<TextRange>&) override {}
};

// The window as the commands see it: nothing shown, every reload a load of
// the tree from the store.
class Window final : public SearchHost, public BinView, public DataSetView {
 public:
  explicit Window(FolderTreeModel& form) : form_(form) {}
  // SearchHost
  bool ShiftDown() override { return false; }
  void SaveCurrentCard(bool) override {}
  void SelectNode(TreeNode* node) override { form_.tree().set_selected_node(node); }
  Status ReloadTree(CardSearch* criteria) override { return LoadFolderTree(form_, criteria); }
  Status WriteIni(const IniBatch&) override { return Status::Ok(); }
  void ShowFailure(const Status& s) override { failure = s; }
  SearchEditor& Editor() override { return editor_; }
  bool CardLocked() override { return false; }
  bool TableOrPageShown() override { return false; }
  // BinView
  void SaveCurrentCard() override {}
  void CancelNodeMove() override {}
  void ReloadTree() override { failure = LoadFolderTree(form_, nullptr); }
  // DataSetView
  Status ShowDataSet(const std::string&) override { return LoadFolderTree(form_, nullptr); }
  void SetCaption(const std::string&) override {}
  void DataMenuChanged() override {}
  void WriteTreeFile() override {}
  void ForgetAppendCard() override {}
  void SaveSettingsGroup(int) override {}

  Status failure;

 private:
  FolderTreeModel& form_;
  SearchEditorStub editor_;
};

// One data set with the main window's command objects over it.
struct QuillRig {
  explicit QuillRig(Durability d)
      : store(FileEnv::Default(), dir.Path() + "/", store::CardStoreOptions{d}) {
    form.set_data_set_name("Data");
  }
  TempDir dir;
  CardStore store;
  Settings settings;
  FakeUi ui;
  FolderTreeModel form{store, settings, ui};
  Window window{form};
  FakeTransferDialogs transfer_dialogs;
  TransferContext transfer{form, transfer_dialogs};
  FakeSmallDialogs small_dialogs;
};

// The set written in the kill-safe mode (the fastest), then opened again
// in mode d with its tree loaded; the first load writes the folder rows.
Status BuildQuillSet(QuillRig& q, Durability d) {
  QUILL_RETURN_IF_ERROR(q.store.Open(false, {}));
  QUILL_RETURN_IF_ERROR(q.store.SetDurability(Durability::kKillSafe));
  CardRecord card(q.store);
  QUILL_RETURN_IF_ERROR(WriteBenchCards(card, Cards()));
  QUILL_RETURN_IF_ERROR(q.store.SetDurability(d));
  QUILL_RETURN_IF_ERROR(q.store.Close());
  QUILL_RETURN_IF_ERROR(q.store.Open(false, {}));
  QUILL_RETURN_IF_ERROR(LoadFolderTree(q.form, nullptr));
  // "Dest" is the folder the move goes into.
  TreeNode* root = q.form.tree().root();
  q.form.tree().set_selected_node(root);
  store::CardRecord row(q.store);
  row.Clear();
  row.folder = "Dest";
  row.title = std::string(store::FolderMarkerTitle);
  QUILL_RETURN_IF_ERROR(row.Write());
  return LoadFolderTree(q.form, nullptr);
}

// Live cards of exactly this path (bin excluded), or with in_bin those in
// the bin.
size_t CountCards(CardStore& store, const std::string& path, bool in_bin = false) {
  CardRecord c(store);
  (void)c.SetOpenFlag(true);
  std::vector<int64_t> rows;
  size_t n = 0;
  if (c.FindCardsByFolder(path, &rows).ok()) {
    for (int64_t r : rows) {
      c.SetRecNo(r);
      if (c.Load(false).ok() && !c.is_folder() && c.folder == path &&
          (c.deleted == 'D') == in_bin) {
        ++n;
      }
    }
  }
  (void)c.SetOpenFlag(false);
  return n;
}

// The bin with every card checked, restored or erased (answer); whether
// the window was told of no failure.
bool RunBin(QuillRig& q, int answer) {
  DeletedCardsBin bin(q.form, q.small_dialogs, q.window);
  q.small_dialogs.undelete.push_back([answer](UndeleteForm* f) {
    f->checked.assign(f->titles.size(), true);
    return answer;
  });
  bin.UndeleteSyoriClick();
  return q.window.failure.ok();
}

// Writes folder rows; the tree is loaded again to show them.
Status AddFolders(QuillRig& q, std::initializer_list<const char*> paths) {
  for (const char* path : paths) {
    CardRecord row(q.store);
    row.Clear();
    row.folder = path;
    row.title = std::string(store::FolderMarkerTitle);
    QUILL_RETURN_IF_ERROR(row.Write());
  }
  return LoadFolderTree(q.form, nullptr);
}

// The text file the import reads: one card per text, each after a
// separator line.
std::string ImportFileBytes() {
  std::string bytes;
  for (size_t i = 0; i < BigCards(); ++i) {
    bytes.append(kImportSeparator).append("\r\n").append(Cards()[i].text).append("\r\n");
  }
  return bytes;
}

// The layout of the text export's first kind, as SQLite's side writes it.
std::string Stamp(uint32_t seconds) {
  const time_t t = seconds;
  struct tm local;
  localtime_r(&t, &local);
  char buf[64];
  std::snprintf(buf, sizeof buf, "%02d/%02d/%02d %2d:%02d\r\n", local.tm_year % 100,
                local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min);
  return buf;
}

// Times one run of `command` on `engine` ("quill", "sqlite") and records
// it; a run that fails skips the benchmark.
template <typename Command>
void Time(benchmark::State& state, const char* engine, const std::string& workload,
          Command command) {
  const auto t0 = std::chrono::steady_clock::now();
  const bool ok = command();
  Record(engine, workload, SecondsSince(t0));
  if (!ok) state.SkipWithError((workload + " failed in " + engine).c_str());
}

void BM_Quill_Commands(benchmark::State& state, Durability d) {
  for (auto _ : state) {
    QuillRig q(d);
    Status s = BuildQuillSet(q, d);
    if (!s.ok()) {
      state.SkipWithError(s.ToString().c_str());
      return;
    }
    const size_t n = BigCards();
    Time(state, "quill", Label("5 rename folder", d), [&] {
      return RenameFolder(q.form, FindFolderNode(q.form, "Big"), "Big2", nullptr) &&
             CountCards(q.store, "Big2") == n;
    });
    Time(state, "quill", Label("6 move folder", d), [&] {
      MoveNodes(q.form, FindFolderNode(q.form, "Dest"), FindFolderNode(q.form, "Big2"), nullptr);
      return CountCards(q.store, "Dest Big2") == n;
    });
    Time(state, "quill", Label("7 delete folder to bin", d), [&] {
      return DeleteFolder(q.form, FindFolderNode(q.form, "Dest Big2"), nullptr).ok() &&
             CountCards(q.store, "Dest Big2") == 0;
    });
    Time(state, "quill", Label("8 restore all from bin", d), [&] {
      return RunBin(q, kUndeleteRestore) && CountCards(q.store, "Dest Big2") == n;
    });
    // The folder's cards are marked for the three commands that follow.
    q.form.tree().set_selected_node(FindFolderNode(q.form, "Dest Big2"));
    RunMarkCommand(q.form, MarkCommand::kFolderMark);
    if (q.form.marked_count != static_cast<int64_t>(n)) state.SkipWithError("marks differ");
    Time(state, "quill", Label("9 batch replace marked", d), [&] {
      SearchCommands search(q.form, q.window);
      q.ui.ScriptReplace([](ReplaceForm* f) {
        f->find.text = kWord;
        f->replacement = kNewWord;
        return kResultOk;
      });
      search.IkkatuTikanClick();
      CardRecord c(q.store);
      bool found = false;
      return q.window.failure.ok() && c.FindByKey("KUBUN", "Dest Big2", true, &found).ok() &&
             found && (c.is_folder() || c.text.find(kNewWord) != std::string::npos);
    });
    TempDir other;
    Time(state, "quill", Label("10 write marked to other set", d), [&] {
      q.settings.DataFiles.names[1] = "Other";
      q.settings.DataFiles.paths[1] = other.Path();
      DataSets sets(FileEnv::Default(), q.store, q.settings, q.ui, q.window, nullptr, nullptr);
      sets.set_transfer(&q.transfer);
      return sets.WriteToDataSet(1, 1).ok();
    });
    {
      CardStore check(FileEnv::Default(), other.Path() + "/");
      if (!check.Open(false, {}).ok() || CountCards(check, "Dest Big2") != n) {
        state.SkipWithError("the other set does not hold the cards");
      }
    }
    TempDir exchange, fresh;
    Time(state, "quill", Label("11 transfer write + read", d), [&] {
      if (WriteTransferFile(q.transfer, exchange.Path(), 0, 0, 0) != 0) return false;
      CardStore to(FileEnv::Default(), fresh.Path() + "/", store::CardStoreOptions{d});
      if (!to.Open(false, {}).ok()) return false;
      Settings settings;
      FolderTreeModel form(to, settings, q.ui);
      FakeTransferDialogs dialogs;
      TransferContext ctx{form, dialogs};
      TransferReadResult read;
      return ReadTransferFile(ctx, exchange.Path(), 1, &read) == 0 &&
             read.end == ReadEnd::kComplete && read.added == static_cast<int>(n) &&
             to.Close().ok();
    });
    Time(state, "quill", Label("12 text export marked", d), [&] {
      q.transfer_dialogs.AnswerOptions(WriteOptionsForm{});
      IniFile ini(FileEnv::Default(), q.dir.Path() + "/quillmain.ini");
      FakeShell shell;
      FakeClipboard clipboard;
      return RunTextExport(q.transfer, ini, shell, clipboard).ok() && shell.opened.size() == 1;
    });
    const std::string import_file = exchange.Path() + "/import.txt";
    if (!FileEnv::Default().WriteFileAtomic(import_file, ImportFileBytes()).ok() ||
        !AddFolders(q, {"Imported"}).ok()) {
      state.SkipWithError("no import file");
    }
    Time(state, "quill", Label("13 text import", d), [&] {
      q.form.tree().set_selected_node(FindFolderNode(q.form, "Imported"));
      q.transfer_dialogs.AnswerFiles({import_file});
      return RunTextImport(q.transfer).ok() && CountCards(q.store, "Imported") == n;
    });
    if (!AddFolders(q, {"M", "M Big2"}).ok()) state.SkipWithError("no folder to merge into");
    Time(state, "quill", Label("14 merge folder", d), [&] {
      q.ui.Answer(kResultYes);
      return MoveNodes(q.form, FindFolderNode(q.form, "M"), FindFolderNode(q.form, "Dest Big2"),
                       nullptr) == 1 &&
             CountCards(q.store, "M Big2") == n && FindFolderNode(q.form, "M Big2") != nullptr;
    });
    q.form.tree().set_selected_node(FindFolderNode(q.form, "M Big2"));
    RunMarkCommand(q.form, MarkCommand::kFolderMark);
    if (q.form.marked_count != static_cast<int64_t>(n)) state.SkipWithError("marks differ");
    Time(state, "quill", Label("15 delete marked to bin", d), [&] {
      return DeleteMarkedCards(q.form, nullptr).ok() && CountCards(q.store, "M Big2") == 0 &&
             CountCards(q.store, "M Big2", true) == n;
    });
    Time(state, "quill", Label("16 erase bin + tidy-up", d), [&] {
      std::vector<BinCard> left;
      return RunBin(q, kUndeleteErase) && ListBin(q.store, &left).ok() && left.empty();
    });
    Time(state, "quill", Label("17 tidy-up", d), [&] {
      CardRecord work(q.store);
      return work.Reorganize().ok() && work.Close().ok();
    });
  }
}

// ---------------------------------------------------------------------------
// SQLite, the same row changes

bool Exec(sqlite3* db, const std::string& sql) {
  return sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
}

constexpr char kTable[] =
    "CREATE TABLE cards(folder TEXT, title TEXT, id TEXT, ctime INTEGER, ctick INTEGER,"
    " utime INTEGER, deleted TEXT, yobi BLOB, body BLOB);"
    "CREATE INDEX cards_id ON cards(id);"
    "CREATE INDEX cards_folder ON cards(folder);";

sqlite3* OpenDb(const std::string& path, bool synced) {
  sqlite3* db = nullptr;
  if (sqlite3_open(path.c_str(), &db) != SQLITE_OK ||
      !Exec(db, synced ? "PRAGMA synchronous=FULL" : "PRAGMA synchronous=OFF") ||
      !Exec(db, kTable)) {
    sqlite3_close(db);
    return nullptr;
  }
  return db;
}

// Writes the file whole (synced when `synced`).
bool WriteWhole(const std::string& file, const std::string& bytes, bool synced) {
  const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (fd < 0) return false;
  bool ok = ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size()) &&
            (!synced || ::fsync(fd) == 0);
  return ::close(fd) == 0 && ok;
}

// One row as the transfer-like file holds it: the columns, each as its
// length and bytes.
void PutField(std::string* out, const void* p, int n) {
  const uint32_t len = static_cast<uint32_t>(n < 0 ? 0 : n);
  out->append(reinterpret_cast<const char*>(&len), sizeof len);
  if (len > 0) out->append(static_cast<const char*>(p), len);
}

// Texts, numbers and blobs as the table declares them.
bool Insert(sqlite3_stmt* st, const std::string* fields) {
  for (int i = 0; i < 9; ++i) {
    const int n = static_cast<int>(fields[i].size());
    if (i >= 3 && i <= 5) {
      sqlite3_bind_int64(st, i + 1, std::stoll(fields[i]));
    } else if (i >= 7) {
      sqlite3_bind_blob(st, i + 1, fields[i].data(), n, SQLITE_STATIC);
    } else {
      sqlite3_bind_text(st, i + 1, fields[i].data(), n, SQLITE_STATIC);
    }
  }
  const bool ok = sqlite3_step(st) == SQLITE_DONE;
  sqlite3_reset(st);
  return ok;
}

constexpr char kInsert[] = "INSERT INTO cards VALUES(?,?,?,?,?,?,?,?,?)";

bool BuildSqliteSet(sqlite3* db) {
  sqlite3_stmt* st = nullptr;
  if (!Exec(db, "BEGIN") || sqlite3_prepare_v2(db, kInsert, -1, &st, nullptr) != SQLITE_OK) {
    return false;
  }
  const std::string yobi(100, '\0');
  bool ok = true;
  char id[24];
  for (const Card& d : Cards()) {
    std::snprintf(id, sizeof id, "%08X%08X", d.ctime, d.ctick);
    const std::string fields[9] = {d.folder, d.title, id, std::to_string(d.ctime),
                                   std::to_string(d.ctick), std::to_string(d.ctime), "", yobi,
                                   d.text};
    if (!(ok = Insert(st, fields))) break;
  }
  sqlite3_finalize(st);
  return ok && Exec(db, "COMMIT");
}

// The statement in a transaction of its own, changing `rows` rows.
bool InTransaction(sqlite3* db, const std::string& sql, size_t rows) {
  return Exec(db, "BEGIN") && Exec(db, sql) &&
         static_cast<size_t>(sqlite3_changes(db)) == rows && Exec(db, "COMMIT");
}

bool ReplaceInFolder(sqlite3* db, const std::string& folder) {
  sqlite3_stmt* get = nullptr;
  sqlite3_stmt* put = nullptr;
  bool ok = Exec(db, "BEGIN") &&
            sqlite3_prepare_v2(db, "SELECT rowid, body FROM cards WHERE folder = ?", -1, &get,
                               nullptr) == SQLITE_OK &&
            sqlite3_prepare_v2(db, "UPDATE cards SET body = ?, utime = utime + 1 WHERE rowid = ?",
                               -1, &put, nullptr) == SQLITE_OK;
  if (ok) {
    sqlite3_bind_text(get, 1, folder.data(), static_cast<int>(folder.size()), SQLITE_STATIC);
    std::vector<std::pair<int64_t, std::string>> changed;
    while (sqlite3_step(get) == SQLITE_ROW) {
      const char* p = static_cast<const char*>(sqlite3_column_blob(get, 1));
      std::string text(p ? p : "", static_cast<size_t>(sqlite3_column_bytes(get, 1)));
      for (size_t at = 0; (at = text.find(kWord, at)) != std::string::npos;
           at += sizeof kNewWord - 1) {
        text.replace(at, sizeof kWord - 1, kNewWord);
      }
      changed.emplace_back(sqlite3_column_int64(get, 0), std::move(text));
    }
    ok = changed.size() == BigCards();
    for (const auto& [row, text] : changed) {
      sqlite3_bind_blob(put, 1, text.data(), static_cast<int>(text.size()), SQLITE_STATIC);
      sqlite3_bind_int64(put, 2, row);
      ok = ok && sqlite3_step(put) == SQLITE_DONE;
      sqlite3_reset(put);
    }
  }
  sqlite3_finalize(get);
  sqlite3_finalize(put);
  return ok && Exec(db, "COMMIT");
}

// The rows of the folder into a file (synced when `synced`), then the file
// read back into a fresh database.
bool TransferThroughFile(sqlite3* db, const std::string& folder, const std::string& file,
                         const std::string& fresh_db, bool synced) {
  sqlite3_stmt* get = nullptr;
  if (sqlite3_prepare_v2(db, "SELECT * FROM cards WHERE folder = ?", -1, &get, nullptr) !=
      SQLITE_OK) {
    return false;
  }
  sqlite3_bind_text(get, 1, folder.data(), static_cast<int>(folder.size()), SQLITE_STATIC);
  std::string bytes;
  while (sqlite3_step(get) == SQLITE_ROW) {
    for (int i = 0; i < 9; ++i) {
      PutField(&bytes, sqlite3_column_blob(get, i), sqlite3_column_bytes(get, i));
    }
  }
  sqlite3_finalize(get);
  if (!WriteWhole(file, bytes, synced)) return false;

  std::string back(bytes.size(), '\0');
  const int rfd = ::open(file.c_str(), O_RDONLY);
  if (rfd < 0) return false;
  bool ok = ::read(rfd, back.data(), back.size()) == static_cast<ssize_t>(back.size());
  ::close(rfd);
  sqlite3* to = OpenDb(fresh_db, synced);
  sqlite3_stmt* st = nullptr;
  ok = ok && to != nullptr && Exec(to, "BEGIN") &&
       sqlite3_prepare_v2(to, kInsert, -1, &st, nullptr) == SQLITE_OK;
  std::string fields[9];
  for (size_t at = 0; ok && at < back.size();) {
    for (std::string& f : fields) {
      uint32_t len = 0;
      std::memcpy(&len, back.data() + at, sizeof len);
      f.assign(back, at + sizeof len, len);
      at += sizeof len + len;
    }
    ok = Insert(st, fields);
  }
  sqlite3_finalize(st);
  ok = ok && Exec(to, "COMMIT");
  sqlite3_close(to);
  return ok;
}

// The rows of the folder in the text export's first layout into a file
// (synced when `synced`).
bool ExportFolder(sqlite3* db, const std::string& folder, const std::string& file, bool synced) {
  sqlite3_stmt* get = nullptr;
  if (sqlite3_prepare_v2(db, "SELECT folder, title, ctime, utime, body FROM cards WHERE folder = ?",
                         -1, &get, nullptr) != SQLITE_OK) {
    return false;
  }
  sqlite3_bind_text(get, 1, folder.data(), static_cast<int>(folder.size()), SQLITE_STATIC);
  std::string out;
  auto text = [&](int column) {
    const char* p = static_cast<const char*>(sqlite3_column_blob(get, column));
    return std::string(p ? p : "", static_cast<size_t>(sqlite3_column_bytes(get, column)));
  };
  size_t rows = 0;
  while (sqlite3_step(get) == SQLITE_ROW) {
    out.append("Group:=").append(text(0));
    out.append("\r\nTitle:=").append(text(1));
    out.append("\r\nFrom :=Quillbox");
    out.append("\r\nCreate:=").append(Stamp(static_cast<uint32_t>(sqlite3_column_int64(get, 2))));
    out.append("Udate :=").append(Stamp(static_cast<uint32_t>(sqlite3_column_int64(get, 3))));
    out.append("\r\n").append(text(4)).append("\r\n");
    ++rows;
  }
  sqlite3_finalize(get);
  return WriteWhole(file, out, synced) && rows == BigCards();
}

// The import file read and split at its separator lines, each piece a new
// row of the folder, in one transaction.
bool ImportFile(sqlite3* db, const std::string& file, const std::string& folder) {
  std::string bytes;
  if (!FileEnv::Default().ReadFile(file, &bytes).ok()) return false;
  sqlite3_stmt* st = nullptr;
  if (!Exec(db, "BEGIN") || sqlite3_prepare_v2(db, kInsert, -1, &st, nullptr) != SQLITE_OK) {
    return false;
  }
  const std::string yobi(100, '\0');
  const std::string separator = std::string(kImportSeparator) + "\r\n";
  bool ok = true;
  size_t rows = 0;
  char id[24];
  for (size_t at = 0; ok && at < bytes.size();) {
    at += separator.size();
    size_t end = bytes.find(separator, at);
    if (end == std::string::npos) end = bytes.size();
    std::snprintf(id, sizeof id, "%08X%08X", 1800000000u, static_cast<unsigned>(rows));
    const std::string fields[9] = {folder, "Imported " + std::to_string(rows), id,
                                   "1800000000", std::to_string(rows), "1800000000", "", yobi,
                                   bytes.substr(at, end - at)};
    ok = Insert(st, fields);
    ++rows;
    at = end;
  }
  sqlite3_finalize(st);
  return ok && rows == BigCards() && Exec(db, "COMMIT");
}

void BM_Sqlite_Commands(benchmark::State& state, bool synced) {
  const Durability d = synced ? Durability::kSyncEachChange : Durability::kKillSafe;
  for (auto _ : state) {
    TempDir dir;
    sqlite3* db = OpenDb(dir.Path() + "/cards.db", synced);
    if (db == nullptr || !BuildSqliteSet(db)) {
      state.SkipWithError("sqlite set failed");
      sqlite3_close(db);
      return;
    }
    Time(state, "sqlite", Label("5 rename folder", d), [&] {
      return InTransaction(db, "UPDATE cards SET folder = 'Big2' WHERE folder = 'Big'", BigCards());
    });
    Time(state, "sqlite", Label("6 move folder", d), [&] {
      return InTransaction(db, "UPDATE cards SET folder = 'Dest Big2' WHERE folder = 'Big2'", BigCards());
    });
    Time(state, "sqlite", Label("7 delete folder to bin", d), [&] {
      return InTransaction(db, "UPDATE cards SET deleted = 'D' WHERE folder = 'Dest Big2'", BigCards());
    });
    Time(state, "sqlite", Label("8 restore all from bin", d), [&] {
      return InTransaction(db, "UPDATE cards SET deleted = '' WHERE deleted = 'D'", BigCards());
    });
    Time(state, "sqlite", Label("9 batch replace marked", d),
            [&] { return ReplaceInFolder(db, "Dest Big2"); });
    Time(state, "sqlite", Label("10 write marked to other set", d), [&] {
      const std::string other = dir.Path() + "/other.db";
      sqlite3* o = OpenDb(other, synced);  // the other set exists, with its table
      sqlite3_close(o);
      return o != nullptr && Exec(db, "ATTACH '" + other + "' AS other") &&
             InTransaction(db, "INSERT INTO other.cards SELECT * FROM cards"
                               " WHERE folder = 'Dest Big2'", BigCards()) &&
             Exec(db, "DETACH other");
    });
    Time(state, "sqlite", Label("11 transfer write + read", d), [&] {
      return TransferThroughFile(db, "Dest Big2", dir.Path() + "/transfer.dat",
                                 dir.Path() + "/fresh.db", synced);
    });
    Time(state, "sqlite", Label("12 text export marked", d), [&] {
      return ExportFolder(db, "Dest Big2", dir.Path() + "/export.txt", synced);
    });
    const std::string import_file = dir.Path() + "/import.txt";
    if (!FileEnv::Default().WriteFileAtomic(import_file, ImportFileBytes()).ok()) {
      state.SkipWithError("no import file");
    }
    Time(state, "sqlite", Label("13 text import", d),
         [&] { return ImportFile(db, import_file, "Imported"); });
    Time(state, "sqlite", Label("14 merge folder", d), [&] {
      return InTransaction(db, "UPDATE cards SET folder = 'M Big2' WHERE folder = 'Dest Big2'",
                           BigCards());
    });
    Time(state, "sqlite", Label("15 delete marked to bin", d), [&] {
      return InTransaction(db, "UPDATE cards SET deleted = 'D' WHERE folder = 'M Big2'", BigCards());
    });
    // The bin emptied, then the file packed as the store's tidy-up packs
    // its tables.
    Time(state, "sqlite", Label("16 erase bin + tidy-up", d), [&] {
      return InTransaction(db, "DELETE FROM cards WHERE deleted = 'D'", BigCards()) &&
             Exec(db, "VACUUM");
    });
    Time(state, "sqlite", Label("17 tidy-up", d), [&] { return Exec(db, "VACUUM"); });
    sqlite3_close(db);
  }
}

BENCHMARK_CAPTURE(BM_Quill_Commands, durable, Durability::kSyncEachChange)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Quill_Commands, kill_safe, Durability::kKillSafe)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Sqlite_Commands, full, true)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Sqlite_Commands, off, false)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quill::bench
