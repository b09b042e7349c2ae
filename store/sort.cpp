#include "store/sort.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

namespace quill::store {
namespace {

unsigned char* At(T_SORT& s, long i) { return s.base + static_cast<size_t>(i) * s.size; }

// Three byte copies through the temporary element. Pointer-sized elements
// (arrays of pointers, the usual case) are copied without library calls.
void Swap(T_SORT& s, long i, long j) {
  unsigned char* a = At(s, i);
  unsigned char* b = At(s, j);
  if (s.size == sizeof(uint64_t)) {
    uint64_t x, y;
    std::memcpy(&x, a, sizeof x);
    std::memcpy(&y, b, sizeof y);
    std::memcpy(s.temp.get(), &x, sizeof x);
    std::memcpy(a, &y, sizeof y);
    std::memcpy(b, &x, sizeof x);
    return;
  }
  std::memcpy(s.temp.get(), a, s.size);
  std::memmove(a, b, s.size);
  std::memcpy(b, s.temp.get(), s.size);
}

// Index of the median of the elements at three random indexes in lo..hi-1.
long MedianOfThree(T_SORT& s, long lo, long hi) {
  const long span = hi - lo;
  const long ia = std::rand() % span + lo;
  const long ib = std::rand() % span + lo;
  const long ic = std::rand() % span + lo;
  const void* a = At(s, ia);
  const void* b = At(s, ib);
  const void* c = At(s, ic);
  if (s.Compare(a, c) >= 0) {
    if (s.Compare(a, b) >= 0) return s.Compare(c, b) < 0 ? ib : ic;
    return ia;
  }
  if (s.Compare(c, b) >= 0) return s.Compare(a, b) < 0 ? ib : ia;
  return ic;
}

// Partitions lo..hi (at least 12 elements) around a pivot kept at hi while
// the range is scanned; returns the pivot's final index.
long Partition(T_SORT& s, long lo, long hi) {
  Swap(s, MedianOfThree(s, lo, hi), hi);
  const void* pivot = At(s, hi);
  long i = lo - 1;
  long j = hi;
  while (true) {
    ++i;
    // The pivot itself ends the scan, even under a comparator that finds
    // an element below itself.
    if (i < hi && s.Compare(At(s, i), pivot) < 0) continue;
    do {
      --j;
    } while (j > i && s.Compare(pivot, At(s, j)) < 0);
    if (j <= i) break;
    Swap(s, i, j);
  }
  Swap(s, i, hi);
  return i;
}

// Moves each element of lo+1..hi down while its left neighbour compares
// greater; the walk may go on below lo, down to index 0.
void InsertionSort(T_SORT& s, long lo, long hi) {
  for (long i = lo + 1; i <= hi; ++i) {
    for (long j = i; j > 0 && s.Compare(At(s, j - 1), At(s, j)) > 0; --j) Swap(s, j - 1, j);
  }
}

}  // namespace

void SortArray(T_SORT& sorter, void* base, size_t count, size_t elementSize) {
  sorter.base = static_cast<unsigned char*>(base);
  sorter.size = elementSize;
  sorter.temp = std::make_unique<unsigned char[]>(elementSize);
  sorter.Begin();

  // The larger part is pushed first, so the stack stays shallow; it grows
  // as needed all the same.
  std::vector<std::pair<long, long>> ranges;
  ranges.emplace_back(0, static_cast<long>(count) - 1);
  while (!ranges.empty()) {
    sorter.lo = ranges.back().first;
    sorter.hi = ranges.back().second;
    ranges.pop_back();
    const long lo = sorter.lo;
    const long hi = sorter.hi;
    if (hi - lo > 10) {
      const long p = Partition(sorter, lo, hi);
      if (p - lo < hi - p) {
        ranges.emplace_back(p + 1, hi);
        ranges.emplace_back(lo, p - 1);
      } else {
        ranges.emplace_back(lo, p - 1);
        ranges.emplace_back(p + 1, hi);
      }
    } else {
      InsertionSort(sorter, lo, hi);
    }
  }

  sorter.temp.reset();
  sorter.End();
}

}  // namespace quill::store
