// FakeTextCanvas and FakePrinter: a canvas that measures every byte as
// the same width and logs what is drawn, and a printer over it that counts
// pages and can be told to fail.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/printer_device.h"

namespace quill {

class FakeTextCanvas : public ImageCanvas {
 public:
  struct Drawn {
    int page = 0;
    int x = 0;
    int y = 0;
    std::string text;
  };

  int dpi = 96;
  int byte_width = 8;    // px per byte at the default size
  int line_height = 16;  // px at the default size
  int points = 0;        // the last font size set
  int width = 0;         // the last size set
  int height = 0;
  int page = 0;  // pages begun before the current one
  std::vector<Drawn> texts;
  int frames = 0;

  int LogPixelsX() const override { return dpi; }
  int LogPixelsY() const override { return dpi; }
  void SetFont(const std::string&, int size) override { points = size; }
  int TextWidth(std::string_view text) override {
    return static_cast<int>(text.size()) * byte_width;
  }
  int TextHeight() override { return line_height; }
  void TextOut(int x, int y, std::string_view text) override {
    texts.push_back({page, x, y, std::string(text)});
  }
  void TextRect(int, int, int, int, int x, int y, std::string_view text) override {
    TextOut(x, y, text);
  }
  void FrameRect(int, int, int, int, uint32_t, int) override { ++frames; }
  void FillRect(int, int, int, int, uint32_t) override {}
  void SetSize(int w, int h) override {
    width = w;
    height = h;
  }
};

class FakePrinter : public PrinterDevice {
 public:
  PrinterMetrics metrics;
  FakeTextCanvas canvas;
  bool fail_begin = false;
  bool fail_new_page = false;
  bool fail_end = false;
  bool running = false;
  int pages = 0;  // pages of the last job
  std::string title;

  std::string Name() const override { return "fake"; }
  PrinterMetrics Metrics() const override { return metrics; }
  Status BeginDoc(const std::string& t) override {
    if (fail_begin) return Status::IoError("the printer does not answer");
    title = t;
    running = true;
    pages = 1;
    canvas.page = 0;
    return Status::Ok();
  }
  Status NewPage() override {
    if (fail_new_page) return Status::IoError("the printer ran out of paper");
    ++pages;
    ++canvas.page;
    return Status::Ok();
  }
  Status EndDoc() override {
    running = false;
    if (fail_end) return Status::IoError("the printer dropped the job");
    return Status::Ok();
  }
  TextCanvas* Canvas() override { return running ? &canvas : nullptr; }
};

}  // namespace quill
