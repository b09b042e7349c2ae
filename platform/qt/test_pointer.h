// Desktop tests: the real pointer driven by xdotool in steps, each started
// once what it needs has happened (the press seen, the drag running, the
// target reached). The steps are started from a timer, so that they go on
// inside the event loop that a drag runs until its button is released.
#pragma once

#include <QElapsedTimer>
#include <QPoint>
#include <QProcess>
#include <QStringList>
#include <QTest>
#include <QTimer>
#include <functional>
#include <vector>

namespace quill {

struct PointerStep {
  std::function<bool()> ready;  // null: at once
  QStringList commands;         // xdotool's; none: the step only waits
};

inline QStringList XdotoolPoint(const QPoint& p) {
  return {QString::number(p.x()), QString::number(p.y())};
}

// Runs the steps in order, each once its `ready` holds and the step before
// has ended; true when every step ran, and xdotool ended well, within
// `ms`. When the time runs out the left button is let go (a drag ends) and
// the steps left are not run.
inline bool RunPointerSteps(const std::vector<PointerStep>& steps, int ms = 20000) {
  size_t next = 0;
  bool ran = false;  // xdotool has run
  bool ok = true;
  bool done = false;
  QProcess xdotool;
  QElapsedTimer clock;
  clock.start();
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    if (done || xdotool.state() != QProcess::NotRunning) return;
    if (ran && (xdotool.exitStatus() != QProcess::NormalExit || xdotool.exitCode() != 0)) {
      ok = false;
    }
    if (next == steps.size()) {
      done = true;
    } else if (clock.elapsed() > ms) {
      ok = false;
      done = true;
      QProcess::execute("xdotool", {"mouseup", "1"});
    } else if (!steps[next].ready || steps[next].ready()) {
      const QStringList& commands = steps[next++].commands;
      if (commands.isEmpty()) return;
      xdotool.start("xdotool", commands);
      ran = true;
      if (!xdotool.waitForStarted(5000)) ok = false;
    }
  });
  timer.start(10);
  // A drag's own loop runs inside this wait until its button is let go.
  const bool ended = QTest::qWaitFor([&] { return done; }, ms + 10000);
  return ended && ok;
}

}  // namespace quill
