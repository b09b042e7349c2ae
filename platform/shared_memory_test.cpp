#include "platform/shared_memory.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "platform/headless/temp_dir.h"
#include "platform/instance_lock.h"

namespace quill {
namespace {

std::string TestName() { return "/quilltest-shm-" + std::to_string(::getpid()); }

TEST(SharedMemoryTest, CreateOpenUnlink) {
  const std::string name = TestName();
  SharedMemory::Unlink(name);
  std::unique_ptr<SharedMemory> a, b, c;
  ASSERT_TRUE(SharedMemory::Create(name, 5272, &a).ok());
  EXPECT_TRUE(std::all_of(a->data(), a->data() + 5272, [](uint8_t x) { return x == 0; }));
  EXPECT_EQ(SharedMemory::Create(name, 5272, &b).code(), Status::kDuplicate);

  ASSERT_TRUE(SharedMemory::Open(name, 5272, &b).ok());
  a->data()[5271] = 0x5A;
  EXPECT_EQ(b->data()[5271], 0x5A);  // one block, two mappings
  EXPECT_EQ(SharedMemory::Open(name, 5273, &c).code(), Status::kCorrupt);

  ASSERT_TRUE(SharedMemory::Unlink(name).ok());
  EXPECT_EQ(b->data()[5271], 0x5A);  // mappings outlive the name
  EXPECT_TRUE(SharedMemory::Open(name, 5272, &c).IsNotFound());
  EXPECT_TRUE(SharedMemory::Unlink(name).IsNotFound());
}

TEST(SharedMemoryTest, BadNamesAreRefused) {
  std::unique_ptr<SharedMemory> m;
  for (const char* name : {"", "/", "didevar", "/a/b"}) {
    EXPECT_EQ(SharedMemory::Create(name, 16, &m).code(), Status::kInvalid) << name;
    EXPECT_EQ(SharedMemory::Open(name, 16, &m).code(), Status::kInvalid) << name;
  }
}

TEST(SharedMemoryTest, BlockNameIsPerUserUnlessOverridden) {
  const char* saved = std::getenv("QUILLBOX_BLOCK_NAME");
  std::string keep = saved ? saved : "";
  ::unsetenv("QUILLBOX_BLOCK_NAME");
  EXPECT_EQ(SharedBlockName(), "/didevar-" + std::to_string(::getuid()));
  ::setenv("QUILLBOX_BLOCK_NAME", "/didevar-x", 1);
  EXPECT_EQ(SharedBlockName(), "/didevar-x");
  if (saved) ::setenv("QUILLBOX_BLOCK_NAME", keep.c_str(), 1);
  else ::unsetenv("QUILLBOX_BLOCK_NAME");
}

TEST(InstanceLockTest, OneHolderAtATime) {
  TempDir dir;
  const std::string path = InstanceLockPath(dir.Path());
  std::unique_ptr<InstanceLock> a, b;
  ASSERT_TRUE(InstanceLock::TryAcquire(path, &a).ok());
  ASSERT_TRUE(a);
  ASSERT_TRUE(InstanceLock::TryAcquire(path, &b).ok());
  EXPECT_FALSE(b);  // held: ok, but not ours
  a.reset();
  ASSERT_TRUE(InstanceLock::TryAcquire(path, &b).ok());
  EXPECT_TRUE(b);

  std::unique_ptr<InstanceLock> c;
  EXPECT_FALSE(InstanceLock::TryAcquire(dir.File("missing/x.lock"), &c).ok());
}

TEST(InstanceLockTest, RuntimeFolderMustBePrivate) {
  TempDir dir;
  const std::string f = dir.File("rt");
  ASSERT_TRUE(EnsurePrivateFolder(f).ok());
  struct stat st;
  ASSERT_EQ(::stat(f.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  EXPECT_TRUE(EnsurePrivateFolder(f).ok());  // an existing private folder is fine

  ::chmod(f.c_str(), 0755);
  EXPECT_EQ(EnsurePrivateFolder(f).code(), Status::kPermission);
  ::chmod(f.c_str(), 0700);
  std::filesystem::create_directory_symlink(f, dir.File("link"));
  EXPECT_EQ(EnsurePrivateFolder(dir.File("link")).code(), Status::kPermission);

  const char* saved = std::getenv("XDG_RUNTIME_DIR");
  std::string keep = saved ? saved : "";
  ::setenv("XDG_RUNTIME_DIR", dir.Path().c_str(), 1);
  std::string folder;
  ASSERT_TRUE(RuntimeFolder(&folder).ok());
  EXPECT_EQ(folder, dir.Path() + "/quillbox");
  if (saved) ::setenv("XDG_RUNTIME_DIR", keep.c_str(), 1);
  else ::unsetenv("XDG_RUNTIME_DIR");
}

}  // namespace
}  // namespace quill
