#include <gtest/gtest.h>
#include <unistd.h>

#include <QDialog>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "hook/quillhook_seam.h"
#include "main/single_instance.h"
#include "main/ui/main_form.h"
#include "main/ui/quill_app.h"
#include "platform/qt/test_app.h"
#include "platform/headless/fake_ui.h"
#include "platform/headless/temp_dir.h"
#include "platform/protocol/shared_hook_block.h"
#include "platform/registry_store.h"
#include "platform/shared_memory.h"
#include "platform/text_codec.h"
#include "store/card_store.h"

namespace quill {
namespace {

namespace fs = std::filesystem;

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void WriteAll(const std::string& path, const std::string& data) {
  std::ofstream(path, std::ios::binary) << data;
}

bool BlockExists(const std::string& name) {
  std::unique_ptr<SharedMemory> memory;
  return SharedMemory::Open(name, kSharedHookBlockSize, &memory).ok();
}

// One user's environment in a temporary folder: program folder, registry
// file, run-time folder and a block name of its own.
class QuillAppTest : public testing::Test {
 protected:
  QuillAppTest() {
    TestApp();
    static int counter = 0;
    fs::create_directories(dir_.File("home"));
    fs::create_directories(dir_.File("run"));
    fs::create_directories(dir_.File("install"));
    fs::permissions(dir_.File("run"), fs::perms::owner_all, fs::perm_options::replace);
    block_name_ = "/quilltest-" + std::to_string(::getpid()) + "-" + std::to_string(++counter);
  }

  QuillApp::Options Options(std::vector<std::string> args = {}, bool shift = false) {
    QuillApp::Options o;
    o.args = std::move(args);
    o.program_folder = Home();
    o.registry_path = dir_.File("config/registry.ini");
    o.install_folder = dir_.File("install");
    o.names.block_name = block_name_;
    o.names.runtime_folder = dir_.File("run");
    o.shift_down = [shift] { return shift; };
    o.ui = &dialog_;
    return o;
  }

  std::string Home() const { return dir_.File("home"); }

