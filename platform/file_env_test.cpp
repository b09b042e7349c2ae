#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
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
  std::vector<std::string> names;
  ASSERT_TRUE(env.ListDir(dir.Path(), &names).ok());
  EXPECT_EQ(names, std::vector<std::string>{"a.ini"});  // no temporary file left

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

// Links planted where the program keeps its files, pointing into a folder
// of someone else's: a file there and a name that is not there yet.
struct PlantedLinks {
  TempDir dir, outside;
  const std::string target = outside.File("theirs");
  const std::string missing = outside.File("made-through-the-link");
  const std::string link = dir.File("file");
  const std::string dangling = dir.File("dangling");
  PlantedLinks() {
    WriteAll(target, "their bytes");
    PlantLink(target, link);
    PlantLink(missing, dangling);
  }
};

TEST(FileEnvTest, NoModeButTheChosenReadFollowsAFinalLink) {
  PlantedLinks p;
  FileEnv& env = FileEnv::Default();
  for (OpenMode mode : {OpenMode::kReadOnly, OpenMode::kReadWrite, OpenMode::kCreate,
                        OpenMode::kCreateTruncate, OpenMode::kCreateNew}) {
    SCOPED_TRACE(static_cast<int>(mode));
    for (const std::string& at : {p.link, p.dangling}) {
      std::unique_ptr<RandomFile> f;
      Status s = env.Open(at, mode, &f);
      EXPECT_EQ(s.code(), Status::kPermission) << s.ToString();
      EXPECT_NE(s.message().find(at), std::string::npos) << s.message();
      EXPECT_NE(s.message().find("symbolic link"), std::string::npos) << s.message();
    }
  }
  EXPECT_EQ(ReadAll(p.target), "their bytes");
  EXPECT_FALSE(std::filesystem::exists(p.missing));
  EXPECT_TRUE(env.Exists(p.dangling));  // the name is taken
  EXPECT_TRUE(env.IsLink(p.link));

  std::string data;
  EXPECT_EQ(env.ReadFile(p.link, &data).code(), Status::kPermission);
  ASSERT_TRUE(env.ReadFile(p.link, &data, OpenMode::kReadChosen).ok());
  EXPECT_EQ(data, "their bytes");

  // A folder that is a link is followed: only the last part counts.
  PlantLink(p.outside.Path(), p.dir.File("folder"));
  ASSERT_TRUE(env.ReadFile(p.dir.File("folder/theirs"), &data).ok());
  ASSERT_TRUE(env.WriteFileAtomic(p.dir.File("folder/mine"), "mine").ok());
  EXPECT_EQ(ReadAll(p.outside.File("mine")), "mine");
}

TEST(FileEnvTest, AFolderOfTheProgramsOwnIsNeverALink) {
  PlantedLinks p;
  FileEnv& env = FileEnv::Default();
  PlantLink(p.outside.Path(), p.dir.File("folder"));
  // A link to a folder, a dangling link and a file where a folder is made:
  // each refused, and nothing appears behind the links.
  for (const std::string& at : {p.dir.File("folder"), p.dangling, p.link}) {
    Status s = env.CreateDir(at);
    EXPECT_FALSE(s.ok()) << at;
    EXPECT_NE(s.message().find(at), std::string::npos) << s.message();
  }
  EXPECT_EQ(env.CreateDir(p.dangling).code(), Status::kPermission);
  EXPECT_FALSE(std::filesystem::exists(p.missing));
  // A folder that is there already, or a new one, is fine.
  ASSERT_TRUE(env.CreateDir(p.dir.File("own")).ok());
  EXPECT_TRUE(env.CreateDir(p.dir.File("own")).ok());
}

