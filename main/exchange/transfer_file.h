// Writing the cards of the folder tree into a transfer file and merging a
// transfer file into the open data set (the file's bytes: transfer_format.h).
//
// Cards are matched by their identity, creation time and creation tick: an
// incoming card that is not there is added with that identity (so its
// card id is the one it had where it was written); one that is there is
// rewritten when the incoming one is newer, the existing one is in the
// bin, or the read takes every card (AllTorikomi). Moving an existing card
// to another folder and overwriting a locked one are asked first.
//
// Paths here are UTF-8 file names; folder paths of cards are CP932.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

#include "platform/status.h"

namespace quill {

class FolderTreeModel;
class TransferDialogs;

// What the transfer works with: the tree with its store, settings, Ui and
// view, the dialogs, and the window's AllTorikomi flag.
struct TransferContext {
  FolderTreeModel& form;
  TransferDialogs& dialogs;
  // 1: every incoming card is taken without comparing update times.
  // Cleared at the end of every read.
  int AllTorikomi = 0;
};

// Options of a write besides the three flags.
struct TransferWriteOptions {
  // Cards whose folder path is rename_from or lies below it are written
  // with that part of the path replaced by rename_to (the copy of a
  // folder), without touching the store.
  std::string rename_from, rename_to;
};

struct TransferWriteResult {
  int written = 0;
  // Titles of the cards in the tree that could not be read: left out.
  std::vector<std::string> unreadable;
};

// Writes "toquilbo.dat" into folder (a "/" is added when missing): every
// card (all = 1) or only the marked ones, in tree order; new_ids = 1 gives
// each written card a new identity from the clock; tmp_folder = 1 writes
// "TmpFolder" as every card's folder path. The file replaces the old one
// only when it was written whole. kTransferWritten (0); kTransferFailed (1):
// the file could not be created or written (the old file is as it was);
// kTransferEnded (2): a card read met the card store's fatal status, which
// EndOnFatal has answered (the old file is as it was; the caller shows
// nothing more).
inline constexpr int kTransferWritten = 0;
inline constexpr int kTransferFailed = 1;
inline constexpr int kTransferEnded = 2;
int WriteTransferFile(TransferContext& ctx, const std::string& folder, int all, int new_ids,
                      int tmp_folder, TransferWriteResult* result = nullptr,
                      const TransferWriteOptions& options = {});

// How a read ended.
enum class ReadEnd {
  kComplete,       // every card of the file was taken (or skipped as answered)
  kStoppedByUser,  // a question was answered with stop
  kNoSpace,        // too little free space ("空き容量が少ないので中断します" shown)
  kWriteRefused,   // a card could not be written (its message shown)
  kTruncated,      // the file ends inside a card ("ファイルが異常です。" shown)
  kFatal,          // the card store's fatal status, answered by EndOnFatal
};

struct TransferReadResult {
  ReadEnd end = ReadEnd::kComplete;
  int added = 0, rewritten = 0;
  // Cards whose text is longer than a card can hold: left out, and named
  // in a warning at the end of the read.
  std::vector<std::string> too_long;
};

// Merges a transfer file: with is_folder = 1, path is a folder and
// "toquilbo.dat" in it is read; with 0, path is the file. 1: the file is
// missing ("ファイルがありません" when a folder was given) or its header is
// not accepted ("ファイルが異常です。"); nothing is read. 0: the read ran
// (result->end says whether it took the whole file; cards taken before a
// stop stay). AllTorikomi is cleared and the editor cleared; the caller
// rebuilds the tree.
int ReadTransferFile(TransferContext& ctx, const std::string& path, int is_folder,
                     TransferReadResult* result = nullptr);

// Makes sure a folder row exists for every level of the folder path
// (CP932, names joined by single blanks). made: the folder paths known to
// exist during one run, to which the checked levels are added. A refused
// write is returned; the levels before it stay.
Status EnsureFolderPath(FolderTreeModel& form, const std::string& folder_path,
                        std::unordered_set<std::string>* made);

// One entry per live card row of the card table (folder rows and erased
// rows left out).
struct IdEntry {
  int64_t row = -1;
  uint32_t ctime = 0, ctick = 0, utime = 0;
  char deleted = 0;  // 'D' in the bin
  bool locked = false;
};
Status BuildIdTable(FolderTreeModel& form, std::vector<IdEntry>* table);

// Runs the path dialog in the given mode with the history FromPath; OK:
// 0, *folder = the chosen folder as a UTF-8 path ending in "/", FromPath
// updated and settings group 13 stored, AllTorikomi set from the check box
// (mode 2). A path of blanks only is refused with a message and the
// dialog comes again. Cancel: 1.
int AskFolderPath(TransferContext& ctx, std::string* folder, int mode);

// The titles one to a line, each ended by CR LF, for a warning's list.
std::string JoinLines(const std::vector<std::string>& titles);

}  // namespace quill
