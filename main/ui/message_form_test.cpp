#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <functional>

#include "main/ui/message_form.h"
#include "main/ui/qt_ui.h"
#include "platform/qt/test_app.h"
#include "platform/text_codec.h"

namespace quill {
namespace {

struct Seen {
  bool ok_visible = false, yes_visible = false, no_visible = false;
  QString ok_text, yes_text, no_text, title, message;
  bool topmost = false;
  QPoint pos, centred;
};

// Shows the box through the program's Ui and, once it is up, records what it shows
// and lets `act` answer it.
int ShowAndAnswer(int mode, const std::function<void(TMessageFm*)>& act, Seen* seen) {
  TestApp();
  QTimer::singleShot(0, [&] {
    auto* fm = qobject_cast<TMessageFm*>(QApplication::activeModalWidget());
    ASSERT_NE(fm, nullptr);
    seen->ok_visible = fm->CloseBT->isVisible();
    seen->yes_visible = fm->YesBT->isVisible();
    seen->no_visible = fm->NoBT->isVisible();
    seen->ok_text = fm->CloseBT->text();
    seen->yes_text = fm->YesBT->text();
    seen->no_text = fm->NoBT->text();
    seen->title = fm->windowTitle();
    seen->message = fm->Message->text();
    seen->topmost = fm->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
    QRect screen = fm->screen()->geometry();
    QSize size = fm->frameGeometry().size();
    seen->pos = fm->pos();
    seen->centred = QPoint(screen.x() + (screen.width() - size.width()) / 2,
                           screen.y() + (screen.height() - size.height()) / 2);
    act(fm);
  });
  QtUi ui;
  return ui.ShowMessageDialog(Utf8ToCp932("カードを保存しますか？"), Utf8ToCp932("注意"), mode);
}

TEST(MessageFormTest, ButtonsAndResultsByMode) {
  auto click = [](QPushButton* TMessageFm::*button) {
    return [button](TMessageFm* fm) { (fm->*button)->click(); };
  };
  auto close_box = [](TMessageFm* fm) { fm->close(); };
  struct Case {
    int mode;
    std::function<void(TMessageFm*)> act;
    int result;
  } cases[] = {
      {4, click(&TMessageFm::YesBT), 6},
      {4, click(&TMessageFm::NoBT), 7},
      {4, close_box, 2},
      {0, click(&TMessageFm::CloseBT), 1},
      {1, click(&TMessageFm::CloseBT), 1},
      {0, close_box, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "mode " << c.mode << " result " << c.result);
    Seen seen;
    EXPECT_EQ(ShowAndAnswer(c.mode, c.act, &seen), c.result);
    bool yes_no = c.mode == 4;
    EXPECT_EQ(seen.yes_visible, yes_no);
    EXPECT_EQ(seen.no_visible, yes_no);
    EXPECT_EQ(seen.ok_visible, !yes_no);
    EXPECT_EQ(seen.yes_text, QString::fromUtf8("はい"));
    EXPECT_EQ(seen.no_text, QString::fromUtf8("いいえ"));
    EXPECT_EQ(seen.ok_text, QString("OK"));
    EXPECT_EQ(seen.title, QString::fromUtf8("注意"));
    EXPECT_EQ(seen.message, QString::fromUtf8("カードを保存しますか？"));
  }
}

TEST(MessageFormTest, TopmostAndCentredOnTheScreen) {
  Seen seen;
  ShowAndAnswer(0, [](TMessageFm* fm) { fm->CloseBT->click(); }, &seen);
  EXPECT_TRUE(seen.topmost);
  EXPECT_EQ(seen.pos, seen.centred);
}

}  // namespace
}  // namespace quill
