// Links inside the text of a card: the link around a position of the text
// (the caret at Shift+Enter or a double click), and opening it.
//
// A link is one of
//   "mailto:…", "http://…", "https://…"   an address, opened as it stands;
//   "<file=" path ">"                      a file (a bare name lives in the
//                                          data folder);
//   "<card=" title ">"                     another card, by its exact title;
//   a word holding "@"                     a mail address ("mailto:" added).
// Texts are CP932.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace quill {

class FileEnv;
class Shell;
class Ui;

struct TextLink {
  enum class Kind { kNone, kMail, kWeb, kFile, kCard, kMailAddress };
  Kind kind = Kind::kNone;
  // The whole link from its start ("http://x", "<file=/p", "a@b").
  std::string text;
};

// The link around byte offset `pos` of `text`. The scan goes back from pos
// to a link's start and stops at a double-byte character, at ",", CR, LF,
// TAB, "(", ")" and at the start of the text; without a link start, the
// word after the nearest blank or colon is a mail address when it holds an
// "@" before its end. A link ends at those delimiters; an address also at
// a blank and a double-byte character, a file or card link at ">".
TextLink FindLinkAt(std::string_view text, size_t pos);

// What opening a link needs of the program.
struct LinkContext {
  Shell& shell;
  Ui& ui;
  FileEnv& env;
  // The open data set's folder, ending with "/".
  std::string data_folder;
  // Opens the first live card with this exact title (nothing when none).
  std::function<void(const std::string& title)> open_card;
};

// Opens the link around `pos`: an address through the shell; a file
// through the shell, after offering to create it empty when it is missing
// ("No" opens nothing); a card by its title. No link: nothing.
void OpenLinkAt(std::string_view text, size_t pos, LinkContext& context);

}  // namespace quill
