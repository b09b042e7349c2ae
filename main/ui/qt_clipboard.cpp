#include "main/ui/qt_clipboard.h"

#include <QClipboard>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QMimeData>
#include <QStringList>
#include <QVariant>
#include <optional>
#include <string>
#include <vector>

#include "platform/log.h"
#include "platform/text_codec.h"
#include "platform/x11/x11_selection_probe.h"

namespace quill {

namespace {

QClipboard::Mode ModeOf(Selection s) {
  return s == Selection::kPrimary ? QClipboard::Selection : QClipboard::Clipboard;
}

size_t IndexOf(Selection s) { return s == Selection::kPrimary ? 1 : 0; }

// Formats a snapshot keeps: MIME types, but not Qt's image format, which
// Qt makes from the image types themselves.
bool Keeps(const QString& format) {
  return format.contains(QLatin1Char('/')) &&
         !format.startsWith(QLatin1String("application/x-qt-"));
}

// Another owner answers each request of ours in its own time (the X back
// end gives it up to 5 s a request): a read this slow is logged, and a
// snapshot leaves out what it has not read when its time is up.
constexpr qint64 kSlowReadMs = 1000;
constexpr qint64 kSnapshotBudgetMs = 1000;
// How long an owner of ours to read gets to answer a request for its
// targets before it counts as not answering.
constexpr int kOwnerAnswerMs = 1000;

const char* NameOf(Selection s) { return s == Selection::kPrimary ? "PRIMARY" : "CLIPBOARD"; }

// Logs a read of the selection from another owner that took long.
class ReadTimer {
 public:
  ReadTimer(const char* what, Selection s) : what_(what), selection_(s) { timer_.start(); }
  ~ReadTimer() {
    const qint64 ms = timer_.elapsed();
    if (ms <= kSlowReadMs) return;
    LogLine(std::string("clipboard read: ") + what_ + " of " + NameOf(selection_) +
            " took " + std::to_string(ms) + " ms; its owner answers slowly");
  }
  ReadTimer(const ReadTimer&) = delete;
  ReadTimer& operator=(const ReadTimer&) = delete;

 private:
  const char* what_;
  Selection selection_;
  QElapsedTimer timer_;
};

// Marks a scope in which the program reads its own clipboard data.
class ReadingScope {
 public:
  explicit ReadingScope(bool& flag) : flag_(flag), was_(flag) { flag_ = true; }
  ~ReadingScope() { flag_ = was_; }
  ReadingScope(const ReadingScope&) = delete;
  ReadingScope& operator=(const ReadingScope&) = delete;

 private:
  bool& flag_;
  bool was_;
};

}  // namespace

// The program's offer: counts each request for its data that another
// application makes (the X back end answers those from retrieveData).
class QtClipboard::CountingMimeData final : public QMimeData {
 public:
  CountingMimeData(std::shared_ptr<Counts> counts, size_t index)
      : counts_(std::move(counts)), index_(index) {}

 protected:
  QVariant retrieveData(const QString& format, QMetaType type) const override {
    if (!counts_->reading) ++counts_->fetches[index_];
    return QMimeData::retrieveData(format, type);
  }

