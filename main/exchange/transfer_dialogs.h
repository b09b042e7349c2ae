// The dialogs of the transfer file, the text export and the text import,
// as a port: the window shows them as forms, tests answer them from a
// script (fake_transfer_dialogs.h). Texts are CP932; file paths that come
// back from a file chooser are UTF-8 file names.
#pragma once

#include <string>
#include <vector>

#include "platform/search_dialogs.h"

namespace quill {

// Modes of the path dialog (TReadPath): the title it shows.
inline constexpr int kPathForWrite = 1;      // "他のQuillboxへ渡すために書き出すパス"
inline constexpr int kPathForRead = 2;       // "他のQuillboxで書き出したデータのあるパス"
inline constexpr int kPathForCardFiles = 3;  // "カードを書き出すパス"

struct ReadPathForm {
  int mode = kPathForWrite;
  ComboContent path;          // the combo `path` and its history
  bool all_torikomi = false;  // AllTorikomi, shown for kPathForRead only
};

// The question when an incoming card would change the folder of the card
// that is there (TChgFolderFm).
inline constexpr int kFolderKeep = 7;    // NoChange
inline constexpr int kFolderChange = 6;  // Button2
struct ChangeFolderForm {
  std::string title;        // the incoming card's title
  std::string now_folder;   // NowFolder: the existing card's folder
  std::string read_folder;  // ReadFolder: the incoming folder
  int after_mode = 0;       // AfterSyori: 0 each, 1 same folder alike, 2 all alike
};

// The question when the existing card is locked (TLockCheckFm).
inline constexpr int kLockedUpdate = 6;  // Kousin
inline constexpr int kLockedSkip = 7;    // NotKousin

// The export options (TWriteOpFm).
struct WriteOptionsForm {
  bool to_clip = false;      // ToClip
  bool tab_kugiri = false;   // TabKugiri
  bool kugiri_line = false;  // KugiriLine
  int naiyou = 0;            // KakidasiNaiyou: layout 0..3
};

class TransferDialogs {
 public:
  virtual ~TransferDialogs() = default;
  // 1 OK (the form holds the entries), 2 cancel.
  virtual int RunReadPath(ReadPathForm* form) = 0;
  // kFolderKeep, kFolderChange, or anything else to stop; the form's
  // after_mode comes back as chosen.
  virtual int RunChangeFolder(ChangeFolderForm* form) = 0;
  // kLockedUpdate, kLockedSkip, or anything else to stop.
  virtual int RunLockCheck(const std::string& title) = 0;
  // 1 write, 2 cancel.
  virtual int RunWriteOptions(WriteOptionsForm* form) = 0;
  // The open dialog of the import ("*.txt", several files, files must
  // exist): the chosen files in order; false when cancelled.
  virtual bool ChooseImportFiles(std::vector<std::string>* paths) = 0;
};

}  // namespace quill
