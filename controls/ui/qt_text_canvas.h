// Text canvases over QPainter: the printer's page (QtPrinterDevice) and
// images (the preview, the screen-resolution scratch image that measures).
//
// A canvas' point for text is the top of the text cell; QPainter draws at
// the baseline, so the font's ascent is added. The text height is the
// font's line height.
#pragma once

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <memory>
#include <optional>

#include "platform/printer_device.h"

class QPaintDevice;

namespace quill {

// The drawing of both kinds of canvas; Base is TextCanvas or ImageCanvas.
template <class Base>
class QtCanvas : public Base {
 public:
  int LogPixelsX() const override;
  int LogPixelsY() const override;
  void SetFont(const std::string& face, int points) override;
  int TextWidth(std::string_view text) override;
  int TextHeight() override;
  void TextOut(int x, int y, std::string_view text) override;
  void TextRect(int left, int top, int right, int bottom, int x, int y,
                std::string_view text) override;
  void FrameRect(int left, int top, int right, int bottom, uint32_t colour,
                 int pen_width) override;
  void FillRect(int left, int top, int right, int bottom, uint32_t colour) override;

 protected:
  // The device that fonts are measured against.
  virtual QPaintDevice* Device() const = 0;
  // An active painter on the device.
  virtual QPainter* Painter() = 0;

 private:
  const QFontMetrics& Metrics();

  QFont font_;
  std::optional<QFontMetrics> metrics_;
};

extern template class QtCanvas<TextCanvas>;
extern template class QtCanvas<ImageCanvas>;

// The canvas of a painter that its owner begins and ends (the printer's).
class QtPainterCanvas : public QtCanvas<TextCanvas> {
 public:
  QtPainterCanvas(QPaintDevice* device, QPainter* painter) : device_(device), painter_(painter) {}

 protected:
  QPaintDevice* Device() const override { return device_; }
  QPainter* Painter() override { return painter_; }

 private:
  QPaintDevice* device_;
  QPainter* painter_;
};

// An RGB image at a given resolution, the image's own painter open while
// drawing.
class QtImageCanvas : public QtCanvas<ImageCanvas> {
 public:
  QtImageCanvas(int dpi_x, int dpi_y);
  // Resizes to at least 1 x 1.
  void SetSize(int width, int height) override;
  // The picture drawn so far (drawing may go on afterwards).
  const QImage& Image();

 protected:
  QPaintDevice* Device() const override { return const_cast<QImage*>(&image_); }
  QPainter* Painter() override;

 private:
  QImage image_;
  QPainter painter_;
};

// The screen's logical resolution (96 when there is no screen).
int ScreenDpiX();
int ScreenDpiY();

// A scratch image at the screen's resolution: what TTextPrint measures on.
std::unique_ptr<TextCanvas> MakeScreenCanvas();

}  // namespace quill
