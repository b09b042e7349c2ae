// FakeClipboard: both selections in memory, as the desktop would hold them.
//
// Text is kept the way the desktop keeps it: UTF-8 with LF, as the format
// "text/plain;charset=utf-8", so the conversion at the edge is exercised.
// Other applications are scripted: OtherSets* makes another owner take a
// selection, OtherFetches reads what the program offers (and counts it as
// a fetch). Every change is counted and, unless notices are queued,
// reported to the listener at once; with queue_notices set they wait for
// DeliverNotices (a test calls it where the event loop would run).
// Every call of the program that changes something is appended to log()
// ("set clipboard", "clear primary", "restore clipboard", ...).
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "platform/clipboard.h"
#include "platform/text_codec.h"

namespace quill {

class FakeClipboard final : public Clipboard {
 public:
  static constexpr const char* kTextMime = "text/plain;charset=utf-8";

  // Clipboard

  bool HasText(Selection s = Selection::kClipboard) override {
    return FindText(At(s)) != nullptr;
  }
  std::string Text(Selection s = Selection::kClipboard) override {
    const ClipboardFormat* f = FindText(At(s));
    return f != nullptr ? LfToCrLf(Utf8ToCp932(f->data)) : std::string();
  }
  void SetText(const std::string& cp932, Selection s = Selection::kClipboard) override {
    log_.push_back("set " + Name(s));
    Change(s, {{{kTextMime, Cp932ToUtf8(CrLfToLf(cp932))}}}, true);
  }
  bool HasHtml(Selection s = Selection::kClipboard) override {
    for (const ClipboardFormat& f : At(s).snapshot.formats) {
      if (f.mime_type == kHtmlMimeType) return true;
    }
    return false;
  }
  ClipboardSnapshot Snapshot(Selection s = Selection::kClipboard) override {
    return At(s).snapshot;
  }
  void Restore(const ClipboardSnapshot& snapshot, Selection s = Selection::kClipboard) override {
    log_.push_back("restore " + Name(s));
    Change(s, snapshot, true);
  }
  void Clear(Selection s = Selection::kClipboard) override {
    log_.push_back("clear " + Name(s));
    Change(s, {}, true);
  }
  bool OwnsSelection(Selection s = Selection::kClipboard) override { return At(s).ours; }
  uint64_t FetchCount(Selection s = Selection::kClipboard) override { return At(s).fetches; }
  void SetChangeListener(ChangeListener listener) override { listener_ = std::move(listener); }

  // Script of the other applications

  // Another application takes the selection offering these formats.
  void OtherSets(ClipboardSnapshot snapshot, Selection s = Selection::kClipboard) {
    Change(s, std::move(snapshot), false);
  }
  // Another application takes the selection offering text, given as UTF-8
  // with LF as it would be on the desktop.
  void OtherSetsUtf8(const std::string& utf8, Selection s = Selection::kClipboard) {
    OtherSets({{{kTextMime, utf8}}}, s);
  }
  // The same, given as the program's text (CP932 with CR LF).
  void OtherSetsText(const std::string& cp932, Selection s = Selection::kClipboard) {
    OtherSetsUtf8(Cp932ToUtf8(CrLfToLf(cp932)), s);
  }
  // Another application reads the selection (pastes it). When the program
  // owns it, the read counts as a fetch from the program.
  ClipboardSnapshot OtherFetches(Selection s = Selection::kClipboard) {
    State& st = At(s);
    if (st.ours) ++st.fetches;
    return st.snapshot;
  }
  // The selection's text as another application would paste it (CP932).
  std::string OtherPastesText(Selection s = Selection::kClipboard) {
    OtherFetches(s);
    return Text(s);
  }

  // Notices

  bool queue_notices = false;
  void DeliverNotices() {
    while (!pending_.empty()) {
      ClipboardChange c = pending_.front();
      pending_.pop_front();
      if (listener_) listener_(c);
    }
  }
  size_t pending_notices() const { return pending_.size(); }

  // Every change of the selection so far (the program's and the others').
  int changes(Selection s = Selection::kClipboard) { return At(s).changes; }
  std::vector<std::string>& log() { return log_; }

 private:
  struct State {
    ClipboardSnapshot snapshot;
    bool ours = false;
    uint64_t fetches = 0;
    int changes = 0;
  };

  State& At(Selection s) { return s == Selection::kPrimary ? primary_ : clipboard_; }
  static std::string Name(Selection s) {
    return s == Selection::kPrimary ? "primary" : "clipboard";
  }
  static const ClipboardFormat* FindText(const State& st) {
    for (const ClipboardFormat& f : st.snapshot.formats) {
      if (f.mime_type.rfind("text/plain", 0) == 0) return &f;
    }
    return nullptr;
  }
  void Change(Selection s, ClipboardSnapshot snapshot, bool ours) {
    State& st = At(s);
    st.snapshot = std::move(snapshot);
    st.ours = ours;
    ++st.changes;
    pending_.push_back({s, ours});
    if (!queue_notices) DeliverNotices();
  }

  State clipboard_;
  State primary_;
  ChangeListener listener_;
  std::deque<ClipboardChange> pending_;
  std::vector<std::string> log_;
};

}  // namespace quill
