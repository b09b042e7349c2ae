#include "main/exchange/text_export.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "main/exchange/transfer_test_support.h"
#include "platform/headless/fake_clipboard.h"
#include "platform/headless/fake_shell.h"
#include "platform/ini_file.h"
#include "platform/ui_messages.h"
#include "store/card_test_support.h"

namespace quill {
namespace {

class ExportTest : public ::testing::Test {
 protected:
  store::CardRecord Card(const std::string& folder, const std::string& title,
                         const std::string& text) {
    store::CardRecord c(set_.store);
    c.Clear();
    c.folder = folder;
    c.title = title;
    c.text = text;
    c.source = "src";
    return c;
  }
  FaultEnv env_;
  TestDataSet set_{env_};
};

TEST_F(ExportTest, LayoutBytes) {
  FakeClock clock;  // UTC: a fixed time zone
  store::CardRecord c = Card("A B", "T", "l1\r\nl2");
  clock.SetLocal(2007, 3, 4, 5, 6);
  c.ctime = static_cast<uint32_t>(clock.Now());
  clock.SetLocal(2010, 11, 12, 13, 14);
  c.utime = static_cast<uint32_t>(clock.Now());
  struct Case {
    WriteOptionsForm options;
    std::string bytes;
  };
  const Case cases[] = {
      {{false, false, false, 0},
       "Group:=A B\r\nTitle:=T\r\nFrom :=src\r\nCreate:=07/03/04  5:06\r\n"
       "Udate :=10/11/12 13:14\r\n\r\nl1\r\nl2\r\n"},
      {{false, true, false, 0}, "T\tl1\r\nl2\r\n"},
      {{false, false, false, 1}, "l1\r\nl2\r\n"},
      {{false, false, true, 2}, "\r\n    T\r\nl1\r\nl2\r\n" + std::string(kDividingLine)},
  };
  for (const Case& k : cases) {
    std::string out;
    ExportLayout(clock, k.options).Append(c, &out);
    EXPECT_EQ(out, k.bytes) << k.options.naiyou;
  }
}

TEST_F(ExportTest, HierarchyLayout) {
  FakeClock clock;
  WriteOptionsForm options;
  options.naiyou = 3;
  ExportLayout layout(clock, options);
  std::string out;
  layout.Append(Card("A", "one", "t1"), &out);
  layout.Append(Card("A B", "two", ".dot\r\nx\r\n.y"), &out);
  layout.Append(Card("A B", ".three", "t3"), &out);
  std::string long_text(1000000, 'z');
  long_text += "\r\n.tail";
  layout.Append(Card("C", "four", long_text), &out);
  const std::string expected = ".A\r\n..one\r\nt1\r\n"
                               "..B\r\n...two\r\n .dot\r\nx\r\n .y\r\n"
                               "... .three\r\nt3\r\n"
                               ".C\r\n..four\r\n" + std::string(1000000, 'z') + "\r\n .tail\r\n";
  EXPECT_EQ(out, expected);
}

TEST_F(ExportTest, TitlesToFileNames) {
  const std::pair<const char*, const char*> cases[] = {
      {"memo.txt", "memo.txt"},       {"a/b", "a／b.txt"},   {"report.final", "report.final.txt"},
      {"../x", "..／x"},              {"..", "...txt"},      {".", "..txt"},
      {"a.b/c", "a.b／c"},            {"q?:*", "q？：＊.txt"}, {"表\\", "表￥.txt"},
  };
  for (const auto& [title, name] : cases) {
    EXPECT_EQ(CardFileName(S(title), ".txt"), name) << title;
  }
  // Bytes that only the conversion turns into a separator, and control
  // bytes: the name is built from the converted title.
  const std::pair<std::string, std::string> raw[] = {
      {"sub\x81/inner", "sub\uFFFD／inner.txt"},   // a lead byte before "/"
      {"x.\x81/", "x.\uFFFD／"},                  // the same after the extension point
      {std::string("a\0b", 3), "a_b.txt"},        // NUL
      {"a\x1b" "b\x7f" "c\r", "a_b_c_.txt"},     // ESC, DEL, CR
      {"\x80", "_.txt"},                          // becomes U+0080, a C1 control
      {"", "_.txt"},
      {"\x81", "\uFFFD.txt"},
  };
  for (const auto& [title, name] : raw) {
    EXPECT_EQ(CardFileName(title, ".txt"), name) << title;
  }
  std::unordered_set<std::string> used;
  EXPECT_EQ(CardFileName("memo", ".txt", &used), "memo.txt");
  EXPECT_EQ(CardFileName("memo", ".txt", &used), "memo(2).txt");
  EXPECT_EQ(CardFileName("memo", ".txt", &used), "memo(3).txt");
}

TEST_F(ExportTest, OneFilePerMarkedCardStaysInTheFolder) {
  const char* titles[] = {"memo.txt", "a/b", "../x", "..", "a.b/c", "memo.txt", "sub\x81/inner"};
  for (const char* t : titles) set_.Add("A", t, 500, static_cast<uint32_t>(set_.next_position + 1), 600, t);
  set_.Add("A", "unmarked", 500, 99, 600);
  set_.Load();
  EXPECT_TRUE(RunCardFileExport(set_.ctx).ok());
  EXPECT_EQ(set_.ui.questions().back().text, S("マークがされてがありません"));
  for (TreeNode* n = set_.form.tree().root(); n != nullptr; n = n->GetNext()) {
    if (!n->IsFolder() && n->text() != "unmarked") n->info().SetMark(1);
  }
  TempDir out;
  // A link of a card's name is replaced, not followed.
  TempDir elsewhere;
  std::filesystem::create_symlink(elsewhere.File("victim"), out.File("memo.txt"));
  set_.dialogs.AnswerPath(out.Path());
  ASSERT_TRUE(RunCardFileExport(set_.ctx).ok());
  std::vector<std::string> names;
  ASSERT_TRUE(env_.ListDir(out.Path(), &names).ok());
  std::set<std::string> got(names.begin(), names.end());
  EXPECT_EQ(got, (std::set<std::string>{"memo.txt", "memo(2).txt", "a／b.txt", "..／x", "...txt",
                                        "a.b／c", "sub\uFFFD／inner.txt"}));
  EXPECT_FALSE(std::filesystem::is_symlink(out.File("memo.txt")));
  EXPECT_FALSE(env_.Exists(elsewhere.File("victim")));
  std::string text;
  ASSERT_TRUE(env_.ReadFile(out.File("..／x"), &text).ok());
  EXPECT_EQ(text, "../x");
}

TEST_F(ExportTest, ExportOpensOrCopiesOnlyAfterAWholeWrite) {
  set_.Add("A", "one", 500, 1, 600, "text one");
  set_.Load();
  IniFile ini(env_, set_.folder + "quillmain.ini");
  FakeShell shell;
  FakeClipboard clipboard;
  set_.dialogs.AnswerOptions({false, false, false, 1});
  ASSERT_TRUE(RunTextExport(set_.ctx, ini, shell, clipboard).ok());
  std::string bytes;
  ASSERT_TRUE(env_.ReadFile(set_.folder + kExportFileName, &bytes).ok());
  EXPECT_EQ(bytes, "text one\r\n");
  EXPECT_EQ(shell.opened, std::vector<std::string>{"file:" + set_.folder + kExportFileName});
  EXPECT_EQ(ini.ReadInteger("Env", "OutTextNaiyou", 0), 1);

  set_.dialogs.AnswerOptions({true, false, false, 1});
  ASSERT_TRUE(RunTextExport(set_.ctx, ini, shell, clipboard).ok());
  EXPECT_EQ(clipboard.Text(), "text one\r\n");
  EXPECT_EQ(set_.dialogs.option_forms.back().naiyou, 1);  // the stored options shown

  // A short write: the old file stays, nothing is opened or copied.
  clipboard.SetText("before");
  set_.dialogs.AnswerOptions({true, false, false, 0});
  env_.SetWriteBudget(10);
  EXPECT_FALSE(RunTextExport(set_.ctx, ini, shell, clipboard).ok());
  env_.ClearFaults();
  env_.SetFreeBytes(uint64_t{1} << 40);
  EXPECT_EQ(set_.ui.questions().back().text, S("書き込みに失敗しました"));
  EXPECT_EQ(clipboard.Text(), "before");
  EXPECT_EQ(shell.opened.size(), 1u);
  ASSERT_TRUE(env_.ReadFile(set_.folder + kExportFileName, &bytes).ok());
  EXPECT_EQ(bytes, "text one\r\n");
}

// A card whose text read meets the store's fatal status ends the program
// with its message; the export file stays as it was and nothing is opened,
// copied or reported besides.
TEST_F(ExportTest, TheStoresFatalStatusEndsTheExport) {
  set_.Add("A", "one", 500, 1, 600, "text one");
  const std::string bad = set_.Add("A", "two", 500, 2, 600, "text two");
  set_.Add("A", "three", 500, 3, 600, "text three");
  set_.Load();
  ASSERT_TRUE(env_.WriteFileAtomic(set_.folder + kExportFileName, "old").ok());
  store::DamageCardId(env_, set_.folder, bad);
  IniFile ini(env_, set_.folder + "quillmain.ini");
  FakeShell shell;
  FakeClipboard clipboard;
  set_.dialogs.AnswerOptions({false, false, false, 1});
  EXPECT_EQ(RunTextExport(set_.ctx, ini, shell, clipboard).code(), Status::kFatal);
  ASSERT_EQ(set_.ui.questions().size(), 1u);
  EXPECT_EQ(set_.ui.questions()[0].text, MessageText(MessageId::kFatalRead));
  EXPECT_EQ(set_.ui.questions()[0].caption, MessageText(MessageId::kWarningCaption));
  EXPECT_EQ(set_.ui.exit_codes(), std::vector<int>{kFatalExitCode});
  EXPECT_TRUE(shell.opened.empty());
  std::string bytes;
  ASSERT_TRUE(env_.ReadFile(set_.folder + kExportFileName, &bytes).ok());
  EXPECT_EQ(bytes, "old");

  // One file per card: the files of the cards before it, none after.
  for (TreeNode* n = set_.form.tree().root(); n != nullptr; n = n->GetNext()) {
    if (!n->IsFolder()) n->info().SetMark(1);
  }
  TempDir out;
  set_.dialogs.AnswerPath(out.Path());
  EXPECT_EQ(RunCardFileExport(set_.ctx).code(), Status::kFatal);
  EXPECT_EQ(set_.ui.questions().size(), 2u);
  EXPECT_EQ(set_.ui.questions().back().text, MessageText(MessageId::kFatalRead));
  EXPECT_EQ(set_.ui.exit_codes(), (std::vector<int>{kFatalExitCode, kFatalExitCode}));
  std::vector<std::string> names;
  ASSERT_TRUE(env_.ListDir(out.Path(), &names).ok());
  EXPECT_EQ(names, std::vector<std::string>{"one.txt"});
}

TEST_F(ExportTest, ExternalSave) {
  TempDir out;
  ASSERT_TRUE(SaveCardToExternalFile(env_, set_.ui, out.Path() + "/", "tab", "a\tb\r\nc\td", true)
                  .ok());
  std::string bytes;
  ASSERT_TRUE(env_.ReadFile(out.File("tab.csv"), &bytes).ok());
  EXPECT_EQ(bytes, "a,b\r\nc,d");

  // A title that conversion would have made a path stays one file here.
  std::filesystem::create_directory(out.File("sub\uFFFD"));
  ASSERT_TRUE(
      SaveCardToExternalFile(env_, set_.ui, out.Path() + "/", "sub\x81/inner", "x", false).ok());
  EXPECT_TRUE(std::filesystem::is_regular_file(out.File("sub\uFFFD／inner.txt")));
  EXPECT_TRUE(std::filesystem::is_empty(out.File("sub\uFFFD")));

  // A link planted under the name the temporary file once had, in a
  // folder others may write to, catches nothing; the card stays private.
  TempDir elsewhere;
  std::filesystem::create_symlink(elsewhere.File("caught"), out.File("Report.txt.new"));
  ASSERT_TRUE(
      SaveCardToExternalFile(env_, set_.ui, out.Path() + "/", "Report", "card text", false).ok());
  ASSERT_TRUE(env_.ReadFile(out.File("Report.txt"), &bytes).ok());
  EXPECT_EQ(bytes, "card text");
  EXPECT_FALSE(std::filesystem::exists(elsewhere.File("caught")));
  EXPECT_EQ(std::filesystem::status(out.File("Report.txt")).permissions() &
                std::filesystem::perms::all,
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);

  env_.SetDiskFull(true);
  EXPECT_FALSE(SaveCardToExternalFile(env_, set_.ui, out.Path() + "/", "t", "x", false).ok());
  EXPECT_EQ(set_.ui.questions().back().text, S("書き込みに失敗しました"));
}

}  // namespace
}  // namespace quill
