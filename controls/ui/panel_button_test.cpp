#include "controls/ui/panel_button.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QSignalSpy>
#include <string>
#include <vector>

#include "platform/qt/test_app.h"

namespace quill {
namespace {

class PanelButtonTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { TestApp(); }

  // Sends one mouse event in the panel's coordinates, as the implicit grab
  // delivers moves and releases outside it too.
  void Send(QEvent::Type type, Qt::MouseButton button, QPoint at, Qt::MouseButtons held) {
    QMouseEvent e(type, QPointF(at), QPointF(panel.mapToGlobal(at)), button, held,
                  Qt::NoModifier);
    QApplication::sendEvent(&panel, &e);
  }
  void Run(const std::string& step) {
    const QPoint in(20, 10), out(200, 10);
    if (step == "press") Send(QEvent::MouseButtonPress, Qt::LeftButton, in, Qt::LeftButton);
    if (step == "in") Send(QEvent::MouseMove, Qt::NoButton, in, held_);
    if (step == "out") Send(QEvent::MouseMove, Qt::NoButton, out, held_);
    if (step == "up in") Send(QEvent::MouseButtonRelease, Qt::LeftButton, in, Qt::NoButton);
    if (step == "up out") Send(QEvent::MouseButtonRelease, Qt::LeftButton, out, Qt::NoButton);
    if (step == "right") Send(QEvent::MouseButtonPress, Qt::RightButton, in, Qt::RightButton);
    if (step == "right up") Send(QEvent::MouseButtonRelease, Qt::RightButton, out, Qt::NoButton);
    if (step == "hide") {
      panel.show();
      panel.hide();
    }
    if (step == "press") held_ = Qt::LeftButton;
    if (step == "up in" || step == "up out") held_ = Qt::NoButton;
  }

  TPanelButton panel;
  Qt::MouseButtons held_ = Qt::NoButton;
};

TEST_F(PanelButtonTest, LooksFontAndClicksFollowTheMouse) {
  struct {
    const char* name;
    std::vector<std::string> steps;
    bool sunken;
    int clicks;
  } cases[] = {
      {"press and release", {"press", "up in"}, false, 1},
      {"held", {"press", "in", "in"}, true, 0},
      {"dragged out and released there", {"press", "out", "up out"}, false, 0},
      {"dragged out and back", {"press", "out", "out", "in", "in", "up in"}, false, 1},
      {"held outside", {"press", "out", "out", "out"}, false, 0},
      {"back in and held", {"press", "out", "in", "out", "in"}, true, 0},
      {"two presses", {"press", "up in", "press", "up in"}, false, 2},
      {"the right button", {"right", "out", "right up"}, false, 0},
      {"moves alone", {"in", "out", "up in"}, false, 0},
      // Hidden while held, the panel sees no release: the press ends there.
      {"hidden while held", {"press", "hide", "in", "up in"}, false, 0},
      {"hidden, then pressed anew", {"press", "hide", "press", "up in"}, false, 1},
  };
  panel.resize(80, 30);
  const qreal size = panel.font().pointSizeF();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    QSignalSpy clicks(&panel, &TPanelButton::OnClick);
    for (const std::string& step : c.steps) {
      Run(step);
      // The font is one point smaller exactly while the panel looks pressed.
      EXPECT_EQ(panel.font().pointSizeF(), panel.Pressed() ? size - 1 : size) << step;
      EXPECT_EQ(panel.frameShadow(), panel.Pressed() ? QFrame::Sunken : QFrame::Raised) << step;
    }
    EXPECT_EQ(panel.Pressed(), c.sunken);
    EXPECT_EQ(clicks.count(), c.clicks);
    if (panel.Pressed()) Run("up out");
    EXPECT_EQ(panel.frameShape(), QFrame::Panel);
    EXPECT_EQ(panel.lineWidth(), 2);
  }
}

TEST_F(PanelButtonTest, TheUsersHandlersSeeEveryEvent) {
  panel.resize(80, 30);
  QSignalSpy downs(&panel, &TPanelButton::OnMouseDown);
  QSignalSpy moves(&panel, &TPanelButton::OnMouseMove);
  QSignalSpy ups(&panel, &TPanelButton::OnMouseUp);
  bool pressed_at_click = true;
  QObject::connect(&panel, &TPanelButton::OnClick, [&] { pressed_at_click = panel.Pressed(); });
  for (const char* step : {"right", "right up", "press", "out", "in", "up in"}) Run(step);
  EXPECT_EQ(downs.count(), 2);
  EXPECT_EQ(moves.count(), 2);
  EXPECT_EQ(ups.count(), 2);
  EXPECT_FALSE(pressed_at_click) << "the released look comes before OnClick";
}

TEST_F(PanelButtonTest, AWindowHiddenWhileHeldEndsThePress) {
  QWidget window;
  TPanelButton* inner = new TPanelButton(&window);
  inner->resize(80, 30);
  window.show();
  const qreal size = inner->font().pointSizeF();
  QSignalSpy clicks(inner, &TPanelButton::OnClick);
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(20, 10), QPointF(20, 10), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(inner, &press);
  ASSERT_TRUE(inner->Pressed());
  window.hide();
  EXPECT_FALSE(inner->Pressed());
  EXPECT_EQ(inner->font().pointSizeF(), size);
  EXPECT_EQ(inner->frameShadow(), QFrame::Raised);
  QMouseEvent release(QEvent::MouseButtonRelease, QPointF(20, 10), QPointF(20, 10),
                      Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(inner, &release);
  EXPECT_EQ(clicks.count(), 0);
}

}  // namespace
}  // namespace quill
