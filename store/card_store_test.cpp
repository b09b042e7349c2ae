#include "store/card_store.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <random>

#include "platform/messages.h"
#include "platform/headless/fault_env.h"
#include "platform/headless/temp_dir.h"
#include "store/card_test_support.h"
#include "platform/sjis.h"

namespace quill::store {
namespace {

// Fields of the card table row in the in-memory record and on disk.
constexpr size_t kYobi = 184;
constexpr size_t kHeaderLength = 257;
constexpr size_t kRowLength = 285;

class CardStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    env_.SetFreeBytes(uint64_t{1} << 40);
    ASSERT_TRUE(card_.Open(false, folder_).ok());
  }

  std::string File(const std::string& name) { return folder_ + name; }
  std::string ReadBytes(const std::string& name) {
    std::string data;
    EXPECT_TRUE(env_.ReadFile(File(name), &data).ok());
    return data;
  }
  int64_t Rows(RecordTable& t) {
    int64_t n = -1;
    EXPECT_TRUE(t.RowCount(&n).ok());
    t.Close();
    return n;
  }

  // Writes a new card and returns its id.
  std::string AddCard(const std::string& folder, const std::string& title,
                      const std::string& text) {
    return WriteTestCard(store_, env_.fake_clock(), folder, title, text);
  }
  void AddFolder(const std::string& path) { WriteFolderRow(store_, path); }

  TempDir dir_;
  std::string folder_ = dir_.Path() + "/";
  FaultEnv env_;
  CardStore store_{env_, folder_};
  CardRecord card_{store_};
};

// Every field of two cards, compared one by one for a readable failure.
void ExpectSameCard(const CardRecord& a, const CardRecord& b) {
  EXPECT_EQ(a.folder, b.folder);
  EXPECT_EQ(a.title, b.title);
  EXPECT_TRUE(a.text == b.text) << "text differs: " << a.text.size() << " vs " << b.text.size();
  EXPECT_EQ(a.source, b.source);
  EXPECT_EQ(a.locked, b.locked);
  EXPECT_EQ(a.one_shot_paste, b.one_shot_paste);
  EXPECT_EQ(a.ctime, b.ctime);
  EXPECT_EQ(a.ctick, b.ctick);
  EXPECT_EQ(a.utime, b.utime);
  EXPECT_EQ(a.deleted, b.deleted);
  EXPECT_EQ(a.font_name, b.font_name);
  EXPECT_EQ(a.font_color, b.font_color);
  EXPECT_EQ(a.font_charset, b.font_charset);
  EXPECT_EQ(a.font_size, b.font_size);
  EXPECT_EQ(a.kind, b.kind);
  EXPECT_EQ(a.auto_title, b.auto_title);
  EXPECT_EQ(a.column_widths, b.column_widths);
  EXPECT_EQ(a.icon, b.icon);
  EXPECT_EQ(a.id, b.id);
  EXPECT_EQ(a.position, b.position);
  EXPECT_EQ(a.two_column, b.two_column);
  EXPECT_EQ(a.bold, b.bold);
  EXPECT_EQ(a.italic, b.italic);
  EXPECT_EQ(a.underline, b.underline);
  EXPECT_TRUE(a.row_image == b.row_image);
}

// A CP932 text of n bytes: ASCII, half-width katakana, double-byte
// characters and CR LF, never a NUL.
std::string SjisText(std::mt19937& rng, size_t n) {
  std::string t;
  while (t.size() < n) {
    unsigned pick = rng() % 10;
    if (pick < 4 && t.size() + 2 <= n) {
      t.push_back(static_cast<char>(0x88 + rng() % 0x17));  // lead 0x88-0x9E
      t.push_back(static_cast<char>(0x40 + rng() % 0x3F));  // trail 0x40-0x7E
    } else if (pick < 5) {
      t.push_back(static_cast<char>(0xA1 + rng() % 0x3F));
    } else if (pick < 6 && t.size() + 2 <= n) {
      t += "\r\n";
    } else {
      t.push_back(static_cast<char>('!' + rng() % 90));
    }
  }
  return t;
}

