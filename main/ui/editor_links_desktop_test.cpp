// Links in the main window's text opened by the desktop on an X display:
// the window's real shell, whose address handler is a fake `xdg-open` first
// in PATH that logs its arguments. Shift+Enter typed with XTest and a
// double click of the mouse on an address each start it once, with the
// address as its one argument.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QPlainTextEdit>
#include <QTest>
#include <QTreeView>
#include <QUrl>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "main/ui/main_form.h"
#include "main/ui/main_form_test_support.h"
#include "platform/headless/fake_ui.h"
#include "platform/headless/temp_dir.h"
#include "platform/qt/test_app.h"
#include "platform/qt/test_program.h"
#include "platform/qt/test_window.h"
#include "platform/messages.h"

namespace quill {
namespace {

QStringList LogLines(const std::string& log) {
  QFile f(QString::fromStdString(log));
  if (!f.open(QIODevice::ReadOnly)) return {};
  return QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
}

// Whether a process runs the program at `path` (a script's path is in its
// interpreter's command line).
bool Running(const std::string& path) {
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
    std::ifstream in(entry.path() / "cmdline", std::ios::binary);
    const std::string line((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (line.find(path + '\0') != std::string::npos) return true;
  }
  return false;
}

// Sends the key End after the events before it (the caret is not at the
// line's end) and waits until the text has moved its caret there: every
// address those events opened has been handed to `handler` by then (the
// shell starts it before it returns), and the handler is waited for to its
// end.
bool PastTheEvents(QPlainTextEdit* text, const std::string& handler) {
  RunProgram("xdotool", {"key", "End"});
  return QTest::qWaitFor(
      [&] { return text->textCursor().atBlockEnd() && !Running(handler); }, 10000);
}

TEST(EditorLinksDesktopTest, ShiftEnterAndADoubleClickOpenTheAddressOnce) {
  TempDir dir;
  // The desktop's handler: a logging xdg-open, found first. Outside a
  // sandbox (no Flatpak, no Snap) Qt asks no portal and runs it.
  const std::string bin = dir.File("bin");
  const std::string log = dir.File("xdg-open.log");
  ASSERT_EQ(std::system(("mkdir -p '" + bin + "'").c_str()), 0);
  {
    std::ofstream script(bin + "/xdg-open");
    script << "#!/bin/sh\n{ printf '%s' \"$#\"; for a in \"$@\"; do printf ' [%s]' \"$a\"; done;"
              " echo; } >>'"
           << log << "'\n";
  }
  ASSERT_EQ(std::system(("chmod +x '" + bin + "/xdg-open'").c_str()), 0);
  const char* path = std::getenv("PATH");
  setenv("PATH", (bin + ":" + (path != nullptr ? path : "/usr/bin:/bin")).c_str(), 1);
  unsetenv("SNAP");
  if (!TestAppOnX()) GTEST_SKIP() << "needs X";

  FakeUi ui;
  auto form = StartedForm(TestFormContext(dir, ui));  // the shell: the desktop's own
  form->Tree->setCurrentIndex(form->Tree->model()->index(0, 0));
  form->show();
  ASSERT_TRUE(ActivateExposed(*form));
  const QString text = "see http://x.jp/a?q=1&r=2;s here";
  form->Text->setFocus();
  form->Text->setPlainText(text);
  QTextCursor caret = form->Text->textCursor();
  caret.setPosition(10);
  form->Text->setTextCursor(caret);
  const QString expected = "1 [http://x.jp/a?q=1&r=2;s]";

  RunProgram("xdotool", {"key", "shift+Return"});
  ASSERT_TRUE(QTest::qWaitFor([&] { return !LogLines(log).isEmpty(); }, 10000));
  ASSERT_TRUE(PastTheEvents(form->Text, bin + "/xdg-open"));
  EXPECT_EQ(LogLines(log), QStringList{expected});
  EXPECT_EQ(form->Text->toPlainText(), text);

  QTextCursor at(form->Text->document());
  at.setPosition(12);
  const QPoint p = form->Text->viewport()->mapToGlobal(form->Text->cursorRect(at).center());
  RunProgram("xdotool", {"mousemove", QString::number(p.x()), QString::number(p.y()), "click",
                         "--repeat", "2", "--delay", "150", "1"});
  ASSERT_TRUE(QTest::qWaitFor([&] { return LogLines(log).size() >= 2; }, 10000));
  ASSERT_TRUE(PastTheEvents(form->Text, bin + "/xdg-open"));
  EXPECT_EQ(LogLines(log), (QStringList{expected, expected}));
  EXPECT_TRUE(ui.questions().empty());
}

// F1 on a desktop with nothing to open the help page tells where the page
// is; with a handler (the logging xdg-open) the page is handed to it.
TEST(EditorLinksDesktopTest, F1WithNothingToOpenThePageNamesIt) {
  TempDir dir;
  const std::string page = dir.File("quillmain_hlp.html");
  std::ofstream(page) << "<html></html>";
  const std::string empty = dir.File("empty");
  const std::string bin = dir.File("bin");
  const std::string log = dir.File("xdg-open.log");
  ASSERT_EQ(std::system(("mkdir -p '" + empty + "' '" + bin + "'").c_str()), 0);
  {
    std::ofstream script(bin + "/xdg-open");
    script << "#!/bin/sh\necho \"$1\" >>'" << log << "'\n";
  }
  ASSERT_EQ(std::system(("chmod +x '" + bin + "/xdg-open'").c_str()), 0);
  const std::string saved = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "/usr/bin:/bin";
  unsetenv("SNAP");
  if (!TestAppOnX()) GTEST_SKIP() << "needs X";

  FakeUi ui;
  MainFormContext context = TestFormContext(dir, ui);  // the shell: the desktop's own
  context.install_folder = dir.Path();
  auto form = StartedForm(std::move(context));
  setenv("PATH", empty.c_str(), 1);
  form->HelpClick();
  setenv("PATH", (bin + ":" + saved).c_str(), 1);
  ASSERT_EQ(ui.questions().size(), 1u);
  EXPECT_EQ(ui.questions()[0].text, FormatMessage(MessageId::kHelpPageNotOpened, {page}));

  form->HelpClick();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !LogLines(log).isEmpty(); }, 10000));
  EXPECT_EQ(LogLines(log), QStringList{QUrl::fromLocalFile(QString::fromStdString(page)).toString()});
  EXPECT_EQ(ui.questions().size(), 1u);
  setenv("PATH", saved.c_str(), 1);
}

}  // namespace
}  // namespace quill
