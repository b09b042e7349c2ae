#include "store/index_copy.h"

#include <algorithm>
#include <cstring>

#include "store/index_build.h"
#include "platform/sjis.h"

namespace quill::store {
namespace {

uint64_t Load64(const char* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  return v;
}

// Orders the first n bytes of a and b as memcmp does (keys are short:
// eight bytes at a time, without a call).
int CompareBytes(const char* a, const char* b, size_t n) {
  size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    const uint64_t x = Load64(a + i), y = Load64(b + i);
    if (x != y) return __builtin_bswap64(x) < __builtin_bswap64(y) ? -1 : 1;
  }
  for (; i < n; ++i) {
    if (a[i] != b[i]) {
      return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[i]) ? -1 : 1;
    }
  }
  return 0;
}

}  // namespace

std::string_view IndexCopy::Held(std::string_view key) const {
  return numeric_ ? key : WithoutTrailingBlanks(key);
}

int IndexCopy::Compare(std::string_view value, std::string_view key) const {
  if (numeric_) {
    char v[8] = {}, k[8];
    std::memcpy(v, value.data(), std::min<size_t>(8, value.size()));
    std::memset(k, ' ', 8);
    std::memcpy(k, key.data(), std::min<size_t>(8, key.size()));
    return CompareDoubles(DecodeDouble(v), DecodeDouble(k));
  }
  // The key reads as followed by blanks: value bytes beyond it match only
  // blanks.
  const size_t common = std::min(value.size(), key.size());
  const int c = CompareBytes(value.data(), key.data(), common);
  if (c != 0) return c;
  for (size_t i = common; i < value.size(); ++i) {
    const unsigned char b = static_cast<unsigned char>(value[i]);
    if (b != ' ') return b < ' ' ? -1 : 1;
  }
  return 0;
}

int IndexCopy::Order(std::string_view a, std::string_view b) const {
  if (numeric_) return Compare(a, b);
  // The shorter reads as followed by blanks.
  const size_t common = std::min(a.size(), b.size());
  const int c = CompareBytes(a.data(), b.data(), common);
  if (c != 0) return c;
  const std::string_view rest = a.size() > b.size() ? a.substr(common) : b.substr(common);
  const int sign = a.size() > b.size() ? 1 : -1;
  for (char ch : rest) {
    const unsigned char u = static_cast<unsigned char>(ch);
    if (u != ' ') return u > ' ' ? sign : -sign;
  }
  return 0;
}

uint32_t IndexCopy::PoolKey(std::string_view key) {
  const std::string_view held = Held(key).substr(0, 255);
  const auto at = static_cast<uint32_t>(pool_.size());
  pool_.push_back(static_cast<char>(held.size()));
  pool_.append(held);
  live_pool_bytes_ += held.size() + 1;
  return at;
}

void IndexCopy::Append(uint32_t row, uint32_t key_at) {
  if (chunks_.empty() || chunks_.back().size() >= kFill) {
    chunks_.emplace_back();
    chunks_.back().reserve(kFill);
  }
  chunks_.back().push_back({row, key_at});
  ++size_;
}

