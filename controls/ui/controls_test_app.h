// The QApplication of the controls' widget tests, created once per test
// program; offscreen unless the caller chose a platform.
#pragma once

#include <QApplication>
#include <QtGlobal>

namespace quill {

inline QApplication& ControlsTestApp() {
  static int argc = 1;
  static char name[] = "quillcontrolstest";
  static char* argv[] = {name, nullptr};
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

}  // namespace quill
