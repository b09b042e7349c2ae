// Window-class lists as the options dialog edits them: names separated by
// commas (blanks also separate when the list is read).
#pragma once

#include <string>
#include <string_view>

namespace quill {

class Ui;

// Adds `cls` to the list. An empty class changes nothing; a class the list
// already holds (exact bytes: "XTerm" and "xterm" differ) is reported
// ("すでに登録済みです", caption "警告") and changes nothing. Otherwise the
// list becomes old list, ",", cls with runs of commas made one and a
// leading comma dropped. Lists of any length. True when the list changed.
bool AddClassToList(Ui& ui, std::string* list, std::string_view cls);

}  // namespace quill
