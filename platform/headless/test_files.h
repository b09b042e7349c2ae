// File helpers for tests.
#pragma once

#include <gtest/gtest.h>

#include <string>

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

}  // namespace quill
