#include "main/editor/text_link.h"

#include <gtest/gtest.h>

#include <fstream>

#include "platform/file_env.h"
#include "platform/headless/fake_shell.h"
#include "platform/headless/fake_ui.h"
#include "platform/headless/temp_dir.h"
#include "platform/text_codec.h"

namespace quill {
namespace {

std::string S(const char* utf8) { return Utf8ToCp932(utf8); }

TEST(FindLinkAt, FindsTheLinkAroundThePosition) {
  using K = TextLink::Kind;
  struct Case {
    std::string text;
    size_t pos;
    K kind;
    std::string link;
    std::string target = "";
  } cases[] = {
      {"see http://x.jp/a b", 10, K::kWeb, "http://x.jp/a"},
      {"(https://y/z)", 3, K::kWeb, "https://y/z"},
      {"mailto:a@b,next", 9, K::kMail, "mailto:a@b"},
      {"go <file=/tmp/a b.txt> now", 12, K::kFile, "<file=/tmp/a b.txt"},
      {S("<file=/データ/表.txt>"), 2, K::kFile, S("<file=/データ/表.txt")},
      {"<card=Two words>", 8, K::kCard, "<card=Two words"},
      {"mail me: a@b.jp today", 12, K::kMailAddress, "a@b.jp", "mailto:a@b.jp"},
      {"<file=x.txt>", 3, K::kFile, "<file=x.txt", "x.txt"},
      {"<card=0123456789ABCDEF>", 9, K::kCard, "<card=0123456789ABCDEF", "0123456789ABCDEF"},
      {S("http://x.jp/a表b"), 3, K::kWeb, "http://x.jp/a", "http://x.jp/a"},
      {"http://x.jp/a,b", 3, K::kWeb, "http://x.jp/a", "http://x.jp/a"},
      {"go http://" + std::string(2000, 'q') + " end", 1500, K::kWeb,
       "http://" + std::string(2000, 'q')},
      {"a@b", 0, K::kMailAddress, "a@b"},
      {S("表"), 1, K::kNone, ""},
      {"plain words", 3, K::kNone, ""},
      {"x\r\nhttp://y", 1, K::kNone, ""},  // the line end stops the scan back
      {"", 0, K::kNone, ""},
  };
  for (const Case& c : cases) {
    const TextLink link = FindLinkAt(c.text, c.pos);
    EXPECT_EQ(link.kind, c.kind) << c.text;
    EXPECT_EQ(link.text, c.link) << c.text;
    if (!c.target.empty()) {
      EXPECT_EQ(link.target, c.target) << c.text;
    }
  }
}

class OpenLinkAtTest : public testing::Test {
 protected:
  void Open(const std::string& text, size_t pos) { OpenLinkAt(text, pos, context_); }

  TempDir dir_;
  FakeShell shell_;
  FakeUi ui_;
  std::vector<std::string> cards_;
  LinkContext context_{shell_, ui_, FileEnv::Default(), dir_.Path() + "/",
                       [this](const std::string& title) { cards_.push_back(title); }};
};

TEST_F(OpenLinkAtTest, AddressesFilesAndCardsGoWhereTheyBelong) {
  const std::string existing = dir_.File("p.txt");
  std::ofstream(existing) << "x";
  Open("<file=" + existing + ">", 3);
  Open("<card=T>", 2);
  Open("http://x", 4);
  Open("a@b", 1);
  Open("<file", 2);
  Open(S("表"), 0);
  EXPECT_EQ(shell_.opened, (std::vector<std::string>{"file:" + existing, "address:http://x",
                                                     "address:mailto:a@b"}));
  EXPECT_EQ(cards_, std::vector<std::string>{"T"});
  EXPECT_TRUE(ui_.questions().empty());
}

TEST_F(OpenLinkAtTest, AMissingFileIsOfferedAndABareNameLivesInTheDataFolder) {
  ui_.Answer(kResultNo);
  Open("<file=new.txt>", 3);
  EXPECT_TRUE(shell_.opened.empty());
  EXPECT_FALSE(FileEnv::Default().Exists(dir_.File("new.txt")));

  ui_.Answer(kResultYes);
  Open("<file=new.txt>", 3);
  EXPECT_TRUE(FileEnv::Default().Exists(dir_.File("new.txt")));
  EXPECT_EQ(shell_.opened, std::vector<std::string>{"file:" + dir_.File("new.txt")});

  // A file that cannot be made: the message, nothing opened.
  ui_.Answer(kResultYes);
  Open("<file=" + dir_.File("no/such/folder.txt") + ">", 3);
  ASSERT_EQ(ui_.questions().size(), 4u);
  EXPECT_EQ(ui_.questions().back().text, S("作れませんでした"));
  EXPECT_EQ(shell_.opened.size(), 1u);
}

}  // namespace
}  // namespace quill

namespace quill {
namespace {

TEST_F(OpenLinkAtTest, AnExistingFileIsNeverEmptiedAndAWindowsPathIsNotOffered) {
  // Missing when asked, there when made: the file made meanwhile stays.
  const std::string name = dir_.File("late.txt");
  ui_.on_question = [&](const FakeUi::Question&) { std::ofstream(name) << "kept"; };
  ui_.Answer(kResultYes);
  Open("<file=late.txt>", 3);
  ui_.on_question = nullptr;
  std::string kept;
  std::ifstream(name) >> kept;
  EXPECT_EQ(kept, "kept");

  const size_t asked = ui_.questions().size();
  for (const char* path : {"C:\\a.txt", "d:x.txt", "\\\\server\\a.txt"}) {
    Open(std::string("<file=") + path + ">", 3);
  }
  EXPECT_EQ(ui_.questions().size(), asked);
  EXPECT_EQ(ui_.beeps(), 3);
  // A 0x5C trail byte ("ソ") is no Windows separator.
  EXPECT_FALSE(IsWindowsPath(S("ソ.txt")));
  EXPECT_EQ(LinkFilePath(S("ソ.txt"), "/d/"), "/d/" + S("ソ.txt"));
  EXPECT_EQ(LinkFilePath("sub/x.txt", "/d/"), "sub/x.txt");
}

}  // namespace
}  // namespace quill
