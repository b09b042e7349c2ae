#include "main/ui/option_form.h"

#include <QAbstractScrollArea>

#include <QButtonGroup>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTreeView>
#include <QVBoxLayout>

#include "main/exchange/backup.h"
#include "main/settings/db_form.h"
#include "main/settings/hotkey_field.h"
#include "main/settings/option_dialog.h"
#include "main/ui/form_parts.h"
#include "platform/qt/cp932_text.h"
#include "platform/ui.h"

namespace quill {

namespace {

constexpr int kIconCell = 24;

QCheckBox* Check(QWidget* parent, const char* name, const char* caption, bool on) {
  auto* box = new QCheckBox(U(caption), parent);
  box->setObjectName(name);
  box->setChecked(on);
  return box;
}

QButtonGroup* Radio(QWidget* page, QVBoxLayout* layout, const char* name, const char* caption,
                    std::initializer_list<const char*> items, int index) {
  auto* label = new QLabel(U(caption), page);
  layout->addWidget(label);
  auto* group = new QButtonGroup(page);
  group->setObjectName(name);
  auto* row = new QHBoxLayout;
  int i = 0;
  for (const char* item : items) {
    auto* button = new QRadioButton(U(item), page);
    button->setChecked(i == index);
    group->addButton(button, i++);
    row->addWidget(button);
  }
  row->addStretch();
  layout->addLayout(row);
  return group;
}

QTableWidget* Grid(QWidget* parent, const char* name, int rows, QStringList headers) {
  auto* grid = new QTableWidget(rows, static_cast<int>(headers.size()), parent);
  grid->setObjectName(name);
  grid->setHorizontalHeaderLabels(headers);
  grid->verticalHeader()->hide();
  grid->verticalHeader()->setDefaultSectionSize(18);
  grid->setSelectionMode(QAbstractItemView::SingleSelection);
  return grid;
}

QTableWidgetItem* Cell(const std::string& cp932, bool editable) {
  auto* item = new QTableWidgetItem(FromCp932(cp932));
  if (!editable) item->setFlags(item->flags() & ~Qt::ItemIsEditable);
  return item;
}

std::string CellText(QTableWidget* grid, int row, int column) {
  QTableWidgetItem* item = grid->item(row, column);
  return item != nullptr ? ToCp932(item->text()) : std::string();
}

}  // namespace

THotKey::THotKey(QWidget* parent, const char* name, const KeyMap& keys)
    : QLineEdit(parent), keys_(keys) {
  setObjectName(name);
  setReadOnly(true);
  setContextMenuPolicy(Qt::NoContextMenu);
}

void THotKey::SetHotKey(uint16_t word) {
  word_ = word;
  setText(QString::fromStdString(HotkeyName(HotkeyWord(word))));
}

void THotKey::keyPressEvent(QKeyEvent* event) {
  const Qt::KeyboardModifiers mods = event->modifiers();
  const bool plain = (mods & (Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier)) == 0;
  const int key = event->key();
  if (plain && (key == Qt::Key_Tab || key == Qt::Key_Backtab || key == Qt::Key_Return ||
                key == Qt::Key_Enter || key == Qt::Key_Escape)) {
    QWidget::keyPressEvent(event);  // the dialog's
    return;
  }
  const uint8_t vk = keys_.VkOf(event->nativeScanCode());
  if (std::optional<HotkeyWord> word =
          HotkeyFromKeyPress(vk, mods & Qt::ShiftModifier, mods & Qt::ControlModifier,
                             mods & Qt::AltModifier)) {
    SetHotKey(word->value);
  }
  event->accept();
}

void TOptionFm::RawKey(uint32_t keycode, bool press) {
  const std::optional<HotkeyWord> word =
      kept_keys_.RawKey(keys_.VkOf(keycode), press, keys_.SwitchesTerminal(keycode));
  if (!word || !isActiveWindow()) return;
  if (auto* field = dynamic_cast<THotKey*>(focusWidget())) field->SetHotKey(word->value);
}

TOptionFm::TOptionFm(QWidget* owner, OptionDialog& logic, const KeyMap& keys,
                     std::function<QPixmap(int)> icon, std::function<bool()> ctrl_down)
    : QDialog(owner, kDialogFlags), logic_(logic), keys_(keys), icon_(std::move(icon)),
      ctrl_down_(std::move(ctrl_down)) {
  setObjectName("OptionFm");
  setWindowTitle(U("環境設定"));
  setModal(true);
  BuildPages(keys);
  new RawKeyFeed(this, [this](uint32_t keycode, bool press) { RawKey(keycode, press); });
  FormShow();
  CentreOnScreen(this);
}

void TOptionFm::BuildPages(const KeyMap& keys) {
  const OptionValues& v = logic_.values;
  auto* layout = new QVBoxLayout(this);
  Pages = new QTabWidget(this);
  Pages->setObjectName("Pages");
  layout->addWidget(Pages);
  auto page = [&](const char* caption) {
    auto* w = new QWidget(Pages);
    Pages->addTab(w, U(caption));
    return w;
  };

  // Hot keys.
  {
    QWidget* p = page("キー割り当て");
    auto* grid = new QGridLayout(p);
    static const std::array<std::pair<const char*, const char*>, 8> kKeys = {{
        {"PopupKubunKey", "一発ペーストキー"}, {"SaveKey", "一発登録キー"},
        {"SaveHtmlKey", "一発登録Htmlキー"}, {"SaveKubunKey", "一発登録ﾌｫﾙﾀﾞｷｰ"},
        {"ActiveKey", "アクティブキー "}, {"MagicKey", "クリップツールキー "},
        {"NewCardKey", "新規カードキー"}, {"FindKey", "カード検索キー"},
    }};
    for (int i = 0; i < 8; ++i) {
      grid->addWidget(new QLabel(U(kKeys[i].second), p), i, 0);
      Hotkeys[i] = new THotKey(p, kKeys[i].first, keys);
      Hotkeys[i]->SetHotKey(v.hotkeys[i]);
      grid->addWidget(Hotkeys[i], i, 1);
    }
    int row = 8;
    for (const char* hint : {"Shiftダブルプッシュは「Ｓ］", "Ctrlダブルプッシュは「Ｃ］",
                             "ALTダブルプッシュは「Ａ］"}) {
      grid->addWidget(new QLabel(U(hint), p), row++, 0, 1, 2);
    }
  }
  // Class lists: a label and an edit per list.
  auto list_edit = [&](QWidget* p, QGridLayout* grid, int row, const char* name,
                       const char* caption, const std::string& text) {
    grid->addWidget(new QLabel(U(caption), p), row, 0);
    QLineEdit* edit = Line(p, name, text);
    edit->installEventFilter(this);
    grid->addWidget(edit, row, 1);
    return edit;
  };
  {
    QWidget* p = page("ペースト");
    auto* grid = new QGridLayout(p);
    grid->addWidget(new QLabel(U("特殊なペースト方法が必要なソフトのControl Class"), p), 0, 0, 1, 2);
    Paste1 = list_edit(p, grid, 1, "Paste1", "ALT+E  P", v.paste_lists[0]);
    Paste2 = list_edit(p, grid, 2, "Paste2", "Shift+F9 ", v.paste_lists[1]);
    Paste3 = list_edit(p, grid, 3, "Paste3", "WM_PASTE", v.paste_lists[2]);
    grid->addWidget(new QLabel(U("上のフィールドをダブルクリックすると追加"), p), 4, 0, 1, 2);
    BackClipBoard = Check(p, "BackClipBoard", "一発ペーストの後ｸﾘｯﾌﾟﾎﾞ-ﾄﾞを戻す", v.BackClipBoard);
    grid->addWidget(BackClipBoard, 5, 0, 1, 2);
    NoBack = new QLabel(U("戻したくないWINDOW Class"), p);
    NoBack->setObjectName("NoBack");
    grid->addWidget(NoBack, 6, 0);
    NoHukkiClass = Line(p, "NoHukkiClass", v.NoHukkiClass);
    NoHukkiClass->installEventFilter(this);
    grid->addWidget(NoHukkiClass, 6, 1);
    DefPasteList = Check(p, "DefPasteList", "デフォルトフォルダを表示する", v.DefPasteList);
    UseHistoryPaste = Check(p, "UseHistoryPaste", "履歴を表示", v.UseHistoryPaste);
    ClipHistoryRoot = Check(p, "ClipHistoryRoot", "クリップボードの履歴も最初に表示（５個まで）",
                            v.ClipHistoryRoot);
    RetActive = Check(p, "RetActive", "一発処理時に改行キー対応必要", v.RetActive);
    int row = 7;
    for (QCheckBox* box : {DefPasteList, UseHistoryPaste, ClipHistoryRoot, RetActive}) {
      grid->addWidget(box, row++, 0, 1, 2);
    }
    connect(BackClipBoard, &QCheckBox::clicked, this, &TOptionFm::BackClipBoardClick);
  }
  {
    QWidget* p = page("カット");
    auto* grid = new QGridLayout(p);
    grid->addWidget(new QLabel(U("特殊なカット方法が必要なソフトのControl Class"), p), 0, 0, 1, 2);
    Cut1 = list_edit(p, grid, 1, "Cut1", "ALT+E T", v.cut_lists[0]);
    Cut2 = list_edit(p, grid, 2, "Cut2", "F7", v.cut_lists[1]);
    Cut3 = list_edit(p, grid, 3, "Cut3", "F8", v.cut_lists[2]);
    Cut4 = list_edit(p, grid, 4, "Cut4", "WM_CUT", v.cut_lists[3]);
    grid->setRowStretch(5, 1);
  }
  {
    QWidget* p = page("コピー");
    auto* grid = new QGridLayout(p);
    Copy1 = list_edit(p, grid, 0, "Copy1", "ALT+E C ", v.copy_lists[0]);
    Copy2 = list_edit(p, grid, 1, "Copy2", "F8 ", v.copy_lists[1]);
    Copy3 = list_edit(p, grid, 2, "Copy3", "Shift+F8 ", v.copy_lists[2]);
    Copy4 = list_edit(p, grid, 3, "Copy4", "WM_COPY", v.copy_lists[3]);
    grid->addWidget(new QLabel(U("一発登録時のテキストへの保存情報"), p), 4, 0, 1, 2);
    SaveUrl = Check(p, "SaveUrl", "ＵＲＬ", v.SaveUrl);
    SaveDate = Check(p, "SaveDate", "日付", v.SaveDate);
    SaveTitle = Check(p, "SaveTitle", "タイトル", v.SaveTitle);
    grid->addWidget(SaveUrl, 5, 0);
    grid->addWidget(SaveDate, 6, 0);
    grid->addWidget(SaveTitle, 7, 0);
  }
  {
    QWidget* p = page("起動時");
    auto* box = new QVBoxLayout(p);
    JikkouIcon = Check(p, "JikkouIcon", "アイコン状態で起動", v.JikkouIcon);
    UseButton = Check(p, "UseButton", "ボタンウィンドウを使う", v.UseButton);
    AutoMove = Check(p, "AutoMove", "ボタンウィンドウをタイトルバーにのせる", v.AutoMove);
    ToolBar = Check(p, "ToolBar", "タスクバーに表示", v.ToolBar);
    for (QCheckBox* c : {JikkouIcon, UseButton, AutoMove, ToolBar}) box->addWidget(c);
    box->addStretch();
    connect(UseButton, &QCheckBox::clicked, this, &TOptionFm::UseButtonClick);
  }
  {
    QWidget* p = page("出典名");
    auto* box = new QVBoxLayout(p);
    Syutten = Grid(p, "Syutten", 10, {QString(), U("出典名"), U("Window Class")});
    Syutten->setColumnWidth(0, 20);
    Syutten->setColumnWidth(2, 125);
    Syutten->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed |
                             QAbstractItemView::SelectedClicked);
    for (int r = 0; r < 10; ++r) {
      Syutten->setItem(r, 0, Cell(QString::asprintf("%2d", r + 1).toStdString(), false));
      Syutten->setItem(r, 1, Cell(v.source_names[r], true));
      Syutten->setItem(r, 2, Cell(v.source_classes[r], true));
    }
    connect(Syutten, &QTableWidget::cellDoubleClicked, this, [this](int row, int) {
      std::string list = CellText(Syutten, row, 2);
      logic_.AddWindowClass(&list);
      Syutten->item(row, 2)->setText(FromCp932(list));
    });
    box->addWidget(Syutten);
    box->addWidget(new QLabel(U("上のフィールドをダブルクリックすると追加 "), p));
  }
  {
    QWidget* p = page("バックアップ");
    auto* box = new QVBoxLayout(p);
    auto* row = new QHBoxLayout;
    FileName = Line(p, "FileName", v.FileName);
    Sanstou = Button(p, "Sanstou", "参照");
    row->addWidget(FileName);
    row->addWidget(Sanstou);
    box->addLayout(row);
    box->addWidget(new QLabel(
        U("バックアップの写しのファイル名に「#」を書くとデータ番号に、「$」を書くとデータ名称に置き換わります"),
        p));
    box->addStretch();
    connect(Sanstou, &QPushButton::clicked, this, &TOptionFm::SanstouClick);
  }
  {
    QWidget* p = page("その他");
    auto* box = new QVBoxLayout(p);
    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(U("外部保存先フォルダ"), p), 0, 0);
    Floppy = Line(p, "Floppy", v.Floppy);
    // Left empty, the external save writes into the default folder.
    const std::string default_folder = DefaultExternalFolder(logic_.ProgramFolder());
    Floppy->setPlaceholderText(QFile::decodeName(QByteArray::fromStdString(default_folder)));
    grid->addWidget(Floppy, 0, 1);
    grid->addWidget(new QLabel(U("追加保存listの折り返し数"), p), 1, 0);
    TuikaOrikaesiSuu = Line(p, "TuikaOrikaesiSuu", v.TuikaOrikaesiSuu);
    grid->addWidget(TuikaOrikaesiSuu, 1, 1);
    box->addLayout(grid);
    AddIti = Radio(p, box, "AddIti", "新規データ追加位置", {"最初", "最後"}, v.AddIti);
    TextIme = Check(p, "TextIme", "ＴＥＸＴの所で自動的にＩＭＥをONにする", v.TextIme);
    SingleFolder = Check(p, "SingleFolder", "ﾀｽｸﾄﾚｲｱｲｺﾝをｼﾝｸﾞﾙ右ｸﾘｯｸでフォルダ指定", v.SingleFolder);
    TabKey = Check(p, "TabKey", "テキスト部でタブキーでタブを入力できるようにする", v.TabKey);
    UseHistory = Check(p, "UseHistory", "クリップボード履歴機能を使う", v.UseHistory);
    ClipSave = Check(p, "ClipSave", "クリップボード履歴を終了時に保存する", v.ClipSave);
    CtrlColor = Check(p, "CtrlColor", "非アクティブのフィールドを灰色にする", v.CtrlColor);
    NewCardWin = Check(p, "NewCardWin", "非表示時の新規カードは窓で開く", v.NewCardWin);
    AutoSort = Check(p, "AutoSort", "カードの並び替えを自動で行う", v.AutoSort);
    OpenByMain = Check(p, "OpenByMain", "一発Windowを本体で開く", v.OpenByMain);
    IppatuMemory = Check(p, "IppatuMemory", "一発登録フォルダを終了時に記憶", v.IppatuMemory);
    for (QCheckBox* c : {TextIme, SingleFolder, TabKey, UseHistory, ClipSave, CtrlColor,
                         NewCardWin, AutoSort, OpenByMain, IppatuMemory}) {
      box->addWidget(c);
    }
    TrayDblClick = Radio(p, box, "TrayDblClick", "ﾄﾚｲｱｲｺﾝのﾀﾞﾌﾞﾙｸﾘｯｸ",
                         {"新規カード", "Ｑｂをｱｸﾃｨﾌﾞに"}, v.TrayDblClick);
    RunTreeOpen = Check(p, "RunTreeOpen", "起動時にツリーを展開させる", v.RunTreeOpen);
    DefAutoTitle = Check(p, "DefAutoTitle", "カードのタイトルを自動に付けるのをデフォルトにする",
                         v.DefAutoTitle);
    ShiftEnd = Check(p, "ShiftEnd", "ShiftEndで行末の改行を含めない", v.ShiftEnd);
    IppatuLock = Check(p, "IppatuLock", "一発登録したものはロック状態にする", v.IppatuLock);
    for (QCheckBox* c : {RunTreeOpen, DefAutoTitle, ShiftEnd, IppatuLock}) box->addWidget(c);
  }
  {
    QWidget* p = page("データファイル");
    auto* box = new QVBoxLayout(p);
    DataFile = Grid(p, "DataFile", 10, {QString(), U("データ名称"), U("パス")});
    DataFile->setColumnWidth(0, 30);
    DataFile->setColumnWidth(2, 200);
    DataFile->setEditTriggers(QAbstractItemView::NoEditTriggers);
    connect(DataFile, &QTableWidget::cellDoubleClicked, this, &TOptionFm::DataFileDblClick);
    box->addWidget(DataFile);
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(U("ダブルクリックして設定"), p));
    DataPathClear = Button(p, "DataPathClear", "クリア");
    row->addWidget(DataPathClear);
    box->addLayout(row);
    connect(DataPathClear, &QPushButton::clicked, this, &TOptionFm::DataPathClearClick);
    ShowDataRows();
  }
  {
    QWidget* p = page("ClipTool");
    auto* box = new QVBoxLayout(p);
    Addin = Grid(p, "Addin", static_cast<int>(v.clip_tools.size()),
                 {QString(), U("ツール名"), U("アドインファイル")});
    Addin->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Addin->setColumnWidth(0, 20);
    Addin->setColumnWidth(1, 150);
    Addin->setColumnWidth(2, 125);
    for (int r = 0; r < Addin->rowCount(); ++r) {
      Addin->setItem(r, 0, Cell(QString::asprintf("%2d", r + 1).toStdString(), false));
      Addin->setItem(r, 1, Cell(v.clip_tools[r].caption, false));
      Addin->setItem(r, 2, Cell(v.clip_tools[r].file, false));
    }
    box->addWidget(Addin);
  }
  {
    QWidget* p = page("カードアイコン");
    auto* box = new QVBoxLayout(p);
    QStringList heads = {QString()};
    for (int c = 0; c < 10; ++c) heads << QString::number(c);
    IconGrid = Grid(p, "IconGrid", 10, heads);
    IconGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    IconGrid->setIconSize(QSize(kIconCell - 4, kIconCell - 4));
    IconGrid->verticalHeader()->setDefaultSectionSize(kIconCell);
    for (int c = 0; c <= 10; ++c) IconGrid->setColumnWidth(c, kIconCell);
    connect(IconGrid, &QTableWidget::cellDoubleClicked, this, &TOptionFm::IconGridDblClick);
    IconGrid->installEventFilter(this);
    box->addWidget(IconGrid);
    box->addWidget(new QLabel(U("ダブルクリックまたはエンターキーでアイコンファイルを選べます"), p));
    box->addWidget(new QLabel(U("Ctrlキーを押しながらでデフォルトに戻せます。"), p));
    ShowIcons();
  }
  {
    QWidget* p = page("超一発ペーストキー");
    auto* grid = new QGridLayout(p);
    for (int i = 1; i <= 10; ++i) {
      const int slot = i % 10;
      const std::string name = "SuperPasteKey" + std::to_string(slot);
      SuperPasteKeys[slot] = new THotKey(p, name.c_str(), keys);
      SuperPasteKeys[slot]->SetHotKey(v.super_keys[slot]);
      grid->addWidget(new QLabel(QString::number(slot), p), i, 0);
      grid->addWidget(SuperPasteKeys[slot], i, 1);
      auto* title = new QLabel(slot == 0 ? U("直前の一発ペーストしたカード")
                                         : FromCp932(v.super_titles[slot - 1]),
                               p);
      title->setObjectName(slot == 0 ? "SuperCard0" : ("SuperCard" + std::to_string(slot)).c_str());
      grid->addWidget(title, i, 2);
    }
  }

  // Pages of fields keep them together at the top; a page with a grid or
  // a list lets it fill the page.
  for (int i = 0; i < Pages->count(); ++i) {
    QWidget* w = Pages->widget(i);
    if (w->layout() != nullptr && w->findChildren<QAbstractScrollArea*>().isEmpty()) {
      w->layout()->setAlignment(Qt::AlignTop);
    }
  }

  auto* classes = new QGridLayout;
  classes->addWidget(new QLabel(U("WindowClass"), this), 0, 0);
  WindowClassLabel = new QLabel(this);
  WindowClassLabel->setObjectName("WindowClassLabel");
  classes->addWidget(WindowClassLabel, 0, 1);
  classes->addWidget(new QLabel(U("ControlClass"), this), 1, 0);
  ControlClassLabel = new QLabel(this);
  ControlClassLabel->setObjectName("ControlClassLabel");
  classes->addWidget(ControlClassLabel, 1, 1);
  layout->addLayout(classes);
  OK = Button(this, "OK", "OK");
  Cancel = Button(this, "Cancel", "Cancel");
  layout->addLayout(ButtonRow(OK, Cancel));
  connect(OK, &QPushButton::clicked, this, &TOptionFm::OKClick);
  connect(Cancel, &QPushButton::clicked, this, &TOptionFm::CancelClick);
}

