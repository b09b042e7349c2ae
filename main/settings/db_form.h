// TDbFm's logic: names one data set and chooses its folder, creating an
// empty card store there on request. The probe and the creation use a
// card store object of its own, so the set the program has open is never
// closed or touched.
#pragma once

#include <string>

namespace quill {

class FileEnv;
class Ui;

class DbForm {
 public:
  // program_folder ends with "/".
  DbForm(FileEnv& env, std::string program_folder, Ui& ui);

  std::string Meisyou;         // the set's name (CP932)
  std::string Dir;             // its folder
  bool folder_fixed = false;   // only the name may change (the folder is hidden)

  // OK: true when the form closes with OK. A blank name keeps it open
  // without a word; a name or folder with a TAB, and no folder (empty or
  // blanks), are refused with a message. The name is
  // trimmed and the folder gets a "/" at its end. A folder without a card
  // store: the question whether to make one there (No keeps the form
  // open); a store that cannot be made or opened is reported and keeps it
  // open. On success the folder list file there is rebuilt.
  bool Button1Click();

 private:
  FileEnv& env_;
  std::string program_folder_;
  Ui& ui_;
};

}  // namespace quill
