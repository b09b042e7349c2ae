// The in-card search over a text editor and the table grid, each seen
// through a small interface so that the card editor of the main window
// and a card window can both use it.
#pragma once

#include <cstddef>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/screen_geometry.h"

namespace quill {

class Ui;

// A range of the editor's text in bytes.
struct TextRange {
  size_t start = 0;
  size_t length = 0;
  bool operator==(const TextRange&) const = default;
};

// A text editor as the search sees it: its text in CP932 with CR LF, and
// positions in bytes of that text.
class SearchEditor {
 public:
  virtual ~SearchEditor() = default;
  virtual std::string Text() = 0;
  virtual size_t SelStart() = 0;
  virtual std::string SelText() = 0;
  // Focuses the editor and selects length bytes from start.
  virtual void Select(size_t start, size_t length) = 0;
  // Replaces the selection by text, as an edit of the user's (it can be
  // undone); the caret ends after it.
  virtual void ReplaceSelection(const std::string& text) = 0;
  // Colours exactly these ranges (none: no colouring) without changing
  // the text, its undo steps or its modified state.
  virtual void SetHighlights(const std::vector<TextRange>& ranges) = 0;
  // Where the question before a replacement appears.
  virtual ScreenPoint CheckDialogPoint() { return {}; }
};

// The table grid of a table card.
class SearchGrid {
 public:
  virtual ~SearchGrid() = default;
  virtual bool Visible() = 0;
  // Finds s from the cell after (backwards: before) the current one and
  // focuses the grid; the grid beeps when there is no hit.
  virtual void Find(const std::string& s, int mode, bool backwards) = 0;
};

// Selects the first hit of pattern from `start` on (the selected hit
// itself is passed over). No hit: a beep, false.
bool FindNextInEditor(SearchEditor& edit, Ui& ui, std::string_view pattern, size_t start,
                      int mode);
// Selects the last hit of pattern that begins before `limit`. No hit: a
// beep, false.
bool FindPrevInEditor(SearchEditor& edit, Ui& ui, std::string_view pattern, size_t limit,
                      int mode);

// The answer of the question before a replacement to a key typed on it
// (the key's text, CP932): "R", "r" or "ｽ" replace (1), "F", "f" or "ﾊ"
// find the next hit, "A", "a" or "ﾁ" replace all; any other key 0.
int ReplaceCheckKeyResult(std::string_view key_text);

// Every place of every word in text, compared as in mode 1; empty words
// are passed over.
std::vector<TextRange> WordRanges(std::string_view text, const std::set<std::string>& words);

}  // namespace quill
