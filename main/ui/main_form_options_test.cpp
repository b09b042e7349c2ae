// The options dialog in the main window, offscreen, with fakes and real
// stores in a temporary folder: what OK and Cancel leave in the settings,
// the block and the ini file, the hooks and the bar around the dialog,
// the icon page, and the hot-key fields fed keycode events.
#include <gtest/gtest.h>

#include <QButtonGroup>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPixmap>
#include <QTableWidget>
#include <QTest>
#include <array>
#include <filesystem>
#include <functional>

#include "hook/quillhook_seam.h"
#include "main/dialogs/fake_small_dialogs.h"
#include "main/ui/card_icons.h"
#include "main/settings/option_dialog.h"
#include "main/ui/main_form.h"
#include "main/ui/option_form.h"
#include "platform/headless/fake_clock.h"
#include "platform/headless/fake_ui.h"
#include "platform/headless/fault_env.h"
#include "platform/headless/in_process_bus.h"
#include "platform/headless/temp_dir.h"
#include "platform/headless/test_files.h"
#include "platform/messages.h"
#include "platform/protocol/shared_hook_block.h"
#include "platform/qt/test_app.h"

#include <X11/XF86keysym.h>
#include <X11/keysym.h>

namespace quill {
namespace {

namespace fs = std::filesystem;

using Script = std::function<void(TOptionFm&)>;

class MainFormOptionsTest : public testing::Test {
 protected:
  void SetUp() override {
    TestApp();
    fs::create_directories(dir_.File("home"));
    block_.SetBarWindow(bar_);
    MainFormContext context;
    context.env = &env_;
    context.program_folder = dir_.File("home") + "/";
    context.registry_path = dir_.File("registry.ini");
    context.block = &block_;
    context.bus = &bus_;
    context.clock = &clock_;
    context.ui = &ui_;
    context.dialogs = &dialogs_;
    context.ctrl_down = [this] { return ctrl_; };
    context.run_dialog = [this](QDialog& d) {
      auto* form = dynamic_cast<TOptionFm*>(&d);
      if (form == nullptr) return 0;
      script_(*form);
      return form->result();
    };
    form_ = std::make_unique<TMainForm>(std::move(context));
    ASSERT_TRUE(form_->FormCreate().ok());
    bus_.Take(bar_);
  }

  // Opens the dialog, runs the script in it and ends it with `end`.
  void Run(const Script& script, void (TOptionFm::*end)() = &TOptionFm::OKClick) {
    script_ = [&](TOptionFm& f) {
      script(f);
      if (end != nullptr) (f.*end)();
    };
    hooks_before_ = QuillhookSetHookCalls();
    form_->OptionClick();
  }
  // The hooks came back once and the bar was told to close once.
  void ExpectBracket() {
    EXPECT_EQ(QuillhookSetHookCalls(), hooks_before_ + 1);
    const std::vector<Message> sent = bus_.Take(bar_);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].wparam, static_cast<uint32_t>(CommandCode::kCloseBar));
  }
  std::vector<QImage> Images() {
    std::vector<QImage> images;
    for (int i = 0; i < form_->ImageList().count(); ++i) images.push_back(form_->ImageList().Image(i));
    return images;
  }
  std::string Ini() { return ReadAll(dir_.File("home/quillmain.ini")); }

  TempDir dir_;
  FaultEnv env_;
  alignas(8) std::array<uint8_t, kSharedHookBlockSize> bytes_{};
  SharedHookBlock block_{std::span<uint8_t, kSharedHookBlockSize>(bytes_)};
  FakeClock clock_;
  InProcessBus bus_{&clock_};
  WindowHandle bar_ = bus_.CreateWindow();
  FakeUi ui_;
  FakeSmallDialogs dialogs_;
  bool ctrl_ = false;
  std::function<void(TOptionFm&)> script_;
  int hooks_before_ = 0;
  std::unique_ptr<TMainForm> form_;
};

