#include "main/ui/main_form.h"

#include "main/editor/card_window_list.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMetaObject>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QSplitter>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>
#include <QWindow>
#include <algorithm>
#include <string_view>
#include <utility>

#include "controls/ui/string_grid_pelm.h"
#include "main/tree/tree_loader.h"
#include "main/ui/card_icons.h"
#include "platform/qt/cp932_text.h"
#include "main/ui/flow_layout.h"
#include "main/ui/folder_tree_qt_view.h"
#include "main/ui/main_form_tree_glue.h"
#include "main/ui/page_printer.h"
#include "main/ui/qt_shell.h"
#include "main/ui/qt_ui.h"
#include "platform/file_env.h"
#include "platform/messages.h"
#include "platform/protocol/shared_hook_block.h"
#include "platform/text_codec.h"
#include "platform/ui_messages.h"

namespace quill {

namespace {

QString U(const char* utf8) { return QString::fromUtf8(utf8); }

// The form's font: a Japanese proportional gothic of this machine.
QFont FormFont() {
  QFont font(U("IPAPGothic"), 9);
  font.setFamilies({U("IPAPGothic"), U("IPAGothic"), U("Noto Sans CJK JP")});
  return font;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const char* caption) {
  auto* b = new QPushButton(U(caption), parent);
  b->setObjectName(name);
  b->setAutoDefault(false);
  return b;
}

QCheckBox* MakeCheck(QWidget* parent, const char* name, const char* caption) {
  auto* c = new QCheckBox(U(caption), parent);
  c->setObjectName(name);
  return c;
}

QMenu* MakePopup(QWidget* parent, const char* name) {
  auto* m = new QMenu(parent);
  m->setObjectName(name);
  return m;
}

constexpr int kDefaultWidth = 539;
constexpr int kDefaultHeight = 400;
constexpr int kDefaultTreeWidth = 233;

}  // namespace

// The application's icon: a small card with a folded corner, drawn here so
// that the program needs no image file.
QIcon ProgramIcon() {
  QPixmap pixmap(32, 32);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(40, 60, 120), 2));
  p.setBrush(QColor(250, 245, 220));
  QPolygon card({QPoint(5, 3), QPoint(21, 3), QPoint(27, 9), QPoint(27, 29), QPoint(5, 29)});
  p.drawPolygon(card);
  p.drawLine(8, 13, 23, 13);
  p.drawLine(8, 18, 23, 18);
  p.drawLine(8, 23, 18, 23);
  p.end();
  return QIcon(pixmap);
}

