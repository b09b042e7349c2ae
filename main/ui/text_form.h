// TTextFm: the card window, a thin view over CardWindow
// (main/editor/card_window.h). It owns the widgets, turns keys, mouse,
// drops, moves and activation into the logic's calls, and converts texts
// and positions between the widgets and the program's CP932 bytes.
//
// The body is the text editor `Text` or the grid `CsvGrid`; an HTML card
// is shown as its page by the HTML view `WebView` in the panel `WebPanel`.
#pragma once

#include <QElapsedTimer>
#include <QPixmap>
#include <QWidget>
#include <functional>
#include <memory>

#include "main/editor/card_window.h"
#include "main/editor/card_window_list.h"

class QInputMethodEvent;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QTimer;

namespace quill {

class Clipboard;

class SearchEditor;
class Shell;
class TStringGridPelm;
class TWebFm;
class PagePrinter;
class TextSearchView;

// What a card window asks of the main window beyond CardWindowOwner.
class TextFormOwner : public CardWindowOwner {
 public:
  // Finds the shared search string in the window's text or grid; ask
  // first opens the find dialog (also when the string is empty).
  virtual void FindInCard(SearchEditor& text, TStringGridPelm* grid, bool backwards,
                          bool ask) = 0;
  // Replace in the text; a locked card refuses with "ロック中です。".
  virtual void ReplaceInCard(SearchEditor& text, bool locked) = 0;
  // The window's size settled after a move or resize.
  virtual void CardWindowSizeSettled(int width, int height) = 0;
  virtual bool ShiftEndOn() = 0;
  // The picture of a card icon for the kind button.
  virtual QPixmap IconPixmap(int icon) = 0;
  // The kind picker over `window`, starting at `current`: the icon picked
  // or -1.
  virtual int PickKind(QWidget* window, int current) = 0;
  // Where links clicked in the HTML view go.
  virtual Shell& LinkShell() = 0;
  // Where the HTML view's print item sends the page.
  virtual PagePrinter& HtmlPrinter() = 0;
  // The clipboard the grid copies to and pastes from.
  virtual Clipboard& GridClipboard() = 0;
};

class TTextFm final : public QWidget, public CardWindowFrame, public CardWindowView {
  Q_OBJECT
 public:
  TTextFm(TextFormOwner& owner, MessageBus& bus, WindowHandle main_window,
          WindowSystem& windows, Ui& ui);
  ~TTextFm() override;

  // --- CardWindowFrame ---
  CardWindow& Logic() override { return logic_; }
  std::string Caption() override;
  void Place(int left, int top, int width, int height) override;
  void Show() override;
  void Reshow() override;

  // --- CardWindowView ---
  WindowHandle Handle() override;
  std::string TitleText() override;
  void SetTitleText(const std::string& title) override;
  void SetCaption(const std::string& caption) override;
  void SetTitleStyle(bool read_only, bool red) override;
  std::string BodyText() override;
  void SetBodyText(const std::string& text) override;
  void SetBodyFont(const CardFont& font, int32_t back_color) override;
  size_t SelectionStart() override;
  std::string SelectedText() override;
  void SelectBody(size_t start, size_t length) override;
  void ReplaceSelection(const std::string& text) override;
  void SetReadOnly(bool read_only) override;
  void ShowBody(int mode) override;
  void ShowHtmlView(const std::string& folder) override;
  void ShowViewOnlyButtons() override;
  void SetStayTopCaption(const std::string& caption) override;
  void SetKindGlyph(int icon) override;
  int PickKind(int current) override;

  // Published controls.
  QWidget* Panel1;
  QPushButton* OK;
  QPushButton* Save;
  QPushButton* SelectWindow;
  QPushButton* StayTop;
  QPushButton* Cancel;
  QWidget* Panel3;
  QLineEdit* Title;
  QPushButton* KindButton;
  QPushButton* KensakuBt;
  QWidget* MainPanel;
  QPlainTextEdit* Text;
  TStringGridPelm* CsvGrid;
  // The HTML view of an HTML card, in its panel; null until shown.
  QWidget* WebPanel;
  TWebFm* WebView = nullptr;
  QMenu* EditMenu;
  QTimer* Timer1;
  QTimer* MoveSaveTimer;

  // Handlers.
  void KindButtonClick();
  void FindNext(bool backwards, bool ask);
  void ReplaceClick();
  void WordWrapClick();
  // The HTML view's reload: the view files written afresh, the page shown.
  void Button1Click();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildControls();
  void BuildMenu();
  bool WindowKey(QKeyEvent* e);
  bool TextKey(QKeyEvent* e);
  bool TextMouse(QMouseEvent* e);
  bool TextInputMethod(QInputMethodEvent* e);
  bool DropEvent(QEvent* e);
  void PopupEditMenu(const QPoint& global);
  ScreenPoint TextOrigin(int offset) const;
  void ArmMoveWatch();

  TextFormOwner& owner_;
  CardWindow logic_;
  std::unique_ptr<TextSearchView> search_view_;
  bool setting_ = false;  // the window sets a widget from code
  bool composing_ = false;  // a rewritten composition event is on its way
  bool move_watch_armed_ = false;
  QElapsedTimer move_watch_;
};

}  // namespace quill
