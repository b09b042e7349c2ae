// TMainForm's editor events: the key map as the form's key preview, Enter,
// Shift+End and the double press in the text, the input method's
// composition, the edit menu's copy, cut and paste, word wrap, automatic
// indentation, fonts, background colours, the help page and the window's
// size limits. The decisions are main/editor/editor_events.h's; this file
// turns events into them and their results into the widgets.
#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QFileInfo>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocumentFragment>
#include <QTimer>
#include <QTreeView>
#include <QWindow>
#include <QComboBox>
#include <QCheckBox>

#include "controls/ui/string_grid_pelm.h"
#include "main/editor/editor_events.h"
#include "main/editor/text_link.h"
#include "main/ui/class_color.h"
#include "main/ui/main_form_tree_glue.h"
#include "main/ui/widget_look.h"
#include "main/ui/widget_text.h"
#include "clip/paste_target.h"
#include "platform/clock.h"
#include "platform/input_method.h"
#include "platform/qt/fcitx5_input_method.h"
#include "platform/messages.h"
#include "platform/qt/cp932_text.h"
#include "platform/shell.h"
#include "platform/text_codec.h"
#include "platform/ui.h"
#include "platform/ui_messages.h"
#include "store/card_store.h"

namespace quill {

namespace {

QString U(const char* utf8) { return QString::fromUtf8(utf8); }

// The title box holds at most 50 CP932 bytes.
constexpr size_t kTitleBytes = 50;

bool FieldReadOnly(QWidget* w) {
  if (auto* edit = qobject_cast<QPlainTextEdit*>(w)) return edit->isReadOnly();
  if (auto* line = qobject_cast<QLineEdit*>(w)) return line->isReadOnly();
  return true;
}

// The target clause of a composition: black on cyan.
const QColor kPreeditBack(0, 255, 255);

MainKey KeyOf(int key) {
  switch (key) {
    case Qt::Key_F3: return MainKey::kF3;
    case Qt::Key_F4: return MainKey::kF4;
    case Qt::Key_F5: return MainKey::kF5;
    case Qt::Key_F6: return MainKey::kF6;
    case Qt::Key_F7: return MainKey::kF7;
    case Qt::Key_F8: return MainKey::kF8;
    case Qt::Key_F9: return MainKey::kF9;
    case Qt::Key_F: return MainKey::kF;
    case Qt::Key_S: return MainKey::kS;
    default: return MainKey::kOther;
  }
}

// The form's key preview: every key of the main window passes the key map
// before the focused control sees it. It watches the window, where a key
// arrives once, before it goes to the focused widget.
class KeyPreview final : public QObject {
 public:
  explicit KeyPreview(TMainForm* form) : QObject(form), form_(form) {}
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() != QEvent::KeyPress) return false;
    return form_->MainKeyDown(static_cast<QKeyEvent*>(event));
  }

 private:
  TMainForm* form_;
};

}  // namespace

struct TMainForm::EventGlue {
  DoublePressWatch presses;
  Fcitx5InputMethodStatus desktop_input_method;
  InputMethodStatus* input_method = &desktop_input_method;
  KeyPreview* preview = nullptr;
  bool started = false;     // the start is over: placement checks run
  bool composing = false;   // a rewritten composition event is on its way
};

void TMainForm::DestroyEventGlue(EventGlue* glue) { delete glue; }

TMainForm::EventGlue& TMainForm::Events() {
  if (event_glue_ == nullptr) {
    event_glue_.reset(new EventGlue);
    if (context_.input_method != nullptr) event_glue_->input_method = context_.input_method;
  }
  return *event_glue_;
}

void TMainForm::SetupEditorEvents() {
  EventGlue& e = Events();
  if (e.preview == nullptr) e.preview = new KeyPreview(this);
  // The font and colour commands name the part that has the focus.
  connect(qApp, &QApplication::focusChanged, this, [this] { UpdateEditorActions(); });
  UpdateEditorActions();
}

