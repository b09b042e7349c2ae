#include "platform/archive/seven_zip.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/archive/zip_reading.h"
#include "platform/archiver.h"
#include "platform/headless/temp_dir.h"
#include "platform/headless/test_files.h"
#include "platform/plugin_loader.h"

namespace quill {
namespace {

std::string Command(const std::string& archive, const std::string& file) {
  return "a -tzip \"" + archive + "\" \"" + file + "\"";
}

std::vector<std::string> Entries(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(folder)) {
    names.push_back(e.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST(SevenZipTest, CommandLines) {
  struct {
    const char* line;
    const char* archive;  // null: refused
    const char* file;
  } cases[] = {
      {"a -tzip \"/d/QbBkup7\" \"/d/toquilbo.dat\"", "/d/QbBkup7", "/d/toquilbo.dat"},
      {"A  -TZIP \"/my dir/バックアップ\"\t\"/d/t.dat\"", "/my dir/バックアップ", "/d/t.dat"},
      {"a \"/d/x\" -tzip \"/d/t\"", "/d/x", "/d/t"},
      {"a -tzip \"/d/QbBkup7\" \"/d/toquilbo.dat", nullptr, nullptr},   // closing quote
      {"a -tzip /d/QbBkup7\" \"/d/toquilbo.dat\"", nullptr, nullptr},   // opening quote
      {"a -tzip \"/d/x\"\"/d/t\"", nullptr, nullptr},                  // no blank between
      {"x -tzip \"/d/x\" \"/d/t\"", nullptr, nullptr},                 // unknown command
      {"\"a\" -tzip \"/d/x\" \"/d/t\"", nullptr, nullptr},
      {"a -t7z \"/d/x\" \"/d/t\"", nullptr, nullptr},                  // unknown switch
      {"a -tzip -r \"/d/x\" \"/d/t\"", nullptr, nullptr},
      {"a \"/d/x\" \"/d/t\"", nullptr, nullptr},                       // no -tzip
      {"a -tzip \"/d/x\"", nullptr, nullptr},                          // one path
      {"a -tzip \"/d/x\" \"/d/t\" \"/d/u\"", nullptr, nullptr},        // three
      {"a -tzip \"\" \"/d/t\"", nullptr, nullptr},                     // empty
      {"", nullptr, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    SevenZipCommand command;
    const std::string why = ParseSevenZipCommand(c.line, &command);
    if (c.archive == nullptr) {
      EXPECT_FALSE(why.empty());
      // Refused lines reach no file: the return value says so.
      char out[100];
      EXPECT_EQ(SevenZip(0, c.line, out, sizeof out), kSevenZipBadCommand);
      EXPECT_EQ(std::string(out), why);
    } else {
      EXPECT_EQ(why, "");
      EXPECT_EQ(command.archive, c.archive);
      EXPECT_EQ(command.file, c.file);
    }
  }
}

TEST(SevenZipTest, OutputStaysInsideItsSize) {
  char out[16];
  std::fill(std::begin(out), std::end(out), 'X');
  EXPECT_EQ(SevenZip(0, "x", out, 8), kSevenZipBadCommand);
  EXPECT_EQ(std::string(out), "unknown");  // 7 bytes and the NUL
  EXPECT_EQ(std::string(out + 8, 8), "XXXXXXXX");
  std::fill(std::begin(out), std::end(out), 'X');
  EXPECT_EQ(SevenZip(0, "x", out, 0), kSevenZipBadCommand);
  EXPECT_EQ(out[0], 'X');
  EXPECT_EQ(SevenZip(0, nullptr, nullptr, 100), kSevenZipBadCommand);
}

TEST(SevenZipTest, PacksTheFileUnderItsBaseNameAndReplacesOnlyThatMember) {
  TempDir dir;
  std::filesystem::create_directory(dir.File("data"));
  const std::string archive = dir.File("QbBkup7");
  const std::string file = dir.File("data/toquilbo.dat");
  const std::string first(100000, 'a');
  WriteAll(file, first);
  char out[1000];
  ASSERT_EQ(SevenZip(0, Command(archive, file).c_str(), out, sizeof out), kSevenZipOk) << out;
  EXPECT_EQ(std::string(out), "");
  EXPECT_EQ(Entries(dir.Path()), (std::vector<std::string>{"QbBkup7", "data"}))
      << "no extension added, no temporary file left";

  int status = -1;
  RunCommand("unzip -tq '" + archive + "'", &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(RunCommand("unzip -Z1 '" + archive + "'", &status), "toquilbo.dat\n");
  EXPECT_NE(RunCommand("unzip -Zv '" + archive + "'", &status).find("deflated"),
            std::string::npos);
  EXPECT_LT(std::filesystem::file_size(archive), first.size() / 10);

  // Another member next to it stays; the file's member is replaced.
  const std::string other = dir.File("other.txt");
  WriteAll(other, "keep me");
  ASSERT_EQ(SevenZip(0, Command(archive, other).c_str(), out, sizeof out), kSevenZipOk) << out;
  WriteAll(file, "second");
  ASSERT_EQ(SevenZip(0, Command(archive, file).c_str(), out, sizeof out), kSevenZipOk) << out;
  std::vector<std::string> names;
  ASSERT_TRUE(ListZipMembers(archive, &names).ok());
  EXPECT_EQ(names, (std::vector<std::string>{"other.txt", "toquilbo.dat"}));
  std::string data;
  ASSERT_TRUE(ReadZipMember(archive, "other.txt", &data).ok());
  EXPECT_EQ(data, "keep me");
  EXPECT_TRUE(CheckZipMember(archive, "toquilbo.dat", file).ok());
  RunCommand("unzip -tq '" + archive + "'", &status);
  EXPECT_EQ(status, 0);

  // The check sees a member that differs from the file, and one missing.
  WriteAll(file, "third");
  EXPECT_EQ(CheckZipMember(archive, "toquilbo.dat", file).code(), Status::kCorrupt);
  WriteAll(file, "secondandmore");
  EXPECT_EQ(CheckZipMember(archive, "toquilbo.dat", file).code(), Status::kCorrupt);
  WriteAll(file, "sec");
  EXPECT_EQ(CheckZipMember(archive, "toquilbo.dat", file).code(), Status::kCorrupt);
  EXPECT_EQ(CheckZipMember(archive, "none.dat", file).code(), Status::kNotFound);
}

TEST(SevenZipTest, TheArchiveIsPrivateWhateverTheUmask) {
  TempDir dir;
  const std::string file = dir.File("toquilbo.dat");
  WriteAll(file, "every card");
  const mode_t umask_before = ::umask(0);
  const struct {
    int before;  // the mode of the archive replaced; -1: none
    unsigned after;
  } cases[] = {{-1, 0600}, {0644, 0600}, {0666, 0600}, {0400, 0400}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.before);
    const std::string archive = dir.File("QbBkup7-" + std::to_string(c.before));
    char out[1000];
    if (c.before >= 0) {
      ASSERT_EQ(SevenZip(0, Command(archive, file).c_str(), out, sizeof out), kSevenZipOk) << out;
      ASSERT_EQ(::chmod(archive.c_str(), static_cast<mode_t>(c.before)), 0);
    }
    ASSERT_EQ(SevenZip(0, Command(archive, file).c_str(), out, sizeof out), kSevenZipOk) << out;
    EXPECT_EQ(FileModeOf(archive), c.after);
  }
  ::umask(umask_before);
}

// A folder that this process cannot create files in, or "" when there is
// none (root may write everywhere but in /sys).
std::string UnwritableFolder(const TempDir& dir) {
  const std::string ro = dir.File("ro");
  std::filesystem::create_directory(ro);
  ::chmod(ro.c_str(), 0555);
  for (const std::string& folder : {ro, std::string("/sys")}) {
    const std::string probe = folder + "/probe";
    FILE* f = std::fopen(probe.c_str(), "w");
    if (f == nullptr) return folder;
    std::fclose(f);
    std::remove(probe.c_str());
  }
  return "";
}

TEST(SevenZipTest, FailuresLeaveEveryFileAsItWas) {
  TempDir dir;
  const std::string file = dir.File("toquilbo.dat");
  WriteAll(file, "cards");
  const std::string not_zip = dir.File("notes.txt");
  WriteAll(not_zip, "my own notes, not a zip");
  const std::string empty = dir.File("empty");
  WriteAll(empty, "");
  const std::string zip = dir.File("old.zip");
  char out[1000];
  ASSERT_EQ(SevenZip(0, Command(zip, file).c_str(), out, sizeof out), kSevenZipOk);
  const std::string ro = UnwritableFolder(dir);
  const std::string old_zip = ReadAll(zip);
  const std::vector<std::string> before = Entries(dir.Path());

  struct {
    const char* name;
    std::string archive;
    std::string file;
  } cases[] = {
      {"a file that is not a zip", not_zip, file},
      {"an empty file", empty, file},
      {"a folder", dir.Path(), file},
      {"a missing folder", dir.File("none/x.zip"), file},
      {"a missing file", zip, dir.File("missing.dat")},
      {"a folder to pack", zip, dir.Path()},
      {"the archive itself", zip, zip},
      {"an unwritable folder", ro.empty() ? "" : ro + "/QbBkup7", file},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.archive.empty()) continue;  // no unwritable folder here
    std::fill(std::begin(out), std::end(out), 0);
    EXPECT_EQ(SevenZip(0, Command(c.archive, c.file).c_str(), out, sizeof out), kSevenZipFailed);
    EXPECT_NE(std::string(out), "");
    EXPECT_EQ(ReadAll(not_zip), "my own notes, not a zip");
    EXPECT_EQ(ReadAll(zip), old_zip);
    EXPECT_EQ(Entries(dir.Path()), before);
  }
  if (!ro.empty()) {
    EXPECT_FALSE(std::filesystem::exists(ro + "/QbBkup7"));
  }
}

// The library itself, built beside the program, bound by name.
TEST(SevenZipTest, TheLibraryThroughTheArchiverPort) {
  TempDir dir;
  const std::string file = dir.File("toquilbo.dat");
  WriteAll(file, "cards");
  LibraryArchiver archiver(PluginLoader::Default(), SEVEN_ZIP_DIR);
  const ArchiverRun run = archiver.SevenZip(7, Command(dir.File("QbBkup7"), file));
  EXPECT_TRUE(run.installed);
  EXPECT_EQ(run.result, kSevenZipOk) << run.output;
  EXPECT_TRUE(CheckZipMember(dir.File("QbBkup7"), "toquilbo.dat", file).ok());

  const ArchiverRun bad = archiver.SevenZip(7, "a -tzip");
  EXPECT_TRUE(bad.installed);
  EXPECT_EQ(bad.result, kSevenZipBadCommand);
  EXPECT_FALSE(bad.output.empty());

  // Only the install folder is looked in.
  for (const std::string& folder : {dir.Path(), std::string()}) {
    LibraryArchiver elsewhere(PluginLoader::Default(), folder);
    EXPECT_FALSE(elsewhere.SevenZip(7, Command(dir.File("x.zip"), file)).installed);
  }
  EXPECT_FALSE(std::filesystem::exists(dir.File("x.zip")));
}

}  // namespace
}  // namespace quill
