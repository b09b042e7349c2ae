#include "clip/register_history.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/headless/fault_env.h"
#include "platform/headless/temp_dir.h"

namespace quill {
namespace {

std::vector<std::string> Paths(const RegisterHistory& h) {
  std::vector<std::string> out;
  for (const CTourokuRireki& e : h.entries) out.push_back(e.path);
  return out;
}

TEST(RegisterHistoryTest, AFullHistoryDropsTheOldestAndAListedEntryMovesToTheFront) {
  RegisterHistory h;
  for (int i = 9; i >= 0; --i) h.Add(0, "f" + std::to_string(i), "?");
  ASSERT_EQ(h.entries.size(), 10u);
  EXPECT_EQ(h.entries.front().path, "f0");
  h.Add(1, "new", "?");
  EXPECT_EQ(Paths(h), (std::vector<std::string>{"new", "f0", "f1", "f2", "f3", "f4", "f5", "f6",
                                                "f7", "f8"}));
  h.Add(0, "f5", "?");
  EXPECT_EQ(Paths(h), (std::vector<std::string>{"f5", "new", "f0", "f1", "f2", "f3", "f4", "f6",
                                                "f7", "f8"}));
  // The same path in another data set, or a card, is another entry.
  h.Add(1, "f5", "?");
  h.Add(-1, "?", "0123456789ABCDEF");
  EXPECT_EQ(h.entries[0], (CTourokuRireki{"?", -1, "0123456789ABCDEF"}));
  EXPECT_EQ(h.entries[1], (CTourokuRireki{"f5", 1, "?"}));
  EXPECT_EQ(h.entries[2], (CTourokuRireki{"f5", 0, "?"}));
  // Removing ignores blanks around the path and takes the first match.
  h.Remove(0, "  f5 ");
  EXPECT_EQ(Paths(h), (std::vector<std::string>{"?", "f5", "new", "f0", "f1", "f2", "f3", "f4",
                                                "f6"}));
  EXPECT_EQ(h.entries[1].data_set, 1);
}

// The stored value is untrusted.
TEST(RegisterHistoryTest, TheStoredValueIsReadWithCare) {
  struct Case {
    const char* name;
    std::string value;
    std::vector<CTourokuRireki> entries;
  };
  const std::string long_path(3000, 'p');
  std::string twelve;
  for (int i = 0; i < 12; ++i) twelve += (i ? "\t" : "") + std::string("f") + std::to_string(i) + "\t0\t?";
  std::vector<CTourokuRireki> ten;
  for (int i = 0; i < 10; ++i) ten.push_back({"f" + std::to_string(i), 0, "?"});
  const Case cases[] = {
      {"empty", "", {}},
      {"folder and card", "Web 記事\t3\t?\t?\t-1\tABC",
       {{"Web 記事", 3, "?"}, {"?", -1, "ABC"}}},
      {"index out of range", "a\t10\t?\tb\t-2\t?\tc\t9\t?", {{"c", 9, "?"}}},
      {"index no number", "a\tx\t?\tb\t1x\t?\tc\t\t?", {}},
      {"missing fields", "a\t1\t\t\t2\t?\tc\t1", {}},
      {"a last entry cut short", "a\t1\t?\tb\t2", {{"a", 1, "?"}}},
      {"at most ten", twelve, ten},
      {"long fields stay whole", long_path + "\t0\t?", {{long_path, 0, "?"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(RegisterHistory::Parse(c.value).entries, c.entries);
  }
  // What is written reads back the same, through the registry store.
  TempDir dir;
  FaultEnv env;
  RegistryStore registry(env, dir.File("registry.ini"));
  RegisterHistory h = RegisterHistory::Parse(cases[1].value);
  h.Add(0, long_path, "?");
  ASSERT_TRUE(SaveRegisterHistory(registry, h).ok());
  EXPECT_EQ(registry.ReadString(kQuillmainEnvKey, "TourokuRireki", ""),
            long_path + "\t0\t?\tWeb 記事\t3\t?\t?\t-1\tABC");
  EXPECT_EQ(LoadRegisterHistory(registry).entries, h.entries);
}

}  // namespace
}  // namespace quill
