// The text printer on a PDF printer, read back with pdftotext and pdfinfo.
// Expected positions come from the layout rules (millimetres times dots
// per millimetre, truncated) with the printer's metrics and QFontMetrics.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QPageLayout>
#include <QPrinter>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "controls/text_print.h"
#include "platform/qt/test_app.h"
#include "controls/ui/pdf_test_support.h"
#include "controls/ui/qt_printer_device.h"
#include "controls/ui/qt_text_canvas.h"
#include "platform/headless/temp_dir.h"
#include "platform/qt/cp932_text.h"

namespace quill {
namespace {

constexpr double kDotsPerInchToMm = 0.0393700787;

struct Settings {
  std::string text{};  // CP932
  int left = 15, right = 15, top = 20, bottom = 20;
  int pitch = 0;
  int font = 12;
  int columns = 0;
  std::vector<int> chars{};
  QSizeF paper_mm{};  // empty: A4
};

// The page as the layout rules lay it out.
struct Geometry {
  int dpi = 0;
  int paper_w = 0, paper_h = 0, off_x = 0, off_y = 0, page_w = 0, page_h = 0;  // mm
  int page_left = 0, page_top = 0;  // printable origin on the paper, px
  int left = 0, top = 0, right = 0;  // text area from the printable origin, px
  int one_mm = 0;
  int line = 0;  // printer line height
  int measure_width = 0, measure_height = 0, measure_line = 0;
  QFontMetrics screen{QFont()};
  QFontMetrics paper{QFont()};

  // The largest number of leading characters of text that fits the
  // measuring width (at least one).
  int Fit(const QString& text) const {
    int n = 1;
    while (n < text.size() && screen.horizontalAdvance(text.left(n + 1)) <= measure_width) ++n;
    return n;
  }
  // Left edge of table column i, px from the text area's left.
  int CellLeft(const Settings& s, int i) const {
    int x = 0;
    for (int j = 0; j < i; ++j) x += CellWidth(s, j, x) + 2;
    return x;
  }
  int CellWidth(const Settings& s, int j, int x) const {
    QString sample;
    for (int c = 0; c < s.chars[static_cast<size_t>(j)]; ++c) sample += QString::fromUtf8("樹");
    return std::min(left + x + paper.horizontalAdvance(sample), right) - (left + x);
  }
};

QFont PrintFont(int points) {
  QFont font("IPAGothic");
  font.setFixedPitch(true);
  font.setStyleHint(QFont::TypeWriter);
  if (points > 0) font.setPointSize(points);
  return font;
}

// A text expected at a line of a page; column -1 for plain text.
struct Expected {
  QString text;
  int page;
  int line;
  int column = -1;
};

struct Case {
  const char* name;
  Settings settings;
  int pages = 1;
  std::vector<Expected> words{};
  // For a case whose words follow from the geometry.
  std::function<std::vector<Expected>(const Geometry&, const Settings&)> make_words{};
};

class TextPrintPdfTest : public ::testing::Test, protected PdfPrinter {
 protected:
  static void SetUpTestSuite() { TestApp(); }

  void Configure(const Settings& s) {
    if (s.paper_mm.isEmpty()) {
      printer.setPageSize(QPageSize(QPageSize::A4));
    } else {
      printer.setPageSize(QPageSize(s.paper_mm, QPageSize::Millimeter));
    }
    printer.setPageOrientation(QPageLayout::Portrait);
    printer.setPageMargins(QMarginsF(5, 7, 5, 7), QPageLayout::Millimeter);
    print.Text = s.text;
    print.SetLeftMargin(s.left);
    print.SetRightMargin(s.right);
    print.SetTopMargin(s.top);
    print.SetBottomMargin(s.bottom);
    print.LinePitch = s.pitch;
    print.SetFontSize(s.font);
    print.FontName = "IPAGothic";
    print.ColumnCount = s.columns;
    print.ColumnChars = s.chars;
  }

