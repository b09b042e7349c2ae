// FakePluginLoader: plug-in libraries as a map from paths to their
// exports, for tests. Exports are plain functions of the test; loading a
// path that is not in the map fails. Loads and frees are logged.
#pragma once

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

}  // namespace quill
