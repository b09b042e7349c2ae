// TMainForm: quillmain's one main window. It owns the controls, the menus
// and the tray icon and keeps the published handler names; the work of each
// handler lives in plain classes (main/, clip/, store/) that it forwards to.
#pragma once

#include <QList>
#include <QMainWindow>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "main/settings/settings.h"
#include "main/startup.h"
#include "platform/message_bus.h"
#include "platform/registry_store.h"
#include "platform/status.h"
#include "store/card_store.h"

class QCheckBox;
class QDialog;
class QIcon;
class QImage;
class QPixmap;
class QComboBox;
class QDialog;
class QKeyEvent;
class QInputMethodEvent;
class QMouseEvent;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QSplitter;
class QSystemTrayIcon;
class QTimer;
class QToolButton;
class QPrinter;
class QProgressBar;
class QTreeView;

namespace quill {

class CardEditor;
class CardWindowList;
class DataSets;
class SmallDialogs;
class BrowserClassList;
class ClipHistory;
class ClipboardAccess;
struct DispatchState;
class Clipboard;
class CardIconList;
class FileEnv;
class InputMethodStatus;
class KeyInjector;
class ClipToolHost;
class PluginLoader;
class PasteOut;
class PasteTarget;
class FolderTreeModel;
class SharedHookBlock;
class MessageBus;
class Clock;
class QtUi;
class SearchCommands;
class Shell;
class HttpFetcher;
class TWebFm;
class PagePrinter;
class QtPagePrinter;
class TStringGridPelm;
class Ui;
class Archiver;
class TreeNode;
struct TransferContext;
class TransferDialogs;
enum class MarkCommand;

// The program's icon (windows, tray), drawn in code.
QIcon ProgramIcon();

// What the program entry hands to the main window.
struct MainFormContext {
  FileEnv* env = nullptr;           // null: FileEnv::Default()
  std::string program_folder;       // per-user folder, ends with "/"
  std::string install_folder;       // where quillmain, quillpad and *.cta live
  std::string registry_path;        // the registry store's file
  std::string start_argument;       // data-set name from the command line, or ""
  bool no_reset_prompt = false;     // "R" or "r" was given
  SharedHookBlock* block = nullptr;  // the shared block; null only in tests
  // Posts to the other windows (bar, card windows, targets); null drops
  // them. Messages to the main window itself are queued on its own loop.
  MessageBus* bus = nullptr;
  Clock* clock = nullptr;  // null: Clock::System()
  // Messages, questions, beeps and popup menus; null: the desktop's (QtUi).
  Ui* ui = nullptr;
  // Whether Shift or Ctrl is held now; null asks the window system.
  std::function<bool()> shift_down;
  std::function<bool()> ctrl_down;
  // The clipboard; null: the desktop's (QClipboard).
  Clipboard* clipboard = nullptr;
  // Keys typed into other applications; null: XTest and the hook library
  // on the display, none without one.
  KeyInjector* keys = nullptr;
  // The clip-tool plug-ins' loader; null: the system's.
  PluginLoader* plugins = nullptr;
  // Opens the files and addresses of links; null: the desktop (QtShell).
  Shell* shell = nullptr;
  // The bin, the batch change, the icon picker, the version box; null:
  // the desktop's forms.
  SmallDialogs* dialogs = nullptr;
  // Fetches the images of captured pages; null: libcurl.
  HttpFetcher* http = nullptr;
  // The dialogs of the transfer, export and import; null: the Qt forms.
  TransferDialogs* transfer_dialogs = nullptr;
  // The printer the print dialog prints on; null: the system's default.
  QPrinter* printer = nullptr;
  // The backup's archiver library; null: lib7-zip32.so in install_folder.
  Archiver* archiver = nullptr;
  // Shows the options dialog or its data-set form modally and returns its
  // result; null: exec(). Tests work the forms through it.
  std::function<int(QDialog&)> run_dialog;
  // The input method's open state; null: fcitx5's controller on the
  // session bus, unknown where fcitx5 does not run.
  InputMethodStatus* input_method = nullptr;
};

class TMainForm : public QMainWindow {
  Q_OBJECT