void TOptionFm::FormShow() {
  WindowClassLabel->setText(FromCp932(logic_.WindowClass()));
  ControlClassLabel->setText(FromCp932(logic_.ControlClass()));
  BackClipBoardClick();
  UseButtonClick();
  Pages->setCurrentIndex(0);
  Hotkeys[0]->setFocus();
}

void TOptionFm::ShowDataRows() {
  const OptionValues& v = logic_.values;
  for (int r = 0; r < 10; ++r) {
    DataFile->setItem(r, 0, Cell(QString::asprintf("%2d", r + 1).toStdString(), false));
    DataFile->setItem(r, 1, Cell(v.data_names[r], false));
    auto* path = new QTableWidgetItem(QFile::decodeName(v.data_paths[r].c_str()));
    path->setFlags(path->flags() & ~Qt::ItemIsEditable);
    DataFile->setItem(r, 2, path);
  }
}

void TOptionFm::ShowIcons() {
  for (int r = 0; r < 10; ++r) {
    IconGrid->setItem(r, 0, Cell(std::to_string(r * 10), false));
    for (int c = 1; c <= 10; ++c) {
      auto* item = new QTableWidgetItem;
      item->setIcon(QIcon(icon_(r * 10 + c - 1).scaled(kIconCell - 4, kIconCell - 4)));
      IconGrid->setItem(r, c, item);
    }
  }
}