  Geometry Expect(const Settings& s) const {
    Geometry g;
    const QRect paper = printer.paperRect(QPrinter::DevicePixel).toRect();
    const QRect page = printer.pageRect(QPrinter::DevicePixel).toRect();
    g.dpi = printer.logicalDpiX();
    const double p = g.dpi * kDotsPerInchToMm;
    const double sc = 96 * kDotsPerInchToMm;  // the offscreen screen
    auto mm = [p](int px) { return static_cast<int>(px / p); };
    auto px = [](int mm_, double d) { return static_cast<int>(mm_ * d); };
    const int paper_w = g.paper_w = mm(paper.width());
    const int paper_h = g.paper_h = mm(paper.height());
    const int off_x = g.off_x = mm(page.left());
    const int off_y = g.off_y = mm(page.top());
    g.page_w = mm(page.width());
    g.page_h = mm(page.height());
    g.page_left = page.left();
    g.page_top = page.top();
    g.left = px(s.left - off_x, p);
    g.top = px(s.top - off_y, p);
    g.right = px(paper_w - s.right - off_x, p);
    g.one_mm = px(1, p);
    g.measure_width = px(paper_w - s.right, sc) - px(s.left, sc);
    g.measure_height = px(paper_h - s.bottom, sc) - px(s.top, sc);
    QImage screen(1, 1, QImage::Format_RGB32);
    screen.setDotsPerMeterX(qRound(96 / 0.0254));
    screen.setDotsPerMeterY(qRound(96 / 0.0254));
    g.screen = QFontMetrics(PrintFont(s.font), &screen);
    g.paper = QFontMetrics(PrintFont(s.font), const_cast<QPrinter*>(&printer));
    g.line = g.paper.height() + px(s.pitch, p);
    g.measure_line = g.screen.height() + px(s.pitch, sc);
    return g;
  }

  std::vector<PdfWord> Words() const { return PdfWords(pdf); }
  QString Info(const QString& key) const { return PdfInfo(pdf, key); }

  // The preview of the settings at 96 dpi.
  QImage PreviewOf(const Settings& s) {
    Configure(s);
    QtImageCanvas canvas(96, 96);
    print.Preview(canvas);
    return canvas.Image();
  }
  // Millimetres on the preview.
  static int PreviewPx(int mm) { return static_cast<int>(mm * 96 * kDotsPerInchToMm); }

