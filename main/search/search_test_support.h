// The search's tests: an editor and a main window as plain fields, and a
// data set in a temporary folder with its folder tree.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "main/search/search_commands.h"
#include "main/tree/folder_tree_model.h"
#include "main/tree/tree_loader.h"
#include "platform/headless/fake_ui.h"
#include "platform/headless/fault_env.h"
#include "platform/headless/temp_dir.h"
#include "platform/ini_file.h"
#include "platform/text_codec.h"
#include "store/card_store.h"

namespace quill {

inline std::string S(const char* utf8) { return Utf8ToCp932(utf8); }

class FakeSearchEditor : public SearchEditor {
 public:
  std::string Text() override { return text; }
  size_t SelStart() override { return sel_start; }
  std::string SelText() override { return text.substr(sel_start, sel_length); }
  void Select(size_t start, size_t length) override {
    sel_start = start;
    sel_length = length;
  }
  void ReplaceSelection(const std::string& t) override {
    text.replace(sel_start, sel_length, t);
    sel_start += t.size();
    sel_length = 0;
    ++edits;
  }
  void SetHighlights(const std::vector<TextRange>& ranges) override { highlights = ranges; }

  std::string text;
  size_t sel_start = 0, sel_length = 0;
  int edits = 0;
  std::vector<TextRange> highlights;
};

class FakeSearchHost : public SearchHost {
 public:
  explicit FakeSearchHost(FolderTreeModel& form) : form_(form) {}

  bool ShiftDown() override { return shift; }
  void SaveCurrentCard(bool) override { ++saves; }
  void SelectNode(TreeNode* node) override {
    form_.tree().set_selected_node(node);
    selected.push_back(node);
  }
  Status ReloadTree(CardSearch* criteria) override { return LoadFolderTree(form_, criteria); }
  Status WriteIni(const IniBatch& batch) override { return ini.Apply(batch); }
  void ShowFailure(const Status& s) override { failures.push_back(s); }
  SearchEditor& Editor() override { return editor; }
  bool CardLocked() override { return locked; }
  bool TableOrPageShown() override { return table_shown; }

  bool shift = false, locked = false, table_shown = false;
  int saves = 0;
  std::vector<TreeNode*> selected;
  IniDocument ini;
  std::vector<Status> failures;
  FakeSearchEditor editor;

 private:
  FolderTreeModel& form_;
};

// Progress of the tree's long runs; a test may act at a step.
class FakeTreeView : public FolderTreeView {
 public:
  void SetProgress(int64_t position) override {
    if (on_progress) on_progress(position);
  }
  std::function<void(int64_t)> on_progress;
};

// A card of a test: what the search looks at, set field by field:
// Card("title").Text("...").Locked().
struct TestCard {
  explicit TestCard(std::string t) : title(std::move(t)) {}
  TestCard& In(std::string f) { folder = std::move(f); return *this; }
  TestCard& Text(std::string t) { text = std::move(t); return *this; }
  TestCard& Source(std::string s) { source = std::move(s); return *this; }
  TestCard& Times(uint32_t created, uint32_t updated) {
    ctime = created;
    utime = updated;
    return *this;
  }
  TestCard& Icon(uint8_t i) { icon = i; return *this; }
  TestCard& Locked() { locked = true; return *this; }

  std::string folder = "A";
  std::string title;
  std::string text;
  std::string source;
  uint32_t ctime = 0, utime = 0;  // 0: now
  uint8_t icon = 0;
  bool locked = false;
};
inline TestCard Card(std::string title) { return TestCard(std::move(title)); }

class SearchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    env_.SetFreeBytes(uint64_t{1} << 40);
    ASSERT_TRUE(store_.Open(false, folder_).ok());
    form_.set_data_set_name("Data");
  }

  std::string Add(const TestCard& t) {
    store::CardRecord c(store_);
    c.Clear();
    c.folder = t.folder;
    c.title = t.title;
    c.text = t.text;
    c.source = t.source;
    c.icon = t.icon;
    c.locked = t.locked;
    c.position = next_position_++;  // the tree shows the cards in the order added
    c.ctime = t.ctime != 0 ? t.ctime : static_cast<uint32_t>(env_.fake_clock().Now());
    c.utime = t.utime != 0 ? t.utime : c.ctime;
    c.ctick = env_.fake_clock().TickCount();
    Status s = c.Write();
    EXPECT_TRUE(s.ok()) << s.ToString();
    env_.fake_clock().AdvanceMs(1);
    return c.id;
  }
  void Load() { ASSERT_TRUE(LoadFolderTree(form_, nullptr).ok()); }
  TreeNode* Find(const std::string& caption) {
    for (TreeNode* n = form_.tree().root(); n != nullptr; n = n->GetNext()) {
      if (n->text() == caption) return n;
    }
    return nullptr;
  }
  store::CardRecord Stored(const std::string& id) {
    store::CardRecord c(store_);
    bool found = false;
    EXPECT_TRUE(c.FindByKey("TEXT_ID", id, true, &found).ok());
    EXPECT_TRUE(found) << id;
    return c;
  }
  // Seconds of a day in the fake clock's calendar.
  static uint32_t Day(int year, int month, int day) {
    FakeClock c;
    c.SetLocal(year, month, day, 12);
    return static_cast<uint32_t>(c.Now());
  }

  TempDir dir_;
  std::string folder_ = dir_.Path() + "/";
  FaultEnv env_;
  store::CardStore store_{env_, folder_};
  Settings settings_;
  FakeUi ui_;
  FakeTreeView view_;
  FolderTreeModel form_{store_, settings_, ui_, &view_};
  FakeSearchHost host_{form_};
  SearchCommands search_{form_, host_};
  uint32_t next_position_ = 0;
};

}  // namespace quill
