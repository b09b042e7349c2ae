#include "clip/ui/get_http_form.h"

#include <QEventLoop>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <atomic>
#include <thread>

#include "platform/qt/cp932_text.h"

namespace quill {

TGetHttpFm::TGetHttpFm(PageImageFetch& fetch, HttpFetcher& fetcher, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      fetch_(fetch),
      fetcher_(fetcher) {
  setObjectName("GetHttpFm");
  setFixedSize(kWidth, kHeight);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(8, 8, 8, 8);
  Progress = new QProgressBar(this);
  Progress->setObjectName("Progress");
  GetFileName = new QLabel(this);
  GetFileName->setObjectName("GetFileName");
  layout->addWidget(Progress);
  layout->addWidget(GetFileName);
  Timer = new QTimer(this);
  Timer->setInterval(500);
  connect(Timer, &QTimer::timeout, this, &TGetHttpFm::TimerTimer);
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->geometry();
    move(area.x() + (area.width() - kWidth) / 2, area.y() + (area.height() - kHeight) / 2);
  }
}

void TGetHttpFm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  Timer->start();
}

Status TGetHttpFm::FetchAway(const PageImageFetch::Step& step, std::string* body) {
  std::atomic<bool> done{false};
  Status status;
  std::thread worker([&] {
    status = fetcher_.Fetch(step.url, step.referer, step.limits, body);
    done = true;
  });
  QEventLoop loop;
  QTimer poll;
  connect(&poll, &QTimer::timeout, &loop, [&] {
    if (done) loop.quit();
  });
  poll.start(20);
  if (!done) loop.exec(QEventLoop::ExcludeUserInputEvents);
  worker.join();
  return status;
}

void TGetHttpFm::TimerTimer() {
  Timer->stop();
  Progress->setMaximum(static_cast<int>(fetch_.size()));
  Progress->setValue(0);
  PageImageFetch::Step step;
  while (fetch_.Next(&step)) {
    Progress->setValue(static_cast<int>(step.index) + 1);
    GetFileName->setText(FromCp932(step.written));
    std::string body;
    Status s = Status::Invalid("not fetched");
    if (!step.url.empty()) {
      GetFileName->setText(QString::fromStdString(step.url));
      s = FetchAway(step, &body);
    }
    fetch_.Accept(step, s, body);
  }
  accept();
}

}  // namespace quill