 public:
  using Handler = void (TMainForm::*)();

  // One item of a menu built from data: the menu it belongs to (the title
  // of a main menu or the name of a popup menu), the caption, the handler
  // and an optional shortcut. Without a slot, the caption "-" is a
  // separator and any other entry shows the earlier item named `name`
  // in this menu too.
  struct MenuEntry {
    const char* menu;
    const char* name;  // object name of the item
    const char* caption;
    const char* handler;
    Handler slot;
    const char* shortcut;
  };
  static const std::vector<MenuEntry>& MenuTable();

  explicit TMainForm(MainFormContext context, QWidget* parent = nullptr);
  ~TMainForm() override;

  // Builds the window's state in order. A failure leaves the window unusable
  // and is returned for the caller to report, unless
  // start_failure_reported() says the window has shown it already.
  Status FormCreate();
  bool start_failure_reported() const { return start_failure_reported_; }
  // Ends the run: runs once, when the form goes away (also from the
  // destructor).
  void FormDestroy();

  // Posted messages that reach the window (command codes and the like).
  void WndProc(uint32_t message, uint32_t wparam, int32_t lparam);
  // Posts command `code` to this window once more than `delay_ms` have
  // passed (checked by Timer1 every 100 ms); a later request replaces a
  // pending one.
  void ScheduleCommand(uint32_t delay_ms, uint16_t code, int32_t lparam);

