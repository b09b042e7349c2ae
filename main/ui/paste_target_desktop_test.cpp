// The main window's paste target on a real X display with a window manager,
// xterm and mousepad: copies and pastes through the hook library's keys
// and XTest, the selection methods for the terminal, and the user's
// clipboard put back whole. The test process runs the main window; the
// other applications are real clients, driven with xdotool and read with
// xclip.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QProcess>
#include <QTest>
#include <array>
#include <fstream>
#include <memory>
#include <string>

#include "clip/paste_target.h"
#include "main/ui/main_form.h"
#include "main/ui/main_form_test_support.h"
#include "platform/qt/test_app.h"
#include "platform/headless/desktop_clients.h"
#include "platform/headless/fake_ui.h"
#include "platform/headless/temp_dir.h"
#include "platform/headless/typing_clients_test.h"
#include "platform/protocol/shared_hook_block.h"
#include "platform/text_codec.h"

namespace quill {
namespace {

constexpr char kJapanese[] = "クイル日本語のテキスト";
const char kCard[] = "カードの本文です";

// Runs a tool while this process keeps serving its own clipboard (a tool
// that reads what we offer waits for our event loop).
std::string RunServing(const QStringList& argv) {
  QProcess p;
  p.start(argv.front(), argv.mid(1));
  if (!p.waitForStarted(5000)) return "(not started)";
  (void)QTest::qWaitFor([&] { return p.state() == QProcess::NotRunning; }, 10000);
  return p.readAllStandardOutput().toStdString();
}

std::string ClipboardOut(const QString& target = QString()) {
  QStringList argv = {"xclip", "-o", "-selection", "clipboard"};
  if (!target.isEmpty()) argv << "-t" << target;
  return RunServing(argv);
}

// Another program takes the clipboard with `data` as `target`; xclip
// stays behind to serve it. Returns once our clipboard has seen the new
// owner (xclip takes the selection from the process it leaves behind, after
// the command has ended).
bool OtherSetsClipboard(const std::string& file, const std::string& target) {
  QClipboard* clipboard = QGuiApplication::clipboard();
  bool taken = false;
  const QMetaObject::Connection watch =
      QObject::connect(clipboard, &QClipboard::changed, [&](QClipboard::Mode mode) {
        if (mode == QClipboard::Clipboard && !clipboard->ownsClipboard()) taken = true;
      });
  RunTool({"sh", "-c",
           "xclip -selection clipboard -t '" + target + "' -i '" + file + "' >/dev/null 2>&1"});
  const bool seen = QTest::qWaitFor([&] { return taken; }, 10000);
  QObject::disconnect(watch);
  return seen;
}

class PasteTargetDesktopTest : public TypingClientsTest<kJapanese> {
 protected:
  void SetUp() override {
    if (!TestAppOnX()) GTEST_SKIP() << "needs an X display";
    WaitForClients();
    if (HasFatalFailure()) return;

    MainFormContext context = TestFormContext(dir_, ui_);
    context.block = &block_;
    context.shift_down = [] { return false; };
    form_ = std::make_unique<TMainForm>(std::move(context));
    block_.SetMainWindow(static_cast<WindowHandle>(form_->winId() & 0xFFFFFFFFu));
    ASSERT_TRUE(form_->FormCreate().ok());
  }

  PasteTarget& Target() { return form_->Target(); }

  // The window becomes the command's target; its focus is itself.
  void Command(WindowHandle w) {
    block_.PushFocusPair({w, w});
    DispatchState& state = form_->CommandState();
    state.CommandTarget = w;
    state.TargetFocus = Target().GetTargetFocusWindow(w);
  }
  int CopyFrom(WindowHandle w) {
    Command(w);
    return Target().CopyFromTarget();
  }

  // The editor selects its whole text (and offers it as PRIMARY); our
  // clipboard is served meanwhile, for a paste the editor has still to
  // fetch.
  bool SelectAllInEditor(const std::string& expected) {
    if (!ActivateWindow(pad_)) return false;
    return QTest::qWaitFor(
        [&] {
          RunServing({"xdotool", "key", "--clearmodifiers", "ctrl+a"});
          return RunServing({"xclip", "-o", "-selection", "primary"}) == expected;
        },
        10000);
  }

