#include "main/ui/qt_ui.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QDir>
#include <QElapsedTimer>
#include <filesystem>
#include <fstream>
#include <functional>

#include "platform/qt/test_app.h"
#include "platform/headless/fake_ui.h"
#include "platform/headless/temp_dir.h"
#include "platform/text_codec.h"

namespace quill {
namespace {

MenuItem Item(const char* utf8, int id, bool enabled = true, bool checked = false) {
  MenuItem m;
  m.caption = Utf8ToCp932(utf8);
  m.id = id;
  m.enabled = enabled;
  m.checked = checked;
  return m;
}

// The popup in front: the menu, or the sub-menu opened last.
QMenu* FrontPopup() { return qobject_cast<QMenu*>(QApplication::activePopupWidget()); }

// Chooses an item as the user does: highlight it, press Enter.
void Pick(QMenu* menu, QAction* action) {
  menu->setActiveAction(action);
  QTest::keyClick(menu, Qt::Key_Return);
}

// Pops the menu up through QtUi and, once it is open, lets `act` work it.
std::optional<int> PopupAndAct(const std::vector<MenuItem>& items,
                               const std::function<void(QMenu*)>& act) {
  TestApp();
  QtUi ui;
  bool acted = false;
  QTimer::singleShot(0, [&] {
    QMenu* menu = FrontPopup();
    acted = menu != nullptr;
    if (menu != nullptr) act(menu);
  });
  // A menu left open by a failed check is closed, so the test ends.
  QTimer guard;
  guard.setSingleShot(true);
  QObject::connect(&guard, &QTimer::timeout, [] {
    while (QWidget* popup = QApplication::activePopupWidget()) popup->close();
  });
  guard.start(5000);
  std::optional<int> chosen = ui.PopupMenu(items, ScreenPoint{40, 50});
  EXPECT_TRUE(acted);
  return chosen;
}

TEST(QtUiTest, MenuDataBecomesAMenuAndTheChoiceItsId) {
  MenuItem sub = Item("フォルダ(&F)", 0);
  sub.items = {Item("メモ", 21), Item("仕事", 22)};
  const std::vector<MenuItem> items = {Item("表示(&S)", 1), MenuItem::Separator(),
                                       Item("使えない", 2, false), Item("選択中", 3, true, true),
                                       sub};
  // What the menu shows.
  std::optional<int> chosen = PopupAndAct(items, [](QMenu* menu) {
    const QList<QAction*> actions = menu->actions();
    ASSERT_EQ(actions.size(), 5);
    EXPECT_EQ(actions[0]->text(), QString::fromUtf8("表示(&S)"));
    EXPECT_TRUE(actions[1]->isSeparator());
    EXPECT_FALSE(actions[2]->isEnabled());
    EXPECT_TRUE(actions[3]->isChecked());
    EXPECT_FALSE(actions[0]->isChecked());
    ASSERT_NE(actions[4]->menu(), nullptr);
    EXPECT_EQ(actions[4]->menu()->actions()[1]->text(), QString::fromUtf8("仕事"));
    Pick(menu, actions[0]);
  });
  EXPECT_EQ(chosen, 1);
  // An item of the sub-menu.
  chosen = PopupAndAct(items, [](QMenu* menu) {
    menu->setActiveAction(menu->actions()[4]);
    QTest::keyClick(menu, Qt::Key_Right);  // opens the sub-menu
    QTimer::singleShot(0, [] {
      QMenu* submenu = FrontPopup();
      if (submenu != nullptr) Pick(submenu, submenu->actions()[1]);
    });
  });
  EXPECT_EQ(chosen, 22);
  // Closed without a choice.
  chosen = PopupAndAct(items, [](QMenu* menu) { menu->close(); });
  EXPECT_EQ(chosen, std::nullopt);
}

int FlashWindows() {
  int n = 0;
  for (QWidget* w : QApplication::topLevelWidgets()) n += w->objectName() == "FlashIcon";
  return n;
}

TEST(QtUiTest, FlashSitsAtTheScreenCentreUntilHidden) {
  TestApp();
  QtUi ui;
  ui.ShowFlashIcon(FlashBitmap::kClip);
  QWidget* flash = ui.flash_window();
  ASSERT_NE(flash, nullptr);
  EXPECT_TRUE(flash->isVisible());
  EXPECT_EQ(flash->size(), QSize(32, 32));
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  EXPECT_EQ(flash->pos(), QPoint(screen.x() + (screen.width() - 32) / 2,
                                 screen.y() + (screen.height() - 32) / 2));
  // Above the others, without a frame, and never the focus or the input.
  const Qt::WindowFlags flags = flash->windowFlags();
  for (Qt::WindowType f : {Qt::WindowStaysOnTopHint, Qt::FramelessWindowHint,
                           Qt::WindowDoesNotAcceptFocus, Qt::WindowTransparentForInput}) {
    EXPECT_TRUE(flags.testFlag(f)) << f;
  }
  EXPECT_TRUE(flash->testAttribute(Qt::WA_ShowWithoutActivating));
  EXPECT_FALSE(flash->isActiveWindow());
  // Another bitmap replaces it in the same place: one flash at a time.
  ui.ShowFlashIcon(FlashBitmap::kNoClip);
  EXPECT_EQ(ui.flash_window(), flash);
  EXPECT_EQ(FlashWindows(), 1);
  // Hidden once it has been seen; hiding again changes nothing.
  ui.HideFlashIcon();
  ui.HideFlashIcon();
  EXPECT_TRUE(QTest::qWaitFor([&] { return ui.flash_window() == nullptr; }, 5000));
  ui.HideFlashIcon();
  ui.ShowFlashIcon(FlashBitmap::kClipAdd);
  EXPECT_EQ(ui.flash_window(), flash);
  EXPECT_EQ(FlashWindows(), 1);
}

TEST(QtUiTest, TheThreeFlashPicturesDiffer) {
  const QImage clip = FlashPicture(FlashBitmap::kClip);
  const QImage add = FlashPicture(FlashBitmap::kClipAdd);
  const QImage none = FlashPicture(FlashBitmap::kNoClip);
  EXPECT_EQ(clip.size(), QSize(32, 32));
  EXPECT_NE(clip, add);
  EXPECT_NE(clip, none);
  EXPECT_NE(add, none);
}

// The sound is played by "aplay -q <file in the install folder>", started
// on its own; without the player, or the file, nothing happens at all.
TEST(QtUiTest, SoundsGoToThePlayerWithoutWaiting) {
  TestApp();
  TempDir dir;
  const std::string install = dir.File("install");
  const std::string bin = dir.File("bin");
  QDir().mkpath(QString::fromStdString(install));
  QDir().mkpath(QString::fromStdString(bin));
  std::ofstream(install + "/Clipsnd.wav") << "RIFF";
  const std::string log = dir.File("played.txt");
  {
    std::ofstream player(bin + "/aplay");
    player << "#!/bin/sh\n/bin/sleep 2\necho \"$@\" > '" << log << "'\n";
  }
  std::filesystem::permissions(bin + "/aplay", std::filesystem::perms::owner_all);
  const QByteArray path = qgetenv("PATH");
  QtUi ui(install);
  QElapsedTimer timer;
  timer.start();
  qputenv("PATH", QByteArray::fromStdString(bin));
  ui.PlaySound("Clipsnd.wav");
  ui.PlaySound("Missing.wav");
  qputenv("PATH", QByteArray::fromStdString(dir.File("nothing")));
  ui.PlaySound("Clipsnd.wav");
  qputenv("PATH", path);
  EXPECT_LT(timer.elapsed(), 1000);
  ASSERT_TRUE(QTest::qWaitFor([&] { return std::filesystem::exists(log); }, 10000));
  QTest::qWait(200);
  std::ifstream in(log);
  std::string line;
  std::getline(in, line);
  EXPECT_EQ(line, "-q " + install + "/Clipsnd.wav");
}

// The program's own menus go through the Ui as data: hidden items are left
// out, and the choice triggers its action.
TEST(QtUiTest, OwnMenuIsShownAsDataAndTheChoiceTriggersItsAction) {
  TestApp();
  QMenu menu;
  QAction* show = menu.addAction(QString::fromUtf8("表示"));
  QAction* hidden = menu.addAction(QString::fromUtf8("終了"));
  hidden->setVisible(false);
  QMenu* sub = menu.addMenu(QString::fromUtf8("その他"));
  QAction* deep = sub->addAction(QString::fromUtf8("ヘルプ"));
  int shown = 0, deep_runs = 0, hidden_runs = 0;
  QObject::connect(show, &QAction::triggered, [&] { ++shown; });
  QObject::connect(deep, &QAction::triggered, [&] { ++deep_runs; });
  QObject::connect(hidden, &QAction::triggered, [&] { ++hidden_runs; });

  FakeUi ui;
  ui.ChooseCaption(Utf8ToCp932("ヘルプ"));
  ui.ChooseCaption(Utf8ToCp932("終了"));  // not offered: closes without a choice
  ui.Choose(std::nullopt);
  PopupActions(ui, &menu, QPoint(7, 9));
  PopupActions(ui, &menu, QPoint(7, 9));
  PopupActions(ui, &menu, QPoint(7, 9));
  EXPECT_EQ(deep_runs, 1);
  EXPECT_EQ(hidden_runs, 0);
  EXPECT_EQ(shown, 0);
  ASSERT_EQ(ui.menus().size(), 3u);
  const std::vector<MenuItem>& items = ui.menus()[0].items;
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].caption, Utf8ToCp932("表示"));
  ASSERT_EQ(items[1].items.size(), 1u);
  EXPECT_EQ(ui.menus()[0].at.x, 7);
  EXPECT_EQ(ui.menus()[0].at.y, 9);
}

}  // namespace
}  // namespace quill
