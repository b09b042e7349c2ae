#include "main/ui/search_forms.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QVBoxLayout>

#include "main/search/card_criteria.h"
#include "main/search/editor_search.h"
#include "main/ui/form_parts.h"
#include "platform/qt/cp932_text.h"
#include "platform/ui.h"

namespace quill {

namespace {

QCheckBox* Check(QWidget* parent, const char* name, const char* caption, bool on) {
  auto* c = new QCheckBox(U(caption), parent);
  c->setObjectName(name);
  c->setChecked(on);
  return c;
}

QComboBox* Combo(QWidget* parent, const char* name, const ComboContent& content) {
  auto* c = new QComboBox(parent);
  c->setObjectName(name);
  c->setEditable(true);
  c->setInsertPolicy(QComboBox::NoInsert);
  // What the user types is what is searched: the history is offered in
  // the list only, never completed into the text, where Enter would take
  // the completion (and the list's case) instead of the typed text.
  c->setCompleter(nullptr);
  c->setMinimumWidth(240);
  ShowCombo(c, content);
  return c;
}

QLabel* RedLabel(QWidget* parent, const char* name, const char* caption) {
  auto* l = new QLabel(U(caption), parent);
  l->setObjectName(name);
  QPalette p = l->palette();
  p.setColor(QPalette::WindowText, Qt::red);
  l->setPalette(p);
  return l;
}

KindKey KindKeyOf(int key) {
  switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter: return KindKey::kEnter;
    case Qt::Key_Escape: return KindKey::kEscape;
    case Qt::Key_Left: return KindKey::kLeft;
    case Qt::Key_Right: return KindKey::kRight;
    case Qt::Key_Up: return KindKey::kUp;
    case Qt::Key_Down: return KindKey::kDown;
    default: return KindKey::kOther;
  }
}

}  // namespace

void ShowCombo(QComboBox* box, const ComboContent& content) {
  box->clear();
  for (const std::string& item : content.items) box->addItem(FromCp932(item));
  box->setEditText(FromCp932(content.text));
}

ComboContent ReadCombo(QComboBox* box) {
  ComboContent c;
  c.text = ToCp932(box->currentText());
  for (int i = 0; i < box->count(); ++i) c.items.push_back(ToCp932(box->itemText(i)));
  return c;
}

// --- TKindFm ---

TKindFm::TKindFm(QWidget* owner, int current, QList<QIcon> icons)
    : QDialog(owner, kDialogFlags), picker_(current), icons_(std::move(icons)) {
  setObjectName("TKindFm");
  setWindowTitle(U("カード種類アイコン"));
  setModal(true);
  setFixedSize(KindPicker::kClientPx, KindPicker::kClientPx);
}

void TKindFm::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), palette().color(QPalette::Window));
  QFont small = font();
  small.setPixelSize(9);
  p.setFont(small);
  for (int n = 0; n < KindPicker::kIcons; ++n) {
    const WindowRect r = KindPicker::CellRect(n);
    const QRect cell(r.left, r.top, r.Width(), r.Height());
    p.fillRect(cell, n == picker_.current() ? QColor(0, 0, 255) : QColor(255, 255, 255));
    if (n < icons_.size()) {
      p.drawPixmap(r.left + 2, r.top + 2, icons_[n].pixmap(16, 16));
    } else {
      p.setPen(n == picker_.current() ? Qt::white : Qt::black);
      p.drawText(cell, Qt::AlignCenter, QString::number(n));
    }
  }
}

void TKindFm::keyPressEvent(QKeyEvent* event) {
  const bool close = picker_.Key(KindKeyOf(event->key()));
  update();
  if (close) done(picker_.result() >= 0 ? kResultOk : kResultCancel);
}

void TKindFm::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  const QPoint at = event->position().toPoint();
  if (!picker_.Click(at.x(), at.y())) return;
  update();
  done(kResultOk);
}

// --- TFindFm ---

