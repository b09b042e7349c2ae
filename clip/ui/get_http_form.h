// TGetHttpFm: the small borderless window that shows the images of a
// captured page being fetched. Its timer's first tick runs the fetch: each
// image is fetched on a worker thread while the window keeps painting its
// progress and the address; the window closes itself after the last.
#pragma once

#include <QDialog>

#include "clip/page_images.h"
#include "platform/http_fetcher.h"

class QLabel;
class QProgressBar;
class QTimer;

namespace quill {

class TGetHttpFm : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kWidth = 393;
  static constexpr int kHeight = 65;

  TGetHttpFm(PageImageFetch& fetch, HttpFetcher& fetcher, QWidget* parent = nullptr);

  QProgressBar* Progress;
  QLabel* GetFileName;
  QTimer* Timer;

 public slots:
  void TimerTimer();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  // Runs one fetch off this thread, the event loop turning meanwhile.
  Status FetchAway(const PageImageFetch::Step& step, std::string* body);

  PageImageFetch& fetch_;
  HttpFetcher& fetcher_;
};

}  // namespace quill