#define QUILL_ENTRY(menu, name, caption, handler, shortcut) \
  { menu, name, caption, #handler, &TMainForm::handler, shortcut }
// A separator line of a menu.
#define QUILL_SEPARATOR(menu) \
  { menu, "", "-", "", nullptr, "" }
// An action of an earlier entry, named `name`, shown in this menu too.
#define QUILL_SHARED(menu, name) \
  { menu, name, "", "", nullptr, "" }

const std::vector<TMainForm::MenuEntry>& TMainForm::MenuTable() {
  static const std::vector<MenuEntry> table = {
      QUILL_ENTRY("ファイル(&F)", "ChangeData", "ファイル切り替え(&C)...", ChangeDataClick, ""),
      QUILL_ENTRY("ファイル(&F)", "PrintOutAction", "印刷(&P)...", PrintOutActionExecute, ""),
      QUILL_ENTRY("ファイル(&F)", "BackUp", "一時バックアップ(&B)", BackUpClick, ""),
      QUILL_ENTRY("ファイル(&F)", "Backup2", "完全バックアップ(&K)", Backup2Click, ""),
      QUILL_ENTRY("ファイル(&F)", "Exit", "終了(&X)", ExitClick, ""),
      QUILL_ENTRY("編集(&E)", "Copy", "コピー(&C)", CopyClick, ""),
      QUILL_ENTRY("編集(&E)", "Cut", "切り取り(&T)", CutClick, ""),
      QUILL_ENTRY("編集(&E)", "Paste", "貼り付け(&P)", PasteClick, ""),
      QUILL_ENTRY("編集(&E)", "SinkiForudaMenu", "新規フォルダ", SinkiForudaClick, ""),
      QUILL_ENTRY("編集(&E)", "AddNewMenu", "新規カード(&N)", AddNewClick, ""),
      QUILL_ENTRY("編集(&E)", "UndeleteSyori", "削除済みカード(&U)", UndeleteSyoriClick, ""),
      QUILL_ENTRY("検索(&S)", "FindStrMenu", "カード内検索(&F)", FindStrMenuClick, ""),
      QUILL_ENTRY("検索(&S)", "Replace", "カード内置換(&R)", ReplaceClick, ""),
      QUILL_ENTRY("検索(&S)", "Grep", "カード検索(&S)", GrepClick, ""),
      QUILL_ENTRY("検索(&S)", "GrepKaijoMenu", "検索解除(&A)", GrepKaijoClick, ""),
      QUILL_ENTRY("入出力(&I)", "KansetuYomikomi", "他Quillbox取り込み...",
                  KansetuYomikomiClick, ""),
      QUILL_ENTRY("入出力(&I)", "ToQuillbox", "他Quillbox用書き出し...", ToQuillboxClick, ""),
      QUILL_ENTRY("入出力(&I)", "ToOtherQuillbok2", "他Quillbox直接書き出し...",
                  ToOtherQuillbok2Click, ""),
      QUILL_ENTRY("入出力(&I)", "IkkatuText", "カード読み込み(&T)...", IkkatuTextClick, ""),
      QUILL_ENTRY("入出力(&I)", "AllTextOut", "カード書き出し(&W)...", AllTextOutClick, ""),
      QUILL_ENTRY("入出力(&I)", "CardOut", "カード書き出し（１カード１ファイル）", CardOutClick,
                  ""),
      QUILL_ENTRY("環境設定(&O)", "WordWrapAction", "WordWrap(&W)", WordWrapActionExecute, ""),
      QUILL_ENTRY("環境設定(&O)", "AutoIndentAction", "オートインデント",
                  AutoIndentActionExecute, ""),
      QUILL_ENTRY("環境設定(&O)", "BackColor", "テキスト部の背景色(&B)", BackColorExecute, ""),
      QUILL_ENTRY("環境設定(&O)", "FontAction", "テキスト部のフォント(&F)", FontActionExecute,
                  ""),
      QUILL_ENTRY("環境設定(&O)", "Option", "環境設定(&O)...", OptionClick, ""),
      QUILL_ENTRY("ヘルプ(&H)", "About", "バージョン情報...(&A)", AboutClick, ""),
      QUILL_ENTRY("ヘルプ(&H)", "Help", "ヘルプ(&H)", HelpClick, "F1"),
      QUILL_ENTRY("ヘルプ(&H)", "PomaroAction", "ぽろてヘルプ(&K)", PomaroActionExecute, ""),
      QUILL_ENTRY("TrayMenu", "KQuillbox4", "Quillboxを表示", KQuillbox4Click, ""),
      QUILL_ENTRY("TrayMenu", "ButtonWindow", "ボタンウインドウの表示／非表示(&B)",
                  ButtonWindowClick, ""),
      QUILL_ENTRY("TrayMenu", "ResetIti", "Quillbox位置リセット", ResetItiClick, ""),
      QUILL_ENTRY("TrayMenu", "KO2", "環境設定(&O)...", OptionClick, ""),
      QUILL_ENTRY("TrayMenu", "Help2", "ヘルプ(&H)", HelpClick, ""),
      QUILL_ENTRY("TrayMenu", "N8", "ぽろてヘルプ(&K)", PomaroActionExecute, ""),
      QUILL_ENTRY("TrayMenu", "KA1", "バージョン情報...(&A)", AboutClick, ""),
      QUILL_ENTRY("TrayMenu", "TrayEnd", "終了(&X)", TrayEndClick, ""),
      // The editor popup; the clip-tool menu is added last at start.
      QUILL_ENTRY("TextPopup", "PopupSave", "登録(&V)", SaveButtonClick, ""),
      QUILL_SEPARATOR("TextPopup"),
      QUILL_ENTRY("TextPopup", "PopupUndo", "元に戻す(&U)", UndoClick, ""),
      QUILL_SEPARATOR("TextPopup"),
      QUILL_ENTRY("TextPopup", "PopupCopy", "コピー(&C)", CopyClick, ""),
      QUILL_ENTRY("TextPopup", "PopupCut", "切り取り(&T)", CutClick, ""),
      QUILL_ENTRY("TextPopup", "PopupPaste", "貼り付け(&Y)", PasteClick, ""),
      QUILL_ENTRY("TextPopup", "AllSelect", "全選択(&L)", AllSelectClick, ""),
      QUILL_ENTRY("TextPopup", "AllCopy", "全コピー(&A)", AllCopyClick, ""),
      QUILL_SEPARATOR("TextPopup"),
      QUILL_SHARED("TextPopup", "PrintOutAction"),
      QUILL_SEPARATOR("TextPopup"),
      QUILL_ENTRY("TextPopup", "PopupFind", "検索(&F)", FindStrMenuClick, ""),
      QUILL_ENTRY("TextPopup", "PopupReplace", "置換(&R)", ReplaceClick, ""),
      QUILL_SEPARATOR("TextPopup"),
      QUILL_ENTRY("TextPopup", "BunkatuCard", "カード分割(&B)", BunkatuCardClick, ""),
      QUILL_ENTRY("TextPopup", "SetTitle", "タイトルセット(&S)", SetTitleClick, ""),
      QUILL_SEPARATOR("TextPopup"),
      QUILL_SHARED("TextPopup", "WordWrapAction"),
      QUILL_ENTRY("TextPopup", "ItemFont", "このカードのフォントを変える(&F)", FontActionExecute,
                  ""),
      QUILL_ENTRY("TextPopup", "SetDefaultFont", "このカードのフォントをデフォルトのフォントとする",
                  SetDefaultFontClick, ""),
      QUILL_ENTRY("TextPopup", "BackDefaultFont", "このカードのフォントをデフォルトのフォントに戻す",
                  BackDefaultFontClick, ""),
      // The tree popup ListPopup is built with the marks (main_form_marks.cpp).
  };
  return table;
}

#undef QUILL_ENTRY

TMainForm::TMainForm(MainFormContext context, QWidget* parent)
    : QMainWindow(parent),
      context_(std::move(context)),
      own_ui_(context_.ui == nullptr ? std::make_unique<QtUi>(context_.install_folder) : nullptr),
      ui_(context_.ui != nullptr ? *context_.ui : *own_ui_),
      own_shell_(context_.shell == nullptr ? std::make_unique<QtShell>() : nullptr),
      shell_(context_.shell != nullptr ? *context_.shell : *own_shell_),
      env_(context_.env != nullptr ? *context_.env : FileEnv::Default()),
      startup_(env_, context_.program_folder),
      registry_(env_, context_.registry_path),
      stores_(env_, startup_.IniFilePath(), registry_),
      card_store_(env_, startup_.program_folder()),
      edit_card_(std::make_unique<store::CardRecord>(card_store_)) {
  stores_.ProcessMessages = [] { QCoreApplication::processEvents(); };
  // An index found damaged and rebuilt while a data set opens is told once.
  card_store_.set_index_notice([this](const std::vector<std::string>& files) {
    std::string list;
    for (const std::string& f : files) list += Utf8ToCp932(f) + "\r\n";
    quill::ShowWarning(ui_, MessageId::kIndexRebuilt, {list});
  });
  setObjectName("MainForm");
  setFont(FormFont());
  // Compact buttons: the card panel holds a dozen of them side by side.
  setStyleSheet(U("QPushButton { padding: 3px 5px; }"));
  setWindowIcon(ProgramIcon());
  setWindowTitle(U("Quillbox "));
  resize(kDefaultWidth, kDefaultHeight);
  BuildControls();
  BuildMenus();
  WireControls();
  SetupTreeAndEditor();
  SetupSearch();
  SetupEditorEvents();
  // The desktop's popups show the pictures of the image list.
  if (auto* desktop = dynamic_cast<QtUi*>(&ui_)) {
    desktop->SetMenuImages(
        [this](int i) { return QIcon(QPixmap::fromImage(ImageList().Image(i))); });
    desktop->SetCardIcons([this] { return CardIcons(); });
  }
}

TMainForm::~TMainForm() { FormDestroy(); }

void TMainForm::BuildControls() {
  auto* central = new QWidget(this);
  setCentralWidget(central);
  auto* outer = new QVBoxLayout(central);
  outer->setContentsMargins(2, 2, 2, 2);

  Split = new QSplitter(Qt::Horizontal, central);
  Split->setObjectName("Split");
  outer->addWidget(Split);

  // Left: the buttons above the tree and the tree.
  Panel1 = new QWidget(Split);
  Panel1->setObjectName("Panel1");
  auto* left = new QVBoxLayout(Panel1);
  left->setContentsMargins(0, 0, 0, 0);
  left->setSpacing(2);
  // The button rows wrap in a narrow window.
  auto* row1 = new FlowLayout(1);
  SinkiForuda = MakeButton(Panel1, "SinkiForuda", "新規ﾌｫﾙﾀﾞ");
  MarkClearBT = MakeButton(Panel1, "MarkClearBT", "ﾏｰｸｸﾘｱ");
  GrepKaijo = MakeButton(Panel1, "GrepKaijo", "再読込");
  KensakuButton = MakeButton(Panel1, "KensakuButton", "カード検索");
  Sakujo = MakeButton(Panel1, "Sakujo", "削除");
  for (QPushButton* b : {SinkiForuda, MarkClearBT, GrepKaijo, KensakuButton, Sakujo}) {
    row1->addWidget(b);
  }
  left->addLayout(row1);
  auto* row2 = new QHBoxLayout;
  row2->setSpacing(4);
  ToMark = MakeButton(Panel1, "ToMark", "ﾏｰｸへ(f4)");
  CardCount = new QLabel(Panel1);
  CardCount->setObjectName("CardCount");
  MarkCount = new QLabel(Panel1);
  MarkCount->setObjectName("MarkCount");
  StayTopCB = MakeCheck(Panel1, "StayTopCB", "前面");
  row2->addWidget(ToMark);
  row2->addWidget(CardCount);
  row2->addWidget(MarkCount);
  row2->addStretch();
  row2->addWidget(StayTopCB);
  left->addLayout(row2);
  // Page cards shown afterwards are offered as their text.
  HtmlCheckMode = MakeCheck(Panel1, "HtmlCheckMode", "HTMLﾁｪｯｸﾓｰﾄﾞ");
  left->addWidget(HtmlCheckMode);
  Tree = new FolderTreeQtView(Panel1);
  Tree->setObjectName("Tree");
  Tree->setHeaderHidden(true);
  Tree->setRootIsDecorated(false);
  // Drags carry the node; drops are the window's own (main_form_folders.cpp).
  Tree->setDragDropMode(QAbstractItemView::DragDrop);
  Tree->setDragEnabled(true);
  Tree->setAcceptDrops(true);
  Tree->setDropIndicatorShown(false);
  Tree->setAutoScroll(false);
  Tree->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
  left->addWidget(Tree, 1);

  // Right: title, card buttons, and the main panel with the editors.
  auto* card = new QWidget(Split);
  card->setObjectName("CardPanel");
  auto* right = new QVBoxLayout(card);
  right->setContentsMargins(0, 0, 0, 0);
  right->setSpacing(2);
  auto* title_row = new QHBoxLayout;
  Title = new QLineEdit(card);
  Title->setObjectName("Title");
  KindButton = MakeButton(card, "KindButton", "");
  KindButton->setFixedWidth(24);
  title_row->addWidget(KindButton);
  title_row->addWidget(Title, 1);
  right->addLayout(title_row);

  auto* buttons1 = new FlowLayout(1);
  CancelButton = MakeButton(card, "CancelButton", "取り消し");
  AddNew = MakeButton(card, "AddNew", "新規(f9)");
  Del = MakeButton(card, "Del", "削除");
  Tikan = MakeButton(card, "Tikan", "窓編集");
  SaveButton = MakeButton(card, "SaveButton", "登録");
  ToFloppy = MakeButton(card, "ToFloppy", "外部保存");
  Window = MakeButton(card, "Window", "窓");
  Window->setToolTip(U("F5"));
  Window->setEnabled(false);  // while no card window is open
  PrintOut = MakeButton(card, "PrintOut", "印刷");
  for (QPushButton* b : {CancelButton, AddNew, Del, Tikan, SaveButton, ToFloppy, Window,
                         PrintOut}) {
    buttons1->addWidget(b);
  }
  right->addLayout(buttons1);

  auto* buttons2 = new FlowLayout(4);
  IppatuPaste = MakeCheck(card, "IppatuPaste", "ﾍﾟｰｽﾄ");
  Syutten = new QComboBox(card);
  Syutten->setObjectName("Syutten");
  Syutten->setEditable(true);
  Syutten->setMinimumWidth(80);
  // The list holds the remembered sources only: the save keeps it.
  Syutten->setInsertPolicy(QComboBox::NoInsert);
  // It takes what is left of its line.
  Syutten->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  KensakuBt = MakeButton(card, "KensakuBt", "次検索(f･3)");
  InKensakuButton = MakeButton(card, "InKensakuButton", "検索");
  KensakuMark = new QToolButton(card);
  KensakuMark->setObjectName("KensakuMark");
  KensakuMark->setCheckable(true);
  KensakuMark->setToolTip(U("検索文字着色"));
  ShowKensakuMark(false);
  CsvHtmlCK = MakeCheck(card, "CsvHtmlCK", "表,Html");
  AutoTitle = MakeCheck(card, "AutoTitle", "自動タイトル");
  LockCheckBox = MakeCheck(card, "LockCheckBox", "編集ロック");
  SuperKeyStatus = MakeButton(card, "SuperKeyStatus", "SuperKeyStatus");
  ClipTool = MakeButton(card, "ClipTool", "クリップツール");
  // The keys of the card panel's commands, as hints.
  const std::pair<QWidget*, const char*> hints[] = {
      {Tikan, "SHIFT+F5"},      {Del, "CTRL+F7"},     {CancelButton, "CTRL+F8"},
      {SaveButton, "Ctrl+S"},   {ToFloppy, "CTRL+F6"}, {KensakuBt, "SHIFTを押しながらで前方検索"},
      {KindButton, "SHIFT+F7"}, {CsvHtmlCK, "SHIFT+F9"}, {IppatuPaste, "SHIFT+F8"},
      {Syutten, "SHIFT+F6"},
  };
  for (const auto& [widget, hint] : hints) widget->setToolTip(U(hint));
  buttons2->addWidget(IppatuPaste);
  buttons2->addWidget(Syutten);
  buttons2->addWidget(InKensakuButton);
  buttons2->addWidget(KensakuBt);
  buttons2->addWidget(KensakuMark);
  right->addLayout(buttons2);
  auto* buttons3 = new FlowLayout(4);
  buttons3->addWidget(CsvHtmlCK);
  buttons3->addWidget(AutoTitle);
  buttons3->addWidget(LockCheckBox);
  buttons3->addWidget(SuperKeyStatus);
  buttons3->addWidget(ClipTool);
  right->addLayout(buttons3);

  MainPanel = new QWidget(card);
  MainPanel->setObjectName("MainPanel");
  auto* panel = new QVBoxLayout(MainPanel);
  panel->setContentsMargins(0, 0, 0, 0);
  Text = new QPlainTextEdit(MainPanel);
  Text->setObjectName("Text");
  // The grid takes the text's place for table cards.
  CsvGrid = new TStringGridPelm(MainPanel);
  CsvGrid->setObjectName("CsvGrid");
  CsvGrid->SetRowHeight(24);
  CsvGrid->setEnabled(false);
  CsvGrid->hide();
  panel->addWidget(Text);
  panel->addWidget(CsvGrid);
  right->addWidget(MainPanel, 1);

  Split->addWidget(Panel1);
  Split->addWidget(card);
  Split->setStretchFactor(1, 1);
  Split->setSizes({kDefaultTreeWidth, kDefaultWidth - kDefaultTreeWidth});

  Timer1 = new QTimer(this);
  Timer1->setObjectName("Timer1");
  Timer1->setInterval(100);
  CheckActiveTimer = new QTimer(this);
  CheckActiveTimer->setObjectName("CheckActiveTimer");
  CheckActiveTimer->setInterval(1000);
}

void TMainForm::BuildMenus() {
  TextPopup = MakePopup(this, "TextPopup");
  ListPopup = MakePopup(this, "ListPopup");
  TrayMenu = MakePopup(this, "TrayMenu");
  TaskPopup = MakePopup(this, "TaskPopup");
  MagicMenu = MakePopup(this, "MagicMenu");
  DataMenu = MakePopup(this, "DataMenu");
  WinMenu = MakePopup(this, "WinMenu");
  SuperKeyMenu = MakePopup(this, "SuperKeyMenu");
  SubPopupMenu = MakePopup(this, "SubPopupMenu");

  std::vector<std::pair<std::string, QMenu*>> menus;
  auto menu_for = [&](const std::string& key) -> QMenu* {
    for (auto& [k, m] : menus) {
      if (k == key) return m;
    }
    QMenu* m = key == "TrayMenu"    ? TrayMenu
               : key == "TextPopup" ? TextPopup
                                    : menuBar()->addMenu(U(key.c_str()));
    menus.emplace_back(key, m);
    return m;
  };
  for (const MenuEntry& e : MenuTable()) {
    QMenu* menu = menu_for(e.menu);
    if (e.slot == nullptr) {
      if (std::string_view(e.caption) == "-") {
        menu->addSeparator();
      } else if (QAction* shared = findChild<QAction*>(e.name)) {
        menu->addAction(shared);
      }
      continue;
    }
    QAction* action = menu->addAction(U(e.caption));
    action->setObjectName(e.name);
    action->setProperty("handler", QString::fromLatin1(e.handler));
    if (e.shortcut[0] != '\0') action->setShortcut(QKeySequence(U(e.shortcut)));
    connect(action, &QAction::triggered, this, e.slot);
  }
  if (QAction* end = findChild<QAction*>("TrayEnd")) end->setVisible(false);
  if (QAction* wrap = findChild<QAction*>("WordWrapAction")) wrap->setCheckable(true);
  if (QAction* indent = findChild<QAction*>("AutoIndentAction")) indent->setCheckable(true);
  connect(TextPopup, &QMenu::aboutToShow, this, &TMainForm::TextPopupPopup);
}

void TMainForm::WireControls() {
  connect(SinkiForuda, &QPushButton::clicked, this, &TMainForm::SinkiForudaClick);
  connect(MarkClearBT, &QPushButton::clicked, this, &TMainForm::MarkClearBTClick);
  connect(GrepKaijo, &QPushButton::clicked, this, &TMainForm::GrepKaijoClick);
  connect(KensakuButton, &QPushButton::clicked, this, &TMainForm::KensakuButtonClick);
  connect(Sakujo, &QPushButton::clicked, this, &TMainForm::SakujoClick);
  connect(ToMark, &QPushButton::clicked, this, &TMainForm::ToMarkClick);
  connect(StayTopCB, &QCheckBox::clicked, this, &TMainForm::StayTopCBClick);

  connect(CancelButton, &QPushButton::clicked, this, &TMainForm::CancelButtonClick);
  connect(AddNew, &QPushButton::clicked, this, &TMainForm::AddNewClick);
  connect(Del, &QPushButton::clicked, this, &TMainForm::DelClick);
  connect(Tikan, &QPushButton::clicked, this, &TMainForm::TikanClick);
  connect(SaveButton, &QPushButton::clicked, this, &TMainForm::SaveButtonClick);
  connect(ToFloppy, &QPushButton::clicked, this, &TMainForm::ToFloppyClick);
  connect(IppatuPaste, &QCheckBox::clicked, this, &TMainForm::IppatuPasteClick);
  connect(Syutten, &QComboBox::editTextChanged, this, &TMainForm::SyuttenChange);
  connect(KensakuBt, &QPushButton::clicked, this, &TMainForm::KensakuBtClick);
  connect(Window, &QPushButton::clicked, this, &TMainForm::WindowClick);
  connect(KindButton, &QPushButton::clicked, this, &TMainForm::KindButtonClick);
  connect(CsvHtmlCK, &QCheckBox::clicked, this, &TMainForm::CsvHtmlCKClick);
  connect(PrintOut, &QPushButton::clicked, this, &TMainForm::PrintOutActionExecute);
  connect(SuperKeyStatus, &QPushButton::clicked, this, &TMainForm::SuperKeyStatusClick);
  connect(ClipTool, &QPushButton::clicked, this, &TMainForm::ClipToolClick);
  connect(AutoTitle, &QCheckBox::clicked, this, &TMainForm::AutoTitleClick);
  connect(LockCheckBox, &QCheckBox::clicked, this, &TMainForm::LockCheckBoxClick);
  connect(InKensakuButton, &QPushButton::clicked, this, &TMainForm::InKensakuButtonClick);
  connect(KensakuMark, &QToolButton::clicked, this, &TMainForm::KensakuMarkClick);

  connect(Tree, &QTreeView::doubleClicked, this, &TMainForm::TreeDblClick);
  Tree->installEventFilter(this);
  Tree->viewport()->installEventFilter(this);

  connect(Split, &QSplitter::splitterMoved, this, &TMainForm::SplitMoved);
  MainPanel->installEventFilter(this);

  connect(Timer1, &QTimer::timeout, this, &TMainForm::Timer1Timer);
  connect(CheckActiveTimer, &QTimer::timeout, this, &TMainForm::CheckActiveTimerTimer);
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
  if (EditorEventFilter(watched, event)) return true;
  if (EditorFieldEvent(watched, event)) return true;
  if (watched == MainPanel && event->type() == QEvent::Resize) {
    MainPanelResize();
  } else if (TreeWidgetEvent(watched, event)) {
    return true;
  }
  return QMainWindow::eventFilter(watched, event);
}

bool TMainForm::ShiftDown() const {
  if (context_.shift_down) return context_.shift_down();
  return QGuiApplication::queryKeyboardModifiers().testFlag(Qt::ShiftModifier);
}

bool TMainForm::CtrlDown() const {
  if (context_.ctrl_down) return context_.ctrl_down();
  return QGuiApplication::queryKeyboardModifiers().testFlag(Qt::ControlModifier);
}

Status TMainForm::FormCreate() {
  // The HTML view and the clip tools put their files in the work folder,
  // so the program does not start without it.
  QUILL_RETURN_IF_ERROR(startup_.MakeTmpFolder());
  ShowEmptyCardPanel();
  OfferSettingsReset();
  LoadBrowserClassList();
  ResetOneShotHint();
  LoadSettingsAtStart();
  LoadClipHistory();
  CreateTrayIcon();
  // The image list before the tree that shows it.
  LoadCardIcons(-1);
  QUILL_RETURN_IF_ERROR(OpenDataSetAtStart());
  BuildDataMenuAtStart();
  WatchClipboard();
  StartDispatch();
  ListClipTools();
  LoadRegisterHistory();
  Status shown = ShowAtStart();
  if (!shown.ok()) {
    startup_.RemoveTmpFolder();
    return shown;
  }
  ShowOneShotFolder();
  // The text in the colour of a field without the focus, the grid in its
  // background colour (the tree took its look with the settings).
  TextExit();
  SetBaseColor(CsvGrid, settings_.TextBackColor);
  if (settings_.UseButton != 0) StartButtonBar();
  StartupFinished();
  return Status::Ok();
}

void TMainForm::ShowEmptyCardPanel() {
  // The search-colouring button starts off; there is no HTML view yet.
  ShowKensakuMark(false);
  // Text and the grid share MainPanel; the text is shown first.
  Text->show();
  CsvGrid->hide();
  setAcceptDrops(true);
}

void TMainForm::OfferSettingsReset() {
  // Shift held at start (and no "R"): offer to clear the settings.
  Startup::ResetResult reset =
      startup_.AskReset(ui_, ShiftDown(), context_.no_reset_prompt,
                        [this] { return ResetSettings(stores_); });
  if (!reset.status.ok()) ShowWarning(reset.status);
}

void TMainForm::ResetOneShotHint() {
  if (context_.block != nullptr) {
    context_.block->SetSaveState(0);
    context_.block->SetSaveHint(MessageText(MessageId::kOneShotFolderUnset));
  }
}

void TMainForm::LoadSettingsAtStart() {
  // From the ini file, or from the registry store (which then writes the
  // ini file).
  Status loaded = LoadSettings(&settings_, stores_, context_.start_argument);
  if (!loaded.ok()) ShowWarning(loaded);
  ApplySettings();
}

Status TMainForm::OpenDataSetAtStart() {
  // The card store of data set 0: the program folder's, created empty when
  // missing and then given the sample cards. The tree of the set to show
  // is loaded by the switch at the end of the start.
  bool created = false;
  Status s = OpenCardStore(&created);
  if (s.ok() && created) ReadSampleCards();
  if (s.ok()) {
    std::string data_path = edit_card_->GetDataPath();
    while (data_path.size() > 1 && data_path.back() == '/') data_path.pop_back();
    settings_.DataFiles.paths[0] = data_path;
    PrepareTreeAtStart();
  }
  if (!s.ok()) startup_.RemoveTmpFolder();
  return s;
}

void TMainForm::ListClipTools() {
  std::vector<std::string> folders = {startup_.program_folder()};
  if (!context_.install_folder.empty()) folders.push_back(context_.install_folder);
  clip_tool_files_ = startup_.ScanClipTools(folders);
  LoadClipTools();
  MagicMenu->setTitle(U("クリップツール(&K)"));
  TextPopup->addMenu(MagicMenu);
}

Status TMainForm::ShowAtStart() {
  // With RunIcon the window opens its data set and minimises itself once
  // the message loop runs (command 105), else it shows and opens it now.
  if (settings_.RunIcon != 0) {
    QMetaObject::invokeMethod(
        this,
        [this] {
          WndProc(kCommandMessage, static_cast<uint32_t>(CommandCode::kReopenMinimized), 0);
        },
        Qt::QueuedConnection);
    return Status::Ok();
  }
  show();
  Status s = SwitchDataFile(settings_.DataFileNum, /*at_start=*/true);
  // Only the end of the program stops the start; other failures have been
  // shown and leave a set open.
  return s.code() == Status::kNoSpace ? s : Status::Ok();
}

void TMainForm::ShowOneShotFolder() {
  if (context_.block != nullptr && settings_.DefAddKubunFile >= 0) {
    context_.block->SetSaveState(1);
    context_.block->SetSaveHint(OneShotFolderHint(settings_.DefAddKubun));
  }
}

Status TMainForm::OpenCardStore(bool* created) {
  Status probed = edit_card_->Open(/*probe=*/true);
  *created = probed.IsNotFound();
  if (*created) return edit_card_->Open(/*probe=*/false);
  return probed;
}

void TMainForm::ApplySettings() {
  if (context_.block != nullptr) StoreHookFields(settings_.Hook, *context_.block);
  move(settings_.Left, settings_.Top);
  resize(settings_.Width, settings_.Height);
  Split->setSizes({settings_.TreeWidth, std::max(1, settings_.Width - settings_.TreeWidth)});
  ApplyControlColor();
  ApplyTreeLook();
  Text->setTabChangesFocus(settings_.TabKey == 0);
  Text->setLineWrapMode(settings_.WordWrap != 0 ? QPlainTextEdit::WidgetWidth
                                                 : QPlainTextEdit::NoWrap);
  if (QAction* wrap = findChild<QAction*>("WordWrapAction")) {
    wrap->setChecked(settings_.WordWrap != 0);
  }
  if (QAction* indent = findChild<QAction*>("AutoIndentAction")) {
    indent->setChecked(settings_.AutoIndent != 0);
  }
}

void TMainForm::ShowWarning(const Status& status) {
  quill::ShowWarning(ui_, Utf8ToCp932(status.message()));
}

void TMainForm::CreateTrayIcon() {
  if (tray_icon_ != nullptr || !QSystemTrayIcon::isSystemTrayAvailable()) return;
  tray_icon_ = new QSystemTrayIcon(windowIcon(), this);
  tray_icon_->setObjectName("TrayIcon");
  tray_icon_->setToolTip(U("Quillbax"));
  // No context menu: a right click registers (the dispatcher's tray
  // clicks); the tray menu's items are shown with the folder popup.
  tray_icon_->show();
}

void TMainForm::StartButtonBar() {
  // A missing or failing button bar is not reported. The bar keeps none of
  // our standard streams: it may outlive us by a while.
  if (context_.install_folder.empty()) return;
  QProcess bar;
  bar.setProgram(QString::fromStdString(context_.install_folder) + U("/quillpad"));
  bar.setWorkingDirectory(QString::fromStdString(startup_.program_folder()));
  bar.setStandardInputFile(QProcess::nullDevice());
  bar.setStandardOutputFile(QProcess::nullDevice());
  bar.setStandardErrorFile(QProcess::nullDevice());
  bar.startDetached();
}

bool TMainForm::FormClose() {
  // While any card window is open the user is asked first; anything but
  // "いいえ" keeps the program running.
  if (card_window_glue_ != nullptr && CardWindows().CardWindowCount() > 0) {
    int answer = ui_.ShowMessageDialog(MessageText(MessageId::kConfirmCloseWhileCardWindowsOpen),
                                       MessageText(MessageId::kCautionCaption), kMessageYesNo);
    if (answer != kResultNo) return false;
  }
  SaveEditorOnClose(/*only_when_edited=*/false);
  // A move or a splitter drag of the last second is stored now, not lost.
  SettleMoveWatcher();
  if (context_.block != nullptr) {
    settings_.Hook.BarLeft = context_.block->BarLeft();
    settings_.Hook.BarTop = context_.block->BarTop();
  }
  Status saved = SaveSettings(settings_, stores_, kGroupBarAndSort);
  if (!saved.ok()) ShowWarning(saved);
  startup_.RemoveTmpFolder();
  StopWatchingClipboard();
  return true;
}

void TMainForm::closeEvent(QCloseEvent* event) {
  if (!FormClose()) {
    event->ignore();
    return;
  }
  event->accept();
  // exit, not quit: quit first asks every window to close, and a card
  // window refuses (the main window takes its result), which would cancel
  // the end of the run. The card windows go with FormDestroy.
  QCoreApplication::exit(0);
}

void TMainForm::FormDestroy() {
  if (destroyed_) return;
  destroyed_ = true;
  CloseCardWindows();
  if (tray_icon_ != nullptr) {
    tray_icon_->hide();
    delete tray_icon_;
    tray_icon_ = nullptr;
  }
  SaveEditorOnClose(/*only_when_edited=*/true);
  // Group 0 writes no setting.
  SaveSettings(settings_, stores_, kGroupNone);
  clip_tool_files_.clear();
}

void TMainForm::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  InstallKeyPreview();
  FormShow();
}

