// Archiver: the zip archiver library that the backup loads by name,
// "lib7-zip32.so" in the install folder, and its one export SevenZip.
//
// Each run loads the library, calls SevenZip with the command line (UTF-8)
// and an output buffer of 1000 bytes, and frees the library again.
#pragma once

#include <cstdint>
#include <string>

namespace quill {

class PluginLoader;

// The archiver library's file name in the install folder.
inline constexpr const char* kArchiverFileName = "lib7-zip32.so";

struct ArchiverRun {
  bool installed = false;  // false: the library or its export is missing; nothing ran
  int result = 0;          // SevenZip's return value: 0 done
  std::string output;      // SevenZip's output text
};

class Archiver {
 public:
  virtual ~Archiver() = default;
  virtual ArchiverRun SevenZip(uint32_t owner, const std::string& command_line) = 0;
};

// The library in `install_folder` (only there, never along the library
// path), loaded through `loader`.
class LibraryArchiver final : public Archiver {
 public:
  LibraryArchiver(PluginLoader& loader, std::string install_folder);
  ArchiverRun SevenZip(uint32_t owner, const std::string& command_line) override;

 private:
  PluginLoader& loader_;
  std::string path_;
};

}  // namespace quill
