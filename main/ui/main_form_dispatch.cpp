// TMainForm's command glue: the window procedure, the deferred-command
// scheduler on Timer1, the tray icon's clicks and the tray menu's items.
// The decisions live in Dispatcher (clip/dispatcher.h); this file gives it
// the window, the desktop and the posts it works through.
#include <QApplication>
#include <QCursor>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QEvent>
#include <QFileInfo>
#include <QLineEdit>
#include <QMetaObject>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QUrl>
#include <QWindow>
#include <array>

#include "clip/browser_classes.h"
#include "clip/clip_history.h"
#include "clip/dispatcher.h"
#include "clip/one_shot.h"
#include "clip/paste_target.h"
#include "clip/scheduler.h"
#include "clip/ui/get_http_form.h"
#include "hook/quillhook.h"
#include "main/tree/folder_tree_model.h"
#include "main/tree/node_operations.h"
#include "main/startup.h"
#include "platform/qt/cp932_text.h"
#include "main/ui/main_form.h"
#include "main/ui/main_form_paste.h"
#include "main/ui/main_form_register.h"
#include "main/ui/qt_clipboard.h"
#include "main/ui/qt_ui.h"
#include "main/ui/quill_hooks.h"
#include "platform/clock.h"
#include "platform/http/curl_http_fetcher.h"
#include "platform/message_bus.h"
#include "platform/messages.h"
#include "platform/protocol/shared_hook_block.h"
#include "platform/text_codec.h"
#include "platform/window_system.h"
#include "platform/x11/x11_window_system.h"
#include "platform/x11/xtest_key_injector.h"

namespace quill {

namespace {

QString U(const char* utf8) { return QString::fromUtf8(utf8); }

// Stands for the main window while the block does not know its handle (in
// tests without a block, and before the program has published it).
constexpr WindowHandle kSelfWindow = 0xFFFFFFFFu;

// Posts of the main window: to itself they are queued on its own event
// loop and reach WndProc like any posted message; to other windows they go
// through the program's bus, or are dropped when it has none.
class FormBus final : public MessageBus {
 public:
  FormBus(TMainForm* form, MessageBus* outer, const SharedHookBlock& block)
      : form_(form), outer_(outer), block_(block) {}

  bool PostMessage(WindowHandle window, uint32_t message, uint32_t wparam,
                   int32_t lparam) override {
    if (window == kSelfWindow || (window != 0 && window == block_.MainWindow())) {
      QPointer<TMainForm> form(form_);
      QMetaObject::invokeMethod(
          form_,
          [form, message, wparam, lparam] {
            if (form != nullptr) form->WndProc(message, wparam, lparam);
          },
          Qt::QueuedConnection);
      return true;
    }
    return outer_ != nullptr && outer_->PostMessage(window, message, wparam, lparam);
  }

 private:
  TMainForm* form_;
  MessageBus* outer_;
  const SharedHookBlock& block_;
};

// The X display's windows, on the xcb platform only.
std::unique_ptr<WindowSystem> OpenDesktop() {
  if (QGuiApplication::platformName() != QLatin1String("xcb")) return nullptr;
  return X11WindowSystem::Open();
}

// The desktop as the dispatcher sees it. Our main window is the QWidget,
// so that Qt knows of every change to it; other applications' windows are
// the X display's. Without a display (offscreen) questions about them
// have empty answers and the calls on them fail.
class FormWindows final : public WindowSystem {
 public:
  FormWindows(QWidget* form, const SharedHookBlock& block)
      : form_(form), block_(block), desktop_(OpenDesktop()) {}

