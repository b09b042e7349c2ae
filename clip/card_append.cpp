#include "clip/card_append.h"

#include <cstdio>
#include <string_view>

#include "clip/html_capture.h"
#include "platform/messages.h"
#include "platform/text_codec.h"
#include "platform/ui_messages.h"
#include "platform/sjis.h"
#include "store/text_store.h"

namespace quill {

namespace {

constexpr char kTableKind = 'C';
constexpr char kCardIdKey[] = "TEXT_ID";

std::string J(std::string_view utf8) { return Utf8ToCp932(utf8); }

}  // namespace

CardAppend::CardAppend(SharedHookBlock& block, Dispatcher& dispatcher, PasteTarget& target,
                       ClipboardAccess& clipboard, Ui& ui, MessageBus& bus, Clock& clock,
                       OneShot& one_shot, RegisterHistory& history, RegistryStore& registry,
                       CardAppendView& view)
    : block_(block),
      dispatcher_(dispatcher),
      target_(target),
      clipboard_(clipboard),
      ui_(ui),
      bus_(bus),
      clock_(clock),
      one_shot_(one_shot),
      history_(history),
      registry_(registry),
      view_(view) {}

void CardAppend::AppendToCard(const std::string& card_id, bool shift_down) {
  Dispatcher::CaptureScope busy(dispatcher_, false);
  busy.Hold();
  store::CardStore& store = view_.CurrentStore();
  if (!store.DiskSpaceOk()) {
    Refuse(MessageText(MessageId::kLowSpaceNotRegistered));
    return;
  }
  view_.LeaveCard(card_id);

  store::CardRecord card(store);
  bool found = false;
  if (!card_id.empty()) {
    const Status read = card.FindByKey(kCardIdKey, card_id, /*with_text=*/true, &found);
    if (!read.ok()) {
      Refuse(read.code() == Status::kFatal
                 ? std::string()
                 : FormatMessage(MessageId::kCardNotRegistered, {Utf8ToCp932(read.message())}));
      EndOnFatal(ui_, read);
      return;
    }
  }
  if (!found || card.id != card_id || card.deleted == 'D' || card.is_folder()) {
    CardGone();
    return;
  }

  // The text, and the page it came from when the clipboard has HTML.
  const std::string copied = clipboard_.GetClipboardText();
  std::string url;
  if (const int format = clipboard_.FindHtmlClipboardFormat(target_.BrowserContextTarget)) {
    ui_.ShowFlashIcon(FlashBitmap::kClip);
    url = CaptureHtmlClipboard(clipboard_, format);
    ui_.HideFlashIcon();
  }
  if (one_shot_.IsRepeat(copied)) {
    one_shot_.ReshowRecentCapture();
    Finish();
    return;
  }
  std::string text = copied;
  CutAtTextEnd(&text);
  if (text.empty()) {
    Finish();
    return;
  }
  text += "\r\n";
  const bool table = card.kind == kTableKind;
  const size_t total = text.size() + card.text.size() + (table ? text.size() + kTableReserve : 0);
  if (total >= kMaxAppendTotal) {
    Refuse(MessageText(MessageId::kSelectionTooLarge));
    return;
  }

  ui_.ShowFlashIcon(FlashBitmap::kClipAdd);
  std::string body = card.text;
  if (!body.empty() && body.back() != '\n') body += "\r\n";
  std::string added;
  if (table) {
    bool asked = false;
    added = TableRows(text, &asked);
    if (asked) dispatcher_.FinishTargetPopup();
  } else {
    added = TextBlock(card, text, url, shift_down);
  }
  if (!added.empty()) {
    if (body.size() + added.size() >= store::kCardTextCapacity) {
      Refuse(MessageText(MessageId::kSelectionTooLarge));
      return;
    }
    card.text = body + added;
    card.utime = static_cast<uint32_t>(clock_.Now());
    const Status written = card.Write();
    if (!written.ok()) {
      Refuse(CardWriteFailure(written));
      EndOnFatal(ui_, written);
      return;
    }
    one_shot_.RememberCapture(copied, card.id, view_.CurrentDataSet());
    view_.CardWritten(card);
    ui_.PlaySound(OneShot::kSoundFile);
  }
  ui_.HideFlashIcon();
  LastAppendShift = shift_down;
  Appended(card);
}

std::string CardAppend::TableRows(const std::string& text, bool* asked) {
  std::string rows;
  for (std::string_view line : quill::NonEmptyLines(text)) {
    if (line.find('\t') != std::string_view::npos) {
      rows.append(line);
      rows += "\r\n";
      continue;
    }
    if (!*asked) {
      // The dialog comes up in front of the target.
      dispatcher_.state().CommandTarget = block_.TargetWindow();
      dispatcher_.PrepareTargetPopup();
      *asked = true;
    }
    std::string title(line);
    std::string cell(line);
    if (view_.RunAddHyouForm(&title, &cell) == kResultOk) rows += title + "\t" + cell + "\r\n";
  }
  return rows;
}

std::string CardAppend::TextBlock(const store::CardRecord& card, const std::string& text,
                                  const std::string& url, bool shift_down) {
  std::string block = "\r\n\r\n";
  if (shift_down) {
    const LocalTime now = clock_.LocalNow();
    char stamp[48];
    std::snprintf(stamp, sizeof stamp, "%4d/%02d/%02d %2d:%02d ", now.year, now.month, now.day,
                  now.hour, now.minute);
    block += J("【") + stamp + target_.SourceName + J("】") + "\r\n";
  }
  if (card.kind == 0 && !url.empty()) {
    block += one_shot_.MakeSourceHeader(view_.CurrentOneShotSettings(), url);
  }
  return block + text;
}

void CardAppend::CardGone() {
  ui_.ShowFlashIcon(FlashBitmap::kNoClip);
  ui_.MessageBeep();
  ui_.HideFlashIcon();
  // The save key registers into the one-shot folder again.
  LastAppendCardId.clear();
  const OneShotSettings settings = view_.CurrentOneShotSettings();
  const bool folder = settings.data_set >= 0 && !settings.folder.empty();
  block_.SetSaveState(folder ? 1 : 0);
  block_.SetSaveHint(folder ? OneShotFolderHint(settings.folder)
                            : MessageText(MessageId::kOneShotFolderUnset));
  RefreshBar(block_, bus_);
  Finish();
}

void CardAppend::Refuse(const std::string& message) {
  ui_.HideFlashIcon();
  target_.RestoreClipboard(/*force=*/true);
  if (!message.empty()) ShowWarning(ui_, message);
  target_.ActivateTargetWindow(dispatcher_.state().CommandTarget, false);
  dispatcher_.FinishTargetPopup();
}

void CardAppend::Finish() {
  target_.RestoreClipboard(/*force=*/true);
  dispatcher_.FinishTargetPopup();
}

void CardAppend::Appended(const store::CardRecord& card) {
  // The card has its text whatever this write does; the user learns that
  // the settings file kept the old folder.
  if (Status saved = view_.SaveForgottenOneShotFolder(); !saved.ok()) {
    ShowWarning(ui_, Utf8ToCp932(saved.message()));
  }
  LastAppendCardId = card.id;
  block_.SetSaveState(2);
  block_.SetSaveHint(FormatMessage(MessageId::kAppendedHint, {card.title}));
  RefreshBar(block_, bus_);
  history_.Add(-1, "?", card.id);
  // The history is offered again at the next menu whatever this write does.
  (void)SaveRegisterHistory(registry_, history_);
  Finish();
}

}  // namespace quill
