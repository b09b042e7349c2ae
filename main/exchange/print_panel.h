// PrintPanel: what the print dialog (TPrintFm) does, without its widgets.
//
// The dialog keeps seven settings in the registry store under
// "SoftWare\quillmain\Env", as the texts its edits show; it reads them
// when it is created and writes them when it closes. Each refresh of the
// preview reads the printer's paper, copies the settings into the text
// printer and fits the preview image into the dialog's panel. Printing
// runs one whole job titled "Quillbox "; a job that cannot begin, breaks
// off or does not end cleanly is told to the user.
#pragma once

#include <optional>
#include <string>

#include "controls/text_print.h"
#include "platform/printer_device.h"
#include "platform/registry_store.h"
#include "platform/status.h"

namespace quill {

class Ui;

// The title of every print job.
inline constexpr char kPrintJobTitle[] = "Quillbox ";

// The settings as the dialog's controls hold them (CP932 texts).
struct PrintSettings {
  std::string font_name;          // PFontName
  std::string font_size = "14";   // PFontSize
  std::string line_pitch = "1";   // PLinePitch
  std::string left_margin = "1";  // PLeftMargin
  std::string top_margin = "1";   // PTopMargin
  std::string right_margin = "1";   // PRightMargin
  std::string bottom_margin = "1";  // PBottomMargin

  bool operator==(const PrintSettings&) const = default;
};

// A size in pixels.
struct PreviewSize {
  int width = 0;
  int height = 0;
  bool operator==(const PreviewSize&) const = default;
};

// The size of the preview image for paper of the given millimetres in a
// panel of the given pixels: the paper at 100 pixels per millimetre,
// shrunk by the first factor from 1.0 in steps of 0.1 (below 5000) that
// leaves it smaller than the panel less 16 pixels either way; none when no
// factor does.
std::optional<PreviewSize> FitPreview(int paper_width_mm, int paper_height_mm, int panel_width,
                                      int panel_height);

class PrintPanel {
 public:
  // The printer, the registry and the ui must outlive the panel.
  PrintPanel(PrinterDevice& printer, TTextPrint::CanvasMaker measuring, RegistryStore& registry,
             Ui& ui);

  // The printer component: the print command sets its columns and text.
  TTextPrint TextPrint;

  // The seven values stored, each missing one at its default.
  PrintSettings ReadSettings() const;
  // Stores the seven values; a store that cannot be written is told to
  // the user, and the result says so.
  Status WriteSettings(const PrintSettings& settings);

  // The name shown in PrinterName (CP932).
  std::string PrinterName() const { return printer_.Name(); }
  // Reads the paper and copies the settings into TextPrint; each number is
  // the integer at the start of its text, 0 for none.
  void ApplySettings(const PrintSettings& settings);
  // ApplySettings, then the preview image's size for the panel.
  std::optional<PreviewSize> Refresh(const PrintSettings& settings, int panel_width,
                                     int panel_height);
  // Prints TextPrint with the settings as one job. A failure shows
  // "印刷できませんでした" (caption "警告") and returns false.
  bool Print(const PrintSettings& settings);

 private:
  PrinterDevice& printer_;
  RegistryStore& registry_;
  Ui& ui_;
};

}  // namespace quill
