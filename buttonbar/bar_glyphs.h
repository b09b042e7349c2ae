// The pictures of the button bar: 20 x 20 pixmaps drawn here.
#pragma once

#include <QPixmap>

namespace quill {

enum class BarGlyph {
  kIcon,       // the bar's own mark at its left end, the handle to drag it by
  kPaste,      // a clipboard
  kRedSave,    // a card with an arrow into it: no one-shot folder known
  kWhiteSave,  // the same: a one-shot folder is known
  kBlueSave,   // the same: the last capture went into a card
  kSaveHtml,   // a globe
  kSave2,      // a folder
  kClipTool,   // scissors
};

QPixmap DrawBarGlyph(BarGlyph glyph);

}  // namespace quill
