// The program's messages to the user, in one table: the texts of message
// dialogs and their captions, warnings, start-up failures and the one-shot
// folder hint of the button bar. Captions of menus, buttons and other
// controls stay with their forms.
//
// Texts are CP932 bytes, as everywhere inside the program. A text may hold
// placeholders %1 .. %9; FormatMessage puts its arguments in their place
// ('%' is never the second byte of a CP932 character, so a placeholder is
// never found inside one).
#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>

namespace quill {

enum class MessageId {
  // Captions of the message dialog.
  kWarningCaption,
  kCautionCaption,

  // The card editor.
  kLowSpaceCannotProcess,
  kLowSpaceSaveCancelled,
  kConfirmDeleteCard,
  kConfirmDiscardEdits,
  kCardLocked,

  // The folder tree.
  kLowSpaceProgramEnds,
  kFatalRead,   // the card store stops: a text cannot be read
  kFatalWrite,  // the card store stops: a text cannot be written
  kFatalGuard,  // the card store stops: a card row cannot be written
  kLowSpaceFolderNotCreated,
  kFolderNameTooLong,
  kNewFolderExists,

  // Folder operations.
  kConfirmMoveMarkedCards,
  kConfirmMergeFolders,
  kFolderTooDeepToMove,
  kFolderChangeStopped,  // %1: the reason
  kConfirmDeleteMarkedCards,
  kConfirmDeleteUnmarkedCard,
  kConfirmDeleteFolder,
  kConfirmDeleteFolderAgain,

  // Marks and icons.
  kCardIconSheetNotUsable,  // %1: the sheet file

  // The main window.
  kConfirmCloseWhileCardWindowsOpen,
  kConfirmResetSettings,
  kOneShotFolderUnset,
  kOneShotFolderHint,  // %1: the folder's name
  kWorkFolderNotCreated,  // %1: the folder, %2: the reason
  kWorkFolderNotUsable,   // %1: the folder, %2: the reason
  kCannotWriteFile,       // %1: the file
  kCannotReadFile,        // %1: the file

  // Start-up.
  kNoProgramFolder,
  kProgramFolderNotUsable,  // %1: the folder
  kCannotStart,
  kNoMessageReceiver,
  kInstanceLockFailed,
  kStaleBlockNotRemoved,
  kBlockNotCreated,
  kRunningBlockNotOpened,
  kRunningBlockMissing,
  // A failure that ends the run: memory ran out, or a failure that names
  // nothing of itself.
  kOutOfMemory,
  kUnexpectedFailure,

  // The main road.
  kDataSetNotFound,
  kReplaceValuesNotSaved,  // %1: the reason
  kHotkeyHeldElsewhere,    // %1: the key names
  kLowSpaceNotRegistered,
  kNoFolderToSaveIn,
  kSelectionTooLarge,
  kOneShotDataSetNotOpened,  // %1: the reason
  kCardNotRegistered,        // %1: the reason
  kAppendedHint,             // %1: the title of the card appended to

  // Search and replace.
  kLowSpaceStopped,
  kBatchReplaceTooShort,
  kBatchReplaceTooLong,  // %1: the titles of the cards left unchanged
  kBatchReplaceFailed,   // %1: the reason
  kSearchFailed,         // %1: the reason

  // Card windows and links in card texts.
  kCardIndexBroken,
  kIndexRebuilt,          // %1: the index files
  kCardWindowCardGone,
  kCardWindowLowSpace,
  kCardWindowTextTooLong,
  kCardWindowDataSetNotOpened,  // %1: the reason
  kCardWindowNotSaved,          // %1: the reason
  kLinkedFileMissing,
  kLinkedFileNotCreated,

  // Backup and the external save.
  kReloadFirst,
  kBackupShownCardsOnly,
  kBackupFileUnset,
  kArchiverNotInstalled,
  kBackupFailed,           // %1: the reason
  kCheckDisk,
  kExternalFolderInvalid,
  kBackupNameNotUsable,    // %1: the data set's name
  kBackupPathHasQuote,     // %1: the path
  kBackupPathNotAbsolute,  // %1: the path
  kArchiverResult,         // %1: the return value, %2: the archiver's output
  kArchiveLacksFile,       // %1: the archive, %2: the reason
  kWorkFolderNotRemoved,   // %1: the folder, %2: the reason

  // Data sets, the bin of deleted cards and the batch change.
  kNoDataSetFiles,
  kDataSetNotOpened,  // %1: the reason
  kDataSetNotClosed,  // %1: the reason
  kNoDeletedCards,
  kBinNotRead,  // %1: the reason
  kConfirmEraseChecked,
  kRestoreFailed,  // %1: the reason
  kEraseFailed,    // %1: the reason
  kMarkCardsToChange,
  kBatchChangeStopped,  // %1: the reason
  kConfirmWriteOlderToo,
  kConfirmCaption,
  kNoWriteTargetSet,

  // Transfer file, text export and import.
  kQuillboxCaption,
  kWrittenOut,
  kTakenIn,
  kFileMissing,
  kFileBroken,
  kLowSpaceInterrupted,
  kCardNotWrittenStop,   // %1: the reason
  kTextsTooLongSkipped,  // %1: the titles
  kCardsUnreadable,      // %1: the titles
  kConfirmCopyFolder,
  kCopyFolderExists,
  kConfirmCopyMarked,
  kCopiedToTmpFolder,
  kWriteFailed,
  kNoMarkedCards,
  kNotOnClipboard,
  kImportCut,            // %1: the files
  kImportNotText,        // %1: the files

  // Table cards and pages.
  kTableTooLargeForText,
  kTableTooLargeForGrid,
  kConfirmHtmlToText,

  // Printing.
  kPrintHtmlCard,
  kPrintFailed,

  // The options dialog and its data-set form.
  kClassAlreadyListed,
  kNotAnInteger,          // %1: the text
  kRebuildingIcons,
  kCreateDataFilesHere,
  kCannotCreateDataFiles,
  kIconFileUnusable,      // %1: the file
  kTabInDataSet,
  kNoFolderChosen,

  // Editor events: fonts and the help page.
  kFontNameTooLong,
  kDefaultFontNotJapanese,
  kHelpPageMissing,  // %1: the page's path
  kHelpPageNotOpened,  // %1: the page's path

  kCount,
};

// The message's text, CP932.
const std::string& MessageText(MessageId id);

// The message's text with %1, %2, ... replaced by args (CP932) in order. A
// placeholder without an argument stays as it is; arguments are inserted
// as they are, never searched for placeholders themselves.
std::string FormatMessage(MessageId id, std::initializer_list<std::string_view> args);

// The same in UTF-8 with UTF-8 arguments, for the message of a Status.
std::string MessageUtf8(MessageId id, std::initializer_list<std::string_view> args = {});

// The hint of the button bar's Save buttons for a one-shot folder path
// (folder names joined by single blanks): the folder's own name, the last
// blank-separated part, followed by "のフォルダに登録". CP932 bytes, not yet
// cut to the block's field.
std::string OneShotFolderHint(std::string_view folder_path);

}  // namespace quill
