// Kill -9 loop for the card store: a writer child appends cards (mode
// "append") or rewrites the texts of existing cards (mode "rewrite") and
// reports each write only after the store returned success; the parent
// kills it with SIGKILL at a random moment, reopens the data set (which
// recovers it) and checks that every acknowledged card is there with its
// last acknowledged text. The card being written when the kill came may
// read as before or as after, nothing else.
//
// A third mode, "rename", kills the child while it renames a folder of
// 5,000 cards through the folder tree ("A B" to "A C"): after recovery
// every one of the 5,000 cards is there, live, with either its old or its
// new path. Each trial starts from a copy of the same seeded data set; the
// kill comes at a random moment within the time one whole rename takes.
//
// Run by hand: card_store_kill_loop [--kill-safe] [trials per mode, default 1000]
//                                   [longest wait before the kill in ms, default 40]
// With --kill-safe the writer opens the store in its kill-safe mode (no
// sync per change), which must lose nothing to a kill either. The data set
// lives in a temporary folder and is started afresh every 50 trials. The
// rename mode runs a tenth of the trials (each copies 5,000 cards). Prints
// one line per mode and the total of lost cards; the exit code is 1 when
// any acknowledged card was lost or damaged.

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "main/settings/settings.h"
#include "main/tree/folder_operations.h"
#include "main/tree/folder_tree_model.h"
#include "main/tree/node_operations.h"
#include "main/tree/tree_loader.h"
#include "platform/file_env.h"
#include "platform/headless/fake_ui.h"
#include "platform/headless/temp_dir.h"
#include "store/card_store.h"
#include "store/journal.h"

