// HtmlViewFolder: the view folder of one HTML card window. Every window
// that shows an HTML card has a folder of its own beside the main window's
// view files, so that two windows never show each other's page or images;
// the folder goes, with everything in it, when the window goes.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/file_env.h"
#include "platform/status.h"

namespace quill {

class HtmlViewFolder {
 public:
  // Makes a new, empty folder "win<n>" in `parent` (a name nothing in
  // `parent` holds yet).
  static Status Create(FileEnv& env, const std::string& parent,
                       std::unique_ptr<HtmlViewFolder>* folder);
  ~HtmlViewFolder();
  HtmlViewFolder(const HtmlViewFolder&) = delete;
  HtmlViewFolder& operator=(const HtmlViewFolder&) = delete;

  const std::string& path() const { return path_; }
  // Writes the view files of a card text (WriteHtmlViewFile).
  Status Write(std::string_view card_text);

 private:
  HtmlViewFolder(FileEnv& env, std::string path) : env_(env), path_(std::move(path)) {}

  FileEnv& env_;
  std::string path_;
};

}  // namespace quill