TEST_F(CardStoreTest, ManyCardsComeBackByIdAfterReopen) {
  const size_t kLongText = 50000;
  const int kCards = 10000;
  std::mt19937 rng(7);
  std::vector<CardRecord> written;
  written.reserve(kCards);
  CardRecord c(store_);
  c.SetOpenFlag(true);
  for (int i = 0; i < kCards; ++i) {
    c.Clear();
    c.folder = "Folder" + std::to_string(i % 37) + (i % 3 ? " Sub" : "");
    c.title = "Card " + std::to_string(i);
    // Mostly short texts, every 97th up to the long limit, the first empty.
    size_t len = i == 0 ? 0 : i % 97 == 0 ? kLongText - (i % 5) * 997 : rng() % 2000;
    c.text = SjisText(rng, len);
    c.source = "src" + std::to_string(i);
    c.icon = static_cast<uint8_t>(i % 100);
    c.kind = i % 3 == 0 ? 'C' : 0;
    c.locked = i % 5 == 0;
    c.font_name = i % 4 == 0 ? "Gothic" : "";
    c.font_size = 11;
    c.position = static_cast<uint32_t>(i);
    ASSERT_TRUE(c.Write().ok()) << i;
    written.push_back(c);
    if (i % 10 == 0) env_.fake_clock().AdvanceMs(1);
  }
  ASSERT_TRUE(c.Close().ok());

  CardStore reopened(env_, "/nonexistent/");
  CardRecord r(reopened);
  ASSERT_TRUE(r.Open(true, dir_.Path()).ok());
  r.SetOpenFlag(true);
  for (const CardRecord& w : written) {
    bool found = false;
    ASSERT_TRUE(r.FindById(-1, w.id, true, &found).ok());
    ASSERT_TRUE(found) << w.id;
    ExpectSameCard(r, w);
    if (HasFailure()) break;
  }
  r.Close();
}

TEST_F(CardStoreTest, GoldenRowWrittenAndLoaded) {
  env_.fake_clock().SetNow(0x5F000000);
  env_.fake_clock().SetTick(0x00ABCDEF);
  CardRecord c(store_);
  c.Clear();
  c.folder = "Work Notes";
  c.title = "Golden";
  c.text = "body";
  c.source = "http://example.com/page";
  c.icon = 42;
  c.kind = 'C';
  c.position = 5;
  c.two_column = true;
  c.auto_title = true;
  c.locked = true;
  c.font_name = "IPAGothic";
  c.font_size = 12;
  c.font_color = 0x00112233;
  c.font_charset = 128;
  c.bold = true;
  c.underline = true;
  for (int i = 0; i < 19; ++i) c.column_widths[i] = static_cast<int8_t>(2 + i);
  ASSERT_TRUE(c.Write().ok());
  EXPECT_EQ(c.id, "5F00000000ABCDEF");

  std::string yobi(100, '\0');
  std::memcpy(&yobi[0], "http://example.com/page", 23);
  yobi[28] = 1;
  std::memcpy(&yobi[29], "   ", 3);
  yobi[32] = 5;
  yobi[36] = 42;
  std::memcpy(&yobi[37], "CSV", 3);
  yobi[40] = 'S';
  for (int i = 0; i < 19; ++i) yobi[41 + i] = static_cast<char>(2 + i);
  yobi[60] = '@';
  yobi[61] = 'f';
  yobi[62] = 12;
  std::memcpy(&yobi[63], "IPAGothic", 9);
  std::memcpy(&yobi[88], "\x33\x22\x11\x00", 4);
  yobi[92] = 5;
  yobi[93] = static_cast<char>(128);
  yobi[94] = 'A';
  yobi[95] = 'L';

  std::string file = ReadBytes("quilbo7.dat");
  ASSERT_EQ(file.size(), kHeaderLength + kRowLength + 1);
  std::string row = file.substr(kHeaderLength, kRowLength);
  std::string kubun = "Work Notes" + std::string(90, ' ');
  EXPECT_EQ(row.substr(0, 1), " ");
  EXPECT_EQ(row.substr(1, 100), kubun);
  EXPECT_EQ(row.substr(101, 52), "Golden" + std::string(46, ' '));
  EXPECT_EQ(row.substr(153, 20), "5F00000000ABCDEF    ");
  EXPECT_EQ(row.substr(173, 12), std::string("\x00\x00\x00\x5F\xEF\xCD\xAB\x00\x00\x00\x00\x5F", 12));
  EXPECT_EQ(row.substr(185, 100), yobi);

  CardRecord l(store_);
  bool found = false;
  ASSERT_TRUE(l.FindById(0, "5F00000000ABCDEF", true, &found).ok());
  ASSERT_TRUE(found);
  ExpectSameCard(l, c);
  EXPECT_EQ(l.text_guard, kTextLoaded);
}

