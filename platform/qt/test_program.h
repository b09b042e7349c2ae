// Desktop tests: a tool (xdotool, xprop, ibus) run while the test's event
// loop keeps running, so that our windows answer it.
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTest>

namespace quill {

// The tool's standard output once it has ended (at most 15 s).
inline QString RunProgram(const QString& program, const QStringList& args) {
  QProcess p;
  p.start(program, args);
  if (!p.waitForStarted(5000)) return "<not started>";
  (void)QTest::qWaitFor([&] { return p.state() == QProcess::NotRunning; }, 15000);
  return QString::fromUtf8(p.readAllStandardOutput());
}

}  // namespace quill
