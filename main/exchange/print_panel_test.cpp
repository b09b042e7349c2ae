#include "main/exchange/print_panel.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <optional>

#include "platform/headless/fake_printer.h"
#include "platform/headless/fake_ui.h"
#include "platform/headless/fault_env.h"
#include "platform/headless/temp_dir.h"
#include "platform/messages.h"

namespace quill {
namespace {

class PrintPanelTest : public ::testing::Test {
 protected:
  void SetUp() override { printer.metrics = {96, 96, 793, 1122, 19, 19, 755, 1084}; }

  std::string RegistryFile() const {
    std::ifstream in(registry.path(), std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }

  TempDir dir;
  FaultEnv env;
  RegistryStore registry{env, dir.File("registry.ini")};
  FakePrinter printer;
  FakeUi ui;
  PrintPanel panel{printer, [] { return std::make_unique<FakeTextCanvas>(); }, registry, ui};
};

TEST_F(PrintPanelTest, TheSevenSettingsLiveInTheRegistry) {
  EXPECT_EQ(panel.ReadSettings(), PrintSettings{});
  EXPECT_EQ(PrintSettings{}.font_size, "14");
  EXPECT_EQ(PrintSettings{}.line_pitch, "1");
  EXPECT_EQ(PrintSettings{}.bottom_margin, "1");

  const PrintSettings changed{"IPAGothic", "", "x", "2", "3", "4", "-5"};
  ASSERT_TRUE(panel.WriteSettings(changed).ok());
  EXPECT_EQ(panel.ReadSettings(), changed);
  EXPECT_EQ(RegistryFile(),
            "[SoftWare\\quillmain\\Env]\r\nPFontName=IPAGothic\r\nPFontSize=\r\nPLinePitch=x\r\n"
            "PLeftMargin=2\r\nPTopMargin=3\r\nPRightMargin=4\r\nPBottomMargin=-5\r\n");
  EXPECT_TRUE(ui.questions().empty());

  // A store that cannot be written is told, and the values stay as stored.
  env.SetDiskFull(true);
  EXPECT_FALSE(panel.WriteSettings(PrintSettings{}).ok());
  ASSERT_EQ(ui.questions().size(), 1u);
  EXPECT_EQ(ui.questions()[0].caption, MessageText(MessageId::kWarningCaption));
  EXPECT_EQ(panel.ReadSettings(), changed);
}

TEST_F(PrintPanelTest, TheSettingsReachThePrinterAsNumbers) {
  panel.ApplySettings({"Face", "12abc", "", "3", "4", "x5", " -6"});
  const TTextPrint& p = panel.TextPrint;
  EXPECT_EQ(p.FontName, "Face");
  EXPECT_EQ(p.GetFontSize(), 12);
  EXPECT_EQ(p.LinePitch, 0);
  EXPECT_EQ(p.GetLeftMargin(), 3);
  EXPECT_EQ(p.GetTopMargin(), 4);
  EXPECT_EQ(p.GetRightMargin(), 0);
  EXPECT_EQ(p.GetBottomMargin(), -6);
  EXPECT_EQ(p.PaperWidth, 209) << "the paper is read too";
}

TEST_F(PrintPanelTest, AFailedJobIsToldToTheUser) {
  panel.TextPrint.Text = "text";
  struct {
    const char* name;
    bool begin, page, end;
  } cases[] = {{"cannot begin", true, false, false}, {"ends in error", false, false, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    printer.fail_begin = c.begin;
    printer.fail_end = c.end;
    const size_t before = ui.questions().size();
    EXPECT_FALSE(panel.Print(PrintSettings{}));
    ASSERT_EQ(ui.questions().size(), before + 1);
    EXPECT_EQ(ui.questions().back().text, MessageText(MessageId::kPrintFailed));
    EXPECT_EQ(ui.questions().back().caption, MessageText(MessageId::kWarningCaption));
  }
  printer.fail_begin = printer.fail_end = false;
  const size_t before = ui.questions().size();
  EXPECT_TRUE(panel.Print(PrintSettings{}));
  EXPECT_EQ(ui.questions().size(), before);
  EXPECT_EQ(printer.title, "Quillbox ");
  ASSERT_FALSE(printer.canvas.texts.empty());
  EXPECT_EQ(printer.canvas.texts[0].text, "text");
}

TEST(FitPreviewTest, ShrinksThePaperIntoThePanel) {
  struct {
    int paper_w, paper_h, panel_w, panel_h;
    std::optional<PreviewSize> size;
  } cases[] = {
      // 21000 / f < 500 and 29700 / f < 700: first at f = 42.5.
      {210, 297, 516, 716, PreviewSize{494, 698}},
      // The width decides: 29700 / f < 5000 at once, 21000 / f < 290 at 72.5.
      {210, 297, 306, 5016, PreviewSize{289, 409}},
      {210, 297, 16, 1000, std::nullopt},
      {210, 297, 17, 17, std::nullopt},  // would need f beyond 5000
      {0, 0, 17, 17, PreviewSize{0, 0}},
  };
  for (const auto& c : cases) {
    const auto size = FitPreview(c.paper_w, c.paper_h, c.panel_w, c.panel_h);
    EXPECT_EQ(size, c.size) << c.panel_w << "x" << c.panel_h;
  }
}

}  // namespace
}  // namespace quill
