// Desktop tests: what the window manager and the X server have done with a
// window of the test, and the screen after a repaint, each waited for with
// a deadline while the test's event loop keeps running.
#pragma once

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QPoint>
#include <QRegularExpression>
#include <QScreen>
#include <QString>
#include <QTest>
#include <QWidget>

#include "platform/qt/test_program.h"

namespace quill {

// Whether the window manager has placed the top-level window of `w`: the
// window sits in a frame of the manager, is viewable, and the X server has
// it at the screen point where Qt believes it is, so that points the test
// maps to the screen are where the pointer lands.
inline bool WindowPlaced(const QWidget& w) {
  const QString info = RunProgram(
      "xwininfo", {"-id", QString::number(w.window()->winId()), "-children", "-stats"});
  const QRegularExpression parent("Parent window id: \\S+ \\(the root window\\)");
  if (!info.contains("Map State: IsViewable") || info.contains(parent)) return false;
  const auto value = [&](const char* name) {
    const QRegularExpressionMatch m =
        QRegularExpression(QString(name) + ":\\s+(-?\\d+)").match(info);
    return m.hasMatch() ? m.captured(1).toInt() : -1000000;
  };
  const QPoint at(value("Absolute upper-left X"), value("Absolute upper-left Y"));
  return at == w.window()->mapToGlobal(QPoint(0, 0));
}

inline bool WaitForWindowPlaced(const QWidget& w, int ms = 10000) {
  return QTest::qWaitFor([&] { return WindowPlaced(w); }, ms);
}

// The screen once it differs from `before` and two grabs in a row agree
// (the repaint that changed it is over); a null image when that did not
// come within `ms`.
inline QImage WaitForScreenChange(const QImage& before, int ms = 10000) {
  QImage last;
  QImage settled;
  (void)QTest::qWaitFor(
      [&] {
        const QImage now = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
        if (now != before && now == last) settled = now;
        last = now;
        return !settled.isNull();
      },
      ms);
  return settled;
}

// Waits until `w` is exposed, then has the window manager activate it and
// waits until it is the active window: true when both happened within `ms`
// each.
inline bool ActivateExposed(QWidget& w, int ms = 5000) {
  if (!QTest::qWaitForWindowExposed(&w, ms)) return false;
  RunProgram("xdotool", {"windowactivate", "--sync", QString::number(w.winId())});
  return QTest::qWaitForWindowActive(&w, ms);
}

}  // namespace quill