  std::string ClassName(WindowHandle w) override {
    return desktop_ != nullptr ? desktop_->ClassName(w) : std::string();
  }
  bool IsShellWindow(WindowHandle w) override {
    return desktop_ != nullptr && desktop_->IsShellWindow(w);
  }
  bool IsVisible(WindowHandle w) override {
    if (IsMain(w)) return OnScreen();
    return desktop_ != nullptr && desktop_->IsVisible(w);
  }
  void ShowWindow(WindowHandle w, ShowCommand command) override {
    if (!IsMain(w)) {
      if (desktop_ != nullptr) desktop_->ShowWindow(w, command);
      return;
    }
    switch (command) {
      case ShowCommand::kHide:
        form_->hide();
        break;
      case ShowCommand::kShow:
        form_->show();
        break;
      case ShowCommand::kShowNoActivate:
        ShowWithoutActivating();
        break;
    }
  }
  void BringToTop(WindowHandle w) override {
    if (!IsMain(w)) {
      if (desktop_ != nullptr) desktop_->BringToTop(w);
      return;
    }
    form_->show();
    form_->raise();
  }
  void SetForegroundWindow(WindowHandle w) override {
    if (IsMain(w)) {
      // A hidden or minimised main window stays so (a popup menu grabs
      // the input of its own).
      if (!OnScreen()) return;
      form_->activateWindow();
      // Qt asks as an application, which a window manager may refuse to a
      // window that the user did not touch last; the desktop asks again
      // as a pager, as for any other window.
      if (desktop_ != nullptr && w != kSelfWindow) desktop_->SetForegroundWindow(w);
    } else if (desktop_ != nullptr) {
      desktop_->SetForegroundWindow(w);
    }
  }
  void PumpMessages(uint32_t ms) override {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < static_cast<qint64>(ms)) {
      QCoreApplication::processEvents(QEventLoop::AllEvents,
                                      static_cast<int>(ms - static_cast<uint32_t>(timer.elapsed())));
    }
  }

  WindowHandle ActiveWindow() override {
    if (desktop_ != nullptr) return desktop_->ActiveWindow();
    return form_->isActiveWindow() ? block_.MainWindow() : 0;
  }
  std::string Title(WindowHandle w) override {
    if (IsMain(w)) return ToCp932(form_->windowTitle());
    return desktop_ != nullptr ? desktop_->Title(w) : std::string();
  }
  WindowHandle Parent(WindowHandle w) override {
    if (IsMain(w)) return 0;
    return desktop_ != nullptr ? desktop_->Parent(w) : 0;
  }
  WindowHandle TopLevel(WindowHandle w) override {
    if (IsMain(w)) return w;
    return desktop_ != nullptr ? desktop_->TopLevel(w) : 0;
  }
  bool Frame(WindowHandle w, WindowRect* rect) override {
    if (!IsMain(w)) return desktop_ != nullptr && desktop_->Frame(w, rect);
    const QRect frame = form_->frameGeometry();
    *rect = WindowRect{frame.left(), frame.top(), frame.left() + frame.width(),
                       frame.top() + frame.height()};
    return true;
  }
  PixelSize ScreenSize() override {
    if (desktop_ != nullptr) return desktop_->ScreenSize();
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) return PixelSize{};
    return PixelSize{screen->geometry().width(), screen->geometry().height()};
  }
  ScreenPoint CursorPos() override {
    if (desktop_ != nullptr) return desktop_->CursorPos();
    const QPoint pos = QCursor::pos();
    return ScreenPoint{pos.x(), pos.y()};
  }
  bool Activate(WindowHandle w) override {
    if (!IsMain(w)) return desktop_ != nullptr && desktop_->Activate(w);
    // The window hidden while a popup menu is up over another application
    // must not come over that application: the menu takes the input. A
    // minimised one stays minimised (restoring is the application's).
    if (!OnScreen()) return false;
    form_->raise();
    form_->activateWindow();
    // On the display the wait for the window manager is the desktop's.
    if (desktop_ != nullptr && w != kSelfWindow) return desktop_->Activate(w);
    QCoreApplication::processEvents();
    return form_->isActiveWindow();
  }
  bool SetRaiseAbove(WindowHandle w, bool above) override {
    if (!IsMain(w)) return desktop_ != nullptr && desktop_->SetRaiseAbove(w, above);
    // Through Qt, which keeps the flag when it changes the window's state.
    QWindow* window = form_->windowHandle();
    if (window == nullptr) return false;
    window->setFlag(Qt::WindowStaysOnTopHint, above);
    return true;
  }
  bool NeverTakeFocus(WindowHandle w) override {
    return !IsMain(w) && desktop_ != nullptr && desktop_->NeverTakeFocus(w);
  }
  bool KeepOffTaskbar(WindowHandle w) override {
    return !IsMain(w) && desktop_ != nullptr && desktop_->KeepOffTaskbar(w);
  }
  bool KeyDown(uint8_t vk) override { return desktop_ != nullptr && desktop_->KeyDown(vk); }

