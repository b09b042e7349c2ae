// Where the program keeps its per-user files.
//
// Program folder: $QUILLBOX_HOME when set, else $XDG_DATA_HOME/quillbox,
// else ~/.local/share/quillbox. It holds "quillmain.ini", "tmp/", the
// default data set and the other per-user files.
// Registry file: $XDG_CONFIG_HOME/quillbox/registry.ini, else
// ~/.config/quillbox/registry.ini (see platform/registry_store.h).
//
// Empty variables count as unset, and so do XDG variables that hold a
// relative path. Paths are returned without a trailing slash.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace quill {

// Looks up an environment variable; nullopt when it is not set.
using EnvLookup = std::function<std::optional<std::string>(const char* name)>;

// The process environment (getenv).
EnvLookup SystemEnvLookup();

std::string ProgramFolder(const EnvLookup& lookup = SystemEnvLookup());
std::string RegistryFilePath(const EnvLookup& lookup = SystemEnvLookup());
// "quillmain.ini" in the given program folder.
std::string IniFilePath(const std::string& program_folder);

}  // namespace quill
