// The main window's folder popup and clip-tool menu, offscreen: the
// commands show them through the Ui, and a tool runs from the hot key's
// menu and from the editor popup.
#include <gtest/gtest.h>

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <array>
#include <fstream>

#include "clip/clip_history.h"
#include "clip/dispatcher.h"
#include "main/ui/main_form.h"
#include "main/ui/main_form_test_support.h"
#include "platform/qt/test_app.h"
#include "platform/headless/fake_plugin_loader.h"
#include "platform/headless/fake_ui.h"
#include "platform/headless/temp_dir.h"
#include "platform/key_injector.h"
#include "platform/message_bus.h"
#include "platform/messages.h"
#include "platform/protocol/shared_hook_block.h"
#include "platform/text_codec.h"

namespace quill {
namespace {

// Keys into the main window: a paste reaches its editor.
class EditorKeys final : public KeyInjector {
 public:
  QPlainTextEdit* editor = nullptr;
  void KeyIn(int what, int) override {
    if (what == kPaste && editor != nullptr) editor->paste();
  }
  void PressEnter() override {}
  void PressShiftInsert() override {}
};

class MainFormPopupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TestApp();
    std::ofstream(dir_.File("quillmain.ini"), std::ios::binary)
        << "[Env]\r\nUseButton=0\r\nClipHistoryRoot=1\r\n";
    std::ofstream(dir_.File("upper.cta")) << "";
    plugins_.Add(dir_.File("upper.cta"), UpperCaseTools::Exports());
    block_.SetMainWindow(0x0A000001);
    MainFormContext context = TestFormContext(dir_, ui_);
    context.block = &block_;
    context.keys = &keys_;
    context.plugins = &plugins_;
    context.shift_down = [this] { return shift_; };
    form_ = std::make_unique<TMainForm>(std::move(context));
    ASSERT_TRUE(form_->FormCreate().ok());
    keys_.editor = form_->Text;
    UpperCaseTools::calls = 0;
  }
  void Command(CommandCode code, WindowHandle target = 0) {
    form_->WndProc(kCommandMessage, static_cast<uint32_t>(code), static_cast<int32_t>(target));
  }
  // The editor holds "abc def" with "def" selected.
  void EditorText() {
    form_->show();
    form_->Text->setFocus();
    form_->Text->setPlainText("abc def");
    QTextCursor cursor = form_->Text->textCursor();
    cursor.setPosition(4);
    cursor.setPosition(7, QTextCursor::KeepAnchor);
    form_->Text->setTextCursor(cursor);
  }

  TempDir dir_;
  alignas(8) std::array<uint8_t, kSharedHookBlockSize> bytes_{};
  SharedHookBlock block_{std::span<uint8_t, kSharedHookBlockSize>(bytes_)};
  FakeUi ui_;
  EditorKeys keys_;
  FakePluginLoader plugins_;
  bool shift_ = false;
  std::unique_ptr<TMainForm> form_;
};

TEST_F(MainFormPopupTest, TheCommandsShowTheFolderPopupAndTheToolMenu) {
  QGuiApplication::clipboard()->setText("mine");
  form_->History().Add("mine");
  Command(CommandCode::kPopupKubun);
  ASSERT_EQ(ui_.menus().size(), 1u);
  const std::vector<MenuItem>& popup = ui_.menus()[0].items;
  ASSERT_GE(popup.size(), 2u);
  EXPECT_EQ(popup[0].caption, Utf8ToCp932("メニュー(&M)"));
  EXPECT_EQ(popup[1].caption, "&0:mine");
  EXPECT_EQ(popup[1].image, 4);

  ui_.ChooseCaption("upper0");
  Command(CommandCode::kMagic);
  ASSERT_EQ(ui_.menus().size(), 2u);
  EXPECT_EQ(ui_.menus()[1].items.size(), 4u);
  EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), "MINE");
}

