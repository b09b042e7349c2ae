#include "main/exchange/transfer_file.h"

#include <gtest/gtest.h>

#include <set>

#include "controls/grid_model.h"
#include "main/exchange/duplicate.h"
#include "main/exchange/text_export.h"
#include "main/exchange/transfer_test_support.h"
#include "main/tree/marks.h"
#include "platform/ui_messages.h"
#include "store/card_test_support.h"

namespace quill {
namespace {

const std::string kSep = std::string(RecordSeparator);

class TransferTest : public ::testing::Test {
 protected:
  std::string FileIn(TestDataSet& set) {
    std::string bytes;
    EXPECT_TRUE(env_.ReadFile(set.folder + kTransferFileName, &bytes).ok());
    return bytes;
  }
  FaultEnv env_;
  TestDataSet a_{env_};
};

// A card covering every field, and one with defaults and an empty text;
// the bytes are written out by hand from the layout.
TEST_F(TransferTest, GoldenBytesWrittenFromStoreAndReadBack) {
  store::CardRecord c(a_.store);
  c.Clear();
  c.folder = "A B";
  c.title = S("題名");
  c.source = "src";
  c.one_shot_paste = 1;
  c.ctime = 0x80000001u;
  c.ctick = 0xFFFFFFFEu;
  c.utime = 1700000000u;
  c.position = 3;
  c.icon = 12;
  c.kind = 'C';
  c.two_column = true;
  c.column_widths = {7, -3, 30, 2, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 9};
  c.font_name = "Gothic";
  c.font_size = 11;
  c.font_color = 0xFF000005u;
  c.bold = c.underline = true;
  c.font_charset = 1;
  c.auto_title = true;
  c.locked = true;
  c.text = "x\r\n\r\ny\r\n";
  ASSERT_TRUE(c.Write().ok());
  store::CardRecord e(a_.store);
  e.Clear();
  e.folder = "C";
  e.title = "E";
  e.source = "";
  e.one_shot_paste = 0;
  e.ctime = 100;
  e.ctick = 200;
  e.utime = 150;
  ASSERT_TRUE(e.Write().ok());
  a_.Load();

  const std::string golden =
      "Quillbox V7.80\r\n"
      "A B\r\n" + S("題名") + "\r\nsrc\r\n1\r\n-2147483647\r\n-2\r\n1700000000\r\n3\r\n12\r\n67\r\n1\r\n"
      "7\t-3\t30\t2\t7\t7\t7\t7\t7\t7\t7\t7\t7\t7\t7\t7\t7\t7\t9\t\r\n"
      "Gothic\r\n11\r\n-16777211\r\n5\r\n1\r\n1\r\n1\r\n"
      "x\r\n\r\ny\r\n\r\n" + kSep + "\r\n"
      "C\r\nE\r\n\r\n0\r\n100\r\n200\r\n150\r\n0\r\n0\r\n0\r\n0\r\n"
      "7\t7\t7\t7\t7\t7\t7\t7\t7\t7\t7\t7\t7\t7\t7\t7\t7\t7\t7\t\r\n"
      "\r\n9\r\n0\r\n0\r\n128\r\n0\r\n0\r\n"
      "\r\n" + kSep + "\r\n";
  ASSERT_EQ(WriteTransferFile(a_.ctx, a_.folder, 1, 0, 0), 0);
  EXPECT_EQ(FileIn(a_), golden);

  // The reader fills every field back, into another data set.
  TestDataSet b(env_);
  ASSERT_TRUE(env_.WriteFileAtomic(b.folder + kTransferFileName, golden).ok());
  TransferReadResult r;
  ASSERT_EQ(ReadTransferFile(b.ctx, b.folder, 1, &r), 0);
  EXPECT_EQ(r.end, ReadEnd::kComplete);
  EXPECT_EQ(r.added, 2);
  bool found = false;
  store::CardRecord got = b.Get(c.id, &found);
  ASSERT_TRUE(found);
  EXPECT_EQ(got.folder, "A B");
  EXPECT_EQ(got.title, c.title);
  EXPECT_EQ(got.source, "src");
  EXPECT_EQ(got.one_shot_paste, 1);
  EXPECT_EQ(got.ctime, 0x80000001u);
  EXPECT_EQ(got.ctick, 0xFFFFFFFEu);
  EXPECT_EQ(got.utime, 1700000000u);
  EXPECT_EQ(got.position, 3u);
  EXPECT_EQ(got.icon, 12);
  EXPECT_EQ(got.kind, 'C');
  EXPECT_TRUE(got.two_column);
  EXPECT_EQ(got.column_widths, c.column_widths);
  EXPECT_EQ(got.font_name, "Gothic");
  EXPECT_EQ(got.font_size, 11);
  EXPECT_EQ(got.font_color, 0xFF000005u);
  EXPECT_TRUE(got.bold && got.underline && !got.italic);
  EXPECT_EQ(got.font_charset, 1);
  EXPECT_TRUE(got.auto_title);
  EXPECT_TRUE(got.locked);
  EXPECT_EQ(got.text, "x\r\n\r\ny\r\n");
  store::CardRecord empty = b.Get(e.id, &found);
  ASSERT_TRUE(found);
  EXPECT_EQ(empty.text, "");
  EXPECT_EQ(empty.folder, "C");
  EXPECT_EQ(empty.one_shot_paste, 0);
  // The folders of the incoming paths are made.
  b.Load();
  EXPECT_NE(b.Find("B"), nullptr);
  EXPECT_NE(b.Find("C"), nullptr);
}

// A one-column table, as the grid writes it, keeps its empty rows and a
// cell that is "ﾟ" through the transfer file and the text export.
TEST_F(TransferTest, AOneColumnTableKeepsItsRowsThroughTheFileAndTheExport) {
  GridModel grid;
  grid.Init();
  grid.SetRowCount(5);
  grid.SetCell(1, 1, "a");
  grid.SetCell(1, 3, "b");
  grid.SetCell(1, 4, "\xDF");
  auto rows = [](const std::string& text) {
    GridModel g;
    g.Init();
    g.ToCsv(text, 1, 1, 0);
    std::vector<std::string> cells;
    for (int r = 1; r < g.RowCount(); ++r) cells.push_back(g.Cell(1, r));
    return cells;
  };
  const std::vector<std::string> expected = {"a", "", "b", "\xDF"};
  const std::string text = grid.FromCsv(-1, 0, 0, 0);
  ASSERT_EQ(rows(text), expected);
  const std::string id = a_.Add("A", "table", 1000, 1, 1000, text);
  a_.Load();
  ASSERT_EQ(WriteTransferFile(a_.ctx, a_.folder, 1, 0, 0), 0);
  TestDataSet b(env_);
  ASSERT_TRUE(env_.WriteFileAtomic(b.folder + kTransferFileName, FileIn(a_)).ok());
  TransferReadResult r;
  ASSERT_EQ(ReadTransferFile(b.ctx, b.folder, 1, &r), 0);
  bool found = false;
  const store::CardRecord got = b.Get(id, &found);
  ASSERT_TRUE(found);
  EXPECT_EQ(rows(got.text), expected);

  // The body as exported reads back as the same table.
  FakeClock clock;
  std::string exported;
  ExportLayout(clock, {false, false, false, 1}).Append(got, &exported);
  EXPECT_EQ(rows(exported), expected);
}

TEST(TransferFormat, Headers) {
  const std::pair<const char*, int> accepted[] = {
      {"Quillbox V6.00\r\n", 0},   {"Quillbox V7.00\r\n", 0},   {"Quillbox V7.40\r\n", 740},
      {"Quillbox V7.60\r\n", 760}, {"Quillbox V7.63\r\n", 763}, {"Quillbox V7.68\r\n", 768},
      {"Quillbox V7.73\r\n", 773}, {"Quillbox V7.80\r\n", 780}};
  for (const auto& [line, version] : accepted) EXPECT_EQ(TransferVersion(line), version) << line;
  for (const char* refused : {"Quillbox V7.80", "Quillbox V7.50\r\n", "", "Quillbox V7.80\n"}) {
    EXPECT_EQ(TransferVersion(refused), -1) << refused;
  }

  // Defaults of the lines an older version lacks.
  const std::string v740 = "A\r\nt\r\ns\r\n1\r\n5\r\n6\r\n7\r\n2\r\n3\r\n1\r\n0\r\n4\t5\t\r\ntext\r\n" +
                           kSep + "\r\n";
  TransferCard c;
  TransferParser p740(v740, 740);
  ASSERT_EQ(p740.Next(&c), TransferParser::kCard);
  EXPECT_EQ(c.font_name, "");
  EXPECT_EQ(c.font_size, 9);
  EXPECT_EQ(c.charset, 128);
  EXPECT_EQ(c.auto_title, 0);
  EXPECT_EQ(c.locked, 0);
  EXPECT_EQ(c.kind, 'C');  // a table flag before V7.80
  EXPECT_EQ(c.widths, (std::vector<int8_t>{4, 5}));
  EXPECT_EQ(c.text, "text");
  EXPECT_EQ(p740.Next(&c), TransferParser::kEnd);
  // V7.60: line 10's 1 reads as a table; V6.00 has no position.
  const std::string v760 = "A\r\nt\r\ns\r\n1\r\n5\r\n6\r\n7\r\n2\r\n3\r\n1\r\n0\r\n\r\nF\r\n12\r\n"
                           "255\r\n2\r\nbody\r\n" + kSep + "\r\n";
  TransferParser p760(v760, 760);
  ASSERT_EQ(p760.Next(&c), TransferParser::kCard);
  EXPECT_EQ(c.kind, 'C');
  EXPECT_EQ(c.font_name, "F");
  EXPECT_EQ(c.charset, 128);
  TransferParser p0("A\r\nt\r\ns\r\n1\r\n5\r\n6\r\n7\r\nbody", 0);
  ASSERT_EQ(p0.Next(&c), TransferParser::kCard);
  EXPECT_FALSE(c.position.has_value());
  EXPECT_EQ(c.text, "body");
  TransferParser cut("A\r\nt\r\ns\r\n1\r\n5\r\n", 780);
  EXPECT_EQ(cut.Next(&c), TransferParser::kTruncated);
}

TEST_F(TransferTest, RefusedAndMissingFiles) {
  for (const char* bytes : {"Quillbox V7.80", "Quillbox V7.50\r\n", ""}) {
    ASSERT_TRUE(env_.WriteFileAtomic(a_.folder + kTransferFileName, bytes).ok());
    EXPECT_EQ(ReadTransferFile(a_.ctx, a_.folder, 1), 1) << bytes;
    EXPECT_EQ(a_.ui.questions().back().text, S("ファイルが異常です。"));
  }
  EXPECT_EQ(ReadTransferFile(a_.ctx, a_.folder + "none/", 1), 1);
  EXPECT_EQ(a_.ui.questions().back().text, S("ファイルがありません"));
  const size_t asked = a_.ui.questions().size();
  EXPECT_EQ(ReadTransferFile(a_.ctx, a_.folder + "none.dat", 0), 1);
  EXPECT_EQ(a_.ui.questions().size(), asked);  // a named file: no message
  EXPECT_TRUE(a_.Cards().empty());
}

// The path dialog never gives an empty folder (it would be the file
// system's root): a path of blanks is refused with a message and the
// dialog comes again; cancelled then, nothing is taken.
TEST_F(TransferTest, TheFolderPathIsNeverEmpty) {
  a_.settings.FromPath = "/before";
  for (const char* blank : {"", "   "}) a_.dialogs.AnswerPath(blank);
  a_.dialogs.AnswerPath(a_.dir.Path());
  std::string folder;
  ASSERT_EQ(AskFolderPath(a_.ctx, &folder, kPathForWrite), 0);
  EXPECT_EQ(folder, a_.folder);
  EXPECT_EQ(a_.dialogs.path_forms.size(), 3u);
  ASSERT_EQ(a_.ui.questions().size(), 2u);
  for (const FakeUi::Question& q : a_.ui.questions()) {
    EXPECT_EQ(q.text, MessageText(MessageId::kNoFolderChosen));
    EXPECT_EQ(q.caption, MessageText(MessageId::kWarningCaption));
  }
  EXPECT_EQ(a_.view.groups, std::vector<int>{kGroupFontsAndDataSet});

  a_.settings.FromPath = "/before";
  a_.dialogs.AnswerPath("");
  folder = "unchanged";
  EXPECT_EQ(AskFolderPath(a_.ctx, &folder, kPathForRead), 1);
  EXPECT_EQ(folder, "unchanged");
  EXPECT_EQ(a_.settings.FromPath, "/before");
  EXPECT_EQ(a_.ui.questions().size(), 3u);
  EXPECT_EQ(a_.view.groups.size(), 1u);
}

// The merge over a real store, one case a row.
TEST_F(TransferTest, MergeTable) {
  const std::string older = a_.Add("A", "older", 500, 1, 600);
  const std::string equal = a_.Add("A", "equal", 500, 2, 600);
  const std::string newer = a_.Add("A", "newer", 500, 3, 600);
  const std::string binned = a_.Add("A", "binned", 500, 4, 900);
  const std::string erased = a_.Add("A", "erased", 500, 5, 600);
  {
    store::CardRecord c(a_.store);
    bool found = false;
    ASSERT_TRUE(c.FindByKey("TEXT_ID", binned, false, &found).ok() && found);
    ASSERT_TRUE(c.MarkDeleted().ok());
    ASSERT_TRUE(c.Erase(erased).ok());
  }
  auto block = [](const char* title, uint32_t tick, uint32_t utime) {
    Block b;
    b.title = title;
    b.ctime = 500;
    b.ctick = tick;
    b.utime = utime;
    b.text = std::string("in ") + title;
    return b;
  };
  WriteTransfer(env_, a_.folder, a_.store,
                {block("older", 1, 599), block("equal", 2, 600), block("newer", 3, 601),
                 block("binned", 4, 100), block("erased", 5, 100), block("absent", 6, 100),
                 block("twice", 7, 100), block("twice", 7, 100)});
  TransferReadResult r;
  ASSERT_EQ(ReadTransferFile(a_.ctx, a_.folder, 1, &r), 0);
  EXPECT_EQ(r.end, ReadEnd::kComplete);
  bool found = false;
  EXPECT_EQ(a_.Get(older, &found).text, "body");
  EXPECT_EQ(a_.Get(equal, &found).text, "body");
  EXPECT_EQ(a_.Get(newer, &found).text, "in newer");
  store::CardRecord back = a_.Get(binned, &found);
  EXPECT_EQ(back.text, "in binned");
  EXPECT_EQ(back.deleted, 0);  // out of the bin
  std::multiset<std::string> titles;
  std::set<std::string> ids;
  for (const store::CardRecord& c : a_.Cards()) {
    titles.insert(c.title);
    ids.insert(c.id);
  }
  EXPECT_EQ(titles.count("erased"), 1u);  // comes in as new
  EXPECT_EQ(titles.count("absent"), 1u);
  EXPECT_EQ(titles.count("twice"), 1u);   // one card, not two with one id
  EXPECT_EQ(ids.size(), titles.size());
  EXPECT_EQ(r.added, 3);

  // AllTorikomi takes the equal card too, and is cleared after the read.
  a_.ctx.AllTorikomi = 1;
  WriteTransfer(env_, a_.folder, a_.store, {block("equal", 2, 600)});
  ASSERT_EQ(ReadTransferFile(a_.ctx, a_.folder, 1), 0);
  EXPECT_EQ(a_.Get(equal, &found).text, "in equal");
  EXPECT_EQ(a_.ctx.AllTorikomi, 0);
}

TEST_F(TransferTest, LockedCardAnswers) {
  const std::string one = a_.Add("A", "one", 500, 1, 600, "old", true);
  const std::string two = a_.Add("A", "two", 500, 2, 600, "old", true);
  const std::string three = a_.Add("A", "three", 500, 3, 600, "old", true);
  Block b1, b2, b3;
  b1.ctick = 1, b2.ctick = 2, b3.ctick = 3;
  b1.ctime = b2.ctime = b3.ctime = 500;
  b1.utime = b2.utime = b3.utime = 700;
  b1.text = b2.text = b3.text = "new";
  WriteTransfer(env_, a_.folder, a_.store, {b1, b2, b3});
  a_.dialogs.AnswerLock(kLockedUpdate);
  a_.dialogs.AnswerLock(kLockedSkip);
  a_.dialogs.AnswerLock(2);  // stop
  TransferReadResult r;
  ASSERT_EQ(ReadTransferFile(a_.ctx, a_.folder, 1, &r), 0);
  EXPECT_EQ(r.end, ReadEnd::kStoppedByUser);
  bool found = false;
  EXPECT_EQ(a_.Get(one, &found).text, "new");
  EXPECT_EQ(a_.Get(two, &found).text, "old");
  EXPECT_EQ(a_.Get(three, &found).text, "old");
  EXPECT_EQ(a_.dialogs.lock_titles.size(), 3u);
}

// Cards that the file moves to another folder, under the three after-modes.
TEST_F(TransferTest, FolderMovesUnderAfterModes) {
  struct Case {
    int after_mode;
    size_t questions;  // for cards to X, X, Y
  };
  for (const Case& k : {Case{0, 3}, Case{1, 2}, Case{2, 1}}) {
    FaultEnv env;
    TestDataSet set(env);
    std::vector<std::string> ids;
    std::vector<Block> blocks;
    const char* to[] = {"X", "X", "Y"};
    for (uint32_t i = 0; i < 3; ++i) {
      ids.push_back(set.Add("A", "c" + std::to_string(i), 500, i + 1, 600));
      Block b;
      b.folder = to[i];
      b.ctime = 500;
      b.ctick = i + 1;
      b.utime = 700;
      blocks.push_back(b);
    }
    WriteTransfer(env, set.folder, set.store, blocks);
    for (int i = 0; i < 3; ++i) set.dialogs.AnswerFolder(kFolderChange, k.after_mode);
    ASSERT_EQ(ReadTransferFile(set.ctx, set.folder, 1), 0);
    EXPECT_EQ(set.dialogs.folder_forms.size(), k.questions) << k.after_mode;
    const auto& q = set.dialogs.folder_forms.front();
    EXPECT_EQ(q.now_folder, "A");
    EXPECT_EQ(q.read_folder, "X");
    bool found = false;
    for (int i = 0; i < 3; ++i) EXPECT_EQ(set.Get(ids[i], &found).folder, to[i]);
    set.Load();
    EXPECT_NE(set.Find("Y"), nullptr);  // its folder row was made
  }
  // Keep leaves the folder; stop ends the read.
  const std::string id = a_.Add("A", "k", 500, 1, 600);
  Block b;
  b.folder = "X";
  b.ctime = 500, b.ctick = 1, b.utime = 700, b.text = "kept";
  WriteTransfer(env_, a_.folder, a_.store, {b});
  a_.dialogs.AnswerFolder(kFolderKeep);
  ASSERT_EQ(ReadTransferFile(a_.ctx, a_.folder, 1), 0);
  bool found = false;
  store::CardRecord kept = a_.Get(id, &found);
  EXPECT_EQ(kept.folder, "A");
  EXPECT_EQ(kept.text, "kept");
  b.utime = 800;
  WriteTransfer(env_, a_.folder, a_.store, {b});
  TransferReadResult r;
  ASSERT_EQ(ReadTransferFile(a_.ctx, a_.folder, 1, &r), 0);  // no answer: closed
  EXPECT_EQ(r.end, ReadEnd::kStoppedByUser);
}

// The store's fatal status on a card's text ends the program with its
// message, in a write and in a read: a write leaves the old file, a read
// stops before the card, which is neither rewritten nor taken as new.
TEST_F(TransferTest, TheStoresFatalStatusEndsTheWriteAndTheRead) {
  a_.Add("A", "one", 500, 1, 600, "old one");
  const std::string bad = a_.Add("A", "two", 500, 2, 600, "old two");
  a_.Load();
  ASSERT_TRUE(env_.WriteFileAtomic(a_.folder + kTransferFileName, "old file").ok());
  store::DamageCardId(env_, a_.folder, bad);
  EXPECT_EQ(WriteTransferFile(a_.ctx, a_.folder, 1, 0, 0), kTransferEnded);
  EXPECT_EQ(FileIn(a_), "old file");
  ASSERT_EQ(a_.ui.questions().size(), 1u);
  EXPECT_EQ(a_.ui.questions()[0].text, MessageText(MessageId::kFatalRead));
  EXPECT_EQ(a_.ui.questions()[0].caption, MessageText(MessageId::kWarningCaption));
  EXPECT_EQ(a_.ui.exit_codes(), std::vector<int>{kFatalExitCode});

  Block b1, b2;
  b1.ctime = b2.ctime = 500;
  b1.ctick = 1;
  b2.ctick = 2;
  b1.utime = b2.utime = 700;
  b1.text = b2.text = "new";
  WriteTransfer(env_, a_.folder, a_.store, {b1, b2});
  TransferReadResult r;
  ASSERT_EQ(ReadTransferFile(a_.ctx, a_.folder, 1, &r), 0);
  EXPECT_EQ(r.end, ReadEnd::kFatal);
  EXPECT_EQ(r.rewritten, 1);
  EXPECT_EQ(r.added, 0);
  EXPECT_EQ(a_.ui.questions().size(), 2u);
  EXPECT_EQ(a_.ui.questions().back().text, MessageText(MessageId::kFatalRead));
  EXPECT_EQ(a_.ui.exit_codes(), (std::vector<int>{kFatalExitCode, kFatalExitCode}));
  env_.ClearFaults();
  env_.SetFreeBytes(uint64_t{1} << 40);
  EXPECT_EQ(a_.Cards().size(), 2u);
  bool found = false;
  EXPECT_EQ(a_.Get(bad, &found).text, "old two");
}

TEST_F(TransferTest, FailedWriteKeepsTheOldFile) {
  a_.Add("A", "one", 500, 1, 600, std::string(5000, 'x'));
  a_.Load();
  const std::string old = "old transfer file";
  ASSERT_TRUE(env_.WriteFileAtomic(a_.folder + kTransferFileName, old).ok());
  for (int fault = 0; fault < 3; ++fault) {
    if (fault == 0) env_.SetWriteBudget(100);  // a short write
    if (fault == 1) env_.SetDiskFull(true);
    if (fault == 2) env_.SetFailClose(true);
    EXPECT_EQ(WriteTransferFile(a_.ctx, a_.folder, 1, 0, 0), 1) << fault;
    env_.ClearFaults();
    env_.SetFreeBytes(uint64_t{1} << 40);
    EXPECT_EQ(FileIn(a_), old) << fault;
  }
  std::vector<std::string> names;
  ASSERT_TRUE(env_.ListDir(a_.dir.Path(), &names).ok());
  for (const std::string& n : names) {
    EXPECT_FALSE(FileEnv::IsTempNameOf(n, kTransferFileName)) << n;  // no temporary file left
  }
  EXPECT_EQ(WriteTransferFile(a_.ctx, a_.folder, 1, 0, 0), 0);
  EXPECT_NE(FileIn(a_), old);
}

TEST_F(TransferTest, ReadStopsForSpaceAndRefusedWrites) {
  std::vector<Block> blocks(3);
  for (uint32_t i = 0; i < 3; ++i) blocks[i].ctick = i + 1;
  WriteTransfer(env_, a_.folder, a_.store, blocks);
  int cards_seen = 0;
  a_.view.on_process = [&] {
    if (++cards_seen == 2) env_.SetFreeBytes(1000);
  };
  TransferReadResult r;
  ASSERT_EQ(ReadTransferFile(a_.ctx, a_.folder, 1, &r), 0);
  EXPECT_EQ(r.end, ReadEnd::kNoSpace);
  EXPECT_EQ(a_.ui.questions().back().text, S("空き容量が少ないので中断します"));
  env_.SetFreeBytes(uint64_t{1} << 40);
  EXPECT_EQ(a_.Cards().size(), 1u);  // the card before stays

  // A card the store refuses ends the read with its message.
  TestDataSet b(env_);
  WriteTransfer(env_, b.folder, b.store, blocks);
  cards_seen = 0;
  b.view.on_process = [&] {
    if (++cards_seen == 2) env_.SetWriteBudget(0);
  };
  ASSERT_EQ(ReadTransferFile(b.ctx, b.folder, 1, &r), 0);
  env_.ClearFaults();
  env_.SetFreeBytes(uint64_t{1} << 40);
  EXPECT_EQ(r.end, ReadEnd::kWriteRefused);
  EXPECT_EQ(b.ui.questions().back().text.rfind(S("カードを書き込めないので中断します。"), 0), 0u);
}

TEST_F(TransferTest, TruncatedFileAndOverlongFields) {
  Block good;
  std::string bytes = std::string(kTransferHeader) + "\r\n" + good.Bytes(a_.store) + "A\r\nt\r\n";
  ASSERT_TRUE(env_.WriteFileAtomic(a_.folder + kTransferFileName, bytes).ok());
  TransferReadResult r;
  ASSERT_EQ(ReadTransferFile(a_.ctx, a_.folder, 1, &r), 0);
  EXPECT_EQ(r.end, ReadEnd::kTruncated);
  EXPECT_EQ(a_.ui.questions().back().text, S("ファイルが異常です。"));
  EXPECT_EQ(a_.Cards().size(), 1u);

  // A 100-byte path is read whole; a longer one is cut at a character
  // boundary before its folders are made; a text too long is named.
  TestDataSet b(env_);
  Block whole, longer, huge;
  whole.folder = std::string(49, 'p') + " " + std::string(50, 'q');
  longer.folder = std::string(99, 'r') + S("漢字");
  longer.ctick = 2;
  huge.ctick = 3;
  huge.title = "huge";
  huge.text.assign(store::kCardTextCapacity, 'h');
  WriteTransfer(env_, b.folder, b.store, {whole, longer, huge});
  ASSERT_EQ(ReadTransferFile(b.ctx, b.folder, 1, &r), 0);
  EXPECT_EQ(r.end, ReadEnd::kComplete);
  EXPECT_EQ(r.too_long, std::vector<std::string>{"huge"});
  std::set<std::string> folders;
  for (const store::CardRecord& c : b.Cards()) folders.insert(c.folder);
  EXPECT_EQ(folders, (std::set<std::string>{whole.folder, std::string(99, 'r')}));
  EXPECT_NE(b.ui.questions().back().text.find("huge"), std::string::npos);
}

TEST_F(TransferTest, NewIdentitiesOnAStoppedClockAreDistinct) {
  for (uint32_t i = 0; i < 3; ++i) a_.Add("A", "c", 500, i + 1, 600);
  a_.Load();
  RunMarkCommand(a_.form, MarkCommand::kSetAllMark);
  ASSERT_EQ(WriteTransferFile(a_.ctx, a_.folder, 0, 1, 0), 0);
  const std::string bytes = FileIn(a_);
  TransferParser p(std::string_view(bytes).substr(bytes.find('\n') + 1), 780);
  TransferCard c;
  std::set<std::pair<uint32_t, uint32_t>> ids;
  while (p.Next(&c) == TransferParser::kCard) {
    EXPECT_EQ(c.ctime, static_cast<uint32_t>(env_.fake_clock().Now()));
    ids.insert({c.ctime, c.ctick});
  }
  EXPECT_EQ(ids.size(), 3u);
}

TEST_F(TransferTest, DuplicateFolderAndMarkedCards) {
  const std::string one = a_.Add("A", "one", 500, 1, 600);
  a_.Add("A B", "two", 500, 2, 600);
  a_.Add("C", "three", 500, 3, 600);
  a_.Load();
  a_.ui.Answer(kResultYes);
  ASSERT_TRUE(DuplicateFolder(a_.ctx, a_.Find("A")).ok());
  std::multiset<std::string> where;
  for (const store::CardRecord& c : a_.Cards()) where.insert(c.folder + "/" + c.title);
  EXPECT_EQ(where, (std::multiset<std::string>{"A/one", "A B/two", "A'sCopy/one", "A'sCopy B/two",
                                               "C/three"}));
  bool found = false;
  EXPECT_EQ(a_.Get(one, &found).folder, "A");
  ASSERT_NE(a_.Find("A'sCopy"), nullptr);
  // A second copy finds the name taken.
  ASSERT_TRUE(DuplicateFolder(a_.ctx, a_.Find("A")).ok());
  EXPECT_EQ(a_.ui.questions().back().text, S("コピーする同名のフォルダーがあります"));

  // Marked cards land in TmpFolder.
  TreeNode* three = a_.Find("three");
  ASSERT_NE(three, nullptr);
  three->info().SetMark(1);
  a_.ui.Answer(kResultYes);
  ASSERT_TRUE(DuplicateMarkedCards(a_.ctx).ok());
  EXPECT_EQ(a_.ui.questions().back().text, S("TmpFolderに複製データを入れています"));
  size_t in_tmp = 0;
  for (const store::CardRecord& c : a_.Cards()) in_tmp += c.folder == "TmpFolder" && c.title == "three";
  EXPECT_EQ(in_tmp, 1u);
}

TEST_F(TransferTest, DuplicateAtThePathLimitChangesNothing) {
  const std::string name(95, 'n');  // with "'sCopy": 101 bytes
  a_.Add(name, "one", 500, 1, 600);
  a_.Load();
  const size_t before = a_.Cards().size();
  a_.ui.Answer(kResultYes);
  EXPECT_FALSE(DuplicateFolder(a_.ctx, a_.Find(name)).ok());
  EXPECT_EQ(a_.ui.questions().back().text, S("フォルダ名が長いです"));
  EXPECT_EQ(a_.Cards().size(), before);
  EXPECT_FALSE(env_.Exists(a_.folder + kTransferFileName));
}

}  // namespace
}  // namespace quill
