// Links inside the text of a card: the link around a position of the text
// (the caret at Shift+Enter or a double click), and opening it.
//
// A link is one of
//   "mailto:…", "http://…", "https://…"   an address, opened as it stands;
//   "<file=" path ">"                      a file (a name without "/" lives
//                                          in the data folder);
//   "<card=" id-or-title ">"               another card, by its card id or
//                                          its exact title;
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
  // What it opens: the address ("mailto:" put before a bare mail
  // address), the path after "<file=" or what follows "<card=".
  std::string target;
};

// The link around byte offset `pos` of `text`. The scan goes back from pos
// to a link's start and stops at a double-byte character, at ",", CR, LF,
// TAB, "(", ")" and at the start of the text; without a link start, the
// word after the nearest blank or colon is a mail address when it holds an
// "@" before its end. A link ends at those delimiters; an address also at
// a blank and a double-byte character, a file or card link at ">".
TextLink FindLinkAt(std::string_view text, size_t pos);

// The file a "<file=" link names: a name without "/" (and not a Windows
// path) is put after the data folder, which ends with "/".
std::string LinkFilePath(const std::string& path, const std::string& data_folder);
// A path written for Windows: a drive letter and ":", or a "\" (outside
// double-byte characters). Such a file is never offered for creation.
bool IsWindowsPath(std::string_view path);

// What opening a link needs of the program.
struct LinkContext {
  Shell& shell;
  Ui& ui;
  FileEnv& env;
  // The open data set's folder, ending with "/".
  std::string data_folder;
  // Opens the card that "<card=" names (nothing when none).
  std::function<void(const std::string& id_or_title)> open_card;
};

// Opens the link around `pos`: an address through the shell; a file
// through the shell, after offering to create it empty when it is missing
// ("No" opens nothing; an existing file is never emptied; a missing
// Windows path gets a beep); a card through open_card. No link: nothing.
void OpenLinkAt(std::string_view text, size_t pos, LinkContext& context);

}  // namespace quill