  TempDir dir_;
  std::string block_name_;
  FakeUi dialog_;
};

TEST(StartArgumentsTest, ArgumentWalk) {
  struct Case {
    std::vector<std::string> args;
    std::string start_argument;
    bool no_reset_prompt;
  } cases[] = {
      {{}, "", false},
      {{"R"}, "", true},
      {{"r"}, "", true},
      {{"x", "y"}, "y", false},
      {{"R", "x"}, "x", true},
      {{"x", "r"}, "x", true},
      {{"RR"}, "RR", false},
  };
  for (const Case& c : cases) {
    StartArguments a = WalkArguments(c.args);
    EXPECT_EQ(a.start_argument, c.start_argument) << testing::PrintToString(c.args);
    EXPECT_EQ(a.no_reset_prompt, c.no_reset_prompt) << testing::PrintToString(c.args);
  }
}

TEST(QuillAppOptionsTest, CommandLineArgumentsBecomeCp932) {
  TestApp();
  TempDir dir;
  fs::permissions(dir.Path(), fs::perms::owner_all, fs::perm_options::replace);
  std::string old_runtime = getenv("XDG_RUNTIME_DIR") != nullptr ? getenv("XDG_RUNTIME_DIR") : "";
  setenv("XDG_RUNTIME_DIR", dir.Path().c_str(), 1);
  char a0[] = "quillmain", a1[] = "R", a2[] = "データ２";
  char* argv[] = {a0, a1, a2, nullptr};
  QuillApp::Options o;
  Status s = QuillApp::DefaultOptions(3, argv, &o);
  if (old_runtime.empty()) {
    unsetenv("XDG_RUNTIME_DIR");
  } else {
    setenv("XDG_RUNTIME_DIR", old_runtime.c_str(), 1);
  }
  ASSERT_TRUE(s.ok()) << s.ToString();
  EXPECT_EQ(o.args, (std::vector<std::string>{"R", Utf8ToCp932("データ２")}));
  EXPECT_EQ(o.names.runtime_folder, dir.Path() + "/quillbox");
}

TEST_F(QuillAppTest, FreshFolderStartsQuietlyAndCleansUpOnClose) {
  int hooks_before = QuillhookSetHookCalls();
  QuillApp app(Options());
  int code = -1;
  ASSERT_EQ(app.Start(&code), QuillApp::StartResult::kRunning);
  EXPECT_EQ(code, 0);
  EXPECT_TRUE(dialog_.questions().empty());

  // An empty data set and the work folder in the program folder; the
  // working directory is the program folder.
  EXPECT_TRUE(fs::is_regular_file(Home() + "/quilbo7.dat"));
  EXPECT_TRUE(fs::is_directory(Home() + "/tmp"));
  EXPECT_EQ(fs::current_path(), fs::path(Home()));
  // Both resident dialogs exist, owned by the main window.
  ASSERT_NE(app.kind_form(), nullptr);
  ASSERT_NE(app.replace_form(), nullptr);
  EXPECT_EQ(app.kind_form()->parentWidget(), app.main_form());
  EXPECT_TRUE(app.main_form()->isVisible());

  // The block knows the main window, and the hooks were set for it once.
  std::unique_ptr<SharedMemory> memory;
  ASSERT_TRUE(SharedMemory::Open(block_name_, kSharedHookBlockSize, &memory).ok());
  SharedHookBlock block(std::span<uint8_t, kSharedHookBlockSize>(memory->data(),
                                                                  kSharedHookBlockSize));
  EXPECT_NE(app.main_window_handle(), 0u);
  EXPECT_EQ(block.MainWindow(), app.main_window_handle());
  EXPECT_EQ(block.BarWindow(), 0u);
  EXPECT_EQ(block.SaveHint(), Utf8ToCp932("一発登録フォルダ指定"));
  EXPECT_EQ(QuillhookSetHookCalls(), hooks_before + 1);
  EXPECT_NE(QuillhookLastBlock(), nullptr);
  memory.reset();

  app.main_form()->close();
  app.Finish();
  EXPECT_FALSE(fs::exists(Home() + "/tmp"));
  std::string ini = ReadAll(Home() + "/quillmain.ini");
  EXPECT_NE(ini.find("[Env]"), std::string::npos);
  EXPECT_NE(ini.find("SaveKey="), std::string::npos);  // the options, written at start
  EXPECT_NE(ini.find("CX="), std::string::npos);       // the bar position, written at close
  EXPECT_FALSE(BlockExists(block_name_));
  EXPECT_TRUE(dialog_.questions().empty());
}

TEST_F(QuillAppTest, SecondStartHandsOverAndTheFirstComesForward) {
  QuillApp first(Options());
  int code = -1;
  ASSERT_EQ(first.Start(&code), QuillApp::StartResult::kRunning);
  first.main_form()->hide();

  QuillApp second(Options({"R", Utf8ToCp932("データ２")}));
  EXPECT_EQ(second.Start(&code), QuillApp::StartResult::kHandedOver);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(second.main_form(), nullptr);

  // The hand-over arrives through the message loop.
  EXPECT_TRUE(QTest::qWaitFor([&] { return first.main_form()->isVisible(); }, 10000));
  std::unique_ptr<SharedMemory> memory;
  ASSERT_TRUE(SharedMemory::Open(block_name_, kSharedHookBlockSize, &memory).ok());
  SharedHookBlock block(std::span<uint8_t, kSharedHookBlockSize>(memory->data(),
                                                                  kSharedHookBlockSize));
  // The handed-over name was looked up (no data set has it) and the bar's
  // hint, which the hand-over text overwrote, is back.
  EXPECT_TRUE(QTest::qWaitFor([&] { return !dialog_.questions().empty(); }, 10000));
  ASSERT_EQ(dialog_.questions().size(), 1u);
  EXPECT_EQ(dialog_.questions()[0].text, Utf8ToCp932("指定されたファイルがありません"));
  EXPECT_EQ(block.SaveHint(), Utf8ToCp932("一発登録フォルダ指定"));
}

TEST_F(QuillAppTest, AStartArgumentOpensItsSetAndASecondStartSwitchesTheFirst) {
  RegistryStore reg(FileEnv::Default(), dir_.File("config/registry.ini"));
  for (const char* name : {"two", "three"}) {
    fs::create_directories(dir_.File(name));
    store::CardStore store(FileEnv::Default(), dir_.File(name) + "/");
    ASSERT_TRUE(store.Open(false, dir_.File(name)).ok());
  }
  ASSERT_TRUE(reg.WriteString(kQuillmainEnvKey, "DataFile3", "Two\t" + dir_.File("two")).ok());
  ASSERT_TRUE(reg.WriteString(kQuillmainEnvKey, "DataFile4", "Three\t" + dir_.File("three")).ok());
  QuillApp first(Options({"Three"}));
  int code = -1;
  ASSERT_EQ(first.Start(&code), QuillApp::StartResult::kRunning);
  EXPECT_EQ(first.main_form()->settings().DataFileNum, 3);
  EXPECT_NE(ReadAll(Home() + "/quillmain.ini").find("DataFileNum=3"), std::string::npos);

  QuillApp second(Options({"Two"}));
  EXPECT_EQ(second.Start(&code), QuillApp::StartResult::kHandedOver);
  EXPECT_TRUE(QTest::qWaitFor([&] { return first.main_form()->settings().DataFileNum == 2; },
                              10000));
  EXPECT_EQ(first.main_form()->windowTitle(), QString("Two:Quillbox"));
  EXPECT_TRUE(dialog_.questions().empty());
}

TEST_F(QuillAppTest, ResetQuestionOnlyWithShiftAndWithoutR) {
  const std::string marker_ini = "[Env]\r\nMarker=1\r\n";
  const std::string marker_reg = "[SoftWare\\quillmain\\Env]\r\nBackupFile=keep\r\n";
  struct Case {
    bool shift;
    std::vector<std::string> args;
    int answer;
    bool asked;
    bool cleared;
  } cases[] = {
      {true, {}, kResultYes, true, true},
      {true, {}, kResultNo, true, false},
      {true, {}, kResultCancel, true, false},
      {true, {"R"}, kResultYes, false, false},
      {false, {}, kResultYes, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "shift " << c.shift << " answer " << c.answer
                                    << " args " << c.args.size());
    fs::create_directories(dir_.File("config"));
    WriteAll(Home() + "/quillmain.ini", marker_ini);
    WriteAll(dir_.File("config/registry.ini"), marker_reg);
    FakeUi dialog;
    dialog.Answer(c.answer);
    {
      QuillApp::Options options = Options(c.args, c.shift);
      options.ui = &dialog;
      QuillApp app(std::move(options));
      int code = -1;
      ASSERT_EQ(app.Start(&code), QuillApp::StartResult::kRunning);
      app.main_form()->close();
    }
    ASSERT_EQ(dialog.questions().size(), c.asked ? 1u : 0u);
    if (c.asked) {
      EXPECT_EQ(dialog.questions()[0].text, Utf8ToCp932("環境設定の情報をクリアしますか？"));
      EXPECT_EQ(dialog.questions()[0].caption, Utf8ToCp932("注意"));
      EXPECT_EQ(dialog.questions()[0].mode, kMessageYesNo);
    }
    std::string ini = ReadAll(Home() + "/quillmain.ini");
    std::string reg = ReadAll(dir_.File("config/registry.ini"));
    EXPECT_EQ(ini.find("Marker=1") == std::string::npos, c.cleared);
    EXPECT_EQ(reg.find("BackupFile=keep") == std::string::npos, c.cleared);
  }
}

TEST_F(QuillAppTest, KnownOneShotFolderIsShownToTheButtonBar) {
  fs::create_directories(Home());
  WriteAll(Home() + "/quillmain.ini", "[Env]\r\nDefAddKubun=" + Utf8ToCp932("仕事 資料 メモ") +
                                          "\r\nDefAddKubunFile=0\r\n");
  QuillApp app(Options());
  int code = -1;
  ASSERT_EQ(app.Start(&code), QuillApp::StartResult::kRunning);
  std::unique_ptr<SharedMemory> memory;
  ASSERT_TRUE(SharedMemory::Open(block_name_, kSharedHookBlockSize, &memory).ok());
  SharedHookBlock block(std::span<uint8_t, kSharedHookBlockSize>(memory->data(),
                                                                  kSharedHookBlockSize));
  EXPECT_EQ(block.SaveState(), 1);
  EXPECT_EQ(block.SaveHint(), Utf8ToCp932("メモのフォルダに登録"));
  app.main_form()->close();
}

TEST_F(QuillAppTest, ButtonBarStartsOnlyWhenEnabled) {
  // A stand-in button bar that leaves a mark in its working folder.
  const std::string bar = dir_.File("install/quillpad");
  WriteAll(bar, "#!/bin/sh\necho started > \"$PWD/bar-started\"\n");
  fs::permissions(bar, fs::perms::owner_all, fs::perm_options::replace);
  for (bool enabled : {false, true}) {
    SCOPED_TRACE(enabled ? "UseButton=1" : "UseButton=0");
    fs::create_directories(Home());
    fs::remove(Home() + "/bar-started");
    WriteAll(Home() + "/quillmain.ini", std::string("[Env]\r\nUseButton=") +
                                            (enabled ? "1" : "0") + "\r\n");
    QuillApp app(Options());
    int code = -1;
    ASSERT_EQ(app.Start(&code), QuillApp::StartResult::kRunning);
    if (enabled) {
      EXPECT_TRUE(QTest::qWaitFor([&] { return fs::exists(Home() + "/bar-started"); }, 10000));
    } else {
      QTest::qWait(300);
      EXPECT_FALSE(fs::exists(Home() + "/bar-started"));
    }
    app.main_form()->close();
  }
  EXPECT_TRUE(dialog_.questions().empty());
}

TEST_F(QuillAppTest, UnusableWorkFolderStopsTheStartCleanly) {
  fs::create_directories(Home());
  WriteAll(Home() + "/tmp", "not a folder");
  // Notes whether the block was still there when the message came up.
  bool block_held = false;
  dialog_.on_question = [&](const FakeUi::Question&) { block_held = BlockExists(block_name_); };
  {
    QuillApp app(Options());
    int code = -1;
    EXPECT_EQ(app.Start(&code), QuillApp::StartResult::kFailed);
    EXPECT_NE(code, 0);
    EXPECT_EQ(app.main_form(), nullptr);
    ASSERT_EQ(dialog_.questions().size(), 1u);
    EXPECT_EQ(dialog_.questions()[0].caption, Utf8ToCp932("警告"));
    EXPECT_NE(dialog_.questions()[0].text.find("tmp"), std::string::npos);
    EXPECT_FALSE(block_held);  // released before the message
    EXPECT_FALSE(BlockExists(block_name_));
  }
  // Nothing is left that would stop the next start.
  fs::remove(Home() + "/tmp");
  QuillApp again(Options());
  int code = -1;
  EXPECT_EQ(again.Start(&code), QuillApp::StartResult::kRunning);
  again.main_form()->close();
}

TEST_F(QuillAppTest, BlockThatCannotBeCreatedStopsTheStart) {
  block_name_ = "/no/such/block";
  QuillApp app(Options());
  int code = -1;
  EXPECT_EQ(app.Start(&code), QuillApp::StartResult::kFailed);
  EXPECT_NE(code, 0);
  EXPECT_EQ(app.main_form(), nullptr);
  ASSERT_EQ(dialog_.questions().size(), 1u);
  EXPECT_EQ(dialog_.questions()[0].caption, Utf8ToCp932("警告"));
  EXPECT_FALSE(fs::exists(Home() + "/tmp"));
}

}  // namespace
}  // namespace quill
