#include "main/dialogs/kind_picker.h"

#include <gtest/gtest.h>

namespace quill {
namespace {

TEST(KindPickerTest, KeysStopAtTheEdgesOfTheSheet) {
  KindPicker p(99);
  EXPECT_FALSE(p.Key(KindKey::kRight));
  EXPECT_EQ(p.current(), 99);
  KindPicker q(95);
  q.Key(KindKey::kDown);
  EXPECT_EQ(q.current(), 95);
  q.Key(KindKey::kUp);
  q.Key(KindKey::kLeft);
  EXPECT_EQ(q.current(), 84);
  KindPicker top(3);
  top.Key(KindKey::kUp);
  EXPECT_EQ(top.current(), 3);
  EXPECT_TRUE(top.Key(KindKey::kEnter));
  EXPECT_EQ(top.result(), 3);
  EXPECT_TRUE(top.Key(KindKey::kEscape));
  EXPECT_EQ(top.result(), -1);
}

TEST(KindPickerTest, AClickPicksACellAndTheMarginsNothing) {
  KindPicker p(0);
  EXPECT_FALSE(p.Click(205, 50));  // right of the last column
  EXPECT_FALSE(p.Click(50, 206));  // below the last row
  EXPECT_FALSE(p.Click(2, 50));
  EXPECT_EQ(p.result(), -1);
  EXPECT_TRUE(p.Click(4 + 20 * 7 + 3, 4 + 20 * 2));
  EXPECT_EQ(p.result(), 27);
  EXPECT_EQ(p.current(), 27);
  EXPECT_EQ(KindPicker::CellRect(27), (WindowRect{144, 44, 164, 64}));
}

TEST(KindPickerTest, ThePickerOpensAtTheCursorAndKeeps30PixelsAboveTheBottom) {
  EXPECT_EQ(KindPickerPlace({100, 200}, 768, 208), (ScreenPoint{100, 200}));
  EXPECT_EQ(KindPickerPlace({100, 530}, 768, 208), (ScreenPoint{100, 530}));  // ends at 738
  EXPECT_EQ(KindPickerPlace({100, 531}, 768, 208), (ScreenPoint{100, 530}));
  EXPECT_EQ(KindPickerPlace({5, 760}, 768, 208), (ScreenPoint{5, 530}));
  KindPicker p(3);
  p.Key(KindKey::kEnter);
  p.Reset(50);
  EXPECT_EQ(p.current(), 50);
  EXPECT_EQ(p.result(), -1);
}

}  // namespace
}  // namespace quill
