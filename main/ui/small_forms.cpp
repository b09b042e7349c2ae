#include "main/ui/small_forms.h"

#include <algorithm>

#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>

#include "main/ui/form_parts.h"
#include "main/ui/search_forms.h"
#include "platform/messages.h"
#include "platform/qt/cp932_text.h"
#include "platform/ui.h"
#include "platform/ui_messages.h"

#ifndef QUILL_VERSION
#error "the build defines QUILL_VERSION"
#endif

namespace quill {

namespace {

QLineEdit* ReadOnlyLine(QWidget* parent, const char* name, const std::string& text) {
  QLineEdit* e = Line(parent, name, text);
  e->setReadOnly(true);
  return e;
}

// A radio group with no item selected; `clear` deselects it again.
QButtonGroup* Radios(QWidget* parent, QBoxLayout* into, const char* name, const char* caption,
                     std::initializer_list<const char*> items) {
  auto* box = new QGroupBox(U(caption), parent);
  box->setObjectName(name);
  auto* layout = new QVBoxLayout(box);
  auto* group = new QButtonGroup(parent);
  group->setObjectName(name);
  int id = 0;
  for (const char* item : items) {
    auto* r = new QRadioButton(U(item), box);
    group->addButton(r, id++);
    layout->addWidget(r);
  }
  into->addWidget(box, 1);
  return group;
}

void Deselect(QButtonGroup* group) {
  group->setExclusive(false);
  for (QAbstractButton* b : group->buttons()) b->setChecked(false);
  group->setExclusive(true);
}

void AddLabelled(QGridLayout* grid, int row, const char* label, QWidget* field) {
  grid->addWidget(new QLabel(U(label), field->parentWidget()), row, 0);
  grid->addWidget(field, row, 1);
}

}  // namespace

const char* ProgramVersion() { return QUILL_VERSION; }

int DialogResult(int exec_result) { return exec_result == 0 ? kResultCancel : exec_result; }

// --- TUndelete ---

TUndelete::TUndelete(QWidget* owner, Ui& ui, const UndeleteForm& form)
    : QDialog(owner, kDialogFlags), ui_(ui) {
  setObjectName("TUndelete");
  setModal(true);
  setWindowTitle(U("削除済みカード"));
  auto* layout = new QVBoxLayout(this);
  Label1 = new QLabel(U("削除済みカード"), this);
  Label1->setObjectName("Label1");
  layout->addWidget(Label1);
  List = new QListWidget(this);
  List->setObjectName("List");
  for (size_t i = 0; i < form.titles.size(); ++i) {
    auto* item = new QListWidgetItem(FromCp932(form.titles[i]), List);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setCheckState(i < form.checked.size() && form.checked[i] ? Qt::Checked : Qt::Unchecked);
  }
  layout->addWidget(List, 1);
  auto* row = new QHBoxLayout;
  CloseButton = Button(this, "CloseButton", "復活");
  Cancel = Button(this, "Cancel", "キャンセル");
  AllMark = Button(this, "AllMark", "全マーク");
  AllClear = Button(this, "AllClear", "全クリア");
  KanzenSakujo = Button(this, "KanzenSakujo", "完全削除");
  for (QPushButton* b : {CloseButton, Cancel, AllMark, AllClear, KanzenSakujo}) row->addWidget(b);
  layout->addLayout(row);
  connect(CloseButton, &QPushButton::clicked, this, &TUndelete::CloseButtonClick);
  connect(Cancel, &QPushButton::clicked, this, &TUndelete::CancelClick);
  connect(AllMark, &QPushButton::clicked, this, &TUndelete::AllMarkClick);
  connect(AllClear, &QPushButton::clicked, this, &TUndelete::AllClearClick);
  connect(KanzenSakujo, &QPushButton::clicked, this, &TUndelete::KanzenSakujoClick);
  resize(360, 400);
}

UndeleteForm TUndelete::Form() const {
  UndeleteForm f;
  for (int i = 0; i < List->count(); ++i) {
    f.titles.push_back(ToCp932(List->item(i)->text()));
    f.checked.push_back(List->item(i)->checkState() == Qt::Checked);
  }
  return f;
}

void TUndelete::CloseButtonClick() { done(kUndeleteRestore); }
void TUndelete::CancelClick() { done(kResultCancel); }
void TUndelete::AllMarkClick() { CheckAll(true); }
void TUndelete::AllClearClick() { CheckAll(false); }

void TUndelete::CheckAll(bool on) {
  for (int i = 0; i < List->count(); ++i) {
    List->item(i)->setCheckState(on ? Qt::Checked : Qt::Unchecked);
  }
}

void TUndelete::KanzenSakujoClick() {
  if (ConfirmCaution(ui_, MessageId::kConfirmEraseChecked)) {
    done(kUndeleteErase);
  }
}

// --- TSyuttenFm ---

TSyuttenFm::TSyuttenFm(QWidget* owner, QList<QIcon> icons)
    : QDialog(owner, kDialogFlags | Qt::WindowStaysOnTopHint), icons_(std::move(icons)) {
  setObjectName("TSyuttenFm");
  setModal(true);
  setWindowTitle(U("一括属性変更"));
  auto* layout = new QVBoxLayout(this);
  auto* grid = new QGridLayout;
  Syutten = Line(this, "Syutten", "");
  AddLabelled(grid, 0, "出典名", Syutten);
  auto* icon_row = new QHBoxLayout;
  KindButton = Button(this, "KindButton", "");
  KindButton->setFixedWidth(32);
  ClearButton = Button(this, "ClearButton", "クリア");
  icon_row->addWidget(KindButton);
  icon_row->addWidget(ClearButton);
  icon_row->addStretch();
  grid->addWidget(new QLabel(U("カード種類アイコン"), this), 1, 0);
  grid->addLayout(icon_row, 1, 1);
  layout->addLayout(grid);

  auto* groups = new QHBoxLayout;
  auto* paste_column = new QVBoxLayout;
  Paste = Radios(this, paste_column, "Paste", "",
                 {"一発ペーストするように設定", "一発ペースとしないように設定"});
  PasteClear = Button(this, "PasteClear", "クリア");
  paste_column->addWidget(PasteClear);
  auto* title_column = new QVBoxLayout;
  AutoTitle = Radios(this, title_column, "AutoTitle", "", {"自動タイトルに設定", "自動タイトルを解除"});
  Button1 = Button(this, "Button1", "クリア");
  title_column->addWidget(Button1);
  groups->addLayout(paste_column);
  groups->addLayout(title_column);
  layout->addLayout(groups);

  OK = Button(this, "OK", "登録");
  Cancel = Button(this, "Cancel", "Cancel");
  layout->addLayout(ButtonRow(OK, Cancel));
  connect(OK, &QPushButton::clicked, this, [this] { done(kResultOk); });
  connect(Cancel, &QPushButton::clicked, this, [this] { done(kResultCancel); });
  connect(KindButton, &QPushButton::clicked, this, &TSyuttenFm::KindButtonClick);
  connect(ClearButton, &QPushButton::clicked, this, &TSyuttenFm::ClearButtonClick);
  connect(PasteClear, &QPushButton::clicked, this, &TSyuttenFm::PasteClearClick);
  connect(Button1, &QPushButton::clicked, this, &TSyuttenFm::Button1Click);
  SetIcon(-1);
}

SyuttenForm TSyuttenFm::Form() const {
  SyuttenForm f;
  f.source = ToCp932(Syutten->text());
  f.icon = icon_;
  f.paste = Paste->checkedId();
  f.auto_title = AutoTitle->checkedId();
  return f;
}

void TSyuttenFm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  Syutten->clear();
  Syutten->setFocus();
  Syutten->selectAll();
}

