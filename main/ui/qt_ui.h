// QtUi: the program's Ui on the desktop. The message dialog is TMessageFm,
// the beep the display's bell, the flash a small window at the screen
// centre that never takes the focus or the input (it stays up at least
// 300 ms, so that a quick capture is seen too), sounds are played by
// "aplay" started on its own, popup menus are QMenus built from the menu
// data, and the search's dialogs are those of search_forms.h.
#pragma once

#include <QElapsedTimer>
#include <QIcon>
#include <QImage>
#include <QList>
#include <QPoint>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <string>
#include <vector>

#include "clip/menu_items.h"
#include "platform/ui.h"

class QMenu;
class QWidget;

namespace quill {

class QtUi final : public Ui {
 public:
  // Relative sound file names are looked for in install_folder.
  explicit QtUi(std::string install_folder = std::string());
  ~QtUi() override;
  QtUi(const QtUi&) = delete;
  QtUi& operator=(const QtUi&) = delete;

  // The box is owned by the modal dialog open now, if any.
  int ShowMessageDialog(const std::string& text, const std::string& caption,
                        int mode) override;
  void MessageBeep() override;
  void EndProgram(int exit_code) override;
  void ShowFlashIcon(FlashBitmap bitmap) override;
  void HideFlashIcon() override;
  void PlaySound(const std::string& file_name) override;
  std::optional<int> PopupMenu(const std::vector<MenuItem>& items, ScreenPoint at) override;
  // The search's dialogs (search_forms.h), owned by the modal dialog open
  // now or the active window.
  int RunCardSearchForm(CardSearchForm* form) override;
  int RunSearchStringForm(SearchStringForm* form) override;
  int RunReplaceForm(ReplaceForm* form) override;
  int RunReplaceCheck(ScreenPoint at) override;
  // QFileDialog, owned by the modal dialog open now.
  std::optional<std::string> ChooseFile(const FileChoice& choice) override;
  bool ChooseFont(FontChoice* font) override;
  bool ChooseColor(int32_t* color) override;
  bool FontCoversJapanese(const std::string& family) override;

  // The flash window while one is shown (for tests), else null.
  QWidget* flash_window() const;

  // The pictures of the items' images (the main window's image list).
  void SetMenuImages(std::function<QIcon(int)> images) { menu_images_ = std::move(images); }
  // The 100 card icons, for the card search's icon button.
  void SetCardIcons(std::function<QList<QIcon>()> icons) { card_icons_ = std::move(icons); }

 private:
  std::string install_folder_;
  std::function<QIcon(int)> menu_images_;
  std::function<QList<QIcon>()> card_icons_;
  QPointer<QWidget> flash_;  // made at the first flash, kept for the next
  QElapsedTimer flash_shown_;
  QTimer flash_hide_;        // takes a flash down once it has been seen
};

// The 32 x 32 pictures of the flash ("CLIPBMP", "CLIPBMPADD",
// "NOCLIPBMP"), drawn in code.
QImage FlashPicture(FlashBitmap bitmap);

// The visible actions of a menu of the program's own, sub-menus included,
// as entries of a menu built as data; an entry's click triggers its action
// while it is there and enabled.
std::vector<PopupEntry> ActionEntries(QMenu* menu);

// Shows a menu of the program's own through ui at a screen point and
// triggers the chosen action.
void PopupActions(Ui& ui, QMenu* menu, QPoint at);

}  // namespace quill
