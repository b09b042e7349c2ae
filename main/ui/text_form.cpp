#include "main/ui/text_form.h"

#include "main/ui/class_color.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QDropEvent>
#include <QHBoxLayout>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include "controls/ui/string_grid_pelm.h"
#include "main/ui/html_view.h"
#include "main/ui/text_search_view.h"
#include "main/ui/widget_text.h"
#include "platform/qt/cp932_text.h"
#include "platform/ui.h"
#include "platform/window_system.h"

namespace quill {
namespace {

QString U(const char* utf8) { return QString::fromUtf8(utf8); }

// One double-click detector for every card window: the point and time of
// the last press in a text body.
struct LastPress {
  QPoint at{-1, -1};
  QElapsedTimer since;
};
LastPress& SharedLastPress() {
  static LastPress press;
  return press;
}

constexpr int kDoublePressMs = 800;
constexpr int kSettleMs = 1000;

}  // namespace

TTextFm::TTextFm(TextFormOwner& owner, MessageBus& bus, WindowHandle main_window,
                 WindowSystem& windows, Ui& ui)
    : QWidget(nullptr, Qt::Window),
      owner_(owner),
      logic_(*this, (BuildControls(), CsvGrid->Grid()), owner, bus, main_window, windows, ui) {
  setObjectName("TTextFm");
  setAttribute(Qt::WA_DeleteOnClose, false);
  search_view_ = std::make_unique<TextSearchView>(this, Text);
  BuildMenu();
  CsvGrid->Grid().beep = [&ui] { ui.MessageBeep(); };
  CsvGrid->Grid().clipboard = &owner.GridClipboard();
  connect(CsvGrid, &TStringGridPelm::OnChangeAfter, this, [this] { logic_.TextChange(); });
  connect(CsvGrid, &TStringGridPelm::OnSaveRequest, this, [this] { logic_.SaveClick(); });
  connect(CsvGrid, &TStringGridPelm::OnFindRequest, this, [this] { FindNext(false, true); });
  connect(CsvGrid, &TStringGridPelm::OnLink, this, [this] { logic_.GridLink(); });
  connect(CsvGrid, &QAbstractItemView::doubleClicked, this, [this] { logic_.GridLink(); });
  connect(OK, &QPushButton::clicked, this, [this] { close(); });
  connect(Save, &QPushButton::clicked, this, [this] { logic_.SaveClick(); });
  connect(Cancel, &QPushButton::clicked, this, [this] { logic_.CancelClick(); });
  connect(StayTop, &QPushButton::clicked, this, [this] { logic_.StayTopClick(); });
  connect(SelectWindow, &QPushButton::clicked, this, [this] {
    const QPoint p = SelectWindow->mapToGlobal(QPoint(30, 30));
    logic_.PostWindowMenu({p.x(), p.y()});
  });
  connect(KindButton, &QPushButton::clicked, this, &TTextFm::KindButtonClick);
  connect(KensakuBt, &QPushButton::clicked, this,
          [this] { FindNext(QApplication::keyboardModifiers() & Qt::ShiftModifier, false); });
  connect(Title, &QLineEdit::textEdited, this, [this](const QString& text) {
    // The card keeps at most 50 bytes of a title.
    const std::string bytes = ToCp932(text);
    const std::string fitted = FitTitle(bytes);
    if (fitted != bytes) {
      const int caret = Title->cursorPosition();
      Title->setText(FromCp932(fitted));
      Title->setCursorPosition(std::min(caret, static_cast<int>(Title->text().size())));
    }
    logic_.TitleChange();
  });
  connect(Text, &QPlainTextEdit::textChanged, this, [this] {
    if (!setting_) logic_.TextChange();
  });
  Timer1 = new QTimer(this);
  Timer1->setSingleShot(true);
  Timer1->setInterval(500);
  connect(Timer1, &QTimer::timeout, this, [this, &windows] { windows.SetForegroundWindow(Handle()); });
  MoveSaveTimer = new QTimer(this);
  MoveSaveTimer->setInterval(800);
  connect(MoveSaveTimer, &QTimer::timeout, this, [this] {
    if (!move_watch_armed_ || move_watch_.elapsed() <= kSettleMs) return;
    move_watch_armed_ = false;
    owner_.CardWindowSizeSettled(width(), height());
  });
  MoveSaveTimer->start();
  installEventFilter(this);
  Text->installEventFilter(this);
  Text->viewport()->installEventFilter(this);
  CsvGrid->viewport()->installEventFilter(this);
  Text->viewport()->setAcceptDrops(true);
  CsvGrid->viewport()->setAcceptDrops(true);
  setAcceptDrops(true);
}

TTextFm::~TTextFm() = default;

void TTextFm::BuildControls() {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);

