// PluginLoader: shared libraries loaded by the program at run time (the
// clip-tool plug-ins), bound by the names of their exports.
//
// LoadLibrary loads the library at a full path; GetProcAddress finds an
// export by name; FreeLibrary unloads it again. A library is kept only
// for the span of one use: callers free it before they return.
#pragma once

#include <string>

namespace quill {

// A loaded library; null when none.
using PluginHandle = void*;

class PluginLoader {
 public:
  virtual ~PluginLoader() = default;

  // The library at `path`, loaded with all its symbols bound now and kept
  // to itself; null when it cannot be loaded. Only a regular file is
  // loaded (a pipe or a device would block or read forever).
  virtual PluginHandle LoadLibrary(const std::string& path) = 0;
  // The address of export `name`; null when the library has none.
  virtual void* GetProcAddress(PluginHandle library, const char* name) = 0;
  virtual void FreeLibrary(PluginHandle library) = 0;

  // The system's loader (dlopen).
  static PluginLoader& Default();
};

// Frees a library when it goes out of scope.
class LoadedPlugin {
 public:
  LoadedPlugin(PluginLoader& loader, const std::string& path)
      : loader_(loader), handle_(loader.LoadLibrary(path)) {}
  ~LoadedPlugin() {
    if (handle_ != nullptr) loader_.FreeLibrary(handle_);
  }
  LoadedPlugin(const LoadedPlugin&) = delete;
  LoadedPlugin& operator=(const LoadedPlugin&) = delete;

  bool loaded() const { return handle_ != nullptr; }
  // The export `name` as a function of type Fn; null when it is missing.
  template <typename Fn>
  Fn Export(const char* name) const {
    if (handle_ == nullptr) return nullptr;
    return reinterpret_cast<Fn>(loader_.GetProcAddress(handle_, name));
  }

 private:
  PluginLoader& loader_;
  PluginHandle handle_;
};

}  // namespace quill
