#include "store/cached_file.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace quill::store {

CachedFile::~CachedFile() {
  if (file_) (void)file_->Close();
}

Status CachedFile::set_write_back(bool on) {
  if (on == write_back_) return Status::Ok();
  Status s = on ? Status::Ok() : WriteHeld();
  if (!s.ok()) return s;
  write_back_ = on;
  // Off, every call goes to the file: nothing is held, not even its size.
  blocks_.clear();
  ages_.clear();
  size_known_ = false;
  return Status::Ok();
}

Status CachedFile::KnowSize() {
  if (size_known_) return Status::Ok();
  QUILL_RETURN_IF_ERROR(file_->Size(&size_));
  size_known_ = true;
  return Status::Ok();
}

void CachedFile::Touch(Block& b) { ages_.splice(ages_.begin(), ages_, b.age); }

Status CachedFile::Take(uint64_t index, bool whole, Block** block) {
  auto it = blocks_.find(index);
  if (it != blocks_.end()) {
    Touch(it->second);
    *block = &it->second;
    return Status::Ok();
  }
  Block b;
  b.bytes.reset(new char[kBlockBytes]);
  if (!whole) {
    QUILL_RETURN_IF_ERROR(file_->ReadAt(index * kBlockBytes, b.bytes.get(), kBlockBytes, &b.valid));
  }
  ages_.push_front(index);
  b.age = ages_.begin();
  *block = &blocks_.emplace(index, std::move(b)).first->second;
  return Status::Ok();
}

void CachedFile::MarkDirty(Block& b, size_t from, size_t to) {
  auto& d = b.dirty;
  // The ranges that touch [from, to) merge with it.
  auto first = std::lower_bound(d.begin(), d.end(), from,
                                [](const std::pair<size_t, size_t>& r, size_t at) { return r.second < at; });
  auto last = first;
  while (last != d.end() && last->first <= to) {
    from = std::min(from, last->first);
    to = std::max(to, last->second);
    ++last;
  }
  first = d.erase(first, last);
  d.insert(first, {from, to});
}

Status CachedFile::WriteBlocks(const std::vector<uint64_t>& order, size_t first, size_t last) {
  std::string run;
  uint64_t run_at = 0;
  auto flush = [&]() -> Status {
    if (run.empty()) return Status::Ok();
    Status s = file_->WriteAt(run_at, run.data(), run.size());
    run.clear();
    return s;
  };
  size_t done = first;  // blocks before it are written
  for (size_t i = first; i < last; ++i) {
    Block& b = blocks_.at(order[i]);
    const uint64_t start = order[i] * kBlockBytes;
    for (const auto& [from, to] : b.dirty) {
      if (run.empty() || run_at + run.size() != start + from || run.size() >= kRunBytes) {
        QUILL_RETURN_IF_ERROR(flush());
        // Everything before this block went out.
        for (; done < i; ++done) {
          blocks_.at(order[done]).dirty.clear();
          dirty_.erase(order[done]);
        }
        run_at = start + from;
      }
      run.append(b.bytes.get() + from, to - from);
    }
  }
  QUILL_RETURN_IF_ERROR(flush());
  for (; done < last; ++done) {
    blocks_.at(order[done]).dirty.clear();
    dirty_.erase(order[done]);
  }
  return Status::Ok();
}

Status CachedFile::Shrink() {
  while (blocks_.size() > kMaxBlocks) {
    const uint64_t index = ages_.back();
    if (dirty_.count(index) != 0) QUILL_RETURN_IF_ERROR(WriteBlocks({index}, 0, 1));
    ages_.pop_back();
    blocks_.erase(index);
  }
  return Status::Ok();
}

Status CachedFile::WriteHeld() {
  if (dirty_.empty()) return Status::Ok();
  // In file order, the first block (a table's header) last.
  std::vector<uint64_t> order(dirty_.begin(), dirty_.end());
  if (order.front() == 0) std::rotate(order.begin(), order.begin() + 1, order.end());
  const size_t tail = order.back() == 0 && order.size() > 1 ? order.size() - 1 : order.size();
  QUILL_RETURN_IF_ERROR(WriteBlocks(order, 0, tail));
  return WriteBlocks(order, tail, order.size());
}

