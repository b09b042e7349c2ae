// The text export: cards written into "quillmain.txt" in one of four
// layouts, one file per marked card named after its title, and the
// external save of one card. Files are CP932 with CR LF, written byte for
// byte, and each replaces the old one only when it was written whole.
#pragma once

#include <string>
#include <unordered_set>
#include <vector>

#include "main/exchange/transfer_dialogs.h"
#include "platform/status.h"

namespace quill {

class Clipboard;
class Clock;
class FileEnv;
class IniFile;
class Shell;
class Ui;
struct TransferContext;

namespace store {
class CardRecord;
}  // namespace store

inline constexpr char kExportFileName[] = "quillmain.txt";
// The line after every card with OutTextKugiriLine: 56 hyphens.
inline constexpr char kDividingLine[] =
    "--------------------------------------------------------\r\n";
// The clipboard takes the export only below this size.
inline constexpr size_t kClipboardExportLimit = 1099999;

// Writes cards in the layout of the options (naiyou 0..3). The hierarchy
// layout (3) remembers the folder path of the card before.
class ExportLayout {
 public:
  ExportLayout(Clock& clock, const WriteOptionsForm& options) : clock_(clock), options_(options) {}
  void Append(const store::CardRecord& card, std::string* out);

 private:
  Clock& clock_;
  WriteOptionsForm options_;
  std::vector<std::string> previous_;  // folder names of the card before
};

// Replaces the characters that a file name must not hold by their
// double-byte forms, in place (double-byte characters are left alone);
// stops at a "." followed by fewer than 5 bytes and then returns true (the
// title ends in an extension); else false.
bool TitleToFileName(std::string& title);

// The file name (UTF-8) of a card's file: the title through
// TitleToFileName, then converted by FileNameFromCp932 (never a path, no
// control character, never empty, "." or ".."), with default_ext (".txt")
// added when it has no extension. used: the names given so far in one run;
// a repeat gets "(2)", "(3)", ... before its extension.
std::string CardFileName(std::string title, const char* default_ext,
                         std::unordered_set<std::string>* used = nullptr);

// The export command after its dialog: the four settings are read from
// and written to ini (section "Env"); the cards (the marked ones, or all
// when none is marked) go into "quillmain.txt" in the program folder,
// which is then opened (shell) or copied to the clipboard. A failed write
// shows "書き込みに失敗しました" and nothing is opened or copied; cards
// that cannot be read are named in a warning; a read that meets the card
// store's fatal status ends the program (EndOnFatal) and leaves the file
// as it was. Returns the write's status (Ok also when the dialog was
// cancelled).
Status RunTextExport(TransferContext& ctx, IniFile& ini, Shell& shell, Clipboard& clipboard);

// One file per marked card in a folder chosen in the path dialog (mode 3).
// "マークがされてがありません" without marked cards; the card store's fatal
// status ends the program as above.
Status RunCardFileExport(TransferContext& ctx);

// Writes one card's body into folder (UTF-8, ending in "/") as a file
// named after the title (".csv" for a table, whose TABs become ",";
// ".txt" otherwise). A failure shows "書き込みに失敗しました".
Status SaveCardToExternalFile(FileEnv& env, Ui& ui, const std::string& folder,
                              const std::string& title, const std::string& body, bool table);

}  // namespace quill
