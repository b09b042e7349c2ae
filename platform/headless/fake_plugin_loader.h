// FakePluginLoader: plug-in libraries as a map from paths to their
// exports, for tests. Exports are plain functions of the test; loading a
// path that is not in the map fails. Loads and frees are logged.
#pragma once

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "platform/plugin_loader.h"

namespace quill {

class FakePluginLoader final : public PluginLoader {
 public:
  using Exports = std::map<std::string, void*>;  // name -> function

  void Add(const std::string& path, Exports exports) { libraries_[path] = std::move(exports); }
  void Remove(const std::string& path) { libraries_.erase(path); }

  PluginHandle LoadLibrary(const std::string& path) override {
    auto it = libraries_.find(path);
    log_.push_back("load " + path);
    if (it == libraries_.end()) return nullptr;
    ++open_;
    return &*it;
  }
  void* GetProcAddress(PluginHandle library, const char* name) override {
    const Exports& exports = static_cast<std::pair<const std::string, Exports>*>(library)->second;
    auto it = exports.find(name);
    return it == exports.end() ? nullptr : it->second;
  }
  void FreeLibrary(PluginHandle library) override {
    log_.push_back("free " + static_cast<std::pair<const std::string, Exports>*>(library)->first);
    --open_;
  }

  // Libraries loaded and not freed yet.
  int open() const { return open_; }
  std::vector<std::string>& log() { return log_; }

 private:
  std::map<std::string, Exports> libraries_;
  int open_ = 0;
  std::vector<std::string> log_;
};

// A clip-tool plug-in for tests: tools "upper0".."upper3", tool i of mode
// i, each upper-casing a..z of its input. Calls are counted.
struct UpperCaseTools {
  static inline int calls = 0;
  static int GetMenuData(int index, char* caption, int* mode) {
    if (index < 0 || index > 3) return 1;
    std::snprintf(caption, 92, "upper%d", index);
    *mode = index;
    return 0;
  }
  static int GetClipData(int, char* out, const char* in) {
    ++calls;
    size_t i = 0;
    for (; in[i] != '\0'; ++i) {
      out[i] = in[i] >= 'a' && in[i] <= 'z' ? static_cast<char>(in[i] - 'a' + 'A') : in[i];
    }
    out[i] = '\0';
    return 0;
  }
  static FakePluginLoader::Exports Exports() {
    return {{"_GetMenuData", reinterpret_cast<void*>(&GetMenuData)},
            {"_GetClipData", reinterpret_cast<void*>(&GetClipData)}};
  }
};

}  // namespace quill
