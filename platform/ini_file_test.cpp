#include "platform/ini_file.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <optional>

#include "platform/headless/fault_env.h"
#include "platform/headless/temp_dir.h"
#include "platform/headless/test_files.h"

namespace quill {
namespace {

TEST(ParseStoredIntegerTest, Cases) {
  struct Case {
    const char* text;
    std::optional<int32_t> dollar;   // with HexPrefix::kDollar
    std::optional<int32_t> ini;      // with HexPrefix::kDollarOr0x
  };
  const Case cases[] = {
      {"0x1F", std::nullopt, 31},
      {"0X1f", std::nullopt, 31},
      {"$1F", 31, 31},
      {"-16777211", -16777211, -16777211},
      {"12abc", std::nullopt, std::nullopt},
      {"", std::nullopt, std::nullopt},
      {"-8", -8, -8},
      {"  42", 42, 42},
      {"+7", 7, 7},
      {"$FFFFFFFF", -1, -1},
      {"0xFF000005", std::nullopt, static_cast<int32_t>(0xFF000005)},
      {"0x80000000", std::nullopt, INT32_MIN},
      {"-$10", -16, -16},
      {"$000000001", 1, 1},
      {"$100000000", std::nullopt, std::nullopt},
      {"2147483647", INT32_MAX, INT32_MAX},
      {"-2147483648", INT32_MIN, INT32_MIN},
      {"2147483648", std::nullopt, std::nullopt},
      {"$", std::nullopt, std::nullopt},
      {"0x", std::nullopt, std::nullopt},
      {"-", std::nullopt, std::nullopt},
      {"1 ", std::nullopt, std::nullopt},
  };
  for (const Case& c : cases) {
    for (HexPrefix mode : {HexPrefix::kDollar, HexPrefix::kDollarOr0x}) {
      const std::optional<int32_t>& want = mode == HexPrefix::kDollar ? c.dollar : c.ini;
      int32_t v = 12345;
      bool ok = ParseStoredInteger(c.text, mode, &v);
      EXPECT_EQ(ok, want.has_value()) << '"' << c.text << '"';
      EXPECT_EQ(v, want.value_or(12345)) << '"' << c.text << '"';
    }
  }
}

// One file with everything a hand-edited or foreign profile file may hold.
const char kFixture[] =
    "; settings of quillmain\r\n"
    "[Other]\r\n"
    "SaveKey=foreign\r\n"
    "\r\n"
    "[ env ]\n"                       // LF only, blanks around the name
    "  FontSize = 12 \r\n"            // blanks around key and value
    "Quoted=\"  padded  \"\r\n"
    "Single='x'\r\n"
    "Kana=\x83\x5C\x83\x41\r\n"       // CP932 with a 0x5C trail byte
    "\x82\x61=wide\r\n"               // a key of one double-byte character
    "NoValue\r\n"
    ";Commented=1\r\n"
    "Hex=0x1F\r\n"
    "FontSize=99\r\n"                 // a second line of the same key
    "Unknown=keep me\r\n"
    "\r\n"
    "[Env]\r\n"                       // a second section of the same name
    "Late=1\r\n"
    "[Tail]\r\n"
    "Last=no line end";

TEST(IniDocumentTest, Reads) {
  IniDocument doc(kFixture);
  EXPECT_EQ(doc.Text(), kFixture);
  struct Case {
    const char* section;
    const char* key;
    const char* want;  // nullptr: absent
  } cases[] = {
      {"Env", "FontSize", "12"},   {"ENV", "fontsize", "12"},
      {"Env", "Quoted", "  padded  "}, {"Env", "Single", "x"},
      {"Env", "Kana", "\x83\x5C\x83\x41"}, {"Env", "\x82\x61", "wide"},
      {"Env", "\x82\x81", nullptr},  // the trail byte is not case-folded
      {"Env", "Unknown", "keep me"}, {"Env", "Commented", nullptr},
      {"Env", ";Commented", nullptr}, {"Env", "NoValue", nullptr},
      {"Env", "SaveKey", nullptr},   {"Other", "SaveKey", "foreign"},
      {"Env", "Late", nullptr},      {"Tail", "Last", "no line end"},
      {"Missing", "FontSize", nullptr},
  };
  for (const Case& c : cases) {
    std::string v;
    bool found = doc.ReadValue(c.section, c.key, &v);
    EXPECT_EQ(found, c.want != nullptr) << c.section << "/" << c.key;
    if (c.want != nullptr) {
      EXPECT_EQ(v, c.want) << c.section << "/" << c.key;
    }
  }
  EXPECT_EQ(doc.ReadInteger("Env", "Hex", 0), 31);
  EXPECT_EQ(doc.ReadInteger("Env", "Unknown", -5), -5);
  EXPECT_EQ(doc.ReadString("Env", "Missing", "def"), "def");
  EXPECT_EQ(doc.SectionNames(),
            (std::vector<std::string>{"Other", "env", "Env", "Tail"}));
}

TEST(IniDocumentTest, TrailBytesOfOtherAsciiCaseAreOtherNames) {
  const std::string text = "[\x83\x41]\r\nK=upper\r\n\x83\x41=1\r\n";
  IniDocument doc(text);
  std::string v;
  EXPECT_FALSE(doc.ReadValue("\x83\x61", "K", &v));
  EXPECT_FALSE(doc.ReadValue("\x83\x41", "\x83\x61", &v));
  ASSERT_TRUE(doc.WriteString("\x83\x61", "K", "lower").ok());
  ASSERT_TRUE(doc.WriteString("\x83\x41", "\x83\x61", "2").ok());
  EXPECT_EQ(doc.Text(), text + "\x83\x61=2\r\n[\x83\x61]\r\nK=lower\r\n");
}

TEST(IniFileTest, BatchChangesOnlyItsLinesInOneWrite) {
  TempDir dir;
  FaultEnv env;
  IniFile ini(env, dir.File("quillmain.ini"));
  ASSERT_TRUE(env.WriteFileAtomic(ini.path(), kFixture).ok());
  const uint64_t written_before = env.bytes_written();

  IniBatch batch;
  batch.WriteString("Env", "fontsize", "10");  // existing key, other case
  batch.WriteString("Env", "Kana", "\x83\x5C");
  batch.WriteInteger("Env", "TreeWidth", -8);  // new key
  ASSERT_TRUE(ini.Apply(batch).ok());

  std::string want = kFixture;
  want.replace(want.find("  FontSize = 12 \r\n"), 18, "FontSize=10\r\n");
  want.replace(want.find("Kana=\x83\x5C\x83\x41\r\n"), 11, "Kana=\x83\x5C\r\n");
  want.insert(want.find("\r\n[Env]"), "TreeWidth=-8\r\n");
  const std::string after = ReadAll(ini.path());
  EXPECT_EQ(after, want);
  EXPECT_EQ(env.bytes_written() - written_before, after.size());  // one write of the file

  // A new section goes to the end; the last line gets its line end.
  ASSERT_TRUE(ini.WriteString("New", "A", "1").ok());
  EXPECT_EQ(ReadAll(ini.path()), want + "\r\n[New]\r\nA=1\r\n");
  // Writing the value that is there already writes nothing.
  const uint64_t before_same = env.bytes_written();
  ASSERT_TRUE(ini.WriteString("New", "A", "1").ok());
  EXPECT_EQ(env.bytes_written(), before_same);
}

TEST(IniFileTest, ValuesRoundTripAndCannotAddLines) {
  TempDir dir;
  FaultEnv env;
  IniFile ini(env, dir.File("a.ini"));
  const std::string values[] = {
      "",
      " lead",
      "trail\t",
      "\"quoted\"",
      "'x'",
      "\"half",
      "a=b;c [d]",
      "\x83\x5C\x83\x5C\\",
      std::string(3000, 'x') + "\x82\xa0",  // longer than any fixed read buffer
  };
  for (const std::string& v : values) {
    ASSERT_TRUE(ini.WriteString("Env", "V", v).ok());
    EXPECT_EQ(ini.ReadString("Env", "V", "default"), v);
  }

  // A line break in a value becomes a blank: no key can be smuggled in.
  ASSERT_TRUE(ini.WriteString("Env", "SortType", "x\r\nSaveKey=1\n[Evil]\r\nA=1").ok());
  EXPECT_EQ(ini.ReadString("Env", "SortType", ""), "x  SaveKey=1 [Evil]  A=1");
  EXPECT_EQ(ini.ReadString("Env", "SaveKey", "none"), "none");
  IniDocument doc;
  ASSERT_TRUE(ini.Load(&doc).ok());
  EXPECT_EQ(doc.SectionNames(), std::vector<std::string>{"Env"});

  // Every read sees the file as it is now.
  ASSERT_TRUE(env.WriteFileAtomic(ini.path(), "[Env]\nV=changed\n").ok());
  EXPECT_EQ(ini.ReadString("Env", "V", ""), "changed");
}

TEST(IniFileTest, DeleteAndErase) {
  TempDir dir;
  FaultEnv env;
  IniFile ini(env, dir.File("a.ini"));
  ASSERT_TRUE(env.WriteFileAtomic(ini.path(),
                                  "[A]\r\nK=1\r\nk=2\r\nJ=3\r\n[B]\r\nK=4\r\n[a]\r\nK=5\r\n")
                  .ok());
  ASSERT_TRUE(ini.DeleteKey("a", "K").ok());  // both lines of the first [A]
  EXPECT_EQ(ReadAll(ini.path()), "[A]\r\nJ=3\r\n[B]\r\nK=4\r\n[a]\r\nK=5\r\n");
  ASSERT_TRUE(ini.EraseSection("A").ok());  // every section of that name
  EXPECT_EQ(ReadAll(ini.path()), "[B]\r\nK=4\r\n");

  // Deleting from a missing file creates nothing.
  IniFile missing(env, dir.File("missing.ini"));
  EXPECT_TRUE(missing.DeleteKey("A", "K").ok());
  EXPECT_FALSE(env.Exists(missing.path()));
}

TEST(IniFileTest, RefusesBadNames) {
  TempDir dir;
  FaultEnv env;
  IniFile ini(env, dir.File("a.ini"));
  const std::pair<const char*, const char*> bad[] = {
      {"", "K"}, {"A]", "K"}, {"A\nB", "K"}, {"A", ""}, {"A", "K=V"},
      {"A", "K\r\n"}, {"A", "[K"}, {"A", ";K"}, {"A", " K"},
  };
  for (const auto& [section, key] : bad) {
    EXPECT_EQ(ini.WriteString(section, key, "v").code(), Status::kInvalid)
        << section << "/" << key;
  }
  IniBatch batch;  // a bad name anywhere in a batch writes nothing
  batch.WriteString("A", "Good", "1");
  batch.WriteString("A", "Bad=", "1");
  EXPECT_EQ(ini.Apply(batch).code(), Status::kInvalid);
  EXPECT_FALSE(env.Exists(ini.path()));
}

TEST(IniFileTest, FailuresLeaveTheFileAlone) {
  TempDir dir;
  FaultEnv env;
  IniFile ini(env, dir.File("a.ini"));
  const std::string original = "[Env]\r\nA=1\r\n";
  ASSERT_TRUE(env.WriteFileAtomic(ini.path(), original).ok());

  env.FailOpen(ini.path());  // exists but cannot be read: never replaced
  EXPECT_EQ(ini.ReadString("Env", "A", "def"), "def");
  EXPECT_EQ(ini.ReadInteger("Env", "A", 7), 7);
  EXPECT_FALSE(ini.WriteString("Env", "A", "2").ok());
  env.ClearFaults();
  EXPECT_EQ(ReadAll(ini.path()), original);

  env.SetDiskFull(true);
  EXPECT_EQ(ini.WriteString("Env", "A", "2").code(), Status::kNoSpace);
  env.ClearFaults();
  env.SetWriteBudget(5);
  EXPECT_FALSE(ini.WriteString("Env", "A", "2").ok());
  env.ClearFaults();
  env.SetFailSync(true);
  EXPECT_EQ(ini.WriteString("Env", "A", "2").code(), Status::kIoError);
  env.ClearFaults();
  env.SetFailRead(true);  // opens but does not read: not taken for empty
  EXPECT_EQ(ini.ReadInteger("Env", "A", 7), 7);
  EXPECT_EQ(ini.WriteString("Env", "B", "2").code(), Status::kIoError);
  env.ClearFaults();
  EXPECT_EQ(ReadAll(ini.path()), original);

  ASSERT_TRUE(ini.WriteString("Env", "A", "2").ok());  // and the next write works
  EXPECT_EQ(ini.ReadInteger("Env", "A", 0), 2);
}

TEST(IniFileTest, LinkInPlaceOfTheFileIsRefusedAndNothingWrittenThroughIt) {
  TempDir dir, outside;
  FaultEnv env;
  const std::string theirs = outside.File("theirs.ini");
  const std::string original = "[Env]\r\nA=1\r\n";
  WriteAll(theirs, original);
  for (const std::string& target : {theirs, outside.File("missing.ini")}) {
    SCOPED_TRACE(target);
    const std::string path = dir.File(target == theirs ? "a.ini" : "b.ini");
    PlantLink(target, path);
    IniFile ini(env, path);
    EXPECT_EQ(ini.ReadInteger("Env", "A", 7), 7);
    Status s = ini.WriteString("Env", "A", "2");
    EXPECT_EQ(s.code(), Status::kPermission);
    EXPECT_NE(s.message().find(path), std::string::npos) << s.message();
    EXPECT_TRUE(std::filesystem::is_symlink(path));
  }
  EXPECT_EQ(ReadAll(theirs), original);
  EXPECT_FALSE(std::filesystem::exists(outside.File("missing.ini")));
}

}  // namespace
}  // namespace quill
