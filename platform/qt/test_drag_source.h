// A small window of a desktop test that drags one local file when the
// mouse presses it, and the mouse moves of xdotool that drag it onto a
// point of the screen while the test's event loop keeps running.
#pragma once

#include <QDrag>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QProcess>
#include <QTest>
#include <QUrl>

namespace quill {

class DragSource final : public QLabel {
 public:
  explicit DragSource(QString path) : QLabel("drag me"), path_(std::move(path)) {
    setWindowTitle("drag source");
    resize(120, 60);
  }

  // Drags the file from the middle of this window onto a screen point.
  void DragOnto(const QPoint& target) {
    const QPoint from = mapToGlobal(rect().center());
    auto point = [](const QPoint& p) {
      return QStringList{QString::number(p.x()), QString::number(p.y())};
    };
    QStringList args = {"mousemove"};
    args << point(from) << "mousedown" << "1" << "sleep" << "0.4" << "mousemove"
         << point(target + QPoint(-10, 0)) << "sleep" << "0.4" << "mousemove" << point(target)
         << "sleep" << "0.4" << "mouseup" << "1";
    QProcess xdotool;
    xdotool.start("xdotool", args);
    if (xdotool.waitForStarted(5000)) {
      (void)QTest::qWaitFor([&] { return xdotool.state() == QProcess::NotRunning; }, 15000);
    }
    QTest::qWait(500);
  }

 protected:
  void mousePressEvent(QMouseEvent*) override {
    auto* mime = new QMimeData;
    mime->setUrls({QUrl::fromLocalFile(path_)});
    auto* drag = new QDrag(this);
    drag->setMimeData(mime);
    drag->exec(Qt::CopyAction);
  }

 private:
  QString path_;
};

}  // namespace quill
