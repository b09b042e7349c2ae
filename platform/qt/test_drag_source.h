// A small window of a desktop test that drags one local file when the
// mouse presses it, and the pointer steps of xdotool that drag it onto a
// point of the screen while the test's event loop keeps running.
#pragma once

#include <QCoreApplication>
#include <QDrag>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>

#include "platform/qt/test_pointer.h"

namespace quill {

class DragSource final : public QLabel {
 public:
  explicit DragSource(QString path) : QLabel("drag me"), path_(std::move(path)) {
    setWindowTitle("drag source");
    resize(120, 60);
  }

  // Drags the file from the middle of this window onto a screen point:
  // the moves once the drag runs, the release once the drag has seen the
  // pointer there and the target accepts. True when the target took the
  // drop; the drag has ended either way.
  bool DragOnto(const QPoint& target) {
    const QPoint from = mapToGlobal(rect().center());
    MoveWatch moves;
    accepted_ = false;
    taken_ = false;
    const bool ran = RunPointerSteps({
        {nullptr, QStringList{"mousemove"} << XdotoolPoint(from) << "mousedown" << "1"},
        {[&] {
           // Inside the drag's loop: the watch goes before the drag's own
           // filter, which takes the moves.
           if (dragging_) QCoreApplication::instance()->installEventFilter(&moves);
           return dragging_;
         },
         QStringList{"mousemove"} << XdotoolPoint(target + QPoint(-10, 0)) << "mousemove"
                                  << XdotoolPoint(target)},
        {[&] { return accepted_ && moves.last == target; }, {"mouseup", "1"}},
    });
    return ran && taken_;
  }

 protected:
  void mousePressEvent(QMouseEvent*) override {
    auto* mime = new QMimeData;
    mime->setUrls({QUrl::fromLocalFile(path_)});
    auto* drag = new QDrag(this);
    drag->setMimeData(mime);
    QObject::connect(drag, &QDrag::actionChanged,
                     [this](Qt::DropAction action) { accepted_ = action != Qt::IgnoreAction; });
    dragging_ = true;
    taken_ = drag->exec(Qt::CopyAction) != Qt::IgnoreAction;
    dragging_ = false;
  }

 private:
  // The last point the pointer moved to, as this program has seen it.
  struct MoveWatch final : QObject {
    bool eventFilter(QObject*, QEvent* event) override {
      if (event->type() == QEvent::MouseMove) {
        last = static_cast<QMouseEvent*>(event)->globalPosition().toPoint();
      }
      return false;
    }
    QPoint last;
  };

  QString path_;
  bool dragging_ = false;
  bool accepted_ = false;
  bool taken_ = false;
};

}  // namespace quill