TEST_F(MainFormOptionsTest, OkWithoutEditsRewritesOnlyTheUnsetSourceNames) {
  Settings expected = form_->settings();
  for (std::string& name : expected.SyuttenNames) {
    if (name.empty()) name = kUnsetSourceName;
  }
  fs::remove(dir_.File("home/quillmain.ini"));
  Run([](TOptionFm&) {});
  ExpectBracket();
  EXPECT_TRUE(form_->settings() == expected);
  EXPECT_TRUE(ui_.questions().empty());
  // Groups 1 and 3.
  EXPECT_NE(Ini().find("CX="), std::string::npos);
  EXPECT_NE(Ini().find("TuikaOrikaesiSuu="), std::string::npos);
  EXPECT_EQ(Ini().find("Left="), std::string::npos);
}

TEST_F(MainFormOptionsTest, OneControlChangesOneSetting) {
  Run([](TOptionFm&) {});  // the source names rewritten once
  bus_.Take(bar_);
  struct Case {
    const char* name;
    Script change;
    std::function<void(Settings&)> expect;
  };
  const Case cases[] = {
      {"UseButton", [](TOptionFm& f) { f.UseButton->setChecked(false); },
       [](Settings& s) { s.UseButton = 0; }},
      {"Paste2", [](TOptionFm& f) { f.Paste2->setText("Foo"); },
       [](Settings& s) { s.PASTE_SHIFT_F9 = "Foo"; }},
      {"Cut4", [](TOptionFm& f) { f.Cut4->setText("X"); }, [](Settings& s) { s.CUT_WM_CUT = "X"; }},
      {"Copy3", [](TOptionFm& f) { f.Copy3->setText("Y"); },
       [](Settings& s) { s.COPY_SHIFT_F8 = "Y"; }},
      {"fold 5", [](TOptionFm& f) { f.TuikaOrikaesiSuu->setText("5"); },
       [](Settings& s) { s.TuikaOrikaesiSuu = 10; }},
      {"fold 0", [](TOptionFm& f) { f.TuikaOrikaesiSuu->setText("0"); },
       [](Settings& s) { s.TuikaOrikaesiSuu = 0; }},
      {"fold -3", [](TOptionFm& f) { f.TuikaOrikaesiSuu->setText("-3"); },
       [](Settings& s) { s.TuikaOrikaesiSuu = 10; }},
      {"fold 25", [](TOptionFm& f) { f.TuikaOrikaesiSuu->setText("25"); },
       [](Settings& s) { s.TuikaOrikaesiSuu = 25; }},
      {"SaveKey", [](TOptionFm& f) { f.Hotkeys[1]->SetHotKey(0xC04B); },
       [](Settings& s) { s.Hook.SaveKey = 0xC04B; }},
      {"SuperPasteKey3", [](TOptionFm& f) { f.SuperPasteKeys[3]->SetHotKey(0x0078); },
       [](Settings& s) { s.Hook.SuperPasteKeys[3] = 0x0078; }},
      {"AddIti", [](TOptionFm& f) { f.AddIti->button(0)->setChecked(true); },
       [](Settings& s) { s.AddIti = 0; }},
      {"Syutten", [](TOptionFm& f) { f.Syutten->item(0, 1)->setText("Web"); },
       [](Settings& s) { s.SyuttenNames[0] = "Web"; }},
      {"FileName", [](TOptionFm& f) { f.FileName->setText("/b/qb.zip"); },
       [](Settings& s) { s.BackupFile = "/b/qb.zip"; }},
      {"NoHukkiClass", [](TOptionFm& f) { f.NoHukkiClass->setText("Emacs"); },
       [](Settings& s) { s.NoHukkiClass = "Emacs"; }},
      {"AutoMove", [](TOptionFm& f) { f.AutoMove->setChecked(false); },
       [](Settings& s) { s.Hook.AutoMove = 0; }},
      {"IppatuLock", [](TOptionFm& f) { f.IppatuLock->setChecked(false); },
       [](Settings& s) { s.IppastuLock = 0; }},
      {"TrayDblClick", [](TOptionFm& f) { f.TrayDblClick->button(1)->setChecked(true); },
       [](Settings& s) { s.TrayDblClick = 1; }},
  };
  for (const Case& c : cases) {
    Settings expected = form_->settings();
    c.expect(expected);
    Run(c.change);
    ExpectBracket();
    EXPECT_TRUE(form_->settings() == expected) << c.name;
  }
  EXPECT_EQ(block_.Hotkey(SharedHookBlock::kSaveKey).value, 0xC04B);
  EXPECT_NE(Ini().find("SaveKey=49227"), std::string::npos);
  EXPECT_TRUE(ui_.questions().empty());
}

