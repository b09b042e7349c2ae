// The Qt application object of a test program, of the class the test
// needs, created once. Tests run offscreen unless the caller chose a
// platform (the desktop tests run under X).
#pragma once

#include <QByteArray>
#include <QtGlobal>

namespace quill {

template <typename Application>
Application& TestAppOf() {
  static int argc = 1;
  static char name[] = "quilltest";
  static char* argv[] = {name, nullptr};
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static Application* app = new Application(argc, argv);
  return *app;
}

}  // namespace quill
