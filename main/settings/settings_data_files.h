// The list of data sets as the settings keep it: ten slots, each a
// display name and the folder of its card store. Slot i is stored in the
// registry store as the value DataFile<i+1> of "SoftWare\quillmain\Env":
// the name, one TAB, the folder. An empty name is a free slot.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "platform/registry_store.h"

namespace quill {

inline constexpr int kDataFileSlots = 10;
// "データ１" in CP932: the name of slot 0 when none is stored.
inline constexpr char kFirstDataFileName[] = "\x83\x66\x81\x5b\x83\x5e\x82\x50";

struct DataFileList {
  std::array<std::string, kDataFileSlots> names;
  std::array<std::string, kDataFileSlots> paths;  // without a trailing slash; empty = none

  bool operator==(const DataFileList&) const = default;
};

// Reads DataFile1..DataFile10 into list. Each value is split at TABs, a
// run of TABs counting as one and leading TABs skipped: the first piece
// is the name, the second (when there is one) the folder. An empty name
// of slot 0 becomes "データ１". Returns the index of the last slot whose
// name equals start_argument, or -1 (always -1 for an empty argument).
int LoadDataFileList(const RegistryStore::Snapshot& registry, std::string_view start_argument,
                     DataFileList* list);

// Adds DataFile1..DataFile10 = name TAB folder (a free slot is a lone TAB).
void SaveDataFileList(const DataFileList& list, RegistryStore::Batch* batch);

}  // namespace quill
