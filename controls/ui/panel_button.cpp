#include "controls/ui/panel_button.h"

#include <QHideEvent>
#include <QMouseEvent>

namespace quill {

TPanelButton::TPanelButton(QWidget* owner) : QFrame(owner) {
  setFrameStyle(QFrame::Panel | QFrame::Raised);
  setLineWidth(2);
  setMouseTracking(true);  // OnMouseMove also without a button held
}

void TPanelButton::ShowPressed() {
  if (pressed_) return;
  pressed_ = true;
  setFrameShadow(QFrame::Sunken);
  released_font_ = font();
  QFont smaller = released_font_;
  if (smaller.pointSizeF() > 1) smaller.setPointSizeF(smaller.pointSizeF() - 1);
  setFont(smaller);
}

void TPanelButton::ShowReleased() {
  if (!pressed_) return;
  pressed_ = false;
  setFrameShadow(QFrame::Raised);
  setFont(released_font_);
}

void TPanelButton::Release() {
  tracking_ = false;
  ShowReleased();
}

void TPanelButton::Click() {
  Release();
  emit OnClick();
}

void TPanelButton::mousePressEvent(QMouseEvent* e) {
  const QPoint p = e->position().toPoint();
  emit OnMouseDown(e->button(), e->modifiers(), p.x(), p.y());
  if (e->button() == Qt::LeftButton) {
    tracking_ = true;
    ShowPressed();
  }
}

void TPanelButton::mouseMoveEvent(QMouseEvent* e) {
  const QPoint p = e->position().toPoint();
  emit OnMouseMove(e->modifiers(), p.x(), p.y());
  if (!tracking_) return;
  const bool inside = p.x() >= 0 && p.x() <= width() && p.y() >= 0 && p.y() <= height();
  if (inside) {
    ShowPressed();
  } else {
    ShowReleased();
  }
}

void TPanelButton::mouseReleaseEvent(QMouseEvent* e) {
  const QPoint p = e->position().toPoint();
  if (e->button() == Qt::LeftButton && tracking_) {
    // A release over the panel is a click.
    if (rect().contains(p)) {
      Click();
    } else {
      Release();
    }
  }
  emit OnMouseUp(e->button(), e->modifiers(), p.x(), p.y());
}

void TPanelButton::hideEvent(QHideEvent* e) {
  Release();
  QFrame::hideEvent(e);
}

}  // namespace quill