// WndProc, the scheduler and the tray are in main_form_dispatch.cpp.

void TMainForm::ShowKensakuMark(bool on) {
  KensakuMark->setChecked(on);
  KensakuMark->setIcon(QIcon(QPixmap::fromImage(KensakuButtonImage(on ? 1 : 0))));
}

void TMainForm::BringForward() {
  if (isMinimized()) showNormal();
  show();
  raise();
  activateWindow();
}

// FormShow is in main_form_dispatch.cpp.

void TMainForm::ExitClick() { close(); }

void TMainForm::StayTopCBClick() {
  bool on = StayTopCB->isChecked();
  if (QWindow* window = windowHandle()) {
    // Changed on the native window itself: QWidget::setWindowFlag would
    // recreate it under a new id, and the id is the handle that the shared
    // block and the message socket know the main window by.
    window->setFlag(Qt::WindowStaysOnTopHint, on);
  } else {
    setWindowFlag(Qt::WindowStaysOnTopHint, on);
  }
}

// SplitMoved is in main_form_dispatch.cpp.

void TMainForm::SplitCanResize() {}

void TMainForm::MainPanelResize() {
  // The embedded HTML view sits in MainPanel's layout, which gives it the
  // panel's size.
}

// Handlers with nothing to do here: the tree's images and drawing are the
// model's (folder_tree_qt_model.h), and a node's record goes with it.
void TMainForm::TreeGetImageIndex() {}
void TMainForm::TreeDeletion() {}
void TMainForm::TreeGetSelectedIndex() {}
void TMainForm::TreeCustomDrawItem() {}

}  // namespace quill