  const Startup& startup() const { return startup_; }
  const Settings& settings() const { return settings_; }
  store::CardRecord& EditCard() { return *edit_card_; }
  const std::vector<std::string>& ClipToolFiles() const { return clip_tool_files_; }
  // The folder tree and the card editor (main_form_tree.cpp,
  // main_form_editor.cpp).
  FolderTreeModel& TreeModel();
  CardEditor& Editor();
  // The card search, in-card search and replace (main_form_search.cpp).
  SearchCommands& Search();
  // Saves the editor's card and loads the selected node's (command 107).
  void OpenSelectedNode();
  // Selects the node of the card with this id and opens it (nothing when
  // the tree has no such card).
  void ShowCardById(const std::string& card_id);
  // Selects the node and opens it.
  void ShowNode(TreeNode* node);
  // The search-colouring button KensakuMark with image 1 (on) or 0 (off)
  // of its image list.
  void ShowKensakuMark(bool on);
  // Title, Text and Syutten in the colour of a field without the focus
  // (grey with the setting CtrlColor on).
  void ApplyControlColor();
  // The image list of the tree, the popups and the kind button
  // (main_form_marks.cpp): index -1 builds it from "cardicon.bmp", index
  // 0..99 replaces one card icon by a 16 x 16 bitmap.
  void LoadCardIcons(int index, const QImage& bitmap);
  void LoadCardIcons(int index);
  const CardIconList& ImageList() const;
  // A copy of card icon `icon` of the image list.
  QPixmap GetIconBitmap(int icon) const;
  // The 100 card icons of the image list, for the icon pickers and buttons.
  QList<QIcon> CardIcons() const;
  // After the tree was loaded: expands it with RunTreeOpen and opens the
  // selected node anew, in sight.
  void RefreshTreeSelection();
  // Command 102: the selected node's level of folders back in name order,
  // and the folder list written.
  void ResortSelectedFolder();
  QSystemTrayIcon* TrayIcon() const { return tray_icon_; }
  // The clip history, the clipboard as the commands read and write it,
  // the browser classes and the paste target (main_form_dispatch.cpp).
  ClipHistory& History();
  ClipboardAccess& Clip();
  BrowserClassList& Browsers();
  PasteTarget& Target();
  // The paste target as the shared block holds it now.
  WindowHandle CurrentTargetWindow();
  // The fields the commands share (CommandTarget, TargetFocus, ...).
  DispatchState& CommandState();
  // Paste-out and the super keys (main_form_paste.cpp).
  PasteOut& Paste();
  // The folder popup and the clip-tool menu at the cursor
  // (main_form_popup.cpp): each returns, once its menu has closed, the
  // chosen entry's click.
  std::function<void()> ShowKubunPopup();
  std::function<void()> ShowMagicMenu();
  // The clip-tool plug-ins listed at start, and their runs.
  ClipToolHost& ClipTools();
  // Card windows (main_form_cardwin.cpp): a card opened where the user
  // wants it (OpenByMain) or in a card window; the result a window posted
  // with command 103; the window list (also at a point, command 104).
  void OpenCard(const std::string& card_id);
  void OpenCardWindow(const std::string& card_id);
  // A window that is editable although the card is locked (a capture).
  void OpenCardWindowUnlocked(const std::string& card_id);
  void StoreCardWindowResult();
  void CardWindowMenuAt(int x, int y);
  void BringCardWindowToFront(int i);
  int FindCardWindowIndex(const std::string& card_id);
  CardWindowList& CardWindows();
  // Appends the clipboard's text to a card (main_form_register.cpp).
  void AppendToCard(const std::string& card_id, bool shift_down);
  // The data sets and their menu (main_form_datasets.cpp): opens set
  // `index` (at_start: without saving the editor's card or touching the
  // one-shot folder). A store that cannot be opened is reported and the
  // set shown before stays open.
  DataSets& DataSetList();
  Status SwitchDataFile(int index, bool at_start);
  // The small dialogs the window's commands run.
  SmallDialogs& Dialogs();
  // The icon picker kept for the run (null when the dialogs are a test's).
  QDialog* KindForm();
  // The HTML view over MainPanel (main_form_html.cpp): ShowHtmlView writes
  // the view files of the editor's card into "tmp" and shows them in a new
  // view in place of Text; HideHtmlView frees the view and shows Text.
  void ShowHtmlView();
  void HideHtmlView();
  TWebFm* WebView = nullptr;
  // Where the print item of an HTML view's menu sends its page, here and
  // in the card windows: the system's print dialog on PrinterSettings().
  PagePrinter& HtmlPagePrinter();
  // The printer settings kept for the run: the context's printer or the
  // window's own (main_form_print.cpp).
  QPrinter* PrinterSettings();
  // Table cards (main_form_table.cpp): the body shown as the grid or as
  // the text; dropped local files (CP932 paths) as a file link in the grid
  // or the text; the first live card titled exactly `title` in a card
  // window.
  void ShowTableBody();
  void ShowTextBody();
  void DropFilesToGrid(const std::vector<std::string>& paths);
  void OpenLinkedCard(const std::string& title);
  // The transfer's state (AllTorikomi) and dialogs (main_form_transfer.cpp).
  TransferContext& TransferState();

  // Published controls.
  QWidget* Panel1;
  QPushButton* SinkiForuda;
  QPushButton* MarkClearBT;
  QPushButton* GrepKaijo;
  QPushButton* KensakuButton;
  QPushButton* Sakujo;
  QPushButton* ToMark;
  QLabel* CardCount;
  QLabel* MarkCount;
  QCheckBox* StayTopCB;
  QCheckBox* HtmlCheckMode;
  QTreeView* Tree;
  QProgressBar* Progres;
  QSplitter* Split;
  QLineEdit* Title;
  QPushButton* CancelButton;
  QPushButton* AddNew;
  QPushButton* Del;
  QPushButton* Tikan;
  QPushButton* SaveButton;
  QPushButton* ToFloppy;
  QCheckBox* IppatuPaste;
  QComboBox* Syutten;
  QPushButton* KensakuBt;
  QPushButton* Window;
  QPushButton* KindButton;
  QCheckBox* CsvHtmlCK;
  QPushButton* PrintOut;
  QPushButton* SuperKeyStatus;
  QPushButton* ClipTool;
  QCheckBox* AutoTitle;
  QCheckBox* LockCheckBox;
  QLabel* CreateTime;
  QLabel* UpdateTime;
  QPushButton* InKensakuButton;
  QToolButton* KensakuMark;
  QWidget* MainPanel;
  QPlainTextEdit* Text;
  TStringGridPelm* CsvGrid;
  QTimer* Timer1;
  QTimer* CheckActiveTimer;

