#include "main/ui/card_icons.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <functional>
#include <string>

#include "main/tree/card_icon_sheet.h"
#include "platform/qt/test_app.h"
#include "platform/headless/fake_ui.h"
#include "platform/headless/fault_env.h"
#include "platform/headless/temp_dir.h"
#include "platform/text_codec.h"

namespace quill {
namespace {

QImage Tile(const QImage& sheet, int i) {
  return sheet.copy(16 * (i % 10), 16 * (i / 10), 16, 16).convertToFormat(QImage::Format_RGB32);
}

// A sheet of width x height with tile k filled in a colour of its own.
std::string ColourSheet(int width, int height) {
  QImage sheet(width, height, QImage::Format_RGB32);
  sheet.fill(Qt::black);
  QPainter p(&sheet);
  for (int k = 0; k < 100; ++k) p.fillRect(16 * (k % 10), 16 * (k / 10), 16, 16, QColor(k, 200, 250 - k));
  p.end();
  QByteArray data;
  QBuffer buffer(&data);
  buffer.open(QIODevice::WriteOnly);
  sheet.save(&buffer, "BMP");
  return data.toStdString();
}

bool Filled(const QImage& image, const QColor& colour) {
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      if (image.pixelColor(x, y) != colour) return false;
    }
  }
  return true;
}

class CardIconsTest : public ::testing::Test {
 protected:
  CardIconsTest() { TestApp(); }

  std::string Sheet() {
    std::string bytes;
    EXPECT_TRUE(env_.ReadFile(list_.SheetPath(), &bytes).ok());
    return bytes;
  }
  void PutSheet(const std::string& bytes) {
    ASSERT_TRUE(env_.WriteFileAtomic(list_.SheetPath(), bytes).ok());
  }

  TempDir dir_;
  FaultEnv env_;
  FakeUi ui_;
  CardIconList list_{env_, ui_, dir_.Path() + "/"};
};

TEST_F(CardIconsTest, AFirstStartWritesTheBuiltInIconsAndMarksThem) {
  list_.LoadCardIcons(-1);
  ASSERT_EQ(list_.count(), 205);
  EXPECT_TRUE(ui_.questions().empty());
  QImage sheet;
  const std::string bytes = Sheet();
  ASSERT_TRUE(sheet.loadFromData(reinterpret_cast<const uchar*>(bytes.data()),
                                 static_cast<int>(bytes.size()), "BMP"));
  EXPECT_EQ(sheet.size(), QSize(160, 160));
  for (int k = 0; k < 100; ++k) {
    EXPECT_EQ(Tile(sheet, k), list_.Image(5 + k)) << k;
    if (k >= 24) {
      EXPECT_EQ(Tile(sheet, k), Tile(sheet, 0)) << k;
    }
  }
  for (int i = 0; i < 24; ++i) {
    for (int j = i + 1; j < 24; ++j) EXPECT_NE(Tile(sheet, i), Tile(sheet, j)) << i << " " << j;
  }
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(list_.Image(i).size(), QSize(16, 16));
    for (int j = i + 1; j < 5; ++j) EXPECT_NE(list_.Image(i), list_.Image(j)) << i << " " << j;
  }

  // The mark: red inside its polygon, the plain icon away from its edges.
  QPainterPath mark;
  mark.addPolygon(QPolygonF({QPointF(0, 6), QPointF(4, 15), QPointF(7, 15), QPointF(15, 0),
                             QPointF(5, 10), QPointF(0, 6)}));
  QPainterPathStroker stroker;
  stroker.setWidth(2.5);
  const QPainterPath edge = stroker.createStroke(mark);
  for (int n : {0, 1, 11, 23, 99}) {
    const QImage plain = list_.Image(5 + n);
    const QImage marked = list_.Image(105 + n);
    int inside = 0;
    for (int y = 0; y < 16; ++y) {
      for (int x = 0; x < 16; ++x) {
        const QPointF centre(x + 0.5, y + 0.5);
        if (edge.contains(centre)) continue;
        if (mark.contains(centre)) {
          ++inside;
          EXPECT_EQ(marked.pixelColor(x, y), QColor(255, 0, 0)) << n << ":" << x << "," << y;
        } else {
          EXPECT_EQ(marked.pixelColor(x, y), plain.pixelColor(x, y)) << n << ":" << x << "," << y;
        }
      }
    }
    EXPECT_GT(inside, 3);
  }
}