TEST_F(CardStoreTest, OddRowBytesDecodeAndUnknownBytesSurviveARewrite) {
  AddCard("A", "t", "x");
  CardRecord c(store_);
  bool found = false;
  ASSERT_TRUE(c.FindByKey("KUBUN", "A", false, &found).ok() && found);
  std::array<char, kCardRecordSize> image = c.row_image;
  char* y = image.data() + kYobi;
  y[27] = 0x11;                              // unused
  std::memcpy(y + 84, "\x21\x22\x23\x24", 4);  // unused
  std::memcpy(y + 96, "\x31\x32\x33\x34", 4);  // unused
  y[28] = 2;                                 // not 1: not offered
  y[36] = static_cast<char>(150);            // icon out of range
  y[40] = 'x';                               // no widths stored
  y[61] = 'F';                               // own font, charset assumed
  y[93] = 77;
  std::memcpy(y + 63, "Mincho\0", 7);
  std::memcpy(y + 37, "???", 3);
  ASSERT_TRUE(store_.cards().Write(0, image.data()).ok());
  store_.cards().Close();

  ASSERT_TRUE(c.FindById(0, c.id, true, &found).ok() && found);
  EXPECT_EQ(c.one_shot_paste, 0);
  EXPECT_EQ(c.icon, 0);
  EXPECT_EQ(c.column_widths, (std::array<int8_t, 19>{7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7,
                                                       7, 7, 7, 7}));
  EXPECT_EQ(c.font_name, "Mincho");
  EXPECT_EQ(c.font_charset, 128);
  EXPECT_EQ(c.kind, 0);

  c.title = "renamed";
  ASSERT_TRUE(c.Write().ok());
  std::string row = ReadBytes("quilbo7.dat").substr(kHeaderLength + 1 + kYobi, 100);
  EXPECT_EQ(row[27], 0x11);
  EXPECT_EQ(row.substr(84, 4), "\x21\x22\x23\x24");
  EXPECT_EQ(row.substr(96, 4), "\x31\x32\x33\x34");
  EXPECT_EQ(row.substr(37, 3), "TXT");

  // A card cleared after it starts from a clean row: none of those bytes
  // (nor the colour of the font it no longer has) reach the next row.
  c.Clear();
  c.text = "new";
  ASSERT_TRUE(c.Write().ok());
  ASSERT_EQ(c.row, 1);
  row = ReadBytes("quilbo7.dat").substr(kHeaderLength + kRowLength + 1 + kYobi, 100);
  EXPECT_EQ(row[27], '\0');
  EXPECT_EQ(row.substr(84, 10), std::string(10, '\0'));
  EXPECT_EQ(row.substr(96, 4), std::string(4, '\0'));
}

TEST_F(CardStoreTest, FieldsAreCutOnCharacterBoundaries) {
  CardRecord c(store_);
  c.Clear();
  c.folder = "F";
  // 25 ASCII bytes and a double-byte character: 27 bytes, over the 26.
  c.source = std::string(25, 's') + "\x82\xA0";
  c.title = std::string(49, 't') + "\x88\x9F" + "tail";  // 55 bytes
  c.font_name = std::string(19, 'f') + "\x82\xA0";        // 21 bytes
  c.text = "x";
  ASSERT_TRUE(c.Write().ok());
  CardRecord l(store_);
  bool found = false;
  ASSERT_TRUE(l.FindById(-1, c.id, false, &found).ok() && found);
  EXPECT_EQ(l.source, std::string(25, 's'));
  EXPECT_EQ(l.title, std::string(49, 't'));
  EXPECT_EQ(l.font_name, std::string(19, 'f'));
  EXPECT_EQ(l.row_image[kYobi + 25], '\0');
  EXPECT_EQ(l.row_image[kYobi + 26], '\0');
}