  QtPrinterDevice device{&printer};
  TTextPrint print{&device, MakeScreenCanvas};
};

QString Utf8(const char* s) { return QString::fromUtf8(s); }

TEST_F(TextPrintPdfTest, PrintsWhereTheLayoutRulesSay) {
  std::vector<Case> cases = {
      {.name = "three lines, the middle one empty",
       .settings = {.text = "one\r\n\r\nthree\r\n"},
       .pages = 1,
       .words = {{"one", 0, 0}, {"three", 0, 2}}},
      {.name = "line pitch 2 mm",
       .settings = {.text = "p0\r\np1\r\np2", .pitch = 2},
       .pages = 1,
       .words = {{"p0", 0, 0}, {"p1", 0, 1}, {"p2", 0, 2}}},
      {.name = "a wrap before the character that does not fit",
       // 59 mm of paper less 15 mm of margin: about twenty half-width
       // characters, so the line breaks before or inside 日本語.
       .settings = {.text = "aaaaaaaaaaaaaaaaaa\x93\xfa\x96\x7b\x8c\xea", .right = 150},
       .pages = 1,
       .make_words =
           [](const Geometry& g, const Settings&) {
             const QString text = Utf8("aaaaaaaaaaaaaaaaaa日本語");
             const int fit = g.Fit(text);
             EXPECT_GT(fit, 17);
             EXPECT_LT(fit, text.size()) << "the line must wrap";
             return std::vector<Expected>{{text.left(fit), 0, 0}, {text.mid(fit), 0, 1}};
           }},
      {.name = "a page break where the measuring canvas says",
       .settings = {.text = "L0\r\nL1\r\nL2\r\nL3\r\nL4\r\nL5\r\nL6\r\nL7\r\nL8\r\nL9\r\n",
                    .bottom = 250},
       .pages = 2,
       .make_words =
           [](const Geometry& g, const Settings&) {
             const int per_page = g.measure_height / g.measure_line;
             EXPECT_GT(per_page, 4);
             EXPECT_LT(per_page, 10);
             std::vector<Expected> words;
             for (int i = 0; i < 10; ++i) {
               words.push_back({QString("L%1").arg(i), i / per_page, i % per_page});
             }
             return words;
           }},
      {.name = "an empty text", .settings = {.text = ""}, .pages = 1},
      {.name = "empty cells keep their column",
       .settings = {.text = "\tb1\tc1\r\na2\t\tc2\r\n", .columns = 3, .chars = {4, 4, 4}},
       .pages = 1,
       .words = {{"b1", 0, 0, 1}, {"c1", 0, 0, 2}, {"a2", 0, 1, 0}, {"c2", 0, 1, 2}}},
      {.name = "the cell across the right edge is cut, the ones after it are not drawn",
       .settings = {.text = "a\tb\tc\r\n", .right = 110, .columns = 3, .chars = {10, 10, 10}},
       .pages = 1,
       .make_words =
           [](const Geometry& g, const Settings& s) {
             const int second = g.CellLeft(s, 1);
             EXPECT_EQ(g.left + second + g.CellWidth(s, 1, second), g.right);
             EXPECT_LT(g.CellWidth(s, 1, second), g.CellWidth(s, 0, 0)) << "the second cell is cut";
             return std::vector<Expected>{{"a", 0, 0, 0}, {"b", 0, 0, 1}};
           }},
  };
  // Sixty grid columns: the first fifty are printed.
  Case wide{.name = "sixty columns print fifty",
            .settings = {.left = 10, .right = 10, .font = 5, .columns = 60,
                         .paper_mm = QSizeF(500, 100)},
            .pages = 1};
  for (int i = 0; i < 60; ++i) {
    wide.settings.text += (i ? "\t" : "") + QString("c%1").arg(i).toStdString();
    wide.settings.chars.push_back(3);
    if (i < 50) wide.words.push_back({QString("c%1").arg(i), 0, 0, i});
  }
  cases.push_back(wide);

  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Configure(c.settings);
    ASSERT_TRUE(print.PrintDocument("Quillbox ").ok());
    const Geometry g = Expect(c.settings);
    const std::vector<Expected> expected = c.make_words ? c.make_words(g, c.settings) : c.words;

    EXPECT_EQ(Info("Title"), "Quillbox ");
    EXPECT_EQ(Info("Pages").toInt(), c.pages);

    const std::vector<PdfWord> words = Words();
    EXPECT_EQ(words.size(), expected.size());
    const double pt = 72.0 / g.dpi;
    for (const Expected& e : expected) {
      SCOPED_TRACE(e.text.toStdString());
      auto w = std::find_if(words.begin(), words.end(), [&](const PdfWord& o) { return o.text == e.text; });
      ASSERT_NE(w, words.end());
      EXPECT_EQ(w->page, e.page);
      const int x = e.column < 0 ? g.left : g.left + g.CellLeft(c.settings, e.column) + g.one_mm;
      EXPECT_NEAR(w->x, (g.page_left + x) * pt, 0.5);
      EXPECT_NEAR(w->y, (g.page_top + g.top + e.line * g.line) * pt, 0.5);
    }

    // The same lines and page breaks as plain text.
    if (c.settings.columns == 0) {
      QStringList pages(c.pages, QString());
      for (const Expected& e : expected) pages[e.page] += e.text + "\n";
      QStringList printed;
      for (const QString& page : PdfText(pdf, /*layout=*/true).split('\f')) {
        QString lines;
        for (const QString& line : page.split('\n')) {
          if (!line.trimmed().isEmpty()) lines += line.trimmed() + "\n";
        }
        printed << lines;
      }
      EXPECT_EQ(printed.join('\f').toStdString(), (pages.join('\f') + '\f').toStdString());
    }
  }
}

// Settings that leave no room end after a bounded number of pages: at
// most one per character.
TEST_F(TextPrintPdfTest, DegenerateSettingsEnd) {
  struct {
    const char* name;
    Settings settings;
    int pages;
  } cases[] = {
      {"font size 0", {.text = "abc\r\ndef", .font = 0}, 1},
      {"margins over the paper",
       {.text = "abc\r\ndef", .left = 150, .right = 150, .top = 200, .bottom = 200}, 6},
      {"an area narrower than a character", {.text = "abc\r\ndef", .left = 104, .right = 104}, 1},
      {"a negative line pitch", {.text = "abc\r\ndef", .pitch = -50}, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Configure(c.settings);
    ASSERT_TRUE(print.PrintDocument("Quillbox ").ok());
    EXPECT_EQ(Info("Pages").toInt(), c.pages);
  }
}

TEST_F(TextPrintPdfTest, AJobThatCannotBeginFails) {
  printer.setOutputFileName(QString::fromStdString(dir.File("missing/out.pdf")));
  print.Text = "a";
  EXPECT_FALSE(print.PrintDocument("Quillbox ").ok());
  EXPECT_EQ(device.Canvas(), nullptr);
}

// A job that fails, whether it cannot begin for want of a file or for a
// folder that is not there, leaves the printer as it was: a file chosen
// afterwards (as the printer setup dialog does) is taken, and the next job
// prints into it.
TEST_F(TextPrintPdfTest, AFailedJobLeavesThePrinterUsable) {
  print.Text = "after";
  for (const std::string& first : {std::string(), dir.File("missing/out.pdf")}) {
    SCOPED_TRACE("first job into '" + first + "'");
    std::remove(pdf.c_str());
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(first));
    printer.setOutputFormat(QPrinter::PdfFormat);
    EXPECT_FALSE(print.PrintDocument("Quillbox ").ok());
    EXPECT_NE(printer.printerState(), QPrinter::Active);
    printer.setOutputFileName(QString::fromStdString(pdf));
    EXPECT_EQ(printer.outputFileName().toStdString(), pdf);
    ASSERT_TRUE(print.PrintDocument("Quillbox ").ok());
    EXPECT_EQ(PdfText(pdf).trimmed(), "after");
  }
}

// A printed file is the user's alone (0600, or the stricter mode of the
// file it replaces), like every file the program writes, and replaces the
// old one whole: a file of that name that others could read is replaced, a
// link of that name is replaced and not followed, and no temporary file is
// left beside it.
TEST_F(TextPrintPdfTest, APrintedFileIsPrivateAndReplacedWhole) {
  print.Text = "mode";
  const std::string other = dir.File("other.txt");
  std::ofstream(other) << "elsewhere";
  const struct {
    const char* what;
    mode_t old_mode;  // 0: a link to the other file
    mode_t mode;
  } cases[] = {
      {"none", 0777, 0600},  // no file before
      {"a file others could read", 0644, 0600},
      {"a file stricter than 0600", 0400, 0400},
      {"a link", 0, 0600},
  };
  struct stat st;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::remove(pdf.c_str());
    if (c.old_mode == 0) {
      ASSERT_EQ(::symlink(other.c_str(), pdf.c_str()), 0);
    } else if (c.old_mode != 0777) {
      std::ofstream(pdf) << "old";
      ::chmod(pdf.c_str(), c.old_mode);
    }
    ASSERT_TRUE(print.PrintDocument("Quillbox ").ok());
    ASSERT_EQ(::lstat(pdf.c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(st.st_mode & 07777, c.mode);
    EXPECT_EQ(PdfText(pdf).trimmed(), "mode");
  }
  std::ifstream kept(other);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "elsewhere");
  EXPECT_EQ(QDir(QString::fromStdString(dir.Path())).entryList(QDir::Files | QDir::Hidden),
            QStringList({"other.txt", "out.pdf"}));
}

// The preview: the paper in white, the printable area in yellow, the text
// area's outline in red, 4 pixels wide, and the first page's lines only,
// the same lines as the printer's first page.
TEST_F(TextPrintPdfTest, PreviewShowsTheFirstPage) {
  Settings s{.text = "", .paper_mm = QSizeF(420, 594)};  // over 2000 px tall on the screen
  for (int i = 0; i < 300; ++i) s.text += "L" + std::to_string(i) + "\r\n";
  const QImage image = PreviewOf(s);
  const Geometry g = Expect(s);
  auto px = PreviewPx;
  ASSERT_EQ(image.size(), QSize(px(g.paper_w), px(g.paper_h)));
  const QRgb white = 0xFFFFFF, yellow = 0xFFFF00, red = 0xFF0000;
  auto at = [&](int x, int y) { return image.pixel(x, y) & 0xFFFFFF; };
  EXPECT_EQ(at(0, 0), white);
  EXPECT_EQ(at(image.width() - 1, image.height() - 1), white);

  // The printable area.
  const int pr_left = px(g.off_x), pr_right = px(g.off_x + g.page_w);
  const int pr_top = px(g.off_y), pr_bottom = px(g.off_y + g.page_h);
  const int mid_y = image.height() / 2;
  EXPECT_EQ(at(pr_left - 1, mid_y), white);
  EXPECT_EQ(at(pr_left, mid_y), yellow);
  EXPECT_EQ(at(pr_right - 1, mid_y), yellow);
  EXPECT_EQ(at(pr_right, mid_y), white);
  EXPECT_EQ(at(image.width() / 2, pr_top - 1), white);
  EXPECT_EQ(at(image.width() / 2, pr_bottom), white);

  // The outline's top and right sides, 4 pixels across each line.
  const int left = px(s.left), top = px(s.top);
  const int right = px(g.paper_w - s.right), bottom = px(g.paper_h - s.bottom);
  const int mid_x = (left + right) / 2;
  EXPECT_EQ(at(mid_x, top - 3), yellow);
  for (int y = top - 2; y <= top + 1; ++y) EXPECT_EQ(at(mid_x, y), red) << y;
  EXPECT_EQ(at(mid_x, top + 2), yellow);
  EXPECT_EQ(at(right - 3, mid_y), yellow);
  for (int x = right - 2; x <= right + 1; ++x) EXPECT_EQ(at(x, mid_y), red) << x;
  EXPECT_EQ(at(right + 2, mid_y), yellow);

  // Text in the lines of the first page, nothing below them.
  const int line = QFontMetrics(PrintFont(s.font), &image).height();
  const int lines = (bottom - top) / line;
  ASSERT_LT(lines, 300);
  auto dark_rows = [&](int y0, int y1) {
    int n = 0;
    for (int y = y0; y < y1; ++y) {
      for (int x = left + 3; x < left + 30; ++x) {
        if (qGray(image.pixel(x, y)) < 100) {
          ++n;
          break;
        }
      }
    }
    return n;
  };
  EXPECT_GT(dark_rows(top, top + line), 0);
  EXPECT_GT(dark_rows(top + (lines - 1) * line, top + lines * line), 0);
  EXPECT_EQ(dark_rows(top + lines * line, bottom - 3), 0);

  ASSERT_TRUE(print.PrintDocument("Quillbox ").ok());
  int last_on_first_page = -1;
  for (const PdfWord& w : Words()) {
    if (w.page == 0) last_on_first_page = std::max(last_on_first_page, w.text.mid(1).toInt());
  }
  EXPECT_EQ(last_on_first_page, lines - 1);
}

// A table row wider than the area: nothing is drawn right of the area.
TEST_F(TextPrintPdfTest, PreviewCutsTheRowAtTheRightEdge) {
  Settings s{.text = "a\tb\tc\r\n", .right = 110, .columns = 3, .chars = {10, 10, 10}};
  const QImage image = PreviewOf(s);
  const int right = PreviewPx(Expect(s).paper_w - s.right);
  const int top = PreviewPx(s.top);
  int dark_left = 0, dark_right = 0;
  for (int y = top + 3; y < top + 10; ++y) {
    for (int x = 0; x < image.width(); ++x) {
      if (qGray(image.pixel(x, y)) < 60) ++(x < right ? dark_left : dark_right);
    }
  }
  EXPECT_GT(dark_left, 0) << "the cells' sides";
  EXPECT_EQ(dark_right, 0);
}

}  // namespace
}  // namespace quill
