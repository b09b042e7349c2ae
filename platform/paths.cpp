#include "platform/paths.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace quill {
namespace {

std::optional<std::string> NonEmpty(const EnvLookup& lookup, const char* name) {
  std::optional<std::string> v = lookup(name);
  if (v && v->empty()) return std::nullopt;
  return v;
}

std::string StripTrailingSlashes(std::string p) {
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  return p;
}

std::string HomeFolder(const EnvLookup& lookup) {
  if (std::optional<std::string> home = NonEmpty(lookup, "HOME")) {
    return StripTrailingSlashes(*home);
  }
  long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buf(size > 0 ? static_cast<size_t>(size) : 16384);
  struct passwd pw;
  struct passwd* result = nullptr;
  if (::getpwuid_r(::getuid(), &pw, buf.data(), buf.size(), &result) == 0 && result != nullptr &&
      result->pw_dir != nullptr && result->pw_dir[0] != '\0') {
    return StripTrailingSlashes(result->pw_dir);
  }
  return "/tmp";
}

// $name when it is an absolute path, else home + fallback.
std::string XdgFolder(const EnvLookup& lookup, const char* name, const char* fallback) {
  std::optional<std::string> v = NonEmpty(lookup, name);
  if (v && v->front() == '/') return StripTrailingSlashes(*v);
  return HomeFolder(lookup) + fallback;
}

}  // namespace

EnvLookup SystemEnvLookup() {
  return [](const char* name) -> std::optional<std::string> {
    const char* v = std::getenv(name);
    if (v == nullptr) return std::nullopt;
    return std::string(v);
  };
}

std::string ProgramFolder(const EnvLookup& lookup) {
  if (std::optional<std::string> home = NonEmpty(lookup, "QUILLBOX_HOME")) {
    return StripTrailingSlashes(*home);
  }
  return XdgFolder(lookup, "XDG_DATA_HOME", "/.local/share") + "/quillbox";
}

std::string RegistryFilePath(const EnvLookup& lookup) {
  return XdgFolder(lookup, "XDG_CONFIG_HOME", "/.config") + "/quillbox/registry.ini";
}

std::string IniFilePath(const std::string& program_folder) {
  return program_folder + "/quillmain.ini";
}

}  // namespace quill
