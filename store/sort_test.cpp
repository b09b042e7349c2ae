#include "store/sort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace quill::store {
namespace {

// Orders ints ascending and records what the sort did with it.
class IntSort : public T_SORT {
 public:
  int Compare(const void* a, const void* b) override {
    ++compares;
    if (begins != 1 || ends != 0) outside_calls = true;
    int x, y;
    std::memcpy(&x, a, sizeof x);
    std::memcpy(&y, b, sizeof y);
    return x < y ? -1 : x > y ? 1 : 0;
  }
  void Begin() override { ++begins; }
  void End() override { ++ends; }

  int begins = 0, ends = 0;
  long compares = 0;
  bool outside_calls = false;
};

// Whether the sort drew from rand(): the next value after seeding equals
// the first one of the seeded sequence only when nothing was drawn.
bool DrewFromRand(const std::vector<int>& input) {
  std::srand(7);
  const int first = std::rand();
  std::srand(7);
  std::vector<int> v = input;
  IntSort s;
  SortArray(s, v.data(), v.size(), sizeof(int));
  return std::rand() != first;
}

TEST(SortArrayTest, MatchesStdSortOnManyRandomInts) {
  std::mt19937 gen(42);
  std::uniform_int_distribution<int> dist(-1000, 1000);  // many equal keys
  std::vector<int> v(100000);
  for (int& x : v) x = dist(gen);
  std::vector<int> expected = v;
  std::sort(expected.begin(), expected.end());

  IntSort s;
  SortArray(s, v.data(), v.size(), sizeof(int));
  EXPECT_EQ(v, expected);
  EXPECT_EQ(s.begins, 1);
  EXPECT_EQ(s.ends, 1);
  EXPECT_FALSE(s.outside_calls);
  EXPECT_EQ(s.temp, nullptr);  // the temporary element is freed again
}

TEST(SortArrayTest, SortsAwkwardInputsOfEverySmallSize) {
  for (size_t n = 2; n <= 40; ++n) {
    std::vector<std::vector<int>> inputs = {
        std::vector<int>(n, 5),  // all equal
        {}, {}, {}};
    for (size_t i = 0; i < n; ++i) {
      inputs[1].push_back(static_cast<int>(i));      // ascending
      inputs[2].push_back(static_cast<int>(n - i));  // descending
      inputs[3].push_back(static_cast<int>(i % 3));  // few keys
    }
    for (std::vector<int> v : inputs) {
      std::vector<int> expected = v;
      std::sort(expected.begin(), expected.end());
      IntSort s;
      SortArray(s, v.data(), v.size(), sizeof(int));
      EXPECT_EQ(v, expected) << "n = " << n;
    }
  }
}

TEST(SortArrayTest, ZeroOrOneElementCallsBeginAndEndOnly) {
  for (size_t count : {0u, 1u}) {
    int one = 3;
    IntSort s;
    SortArray(s, &one, count, sizeof(int));
    EXPECT_EQ(s.begins, 1);
    EXPECT_EQ(s.ends, 1);
    EXPECT_EQ(s.compares, 0);
    EXPECT_EQ(one, 3);
  }
}

TEST(SortArrayTest, PartitionsFromTwelveElementsOn) {
  std::vector<int> eleven = {9, 3, 7, 1, 10, 2, 8, 4, 6, 5, 0};
  std::vector<int> twelve = eleven;
  twelve.push_back(11);
  EXPECT_FALSE(DrewFromRand(eleven));
  EXPECT_TRUE(DrewFromRand(twelve));
}

TEST(SortArrayTest, MovesWholeElementsOfAnySize) {
  struct Row {
    char key[7];
    char pad[6];
  };
  class RowSort : public T_SORT {
   public:
    int Compare(const void* a, const void* b) override {
      return std::strcmp(static_cast<const Row*>(a)->key, static_cast<const Row*>(b)->key);
    }
  };
  std::vector<Row> rows(50);
  for (size_t i = 0; i < rows.size(); ++i) {
    std::snprintf(rows[i].key, sizeof rows[i].key, "k%05zu", (i * 37) % 50);
    std::snprintf(rows[i].pad, sizeof rows[i].pad, "p%04zu", (i * 37) % 50);
  }
  RowSort s;
  SortArray(s, rows.data(), rows.size(), sizeof(Row));
  for (size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(std::atoi(rows[i].key + 1), static_cast<int>(i));
    EXPECT_EQ(std::atoi(rows[i].pad + 1), static_cast<int>(i));  // moved with its key
  }
}

// A comparator that contradicts itself must not make the sort leave the
// array or lose elements.
TEST(SortArrayTest, StaysInsideTheArrayUnderAnInconsistentComparator) {
  class Liar : public T_SORT {
   public:
    explicit Liar(int answer) : answer_(answer) {}
    int Compare(const void* a, const void* b) override {
      int x, y;  // read both, so that a step outside the array is caught
      std::memcpy(&x, a, sizeof x);
      std::memcpy(&y, b, sizeof y);
      seen_ += x - y;
      return answer_;
    }

   private:
    int answer_;
    long seen_ = 0;
  };
  for (int answer : {-1, 1}) {
    std::vector<int> v(1000);
    for (size_t i = 0; i < v.size(); ++i) v[i] = static_cast<int>(i);
    Liar s(answer);
    SortArray(s, v.data(), v.size(), sizeof(int));
    std::sort(v.begin(), v.end());
    for (size_t i = 0; i < v.size(); ++i) ASSERT_EQ(v[i], static_cast<int>(i)) << answer;
  }
}

}  // namespace
}  // namespace quill::store
