// The QApplication of the bar's widget and desktop tests, created once per
// test program; offscreen unless the caller chose a platform.
#pragma once

#include <QApplication>
#include <QtGlobal>

namespace quill {

inline QApplication& BarTestApp() {
  static int argc = 1;
  static char name[] = "quillpadtest";
  static char* argv[] = {name, nullptr};
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

}  // namespace quill