void TOptionFm::BackClipBoardClick() {
  const bool on = BackClipBoard->isChecked();
  NoHukkiClass->setEnabled(on);
  NoHukkiClass->setVisible(on);
  NoBack->setEnabled(on);
  NoBack->setVisible(on);
}

void TOptionFm::UseButtonClick() { AutoMove->setEnabled(UseButton->isChecked()); }

void TOptionFm::SanstouClick() {
  FileChoice choice;
  choice.save = true;
  choice.file_name = "qbbackup.lzh";
  choice.folder = ToCp932(QDir::homePath());
  if (std::optional<std::string> path = logic_.ui().ChooseFile(choice)) {
    FileName->setText(FromCp932(*path));
  }
}

void TOptionFm::DataFileDblClick() {
  const int row = DataFile->currentRow() + 1;
  logic_.values.data_names[row - 1] = CellText(DataFile, row - 1, 1);
  logic_.DataFileDblClick(row);
  ShowDataRows();
  DataFile->setCurrentCell(row - 1, 1);
}

void TOptionFm::DataPathClearClick() {
  logic_.DataPathClearClick(DataFile->currentRow() + 1);
  const int row = DataFile->currentRow();
  ShowDataRows();
  DataFile->setCurrentCell(row, 1);
}

void TOptionFm::IconGridDblClick() {
  const int r = IconGrid->currentRow(), c = IconGrid->currentColumn();
  if (r < 0 || c < 1) return;
  logic_.IconGridDblClick(r * 10 + c - 1, ctrl_down_ && ctrl_down_());
  ShowIcons();
  IconGrid->setCurrentCell(r, c);
}