TEST_F(CardStoreTest, IdsComeFromTheClockAndNeverRepeat) {
  env_.fake_clock().SetNow(1700000000);
  env_.fake_clock().SetTick(0x1234);
  CardRecord a(store_), b(store_);
  a.Clear();
  a.text = "first";
  b.Clear();
  b.text = "second";
  ASSERT_TRUE(a.Write().ok());
  ASSERT_TRUE(b.Write().ok());  // same second, same millisecond
  EXPECT_EQ(a.id, "6553F10000001234");
  EXPECT_NE(a.id, b.id);
  EXPECT_EQ(a.ctime, 1700000000u);
  EXPECT_EQ(a.utime, a.ctime);

  // A given identity is kept when it is free and moved on when taken.
  CardRecord c(store_);
  c.Clear();
  c.text = "imported";
  c.ctime = 0x100;
  c.ctick = 0x200;
  ASSERT_TRUE(c.Write().ok());
  EXPECT_EQ(c.id, "0000010000000200");
  CardRecord d(store_);
  d.Clear();
  d.text = "imported again";
  d.ctime = 0x100;
  d.ctick = 0x200;
  ASSERT_TRUE(d.Write().ok());
  EXPECT_EQ(d.id, "0000010000000201");

  std::string text;
  ASSERT_TRUE(store_.texts().Read(c.id, &text).ok());
  EXPECT_EQ(std::string(CText(text)), "imported");
}

// A pass that asks DiskSpaceOk before each card does not ask the file
// system twice: the write right after a yes takes it; the next one asks.
TEST_F(CardStoreTest, AWriteRightAfterASpaceCheckTakesItsAnswer) {
  EXPECT_TRUE(store_.DiskSpaceOk());
  env_.SetFreeBytes(10);
  CardRecord c(store_);
  c.Clear();
  c.folder = "F";
  c.text = "one";
  EXPECT_TRUE(c.Write().ok());
  c.Clear();
  c.folder = "F";
  c.text = "two";
  EXPECT_EQ(c.Write().code(), Status::kNoSpace);
  EXPECT_FALSE(store_.DiskSpaceOk());
  EXPECT_EQ(c.Write().code(), Status::kNoSpace);
}

TEST_F(CardStoreTest, WriteRefusals) {
  AddCard("F", "kept", "kept");
  const std::string before = ReadBytes("quilbo7.dat");

  env_.SetFreeBytes(500000);
  CardRecord c(store_);
  c.Clear();
  c.folder = "F";
  c.text = "needs room";
  EXPECT_EQ(c.Write(false).code(), Status::kNoSpace);
  EXPECT_EQ(ReadBytes("quilbo7.dat"), before);
  EXPECT_FALSE(store_.DiskSpaceOk());
  EXPECT_TRUE(c.Write(true).ok());
  env_.SetFreeBytes(50000);
  c.Clear();
  c.text = "x";
  EXPECT_EQ(c.Write(true).code(), Status::kNoSpace);
  env_.SetFreeBytes(uint64_t{1} << 40);
  EXPECT_TRUE(store_.DiskSpaceOk());

  const std::string now = ReadBytes("quilbo7.dat");
  c.Clear();
  EXPECT_EQ(c.Write().code(), Status::kInvalid);  // empty new card
  c.text.assign(kCardTextCapacity, 'x');
  EXPECT_EQ(c.Write().code(), Status::kInvalid);  // over the capacity
  c.text = "guarded";
  c.text_guard = 4;
  Status s = c.Write();
  EXPECT_EQ(s.code(), Status::kFatal);
  EXPECT_EQ(s.message(), MessageUtf8(MessageId::kFatalGuard));
  EXPECT_EQ(ReadBytes("quilbo7.dat"), now);
}