  Panel1 = new QWidget(this);
  auto* row1 = new QHBoxLayout(Panel1);
  row1->setContentsMargins(2, 2, 2, 2);
  auto button = [this](QWidget* parent, QHBoxLayout* row, const char* name, const char* caption) {
    auto* b = new QPushButton(U(caption), parent);
    b->setObjectName(name);
    b->setFocusPolicy(Qt::NoFocus);
    row->addWidget(b);
    return b;
  };
  OK = button(Panel1, row1, "OK", "登録閉じる");
  Save = button(Panel1, row1, "Save", "登録");
  SelectWindow = button(Panel1, row1, "SelectWindow", "窓選択");
  StayTop = button(Panel1, row1, "StayTop", "裏にも行く(Sft+F1)");
  Cancel = button(Panel1, row1, "Cancel", "キャンセル");
  row1->addStretch();
  layout->addWidget(Panel1);

  Panel3 = new QWidget(this);
  auto* row3 = new QHBoxLayout(Panel3);
  row3->setContentsMargins(2, 0, 2, 2);
  Title = new QLineEdit(Panel3);
  Title->setObjectName("Title");
  Title->setToolTip(U("F7"));
  row3->addWidget(Title, 1);
  KindButton = button(Panel3, row3, "KindButton", "");
  KindButton->setToolTip(U("SHIFT+F7 or F9"));
  KindButton->setFixedWidth(28);
  KensakuBt = button(Panel3, row3, "KensakuBt", "次検索(f･3)");
  layout->addWidget(Panel3);

  MainPanel = new QWidget(this);
  auto* body = new QVBoxLayout(MainPanel);
  body->setContentsMargins(0, 0, 0, 0);
  Text = new QPlainTextEdit(MainPanel);
  Text->setObjectName("Text");
  Text->setTabChangesFocus(false);
  Text->setLineWrapMode(QPlainTextEdit::NoWrap);
  Text->setAcceptDrops(false);  // drops are taken as file links, below
  body->addWidget(Text);
  CsvGrid = new TStringGridPelm(MainPanel);
  CsvGrid->setObjectName("CsvGrid");
  CsvGrid->SetRowHeight(18);
  CsvGrid->hide();
  body->addWidget(CsvGrid);
  WebPanel = new QWidget(MainPanel);
  WebPanel->setObjectName("WebPanel");
  new QVBoxLayout(WebPanel);
  WebPanel->layout()->setContentsMargins(0, 0, 0, 0);
  WebPanel->hide();
  body->addWidget(WebPanel);
  layout->addWidget(MainPanel, 1);
}

void TTextFm::BuildMenu() {
  EditMenu = new QMenu(this);
  EditMenu->setObjectName("EditMenu");
  auto item = [this](const char* caption, std::function<void()> run) {
    QAction* a = EditMenu->addAction(U(caption));
    connect(a, &QAction::triggered, this, std::move(run));
    return a;
  };
  item("登録(&V)", [this] { logic_.SaveClick(); });
  item("コピー(&C)", [this] { logic_.CopyClick(); });
  item("カット(&T)", [this] { logic_.CutClick(); });
  item("張り付け(&P)", [this] { logic_.PasteClick(); });
  item("WordWrap(&W)", [this] { WordWrapClick(); });
  item("登録閉じる(&Q)", [this] { close(); });
  item("検索(&F)", [this] { FindNext(false, true); });
  item("置換(&R)", [this] { ReplaceClick(); });
  item("タイトルセット(&S)", [this] { logic_.SetTitleClick(); });
}