// The main window's clip-tool button: command 13 posted to the main
// window itself comes back through the dispatcher and shows the tool menu
// over the main window, which stays in sight.
TEST_F(MainFormPopupTest, TheClipToolButtonShowsTheToolMenuOverTheMainWindow) {
  form_->show();
  QGuiApplication::clipboard()->setText("mine");
  std::vector<bool> shown;
  ui_.on_menu = [&](const FakeUi::ShownMenu&) { shown.push_back(form_->isVisible()); };
  ui_.ChooseCaption("upper0");
  form_->ClipTool->click();
  EXPECT_TRUE(ui_.menus().empty());  // posted, not run in the click
  ASSERT_TRUE(QTest::qWaitFor([&] { return !ui_.menus().empty(); }, 5000));
  EXPECT_EQ(ui_.menus()[0].items.size(), 4u);
  EXPECT_EQ(shown, std::vector<bool>{true});
  EXPECT_EQ(form_->CommandState().CommandTarget, block_.MainWindow());
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return QGuiApplication::clipboard()->text().toStdString() == "MINE"; }, 5000));
}

// A menu over another application: the main window, hidden for it, stays
// hidden while the menu is open and is shown again once it has closed.
TEST_F(MainFormPopupTest, TheMainWindowStaysHiddenUnderAMenuOverAnotherApplication) {
  form_->show();
  std::vector<bool> shown;
  ui_.on_menu = [&](const FakeUi::ShownMenu&) { shown.push_back(form_->isVisible()); };
  for (CommandCode code : {CommandCode::kPopupKubun, CommandCode::kMagic}) {
    Command(code, 0x0B000001);
    EXPECT_TRUE(form_->isVisible());
  }
  EXPECT_EQ(shown, (std::vector<bool>{false, false}));
}

TEST_F(MainFormPopupTest, AToolFromTheEditorPopupWorksOnTheEditor) {
  QList<QAction*> tools = form_->MagicMenu->actions();
  ASSERT_EQ(tools.size(), 4);
  EXPECT_EQ(tools[3]->text(), "upper3");
  EXPECT_TRUE(form_->TextPopup->actions().contains(form_->MagicMenu->menuAction()));

  EditorText();
  block_.SetTargetWindow(0x0B000001);  // another application was in front
  tools[3]->trigger();
  EXPECT_EQ(UpperCaseTools::calls, 0);  // it runs once the popup is gone
  EXPECT_TRUE(QTest::qWaitFor([&] { return form_->Text->toPlainText() == "abc DEF"; }, 10000))
      << form_->Text->toPlainText().toStdString();
}

// A clip-history entry chosen with Shift brings up the tool menu; closed
// without a tool, it leaves nothing behind: the hot key's tool afterwards
// copies the selection as its mode says, and pastes nothing.
TEST_F(MainFormPopupTest, AToolMenuClosedAfterShiftLeavesTheNextToolItsCopy) {
  EditorText();
  const WindowHandle main = block_.MainWindow();
  form_->History().Add("entry");
  shift_ = true;
  ui_.ChooseCaption("&0:entry");
  ui_.Choose(std::nullopt);
  Command(CommandCode::kPopupKubun, main);
  ASSERT_EQ(ui_.menus().size(), 2u);
  EXPECT_EQ(ui_.menus()[1].items.size(), 4u);  // the tools

  shift_ = false;
  ui_.ChooseCaption("upper1");
  Command(CommandCode::kMagic, main);
  ASSERT_EQ(ui_.menus().size(), 3u);
  EXPECT_EQ(UpperCaseTools::calls, 1);
  EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), "DEF");
  EXPECT_EQ(form_->Text->toPlainText().toStdString(), "abc def");
}

// quillpeek.cta in the install folder: its thirteen tools in the menu.
TEST(MainFormClipToolsTest, QuillpeeksToolsAreListed) {
  TestApp();
  TempDir dir;
  std::ofstream(dir.File("quillmain.ini"), std::ios::binary) << "[Env]\r\nUseButton=0\r\n";
  FakeUi ui;
  MainFormContext context = TestFormContext(dir, ui);
  context.install_folder = QUILLPEEK_DIR;
  TMainForm form(std::move(context));
  ASSERT_TRUE(form.FormCreate().ok());
  const QList<QAction*> tools = form.MagicMenu->actions();
  ASSERT_EQ(tools.size(), 13);
  EXPECT_EQ(tools.front()->text(), QString::fromUtf8("引用マーク(&I)"));
  EXPECT_EQ(tools[8]->text(), QString::fromUtf8("代入逆転(&X)"));
  EXPECT_EQ(tools.back()->text(), QString::fromUtf8("TAB区切りをHTMLに"));
}

}  // namespace
}  // namespace quill
