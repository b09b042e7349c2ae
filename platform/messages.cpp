#include "platform/messages.h"

#include <array>

#include "platform/text_codec.h"

namespace quill {

namespace {

constexpr size_t kMessageCount = static_cast<size_t>(MessageId::kCount);

struct Entry {
  MessageId id;
  const char* utf8;
};

// The texts in UTF-8, converted to CP932 once, at their first use.
constexpr std::array<Entry, kMessageCount> kMessages = {{
    {MessageId::kWarningCaption, "警告"},
    {MessageId::kCautionCaption, "注意"},

    {MessageId::kLowSpaceCannotProcess, "空き容量が少ないので処理できません"},
    {MessageId::kLowSpaceSaveCancelled, "ディスク容量が少なくて保存をキャンセルしました"},
    {MessageId::kConfirmDeleteCard, "このカードを削除していいですか"},
    {MessageId::kConfirmDiscardEdits, "これまでの編集を取り消しますか？"},
    {MessageId::kCardLocked, "ロック中です。"},

    {MessageId::kLowSpaceProgramEnds, "空き容量が少ないので終了します"},
    {MessageId::kFatalRead, "読み込み時に致命的なエラー発生2"},
    {MessageId::kFatalWrite, "書き込み時に致命的なエラー発生2"},
    {MessageId::kFatalGuard, "書き込み時に致命的なエラー発生１"},
    {MessageId::kLowSpaceFolderNotCreated, "空き容量が少ないです。つくれません。"},
    {MessageId::kFolderNameTooLong, "フォルダ名が長いです"},
    {MessageId::kNewFolderExists, "「新規フォルダ」というフォルダがあります"},

    {MessageId::kConfirmMoveMarkedCards, "マークしたカードが全部移動されますがいいですか？"},
    {MessageId::kConfirmMergeFolders, "融合させていいですか"},
    {MessageId::kFolderTooDeepToMove, "フォルダが深くなりすぎて移動できません"},
    {MessageId::kFolderChangeStopped, "処理を途中で中止しました。保存されている状態を表示します。\n%1"},
    {MessageId::kConfirmDeleteMarkedCards, "マークされているカードを削除していいですか"},
    {MessageId::kConfirmDeleteUnmarkedCard,
     "マークされているカードではなくてこのカードを削除していいですか"},
    {MessageId::kConfirmDeleteFolder, "フォルダを削除していいですか"},
    {MessageId::kConfirmDeleteFolderAgain, "フォルダを削除するのですが、ほんとうにいいですか？"},

    {MessageId::kCardIconSheetNotUsable,
     "アイコンファイル %1 を全部は使えません。足りないアイコンは組み込みのもので表示します"},

    {MessageId::kConfirmCloseWhileCardWindowsOpen, "窓編集中です。保存してから終了しますか？"},
    {MessageId::kConfirmResetSettings, "環境設定の情報をクリアしますか？"},
    {MessageId::kOneShotFolderUnset, "一発登録フォルダ指定"},
    {MessageId::kOneShotFolderHint, "%1のフォルダに登録"},
    {MessageId::kWorkFolderNotCreated, "作業フォルダ %1 を作れません（%2）"},
    {MessageId::kWorkFolderNotUsable, "作業フォルダ %1 を使えません（%2）"},
    {MessageId::kCannotWriteFile, "%1 に書き込めません"},
    {MessageId::kCannotReadFile, "%1 を読み込めません"},

    {MessageId::kNoProgramFolder, "プログラムフォルダが決まりません"},
    {MessageId::kProgramFolderNotUsable, "プログラムフォルダ %1 を使えません"},
    {MessageId::kCannotStart, "Quillboxを起動できません"},
    {MessageId::kNoMessageReceiver, "Quillboxのメッセージ受信口を作れません"},
    {MessageId::kInstanceLockFailed, "共有ブロックの排他ロックを取れません"},
    {MessageId::kStaleBlockNotRemoved, "前回の共有ブロックを削除できません"},
    {MessageId::kBlockNotCreated, "共有ブロックを作成できません"},
    {MessageId::kRunningBlockNotOpened, "起動中のQuillboxの共有ブロックを開けません"},
    {MessageId::kRunningBlockMissing, "起動中のQuillboxが共有ブロックを用意していません"},
    {MessageId::kOutOfMemory, "Out of memory"},
    {MessageId::kUnexpectedFailure, "予期しないエラーが起きたので終了します"},

    {MessageId::kDataSetNotFound, "指定されたファイルがありません"},
    {MessageId::kReplaceValuesNotSaved, "置換後の値を保存できませんでした。\n%1"},
    {MessageId::kHotkeyHeldElsewhere,
     "ホットキー %1 は他のプログラムも使っています。\nそのプログラムにもキーが届きます。"},
    {MessageId::kLowSpaceNotRegistered, "空き容量が少ないので登録できません"},
    {MessageId::kNoFolderToSaveIn, "保存するフォルダがありません"},
    {MessageId::kSelectionTooLarge, "選択が大きすぎます"},
    {MessageId::kOneShotDataSetNotOpened, "登録先のデータを開けません。\n%1"},
    {MessageId::kCardNotRegistered, "カードを登録できませんでした。\n%1"},
    {MessageId::kAppendedHint, "%1のカードに追加登録"},

    {MessageId::kLowSpaceStopped, "空き容量が少ないので処理を中止します。"},
    {MessageId::kBatchReplaceTooShort,
     "安全のために短い文字列（６文字未満）の一括置換はできません"},
    {MessageId::kBatchReplaceTooLong,
     "置換するとテキストが長すぎるので、次のカードは変更しませんでした。\n%1"},
    {MessageId::kBatchReplaceFailed, "一括置換を中止しました。\n%1"},
    {MessageId::kSearchFailed, "カードを読めないので検索を中止しました。\n%1"},

    {MessageId::kCardIndexBroken,
     "インデックスが壊れているかも知れません。１度、完全削除をやってみてください。"},
    {MessageId::kIndexRebuilt, "インデックスが壊れていたので、作り直しました。\n%1"},
    {MessageId::kCardWindowCardGone,
     "元のカードがありませんでした。ＴＥＸＴはクリップボードに入れておきます。"},
    {MessageId::kCardWindowLowSpace, "空き容量が少なくて保存を中止しました"},
    {MessageId::kCardWindowTextTooLong, "テキストが長すぎるので保存できません。"},
    {MessageId::kCardWindowDataSetNotOpened, "カードのデータを開けないので保存できません。\n%1"},
    {MessageId::kCardWindowNotSaved, "カードを保存できませんでした。\n%1"},
    {MessageId::kLinkedFileMissing,
     "ファイルがありません。新規に作りますか？(拡張子によってうまく開けない場合があります）"},
    {MessageId::kLinkedFileNotCreated, "作れませんでした"},

    {MessageId::kReloadFirst, "再読込を押してからして下さい。"},
    {MessageId::kBackupShownCardsOnly,
     "表示分しかバックアップされません。いいですか？全部取るときは再読込を押してからして下さい。"},
    {MessageId::kBackupFileUnset, "オプションでバックアップ先が設定されていません"},
    {MessageId::kArchiverNotInstalled, "7-zip32.dllがinstallされてありません"},
    {MessageId::kBackupFailed, "バックアップに失敗しました\n%1"},
    {MessageId::kCheckDisk, "ディスクをチェックしてください"},
    {MessageId::kExternalFolderInvalid,
     "環境設定の外部保存先フォルダの設定が不正です。\n"
     "「その他」のページで、すでにあるフォルダを / で始まるパスで指定するか、空欄にして下さい"
     "（空欄のときはプログラムのフォルダの backup に保存します）。"},
    {MessageId::kBackupNameNotUsable, "データの名前「%1」はバックアップ先の名前に使えません"},
    {MessageId::kBackupPathHasQuote, "バックアップ先に \" は使えません: %1"},
    {MessageId::kBackupPathNotAbsolute, "バックアップ先は / で始まるパスで指定してください: %1"},
    {MessageId::kArchiverResult, "7-zip32が %1 を返しました: %2"},
    {MessageId::kArchiveLacksFile, "%1 に toquilbo.dat が正しく入っていません: %2"},
    {MessageId::kWorkFolderNotRemoved, "作業フォルダ %1 を削除できませんでした: %2"},
    {MessageId::kNoDataSetFiles, "ファイルがありません"},
    {MessageId::kDataSetNotOpened, "データを開けません。\n%1"},
    {MessageId::kDataSetNotClosed,
     "データを正しく閉じられませんでした。失われたものはなく、次に開くときに復旧します。\n%1"},
    {MessageId::kNoDeletedCards, "削除済みカードはありません"},
    {MessageId::kBinNotRead, "削除済みカードを読めません。\n%1"},
    {MessageId::kConfirmEraseChecked, "マークデータを完全に削除してしまって良いですか？"},
    {MessageId::kRestoreFailed, "カードを復活できませんでした。\n%1"},
    {MessageId::kEraseFailed, "完全削除を中止しました。\n%1"},
    {MessageId::kMarkCardsToChange, "変更したいカードにマークを付けて下さい。"},
    {MessageId::kBatchChangeStopped, "一括属性変更を中止しました。\n%1"},
    {MessageId::kConfirmWriteOlderToo, "更新日が古いものも書き出しますか？"},
    {MessageId::kConfirmCaption, "確認"},
    {MessageId::kNoWriteTargetSet, "書き出し先のデータが設定されていません"},

    {MessageId::kQuillboxCaption, "Quillbox"},
    {MessageId::kWrittenOut, "書き出しました"},
    {MessageId::kTakenIn, "取り込みました"},
    {MessageId::kFileMissing, "ファイルがありません"},
    {MessageId::kFileBroken, "ファイルが異常です。"},
    {MessageId::kLowSpaceInterrupted, "空き容量が少ないので中断します"},
    {MessageId::kCardNotWrittenStop, "カードを書き込めないので中断します。\n%1"},
    {MessageId::kTextsTooLongSkipped,
     "テキストが長すぎるので、次のカードは取り込みませんでした。\n%1"},
    {MessageId::kCardsUnreadable, "次のカードは読めないので書き出していません。\n%1"},
    {MessageId::kConfirmCopyFolder, "フォルダのコピーをしますか？"},
    {MessageId::kCopyFolderExists, "コピーする同名のフォルダーがあります"},
    {MessageId::kConfirmCopyMarked, "マークしたデータを複製しますか？"},
    {MessageId::kCopiedToTmpFolder, "TmpFolderに複製データを入れています"},
    {MessageId::kWriteFailed, "書き込みに失敗しました"},
    {MessageId::kNoMarkedCards, "マークがされてがありません"},
    {MessageId::kNotOnClipboard, "クリップボードに入りませんでした"},
    {MessageId::kImportCut,
     "1,000,000バイトを超えた部分は取り込みませんでした。\n%1"},
    {MessageId::kImportNotText,
     "テキストファイルではないので、次のファイルは読み込みませんでした。\n%1"},
    {MessageId::kTableTooLargeForText,
     "表が1,000,000バイトを超えるので、テキストに戻せません。"},
    {MessageId::kTableTooLargeForGrid,
     "表が大きすぎるので、表として開けません。テキストのまま表示します。"},
    {MessageId::kConfirmHtmlToText, "ＨＴＭＬデータですがＴＥＸＴデータに変更しますか？"},

    {MessageId::kPrintHtmlCard, "ブラウザを右クリックして印刷してください。"},
    {MessageId::kPrintFailed, "印刷できませんでした"},

    {MessageId::kClassAlreadyListed, "すでに登録済みです"},
    {MessageId::kNotAnInteger, "'%1' は整数ではありません"},
    {MessageId::kRebuildingIcons, "イメージを更新するため、若干時間がかかります"},
    {MessageId::kCreateDataFilesHere, "新規にファイルをこのディレクトリに作りますか？"},
    {MessageId::kCannotCreateDataFiles, "ファイルが作れません"},
    {MessageId::kIconFileUnusable, "%1 はアイコンに使える画像ではありません"},
    {MessageId::kTabInDataSet, "データ名称とパスにはタブを使えません"},
    {MessageId::kNoFolderChosen,
     "フォルダが指定されていません。フォルダを指定してからＯＫを押して下さい。"},

    {MessageId::kFontNameTooLong, "フォント名が２０BYTE以上のものは使えません。"},
    {MessageId::kDefaultFontNotJapanese, "日本語フォントしかデフォルトにできません。"},
    {MessageId::kHelpPageMissing, "ヘルプが見つかりません。\n%1"},
    {MessageId::kHelpPageNotOpened,
     "ヘルプを開くプログラムが見つかりません。ブラウザで次のファイルを開いてください。\n%1"},
}};

// Each entry sits at its id's place, so the table is indexed by id.
constexpr bool InIdOrder() {
  for (size_t i = 0; i < kMessageCount; ++i) {
    if (static_cast<size_t>(kMessages[i].id) != i) return false;
  }
  return true;
}
static_assert(InIdOrder(), "the message table lists every id once, in the order of MessageId");

std::string Format(std::string_view text, std::initializer_list<std::string_view> args) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 1 < text.size() && text[i + 1] >= '1' && text[i + 1] <= '9') {
      const size_t n = static_cast<size_t>(text[i + 1] - '1');
      if (n < args.size()) {
        out += *(args.begin() + n);
        ++i;
        continue;
      }
    }
    out += text[i];
  }
  return out;
}

}  // namespace

const std::string& MessageText(MessageId id) {
  static const std::array<std::string, kMessageCount> texts = [] {
    std::array<std::string, kMessageCount> t;
    for (size_t i = 0; i < kMessageCount; ++i) t[i] = Utf8ToCp932(kMessages[i].utf8);
    return t;
  }();
  static const std::string none;
  const auto i = static_cast<size_t>(id);
  return i < kMessageCount ? texts[i] : none;
}

std::string FormatMessage(MessageId id, std::initializer_list<std::string_view> args) {
  return Format(MessageText(id), args);
}

std::string MessageUtf8(MessageId id, std::initializer_list<std::string_view> args) {
  const auto i = static_cast<size_t>(id);
  return i < kMessageCount ? Format(kMessages[i].utf8, args) : std::string();
}

std::string OneShotFolderHint(std::string_view folder_path) {
  size_t blank = folder_path.rfind(' ');
  std::string_view name = blank == std::string_view::npos ? folder_path
                                                           : folder_path.substr(blank + 1);
  return FormatMessage(MessageId::kOneShotFolderHint, {name});
}

}  // namespace quill
