#include "main/ui/qt_clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QVariant>

#include "platform/text_codec.h"

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
  connect(clipboard_, &QClipboard::changed, this, [this](QClipboard::Mode mode) {
    if (!listener_ || mode == QClipboard::FindBuffer) return;
    ClipboardChange change;
    change.selection = mode == QClipboard::Selection ? Selection::kPrimary : Selection::kClipboard;
    change.ours = OwnsSelection(change.selection);
    listener_(change);
  });
}

bool QtClipboard::HasText(Selection s) {
  ReadingScope scope(counts_->reading);
  const QMimeData* data = clipboard_->mimeData(ModeOf(s));
  return data != nullptr && data->hasText();
}

std::string QtClipboard::Text(Selection s) {
  ReadingScope scope(counts_->reading);
  const QString text = clipboard_->text(ModeOf(s));
  return LfToCrLf(Utf8ToCp932(text.toUtf8().toStdString()));
}

void QtClipboard::SetText(const std::string& cp932, Selection s) {
  auto* data = NewOffer(s);
  data->setText(QString::fromStdString(Cp932ToUtf8(CrLfToLf(cp932))));
  Offer(data, s);
}

bool QtClipboard::HasHtml(Selection s) {
  ReadingScope scope(counts_->reading);
  const QMimeData* data = clipboard_->mimeData(ModeOf(s));
  return data != nullptr && data->hasFormat(QString::fromLatin1(kHtmlMimeType));
}

ClipboardSnapshot QtClipboard::Snapshot(Selection s) {
  ReadingScope scope(counts_->reading);
  ClipboardSnapshot snapshot;
  const QMimeData* data = clipboard_->mimeData(ModeOf(s));
  if (data == nullptr) return snapshot;
  for (const QString& format : data->formats()) {
    if (!Keeps(format)) continue;
    const QByteArray bytes = data->data(format);
    snapshot.formats.push_back({format.toStdString(), bytes.toStdString()});
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