TEST_F(CardStoreTest, ATextThatFillsTheCapacityLoadsAndSavesAgain) {
  std::mt19937 rng(3);
  CardRecord c(store_);
  c.Clear();
  c.folder = "F";
  c.text = SjisText(rng, kCardTextCapacity - 1);  // the NUL makes it full
  ASSERT_TRUE(c.Write().ok());
  for (const char* title : {"saved again", "and once more"}) {
    SCOPED_TRACE(title);
    CardRecord l(store_);
    bool found = false;
    ASSERT_TRUE(l.FindById(c.row, c.id, true, &found).ok() && found);
    EXPECT_TRUE(l.text == c.text) << l.text.size();
    l.title = title;
    l.text.back() = 'z';
    ASSERT_TRUE(l.Write().ok());
    c.text = l.text;
  }
  CardRecord l(store_);
  bool found = false;
  ASSERT_TRUE(l.FindById(c.row, c.id, true, &found).ok() && found);
  EXPECT_TRUE(l.text == c.text);
  EXPECT_EQ(l.title, "and once more");
}

TEST_F(CardStoreTest, DefaultTitles) {
  const struct {
    std::string text, title;
  } cases[] = {
      {"  \r\n\x81\x40" "abc\r\nnext", "abc"},
      {"   \r\n \r\n", "New Text"},
      {"", "New Text"},
      {"\x1a" "after end", "New Text"},
      {std::string(39, 'a') + "\x82\xA0" "zz", std::string(39, 'a')},
      {std::string(38, 'a') + "\x82\xA0" "zz", std::string(38, 'a') + "\x82\xA0"},
      {"line one\r\nline two", "line one"},
  };
  for (const auto& c : cases) EXPECT_EQ(MakeDefaultTitle(c.text), c.title) << c.text;

  CardRecord c(store_);
  c.Clear();
  c.text = "  \r\n\x81\x40" "abc";
  ASSERT_TRUE(c.Write().ok());
  EXPECT_EQ(c.title, "abc");
}

TEST_F(CardStoreTest, BinRestoreEraseAndReorganize) {
  std::string keep = AddCard("Work", "keep", "kept text");
  std::string gone = AddCard("Work", "gone", std::string(2500, 'g'));
  ASSERT_TRUE(store_.values().Write(gone, "v1\t\xDF\t").ok());
  ASSERT_TRUE(store_.values().Write(keep, "k\t").ok());

  CardRecord c(store_);
  bool found = false;
  ASSERT_TRUE(c.FindById(-1, gone, false, &found).ok() && found);
  ASSERT_TRUE(c.MarkDeleted().ok());
  EXPECT_EQ(ReadBytes("quilbo7.dat").substr(kHeaderLength + c.row * kRowLength + 1 + kYobi + 29, 3),
            "DeL");
  std::vector<int64_t> rows;
  ASSERT_TRUE(c.FindCardsByFolder("Work", &rows).ok());
  EXPECT_EQ(rows.size(), 2u);
  ASSERT_TRUE(c.FindById(-1, gone, true, &found).ok() && found);
  EXPECT_EQ(c.deleted, 'D');
  EXPECT_EQ(c.text, std::string(2500, 'g'));

  EXPECT_TRUE(c.Restore("0000000000000000").IsNotFound());
  ASSERT_TRUE(c.Restore(gone).ok());
  ASSERT_TRUE(c.FindById(-1, gone, false, &found).ok() && found);
  EXPECT_EQ(c.deleted, 0);
  ASSERT_TRUE(c.MarkDeleted().ok());
  ASSERT_TRUE(c.FindById(-1, gone, true, &found).ok() && found);
  ASSERT_TRUE(c.Write().ok());  // a write takes it out of the bin
  ASSERT_TRUE(c.FindById(-1, gone, false, &found).ok() && found);
  EXPECT_EQ(c.deleted, 0);

  const int64_t text_rows = Rows(store_.texts().table());
  c.SetRecNo(-1);
  ASSERT_TRUE(c.Erase("0000000000000000").ok());  // not in the table: nothing
  ASSERT_TRUE(c.Erase(gone).ok());
  EXPECT_EQ(c.row, -1);
  ASSERT_TRUE(c.FindById(-1, gone, false, &found).ok());
  EXPECT_FALSE(found);
  std::string values;
  ASSERT_TRUE(store_.values().Read(gone, &values).ok());
  EXPECT_EQ(values, "");
  std::vector<int64_t> free_rows;
  ASSERT_TRUE(store_.texts().table().Search("ID", "N", 100, &free_rows).ok());
  store_.texts().Close();
  EXPECT_EQ(free_rows.size(), 3u);

  ASSERT_TRUE(c.Reorganize().ok());
  EXPECT_EQ(Rows(store_.cards()), 1);
  EXPECT_EQ(Rows(store_.texts().table()), text_rows - 3);
  ASSERT_TRUE(c.FindById(-1, keep, true, &found).ok() && found);
  EXPECT_EQ(c.text, "kept text");
  ASSERT_TRUE(store_.values().Read(keep, &values).ok());
  EXPECT_EQ(values, "k\t");

  // Erasing the last card (in row 0) and reorganizing leaves empty stores.
  ASSERT_TRUE(c.Erase(keep).ok());
  ASSERT_TRUE(c.Reorganize().ok());
  EXPECT_EQ(Rows(store_.cards()), 0);
  EXPECT_EQ(Rows(store_.texts().table()), 0);
  EXPECT_EQ(Rows(store_.values().table()), 0);
}

