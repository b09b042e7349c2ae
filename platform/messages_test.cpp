#include "platform/messages.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/text_codec.h"

namespace quill {
namespace {

TEST(MessagesTest, EveryMessageHasItsTextInCp932) {
  for (int i = 0; i < static_cast<int>(MessageId::kCount); ++i) {
    const auto id = static_cast<MessageId>(i);
    const std::string& text = MessageText(id);
    EXPECT_FALSE(text.empty()) << i;
    // The UTF-8 form says the same: nothing was lost in the conversion.
    EXPECT_EQ(Utf8ToCp932(MessageUtf8(id)), text) << i;
  }
  struct Exact {
    MessageId id;
    std::string cp932;
  };
  const Exact kExact[] = {
      {MessageId::kWarningCaption, "\x8C\x78\x8D\x90"},  // 警告
      {MessageId::kCautionCaption, "\x92\x8D\x88\xD3"},  // 注意
      {MessageId::kLowSpaceCannotProcess,  // 空き容量が少ないので処理できません
       "\x8B\xF3\x82\xAB\x97\x65\x97\xCA\x82\xAA\x8F\xAD\x82\xC8\x82\xA2\x82\xCC\x82\xC5"
       "\x8F\x88\x97\x9D\x82\xC5\x82\xAB\x82\xDC\x82\xB9\x82\xF1"},
      {MessageId::kLowSpaceProgramEnds,  // 空き容量が少ないので終了します
       "\x8B\xF3\x82\xAB\x97\x65\x97\xCA\x82\xAA\x8F\xAD\x82\xC8\x82\xA2\x82\xCC\x82\xC5"
       "\x8F\x49\x97\xB9\x82\xB5\x82\xDC\x82\xB7"},
      {MessageId::kLowSpaceFolderNotCreated,  // 空き容量が少ないです。つくれません。
       "\x8B\xF3\x82\xAB\x97\x65\x97\xCA\x82\xAA\x8F\xAD\x82\xC8\x82\xA2\x82\xC5\x82\xB7"
       "\x81\x42\x82\xC2\x82\xAD\x82\xEA\x82\xDC\x82\xB9\x82\xF1\x81\x42"},
      {MessageId::kConfirmResetSettings,  // 環境設定の情報をクリアしますか？
       "\x8A\xC2\x8B\xAB\x90\xDD\x92\xE8\x82\xCC\x8F\xEE\x95\xF1\x82\xF0"
       "\x83\x4E\x83\x8A\x83\x41\x82\xB5\x82\xDC\x82\xB7\x82\xA9\x81\x48"},
  };
  for (const Exact& e : kExact) EXPECT_EQ(MessageText(e.id), e.cp932);
}

TEST(MessagesTest, FormatFillsPlaceholdersInOrder) {
  // に書き込めません
  const std::string kCannotWrite = "\x82\xC9\x8F\x91\x82\xAB\x8D\x9E\x82\xDF\x82\xDC\x82\xB9\x82\xF1";
  // An argument that itself looks like a placeholder is inserted as it is.
  EXPECT_EQ(FormatMessage(MessageId::kCannotWriteFile, {"a%2.ini"}), "a%2.ini " + kCannotWrite);
  EXPECT_EQ(FormatMessage(MessageId::kCannotWriteFile, {}), "%1 " + kCannotWrite);
  EXPECT_EQ(MessageUtf8(MessageId::kWorkFolderNotCreated, {"/t/tmp", "full"}),
            "作業フォルダ /t/tmp を作れません（full）");
}

TEST(MessagesTest, OneShotHintNamesTheFolderItself) {
  EXPECT_EQ(OneShotFolderHint(Utf8ToCp932("仕事 資料 メモ")),
            Utf8ToCp932("メモのフォルダに登録"));
  EXPECT_EQ(OneShotFolderHint(Utf8ToCp932("メモ")), Utf8ToCp932("メモのフォルダに登録"));
}

}  // namespace
}  // namespace quill
