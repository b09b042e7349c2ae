#include "clip/clip_history.h"

#include <algorithm>

#include "platform/sjis.h"
#include "store/card_store.h"

namespace quill {

namespace {

constexpr std::string_view kCrLf = "\r\n";

// Reads lines from the file's bytes: a line ends at CR LF, at a CR alone
// or at an LF alone.
class LineReader {
 public:
  explicit LineReader(std::string_view bytes) : rest_(bytes) {}
  // The next line, without its end. With a limit, a longer line gives its
  // first `limit` bytes (one less when that would split a double-byte
  // character), and the rest of it is read as the next line.
  bool Next(std::string_view* line, size_t limit = std::string_view::npos) {
    if (rest_.empty()) return false;
    const size_t end = std::min(rest_.find_first_of("\r\n"), rest_.size());
    if (end > limit) {
      size_t cut = limit;
      if (cut > 0 && SjisCharClass(rest_, static_cast<long>(cut)) == 2) --cut;
      *line = rest_.substr(0, cut);
      rest_.remove_prefix(cut);
      return true;
    }
    *line = rest_.substr(0, end);
    size_t next = end;
    if (next < rest_.size()) {
      next += rest_.compare(next, 2, "\r\n") == 0 ? 2 : 1;
    }
    rest_.remove_prefix(next);
    return true;
  }

 private:
  std::string_view rest_;
};

bool HoldsSeparatorLine(std::string_view text) {
  LineReader lines(text);
  std::string_view line;
  while (lines.Next(&line)) {
    if (line == kRecordSeparator) return true;
  }
  return false;
}

}  // namespace

std::string HistoryTitle(std::string_view text) {
  return text.empty() ? std::string() : store::MakeDefaultTitle(text);
}

void ClipHistory::Add(const std::string& text) {
  auto found = std::find(HistoryTexts.begin(), HistoryTexts.end(), text);
  // The entry that moves to the front: the equal one, else the oldest,
  // which drops out.
  size_t i = found != HistoryTexts.end() ? static_cast<size_t>(found - HistoryTexts.begin())
                                         : kEntries - 1;
  std::rotate(HistoryTexts.begin(), HistoryTexts.begin() + i, HistoryTexts.begin() + i + 1);
  std::rotate(HistoryTitles.begin(), HistoryTitles.begin() + i, HistoryTitles.begin() + i + 1);
  if (found == HistoryTexts.end()) {
    HistoryTexts[0] = text;
    HistoryTitles[0] = HistoryTitle(text);
  }
}

bool ClipHistory::CaptureFrom(Clipboard& clipboard) {
  if (!clipboard.HasText()) return false;
  Add(clipboard.Text());
  return true;
}

bool ClipHistory::Savable(std::string_view text) {
  return text.size() <= kMaxSavedText && !HoldsSeparatorLine(text);
}

std::string ClipHistory::Serialize() const {
  std::string out;
  for (size_t i = 0; i < kEntries; ++i) {
    if (!Savable(HistoryTexts[i])) continue;
    out.append(HistoryTitles[i]).append(kCrLf);
    out.append(HistoryTexts[i]).append(kCrLf);
    out.append(kRecordSeparator).append(kCrLf);
  }
  return out;
}

void ClipHistory::Parse(std::string_view bytes) {
  LineReader lines(bytes);
  std::string_view line;
  for (size_t i = 0; i < kEntries && lines.Next(&line, kMaxTitleLine); ++i) {
    HistoryTitles[i] = std::string(line);
    std::string text;
    bool first = true;
    while (lines.Next(&line) && line != kRecordSeparator) {
      if (!first) text.append(kCrLf);
      text.append(line);
      first = false;
    }
    HistoryTexts[i] = std::move(text);
  }
}

void ClipHistory::Load(FileEnv& env, const std::string& path, bool clip_save) {
  if (!clip_save) {
    if (env.Exists(path)) env.Remove(path);
    return;
  }
  std::string bytes;
  if (!env.ReadFile(path, &bytes).ok()) return;
  Parse(bytes);
}

Status ClipHistory::Save(FileEnv& env, const std::string& path) const {
  return env.WriteFileAtomic(path, Serialize());
}

}  // namespace quill
