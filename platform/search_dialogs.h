// The contents of the search and replace dialogs, as the Ui port hands
// them to its dialogs and back. Texts are CP932.
#pragma once

#include <string>
#include <vector>

namespace quill {

// Results of the replace check dialog besides 1 (replace) and 2 (stop).
inline constexpr int kReplaceCheckFind = 1137;  // skip this hit, find the next
inline constexpr int kReplaceCheckAll = 1138;   // replace this and every further hit

// An editable combo box: its text and its list.
struct ComboContent {
  std::string text;
  std::vector<std::string> items;
};

// The card search dialog (TFindFm).
struct CardSearchForm {
  ComboContent words;       // FindStr: words separated by blanks
  bool fuzzy = true;        // Aimai
  bool title_only = false;  // Title
  int mode = 0;             // Kind: 0 And, 1 Or
  // cdate1, cdate2, udate1, udate2: creation and update date ranges.
  std::string create_from, create_to, update_from, update_to;
  int icon = -1;            // card icon 0..99, -1 any
  std::string source;       // Syutten
  bool find_del = false;          // FindDel: only the hits stay in the tree
  bool now_folder = false;        // NowFolder: search the current folder
  bool find_folder_mark = false;  // FindFolderMark: mark the hits that stay
};

// The search string dialog (TKensakuFm).
struct SearchStringForm {
  ComboContent text;  // FindStr
};

// The replace dialog (TReplaceFm), for the card or for the marked cards.
struct ReplaceForm {
  bool batch = false;       // caption "一括置換" and the red note
  ComboContent find;        // FindStr
  std::string replacement;  // RepStr
  bool match_case = false;  // BigSmall
};

}  // namespace quill