TEST_F(CardStoreTest, FolderRowsAreErasedAtOnce) {
  AddFolder("Work");
  CardRecord c(store_);
  bool found = false;
  ASSERT_TRUE(c.FindByKey("KUBUN", "Work", false, &found).ok() && found);
  EXPECT_TRUE(c.is_folder());
  ASSERT_TRUE(c.MarkDeleted().ok());
  std::vector<int64_t> rows;
  ASSERT_TRUE(c.FindCardsByFolder("", &rows).ok());
  EXPECT_TRUE(rows.empty());
}

TEST_F(CardStoreTest, ABrokenIndexIsRepairedWithoutLosingACard) {
  std::vector<std::string> ids;
  for (int i = 0; i < 30; ++i) {
    ids.push_back(AddCard("F" + std::to_string(i % 4), "c", "t" + std::to_string(i)));
  }
  CardRecord c(store_);
  bool found = false;
  ASSERT_TRUE(c.Erase(ids[3]).ok());
  ASSERT_TRUE(store_.Close().ok());
  std::filesystem::resize_file(File("quilbo7.ix0"), 0);

  Status s = c.Reorganize();
  ASSERT_TRUE(s.ok()) << s.ToString();
  std::vector<int64_t> rows;
  ASSERT_TRUE(c.FindCardsByFolder("", &rows).ok());
  EXPECT_EQ(rows.size(), 29u);
  for (size_t i = 0; i < ids.size(); ++i) {
    ASSERT_TRUE(c.FindById(-1, ids[i], true, &found).ok());
    EXPECT_EQ(found, i != 3);
    if (found) {
      EXPECT_EQ(c.text, "t" + std::to_string(i));
    }
  }
}

// Pages of an index that form a graph instead of a tree: the open that
// finds them rebuilds the index from its table and says so once.
TEST_F(CardStoreTest, AGraphShapedIndexFoundAtOpenIsRebuiltAndToldOnce) {
  const struct {
    const char* what;
    std::function<void(uint32_t root, uint32_t* c0, uint32_t* c1)> damage;
  } cases[] = {
      {"two parents share a leaf", [](uint32_t, uint32_t* c0, uint32_t* c1) { *c1 = *c0; }},
      {"a child is the root", [](uint32_t root, uint32_t* c0, uint32_t*) { *c0 = root; }},
  };
  std::vector<std::string> ids;
  for (int i = 0; i < 60; ++i) ids.push_back(AddCard("F", "c", "t" + std::to_string(i)));
  ASSERT_TRUE(store_.Close().ok());
  std::vector<std::vector<std::string>> told;
  store_.set_index_notice([&](const std::vector<std::string>& files) { told.push_back(files); });
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    told.clear();
    DamageIndexRoot(File("quilbo7.ix1"), c.damage);
    ASSERT_TRUE(card_.Open(false, folder_).ok());
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0], std::vector<std::string>{File("quilbo7.ix1")});
    for (size_t i = 0; i < ids.size(); ++i) {
      bool found = false;
      ASSERT_TRUE(card_.FindById(-1, ids[i], true, &found).ok());
      ASSERT_TRUE(found) << i;
      EXPECT_EQ(card_.text, "t" + std::to_string(i));
    }
    ASSERT_TRUE(store_.Close().ok());
    ASSERT_TRUE(card_.Open(false, folder_).ok());  // nothing more to tell
    EXPECT_EQ(told.size(), 1u);
    ASSERT_TRUE(store_.Close().ok());
  }
}

