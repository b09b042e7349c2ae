// One-shot registration: the selection that the target has just copied
// becomes a new card in the one-shot folder, headed by where it came from,
// with feedback for the user (a flash, a sound, the button bar's state)
// and the focus and the user's clipboard given back to the target.
//
// The one-shot folder may lie in another data set than the one open in
// the main window; that set is opened beside it for the look-up and again
// for the write, and closed after each.
//
// When the clipboard offers HTML, the page's address heads the card. The
// HTML save key makes an HTML card: the text, the marker line, the cleaned
// HTML and the page's images (fetched through the view, which shows the
// progress); it is locked and stays out of the folder popup.
//
// Guards kept here:
// - The same text registered again within 15 s makes no second card: the
//   card just made is shown again instead. The time is that of the last
//   registration wherever it went, and the text counts as registered only
//   once its card has been written, so a retry after a failure registers.
// - Every way out after the copy puts the user's clipboard back, and every
//   message is followed by the focus going back to the target. Without a
//   usable folder the register-here menu takes over, clipboard included.
// - Nothing is ever written into another data set than the one-shot
//   folder's: a set that cannot be opened stops the registration.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "clip/dispatcher.h"
#include "clip/page_images.h"
#include "clip/paste_target.h"
#include "platform/clock.h"
#include "platform/message_bus.h"
#include "platform/protocol/shared_hook_block.h"
#include "platform/ui.h"
#include "store/card_store.h"

namespace quill {

// The settings a registration reads, taken fresh for each.
struct OneShotSettings {
  int data_set = -1;        // DefAddKubunFile: the one-shot folder's data set, -1 none
  std::string folder;       // DefAddKubun: the one-shot folder's path
  bool save_url = true;     // SaveUrl: the header names the page
  bool save_title = false;  // SaveTitle: ... the target's title
  bool save_date = false;   // SaveDate: ... the date
  bool lock = true;         // IppastuLock: new one-shot cards are locked
  bool add_last = true;     // AddIti == 1: new cards go last in their folder
};

// What the main window does for a registration.
class OneShotView {
 public:
  virtual ~OneShotView() = default;
  virtual OneShotSettings CurrentOneShotSettings() = 0;
  // Saves the card in the editor (it may be about to change).
  virtual void SaveEditorCard() = 0;
  // The data set open in the main window, and its index (0..9).
  virtual store::CardStore& CurrentStore() = 0;
  virtual int CurrentDataSet() = 0;
  // The folder of data set `index`; "" when that slot holds no data set.
  virtual std::string DataSetFolder(int index) = 0;
  // A card just written into the current data set gets its node under
  // its folder's node.
  virtual void AddCardToTree(const store::CardRecord& card) = 0;
  // Writes the one-shot folder settings (group 15).
  virtual void SaveOneShotFolderSettings() = 0;
  // Opens the card of the current data set with this id for the user.
  virtual void OpenCard(const std::string& card_id) = 0;
  virtual void FinishTargetPopup() = 0;
  // There is no usable one-shot folder: the register-here menu lets the
  // user choose one (the registration then runs again) or nothing.
  virtual void ChooseRegisterFolder() = 0;
  // The registration history: a folder registered into, and one that is
  // gone from its data set.
  virtual void AddRegisterHistory(int data_set, const std::string& folder) = 0;
  virtual void RemoveRegisterHistory(int data_set, const std::string& folder) = 0;
  // Fetches the images of a captured page (all steps of `fetch`), showing
  // the progress; without a way to fetch, none are added.
  virtual void FetchPageImages(PageImageFetch& fetch) {}
};

// The text of a card: up to the first NUL or 0x1A, which end a card text.
void CutAtTextEnd(std::string* text);

// Whether two data folders are the same folder: compared as paths of this
// system after normalising ("a/./b/" is "a/b"), letter case counting.
bool SameDataFolder(const std::string& a, const std::string& b);

// The message for a card write that failed; none for the fatal status,
// which EndOnFatal (platform/ui_messages.h) answers.
std::string CardWriteFailure(const Status& written);

// Tells the button bar, when one runs, to show the save state anew.
void RefreshBar(SharedHookBlock& block, MessageBus& bus);

class OneShot {
 public:
  static constexpr uint32_t kRepeatGuardMs = 15000;
  static constexpr uint32_t kReshowWithinMs = 20000;
  static constexpr size_t kMaxSelection = 1000000;
  static constexpr const char* kSoundFile = "Clipsnd.wav";

  OneShot(SharedHookBlock& block, DispatchState& state, PasteTarget& target,
          ClipboardAccess& clipboard, Ui& ui, MessageBus& bus, Clock& clock, OneShotView& view);

  // The target has copied (CommandTarget, SaveVariant, TargetTitle and
  // SourceName are set): registers the clipboard's text.
  void RegisterFromClipboard();
  // The source header: the lines the settings ask for, then an empty line.
  std::string MakeSourceHeader(const OneShotSettings& settings, const std::string& url);
  // Opens the card just registered when that was less than 20 s ago, into
  // the data set open now, and the card is still there; forgets the text
  // of the last registration in every case.
  void ReshowRecentCapture();
  // The page address a browser would tell over DDE: there is no such
  // conversation on this desktop.
  static std::string GetBrowserUrlByDde() { return std::string(); }

  // Whether `text` was captured (registered or appended) less than 15 s
  // ago: the same capture again makes nothing.
  bool IsRepeat(const std::string& text) const;
  // A capture has been written: `card_id` when its card is in the current
  // data set (else empty), `data_set` where it went.
  void RememberCapture(const std::string& text, const std::string& card_id, int data_set);

  std::string LastCaptureText;    // the text of the last registration
  std::string LastCaptureCardId;  // the last card registered into the current data set
  uint32_t LastCaptureTick = 0;   // when the last registration was made

 private:
  // A data set open for one step: the main window's own, or one opened
  // beside it (closed when this goes).
  struct OpenedSet {
    store::CardStore* store = nullptr;
    std::unique_ptr<store::CardStore> own;
    bool current = false;
    Status status;
  };
  OpenedSet OpenOneShotSet(int index);
  // Whether `folder` is a folder of the set.
  static Status FolderExists(store::CardStore& set, const std::string& folder, bool* exists);
  bool CardExists(store::CardStore& set, const std::string& card_id);
  // Ways out: the flash goes, the user's clipboard comes back, and a
  // message (when there is one) is shown before the focus goes back.
  void GiveUp(const std::string& message = std::string());
  // The register-here menu instead; a folder gone from its data set leaves
  // the history first.
  void NoFolder(int data_set, const std::string& gone_folder);
  // The feedback of a card written into `folder` of `data_set`.
  void Registered(int data_set, const std::string& folder);

  SharedHookBlock& block_;
  DispatchState& state_;
  PasteTarget& target_;
  ClipboardAccess& clipboard_;
  Ui& ui_;
  MessageBus& bus_;
  Clock& clock_;
  OneShotView& view_;
  bool registered_any_ = false;  // LastCaptureTick holds a registration
  int last_data_set_ = -1;       // where the last registration went
};

}  // namespace quill
