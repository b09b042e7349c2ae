#include <gtest/gtest.h>

#include <QAction>
#include <QMouseEvent>
#include <QTest>
#include <QSplitter>
#include <QTimer>
#include <algorithm>
#include <array>

#include "main/settings/settings_data_files.h"
#include "main/ui/main_form.h"
#include "main/ui/main_form_test_support.h"
#include "platform/qt/test_app.h"
#include "platform/headless/fake_clock.h"
#include "platform/headless/fake_ui.h"
#include "platform/headless/in_process_bus.h"
#include "platform/headless/temp_dir.h"
#include "platform/ini_file.h"
#include "platform/registry_store.h"
#include "platform/protocol/shared_hook_block.h"
#include "platform/text_codec.h"

namespace quill {
namespace {

constexpr WindowHandle kMain = 0x80000100;
constexpr WindowHandle kOther = 0x00600001;

// The window with its block, a fake clock for the dispatcher and a test
// bus for what it posts to other windows.
class MainFormDispatchTest : public testing::Test {
 protected:
  MainFormDispatchTest() {
    TestApp();
    block_.SetMainWindow(kMain);
    block_.SetTargetWindow(kOther);
    MainFormContext context = TestFormContext(dir_, dialog_);
    context.block = &block_;
    context.bus = &bus_;
    context.clock = &clock_;
    form_ = std::make_unique<TMainForm>(std::move(context));
  }

  TempDir dir_;
  alignas(8) std::array<uint8_t, kSharedHookBlockSize> bytes_{};
  SharedHookBlock block_{std::span<uint8_t, kSharedHookBlockSize>(bytes_)};
  FakeClock clock_;
  InProcessBus bus_{&clock_};
  FakeUi dialog_;
  std::unique_ptr<TMainForm> form_;
};

TEST_F(MainFormDispatchTest, ScheduledCommandComesBackThroughTimer1AndWndProc) {
  form_->hide();
  form_->ScheduleCommand(0, static_cast<uint16_t>(CommandCode::kActive), kActiveShowAlways);
  EXPECT_TRUE(form_->Timer1->isActive());
  clock_.AdvanceMs(100);
  EXPECT_TRUE(QTest::qWaitFor([&] { return form_->isVisible(); }, 5000));
}

// A drag of the splitter's handle with the mouse: the splitter moves
// and says so itself. The tree's width afterwards.
int DragSplitter(QSplitter* split, int dx) {
  QSplitterHandle* handle = split->handle(1);
  const QPoint from = handle->rect().center();
  const QPoint to = from + QPoint(dx, 0);
  QMouseEvent press(QEvent::MouseButtonPress, from, handle->mapToGlobal(from), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
  QMouseEvent move(QEvent::MouseMove, to, handle->mapToGlobal(to), Qt::NoButton, Qt::LeftButton,
                   Qt::NoModifier);
  QMouseEvent release(QEvent::MouseButtonRelease, to, handle->mapToGlobal(to), Qt::LeftButton,
                      Qt::NoButton, Qt::NoModifier);
  for (QMouseEvent* e : {&press, &move, &release}) QCoreApplication::sendEvent(handle, e);
  return split->sizes().front();
}

// A drag of the splitter stores the tree's width with the geometry once
// a second has passed, and at once when the window closes before that.
TEST_F(MainFormDispatchTest, ADraggedSplitterStoresTheTreeWidthASecondLaterOrAtTheClose) {
  ASSERT_TRUE(form_->FormCreate().ok());
  const auto stored_width = [&] {
    IniFile file(FileEnv::Default(), dir_.File("quillmain.ini"));
    return file.ReadInteger("Env", "TreeWidth", -1);
  };
  // The store after the first show is over.
  clock_.AdvanceMs(1001);
  form_->Timer1Timer();
  const int start = form_->Split->sizes().front();
  const int wider = DragSplitter(form_->Split, 60);
  ASSERT_GT(wider, start);
  form_->Timer1Timer();
  EXPECT_EQ(stored_width(), start);
  clock_.AdvanceMs(1001);
  form_->Timer1Timer();
  EXPECT_EQ(stored_width(), wider);

  const int narrower = DragSplitter(form_->Split, -40);
  ASSERT_LT(narrower, wider);
  clock_.AdvanceMs(300);
  form_->Timer1Timer();
  ASSERT_TRUE(form_->close());
  EXPECT_EQ(stored_width(), narrower);
}

TEST_F(MainFormDispatchTest, TrayMenuItemsPostThroughTheBus) {
  const WindowHandle bar = bus_.CreateWindow();
  block_.SetBarWindow(bar);
  form_->findChild<QAction*>("ButtonWindow")->trigger();
  EXPECT_EQ(bus_.Take(bar), (std::vector<Message>{{bar, kCommandMessage, 9, 0}}));
  // "Quillboxを表示": the main window becomes the target and shows itself.
  form_->hide();
  form_->findChild<QAction*>("KQuillbox4")->trigger();
  EXPECT_EQ(block_.TargetWindow(), kMain);
  EXPECT_TRUE(QTest::qWaitFor([&] { return form_->isVisible(); }, 5000));
}

// A left click on the tray icon opens the folder popup over the
// application in front, through the Ui, with the tray menu as its last
// entry; the item chosen there runs.
TEST_F(MainFormDispatchTest, TrayClickShowsTheTrayMenuAndRunsTheChoice) {
  form_->hide();
  dialog_.ChooseCaption(Utf8ToCp932("Quillboxを表示"));
  form_->WndProc(kTrayCallback, kTrayIconId, kTrayLButtonDown);
  clock_.AdvanceMs(400);
  form_->Timer1Timer();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog_.menus().empty(); }, 5000));
  const MenuItem& tray = dialog_.menus()[0].items.back();
  EXPECT_EQ(tray.caption, Utf8ToCp932("メニュー(&M)"));
  std::vector<std::string> captions;
  for (const MenuItem& item : tray.items) captions.push_back(item.caption);
  EXPECT_NE(std::find(captions.begin(), captions.end(), Utf8ToCp932("Quillbox位置リセット")),
            captions.end());
  // The hidden end item is not offered.
  EXPECT_EQ(std::find(captions.begin(), captions.end(), Utf8ToCp932("終了(&X)")), captions.end());
  EXPECT_EQ(block_.TargetWindow(), kMain);
  EXPECT_TRUE(QTest::qWaitFor([&] { return form_->isVisible(); }, 5000));
  EXPECT_EQ(dialog_.menus().size(), 1u);
}

