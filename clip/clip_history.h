// ClipHistory: the last 20 different texts that appeared on the clipboard,
// newest first, each with its automatic title, and the file
// "quillmain.his" in the program folder that keeps them between runs.
//
// The file is CP932, written and read byte for byte, with no header. Each
// entry is one record:
//
//   title CR LF
//   text (its own line ends are CR LF) CR LF
//   kRecordSeparator CR LF
//
// Reading splits lines at LF (a CR before the LF belongs to the line end)
// and ends a text at a line equal to the separator, so a text is never
// written when it holds such a line itself, nor when it is longer than
// 64,000 bytes: the other entries keep their order.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "platform/clipboard.h"
#include "platform/file_env.h"
#include "platform/status.h"

namespace quill {

// The line that ends a text in the history file and in the transfer file.
inline constexpr char kRecordSeparator[] =
    "- - --- ------- - - --- ------- - - --- ------- - - --- -------";

inline constexpr char kClipHistoryFileName[] = "quillmain.his";

class ClipHistory {
 public:
  static constexpr size_t kEntries = 20;
  // The longest text the file keeps.
  static constexpr size_t kMaxSavedText = 64000;
  // A title line read back keeps at most this many bytes; the rest of the
  // line becomes the first line of the text.
  static constexpr size_t kMaxTitleLine = 699;

  // HistoryTitles[0] and HistoryTexts[0] are the newest; empty entries
  // hold empty strings.
  std::array<std::string, kEntries> HistoryTitles;
  std::array<std::string, kEntries> HistoryTexts;

  // Takes `text` as the newest entry: an entry with the same bytes moves
  // to the front, otherwise the oldest is dropped. An empty text is taken
  // like any other (its title is empty).
  void Add(const std::string& text);
  // The clipboard's text into the history (CaptureClipboardHistory);
  // false, with nothing changed, when the clipboard holds no text.
  bool CaptureFrom(Clipboard& clipboard);

  // The file's bytes for the current entries.
  std::string Serialize() const;
  // The entries read from the file's bytes; entries the bytes do not
  // reach keep their values.
  void Parse(std::string_view bytes);
  // Whether an entry's text goes into the file.
  static bool Savable(std::string_view text);

  // LoadClipHistory: with `clip_save` off the file is deleted; otherwise
  // the entries are read from it when it can be read (a missing or
  // unreadable file leaves them as they are).
  void Load(FileEnv& env, const std::string& path, bool clip_save);
  // SaveClipHistory: replaces the file in one atomic step; on failure the
  // old file stays as it was and the failure is returned.
  Status Save(FileEnv& env, const std::string& path) const;
};

// The entry title of a text: its automatic title, empty for an empty text.
std::string HistoryTitle(std::string_view text);

}  // namespace quill
