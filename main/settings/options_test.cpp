// The options dialog's logic without a display: class lists, the fold
// count, the hook bracket, the data page with its form over real stores,
// and the icon page over scripted ports.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "main/settings/class_list.h"
#include "main/settings/db_form.h"
#include "main/settings/hotkey_field.h"
#include "main/settings/option_dialog.h"
#include "platform/file_env.h"
#include "platform/headless/fake_clock.h"
#include "platform/headless/fake_ui.h"
#include "platform/headless/in_process_bus.h"
#include "platform/headless/temp_dir.h"
#include "platform/headless/test_files.h"
#include "platform/messages.h"
#include "platform/protocol/shared_hook_block.h"
#include "store/card_store.h"
#include "store/card_test_support.h"

namespace quill {
namespace {

namespace fs = std::filesystem;

TEST(AddClassToListTest, Table) {
  const std::string long_list = std::string(590, 'x') + ",Firefox";
  struct Case {
    std::string list, cls, expected;
    bool message;
  } cases[] = {
      {"a,b", "", "a,b", false},                   // empty class
      {"", "XTerm", "XTerm", false},               // empty list
      {"xterm", "XTerm", "xterm,XTerm", false},    // case counts
      {"a,XTerm,b", "XTerm", "a,XTerm,b", true},   // exact duplicate
      {"a XTerm", "XTerm", "a XTerm", true},       // blanks separate too
      {"XTermX", "XTerm", "XTermX,XTerm", false},  // whole names only
      {",,a", "b", "a,b", false},                  // leading comma and ",,"
      {"a,,b,", "c", "a,b,c", false},
      {long_list, "URxvt", long_list + ",URxvt", false},
      {long_list, "Firefox", long_list, true},
  };
  for (const Case& c : cases) {
    FakeUi ui;
    std::string list = c.list;
    EXPECT_EQ(AddClassToList(ui, &list, c.cls), c.expected != c.list) << c.list;
    EXPECT_EQ(list, c.expected);
    ASSERT_EQ(ui.questions().size(), c.message ? 1u : 0u) << c.list;
    if (c.message) {
      EXPECT_EQ(ui.questions()[0].text, MessageText(MessageId::kClassAlreadyListed));
    }
  }
}

TEST(HotkeyFromKeyPressTest, ModifiersBareKeysAndBackspace) {
  EXPECT_EQ(HotkeyFromKeyPress('K', false, true, true)->value, 0xC04B);
  EXPECT_EQ(HotkeyFromKeyPress('S', false, false, false)->value, 0x0053);
  EXPECT_EQ(HotkeyFromKeyPress('2', true, false, false)->value, 0x2032);
  EXPECT_EQ(HotkeyFromKeyPress(0x08, false, false, false)->value, 0);
  EXPECT_EQ(HotkeyFromKeyPress(0x08, false, true, false)->value, 0x4008);
  EXPECT_FALSE(HotkeyFromKeyPress(0x11, false, true, false));  // Ctrl alone
  EXPECT_FALSE(HotkeyFromKeyPress(0x10, true, false, false));
  EXPECT_FALSE(HotkeyFromKeyPress(0, false, true, false));     // a key the map lacks
}

TEST(FoldCountFromTextTest, Table) {
  const std::pair<std::string, std::optional<int32_t>> cases[] = {
      {"5", 10}, {"0", 0}, {"-3", 10}, {"25", 25}, {" 12 ", 12}, {"9", 10}, {"10", 10},
      {"x", std::nullopt}, {"", std::nullopt}, {"1.5", std::nullopt},
      {"99999999999", std::nullopt},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(FoldCountFromText(text), expected) << text;
}

struct FakeHooks final : HookControl {
  void StopHooks() override { log += "stop;"; }
  void StartHooks() override { log += "start;"; }
  void StartBar() override { log += "bar;"; }
  std::string log;
};

TEST(HookBracketTest, OffWhileOpenBackOnEveryPath) {
  FakeClock clock;
  InProcessBus bus(&clock);
  alignas(8) std::array<uint8_t, kSharedHookBlockSize> bytes{};
  SharedHookBlock block{std::span<uint8_t, kSharedHookBlockSize>(bytes)};
  for (bool bar_runs : {false, true}) {
    for (int use_button : {0, 1}) {
      for (bool thrown : {false, true}) {
        const WindowHandle bar = bus.CreateWindow();
        block.SetBarWindow(bar_runs ? bar : 0);
        Settings settings;
        settings.UseButton = 1 - use_button;
        FakeHooks hooks;
        try {
          HookBracket bracket(hooks, &block, &bus, settings);
          EXPECT_EQ(hooks.log, "stop;");
          settings.UseButton = use_button;  // as the dialog's OK leaves it
          if (thrown) throw std::runtime_error("between");
        } catch (const std::runtime_error&) {
        }
        EXPECT_EQ(hooks.log, use_button ? "stop;start;bar;" : "stop;start;");
        const std::vector<Message> sent = bus.Take(bar);
        if (bar_runs) {
          ASSERT_EQ(sent.size(), 1u);
          EXPECT_EQ(sent[0].wparam, static_cast<uint32_t>(CommandCode::kCloseBar));
        } else {
          EXPECT_TRUE(sent.empty());
        }
      }
    }
  }
}

// Scripted icon and form ports.
struct FakePorts final : OptionPorts {
  bool LoadIconFile(int k, const std::string& path) override {
    if (ReadAll(path).rfind("BM", 0) != 0) return false;
    loaded.push_back("file " + std::to_string(k));
    return true;
  }
  void LoadBuiltInIcon(int k, int n) override {
    loaded.push_back("built-in " + std::to_string(k) + "=" + std::to_string(n));
  }
  Status WriteIconSheet() override {
    ++sheet_writes;
    return sheet_ok ? Status::Ok() : Status::IoError("full");
  }
  std::string IconSheetPath() const override { return "/home/cardicon.bmp"; }
  int RunDbForm(DbForm& form) override {
    forms.push_back(form.Meisyou + "|" + form.Dir + "|" + (form.folder_fixed ? "fixed" : ""));
    form.Meisyou = "Renamed";
    form.Dir = "/new/";
    return form_result;
  }
  std::vector<std::string> loaded, forms;
  int sheet_writes = 0;
  bool sheet_ok = true;
  int form_result = kResultOk;
};

class OptionDialogTest : public testing::Test {
 protected:
  OptionDialog Make() {
    return OptionDialog({settings_, &block_, ui_, ports_, "Navigator", "Edit", {}, {},
                         &FileEnv::Default(), dir_.Path() + "/"});
  }
  TempDir dir_;
  alignas(8) std::array<uint8_t, kSharedHookBlockSize> bytes_{};
  SharedHookBlock block_{std::span<uint8_t, kSharedHookBlockSize>(bytes_)};
  Settings settings_;
  FakeUi ui_;
  FakePorts ports_;
};

TEST_F(OptionDialogTest, DataRowsOneAndTheOpenSetKeepTheirFolder) {
  settings_.DataFileNum = 3;
  for (int i = 0; i < 10; ++i) {
    settings_.DataFiles.names[i] = "set" + std::to_string(i);
    settings_.DataFiles.paths[i] = "/data/" + std::to_string(i);
  }
  OptionDialog d = Make();
  for (int row : {1, 4, 6}) d.DataPathClearClick(row);
  EXPECT_EQ(d.values.data_names[0], "set0");
  EXPECT_EQ(d.values.data_paths[3], "/data/3");
  EXPECT_EQ(d.values.data_names[5], "");
  EXPECT_EQ(d.values.data_paths[5], "");
  for (int row : {1, 4, 7}) d.DataFileDblClick(row);
  EXPECT_EQ(ports_.forms, (std::vector<std::string>{"set0|/data/0|fixed", "set3|/data/3|fixed",
                                                    "set6|/data/6|"}));
  EXPECT_EQ(d.values.data_names[3], "Renamed");
  EXPECT_EQ(d.values.data_paths[3], "/data/3");
  EXPECT_EQ(d.values.data_paths[6], "/new/");
  ports_.form_result = kResultCancel;
  d.DataFileDblClick(8);
  EXPECT_EQ(d.values.data_names[7], "set7");
  // The list keeps folders without the trailing slash.
  ASSERT_FALSE(d.TakeBack());
  EXPECT_EQ(settings_.DataFiles.paths[6], "/new");
  EXPECT_EQ(settings_.DataFiles.names[5], "");
}

TEST_F(OptionDialogTest, IconPage) {
  const std::string bmp = dir_.File("icon.bmp"), text = dir_.File("note.bmp");
  std::ofstream(bmp, std::ios::binary) << "BM....";
  std::ofstream(text, std::ios::binary) << "just text";
  OptionDialog d = Make();
  d.IconGridDblClick(30, /*ctrl=*/true);
  d.IconGridDblClick(7, /*ctrl=*/true);
  EXPECT_TRUE(ui_.file_choices().empty());
  ui_.AnswerFile(text);
  d.IconGridDblClick(12, false);
  ASSERT_EQ(ui_.questions().size(), 1u);
  EXPECT_EQ(ui_.questions()[0].text, FormatMessage(MessageId::kIconFileUnusable, {text}));
  ui_.AnswerFile(bmp);
  d.IconGridDblClick(12, false);
  ASSERT_EQ(ui_.file_choices().size(), 2u);
  EXPECT_EQ(ui_.file_choices()[0].filter, "*.bmp");
  EXPECT_EQ(ui_.file_choices()[0].file_name, "*.bmp");
  EXPECT_FALSE(ui_.file_choices()[0].save);
  EXPECT_EQ(ports_.loaded,
            (std::vector<std::string>{"built-in 30=0", "built-in 7=7", "file 12"}));
  EXPECT_TRUE(d.IconsChanged());

  // A sheet that cannot be written is said; the images stay.
  ports_.sheet_ok = false;
  d.OKClick();
  EXPECT_TRUE(d.IconSheetUnwritten());
  EXPECT_EQ(ui_.questions().back().text,
            FormatMessage(MessageId::kCannotWriteFile, {"/home/cardicon.bmp"}));
}

TEST_F(OptionDialogTest, ANumberThatIsNoneIsSaidAndTheRestIsTaken) {
  settings_.TuikaOrikaesiSuu = 1000;
  OptionDialog d = Make();
  d.values.TuikaOrikaesiSuu = "x";
  d.values.SaveDate = true;
  d.values.hotkeys[0] = 0xC04B;
  d.OKClick();
  d.TakeBack();
  EXPECT_EQ(settings_.TuikaOrikaesiSuu, 1000);
  EXPECT_EQ(settings_.SaveDate, 1);
  EXPECT_EQ(settings_.Hook.PopupKubunKey, 0xC04B);
  EXPECT_EQ(block_.Hotkey(SharedHookBlock::kPopupKubunKey).value, 0xC04B);
  ASSERT_EQ(ui_.questions().size(), 1u);
  EXPECT_EQ(ui_.questions()[0].text, FormatMessage(MessageId::kNotAnInteger, {"x"}));
}

class DbFormTest : public testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(dir_.File("open"));
    fs::create_directories(dir_.File("empty"));
    ASSERT_TRUE(open_.Open(false, dir_.File("open")).ok());
    store::WriteFolderRow(open_, "Kept");
  }
  std::string OpenSetBytes() { return ReadAll(dir_.File("open/quilbo7.dat")); }

