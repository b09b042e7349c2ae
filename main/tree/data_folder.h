// The data folder of the open data set and small file helpers the main
// window's commands share: whether a path exists, the folder path with its
// separator, and reading a text file line by line.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quill {

class FileEnv;
class FolderTreeModel;

// Whether a file or folder of that path exists.
bool FileExists(FileEnv& env, const std::string& path);
// The data folder of the card store, ending with "/".
std::string GetEditorDataPath(FolderTreeModel& form);
// Appends the path separator when the path does not end with one.
void AppendBackslash(std::string& path);
// Reads the next line of text from data at *pos: at most n - 1 bytes, up
// to and including a LF, then cut at its first CR (and at a LF). False at
// the end of data.
bool ReadTextLine(std::string_view data, size_t* pos, size_t n, std::string* line);

}  // namespace quill