TFindFm::TFindFm(QWidget* owner, const CardSearchForm& form, QList<QIcon> icons)
    : QDialog(owner, kDialogFlags), icon_(form.icon), icons_(std::move(icons)) {
  setObjectName("TFindFm");
  setModal(true);
  setWindowTitle(U("検索"));
  auto* layout = new QVBoxLayout(this);
  auto* heading = new QLabel(U("カード検索"), this);
  QFont bold = heading->font();
  bold.setBold(true);
  heading->setFont(bold);
  layout->addWidget(heading);
  layout->addWidget(new QLabel(U("スペースで区切って複数の文字列を指定できます。"), this));
  FindStr = Combo(this, "FindStr", form.words);
  layout->addWidget(FindStr);

  auto* options = new QHBoxLayout;
  Aimai = Check(this, "Aimai", "あいまい検索", form.fuzzy);
  Title = Check(this, "Title", "タイトルのみ検索", form.title_only);
  options->addWidget(Aimai);
  options->addWidget(Title);
  auto* kind = new QGroupBox(U("複数指定の時の検索方法"), this);
  kind->setObjectName("Kind");
  auto* kind_row = new QHBoxLayout(kind);
  KindAnd = new QRadioButton(U("And検索"), kind);
  KindOr = new QRadioButton(U("Ｏｒ検索"), kind);
  (form.mode == 1 ? KindOr : KindAnd)->setChecked(true);
  kind_row->addWidget(KindAnd);
  kind_row->addWidget(KindOr);
  options->addWidget(kind);
  layout->addLayout(options);

  auto* dates = new QGridLayout;
  cdate1 = Line(this, "cdate1", form.create_from);
  cdate2 = Line(this, "cdate2", form.create_to);
  udate1 = Line(this, "udate1", form.update_from);
  udate2 = Line(this, "udate2", form.update_to);
  dates->addWidget(new QLabel(U("作成日"), this), 0, 0);
  dates->addWidget(cdate1, 0, 1);
  dates->addWidget(new QLabel(U("～"), this), 0, 2);
  dates->addWidget(cdate2, 0, 3);
  dates->addWidget(new QLabel(U("更新日"), this), 1, 0);
  dates->addWidget(udate1, 1, 1);
  dates->addWidget(new QLabel(U("～"), this), 1, 2);
  dates->addWidget(udate2, 1, 3);
  dates->addWidget(new QLabel(U("例：1998/1/1"), this), 2, 1);
  layout->addLayout(dates);

  auto* icon_row = new QHBoxLayout;
  icon_row->addWidget(new QLabel(U("カード種類アイコン"), this));
  KindButton = Button(this, "KindButton", "");
  KindButton->setFixedWidth(32);
  ClearButton = Button(this, "ClearButton", "クリア");
  icon_row->addWidget(KindButton);
  icon_row->addWidget(ClearButton);
  icon_row->addSpacing(12);
  icon_row->addWidget(new QLabel(U("出典"), this));
  Syutten = Line(this, "Syutten", form.source);
  icon_row->addWidget(Syutten, 1);
  layout->addLayout(icon_row);

  FindDel = Check(this, "FindDel", "該当カードのみを表示", form.find_del);
  NowFolder = Check(this, "NowFolder", "現在のフォルダを検索", form.now_folder);
  FindFolderMark = Check(this, "FindFolderMark", "該当カードにマークを付ける",
                         form.find_folder_mark);
  layout->addWidget(FindDel);
  layout->addWidget(FindFolderMark);
  layout->addWidget(NowFolder);

  OKButton = Button(this, "OKButton", "検索");
  CancelButton = Button(this, "CancelButton", "中止");
  layout->addLayout(ButtonRow(OKButton, CancelButton));
  connect(OKButton, &QPushButton::clicked, this, &TFindFm::OKButtonClick);
  connect(CancelButton, &QPushButton::clicked, this, [this] { done(kResultCancel); });
  connect(KindButton, &QPushButton::clicked, this, &TFindFm::KindButtonClick);
  connect(ClearButton, &QPushButton::clicked, this, &TFindFm::ClearButtonClick);
  connect(FindDel, &QCheckBox::clicked, this, &TFindFm::FindDelClick);
  SetIcon(icon_);
  adjustSize();
  CentreOnScreen(this);
}

CardSearchForm TFindFm::Form() const {
  CardSearchForm f;
  f.words = ReadCombo(FindStr);
  f.fuzzy = Aimai->isChecked();
  f.title_only = Title->isChecked();
  f.mode = KindOr->isChecked() ? 1 : 0;
  f.create_from = ToCp932(cdate1->text());
  f.create_to = ToCp932(cdate2->text());
  f.update_from = ToCp932(udate1->text());
  f.update_to = ToCp932(udate2->text());
  f.icon = icon_;
  f.source = ToCp932(Syutten->text());
  f.find_del = FindDel->isChecked();
  f.now_folder = NowFolder->isChecked();
  f.find_folder_mark = FindFolderMark->isChecked();
  return f;
}

void TFindFm::OKButtonClick() {
  if (CardSearchFormAccepts(Form())) done(kResultOk);
}

void TFindFm::KindButtonClick() {
  TKindFm picker(this, icon_ >= 0 ? icon_ : 0, icons_);
  picker.move(KindButton->mapToGlobal(QPoint(0, 0)));
  picker.exec();
  if (picker.Result() >= 0) SetIcon(picker.Result());
}

void TFindFm::ClearButtonClick() { SetIcon(-1); }

void TFindFm::SetIcon(int icon) {
  icon_ = icon;
  // The icon's picture; its number only when no pictures were given.
  const bool picture = icon >= 0 && icon < icons_.size();
  KindButton->setIcon(picture ? icons_[icon] : QIcon());
  KindButton->setText(icon >= 0 && !picture ? QString::number(icon) : QString());
}

void TFindFm::FindDelClick() { FindFolderMark->setEnabled(FindDel->isChecked()); }

void TFindFm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  FindDelClick();
  FindStr->setFocus();
}

// --- TKensakuFm ---

