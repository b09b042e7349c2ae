#include "main/search/editor_search.h"

#include "main/search/text_find.h"
#include "platform/ui.h"

namespace quill {

bool FindNextInEditor(SearchEditor& edit, Ui& ui, std::string_view pattern, size_t start,
                      int mode) {
  const long hit = FindInText(edit.Text(), pattern, edit.SelText(), start, mode);
  if (hit < 0) {
    ui.MessageBeep();
    return false;
  }
  edit.Select(static_cast<size_t>(hit), pattern.size());
  return true;
}

bool FindPrevInEditor(SearchEditor& edit, Ui& ui, std::string_view pattern, size_t limit,
                      int mode) {
  // The hit at the limit (the selection) is not before it, so the
  // selection plays no part: every hit before the limit counts, the one
  // at the text's start too.
  std::string text = edit.Text(), p(pattern);
  if (mode == 1) {
    text = FoldUpper(text);
    p = FoldUpper(p);
  }
  long last = -1;
  for (size_t from = 0;;) {
    const size_t hit = FindSjis(text, p, from);
    if (hit == kNoHit || hit >= limit) break;
    last = static_cast<long>(hit);
    from = hit + SjisCharWidth(text, hit);
  }
  if (last < 0) {
    ui.MessageBeep();
    return false;
  }
  edit.Select(static_cast<size_t>(last), pattern.size());
  return true;
}

int ReplaceCheckKeyResult(std::string_view key_text) {
  // The half-width kana are those on the same keys of a kana keyboard.
  if (key_text == "R" || key_text == "r" || key_text == "\xBD") return kResultOk;
  if (key_text == "F" || key_text == "f" || key_text == "\xCA") return kReplaceCheckFind;
  if (key_text == "A" || key_text == "a" || key_text == "\xC1") return kReplaceCheckAll;
  return 0;
}

std::vector<TextRange> WordRanges(std::string_view text, const std::set<std::string>& words) {
  std::vector<TextRange> ranges;
  const std::string folded = FoldUpper(text);
  std::string word;
  for (const std::string& w : words) {
    if (w.empty()) continue;
    FoldUpperInto(w, &word);
    for (size_t hit = FindSjis(folded, word, 0); hit != kNoHit;
         hit = FindSjis(folded, word, hit + word.size())) {
      ranges.push_back({hit, word.size()});
    }
  }
  return ranges;
}

}  // namespace quill
