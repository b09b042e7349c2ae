// Reading zip archives back: what the backup checks after the archiver
// has run, without any outside program.
#pragma once

#include <string>
#include <vector>

#include "platform/status.h"

namespace quill {

// The names of the archive's members, in their order. Paths are UTF-8.
Status ListZipMembers(const std::string& archive, std::vector<std::string>* names);

// Ok when the archive holds a member `member` whose bytes are exactly
// those of the file at `path`; NotFound when it has no such member;
// Corrupt when the bytes differ or the archive cannot be read.
Status CheckZipMember(const std::string& archive, const std::string& member,
                      const std::string& path);

// The bytes of member `member`, for tests and small files.
Status ReadZipMember(const std::string& archive, const std::string& member, std::string* data);

}  // namespace quill
