#include "controls/text_print.h"

#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>

#include "platform/headless/fake_printer.h"
#include "platform/sjis.h"

namespace quill {
namespace {

class TextPrintTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // A4 at 96 dpi with a 5 mm unprintable strip all round.
    printer.metrics = {96, 96, 793, 1122, 19, 19, 755, 1084};
    print.SetLeftMargin(10);
    print.SetRightMargin(10);
    print.SetTopMargin(10);
    print.SetBottomMargin(10);
  }

  // What was printed, the line ends dropped.
  std::string Printed() const {
    std::string all;
    for (const auto& t : printer.canvas.texts) all += t.text;
    return all;
  }

  FakePrinter printer;
  TTextPrint print{&printer, [] { return std::make_unique<FakeTextCanvas>(); }};
};

TEST_F(TextPrintTest, PaperMetricsInMillimetres) {
  print.SetPaperSize();
  EXPECT_EQ(print.PaperWidth, 209);  // 793 px / 3.78 px per mm, truncated
  EXPECT_EQ(print.PaperHeight, 296);
  EXPECT_EQ(print.OffsetX, 5);
  EXPECT_EQ(print.PrintableWidth, 199);
  EXPECT_EQ(print.RightStrip, 209 - 199 - 5);
  EXPECT_EQ(print.BottomStrip, 296 - 5 - 286);
}

// Long lines wrap before the character that does not fit, whole
// double-byte characters only, and nothing is lost however long the line.
TEST_F(TextPrintTest, WrapsLongLinesWithoutLosingOrSplittingCharacters) {
  std::string text;
  // 12,000 bytes in one line.
  for (int i = 0; i < 6000; ++i) text += (i % 3 == 0) ? "\x93\xfa" : "ab";  // 日
  text += "\r\n\r\nend";
  print.Text = text;
  ASSERT_TRUE(print.PrintDocument("t").ok());

  const double dots_per_mm = 96 * 0.0393700787;
  const int width = static_cast<int>(199 * dots_per_mm) - static_cast<int>(10 * dots_per_mm);
  const size_t fit = static_cast<size_t>(width / 8);
  const auto& lines = printer.canvas.texts;
  std::string joined;
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i].text;
    EXPECT_LE(line.size(), fit);
    // A wrapped line is short of the area by at most the double-byte
    // character that did not fit; the last two lines end their rows.
    if (i + 2 < lines.size()) {
      EXPECT_GE(line.size() + 1, fit) << "line " << i;
    }
    EXPECT_NE(quill::SjisCharClass(line, static_cast<long>(line.size()) - 1), 1);
    joined += line;
  }
  EXPECT_EQ(joined, text.substr(0, text.size() - 7) + "end");
}

// Settings that leave no room still print every character once, a few
// per page at worst, and end.
TEST_F(TextPrintTest, DegenerateSettingsEnd) {
  struct Case {
    const char* name;
    int left, right, top, bottom, pitch;
  } cases[] = {
      {"margins over the paper", 150, 150, 200, 200, 0},
      {"narrower than a character", 104, 104, 10, 10, 0},
      {"negative line pitch", 10, 10, 10, 10, -50},
      {"nothing fits at all", 300, 300, 300, 300, -300},
      {"beyond any paper", INT_MAX, INT_MIN, INT_MIN, INT_MAX, INT_MIN},
  };
  const std::string text = "abc\x93\xfa\r\ndef\r\n";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    printer.canvas.texts.clear();
    print.SetLeftMargin(c.left);
    print.SetRightMargin(c.right);
    print.SetTopMargin(c.top);
    print.SetBottomMargin(c.bottom);
    print.LinePitch = c.pitch;
    print.Text = text;
    ASSERT_TRUE(print.PrintDocument("t").ok());
    EXPECT_EQ(Printed(), "abc\x93\xfa" "def");
    EXPECT_LE(printer.pages, 7);
    for (size_t i = 1; i < printer.canvas.texts.size(); ++i) {
      const auto& a = printer.canvas.texts[i - 1];
      const auto& b = printer.canvas.texts[i];
      EXPECT_TRUE(b.page > a.page || b.y > a.y) << "line " << i << " does not move on";
    }
  }
}

// A row of any length is split into its cells whole; a row with fewer
// cells than columns leaves the rest empty, and no column past the fiftieth
// is drawn.
TEST_F(TextPrintTest, TableRowsOfAnyLength) {
  const std::string wide(12000, 'w');
  print.ColumnCount = 60;
  print.ColumnChars.assign(60, 1);
  print.Text = wide + "\tb\tc\r\n\t\tz";
  for (int i = 0; i < 60; ++i) print.Text += "\t" + std::to_string(i);
  print.SetRightMargin(-10000);  // room for every column
  ASSERT_TRUE(print.PrintDocument("t").ok());
  const auto& cells = printer.canvas.texts;
  ASSERT_GE(cells.size(), 4u);
  EXPECT_EQ(cells[0].text, wide);
  EXPECT_EQ(cells[1].text, "b");
  EXPECT_EQ(cells[2].text, "c");
  EXPECT_EQ(cells[3].text, "z");
  EXPECT_EQ(cells.back().text, "46") << "columns 4 to 50 of the second row";
  EXPECT_EQ(cells[3].y, cells[0].y + 16);
  EXPECT_EQ(printer.canvas.frames, 100);
}

// A one-column table: the marker line is an empty row, the marker byte
// with a TAB after it a cell that holds it.
TEST_F(TextPrintTest, OneColumnTableRows) {
  print.ColumnCount = 1;
  print.ColumnChars = {4};
  print.Text = "a\r\n\xDF\r\n\xDF\t\r\nb\r\n";
  ASSERT_TRUE(print.PrintDocument("t").ok());
  const auto& cells = printer.canvas.texts;
  ASSERT_EQ(cells.size(), 3u);
  EXPECT_EQ(cells[0].text, "a");
  EXPECT_EQ(cells[1].text, "\xDF");
  EXPECT_EQ(cells[1].y, cells[0].y + 32);
  EXPECT_EQ(cells[2].text, "b");
  EXPECT_EQ(printer.canvas.frames, 4);
}

TEST_F(TextPrintTest, FailedJobsAreReported) {
  print.Text = std::string(200, 'x') + "\r\n";
  print.SetTopMargin(280);  // one line per page

  EXPECT_FALSE(print.Print().ok()) << "no job running";

  printer.fail_begin = true;
  EXPECT_FALSE(print.PrintDocument("t").ok());
  EXPECT_TRUE(printer.canvas.texts.empty());

  printer.fail_begin = false;
  printer.fail_new_page = true;
  EXPECT_FALSE(print.PrintDocument("t").ok());
  EXPECT_FALSE(printer.running) << "the job is ended after a failed page";

  printer.fail_new_page = false;
  printer.fail_end = true;
  EXPECT_FALSE(print.PrintDocument("t").ok());

  printer.fail_end = false;
  EXPECT_TRUE(print.PrintDocument("Quillbox ").ok());
  EXPECT_EQ(printer.title, "Quillbox ");
  EXPECT_GT(printer.pages, 1);
}

}  // namespace
}  // namespace quill
