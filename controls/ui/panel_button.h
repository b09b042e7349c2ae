// TPanelButton: a panel that behaves like a push button. Pressed with the
// left button it looks sunken and its font is one point smaller; dragged
// out it looks raised again, dragged back in sunken; released inside it
// clicks. The look and the font always go together: the font is smaller
// exactly while the panel looks pressed.
//
// The mouse stays with the panel from the press to the release (Qt's
// implicit grab), so moves and the release outside still reach it. A
// panel hidden while pressed ends the press without a click.
#pragma once

#include <QFont>
#include <QFrame>

namespace quill {

class TPanelButton : public QFrame {
  Q_OBJECT
 public:
  explicit TPanelButton(QWidget* owner = nullptr);

  bool Pressed() const { return pressed_; }

  // Ends a press: the released look, then OnClick.
  void Click();

 signals:
  void OnMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x, int y);
  void OnMouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x, int y);
  void OnMouseMove(Qt::KeyboardModifiers modifiers, int x, int y);
  void OnClick();

 protected:
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  // Hidden while pressed, the panel gets no release: the press ends here.
  void hideEvent(QHideEvent* e) override;

 private:
  void ShowPressed();
  void ShowReleased();
  // Ends tracking and shows the released look.
  void Release();

  bool pressed_ = false;   // shown pressed
  bool tracking_ = false;  // the left button is held since a press on the panel
  QFont released_font_;
};

}  // namespace quill