// OK puts every block field the dialog edits into the block before the
// hooks come back, where the hook library, the bar and the paste-out read
// them; the bar's position and NoTrack stay as the bar and the program
// left them. The new cards' auto title and the task-bar button follow too.
TEST_F(MainFormOptionsTest, OkTakesEffectWithoutARestart) {
  block_.SetBarLeft(77);
  block_.SetBarTop(-8);
  block_.SetNoTrack(1);
  const uint8_t ret_active = block_.RetActive();
  ASSERT_EQ(block_.AutoMove(), 1);
  ASSERT_FALSE(form_->windowHandle()->flags().testFlag(Qt::Tool));
  Run([](TOptionFm& f) {
    for (int i = 0; i < 8; ++i) f.Hotkeys[i]->SetHotKey(static_cast<uint16_t>(0xC031 + i));
    f.SuperPasteKeys[3]->SetHotKey(0xC074);
    f.RetActive->setChecked(!f.RetActive->isChecked());
    f.AutoMove->setChecked(false);
    f.DefAutoTitle->setChecked(true);
    f.ToolBar->setChecked(false);
  });
  ExpectBracket();
  const SharedHookBlock::HotkeySlot page_order[] = {
      SharedHookBlock::kPopupKubunKey, SharedHookBlock::kSaveKey,
      SharedHookBlock::kSaveHtmlKey,   SharedHookBlock::kSaveKubunKey,
      SharedHookBlock::kActiveKey,     SharedHookBlock::kMagicKey,
      SharedHookBlock::kNewCardKey,    SharedHookBlock::kFindKey,
  };
  for (int i = 0; i < 8; ++i) EXPECT_EQ(block_.Hotkey(page_order[i]).value, 0xC031 + i) << i;
  EXPECT_EQ(block_.SuperPasteKey(3).value, 0xC074);
  EXPECT_EQ(block_.RetActive(), ret_active != 0 ? 0 : 1);
  EXPECT_EQ(block_.AutoMove(), 0);
  EXPECT_EQ(block_.BarLeft(), 77);
  EXPECT_EQ(block_.BarTop(), -8);
  EXPECT_EQ(block_.NoTrack(), 1);
  EXPECT_EQ(form_->settings().Hook.SaveKubunKey, 0xC034);
  EXPECT_TRUE(form_->windowHandle()->flags().testFlag(Qt::Tool));
  form_->AddNewClick();
  EXPECT_TRUE(form_->AutoTitle->isChecked());
  EXPECT_TRUE(ui_.questions().empty());
}

TEST_F(MainFormOptionsTest, CancelCloseBoxAndAFailedNumberBringTheHooksBack) {
  Run([](TOptionFm&) {});
  bus_.Take(bar_);
  const Settings before = form_->settings();
  Run([](TOptionFm& f) { f.UseButton->setChecked(false); }, &TOptionFm::CancelClick);
  ExpectBracket();
  Run([](TOptionFm& f) { f.UseButton->setChecked(false); }, &TOptionFm::reject);
  ExpectBracket();
  EXPECT_TRUE(form_->settings() == before);

  Run([](TOptionFm& f) {
    f.TuikaOrikaesiSuu->setText("x");
    f.SaveDate->setChecked(true);
  });
  ExpectBracket();
  ASSERT_EQ(ui_.questions().size(), 1u);
  EXPECT_EQ(ui_.questions()[0].text, FormatMessage(MessageId::kNotAnInteger, {"x"}));
  EXPECT_EQ(form_->settings().TuikaOrikaesiSuu, before.TuikaOrikaesiSuu);
  EXPECT_EQ(form_->settings().SaveDate, 1);
}

