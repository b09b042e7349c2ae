#include "store/cached_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace quill::store {
namespace {

constexpr size_t kBlock = CachedFile::kBlockBytes;

// A file in memory that records its writes and can fail them or hand back
// damaged bytes.
class MemoryFile final : public RandomFile {
 public:
  explicit MemoryFile(std::string* bytes) : bytes_(bytes) {}
  Status ReadAt(uint64_t offset, void* buf, size_t n, size_t* got) override {
    ++reads;
    *got = offset >= bytes_->size() ? 0 : std::min<size_t>(n, bytes_->size() - offset);
    std::memcpy(buf, bytes_->data() + (*got > 0 ? offset : 0), *got);
    if (on_read) on_read(offset, static_cast<char*>(buf), *got);
    return Status::Ok();
  }
  Status WriteAt(uint64_t offset, const void* buf, size_t n) override {
    if (fail_writes > 0) {
      --fail_writes;
      return Status::IoError("write refused");
    }
    if (bytes_->size() < offset + n) bytes_->resize(offset + n, '\0');
    std::memcpy(bytes_->data() + offset, buf, n);
    writes.push_back(offset);
    return Status::Ok();
  }
  Status Truncate(uint64_t size) override {
    bytes_->resize(size);
    return Status::Ok();
  }
  Status Size(uint64_t* size) override {
    *size = bytes_->size();
    return Status::Ok();
  }
  Status Sync() override { return Status::Ok(); }
  Status SetMode(uint32_t) override { return Status::Ok(); }
  Status Close() override { return Status::Ok(); }

  std::vector<uint64_t> writes;  // offsets, in order
  int reads = 0;
  int fail_writes = 0;
  std::function<void(uint64_t offset, char* buf, size_t n)> on_read;