  // Popup menus.
  QMenu* TextPopup;
  QMenu* ListPopup;
  QMenu* TrayMenu;
  QMenu* TaskPopup;
  QMenu* MagicMenu;
  QMenu* DataMenu;
  QMenu* WinMenu;
  QMenu* SuperKeyMenu;
  QMenu* SubPopupMenu;

  // The editor that last had the focus among Title, Text, Syutten and
  // Tree: the edit commands act on it.
  QWidget* FocusedEditor = nullptr;

 public slots:
  // Form events.
  void FormShow();
  void ExitClick();
  void AboutClick();
  void StayTopCBClick();
  void SplitMoved();
  void SplitCanResize();
  void MainPanelResize();

  // Tree events.
  void TreeChange();
  void TreeDblClick();
  void TreeKeyPress();
  void TreeEnter();
  void TreeExit();
  void TreeEditing();
  void TreeEdited();
  void TreeDragOver();
  void TreeDragDrop();
  void TreeMouseDown();
  void TreeMouseUp();
  void TreeGetImageIndex();
  void TreeDeletion();
  void TreeGetSelectedIndex();
  void TreeCustomDrawItem();

  // Buttons above the tree.
  void SinkiForudaClick();
  void MarkClearBTClick();
  void GrepKaijoClick();
  void KensakuButtonClick();
  void SakujoClick();
  void ToMarkClick();

  // Card panel.
  void CancelButtonClick();
  void AddNewClick();
  void DelClick();
  void TikanClick();
  void SaveButtonClick();
  void ToFloppyClick();
  void IppatuPasteClick();
  void SyuttenChange();
  void KensakuBtClick();
  void WindowClick();
  void KindButtonClick();
  void CsvHtmlCKClick();
  // The grid's events.
  void CsvGridEnter();
  void CsvGridChangeAfter();
  void CsvGridSaveRequest();
  void CsvGridFindRequest();
  void CsvGridLink();
  void CsvGridDblClick();
  void PrintOutActionExecute();
  void SuperKeyStatusClick();
  void AutoTitleClick();
  void LockCheckBoxClick();
  void InKensakuButtonClick();
  void KensakuMarkClick();
  void IkkatuTikanClick();
  void BunkatuCardClick();
  void TextChange();
  void TitleDblClick();

  // The editor's fields gaining and losing the focus.
  void TitleEnter();
  void TitleExit();
  void TextEnter();
  void TextExit();
  void SyuttenEnter();
  void SyuttenExit();

  // Timers.
  void Timer1Timer();
  void CheckActiveTimerTimer();

  // Menu commands.
  void ChangeDataClick();
  void BackUpClick();
  void Backup2Click();
  void CopyClick();
  void CutClick();
  void PasteClick();
  void UndoClick();
  void AllSelectClick();
  void AllCopyClick();
  void SetTitleClick();
  void SetDefaultFontClick();
  void BackDefaultFontClick();
  // The editor popup is about to open.
  void TextPopupPopup();
  void UndeleteSyoriClick();
  void FindStrMenuClick();
  void ReplaceClick();
  void GrepClick();
  // The tree popup's "再読込(&A)": the tree without the search's criteria.
  void GrepOffClick();
  void KansetuYomikomiClick();
  void ToQuillboxClick();
  void ToOtherQuillbok2Click();
  // The tree popup's "他Quillbox直接書き出し...".
  void ToOtherClick();
  void IkkatuTextClick();
  void AllTextOutClick();
  void CardOutClick();
  void HukuseiClick();
  void WordWrapActionExecute();
  void AutoIndentActionExecute();
  void BackColorExecute();
  void FontActionExecute();
  // The tree popup's font item: the tree's font, whichever field had the
  // focus.
  void TreeFontClick();
  void OptionClick();
  void HelpClick();
  void PomaroActionExecute();
  void KQuillbox4Click();
  void ButtonWindowClick();
  void ResetItiClick();
  void TrayEndClick();
  // The clip-tool button: command 13 for the main window itself, which
  // shows the clip-tool menu over it.
  void ClipToolClick();