TEST_F(MainFormOptionsTest, IconPage) {
  QImage red(16, 16, QImage::Format_RGB32);
  red.fill(Qt::red);
  const std::string bmp = dir_.File("red.bmp"), text = dir_.File("text.bmp");
  ASSERT_TRUE(red.save(QString::fromStdString(bmp), "BMP"));
  WriteAll(text, "not a picture");
  const std::string sheet = dir_.File("home/cardicon.bmp");
  const std::string sheet_bytes = ReadAll(sheet);
  const std::vector<QImage> before = Images();
  auto replace7 = [&](TOptionFm& f) {
    ui_.AnswerFile(bmp);
    f.IconGrid->setCurrentCell(0, 8);
    f.IconGridDblClick();
    const std::vector<QImage> now = Images();
    for (size_t i = 0; i < now.size(); ++i) {
      EXPECT_EQ(now[i] == before[i], i != 12 && i != 112) << i;
    }
  };
  // Cancel: the message, and the sheet's images back.
  Run(replace7, &TOptionFm::CancelClick);
  ASSERT_EQ(ui_.questions().size(), 1u);
  EXPECT_EQ(ui_.questions()[0].text, MessageText(MessageId::kRebuildingIcons));
  EXPECT_TRUE(Images() == before);
  EXPECT_EQ(ReadAll(sheet), sheet_bytes);

  // A text file changes nothing and says so.
  Run([&](TOptionFm& f) {
    ui_.AnswerFile(text);
    f.IconGrid->setCurrentCell(0, 8);
    f.IconGridDblClick();
  });
  EXPECT_EQ(ui_.questions().back().text, FormatMessage(MessageId::kIconFileUnusable, {text}));
  EXPECT_TRUE(Images() == before);

  // An unwritable sheet: the message, the file as it was, the images kept.
  Run([&](TOptionFm& f) {
    replace7(f);
    env_.SetFailRename(true);
    f.OKClick();
    env_.SetFailRename(false);
  }, nullptr);
  EXPECT_EQ(ui_.questions().back().text,
            FormatMessage(MessageId::kCannotWriteFile, {sheet}));
  EXPECT_EQ(ReadAll(sheet), sheet_bytes);
  EXPECT_EQ(Images()[12], form_->ImageList().Image(12));
  EXPECT_NE(Images()[12], before[12]);

  // OK writes them; Ctrl gives the built-ins of 30 (icon 0) and 7.
  ctrl_ = true;
  Run([&](TOptionFm& f) {
    f.IconGrid->setCurrentCell(3, 1);
    f.IconGridDblClick();
  });
  ctrl_ = false;
  EXPECT_NE(ReadAll(sheet), sheet_bytes);
  EXPECT_EQ(form_->ImageList().Image(35), CardIconList::BuiltInCardIcon(0).convertToFormat(
                                               form_->ImageList().Image(35).format()));
  EXPECT_NE(Images()[12], before[12]);  // from the sheet written before
}

