#include "clip/clip_history.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/headless/fake_clipboard.h"
#include "platform/headless/fault_env.h"
#include "platform/headless/temp_dir.h"
#include "platform/headless/test_files.h"

namespace quill {
namespace {

const std::string kSep = kRecordSeparator;

TEST(ClipHistoryTest, NewTextsGoFirstRepeatsMoveUpAndTheTwentyFirstDropsTheOldest) {
  ClipHistory h;
  for (int i = 0; i < 20; ++i) h.Add("text " + std::to_string(i));
  EXPECT_EQ(h.HistoryTexts[0], "text 19");
  EXPECT_EQ(h.HistoryTexts[19], "text 0");

  h.Add("text 5");  // a repeat: one entry, now the first, the others in order
  EXPECT_EQ(h.HistoryTexts[0], "text 5");
  EXPECT_EQ(h.HistoryTitles[0], "text 5");
  EXPECT_EQ(h.HistoryTexts[1], "text 19");
  EXPECT_EQ(h.HistoryTexts[14], "text 6");
  EXPECT_EQ(h.HistoryTexts[15], "text 4");
  EXPECT_EQ(h.HistoryTexts[19], "text 0");

  h.Add("  \x81\x40second line first\r\nmore");  // the 21st different text
  EXPECT_EQ(h.HistoryTitles[0], "second line first");
  EXPECT_EQ(h.HistoryTexts[19], "text 1");
  EXPECT_EQ(h.HistoryTitles[19], "text 1");
}

TEST(ClipHistoryTest, CapturesOnlyWhenTheClipboardHoldsText) {
  FakeClipboard clipboard;
  ClipHistory h;
  EXPECT_FALSE(h.CaptureFrom(clipboard));
  EXPECT_EQ(h.HistoryTexts[0], "");
  // Japanese UTF-8 with LF on the desktop becomes CP932 with CR LF.
  clipboard.OtherSetsUtf8("\xe6\x97\xa5\xe6\x9c\xac\nx");
  EXPECT_TRUE(h.CaptureFrom(clipboard));
  EXPECT_EQ(h.HistoryTexts[0], "\x93\xfa\x96\x7b\r\nx");
  EXPECT_EQ(h.HistoryTitles[0], "\x93\xfa\x96\x7b");
}

TEST(ClipHistoryTest, FileLeavesOutTextsItCouldNotReadBack) {
  ClipHistory h;
  h.Add("after");
  h.Add(std::string(64001, 'b'));
  h.Add(std::string(64000, 'a'));
  h.Add("one\r\n" + kSep + "\r\ntwo");  // would split in two on reading
  h.Add("first");

  ClipHistory back;
  back.Parse(h.Serialize());
  EXPECT_EQ(back.HistoryTexts[0], "first");
  EXPECT_EQ(back.HistoryTexts[1], std::string(64000, 'a'));
  EXPECT_EQ(back.HistoryTexts[2], "after");
  EXPECT_EQ(back.HistoryTexts[3], "");
}

TEST(ClipHistoryTest, FileRoundTripIsByteExact) {
  // Written by hand from the record layout: a text with blank lines, an
  // empty text, a text that ends with a line break; the unused entries
  // follow as empty records.
  std::string bytes = "line 1\r\nline 1\r\n\r\nline 3\r\n" + kSep + "\r\n" +
                      "\r\n\r\n" + kSep + "\r\n" +
                      "\x93\xfa\r\n\x93\xfa\x96\x7b\r\n\r\n" + kSep + "\r\n";
  for (int i = 3; i < 20; ++i) bytes += "\r\n\r\n" + kSep + "\r\n";

  ClipHistory h;
  h.Parse(bytes);
  EXPECT_EQ(h.HistoryTitles[0], "line 1");
  EXPECT_EQ(h.HistoryTexts[0], "line 1\r\n\r\nline 3");
  EXPECT_EQ(h.HistoryTexts[1], "");
  EXPECT_EQ(h.HistoryTitles[2], "\x93\xfa");
  EXPECT_EQ(h.HistoryTexts[2], "\x93\xfa\x96\x7b\r\n");
  EXPECT_EQ(h.Serialize(), bytes);
}

// Reading a file: a title line keeps at most 699 bytes, never half a
// double-byte character, and the rest of the line starts the text; a CR
// alone ends a line as an LF alone and CR LF do.
TEST(ClipHistoryTest, ReadingCutsLongTitlesOnACharacterAndEndsLinesAtACrAlone) {
  struct Case {
    std::string file;
    std::string title;
    std::string text;
  } cases[] = {
      {std::string(699, 'T') + "\r\nx\r\n" + kSep + "\r\n", std::string(699, 'T'), "x"},
      {std::string(700, 'T') + "\r\nx\r\n" + kSep + "\r\n", std::string(699, 'T'),
       "T\r\nx"},
      // A double-byte character over bytes 698 and 699 goes to the text.
      {std::string(698, 'T') + "\x93\xfa" + "U\r\n" + kSep + "\r\n", std::string(698, 'T'),
       "\x93\xfaU"},
      {"title\rone\rtwo\nthree\r\n" + kSep + "\rnext\r\n", "title", "one\r\ntwo\r\nthree"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file.substr(0, 20));
    ClipHistory h;
    h.Parse(c.file);
    EXPECT_EQ(h.HistoryTitles[0], c.title);
    EXPECT_EQ(h.HistoryTexts[0], c.text);
  }
  ClipHistory h;
  h.Parse(cases[3].file);
  EXPECT_EQ(h.HistoryTitles[1], "next");
  // A text whose CR alone would end a record before the separator is not
  // written.
  EXPECT_FALSE(ClipHistory::Savable("a\r" + kSep + "\rb"));
  EXPECT_TRUE(ClipHistory::Savable("a\rb"));
}

TEST(ClipHistoryTest, LoadAndSaveInTheProgramFolder) {
  TempDir dir;
  FaultEnv env;
  const std::string path = dir.File(kClipHistoryFileName);
  ClipHistory h;
  h.Add("old");
  ASSERT_TRUE(h.Save(env, path).ok());
  const std::string old_bytes = ReadAll(path);

  // A full disk keeps the old file whole.
  h.Add("new");
  env.SetDiskFull(true);
  EXPECT_FALSE(h.Save(env, path).ok());
  env.SetDiskFull(false);
  EXPECT_EQ(ReadAll(path), old_bytes);

  ClipHistory loaded;
  loaded.Load(env, path, /*clip_save=*/true);
  EXPECT_EQ(loaded.HistoryTexts[0], "old");

  // A missing file leaves the history as it is.
  ClipHistory none;
  none.Load(env, dir.File("missing.his"), true);
  EXPECT_EQ(none.HistoryTexts[0], "");

  // With ClipSave off the file goes and nothing is read.
  ClipHistory off;
  off.Load(env, path, /*clip_save=*/false);
  EXPECT_EQ(off.HistoryTexts[0], "");
  EXPECT_FALSE(env.Exists(path));
}

TEST(ClipHistoryTest, LinkInPlaceOfTheFileIsNeitherReadNorWrittenThrough) {
  TempDir dir, outside;
  FaultEnv env;
  const std::string path = dir.File(kClipHistoryFileName);
  const std::string elsewhere = outside.File("collected");
  PlantLink(elsewhere, path);
  ClipHistory h;
  h.Add("secret");
  Status s = h.Save(env, path);
  EXPECT_EQ(s.code(), Status::kPermission);
  EXPECT_NE(s.message().find(path), std::string::npos) << s.message();
  EXPECT_FALSE(env.Exists(elsewhere));

  ClipHistory other;
  other.Add("old");
  ASSERT_TRUE(other.Save(env, elsewhere).ok());
  ClipHistory loaded;
  loaded.Load(env, path, /*clip_save=*/true);
  EXPECT_EQ(loaded.HistoryTexts[0], "");
}

}  // namespace
}  // namespace quill