void TMainForm::InstallKeyPreview() {
  if (QWindow* window = windowHandle()) {
    window->removeEventFilter(Events().preview);
    window->installEventFilter(Events().preview);
  }
}

void TMainForm::StartupFinished() {
  Events().started = true;
  CheckWindowPlacement(false);
}

// --- the text's focus ---

void TMainForm::TextEnter() {
  OpenInputMethod(*Events().input_method, settings_.IME != 0);
  // A table card is edited in the grid; over the HTML view nothing has
  // the focus.
  if (!CsvGrid->isHidden()) {
    CsvGrid->setFocus(Qt::OtherFocusReason);
    SetBaseColor(CsvGrid, settings_.TextBackColor);
    return;
  }
  if (WebView != nullptr) return;
  FocusedEditor = Text;
  Editor().TextEnter();
}
// --- the key map ---

bool TMainForm::MainKeyDown(QKeyEvent* event) {
  const MainKey key = KeyOf(event->key());
  if (key == MainKey::kOther) return false;
  const Qt::KeyboardModifiers m = event->modifiers();
  MainKeyState s;
  s.shift = m.testFlag(Qt::ShiftModifier);
  s.ctrl = m.testFlag(Qt::ControlModifier);
  s.alt = m.testFlag(Qt::AltModifier);
  s.text_focused = FocusedEditor == Text;
  s.grid_visible = !CsvGrid->isHidden();
  s.html_shown = WebView != nullptr;
  s.ippatu_enabled = IppatuPaste->isEnabled();
  s.csvhtml_enabled = CsvHtmlCK->isEnabled();
  const MainKeyResult r = MainKeyMap(key, s);
  using C = MainKeyCommand;
  switch (r.command) {
    case C::kNone: break;
    case C::kFindNext: KensakuBtClick(); break;
    case C::kTikan: TikanClick(); break;
    case C::kFocusSyutten: Syutten->setFocus(Qt::ShortcutFocusReason); break;
    case C::kKindButton:
      QCursor::setPos(KindButton->mapToGlobal(KindButton->rect().center()));
      KindButtonClick();
      break;
    case C::kFocusIppatuPaste: IppatuPaste->setFocus(Qt::ShortcutFocusReason); break;
    case C::kFocusCsvHtmlCK: CsvHtmlCK->setFocus(Qt::ShortcutFocusReason); break;
    case C::kToFloppy: ToFloppyClick(); break;
    case C::kDel: DelClick(); break;
    case C::kCancel: CancelButtonClick(); break;
    case C::kFindInCard:
      FindStrMenuClick();
      SaveButtonClick();
      break;
    case C::kCardSearch:
      KensakuButtonClick();
      SaveButtonClick();
      break;
    case C::kSave: SaveButtonClick(); break;
    // The task-bar button then follows the setting ToolBar as the window
    // loses the activation.
    case C::kMinimize: showMinimized(); break;
    case C::kWindowList: WindowClick(); break;
    case C::kFocusTree: Tree->setFocus(Qt::ShortcutFocusReason); break;
    case C::kFocusTitle: Title->setFocus(Qt::ShortcutFocusReason); break;
    case C::kFocusGrid: CsvGrid->setFocus(Qt::ShortcutFocusReason); break;
    case C::kFocusText: Text->setFocus(Qt::ShortcutFocusReason); break;
    case C::kAddNew: AddNewClick(); break;
  }
  return r.consumed;
}

// --- the text's own keys, mouse and composition ---

namespace {

std::string SelectedBody(QPlainTextEdit* edit) {
  return WidgetToText(edit->textCursor().selection().toPlainText());
}

}  // namespace

void TMainForm::ReplaceBodySelection(const std::string& text) {
  QTextCursor cursor = Text->textCursor();
  cursor.insertText(TextToWidget(text));
  Text->setTextCursor(cursor);
}

void TMainForm::OpenLinkInText() {
  const std::string body = WidgetToText(Text->toPlainText());
  const size_t caret =
      WidgetToText(Text->toPlainText().left(Text->textCursor().position())).size();
  LinkContext context{shell_, ui_, env_, card_store_.data_path(),
                      [this](const std::string& id_or_title) { OpenCardLink(id_or_title); }};
  OpenLinkAt(body, caret, context);
}