// --- CardWindowFrame ---

std::string TTextFm::Caption() { return ToCp932(windowTitle()); }

void TTextFm::Place(int left, int top, int width, int height) {
  setGeometry(left, top, width, height);
}

void TTextFm::Show() {
  show();
  if (logic_.Mode == 'C') {
    CsvGrid->setFocus();
  } else {
    Text->setFocus();
  }
  logic_.FormShow();
}

void TTextFm::Reshow() {
  hide();
  show();
  Button1Click();
  Timer1->start();
}

// --- CardWindowView ---

WindowHandle TTextFm::Handle() { return static_cast<WindowHandle>(winId()); }

std::string TTextFm::TitleText() { return ToCp932(Title->text()); }

void TTextFm::SetTitleText(const std::string& title) {
  const QSignalBlocker block(Title);
  Title->setText(FromCp932(title));
}

void TTextFm::SetCaption(const std::string& caption) { setWindowTitle(FromCp932(caption)); }

void TTextFm::SetTitleStyle(bool read_only, bool red) {
  Title->setReadOnly(read_only);
  QPalette p = Title->palette();
  p.setColor(QPalette::Text, red ? QColor(255, 0, 0) : QColor(0, 0, 0));
  Title->setPalette(p);
}

std::string TTextFm::BodyText() { return WidgetToText(Text->toPlainText()); }

void TTextFm::SetBodyText(const std::string& text) {
  setting_ = true;
  Text->setPlainText(TextToWidget(text));
  setting_ = false;
}

void TTextFm::SetBodyFont(const CardFont& font, int32_t back_color) {
  QFont f(FromCp932(font.name));
  f.setPointSize(font.size > 0 ? font.size : 9);
  f.setBold(font.bold);
  f.setItalic(font.italic);
  f.setUnderline(font.underline);
  Text->setFont(f);
  CsvGrid->setFont(f);
  CsvGrid->SetRowHeight(f.pointSize() + 10);
  QPalette p = Text->palette();
  p.setColor(QPalette::Text, ClassColor(static_cast<int32_t>(font.color), p));
  p.setColor(QPalette::Base, ClassColor(back_color, p));
  Text->setPalette(p);
  CsvGrid->setPalette(p);
}

size_t TTextFm::SelectionStart() { return search_view_->SelStart(); }

std::string TTextFm::SelectedText() { return search_view_->SelText(); }

void TTextFm::SelectBody(size_t start, size_t length) { search_view_->Select(start, length); }

void TTextFm::ReplaceSelection(const std::string& text) {
  search_view_->ReplaceSelection(text);
}

void TTextFm::SetReadOnly(bool read_only) {
  Title->setReadOnly(read_only);
  Text->setReadOnly(read_only);
  CsvGrid->setEnabled(!read_only);
}

void TTextFm::ShowBody(int mode) {
  CsvGrid->setVisible(mode == 'C');
  Text->setVisible(mode == 0);
  WebPanel->setVisible(mode == 'H');
}

void TTextFm::ShowHtmlView(const std::string& folder) {
  if (WebView != nullptr) {
    WebView->Reload();
    return;
  }
  // The view fills the panel, which fills MainPanel.
  WebView = new TWebFm(folder, owner_.LinkShell(), &owner_.HtmlPrinter(), WebPanel);
  WebPanel->layout()->addWidget(WebView);
  WebView->show();
}

void TTextFm::ShowViewOnlyButtons() {
  Save->hide();
  Cancel->hide();
  KensakuBt->hide();
  OK->setText(U("閉じる"));
}

void TTextFm::SetStayTopCaption(const std::string& caption) {
  StayTop->setText(FromCp932(caption));
}

void TTextFm::SetKindGlyph(int icon) { KindButton->setIcon(QIcon(owner_.IconPixmap(icon))); }