TEST_F(CardStoreTest, AStoreThatDoesNotOpenIsReportedAndLeftAlone) {
  AddCard("F", "c", "t");
  ASSERT_TRUE(store_.Close().ok());
  const std::string dat = ReadBytes("quilbo7.dat");

  env_.FailOpen(File("quilbo7.dat"));
  for (bool probe : {true, false}) {
    Status s = card_.Open(probe, folder_);
    EXPECT_FALSE(s.ok());
    EXPECT_FALSE(s.IsNotFound()) << s.ToString();
  }
  env_.ClearFailOpen();
  EXPECT_EQ(ReadBytes("quilbo7.dat"), dat);

  // A short header is no better.
  ASSERT_TRUE(env_.WriteFileAtomic(File("quilbo7.dat"), dat.substr(0, 20)).ok());
  Status s = card_.Open(false, folder_);
  EXPECT_FALSE(s.ok());
  EXPECT_FALSE(s.IsNotFound());
  EXPECT_EQ(ReadBytes("quilbo7.dat"), dat.substr(0, 20));

  // So is an unreadable text store behind a good card table.
  ASSERT_TRUE(env_.WriteFileAtomic(File("quilbo7.dat"), dat).ok());
  const std::string tx = ReadBytes("quilbo7.tx");
  env_.FailOpen(File("quilbo7.tx"));
  s = card_.Open(false, folder_);
  EXPECT_FALSE(s.ok());
  EXPECT_FALSE(s.IsNotFound());
  env_.ClearFailOpen();
  EXPECT_EQ(ReadBytes("quilbo7.tx"), tx);
}

TEST_F(CardStoreTest, ProbeCreatesNothingAndCreateMakesThreeStores) {
  TempDir other;
  CardStore s(env_, "/unused/");
  CardRecord c(s);
  EXPECT_TRUE(c.Open(true, other.Path()).IsNotFound());
  EXPECT_EQ(c.GetDataPath(), other.Path() + "/");
  EXPECT_TRUE(std::filesystem::is_empty(other.Path()));
  ASSERT_TRUE(c.Open(false, other.Path()).ok());
  for (const char* name : {"quilbo7.dat", "quilbo7.ix0", "quilbo7.ix1", "quilbo7.tx",
                           "quilbo7.itx", "quilbo7.hdt", "quilbo7.hid"}) {
    EXPECT_TRUE(std::filesystem::exists(other.File(name))) << name;
  }
  EXPECT_TRUE(c.Open(true, other.Path()).ok());
}

TEST_F(CardStoreTest, FolderSearchMatchesByPrefix) {
  AddFolder("Work");
  AddCard("Work", "w", "");
  AddFolder("Work Notes");
  AddCard("Work Notes", "n", "");
  AddFolder("Workshop");
  AddFolder("Home");
  // Two folders of exactly 100 bytes, differing only in their last byte.
  const std::string p100 = std::string(95, 'p') + " Deep";
  const std::string q100 = std::string(95, 'p') + " Deeq";
  AddFolder(p100);
  AddCard(p100, "d", "");
  AddFolder(q100);

  const struct {
    std::string path;
    size_t rows;
  } cases[] = {
      {"", 9},
      {"Work", 5},         // itself, its sub-folder, and Workshop
      {"Work ", 4},        // itself and its sub-folder
      {"Work Notes", 2},
      {"Home", 1},
      {p100, 2},           // exactly its own rows
      {p100 + " ", 2},     // as for any other folder: itself, no child fits
      {p100 + " Child", 0},
      {p100 + "x", 0},
  };
  CardRecord c(store_);
  for (const auto& k : cases) {
    std::vector<int64_t> rows;
    ASSERT_TRUE(c.FindCardsByFolder(k.path, &rows).ok());
    EXPECT_EQ(rows.size(), k.rows) << "[" << k.path << "]";
  }
}