  // The tree popup ListPopup: its state as it opens, the mark commands
  // (K3), the list formats (K4), the sort orders (SortItem) and the new
  // folder (main_form_marks.cpp).
  void ListPopupPopup();
  void SetAllMarkClick();
  void FolderMarkClick();
  void FolderMark2Click();
  void MarkClearClick();
  void FolderMarkClearClick();
  void FolderMarkClear2Click();
  void OffNoMarkClick();
  void SetMarkPopupClick();
  void SetMarkNoPopupClick();
  void MarkReverceClick();
  void K5Click();
  void K6Click();
  void K7Click();
  void K8Click();
  void CodeSyoujunClick();
  void CodeKoujunClick();
  void TourokuSyoujunClick();
  void TourokuKoujunClick();
  void UpdateSyoujunClick();
  void UpdateKoujunClick();
  void NewKategoriClick();

  // The batch change of the marked cards and the kind button's picture
  // (main_form_datasets.cpp).
  void SetSyuttenClick();
  void KindChange();
  // Folder operations of the tree and its popup (main_form_folders.cpp).
  void IkkatuDeleteClick();
  void MoveNodeClick();
  void RenameClick();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildControls();
  // The grid's events and the drops of files on the window's widgets.
  void SetupTableBody();
  void BuildMenus();
  void WireControls();
  // Closing, step by step; returns false when closing is cancelled.
  bool FormClose();
  void CreateTrayIcon();
  void StartButtonBar();
  void BringForward();
  bool ShiftDown() const;
  bool CtrlDown() const;
  // Shows a failure with caption "警告"; the message is UTF-8.
  void ShowWarning(const Status& status);
  // Copies the loaded settings into the shared block and the controls.
  void ApplySettings();
  // The steps of FormCreate after the work folder is made.
  void ShowEmptyCardPanel();
  void OfferSettingsReset();
  // The bar shows that no one-shot folder is chosen until the settings
  // name one.
  void ResetOneShotHint();
  void LoadSettingsAtStart();
  // Opens the card store and loads its tree; on failure the work folder
  // goes again.
  Status OpenDataSetAtStart();
  // Clipboard changes reach the dispatcher from here on.
  void WatchClipboard();
  void LoadBrowserClassList();
  // The clip history from "quillmain.his"; group 11 of the settings
  // writes it back.
  void LoadClipHistory();
  void StopWatchingClipboard();
  // Finds the clip-tool plug-ins and lists their tools in MagicMenu, the
  // last item of the editor popup.
  void ListClipTools();
  void LoadClipTools();
  // Shows the window and opens the data set of the settings, or leaves
  // both to command 105 with the setting RunIcon. NoSpace: the program
  // ends (the message has been shown).
  Status ShowAtStart();
  // The one-shot folder of the settings into the shared block.
  void ShowOneShotFolder();
  // created: the store was missing and has been made empty.
  Status OpenCardStore(bool* created);
  // Reads "Sample.dat" beside the program into the store, silently; no
  // file, nothing (main_form_transfer.cpp).
  void ReadSampleCards();
  // The tree view, the editor's views and their handlers.
  void SetupTreeAndEditor();
  // The tree's settings before the first load of a data set's tree.
  void PrepareTreeAtStart();
  // The editor's card on closing: always, or only with unsaved edits.
  void SaveEditorOnClose(bool only_when_edited);
  // Command 105: the data set of the settings is opened (again).
  void ReopenDataSet();
  // Focus, keys and mouse of Title, Text and Syutten; true when the event
  // has been handled (main_form_editor.cpp).
  bool EditorFieldEvent(QObject* watched, QEvent* event);
  // The tree popup's items and sub-menus (main_form_marks.cpp).
  void BuildListPopup();
  // One mark command, then the counters; the editor's card is saved
  // before cards leave the tree.
  void RunMarks(MarkCommand command);
  // The six sort handlers: the editor's card saved, then SortCards.
  void SortCardsCommand(int order);
  // The list formats K5..K8.
  void SetListFormat(int title_fmt);
  // The new-folder command of the button and both menus.
  void NewFolderCommand();
  // Opens TextPopup at a point of `widget`.
  void PopupTextMenu(QWidget* widget, const QPoint& at);
  // The text widget an edit command acts on, by FocusedEditor.
  QWidget* EditTarget() const;
  void EditorBeep();

