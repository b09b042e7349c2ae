#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeView>
#include <array>
#include <fstream>
#include <iterator>

#include "main/ui/main_form.h"
#include "main/ui/main_form_test_support.h"
#include "platform/qt/test_app.h"
#include "platform/headless/fake_ui.h"
#include "platform/headless/temp_dir.h"
#include "platform/protocol/shared_hook_block.h"
#include "platform/text_codec.h"

namespace quill {
namespace {

// The super-key button follows the card in the editor, and its menu binds
// that card to a slot, stored in the settings at once.
TEST(MainFormPasteTest, TheSuperKeyButtonBindsTheEditorsCard) {
  TestApp();
  TempDir dir;
  std::ofstream(dir.File("quillmain.ini"), std::ios::binary)
      << "[Env]\r\nUseButton=0\r\nSuperPasteKey3=" << 0xC074 << "\r\n";
  alignas(8) std::array<uint8_t, kSharedHookBlockSize> bytes{};
  SharedHookBlock block{std::span<uint8_t, kSharedHookBlockSize>(bytes)};
  FakeUi ui;
  MainFormContext context = TestFormContext(dir, ui);
  context.block = &block;
  TMainForm form(std::move(context));
  ASSERT_TRUE(form.FormCreate().ok());

  // A new card: nothing to bind yet.
  form.Tree->setCurrentIndex(form.Tree->model()->index(0, 0));
  EXPECT_TRUE(form.SuperKeyStatus->isHidden());
  form.SuperKeyStatus->click();
  EXPECT_EQ(ui.beeps(), 1);

  form.Title->setText("memo");
  form.Text->setFocus();
  form.Text->insertPlainText("text");
  form.SaveButton->click();
  ASSERT_FALSE(form.EditCard().id.empty());
  EXPECT_FALSE(form.SuperKeyStatus->isHidden());
  EXPECT_EQ(form.SuperKeyStatus->text(), "");

  ui.Choose(3);
  form.SuperKeyStatus->click();
  ASSERT_EQ(ui.menus().size(), 1u);
  EXPECT_EQ(ui.menus()[0].items[2].caption, "&3:Ctrl+Alt+F5:");
  EXPECT_EQ(form.settings().SuperCard[3], form.EditCard().id);
  EXPECT_EQ(form.SuperKeyStatus->text(), "Ctrl+Alt+F5");
  std::ifstream in(dir.File("quillmain.ini"), std::ios::binary);
  const std::string ini((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(ini.find("SuperCard3=" + form.EditCard().id + "\r\n"), std::string::npos);
}

}  // namespace
}  // namespace quill
