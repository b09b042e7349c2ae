// The QApplication of a widget test, created once per test program. Tests
// run offscreen unless the caller chose a platform (the desktop tests run
// under X).
#pragma once

#include <QApplication>
#include <QByteArray>
#include <QtGlobal>

namespace quill {

inline QApplication& TestApp() {
  static int argc = 1;
  static char name[] = "quilltest";
  static char* argv[] = {name, nullptr};
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

}  // namespace quill