bool TMainForm::TextKeyDown(QKeyEvent* e) {
  const Qt::KeyboardModifiers m =
      e->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
  if (e->type() == QEvent::ShortcutOverride) {
    // Copy, cut and paste are the editor's own, ahead of any shortcut.
    if (m == Qt::ControlModifier &&
        (e->key() == Qt::Key_C || e->key() == Qt::Key_V || e->key() == Qt::Key_X)) {
      e->accept();
    }
    return false;
  }
  if (m == Qt::ControlModifier && e->key() == Qt::Key_C) {
    CopyClick();
    return true;
  }
  if (m == Qt::ControlModifier && e->key() == Qt::Key_V) {
    PasteClick();
    return true;
  }
  if (m == Qt::ControlModifier && e->key() == Qt::Key_X) {
    CutClick();
    return true;
  }
  if (m == Qt::ShiftModifier && e->key() == Qt::Key_End && settings_.ShiftEnd != 0) {
    const QString all = Text->toPlainText();
    const std::string body = WidgetToText(all);
    const int start = Text->textCursor().selectionStart();
    const size_t from = BytesForUnits(all, body, start);
    const size_t to = LogicalLineEnd(body, from);
    QTextCursor cursor = Text->textCursor();
    cursor.setPosition(start);
    cursor.setPosition(static_cast<int>(UnitsForBytes(all, body, to)), QTextCursor::KeepAnchor);
    Text->setTextCursor(cursor);
    return true;
  }
  return false;
}

bool TMainForm::TextKeyPress(QKeyEvent* e) {
  if (e->key() != Qt::Key_Return && e->key() != Qt::Key_Enter) return false;
  if (e->modifiers().testFlag(Qt::ShiftModifier)) {
    OpenLinkInText();
    return true;
  }
  if (settings_.AutoIndent == 0 || Text->isReadOnly()) return false;
  const QString all = Text->toPlainText();
  const std::string body = WidgetToText(all);
  const size_t caret = BytesForUnits(all, body, Text->textCursor().position());
  ReplaceBodySelection(AutoIndentBreak(body, caret));
  return true;
}

void TMainForm::TextMouseDown(QMouseEvent* e) {
  Clock& clock = context_.clock != nullptr ? *context_.clock : Clock::System();
  const QPoint at = e->position().toPoint();
  if (Events().presses.Press(at.x(), at.y(), clock.TickCount())) {
    // Once the press has put the caret where the mouse is.
    QTimer::singleShot(0, this, [this] { OpenLinkInText(); });
  }
}

bool TMainForm::TextInputMethod(QInputMethodEvent* e) {
  EventGlue& g = Events();
  if (g.composing) return false;
  QString commit = e->commitString();
  if (!commit.isEmpty()) {
    // A commit is typing: it must fit whole, or it is refused.
    const QTextDocument* doc = Text->document();
    const size_t added = WidgetToText(commit).size();
    const size_t rough = static_cast<size_t>(doc->characterCount()) * 2;
    if (rough + added > kBodyLimitBytes) {
      const size_t body = WidgetToText(Text->toPlainText()).size();
      if (!InsertionFits(body, SelectedBody(Text).size(), added, kBodyLimitBytes)) {
        ui_.MessageBeep();
        commit.clear();
      }
    }
  }
  QList<QInputMethodEvent::Attribute> attributes;
  for (QInputMethodEvent::Attribute a : e->attributes()) {
    if (a.type == QInputMethodEvent::TextFormat) {
      QTextCharFormat f = qvariant_cast<QTextFormat>(a.value).toCharFormat();
      if (f.background().style() != Qt::NoBrush) {
        f.setForeground(QColor(0, 0, 0));
        f.setBackground(kPreeditBack);
        a.value = QVariant::fromValue<QTextFormat>(f);
      }
    }
    attributes << a;
  }
  QInputMethodEvent rewritten(e->preeditString(), attributes);
  rewritten.setCommitString(commit, e->replacementStart(), e->replacementLength());
  g.composing = true;
  QCoreApplication::sendEvent(Text, &rewritten);
  g.composing = false;
  return true;
}