int TTextFm::PickKind(int current) { return owner_.PickKind(this, current); }

// --- handlers ---

void TTextFm::KindButtonClick() {
  if (logic_.ReadOnlyCard) return;
  logic_.KindButtonClick();
}

void TTextFm::FindNext(bool backwards, bool ask) {
  if (logic_.Mode == 'H') return;
  owner_.FindInCard(*search_view_, logic_.Mode == 'C' ? CsvGrid : nullptr, backwards, ask);
}

void TTextFm::ReplaceClick() {
  if (logic_.Mode == 'C' || logic_.Mode == 'H') return;
  owner_.ReplaceInCard(*search_view_, logic_.ReadOnlyCard);
}

void TTextFm::Button1Click() { logic_.ShowHtmlPage(); }

void TTextFm::WordWrapClick() {
  const bool wrap = Text->lineWrapMode() == QPlainTextEdit::NoWrap;
  Text->setLineWrapMode(wrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
  Text->setHorizontalScrollBarPolicy(wrap ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded);
}

// --- events ---

void TTextFm::closeEvent(QCloseEvent* event) {
  // The main window destroys the window once it has taken the result.
  logic_.FormClose();
  event->ignore();
}

void TTextFm::changeEvent(QEvent* event) {
  if (event->type() == QEvent::ActivationChange && !isActiveWindow()) logic_.Deactivated();
  QWidget::changeEvent(event);
}

void TTextFm::moveEvent(QMoveEvent* event) {
  ArmMoveWatch();
  QWidget::moveEvent(event);
}

void TTextFm::resizeEvent(QResizeEvent* event) {
  ArmMoveWatch();
  QWidget::resizeEvent(event);
}

void TTextFm::ArmMoveWatch() {
  if (!isVisible()) return;
  move_watch_armed_ = true;
  move_watch_.start();
}

ScreenPoint TTextFm::TextOrigin(int offset) const {
  const QPoint p = Text->viewport()->mapToGlobal(QPoint(offset, offset));
  return {p.x(), p.y()};
}

void TTextFm::PopupEditMenu(const QPoint& global) { EditMenu->popup(global); }

bool TTextFm::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::ShortcutOverride: {
      auto* key = static_cast<QKeyEvent*>(event);
      if (watched == Text && TextKey(key)) return true;
      if (event->type() == QEvent::KeyPress && WindowKey(key)) return true;
      break;
    }
    case QEvent::InputMethod:
      if (watched == Text) return TextInputMethod(static_cast<QInputMethodEvent*>(event));
      break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
      if (watched == Text->viewport() && TextMouse(static_cast<QMouseEvent*>(event))) return true;
      break;
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
      if (watched == Text->viewport() || watched == CsvGrid->viewport() || watched == this) {
        return DropEvent(event);
      }
      break;
    default:
      break;
  }
  return QWidget::eventFilter(watched, event);
}

// Keys of the whole window (the form sees every key first).
bool TTextFm::WindowKey(QKeyEvent* e) {
  const Qt::KeyboardModifiers m = e->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier |
                                                    Qt::AltModifier);
  const bool shift = m == Qt::ShiftModifier;
  switch (e->key()) {
    case Qt::Key_F1:
      if (!shift) return false;
      logic_.StayTopClick();
      return true;
    case Qt::Key_F3:
      FindNext(shift, false);
      return true;
    case Qt::Key_F5:
      logic_.PostWindowMenu(TextOrigin(50));
      return true;
    case Qt::Key_F7:
      if (!shift) {
        Title->setFocus();
        return true;
      }
      [[fallthrough]];
    case Qt::Key_F9: {
      QCursor::setPos(KindButton->mapToGlobal(KindButton->rect().center()));
      KindButtonClick();
      return true;
    }
    case Qt::Key_F8:
      if (logic_.Mode == 'C') {
        CsvGrid->setFocus();
      } else {
        Text->setFocus();
      }
      return true;
    case Qt::Key_S:
      if (m != Qt::ControlModifier) return false;
      logic_.SaveClick();
      return true;
    default:
      return false;
  }
}