TEST_F(CardIconsTest, TheSheetsTilesBecomeTheCardIcons) {
  const std::string bytes = ColourSheet(160, 160);
  PutSheet(bytes);
  list_.LoadCardIcons(-1);
  for (int k = 0; k < 100; ++k) {
    EXPECT_TRUE(Filled(list_.Image(5 + k), QColor(k, 200, 250 - k))) << k;
    EXPECT_EQ(list_.Image(105 + k), CardIconList::WithMark(list_.Image(5 + k))) << k;
  }
  EXPECT_EQ(Sheet(), bytes);
  EXPECT_TRUE(ui_.questions().empty());

  // Replacing one icon changes it and its marked image only, not the file.
  std::vector<QImage> before;
  for (int i = 0; i < list_.count(); ++i) before.push_back(list_.Image(i));
  QImage green(16, 16, QImage::Format_ARGB32);
  green.fill(QColor(0, 255, 0));
  list_.LoadCardIcons(7, green);
  for (int i = 0; i < list_.count(); ++i) {
    if (i == 12 || i == 112) {
      EXPECT_NE(list_.Image(i), before[static_cast<size_t>(i)]);
    } else {
      EXPECT_EQ(list_.Image(i), before[static_cast<size_t>(i)]) << i;
    }
  }
  EXPECT_TRUE(Filled(list_.Image(12), QColor(0, 255, 0)));
  EXPECT_EQ(list_.Image(112), CardIconList::WithMark(list_.Image(12)));
  EXPECT_EQ(Sheet(), bytes);
}

// A sheet that is there but cannot be used whole is never overwritten:
// the built-in icons stand in where it lacks tiles, and the user is told.
TEST_F(CardIconsTest, AnUnusableSheetIsKeptAndTheBuiltInIconsStandIn) {
  const struct {
    const char* what;
    std::string bytes;
    int whole_tiles;  // tiles across and down that come from the sheet
    bool unreadable;
  } cases[] = {
      {"100 x 100", ColourSheet(100, 100), 6, false},
      {"text", "this is no picture\r\n", 0, false},
      {"unreadable", ColourSheet(160, 160), 0, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    FakeUi ui;
    CardIconList list(env_, ui, dir_.Path() + "/");
    PutSheet(c.bytes);
    if (c.unreadable) env_.FailOpen(list.SheetPath());
    list.LoadCardIcons(-1);
    env_.ClearFailOpen();
    ASSERT_EQ(list.count(), 205);
    for (int k = 0; k < 100; ++k) {
      if (k % 10 < c.whole_tiles && k / 10 < c.whole_tiles) {
        EXPECT_TRUE(Filled(list.Image(5 + k), QColor(k, 200, 250 - k))) << k;
      } else {
        EXPECT_EQ(list.Image(5 + k), CardIconList::BuiltInCardIcon(k < 24 ? k : 0)) << k;
      }
    }
    EXPECT_EQ(Sheet(), c.bytes);
    ASSERT_EQ(ui.questions().size(), 1u);
    EXPECT_NE(ui.questions()[0].text.find(Utf8ToCp932(list.SheetPath())), std::string::npos);
  }
}

TEST_F(CardIconsTest, ASheetThatCannotBeWrittenIsReported) {
  env_.SetDiskFull(true);
  list_.LoadCardIcons(-1);
  EXPECT_EQ(list_.count(), 205);
  EXPECT_EQ(list_.Image(5), CardIconList::BuiltInCardIcon(0));
  ASSERT_EQ(ui_.questions().size(), 1u);
  EXPECT_EQ(ui_.questions()[0].text, Utf8ToCp932(list_.SheetPath() + " に書き込めません"));
  EXPECT_FALSE(env_.Exists(list_.SheetPath()));
}

}  // namespace
}  // namespace quill