bool TOptionFm::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonDblClick) {
    auto* edit = qobject_cast<QLineEdit*>(watched);
    if (edit != nullptr) {
      std::string list = ToCp932(edit->text());
      if (edit == NoHukkiClass) {
        logic_.AddWindowClass(&list);
      } else {
        logic_.AddControlClass(&list);
      }
      edit->setText(FromCp932(list));
      return true;
    }
  }
  if (watched == IconGrid && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      IconGridDblClick();
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void TOptionFm::TakeValues() {
  OptionValues& v = logic_.values;
  for (int i = 0; i < 8; ++i) v.hotkeys[i] = Hotkeys[i]->HotKey();
  for (int i = 0; i < 10; ++i) v.super_keys[i] = SuperPasteKeys[i]->HotKey();
  v.paste_lists = {ToCp932(Paste1->text()), ToCp932(Paste2->text()), ToCp932(Paste3->text())};
  v.cut_lists = {ToCp932(Cut1->text()), ToCp932(Cut2->text()), ToCp932(Cut3->text()),
                 ToCp932(Cut4->text())};
  v.copy_lists = {ToCp932(Copy1->text()), ToCp932(Copy2->text()), ToCp932(Copy3->text()),
                  ToCp932(Copy4->text())};
  v.NoHukkiClass = ToCp932(NoHukkiClass->text());
  v.FileName = ToCp932(FileName->text());
  v.Floppy = ToCp932(Floppy->text());
  v.TuikaOrikaesiSuu = ToCp932(TuikaOrikaesiSuu->text());
  v.AddIti = AddIti->checkedId();
  v.TrayDblClick = TrayDblClick->checkedId();
  const std::array<std::pair<bool*, QCheckBox*>, 26> checks = {{
      {&v.BackClipBoard, BackClipBoard}, {&v.DefPasteList, DefPasteList},
      {&v.UseHistoryPaste, UseHistoryPaste}, {&v.ClipHistoryRoot, ClipHistoryRoot},
      {&v.RetActive, RetActive}, {&v.SaveUrl, SaveUrl}, {&v.SaveDate, SaveDate},
      {&v.SaveTitle, SaveTitle}, {&v.JikkouIcon, JikkouIcon}, {&v.UseButton, UseButton},
      {&v.AutoMove, AutoMove}, {&v.ToolBar, ToolBar}, {&v.TextIme, TextIme},
      {&v.SingleFolder, SingleFolder}, {&v.TabKey, TabKey}, {&v.UseHistory, UseHistory},
      {&v.ClipSave, ClipSave}, {&v.CtrlColor, CtrlColor}, {&v.NewCardWin, NewCardWin},
      {&v.AutoSort, AutoSort}, {&v.OpenByMain, OpenByMain}, {&v.IppatuMemory, IppatuMemory},
      {&v.RunTreeOpen, RunTreeOpen}, {&v.DefAutoTitle, DefAutoTitle}, {&v.ShiftEnd, ShiftEnd},
      {&v.IppatuLock, IppatuLock},
  }};
  for (auto [value, box] : checks) *value = box->isChecked();
  for (int r = 0; r < 10; ++r) {
    v.source_names[r] = CellText(Syutten, r, 1);
    v.source_classes[r] = CellText(Syutten, r, 2);
  }
}

void TOptionFm::OKClick() {
  TakeValues();
  logic_.OKClick();
  done(kResultOk);
}

void TOptionFm::CancelClick() { done(kResultCancel); }

TDbFm::TDbFm(QWidget* owner, DbForm& logic) : QDialog(owner, kDialogFlags), logic_(logic) {
  setObjectName("DbFm");
  setWindowTitle(U("設定"));
  setWindowFlag(Qt::WindowStaysOnTopHint, true);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(U("データファイル設定"), this));
  layout->addWidget(new QLabel(U("データ名称"), this));
  Meisyou = Line(this, "Meisyou", logic.Meisyou);
  layout->addWidget(Meisyou);
  auto* path_label = new QLabel(U("パス"), this);
  layout->addWidget(path_label);
  model_ = new QFileSystemModel(this);
  model_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
  model_->setRootPath(QDir::rootPath());
  Dir = new QTreeView(this);
  Dir->setObjectName("Dir");
  Dir->setModel(model_);
  for (int c = 1; c < model_->columnCount(); ++c) Dir->hideColumn(c);
  Dir->setMinimumSize(300, 240);
  layout->addWidget(Dir);
  SetFolder(logic.Dir);
  // Row 1 and the open set keep their folder.
  Dir->setVisible(!logic.folder_fixed);
  path_label->setVisible(!logic.folder_fixed);
  Button1 = Button(this, "Button1", "ＯＫ");
  Button2 = Button(this, "Button2", "Cancel");
  layout->addLayout(ButtonRow(Button1, Button2));
  connect(Button1, &QPushButton::clicked, this, &TDbFm::Button1Click);
  connect(Button2, &QPushButton::clicked, this, &TDbFm::Button2Click);
}

std::string TDbFm::Folder() const {
  const QModelIndex current = Dir->currentIndex();
  return current.isValid() ? QFile::encodeName(model_->filePath(current)).toStdString()
                           : std::string();
}

void TDbFm::SetFolder(const std::string& folder) {
  if (folder.empty()) return;
  const QModelIndex index = model_->index(QFile::decodeName(folder.c_str()));
  if (!index.isValid()) return;
  Dir->setCurrentIndex(index);
  Dir->scrollTo(index);
}

void TDbFm::Button1Click() {
  logic_.Meisyou = ToCp932(Meisyou->text());
  if (!logic_.folder_fixed) logic_.Dir = Folder();
  if (!logic_.Button1Click()) {
    Meisyou->setText(FromCp932(logic_.Meisyou));
    return;
  }
  done(kResultOk);
}

void TDbFm::Button2Click() { done(kResultCancel); }

}  // namespace quill
