// The data-set menu as data: one entry per slot of the data-set list, with
// its caption "&<slot>:<name>", whether it can be chosen, and whether it is
// the open set. The window shows it in its data-set menu and the tray menu.
//
// Folders are compared after normalising (no trailing slash, links and
// "." / ".." resolved where the folder exists) and byte for byte: Linux
// file names are case-sensitive, so "/a/Data" and "/a/data" are two sets.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "main/settings/settings_data_files.h"

namespace quill {

class FileEnv;

struct DataMenuItem {
  std::string caption;  // CP932, '&' before the accelerator digit
  bool enabled = true;
  bool checked = false;

  bool operator==(const DataMenuItem&) const = default;
};
using DataMenuItems = std::array<DataMenuItem, kDataFileSlots>;

// "&<i>:<name>".
std::string DataMenuCaption(int i, std::string_view name);

// The folder as the comparison sees it: trailing slashes removed, and the
// real path when the folder exists. Empty stays empty.
std::string NormalDataFolder(std::string_view folder);
bool SameDataFolder(std::string_view a, std::string_view b);

// The menu as built at start: captions; a free slot (empty name) disabled.
// The store of each named set is probed, and its folder list file rebuilt
// when the list is missing; the set in `open_folder` (the one the program
// has open) is left to the program's own store.
void BuildDataMenu(FileEnv& env, const DataFileList& list, std::string_view open_folder,
                   DataMenuItems* menu);
// Captions anew; enabled unless the name is empty (after the settings
// changed the list).
void RefreshDataMenu(const DataFileList& list, DataMenuItems* menu);
// Set k is open: its entry checked, the others not; an entry is enabled
// exactly when its folder is another than set k's, so the open set and
// every set sharing its folder are disabled and a free slot is enabled.
void CheckDataMenu(const DataFileList& list, int k, DataMenuItems* menu);

// Whether set `index` has a folder whose folder list "quilbo7.tre" can be
// read: 1, else 0.
int DataTreePath(FileEnv& env, const DataFileList& list, int index);

}  // namespace quill