bool TMainForm::EditorEventFilter(QObject* watched, QEvent* event) {
  if (watched == Text) {
    switch (event->type()) {
      case QEvent::ShortcutOverride:
        return TextKeyDown(static_cast<QKeyEvent*>(event));
      case QEvent::KeyPress:
        return TextKeyDown(static_cast<QKeyEvent*>(event)) ||
               TextKeyPress(static_cast<QKeyEvent*>(event));
      case QEvent::InputMethod:
        return TextInputMethod(static_cast<QInputMethodEvent*>(event));
      default:
        return false;
    }
  }
  // On X the second press of a double click arrives as a double click
  // only: it is a press all the same.
  if (watched == Text->viewport() && (event->type() == QEvent::MouseButtonPress ||
                                      event->type() == QEvent::MouseButtonDblClick)) {
    auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() != Qt::RightButton) TextMouseDown(mouse);
  }
  return false;
}

// --- the edit menu ---

bool TMainForm::GridEditable() const {
  return CsvGrid->isEnabled() && !LockCheckBox->isChecked();
}

void TMainForm::CopyClick() {
  QWidget* target = EditTarget();
  if (target == CsvGrid) {
    CsvGrid->Grid().CopyCsv();
  } else if (target == Text) {
    const std::string selected = SelectedBody(Text);
    if (!selected.empty()) Clip().SetClipboardText(selected);
  } else if (auto* line = qobject_cast<QLineEdit*>(target)) {
    line->copy();
  }
}

void TMainForm::CutClick() {
  QWidget* target = EditTarget();
  if (target == CsvGrid) {
    if (!GridEditable()) return EditorBeep();
    CsvGrid->Grid().SetUndo();
    CsvGrid->Grid().CutCsv();
    return;
  }
  if (LockCheckBox->isChecked() || FieldReadOnly(target)) return EditorBeep();
  if (target == Text) {
    const std::string selected = SelectedBody(Text);
    if (selected.empty()) return;
    Clip().SetClipboardText(selected);
    ReplaceBodySelection("");
  } else if (auto* line = qobject_cast<QLineEdit*>(target)) {
    line->cut();
  }
}

void TMainForm::PasteClick() {
  QWidget* target = EditTarget();
  if (target == CsvGrid) {
    if (!GridEditable()) return EditorBeep();
    CsvGrid->Grid().SetUndo();
    CsvGrid->Grid().PasteCsv(0);
    return;
  }
  if (LockCheckBox->isChecked() || FieldReadOnly(target)) return EditorBeep();
  if (target == Text) {
    const std::string text = Clip().GetClipboardText();
    const size_t body = WidgetToText(Text->toPlainText()).size();
    // Refused whole: a text cut somewhere in its middle is worse than none.
    if (!InsertionFits(body, SelectedBody(Text).size(), text.size(), kBodyLimitBytes)) {
      return EditorBeep();
    }
    ReplaceBodySelection(text);
  } else if (auto* line = qobject_cast<QLineEdit*>(target)) {
    line->paste();
  }
}

void TMainForm::SetTitleClick() {
  const std::string body = WidgetToText(Text->toPlainText());
  const std::optional<std::string> title =
      TitleFromText(body, SelectedBody(Text), kTitleBytes);
  if (title) Title->setText(FromCp932(*title));
}

// --- word wrap, indentation, fonts and colours ---