TEST(FileEnvTest, OnlyRegularFilesOpen) {
  TempDir dir;
  FileEnv& env = FileEnv::Default();
  const std::string fifo = dir.File("pipe");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::unique_ptr<RandomFile> f;
  // A pipe in a file's place neither hangs the open nor is read as a file.
  for (OpenMode mode : {OpenMode::kReadOnly, OpenMode::kReadChosen, OpenMode::kCreate}) {
    EXPECT_EQ(env.Open(fifo, mode, &f).code(), Status::kPermission);
  }
  EXPECT_EQ(env.Open(dir.Path(), OpenMode::kReadOnly, &f).code(), Status::kPermission);
}

TEST(FileEnvTest, AtomicWriteRefusesOrReplacesALinkButNeverFollowsIt) {
  PlantedLinks p;
  FileEnv& env = FileEnv::Default();
  for (const std::string& at : {p.link, p.dangling}) {
    Status s = env.WriteFileAtomic(at, "card text");
    EXPECT_EQ(s.code(), Status::kPermission);
    EXPECT_NE(s.message().find(at), std::string::npos) << s.message();
    EXPECT_TRUE(env.IsLink(at));
    // A file the user exports: the link itself gives way to the file.
    ASSERT_TRUE(env.WriteFileAtomic(at, "card text", LinkAtTarget::kReplace).ok());
    EXPECT_FALSE(env.IsLink(at));
    EXPECT_EQ(ReadAll(at), "card text");
  }
  EXPECT_EQ(ReadAll(p.target), "their bytes");
  EXPECT_FALSE(std::filesystem::exists(p.missing));
}

TEST(FileEnvTest, TemporaryFilesTakeNoNameThatIsThereOrForeseeable) {
  PlantedLinks p;
  FileEnv& env = FileEnv::Default();
  const std::string path = p.dir.File("Report.txt");
  // Links under the names a temporary file once had.
  PlantLink(p.missing, path + ".new");
  PlantLink(p.target, path + ".tmp" + std::to_string(::getpid()));
  ASSERT_TRUE(env.WriteFileAtomic(path, "card text", LinkAtTarget::kReplace).ok());
  EXPECT_EQ(ReadAll(path), "card text");
  EXPECT_FALSE(std::filesystem::exists(p.missing));
  EXPECT_EQ(ReadAll(p.target), "their bytes");

  std::unique_ptr<RandomFile> a, b;
  std::string ta, tb;
  ASSERT_TRUE(env.CreateTempBeside(path, &a, &ta).ok());
  ASSERT_TRUE(env.CreateTempBeside(path, &b, &tb).ok());
  EXPECT_NE(ta, tb);
  EXPECT_EQ(ta.rfind(path, 0), 0u);
  EXPECT_TRUE(FileEnv::IsTempNameOf(ta.substr(ta.rfind('/') + 1), "Report.txt")) << ta;
  EXPECT_FALSE(FileEnv::IsTempNameOf("Report.txt.new", "Report.txt"));
  EXPECT_FALSE(FileEnv::IsTempNameOf(ta.substr(ta.rfind('/') + 1), "Report"));
  EXPECT_EQ(FileModeOf(ta), 0600u);
}

TEST(FileEnvTest, AtomicWriteGivesThePrivateModeOrTheStricterOneItReplaces) {
  TempDir dir;
  FileEnv& env = FileEnv::Default();
  const mode_t umask_before = ::umask(0);  // no umask helps here
  const struct {
    int before;  // -1: no file yet
    unsigned after;
  } cases[] = {{-1, 0600}, {0644, 0600}, {0666, 0600}, {0600, 0600}, {0400, 0400}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.before);
    const std::string path = dir.File("f" + std::to_string(c.before));
    if (c.before >= 0) {
      WriteAll(path, "old");
      ASSERT_EQ(::chmod(path.c_str(), static_cast<mode_t>(c.before)), 0);
    }
    ASSERT_TRUE(env.WriteFileAtomic(path, "new").ok());
    EXPECT_EQ(FileModeOf(path), c.after);
    EXPECT_EQ(ReadAll(path), "new");
  }
  ::umask(umask_before);
}

}  // namespace
}  // namespace quill