namespace quill::store {
namespace {

constexpr int kTrialsPerDataSet = 50;
constexpr int kSeedCards = 20;

uint64_t Hash(const std::string& s) {
  uint64_t h = 1469598103934665603ull;
  for (unsigned char c : s) h = (h ^ c) * 1099511628211ull;
  return h;
}

// CP932 text of 1 to 6,000 bytes: ASCII, double-byte characters, CR LF.
std::string RandomText(std::mt19937& rng) {
  const size_t n = 1 + rng() % 6000;
  std::string t;
  while (t.size() < n) {
    unsigned pick = rng() % 8;
    if (pick == 0 && t.size() + 2 <= n) {
      t += "\r\n";
    } else if (pick == 1 && t.size() + 2 <= n) {
      t.push_back(static_cast<char>(0x88 + rng() % 0x17));
      t.push_back(static_cast<char>(0x40 + rng() % 0x3F));
    } else {
      t.push_back(static_cast<char>('a' + rng() % 26));
    }
  }
  return t;
}

void Say(int fd, const std::string& line) {
  const char* p = line.data();
  size_t left = line.size();
  while (left > 0) {
    ssize_t w = ::write(fd, p, left);
    if (w < 0) _exit(3);
    p += w;
    left -= static_cast<size_t>(w);
  }
}

Status WriteCard(CardStore& store, const std::string& id, const std::string& text,
                 std::string* written_id) {
  CardRecord c(store);
  if (id.empty()) {
    c.Clear();
    c.folder = "Folder" + std::to_string(text.size() % 7);
    c.title = "card";
  } else {
    bool found = false;
    Status s = c.FindById(-1, id, true, &found);
    if (!s.ok()) return s;
    if (!found) return Status::NotFound(id);
  }
  c.text = text;
  Status s = c.Write();
  *written_id = c.id;
  return s;
}

// The writer: "W id hash" before each rewrite, "A id hash" after each
// acknowledged write, until killed.
[[noreturn]] void Writer(const std::string& folder, bool rewrite, const std::vector<std::string>& ids,
                         unsigned seed, Durability durability, int out) {
  CardStore store(FileEnv::Default(), folder, CardStoreOptions{durability});
  if (!store.Open(false, {}).ok()) _exit(2);
  std::mt19937 rng(seed);
  for (;;) {
    const std::string text = RandomText(rng);
    const std::string id = rewrite ? ids[rng() % ids.size()] : std::string();
    const std::string hash = std::to_string(Hash(text));
    if (rewrite) Say(out, "W " + id + " " + hash + "\n");
    std::string written;
    Status s = WriteCard(store, id, text, &written);
    if (!s.ok()) {
      std::fprintf(stderr, "writer: %s\n", s.ToString().c_str());
      _exit(4);
    }
    Say(out, "A " + written + " " + hash + "\n");
  }
}

struct Tally {
  int trials = 0;
  long acknowledged = 0;
  long lost = 0;       // acknowledged, then missing or with another text
  long unexpected = 0;  // cards that were never written, or more than one in flight
  long in_flight_kept = 0;
  long recovered = 0;  // trials whose kill left the journal behind
  long failed_opens = 0;
};

// The cards of the data set: id -> text hash.
bool ReadCards(CardStore& store, std::map<std::string, uint64_t>* cards) {
  cards->clear();
  CardRecord c(store);
  std::vector<int64_t> rows;
  if (!c.FindCardsByFolder("", &rows).ok()) return false;
  for (int64_t r : rows) {
    c.SetRecNo(r);
    if (!c.Load(true).ok()) return false;
    bool found = false;
    CardRecord by_id(store);
    if (!by_id.FindById(-1, c.id, false, &found).ok() || !found || by_id.row != r) return false;
    (*cards)[c.id] = Hash(c.text);
  }
  return true;
}

void RunMode(bool rewrite, int trials, int max_wait_ms, Durability durability, Tally* t,
             std::mt19937& rng) {
  std::unique_ptr<TempDir> dir;
  std::string folder;
  std::map<std::string, uint64_t> expected;  // what the set must hold
  std::vector<std::string> ids;
  for (int trial = 0; trial < trials; ++trial) {
    if (trial % kTrialsPerDataSet == 0) {
      dir = std::make_unique<TempDir>();
      folder = dir->Path() + "/";
      expected.clear();
      ids.clear();
      CardStore store(FileEnv::Default(), folder);
      if (!store.Open(false, {}).ok()) {
        ++t->failed_opens;
        return;
      }
      for (int i = 0; rewrite && i < kSeedCards; ++i) {
        const std::string text = RandomText(rng);
        std::string id;
        if (!WriteCard(store, "", text, &id).ok()) std::abort();
        ids.push_back(id);
        expected[id] = Hash(text);
      }
      if (!store.Close().ok()) std::abort();
    }

    int pipe_fds[2];
    if (::pipe(pipe_fds) != 0) std::abort();
    const unsigned seed = static_cast<unsigned>(rng());
    const pid_t pid = ::fork();
    if (pid < 0) std::abort();
    if (pid == 0) {
      ::close(pipe_fds[0]);
      Writer(folder, rewrite, ids, seed, durability, pipe_fds[1]);
    }
    ::close(pipe_fds[1]);
    ::usleep(static_cast<useconds_t>(rng() % (static_cast<unsigned>(max_wait_ms) * 1000 + 1)));
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    std::string said;
    char buf[65536];
    for (ssize_t n; (n = ::read(pipe_fds[0], buf, sizeof buf)) > 0;) said.append(buf, static_cast<size_t>(n));
    ::close(pipe_fds[0]);
    if (!WIFSIGNALED(status)) {
      std::fprintf(stderr, "trial %d: the writer ended by itself (status %d)\n", trial, status);
      ++t->failed_opens;
      continue;
    }
    ++t->trials;

    // Only whole lines were said.
    std::string in_flight_id;
    uint64_t in_flight_hash = 0;
    bool in_flight = false;
    size_t at = 0;
    for (size_t end; (end = said.find('\n', at)) != std::string::npos; at = end + 1) {
      char kind = 0;
      char id[64] = {};
      unsigned long long hash = 0;
      if (std::sscanf(said.c_str() + at, "%c %63s %llu", &kind, id, &hash) != 3) continue;
      if (kind == 'W') {
        in_flight = true;
        in_flight_id = id;
        in_flight_hash = hash;
      } else {
        in_flight = false;
        expected[id] = hash;
        ++t->acknowledged;
      }
    }

    if (FileEnv::Default().Exists(folder + Journal::kFileName)) ++t->recovered;
    CardStore store(FileEnv::Default(), folder);
    Status s = store.Open(false, {});
    std::map<std::string, uint64_t> got;
    if (!s.ok() || !ReadCards(store, &got)) {
      std::fprintf(stderr, "trial %d: the data set does not open or read: %s\n", trial,
                   s.ToString().c_str());
      ++t->failed_opens;
      t->lost += static_cast<long>(expected.size());
      dir.reset();
      trial = (trial / kTrialsPerDataSet + 1) * kTrialsPerDataSet - 1;  // start afresh
      continue;
    }
    (void)store.Close();

    long extra = 0;
    for (const auto& [id, hash] : expected) {
      auto g = got.find(id);
      if (g != got.end() && g->second == hash) continue;
      if (g != got.end() && in_flight && id == in_flight_id && g->second == in_flight_hash) {
        ++t->in_flight_kept;
        continue;
      }
      ++t->lost;
      std::fprintf(stderr, "trial %d: card %s %s\n", trial, id.c_str(),
                   g == got.end() ? "is missing" : "has another text");
    }
    for (const auto& [id, hash] : got) {
      if (!expected.count(id)) ++extra;  // an append in flight that made it
    }
    if (extra > (rewrite ? 0 : 1)) t->unexpected += extra;
    if (!rewrite && extra == 1) ++t->in_flight_kept;
    expected = got;  // what is stored now is what must stay
  }
}

// ---------------------------------------------------------------------------
// Rename of a big folder

constexpr int kRenameCards = 5000;
constexpr char kOldPath[] = "A B";
constexpr char kNewPath[] = "A C";

struct RenameTally {
  int trials = 0;
  int cut_midway = 0;  // trials that found both paths after recovery
  long lost = 0;       // cards missing, in the bin, or with a third path
  long failed_opens = 0;
};

// The seeded data set: folder rows "A", "A B" and 5,000 cards in "A B".
bool SeedRenameSet(const std::string& folder, std::vector<std::string>* ids) {
  CardStore store(FileEnv::Default(), folder, CardStoreOptions{Durability::kKillSafe});
  if (!store.Open(false, {}).ok()) return false;
  CardRecord c(store);
  c.keep_open = true;
  for (const char* path : {"A", kOldPath}) {
    c.Clear();
    c.folder = path;
    c.title = std::string(FolderMarkerTitle);
    if (!c.Write().ok()) return false;
  }
  for (int i = 0; i < kRenameCards; ++i) {
    c.Clear();
    c.folder = kOldPath;
    c.title = "card " + std::to_string(i);
    c.text = "text " + std::to_string(i);
    c.ctime = c.utime = 1700000000u;
    c.ctick = 1000u + static_cast<uint32_t>(i);
    c.position = static_cast<uint32_t>(i);
    if (!c.Write().ok()) return false;
    ids->push_back(c.id);
  }
  return c.Close().ok() && store.Close().ok();
}

// The renamer: loads the tree, says "R" and renames "A B" to "A C", then
// says "D" (done) or "F" (the rename failed) and waits to be killed.
[[noreturn]] void Renamer(const std::string& folder, Durability durability, int out) {
  CardStore store(FileEnv::Default(), folder, CardStoreOptions{durability});
  Status s = store.Open(false, {});
  if (!s.ok()) {
    std::fprintf(stderr, "renamer: %s\n", s.ToString().c_str());
    _exit(2);
  }
  quill::Settings settings;
  quill::FakeUi ui;
  quill::FolderTreeModel form(store, settings, ui);
  form.set_data_set_name("Data");
  s = quill::LoadFolderTree(form, nullptr);
  quill::TreeNode* node = s.ok() ? quill::FindFolderNode(form, kOldPath) : nullptr;
  if (node == nullptr) {
    std::fprintf(stderr, "renamer: the tree does not load: %s\n", s.ToString().c_str());
    _exit(2);
  }
  Say(out, "R\n");
  const bool ok = quill::RenameFolder(form, node, "C", nullptr);
  Say(out, ok ? "D\n" : "F\n");
  for (;;) ::pause();
}

// The next word the renamer says (one letter a line); 0 when the pipe
// closes first.
char NextWord(int fd) {
  char c = 0;
  while (::read(fd, &c, 1) == 1) {
    if (c != '\n') return c;
  }
  return 0;
}

// One trial: a copy of the seeded set, the renamer killed `wait_us` after
// it started the rename. Returns the renamer's last word ('R' when the kill
// came before it finished) or 0 when it never started.
char RenameTrial(const std::string& seeded, const std::string& folder, Durability durability,
                 useconds_t wait_us, double* seconds) {
  std::filesystem::copy(seeded, folder, std::filesystem::copy_options::recursive);
  int pipe_fds[2];
  if (::pipe(pipe_fds) != 0) std::abort();
  const pid_t pid = ::fork();
  if (pid < 0) std::abort();
  if (pid == 0) {
    ::close(pipe_fds[0]);
    Renamer(folder, durability, pipe_fds[1]);
  }
  ::close(pipe_fds[1]);
  char last = NextWord(pipe_fds[0]);
  if (last == 'R') {
    const auto t0 = std::chrono::steady_clock::now();
    if (seconds != nullptr) {
      last = NextWord(pipe_fds[0]);
      *seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    } else {
      ::usleep(wait_us);
    }
  }
  ::kill(pid, SIGKILL);
  int status = 0;
  ::waitpid(pid, &status, 0);
  for (char c; (c = NextWord(pipe_fds[0])) != 0;) last = c;
  ::close(pipe_fds[0]);
  return last;
}

void RunRenameMode(int trials, Durability durability, RenameTally* t, std::mt19937& rng) {
  TempDir seeded_dir, trial_dir;
  const std::string seeded = seeded_dir.Path() + "/";
  std::vector<std::string> ids;
  if (!SeedRenameSet(seeded, &ids)) {
    ++t->failed_opens;
    return;
  }
  // How long one whole rename takes: the kills come within that time.
  double whole = 0;
  const std::string calibration = trial_dir.Path() + "/calibration/";
  std::filesystem::create_directory(calibration);
  const char said = RenameTrial(seeded, calibration, durability, 0, &whole);
  if (said != 'D') {
    std::fprintf(stderr, "rename: the uninterrupted rename did not finish (%s)\n",
                 said == 0 ? "the tree did not load" : said == 'F' ? "refused or failed" : "cut");
    ++t->failed_opens;
    return;
  }
  std::printf("one rename of %d cards: %.0f ms\n", kRenameCards, whole * 1000);
  const auto whole_us = static_cast<unsigned>(whole * 1e6);
  for (int trial = 0; trial < trials; ++trial) {
    const std::string folder = trial_dir.Path() + "/" + std::to_string(trial) + "/";
    std::filesystem::create_directory(folder);
    RenameTrial(seeded, folder, durability, static_cast<useconds_t>(rng() % (whole_us + 1)),
                nullptr);
    ++t->trials;
    CardStore store(FileEnv::Default(), folder);
    if (!store.Open(false, {}).ok()) {
      std::fprintf(stderr, "rename trial %d: the data set does not open\n", trial);
      ++t->failed_opens;
      continue;
    }
    int old_path = 0, new_path = 0;
    CardRecord c(store);
    (void)c.SetOpenFlag(true);
    for (const std::string& id : ids) {
      bool found = false;
      if (!c.FindById(-1, id, false, &found).ok() || !found || c.deleted == 'D') {
        ++t->lost;
        std::fprintf(stderr, "rename trial %d: card %s is missing\n", trial, id.c_str());
      } else if (c.folder == kOldPath) {
        ++old_path;
      } else if (c.folder == kNewPath) {
        ++new_path;
      } else {
        ++t->lost;
        std::fprintf(stderr, "rename trial %d: card %s has the path \"%s\"\n", trial,
                     id.c_str(), c.folder.c_str());
      }
    }
    (void)c.SetOpenFlag(false);
    (void)store.Close();
    if (old_path > 0 && new_path > 0) ++t->cut_midway;
    std::filesystem::remove_all(folder);
  }
}

}  // namespace
}  // namespace quill::store