 private:
  std::shared_ptr<Counts> counts_;
  size_t index_;
};

QtClipboard::QtClipboard(QClipboard* clipboard, QObject* parent)
    : QObject(parent),
      clipboard_(clipboard != nullptr ? clipboard : QGuiApplication::clipboard()) {
  if (QGuiApplication::platformName() == QLatin1String("xcb")) probe_ = X11SelectionProbe::Open();
  connect(clipboard_, &QClipboard::changed, this, [this](QClipboard::Mode mode) {
    if (!listener_ || mode == QClipboard::FindBuffer) return;
    ClipboardChange change;
    change.selection = mode == QClipboard::Selection ? Selection::kPrimary : Selection::kClipboard;
    change.ours = OwnsSelection(change.selection);
    listener_(change);
  });
}

QtClipboard::~QtClipboard() = default;

bool QtClipboard::Readable(Selection s) {
  if (probe_ == nullptr || OwnsSelection(s)) return true;
  bool asked = false;
  const bool answers = probe_->OwnerAnswers(s == Selection::kPrimary, kOwnerAnswerMs, &asked);
  if (!answers && asked) {
    LogLine(std::string("clipboard read: the owner of ") + NameOf(s) + " did not answer within " +
            std::to_string(kOwnerAnswerMs) + " ms; it is left unread until another owner takes it");
  }
  return answers;
}

bool QtClipboard::HasText(Selection s) {
  if (!Readable(s)) return false;
  ReadingScope scope(counts_->reading);
  ReadTimer timer("the formats", s);
  const QMimeData* data = clipboard_->mimeData(ModeOf(s));
  return data != nullptr && data->hasText();
}

std::string QtClipboard::Text(Selection s) {
  if (!Readable(s)) return std::string();
  ReadingScope scope(counts_->reading);
  ReadTimer timer("the text", s);
  const QString text = clipboard_->text(ModeOf(s));
  return LfToCrLf(Utf8ToCp932(text.toUtf8().toStdString()));
}

void QtClipboard::SetText(const std::string& cp932, Selection s) {
  auto* data = NewOffer(s);
  data->setText(QString::fromStdString(Cp932ToUtf8(CrLfToLf(cp932))));
  Offer(data, s);
}

bool QtClipboard::HasHtml(Selection s) {
  if (!Readable(s)) return false;
  ReadingScope scope(counts_->reading);
  ReadTimer timer("the formats", s);
  const QMimeData* data = clipboard_->mimeData(ModeOf(s));
  return data != nullptr && data->hasFormat(QString::fromLatin1(kHtmlMimeType));
}

ClipboardSnapshot QtClipboard::Snapshot(Selection s) {
  if (!Readable(s)) return {};
  ReadingScope scope(counts_->reading);
  ReadTimer timer("the snapshot", s);
  QElapsedTimer budget;
  budget.start();
  ClipboardSnapshot snapshot;
  const QMimeData* data = clipboard_->mimeData(ModeOf(s));
  if (data == nullptr) return snapshot;
  QStringList formats;
  for (const QString& format : data->formats()) {
    if (Keeps(format)) formats.append(format);
  }
  // The text is read first, so that a snapshot cut short still holds it;
  // the snapshot keeps the order offered.
  std::vector<std::optional<QByteArray>> read(static_cast<size_t>(formats.size()));
  const auto is_text = [&](qsizetype i) {
    return formats[i].startsWith(QLatin1String("text/plain"));
  };
  std::string left_out;
  for (bool text_pass : {true, false}) {
    for (qsizetype i = 0; i < formats.size(); ++i) {
      if (is_text(i) != text_pass) continue;
      if (!text_pass && budget.elapsed() > kSnapshotBudgetMs) {
        left_out += (left_out.empty() ? "" : ", ") + formats[i].toStdString();
        continue;
      }
      read[static_cast<size_t>(i)] = data->data(formats[i]);
    }
  }
  for (qsizetype i = 0; i < formats.size(); ++i) {
    if (const auto& bytes = read[static_cast<size_t>(i)]) {
      snapshot.formats.push_back({formats[i].toStdString(), bytes->toStdString()});
    }
  }
  if (!left_out.empty()) {
    LogLine(std::string("clipboard read: the snapshot of ") + NameOf(s) + " left out " +
            left_out + " after " + std::to_string(budget.elapsed()) + " ms");
  }
  return snapshot;
}

void QtClipboard::Restore(const ClipboardSnapshot& snapshot, Selection s) {
  auto* data = NewOffer(s);
  for (const ClipboardFormat& f : snapshot.formats) {
    data->setData(QString::fromStdString(f.mime_type), QByteArray::fromStdString(f.data));
  }
  Offer(data, s);
}

void QtClipboard::Clear(Selection s) {
  Offer(NewOffer(s), s);
}

QtClipboard::CountingMimeData* QtClipboard::NewOffer(Selection s) {
  return new CountingMimeData(counts_, IndexOf(s));
}

void QtClipboard::Offer(CountingMimeData* data, Selection s) {
  clipboard_->setMimeData(data, ModeOf(s));
}

bool QtClipboard::OwnsSelection(Selection s) {
  return s == Selection::kPrimary ? clipboard_->ownsSelection() : clipboard_->ownsClipboard();
}

uint64_t QtClipboard::FetchCount(Selection s) { return counts_->fetches[IndexOf(s)]; }

void QtClipboard::SetChangeListener(ChangeListener listener) { listener_ = std::move(listener); }

}  // namespace quill
