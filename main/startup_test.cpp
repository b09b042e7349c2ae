#include "main/startup.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "platform/headless/fault_env.h"
#include "platform/headless/temp_dir.h"
#include "platform/text_codec.h"

namespace quill {
namespace {

namespace fs = std::filesystem;

void Touch(const std::string& path) { std::ofstream(path) << "x"; }

TEST(StartupTest, WorkFolderIsMadeAndRemovedWithItsContents) {
  TempDir dir;
  Startup startup(FileEnv::Default(), dir.Path());
  EXPECT_EQ(startup.TmpFolder(), dir.Path() + "/tmp");
  ASSERT_TRUE(startup.MakeTmpFolder().ok());
  ASSERT_TRUE(startup.MakeTmpFolder().ok());  // an existing folder is fine
  fs::create_directories(dir.File("tmp/images/a"));
  Touch(dir.File("tmp/index.html"));
  Touch(dir.File("tmp/images/a/1.png"));
  // A link inside points outside: the link goes, what it points to stays.
  fs::create_directories(dir.File("keep"));
  Touch(dir.File("keep/precious.txt"));
  fs::create_directory_symlink(dir.File("keep"), dir.File("tmp/link"));

  EXPECT_TRUE(startup.RemoveTmpFolder().ok());
  EXPECT_FALSE(fs::exists(dir.File("tmp")));
  EXPECT_TRUE(fs::exists(dir.File("keep/precious.txt")));
  EXPECT_TRUE(startup.RemoveTmpFolder().ok());  // already gone
}

TEST(StartupTest, WorkFolderNameTakenByAFileIsAnError) {
  TempDir dir;
  Touch(dir.File("tmp"));
  Startup startup(FileEnv::Default(), dir.Path() + "/");
  Status s = startup.MakeTmpFolder();
  EXPECT_FALSE(s.ok());
  EXPECT_NE(s.message().find("tmp"), std::string::npos);
}

TEST(StartupTest, WorkFolderFailuresAreReported) {
  TempDir dir;
  FaultEnv env;
  Startup startup(env, dir.Path());
  env.SetFailCreateDir(true);
  EXPECT_NE(startup.MakeTmpFolder().message().find("tmp"), std::string::npos);
  env.ClearFaults();
  ASSERT_TRUE(startup.MakeTmpFolder().ok());
  env.SetFailListDir(true);
  EXPECT_FALSE(startup.MakeTmpFolder().ok());
  env.ClearFaults();

  // Removal that fails names the file that stays, and everything stays.
  fs::create_directories(dir.File("tmp/a"));
  Touch(dir.File("tmp/a/1.png"));
  env.SetFailRemove(true);
  Status s = startup.RemoveTmpFolder();
  EXPECT_EQ(s.code(), Status::kIoError);
  EXPECT_NE(s.message().find("remove " + dir.File("tmp/a/1.png")), std::string::npos)
      << s.message();
  env.ClearFaults();
  EXPECT_TRUE(fs::exists(dir.File("tmp/a/1.png")));
  EXPECT_TRUE(startup.RemoveTmpFolder().ok());
  EXPECT_FALSE(fs::exists(dir.File("tmp")));
}

TEST(StartupTest, ClipToolsAreListedSortedAndCapped) {
  TempDir dir;
  fs::create_directories(dir.File("home"));
  fs::create_directories(dir.File("install"));
  for (const char* name : {"b.cta", "A.CTA", "notes.txt", ".cta", "c.cta.bak"}) {
    Touch(dir.File(std::string("home/") + name));
  }
  Touch(dir.File("install/b.cta"));  // hidden by the program folder's own
  Touch(dir.File("install/peek.cta"));
  // Only regular files: loading a pipe would block.
  ASSERT_EQ(::mkfifo(dir.File("home/pipe.cta").c_str(), 0600), 0);
  fs::create_directories(dir.File("home/folder.cta"));
  Startup startup(FileEnv::Default(), dir.File("home"));
  std::vector<std::string> tools = startup.ScanClipTools(
      {dir.File("home"), dir.File("install"), dir.File("missing")});
  EXPECT_EQ(tools, (std::vector<std::string>{dir.File("home/A.CTA"), dir.File("home/b.cta"),
                                              dir.File("install/peek.cta")}));

  for (int i = 0; i < 205; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "home/t%03d.cta", i);
    Touch(dir.File(name));
  }
  tools = startup.ScanClipTools({dir.File("home")});
  ASSERT_EQ(tools.size(), kMaxClipTools);
  EXPECT_EQ(tools.front(), dir.File("home/A.CTA"));
  EXPECT_EQ(tools.back(), dir.File("home/t197.cta"));
}

}  // namespace
}  // namespace quill