// Keys inside Text, before the editor's own handling.
bool TTextFm::TextKey(QKeyEvent* e) {
  const Qt::KeyboardModifiers m = e->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier |
                                                    Qt::AltModifier);
  const bool press = e->type() == QEvent::KeyPress;
  if (e->type() == QEvent::ShortcutOverride) {
    // Copy, cut and paste are the window's own, ahead of any shortcut.
    if ((m == Qt::ControlModifier && (e->key() == Qt::Key_C || e->key() == Qt::Key_X)) ||
        e->matches(QKeySequence::Paste)) {
      e->accept();
    }
    return false;
  }
  if (!press) return false;
  if (e->key() == Qt::Key_Escape || e->key() == Qt::Key_Menu) {
    const ScreenPoint p = TextOrigin(50);
    PopupEditMenu(QPoint(p.x, p.y));
    return true;
  }
  if (m == Qt::ControlModifier && e->key() == Qt::Key_C) {
    logic_.CopyClick();
    return true;
  }
  if (m == Qt::ControlModifier && e->key() == Qt::Key_X) {
    logic_.CutClick();
    return true;
  }
  if (e->matches(QKeySequence::Paste)) {
    logic_.PasteClick();
    return true;
  }
  if (m == Qt::ShiftModifier && (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter)) {
    logic_.OpenLinkAtCaret();
    return true;
  }
  if (m == Qt::ShiftModifier && e->key() == Qt::Key_End && owner_.ShiftEndOn()) {
    // To the end of the logical line, not of the displayed one.
    const std::string text = BodyText();
    const size_t start = SelectionStart();
    size_t end = text.find('\r', start);
    if (end == std::string::npos) end = text.size();
    SelectBody(start, end - start);
    return true;
  }
  return false;
}

bool TTextFm::TextMouse(QMouseEvent* e) {
  if (e->button() == Qt::RightButton) {
    PopupEditMenu(e->globalPosition().toPoint() - QPoint(0, 5));
    return true;
  }
  LastPress& last = SharedLastPress();
  const QPoint at = e->globalPosition().toPoint();
  const bool twice = last.since.isValid() && at == last.at && last.since.elapsed() < kDoublePressMs;
  last.at = at;
  last.since.start();
  if (twice) {
    // After the press has put the caret where the mouse is.
    QTimer::singleShot(0, this, [this] { logic_.OpenLinkAtCaret(); });
  }
  return false;
}

// A composition's commit is typing: it goes in whole or, past the body's
// limit, not at all; the composition itself goes on.
bool TTextFm::TextInputMethod(QInputMethodEvent* e) {
  if (composing_ || e->commitString().isEmpty()) return false;
  // Every character takes at most two bytes: only a long text needs
  // counting.
  const size_t added = WidgetToText(e->commitString()).size();
  const size_t rough = static_cast<size_t>(Text->document()->characterCount()) * 2;
  if (rough + added <= kBodyLimitBytes || logic_.TakesInsertion(added)) return false;
  QInputMethodEvent refused(e->preeditString(), e->attributes());
  composing_ = true;
  QCoreApplication::sendEvent(Text, &refused);
  composing_ = false;
  return true;
}

bool TTextFm::DropEvent(QEvent* event) {
  auto* drop = static_cast<QDropEvent*>(event);
  const QMimeData* mime = drop->mimeData();
  std::vector<std::string> paths;
  if (mime != nullptr && mime->hasUrls()) {
    for (const QUrl& url : mime->urls()) {
      if (url.isLocalFile()) paths.push_back(ToCp932(url.toLocalFile()));
    }
  }
  if (paths.empty() || logic_.ReadOnlyCard) {
    drop->ignore();
    return true;
  }
  drop->setDropAction(Qt::CopyAction);
  drop->accept();
  if (event->type() == QEvent::Drop) logic_.DropFiles(paths);
  return true;
}

}  // namespace quill
