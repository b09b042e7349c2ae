// The QApplication of a widget test, created once per test program.
#pragma once

#include <QApplication>
#include <QByteArray>
#include <QLatin1String>
#include <QtGlobal>

#include "platform/qt/test_app_of.h"

namespace quill {

inline QApplication& TestApp() { return TestAppOf<QApplication>(); }

// The test application, and whether it runs on an X display (the desktop
// tests skip without one).
inline bool TestAppOnX() {
  TestApp();
  return QGuiApplication::platformName() == QLatin1String("xcb");
}

}  // namespace quill
