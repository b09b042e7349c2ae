#include "main/editor/cell_link.h"

#include <gtest/gtest.h>

#include "platform/headless/fault_env.h"
#include "platform/headless/temp_dir.h"
#include "store/card_test_support.h"

namespace quill {
namespace {

TEST(CellLinkTest, CellTextsOpenWhatTheyName) {
  using K = CellLink::Kind;
  struct Case {
    std::string cell;
    K kind;
    std::string target;
  } cases[] = {
      {"<file=/srv/\x83\x81\x83\x82 a b>", K::kFile, "/srv/\x83\x81\x83\x82 a b"},
      {"<file=/x", K::kFile, "/"},  // no closing ">": the last byte goes
      {"<card=T>  ", K::kCard, "T"},
      {"  <card= T >", K::kNone, ""},  // the first five bytes decide
      {"<card= T >", K::kCard, " T "},
      {"http://x", K::kAddress, "http://x"},
      {"https://x/a b", K::kAddress, "https://x/a b"},
      {"mailto:x", K::kAddress, "mailto:x"},
      {"a@b", K::kAddress, "mailto:a@b"},
      {"\x95\x5c@b", K::kNone, ""},  // a double-byte character: no address
      {"<file", K::kNone, ""},
      {"<file=", K::kNone, ""},
      {"<file=>", K::kNone, ""},
      {"<card", K::kNone, ""},
      {"<card=", K::kNone, ""},
      {"<card=>", K::kNone, ""},
      {"\x95\x5c", K::kNone, ""},
      {"", K::kNone, ""},
  };
  for (const Case& c : cases) {
    const CellLink link = ParseCellLink(c.cell);
    EXPECT_EQ(link.kind, c.kind) << c.cell;
    EXPECT_EQ(link.target, c.target) << c.cell;
  }
}

TEST(CellLinkTest, DroppedPaths) {
  EXPECT_EQ(FileLinkText("/a b/c"), "<file=/a b/c>");
  EXPECT_EQ(ParseCellLink(FileLinkText("/a b/c")).target, "/a b/c");
  EXPECT_TRUE(PathFitsCell("/a b/\x83\x81"));
  for (const char* bad : {"/a\tb", "/a\rb", "/a\nb"}) EXPECT_FALSE(PathFitsCell(bad)) << bad;
}

TEST(CellLinkTest, LinkedCardIsTheFirstLiveOneInFolderOrder) {
  TempDir dir;
  FaultEnv env;
  store::CardStore cards(env, dir.Path() + "/");
  ASSERT_TRUE(cards.Open(false, "").ok());
  FakeClock& clock = env.fake_clock();
  const std::string binned = store::WriteTestCard(cards, clock, "A", "T", "x");
  const std::string in_b = store::WriteTestCard(cards, clock, "B", "T", "x");
  store::WriteTestCard(cards, clock, "C", "T", "x");
  store::WriteTestCard(cards, clock, "A", "U", "x");
  store::WriteFolderRow(cards, "D");
  {
    store::CardRecord r(cards);
    bool found = false;
    ASSERT_TRUE(r.FindByKey("TEXT_ID", binned, false, &found).ok());
    ASSERT_TRUE(found);
    ASSERT_TRUE(r.MarkDeleted().ok());
  }
  std::optional<std::string> id;
  ASSERT_TRUE(FindLinkedCard(cards, "T", &id).ok());
  EXPECT_EQ(id, in_b);
  ASSERT_TRUE(FindLinkedCard(cards, "t", &id).ok());
  EXPECT_FALSE(id.has_value());
  ASSERT_TRUE(FindLinkedCard(cards, "", &id).ok());
  EXPECT_FALSE(id.has_value());
  ASSERT_TRUE(FindLinkedCard(cards, std::string(store::FolderMarkerTitle), &id).ok());
  EXPECT_FALSE(id.has_value());
}

}  // namespace
}  // namespace quill
