#include "clip/browser_classes.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "platform/headless/fake_window_system.h"
#include "platform/headless/fault_env.h"
#include "platform/headless/temp_dir.h"

namespace quill {
namespace {

class BrowserClassesTest : public ::testing::Test {
 protected:
  BrowserClassesTest() : registry_(env_, dir_.File("registry.ini")) {
    windows_.AddWindow(0x100, "firefox");
    windows_.AddWindow(0x101, "Navigator");  // the focused inner window
    windows_.AddWindow(0x200, "Mousepad");
  }

  std::string Stored() { return registry_.ReadString(kQuillmainEnvKey, "BrowserClass", "?"); }

  TempDir dir_;
  FaultEnv env_;
  RegistryStore registry_;
  FakeWindowSystem windows_;
  alignas(8) std::array<uint8_t, kSharedHookBlockSize> bytes_{};
  SharedHookBlock block_{std::span<uint8_t, kSharedHookBlockSize>(bytes_)};
  BrowserClassList list_{block_, registry_, windows_};
};

TEST_F(BrowserClassesTest, AddMovesToTheFrontAndWritesOnlyWhenTheListChanges) {
  ASSERT_TRUE(registry_.WriteString(kQuillmainEnvKey, "BrowserClass", "Opera\tMousepad\tXTerm\t").ok());
  list_.Load();
  EXPECT_EQ(block_.BrowserClasses(), (std::vector<std::string>{"Opera", "Mousepad", "XTerm"}));

  // The focused window of the target counts, the newest pair first.
  block_.PushFocusPair({0x100, 0x200});
  block_.PushFocusPair({0x100, 0x101});
  block_.PushFocusPair({0x300, 0x200});
  EXPECT_FALSE(list_.Is(0x100));
  ASSERT_TRUE(list_.Add(0x100).ok());
  EXPECT_EQ(Stored(), "Navigator\tOpera\tMousepad\tXTerm\t");
  EXPECT_TRUE(list_.Is(0x100));
  EXPECT_FALSE(list_.Is(0x999));  // no focus known

  // Without a focus pair the target's own class; a known class moves up.
  ASSERT_TRUE(list_.Add(0x200).ok());
  EXPECT_EQ(Stored(), "Mousepad\tNavigator\tOpera\tXTerm\t");

  // Entry 0 already: nothing is written.
  const uint64_t written = env_.bytes_written();
  ASSERT_TRUE(list_.Add(0x200).ok());
  EXPECT_EQ(env_.bytes_written(), written);
}

TEST_F(BrowserClassesTest, TheFiftyFirstClassDropsOut) {
  std::string value;
  for (int i = 0; i < 52; ++i) value += "C" + std::to_string(i) + "\t";
  ASSERT_TRUE(registry_.WriteString(kQuillmainEnvKey, "BrowserClass", value).ok());
  list_.Load();
  ASSERT_EQ(block_.BrowserClasses().size(), 50u);
  EXPECT_EQ(block_.BrowserClasses().back(), "C49");

  ASSERT_TRUE(list_.Add(0x200).ok());
  const std::vector<std::string> names = block_.BrowserClasses();
  ASSERT_EQ(names.size(), 50u);
  EXPECT_EQ(names.front(), "Mousepad");
  EXPECT_EQ(names.back(), "C48");
}

}  // namespace
}  // namespace quill
