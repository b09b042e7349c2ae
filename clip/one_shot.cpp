#include "clip/one_shot.h"

#include <cstdio>
#include <filesystem>
#include <utility>
#include <vector>

#include "clip/html_capture.h"
#include "clip/html_marker.h"
#include "platform/messages.h"
#include "platform/text_codec.h"
#include "platform/ui_messages.h"
#include "store/card_row.h"
#include "platform/sjis.h"

namespace quill {

namespace {

constexpr int kDataSetSlots = 10;

// The header's lines: "★入手先URL=", "★タイトル=", "★取得日=".
const std::string& HeaderLabel(int i) {
  static const std::string labels[] = {Utf8ToCp932("★入手先URL="), Utf8ToCp932("★タイトル="),
                                       Utf8ToCp932("★取得日=")};
  return labels[i];
}

}  // namespace

bool SameDataFolder(const std::string& a, const std::string& b) {
  const auto normal = [](const std::string& path) {
    std::string n = std::filesystem::path(path).lexically_normal().string();
    while (n.size() > 1 && n.back() == '/') n.pop_back();
    return n;
  };
  return normal(a) == normal(b);
}

void RefreshBar(SharedHookBlock& block, MessageBus& bus) {
  if (const WindowHandle bar = block.BarWindow(); bar != 0) {
    bus.PostMessage(bar, kCommandMessage, static_cast<uint32_t>(CommandCode::kRefreshBar), 0);
  }
}

std::string CardWriteFailure(const Status& written) {
  if (written.code() == Status::kFatal) return std::string();
  if (written.code() == Status::kNoSpace) return MessageText(MessageId::kLowSpaceNotRegistered);
  return FormatMessage(MessageId::kCardNotRegistered, {Utf8ToCp932(written.message())});
}

void CutAtTextEnd(std::string* text) {
  const size_t end = text->find_first_of(std::string_view("\0\x1a", 2));
  if (end != std::string::npos) text->resize(end);
}

OneShot::OneShot(SharedHookBlock& block, DispatchState& state, PasteTarget& target,
                 ClipboardAccess& clipboard, Ui& ui, MessageBus& bus, Clock& clock,
                 OneShotView& view)
    : block_(block),
      state_(state),
      target_(target),
      clipboard_(clipboard),
      ui_(ui),
      bus_(bus),
      clock_(clock),
      view_(view) {}

std::string OneShot::MakeSourceHeader(const OneShotSettings& settings, const std::string& url) {
  std::string out;
  if (settings.save_url) {
    out += HeaderLabel(0) + (url.empty() ? GetBrowserUrlByDde() : url) + "\r\n";
  }
  if (settings.save_title) out += HeaderLabel(1) + target_.TargetTitle + "\r\n";
  if (settings.save_date) {
    const LocalTime now = clock_.LocalNow();
    char date[40];
    std::snprintf(date, sizeof date, "%04d/%d/%d", now.year, now.month, now.day);
    out += HeaderLabel(2) + date + "\r\n";
  }
  return out + "\r\n";
}

OneShot::OpenedSet OneShot::OpenOneShotSet(int index) {
  OpenedSet set;
  store::CardStore& current = view_.CurrentStore();
  if (index < 0 || index >= kDataSetSlots) {
    set.status = Status::NotFound("no one-shot data set is chosen");
    return set;
  }
  const std::string folder = index == view_.CurrentDataSet() ? current.data_path()
                                                              : view_.DataSetFolder(index);
  if (folder.empty()) {
    set.status = Status::NotFound("data set " + std::to_string(index + 1) + " is not defined");
    return set;
  }
  if (SameDataFolder(folder, current.data_path())) {
    set.store = &current;
    set.current = true;
    return set;
  }
  // Probing creates nothing: a set that is missing or cannot be read is
  // left as it is.
  auto other = std::make_unique<store::CardStore>(current.env(), current.program_folder());
  other->set_new_card_auto_title(current.new_card_auto_title());
  set.status = other->Open(/*probe=*/true, folder);
  if (set.status.ok()) {
    set.store = other.get();
    set.own = std::move(other);
  }
  return set;
}

Status OneShot::FolderExists(store::CardStore& set, const std::string& folder, bool* exists) {
  *exists = false;
  if (folder.empty()) return Status::Ok();
  // The search matches a prefix ("Web" finds "Web 記事" and "Webの"): the
  // rows are read until one is of this folder itself.
  store::CardRecord r(set);
  std::vector<int64_t> rows;
  QUILL_RETURN_IF_ERROR(r.FindCardsByFolder(folder, &rows));
  Status s = r.SetOpenFlag(true);
  for (size_t i = 0; s.ok() && !*exists && i < rows.size(); ++i) {
    r.SetRecNo(rows[i]);
    s = r.Load(/*with_text=*/false);
    if (s.ok() && r.folder == folder && r.deleted != 'D') *exists = true;
  }
  const Status closed = r.SetOpenFlag(false);
  return s.ok() ? closed : s;
}

bool OneShot::CardExists(store::CardStore& set, const std::string& card_id) {
  store::CardRecord r(set);
  bool found = false;
  const Status s = r.FindByKey("TEXT_ID", card_id, /*with_text=*/false, &found);
  return s.ok() && found && r.id == card_id && r.deleted != 'D';
}

void OneShot::ReshowRecentCapture() {
  const bool recent = registered_any_ && !LastCaptureCardId.empty() &&
                      last_data_set_ == view_.CurrentDataSet() &&
                      static_cast<int32_t>(clock_.TickCount() - LastCaptureTick) <
                          static_cast<int32_t>(kReshowWithinMs);
  if (recent && CardExists(view_.CurrentStore(), LastCaptureCardId)) {
    view_.OpenCard(LastCaptureCardId);
  }
  LastCaptureText.clear();
}

void OneShot::GiveUp(const std::string& message) {
  ui_.HideFlashIcon();
  target_.RestoreClipboard(/*force=*/true);
  if (message.empty()) return;
  ShowWarning(ui_, message);
  target_.ActivateTargetWindow(state_.CommandTarget, false);
}

void OneShot::NoFolder(int data_set, const std::string& gone_folder) {
  state_.SaveVariant = 0;
  state_.ChoosingFolder = false;
  if (!gone_folder.empty()) view_.RemoveRegisterHistory(data_set, gone_folder);
  view_.ChooseRegisterFolder();
}

bool OneShot::IsRepeat(const std::string& text) const {
  const auto since_last = static_cast<int32_t>(clock_.TickCount() - LastCaptureTick);
  return registered_any_ && text == LastCaptureText &&
         since_last < static_cast<int32_t>(kRepeatGuardMs);
}

void OneShot::RememberCapture(const std::string& text, const std::string& card_id,
                              int data_set) {
  LastCaptureText = text;
  LastCaptureTick = clock_.TickCount();
  registered_any_ = true;
  last_data_set_ = data_set;
  if (!card_id.empty()) LastCaptureCardId = card_id;
}

void OneShot::RegisterFromClipboard() {
  if (!view_.CurrentStore().DiskSpaceOk()) {
    GiveUp(MessageText(MessageId::kLowSpaceNotRegistered));
    return;
  }
  view_.SaveEditorCard();

  // The one-shot folder must be there.
  const OneShotSettings settings = view_.CurrentOneShotSettings();
  std::string folder = settings.folder;
  quill::TruncateSjis(folder, store::card_row::kKubunLength);
  bool exists = false;
  Status looked_up;
  {
    OpenedSet set = OpenOneShotSet(settings.data_set);
    if (set.store == nullptr) {
      NoFolder(settings.data_set, std::string());
      return;
    }
    looked_up = FolderExists(*set.store, folder, &exists);
  }
  if (state_.SaveVariant == 1 || !looked_up.ok() || !exists) {
    // Only a folder known to be gone leaves the history; one that could
    // not be looked up may still be there.
    const bool gone = looked_up.ok() && !exists;
    NoFolder(settings.data_set, gone ? folder : std::string());
    return;
  }

  // The text, and the page it came from when the clipboard has HTML.
  const std::string copied = clipboard_.GetClipboardText();
  const bool html_card = state_.HtmlCapture == 1;
  HtmlCaptureResult page;
  bool has_html = false;
  if (const int format = clipboard_.FindHtmlClipboardFormat(target_.BrowserContextTarget)) {
    ui_.ShowFlashIcon(FlashBitmap::kClip);
    page = CaptureHtmlClipboard(clipboard_, format, html_card);
    has_html = true;
    ui_.HideFlashIcon();
  }
  const std::string& url = page.source_url;

  if (IsRepeat(copied)) {
    ReshowRecentCapture();
    GiveUp();
    return;
  }

  std::string text = copied;
  const bool make_html = html_card && has_html;
  if (make_html) {
    text += "\r\n";
    text += kHtmlMarkerLine;
    text += "\r\n\r\n";
    text += page.html;
  }
  CutAtTextEnd(&text);
  if (text.empty()) {
    ReshowRecentCapture();
    GiveUp();
    return;
  }
  if (text.size() > kMaxSelection) {
    GiveUp(MessageText(MessageId::kSelectionTooLarge));
    return;
  }
  if (make_html && !page.resources.empty() && text.size() < kMaxSelection) {
    // The page's images, while the text stays within the limit.
    ui_.ShowFlashIcon(FlashBitmap::kClip);
    PageImageFetch fetch(page.resources, url, clock_, &text, kMaxSelection);
    view_.FetchPageImages(fetch);
    ui_.HideFlashIcon();
  }
  // The set is opened again for the write; one that cannot be opened now
  // stops here, and nothing goes anywhere else.
  OpenedSet set = OpenOneShotSet(settings.data_set);
  if (set.store == nullptr) {
    GiveUp(FormatMessage(MessageId::kOneShotDataSetNotOpened,
                         {Utf8ToCp932(set.status.message())}));
    return;
  }

  ui_.ShowFlashIcon(FlashBitmap::kClip);
  store::CardRecord card(*set.store);
  card.Clear();
  card.folder = folder;
  const int64_t seconds = clock_.Now();
  card.position = static_cast<uint32_t>(static_cast<int32_t>(settings.add_last ? seconds
                                                                                : -seconds));
  card.title = store::MakeDefaultTitle(text);
  card.text = MakeSourceHeader(settings, url) + text;
  card.locked = settings.lock;
  if (make_html) {
    card.kind = 'H';
    card.locked = true;
    card.one_shot_paste = 0;
  }
  card.source = target_.SourceName;
  const Status written = card.Write();
  if (!written.ok()) {
    GiveUp(CardWriteFailure(written));
    EndOnFatal(ui_, written);
    return;
  }

  RememberCapture(copied, set.current ? card.id : std::string(), settings.data_set);
  if (set.current) view_.AddCardToTree(card);
  // A set opened for the card is closed now: the card is in its journal
  // already, so a close that fails leaves it to the next open's recovery.
  set.own.reset();
  Registered(settings.data_set, folder);
}

void OneShot::Registered(int data_set, const std::string& folder) {
  ui_.PlaySound(kSoundFile);
  block_.SetSaveState(1);
  block_.SetSaveHint(OneShotFolderHint(folder));
  view_.SaveOneShotFolderSettings();
  view_.AddRegisterHistory(data_set, folder);
  RefreshBar(block_, bus_);
  target_.ActivateTargetWindow(state_.CommandTarget, false);
  target_.RestoreClipboard(/*force=*/true);
  ui_.HideFlashIcon();
  view_.FinishTargetPopup();
}

}  // namespace quill
