#include <gtest/gtest.h>

#include <functional>

#include "platform/file_env.h"
#include "platform/headless/fault_env.h"
#include "platform/headless/temp_dir.h"
#include "platform/headless/test_files.h"

namespace quill {
namespace {

TEST(FileEnvTest, AtomicWriteReplacesWholeFileOrNothing) {
  TempDir dir;
  FaultEnv env;
  const std::string path = dir.File("a.ini");
  ASSERT_TRUE(env.WriteFileAtomic(path, "old\r\n").ok());

  env.SetWriteBudget(2);  // the new text is cut short
  Status s = env.WriteFileAtomic(path, "new contents\r\n");
  EXPECT_EQ(s.code(), Status::kIoError);
  env.ClearFaults();
  env.SetFailRename(true);
  EXPECT_FALSE(env.WriteFileAtomic(path, "new contents\r\n").ok());
  env.ClearFaults();
  env.SetFailSync(true);  // written but never known to be on the disk
  EXPECT_EQ(env.WriteFileAtomic(path, "new contents\r\n").code(), Status::kIoError);
  env.ClearFaults();
  env.SetFailClose(true);
  EXPECT_EQ(env.WriteFileAtomic(path, "new contents\r\n").code(), Status::kIoError);
  env.ClearFaults();

  std::string data;
  ASSERT_TRUE(env.ReadFile(path, &data).ok());
  EXPECT_EQ(data, "old\r\n");
  EXPECT_FALSE(env.Exists(path + ".new"));

  ASSERT_TRUE(env.WriteFileAtomic(path, "new\r\n").ok());
  ASSERT_TRUE(env.ReadFile(path, &data).ok());
  EXPECT_EQ(data, "new\r\n");
}

TEST(FileEnvTest, InjectedFaults) {
  TempDir dir;
  FaultEnv env;
  const std::string path = dir.File("t.dat");
  std::unique_ptr<RandomFile> f;
  ASSERT_TRUE(env.Open(path, OpenMode::kCreate, &f).ok());
  env.SetDiskFull(true);
  EXPECT_EQ(f->WriteAt(0, "abc", 3).code(), Status::kNoSpace);
  env.SetDiskFull(false);
  env.SetWriteBudget(4);
  EXPECT_TRUE(f->WriteAt(0, "abc", 3).ok());
  EXPECT_EQ(f->WriteAt(3, "defg", 4).code(), Status::kIoError);
  uint64_t size = 0;
  ASSERT_TRUE(f->Size(&size).ok());
  EXPECT_EQ(size, 4u);  // the short write stored one byte
  ASSERT_TRUE(f->Close().ok());

  env.FailOpen(path);
  EXPECT_EQ(env.Open(path, OpenMode::kReadWrite, &f).code(), Status::kPermission);
  EXPECT_EQ(env.Open(dir.File("missing"), OpenMode::kReadWrite, &f).code(),
            Status::kNotFound);

  env.SetFreeBytes(500000);
  uint64_t free_bytes = 0;
  ASSERT_TRUE(env.FreeBytes(dir.Path(), &free_bytes).ok());
  EXPECT_EQ(free_bytes, 500000u);
}

// Damaged bytes show in every read that covers them, in part too, and
// never reach the file.
TEST(FileEnvTest, DamagedBytesReadBackDamaged) {
  TempDir dir;
  FaultEnv env;
  const std::string path = dir.File("d.dat");
  ASSERT_TRUE(env.WriteFileAtomic(path, "0123456789").ok());
  env.DamageRead(path, 3, "xyz");
  std::string data;
  ASSERT_TRUE(env.ReadFile(path, &data).ok());
  EXPECT_EQ(data, "012xyz6789");
  std::unique_ptr<RandomFile> f;
  ASSERT_TRUE(env.Open(path, OpenMode::kReadOnly, &f).ok());
  char part[3] = {};
  size_t got = 0;
  ASSERT_TRUE(f->ReadAt(4, part, 3, &got).ok());
  EXPECT_EQ(std::string(part, got), "yz6");
  env.ClearFaults();
  ASSERT_TRUE(env.ReadFile(path, &data).ok());
  EXPECT_EQ(data, "0123456789");
}

TEST(FileEnvTest, InjectedFailuresChangeNothing) {
  TempDir dir;
  FaultEnv env;
  const std::string path = dir.File("t.dat");
  const std::string sub = dir.File("sub");
  ASSERT_TRUE(env.WriteFileAtomic(path, "abc").ok());
  ASSERT_TRUE(env.CreateDir(sub).ok());
  std::unique_ptr<RandomFile> f;
  ASSERT_TRUE(env.Open(path, OpenMode::kReadWrite, &f).ok());

  const struct {
    const char* what;
    void (FaultEnv::*fault)(bool);
    std::function<Status()> call;
  } cases[] = {
      {"read", &FaultEnv::SetFailRead,
       [&] {
         char buf[3];
         size_t got = 99;
         Status s = f->ReadAt(0, buf, sizeof buf, &got);
         if (!s.ok()) {
           EXPECT_EQ(got, 0u);
         }
         return s;
       }},
      {"sync", &FaultEnv::SetFailSync, [&] { return f->Sync(); }},
      {"create folder", &FaultEnv::SetFailCreateDir,
       [&] { return env.CreateDir(dir.File("new")); }},
      {"list", &FaultEnv::SetFailListDir,
       [&] {
         std::vector<std::string> names{"stale"};
         Status s = env.ListDir(dir.Path(), &names);
         if (!s.ok()) {
           EXPECT_TRUE(names.empty());
         }
         return s;
       }},
      {"remove file", &FaultEnv::SetFailRemove, [&] { return env.Remove(path); }},
      {"remove folder", &FaultEnv::SetFailRemove, [&] { return env.RemoveDir(sub); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    (env.*c.fault)(true);
    EXPECT_EQ(c.call().code(), Status::kIoError);
    env.ClearFaults();
    EXPECT_EQ(ReadAll(path), "abc");
    EXPECT_TRUE(env.Exists(sub));
    EXPECT_FALSE(env.Exists(dir.File("new")));
    EXPECT_TRUE(c.call().ok());  // the same call works once the fault is gone
    (void)env.RemoveDir(dir.File("new"));
    if (!env.Exists(path)) {
      ASSERT_TRUE(env.WriteFileAtomic(path, "abc").ok());
    }
    if (!env.Exists(sub)) {
      ASSERT_TRUE(env.CreateDir(sub).ok());
    }
  }

  // A failed close still lets the file go.
  env.SetFailClose(true);
  EXPECT_EQ(f->Close().code(), Status::kIoError);
  env.ClearFaults();
  EXPECT_TRUE(f->Close().ok());
  EXPECT_EQ(ReadAll(path), "abc");
}

TEST(FileEnvTest, ShortReadReportsCount) {
  TempDir dir;
  FileEnv& env = FileEnv::Default();
  const std::string path = dir.File("s");
  ASSERT_TRUE(env.WriteFileAtomic(path, "12345").ok());
  std::unique_ptr<RandomFile> f;
  ASSERT_TRUE(env.Open(path, OpenMode::kReadOnly, &f).ok());
  char buf[10];
  size_t got = 99;
  ASSERT_TRUE(f->ReadAt(3, buf, sizeof buf, &got).ok());
  EXPECT_EQ(got, 2u);
}

TEST(FileEnvTest, SimulatedCrashStopsEveryChangeFromItsPointOn) {
  TempDir dir;
  const std::string path = dir.File("c.dat");
  for (bool tear : {false, true}) {
    SCOPED_TRACE(tear ? "torn" : "whole");
    ASSERT_TRUE(FileEnv::Default().WriteFileAtomic(path, std::string(100, 'o')).ok());
    FaultEnv env;
    std::unique_ptr<RandomFile> f;
    ASSERT_TRUE(env.Open(path, OpenMode::kReadWrite, &f).ok());
    env.CrashAtChange(2, tear);
    ASSERT_TRUE(f->WriteAt(0, "n", 1).ok());
    // The second change spans a 4 KiB page boundary: torn, only its part
    // in the first page reaches the disk.
    EXPECT_FALSE(f->WriteAt(4000, std::string(200, 'x').data(), 200).ok());
    EXPECT_TRUE(env.crashed());
    EXPECT_EQ(env.changes(), 2u);
    EXPECT_FALSE(f->WriteAt(0, "z", 1).ok());
    EXPECT_FALSE(f->Truncate(0).ok());
    EXPECT_FALSE(f->Sync().ok());
    EXPECT_FALSE(env.Rename(path, dir.File("d")).ok());
    EXPECT_FALSE(env.Remove(path).ok());
    EXPECT_FALSE(env.SyncDir(dir.Path()).ok());
    EXPECT_FALSE(env.Open(dir.File("new"), OpenMode::kCreate, &f).ok());
    std::string data;
    ASSERT_TRUE(env.ReadFile(path, &data).ok());
    EXPECT_EQ(data.substr(0, 100), "n" + std::string(99, 'o'));
    EXPECT_EQ(data.size(), tear ? 4096u : 100u);
    if (tear) {
      EXPECT_EQ(data.substr(4000), std::string(96, 'x'));
    }
    EXPECT_FALSE(env.Exists(dir.File("new")));
  }
}

}  // namespace
}  // namespace quill
