#include "main/exchange/print_panel.h"

#include <utility>

#include "controls/number_text.h"
#include "platform/messages.h"
#include "platform/text_codec.h"
#include "platform/ui.h"
#include "platform/ui_messages.h"

namespace quill {

namespace {

// A setting: its registry value name and its field.
struct SettingKey {
  const char* name;
  std::string PrintSettings::*field;
};

constexpr SettingKey kSettingKeys[] = {
    {"PFontName", &PrintSettings::font_name},
    {"PFontSize", &PrintSettings::font_size},
    {"PLinePitch", &PrintSettings::line_pitch},
    {"PLeftMargin", &PrintSettings::left_margin},
    {"PTopMargin", &PrintSettings::top_margin},
    {"PRightMargin", &PrintSettings::right_margin},
    {"PBottomMargin", &PrintSettings::bottom_margin},
};

}  // namespace

std::optional<PreviewSize> FitPreview(int paper_width_mm, int paper_height_mm, int panel_width,
                                      int panel_height) {
  for (double f = 1.0; f < 5000; f += 0.1) {
    const int width = static_cast<int>(paper_width_mm * 100.0 / f);
    const int height = static_cast<int>(paper_height_mm * 100.0 / f);
    if (width < panel_width - 16 && height < panel_height - 16) return PreviewSize{width, height};
  }
  return std::nullopt;
}

PrintPanel::PrintPanel(PrinterDevice& printer, TTextPrint::CanvasMaker measuring,
                       RegistryStore& registry, Ui& ui)
    : TextPrint(&printer, std::move(measuring)), printer_(printer), registry_(registry), ui_(ui) {}

PrintSettings PrintPanel::ReadSettings() const {
  const RegistryStore::Snapshot stored = registry_.Read();
  PrintSettings s;
  for (const SettingKey& key : kSettingKeys) {
    s.*key.field = stored.ReadString(kQuillmainEnvKey, key.name, s.*key.field);
  }
  return s;
}

Status PrintPanel::WriteSettings(const PrintSettings& settings) {
  RegistryStore::Batch batch;
  for (const SettingKey& key : kSettingKeys) {
    batch.WriteString(kQuillmainEnvKey, key.name, settings.*key.field);
  }
  Status s = registry_.Apply(batch);
  if (!s.ok()) {
    ShowWarning(ui_, MessageId::kCannotWriteFile, {Utf8ToCp932(registry_.path())});
  }
  return s;
}

void PrintPanel::ApplySettings(const PrintSettings& settings) {
  TextPrint.SetPaperSize();
  TextPrint.SetFontSize(LeadingInt(settings.font_size));
  TextPrint.FontName = settings.font_name;
  TextPrint.LinePitch = LeadingInt(settings.line_pitch);
  TextPrint.SetLeftMargin(LeadingInt(settings.left_margin));
  TextPrint.SetRightMargin(LeadingInt(settings.right_margin));
  TextPrint.SetTopMargin(LeadingInt(settings.top_margin));
  TextPrint.SetBottomMargin(LeadingInt(settings.bottom_margin));
}

std::optional<PreviewSize> PrintPanel::Refresh(const PrintSettings& settings, int panel_width,
                                               int panel_height) {
  ApplySettings(settings);
  return FitPreview(TextPrint.PaperWidth, TextPrint.PaperHeight, panel_width, panel_height);
}

bool PrintPanel::Print(const PrintSettings& settings) {
  ApplySettings(settings);
  if (TextPrint.PrintDocument(kPrintJobTitle).ok()) return true;
  ShowWarning(ui_, MessageId::kPrintFailed);
  return false;
}

}  // namespace quill