// While a session writes, the folder index answers from memory, kept from
// one open of the card table to the next. Its answers are the file's (cards
// moved between folders come first among their new folder's rows, as the
// index file puts them), and once the session is over a change made by
// another store is seen.
TEST_F(CardStoreTest, ListingsFromMemoryAreTheFilesAndNeverStale) {
  const std::vector<std::string> folders = {"A", "A B", "B", ""};
  std::vector<std::string> ids;
  for (int i = 0; i < 24; ++i) ids.push_back(AddCard(i % 2 ? "A" : "B", "c", "t"));
  for (int i : {3, 10, 17, 4}) {
    CardRecord c(store_);
    bool found = false;
    ASSERT_TRUE(c.FindById(-1, ids[i], false, &found).ok() && found);
    c.folder = i == 4 ? "A B" : "A";
    ASSERT_TRUE(c.Write().ok());
  }
  auto listings = [&](CardStore& store) {
    std::vector<std::vector<int64_t>> out;
    for (const std::string& f : folders) {
      CardRecord c(store);  // each listing opens and closes the card table
      out.emplace_back();
      EXPECT_TRUE(c.FindCardsByFolder(f, &out.back()).ok());
    }
    return out;
  };
  const auto from_memory = listings(store_);
  ASSERT_TRUE(store_.Close().ok());
  {
    CardStore other(env_, folder_);
    ASSERT_TRUE(other.Open(false, folder_).ok());
    EXPECT_EQ(listings(other), from_memory);
    WriteTestCard(other, env_.fake_clock(), "A", "new", "t");
    ASSERT_TRUE(other.Close().ok());
  }
  std::vector<int64_t> rows;
  ASSERT_TRUE(card_.FindCardsByFolder("A", &rows).ok());
  EXPECT_EQ(rows.size(), from_memory[0].size() + 1);
}

TEST_F(CardStoreTest, TreeFileListsEachFolderOnceWithCrLf) {
  AddFolder("A");
  AddCard("A", "a", "");
  AddFolder("A B");
  AddFolder("A B C");
  std::string binned = AddCard("Z", "z", "");
  CardRecord c(store_);
  bool found = false;
  ASSERT_TRUE(c.FindById(-1, binned, false, &found).ok() && found);
  ASSERT_TRUE(c.MarkDeleted().ok());

  ASSERT_TRUE(store_.EnsureTreeFile().ok());
  EXPECT_EQ(ReadBytes("quilbo7.tre"), "A\r\nA B\r\nA B C\r\n");
  ASSERT_TRUE(env_.WriteFileAtomic(File("quilbo7.tre"), "kept").ok());
  ASSERT_TRUE(store_.EnsureTreeFile().ok());
  EXPECT_EQ(ReadBytes("quilbo7.tre"), "kept");
}

TEST_F(CardStoreTest, ListingsHaveNoRowLimit) {
  const int kFolders = 20005;
  CardRecord c(store_);
  c.SetOpenFlag(true);
  std::string expected;
  for (int i = 0; i < kFolders; ++i) {
    char path[16];
    std::snprintf(path, sizeof path, "F%05d", i);
    c.Clear();
    c.folder = path;
    c.title = std::string(FolderMarkerTitle);
    ASSERT_TRUE(c.Write().ok());
    expected += std::string(path) + "\r\n";
  }
  std::vector<int64_t> rows;
  ASSERT_TRUE(c.FindCardsByFolder("", &rows).ok());
  EXPECT_EQ(rows.size(), static_cast<size_t>(kFolders));
  ASSERT_TRUE(c.Close().ok());
  ASSERT_TRUE(store_.RebuildTreeFile().ok());
  EXPECT_TRUE(ReadBytes("quilbo7.tre") == expected);
}

}  // namespace
}  // namespace quill::store
