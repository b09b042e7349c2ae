#include "main/ui/message_form.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "platform/qt/cp932_text.h"
#include "platform/text_codec.h"

namespace quill {

TMessageFm::TMessageFm(QWidget* owner, const std::string& text, const std::string& caption,
                       int mode)
    : QDialog(owner, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint |
                         Qt::WindowCloseButtonHint) {
  setObjectName("TMessageFm");
  setModal(true);
  // An empty caption stays empty: a blank, as the window system puts the
  // program's name in place of an empty title.
  setWindowTitle(caption.empty() ? QStringLiteral(" ") : FromCp932(caption));

  Message = new QLabel(FromCp932(CrLfToLf(text)), this);
  Message->setObjectName("Message");
  Message->setTextFormat(Qt::PlainText);
  Message->setWordWrap(false);

  // Tab order: OK, Yes, No.
  CloseBT = new QPushButton("OK", this);
  CloseBT->setObjectName("CloseBT");
  YesBT = new QPushButton(QString::fromUtf8("はい"), this);
  YesBT->setObjectName("YesBT");
  NoBT = new QPushButton(QString::fromUtf8("いいえ"), this);
  NoBT->setObjectName("NoBT");
  connect(CloseBT, &QPushButton::clicked, this, [this] { done(kResultOk); });
  connect(YesBT, &QPushButton::clicked, this, [this] { done(kResultYes); });
  connect(NoBT, &QPushButton::clicked, this, [this] { done(kResultNo); });

  bool yes_no = mode == kMessageYesNo;
  CloseBT->setVisible(!yes_no);
  YesBT->setVisible(yes_no);
  NoBT->setVisible(yes_no);
  (yes_no ? YesBT : CloseBT)->setDefault(true);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(CloseBT);
  buttons->addWidget(YesBT);
  buttons->addWidget(NoBT);
  buttons->addStretch();
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(16, 16, 16, 12);
  layout->addWidget(Message);
  layout->addSpacing(8);
  layout->addLayout(buttons);
  setTabOrder(CloseBT, YesBT);
  setTabOrder(YesBT, NoBT);
}

void TMessageFm::reject() { done(kResultCancel); }

void TMessageFm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // Centred on the screen, not on the owner.
  QScreen* s = screen() != nullptr ? screen() : QGuiApplication::primaryScreen();
  if (s == nullptr) return;
  QRect area = s->geometry();
  QSize size = frameGeometry().size();
  move(area.x() + (area.width() - size.width()) / 2,
       area.y() + (area.height() - size.height()) / 2);
  raise();
  activateWindow();
}

}  // namespace quill
