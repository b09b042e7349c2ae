#include "main/ui/form_parts.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

#include "platform/qt/cp932_text.h"

namespace quill {

QPushButton* Button(QWidget* parent, const char* name, const char* caption) {
  auto* b = new QPushButton(U(caption), parent);
  b->setObjectName(name);
  b->setAutoDefault(false);
  return b;
}

QLineEdit* Line(QWidget* parent, const char* name, const std::string& text) {
  auto* e = new QLineEdit(FromCp932(text), parent);
  e->setObjectName(name);
  return e;
}

QHBoxLayout* ButtonRow(QPushButton* ok, QPushButton* cancel) {
  auto* row = new QHBoxLayout;
  row->addStretch();
  row->addWidget(ok);
  row->addWidget(cancel);
  ok->setDefault(true);
  return row;
}

void CentreOnScreen(QWidget* w) {
  QScreen* s = w->screen() != nullptr ? w->screen() : QGuiApplication::primaryScreen();
  if (s == nullptr) return;
  const QRect area = s->geometry();
  const QSize size = w->frameGeometry().size();
  w->move(area.x() + (area.width() - size.width()) / 2,
          area.y() + (area.height() - size.height()) / 2);
}

}  // namespace quill
