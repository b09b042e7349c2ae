// The printer and the surfaces text is laid out on.
//
// TextCanvas is a surface in device pixels: the printer's page, a preview
// image or a scratch image used only to measure. Text is CP932 bytes; a
// face name is CP932 too. Colours are 0xRRGGBB.
//
// PrinterDevice is the current printer: its metrics (as the printer driver
// reports them, in device pixels) and its print job. Drawing happens on
// Canvas() between BeginDoc and EndDoc; the canvas' origin is the top left
// corner of the printable area, not of the paper.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/status.h"

namespace quill {

inline constexpr uint32_t kColourBlack = 0x000000;
inline constexpr uint32_t kColourWhite = 0xFFFFFF;
inline constexpr uint32_t kColourYellow = 0xFFFF00;
inline constexpr uint32_t kColourRed = 0xFF0000;

class TextCanvas {
 public:
  virtual ~TextCanvas() = default;

  // Logical dots per inch.
  virtual int LogPixelsX() const = 0;
  virtual int LogPixelsY() const = 0;

  // The font of the text that follows: a fixed-pitch face, black. A size
  // of 0 or less keeps the default size.
  virtual void SetFont(const std::string& face, int points) = 0;
  virtual int TextWidth(std::string_view text) = 0;
  // The height of a line of text in the current font (the same for every
  // text, the empty one included).
  virtual int TextHeight() = 0;

  // Draws text whose cell's top left corner is at (x, y).
  virtual void TextOut(int x, int y, std::string_view text) = 0;
  // The same, showing only what falls inside [left, right) x [top, bottom).
  virtual void TextRect(int left, int top, int right, int bottom, int x, int y,
                        std::string_view text) = 0;
  // The four sides through the corners (left, top) and (right, bottom),
  // with a pen of the given width centred on them.
  virtual void FrameRect(int left, int top, int right, int bottom, uint32_t colour,
                         int pen_width) = 0;
  // Fills [left, right) x [top, bottom).
  virtual void FillRect(int left, int top, int right, int bottom, uint32_t colour) = 0;
};

// An image to draw on, sized by the one who draws.
class ImageCanvas : public TextCanvas {
 public:
  // Gives the image this size in pixels; its contents are undefined.
  virtual void SetSize(int width, int height) = 0;
};

// What the printer driver says about the paper, in device pixels: the
// whole sheet, and the printable area on it (its offset from the sheet's
// top left corner and its size).
struct PrinterMetrics {
  int dpi_x = 0;
  int dpi_y = 0;
  int paper_width = 0;
  int paper_height = 0;
  int page_left = 0;
  int page_top = 0;
  int page_width = 0;
  int page_height = 0;
};

class PrinterDevice {
 public:
  virtual ~PrinterDevice() = default;

  // The device name, CP932.
  virtual std::string Name() const = 0;
  virtual PrinterMetrics Metrics() const = 0;

  // Starts a print job with the given title (CP932) on its first page.
  virtual Status BeginDoc(const std::string& title) = 0;
  // Ends the current page and starts the next.
  virtual Status NewPage() = 0;
  // Ends the job; a job the printer could not complete is a failure.
  virtual Status EndDoc() = 0;
  // The page being printed; nullptr outside a print job.
  virtual TextCanvas* Canvas() = 0;
};

}  // namespace quill
