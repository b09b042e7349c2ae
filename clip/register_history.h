// The registration history: the folders registered into and the cards
// appended to lately, newest first, offered at the top of the register-here
// menu.
//
// It is kept in the registry store as the value "TourokuRireki" of
// "SoftWare\quillmain\Env": each entry as its path, TAB, its data-set index
// in decimal, TAB, its third field, and the entries joined by TAB.
// - A folder entry: the folder path, its data set (0..9), third field "?".
// - A card entry: path "?", index -1, third field the card id.
// The stored value is read as untrusted: an entry with a missing field or
// an index outside -1..9 is dropped, and at most kMaxEntries are taken.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry_store.h"
#include "platform/status.h"

namespace quill {

struct CTourokuRireki {
  std::string path;
  int data_set = -1;
  std::string third;

  bool IsCard() const { return data_set == -1 && path == "?"; }
  bool operator==(const CTourokuRireki&) const = default;
};

class RegisterHistory {
 public:
  static constexpr size_t kMaxEntries = 10;
  static constexpr char kValueName[] = "TourokuRireki";

  // The entries of a stored value.
  static RegisterHistory Parse(std::string_view value);
  // The value to store.
  std::string Serialize() const;

  // Moves the entry with this path, index and third field to the front,
  // adding it when it is not there (a full history loses its last entry).
  void Add(int data_set, const std::string& path, const std::string& third);
  // Removes the first entry with this path (blanks around it ignored) and
  // index.
  void Remove(int data_set, std::string_view path);

  std::vector<CTourokuRireki> entries;  // newest first
};

RegisterHistory LoadRegisterHistory(const RegistryStore& registry);
Status SaveRegisterHistory(RegistryStore& registry, const RegisterHistory& history);

}  // namespace quill
