#include "clip/ui/add_hyou_form.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/qt/cp932_text.h"
#include "platform/ui.h"

namespace quill {

namespace {

QString U(const char* utf8) { return QString::fromUtf8(utf8); }

}  // namespace

TAddHyouFm::TAddHyouFm(QWidget* parent) : QDialog(parent) {
  setObjectName("AddHyouFm");
  setWindowTitle(U("表に一発追加登録"));
  setWindowFlag(Qt::WindowStaysOnTopHint, true);
  Title = new QLineEdit(this);
  Title->setObjectName("Title");
  Text = new QLineEdit(this);
  Text->setObjectName("Text");
  Button1 = new QPushButton(U("追加"), this);
  Button1->setObjectName("Button1");
  Button1->setDefault(true);
  Cancel = new QPushButton(U("追加しない"), this);
  Cancel->setObjectName("Cancel");

  auto* fields = new QFormLayout;
  fields->addRow(U("タイトル"), Title);
  fields->addRow(U("ﾍﾟｰｽﾄ内容"), Text);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(Button1);
  buttons->addWidget(Cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(fields);
  layout->addLayout(buttons);
  resize(420, sizeHint().height());

  connect(Button1, &QPushButton::clicked, this, [this] { done(kResultOk); });
  connect(Cancel, &QPushButton::clicked, this, [this] { done(kResultCancel); });
}

void TAddHyouFm::SetFields(const std::string& title, const std::string& text) {
  Title->setText(FromCp932(title));
  Text->setText(FromCp932(text));
}

std::string TAddHyouFm::TitleText() const { return ToCp932(Title->text()); }
std::string TAddHyouFm::TextText() const { return ToCp932(Text->text()); }

void TAddHyouFm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  Title->setFocus();
  activateWindow();
}

int RunAddHyouForm(QWidget* parent, std::string* title, std::string* text) {
  TAddHyouFm form(parent);
  form.SetFields(*title, *text);
  const int result = form.exec();
  // Escape and the close box reject: the row is not added.
  if (result != kResultOk) return kResultCancel;
  *title = form.TitleText();
  *text = form.TextText();
  return kResultOk;
}

}  // namespace quill
