#include "clip/tray_clicks.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/protocol/shared_hook_block.h"

namespace quill {
namespace {

constexpr uint16_t k3 = 3, k6 = 6, k7 = 7, k8 = 8, k15 = 15;

TEST(TrayClicksTest, LeftClicks) {
  TrayClicks t;
  EXPECT_EQ(t.Decide(kTrayLButtonDown, 1000, false, false), (TrayDecision{300, k6, {}}));
  EXPECT_EQ(t.Decide(kTrayLButtonDblClk, 1100, false, false), (TrayDecision{0, k15, {}}));
  EXPECT_EQ(t.Decide(kTrayLButtonDblClk, 1100, false, true), (TrayDecision{0, k7, {}}));
  EXPECT_FALSE(t.Decide(0x202, 1100, false, false));  // button up: nothing
}

struct RightCase {
  const char* name;
  bool single_folder;
  std::vector<std::pair<int32_t, uint32_t>> clicks;  // message, tick
  TrayDecision last;
};

TEST(TrayClicksTest, RightClickTimingAndSingleFolderSwap) {
  const std::vector<RightCase> cases = {
      {"first press ever, early tick", false, {{kTrayRButtonDown, 200}}, {500, k3, 0}},
      {"one press", false, {{kTrayRButtonDown, 10000}}, {500, k3, 0}},
      {"two presses within 500", false,
       {{kTrayRButtonDown, 10000}, {kTrayRButtonDown, 10500}}, {500, k8, 1}},
      {"two presses 501 apart", false,
       {{kTrayRButtonDown, 10000}, {kTrayRButtonDown, 10501}}, {500, k3, 0}},
      {"press then double click", false,
       {{kTrayRButtonDown, 10000}, {kTrayRButtonDblClk, 10200}}, {500, k8, 1}},
      {"two double clicks within 500", false,
       {{kTrayRButtonDblClk, 10000}, {kTrayRButtonDblClk, 10300}}, {500, k3, 0}},
      {"single folder: one press chooses the folder", true,
       {{kTrayRButtonDown, 10000}}, {500, k8, 1}},
      {"single folder: press then double click", true,
       {{kTrayRButtonDown, 10000}, {kTrayRButtonDblClk, 10200}}, {500, k3, 0}},
      {"press across the tick wrap", false,
       {{kTrayRButtonDown, 0xFFFFFF80u}, {kTrayRButtonDown, 0x100}}, {500, k8, 1}},
  };
  for (const RightCase& c : cases) {
    SCOPED_TRACE(c.name);
    TrayClicks t;
    std::optional<TrayDecision> d;
    for (auto [msg, tick] : c.clicks) d = t.Decide(msg, tick, c.single_folder, false);
    EXPECT_EQ(d, c.last);
  }
}

TEST(TrayClicksTest, RightDoubleClickIsSynthesisedFromPressTiming) {
  TrayClicks t;
  EXPECT_EQ(t.FromTrayEvent(TrayEvent::kClick, 0), kTrayLButtonDown);
  EXPECT_EQ(t.FromTrayEvent(TrayEvent::kDoubleClick, 0), kTrayLButtonDblClk);
  EXPECT_EQ(t.FromTrayEvent(TrayEvent::kMiddleClick, 0), 0);
  EXPECT_EQ(t.FromTrayEvent(TrayEvent::kContext, 1000), kTrayRButtonDown);
  EXPECT_EQ(t.FromTrayEvent(TrayEvent::kContext, 1400), kTrayRButtonDblClk);
  // The third press starts a new pair, as on a real mouse.
  EXPECT_EQ(t.FromTrayEvent(TrayEvent::kContext, 1600), kTrayRButtonDown);
  EXPECT_EQ(t.FromTrayEvent(TrayEvent::kContext, 2200), kTrayRButtonDown);
}

}  // namespace
}  // namespace quill
