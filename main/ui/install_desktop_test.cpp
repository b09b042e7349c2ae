// The installed program on an X display: `cmake --install` into a
// temporary prefix puts quillmain and "Sample.dat" side by side, and the
// installed quillmain, started with a home of its own, opens a new data
// set 0 holding the sample folders (a screenshot is kept in the build
// folder).
#include <gtest/gtest.h>
#include <unistd.h>

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QTest>
#include <filesystem>
#include <string>

#include "main/ui/quillmain_desktop_support.h"
#include "platform/headless/desktop_clients.h"
#include "platform/headless/temp_dir.h"
#include "platform/qt/test_app.h"
#include "platform/qt/test_window.h"
#include "platform/text_codec.h"

// Xlib last: its macros clash with Qt and our headers.
#include <X11/Xlib.h>

#include "platform/x11/x11_support.h"

namespace quill {
namespace {

namespace fs = std::filesystem;

TEST(InstallDesktopTest, TheInstalledProgramShowsTheSampleFolders) {
  TestApp();
  if (QGuiApplication::platformName() != QLatin1String("xcb")) GTEST_SKIP() << "needs an X display";
  TempDir dir;
  const std::string prefix = dir.File("prefix");
  QProcess install;
  install.setProcessChannelMode(QProcess::ForwardedChannels);
  install.start(CMAKE_COMMAND, {"--install", BUILD_DIR, "--prefix", QString::fromStdString(prefix)});
  ASSERT_TRUE(install.waitForFinished(120000));
  ASSERT_EQ(install.exitCode(), 0);
  const std::string bin = prefix + "/bin/";
  for (const char* file : {"quillmain", "libquillhook.so", "quillpad", "Sample.dat"}) {
    EXPECT_TRUE(fs::is_regular_file(bin + file)) << file;
  }
  EXPECT_EQ(ReadFileBytes(bin + "Sample.dat"), ReadFileBytes(SAMPLE_PATH));

  Sandbox sandbox("install");
  QProcess quillmain;
  quillmain.setProcessEnvironment(sandbox.env);
  quillmain.setProcessChannelMode(QProcess::ForwardedChannels);
  quillmain.start(QString::fromStdString(bin + "quillmain"), {});
  ASSERT_TRUE(quillmain.waitForStarted(10000));

  // The window of the program's own data set, shown.
  unsigned long window = 0;
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        const RunResult r =
            RunTool({"xdotool", "search", "--onlyvisible", "--name", "^データ１:Quillbox$"});
        window = r.status == 0 ? std::stoul(r.out) : 0;
        return window != 0;
      },
      20000));
  // The folder opened with its sub-folders, for the picture.
  RunTool({"xdotool", "windowactivate", "--sync", std::to_string(window)});
  const QImage before = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
  RunTool({"xdotool", "key", "--clearmodifiers", "Down", "asterisk"});
  const QImage shown = WaitForScreenChange(before);
  EXPECT_FALSE(shown.isNull()) << "the window did not change for the keys";
  EXPECT_TRUE(shown.save(QString(ARTEFACT_DIR) + "/quillmain_installed_samples.png"));

  // The tree it shows lists the sample folders.
  const std::string folders = ReadFileBytes(sandbox.home + "/quilbo7.tre");
  for (const char* folder : {"サンプル", "サンプル 定型文", "サンプル 表", "サンプル リンク"}) {
    EXPECT_NE(folders.find(Utf8ToCp932(folder) + "\r\n"), std::string::npos) << folder;
  }

  Display* display = XOpenDisplay(nullptr);
  ASSERT_NE(display, nullptr);
  RequestClose(display, window);
  XCloseDisplay(display);
  ASSERT_TRUE(quillmain.waitForFinished(20000));
  EXPECT_EQ(quillmain.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(quillmain.exitCode(), 0);
}

}  // namespace
}  // namespace quill
