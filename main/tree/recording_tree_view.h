// The tree's view in tests: the counters last shown, the editor clears
// and the pumps between rows, with a hook at each pump.
#pragma once

#include <cstdint>
#include <functional>

#include "main/tree/folder_tree_model.h"

namespace quill {

class RecordingView : public FolderTreeView {
 public:
  void ProcessMessages() override {
    ++pumps;
    if (on_pump) on_pump();
  }
  void ShowCounts(int64_t c, int64_t m) override {
    cards = c;
    marked = m;
  }
  void ClearEditor() override { ++editor_cleared; }

  std::function<void()> on_pump;
  int pumps = 0;
  int64_t cards = -1, marked = -1;
  int editor_cleared = 0;
};

}  // namespace quill
