#include "controls/ui/up_down_with_field.h"

#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>

#include "controls/number_text.h"

namespace quill {

namespace {

QToolButton* ArrowButton(QWidget* parent, Qt::ArrowType arrow) {
  auto* b = new QToolButton(parent);
  b->setArrowType(arrow);
  b->setAutoRepeat(true);  // held down, it keeps stepping
  b->setFocusPolicy(Qt::NoFocus);
  b->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
  b->setFixedWidth(17);
  return b;
}

}  // namespace

TUpDownWithField::TUpDownWithField(QWidget* owner)
    : QWidget(owner),
      next_(ArrowButton(this, Qt::UpArrow)),
      prev_(ArrowButton(this, Qt::DownArrow)) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(next_);
  layout->addWidget(prev_);
  connect(next_, &QToolButton::clicked, this, [this] { Click(btNext); });
  connect(prev_, &QToolButton::clicked, this, [this] { Click(btPrev); });
}

QToolButton* TUpDownWithField::Button(TUDBtnType button) const {
  return button == btNext ? next_ : prev_;
}

void TUpDownWithField::Click(TUDBtnType button) {
  emit OnClick();
  QLineEdit* edit = EditField;
  if (edit == nullptr) return;
  const int value = LeadingInt(edit->text().toStdString());
  edit->setText(QString::number(AddClamped(value, button == btNext ? 1 : -1)));
  edit->setFocus();
  edit->selectAll();
}

}  // namespace quill