 private:
  bool IsMain(WindowHandle w) const {
    return w != 0 && (w == kSelfWindow || w == block_.MainWindow());
  }
  // Shown and not minimised: a minimised main window is not on the screen,
  // so there is nothing to hide, and showing or activating it would
  // restore it.
  bool OnScreen() const { return form_->isVisible() && !form_->isMinimized(); }
  // Shows the main window and leaves the foreground where it was. A
  // window manager gives the windows it maps the focus unless their user
  // time (_NET_WM_USER_TIME) is 0, which Qt sets for a show without
  // activation: from the widget's attribute only when the native window is
  // made, later from this property of the window, read by each show.
  void ShowWithoutActivating() {
    form_->winId();  // the native window, made now if need be
    QWindow* window = form_->windowHandle();
    const bool was = form_->testAttribute(Qt::WA_ShowWithoutActivating);
    form_->setAttribute(Qt::WA_ShowWithoutActivating, true);
    window->setProperty(kShowWithoutActivating, true);
    form_->show();
    window->setProperty(kShowWithoutActivating, QVariant());
    form_->setAttribute(Qt::WA_ShowWithoutActivating, was);
  }
  static constexpr char kShowWithoutActivating[] = "_q_showWithoutActivating";
  QWidget* form_;
  const SharedHookBlock& block_;
  std::unique_ptr<WindowSystem> desktop_;  // null off the display
};

// Keys off the display: none are typed.
class NoKeys final : public KeyInjector {
 public:
  void KeyIn(int, int) override {}
  void PressEnter() override {}
  void PressShiftInsert() override {}
};

// XTest and the hook library's key rows, on the xcb platform only.
std::unique_ptr<KeyInjector> OpenKeys() {
  if (QGuiApplication::platformName() == QLatin1String("xcb")) {
    if (std::unique_ptr<KeyInjector> keys = XTestKeyInjector::Open(&_KeyIn)) return keys;
  }
  return std::make_unique<NoKeys>();
}

// Turns the main window's own moves and activations into the messages the
// dispatcher expects.
class WindowEventFeed final : public QObject {
 public:
  explicit WindowEventFeed(TMainForm* form) : QObject(form), form_(form) {}

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == form_) {
      // A resize settles like a move (FormResize).
      if (event->type() == QEvent::Move || event->type() == QEvent::Resize) {
        form_->WndProc(kWmMove, 0, 0);
      } else if (event->type() == QEvent::ActivationChange) {
        form_->WndProc(kWmNcActivate, form_->isActiveWindow() ? 1 : 0, 0);
        form_->WndProc(kWmActivate, form_->isActiveWindow() ? 1 : 0, 0);
      }
    }
    return false;
  }

 private:
  TMainForm* form_;
};

}  // namespace

struct TMainForm::DispatchGlue final : DispatchTarget, TargetView, OneShotView {
  explicit DispatchGlue(TMainForm* f)
      : form(f),
        block(f->context_.block != nullptr
                  ? *f->context_.block
                  : SharedHookBlock(std::span<uint8_t, kSharedHookBlockSize>(own_bytes))),
        clock(f->context_.clock != nullptr ? *f->context_.clock : Clock::System()),
        bus(f, f->context_.bus, block),
        windows(f, block),
        scheduler(clock, bus, kSelfWindow),
        dispatcher(block, *this, windows, f->ui_, bus, clock, scheduler),
        own_clipboard(f->context_.clipboard == nullptr ? std::make_unique<QtClipboard>()
                                                       : nullptr),
        clipboard(f->context_.clipboard != nullptr ? *f->context_.clipboard : *own_clipboard),
        browsers(block, f->registry_, windows),
        access(clipboard, dispatcher.state(), browsers),
        own_keys(f->context_.keys == nullptr ? OpenKeys() : nullptr),
        keys(f->context_.keys != nullptr ? *f->context_.keys : *own_keys),
        target(block, dispatcher.state(), windows, access, keys, f->ui_, clock, scheduler,
               *this),
        one_shot(block, dispatcher.state(), target, access, f->ui_, bus, clock, *this) {
    if (f->context_.block == nullptr) block.SetMainWindow(kSelfWindow);
  }

  std::string HistoryPath() const {
    return form->startup_.program_folder() + kClipHistoryFileName;
  }

  // --- DispatchTarget ---

