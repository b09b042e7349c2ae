#include "platform/registry_store.h"

#include <gtest/gtest.h>

#include "platform/headless/fault_env.h"
#include "platform/headless/temp_dir.h"
#include "platform/headless/test_files.h"

namespace quill {
namespace {

TEST(RegistryStoreTest, ValuesRoundTripByteForByte) {
  TempDir dir;
  FaultEnv env;
  // The folder of the store does not exist yet: the first write makes it.
  RegistryStore reg(env, dir.File("config/quillbox/registry.ini"));
  const std::string values[] = {
      "",
      "name\tC:\\data\\set",
      "line1\r\nline2\nEvil=1\r\n[Other]",
      "\x83\x5C\x83\x5C",  // CP932 with 0x5C trail bytes
      "\x83\x5C",          // a lone lead byte at the end
      std::string("nul\0inside", 10),
      " lead and trail\t",
      "\"quoted\"",
      "\\t is not a tab",
      "ends in a backslash\\",
      std::string(5000, '\t'),
  };
  for (const std::string& v : values) {
    ASSERT_TRUE(reg.WriteString(kQuillmainEnvKey, "Value", v).ok());
    EXPECT_EQ(reg.ReadString(kQuillmainEnvKey, "Value", "default"), v);
  }
  // Key paths and value names are matched without regard to case.
  ASSERT_TRUE(reg.WriteString("software\\QUILLMAIN\\env", "browserclass", "Navigator\t").ok());
  EXPECT_EQ(reg.ReadString(kQuillmainEnvKey, "BrowserClass", ""), "Navigator\t");
  EXPECT_EQ(reg.ReadString(kQuillmainEnvKey, "Missing", "def"), "def");
  EXPECT_EQ(reg.ReadString("SoftWare\\other", "Value", "def"), "def");

  // One section per key, named by its path; each value on one line.
  const std::string text = ReadAll(reg.path());
  EXPECT_EQ(text.find("[SoftWare\\quillmain\\Env]\r\n"), 0u) << text;
  EXPECT_NE(text.find("browserclass=Navigator\\t\r\n"), std::string::npos) << text;
}

TEST(RegistryStoreTest, Integers) {
  TempDir dir;
  FaultEnv env;
  RegistryStore reg(env, dir.File("registry.ini"));
  ASSERT_TRUE(reg.WriteInteger(kQuillmainEnvKey, "PFontSize", -16777211).ok());
  EXPECT_EQ(reg.ReadString(kQuillmainEnvKey, "PFontSize", ""), "-16777211");
  const std::pair<const char*, int32_t> cases[] = {
      {"$1F", 31}, {"0x1F", 99}, {"$FFFFFFFF", -1}, {"12abc", 99}, {"", 99}, {"-8", -8},
  };
  for (const auto& [text, want] : cases) {
    ASSERT_TRUE(reg.WriteString(kQuillmainEnvKey, "N", text).ok());
    EXPECT_EQ(reg.ReadInteger(kQuillmainEnvKey, "N", 99), want) << text;
  }
}

TEST(RegistryStoreTest, DeleteKeyTakesEverythingBelow) {
  TempDir dir;
  FaultEnv env;
  RegistryStore reg(env, dir.File("registry.ini"));
  RegistryStore::Batch batch;
  batch.WriteString("SoftWare\\quillmain", "Top", "1");
  batch.WriteString(kQuillmainEnvKey, "DataFile1", "a\tb");
  batch.WriteString("SoftWare\\quillmain\\Env\\Deeper", "X", "1");
  batch.WriteString("SoftWare\\quillmainOld", "Keep", "1");  // a sibling, not below
  batch.WriteString("SoftWare\\Other", "Keep", "1");
  ASSERT_TRUE(reg.Apply(batch).ok());
  EXPECT_TRUE(reg.KeyExists("SoftWare"));
  EXPECT_TRUE(reg.KeyExists(kQuillmainEnvKey));

  ASSERT_TRUE(reg.DeleteKey("software\\QuillMain").ok());
  const RegistryStore::Snapshot snap = reg.Read();
  EXPECT_FALSE(snap.KeyExists(kQuillmainKey));
  EXPECT_FALSE(snap.KeyExists("SoftWare\\quillmain\\Env\\Deeper"));
  EXPECT_EQ(snap.ReadString(kQuillmainEnvKey, "DataFile1", "gone"), "gone");
  EXPECT_TRUE(snap.ValueExists("SoftWare\\quillmainOld", "Keep"));
  EXPECT_TRUE(snap.ValueExists("SoftWare\\Other", "Keep"));

  EXPECT_TRUE(reg.DeleteKey(kQuillmainKey).ok());  // already gone: no error
  EXPECT_EQ(reg.DeleteKey("\\").code(), Status::kInvalid);
  ASSERT_TRUE(reg.DeleteValue("SoftWare\\Other", "Keep").ok());
  EXPECT_FALSE(reg.Read().ValueExists("SoftWare\\Other", "Keep"));
}

TEST(RegistryStoreTest, UnreadableStoreIsNeverReplaced) {
  TempDir dir;
  FaultEnv env;
  RegistryStore reg(env, dir.File("registry.ini"));
  ASSERT_TRUE(reg.WriteString(kQuillmainEnvKey, "BackupFile", "/b.zip").ok());
  const std::string before = ReadAll(reg.path());

  env.FailOpen(reg.path());
  EXPECT_EQ(reg.ReadString(kQuillmainEnvKey, "BackupFile", "def"), "def");
  EXPECT_FALSE(reg.WriteString(kQuillmainEnvKey, "BackupFile", "/c.zip").ok());
  EXPECT_FALSE(reg.DeleteKey(kQuillmainKey).ok());
  env.ClearFaults();
  env.SetFailRead(true);
  EXPECT_EQ(reg.DeleteKey(kQuillmainKey).code(), Status::kIoError);
  env.ClearFaults();
  env.SetDiskFull(true);
  EXPECT_EQ(reg.WriteString(kQuillmainEnvKey, "BackupFile", "/c.zip").code(), Status::kNoSpace);
  env.ClearFaults();
  EXPECT_EQ(ReadAll(reg.path()), before);

  // A missing store reads as empty and a read creates nothing.
  RegistryStore missing(env, dir.File("none/registry.ini"));
  EXPECT_EQ(missing.ReadInteger(kQuillmainEnvKey, "X", 5), 5);
  EXPECT_TRUE(missing.DeleteKey(kQuillmainKey).ok());
  EXPECT_FALSE(env.Exists(dir.File("none")));
  env.SetFailCreateDir(true);  // nor does a write whose folder cannot be made
  EXPECT_EQ(missing.WriteInteger(kQuillmainEnvKey, "X", 1).code(), Status::kIoError);
  env.ClearFaults();
  EXPECT_FALSE(env.Exists(dir.File("none")));
}

TEST(RegistryStoreTest, LinkInPlaceOfTheStoreIsRefusedAndNothingWrittenThroughIt) {
  TempDir dir, outside;
  FaultEnv env;
  const std::string theirs = outside.File("registry.ini");
  WriteAll(theirs, "");
  PlantLink(theirs, dir.File("registry.ini"));
  RegistryStore reg(env, dir.File("registry.ini"));
  Status s = reg.WriteString(kQuillmainEnvKey, "BackupFile", "/b.zip");
  EXPECT_EQ(s.code(), Status::kPermission);
  EXPECT_NE(s.message().find(reg.path()), std::string::npos) << s.message();
  EXPECT_EQ(ReadAll(theirs), "");
}

}  // namespace
}  // namespace quill
