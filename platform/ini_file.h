// IniFile: a reader and writer of profile files in the Windows format,
// so that a settings file moves between installations unchanged.
//
// File format. Lines end in CR LF or LF (both are read; every line this
// code writes ends in CR LF). A line "[Name]" (blanks around it and
// around the name ignored) starts a section; a line "Key=Value" inside a
// section holds one value, with blanks and tabs around the key and around
// the value ignored. A value written between a pair of the same quotes
// (" or ') is read without them. Lines that are neither (comments, blank
// lines, text before the first section) are kept as they are. Section and
// key names are matched without regard to ASCII case; a double-byte
// CP932 character is compared byte for byte, so its trail byte is never
// folded. When a section or key appears twice, the first one counts.
//
// Bytes are kept raw: a value is CP932 text and comes back byte for byte.
// A write keeps every other line of the file byte for byte. CR, LF and NUL
// cannot live in a one-line value: they are written as blanks, so that no
// value can add a line of its own. A value that begins or ends with a
// blank or tab, or that is itself enclosed in a pair of the same quotes,
// is written inside double quotes so that it reads back as written.
//
// IniFile keeps nothing in memory: every read reads the file anew, and
// every write reads it, changes it and writes it back whole through
// FileEnv::WriteFileAtomic. A batch of writes is one read and one write.
// A file that exists but cannot be read is never replaced.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_env.h"
#include "platform/status.h"

namespace quill {

// Which hexadecimal prefixes ParseStoredInteger accepts besides "$".
enum class HexPrefix {
  kDollar,       // "$1F": the class library's integer conversion
  kDollarOr0x,   // "$1F" and "0x1F" / "0X1F": integers read from an ini file
};

// Converts stored text to a 32-bit integer as the class library does:
// leading blanks skipped, an optional sign, then decimal digits or "$"
// (and with kDollarOr0x, at the very start, "0x") and up to 8 hex digits
// whose value wraps to 32 bits ("$FFFFFFFF" is -1). Decimal text outside
// the 32-bit range, trailing characters and empty text are no number:
// the result is false and *value is left alone.
bool ParseStoredInteger(std::string_view text, HexPrefix hex, int32_t* value);

// ASCII-case-insensitive equality; a CP932 double-byte character must
// match exactly.
bool EqualsNoCase(std::string_view a, std::string_view b);

class IniDocument;

// Several changes to one file, applied with one read and one write.
class IniBatch {
 public:
  void WriteString(std::string_view section, std::string_view key, std::string_view value);
  void WriteInteger(std::string_view section, std::string_view key, int64_t value);
  void DeleteKey(std::string_view section, std::string_view key);
  void EraseSection(std::string_view section);
  bool empty() const { return ops_.empty(); }

 private:
  friend class IniDocument;
  enum class Kind { kWrite, kDeleteKey, kEraseSection };
  struct Op {
    Kind kind;
    std::string section;
    std::string key;
    std::string value;
  };
  std::vector<Op> ops_;
};

// The parsed text of one profile file. Parse(Text()) gives back the same
// bytes; changes touch only the lines they concern.
class IniDocument {
 public:
  IniDocument() = default;
  explicit IniDocument(std::string_view text);

  std::string Text() const;

  // The value of key in section (quotes removed); false when absent.
  bool ReadValue(std::string_view section, std::string_view key, std::string* value) const;
  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view def) const;
  // Decimal, "$" or "0x" hexadecimal; missing or no number gives def.
  int32_t ReadInteger(std::string_view section, std::string_view key, int32_t def) const;
  bool HasSection(std::string_view section) const;
  // Names of all sections in file order (as written in the file).
  std::vector<std::string> SectionNames() const;

  // Sets key in section: an existing line is rewritten, else a line is
  // added after the last non-blank line of the section, else the section
  // is added at the end of the file. Invalid names give kInvalid.
  Status WriteString(std::string_view section, std::string_view key, std::string_view value);
  // Removes every line of key in the first section of that name.
  Status DeleteKey(std::string_view section, std::string_view key);
  // Removes every section of that name with all its lines.
  Status EraseSection(std::string_view section);
  // Applies the batch in order; on an invalid name nothing is changed.
  Status Apply(const IniBatch& batch);

 private:
  struct Line {
    std::string text;  // without the line end
    std::string eol;   // "\r\n", "\n" or "" (last line without an end)
  };
  // Index of the first header of section, or -1.
  long FindSection(std::string_view section) const;
  // One past the last line of the section whose header is at h.
  size_t SectionEnd(size_t h) const;

  std::vector<Line> lines_;
};

// A profile file on disk, read and written through a FileEnv.
class IniFile {
 public:
  IniFile(FileEnv& env, std::string path) : env_(env), path_(std::move(path)) {}

  const std::string& path() const { return path_; }

  // Reads and parses the whole file. A missing file gives an empty
  // document and kNotFound; other failures their status.
  Status Load(IniDocument* doc) const;

  // Reads give def when the file, the section or the key is missing or
  // unreadable.
  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view def) const;
  int32_t ReadInteger(std::string_view section, std::string_view key, int32_t def) const;

  Status WriteString(std::string_view section, std::string_view key, std::string_view value);
  Status WriteInteger(std::string_view section, std::string_view key, int64_t value);
  Status DeleteKey(std::string_view section, std::string_view key);
  Status EraseSection(std::string_view section);
  // One read, the changes, one atomic write (none when nothing changed).
  // A missing file starts empty; a file that cannot be read is left alone
  // and its error returned.
  Status Apply(const IniBatch& batch);

 private:
  FileEnv& env_;
  std::string path_;
};

}  // namespace quill
