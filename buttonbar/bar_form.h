// TForm3: the button bar's window. A borderless strip of five 20 x 20
// buttons that stays over the other windows, never takes the focus and
// is not on the task bar. It shows what ButtonBar decides and forwards
// its events there.
#pragma once

#include <QAbstractButton>
#include <QPixmap>
#include <QWidget>
#include <functional>

#include "buttonbar/button_bar.h"

class QLabel;
class QTimer;

namespace quill {

// A button that shows one of the bar's pictures and reports the mouse
// entering and leaving it.
class GlyphButton final : public QAbstractButton {
 public:
  explicit GlyphButton(QWidget* parent);
  void SetGlyph(const QPixmap& glyph);
  std::function<void(bool inside)> on_hover;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  QPixmap glyph_;
};

class TForm3 final : public QWidget, public ButtonBarView {
  Q_OBJECT

 public:
  TForm3(BlockOpener open_block, WindowSystem& windows, MessageBus& bus, Clock& clock);
  ~TForm3() override;

  // The native window exists as `self` and is not shown yet.
  void FormCreate(WindowHandle self);
  // A message posted to the bar's window.
  void WndProc(const Message& msg);
  ButtonBar& bar() { return bar_; }

  void MoveBar(int left, int top) override;
  void CloseBar() override;
  void StartTimer(uint32_t ms) override;
  void SetSaveGlyph(SaveGlyph glyph) override;
  void ShowSaveButtons(bool save, bool save_html) override;
  void CaptureMouse(bool capture) override;

 signals:
  // The bar has closed: the program ends.
  void Closed();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  GlyphButton* AddButton(const char* name, int left, BarButton button);
  // Hover: the hint under the buttons, the form grown to show it.
  void ShowTip(BarButton button);
  void HideTip();

  ButtonBar bar_;
  QPixmap IconImage;
  QPixmap Img_RedSave;
  QPixmap Img_WhiteSave;
  QPixmap Img_BlueSave;
  GlyphButton* PasteButton;
  GlyphButton* SaveButton;
  GlyphButton* SaveHtmlButton;
  GlyphButton* Save2Button;
  GlyphButton* ClipToolButton;
  QLabel* TipMessage;
  QTimer* TCTimer;
  bool shown_ = false;
  bool grabbing_ = false;
};

}  // namespace quill
