// The bar's form offscreen: its geometry, the hint shown while the mouse
// is over a button, and the wiring from the buttons and messages to the
// bar's logic.
#include "buttonbar/bar_form.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QEnterEvent>
#include <QLabel>
#include <array>

#include "platform/qt/test_app.h"
#include "platform/headless/fake_clock.h"
#include "platform/headless/fake_window_system.h"
#include "platform/headless/in_process_bus.h"
#include "platform/text_codec.h"

namespace quill {
namespace {

class BarFormTest : public ::testing::Test {
 protected:
  BarFormTest() {
    TestApp();
    main_ = bus_.CreateWindow();
    block_.SetMainWindow(main_);
    block_.SetSaveState(1);
    block_.SetSaveHint(Utf8ToCp932("仕事 資料 議事録のフォルダに登録"));
    form_ = std::make_unique<TForm3>(
        [this]() -> std::optional<OpenedBlock> {
          return OpenedBlock{nullptr, SharedHookBlock(bytes_)};
        },
        windows_, bus_, clock_);
    self_ = bus_.CreateWindow([this](const Message& m) { form_->WndProc(m); });
    form_->FormCreate(self_);
    form_->show();
    QApplication::processEvents();  // FormShow comes after the show
    bus_.PumpAll();
  }

  template <typename T>
  T* Child(const char* name) {
    T* child = form_->findChild<T*>(name);
    EXPECT_NE(child, nullptr) << name;
    return child;
  }

  alignas(8) std::array<uint8_t, kSharedHookBlockSize> bytes_{};
  SharedHookBlock block_{bytes_};
  FakeClock clock_;
  InProcessBus bus_{&clock_};
  FakeWindowSystem windows_{&clock_};
  std::unique_ptr<TForm3> form_;
  WindowHandle main_ = 0;
  WindowHandle self_ = 0;
};

TEST_F(BarFormTest, HoverShowsTheHintAndLeavingRestoresTheStrip) {
  EXPECT_EQ(form_->size(), QSize(125, 20));
  const struct {
    const char* button;
    const char* hint;
  } cases[] = {{"PasteButton", "一発ペースト"},
               {"SaveHtmlButton", "仕事 資料 議事録のフォルダに登録"},
               {"ClipToolButton", "クリップツール"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.button);
    QWidget* button = Child<QWidget>(c.button);
    QLabel* tip = Child<QLabel>("TipMessage");
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(button, &enter);
    EXPECT_EQ(tip->text(), QString::fromUtf8(c.hint));
    EXPECT_EQ(form_->height(), tip->y() + tip->height() + 2);
    EXPECT_GT(form_->height(), 30);
    EXPECT_EQ(form_->width(), std::max(tip->x() + tip->width() + 2, 125));
    EXPECT_TRUE(form_->rect().contains(tip->geometry()));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(button, &leave);
    EXPECT_EQ(form_->size(), QSize(125, 20));
  }
}

TEST_F(BarFormTest, ButtonsSitInARowAndPostThroughTheBar) {
  const struct {
    const char* name;
    int left;
    uint32_t code;
  } buttons[] = {{"PasteButton", 22, 6},
                 {"SaveButton", 43, 2},
                 {"Save2Button", 85, 8},
                 {"ClipToolButton", 105, 13}};
  for (const auto& b : buttons) {
    SCOPED_TRACE(b.name);
    QAbstractButton* button = Child<QAbstractButton>(b.name);
    EXPECT_EQ(button->geometry(), QRect(b.left, 0, 20, 20));
    EXPECT_TRUE(button->isVisible());
    button->click();
    EXPECT_EQ(bus_.Take(main_), (std::vector<Message>{{main_, kCommandMessage, b.code, 0}}));
  }
  // No browser in front: no SaveHtml; SaveState 0 and a refresh: no Save.
  EXPECT_FALSE(Child<QWidget>("SaveHtmlButton")->isVisible());
  block_.SetSaveState(0);
  bus_.PostMessage(self_, kCommandMessage, 16, 0);
  bus_.PumpAll();
  EXPECT_FALSE(Child<QWidget>("SaveButton")->isVisible());
  // Code 9 closes the form and clears BarWindow.
  EXPECT_EQ(block_.BarWindow(), self_);
  bus_.PostMessage(self_, kCommandMessage, 9, 0);
  bus_.PumpAll();
  EXPECT_FALSE(form_->isVisible());
  EXPECT_EQ(block_.BarWindow(), 0u);
}

}  // namespace
}  // namespace quill