  TempDir dir_;
  store::CardStore open_{FileEnv::Default(), dir_.Path() + "/"};
  FakeUi ui_;
  DbForm form_{FileEnv::Default(), dir_.Path() + "/", ui_};
};

TEST_F(DbFormTest, BlankTabNoAndYes) {
  const std::string before = OpenSetBytes();
  form_.Dir = dir_.File("empty");
  form_.Meisyou = "   ";
  EXPECT_FALSE(form_.Button1Click());
  EXPECT_TRUE(ui_.questions().empty());

  form_.Meisyou = "a\tb";
  EXPECT_FALSE(form_.Button1Click());
  EXPECT_EQ(ui_.questions().back().text, MessageText(MessageId::kTabInDataSet));

  form_.Meisyou = "  New set ";
  ui_.Answer(kResultNo);
  EXPECT_FALSE(form_.Button1Click());
  EXPECT_EQ(ui_.questions().back().text, MessageText(MessageId::kCreateDataFilesHere));
  EXPECT_FALSE(fs::exists(dir_.File("empty/quilbo7.dat")));

  ui_.Answer(kResultYes);
  EXPECT_TRUE(form_.Button1Click());
  EXPECT_EQ(form_.Meisyou, "New set");
  EXPECT_EQ(form_.Dir, dir_.File("empty") + "/");
  EXPECT_TRUE(fs::exists(dir_.File("empty/quilbo7.dat")));
  EXPECT_TRUE(fs::exists(dir_.File("empty/quilbo7.tre")));

  // No folder picked: refused with a message, never the root.
  for (const char* none : {"", "  "}) {
    const size_t asked = ui_.questions().size();
    form_.Dir = none;
    EXPECT_FALSE(form_.Button1Click()) << none;
    ASSERT_EQ(ui_.questions().size(), asked + 1);
    EXPECT_EQ(ui_.questions().back().text, MessageText(MessageId::kNoFolderChosen));
    EXPECT_EQ(form_.Dir, none);
  }

  // A folder with a store: no question. The open set was never touched.
  const size_t asked = ui_.questions().size();
  form_.Dir = dir_.File("empty");
  EXPECT_TRUE(form_.Button1Click());
  EXPECT_EQ(ui_.questions().size(), asked);
  EXPECT_EQ(OpenSetBytes(), before);
  EXPECT_EQ(open_.data_path(), dir_.File("open") + "/");
  store::WriteFolderRow(open_, "Still open");
  EXPECT_NE(OpenSetBytes(), before);
}

}  // namespace
}  // namespace quill