TKensakuFm::TKensakuFm(QWidget* owner, const SearchStringForm& form)
    : QDialog(owner, kDialogFlags | Qt::WindowStaysOnTopHint) {
  setObjectName("TKensakuFm");
  setModal(true);
  setWindowTitle(U("検索文字列設定"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(U("検索文字列"), this));
  FindStr = Combo(this, "FindStr", form.text);
  layout->addWidget(FindStr);
  layout->addWidget(RedLabel(this, "Note", "Shiftを押しながら［ＯＫ］」で前方検索"));
  OKButton = Button(this, "OKButton", "OK");
  CancelButton = Button(this, "CancelButton", "キャンセル");
  layout->addLayout(ButtonRow(OKButton, CancelButton));
  connect(OKButton, &QPushButton::clicked, this, &TKensakuFm::OKButtonClick);
  connect(CancelButton, &QPushButton::clicked, this, [this] { done(kResultCancel); });
  adjustSize();
  CentreOnScreen(this);
}

SearchStringForm TKensakuFm::Form() const { return {ReadCombo(FindStr)}; }

void TKensakuFm::OKButtonClick() {
  if (!FindStr->currentText().isEmpty()) done(kResultOk);
}

// --- TReplaceFm ---

TReplaceFm::TReplaceFm(QWidget* owner, const ReplaceForm& form)
    : QDialog(owner, kDialogFlags | Qt::WindowStaysOnTopHint), batch_(form.batch) {
  setObjectName("TReplaceFm");
  setModal(true);
  setWindowTitle(U(form.batch ? "一括置換" : "置換"));
  auto* layout = new QGridLayout(this);
  IkkatuLavel = RedLabel(this, "IkkatuLavel", "マークカードのテキストをこれで置換します");
  IkkatuLavel->setVisible(form.batch);
  layout->addWidget(IkkatuLavel, 0, 0, 1, 2);
  layout->addWidget(new QLabel(U("検索文字列"), this), 1, 0);
  FindStr = Combo(this, "FindStr", form.find);
  layout->addWidget(FindStr, 1, 1);
  layout->addWidget(new QLabel(U("置換文字列"), this), 2, 0);
  RepStr = Line(this, "RepStr", form.replacement);
  layout->addWidget(RepStr, 2, 1);
  BigSmall = Check(this, "BigSmall", "大文字小文字を区別", form.match_case);
  layout->addWidget(BigSmall, 3, 1);
  OKButton = Button(this, "OKButton", "OK");
  CancelButton = Button(this, "CancelButton", "中止");
  layout->addLayout(ButtonRow(OKButton, CancelButton), 4, 0, 1, 2);
  connect(OKButton, &QPushButton::clicked, this, &TReplaceFm::OKButtonClick);
  connect(CancelButton, &QPushButton::clicked, this, [this] { done(kResultCancel); });
}

ReplaceForm TReplaceFm::Form() const {
  ReplaceForm f;
  f.batch = batch_;
  f.find = ReadCombo(FindStr);
  f.replacement = ToCp932(RepStr->text());
  f.match_case = BigSmall->isChecked();
  return f;
}

void TReplaceFm::OKButtonClick() {
  if (batch_ || !FindStr->currentText().isEmpty()) done(kResultOk);
}

// --- TRepCheckFm ---

TRepCheckFm::TRepCheckFm(QWidget* owner)
    : QDialog(owner, kDialogFlags | Qt::WindowStaysOnTopHint) {
  setObjectName("TRepCheckFm");
  setModal(true);
  setWindowTitle(U("確認"));
  auto* row = new QHBoxLayout(this);
  Rep = Button(this, "Rep", "置換(R)");
  Find = Button(this, "Find", "次検索(F)");
  All = Button(this, "All", "全置換(A)");
  Cancel = Button(this, "Cancel", "キャンセル");
  for (QPushButton* b : {Rep, Find, All, Cancel}) {
    row->addWidget(b);
    b->installEventFilter(this);
  }
  Rep->setDefault(true);
  connect(Rep, &QPushButton::clicked, this, [this] { done(kResultOk); });
  connect(Find, &QPushButton::clicked, this, [this] { done(kReplaceCheckFind); });
  connect(All, &QPushButton::clicked, this, [this] { done(kReplaceCheckAll); });
  connect(Cancel, &QPushButton::clicked, this, [this] { done(kResultCancel); });
}

void TRepCheckFm::reject() { done(kResultCancel); }

bool TRepCheckFm::Answer(QKeyEvent* event) {
  const int result = ReplaceCheckKeyResult(ToCp932(event->text()));
  if (result == 0) return false;
  done(result);
  return true;
}

bool TRepCheckFm::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress && Answer(static_cast<QKeyEvent*>(event))) return true;
  return QDialog::eventFilter(watched, event);
}

void TRepCheckFm::keyPressEvent(QKeyEvent* event) {
  if (!Answer(event)) QDialog::keyPressEvent(event);
}

}  // namespace quill
