// TTextPrint: lays a card's text out on paper, page by page, and draws
// the first page as a preview.
//
// Plain text (ColumnCount 0) is printed as lines wrapped at the text
// area's width; table text (rows ending with CR LF, cells separated by
// TAB) as rows of ruled cells whose widths are counts of the full-width
// character "樹". Sizes are set in millimetres and points. Line and page
// breaks are decided on a canvas at the screen's resolution, for the paper
// and the preview alike, so that both break at the same places.
//
// The layout always moves on: every line takes at least one character and
// every page at least one line, whatever the margins, the font size or the
// line pitch, so a text of n characters never needs more than n pages.
#pragma once

#include <algorithm>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/printer_device.h"
#include "platform/status.h"

namespace quill {

inline constexpr int kMaxPrintColumns = 50;
inline constexpr int kMaxColumnChars = 99;
// Margins and the line pitch are taken as at most this many millimetres
// either way, font sizes as at most kMaxFontPoints, so that no pixel
// position overflows.
inline constexpr int kMaxPrintMm = 100000;
inline constexpr int kMaxFontPoints = 1000;

class TTextPrint {
 public:
  // Makes a scratch canvas at the screen's resolution, used to measure.
  using CanvasMaker = std::function<std::unique_ptr<TextCanvas>()>;

  TTextPrint(PrinterDevice* printer, CanvasMaker measuring);

  // Margins in millimetres from the paper's edges.
  int GetTopMargin() const { return top_margin_; }
  int GetLeftMargin() const { return left_margin_; }
  int GetRightMargin() const { return right_margin_; }
  int GetBottomMargin() const { return bottom_margin_; }
  void SetTopMargin(int mm) { top_margin_ = std::clamp(mm, -kMaxPrintMm, kMaxPrintMm); }
  void SetLeftMargin(int mm) { left_margin_ = std::clamp(mm, -kMaxPrintMm, kMaxPrintMm); }
  void SetRightMargin(int mm) { right_margin_ = std::clamp(mm, -kMaxPrintMm, kMaxPrintMm); }
  void SetBottomMargin(int mm) { bottom_margin_ = std::clamp(mm, -kMaxPrintMm, kMaxPrintMm); }
  // Points; 0 or less prints in the canvas' default size.
  int GetFontSize() const { return font_size_; }
  void SetFontSize(int points) { font_size_ = std::min(points, kMaxFontPoints); }

  // 0 (or less): plain text; otherwise the number of table columns, of
  // which the first kMaxPrintColumns are printed.
  int ColumnCount = 0;
  // Width of each table column in "樹", entries taken as 0..99; a column
  // without an entry is 0 wide.
  std::vector<int> ColumnChars;
  std::string FontName;  // CP932
  int LinePitch = 0;     // extra space between lines, mm
  std::string Text;      // CP932, CR LF

  // The current printer's paper, in millimetres (set by SetPaperSize).
  int OffsetX = 0;  // unprintable strip at the left edge
  int OffsetY = 0;  // unprintable strip at the top edge
  int PaperHeight = 0;
  int PaperWidth = 0;
  int PrintableWidth = 0;
  int PrintableHeight = 0;
  int RightStrip = 0;
  int BottomStrip = 0;

  // Reads the current printer's paper metrics.
  void SetPaperSize();

  // Lays Text out on the printer's canvas, all pages. The caller has begun
  // the print job and ends it afterwards. Fails when no job is running or
  // the printer refuses a new page.
  Status Print();
  // The whole job: begins it with the title, prints, ends it. A job that
  // cannot begin, breaks off or does not end cleanly is a failure.
  Status PrintDocument(const std::string& title);

  // Draws the first page onto the image: the paper at the image's
  // resolution in white, the printable area in yellow, the text, and the
  // text area's outline in red, 4 pixels wide.
  void Preview(ImageCanvas& image);

 private:
  // Where one page is laid out and how it is measured.
  struct PageFrame {
    TextCanvas* draw = nullptr;
    TextCanvas* measure = nullptr;
    int left = 0;   // text area on the drawing canvas
    int top = 0;
    int right = 0;
    int measure_width = 0;  // text area on the measuring canvas
    int measure_height = 0;
    int draw_line = 1;  // line heights, at least 1
    int measure_line = 1;
    int one_mm = 0;                  // 1 mm on the drawing canvas
    std::vector<int> column_widths;  // table columns on the drawing canvas
  };

  // Fonts, line heights and column widths of a frame whose canvases and
  // text area are set.
  void PrepareFrame(PageFrame& f) const;
  // Lays out one page from byte pos of Text; returns where the next starts.
  size_t LayOutPage(const PageFrame& f, size_t pos) const;
  size_t DrawLine(const PageFrame& f, int offset, size_t pos) const;
  size_t DrawRow(const PageFrame& f, int offset, size_t pos) const;

  PrinterDevice* printer_;
  CanvasMaker measuring_;
  int top_margin_ = 0;
  int left_margin_ = 0;
  int right_margin_ = 0;
  int bottom_margin_ = 0;
  int font_size_ = 0;
};

}  // namespace quill