 private:
  std::string* bytes_;
};

struct Rig {
  Rig() : disk(3 * kBlock + 100, 'o') {
    auto f = std::make_unique<MemoryFile>(&disk);
    raw = f.get();
    file = std::make_unique<CachedFile>(std::move(f));
    EXPECT_TRUE(file->set_write_back(true).ok());
  }
  std::string Read(uint64_t offset, size_t n) {
    std::string out(n, '?');
    size_t got = 0;
    EXPECT_TRUE(file->ReadAt(offset, out.data(), n, &got).ok());
    out.resize(got);
    return out;
  }
  void Write(uint64_t offset, const std::string& s) {
    ASSERT_TRUE(file->WriteAt(offset, s.data(), s.size()).ok());
  }
  std::string disk;
  MemoryFile* raw;
  std::unique_ptr<CachedFile> file;
};

TEST(CachedFileTest, WritesWaitInMemoryAndReadsSeeThem) {
  Rig r;
  const std::string before = r.disk;
  r.Write(10, "head");
  r.Write(kBlock + 5, "middle");
  r.Write(r.disk.size(), "appended");  // past the end of the file
  EXPECT_EQ(r.disk, before);
  EXPECT_EQ(r.Read(8, 8), "oohead" + std::string("oo"));
  EXPECT_EQ(r.Read(kBlock + 5, 6), "middle");
  uint64_t size = 0;
  ASSERT_TRUE(r.file->Size(&size).ok());
  EXPECT_EQ(size, before.size() + 8);
  // A read longer than a block takes what is not held from the file.
  const std::string all = r.Read(0, size + 50);
  ASSERT_EQ(all.size(), size);
  EXPECT_EQ(all.substr(kBlock + 5, 6), "middle");
  EXPECT_EQ(all.substr(before.size()), "appended");
  EXPECT_TRUE(r.file->holds_writes());

  // Written in file order, the first block last.
  ASSERT_TRUE(r.file->WriteHeld().ok());
  EXPECT_FALSE(r.file->holds_writes());
  ASSERT_EQ(r.raw->writes.size(), 3u);
  EXPECT_EQ(r.raw->writes.front(), kBlock + 5);
  EXPECT_EQ(r.raw->writes.back(), 10u);
  EXPECT_EQ(r.disk.substr(10, 4), "head");
  EXPECT_EQ(r.disk.substr(before.size()), "appended");
}

// Only the bytes written go out: bytes that came back damaged from a read
// of the same block are never written over the file's own.
TEST(CachedFileTest, OnlyTheBytesWrittenGoOut) {
  Rig r;
  r.raw->on_read = [](uint64_t offset, char* buf, size_t n) {
    for (size_t i = 0; i < n; ++i) {
      if (offset + i >= 100 && offset + i < 110) buf[i] = '#';
    }
  };
  EXPECT_EQ(r.Read(100, 4), "####");
  r.Write(50, "aa");
  r.Write(200, "bb");
  r.Write(52, "cc");  // joins the first range
  ASSERT_TRUE(r.file->WriteHeld().ok());
  EXPECT_EQ(r.raw->writes, (std::vector<uint64_t>{50, 200}));
  EXPECT_EQ(r.disk.substr(50, 4), "aacc");
  EXPECT_EQ(r.disk.substr(100, 10), std::string(10, 'o'));

  // Whole neighbouring blocks go out in one write.
  r.raw->writes.clear();
  r.Write(2 * kBlock - 10, std::string(kBlock + 20, 'w'));
  ASSERT_TRUE(r.file->WriteHeld().ok());
  EXPECT_EQ(r.raw->writes, (std::vector<uint64_t>{2 * kBlock - 10}));
  EXPECT_EQ(r.disk.substr(2 * kBlock - 10, kBlock + 20), std::string(kBlock + 20, 'w'));
}

TEST(CachedFileTest, AFailedWriteKeepsTheBlocksForTheNextTry) {
  Rig r;
  r.Write(kBlock * 2, "later");
  r.raw->fail_writes = 1;
  EXPECT_FALSE(r.file->WriteHeld().ok());
  EXPECT_TRUE(r.file->holds_writes());
  EXPECT_EQ(r.Read(kBlock * 2, 5), "later");
  ASSERT_TRUE(r.file->Close().ok());
  EXPECT_EQ(r.disk.substr(kBlock * 2, 5), "later");
}

TEST(CachedFileTest, TruncateAndAFullCacheWriteWhatTheyHold) {
  Rig r;
  r.Write(5, "kept");
  r.Write(kBlock * 3, "cut");
  ASSERT_TRUE(r.file->Truncate(kBlock * 3 + 1).ok());
  EXPECT_EQ(r.disk.size(), kBlock * 3 + 1);
  EXPECT_EQ(r.disk.substr(5, 4), "kept");
  EXPECT_EQ(r.Read(kBlock * 3, 10), "c");
  // More blocks than the cache holds: those pushed out are written first.
  for (size_t i = 0; i < CachedFile::kMaxBlocks + 10; ++i) r.Write(i * kBlock, "x");
  EXPECT_EQ(r.Read(0, 1), "x");
  EXPECT_EQ(r.disk[kBlock], 'x');  // pushed out
  ASSERT_TRUE(r.file->Close().ok());
  for (size_t i = 0; i < CachedFile::kMaxBlocks + 10; ++i) ASSERT_EQ(r.disk[i * kBlock], 'x') << i;
}

// Without write-back every call goes to the file: a change made to the
// file meanwhile is seen.
TEST(CachedFileTest, WithoutWriteBackEveryCallGoesToTheFile) {
  Rig r;
  r.Write(0, "held");
  ASSERT_TRUE(r.file->set_write_back(false).ok());
  EXPECT_EQ(r.disk.substr(0, 4), "held");
  r.disk[0] = 'H';
  EXPECT_EQ(r.Read(0, 4), "Held");
  r.Write(1, "E");
  EXPECT_EQ(r.disk.substr(0, 4), "HEld");
}

}  // namespace
}  // namespace quill::store
