#include "platform/plugin_loader.h"

#include <dlfcn.h>
#include <sys/stat.h>

namespace quill {

namespace {

class DlPluginLoader final : public PluginLoader {
 public:
  PluginHandle LoadLibrary(const std::string& path) override {
    struct stat st;
    if (path.empty() || ::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return nullptr;
    // A name without a slash would be looked for along the library path.
    const std::string full = path.find('/') == std::string::npos ? "./" + path : path;
    return ::dlopen(full.c_str(), RTLD_NOW | RTLD_LOCAL);
  }
  void* GetProcAddress(PluginHandle library, const char* name) override {
    if (library == nullptr) return nullptr;
    return ::dlsym(library, name);
  }
  void FreeLibrary(PluginHandle library) override {
    if (library != nullptr) ::dlclose(library);
  }
};

}  // namespace

PluginLoader& PluginLoader::Default() {
  static DlPluginLoader loader;
  return loader;
}

}  // namespace quill