  DispatchSettings CurrentSettings() override {
    const Settings& s = form->settings_;
    DispatchSettings d;
    d.use_history = s.UseHistory != 0;
    d.single_folder = s.SingleFolder == 1;
    d.tray_dbl_click = s.TrayDblClick != 0;
    d.new_card_win = s.NewCardWin != 0;
    d.tool_bar = s.ToolBar != 0;
    return d;
  }
  void RunWhenIdle(std::function<void()> command) override {
    form->TreeModel().busy().RunWhenIdle(std::move(command));
  }
  void RestoreApplication() override {
    if (form->isMinimized()) form->showNormal();
    form->show();
  }
  void MinimizeApplication() override { form->showMinimized(); }
  void SetTaskbarButtonVisible(bool visible) override {
    // Changed on the native window itself, which keeps its id (the handle
    // the block and the sockets know the main window by). A tool window
    // has no task-bar button.
    QWindow* window = form->windowHandle();
    if (window == nullptr || window->flags().testFlag(Qt::Tool) == !visible) return;
    window->setFlag(Qt::Tool, !visible);
  }
  void CheckWindowPlacement() override { form->CheckWindowPlacement(/*from_timer=*/true); }
  int EditorCaret() override { return form->Text->textCursor().selectionStart(); }
  void StartButtonBar() override { form->StartButtonBar(); }
  void CloseMainWindow() override { form->close(); }
  void SaveEditorCard() override { form->SaveEditorOnClose(/*only_when_edited=*/false); }
  void AddNewClick() override { form->AddNewClick(); }
  void KensakuButtonClick() override { form->KensakuButtonClick(); }
  void ResortSelectedFolder() override { form->ResortSelectedFolder(); }
  void TakeCardWindowResult() override { form->StoreCardWindowResult(); }
  void WindowClick(int x, int y) override { form->CardWindowMenuAt(x, y); }
  // The minimise that follows is the dispatcher's.
  void ReopenDataSet() override { form->ReopenDataSet(); }
  void ShowSelectedNode() override { form->OpenSelectedNode(); }
  // The dispatcher counts the data sets from 1; the list keeps them in
  // slots from 0.
  std::string DataSetName(int index) override {
    const auto& names = form->settings_.DataFiles.names;
    if (index < 1 || static_cast<size_t>(index) > names.size()) return std::string();
    return names[static_cast<size_t>(index - 1)];
  }
  void SwitchDataSet(int index) override { form->SwitchDataFile(index - 1, false); }
  std::string OneShotHint() override {
    if (block.SaveState() == 1) return OneShotFolderHint(form->settings_.DefAddKubun);
    return MessageText(MessageId::kOneShotFolderUnset);
  }
  void ActivateTargetWindow(WindowHandle window, bool allow_enter) override {
    target.ActivateTargetWindow(window, allow_enter);
  }
  WindowHandle FocusedWindowOf(WindowHandle window) override {
    return target.GetTargetFocusWindow(window);
  }
  CopyResult CopyFromTarget() override {
    return target.CopyFromTarget() != 0 ? CopyResult::kTimedOut : CopyResult::kCopied;
  }
  void RestoreClipboard(bool forced) override { target.RestoreClipboard(forced); }
  void ReshowCapturedCard() override { one_shot.ReshowRecentCapture(); }
  bool HasAppendTitle() override { return form->Registration().append.HasAppendTitle(); }
  void AppendToCard() override { form->Registration().append.AppendToLastCard(); }
  void RegisterFromClipboard() override { one_shot.RegisterFromClipboard(); }
  void KeepClipboardText() override { target.KeepClipboard(); }
  std::function<void()> ShowKubunPopup() override { return form->ShowKubunPopup(); }
  std::function<void()> ShowMagicMenu() override { return form->ShowMagicMenu(); }
  void SuperPaste(int slot) override { form->Paste().SuperPaste(slot); }
  void CaptureHistory() override {
    if (!history.CaptureFrom(clipboard)) return;
    // A history file that cannot be written is skipped without a word.
    SaveSettings(form->settings_, form->stores_, kGroupClipHistoryFile);
  }
  void Rehook() override {
    // Only the program's own block has hooks (tests run without one).
    if (form->context_.block == nullptr) return;
    RemoveHooks(block);
    InstallHooks(block, form->ui_, form);
  }

  // --- OneShotView ---