TEST(THotKeyTest, KeycodeEvents) {
  TestApp();
  // Keycodes from 8, two keysyms each.
  const std::vector<std::pair<unsigned long, unsigned long>> keys = {
      {XK_k, XK_K}, {XK_s, XK_S}, {XK_2, XK_at}, {XK_F9, 0}, {XK_Control_L, 0}, {XK_BackSpace, 0}};
  std::vector<unsigned long> syms;
  for (auto [plain, shifted] : keys) syms.insert(syms.end(), {plain, shifted});
  KeyMap map;
  map.Build(8, 2, syms);
  THotKey field(nullptr, "field", map);
  field.SetHotKey(0x1234);
  struct Case {
    int qt_key;
    Qt::KeyboardModifiers mods;
    uint32_t keycode;
    uint16_t expected;
  } cases[] = {
      {Qt::Key_K, Qt::ControlModifier | Qt::AltModifier, 8, 0xC04B},
      {Qt::Key_S, Qt::NoModifier, 9, 0x0053},
      {Qt::Key_At, Qt::ShiftModifier, 10, 0x2032},
      {Qt::Key_F9, Qt::NoModifier, 11, 0x0078},
      {Qt::Key_Control, Qt::ControlModifier, 12, 0x0078},  // Ctrl alone: no change
      {Qt::Key_Backspace, Qt::NoModifier, 13, 0},
  };
  for (const Case& c : cases) {
    QKeyEvent event(QEvent::KeyPress, c.qt_key, c.mods, c.keycode, 0, 0);
    QCoreApplication::sendEvent(&field, &event);
    EXPECT_EQ(field.HotKey(), c.expected) << c.keycode;
  }
  field.SetHotKey(0xC04B);
  EXPECT_EQ(field.text(), "Ctrl+Alt+K");
}

// Ctrl+Alt+F5 switches to a terminal: the X server keeps that press from
// every window, so it reaches the focused hot-key field as a raw key event,
// and shows with its name. With Shift, or on a key that switches nothing,
// the field's own key events serve.
TEST(TOptionFmTest, CtrlAltAndAFunctionKeyReachTheFocusedField) {
  TestApp();
  KeyMap map;  // keycodes from 8, five levels each, as a PC keyboard has them
  map.Build(8, 5, std::vector<unsigned long>{
                      XK_F5, XK_F5, XK_F5, XK_F5, XF86XK_Switch_VT_5,  // 8
                      XK_Control_L, 0, 0, 0, 0,                         // 9
                      XK_Alt_L, XK_Meta_L, 0, 0, 0,                     // 10
                      XK_Shift_L, 0, 0, 0, 0,                           // 11
                      XK_F6, XK_F6, XK_F6, XK_F6, 0,                    // 12
                  });
  struct Ports final : OptionPorts {
    bool LoadIconFile(int, const std::string&) override { return false; }
    void LoadBuiltInIcon(int, int) override {}
    Status WriteIconSheet() override { return Status::Ok(); }
    std::string IconSheetPath() const override { return {}; }
    int RunDbForm(DbForm&) override { return kResultCancel; }
  } ports;
  Settings settings;
  FakeUi ui;
  OptionDialog logic({settings, nullptr, ui, ports, "", "", {}, {}, nullptr, "/home/u/"});
  TOptionFm form(nullptr, logic, map, [](int) { return QPixmap(); }, [] { return false; });
  form.show();
  form.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
  form.SuperPasteKeys[1]->setFocus();
  using Raw = std::vector<std::pair<uint32_t, bool>>;
  struct Case {
    const char* name;
    Raw raw;
    uint16_t expected;
  } cases[] = {
      {"Ctrl+Alt+F5", {{9, true}, {10, true}, {8, true}, {8, false}, {10, false}, {9, false}},
       0xC074},
      {"Shift+Ctrl+Alt+F5", {{11, true}, {9, true}, {10, true}, {8, true}, {11, false}}, 0},
      {"Ctrl+Alt+F6", {{9, true}, {10, true}, {12, true}}, 0},
      {"F5 after the release", {{10, false}, {9, false}, {8, true}}, 0},
  };
  for (const Case& c : cases) {
    form.SuperPasteKeys[1]->SetHotKey(0);
    for (auto [keycode, press] : c.raw) form.RawKey(keycode, press);
    EXPECT_EQ(form.SuperPasteKeys[1]->HotKey(), c.expected) << c.name;
  }
  form.RawKey(9, true);
  form.RawKey(10, true);
  form.RawKey(8, true);
  EXPECT_EQ(form.SuperPasteKeys[1]->text(), "Ctrl+Alt+F5");
  EXPECT_EQ(form.Hotkeys[0]->HotKey(), 0);
}

}  // namespace
}  // namespace quill
