// TTextPrint: paper metrics, page layout, printing and the preview.
#include "controls/text_print.h"

#include <algorithm>
#include <string_view>
#include <utility>

#include "controls/grid_model.h"
#include "platform/sjis.h"

namespace quill {

namespace {

constexpr std::string_view kColumnChar = "\x8E\xF7";  // 樹

// Dots per millimetre of a device with the given dots per inch.
double DotsPerMm(int dpi) { return dpi * 0.0393700787; }

// Millimetres times dots per millimetre, truncated to whole pixels.
int Px(int mm, double dots_per_mm) { return static_cast<int>(mm * dots_per_mm); }

// Device pixels to whole millimetres (0 for a device without a resolution).
int Mm(int px, double dots_per_mm) {
  return dots_per_mm > 0 ? static_cast<int>(px / dots_per_mm) : 0;
}

// Byte length of the character at pos: 2 for a lead byte with a byte after it.
size_t CharLength(std::string_view text, size_t pos) {
  return quill::IsSjisLead(static_cast<unsigned char>(text[pos])) && pos + 1 < text.size() ? 2
                                                                                             : 1;
}

// Moves past a CR and the LF that follows it.
size_t SkipLineEnd(std::string_view text, size_t pos) {
  if (pos < text.size() && text[pos] == '\r') {
    ++pos;
    if (pos < text.size() && text[pos] == '\n') ++pos;
  }
  return pos;
}

// The cells of a row; every TAB starts a cell, so empty cells keep their
// column. The marker line is a row of one empty cell.
std::vector<std::string_view> SplitCells(std::string_view row) {
  std::vector<std::string_view> cells;
  if (row == kEmptyCellLine) {
    cells.emplace_back();
    return cells;
  }
  size_t start = 0;
  for (;;) {
    size_t tab = row.find('\t', start);
    if (tab == std::string_view::npos) {
      cells.push_back(row.substr(start));
      return cells;
    }
    cells.push_back(row.substr(start, tab - start));
    start = tab + 1;
  }
}

}  // namespace

TTextPrint::TTextPrint(PrinterDevice* printer, CanvasMaker measuring)
    : printer_(printer), measuring_(std::move(measuring)) {}

void TTextPrint::SetPaperSize() {
  const PrinterMetrics m = printer_->Metrics();
  const double dx = DotsPerMm(m.dpi_x);
  const double dy = DotsPerMm(m.dpi_y);
  PaperWidth = Mm(m.paper_width, dx);
  PaperHeight = Mm(m.paper_height, dy);
  PrintableWidth = Mm(m.page_width, dx);
  PrintableHeight = Mm(m.page_height, dy);
  OffsetX = Mm(m.page_left, dx);
  OffsetY = Mm(m.page_top, dy);
  RightStrip = PaperWidth - PrintableWidth - OffsetX;
  BottomStrip = PaperHeight - OffsetY - PrintableHeight;
}

void TTextPrint::PrepareFrame(PageFrame& f) const {
  f.draw->SetFont(FontName, font_size_);
  f.measure->SetFont(FontName, font_size_);
  // A line pitch that would move lines backwards still moves them on.
  const int pitch = std::clamp(LinePitch, -kMaxPrintMm, kMaxPrintMm);
  f.draw_line = std::max(1, f.draw->TextHeight() + Px(pitch, DotsPerMm(f.draw->LogPixelsY())));
  f.measure_line =
      std::max(1, f.measure->TextHeight() + Px(pitch, DotsPerMm(f.measure->LogPixelsY())));
  f.one_mm = Px(1, DotsPerMm(f.draw->LogPixelsX()));
  f.column_widths.clear();
  const int columns = std::min(ColumnCount, kMaxPrintColumns);
  for (int i = 0; i < columns; ++i) {
    const size_t n = static_cast<size_t>(i);
    const int chars = n < ColumnChars.size() ? std::clamp(ColumnChars[n], 0, kMaxColumnChars) : 0;
    std::string sample;
    for (int c = 0; c < chars; ++c) sample += kColumnChar;
    f.column_widths.push_back(f.draw->TextWidth(sample));
  }
}

size_t TTextPrint::LayOutPage(const PageFrame& f, size_t pos) const {
  int draw_offset = 0;
  int measure_offset = 0;
  // The first line goes on the page even when it does not fit.
  do {
    pos = f.column_widths.empty() ? DrawLine(f, draw_offset, pos) : DrawRow(f, draw_offset, pos);
    draw_offset += f.draw_line;
    measure_offset += f.measure_line;
  } while (pos < Text.size() && measure_offset + f.measure_line <= f.measure_height);
  return pos;
}

size_t TTextPrint::DrawLine(const PageFrame& f, int offset, size_t pos) const {
  const std::string_view text = Text;
  size_t stop = text.find('\r', pos);
  if (stop == std::string_view::npos) stop = text.size();

  // The line ends before the first character that makes it wider than the
  // area, and holds at least one character. A text only grows wider as
  // characters are added, so the longest prefix that fits is found by
  // doubling and halving the count, measuring a few prefixes instead of
  // every one.
  std::vector<size_t> ends;  // ends[k - 1]: byte end of the first k characters
  auto have = [&](size_t count) {
    while (ends.size() < count) {
      const size_t p = ends.empty() ? pos : ends.back();
      if (p >= stop) return false;
      ends.push_back(p + CharLength(text, p));
    }
    return true;
  };
  auto fits = [&](size_t count) {
    return f.measure->TextWidth(text.substr(pos, ends[count - 1] - pos)) <= f.measure_width;
  };
  size_t count = 0;
  if (have(1)) {
    count = 1;
    size_t too_many = 0;  // 0: no count found too wide yet
    for (size_t probe = 2;; probe *= 2) {
      if (!have(probe)) probe = ends.size();
      if (probe == count) break;
      if (!fits(probe)) {
        too_many = probe;
        break;
      }
      count = probe;
    }
    while (too_many > count + 1) {
      const size_t mid = count + (too_many - count) / 2;
      (fits(mid) ? count : too_many) = mid;
    }
  }
  const size_t line_end = count == 0 ? pos : ends[count - 1];
  if (count > 0) f.draw->TextOut(f.left, f.top + offset, text.substr(pos, line_end - pos));
  return SkipLineEnd(text, line_end);
}

size_t TTextPrint::DrawRow(const PageFrame& f, int offset, size_t pos) const {
  const std::string_view text = Text;
  size_t end = text.find('\r', pos);
  if (end == std::string_view::npos) end = text.size();
  const std::vector<std::string_view> cells = SplitCells(text.substr(pos, end - pos));
  const int top = f.top + offset;
  const int bottom = top + f.draw_line;
  int x = 0;
  for (size_t i = 0; i < f.column_widths.size(); ++i) {
    const int left = f.left + x;
    const int right = std::min(left + f.column_widths[i], f.right);
    if (i < cells.size() && !cells[i].empty()) {
      f.draw->TextRect(left + f.one_mm, top, right, bottom, left + f.one_mm, top, cells[i]);
    }
    f.draw->FrameRect(left, top, right, bottom, kColourBlack, 1);
    x += right - left + 2;
    if (f.left + x >= f.right) break;
  }
  return SkipLineEnd(text, end);
}

Status TTextPrint::Print() {
  TextCanvas* target = printer_->Canvas();
  if (target == nullptr) return Status::Invalid("no print job is running");
  std::unique_ptr<TextCanvas> measure = measuring_();
  SetPaperSize();

  PageFrame f;
  f.draw = target;
  f.measure = measure.get();
  const double px = DotsPerMm(target->LogPixelsX());
  const double py = DotsPerMm(target->LogPixelsY());
  const double sx = DotsPerMm(measure->LogPixelsX());
  const double sy = DotsPerMm(measure->LogPixelsY());
  f.top = Px(top_margin_ - OffsetY, py);
  f.left = Px(left_margin_ - OffsetX, px);
  f.right = Px(PaperWidth - right_margin_ - OffsetX, px);
  f.measure_width = Px(PaperWidth - right_margin_, sx) - Px(left_margin_, sx);
  f.measure_height = Px(PaperHeight - bottom_margin_, sy) - Px(top_margin_, sy);
  PrepareFrame(f);

  size_t pos = 0;
  bool first = true;
  while (pos < Text.size()) {
    if (!first) QUILL_RETURN_IF_ERROR(printer_->NewPage());
    first = false;
    pos = LayOutPage(f, pos);
  }
  return Status::Ok();
}

Status TTextPrint::PrintDocument(const std::string& title) {
  QUILL_RETURN_IF_ERROR(printer_->BeginDoc(title));
  Status printed = Print();
  Status ended = printer_->EndDoc();
  return printed.ok() ? ended : printed;
}

void TTextPrint::Preview(ImageCanvas& image) {
  SetPaperSize();
  const double sx = DotsPerMm(image.LogPixelsX());
  const double sy = DotsPerMm(image.LogPixelsY());
  const int width = Px(PaperWidth, sx);
  const int height = Px(PaperHeight, sy);
  image.SetSize(width, height);
  image.FillRect(0, 0, width, height, kColourWhite);
  image.FillRect(Px(OffsetX, sx), Px(OffsetY, sy), Px(PaperWidth - RightStrip, sx),
                 Px(PaperHeight - BottomStrip, sy), kColourYellow);

  PageFrame f;
  f.draw = &image;
  f.measure = &image;
  f.top = Px(top_margin_, sy);
  f.left = Px(left_margin_, sx);
  f.right = Px(PaperWidth - right_margin_, sx);
  const int bottom = Px(PaperHeight - bottom_margin_, sy);
  f.measure_width = f.right - f.left;
  f.measure_height = bottom - f.top;
  PrepareFrame(f);
  if (!Text.empty()) LayOutPage(f, 0);
  image.FrameRect(f.left, f.top, f.right, bottom, kColourRed, 4);
}

}  // namespace quill
