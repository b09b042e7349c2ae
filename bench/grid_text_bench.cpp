// Reading table text into the grid: the time grows with the text and the
// cells it reaches, whatever its shape (lines of equal width, or one wide
// line over a long column), and a refused table costs one pass.
#include <benchmark/benchmark.h>

#include <string>

#include "controls/grid_model.h"

namespace {

// n lines of `cols` cells; with wide_first the first line alone has every
// column and the others one cell, the shape that grew the grid line by line.
std::string TableText(int lines, int cols, bool wide_first) {
  std::string text;
  for (int r = 0; r < lines; ++r) {
    const int n = wide_first && r > 0 ? 1 : cols;
    for (int c = 0; c < n; ++c) text += c == 0 ? "cell" : "\tcell";
    text += "\r\n";
  }
  return text;
}

void BM_ToCsv(benchmark::State& state, bool wide_first) {
  const int lines = static_cast<int>(state.range(0));
  const std::string text = TableText(lines, 20, wide_first);
  for (auto _ : state) {
    quill::GridModel grid;
    benchmark::DoNotOptimize(grid.ToCsv(text, 1, 1, 0));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(text.size()));
  // Text and cells both grow with the lines.
  state.SetComplexityN(lines);
}

void BM_ToCsvSquare(benchmark::State& state) { BM_ToCsv(state, false); }
void BM_ToCsvWideFirst(benchmark::State& state) { BM_ToCsv(state, true); }

// The text of a refused table is only counted: no grid is built.
void BM_ToCsvRefused(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const std::string text = std::string(static_cast<size_t>(n), '\t') + "x\r\n" +
                           TableText(n, 1, false);
  for (auto _ : state) {
    quill::GridModel grid;
    benchmark::DoNotOptimize(grid.ToCsv(text, 1, 1, 0));
  }
  state.SetComplexityN(static_cast<int64_t>(text.size()));
}

BENCHMARK(BM_ToCsvSquare)->RangeMultiplier(4)->Range(64, 12288)->Complexity(benchmark::oN);
BENCHMARK(BM_ToCsvWideFirst)->RangeMultiplier(4)->Range(64, 12288)->Complexity(benchmark::oN);
BENCHMARK(BM_ToCsvRefused)->RangeMultiplier(4)->Range(4096, 262144)->Complexity(benchmark::oN);

}  // namespace

BENCHMARK_MAIN();