IndexCopy::Place IndexCopy::LowerBound(std::string_view value) const {
  // The first chunk whose last key is not less than value, then the place
  // within it.
  size_t lo = 0, hi = chunks_.size();
  while (lo < hi) {
    const size_t mid = lo + (hi - lo) / 2;
    if (Compare(value, KeyOf(chunks_[mid].back())) > 0) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  if (lo == chunks_.size()) return {chunks_.size(), 0};
  const std::vector<Entry>& c = chunks_[lo];
  size_t a = 0, b = c.size();
  while (a < b) {
    const size_t mid = a + (b - a) / 2;
    if (Compare(value, KeyOf(c[mid])) > 0) {
      a = mid + 1;
    } else {
      b = mid;
    }
  }
  return {lo, a};
}

void IndexCopy::Insert(std::string_view key, uint32_t row) {
  Place p = LowerBound(key);
  const uint32_t at = PoolKey(key);
  if (chunks_.empty()) {
    chunks_.emplace_back();
    p = {0, 0};
  } else if (p.chunk == chunks_.size()) {
    p = {chunks_.size() - 1, chunks_.back().size()};  // after the last entry
  }
  std::vector<Entry>& c = chunks_[p.chunk];
  c.insert(c.begin() + static_cast<ptrdiff_t>(p.pos), Entry{row, at});
  ++size_;
  if (c.size() > kMaxChunk) {
    std::vector<Entry> right(c.begin() + static_cast<ptrdiff_t>(c.size() / 2), c.end());
    c.resize(c.size() / 2);
    chunks_.insert(chunks_.begin() + static_cast<ptrdiff_t>(p.chunk) + 1, std::move(right));
  }
}

bool IndexCopy::Remove(std::string_view key, uint32_t row) {
  Place p = LowerBound(key);
  while (p.chunk < chunks_.size()) {
    std::vector<Entry>& c = chunks_[p.chunk];
    if (p.pos == c.size()) {
      p = {p.chunk + 1, 0};
      continue;
    }
    // A chunk whose last key is the key holds only that key from p on:
    // only the rows need looking at.
    if (p.pos + 1 < c.size() && Compare(key, KeyOf(c.back())) == 0) {
      auto it = std::find_if(c.begin() + static_cast<ptrdiff_t>(p.pos), c.end(),
                             [row](const Entry& e) { return e.row == row; });
      if (it == c.end()) {
        p = {p.chunk + 1, 0};
        continue;
      }
      p.pos = static_cast<size_t>(it - c.begin());
    }
    const std::string_view k = KeyOf(c[p.pos]);
    if (Compare(key, k) != 0) return false;
    if (c[p.pos].row != row) {
      ++p.pos;
      continue;
    }
    live_pool_bytes_ -= k.size() + 1;
    c.erase(c.begin() + static_cast<ptrdiff_t>(p.pos));
    --size_;
    if (c.empty()) chunks_.erase(chunks_.begin() + static_cast<ptrdiff_t>(p.chunk));
    // Keys of removed entries stay in the pool until they outweigh the
    // rest.
    if (pool_.size() > 2 * live_pool_bytes_ + 65536) CompactPool();
    return true;
  }
  return false;
}

void IndexCopy::CompactPool() {
  std::string pool;
  pool.reserve(live_pool_bytes_);
  for (std::vector<Entry>& c : chunks_) {
    for (Entry& e : c) {
      const std::string_view k = KeyOf(e);
      const auto at = static_cast<uint32_t>(pool.size());
      pool.push_back(static_cast<char>(k.size()));
      pool.append(k);
      e.key_at = at;
    }
  }
  pool_ = std::move(pool);
  live_pool_bytes_ = pool_.size();
}

void IndexCopy::Matching(std::string_view value, std::vector<uint32_t>* rows,
                         uint32_t* after) const {
  rows->clear();
  *after = 0;
  for (Place p = LowerBound(value); p.chunk < chunks_.size(); p = {p.chunk + 1, 0}) {
    const std::vector<Entry>& c = chunks_[p.chunk];
    // A chunk whose last key still matches matches from p on.
    if (Compare(value, KeyOf(c.back())) == 0) {
      for (size_t i = p.pos; i < c.size(); ++i) rows->push_back(c[i].row);
      continue;
    }
    for (size_t i = p.pos; i < c.size(); ++i) {
      if (Compare(value, KeyOf(c[i])) != 0) {
        *after = c[i].row;
        return;
      }
      rows->push_back(c[i].row);
    }
  }
}

void IndexCopy::AllRows(std::vector<uint32_t>* rows) const {
  rows->clear();
  rows->reserve(size_);
  for (const std::vector<Entry>& c : chunks_) {
    for (const Entry& e : c) rows->push_back(e.row);
  }
}

}  // namespace quill::store
