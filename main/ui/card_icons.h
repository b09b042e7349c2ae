// CardIconList: the main window's image list, 205 opaque 16 x 16 images
// shared by the folder tree, the folder popups, the super-key menu and the
// kind button.
//
//   0..4     fixed images: 0 a node picked for a move, 1 closed folder,
//            2 open folder, 3 the register mark and 4 the clip-history
//            mark of the menus
//   5..104   card icons 0..99 (icon n at n + 5)
//   105..204 the same icons with the red mark drawn over them
//
// Every picture is drawn here in code, with shapes only (no text, no
// smoothing), so that every machine draws the same pixels. The card icons
// come from the sheet "cardicon.bmp" in the program folder
// (card_icon_sheet.h); it is written from the built-in icons when missing.
#pragma once

#include <QIcon>
#include <QImage>
#include <QList>
#include <QPixmap>
#include <string>
#include <vector>

#include "platform/status.h"

namespace quill {

class FileEnv;
class Ui;

class CardIconList {
 public:
  // program_folder ends with "/".
  CardIconList(FileEnv& env, Ui& ui, std::string program_folder);

  // Index -1 builds the whole list afresh from the sheet (making and
  // writing the sheet when it is missing). Index 0..99 replaces card icon
  // `index` by `bitmap` (made 16 x 16) and its marked image; the sheet is
  // not written then. Problems with the sheet are shown to the user.
  void LoadCardIcons(int index, const QImage& bitmap = QImage());

  int count() const { return static_cast<int>(images_.size()); }
  // Image i of the list (an empty image outside it).
  QImage Image(int i) const;
  // The whole list as icons, for the tree.
  QList<QIcon> Icons() const;
  // A copy of card icon `icon` (image icon + 5).
  QPixmap GetIconBitmap(int icon) const;

  // Writes the sheet from card icons 0..99, through a temporary file so
  // that a failed write leaves the old sheet whole.
  Status SaveSheet();
  std::string SheetPath() const;

  // The pictures drawn here: fixed image 0..4, built-in card icon 0..23,
  // and an icon with the mark drawn over it.
  static QImage FixedImage(int i);
  static QImage BuiltInCardIcon(int n);
  static QImage WithMark(const QImage& icon);

 private:
  FileEnv& env_;
  Ui& ui_;
  std::string program_folder_;
  std::vector<QImage> images_;
};

// The image list KensakuButtonImage of the search-colouring button
// KensakuMark, drawn in code as the images above: image 0 the colouring
// off (grey lines of text under a magnifier), image 1 on (the lines in the
// colouring's blue on its yellow). Other indexes give a blank image.
QImage KensakuButtonImage(int i);

}  // namespace quill