void TSyuttenFm::KindButtonClick() {
  TKindFm picker(this, icon_ >= 0 ? icon_ : 0, icons_);
  picker.move(KindButton->mapToGlobal(QPoint(0, 0)));
  picker.exec();
  if (picker.Result() >= 0) SetIcon(picker.Result());
}

void TSyuttenFm::ClearButtonClick() { SetIcon(-1); }
void TSyuttenFm::PasteClearClick() { Deselect(Paste); }
void TSyuttenFm::Button1Click() { Deselect(AutoTitle); }

void TSyuttenFm::SetIcon(int icon) {
  icon_ = icon;
  KindButton->setIcon(icon >= 0 && icon < icons_.size() ? icons_[icon] : QIcon());
}

// --- TAboutFm ---

TAboutFm::TAboutFm(QWidget* owner) : QDialog(owner, kDialogFlags) {
  setObjectName("TAboutFm");
  setModal(true);
  setWindowTitle(U("バージョン情報"));
  auto* layout = new QVBoxLayout(this);
  auto* name = new QLabel(U("Quillbox"), this);
  name->setObjectName("ProductName");
  QFont big = name->font();
  big.setPointSize(big.pointSize() + 6);
  big.setBold(true);
  name->setFont(big);
  auto* version = new QLabel(U("Version ") + QString::fromLatin1(ProgramVersion()), this);
  version->setObjectName("Version");
  layout->addWidget(name, 0, Qt::AlignHCenter);
  layout->addWidget(version, 0, Qt::AlignHCenter);
  auto* ok = Button(this, "OKButton", "OK");
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, [this] { done(kResultOk); });
  layout->addWidget(ok, 0, Qt::AlignHCenter);
  // Wide enough for the window manager to show the whole title beside
  // its buttons.
  setMinimumWidth(fontMetrics().horizontalAdvance(windowTitle()) * 2 + 160);
}

