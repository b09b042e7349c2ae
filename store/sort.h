// In-place quicksort over an array of fixed-size elements, ordered by a
// comparator object.
//
// SortArray keeps its working state (the array, the element size, the
// range in hand and one temporary element) in the T_SORT object, so one
// sorter object serves one sort at a time. The sort is not stable.
#pragma once

#include <cstddef>
#include <memory>

namespace quill::store {

class T_SORT {
 public:
  virtual ~T_SORT() = default;

  // Orders two elements (pointers into the array being sorted): negative,
  // zero or positive.
  virtual int Compare(const void* a, const void* b) = 0;
  // Called once before the sort and once after it.
  virtual void Begin() {}
  virtual void End() {}

  // Set by SortArray while a sort runs.
  std::unique_ptr<unsigned char[]> temp;  // one element, for swaps
  unsigned char* base = nullptr;
  size_t size = 0;  // element size in bytes
  long lo = 0;      // range being worked on
  long hi = 0;
};

// Sorts count elements of elementSize bytes at base in ascending order of
// sorter.Compare. Calls Begin before and End after, also for count 0 or 1.
// Ranges of 12 elements or more are partitioned around the median of three
// elements drawn with the C library's rand(); smaller ranges are finished
// by insertion. Throws std::bad_alloc when the temporary element cannot be
// allocated (before Begin is called).
void SortArray(T_SORT& sorter, void* base, size_t count, size_t elementSize);

}  // namespace quill::store
