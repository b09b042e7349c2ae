// File helpers for tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/file_env.h"

namespace quill {

// The bytes of a file the test expects to be readable.
inline std::string ReadAll(const std::string& path) {
  std::string data;
  EXPECT_TRUE(FileEnv::Default().ReadFile(path, &data).ok()) << path;
  return data;
}

// Writes a file the test needs, replacing it.
inline void WriteAll(const std::string& path, const std::string& data) {
  EXPECT_TRUE(FileEnv::Default().WriteFileAtomic(path, data).ok()) << path;
}

// Every file and folder below `folder`, each file with its bytes (a
// folder as "<dir>", a symbolic link as "<link target>"): compare two to
// see that nothing changed.
inline std::map<std::string, std::string> FolderSnapshot(const std::string& folder) {
  std::map<std::string, std::string> files;
  for (const auto& e : std::filesystem::recursive_directory_iterator(folder)) {
    if (e.is_symlink()) {
      files[e.path().string()] = "<link " + std::filesystem::read_symlink(e.path()).string() + ">";
    } else {
      files[e.path().string()] = e.is_regular_file() ? ReadAll(e.path().string()) : "<dir>";
    }
  }
  return files;
}

// Puts a symbolic link at `at` that points to `target` (which need not
// exist), as someone else might plant one.
inline void PlantLink(const std::string& target, const std::string& at) {
  std::error_code ec;
  std::filesystem::create_symlink(target, at, ec);
  ASSERT_FALSE(ec) << at << ": " << ec.message();
}

// The permission bits of the file at path (a link is not followed).
inline unsigned FileModeOf(const std::string& path) {
  const auto st = std::filesystem::symlink_status(path);
  return static_cast<unsigned>(st.permissions()) & 07777u;
}

// The paths whose entry differs between two snapshots (added, removed or
// changed), for a short failure message.
inline std::vector<std::string> ChangedFiles(const std::map<std::string, std::string>& before,
                                             const std::map<std::string, std::string>& after) {
  std::vector<std::string> changed;
  for (const auto& [path, bytes] : before) {
    auto it = after.find(path);
    if (it == after.end() || it->second != bytes) changed.push_back(path);
  }
  for (const auto& [path, bytes] : after) {
    if (before.count(path) == 0) changed.push_back(path);
  }
  return changed;
}

// Runs a shell command of the test and returns its standard output;
// *status is its wait status (0: it ran and exited with 0).
inline std::string RunCommand(const std::string& command, int* status) {
  std::string out;
  *status = -1;
  FILE* p = ::popen(command.c_str(), "r");
  if (p == nullptr) return out;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  *status = ::pclose(p);
  return out;
}

}  // namespace quill