  MainFormContext context_;
  std::unique_ptr<QtUi> own_ui_;  // when the context brings none
  Ui& ui_;
  std::unique_ptr<Shell> own_shell_;  // when the context brings none
  Shell& shell_;
  FileEnv& env_;
  Startup startup_;
  RegistryStore registry_;
  SettingsStores stores_;
  Settings settings_;
  store::CardStore card_store_;
  std::unique_ptr<store::CardRecord> edit_card_;
  QSystemTrayIcon* tray_icon_ = nullptr;
  std::vector<std::string> clip_tool_files_;
  bool destroyed_ = false;
  // The command dispatcher, the scheduler and the tray clicks, with the
  // ports they see this window through (main_form_dispatch.cpp).
  struct DispatchGlue;
  static void DestroyGlue(DispatchGlue* glue);
  DispatchGlue& Glue();
  // Connects the tray icon, the window's own events and Timer1 to it.
  void StartDispatch();
  // Stores now what the armed move watcher would store a moment later.
  void SettleMoveWatcher();
  std::unique_ptr<DispatchGlue, void (*)(DispatchGlue*)> glue_{nullptr, &DestroyGlue};
  // Paste-out with the view through which it sees this window, over the
  // parts of the command glue it works with (main_form_paste.cpp); it
  // goes before the command glue.
  struct PasteParts;
  PasteParts PartsForPaste();
  struct PasteGlue;
  static void DestroyPasteGlue(PasteGlue* glue);
  std::unique_ptr<PasteGlue, void (*)(PasteGlue*)> paste_glue_{nullptr, &DestroyPasteGlue};
  // The folder tree model, its Qt adapter and the card editor with the
  // views they see this window through (main_form_tree.cpp).
  struct TreeGlue;
  static void DestroyTreeGlue(TreeGlue* glue);
  std::unique_ptr<TreeGlue, void (*)(TreeGlue*)> tree_glue_{nullptr, &DestroyTreeGlue};
  // The search and the views it sees the window through
  // (main_form_search.cpp).
  struct SearchGlue;
  static void DestroySearchGlue(SearchGlue* glue);
  std::unique_ptr<SearchGlue, void (*)(SearchGlue*)> search_glue_{nullptr, &DestroySearchGlue};
  void SetupSearch();
  // Keys of the tree; true when the key is used up.
  bool TreeKeyDown(QKeyEvent* event);
  // Focus, keys, mouse and drops of the tree, handed to its handlers;
  // true when the event is used up (main_form_folders.cpp).
  bool TreeWidgetEvent(QObject* watched, QEvent* event);
  void ConnectCaptionEdits();
  // The editor shows a card: its search words are coloured.
  void CardShown();
  bool start_failure_reported_ = false;
  // The folder popup and the clip-tool host (main_form_popup.cpp); they
  // work over the other glues and go first.
  struct PopupGlue;
  static void DestroyPopupGlue(PopupGlue* glue);
  PopupGlue& Popups();
  std::unique_ptr<PopupGlue, void (*)(PopupGlue*)> popup_glue_{nullptr, &DestroyPopupGlue};
  // The card windows and what they see of this window
  // (main_form_cardwin.cpp); they go before the other glues.
  struct CardWindowGlue;
  static void DestroyCardWindowGlue(CardWindowGlue* glue);
  std::unique_ptr<CardWindowGlue, void (*)(CardWindowGlue*)> card_window_glue_{
      nullptr, &DestroyCardWindowGlue};
  // Every card window goes, its edits unstored (closing the program).
  void CloseCardWindows();
  // The register-here menu, the registration history and the append to a
  // card (main_form_register.cpp); they work over the popup glue and go
  // before it.
  struct RegisterGlue;
  static void DestroyRegisterGlue(RegisterGlue* glue);
  RegisterGlue& Registration();
  void LoadRegisterHistory();
  std::unique_ptr<RegisterGlue, void (*)(RegisterGlue*)> register_glue_{nullptr,
                                                                        &DestroyRegisterGlue};
  // The data sets, the bin, the batch change and the small dialogs
  // (main_form_datasets.cpp), over the tree glue.
  struct DataSetGlue;
  static void DestroyDataSetGlue(DataSetGlue* glue);
  DataSetGlue& DataSetParts();
  std::unique_ptr<DataSetGlue, void (*)(DataSetGlue*)> data_set_glue_{nullptr,
                                                                      &DestroyDataSetGlue};
  // The data-set menu in the tray menu, with the window's data sets.
  void BuildDataMenuAtStart();
  // DataMenu popped up at `at` with the transfer mode given; a choice runs
  // SwitchDataFile, no choice drops the mode.
  void PopDataMenu(int transfer_mode, const QPoint& at);
  // The transfer file, the export and the import (main_form_transfer.cpp);
  // made at first use.
  struct TransferGlue;
  static void DestroyTransferGlue(TransferGlue* glue);
  TransferGlue& Transfer();
  // The tree read anew after cards came in.
  void ReloadAfterTransfer();
  // The options dialog (main_form_options.cpp): runs one of its forms
  // modally; applies the settings it gave back.
  int RunOptionDialog(QDialog& dialog);
  void ApplyOptions();
  // The task-bar button shown or hidden as ToolBar says.
  void UpdateTaskbarButton();
  std::unique_ptr<TransferGlue, void (*)(TransferGlue*)> transfer_glue_{nullptr,
                                                                        &DestroyTransferGlue};
  // The print command and the printer it keeps between prints
  // (main_form_print.cpp).
  struct PrintGlue;
  static void DestroyPrintGlue(PrintGlue* glue);
  std::unique_ptr<PrintGlue, void (*)(PrintGlue*)> print_glue_{nullptr, &DestroyPrintGlue};
  std::unique_ptr<QtPagePrinter> page_printer_;  // made when first asked for
  // The quick or the full backup of the open data set (main_form_backup.cpp).
  void RunBackup(bool full);

