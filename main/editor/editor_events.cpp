#include "main/editor/editor_events.h"

#include <algorithm>

#include "platform/sjis.h"

namespace quill {

MainKeyResult MainKeyMap(MainKey key, const MainKeyState& s) {
  using C = MainKeyCommand;
  auto run = [](C c) { return MainKeyResult{c, true}; };
  if (s.alt) {
    // Only Alt+F4 belongs to the map; other Alt keys are the menus'.
    return key == MainKey::kF4 && !s.shift && !s.ctrl ? run(C::kMinimize) : MainKeyResult{};
  }
  if (s.shift && !s.ctrl) {
    switch (key) {
      case MainKey::kF3: return run(C::kFindNext);
      case MainKey::kF5: return run(C::kTikan);
      case MainKey::kF6: return run(C::kFocusSyutten);
      case MainKey::kF7: return run(C::kKindButton);
      case MainKey::kF8: return s.ippatu_enabled ? run(C::kFocusIppatuPaste) : MainKeyResult{};
      case MainKey::kF9: return s.csvhtml_enabled ? run(C::kFocusCsvHtmlCK) : MainKeyResult{};
      default: return {};
    }
  }
  if (s.ctrl && !s.shift) {
    switch (key) {
      case MainKey::kF6: return run(C::kToFloppy);
      case MainKey::kF7: return run(C::kDel);
      case MainKey::kF8: return run(C::kCancel);
      case MainKey::kF: return run(s.text_focused ? C::kFindInCard : C::kCardSearch);
      case MainKey::kS: return run(C::kSave);
      default: return {};
    }
  }
  if (s.shift || s.ctrl) return {};
  switch (key) {
    case MainKey::kF3: return run(C::kFindNext);
    case MainKey::kF5: return run(C::kWindowList);
    case MainKey::kF6: return run(C::kFocusTree);
    case MainKey::kF7: return run(C::kFocusTitle);
    case MainKey::kF8:
      if (s.grid_visible) return run(C::kFocusGrid);
      return s.html_shown ? MainKeyResult{} : run(C::kFocusText);
    case MainKey::kF9: return run(C::kAddNew);
    default: return {};
  }
}

std::string AutoIndentBreak(std::string_view text, size_t caret) {
  caret = std::min(caret, text.size());
  const size_t nl = caret == 0 ? std::string_view::npos : text.rfind('\n', caret - 1);
  size_t i = nl == std::string_view::npos ? 0 : nl + 1;
  std::string out = "\r\n";
  while (i < caret) {
    if (text[i] == ' ' || text[i] == '\t') {
      out.push_back(text[i]);
      ++i;
    } else if (i + 1 < caret && text.substr(i, 2) == "\x81\x40") {  // "　"
      out.append("\x81\x40");
      i += 2;
    } else {
      break;
    }
  }
  return out;
}

size_t LogicalLineEnd(std::string_view text, size_t start) {
  const size_t cr = text.find('\r', std::min(start, text.size()));
  return cr == std::string_view::npos ? text.size() : cr;
}

namespace {

// The first n characters of s, double-byte characters counted as one.
std::string_view FirstCharacters(std::string_view s, size_t n) {
  size_t i = 0;
  for (size_t count = 0; count < n && i < s.size(); ++count) {
    i += quill::IsSjisLead(static_cast<unsigned char>(s[i])) && i + 1 < s.size() ? 2 : 1;
  }
  return s.substr(0, i);
}

}  // namespace

std::optional<std::string> TitleFromText(std::string_view text, std::string_view selection,
                                         size_t limit) {
  std::string t;
  if (!selection.empty()) {
    t = std::string(FirstCharacters(selection, 40));
  } else {
    t = std::string(text.substr(0, 80));
    // A double-byte character cut at byte 80 goes whole.
    if (text.size() > 80 && quill::SjisCharClass(text, 80) == 2) t.pop_back();
  }
  const size_t lead = t.find_first_not_of("\r\n \t");
  t.erase(0, lead == std::string::npos ? t.size() : lead);
  quill::TrimBoth(t);
  if (t.empty()) return std::nullopt;
  const size_t brk = t.find_first_of("\r\n");
  if (brk != std::string::npos && brk < 40) t.erase(brk);
  quill::TrimRight(t);
  quill::TruncateSjis(t, limit);
  if (t.empty()) return std::nullopt;
  return t;
}

bool DoublePressWatch::Press(int x, int y, uint32_t tick) {
  const bool twice = pressed_ && x == x_ && y == y_ &&
                     static_cast<int32_t>(tick - tick_) >= 0 &&
                     static_cast<int32_t>(tick - tick_) < kDoublePressMs;
  pressed_ = true;
  x_ = x;
  y_ = y;
  tick_ = tick;
  return twice;
}

Placement CheckPlacement(Placement p, const WindowRect& desktop, bool from_timer) {
  if (p.tree_width < kMinTreeWidth + 2) p.tree_width = kMinTreeWidth;
  WindowRect& w = p.window;
  w.bottom = w.top + std::max(w.Height(), kMinWindowHeight);
  w.right = w.left + std::max(w.Width(), kMinWindowWidth);
  if (!from_timer) {
    if (w.left > desktop.right - 10) {
      w.right += desktop.left - w.left;
      w.left = desktop.left;
    }
    if (w.top > desktop.bottom - 50) {
      w.bottom += desktop.top - w.top;
      w.top = desktop.top;
    }
  }
  return p;
}

bool FontNameFits(std::string_view name) { return name.size() <= kMaxFontNameBytes; }

int32_t FontCharset(bool covers_japanese) { return covers_japanese ? 128 : 1; }

bool MayBeDefaultFont(std::string_view name, bool covers_japanese) {
  return covers_japanese || name.starts_with("MeiryoKe");
}

FontStyle FontStyleFlags(int32_t style) {
  return {(style & 1) != 0, (style & 2) != 0, (style & 4) != 0};
}

int32_t FontStyleBits(const FontStyle& s) {
  return (s.bold ? 1 : 0) | (s.italic ? 2 : 0) | (s.underline ? 4 : 0);
}

bool InsertionFits(size_t body, size_t selected, size_t inserted, size_t limit) {
  return body - std::min(selected, body) + inserted <= limit;
}

}  // namespace quill
