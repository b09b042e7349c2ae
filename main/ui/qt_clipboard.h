// QtClipboard: the program's Clipboard on the desktop, over QClipboard
// (CLIPBOARD and, on X, the PRIMARY selection).
//
// Reading a selection that another application owns asks that owner: on
// X an owner that does not answer a quick request for its targets (within
// a second) is left unread until another owner takes the selection, so
// that it holds no one up (the X back end waits 5 s for each request).
//
// Change notices come from QClipboard::changed, which the X back end
// raises for the program's own changes at once and for other owners from
// XFixes selection notices; a change is the program's own while the
// program owns the selection. What the program offers is a QMimeData of
// its own that counts the requests other applications make for its data.
#pragma once

#include <QObject>
#include <cstdint>
#include <memory>

#include "platform/clipboard.h"

class QClipboard;

namespace quill {

class X11SelectionProbe;

class QtClipboard final : public QObject, public Clipboard {
 public:
  // Null: the application's clipboard.
  explicit QtClipboard(QClipboard* clipboard = nullptr, QObject* parent = nullptr);
  ~QtClipboard() override;

  bool HasText(Selection selection = Selection::kClipboard) override;
  std::string Text(Selection selection = Selection::kClipboard) override;
  void SetText(const std::string& cp932, Selection selection = Selection::kClipboard) override;
  bool HasHtml(Selection selection = Selection::kClipboard) override;
  // The MIME formats offered (X target names that are no MIME type, and
  // Qt's own image format, are left out: they are made from the others).
  // The text is read first; once a second has gone by, the formats not yet
  // read are left out (and named in the log).
  ClipboardSnapshot Snapshot(Selection selection = Selection::kClipboard) override;
  void Restore(const ClipboardSnapshot& snapshot,
               Selection selection = Selection::kClipboard) override;
  void Clear(Selection selection = Selection::kClipboard) override;
  bool OwnsSelection(Selection selection = Selection::kClipboard) override;
  uint64_t FetchCount(Selection selection = Selection::kClipboard) override;
  void SetChangeListener(ChangeListener listener) override;

 private:
  class CountingMimeData;
  // A new offer for the selection, which it then gets.
  CountingMimeData* NewOffer(Selection selection);
  void Offer(CountingMimeData* data, Selection selection);
  // Whether the selection may be read: ours, or its owner answers.
  bool Readable(Selection selection);

  // Shared with the offers, which the clipboard may keep after this
  // object has gone.
  struct Counts {
    uint64_t fetches[2] = {0, 0};  // CLIPBOARD, PRIMARY
    // Set while the program reads its own data, which is no fetch.
    bool reading = false;
  };

  QClipboard* clipboard_;
  std::unique_ptr<X11SelectionProbe> probe_;  // on the X display only
  ChangeListener listener_;
  std::shared_ptr<Counts> counts_ = std::make_shared<Counts>();
};

}  // namespace quill
