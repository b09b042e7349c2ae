// The two exports of quillpeek.cta. The host binds them by name with
// dlsym: it lists the tools with _GetMenuData(0), (1), ... until one
// returns 1, and runs a listed tool with _GetClipData.
#include <cstring>

#include "plugins/cliptool/clip_tools.h"

using quill::cliptool::ToolTable;

namespace {

bool InTable(int index) {
  return index >= 0 && static_cast<size_t>(index) < ToolTable().size();
}

}  // namespace

extern "C" {

// Runs tool `index` on the text `in` and writes the result into `out`
// (1,100,000 bytes). Returns 1, with `in` copied to `out`, for an index
// outside the table; 1 with nothing written when a pointer is null.
__attribute__((visibility("default"))) int _GetClipData(int index, char* out, const char* in) {
  if (out == nullptr || in == nullptr) return 1;
  return quill::cliptool::RunTool(index, out, in);
}

// Copies the caption of tool `index` into `caption` (92 bytes) and its mode
// into *mode, and returns 0; returns 1 and writes nothing for an index
// outside the table or a null pointer.
__attribute__((visibility("default"))) int _GetMenuData(int index, char* caption, int* mode) {
  if (caption == nullptr || mode == nullptr || !InTable(index)) return 1;
  const auto& tool = ToolTable()[static_cast<size_t>(index)];
  std::strcpy(caption, tool.caption);
  *mode = tool.mode;
  return 0;
}

}  // extern "C"