TEST_F(MainFormDispatchTest, HandOverOfAnUnknownNameWarnsAndRestoresTheBarHint) {
  const WindowHandle bar = bus_.CreateWindow();
  block_.SetBarWindow(bar);
  block_.SetSaveHint(Utf8ToCp932("ない名前"));
  form_->hide();
  form_->WndProc(kCommandMessage, static_cast<uint32_t>(CommandCode::kHandOver), 0);
  EXPECT_TRUE(form_->isVisible());
  EXPECT_EQ(block_.SaveHint(), Utf8ToCp932("一発登録フォルダ指定"));
  EXPECT_EQ(bus_.Take(bar), (std::vector<Message>{{bar, kCommandMessage, 16, 0}}));
  ASSERT_EQ(dialog_.questions().size(), 1u);
  EXPECT_EQ(dialog_.questions()[0].text, Utf8ToCp932("指定されたファイルがありません"));
  EXPECT_EQ(dialog_.questions()[0].caption, Utf8ToCp932("警告"));
}

TEST_F(MainFormDispatchTest, HandOverFindsTheFirstAndTheTenthDataSet) {
  RegistryStore registry(FileEnv::Default(), dir_.File("registry.ini"));
  ASSERT_TRUE(registry.WriteString(kQuillmainEnvKey, "DataFile10", "Tenth\t" + dir_.Path()).ok());
  ASSERT_TRUE(form_->FormCreate().ok());
  for (const std::string& name : {std::string(kFirstDataFileName), std::string("Tenth")}) {
    SCOPED_TRACE(name);
    block_.SetSaveHint(name);
    form_->WndProc(kCommandMessage, static_cast<uint32_t>(CommandCode::kHandOver), 0);
    EXPECT_TRUE(dialog_.questions().empty());
  }
}

}  // namespace
}  // namespace quill
