#include "main/exchange/text_import.h"

#include <gtest/gtest.h>

#include <map>

#include "main/exchange/transfer_test_support.h"
#include "platform/headless/test_files.h"

namespace quill {
namespace {

const std::string kSep = "@@@@@@@@@@@@@@@";

TEST(TextImport, Splits) {
  struct Case {
    std::string text;
    std::vector<std::string> cards;
    bool had_separator;
  };
  const Case cases[] = {
      {"one\r\ntwo\r\n", {"one\r\ntwo\r\n"}, false},
      {"one\r\n" + kSep + "\r\n", {"one\r\n"}, true},
      {"a\r\n" + kSep + " x\r\nb\r\n" + kSep + "\r\nc\r\n" + kSep + "\r\nd",
       {"a\r\n", "b\r\n", "c\r\n", "d"},
       true},
      // The separator counts only at a line start, however long the line.
      {std::string(20000, 'l') + kSep + "\r\n", {std::string(20000, 'l') + kSep + "\r\n"}, false},
  };
  for (const Case& k : cases) {
    const ImportSplit s = SplitImportText(k.text);
    EXPECT_EQ(s.cards, k.cards);
    EXPECT_EQ(s.had_separator, k.had_separator);
    EXPECT_FALSE(s.cut);
  }
  // Lines past the limit are left out up to the next separator, and said.
  const std::string line(600000, 'x');
  const ImportSplit s =
      SplitImportText(line + "\r\n" + line + "\r\nlost\r\n" + kSep + "\r\nnext\r\n");
  EXPECT_TRUE(s.cut);
  EXPECT_EQ(s.cards, (std::vector<std::string>{line + "\r\n", "next\r\n"}));
}

TEST(TextImport, Encodings) {
  EXPECT_EQ(ImportFileText("\xE6\x97\xA5\xE6\x9C\xAC\na\nb\r\n"), S("日本") + "\r\na\r\nb\r\n");
  EXPECT_EQ(ImportFileText("\xEF\xBB\xBF" "abc\n"), "abc\r\n");  // a BOM
  const std::string sjis = S("日本語") + "\r\n";
  EXPECT_EQ(ImportFileText(sjis), sjis);  // CP932 is not valid UTF-8
  EXPECT_EQ(ImportFileText("plain\r\n"), "plain\r\n");
  EXPECT_EQ(ImportTitle("/tmp/dir.x/memo.part.txt"), "memo");
}

TEST(TextImport, OnlyTextIsImportable) {
  const struct {
    const char* name;
    std::string bytes;
    bool text;
  } cases[] = {
      {"ASCII", "plain\r\ntext\r\n", true},
      {"empty", "", true},
      {"Shift-JIS", S("日本語ｶﾅ") + "\r\n", true},
      {"UTF-8", "\xE6\x97\xA5\xE6\x9C\xAC\n", true},
      {"UTF-8 after a BOM", "\xEF\xBB\xBF\xE6\x97\xA5\n", true},
      {"a NUL byte", std::string("text\0more", 9), false},
      {"UTF-16 with its BOM", std::string("\xFF\xFEt\0e\0", 6), false},
      {"a lead byte at the end", "abc\x93", false},
      {"a lead byte before a blank", "\x93 abc", false},
      {"a byte that is no character", "abc\xFF", false},
      {"a BOM before bytes that are not UTF-8", "\xEF\xBB\xBF\x93\xFA", false},
      {"Latin-1", "caf\xE9 au lait", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsImportableText(c.bytes), c.text) << c.name;
}

class ImportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    set_.Add("A", "first", 500, 1, 600);
    set_.Load();
    set_.form.tree().set_selected_node(set_.Find("A"));
  }
  std::string File(const std::string& name, const std::string& bytes) {
    EXPECT_TRUE(env_.WriteFileAtomic(files_.File(name), bytes).ok());
    return files_.File(name);
  }
  std::vector<std::string> TitlesInA() {
    std::vector<std::string> titles;
    TreeNode* a = set_.Find("A");
    for (int i = 0; i < a->child_count(); ++i) titles.push_back(a->child(i)->text());
    return titles;
  }
  FaultEnv env_;
  TestDataSet set_{env_};
  TempDir files_;
};

TEST_F(ImportTest, FilesBecomeCards) {
  // A file the user chose may be a link: it is read through.
  PlantLink(File("target.txt", "through a link\r\n"), files_.File("linked.txt"));
  set_.dialogs.AnswerFiles({File("memo.txt", "just one\nline\n"), files_.File("linked.txt"),
                            File("split.txt", "p1\r\n" + kSep + "\r\np2\r\n" + kSep + "\r\n"),
                            files_.File("missing.txt")});
  ASSERT_TRUE(RunTextImport(set_.ctx).ok());
  EXPECT_EQ(TitlesInA(), (std::vector<std::string>{"first", "memo", "linked", "p1", "p2"}));
  size_t found = 0;
  for (const store::CardRecord& c : set_.Cards()) {
    if (c.title == "memo") {
      EXPECT_EQ(c.text, "just one\r\nline\r\n");
      EXPECT_EQ(c.source, S("一括読み込み"));
      ++found;
    }
  }
  EXPECT_EQ(found, 1u);
  // The stored positions follow the folder's order.
  std::map<std::string, uint32_t> positions;
  for (const store::CardRecord& c : set_.Cards()) {
    if (c.folder == "A") positions[c.title] = c.position;
  }
  EXPECT_EQ(positions, (std::map<std::string, uint32_t>{
                           {"first", 0}, {"memo", 1}, {"linked", 2}, {"p1", 3}, {"p2", 4}}));
  EXPECT_EQ(set_.form.tree().selected_node()->text(), "p2");
  EXPECT_TRUE(set_.ui.questions().empty());
}

// A binary file becomes no card: it is named in the message, and the
// text files chosen with it are imported as usual.
TEST_F(ImportTest, AFileThatIsNotTextIsRefusedByName) {
  std::string binary(300000, '\x01');
  binary[40] = '\0';
  const std::string picture = File("picture.bin", "text before the NUL" + binary);
  const std::string latin = File("latin.txt", "caf\xE9\r\n");
  set_.dialogs.AnswerFiles({picture, File("memo.txt", "memo\r\n"), latin});
  const size_t cards = set_.Cards().size();
  ASSERT_TRUE(RunTextImport(set_.ctx).ok());
  EXPECT_EQ(TitlesInA(), (std::vector<std::string>{"first", "memo"}));
  EXPECT_EQ(set_.Cards().size(), cards + 1);
  ASSERT_EQ(set_.ui.questions().size(), 1u);
  const std::string& message = set_.ui.questions()[0].text;
  EXPECT_EQ(message.rfind(S("テキストファイルではないので"), 0), 0u) << message;
  EXPECT_NE(message.find(Utf8ToCp932(picture)), std::string::npos);
  EXPECT_NE(message.find(Utf8ToCp932(latin)), std::string::npos);
  EXPECT_EQ(message.find("memo.txt"), std::string::npos);
  EXPECT_EQ(set_.ui.questions()[0].caption, MessageText(MessageId::kWarningCaption));
}

TEST_F(ImportTest, CutFilesAreNamedAndRefusedWritesStop) {
  const std::string big = File("big.txt", std::string(600000, 'x') + "\r\n" +
                                              std::string(600000, 'y') + "\r\n");
  set_.dialogs.AnswerFiles({big});
  ASSERT_TRUE(RunTextImport(set_.ctx).ok());
  EXPECT_NE(set_.ui.questions().back().text.find(Utf8ToCp932(big)), std::string::npos);

  // The files after the one whose write failed are not read.
  const size_t nodes = set_.form.tree().node_count();
  const std::string later = File("later.txt", "c\r\n");
  set_.dialogs.AnswerFiles({File("two.txt", "a\r\n" + kSep + "\r\nb\r\n"), later});
  env_.SetWriteBudget(0);
  EXPECT_FALSE(RunTextImport(set_.ctx).ok());
  env_.ClearFaults();
  env_.SetFreeBytes(uint64_t{1} << 40);
  EXPECT_EQ(set_.ui.questions().back().text.rfind(S("カードを書き込めないので中断します。"), 0), 0u);
  EXPECT_EQ(set_.form.tree().node_count(), nodes);
  EXPECT_EQ(env_.bytes_read(later), 0u);

  // The data set's root takes no cards.
  set_.form.tree().set_selected_node(set_.form.tree().root());
  ASSERT_TRUE(RunTextImport(set_.ctx).ok());
  EXPECT_EQ(set_.ui.beeps(), 1);
}

}  // namespace
}  // namespace quill
