// The transfer's tests: a data set in a temporary folder with its folder
// tree, the dialogs answered from a script, and transfer files made from
// card blocks.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "main/exchange/fake_transfer_dialogs.h"
#include "main/exchange/transfer_file.h"
#include "main/exchange/transfer_format.h"
#include "main/tree/folder_tree_model.h"
#include "main/tree/tree_loader.h"
#include "platform/headless/fake_ui.h"
#include "platform/headless/fault_env.h"
#include "platform/headless/temp_dir.h"
#include "platform/messages.h"
#include "platform/text_codec.h"
#include "store/card_store.h"

namespace quill {

inline std::string S(const char* utf8) { return Utf8ToCp932(utf8); }

class HookedTreeView : public FolderTreeView {
 public:
  void ProcessMessages() override {
    if (on_process) on_process();
  }
  void ClearEditor() override { ++editor_clears; }
  void SaveSettingsGroup(int group) override { groups.push_back(group); }
  std::function<void()> on_process;
  int editor_clears = 0;
  std::vector<int> groups;
};

// One data set with everything the transfer works with.
struct TestDataSet {
  explicit TestDataSet(FaultEnv& e) : env(e) {
    env.SetFreeBytes(uint64_t{1} << 40);
    EXPECT_TRUE(store.Open(false, folder).ok());
    form.set_data_set_name("Data");
  }
  void Load() { ASSERT_TRUE(LoadFolderTree(form, nullptr).ok()); }
  // Writes a card with the given identity; returns its id.
  std::string Add(const std::string& folder_path, const std::string& title, uint32_t ctime,
                  uint32_t ctick, uint32_t utime, const std::string& text = "body",
                  bool locked = false) {
    store::CardRecord c(store);
    c.Clear();
    c.folder = folder_path;
    c.title = title;
    c.text = text;
    c.ctime = ctime;
    c.ctick = ctick;
    c.utime = utime;
    c.locked = locked;
    c.position = next_position++;
    Status s = c.Write();
    EXPECT_TRUE(s.ok()) << s.ToString();
    return c.id;
  }
  // The live card (bin included) with this id; found false when none.
  store::CardRecord Get(const std::string& id, bool* found) {
    store::CardRecord c(store);
    EXPECT_TRUE(c.FindByKey("TEXT_ID", id, true, found).ok());
    return c;
  }
  // Live card rows (bin included), folder rows left out.
  std::vector<store::CardRecord> Cards() {
    std::vector<store::CardRecord> out;
    store::CardRecord r(store);
    std::vector<int64_t> rows;
    EXPECT_TRUE(r.FindCardsByFolder("", &rows).ok());
    for (int64_t row : rows) {
      r.SetRecNo(row);
      EXPECT_TRUE(r.Load(true).ok());
      if (!r.is_folder()) out.push_back(r);
    }
    return out;
  }
  TreeNode* Find(const std::string& caption) {
    for (TreeNode* n = form.tree().root(); n != nullptr; n = n->GetNext()) {
      if (n->text() == caption) return n;
    }
    return nullptr;
  }

  FaultEnv& env;
  TempDir dir;
  std::string folder = dir.Path() + "/";
  store::CardStore store{env, folder};
  Settings settings;
  FakeUi ui;
  HookedTreeView view;
  FolderTreeModel form{store, settings, ui, &view};
  FakeTransferDialogs dialogs;
  TransferContext ctx{form, dialogs};
  uint32_t next_position = 0;
};

// One card block of a transfer file, built from a record of `store`.
struct Block {
  std::string folder = "A", title = "t", text = "body";
  uint32_t ctime = 1000, ctick = 1, utime = 1000;
  bool locked = false;
  std::string Bytes(store::CardStore& store) const {
    store::CardRecord c(store);
    c.Clear();
    c.title = title;
    c.text = text;
    c.ctime = ctime;
    c.ctick = ctick;
    c.utime = utime;
    c.locked = locked;
    std::string out;
    AppendCardBlock(c, folder, &out);
    return out;
  }
};

// Writes "toquilbo.dat" into dir with the current header and the blocks.
inline void WriteTransfer(FileEnv& env, const std::string& dir, store::CardStore& store,
                          const std::vector<Block>& blocks) {
  std::string bytes = std::string(kTransferHeader) + "\r\n";
  for (const Block& b : blocks) bytes += b.Bytes(store);
  ASSERT_TRUE(env.WriteFileAtomic(dir + "/" + kTransferFileName, bytes).ok());
}

}  // namespace quill