Status CachedFile::ReadAt(uint64_t offset, void* buf, size_t n, size_t* got) {
  if (!write_back_) return file_->ReadAt(offset, buf, n, got);
  *got = 0;
  QUILL_RETURN_IF_ERROR(KnowSize());
  if (offset >= size_) return Status::Ok();
  const uint64_t end = std::min<uint64_t>(offset + n, size_);
  const bool small = n < kBlockBytes;
  char* out = static_cast<char*>(buf);
  uint64_t at = offset;
  while (at < end) {
    const uint64_t index = at / kBlockBytes;
    const uint64_t start = index * kBlockBytes;
    const uint64_t stop = std::min<uint64_t>(start + kBlockBytes, end);
    const bool held = blocks_.count(index) != 0;
    if (held || small) {
      Block* b = nullptr;
      QUILL_RETURN_IF_ERROR(Take(index, false, &b));
      const uint64_t have = start + b->valid;
      if (have <= at) break;
      const uint64_t to = std::min(stop, have);
      std::memcpy(out + (at - offset), b->bytes.get() + (at - start), to - at);
      at = to;
      if (to < stop) break;
      continue;
    }
    // A run of blocks not held, straight from the file.
    uint64_t to = stop;
    while (to < end && blocks_.count(to / kBlockBytes) == 0) {
      to = std::min<uint64_t>(to + kBlockBytes, end);
    }
    size_t read = 0;
    QUILL_RETURN_IF_ERROR(file_->ReadAt(at, out + (at - offset), to - at, &read));
    at += read;
    if (at < to) break;
  }
  *got = at - offset;
  return Shrink();
}

Status CachedFile::WriteAt(uint64_t offset, const void* buf, size_t n) {
  if (!write_back_) return file_->WriteAt(offset, buf, n);
  if (n == 0) return Status::Ok();
  QUILL_RETURN_IF_ERROR(KnowSize());
  const char* in = static_cast<const char*>(buf);
  const uint64_t end = offset + n;
  for (uint64_t at = offset; at < end;) {
    const uint64_t index = at / kBlockBytes;
    const uint64_t start = index * kBlockBytes;
    const uint64_t to = std::min(end, start + kBlockBytes);
    Block* b = nullptr;
    QUILL_RETURN_IF_ERROR(Take(index, at == start && to == start + kBlockBytes, &b));
    const size_t from_in = at - start, to_in = to - start;
    // A gap before the write reads as zeros, as in a file, and goes out
    // with it.
    size_t dirty_from = from_in;
    if (from_in > b->valid) {
      std::memset(b->bytes.get() + b->valid, 0, from_in - b->valid);
      dirty_from = b->valid;
    }
    std::memcpy(b->bytes.get() + from_in, in + (at - offset), to_in - from_in);
    MarkDirty(*b, dirty_from, to_in);
    dirty_.insert(index);
    b->valid = std::max(b->valid, to_in);
    at = to;
  }
  size_ = std::max(size_, end);
  return Shrink();
}

Status CachedFile::Truncate(uint64_t size) {
  if (!write_back_) return file_->Truncate(size);
  QUILL_RETURN_IF_ERROR(WriteHeld());
  QUILL_RETURN_IF_ERROR(file_->Truncate(size));
  for (auto it = blocks_.begin(); it != blocks_.end();) {
    const uint64_t start = it->first * kBlockBytes;
    if (start >= size) {
      ages_.erase(it->second.age);
      it = blocks_.erase(it);
      continue;
    }
    it->second.valid = std::min<uint64_t>(it->second.valid, size - start);
    ++it;
  }
  size_ = size;
  size_known_ = true;
  return Status::Ok();
}

Status CachedFile::Size(uint64_t* size) {
  if (!write_back_) return file_->Size(size);
  QUILL_RETURN_IF_ERROR(KnowSize());
  *size = size_;
  return Status::Ok();
}

Status CachedFile::Sync() {
  QUILL_RETURN_IF_ERROR(WriteHeld());
  return file_->Sync();
}

Status CachedFile::Close() {
  if (!file_) return Status::Ok();
  Status s = WriteHeld();
  Status c = file_->Close();
  file_.reset();
  blocks_.clear();
  ages_.clear();
  dirty_.clear();
  return s.ok() ? c : s;
}

}  // namespace quill::store
