#include "platform/paths.h"

#include <gtest/gtest.h>

#include <map>

namespace quill {
namespace {

EnvLookup Fake(std::map<std::string, std::string> vars) {
  return [vars](const char* name) -> std::optional<std::string> {
    auto it = vars.find(name);
    if (it == vars.end()) return std::nullopt;
    return it->second;
  };
}

TEST(PathsTest, ProgramFolderAndRegistryFile) {
  struct Case {
    std::map<std::string, std::string> vars;
    const char* program;
    const char* registry;
  } cases[] = {
      {{{"HOME", "/home/u"}},
       "/home/u/.local/share/quillbox", "/home/u/.config/quillbox/registry.ini"},
      {{{"HOME", "/home/u/"}, {"XDG_DATA_HOME", "/d/"}, {"XDG_CONFIG_HOME", "/c"}},
       "/d/quillbox", "/c/quillbox/registry.ini"},
      {{{"HOME", "/home/u"}, {"QUILLBOX_HOME", "/q/"}, {"XDG_DATA_HOME", "/d"}},
       "/q", "/home/u/.config/quillbox/registry.ini"},
      // Empty and relative values count as unset.
      {{{"HOME", "/home/u"}, {"QUILLBOX_HOME", ""}, {"XDG_DATA_HOME", "rel"},
        {"XDG_CONFIG_HOME", ""}},
       "/home/u/.local/share/quillbox", "/home/u/.config/quillbox/registry.ini"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ProgramFolder(Fake(c.vars)), c.program);
    EXPECT_EQ(RegistryFilePath(Fake(c.vars)), c.registry);
  }
  EXPECT_EQ(IniFilePath("/q"), "/q/quillmain.ini");
}

}  // namespace
}  // namespace quill
