#include "platform/archiver.h"

#include <cstring>
#include <vector>

#include "platform/plugin_loader.h"

namespace quill {

namespace {

using SevenZipExport = int (*)(uint32_t owner, const char* command_line, char* output,
                               uint32_t size);
constexpr uint32_t kOutputSize = 1000;

}  // namespace

LibraryArchiver::LibraryArchiver(PluginLoader& loader, std::string install_folder)
    : loader_(loader) {
  if (!install_folder.empty() && install_folder.back() != '/') install_folder += '/';
  path_ = install_folder + kArchiverFileName;
}

ArchiverRun LibraryArchiver::SevenZip(uint32_t owner, const std::string& command_line) {
  ArchiverRun run;
  // Only a full path: an empty install folder finds nothing.
  if (path_.front() != '/') return run;
  LoadedPlugin library(loader_, path_);
  const auto seven_zip = library.Export<SevenZipExport>("SevenZip");
  if (seven_zip == nullptr) return run;
  run.installed = true;
  std::vector<char> output(kOutputSize + 1, '\0');  // one spare NUL should it not end the text
  run.result = seven_zip(owner, command_line.c_str(), output.data(), kOutputSize);
  run.output.assign(output.data(), ::strnlen(output.data(), kOutputSize));
  return run;
}

}  // namespace quill
