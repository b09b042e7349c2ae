// RegistryStore: the per-user store of keys and named string values that
// the program keeps besides its ini file (the backup target, the data-set
// list, the print settings, ...). It stands in for the user's registry
// hive: a key path such as "SoftWare\quillmain\Env" names a key below the
// user's root, keys nest by their backslash-separated paths, and each key
// holds named values.
//
// Storage. One file, normally $XDG_CONFIG_HOME/quillbox/registry.ini
// (RegistryFilePath in platform/paths.h), in the profile format of
// platform/ini_file.h: one section per key that holds values, named by the
// key's full path (e.g. "[SoftWare\quillmain\Env]"), one "Name=Value"
// line per value. A key without values of its own has no section; it
// exists while a key below it does. Key paths and value names are matched
// without regard to ASCII case, as the registry does.
//
// Values are byte strings (CP932 text) and come back byte for byte. The
// bytes a profile line cannot hold are escaped: backslash as "\\", TAB as
// "\t", CR as "\r", LF as "\n" and NUL as "\0"; reading undoes it (any
// other backslash sequence is read as it stands). Integers are stored as
// decimal text and read with the class library's conversion: decimal or
// "$" hexadecimal, wrapping to 32 bits; anything else reads as the
// default.
//
// Like IniFile, nothing is cached: each call reads the file, each change
// is one atomic rewrite of it, and a file that exists but cannot be read
// is never replaced. The folder of the file is created on the first write.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_env.h"
#include "platform/ini_file.h"
#include "platform/status.h"

namespace quill {

// The program's key and the key of its section "Env".
inline constexpr char kQuillmainKey[] = "SoftWare\\quillmain";
inline constexpr char kQuillmainEnvKey[] = "SoftWare\\quillmain\\Env";

class RegistryStore {
 public:
  // Several value changes applied with one read and one write.
  class Batch {
   public:
    void WriteString(std::string_view key, std::string_view name, std::string_view value);
    void WriteInteger(std::string_view key, std::string_view name, int64_t value);
    void DeleteValue(std::string_view key, std::string_view name);
    bool empty() const { return ops_.empty(); }

   private:
    friend class RegistryStore;
    struct Op {
      bool remove;
      std::string key;
      std::string name;
      std::string value;
    };
    std::vector<Op> ops_;
  };

  // The whole store as read at one moment, for reading many values.
  class Snapshot {
   public:
    std::string ReadString(std::string_view key, std::string_view name,
                           std::string_view def) const;
    int32_t ReadInteger(std::string_view key, std::string_view name, int32_t def) const;
    bool ValueExists(std::string_view key, std::string_view name) const;
    // True when the key has values or a key below it has.
    bool KeyExists(std::string_view key) const;

   private:
    friend class RegistryStore;
    IniDocument doc_;
  };

  RegistryStore(FileEnv& env, std::string path) : env_(env), file_(env, path), path_(path) {}

  const std::string& path() const { return path_; }

  // Reads the file; a missing or unreadable file reads as an empty store.
  Snapshot Read() const;

  std::string ReadString(std::string_view key, std::string_view name, std::string_view def) const;
  int32_t ReadInteger(std::string_view key, std::string_view name, int32_t def) const;
  bool KeyExists(std::string_view key) const;

  Status WriteString(std::string_view key, std::string_view name, std::string_view value);
  Status WriteInteger(std::string_view key, std::string_view name, int64_t value);
  Status DeleteValue(std::string_view key, std::string_view name);
  // Deletes the key with all its values and every key below it.
  // A key that does not exist is no error.
  Status DeleteKey(std::string_view key);
  Status Apply(const Batch& batch);

 private:
  Status Update(const std::vector<Batch::Op>& ops, std::string_view delete_key);

  FileEnv& env_;
  IniFile file_;
  std::string path_;
};

}  // namespace quill