  OneShotSettings CurrentOneShotSettings() override {
    const Settings& s = form->settings_;
    OneShotSettings o;
    o.data_set = s.DefAddKubunFile;
    o.folder = s.DefAddKubun;
    o.save_url = s.SaveUrl != 0;
    o.save_title = s.SaveTitle != 0;
    o.save_date = s.SaveDate != 0;
    o.lock = s.IppastuLock != 0;
    o.add_last = s.AddIti == 1;
    return o;
  }
  store::CardStore& CurrentStore() override { return form->card_store_; }
  int CurrentDataSet() override { return form->settings_.DataFileNum; }
  std::string DataSetFolder(int index) override {
    const DataFileList& files = form->settings_.DataFiles;
    if (index < 0 || index >= kDataFileSlots) return std::string();
    const auto slot = static_cast<size_t>(index);
    return files.names[slot].empty() ? std::string() : files.paths[slot];
  }
  void AddCardToTree(const store::CardRecord& card) override {
    if (form->tree_glue_ == nullptr) return;
    FolderTreeModel& model = form->TreeModel();
    if (TreeNode* folder = FindFolderNode(model, card.folder)) AddCardNode(model, card, folder);
  }
  void SaveOneShotFolderSettings() override {
    // The card is registered whatever this write does; the keys it writes
    // are written again with every registration.
    SaveSettings(form->settings_, form->stores_, kGroupOneShotFolder);
  }
  void OpenCard(const std::string& card_id) override {
    // The card just captured, editable although a capture may lock it.
    form->OpenCardWindowUnlocked(card_id);
  }
  void FinishTargetPopup() override { dispatcher.FinishTargetPopup(); }
  void ChooseRegisterFolder() override { form->Registration().menu.ChooseFolder(); }
  void AddRegisterHistory(int data_set, const std::string& folder) override {
    form->Registration().AddFolder(data_set, folder);
  }
  void RemoveRegisterHistory(int data_set, const std::string& folder) override {
    form->Registration().RemoveFolder(data_set, folder);
  }
  void FetchPageImages(PageImageFetch& fetch) override {
    if (form->context_.http == nullptr && own_http == nullptr) {
      own_http = std::make_unique<CurlHttpFetcher>();
    }
    TGetHttpFm progress(fetch, form->context_.http != nullptr ? *form->context_.http : *own_http,
                        form);
    progress.exec();
  }

  // --- TargetView ---

  TargetSettings CurrentTargetSettings() override {
    const Settings& s = form->settings_;
    TargetSettings t;
    t.paste_lists = {s.PASTE_ALT_E_P, s.PASTE_SHIFT_F9, s.PASTE_WM_PASTE};
    t.copy_lists = {s.COPY_ALT_E_C, s.COPY_F8, s.COPY_SHIFT_F8, s.COPY_WM_COPY};
    t.cut_lists = {s.CUT_ALT_E_T, s.CUT_F7, s.CUT_F8, s.CUT_WM_CUT};
    t.no_hukki_class = s.NoHukkiClass;
    t.back_clipboard = s.BackClipBoard != 0;
    t.source_names = s.SyuttenNames;
    t.source_classes = s.SyuttenClasses;
    return t;
  }
  void FocusTitleField() override { form->Title->setFocus(); }
  bool EditFocusedWidget(EditAction action) override {
    switch (action) {
      case EditAction::kCopy: form->CopyClick(); break;
      case EditAction::kCut: form->CutClick(); break;
      case EditAction::kPaste: form->PasteClick(); return false;
    }
    // The clipboard was emptied before: text on it now is the widget's.
    return clipboard.HasText();
  }

  TMainForm* form;
  alignas(8) std::array<uint8_t, kSharedHookBlockSize> own_bytes{};
  SharedHookBlock block;
  Clock& clock;
  FormBus bus;
  FormWindows windows;
  CommandScheduler scheduler;
  Dispatcher dispatcher;
  std::unique_ptr<QtClipboard> own_clipboard;  // when the context brings none
  Clipboard& clipboard;
  BrowserClassList browsers;
  ClipboardAccess access;
  std::unique_ptr<KeyInjector> own_keys;  // when the context brings none
  KeyInjector& keys;
  PasteTarget target;
  OneShot one_shot;
  std::unique_ptr<HttpFetcher> own_http;  // when the context brings none
  ClipHistory history;
  QPointer<QObject> feed;  // the window's event filter, see StartDispatch
};

void TMainForm::DestroyGlue(DispatchGlue* glue) {
  // The window's own events stop reaching the dispatcher first: the window
  // outlives its glue by the base-class destructors.
  if (glue != nullptr) {
    delete glue->feed.data();
    glue->clipboard.SetChangeListener(nullptr);
  }
  delete glue;
}

WindowHandle TMainForm::CurrentTargetWindow() { return Glue().block.TargetWindow(); }

TMainForm::DispatchGlue& TMainForm::Glue() {
  if (glue_ == nullptr) glue_.reset(new DispatchGlue(this));
  return *glue_;
}

