#include "main/settings/data_set_menu.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/file_env.h"
#include "platform/headless/temp_dir.h"
#include "platform/registry_store.h"

namespace quill {
namespace {

TEST(DataSetMenuTest, CaptionsAndWhichEntriesCanBeChosen) {
  TempDir dir;
  const std::string a = dir.Path() + "/a";
  std::filesystem::create_directories(a + "/Data");
  std::filesystem::create_directories(a + "/data");
  std::filesystem::create_symlink(a + "/Data", dir.Path() + "/link");
  DataFileList list;
  list.names = {"zero", "Upper", "lower", "slash", "linked", "", "", "", "", ""};
  list.paths = {dir.Path(), a + "/Data", a + "/data", a + "/Data//", dir.Path() + "/link",
                "",         "",          "",          "",            ""};
  DataMenuItems menu;
  BuildDataMenu(FileEnv::Default(), list, dir.Path(), &menu);
  EXPECT_EQ(menu[0].caption, "&0:zero");
  EXPECT_EQ(menu[2].caption, "&2:lower");
  EXPECT_EQ(menu[9].caption, "&9:");
  EXPECT_TRUE(menu[1].enabled);
  EXPECT_FALSE(menu[5].enabled);  // a free slot, as built

  CheckDataMenu(list, 1, &menu);
  struct Row {
    int slot;
    bool enabled, checked;
  } rows[] = {
      {0, true, false},   // another folder
      {1, false, true},   // the open set
      {2, true, false},   // differs only in letter case: another set
      {3, false, false},  // the same folder with trailing slashes
      {4, false, false},  // the same folder through a link
      {5, true, false},   // a free slot: choosing it opens set 0
      {9, true, false},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(menu[r.slot].enabled, r.enabled) << r.slot;
    EXPECT_EQ(menu[r.slot].checked, r.checked) << r.slot;
  }

  list.names[5] = "new";
  RefreshDataMenu(list, &menu);
  EXPECT_EQ(menu[5].caption, "&5:new");
  EXPECT_TRUE(menu[5].enabled);
  EXPECT_FALSE(menu[6].enabled);
}

TEST(DataSetMenuTest, ALongDataFileValueIsReadWhole) {
  TempDir dir;
  RegistryStore reg(FileEnv::Default(), dir.File("registry.ini"));
  const std::string folder = "/" + std::string(1200, 'f');
  ASSERT_TRUE(reg.WriteString(kQuillmainEnvKey, "DataFile3", "far\t" + folder).ok());
  DataFileList list;
  EXPECT_EQ(LoadDataFileList(reg.Read(), "far", &list), 2);
  EXPECT_EQ(list.paths[2], folder);
}

TEST(DataSetMenuTest, DataTreePathNeedsAReadableFolderList) {
  TempDir dir;
  DataFileList list;
  list.paths[1] = dir.Path();
  EXPECT_EQ(DataTreePath(FileEnv::Default(), list, 1), 0);
  { std::ofstream(dir.File("quilbo7.tre")) << "x\r\n"; }
  EXPECT_EQ(DataTreePath(FileEnv::Default(), list, 1), 1);
  EXPECT_EQ(DataTreePath(FileEnv::Default(), list, 2), 0);  // no folder
}

}  // namespace
}  // namespace quill
