// The QApplication of a widget test, created once per test program. Tests
// run offscreen unless the caller chose a platform (the desktop tests run
// under X).
#pragma once

#include <QApplication>
#include <QByteArray>
#include <QLatin1String>
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

// The test application, and whether it runs on an X display (the desktop
// tests skip without one).
inline bool TestAppOnX() {
  TestApp();
  return QGuiApplication::platformName() == QLatin1String("xcb");
}

}  // namespace quill