void TMainForm::StartDispatch() {
  DispatchGlue& glue = Glue();
  if (glue.feed == nullptr) {
    glue.feed = new WindowEventFeed(this);
    installEventFilter(glue.feed);
  }
  if (tray_icon_ != nullptr) {
    connect(tray_icon_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
              TrayEvent event;
              switch (reason) {
                case QSystemTrayIcon::Trigger: event = TrayEvent::kClick; break;
                case QSystemTrayIcon::DoubleClick: event = TrayEvent::kDoubleClick; break;
                case QSystemTrayIcon::Context: event = TrayEvent::kContext; break;
                default: event = TrayEvent::kMiddleClick; break;
              }
              DispatchGlue& g = Glue();
              int32_t mouse = g.dispatcher.tray().FromTrayEvent(event, g.clock.TickCount());
              if (mouse != 0) WndProc(kTrayCallback, kTrayIconId, mouse);
            });
  }
  Timer1->start();
  CheckActiveTimer->start();
}

void TMainForm::ScheduleCommand(uint32_t delay_ms, uint16_t code, int32_t lparam) {
  Glue().dispatcher.ScheduleCommand(delay_ms, code, lparam);
  if (!Timer1->isActive()) Timer1->start();
}

void TMainForm::WndProc(uint32_t message, uint32_t wparam, int32_t lparam) {
  Glue().dispatcher.WndProc(message, wparam, lparam);
}

void TMainForm::Timer1Timer() { Glue().dispatcher.Timer1Timer(); }

void TMainForm::FormShow() {
  // The geometry is saved a second after the first show, and the task-bar
  // button follows the ToolBar setting.
  Glue().dispatcher.ArmMoveWatcher();
  UpdateTaskbarButton();
}

void TMainForm::UpdateTaskbarButton() { Glue().dispatcher.UpdateTaskbarButton(); }

void TMainForm::SplitMoved() {
  // The tree width is saved with the geometry, a second after the move.
  Glue().dispatcher.ArmMoveWatcher();
}

void TMainForm::SettleMoveWatcher() {
  if (glue_ != nullptr) glue_->dispatcher.SettleMoveWatcher();
}

void TMainForm::CheckActiveTimerTimer() { Glue().target.CheckActiveTimerTimer(); }

ClipHistory& TMainForm::History() { return Glue().history; }

ClipboardAccess& TMainForm::Clip() { return Glue().access; }

BrowserClassList& TMainForm::Browsers() { return Glue().browsers; }

PasteTarget& TMainForm::Target() { return Glue().target; }

DispatchState& TMainForm::CommandState() { return Glue().dispatcher.state(); }

TMainForm::PasteParts TMainForm::PartsForPaste() {
  DispatchGlue& g = Glue();
  return {g.block,   g.dispatcher, g.windows, g.target, g.access, g.history,
          g.keys,    g.clock,      g,         g.one_shot, g,      g.bus};
}

void TMainForm::WatchClipboard() {
  Glue().clipboard.SetChangeListener([this](const ClipboardChange& change) {
    Glue().dispatcher.ClipboardChangedNotice(change);
  });
}

void TMainForm::StopWatchingClipboard() {
  if (glue_ != nullptr) glue_->clipboard.SetChangeListener(nullptr);
}

void TMainForm::LoadBrowserClassList() { Glue().browsers.Load(); }

void TMainForm::LoadClipHistory() {
  DispatchGlue& glue = Glue();
  glue.history.Load(env_, glue.HistoryPath(), settings_.ClipSave != 0);
  stores_.WriteClipHistory = [this] {
    return Glue().history.Save(env_, Glue().HistoryPath());
  };
}

void TMainForm::KQuillbox4Click() { Glue().dispatcher.KQuillbox4Click(); }

void TMainForm::ButtonWindowClick() { Glue().dispatcher.ButtonWindowClick(); }

void TMainForm::TrayEndClick() { Glue().dispatcher.TrayEndClick(); }

void TMainForm::ClipToolClick() { Glue().dispatcher.ClipToolClick(); }

void TMainForm::ResetItiClick() {
  setGeometry(0, 0, 500, 400);
  CheckWindowPlacement(/*from_timer=*/false);
}

void TMainForm::PomaroActionExecute() {
  if (context_.install_folder.empty()) return;
  QString path = QString::fromStdString(context_.install_folder) + U("/quillmain.chm");
  if (QFileInfo::exists(path)) QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

}  // namespace quill