  // Editor events (main_form_events.cpp): the key map as the window's key
  // preview, the text's keys, presses and compositions, the edit menu's
  // targets, the font and colour commands' captions.
  struct EventGlue;
  static void DestroyEventGlue(EventGlue* glue);
  EventGlue& Events();
  std::unique_ptr<EventGlue, void (*)(EventGlue*)> event_glue_{nullptr, &DestroyEventGlue};
  void SetupEditorEvents();
  void InstallKeyPreview();
  // The start is over: the window's limits are checked from now on.
  void StartupFinished();
  bool EditorEventFilter(QObject* watched, QEvent* event);
  bool TextKeyDown(QKeyEvent* event);
  bool TextKeyPress(QKeyEvent* event);
  void TextMouseDown(QMouseEvent* event);
  bool TextInputMethod(QInputMethodEvent* event);
  void ReplaceBodySelection(const std::string& text);
  void OpenLinkInText();
  // A "<card=" link of a text: a card id first, else a title
  // (main_form_cardwin.cpp).
  void OpenCardLink(const std::string& id_or_title);
  bool GridEditable() const;
  void UpdateEditorActions();
  // Text in the editor card's font, which the next save stores.
  void ShowCardFont();
  // The background of a view (the grid, the tree): a colour of the class
  // library.
  void SetBaseColor(QWidget* widget, int32_t color);
  // The tree's font, text colour and background as the settings hold
  // them: at the start and after each font or colour command.
  void ApplyTreeLook();

 public:
  // The main window's key map; true when the key is used up.
  bool MainKeyDown(QKeyEvent* event);
  // The window's size and position limits; from_timer: the check after
  // a move or resize has settled, which moves nothing.
  void CheckWindowPlacement(bool from_timer);
};

}  // namespace quill
