// FakeTransferDialogs: answers the transfer dialogs from queues (none left:
// cancel, or stop) and records what each dialog was shown.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "main/exchange/transfer_dialogs.h"

namespace quill {

class FakeTransferDialogs final : public TransferDialogs {
 public:
  // The next path dialog: OK with this folder text (CP932) and check box.
  void AnswerPath(std::string path, bool all_torikomi = false) {
    paths_.push_back({path, all_torikomi});
  }
  void AnswerFolder(int answer, int after_mode = 0) { folders_.push_back({answer, after_mode}); }
  void AnswerLock(int answer) { locks_.push_back(answer); }
  void AnswerOptions(WriteOptionsForm form) { options_.push_back(form); }
  void AnswerFiles(std::vector<std::string> files) { files_.push_back(std::move(files)); }

  int RunReadPath(ReadPathForm* form) override {
    path_forms.push_back(*form);
    if (paths_.empty()) return 2;
    form->path.text = paths_.front().first;
    form->all_torikomi = paths_.front().second;
    paths_.pop_front();
    return 1;
  }
  int RunChangeFolder(ChangeFolderForm* form) override {
    folder_forms.push_back(*form);
    if (folders_.empty()) return 2;
    auto [answer, mode] = folders_.front();
    folders_.pop_front();
    form->after_mode = mode;
    return answer;
  }
  int RunLockCheck(const std::string& title) override {
    lock_titles.push_back(title);
    if (locks_.empty()) return 2;
    int a = locks_.front();
    locks_.pop_front();
    return a;
  }
  int RunWriteOptions(WriteOptionsForm* form) override {
    option_forms.push_back(*form);
    if (options_.empty()) return 2;
    *form = options_.front();
    options_.pop_front();
    return 1;
  }
  bool ChooseImportFiles(std::vector<std::string>* paths) override {
    ++file_choosers;
    if (files_.empty()) return false;
    *paths = files_.front();
    files_.pop_front();
    return true;
  }

  std::vector<ReadPathForm> path_forms;
  std::vector<ChangeFolderForm> folder_forms;
  std::vector<std::string> lock_titles;
  std::vector<WriteOptionsForm> option_forms;
  int file_choosers = 0;

 private:
  std::deque<std::pair<std::string, bool>> paths_;
  std::deque<std::pair<int, int>> folders_;
  std::deque<int> locks_;
  std::deque<WriteOptionsForm> options_;
  std::deque<std::vector<std::string>> files_;
};

}  // namespace quill