// --- TChgFolderFm ---

TChgFolderFm::TChgFolderFm(QWidget* owner, const ChangeFolderForm& form)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowStaysOnTopHint) {
  setObjectName("TChgFolderFm");
  setModal(true);
  setWindowTitle(U("確認"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(U("入れるカードとすでにあるカードが違うフォルダです。"), this));
  auto* grid = new QGridLayout;
  NowFolder = ReadOnlyLine(this, "NowFolder", form.now_folder);
  ReadFolder = ReadOnlyLine(this, "ReadFolder", form.read_folder);
  Title = ReadOnlyLine(this, "Title", form.title);
  AddLabelled(grid, 0, "現在あるカードフォルダ", NowFolder);
  AddLabelled(grid, 1, "入れるカードのフォルダ", ReadFolder);
  AddLabelled(grid, 2, "入れるカードのタイトル", Title);
  layout->addLayout(grid);
  AfterSyori = Radios(this, layout, "AfterSyori", "以降の操作",
                      {"１つずつ指定する", "同じフォルダは以降同じ処理", "すべて同じ処理"});
  const int after = form.after_mode >= 0 && form.after_mode <= 2 ? form.after_mode : 0;
  if (QAbstractButton* b = AfterSyori->button(after)) {
    b->setChecked(true);
  }
  NoChange = Button(this, "NoChange", "すでにあるフォルダのまま変更しない");
  Button2 = Button(this, "Button2", "入れるカードのフォルダに変更");
  Cancel = Button(this, "Cancel", "中止");
  auto* row = new QHBoxLayout;
  for (QPushButton* b : {NoChange, Button2, Cancel}) row->addWidget(b);
  layout->addLayout(row);
  connect(NoChange, &QPushButton::clicked, this, [this] { done(kFolderKeep); });
  connect(Button2, &QPushButton::clicked, this, [this] { done(kFolderChange); });
  connect(Cancel, &QPushButton::clicked, this, [this] { done(kResultCancel); });
  adjustSize();
  CentreOnScreen(this);
}

int TChgFolderFm::After() const { return std::max(AfterSyori->checkedId(), 0); }

// --- TLockCheckFm ---

TLockCheckFm::TLockCheckFm(QWidget* owner, const std::string& title)
    : QDialog(owner, kDialogFlags) {
  setObjectName("TLockCheckFm");
  setModal(true);
  setWindowTitle(U("チェック！"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(U("すでにあるカードがロックしてあります。"), this));
  auto* grid = new QGridLayout;
  Title = ReadOnlyLine(this, "Title", title);
  AddLabelled(grid, 0, "カードのタイトル", Title);
  layout->addLayout(grid);
  Kousin = Button(this, "Kousin", "更新する");
  NotKousin = Button(this, "NotKousin", "更新しない");
  Tyuudan = Button(this, "Tyuudan", "中断");
  auto* row = new QHBoxLayout;
  for (QPushButton* b : {Kousin, NotKousin, Tyuudan}) row->addWidget(b);
  layout->addLayout(row);
  connect(Kousin, &QPushButton::clicked, this, [this] { done(kLockedUpdate); });
  connect(NotKousin, &QPushButton::clicked, this, [this] { done(kLockedSkip); });
  connect(Tyuudan, &QPushButton::clicked, this, [this] { done(kResultCancel); });
}

// --- QtSmallDialogs ---

QtSmallDialogs::QtSmallDialogs(QWidget* owner, Ui& ui, std::function<QList<QIcon>()> icons)
    : owner_(owner), ui_(ui), icons_(std::move(icons)) {}

QtSmallDialogs::~QtSmallDialogs() = default;

int QtSmallDialogs::RunUndelete(UndeleteForm* form) {
  TUndelete dialog(owner_, ui_, *form);
  const int result = DialogResult(dialog.exec());
  *form = dialog.Form();
  return result;
}

int QtSmallDialogs::RunSyuttenForm(SyuttenForm* form) {
  TSyuttenFm dialog(owner_, icons_ ? icons_() : QList<QIcon>());
  const int result = DialogResult(dialog.exec());
  *form = dialog.Form();
  return result;
}

TKindFm& QtSmallDialogs::KindForm() {
  if (kind_ == nullptr) kind_ = std::make_unique<TKindFm>(owner_, 0);
  return *kind_;
}

int QtSmallDialogs::RunKindPicker(int current, ScreenPoint at) {
  TKindFm& picker = KindForm();
  picker.SetIcons(icons_ ? icons_() : QList<QIcon>());
  picker.Reset(current);
  picker.move(at.x, at.y);
  picker.exec();
  return picker.Result();
}

void QtSmallDialogs::ShowAbout() {
  TAboutFm about(owner_);
  about.exec();
}

}  // namespace quill
