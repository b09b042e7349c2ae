// SevenZip: the zip archiver that the backup loads from lib7-zip32.so.
//
// SevenZip(owner, command line, output, size) understands one command:
//
//   a -tzip "archive" "file"
//
// It puts `file` into the zip archive `archive` (named exactly so, no
// extension added) under its base name, deflated. A member of that name
// is replaced; every other member is kept. The new archive is written
// beside the old one, synced, and renamed over it, so a failure leaves the
// old archive as it was. An existing file that is not a zip archive is
// refused and left alone.
//
// The command line is UTF-8; the paths stand in double quotes. It returns
// 0, or non-zero with a short reason in `output`. At most `size` bytes are
// written to `output`, the terminating NUL included; `owner` is the
// caller's window and is not used.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

extern "C" {
int SevenZip(uint32_t owner, const char* command_line, char* output, uint32_t size);
}

namespace quill {

// The export's type, as the loader binds it.
using SevenZipFunction = int (*)(uint32_t owner, const char* command_line, char* output,
                                 uint32_t size);

// What SevenZip returns.
inline constexpr int kSevenZipOk = 0;
inline constexpr int kSevenZipBadCommand = 1;  // the command line is not understood
inline constexpr int kSevenZipFailed = 2;      // the archive could not be written

// The two paths of an "a -tzip" command line.
struct SevenZipCommand {
  std::string archive;
  std::string file;
};

// Splits a command line; returns "" or the reason it is not understood.
std::string ParseSevenZipCommand(std::string_view line, SevenZipCommand* command);

// Adds `file` to `archive` as SevenZip does; returns "" or the reason of
// the failure.
std::string AddFileToZip(const std::string& archive, const std::string& file);

}  // namespace quill
