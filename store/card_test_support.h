// Writing cards and folder rows into a data set in tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/headless/fake_clock.h"
#include "platform/headless/fault_env.h"
#include "store/byte_order.h"
#include "store/card_store.h"

namespace quill::store {

// Writes a new card and returns its id. The fake clock then moves on by
// 1 ms, so the next card gets an id of its own. Without a position the
// card keeps the cleared card's.
inline std::string WriteTestCard(CardStore& store, FakeClock& clock, const std::string& folder,
                                 const std::string& title, const std::string& text,
                                 std::optional<uint32_t> position = std::nullopt,
                                 uint32_t ctime = 0, uint32_t utime = 0) {
  CardRecord c(store);
  c.Clear();
  c.folder = folder;
  c.title = title;
  c.text = text;
  c.ctime = ctime;
  c.utime = utime;
  if (position) c.position = *position;
  Status s = c.Write();
  EXPECT_TRUE(s.ok()) << s.ToString();
  clock.AdvanceMs(1);
  return c.id;
}

// Makes the card's row read back with its id field blank, as from a
// damaged sector, while the file stays as it is: reading the card's text
// then meets the store's fatal status.
inline void DamageCardId(FaultEnv& env, const std::string& data_folder, const std::string& id) {
  const std::string path = data_folder + "quilbo7.dat";
  std::string bytes;
  ASSERT_TRUE(env.ReadFile(path, &bytes).ok());
  const size_t at = bytes.find(id);
  ASSERT_NE(at, std::string::npos) << id;
  env.DamageRead(path, at, std::string(id.size(), ' '));
}

// Writes a new card with a body kind ('C', 'H' or 0) and returns its id.
inline std::string WriteKindCard(CardStore& store, const std::string& folder,
                                 const std::string& title, const std::string& text, char kind,
                                 bool auto_title = false) {
  CardRecord c(store);
  c.Clear();
  c.folder = folder;
  c.title = title;
  c.text = text;
  c.kind = kind;
  c.auto_title = auto_title;
  Status s = c.Write();
  EXPECT_TRUE(s.ok()) << s.ToString();
  return c.id;
}

// Changes the first two children of the root page of the index file at
// path (c0 and c1, given the root's page number), as damage would: the
// file keeps its size and header. The root must have three children or
// more (with 20-byte keys, some 40 entries).
inline void DamageIndexRoot(const std::string& path,
                            const std::function<void(uint32_t root, uint32_t* c0, uint32_t* c1)>& damage,
                            size_t entry_size = 28) {
  constexpr size_t kPage = 512;
  std::string ix;
  ASSERT_TRUE(FileEnv::Default().ReadFile(path, &ix).ok());
  const uint32_t root = GetU32(ix.data());
  ASSERT_GE(ix.size(), size_t{root} * kPage + kPage);
  char* page = ix.data() + size_t{root} * kPage;
  ASSERT_GE(GetU32(page), 2u) << "the root has at least three children";
  uint32_t c0 = GetU32(page + 4), c1 = GetU32(page + 4 + entry_size);
  damage(root, &c0, &c1);
  PutU32(page + 4, c0);
  PutU32(page + 4 + entry_size, c1);
  std::unique_ptr<RandomFile> f;
  ASSERT_TRUE(FileEnv::Default().Open(path, OpenMode::kReadWrite, &f).ok());
  ASSERT_TRUE(f->WriteAt(0, ix.data(), ix.size()).ok());
  ASSERT_TRUE(f->Close().ok());
}

// Writes the folder row of path.
inline void WriteFolderRow(CardStore& store, const std::string& path) {
  CardRecord c(store);
  c.Clear();
  c.folder = path;
  c.title = std::string(FolderMarkerTitle);
  Status s = c.Write();
  EXPECT_TRUE(s.ok()) << s.ToString();
}

// The data set in `data_folder` (ending in '/') as a program finds it when
// it starts: `write` stores the test's cards in the open set; the folder
// list is then rebuilt from them and the set closed.
inline void WriteTestDataSet(const std::string& data_folder,
                             const std::function<void(CardStore&)>& write) {
  CardStore set(FileEnv::Default(), data_folder);
  ASSERT_TRUE(set.Open(false, {}).ok());
  write(set);
  ASSERT_TRUE(set.RebuildTreeFile().ok());
  ASSERT_TRUE(set.Close().ok());
}

// The cards whose folder is exactly `folder` (no folder rows, none in the
// bin), with their texts, in key order.
inline std::vector<CardRecord> CardsOfFolder(CardStore& store, const std::string& folder) {
  std::vector<CardRecord> cards;
  CardRecord r(store);
  std::vector<int64_t> rows;
  Status s = r.FindCardsByFolder(folder, &rows);
  EXPECT_TRUE(s.ok()) << s.ToString();
  for (int64_t row : rows) {
    r.SetRecNo(row);
    s = r.Load(/*with_text=*/true);
    EXPECT_TRUE(s.ok()) << s.ToString();
    if (s.ok() && !r.is_folder() && r.folder == folder && r.deleted != 'D') cards.push_back(r);
  }
  return cards;
}

}  // namespace quill::store
