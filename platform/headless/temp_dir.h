// TempDir: a fresh folder for one test, removed with everything in it when
// the object goes away. Path() ends without a slash; File(name) joins.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

namespace quill {

class TempDir {
 public:
  TempDir() {
    std::string base = std::filesystem::temp_directory_path().string() + "/quilltest-XXXXXX";
    if (::mkdtemp(base.data()) == nullptr) std::abort();
    path_ = base;
  }
  ~TempDir() {
    std::error_code ec;
    // Make everything removable again (tests take permissions away).
    for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
      std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, ec);
    }
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

}  // namespace quill
