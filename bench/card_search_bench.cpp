// The card search over all cards against grep over the same texts.
//
// N cards (default 100,000, or QUILL_BENCH_CARDS) of 0 to 2,000 bytes of
// CP932 text in 1,000 folders go into a data set, and the same texts into
// one file per card. The card search runs as the user runs it: the folder
// tree is rebuilt with the criteria, and the word stands in some texts and
// in no title, so every text is read. The yardstick is
// `LC_ALL=C grep -F -c -r` over the files. Every workload runs once
// untimed first, so both sides are warm.
//
// Run: card_search_bench [benchmark flags]. After the runs a table prints
// each time and its ratio to grep.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_cards.h"
#include "main/search/card_criteria.h"
#include "main/settings/settings.h"
#include "main/tree/folder_tree_model.h"
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

constexpr int kFolders = 1000;
constexpr size_t kMaxText = 2000;
// The searched word: in one text of 50, in no title.
constexpr char kWord[] = "QuillNeedle";
constexpr int kWordEvery = 50;

using quill::bench::CardCount;
using quill::bench::FolderName;
using quill::bench::RandomText;

struct World {
  std::unique_ptr<TempDir> dir;
  std::unique_ptr<CardStore> store;
  std::string files;  // one file per card below here
  size_t with_word = 0;
};

World& TheWorld() {
  static World w;
  return w;
}

Status MakeWorld() {
  World& w = TheWorld();
  w.dir = std::make_unique<TempDir>();
  const std::string data = w.dir->Path() + "/data";
  w.files = w.dir->Path() + "/files";
  std::filesystem::create_directories(data);
  for (int f = 0; f < kFolders; ++f) std::filesystem::create_directories(w.files + "/" + FolderName(f));
  w.store = std::make_unique<CardStore>(FileEnv::Default(), data + "/");
  CardRecord card(*w.store);
  QUILL_RETURN_IF_ERROR(card.Open(false, data));
  card.keep_open = true;
  std::mt19937 rng(7);
  const size_t n = CardCount();
  for (size_t i = 0; i < n; ++i) {
    std::string text = RandomText(rng, rng() % (kMaxText + 1));
    if (i % kWordEvery == 0) {
      const size_t at = text.empty() ? 0 : rng() % text.size();
      text.insert(at, std::string(" ") + kWord + " ");
      text.resize(std::min(text.size(), kMaxText));
      ++w.with_word;
    }
    const std::string folder = FolderName(static_cast<int>(i % kFolders));
    card.Clear();
    card.folder = folder;
    card.title = "Card " + std::to_string(i);
    card.text = text;
    card.ctime = card.utime = 1700000000u + static_cast<uint32_t>(i / 1000);
    card.ctick = 5000u + static_cast<uint32_t>(i);
    QUILL_RETURN_IF_ERROR(card.Write());
    std::ofstream out(w.files + "/" + folder + "/" + std::to_string(i) + ".txt",
                      std::ios::binary);
    out << text;
    if (!out) return Status::IoError("cannot write the text files");
  }
  return card.Close();
}

std::map<std::string, double>& Results() {
  static std::map<std::string, double> r;
  return r;
}

double Seconds(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

void Check(const Status& s, benchmark::State& state) {
  if (!s.ok()) state.SkipWithError(s.ToString().c_str());
}

struct Form {
  quill::Settings settings;
  quill::FakeUi ui;
  quill::FolderTreeModel model{*TheWorld().store, settings, ui};
};

// The folder tree without criteria: what the search adds to it shows
// against this.
void BM_TreeLoad(benchmark::State& state) {
  Form form;
  Check(quill::LoadFolderTree(form.model, nullptr), state);
  for (auto _ : state) {
    auto t0 = std::chrono::steady_clock::now();
    Check(quill::LoadFolderTree(form.model, nullptr), state);
    Results()["tree without criteria"] = Seconds(t0);
  }
}

void Search(benchmark::State& state, bool fuzzy, const char* name) {
  Form form;
  quill::CardSearchForm dialog;
  dialog.words.text = kWord;
  dialog.fuzzy = fuzzy;
  const quill::SearchCriteria criteria = quill::BuildCriteria(dialog);
  auto run = [&] {
    quill::CardMatcher matcher(criteria, *TheWorld().store, FileEnv::Default().clock());
    Check(quill::LoadFolderTree(form.model, &matcher), state);
    Check(matcher.error(), state);
  };
  run();
  for (auto _ : state) {
    auto t0 = std::chrono::steady_clock::now();
    run();
    Results()[name] = Seconds(t0);
  }
  if (form.model.marked_count != static_cast<int64_t>(TheWorld().with_word)) {
    state.SkipWithError("the search did not find every card with the word");
  }
}

void BM_SearchExact(benchmark::State& state) { Search(state, false, "card search"); }
void BM_SearchFuzzy(benchmark::State& state) { Search(state, true, "card search, fuzzy"); }

void BM_Grep(benchmark::State& state) {
  const std::string command = std::string("LC_ALL=C grep -F -c -r ") + kWord + " " +
                              TheWorld().files + " > /dev/null";
  if (std::system(command.c_str()) != 0) state.SkipWithError("grep failed");
  for (auto _ : state) {
    auto t0 = std::chrono::steady_clock::now();
    if (std::system(command.c_str()) != 0) state.SkipWithError("grep failed");
    Results()["grep -F -c -r"] = Seconds(t0);
  }
}

BENCHMARK(BM_TreeLoad)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchExact)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchFuzzy)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Grep)->Iterations(1)->Unit(benchmark::kMillisecond);

void PrintComparison() {
  std::printf("\n%zu cards in %d folders, %zu with the word\n", CardCount(), kFolders,
              TheWorld().with_word);
  const double grep = Results()["grep -F -c -r"];
  std::printf("%-24s %10s %10s\n", "workload", "ms", "/ grep");
  for (const auto& [name, seconds] : Results()) {
    std::printf("%-24s %10.1f %10.2f\n", name.c_str(), seconds * 1000,
                grep > 0 ? seconds / grep : 0.0);
  }
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  auto t0 = std::chrono::steady_clock::now();
  Status s = MakeWorld();
  if (!s.ok()) {
    std::fprintf(stderr, "%s\n", s.ToString().c_str());
    return 1;
  }
  std::printf("data set and files made in %.1f s\n", Seconds(t0));
  benchmark::RunSpecifiedBenchmarks();
  PrintComparison();
  benchmark::Shutdown();
  return 0;
}