int main(int argc, char** argv) {
  using quill::store::Durability;
  Durability durability = Durability::kSyncEachChange;
  std::vector<int> numbers;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--kill-safe") == 0) {
      durability = Durability::kKillSafe;
    } else {
      numbers.push_back(std::atoi(argv[i]));
    }
  }
  const int trials = numbers.size() > 0 ? numbers[0] : 1000;
  const int max_wait_ms = numbers.size() > 1 ? numbers[1] : 40;
  std::mt19937 rng(20240611);
  long lost = 0;
  std::printf("store %s\n", durability == Durability::kKillSafe
                                ? "kill-safe (no sync per change)"
                                : "syncing each change");
  for (bool rewrite : {false, true}) {
    quill::store::Tally t;
    quill::store::RunMode(rewrite, trials, max_wait_ms, durability, &t, rng);
    std::printf(
        "mode %-7s: %d trials, %ld acknowledged writes, %ld lost, %ld unexpected cards, "
        "%ld kept from the write in flight, %ld recoveries, %ld failed opens\n",
        rewrite ? "rewrite" : "append", t.trials, t.acknowledged, t.lost, t.unexpected,
        t.in_flight_kept, t.recovered, t.failed_opens);
    lost += t.lost + t.unexpected + t.failed_opens;
  }
  quill::store::RenameTally r;
  quill::store::RunRenameMode(std::max(1, trials / 10), durability, &r, rng);
  std::printf("mode rename : %d trials, %d cut midway, %ld cards lost or moved elsewhere, "
              "%ld failed opens\n",
              r.trials, r.cut_midway, r.lost, r.failed_opens);
  lost += r.lost + r.failed_opens;
  std::printf("acknowledged cards lost or damaged: %ld\n", lost);
  return lost == 0 ? 0 : 1;
}