  TempDir dir_;
  alignas(8) std::array<uint8_t, kSharedHookBlockSize> bytes_{};
  SharedHookBlock block_{std::span<uint8_t, kSharedHookBlockSize>(bytes_)};
  FakeUi ui_;
  std::unique_ptr<TMainForm> form_;
};

TEST_F(PasteTargetDesktopTest, CopyTakesTheEditorsSelectionAndPutsTheUsersClipboardBack) {
  // The user's clipboard: text, then an image.
  const std::string text_file = dir_.File("user.txt");
  std::ofstream(text_file, std::ios::binary) << "user text";
  QImage image(8, 8, QImage::Format_RGB32);
  image.fill(Qt::red);
  const std::string png_file = dir_.File("user.png");
  ASSERT_TRUE(image.save(QString::fromStdString(png_file), "PNG"));
  const std::string png = ReadFileBytes(png_file);

  ASSERT_TRUE(SelectAllInEditor(kJapanese));
  for (const auto& [file, target] : {std::pair{text_file, std::string("UTF8_STRING")},
                                     std::pair{png_file, std::string("image/png")}}) {
    SCOPED_TRACE(target);
    ASSERT_TRUE(OtherSetsClipboard(file, target));
    const std::string before = ClipboardOut(QString::fromStdString(target));
    ASSERT_EQ(before, ReadFileBytes(file));

    EXPECT_EQ(CopyFrom(pad_), 0);
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), kJapanese);
    EXPECT_EQ(ui_.flashes().size(), 0u);

    Target().RestoreClipboard(/*force=*/true);
    EXPECT_EQ(ClipboardOut(QString::fromStdString(target)), before);
    EXPECT_NE(ClipboardOut("TARGETS").find(target), std::string::npos);
  }
  EXPECT_EQ(ClipboardOut("image/png"), png);
}

TEST_F(PasteTargetDesktopTest, TheTerminalsSelectionIsCopiedWithoutInterruptingIt) {
  ASSERT_TRUE(ActivateWindow(term_));
  const size_t before = ReadFileBytes(typed_).size();
  ASSERT_EQ(RunTool({"xdotool", "type", "--delay", "20", "quillword"}).status, 0);
  ASSERT_EQ(RunTool({"xdotool", "key", "Return"}).status, 0);
  ASSERT_TRUE(WaitFor([&] { return ReadFileBytes(typed_).size() >= before + 10; }, 5000));
  // A double click on the word's line selects it: xterm offers it as
  // PRIMARY.
  ASSERT_TRUE(WaitFor(
      [&] {
        RunTool({"xdotool", "mousemove", "--window", std::to_string(term_), "12", "8", "click",
                 "--repeat", "2", "--delay", "80", "1"});
        return RunTool({"xclip", "-o", "-selection", "primary"}).out.find("quillword") !=
               std::string::npos;
      },
      10000));
  const std::string selected = RunTool({"xclip", "-o", "-selection", "primary"}).out;
  // Our clipboard reads the terminal's selection.
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        return QGuiApplication::clipboard()->text(QClipboard::Selection).toStdString() == selected;
      },
      10000));
  EXPECT_EQ(CopyFrom(term_), 0);
  EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), selected);
  EXPECT_EQ(Target().TargetTopClass, "XTerm");

  // The terminal's program still runs and takes what is typed next.
  ASSERT_TRUE(ActivateWindow(term_));
  ASSERT_EQ(RunTool({"xdotool", "type", "--delay", "20", "after"}).status, 0);
  ASSERT_EQ(RunTool({"xdotool", "key", "Return"}).status, 0);
  EXPECT_TRUE(WaitFor(
      [&] { return ReadFileBytes(typed_).substr(before) == "quillword\nafter\n"; }, 5000))
      << ReadFileBytes(typed_).substr(before);
}

TEST_F(PasteTargetDesktopTest, PasteGivesTheCardsTextToTheEditorAndTheTerminal) {
  // Into the editor, over its whole text.
  ASSERT_TRUE(SelectAllInEditor(kJapanese));
  Clipboard& clipboard = form_->Clip().clipboard();
  clipboard.SetText(Utf8ToCp932(kCard));
  Command(pad_);
  Target().PasteToTarget();
  EXPECT_TRUE(SelectAllInEditor(kCard)) << RunTool({"xclip", "-o", "-selection", "primary"}).out;

  // Into the terminal, through PRIMARY and Shift+Insert.
  const size_t before = ReadFileBytes(typed_).size();
  Command(term_);
  const uint64_t fetched = clipboard.FetchCount(Selection::kPrimary);
  Target().PasteToTarget();
  // The terminal has fetched the text from PRIMARY before the Return.
  ASSERT_TRUE(
      QTest::qWaitFor([&] { return clipboard.FetchCount(Selection::kPrimary) > fetched; }, 10000));
  ASSERT_TRUE(ActivateWindow(term_));
  ASSERT_EQ(RunTool({"xdotool", "key", "Return"}).status, 0);
  EXPECT_TRUE(WaitFor([&] { return ReadFileBytes(typed_).size() > before; }, 5000));
  EXPECT_EQ(ReadFileBytes(typed_).substr(before), std::string(kCard) + "\n");
  // Each paste beeps once.
  EXPECT_EQ(ui_.beeps(), 2);
}

}  // namespace
}  // namespace quill