void TMainForm::UpdateEditorActions() {
  const bool text = FocusedEditor == Text;
  const bool tree = FocusedEditor == Tree;
  for (const char* name : {"WordWrapAction", "AutoIndentAction"}) {
    if (QAction* a = findChild<QAction*>(name)) a->setEnabled(text);
  }
  if (QAction* font = findChild<QAction*>("FontAction")) {
    font->setText(tree ? U("ツリー部のフォント(&F)") : U("テキスト部のフォント(&F)"));
    font->setEnabled(text || tree);
  }
  if (QAction* back = findChild<QAction*>("BackColor")) {
    back->setText(tree ? U("ツリー部の背景色(&B)") : U("テキスト部の背景色(&B)"));
    back->setEnabled(text || tree);
  }
}

void TMainForm::WordWrapActionExecute() {
  settings_.WordWrap = settings_.WordWrap != 0 ? 0 : 1;
  const bool wrap = settings_.WordWrap != 0;
  Text->setLineWrapMode(wrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
  Text->setHorizontalScrollBarPolicy(wrap ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded);
  if (QAction* a = findChild<QAction*>("WordWrapAction")) a->setChecked(wrap);
  tree_glue_->SaveSettingsGroup(kGroupOptions);
}

void TMainForm::AutoIndentActionExecute() {
  settings_.AutoIndent = settings_.AutoIndent != 0 ? 0 : 1;
  if (QAction* a = findChild<QAction*>("AutoIndentAction")) a->setChecked(settings_.AutoIndent != 0);
  tree_glue_->SaveSettingsGroup(kGroupOptions);
}

namespace {

FontChoice ChoiceOf(const QFont& font, int32_t color) {
  FontChoice c;
  c.name = ToCp932(font.family());
  c.size = font.pointSize();
  c.color = color;
  c.bold = font.bold();
  c.italic = font.italic();
  c.underline = font.underline();
  return c;
}

}  // namespace

void TMainForm::FontActionExecute() {
  const bool tree = FocusedEditor == Tree;
  if (!tree && FocusedEditor != Text) return;
  store::CardRecord& card = Editor().EditCard();
  FontChoice choice = tree ? ChoiceOf(Tree->font(), settings_.TreeFontColor)
                           : ChoiceOf(Text->font(), static_cast<int32_t>(card.font_color));
  if (!ui_.ChooseFont(&choice)) return;
  if (!FontNameFits(choice.name)) {
    quill::ShowWarning(ui_, MessageId::kFontNameTooLong);
    return;
  }
  const int32_t charset = FontCharset(ui_.FontCoversJapanese(choice.name));
  const FontStyle style{choice.bold, choice.italic, choice.underline};
  if (tree) {
    settings_.TreeFontName = choice.name;
    settings_.TreeFontSize = choice.size;
    settings_.TreeFontColor = choice.color;
    settings_.TreeFontCharset = charset;
    settings_.TreeFontStyle = FontStyleBits(style);
    ApplyTreeLook();
    tree_glue_->SaveSettingsGroup(kGroupFontsAndDataSet);
    return;
  }
  card.font_name = choice.name;
  card.font_color = static_cast<uint32_t>(choice.color);
  card.font_size = choice.size;
  card.font_charset = charset;
  card.bold = style.bold;
  card.italic = style.italic;
  card.underline = style.underline;
  ShowCardFont();
}

void TMainForm::TreeFontClick() {
  FocusedEditor = Tree;
  UpdateEditorActions();
  FontActionExecute();
}

void TMainForm::ShowCardFont() {
  const store::CardRecord& card = Editor().EditCard();
  tree_glue_->editor_view.SetBodyFont(CardFontOf(card));
  // The next save stores the card's own font.
  Editor().FontChanged = 1;
  Editor().TextChange();
}

void TMainForm::SetDefaultFontClick() {
  store::CardRecord& card = Editor().EditCard();
  const QFont font = Text->font();
  const std::string name = ToCp932(font.family());
  const bool japanese = ui_.FontCoversJapanese(name);
  if (!MayBeDefaultFont(name, japanese)) {
    quill::ShowWarning(ui_, MessageId::kDefaultFontNotJapanese);
    return;
  }
  settings_.FontName = name;
  settings_.FontColor = static_cast<int32_t>(card.font_color);
  settings_.FontSize = font.pointSize() > 0 ? font.pointSize() : settings_.FontSize;
  settings_.FontCharset = FontCharset(japanese);
  settings_.FontStyle = FontStyleBits({font.bold(), font.italic(), font.underline()});
  tree_glue_->SaveSettingsGroup(kGroupFontsAndDataSet);
}

void TMainForm::BackDefaultFontClick() {
  store::CardRecord& card = Editor().EditCard();
  card.font_name = settings_.FontName;
  card.font_color = static_cast<uint32_t>(settings_.FontColor);
  card.font_size = settings_.FontSize;
  card.font_charset = FontCharset(ui_.FontCoversJapanese(settings_.FontName));
  ShowCardFont();
}

void TMainForm::SetBaseColor(QWidget* widget, int32_t color) {
  SetWidgetColor(widget, QPalette::Base, ClassColor(color));
}

void TMainForm::ApplyTreeLook() {
  const CardFont font = TreeFont(settings_);
  Tree->setFont(QtFontOf(font, this->font()));
  SetWidgetColor(Tree, QPalette::Text, ClassColor(static_cast<int32_t>(font.color)));
  SetBaseColor(Tree, settings_.TreeBackColor);
}

void TMainForm::BackColorExecute() {
  const bool tree = FocusedEditor == Tree;
  if (!tree && FocusedEditor != Text) return;
  int32_t color = tree ? settings_.TreeBackColor : settings_.TextBackColor;
  if (!ui_.ChooseColor(&color)) return;
  if (tree) {
    settings_.TreeBackColor = color;
    ApplyTreeLook();
  } else {
    // Text takes it on its next enter.
    settings_.TextBackColor = color;
  }
  tree_glue_->SaveSettingsGroup(kGroupFontsAndDataSet);
}

// --- help and the window ---

void TMainForm::HelpClick() {
  const QString page = QString::fromStdString(context_.install_folder) + U("/quillmain_hlp.html");
  if (context_.install_folder.empty() || !QFileInfo::exists(page)) {
    quill::ShowWarning(ui_, MessageId::kHelpPageMissing, {ToCp932(page)});
    return;
  }
  // Without a program for the page the user is told where it is.
  if (!shell_.OpenFile(ToCp932(page))) {
    quill::ShowWarning(ui_, MessageId::kHelpPageNotOpened, {ToCp932(page)});
  }
}

void TMainForm::CheckWindowPlacement(bool from_timer) {
  if (!Events().started) return;
  QScreen* s = screen() != nullptr ? screen() : QGuiApplication::primaryScreen();
  WindowRect desktop{0, 0, 1 << 20, 1 << 20};
  if (s != nullptr) {
    const QRect v = s->virtualGeometry();
    desktop = {v.left(), v.top(), v.left() + v.width(), v.top() + v.height()};
  }
  // Placed by the frame's corner and sized by the inside, as the settings
  // keep them.
  const QRect frame(pos(), size());
  const QList<int> sizes = Split->sizes();
  Placement p{{frame.left(), frame.top(), frame.left() + frame.width(),
               frame.top() + frame.height()},
              sizes.isEmpty() ? 0 : sizes.front()};
  const Placement checked = CheckPlacement(p, desktop, from_timer);
  if (checked.tree_width != p.tree_width && sizes.size() == 2) {
    Split->setSizes({checked.tree_width, sizes[0] + sizes[1] - checked.tree_width});
  }
  const WindowRect& w = checked.window;
  if (w.Width() != frame.width() || w.Height() != frame.height()) resize(w.Width(), w.Height());
  if (w.left != frame.left() || w.top != frame.top()) move(w.left, w.top);
  if (isMinimized() || isMaximized()) return;
  settings_.Left = static_cast<int16_t>(w.left);
  settings_.Top = static_cast<int16_t>(w.top);
  settings_.Width = w.Width();
  settings_.Height = w.Height();
  settings_.TreeWidth = checked.tree_width;
  tree_glue_->SaveSettingsGroup(kGroupWindow);
}

}  // namespace quill
